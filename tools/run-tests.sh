#!/usr/bin/env bash
# The test command: sets up a Debian 12 machine, builds everything and runs
# every check: formatting; host tests and the fuzz corpora replayed; the Windows
# tests under Wine (ctest starts its own Xvfb and Wine session), with fuzzing,
# static analysis and a sample of planted faults at low priority beside them, as
# the Windows tests mostly wait on the game's ticks; coverage; the release zips
# built twice to show they are reproducible, and their exes tested.
source "$(dirname "$0")/lib.sh"
tools/setup-debian.sh
start=$(date +%s)
elapsed() { echo "   ($(($(date +%s) - start)) s)"; }

echo "== Formatting"
find monitor notify platform ui tests tools bench fuzz \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run -Werror

# The host and 64-bit trees are instrumented: their tests are the coverage's.
for preset in host-coverage x86 x64-coverage; do
  build "$preset"
done
elapsed

echo "== Host tests, and the fuzz corpora replayed"
ctest --test-dir build/host --output-on-failure
elapsed

logs=build/ci-logs
rm -rf "$logs"
mkdir -p "$logs"
# The planted faults are a sample drawn afresh for each commit (its hash is the seed).
echo "== In the background, at low priority: fuzzing, static analysis, planted faults (logs in $logs)"
(
  nice -n 19 tools/run-fuzz.sh >"$logs/fuzz.log" 2>&1 && echo ok >"$logs/fuzz.ok"
  nice -n 19 tools/static-analysis.sh >"$logs/analysis.log" 2>&1 && echo ok >"$logs/analysis.ok"
  nice -n 19 tools/mutate.py --sample 24 >"$logs/mutants.log" 2>&1 && echo ok >"$logs/mutants.ok"
) &
background=$!

echo "== Windows tests under Wine, with a private 32-bit Wine for the 32-bit programs"
tools/setup-i686.sh
ctest --test-dir build/x64 --output-on-failure
elapsed

echo "== Fuzzing, static analysis and planted faults"
wait "$background" || true
failed=0
for step in fuzz analysis mutants; do
  if [ -f "$logs/$step.ok" ]; then
    grep -E '^[a-z_]+: Done [0-9]+ runs|^clang-tidy:|^cppcheck:|^a sample of|^mutants:|^time:' "$logs/$step.log" || true
  else
    echo "-- $step FAILED; the end of $logs/$step.log:"
    tail -40 "$logs/$step.log"
    failed=1
  fi
done
[ "$failed" = 0 ]
elapsed

echo "== Coverage of the product code by the host, fuzz-corpus and Windows tests"
tools/coverage.sh build/host build/x64

echo "== Release zips: built twice from clean clones, compared, checked from inside"
tools/check-reproducible.sh
echo "== The released Harkwell.exe of both zips, beside both games and beside planted DLLs"
rm -rf build/release
for flavour in win64 win32; do
  toolbox extract dist/Harkwell-*-$flavour.zip "build/release/$flavour"
done
HARKWELL_WIN64_EXE="$PWD/build/release/win64/Harkwell.exe" HARKWELL_WIN32_EXE="$PWD/build/release/win32/Harkwell.exe" \
  ctest --test-dir build/x64 -R architectures --output-on-failure
elapsed
