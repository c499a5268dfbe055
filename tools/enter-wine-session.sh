# Sourced by the scripts that run Harkwell by hand (demo, benchmarks, soak):
# the same Wine session the ctest fixture uses (cmake/wine-session.sh), under
# the given build folder, with WINEPREFIX and DISPLAY exported. With
# KEEP_DISPLAY=1 and a DISPLAY set, the windows go to that display instead of
# an Xvfb of its own. Ends the session when the calling shell exits.
# Usage: source tools/enter-wine-session.sh BUILD_DIR

wine_session_script=$(cd "$(dirname "${BASH_SOURCE[0]}")/../cmake" && pwd)/wine-session.sh
wine_session_dir=$(cd "$1" && pwd)/wine-session
wine_session_display=""
if [ "${KEEP_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
  wine_session_display=$DISPLAY
fi
"$wine_session_script" start "$wine_session_dir" "$wine_session_display"
wine_session=$wine_session_dir
. "$(dirname "$wine_session_script")/wine-env.sh"
trap '"$wine_session_script" stop "$wine_session_dir"' EXIT
