#!/bin/bash
# Installs the build tree into a temporary DESTDIR and uninstalls it again: the filter must
# land in CUPS's filter directory with mode 0755 (root-owned when run as root), the PPDs in
# our own model folder with mode 0644, and the uninstall must leave no file behind.
# Usage: install_test.sh <build dir> <filter dir> <ppd dir>
set -u
build=$1 filterdir=$2 ppddir=$3
fail() { echo "FAIL: $*"; exit 1; }
dest=$(mktemp -d /tmp/qev-install.XXXXXX) || fail "mktemp"
trap 'rm -rf "$dest"' EXIT

DESTDIR=$dest cmake --install "$build" >"$dest.log" 2>&1 || { cat "$dest.log"; fail "install failed"; }
rm -f "$dest.log"
mode() { stat -c %a "$1"; }
f="$dest$filterdir/rastertoqevcp"
[ -x "$f" ] || fail "no filter at $f"
[ "$(mode "$f")" = 755 ] || fail "filter mode $(mode "$f"), expected 755"
if [ "$(id -u)" = 0 ]; then
  [ "$(stat -c %u "$f")" = 0 ] || fail "filter not owned by root"
fi
count=0
for p in "$dest$ppddir"/*.ppd; do
  [ "$(mode "$p")" = 644 ] || fail "$p has mode $(mode "$p"), expected 644"
  grep -q '^\*cupsFilter2: ".* rastertoqevcp"' "$p" || fail "$p does not name the filter"
  count=$((count + 1))
done
[ "$count" = 4 ] || fail "$count PPD files installed, expected 4"
installed=$(find "$dest" -type f | wc -l)
[ "$installed" = "$(grep -c "" "$build/install_manifest.txt")" ] ||
  fail "$installed files installed but the manifest lists $(grep -c "" "$build/install_manifest.txt")"

DESTDIR=$dest cmake -P "$build/qev_uninstall.cmake" >/dev/null || fail "uninstall failed"
left=$(find "$dest" -type f)
[ -z "$left" ] || fail "left behind after uninstall: $left"
[ ! -e "$dest$ppddir" ] || fail "our PPD folder is still there"
echo "installed and uninstalled $installed files"
