#!/usr/bin/env bash
# Builds and runs the benchmarks (Google Benchmark); prints medians of repeated runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh -DTWL_BUILD_BENCH=ON
for b in build/bench/bench_*; do
  [ -x "$b" ] || continue
  QT_QPA_PLATFORM=offscreen TWL_APP_DIR="$PWD/build/TWL" "$b" \
    --benchmark_repetitions=15 --benchmark_report_aggregates_only=true \
    --benchmark_time_unit=ms "$@"
done
