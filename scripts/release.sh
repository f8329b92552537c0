#!/usr/bin/env bash
# Builds the archive a user downloads:
#   dist/KAVRO_Display_Limit_Switches-<version>-win64.zip
# holding the program stripped of its debug information, a text for Windows
# users and SHA256SUMS. The unstripped program stays beside the archive
# (dist/...-win64-unstripped.exe): the shipped file's code and data lie at the
# same addresses in it, so crash addresses resolve against it (addr2line -f).
#
# The program is the one the tests run (the build/win tree); before packing,
# the stripped file is started under Wine and must show its window. The
# version is read from the program's version record.
#
#   scripts/release.sh                 build, check and pack
#   scripts/release.sh --reproducible  also rebuild from a copy of the sources
#                                      at another path and compare byte for byte
# (--twin is that second build: the program alone, without the Wine check.)
#
# The archive's entries carry the time of the last commit (or SOURCE_DATE_EPOCH).
set -eEuo pipefail
# A command substitution stops the script when a command in it fails, and a
# tool's output is kept in a variable before it is read: $(...) inside a for
# list, a test or an echo would pass on a failing tool's empty output. Any
# stop says where.
shopt -s inherit_errexit
trap 'echo "release.sh: stopped at line $LINENO: \"$BASH_COMMAND\" failed with $?" >&2' ERR
. "$(dirname "${BASH_SOURCE[0]}")/build-trees.sh"
dist="${KAVRO_DIST_DIR:-$root/dist}"
name=KAVRO_Display_Limit_Switches
mode="${1:-}"
case "$mode" in
"" | --reproducible | --twin) ;;
*) echo "usage: scripts/release.sh [--reproducible]" >&2; exit 2 ;;
esac

fail() { echo "release.sh: $*" >&2; exit 1; }

bash "$root/scripts/deps.sh"
epoch="${SOURCE_DATE_EPOCH:-}"
[ -n "$epoch" ] || epoch="$(git -C "$root" log -1 --format=%ct)" || fail "no commit time: is $root a git checkout?"
[[ $epoch =~ ^[0-9]+$ ]] || fail "not a time: \"$epoch\""

if [ "$mode" = --twin ]; then
    build_win "$name" >/dev/null
else
    build_win "$name" kavro-window-driver >/dev/null
fi
built="$build/win/bin/$name.exe"
stage="$build/release"
rm -rf "$stage"
mkdir -p "$stage" "$dist"
exe="$stage/$name.exe"

# strip writes the current time into the PE header unless told a time: none,
# as the linker wrote.
SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip --strip-all -o "$exe" "$built"

# The version: FILEVERSION of the version record, which its text must repeat.
record="$(x86_64-w64-mingw32-windres -i "$exe" -O rc)"
version="$(sed -n 's/^ *FILEVERSION \([0-9]*\), *\([0-9]*\), *\([0-9]*\), *\([0-9]*\).*/\1.\2.\3.\4/p' <<<"$record")"
text="$(sed -n 's/.*VALUE "FileVersion", "\([^"]*\)".*/\1/p' <<<"$record")"
[ -n "$version" ] || fail "no version record in $name.exe"
[ "$version" = "$text" ] || fail "version record: FILEVERSION $version but FileVersion \"$text\""
package="$name-$version-win64"

# Nothing to debug in the shipped file, nothing it needs beyond Windows' own
# DLLs, and its loaded sections where the unstripped file has them.
headers="$(x86_64-w64-mingw32-objdump -h "$exe")"
[[ $headers == *" .text "* ]] || fail "objdump -h shows no .text section in $name.exe"
[[ $headers != *" .debug"* ]] || fail "debug sections left in $name.exe"
private="$(x86_64-w64-mingw32-objdump -p "$exe")"
dlls="$(sed -n 's/^\tDLL Name: //p' <<<"$private" | tr '[:upper:]' '[:lower:]')"
# Every Windows program imports kernel32.dll: without it, the list was not read.
grep -qx kernel32.dll <<<"$dlls" || fail "objdump -p lists no kernel32.dll import in $name.exe"
while read -r dll; do
    case "$dll" in
    advapi32.dll | comctl32.dll | comdlg32.dll | gdi32.dll | kernel32.dll | msvcrt.dll | ole32.dll | \
        oleaut32.dll | setupapi.dll | shell32.dll | shlwapi.dll | user32.dll | uxtheme.dll | version.dll | \
        winmm.dll) ;;
    *) fail "$name.exe imports $dll, which is not part of Windows" ;;
    esac
