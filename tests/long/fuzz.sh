#!/usr/bin/env bash
# Status replies, good and bad, at scale through the reply parser, under
# AddressSanitizer and UndefinedBehaviorSanitizer, held to the status-reply
# rule (tests/fuzz/status_fuzz_target.h): the fuzz target over --count
# generated replies (default 1,000,000; how many of them are read is
# printed) from --seed (default: the clock; printed, so a run repeats), then
# under libFuzzer, built with clang, for --seconds (default 60; its corpus
# stays in build/fuzz/corpus). The test pass runs the first over 20,000.
#   tests/long/fuzz.sh [--count N] [--seconds S] [--seed S]
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/build-trees.sh"
count=1000000 seconds=60 seed=$(date +%s)
while [ $# -gt 0 ]; do
    case "$1" in
    --count) count=$2 ;; --seconds) seconds=$2 ;; --seed) seed=$2 ;;
    *) echo "usage: $0 [--count N] [--seconds S] [--seed S]" >&2; exit 2 ;;
    esac
    shift 2
done
bash "$root/scripts/deps.sh"
# clang and its runtimes for libFuzzer and the sanitizers (Debian 12: clang 14).
if ! command -v clang++ >/dev/null 2>&1 || [ ! -f "$(clang++ -print-runtime-dir)/libclang_rt.fuzzer-x86_64.a" ]; then
    echo "Installing: clang libclang-rt-14-dev"
    SUDO=$([ "$(id -u)" -eq 0 ] || echo sudo)
    $SUDO apt-get update -qq && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
        clang libclang-rt-14-dev >/dev/null
fi

echo "== generated replies"
build_host host_tests
start=$SECONDS
KAVRO_REPLY_COUNT="$count" KAVRO_REPLY_SEED="$seed" "$build/host/tests/host/host_tests" \
    --gtest_filter=ReplyRules.FuzzTargetOverGeneratedReplies
echo "$count replies from seed $seed in $((SECONDS - start)) s"

echo "== libFuzzer, ${seconds} s"
fuzz="$build/fuzz"
mkdir -p "$fuzz/corpus" "$fuzz/artifacts"
# libstdc++'s bounds assertions: an index past the end of a short string
# stays inside the string's own storage, where AddressSanitizer cannot see it.
clang++ -std=c++17 -g -O1 -fno-omit-frame-pointer -D_GLIBCXX_ASSERTIONS -I"$root" -fsanitize=fuzzer,address,undefined \
    -fno-sanitize-recover=all "$root/device/switch_state.cpp" "$root/sim/hex.cpp" "$root/tests/fuzz/status_fuzz_target.cpp" \
    -o "$fuzz/status_fuzzer"
# A first corpus: the flags byte, the buffer byte, then the line.
[ -n "$(ls -A "$fuzz/corpus")" ] || {
    printf '\x00#11111111' >"$fuzz/corpus/steady"
    printf '\x001 1 0 1 0 1 0 1 0' >"$fuzz/corpus/spaces"
    printf '\x0f\xff\x80\xff1111x1' >"$fuzz/corpus/odd-bytes"
    printf '\xa5\x02111\x0011111' >"$fuzz/corpus/nul"
}
status=0
"$fuzz/status_fuzzer" -max_total_time="$seconds" -max_len=128 -print_final_stats=1 \
    -artifact_prefix="$fuzz/artifacts/" "$fuzz/corpus" >"$fuzz/libfuzzer.log" 2>&1 || status=$?
if [ "$status" -ne 0 ]; then
    tail -n 40 "$fuzz/libfuzzer.log"
    echo "libFuzzer FAILED (log: $fuzz/libfuzzer.log, input in $fuzz/artifacts/)"
    exit 1
fi
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$fuzz/libfuzzer.log")
echo "libFuzzer: $runs inputs in $seconds s, corpus $(ls "$fuzz/corpus" | wc -l) files; every check held"
