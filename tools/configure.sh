#!/usr/bin/env bash
# Configures one build tree the way every script of ours does:
#   host  build/host, the portable core, host tests and benchmarks
#   x64   build/x64, the 64-bit Windows programs, whose tests ctest runs under Wine
#   x86   build/x86, the 32-bit Windows programs
# Further arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=$1
shift
case $tree in
host) cmake -S . -B build/host -G Ninja "$@" >/dev/null ;;
x64) cmake -S . -B build/x64 -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake "$@" >/dev/null ;;
x86) cmake -S . -B build/x86 -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake "$@" >/dev/null ;;
*)
  echo "usage: tools/configure.sh host|x64|x86 [CMAKE ARGS...]" >&2
  exit 2
  ;;
esac
