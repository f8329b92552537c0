#!/usr/bin/env bash
# Builds the archive a user downloads:
#   dist/KAVRO_Display_Limit_Switches-<version>-win64.zip
# holding the program stripped of its debug information, a text for Windows
# users, BUILD.txt (the commit it was built from and the program's build id)
# and SHA256SUMS; beside it dist/<archive>.zip.sha256, the value to publish
# with the download. The unstripped program stays in dist/ too, named after
# the commit (...-win64-<commit>-unstripped.exe): the shipped file's code and
# data lie at the same addresses in it, so crash addresses resolve against it
# (addr2line -f), and both carry the same build id. The three are made and
# checked in a folder of their own and enter dist/ last, together: a run that
# fails leaves dist/ as it was.
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
#
# Signed, with any of the above: the stripped program is Authenticode-signed
# (SHA-256, the certificate's chain included, the program's name and --url as
# its description, signed at the commit's time) before it is checked and
# packed:
#   --sign CERT.p12        the certificate, its chain and its private key
#   --password-file FILE   the password is FILE's first line; without it,
#                          KAVRO_SIGN_PASSWORD holds it (never an argument)
#   --url URL              the page the signature's description links to
#   --timestamp URL        an RFC 3161 time-stamping server: the signature
#                          then outlives the certificate, and the archive
#                          differs from any other build's
#   --test-tsa TSA.pem     for the tests: osslsigncode's built-in
#                          time-stamping authority, with the key and
#                          certificates in TSA.pem, stands in for a server
# The certificate is checked before anything is built, the signature is
# verified against the chain in CERT.p12, and the signed program is the one
# started under Wine and packed.
set -eEuo pipefail
# A command substitution stops the script when a command in it fails, and a
# tool's output is kept in a variable before it is read: $(...) inside a for
# list, a test or an echo would pass on a failing tool's empty output. Any
# stop says where.
shopt -s inherit_errexit
trap 'echo "release.sh: stopped at ${BASH_SOURCE[0]##*/} line $LINENO: \"$BASH_COMMAND\" failed with $?" >&2' ERR
# The password leaves the environment before any program starts: none of them
# (compilers, cmake, Wine, the twin build) inherits it, with --sign or without.
env_password="${KAVRO_SIGN_PASSWORD-}" env_password_set="${KAVRO_SIGN_PASSWORD+set}"
unset KAVRO_SIGN_PASSWORD
name=KAVRO_Display_Limit_Switches
fail() { echo "release.sh: $*" >&2; exit 1; }
usage() {
    echo "usage: scripts/release.sh [--dirty | --reproducible]" \
        "[--sign CERT.p12 [--password-file FILE] [--url URL] [--timestamp URL]]" >&2
    exit 2
}

mode="" allow_dirty="" cert="" password_file="" info_url="" timestamp="" test_tsa=""
while [ $# -gt 0 ]; do
    case "$1" in
    --reproducible | --twin) [ -z "$mode" ] || usage; mode="$1" ;;
    --dirty) allow_dirty=1 ;;
    --sign | --password-file | --url | --timestamp | --test-tsa)
        [ $# -ge 2 ] && [ -n "$2" ] || usage
        case "$1" in
        --sign) [ -z "$cert" ] || usage; cert="$2" ;;
        --password-file) [ -z "$password_file" ] || usage; password_file="$2" ;;
        --url) [ -z "$info_url" ] || usage; info_url="$2" ;;
        --timestamp) [ -z "$timestamp" ] || usage; timestamp="$2" ;;
        --test-tsa) [ -z "$test_tsa" ] || usage; test_tsa="$2" ;;
        esac
        shift
        ;;
    *) usage ;;
    esac
    shift
done
[ -z "$allow_dirty" ] || [ -z "$mode" ] ||
    fail "--dirty with $mode: uncommitted changes cannot be rebuilt from a commit; commit them first"
[ -n "$cert" ] || [ -z "$password_file$info_url$timestamp$test_tsa" ] ||
    fail "--password-file, --url, --timestamp and --test-tsa go with --sign CERT.p12"
[ -z "$timestamp" ] || [ -z "$test_tsa" ] || fail "--timestamp and --test-tsa: one time-stamping authority at a time"
[ -z "$timestamp$test_tsa" ] || [ "$mode" != --reproducible ] ||
    fail "--reproducible with a timestamp: the time-stamping authority signs the time it answers, so no" \
        "two builds agree byte for byte; check with --reproducible --sign CERT.p12 alone, then release" \
        "with --timestamp"

