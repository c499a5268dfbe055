# shellcheck shell=bash
# Sourced by every tool script: strict mode, the project's root as the current folder, and
#   quietly LOG COMMAND...    COMMAND with its output kept in LOG, shown only if it fails
#   build PRESET [TARGET...]  configures the preset's tree and builds it, or only TARGETs
#   version [ROOT]            the release's version, as the package build wrote it
#   toolbox JOB ARGS...       a job of tools/toolbox.py
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
