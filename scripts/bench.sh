#!/usr/bin/env bash
# Builds the tool and prints its speed figures under Wine against the
# simulated controller (start-up, poll period, change-to-repaint, line reads).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAVRO_BUILD_DIR:-$root/build}"
jobs="$(nproc)"
bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$build/host" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/host" -j "$jobs" --target kavro-sim
cmake -S "$root" -B "$build/win" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DKAVRO_SIM="$build/host/sim/kavro-sim" >/dev/null
cmake --build "$build/win" -j "$jobs" --target KAVRO_Display_Limit_Switches kavro_bench
xvfb-run -a -s "-screen 0 1024x768x24" "$root/scripts/wine-exec.sh" --bench "$build/win/wine" \
    --sim "$build/host/sim/kavro-sim" -- "$build/win/bin/kavro_bench.exe"
