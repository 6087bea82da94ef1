#!/usr/bin/env bash
# Quick start, part two: installs what is missing, then builds and runs every test three
# ways: a normal build (warnings as errors, benchmarks built), an ASan+UBSan build, and a
# TSan build of the logging and page-loop tests. Exits non-zero when anything fails.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages || exit 1
mkdir -p "$OUT"
failed=()

# The build refuses a library include that runs back up the layers (docs/architecture.md);
# this grep also covers headers that no translation unit of their own library includes.
# folder: the project folders its files may include.
check_layers() {
  local rule folder allowed bad=0
  for rule in "base:base" "logging:logging base" "imaging:imaging logging base" \
    "job:job imaging logging base" "render:render job imaging logging base" \
    "settings:settings job logging base" "samples:-"; do
    folder=${rule%%:*}
    allowed=${rule#*:}
    if grep -rnE '^#include "(filter|settings|render|job|imaging|logging|base|app|tools|tests)/' \
      "$ROOT/$folder" | grep -vE "#include \"(${allowed// /|})/"; then
      bad=1
    fi
  done
  return $bad
}
log "include direction"
check_layers || failed+=("include direction")

log "clang-format"
if ! (cd "$ROOT" && git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror); then
  failed+=("clang-format")
fi

# clang-tidy (.clang-tidy) over the product code only, with the normal build's compile
# commands; run-clang-tidy spreads the files over the build's parallelism when it exists.
tidy() {
  local db="$OUT/build" files
  mapfile -t files < <(cd "$ROOT" && git ls-files \
    'job/*.cpp' 'logging/*.cpp' 'imaging/*.cpp' 'settings/*.cpp' 'render/*.cpp' 'filter/*.cpp' \
    'tools/*.cpp' 'app/*.cpp' | sed "s|^|$ROOT/|" | while read -r f; do
      grep -q "\"file\": \"$f\"" "$db/compile_commands.json" && echo "$f"
    done)
  if command -v run-clang-tidy >/dev/null; then
    run-clang-tidy -quiet -p "$db" -j "$JOBS" "${files[@]}" >"$OUT/clang-tidy.log" 2>&1
  else
    clang-tidy --quiet -p "$db" "${files[@]}" >"$OUT/clang-tidy.log" 2>&1
  fi || { grep -E 'warning:|error:' "$OUT/clang-tidy.log" >&2; return 1; }
}

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

stage normal build "-DQEV_WERROR=ON -DQEV_BUILD_TESTS=ON -DQEV_BUILD_BENCH=ON" "" "."
if [[ " ${failed[*]} " != *" normal build "* ]]; then
  log "clang-tidy"
  tidy || failed+=("clang-tidy")
fi
stage asan-ubsan build-asan "-DQEV_WERROR=ON -DQEV_BUILD_TESTS=ON -DQEV_SANITIZE=ON" "" "."
stage tsan build-tsan "-DQEV_WERROR=ON -DQEV_BUILD_TESTS=ON -DQEV_TSAN=ON" \
  "rastertoqevcp logging_tests filter_tests" "tests/logging tests/filter"

if [ ${#failed[@]} -gt 0 ]; then
  log "FAILED: ${failed[*]}"
  exit 1
fi
log "all tests passed"
