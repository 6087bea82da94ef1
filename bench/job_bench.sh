#!/usr/bin/env bash
# Whole-job benchmark: 100-page 4 x 6 inch label jobs at 203 and 300 dpi, threshold and
# Floyd-Steinberg, through the built filter with /tmp as it is and with /tmp on a tmpfs (in a
# private mount namespace, so the trace's durable writes go to memory), plus the raster-read
# floor, the in-process stage breakdown and the peak memory of a 300 dpi page.
# Usage: bench/job_bench.sh [BUILD_DIR]   (default: build-bench; needs root for unshare -m)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-$ROOT/build-bench}
export QEV_BENCH_DIR=${QEV_BENCH_DIR:-/var/tmp/qev-bench}

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQEV_BUILD_BENCH=ON \
  -DQEV_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target qev_bench rastertoqevcp make_sample_label qev_ppds -j2 >/dev/null

BENCH="$BUILD/bench/qev_bench"
echo "== /tmp as it is ($(df -T /tmp | awk 'NR==2 {print $2}'))"
"$BENCH" --benchmark_filter='BM_FilterJob|BM_FilterOnePage300' 2>&1 | grep -v '^DEBUG'
echo "== /tmp on a tmpfs (private mount namespace)"
unshare -m sh -c "mount -t tmpfs -o size=1g tmpfs /tmp && \
  '$BENCH' --benchmark_filter='BM_FilterJob' 2>&1 | grep -v '^DEBUG'"
echo "== raster read only (floor) and rendering without the trace, per stage (CPU time)"
"$BENCH" --benchmark_filter='BM_ReadOnly|BM_Render' 2>&1 | grep -v '^DEBUG'
