#!/usr/bin/env bash
# Runs a Windows program, 32- or 64-bit, in the current Wine session (WINEPREFIX and DISPLAY set, as
# by tools/lib.sh's wine_session) through the private 32-bit Wine of tools/setup-i686.sh.
# Usage: tools/wine32.sh PROGRAM.exe [ARGS...]    (PROGRAM as a Unix path)
#
# Processes started here can start programs of either width, and start Wine's desktop (explorer)
# themselves, so a 64-bit test driver can CreateProcess, drive and TerminateProcess 32-bit
# programs. Plain `wine`, and anything it started, cannot start a 32-bit program.
# A 32-bit program runs under qemu-i386 in this script's process, so `$!` is its Linux PID:
# `kill PID` ends it and wineserver drops its windows at once.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
dir=${HARKWELL_I686_WINE:-$repo/build/i686-wine}
if [ $# -eq 0 ] || [ ! -f "${WINEPREFIX:-}/system.reg" ]; then
  echo "usage: tools/wine32.sh PROGRAM.exe [ARGS...], in a Wine session (tools/lib.sh's wine_session)" >&2
  exit 2
fi
"$repo/tools/setup-i686.sh" "$dir"
export WINESERVER=/usr/lib/wine/wineserver64
loaders=$dir/root/usr/lib/wine

# The 64-bit-only system Wine that made the prefix leaves its syswow64 folder, where the 32-bit
# loader looks for its DLLs, empty, and registers only its own audio endpoints: without the
# 32-bit ones a 32-bit program has no wave device. Done once for each prefix and private Wine.
syswow64=$WINEPREFIX/drive_c/windows/syswow64
exec 9>>"$WINEPREFIX/.harkwell-i686.lock"
flock -w 300 9 || {
  echo "wine32: another run holds $WINEPREFIX/.harkwell-i686.lock" >&2
  exit 1
}
if ! cmp -s "$dir/ready" "$syswow64/.harkwell-i686"; then
  mkdir -p "$syswow64"
  cp -a "$dir/root/usr/lib/i386-linux-gnu/wine/i386-windows/." "$syswow64/"
  "$loaders/wine-qemu" 'C:\windows\syswow64\regsvr32.exe' /s mmdevapi.dll </dev/null >/dev/null 2>&1 9>&-
  cp "$dir/ready" "$syswow64/.harkwell-i686"
fi
exec 9>&-

# A 32-bit program file goes straight to the 32-bit loader; anything else (a 64-bit program, a
# Windows path) to the 64-bit one, which for a 32-bit program runs start.exe to start it as a
# child: slower, and $! is then start.exe's PID.
machine=""
if [ -f "$1" ]; then
  header=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -z "$header" ] || machine=$(od -An -tx2 -j$((header + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
fi
if [ "$machine" = 014c ]; then
  exec "$loaders/wine-qemu" "$@"
fi
exec "$loaders/wine-qemu64" "$@"
