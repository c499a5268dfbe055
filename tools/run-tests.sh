#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds everything and runs every test:
# the host tests natively, the Windows tests under Wine in an Xvfb of our own.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh

echo "== Formatting"
find monitor notify platform ui tests tools bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run -Werror

jobs=$(nproc)
cmake -S . -B build/host -G Ninja >/dev/null
cmake --build build/host -j "$jobs"
cmake -S . -B build/x64 -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
cmake --build build/x64 -j "$jobs"
cmake -S . -B build/x86 -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/x86 -j "$jobs"

echo "== Host tests"
ctest --test-dir build/host --output-on-failure

echo "== Fuzzing the roster reader and change detection"
tools/run-fuzz.sh

echo "== Windows tests under Wine"
source tools/wine-session.sh build/x64
ctest --test-dir build/x64 --output-on-failure --timeout 600
