#!/usr/bin/env bash
# Builds both trees and runs every test: the portable logic on the host under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows side under
# Wine (against the controller simulator, in a private prefix) and Xvfb.
# Installs what is missing first.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KAVRO_BUILD_DIR:-$root/build}"
jobs="$(nproc)"

bash "$root/scripts/deps.sh"

echo "== host build"
cmake -S "$root" -B "$build/host" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/host" -j "$jobs"
echo "== host tests"
(cd "$build/host" && ctest --output-on-failure)

echo "== Windows build"
cmake -S "$root" -B "$build/win" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DKAVRO_SIM="$build/host/sim/kavro-sim" >/dev/null
cmake --build "$build/win" -j "$jobs"
echo "== Windows tests (Wine, Xvfb)"
# One at a time: the tests share the prefix, its COM numbers and the display.
(cd "$build/win" && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure)
