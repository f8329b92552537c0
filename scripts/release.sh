#!/usr/bin/env bash
# Builds the archive a user downloads:
#   dist/KAVRO_Display_Limit_Switches-<version>-win64.zip
# holding the program stripped of its debug information, a text for Windows
# users, BUILD.txt (the commit it was built from and the program's build id)
# and SHA256SUMS; beside it dist/<archive>.zip.sha256, the value to publish
# with the download. The unstripped program stays in dist/ too, named after
# the commit (...-win64-<commit>-unstripped.exe): the shipped file's code and
# data lie at the same addresses in it, so crash addresses resolve against it
# (addr2line -f), and both carry the same build id.
#
# The program is the one the tests run (the build/win tree); before packing,
# the stripped file is started under Wine and must show its window. The
# version is read from the program's version record. Only a committed tree is
# released: modified or untracked files (that git does not ignore) stop it.
#
#   scripts/release.sh                 build, check and pack
#   scripts/release.sh --dirty         the same from a tree with uncommitted
#                                      changes, for trying: named ...-dirty
#   scripts/release.sh --reproducible  also rebuild from a fresh clone of the
#                                      commit at another path and compare
#                                      byte for byte
# (--twin is that second build: the program alone, without the Wine check.)
#
# The archive's entries carry the time of the commit (or SOURCE_DATE_EPOCH).
set -eEuo pipefail
# A command substitution stops the script when a command in it fails, and a
# tool's output is kept in a variable before it is read: $(...) inside a for
# list, a test or an echo would pass on a failing tool's empty output. Any
# stop says where.
shopt -s inherit_errexit
trap 'echo "release.sh: stopped at ${BASH_SOURCE[0]##*/} line $LINENO: \"$BASH_COMMAND\" failed with $?" >&2' ERR
. "$(dirname "${BASH_SOURCE[0]}")/build-trees.sh"
dist="${KAVRO_DIST_DIR:-$root/dist}"
name=KAVRO_Display_Limit_Switches
fail() { echo "release.sh: $*" >&2; exit 1; }
usage() { echo "usage: scripts/release.sh [--dirty | --reproducible]" >&2; exit 2; }

mode="" allow_dirty=""
for arg in "$@"; do
    case "$arg" in
    --reproducible | --twin) [ -z "$mode" ] || usage; mode="$arg" ;;
    --dirty) allow_dirty=1 ;;
    *) usage ;;
    esac
done
[ -z "$allow_dirty" ] || [ -z "$mode" ] ||
    fail "--dirty with $mode: uncommitted changes cannot be rebuilt from a commit; commit them first"
start=$SECONDS
bash "$root/scripts/deps.sh"

# What is released is a commit: the tree must hold nothing else.
commit="$(git -C "$root" rev-parse --verify 'HEAD^{commit}')" ||
    fail "git rev-parse HEAD failed in $root: not a git checkout with a commit?"
changes="$(git -C "$root" status --porcelain)" || fail "git status failed in $root"
dirty=""
if [ -n "$changes" ]; then
    if [ -z "$allow_dirty" ]; then
        head -n 20 <<<"$changes" >&2
        fail "uncommitted changes in $root (above): commit them, or try with --dirty"
    fi
    dirty=-dirty
    echo "== Uncommitted changes in $root: a trial build, named ...$dirty"
elif [ -n "$allow_dirty" ]; then
    echo "== --dirty, but nothing is uncommitted: a release as usual"
fi
epoch="${SOURCE_DATE_EPOCH:-}"
[ -n "$epoch" ] || epoch="$(git -C "$root" log -1 --format=%ct "$commit")" || fail "no time of commit $commit"
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

# The version: FILEVERSION of the version record, which its strings, the
# product version and the About box must repeat.
record="$(x86_64-w64-mingw32-windres -i "$exe" -O rc)"
numbers() { sed -n "s/^ *$1 \\([0-9]*\\), *\\([0-9]*\\), *\\([0-9]*\\), *\\([0-9]*\\).*/\\1.\\2.\\3.\\4/p" <<<"$record"; }
string() { sed -n "s/.*VALUE \"$1\", \"\\([^\"]*\\)\".*/\\1/p" <<<"$record"; }
version="$(numbers FILEVERSION)"
[ -n "$version" ] || fail "no version record in $name.exe"
seen="$(numbers PRODUCTVERSION) $(string FileVersion) $(string ProductVersion)"
[ "$seen" = "$version $version $version" ] ||
    fail "version record: FILEVERSION $version but PRODUCTVERSION, FileVersion, ProductVersion $seen"
