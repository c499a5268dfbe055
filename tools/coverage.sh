#!/usr/bin/env bash
# Line and branch coverage of the product code (monitor/, notify/, platform/
# less the simulated game, ui/) by the tests of the instrumented trees (the
# presets host-coverage and x64-coverage): the host tests and fuzz corpora
# (HOST_TREE), and the Windows tests under Wine (WINDOWS_TREE, MinGW's gcov).
# Branches only an exception takes are left out. Writes build/coverage/index.html;
# fails when branches fall more than a point below docs/coverage.md's floor, or a
# line with a branch no test takes is not listed there with its reason.
# Usage: tools/coverage.sh [HOST_TREE [WINDOWS_TREE]]   (build/host build/x64)
source "$(dirname "$0")/lib.sh"
host=${1:-build/host}
windows=${2:-build/x64}
out=build/coverage
rm -rf "$out"
mkdir -p "$out"

# The Wine prefix in the Windows tree links its drive z: to / : gcovr, which
# follows links, would search the whole file system through it.
scope=(-r . --exclude-throw-branches --exclude-unreachable-branches --exclude-directories '(.*/)?wine-session$'
  -f '(monitor|notify|platform|ui)/' -e 'platform/simulated_platform\.')
gcovr "${scope[@]}" --json "$out/host.json" "$host"
gcovr "${scope[@]}" --gcov-executable x86_64-w64-mingw32-gcov --json "$out/windows.json" "$windows"
floor=$(sed -n 's/^Branch floor: \([0-9.]*\)%.*/\1/p' docs/coverage.md)
[ -n "$floor" ] || { echo "coverage: no \"Branch floor: F%\" line in docs/coverage.md" >&2; exit 1; }
echo "coverage: branch floor $floor%, less 1 for Wine's timing"
gcovr -r . --add-tracefile "$out/host.json" --add-tracefile "$out/windows.json" --print-summary \
  --html-details "$out/index.html" --txt "$out/files.txt" --json "$out/all.json" \
  --fail-under-branch "$(awk "BEGIN { print $floor - 1 }")"
toolbox untaken docs/coverage.md "$out/all.json"
