#!/bin/sh
# ctest's emulator for the Windows test programs: runs one under Wine in the
# session the wine_session fixture started (cmake/wine-session.sh).
# With --wine32 the program runs through tools/wine32.sh, which lets it start
# 32-bit programs.
# Usage: wine-run.sh SESSION_DIR [--wine32] PROGRAM.exe [ARGS...]
set -eu
wine_session=$1
shift
if [ ! -f "$wine_session/env" ]; then
  echo "wine-run: no Wine session in $wine_session (the wine_session_start test starts it)" >&2
  exit 1
fi
. "$(dirname "$0")/wine-env.sh"
if [ "${1:-}" = --wine32 ]; then
  shift
  exec "$(dirname "$0")/../tools/wine32.sh" "$@"
fi
exec wine "$@"
