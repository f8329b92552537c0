#!/usr/bin/env bash
# The long forms of the endurance tests, the real dialog against the
# simulated controller, with the kernel handles, GDI objects and private
# memory the process holds before and after, printed:
#   tests/long/endurance.sh [cycles [repaints]]
#       500 connects and disconnects and 10,000 panel repaints (the test
#       pass runs 16 and 1,000);
#   tests/long/endurance.sh --soak [minutes]
#       connected for 10 minutes while the switches change several times a
#       second, the panel read back from the screen after every change.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/build-trees.sh"
if [ "${1:-}" = --soak ]; then
    export KAVRO_SOAK_SECONDS=$((${2:-10} * 60))
    filter='*/Soak'
else
    export KAVRO_ENDURANCE_CYCLES="${1:-500}" KAVRO_ENDURANCE_REPAINTS="${2:-10000}"
    filter='*DisconnectAndConnectPressedQuicklyInTurn:*RepaintsGiveBackEveryGdiObject'
fi
bash "$root/scripts/deps.sh"
build_host kavro-test-sim
build_win fault_table_tests
xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-exec.sh" --bench "$build/win/wine" \
    --sim "$build/host/tests/sim/kavro-test-sim" -- "$build/win/tests/win/fault_table_tests.exe" --gtest_filter="$filter"
