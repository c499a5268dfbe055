# shellcheck shell=bash
# Sourced by the scripts that run Harkwell by hand (demo, benchmarks): the Wine session of the
# ctest fixture (cmake/wine-session.sh) under BUILD_DIR, its environment exported, ended when the
# calling shell exits. With KEEP_DISPLAY=1 and a DISPLAY set, the windows go to that display
# instead of an Xvfb of its own.
# Usage: source tools/enter-wine-session.sh BUILD_DIR
wine_session=$(cd "$1" && pwd)/wine-session
wine_session_script=$(cd "$(dirname "${BASH_SOURCE[0]}")/../cmake" && pwd)/wine-session.sh
wine_session_display=""
if [ "${KEEP_DISPLAY:-0}" = 1 ]; then
  wine_session_display=${DISPLAY:-}
fi
"$wine_session_script" start "$wine_session" "$wine_session_display"
. "$wine_session/env"
trap '"$wine_session_script" stop "$wine_session"' EXIT
