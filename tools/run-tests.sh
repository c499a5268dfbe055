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
tools/configure.sh x86
cmake --build build/x86 -j "$jobs"
# The 64-bit tree tests its programs beside the 32-bit tree's, all four ways.
tools/configure.sh x64 -DHARKWELL_I686_BIN="$PWD/build/x86/bin"
cmake --build build/x64 -j "$jobs"

echo "== Host tests"
ctest --test-dir build/host --output-on-failure

echo "== Fuzzing the roster reader, change detection, the sound-file check and the command line"
tools/run-fuzz.sh

echo "== Windows tests under Wine, with a private 32-bit Wine for the 32-bit programs"
tools/setup-i686.sh
ctest --test-dir build/x64 --output-on-failure

echo "== Release zips: built twice from clean clones, compared, checked from inside"
tools/check-reproducible.sh
echo "== The released Harkwell.exe of both zips, beside both games"
rm -rf build/release
for flavour in win64 win32; do
  /usr/bin/python3 -m zipfile -e dist/Harkwell-*-$flavour.zip "build/release/$flavour"
done
HARKWELL_WIN64_EXE="$PWD/build/release/win64/Harkwell.exe" HARKWELL_WIN32_EXE="$PWD/build/release/win32/Harkwell.exe" \
  ctest --test-dir build/x64 -R architectures --output-on-failure
