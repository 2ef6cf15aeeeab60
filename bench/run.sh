#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them all; prints one table with the goal beside each
# figure. The runs take under two minutes on two cores, plus the build. Extra arguments go to load_client
# (e.g. --clients 64 --seconds 5).
#
#   bench/run.sh [load_client options]
#   BUILD_DIR=build-bench bench/run.sh
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target halvane tarnel ostrel baseline_server load_client \
    startup_memory ostrel_bench >/dev/null

bin="$build/bin"
table="$(mktemp)"
trap 'rm -f "$table"' EXIT

before="$(cut -d' ' -f1-3 /proc/loadavg)"
start=$(date +%s)
{
    "$bin/load_client" "$@"
    "$bin/startup_memory"
    "$bin/ostrel_bench"
} | tee -a "$table" >/dev/null
end=$(date +%s)

echo
echo "| measure | figure | goal | |"
echo "|---|---|---|---|"
cat "$table"
echo
echo "Ran in $((end - start)) s on $(nproc) cores ($(uname -r)); load average (1, 5, 15 min)" \
    "before: $before, after: $(cut -d' ' -f1-3 /proc/loadavg)."
