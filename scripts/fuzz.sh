#!/usr/bin/env bash
# Long fuzz runs (not part of the test command): builds the libFuzzer targets with clang
# (QEV_FUZZ=ON) and runs each for the given time, at most QEV_JOBS at once.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     targets: filter ppd_keyword option_table
#                                             imaging log_config tspl_parser (default: all)
# Each target grows a working corpus in $OUT/fuzz/<target>/corpus, read together with the
# committed seeds in fuzz/corpus/<target>/ (and fuzz/<target>.dict as dictionary if present). A crashing input is copied into the committed
# corpus (where the replay test under ctest keeps it as a regression input). With
# QEV_FUZZ_MERGE=1 the working corpus is merged, minimised, into the committed one.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

SECONDS_EACH="${1:-600}"
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=(filter ppd_keyword option_table imaging log_config tspl_parser)
BUILD="${QEV_FUZZ_BUILD:-$OUT/build-fuzz}"
export LSAN_OPTIONS="suppressions=$ROOT/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

mkdir -p "$OUT/fuzz"
log "building the fuzz targets in $BUILD"
CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -DQEV_FUZZ=ON -DQEV_BUILD_BENCH=OFF \
  >"$OUT/fuzz/configure.log" 2>&1 || { cat "$OUT/fuzz/configure.log" >&2; exit 1; }
args=()
for t in "${TARGETS[@]}"; do args+=(--target "fuzz_$t"); done
cmake --build "$BUILD" -j "$JOBS" "${args[@]}" >"$OUT/fuzz/build.log" 2>&1 || {
  tail -40 "$OUT/fuzz/build.log" >&2
  exit 1
}

# run TARGET: one libFuzzer session; its summary line goes to $OUT/fuzz/<target>/summary.
run() {
  local t=$1 dir="$OUT/fuzz/$1"
  local seeds="$ROOT/fuzz/corpus/$t"
  mkdir -p "$dir/corpus" "$dir/artifacts" "$seeds"
  rm -f "$dir"/artifacts/*  # faults of earlier sessions are already in the seeds
  local dict=()
  [ -f "$ROOT/fuzz/$t.dict" ] && dict=(-dict="$ROOT/fuzz/$t.dict")
  log "fuzzing $t for ${SECONDS_EACH}s"
  "$BUILD/fuzz/fuzz_$t" "$dir/corpus" "$seeds" "${dict[@]}" -max_total_time="$SECONDS_EACH" -timeout=20 \
    -rss_limit_mb=2048 -max_len=65536 -close_fd_mask=2 -print_final_stats=1 -detect_leaks=0 \
    -artifact_prefix="$dir/artifacts/" >"$dir/log" 2>&1
  local rc=$?
  # Leak checks slow the search tenfold (the trace keeps records pooled, the keyword lookup
  # keeps its values): run them once over everything the session found instead.
  "$BUILD/fuzz/fuzz_$t" -runs=0 -detect_leaks=1 -close_fd_mask=2 -timeout=60 \
    -artifact_prefix="$dir/artifacts/" "$dir/corpus" >"$dir/leaks.log" 2>&1 || rc=$((rc + 100))
  local f
  for f in "$dir"/artifacts/*; do
    [ -f "$f" ] || continue
    cp "$f" "$seeds/$(basename "$f")"
    log "$t: fault input saved as fuzz/corpus/$t/$(basename "$f")"
  done
  if [ "${QEV_FUZZ_MERGE:-0}" = 1 ]; then
    "$BUILD/fuzz/fuzz_$t" -merge=1 "$seeds" "$dir/corpus" >>"$dir/log" 2>&1
  fi
  # Last status line: executions, coverage (cov) and features (ft).
  { grep -E '#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$dir/log" | tail -1
    grep -E 'stat::number_of_executed_units' "$dir/log"; } >"$dir/summary"
  printf '%-14s rc=%d %s\n' "$t" "$rc" "$(tr '\n' ' ' <"$dir/summary")"
}

running=0
for t in "${TARGETS[@]}"; do
  run "$t" &
  running=$((running + 1))
  if [ "$running" -ge "$JOBS" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait
