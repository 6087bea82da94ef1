#!/usr/bin/env bash
# Seeded-fault check of the test suite: applies each fault of a list to a clean copy of the
# tree, rebuilds, runs ctest and reports whether some test failed (caught) or all passed
# (missed). The working tree is never modified.
#
#   bash scripts/mutate.sh [faults-file] [ctest args...]
#
# A faults file has one fault per line, exactly four fields separated by " | " (so no field
# may contain " | "; C++ "|" and "||" are fine):
#   path | text to find (first occurrence) | replacement | what the fault is
# Lines starting with # and blank lines are skipped.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

faults="${1:-$ROOT/scripts/faults.txt}"
shift || true
work="$OUT/mutate"
src="$work/src"
build="$work/build"

mkdir -p "$work"
rm -rf "$src"
# A copy of the tracked files only, so build trees and local files are left out; extracted with
# fresh times (-m), so objects left by an interrupted run are never taken for up to date.
(cd "$ROOT" && git ls-files -z | tar --null -T - -cf -) | (mkdir -p "$src" && tar -xmf - -C "$src")
launcher=()
command -v ccache >/dev/null &&
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$src" -B "$build" -DQEV_BUILD_TESTS=ON -DQEV_BUILD_BENCH=OFF "${launcher[@]}" >"$work/configure.log" 2>&1 || {
  cat "$work/configure.log" >&2
  exit 1
}
log "baseline build and tests"
if ! cmake --build "$build" -j "$JOBS" >"$work/build.log" 2>&1; then
  tail -20 "$work/build.log" >&2
  exit 1
fi
if ! (cd "$build" && ctest -j "$JOBS" "$@" >"$work/ctest.log" 2>&1); then
  log "the unmutated suite fails; see $work/ctest.log"
  exit 1
fi

caught=0 missed=0 invalid=0 n=0
missed_list=()
while IFS= read -r line <&3 || [ -n "$line" ]; do
  case "$line" in '' | '#'*) continue ;; esac
  n=$((n + 1))
  mapfile -t fields < <(python3 -c 'import sys; print(*sys.argv[1].split(" | "), sep="\n")' "$line")
  if [ "${#fields[@]}" -ne 4 ] || [ ! -f "$src/${fields[0]}" ]; then
    log "[$n] NOT APPLIED (needs four fields and an existing file): $line"
    invalid=$((invalid + 1))
    continue
  fi
  path="${fields[0]}" find="${fields[1]}" repl="${fields[2]}" what="${fields[3]}"
  file="$src/$path"
  cp "$file" "$work/orig"
  if ! python3 - "$file" "$find" "$repl" <<'PY'; then
import sys
path, find, repl = sys.argv[1:4]
text = open(path, encoding="utf-8").read()
if find not in text:
    sys.exit(1)
open(path, "w", encoding="utf-8").write(text.replace(find, repl, 1))
PY
    log "[$n] NOT APPLIED ($path: text not found): $what"
    invalid=$((invalid + 1))
    continue
  fi
  if ! cmake --build "$build" -j "$JOBS" >"$work/build.log" 2>&1; then
    result="NOT APPLIED (does not build)"
    invalid=$((invalid + 1))
  elif (cd "$build" && timeout 600 ctest -j "$JOBS" "$@" </dev/null >"$work/ctest.log" 2>&1); then
    result="MISSED"
    missed=$((missed + 1))
    missed_list+=("$what ($path)")
  else
    # The failed tests only: ctest lists skipped ones in the same "N - name" form before them.
    failed=$(sed -n '/The following tests FAILED/,$p' "$work/ctest.log" | grep -oE '[0-9]+ - [^ ]+' |
      sed 's/^[0-9]* - //' | paste -sd' ')
    result="caught by ${failed:-a failing ctest run}"
    caught=$((caught + 1))
  fi
  cp "$work/orig" "$file"
  touch "$file"
  log "[$n] $result: $what"
done 3<"$faults"

# Leave the copy built as it was, so the next run starts incrementally.
cmake --build "$build" -j "$JOBS" >/dev/null 2>&1
log "faults: $n, caught: $caught, missed: $missed, not applied: $invalid"
for m in "${missed_list[@]}"; do log "  missed: $m"; done
[ "$missed" -eq 0 ] && [ "$invalid" -eq 0 ]
