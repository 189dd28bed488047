#!/usr/bin/env bash
# Builds the release configuration and runs the benchmarks once: scripts/bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
cmake --preset bench >/dev/null
cmake --build --preset bench --target hakomiru_bench
QT_QPA_PLATFORM=offscreen build/bench/bench/hakomiru_bench --benchmark_color=false "$@"
