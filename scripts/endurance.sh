#!/usr/bin/env bash
# The long form of the endurance tests: 500 connects and disconnects and 10,000
# panel repaints of the real dialog against the simulated controller, with
# the kernel handles, GDI objects and private memory the process holds
# before and after, printed. The test pass runs 50 and 1,000.
#   scripts/endurance.sh [cycles [repaints]]
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/build-trees.sh"
bash "$root/scripts/deps.sh"
build_host kavro-sim
build_win endurance_tests
export KAVRO_ENDURANCE_CYCLES="${1:-500}"
export KAVRO_ENDURANCE_REPAINTS="${2:-10000}"
xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-exec.sh" --bench "$build/win/wine" \
    --sim "$build/host/sim/kavro-sim" -- "$build/win/tests/win/endurance_tests.exe" --gtest_filter='EnduranceTest.ConnectAndDisconnect*:EnduranceTest.Repaints*'