about="$(sed -n 's/^ *CONTROL "\('"$name"', Version [^"]*\)".*/\1/p' <<<"$record")"
[ "$about" = "$name, Version ${version%.*.*}" ] || fail "About box: \"$about\", version record $version"
package="$name-$version-win64$dirty"
unstripped="$name-$version-win64-${commit:0:12}$dirty-unstripped.exe"

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

# The build id the linker wrote (-Wl,--build-id): the same in both files.
build_id() { sed -n 's/.*(format RSDS signature \([0-9a-f]*\) age.*/\1/p' <<<"$1"; }
id="$(build_id "$private")"
unstripped_private="$(x86_64-w64-mingw32-objdump -p "$built")"
unstripped_id="$(build_id "$unstripped_private")"
[[ $id =~ ^[0-9a-f]{32}$ ]] || fail "no build id in $name.exe: \"$id\""
[ "$id" = "$unstripped_id" ] || fail "build id $id in $name.exe, \"$unstripped_id\" in the unstripped file"

if [ -z "$mode" ] || [ "$mode" = --reproducible ]; then
    echo "== The stripped program under Wine"
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$root/scripts/release-start-check.sh" \
        "$build/win/wine" "$exe" "$build/win/bin/kavro-window-driver.exe" ||
        fail "the stripped program's start under Wine failed (above)"
fi

# The texts in Windows' line ends; checksums in the format sha256sum -c reads.
sed 's/$/\r/' "$root/docs/user-readme.txt" >"$stage/README.txt"
{
    echo "$name $version for 64-bit Windows"
    if [ -n "$dirty" ]; then
        echo "Built from commit $commit WITH UNCOMMITTED CHANGES: a trial, not a release"
    else
        echo "Built from commit $commit"
    fi
    echo "Build id of $name.exe: $id"
} | sed 's/$/\r/' >"$stage/BUILD.txt"
(cd "$stage" && sha256sum "$name.exe" README.txt BUILD.txt >SHA256SUMS)

# Same bytes whenever the same files are packed: fixed order, time and
# permissions, nothing taken from the file system but the contents.
python3 - "$dist/$package.zip" "$epoch" "$stage" "$name.exe" README.txt BUILD.txt SHA256SUMS <<'EOF'
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
cp "$built" "$dist/$unstripped"
# The value to publish beside the download, as sha256sum -c reads it in dist/.
sum="$(cd "$dist" && sha256sum "$package.zip")"
echo "$sum" >"$dist/$package.zip.sha256"
(cd "$dist" && sha256sum --quiet -c "$package.zip.sha256") || fail "$package.zip.sha256 does not check"

size="$(stat -c %s "$dist/$package.zip")"
exe_size="$(stat -c %s "$exe")"
built_size="$(stat -c %s "$built")"
echo "== $dist/$package.zip: $size bytes"
echo "   $dist/$package.zip.sha256:"
echo "   $sum"
echo "   built from commit $commit${dirty:+ with uncommitted changes}"
echo "   $name.exe: $exe_size bytes, build id $id"
echo "   unstripped, same build id: $dist/$unstripped ($built_size bytes)"

if [ "$mode" = --reproducible ]; then
    echo "== The same release from a fresh clone of $commit at another path"
    twin="$build/twin"
    rm -rf "$twin"
    twin_start=$SECONDS
    git clone --quiet --no-checkout "$root" "$twin/sources"
    git -C "$twin/sources" checkout --quiet --detach "$commit"
    SOURCE_DATE_EPOCH="$epoch" KAVRO_BUILD_DIR="$twin/build" KAVRO_DIST_DIR="$twin/dist" \
        bash "$twin/sources/scripts/release.sh" --twin | sed 's/^/   /'
    for f in "$package.zip" "$package.zip.sha256" "$unstripped"; do
        differ=0
        cmp "$dist/$f" "$twin/dist/$f" || differ=$?
        case $differ in
        0) ;;
        1) fail "$f differs when built from $twin/sources" ;;
        *) fail "cmp could not compare $f with $twin/dist/$f" ;;
        esac
    done
    (cd "$twin/dist" && sha256sum --quiet -c "$package.zip.sha256") ||
        fail "the clone's $package.zip.sha256 does not check"
    echo "== Reproducible: the same bytes and .zip.sha256 from $twin/sources ($((SECONDS - twin_start)) s)"
    rm -rf "$twin"
fi
echo "== Done in $((SECONDS - start)) s"
