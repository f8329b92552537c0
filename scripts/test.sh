#!/usr/bin/env bash
# Builds both trees and runs every test: the portable logic on the host under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows side under
# Wine (against the controller simulator, in a private prefix) and Xvfb.
# Then builds the release archive twice, at two paths, and compares the two
# (in a tree with uncommitted changes: once, with every check but that one).
# Installs what is missing first.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/build-trees.sh"

# The release comparison rebuilds the commit, so it needs a committed tree.
# A developer's tree with changes still gets every release check (--dirty);
# CI's clean clone always gets the comparison, and so does a tree that only
# the test run itself made dirty, which the release then refuses.
changes="$(git -C "$root" status --porcelain)" || { echo "test.sh: $root is not a git checkout" >&2; exit 1; }
release=--reproducible
[ -n "${CI:-}" ] || [ -z "$changes" ] || release=--dirty

bash "$root/scripts/deps.sh"

# The tests' Wine prefix is made while the trees build: making it waits on
# Wine far more than on the processor.
mkdir -p "$build"
( . "$root/scripts/wine-bench.sh" && bench_prepare "$build/win/wine" unmanaged ) >"$build/prefix.log" 2>&1 &
prefix=$!

# The two trees build side by side: each has steps that keep one core only
# (configuring, linking), which the other fills.
echo "== host and Windows builds"
build_host >"$build/host-build.log" 2>&1 &
host=$!
build_win
wait "$host" || { cat "$build/host-build.log"; echo "test.sh: the host build failed" >&2; exit 1; }
echo "== host tests"
(cd "$build/host" && ctest --output-on-failure)
wait "$prefix" || { cat "$build/prefix.log"; echo "test.sh: the Wine prefix could not be made" >&2; exit 1; }
echo "== Windows tests (Wine, Xvfb)"
# One at a time: the tests share the prefix, its COM numbers and the display.
(cd "$build/win" && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure)
echo "== Signed release archives (throwaway certificates)"
bash "$root/tests/release/signing.sh"

if [ "$release" = --reproducible ]; then
    echo "== Release archive, built twice at two paths and compared"
    bash "$root/scripts/release.sh" --reproducible
else
    echo "== Release archive of a tree with uncommitted changes (reproducibility needs a commit: not compared)"
    bash "$root/scripts/release.sh" --dirty
fi
