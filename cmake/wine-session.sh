#!/bin/sh
# The Wine session the Windows programs run in, under DIR: a display (an Xvfb of its own, or the
# one given) and a persistent wineserver on the prefix DIR/prefix, made on first use; DIR/env holds
# the programs' environment. ctest starts and stops it as the Windows tests' fixture and runs each
# test program in it, with --wine32 through tools/wine32.sh so that it can start 32-bit programs;
# tools/lib.sh's wine_session enters it by hand.
# Usage: wine-session.sh start DIR [DISPLAY] | stop DIR | run DIR [--wine32] PROGRAM.exe [ARGS...]
set -eu
action=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)
shift 2

stop() {
  WINEPREFIX=$dir/prefix wineserver -k >/dev/null 2>&1 || true
  [ ! -f "$dir/xvfb.pid" ] || kill "$(cat "$dir/xvfb.pid")" >/dev/null 2>&1 || true
  rm -f "$dir/xvfb.pid" "$dir/env"
}

case $action in
start)
  stop
  display=${1:-}
  if [ -z "$display" ]; then
    # Xvfb picks a free display and writes its number once it takes clients. Detached, with no
    # link to the caller's output, which ctest waits on.
    number=$(
      setsid Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp </dev/null 2>/dev/null &
      echo $! >"$dir/xvfb.pid"
    )
    [ -n "$number" ] || { echo "wine-session: Xvfb did not start" >&2; exit 1; }
    display=:$number
  fi
  # Wine's own messages off, no .NET or Gecko installers, and profiles of instrumented programs
  # written to their Unix paths (through Wine's drive Z:). Load orders that the caller sets in
  # WINEDLLOVERRIDES are kept.
  cat >"$dir/env" <<EOF
export WINEPREFIX="$dir/prefix" DISPLAY="$display" WINEDEBUG=-all GCOV_PREFIX=Z:
export WINEDLLOVERRIDES="mscoree,mshtml=\${WINEDLLOVERRIDES:+;\$WINEDLLOVERRIDES}"
EOF
  . "$dir/env"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX (about 20 s)..."
    wine wineboot -i >/dev/null 2>&1 || true
    # Without a window manager, hiding an X-managed window waits two seconds.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    # A program that crashes prints its backtrace and ends, not waiting in a dialog nobody sees.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
  fi
  # Kept up between programs, so that each starts warm; Wine's services and desktop started here,
  # detached: a program that started them would hand them its output, which ctest waits on.
  setsid wineserver -p </dev/null >/dev/null 2>&1
  wine wineboot </dev/null >/dev/null 2>&1
  ;;
stop)
  stop
  ;;
run)
  [ -f "$dir/env" ] || { echo "wine-session: no session in $dir (the wine_session_start test starts it)" >&2; exit 1; }
  . "$dir/env"
  if [ "${1:-}" = --wine32 ]; then
    shift
    exec "$(dirname "$0")/../tools/wine32.sh" "$@"
  fi
  exec wine "$@"
  ;;
*)
  echo "wine-session: no action $action (start, stop or run)" >&2
  exit 2
  ;;
esac
