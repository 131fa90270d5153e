#!/usr/bin/env bash
# Builds the fuzz targets in fuzz/ with clang (libFuzzer, AddressSanitizer, UndefinedBehavior-
# Sanitizer) and runs each for a bounded time, starting from its seed corpus in fuzz/corpus/<name>.
# Fails when any target crashes, hangs, leaks, runs out of memory or breaks a property it checks;
# the input that did it is kept in <build>/artifacts/<name>/ and the whole log beside it. Run
# <build>/fuzz/fuzz_<name> <input> to replay one input; once mended, add it to the seeds so that
# every run replays it.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVRIN_FUZZ_BUILD_DIR:-$top/build-fuzz}
seconds=${1:-60}
per_input_timeout=10 # seconds; the readers take microseconds, so this only catches a hang
rss_limit_mb=2048

"$top/scripts/deps.sh" test
cmake -S "$top" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTAVRIN_FUZZ=ON -DBUILD_TESTING=OFF -DTAVRIN_BENCH=OFF >/dev/null

names=()
for seeds in "$top"/fuzz/corpus/*/; do
    names+=("$(basename "$seeds")")
done
cmake --build "$build" -j"$(nproc)" --target "${names[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=1:${ASAN_OPTIONS:-}
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}
failed=()
for name in "${names[@]}"; do
    # New inputs go to a corpus in the build directory; the seeds in the repository stay as they are.
    corpus=$build/corpus/$name
    artifacts=$build/artifacts/$name
    log=$build/artifacts/$name.log
    mkdir -p "$corpus" "$artifacts"
    echo "fuzz_$name: $seconds s"
    if "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout="$per_input_timeout" \
        -rss_limit_mb="$rss_limit_mb" -max_len=8192 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$corpus" "$top/fuzz/corpus/$name" >"$log" 2>&1; then
        grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" | sed 's/^/    /'
        echo "    corpus: $(find "$corpus" -type f | wc -l) inputs found, $(find "$top/fuzz/corpus/$name" -type f | wc -l) seeds"
    else
        tail -n 60 "$log"
        echo "fuzz_$name FAILED: see $log and $artifacts/" >&2
        failed+=("$name")
    fi
done
[ ${#failed[@]} -eq 0 ]
