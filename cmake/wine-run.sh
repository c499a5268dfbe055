#!/bin/sh
# ctest's emulator for the Windows test programs: runs one under Wine in the
# session the wine_session fixture started (cmake/wine-session.sh).
# Usage: wine-run.sh SESSION_DIR PROGRAM.exe [ARGS...]
set -eu
session=$1
shift
if [ ! -f "$session/env" ]; then
  echo "wine-run: no Wine session in $session (the wine_session_start test starts it)" >&2
  exit 1
fi
. "$session/env"
export DISPLAY WINEPREFIX="$session/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
