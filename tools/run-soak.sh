#!/usr/bin/env bash
# A long soak: Harkwell.exe monitors the simulated game while players come and
# go every second or two, for HARKWELL_SOAK_SECONDS (default 3600). It checks
# every announcement against the game's own log and that Harkwell's handles,
# GDI objects, windows and private bytes do not grow, and prints the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh
export HARKWELL_SOAK_SECONDS=${HARKWELL_SOAK_SECONDS:-3600}
cmake --preset x64 >/dev/null
cmake --build build/x64 -j "$(nproc)" --target soak_test
ctest --test-dir build/x64 -L soak --output-on-failure --verbose
