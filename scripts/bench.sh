#!/usr/bin/env bash
# Builds the tool and a bare loop of the same design, runs both under Wine
# against the simulated controller on one bench, and prints their speed side
# by side on the simulator's clock, with the line's own limits and the
# targets. Takes about five minutes.
#   scripts/bench.sh [seconds of each CPU measure, 60 by default]
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/build-trees.sh"
bash "$root/scripts/deps.sh"
build_host kavro-sim
build_win KAVRO_Display_Limit_Switches kavro_bench kavro_reference_loop
xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-exec.sh" --bench "$build/win/wine" \
    --sim "$build/host/sim/kavro-sim" -- "$build/win/bin/kavro_bench.exe" "$@"
