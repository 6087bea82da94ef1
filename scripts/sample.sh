#!/usr/bin/env bash
# Quick start, part one: installs what is missing, builds the filter (only what an installer
# needs: no tests, no benchmarks, in its own tree out/installer), and runs it on the bundled
# sample job the way CUPS would (PPD in the environment, raster file as argv[6]).
# Prints where the TSPL output, the filter's standard error and its trace went.
# Add a sample: write a generator, then add a line to SAMPLES below.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# name | PPD | dpi | command that writes the raster to the path given as its last argument
SAMPLES=(
  "shipping-label|$OUT/installer/ppd/generated/qevcp-tspl-4in-203dpi.ppd|203|$OUT/installer/samples/make_sample_label"
  "small-label|$ROOT/samples/sample-label.ppd|203|$OUT/installer/samples/make_sample_raster"
)

ensure_packages "${QEV_INSTALL_PACKAGES[@]}"
mkdir -p "$OUT/sample"
log "building the filter, its PPDs, tspl2png and the printer application"
configure_build installer -DQEV_BUILD_TESTS=OFF -DQEV_BUILD_BENCH=OFF
build_targets installer rastertoqevcp make_sample_raster make_sample_label qev_ppds tspl2png \
  qevcp-printer-app >"$OUT/build.log" 2>&1 || {
  tail -50 "$OUT/build.log" >&2
  exit 1
}

TRACE=/tmp/qztspl.log
for entry in "${SAMPLES[@]}"; do
  IFS='|' read -r name ppd dpi generator <<<"$entry"
  raster="$OUT/sample/$name.ras"
  $generator "$raster" >/dev/null
  rm -rf "$OUT/sample/$name-preview" "$OUT/sample/$name-bitmaps"
  mkdir -p "$OUT/sample/$name-preview" "$OUT/sample/$name-bitmaps"
  before=$(stat -c %s "$TRACE" 2>/dev/null || echo 0)
  QEVCP_DUMP_DIR="$OUT/sample/$name-bitmaps" PPD="$ppd" "$OUT/installer/rastertoqevcp" 1 "$(id -un)" "$name" 1 "" "$raster" \
    >"$OUT/sample/$name.tspl" 2>"$OUT/sample/$name.stderr" &
  pid=$!
  wait "$pid"
  # The filter's own trace records carry its pid as thread id.
  tail -c +"$((before + 1))" "$TRACE" 2>/dev/null | grep -a "\[0*$pid\]" >"$OUT/sample/$name.trace" || true
  log "sample '$name' (PPD $ppd)"
  echo "  raster input:    $raster"
  echo "  TSPL output:     $OUT/sample/$name.tspl ($(stat -c %s "$OUT/sample/$name.tspl") bytes)"
  "$OUT/installer/tools/tspl2png/tspl2png" -r "$dpi" -o "$OUT/sample/$name-preview/label" \
    "$OUT/sample/$name.tspl" >"$OUT/sample/$name-preview/summary.txt"
  echo "  standard error:  $OUT/sample/$name.stderr"
  echo "  preview PNGs:    $OUT/sample/$name-preview/ ($(ls "$OUT/sample/$name-preview" | grep -c png) labels, as the printer would print them)"
  echo "  page bitmaps:    $OUT/sample/$name-bitmaps/ (the 1-bit bitmap sent for each page, BMP)"
  echo "  trace:           $TRACE (this job's $(wc -l <"$OUT/sample/$name.trace") records copied to $OUT/sample/$name.trace)"
  echo "  commands:"
  # Command lines only; BITMAP data is binary.
  tr -c '\r\n[:print:]' '.' <"$OUT/sample/$name.tspl" | tr -d '\r' | cut -c1-60 | sed 's/^/    /' | head -25
done
