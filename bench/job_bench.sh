#!/usr/bin/env bash
# Whole-job benchmark: 100-label and one-label 4 x 6 inch jobs at 203 and 300 dpi, threshold
# and Floyd-Steinberg, through the built filter with the trace on the disk /tmp and on a tmpfs
# (in a private mount namespace), once per QEVCP_TRACE mode; every job is run beside the
# libcups read-only floor (row by row) and reported also as a ratio to it (wall, CPU, peak
# RSS), so figures from different machines compare. Then the in-process stage breakdown.
# Usage: bench/job_bench.sh [BUILD_DIR]   (default: build-bench; needs root for unshare -m)
# QEV_FILTER_EXE=path measures another build of the filter (for a before/after table);
# QEV_BENCH_RUNS=n sets the runs per job (3); QEV_BENCH_MODES the trace modes measured.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${1:-$ROOT/build-bench}
export QEV_BENCH_DIR=${QEV_BENCH_DIR:-/var/tmp/qev-bench}
MODES=${QEV_BENCH_MODES:-durable fast off}

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQEV_BUILD_BENCH=ON \
  -DQEV_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target qev_bench qev_raster_floor rastertoqevcp make_sample_label \
  qev_ppds -j2 >/dev/null

BENCH="$BUILD/bench/qev_bench"
JOBS=(--benchmark_filter=BM_FilterJob --benchmark_counters_tabular=true)
for mode in $MODES; do
  echo "== trace on the disk /tmp ($(df -T /tmp | awk 'NR==2 {print $2}')), QEVCP_TRACE=$mode"
  QEVCP_TRACE=$mode "$BENCH" "${JOBS[@]}" 2>&1 | grep -v '^DEBUG'
  echo "== trace on a tmpfs /tmp (private mount namespace), QEVCP_TRACE=$mode"
  QEVCP_TRACE=$mode unshare -m sh -c "mount -t tmpfs -o size=1g tmpfs /tmp && \
    '$BENCH' ${JOBS[*]} 2>&1 | grep -v '^DEBUG'"
done
echo "== page read and rendering in this process, without the trace, per stage (CPU time)"
"$BENCH" --benchmark_filter='BM_ReadOnly|BM_Render' 2>&1 | grep -v '^DEBUG'