# The password is read once, here, and given to each tool on a descriptor of
# its own, never as an argument. The twin build gets it from this run on
# descriptor 3, closed before it starts anything.
password="" password_from=""
if [ -z "$cert" ]; then
    [ -z "$env_password_set" ] || echo "== KAVRO_SIGN_PASSWORD is set, but without --sign CERT.p12 nothing is signed"
elif [ "$mode" = --twin ]; then
    IFS= read -r password <&3 || fail "--twin --sign: no password on descriptor 3"
    password_from="the release run that started this twin"
elif [ -n "$password_file" ]; then
    [ -z "$env_password_set" ] ||
        fail "a password in KAVRO_SIGN_PASSWORD and --password-file $password_file: give one"
    [ -f "$password_file" ] && [ -r "$password_file" ] || fail "cannot read the password file $password_file"
    IFS= read -r password <"$password_file" || true
    password="${password%$'\r'}"
    password_from="the first line of $password_file"
elif [ -n "$env_password_set" ]; then
    password="$env_password"
    password_from=KAVRO_SIGN_PASSWORD
    [[ $password != *$'\n'* ]] || fail "KAVRO_SIGN_PASSWORD holds a line break: a password is one line"
else
    fail "--sign ${cert##*/}: no password; set KAVRO_SIGN_PASSWORD, or give --password-file FILE"
fi
[ "$mode" != --twin ] || exec 3<&-
env_password=""
if [ -n "$cert" ]; then
    [ -f "$cert" ] && [ -r "$cert" ] || fail "cannot read the certificate $cert"
    cert="$(realpath "$cert")"
    [ -z "$test_tsa" ] || [ -r "$test_tsa" ] || fail "cannot read $test_tsa"
    [ -z "$test_tsa" ] || test_tsa="$(realpath "$test_tsa")"
fi
. "$(dirname "${BASH_SOURCE[0]}")/build-trees.sh"
dist="${KAVRO_DIST_DIR:-$root/dist}"
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

