#!/usr/bin/env bash
# The signed release, one row per case: scripts/release.sh run as the one who
# releases runs it, with a throwaway root, intermediate, code-signing
# certificates and a time-stamping authority made here, and what each run
# must leave in a dist/ folder of its own. No row needs a real certificate or
# a server. Uses the tree's build/win (release.sh builds what is missing);
# in a tree with uncommitted changes every run is a --dirty one.
#   tests/release/signing.sh
set -eEuo pipefail
shopt -s inherit_errexit
trap 'echo "signing.sh: stopped at line $LINENO: \"$BASH_COMMAND\" failed with $?" >&2' ERR
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
name=KAVRO_Display_Limit_Switches
url=https://example.org/kavro-limit-switches
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
start=$SECONDS

# The certificates. One key signs every code-signing certificate; the
# password has spaces and shell characters, as a real one may.
password='sh0rt & $weet "pass" word'
pki="$tmp/pki"
mkdir -p "$pki/issued"
cd "$pki"
cat >ca.cnf <<CNF
[ca]
default_ca = test
[test]
database = $pki/index.txt
serial = $pki/serial
new_certs_dir = $pki/issued
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
organizationName = optional
[root]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
[intermediate]
basicConstraints = critical, CA:true, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
[code]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
[tls]
basicConstraints = CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
[tsa]
basicConstraints = CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
CNF
: >index.txt
echo 01 >serial
day() { date -u -d "$1" +%Y%m%d%H%M%SZ; }
# issue NAME KEY SUBJECT SECTION ISSUER FROM TO
issue() {
    openssl req -new -key "$2" -subj "$3" -utf8 -out "$1.csr" 2>/dev/null
    local signer=(-cert "$5.pem" -keyfile "$5.key")
    [ "$5" != "$1" ] || signer=(-selfsign -keyfile "$2")
    openssl ca -config ca.cnf -batch -notext -rand_serial -utf8 "${signer[@]}" -in "$1.csr" -out "$1.pem" \
        -extensions "$4" -startdate "$(day "$6")" -enddate "$(day "$7")" 2>ca.log || { cat ca.log >&2; exit 1; }
}
for key in root intermediate signer tsa; do
    openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$key.key" 2>/dev/null
done
issue root root.key "/CN=KAVRO Test Root" root root "-1 day" "+10 years"
issue intermediate intermediate.key "/CN=KAVRO Test Code Signing CA" intermediate root "-1 day" "+5 years"
issue code signer.key "/CN=Prüfstand Signer/O=KAVRO Test, Werkstatt" code intermediate "-1 day" "+1 year"
issue tls signer.key "/CN=kavro.example.org" tls intermediate "-1 day" "+1 year"
issue expired signer.key "/CN=Expired Signer/O=KAVRO Test" code intermediate "-2 years" "-1 year"
issue tsa tsa.key "/CN=KAVRO Test Time-Stamping" tsa root "-1 day" "+5 years"
cat tsa.key tsa.pem root.pem >tsa-authority.pem
cat intermediate.pem root.pem >chain.pem
pack() { # NAME CERTIFICATE CHAIN
    openssl pkcs12 -export -inkey signer.key -in "$2" -certfile "$3" -passout fd:3 -out "$1" 3<<<"$password"
}
pack good.p12 code.pem chain.pem
pack tls.p12 tls.pem chain.pem
pack expired.p12 expired.pem chain.pem
pack no-intermediate.p12 code.pem root.pem
printf '%s\n' "$password" >password.txt
subject="$(openssl x509 -in code.pem -noout -subject -nameopt oneline,-esc_msb,utf8)"
subject="${subject#subject=}"
fingerprint="$(openssl x509 -in code.pem -noout -fingerprint -sha256)"
fingerprint="${fingerprint#*=}"
cd "$root"
pki_s=$((SECONDS - start))

dirty=()
changes="$(git -C "$root" status --porcelain)"
[ -z "$changes" ] || dirty=(--dirty)
# The signing time is the commit's, as osslsigncode prints it.
epoch="${SOURCE_DATE_EPOCH:-}"
[ -n "$epoch" ] || epoch="$(git -C "$root" log -1 --format=%ct HEAD)"
signed_at="$(date -u -d "@$epoch" '+%b %e %H:%M:%S %Y GMT')"

