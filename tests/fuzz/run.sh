#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for SECONDS (default 60) from the
# seed corpus. Usage: tests/fuzz/run.sh [SECONDS]
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build-fuzz
rm -rf "$build"
CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DDALK_FUZZ=ON -DDALK_SANITIZE=ON -DDALK_TESTS=OFF >/dev/null
cmake --build "$build" -j --target fuzz_convert fuzz_run fuzz_axis >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in convert run axis; do
    max_len=512
    [ "$target" = run ] || max_len=8192
    mkdir -p "$work/$target"
    echo "fuzz_$target: $seconds s"
    # New inputs go to the scratch corpus; the seeds stay as they are.
    "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=$max_len \
        -artifact_prefix="$work/" -print_final_stats=1 "$work/$target" \
        "$root/tests/fuzz/seeds/$target" >"$work/log" 2>&1 || {
        tail -n 30 "$work/log"
        cp "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$root/" 2>/dev/null || true
        echo "fuzz_$target FAILED (inputs copied to the repository root)"
        exit 1
    }
    grep -E "^Done|stat::number_of_executed_units|cov:" "$work/log" | tail -n 2
done
