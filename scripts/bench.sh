#!/usr/bin/env bash
# Builds the benchmarks in Release and runs every one of them, printing one
# table. Extra arguments go to the benchmark program, for example
#   bash scripts/bench.sh --benchmark_filter=Redraw
# The whole run takes about a minute, most of it the waiting benchmark (5 s),
# the two paced transfers through the simulated instrument (about 12 s) and
# the overview following a paced read-back (8.5 s).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DLA_BUILD_BENCH=ON -DLA_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench --target la-bench -j"$(nproc)"
echo
echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(free -h | awk '/^Mem:/ {print $2}') memory"
exec build-bench/bench/la-bench "$@"
