#!/usr/bin/env bash
# The signed release, one row per case: scripts/release.sh run as the one who releases runs it, with
# a throwaway PKI made here (no real certificate, no server), and what each run must leave in a dist/
# of its own. Uses the tree's build/win; in a tree with uncommitted changes every run is --dirty.
set -eEuo pipefail
shopt -s inherit_errexit
trap 'echo "signing.sh: stopped at line $LINENO: \"$BASH_COMMAND\" failed with $?" >&2' ERR
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
name=KAVRO_Display_Limit_Switches url=https://example.org/kavro-limit-switches
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
start=$SECONDS

# The certificates, by openssl ca: in OpenSSL 3.0 only it dates one in the past. One key signs
# every code-signing certificate; the password has spaces and shell characters, as a real one may.
password='sh0rt & $weet "pass" word'
cd "$tmp"
printf '%s\n' '[ca]' 'database = index.txt' 'serial = serial' 'policy = any' '[any]' 'commonName = supplied' >ca.cnf
: >index.txt
day() { date -u -d "$1" +%Y%m%d%H%M%SZ; }
certify() { # NAME KEY ISSUER FROM TO SUBJECT EXTENSION...: NAME.pem, its key KEY.key made if new
    local signer=(-cert "$3.pem")
    [ "$3" != "$1" ] || signer=(-selfsign)
    [ -f "$2.key" ] || openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$2.key" 2>/dev/null
    openssl req -new -key "$2.key" -subj "$6" -utf8 -out "$1.csr" 2>/dev/null
    openssl ca -config ca.cnf -name ca -batch -notext -rand_serial -preserveDN -md sha256 -outdir . -utf8 \
        "${signer[@]}" -keyfile "$3.key" -in "$1.csr" -out "$1.pem" -startdate "$(day "$4")" -enddate "$(day "$5")" \
        -extfile <(printf '%s\n' "${@:7}") 2>ca.log || { cat ca.log >&2; exit 1; }
}
ca="basicConstraints=critical,CA:true" ca_usage="keyUsage=critical,keyCertSign,cRLSign" leaf="basicConstraints=CA:false"
leaf_usage="keyUsage=critical,digitalSignature" code="extendedKeyUsage=codeSigning"
certify root root root "-1 day" "+10 years" "/CN=KAVRO Test Root" "$ca" "$ca_usage"
certify intermediate intermediate root "-1 day" "+5 years" "/CN=KAVRO Test Code Signing CA" "$ca,pathlen:0" "$ca_usage"
certify code signer intermediate "-1 day" "+1 year" "/CN=Prüfstand Signer/O=KAVRO Test, Werkstatt" \
    "$leaf" "$leaf_usage" "$code"
certify tls signer intermediate "-1 day" "+1 year" "/CN=kavro.example.org" \
    "$leaf" "$leaf_usage,keyEncipherment" "extendedKeyUsage=serverAuth"
certify expired signer intermediate "-2 years" "-1 year" "/CN=Expired Signer/O=KAVRO Test" "$leaf" "$leaf_usage" "$code"
certify tsa tsa root "-1 day" "+5 years" "/CN=KAVRO Test Time-Stamping" \
    "$leaf" "$leaf_usage" "extendedKeyUsage=critical,timeStamping"
cat tsa.key tsa.pem root.pem >tsa-authority.pem
cat intermediate.pem root.pem >chain.pem
pack() { openssl pkcs12 -export -inkey signer.key -in "$2" -certfile "$3" -passout fd:3 -out "$1" "${@:4}" 3<<<"$password"; }
pack good.p12 code.pem chain.pem
pack tls.p12 tls.pem chain.pem
pack expired.p12 expired.pem chain.pem
pack no-intermediate.p12 code.pem root.pem
pack no-key.p12 code.pem chain.pem -nokeys
pack key-apart.p12 code.pem chain.pem -nomac -certpbe NONE -passout pass:other # no MAC: certificates open with any password
printf '%s\n' "$password" >password.txt
subject="$(openssl x509 -in code.pem -noout -subject -nameopt oneline,-esc_msb,utf8)" subject="${subject#subject=}"
fingerprint="$(openssl x509 -in code.pem -noout -fingerprint -sha256)" fingerprint="${fingerprint#*=}"
pki_s=$((SECONDS - start))

dirty="$(git -C "$root" status --porcelain | sed -n '1s/.*/--dirty/p')" # when anything is uncommitted
# The signing time is the commit's, as osslsigncode prints it.
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct HEAD)}"
signed_at="$(date -u -d "@$epoch" '+%b %e %H:%M:%S %Y GMT')"

