#!/usr/bin/env bash
# Builds both trees and runs every test: the portable logic on the host under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows side under
# Wine (against the controller simulator, in a private prefix) and Xvfb.
# Then builds the release archive twice, at two paths, and compares the two.
# Installs what is missing first.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/build-trees.sh"

bash "$root/scripts/deps.sh"

echo "== host build"
build_host
echo "== host tests"
(cd "$build/host" && ctest --output-on-failure)

echo "== Windows build"
build_win
echo "== Windows tests (Wine, Xvfb)"
# One at a time: the tests share the prefix, its COM numbers and the display.
(cd "$build/win" && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure)

echo "== Release archive, built twice at two paths and compared"
bash "$root/scripts/release.sh" --reproducible