# The program as the archive holds it, unpacked to "$row/unpacked".
unpack() {
    local zips=("$row"/dist/*.zip)
    [ ${#zips[@]} = 1 ] && [ -f "${zips[0]}" ] || { echo "not one archive in dist/: ${zips[*]##*/}"; return 1; }
    zip="${zips[0]}"
    python3 -m zipfile -e "$zip" "$row/unpacked" || { echo "python3 could not unpack ${zip##*/}"; return 1; }
    exe="$row/unpacked/$name.exe"
    build_txt="$(tr -d '\r' <"$row/unpacked/BUILD.txt")"
}
# osslsigncode's verification against the test root alone: the intermediate
# certificate has to come from the signature.
verify() { osslsigncode verify -CAfile "$pki/root.pem" -TSA-CAfile "$pki/root.pem" -ignore-crl -in "$1" 2>&1; }

# What each row expects.
expect_unsigned() {
    [ "$rc" = 0 ] || { echo "release.sh failed ($rc)"; return 1; }
    unpack || return 1
    local headers
    headers="$(x86_64-w64-mingw32-objdump -p "$exe")"
    grep -q 'Entry 4 0000000000000000 00000000 Security Directory' <<<"$headers" ||
        { echo "$name.exe carries a certificate table"; return 1; }
    [[ $build_txt != *signed* ]] || { echo "BUILD.txt speaks of a signature"; return 1; }
    cp "$exe" "$tmp/unsigned.exe"
}
expect_signed() {
    [ "$rc" = 0 ] || { echo "release.sh failed ($rc)"; return 1; }
    unpack || return 1
    (cd "$row/dist" && sha256sum --quiet -c "${zip##*/}.sha256") || { echo "the .zip.sha256 does not check"; return 1; }
    local report
    report="$(verify "$exe")" || { echo "the signed program does not verify: $report"; return 1; }
    grep -q '^Message digest algorithm  : SHA256' <<<"$report" || { echo "not a SHA-256 digest"; return 1; }
    grep -qx $'\t'"Text description: $name" <<<"$report" || { echo "no program name in the signature"; return 1; }
    grep -qx $'\t'"URL description: $url" <<<"$report" || { echo "no URL in the signature"; return 1; }
    grep -qx $'\t'"Signing time: $signed_at" <<<"$report" || { echo "not signed at the commit's time, $signed_at"; return 1; }
    if [ "${1:-}" = stamped ]; then
        grep -q '^Timestamp Server Signature verification: ok' <<<"$report" || { echo "no timestamp: $report"; return 1; }
    fi
    # One byte of the code changed: the signature no longer holds.
    cp "$exe" "$row/changed.exe"
    printf '\x5a' | dd of="$row/changed.exe" bs=1 seek=$((0x1000 + 100)) conv=notrunc status=none
    ! cmp -s "$exe" "$row/changed.exe" || { echo "the changed byte was already 0x5a"; return 1; }
    ! verify "$row/changed.exe" >/dev/null || { echo "a changed program still verifies"; return 1; }
    [[ $build_txt == *"signed (Authenticode, SHA-256) by: $subject"* ]] || { echo "BUILD.txt names no signer"; return 1; }
    [[ $build_txt == *"fingerprint of the signing certificate: $fingerprint"* ]] ||
        { echo "BUILD.txt has no fingerprint"; return 1; }
    osslsigncode remove-signature -in "$exe" -out "$row/removed.exe" >/dev/null 2>&1 ||
        { echo "osslsigncode could not remove the signature"; return 1; }
    cmp "$row/removed.exe" "$tmp/unsigned.exe" || { echo "without its signature it is not the unsigned program"; return 1; }
    grep -q '^== The signed program under Wine' "$row/log" && grep -q ' started, showed its window' "$row/log" ||
        { echo "the signed program was not started under Wine"; return 1; }
    grep -q '^osslsigncode sign ' "$row/argv" || { echo "osslsigncode sign was not seen"; return 1; }
}
expect_same() {
    [ "$rc" = 0 ] || { echo "release.sh failed ($rc)"; return 1; }
    unpack || return 1
    local f
    for f in "$row"/dist/*; do
        cmp "$f" "$previous/dist/${f##*/}" || { echo "${f##*/} differs from the row before's"; return 1; }
    done
}
expect_refused() {
    [ "$rc" = 1 ] || { echo "release.sh ended with $rc, not 1"; return 1; }
    grep -q "^release.sh: .*$1" "$row/log" || { echo "no \"$1\""; return 1; }
    local left
    left="$(find "$row/dist" -mindepth 1)"
    [ -z "$left" ] || { echo "left in dist/: $left"; return 1; }
    ! grep -q 'under Wine' "$row/log" || { echo "went on to the Wine check"; return 1; }
}

