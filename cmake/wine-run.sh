#!/bin/sh
# Runs a Windows test program under Wine for ctest. The caller (tools/run-tests.sh)
# provides DISPLAY and WINEPREFIX; fall back to a prefix beside the build tree.
: "${WINEPREFIX:=$(pwd)/wineprefix}"
: "${WINEDEBUG:=-all}"
export WINEPREFIX WINEDEBUG
exec wine "$@"
