#!/usr/bin/env bash
# A long soak: Harkwell.exe monitors the simulated game while players come and
# go every second or two, for HARKWELL_SOAK_SECONDS (default 3600). It checks
# every announcement against the game's own log and that Harkwell's handles,
# GDI objects, windows and private bytes do not grow, and prints the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh
export HARKWELL_SOAK_SECONDS=${HARKWELL_SOAK_SECONDS:-3600}

cmake -S . -B build/x64 -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
cmake --build build/x64 -j "$(nproc)" --target reliability_soak_test
source tools/wine-session.sh build/x64
wine build/x64/bin/reliability_soak_test.exe
