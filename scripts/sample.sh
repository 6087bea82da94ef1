#!/usr/bin/env bash
# Quick start, part one: installs what is missing, builds the filter, and runs it on the
# bundled sample job the way CUPS would (PPD in the environment, raster file as argv[6]).
# Prints where the TSPL output, the filter's standard error and its trace went.
# Add a sample: write a generator, then add a line to SAMPLES below.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# name | PPD | command that writes the raster to the path given as its last argument
SAMPLES=(
  "label|$ROOT/samples/sample-label.ppd|$OUT/build/tests/support/make_sample_raster"
)

ensure_packages
mkdir -p "$OUT/sample"
log "building the filter"
configure_build build -DQEV_BUILD_BENCH=OFF
build_targets build rastertoqevcp make_sample_raster >"$OUT/build.log" 2>&1 || {
  tail -50 "$OUT/build.log" >&2
  exit 1
}

TRACE=/tmp/qztspl.log
for entry in "${SAMPLES[@]}"; do
  IFS='|' read -r name ppd generator <<<"$entry"
  raster="$OUT/sample/$name.ras"
  $generator "$raster"
  before=$(stat -c %s "$TRACE" 2>/dev/null || echo 0)
  PPD="$ppd" "$OUT/build/rastertoqevcp" 1 "$(id -un)" "$name" 1 "" "$raster" \
    >"$OUT/sample/$name.tspl" 2>"$OUT/sample/$name.stderr" &
  pid=$!
  wait "$pid"
  # The filter's own trace records carry its pid as thread id.
  tail -c +"$((before + 1))" "$TRACE" 2>/dev/null | grep -a "\[0*$pid\]" >"$OUT/sample/$name.trace" || true
  log "sample '$name' (PPD $ppd)"
  echo "  raster input:    $raster"
  echo "  TSPL output:     $OUT/sample/$name.tspl ($(stat -c %s "$OUT/sample/$name.tspl") bytes)"
  echo "  standard error:  $OUT/sample/$name.stderr"
  echo "  trace:           $TRACE (this job's $(wc -l <"$OUT/sample/$name.trace") records copied to $OUT/sample/$name.trace)"
  echo "  commands:"
  # Command lines only; BITMAP data is binary.
  tr -c '\r\n[:print:]' '.' <"$OUT/sample/$name.tspl" | tr -d '\r' | cut -c1-60 | sed 's/^/    /' | head -25
done
