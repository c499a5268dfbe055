# shellcheck shell=bash
# Sourced by every tool script: strict mode, the project's root as the current folder, and
#   quietly LOG COMMAND...    COMMAND with its output kept in LOG, shown only if it fails
#   build PRESET [TARGET...]  configures the preset's tree and builds it, or only TARGETs
#   version [ROOT]            the release's version, as the package build wrote it
#   toolbox JOB ARGS...       a job of tools/toolbox.py
#   wine_session TREE         the Wine session of TREE's Windows tests (cmake/wine-session.sh), its
#                             environment exported, ended when the script exits; with KEEP_DISPLAY=1
#                             the windows go to the caller's DISPLAY instead of an Xvfb of its own
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

quietly() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 || {
    cat "$log" >&2
    echo "failed: $*" >&2
    return 1
  }
}

build() {
  local preset=$1
  shift
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" ${1:+--target "$@"}
}

version() { head -n 1 "${1:-.}/build/package-x64/version.txt"; }

# Debian's python, always: the zips' compressed bytes come from its zlib.
toolbox() { /usr/bin/python3 tools/toolbox.py "$@"; }

wine_session() {
  local session=$PWD/$1/wine-session display=""
  [ "${KEEP_DISPLAY:-0}" = 0 ] || display=${DISPLAY:-}
  cmake/wine-session.sh start "$session" "$display"
  source "$session/env"
  trap 'cmake/wine-session.sh stop "'"$session"'"' EXIT
}