# The certificate, before anything is built: what would be refused after a
# build is refused now. Nothing of it but public certificates is written.
work="$(mktemp -d)" incoming=""
stage="$build/release" out="$work/out"
exe="$stage/$name.exe"
trap 'rm -rf "$work" ${incoming:+"$incoming"}; rm -f "$exe.signing"' EXIT
if [ -n "$cert" ]; then
    p12="${cert##*/}"
    tool="$(osslsigncode --version 2>&1 | sed -n '1s/^osslsigncode \([0-9]*\)\.\([0-9]*\).*/\1 \2/p')" || true
    read -r major minor <<<"${tool:-0 0}"
    ((major > 2 || (major == 2 && minor >= 9))) ||
        fail "osslsigncode ${major}.${minor} cannot sign here: 2.9 or later is needed (verification without" \
            "fetching revocation lists, the built-in time-stamping authority of the tests)"
    # A PKCS#12 file is a SEQUENCE of version 3 and data: told apart from any
    # other file without its password, so that a wrong file is not taken for
    # a wrong password.
    shape="$(openssl asn1parse -inform DER -in "$cert" 2>/dev/null | sed -n '1,4p')" || shape=""
    awk 'NR == 1 && !/d=0 .*SEQUENCE/ || NR == 2 && !/d=1 .*INTEGER *:03$/ ||
         NR == 4 && !/d=2 .*OBJECT *:pkcs7-(data|signedData)$/ { bad = 1 } END { exit bad || NR < 4 }' <<<"$shape" ||
        fail "$p12 is not a PKCS#12 file (.p12 or .pfx: the certificate, its chain and the private key)"
    # -legacy: files exported by Windows are often encrypted with algorithms
    # OpenSSL 3 only has in its legacy provider.
    p12_certs() {
        openssl pkcs12 -legacy -in "$cert" -passin fd:3 -nokeys "$1" 3<<<"$password" 2>"$work/openssl.err"
    }
    leaf_pem="$(p12_certs -clcerts)" ||
        fail "the password from $password_from does not open $p12 ($(head -n 1 "$work/openssl.err"))"
    chain_pem="$(p12_certs -cacerts)" || fail "openssl could not read the chain in $p12: $(head -n 1 "$work/openssl.err")"
    # The private key: osslsigncode opens it with the certificates' password,
    # and it must be the certificate's. Only its public half leaves openssl.
    bags="$(openssl pkcs12 -legacy -in "$cert" -passin fd:3 -info -noout 3<<<"$password" 2>&1)" ||
        fail "openssl could not list what $p12 holds: $(tail -n 1 <<<"$bags")"
    [[ $bags == *"Keybag"* || $bags == *"Key bag"* ]] ||
        fail "$p12 holds no private key: export the certificate with its private key"
    key_public="$(openssl pkcs12 -legacy -in "$cert" -passin fd:3 -nocerts -nodes 3<<<"$password" 2>/dev/null |
        openssl pkey -pubout 2>/dev/null)" ||
        fail "the password from $password_from opens the certificates in $p12 but not its private key:" \
            "export the file again with one password for both"
    count="$(grep -c -- '-----BEGIN CERTIFICATE-----' <<<"$leaf_pem")" || true
    [ "$count" = 1 ] || fail "$p12 holds $count certificates for its key, not one"
    openssl x509 -out "$work/leaf.pem" <<<"$leaf_pem"
    x509() { openssl x509 -in "$work/leaf.pem" -noout "$@"; }
    subject="$(x509 -subject -nameopt oneline,-esc_msb,utf8)"
    subject="${subject#subject=}"
    leaf_public="$(x509 -pubkey)"
    [ "$key_public" = "$leaf_public" ] || fail "$p12: its private key is not the key of $subject's certificate"
    fingerprint="$(x509 -fingerprint -sha256)"
    fingerprint="${fingerprint#*=}"
    [[ $fingerprint =~ ^([0-9A-F]{2}:){31}[0-9A-F]{2}$ ]] || fail "no SHA-256 fingerprint of $p12's certificate"
    # The code-signing purpose, by name among the extended key usages (not a
    # name it is part of, such as Microsoft's commercial one).
    purposes="$(x509 -ext extendedKeyUsage 2>/dev/null | sed -n '2s/^ *//p')"
    [[ ", $purposes," == *", Code Signing,"* ]] ||
        fail "$p12: the certificate of $subject is not for code signing (extended key usage: ${purposes:-none})"
    dates="$(x509 -dates)"
    not_before="$(date -u -d "$(sed -n 's/^notBefore=//p' <<<"$dates")" +%s)"
    not_after="$(date -u -d "$(sed -n 's/^notAfter=//p' <<<"$dates")" +%s)"
    expires="$(date -u -d "@$not_after" '+%Y-%m-%d %H:%M UTC')"
    now="$(date +%s)"
    # Windows judges a signature without a timestamp by the certificate's
    # validity now, and one with a timestamp by its validity at the time the
    # authority signs, which is now as well.
    ((now >= not_before)) ||
        fail "$p12: the certificate of $subject is valid only from $(date -u -d "@$not_before" '+%Y-%m-%d %H:%M UTC')"
    ((now < not_after)) ||
        fail "$p12: the certificate of $subject expired on $expires: Windows would not trust a signature made with it"
    # The signature is verified up to a root that the file itself holds; the
    # intermediate certificates have to come from the signature, as Windows
    # takes them, so the file must hold every one of them.
    awk -v dir="$work" '/-----BEGIN CERTIFICATE-----/ { n++ } n { print > (dir "/chain-" n ".pem") }' <<<"$chain_pem"
    : >"$work/roots.pem"
    for f in "$work"/chain-*.pem; do
        [ -e "$f" ] || continue
        names="$(openssl x509 -in "$f" -noout -subject -issuer -nameopt RFC2253)"
        [ "$(sed -n 's/^subject=//p' <<<"$names")" != "$(sed -n 's/^issuer=//p' <<<"$names")" ] ||
            openssl x509 -in "$f" >>"$work/roots.pem"
    done
    [ -s "$work/roots.pem" ] ||
        fail "$p12 holds no root certificate to verify the signature against: export it with its whole chain"
    printf '%s\n' "$chain_pem" >"$work/chain.pem"
    verified="$(openssl verify -CAfile "$work/roots.pem" -untrusted "$work/chain.pem" "$work/leaf.pem" 2>&1)" ||
        fail "$p12: the chain of $subject does not reach a root in the file" \
            "($(sed -n 's/^error [0-9]* at [0-9]* depth lookup: //p' <<<"$verified" | head -n 1)):" \
            "export the certificate with its whole chain, intermediate certificates included"
    # An RSA key signs the same bytes the same way each time; others, such as
    # ECDSA, with a fresh random number.
    key="$(x509 -text | sed -n 's/^ *Public Key Algorithm: //p')"
    [ "$key" = rsaEncryption ] || [ "$mode" != --reproducible ] ||
        fail "--reproducible: $p12 holds a key that is not RSA ($key), whose signature differs at each" \
            "signing, so no two builds agree byte for byte"
    echo "== Signing as $subject (SHA-256 $fingerprint), valid until $expires"
    [ "$key" = rsaEncryption ] ||
        echo "   a key that is not RSA ($key): its signature, and so the archive, differ from build to build"