fail() { echo "$*"; exit 1; } # a row's checks run in a subshell of their own: the first that fails ends them
# Against the test root alone: the intermediate certificate has to come from the signature.
verify() { osslsigncode verify -CAfile root.pem -TSA-CAfile root.pem -ignore-crl -in "$1" 2>&1; }
has() { grep -qxF -- "$1" <<<"$report" || fail "$2"; } # LINE MESSAGE: a line of verify's report
leaked() { ! leak="$(grep -m 1 -sF -e "$password" -e "env: KAVRO_SIGN_PASSWORD=" "$row/argv")" || fail "seen by a tool: $leak"; }
listing() { (cd "$row/dist" && { find . -mindepth 1 && find . -type f -exec sha256sum {} +; } | sort); }

# What each row expects. A run that went through leaves one archive, unpacked to $row/unpacked.
unpack() {
    [ "$rc" = 0 ] || fail "release.sh failed ($rc)"
    zips=("$row"/dist/*.zip)
    [ ${#zips[@]} = 1 ] && [ -f "${zips[0]}" ] || fail "not one archive in dist/: ${zips[*]##*/}"
    zip="${zips[0]}" exe="$row/unpacked/$name.exe"
    python3 -m zipfile -e "$zip" "$row/unpacked" || fail "python3 could not unpack ${zip##*/}"
    build_txt="$(tr -d '\r' <"$row/unpacked/BUILD.txt")" || fail "no BUILD.txt in ${zip##*/}"
}
expect_unsigned() {
    unpack
    headers="$(x86_64-w64-mingw32-objdump -p "$exe")"
    grep -qE 'Entry 4 0+ 0+ Security Directory' <<<"$headers" || fail "$name.exe carries a certificate table"
    [[ $build_txt != *signed* ]] || fail "BUILD.txt speaks of a signature"
    cp "$exe" "$tmp/unsigned.exe"
}
expect_signed() {
    unpack
    (cd "$row/dist" && sha256sum --quiet -c "${zip##*/}.sha256") || fail "the .zip.sha256 does not check"
    report="$(verify "$exe")" || fail "the signed program does not verify: $report"
    has "Message digest algorithm  : SHA256" "not a SHA-256 digest"
    has $'\t'"Text description: $name" "no program name in the signature"
    has $'\t'"URL description: $url" "no URL in the signature"
    has $'\t'"Signing time: $signed_at" "not signed at the commit's time, $signed_at"
    [ "$1" != stamped ] || has "Timestamp Server Signature verification: ok" "no timestamp: $report"
    # One byte of the code changed: the signature no longer holds.
    cp "$exe" "$row/changed.exe"
    printf '\x5a' | dd of="$row/changed.exe" bs=1 seek=$((0x1000 + 100)) conv=notrunc status=none
    ! cmp -s "$exe" "$row/changed.exe" || fail "the changed byte was already 0x5a"
    ! verify "$row/changed.exe" >/dev/null || fail "a changed program still verifies"
    [[ $build_txt == *"signed (Authenticode, SHA-256) by: $subject"* ]] || fail "BUILD.txt names no signer"
    [[ $build_txt == *"fingerprint of the signing certificate: $fingerprint"* ]] || fail "BUILD.txt has no fingerprint"
    osslsigncode remove-signature -in "$exe" -out "$row/removed.exe" >/dev/null &&
        cmp "$row/removed.exe" "$tmp/unsigned.exe" || fail "without its signature it is not the unsigned program"
    grep -q '^== The signed program under Wine' "$row/log" && grep -q ' started, showed its window' "$row/log" ||
        fail "the signed program was not started under Wine"
    grep -q '^osslsigncode sign ' "$row/argv" || fail "osslsigncode sign was not seen"
}
expect_same() {
    unpack
    for f in "$row"/dist/*; do cmp "$f" "$previous/dist/${f##*/}" || fail "${f##*/} differs from the row before's"; done
}
expect_failed() { # dist/ as it was: same files, same bytes
    [ "$rc" = 1 ] || fail "release.sh ended with $rc, not 1"
    grep -q "^release.sh: .*$1" "$row/log" || fail "no \"$1\""
    [ -z "$breaks" ] || grep -q ': broken by the test$' "$row/log" || fail "stopped before $breaks"
    after="$(listing)" && [ "$after" = "$before" ] || fail "dist/ changed, now with: $(comm -13 <(echo "$before") - <<<"$after")"
}
expect_refused() { expect_failed "$1"; ! grep -q '^cmake ' "$row/argv" || fail "refused only after a build"; }

