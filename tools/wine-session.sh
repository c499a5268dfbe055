# Sourced by the test and demo scripts: a private Wine prefix under the given
# build folder, and a display (an Xvfb of our own unless KEEP_DISPLAY=1 and
# one is already set). Stops both again when the calling shell exits.
# Usage: source tools/wine-session.sh BUILD_DIR

wine_session_build=$(cd "$1" && pwd)
export WINEPREFIX="$wine_session_build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono/Gecko install prompts

wine_session_xvfb=""
if [ "${KEEP_DISPLAY:-0}" != 1 ] || [ -z "${DISPLAY:-}" ]; then
  for number in $(seq 90 130); do
    [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] || break
  done
  Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  wine_session_xvfb=$!
  export DISPLAY=":$number"
  for _ in $(seq 1 50); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
fi

wine_session_stop() {
  wineserver -k >/dev/null 2>&1 || true
  [ -z "$wine_session_xvfb" ] || kill "$wine_session_xvfb" >/dev/null 2>&1 || true
}
trap wine_session_stop EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX (about 20 s)..."
  wine wineboot -i >/dev/null 2>&1 || true
  # Without a window manager, hiding an X-managed window waits two seconds.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wineserver -w
fi