# what | password from | certificate | further options | expected
rows="$(cat <<ROWS
no certificate: nothing signed, as before    | -           | -                   |                                      | unsigned
signed, with a timestamp                     | environment | good.p12            | --url $url --test-tsa tsa-authority.pem | signed stamped
signed, the password from a file             | file        | good.p12            | --url $url                           | signed
signed again: the same bytes                 | file        | good.p12            | --url $url                           | same
a wrong password                             | wrong       | good.p12            |                                      | refused does not open good.p12
a TLS server's certificate                   | environment | tls.p12             |                                      | refused is not for code signing
an expired certificate                       | environment | expired.p12         |                                      | refused expired on
not a PKCS#12 file                           | environment | code.pem            |                                      | refused code.pem is not a PKCS#12 file
a chain without its intermediate certificate | environment | no-intermediate.p12 |                                      | refused does not verify against the chain
ROWS
)"
# The two programs that are given the password write down their arguments
# first: it must be in none.
shims="$tmp/shims"
mkdir -p "$shims"
for tool in osslsigncode openssl; do
    real="$(command -v "$tool")"
    printf '#!/bin/sh\necho "%s $*" >>"$KAVRO_TEST_ARGV"\nexec %s "$@"\n' "$tool" "$real" >"$shims/$tool"
    chmod +x "$shims/$tool"
done

trim() { read -r "$1" <<<"${!1}"; }
passed=0 failed=0 n=0 previous=""
while IFS='|' read -r what from certificate options expected; do
    n=$((n + 1))
    row="$tmp/row$n"
    mkdir -p "$row/dist"
    trim what; trim from; trim certificate
    read -ra options <<<"$options"
    options=("${options[@]/#tsa-authority.pem/$pki/tsa-authority.pem}")
    read -ra expected <<<"$expected"
    args=("${dirty[@]}")
    [ "$certificate" = - ] || args+=(--sign "$pki/$certificate")
    [ "$from" != file ] || args+=(--password-file "$pki/password.txt")
    row_start=$SECONDS rc=0
    (
        unset KAVRO_SIGN_PASSWORD
        case "$from" in
        environment) export KAVRO_SIGN_PASSWORD="$password" ;;
        wrong) export KAVRO_SIGN_PASSWORD="${password}x" ;;
        esac
        export KAVRO_DIST_DIR="$row/dist" KAVRO_TEST_ARGV="$row/argv" PATH="$shims:$PATH"
        exec bash "$root/scripts/release.sh" "${args[@]}" "${options[@]}"
    ) >"$row/log" 2>&1 || rc=$?
    touch "$row/argv"
    good=1
    if ! why="$("expect_${expected[0]}" "${expected[*]:1}" 2>&1)"; then
        good=""
    elif leak="$(grep -F -- "$password" "$row/argv")"; then
        good="" why="the password is in the arguments of: $leak"
    fi
    if [ -n "$good" ]; then
        passed=$((passed + 1))
        echo "   ok    $what ($((SECONDS - row_start)) s)"
    else
        failed=$((failed + 1))
        echo "   FAIL  $what: $why"
        sed 's/^/      | /' "$row/log"
    fi
    [ "${expected[0]}" != signed ] || previous="$row"
done <<<"$rows"
echo "signing table: $passed passed, $failed failed (certificates $pki_s s, all $((SECONDS - start)) s)"
[ "$failed" = 0 ] || exit 1