# Run in $tmp, where the arguments' files are. KAVRO_SIGN_PASSWORD: right, wrong or - (not set). A failed run
# starts from the unsigned row's dist/. Breaks: the "tool arguments" (a pattern) for which that tool fails.
# what | KAVRO_SIGN_PASSWORD | release.sh's arguments (and --dirty) | expected | what it says | breaks
rows="$(sed 's/ *| */|/g' <<ROWS
no certificate, a password set: not signed   | right |                                                         | unsigned
signed, with a timestamp                     | right | --sign good.p12 --url $url --test-tsa tsa-authority.pem | signed   | stamped
signed, the password from a file             | -     | --sign good.p12 --url $url --password-file password.txt | signed
signed again: the same bytes                 | -     | --sign good.p12 --url $url --password-file password.txt | same
a wrong password                             | wrong | --sign good.p12                                         | refused  | does not open good.p12
a TLS server's certificate                   | right | --sign tls.p12                                          | refused  | is not for code signing
an expired certificate                       | right | --sign expired.p12                                      | refused  | expired on
not a PKCS#12 file                           | right | --sign code.pem                                         | refused  | code.pem is not a PKCS#12 file
a chain without its intermediate certificate | right | --sign no-intermediate.p12                              | refused  | does not reach a root
no private key                               | right | --sign no-key.p12                                       | refused  | holds no private key
the key under another password               | right | --sign key-apart.p12                                    | refused  | not its private key
the archive's checksum breaks                | -     | --sign good.p12 --url $url --password-file password.txt | failed   | sha256sum | sha256sum *.zip
--reproducible, the twin's build breaks      | -     | --reproducible --sign good.p12 --password-file password.txt | failed | fresh clone | cmake *twin/sources*
ROWS
)"
# The tools given the password, cmake (every build) and bash (the twin, the Wine check) write down their
# arguments and environment, where the password must never be; the row's breaks make one fail instead.
mkdir shims
for tool in osslsigncode openssl cmake sha256sum bash; do
    printf '#!/bin/sh\necho "%s $*" >>"$KAVRO_TEST_ARGV"\ntr "\\0" "\\n" </proc/$$/environ | sed "s/^/%s env: /" >>"$KAVRO_TEST_ARGV"
case "%s $*" in $KAVRO_TEST_BREAK) echo "%s: broken by the test" >&2; exit 1 ;; esac\nexec %s "$@"\n' \
        "$tool" "$tool" "$tool" "$tool" "$(command -v "$tool")" >"shims/$tool"
done && chmod +x shims/*

failed=0 n=0 previous="" seed=""
while IFS='|' read -r what given arguments kind detail breaks; do
    [[ -z $dirty || $arguments != *--reproducible* ]] || { echo "   skip  $what: needs a committed tree"; continue; }
    n=$((n + 1)) rc=0 row_start=$SECONDS row="$tmp/row$n"
    mkdir -p "$row/dist"
    [[ -z $seed || $kind != @(refused|failed) ]] || cp "$seed"/dist/* "$row/dist/"
    before="$(listing)"
    read -ra arguments <<<"$dirty $arguments"
    (
        case $given in right) export KAVRO_SIGN_PASSWORD="$password" ;; wrong) export KAVRO_SIGN_PASSWORD="${password}x" ;;
        *) unset KAVRO_SIGN_PASSWORD ;; esac
        export KAVRO_DIST_DIR="$row/dist" KAVRO_TEST_ARGV="$row/argv" KAVRO_TEST_BREAK="$breaks" PATH="$tmp/shims:$PATH"
        exec "$BASH" "$root/scripts/release.sh" "${arguments[@]}" # as its caller, not through the wrapper
    ) >"$row/log" 2>&1 || rc=$?
    if why="$("expect_$kind" "$detail" 2>&1)" && why="$(leaked)"; then
        echo "   ok    $what ($((SECONDS - row_start)) s)"
    else
        failed=$((failed + 1))
        echo "   FAIL  $what: $why"
        sed 's/^/      | /' "$row/log"
    fi
    case $kind in signed) previous="$row" ;; unsigned) seed="$row" ;; esac
done <<<"$rows"
echo "signing table: $((n - failed)) passed, $failed failed (certificates $pki_s s, all $((SECONDS - start)) s)"
[ "$failed" = 0 ] || exit 1
