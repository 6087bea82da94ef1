#!/usr/bin/env bash
# The printer application in one command: installs what is missing, builds and installs the
# filter, the PPDs and qevcp-printer-app (the same tree as scripts/sample.sh), then runs the
# application's server in the foreground (port QEV_APP_PORT, 8000 by default; Ctrl-C stops it).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${QEV_INSTALL_PACKAGES[@]}"
mkdir -p "$OUT"
log "building the filter, its PPDs and the printer application"
configure_build installer -DQEV_BUILD_TESTS=OFF -DQEV_BUILD_BENCH=OFF
build_targets installer rastertoqevcp qev_ppds tspl2png qevcp-printer-app >"$OUT/build.log" 2>&1 || {
  tail -50 "$OUT/build.log" >&2
  exit 1
}
log "installing (cmake --install $OUT/installer)"
cmake --install "$OUT/installer" >"$OUT/install.log"
app=$(sed -n 's|^-- [A-Za-z-]*: \(.*/qevcp-printer-app\)$|\1|p' "$OUT/install.log" | head -n 1)
port="${QEV_APP_PORT:-8000}"
log "qevcp-printer-app server on http://localhost:$port/ (add a printer there or with"
log "'${app:-qevcp-printer-app} add -d label -m tspl-4in-203dpi -v socket://HOST:9100'); Ctrl-C stops it"
exec "${app:-qevcp-printer-app}" server -o server-port="$port" -o log-level=info
