#!/usr/bin/env bash
# Builds and runs the benchmarks (Google Benchmark); prints medians of repeated runs, then the
# medians and ratios of the whole run (scripts/bench_summary.py). The show sizes are the
# benchmarks' own (1,000, 10,000 and 100,000 entries) unless TWL_BENCH_SIZES names others, for
# instance TWL_BENCH_SIZES=1000,10000,100000,300000 scripts/bench.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh -DTWL_BUILD_BENCH=ON
results=build/bench-results
mkdir -p "$results"
for b in build/bench/bench_*; do
  [ -x "$b" ] || continue
  QT_QPA_PLATFORM=offscreen TWL_APP_DIR="$PWD/build/TWL" "$b" \
    --benchmark_repetitions=15 --benchmark_report_aggregates_only=true \
    --benchmark_time_unit=ms --benchmark_out="$results/$(basename "$b").json" \
    --benchmark_out_format=json "$@"
done
echo "Load: $(cut -d' ' -f1-3 /proc/loadavg)"
/usr/bin/python3 scripts/bench_summary.py "$results"/*.json
