#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: first the normal build, then
# the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer, then the
# concurrency tests under ThreadSanitizer, then each fuzz target for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
jobs=$(nproc)
# Each stage's CTest summary is kept, so that the run ends with one line for all of them.
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT

echo "== Build and test =="
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 600 | tee -a "$summary"

if [[ "${HALVANE_SKIP_SANITIZERS:-0}" != 1 ]]; then
    echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer =="
    cmake -S . -B build-asan -G Ninja -DHALVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build build-asan -j"$jobs"
    # Leaks inside the system's font and display libraries are theirs, not ours.
    export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 900 | tee -a "$summary"
fi

if [[ "${HALVANE_SKIP_TSAN:-0}" != 1 ]]; then
    echo "== Build and test the concurrency tests with ThreadSanitizer =="
    cmake -S . -B build-tsan -G Ninja -DHALVANE_TSAN=ON \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build-tsan -j"$jobs" --target shell_tests doorlock_tests reliability_tests halvane
    # No suppressions: any race in the listener, the log, the door-lock path or the program
    # under load fails the run.
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
    # A shorter soak: the instrumented program is several times slower.
    HALVANE_SOAK_REQUESTS=${HALVANE_TSAN_SOAK_REQUESTS:-100} \
        ctest --test-dir build-tsan --output-on-failure -j"$jobs" --timeout 900 \
        -R 'RequestListener|LogFile|ConcurrencyTest|Soak|IdleFlood|CrashSafety' | tee -a "$summary"
fi

if [[ "${HALVANE_SKIP_FUZZ:-0}" != 1 ]]; then
    echo "== Fuzz each target for ${HALVANE_FUZZ_SECONDS:-60} s =="
    HALVANE_JOBS="$jobs" ./fuzz/run.sh "${HALVANE_FUZZ_SECONDS:-60}"
fi

passed=$(grep -Eo 'tests passed, 0 tests failed out of [0-9]+' "$summary" | awk '{s += $NF} END {print s + 0}')
echo "All stages: ${passed} passed, 0 failed"
