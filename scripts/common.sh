# Shared by scripts/sample.sh and scripts/test.sh: installs the Debian packages the build
# and the tests need (only when some are missing) and configures/builds a CMake tree.
# Source it; it sets ROOT to the repository and OUT to the directory of build trees.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OUT="${QEV_OUT:-$ROOT/out}"
JOBS="${QEV_JOBS:-2}"

# What an installer needs (build, install, print through CUPS), then what the tests add.
QEV_INSTALL_PACKAGES=(g++ cmake make pkg-config libcups2-dev libcupsimage2-dev cups cups-client
  cups-bsd cups-filters cups-ppdc ghostscript poppler-utils libpng-dev libpappl-dev)
QEV_PACKAGES=("${QEV_INSTALL_PACKAGES[@]}" libgtest-dev libbenchmark-dev clang
  clang-format clang-tidy
  cups-ipp-utils)

log() { printf '==> %s\n' "$*" >&2; }

# ensure_packages [packages...]: installs whatever of them (default QEV_PACKAGES) is not
# installed yet (apt, as root or through sudo).
ensure_packages() {
  local missing=() pkg wanted=("$@")
  [ ${#wanted[@]} -eq 0 ] && wanted=("${QEV_PACKAGES[@]}")
  for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$pkg")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { log "need root (or sudo) to install packages"; return 1; }
    sudo=(sudo)
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# configure_build DIR [cmake options...]: configures the tree DIR under $OUT.
configure_build() {
  local dir="$OUT/$1"
  shift
  cmake -S "$ROOT" -B "$dir" "$@" >"$dir.configure.log" 2>&1 || {
    cat "$dir.configure.log" >&2
    return 1
  }
}

# build_targets DIR [targets...]: builds the given targets (all when none) of $OUT/DIR.
build_targets() {
  local dir="$OUT/$1" args=()
  shift
  local t
  for t in "$@"; do args+=(--target "$t"); done
  cmake --build "$dir" -j "$JOBS" "${args[@]}"
}
