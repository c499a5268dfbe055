# The environment every Windows program of ours runs in under Wine: the
# session's prefix and display (cmake/wine-session.sh), Wine's own messages
# off, no .NET or Gecko installers, and profiles of instrumented programs
# written to their Unix paths (through Wine's drive Z:). Sourced by every
# script that runs Wine, with `wine_session` set to the session's folder.
# Load orders a caller sets in WINEDLLOVERRIDES are kept.
export WINEPREFIX="$wine_session/prefix" WINEDEBUG=-all GCOV_PREFIX=Z:
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
if [ -f "$wine_session/env" ]; then
  . "$wine_session/env"
  export DISPLAY
fi
