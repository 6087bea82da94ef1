#!/usr/bin/env bash
# Halftone quality benchmark, run by hand: builds the filter and the PPDs, installs the code
# encoders and decoders if they are missing, and prints the per-method table of label_quality.py.
# Usage: bench/quality/run.sh [BUILD_DIR] [WORK_DIR] [CODES, e.g. 1,2,11]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${1:-$ROOT/out/build-quality}
WORK=${2:-/var/tmp/qev-quality}
need=()
for pair in barcode:barcode qrencode:qrencode dmtxread:dmtx-utils zbarimg:zbar-tools gs:ghostscript; do
  command -v "${pair%%:*}" >/dev/null || need+=("${pair#*:}")
done
if ((${#need[@]})); then
  apt-get update -qq && apt-get install -y --no-install-recommends "${need[@]}"
fi
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQEV_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" --target rastertoqevcp qev_ppds -j2 >/dev/null
rm -rf "$WORK" && mkdir -p "$WORK"
python3 "$ROOT/bench/quality/label_quality.py" "$BUILD/rastertoqevcp" "$BUILD/ppd/generated" \
  "$WORK" "${3:-1,2,3,4,5,6,7,8,9,10,11}"
