#!/bin/sh
# Starts or stops a Wine session under DIR: a display (an Xvfb of its own, or
# the one given) and a persistent wineserver on the prefix DIR/prefix, made on
# first use. DIR/env tells the programs run in the session their DISPLAY.
# The ctest fixture of the Windows tests and tools/enter-wine-session.sh use it.
# Usage: wine-session.sh start DIR [DISPLAY] | stop DIR
set -eu
action=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)
wine_session=$dir
. "$(dirname "$0")/wine-env.sh"

stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -f "$dir/xvfb.pid" ]; then
    kill "$(cat "$dir/xvfb.pid")" >/dev/null 2>&1 || true
    rm -f "$dir/xvfb.pid"
  fi
  rm -f "$dir/env"
}

case $action in
start)
  stop
  if [ $# -ge 3 ] && [ -n "$3" ]; then
    display=$3
  else
    number=90
    while [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ]; do number=$((number + 1)); done
    display=:$number
    # Detached, with no link to the caller's output, which ctest waits on.
    setsid Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/xvfb.pid"
    tries=0
    until DISPLAY=$display xdpyinfo >/dev/null 2>&1; do
      tries=$((tries + 1))
      [ $tries -le 100 ] || { echo "wine-session: Xvfb $display did not start" >&2; exit 1; }
      sleep 0.1
    done
  fi
  export DISPLAY="$display"
  echo "DISPLAY=$display" >"$dir/env"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX (about 20 s)..."
    wine wineboot -i >/dev/null 2>&1 || true
    # Without a window manager, hiding an X-managed window waits two seconds.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    # A program that crashes prints its backtrace and ends, instead of
    # waiting in a dialog nobody sees.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
  fi
  # Kept up between programs, so that each starts in a warm session, with
  # Wine's own services and desktop started here, detached from the caller's
  # output: a program that started them would hand them its output, which
  # ctest waits on until every holder has gone.
  setsid wineserver -p </dev/null >/dev/null 2>&1
  wine wineboot </dev/null >/dev/null 2>&1
  ;;
stop)
  stop
  ;;
*)
  echo "usage: wine-session.sh start DIR [DISPLAY] | stop DIR" >&2
  exit 2
  ;;
esac