fi

if [ "$mode" = --twin ]; then
    build_win "$name" >/dev/null
else
    build_win "$name" kavro-window-driver >/dev/null
fi
built="$build/win/bin/$name.exe"
rm -rf "$stage"
mkdir -p "$stage" "$out"

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
# Only Windows' KnownDLLs, which are loaded from the system folder whatever
# lies beside the program, and the common controls, which the manifest
# takes from Windows' side-by-side store: any other import would be looked
# for in the folder the program was started from (Downloads, say) first.
while read -r dll; do
    case "$dll" in
    advapi32.dll | comctl32.dll | comdlg32.dll | gdi32.dll | kernel32.dll | msvcrt.dll | ole32.dll | \
        oleaut32.dll | setupapi.dll | shell32.dll | shlwapi.dll | user32.dll) ;;
    *) fail "$name.exe imports $dll, which Windows would look for beside the program first" ;;
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

# Signed at the commit's time, as the archive's entries are dated: the same
# certificate and commit give the same bytes. Written beside the program,
# verified, and only then put in its place.
what=stripped
if [ -n "$cert" ]; then
    signing=(-pkcs12 "$cert" -readpass /dev/fd/3 -h sha256 -n "$name" -time "$epoch")
    [ -z "$info_url" ] || signing+=(-i "$info_url")
    [ -z "$timestamp" ] || signing+=(-ts "$timestamp")
    [ -z "$test_tsa" ] || signing+=(-TSA-certs "$test_tsa" -TSA-key "$test_tsa")
    osslsigncode sign "${signing[@]}" -in "$exe" -out "$exe.signing" 3<<<"$password" >"$work/sign.log" 2>&1 || {
        cat "$work/sign.log" >&2
        fail "osslsigncode could not sign $name.exe with $p12 (above)"
    }
    # Revocation lists are not fetched: the signature and its chain are what
    # is proven here, on a machine that may be offline.
    checking=(-CAfile "$work/roots.pem" -require-leaf-hash "sha256:${fingerprint//:/}" -ignore-crl)
    [ -z "$test_tsa" ] || checking+=(-TSA-CAfile "$test_tsa")
    osslsigncode verify "${checking[@]}" -in "$exe.signing" >"$work/verify.log" 2>&1 || {
        cat "$work/verify.log" >&2
        fail "the signature on $name.exe does not verify against the chain in $p12 (osslsigncode verify above)"
    }
    if [ -n "$timestamp$test_tsa" ]; then
        grep -q '^Timestamp Server Signature verification: ok' "$work/verify.log" || {
            cat "$work/verify.log" >&2
            fail "the signature on $name.exe carries no verified timestamp (osslsigncode verify above)"
        }
    fi
    mv "$exe.signing" "$exe"
    what=signed
    echo "== $name.exe signed by $subject, verified against the chain in $p12"
    if [ -n "$timestamp" ]; then
        echo "   time-stamped by $timestamp: this archive's bytes are its own; without --timestamp, the same" \
            "commit and certificate give the same bytes"
    elif [ -z "$test_tsa" ]; then
        echo "   no timestamp: Windows trusts the signature until the certificate expires, $expires"
    fi
    [ -n "$info_url" ] || echo "   no --url: the signature's description names the program without a link"
fi

