# Shared by the project's scripts: install what is missing from scripts/packages
# (or from another list of the same form).
# shellcheck shell=bash

project_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# ccache keys on paths relative to the tree, so every clone shares one cache.
export CCACHE_BASEDIR="$project_root"
export CCACHE_NOHASHDIR=1

install_missing_packages() {
  local list=${1:-$project_root/scripts/packages}
  local wanted missing=()
  while read -r wanted; do
    [[ -z $wanted || $wanted == \#* ]] && continue
    dpkg-query -W -f='${Status}' "$wanted" 2>/dev/null | grep -q 'install ok installed' || missing+=("$wanted")
  done < "$list"
  ((${#missing[@]} == 0)) && return 0

  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  ((EUID != 0)) && sudo=(sudo)
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# configure_and_build DIR [CMAKE ARGS...] [-- TARGETS...]
configure_and_build() {
  local dir=$1
  shift
  local args=() targets=()
  while (($#)) && [[ $1 != -- ]]; do
    args+=("$1")
    shift
  done
  (($#)) && shift && targets=(--target "$@")
  command -v ccache >/dev/null && args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$project_root" -B "$dir" -G Ninja "${args[@]}"
  cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
}
