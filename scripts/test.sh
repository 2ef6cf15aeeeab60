#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: first the normal build, then
# the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
jobs=$(nproc)

echo "== Build and test =="
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 600

if [[ "${HALVANE_SKIP_SANITIZERS:-0}" != 1 ]]; then
    echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer =="
    cmake -S . -B build-asan -G Ninja -DHALVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build build-asan -j"$jobs"
    # Leaks inside the system's font and display libraries are theirs, not ours.
    export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 900
fi
