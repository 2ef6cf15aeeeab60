#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each (default 60) from its seed corpus, after building them
# with clang in build-fuzz. Findings are written to build-fuzz/findings/<target>/; the corpus a
# run grows stays in build-fuzz/corpus/<target>/, the seeds in fuzz/corpus/ are left as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=${HALVANE_FUZZ_BUILD:-build-fuzz}
targets=(request option_ini ostrel)

CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DHALVANE_FUZZ=ON -DHALVANE_BUILD_GUI=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"${HALVANE_JOBS:-2}" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    findings="$build/findings/$target"
    mkdir -p "$corpus" "$findings"
    echo "== fuzz_$target for ${seconds} s =="
    # The last lines give the number of runs and the speed; a finding stops the target.
    if ! "$build/bin/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$findings/" -timeout=10 -rss_limit_mb=2048 \
        "$corpus" "fuzz/corpus/$target" >"$build/fuzz_$target.log" 2>&1; then
        status=1
        tail -n 60 "$build/fuzz_$target.log"
    fi
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)|^Done|cov:' \
        "$build/fuzz_$target.log" | tail -n 4
done
exit "$status"