done <<<"$dlls"
loaded() { x86_64-w64-mingw32-objdump -h "$1" | awk '/^ *[0-9]+ / && $2 !~ /^\.debug/ { print $2, $3, $4 }'; }
shipped_sections="$(loaded "$exe")"
unstripped_sections="$(loaded "$built")"
[ -n "$shipped_sections" ] || fail "no sections read from $name.exe"
[ "$shipped_sections" = "$unstripped_sections" ] || fail "stripping moved the program's sections"

if [ -z "$mode" ] || [ "$mode" = --reproducible ]; then
    echo "== The stripped program under Wine"
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$root/scripts/release-start-check.sh" \
        "$build/win/wine" "$exe" "$build/win/bin/kavro-window-driver.exe" ||
        fail "the stripped program did not start and end cleanly under Wine"
fi

# The text in Windows' line ends; checksums in the format sha256sum -c reads.
sed 's/$/\r/' "$root/docs/user-readme.txt" >"$stage/README.txt"
(cd "$stage" && sha256sum "$name.exe" README.txt >SHA256SUMS)

# Same bytes whenever the same files are packed: fixed order, time and
# permissions, nothing taken from the file system but the contents.
python3 - "$dist/$package.zip" "$epoch" "$stage" "$name.exe" README.txt SHA256SUMS <<'EOF'
import sys, time, zipfile
archive, epoch, folder, names = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4:]
stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980
with zipfile.ZipFile(archive + ".part", "w") as out:
    for entry in names:
        info = zipfile.ZipInfo(entry, date_time=stamp)
        info.create_system = 3
        info.external_attr = 0o100644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(folder + "/" + entry, "rb") as f:
            out.writestr(info, f.read(), compresslevel=9)
EOF
mv "$dist/$package.zip.part" "$dist/$package.zip"
cp "$built" "$dist/$package-unstripped.exe"

size="$(stat -c %s "$dist/$package.zip")"
sum="$(sha256sum "$dist/$package.zip")"
exe_size="$(stat -c %s "$exe")"
built_size="$(stat -c %s "$built")"
echo "== $dist/$package.zip"
echo "   $size bytes, sha256 ${sum%% *}"
echo "   $name.exe: $exe_size bytes (unstripped $built_size)"

if [ "$mode" = --reproducible ]; then
    echo "== The same release from a copy of the sources at another path"
    twin="$build/twin"
    rm -rf "$twin"
    mkdir -p "$twin/sources"
    # The checkout's files as they are now, local changes included.
    (cd "$root" && git ls-files -z --cached --others --exclude-standard |
        tar --null -T - --ignore-failed-read -cf -) | tar -xf - -C "$twin/sources"
    start=$SECONDS
    SOURCE_DATE_EPOCH="$epoch" KAVRO_BUILD_DIR="$twin/build" KAVRO_DIST_DIR="$twin/dist" bash "$twin/sources/scripts/release.sh" --twin |
        sed 's/^/   /'
    for f in "$package.zip" "$package-unstripped.exe"; do
        cmp "$dist/$f" "$twin/dist/$f" || fail "$f differs when built at another path"
    done
    echo "== Reproducible: the same bytes from $twin/sources ($((SECONDS - start)) s)"
    rm -rf "$twin"
fi
