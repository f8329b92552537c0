#!/usr/bin/env bash
# Starts a build of the tool under Wine on a test bench, waits for its window,
# closes it and expects the program to end with 0. Runs under an X server
# (xvfb-run):
#   release-start-check.sh BENCH PROGRAM.exe kavro-window-driver.exe
set -euo pipefail
shopt -s inherit_errexit
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/wine-bench.sh"
bench="$1" program="$2" driver="$3"

bench_prepare "$bench" unmanaged
# Wine's service processes outlive the programs: they get a file, not our
# caller's output, so that nobody waits for them to let go of it.
log="$(mktemp "$bench/start-check.XXXXXX")"
tool=""
finish() {
    [ -z "$tool" ] || kill "$tool" 2>/dev/null || true
    rm -f "$log"
}
trap finish EXIT
fail() {
    cat "$log" >&2
    echo "release-start-check.sh: $*" >&2
    exit 1
}

"$WINE" "$program" >"$log" 2>&1 &
tool=$!
"$WINE" "$driver" wait >>"$log" 2>&1 || fail "${program##*/} showed no window"
"$WINE" "$driver" close >>"$log" 2>&1 || fail "could not close its window"
for ((i = 0; i < 100; i++)); do
    kill -0 "$tool" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$tool" 2>/dev/null && fail "${program##*/} still runs 10 s after its window was closed"
rc=0
wait "$tool" || rc=$?
tool=""
[ "$rc" -eq 0 ] || fail "${program##*/} ended with $rc"
echo "   ${program##*/} started, showed its window and ended when it was closed"
