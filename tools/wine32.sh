#!/usr/bin/env bash
# Runs a Windows program, 32- or 64-bit, in the current Wine session through the
# private 32-bit Wine of tools/setup-i686.sh (set up here first if needed, ~25 s once).
# Usage:
#   source tools/enter-wine-session.sh BUILD_DIR  # WINEPREFIX and DISPLAY
#   tools/wine32.sh PROGRAM.exe [ARGS...] &       # PROGRAM as a Unix path
#
# A 32-bit program runs under qemu-i386 and this script execs it, so `$!` is its
# Linux PID: `kill PID` (TERM or KILL) ends that one program and wineserver drops
# its windows at once. Closing its main window ends the process as on Windows.
# Its window shows about 1 s after the start, or 2.5-4 s when it is the first
# program of the session (wineserver, services and explorer start with it).
#
# Processes started here can start programs of either width, and they start the
# desktop process (explorer) themselves, so no native program has to run first.
# A 64-bit test driver started here can therefore CreateProcess, drive and
# TerminateProcess the 32-bit programs. Plain `wine`, and anything it started,
# cannot start a 32-bit program (CreateProcess fails).
#
# The first run in a prefix copies the 32-bit DLLs (550 MB) into its syswow64
# folder and registers the 32-bit audio endpoints, so that 32-bit programs
# have the prefix's wave device: a few seconds; later runs only compare a stamp.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
dir=${HARKWELL_I686_WINE:-$repo/build/i686-wine}
[ $# -ge 1 ] || {
  echo "usage: tools/wine32.sh PROGRAM.exe [ARGS...]" >&2
  exit 2
}
if [ -z "${WINEPREFIX:-}" ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine32: no Wine prefix; run: source tools/enter-wine-session.sh BUILD_DIR" >&2
  exit 1
fi
"$repo/tools/setup-i686.sh" "$dir"

# The 32-bit loader looks for its DLLs in syswow64, which a prefix made by the
# 64-bit-only system Wine leaves empty; nor does that Wine register the 32-bit
# audio endpoints.
syswow64="$WINEPREFIX/drive_c/windows/syswow64"
stamp="$syswow64/.harkwell-i686"
wanted="$(cat "$dir/ready")
32-bit audio endpoints registered"
if [ "$(cat "$stamp" 2>/dev/null)" != "$wanted" ]; then
  exec 9>"$WINEPREFIX/.harkwell-i686.lock"
  flock -w 300 9 || {
    echo "wine32: another run holds $WINEPREFIX/.harkwell-i686.lock" >&2
    exit 1
  }
  if [ "$(cat "$stamp" 2>/dev/null)" != "$wanted" ]; then
    mkdir -p "$syswow64"
    cp -a "$dir/root/usr/lib/i386-linux-gnu/wine/i386-windows/." "$syswow64/"
    # The 64-bit Wine that made the prefix registered only its own audio
    # endpoints: without the 32-bit ones a 32-bit program has no wave device.
    WINESERVER=/usr/lib/wine/wineserver64 "$dir/root/usr/lib/wine/wine-qemu" \
      'C:\windows\syswow64\regsvr32.exe' /s mmdevapi.dll </dev/null >/dev/null 2>&1
    echo "$wanted" >"$stamp"
  fi
  exec 9>&-
fi

# A 32-bit program file goes straight to the 32-bit loader; anything else (a 64-bit
# program, a Windows path) to the 64-bit one, which for a 32-bit program runs
# start.exe to start it as a child: slower, and $! is then start.exe's PID.
machine=""
if [ -f "$1" ]; then
  header=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -z "$header" ] || machine=$(od -An -tx2 -j$((header + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
fi
export WINESERVER=/usr/lib/wine/wineserver64
loaders="$dir/root/usr/lib/wine"
if [ "$machine" = 014c ]; then
  exec "$loaders/wine-qemu" "$@"
fi
exec "$loaders/wine-qemu64" "$@"
