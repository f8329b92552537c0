#!/usr/bin/env bash
# Soaks the real dialog against the simulated controller: connected for the
# given minutes (10 by default) while the switches change several times a
# second, the panel read back from the screen after every change, and the
# kernel handles, GDI objects and private memory of the process printed
# at the start and the end. The test pass runs the same soak for 20 s.
#   scripts/soak.sh [minutes]
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/build-trees.sh"
minutes="${1:-10}"
bash "$root/scripts/deps.sh"
build_host kavro-sim
build_win endurance_tests
export KAVRO_SOAK_SECONDS=$((minutes * 60))
xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-exec.sh" --bench "$build/win/wine" \
    --sim "$build/host/sim/kavro-sim" -- "$build/win/tests/win/endurance_tests.exe" --gtest_filter='EnduranceTest.Soak*'
