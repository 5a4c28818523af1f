#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UBSan) and runs each
# for a bounded time, FUZZ_SECONDS (60) by default. A crash, a hang, a leak or a
# sanitizer report fails the run; the input that caused it is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-60}"
targets=(feed_document feed_text ini)

cmake --preset fuzz >/dev/null
cmake --build build-fuzz --target fuzz_make_feed $(printf 'fuzz_%s ' "${targets[@]}")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

# The 5 MB feed is too large to mutate quickly; it runs once as it is.
./build-fuzz/fuzz/fuzz_make_feed 10000 >"$work/large-feed.xml"
./build-fuzz/fuzz/fuzz_feed_document "$work/large-feed.xml" >"$work/large.log" 2>&1 ||
    { cat "$work/large.log"; exit 1; }

for target in "${targets[@]}"; do
    mkdir -p "$work/$target"
    echo "== fuzz_$target for ${seconds}s"
    status=0
    ./build-fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$work/$target-" \
        "$work/$target" "fuzz/corpus/$target" >"$work/$target.log" 2>&1 || status=$?
    grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' \
        "$work/$target.log" || true
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$work/$target.log"
        for artifact in "$work/$target"-*; do
            [ -e "$artifact" ] && { echo "input: $artifact"; od -A d -c "$artifact" | head -40; }
        done
        exit "$status"
    fi
done
