#!/usr/bin/env bash
# Builds the tool and prints its speed figures under Wine against the
# simulated controller (start-up, poll period, change-to-repaint, line reads).
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/build-trees.sh"
bash "$root/scripts/deps.sh"
build_host kavro-sim
build_win KAVRO_Display_Limit_Switches kavro_bench
xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-exec.sh" --bench "$build/win/wine" \
    --sim "$build/host/sim/kavro-sim" -- "$build/win/bin/kavro_bench.exe"
