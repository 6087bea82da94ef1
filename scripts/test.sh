#!/usr/bin/env bash
# Quick start, part two: installs what is missing, then builds and runs every test three
# ways: a normal build (warnings as errors, benchmarks built), an ASan+UBSan build, and a
# TSan build of the logging and page-loop tests. Exits non-zero when anything fails.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages || exit 1
mkdir -p "$OUT"
failed=()

# stage NAME DIR "cmake options" "targets" "test dirs": configure, build, run ctest.
stage() {
  local name=$1 dir=$2 opts=$3 targets=$4 testdirs=$5
  log "$name: configure and build ($OUT/$dir)"
  # shellcheck disable=SC2086
  if ! configure_build "$dir" $opts || ! build_targets "$dir" $targets; then
    failed+=("$name build")
    return
  fi
  local t
  for t in $testdirs; do
    log "$name: ctest in $t"
    if ! (cd "$OUT/$dir/$t" && ctest -j "$JOBS" --output-on-failure); then
      failed+=("$name tests ($t)")
    fi
  done
}

stage normal build "-DQEV_WERROR=ON" "" "."
stage asan-ubsan build-asan "-DQEV_WERROR=ON -DQEV_SANITIZE=ON -DQEV_BUILD_BENCH=OFF" "" "."
stage tsan build-tsan "-DQEV_WERROR=ON -DQEV_TSAN=ON -DQEV_BUILD_BENCH=OFF" \
  "rastertoqevcp logging_tests filter_tests" "tests/logging tests/filter"

if [ ${#failed[@]} -gt 0 ]; then
  log "FAILED: ${failed[*]}"
  exit 1
fi
log "all tests passed"
