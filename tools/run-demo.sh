#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds Harkwell and runs it under Wine beside the
# simulated game's demo, where players come and go every few seconds. On your
# own display the windows stay until you close Harkwell; without one the demo
# runs in Xvfb for DEMO_SECONDS (default 40). Screenshots go to build/demo-screenshots/.
source "$(dirname "$0")/lib.sh"
tools/setup-debian.sh
build x64 Harkwell simgame demo_driver

interactive=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  interactive=1
  export KEEP_DISPLAY=1
fi
wine_session build/x64

bin=build/x64/bin
shots=build/demo-screenshots
mkdir -p "$shots"
driver() { wine "$bin/demo_driver.exe" "$@" | tr -d '\r'; }
shoot() { # NAME WINDOW: the window's area of the screen, as a PNG
  import -window root -crop "$(driver rect "$2")" +repage "$shots/$1.png"
  echo "  saved $shots/$1.png"
}

# Without a display of your own there is no sound card either: the sounds go
# to files, in the home the build set up for it (harkwell_sound_home).
harkwell_home=$HOME
[ "$interactive" = 1 ] || harkwell_home=$PWD/build/x64/demo-home

wine "$bin/simgame.exe" --demo &
driver wait-game # Harkwell begins at once, so the game comes first
# As a player's shortcut would: the bundled sounds, both flashes, monitoring begun at once.
HOME=$harkwell_home wine "$bin/Harkwell.exe" /join 'sounds\join.wav' /leave 'sounds\leave.wav' \
  /flashjoin /flashleave /begin &
harkwell=$!
driver wait-windows

echo "Harkwell is running beside the simulated game, started monitoring by its command line..."
driver wait-monitoring
shoot main-window main
echo "Waiting for the first announcement in the game's title..."
echo "  game title: $(driver wait-announcement 30)"
shoot game-announcement game
driver about
shoot about-window about

if [ "$interactive" = 1 ]; then
  echo "Over to you: the windows are on your display. Close Harkwell to end the demo."
  wait "$harkwell" || true
else
  seconds=${DEMO_SECONDS:-40}
  echo "Watching the game's title for $seconds s (it shows each join and leave):"
  last=""
  for _ in $(seq 1 "$seconds"); do
    title=$(driver title)
    [ "$title" = "$last" ] || echo "  $(date +%T)  $title"
    last=$title
    sleep 1
  done
fi
driver exit
echo "Screenshots are in $shots/"