if [ -z "$mode" ] || [ "$mode" = --reproducible ]; then
    echo "== The $what program under Wine"
    xvfb-run -a -s "-screen 0 1024x768x24" bash "$root/scripts/release-start-check.sh" \
        "$build/win/wine" "$exe" "$build/win/bin/kavro-window-driver.exe" ||
        fail "the $what program's start under Wine failed (above)"
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
    if [ -n "$cert" ]; then
        echo "$name.exe is signed (Authenticode, SHA-256) by: $subject"
        echo "SHA-256 fingerprint of the signing certificate: $fingerprint"
        if [ -n "$timestamp" ]; then
            echo "The signature is time-stamped by $timestamp: it stays valid after the certificate expires"
        elif [ -n "$test_tsa" ]; then
            echo "The signature is time-stamped by a test authority: a trial, not a release"
        else
            echo "The signature is not time-stamped: it is valid until the certificate expires, $expires"
        fi
    fi
} | sed 's/$/\r/' >"$stage/BUILD.txt"
(cd "$stage" && sha256sum "$name.exe" README.txt BUILD.txt >SHA256SUMS)

# Same bytes whenever the same files are packed: fixed order, time and
# permissions, nothing taken from the file system but the contents.
python3 - "$out/$package.zip" "$epoch" "$stage" "$name.exe" README.txt BUILD.txt SHA256SUMS <<'EOF'
import sys, time, zipfile
archive, epoch, folder, names = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4:]
stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980
with zipfile.ZipFile(archive, "w") as out:
    for entry in names:
        info = zipfile.ZipInfo(entry, date_time=stamp)
        info.create_system = 3
        info.external_attr = 0o100644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        with open(folder + "/" + entry, "rb") as f:
            out.writestr(info, f.read(), compresslevel=9)
EOF
cp "$built" "$out/$unstripped"
# The value to publish beside the download, as sha256sum -c reads it in dist/.
sum="$(cd "$out" && sha256sum "$package.zip")"
echo "$sum" >"$out/$package.zip.sha256"
(cd "$out" && sha256sum --quiet -c "$package.zip.sha256") || fail "$package.zip.sha256 does not check"

if [ "$mode" = --reproducible ]; then
    echo "== The same release from a fresh clone of $commit at another path"
    twin="$build/twin"
    rm -rf "$twin"
    twin_start=$SECONDS
    git clone --quiet --no-checkout "$root" "$twin/sources"
    git -C "$twin/sources" checkout --quiet --detach "$commit"
    # The twin signs with the same certificate, so that the signed bytes are
    # compared too; it reads the password on descriptor 3.
    signed=()
    [ -z "$cert" ] || signed=(--sign "$cert")
    [ -z "$info_url" ] || signed+=(--url "$info_url")
    SOURCE_DATE_EPOCH="$epoch" KAVRO_BUILD_DIR="$twin/build" KAVRO_DIST_DIR="$twin/dist" \
        bash "$twin/sources/scripts/release.sh" --twin "${signed[@]}" 3<<<"$password" | sed 's/^/   /' ||
        fail "the build from a fresh clone of $commit failed (above): nothing added to $dist"
    for f in "$package.zip" "$package.zip.sha256" "$unstripped"; do
        differ=0
        cmp "$out/$f" "$twin/dist/$f" || differ=$?
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

# Every check passed: the set enters dist/. Copied first into a hidden folder
# in it, on its file system, each file then arrives whole by a rename, the
# .zip.sha256 last, with no interruption taken between the first rename and
# the last.
mkdir -p "$dist"
incoming="$(mktemp -d "$dist/.incoming.XXXXXX")"
cp "$out/$unstripped" "$out/$package.zip" "$out/$package.zip.sha256" "$incoming/"
trap '' INT TERM HUP
for f in "$unstripped" "$package.zip" "$package.zip.sha256"; do mv -f "$incoming/$f" "$dist/$f"; done
trap - INT TERM HUP

size="$(stat -c %s "$dist/$package.zip")"
exe_size="$(stat -c %s "$exe")"
built_size="$(stat -c %s "$built")"
echo "== $dist/$package.zip: $size bytes"
echo "   $dist/$package.zip.sha256:"
echo "   $sum"
echo "   built from commit $commit${dirty:+ with uncommitted changes}"
echo "   $name.exe: $exe_size bytes, build id $id"
echo "   unstripped, same build id: $dist/$unstripped ($built_size bytes)"
[ -z "$cert" ] || echo "   signed by $subject, SHA-256 fingerprint $fingerprint"
echo "== Done in $((SECONDS - start)) s"
