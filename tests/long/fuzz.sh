#!/usr/bin/env bash
# Bad status replies at scale through the reply parser, under
# AddressSanitizer and UndefinedBehaviorSanitizer, held to the properties
# every correct reading has (tests/host/reply_properties.h):
#   1. the fuzz target over --count generated replies (default 1,000,000)
#      from --seed (default: the clock; printed, so a run repeats);
#   2. the same target under libFuzzer, built with clang, for --seconds
#      (default 60); its corpus stays in build/fuzz/corpus from run to run.
# Prints how many inputs each ran and how long it took. The test pass runs
# the first over 20,000 replies.
#   tests/long/fuzz.sh [--count N] [--seconds S] [--seed S]
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/../../scripts/build-trees.sh"

count=1000000
seconds=60
seed=$(date +%s)
while [ $# -gt 0 ]; do
    case "$1" in
    --count) count=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    *) echo "usage: $0 [--count N] [--seconds S] [--seed S]" >&2; exit 2 ;;
    esac
done

bash "$root/scripts/deps.sh"
# clang and its runtimes for libFuzzer and the sanitizers (Debian 12: clang 14).
if ! command -v clang++ >/dev/null 2>&1 ||
    [ ! -f "$(clang++ -print-runtime-dir)/libclang_rt.fuzzer-x86_64.a" ]; then
    echo "Installing: clang libclang-rt-14-dev"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
        clang libclang-rt-14-dev >/dev/null
fi

now() { date +%s%N; }
# Seconds since $1 (from now), to the millisecond.
since() { local ms=$((($(now) - $1) / 1000000)); printf '%d.%03d' $((ms / 1000)) $((ms % 1000)); }

echo "== generated replies"
build_host status_fuzz
start=$(now)
"$build/host/tests/host/status_fuzz" "$count" "$seed"
echo "wall time: $(since "$start") s"

echo "== libFuzzer, ${seconds} s"
fuzz="$build/fuzz"
mkdir -p "$fuzz/corpus" "$fuzz/artifacts"
# libstdc++'s bounds assertions: an index past the end of a short string
# stays inside the string's own storage, where AddressSanitizer cannot see it.
clang++ -std=c++17 -g -O1 -fno-omit-frame-pointer -D_GLIBCXX_ASSERTIONS -I"$root" \
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    "$root/device/switch_state.cpp" "$root/tests/host/reply_properties.cpp" \
    "$root/tests/fuzz/status_fuzz_target.cpp" -o "$fuzz/status_fuzzer"
# A first corpus: flags byte, buffer byte, then the line.
if [ -z "$(ls -A "$fuzz/corpus")" ]; then
    printf '\x00#11111111\r' >"$fuzz/corpus/steady"
    printf '\xff100000000\r11111111\r00000011\r' >"$fuzz/corpus/changes"
    printf '\x001 1 0 1 0 1 0 1 0\r  1111  \r' >"$fuzz/corpus/spaces"
    printf '\xa5\x00\n111111\r\n1010101\r\n' >"$fuzz/corpus/crlf"
    printf '\x0f\xff\x80\xff1111x1\r111\x0011111\r' >"$fuzz/corpus/odd-bytes"
    { printf '\x00#'; head -c 150 /dev/zero | tr '\0' 1; printf '\r10101010\r'; } >"$fuzz/corpus/long-line"
fi
start=$(now)
status=0
"$fuzz/status_fuzzer" -max_total_time="$seconds" -max_len=512 -print_final_stats=1 \
    -artifact_prefix="$fuzz/artifacts/" "$fuzz/corpus" >"$fuzz/libfuzzer.log" 2>&1 || status=$?
wall=$(since "$start")
if [ "$status" -ne 0 ]; then
    tail -n 40 "$fuzz/libfuzzer.log"
    echo "libFuzzer FAILED (log: $fuzz/libfuzzer.log, input in $fuzz/artifacts/)"
    exit 1
fi
grep -E '^INFO: Seed|^#[0-9]+[[:space:]]+DONE' "$fuzz/libfuzzer.log"
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$fuzz/libfuzzer.log")
rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$fuzz/libfuzzer.log")
echo "libFuzzer: $runs inputs in $wall s ($rate execs/s), corpus $(ls "$fuzz/corpus" | wc -l) files; every check held"
