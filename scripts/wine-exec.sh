#!/usr/bin/env bash
# Runs a Windows program of ours under Wine on the test bench, with the
# controller simulator's control server beside it:
#   wine-exec.sh --bench DIR --sim SIMULATOR -- program.exe [args...]
# The program finds the control server's TCP port in KAVRO_SIM_CONTROL.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
. "$here/wine-bench.sh"

bench="" sim=""
while [ $# -gt 0 ]; do
    case "$1" in
    --bench) bench="$2"; shift 2 ;;
    --sim) sim="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
    esac
done
[ -n "$bench" ] || { echo "wine-exec.sh: --bench is required" >&2; exit 2; }

bench_prepare "$bench" unmanaged

sim_pid=""
if [ -n "$sim" ] && [ -x "$sim" ]; then
    port_file="$(mktemp -u "$bench/sim-port.XXXXXX")"
    "$sim" serve --port-file "$port_file" --links "$bench/ports" --dosdevices "$WINEPREFIX/dosdevices" \
        </dev/null >"$bench/sim.log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 1 100); do
        [ -s "$port_file" ] && break
        sleep 0.05
    done
    if [ ! -s "$port_file" ]; then
        echo "wine-exec.sh: the simulator did not start (see $bench/sim.log)" >&2
        kill "$sim_pid" 2>/dev/null
        exit 2
    fi
    export KAVRO_SIM_CONTROL="$(cat "$port_file")"
fi

# Wine's service processes start with the first program and outlive it
# until the server exits; they must not hold our caller's output open (ctest
# would wait for them), so the program writes to a file shown afterwards.
out="$(mktemp "$bench/output.XXXXXX")"
"$WINE" "$@" >"$out" 2>&1
rc=$?
cat "$out"
rm -f "$out"

if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null
    wait "$sim_pid" 2>/dev/null
fi
exit $rc
