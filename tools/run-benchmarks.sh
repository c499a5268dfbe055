#!/usr/bin/env bash
# Measures Harkwell and writes BENCHMARKS.md with its plots (docs/bench-*.png). PHASE_SECONDS (60)
# sets each CPU phase, JOINS (40) the latency samples; BASELINE names another build's Harkwell.exe
# to measure beside this one (BASELINE_NAME says what it is; BASELINE_I686, its 32-bit exe, is sized).
source "$(dirname "$0")/lib.sh"

# The host tick with and without the Windows programs' stack protector; the Windows programs
# unprofiled, whatever the test command left in their trees.
build host-release host_tick_bench
build host-release-ssp host_tick_bench
build x64 Harkwell simgame wine_tick_bench process_driver
build x86 Harkwell
# Harkwell.exe without the stack protector, for what it costs in bytes.
for preset in x64 x86; do
  cmake --preset "$preset" -B "build/$preset-unprotected" -DHARKWELL_STACK_PROTECTOR=OFF >/dev/null
  cmake --build "build/$preset-unprotected" --target Harkwell
done

# Every program of the measured Wine session on one core, so that the scheduler places a reader
# and wineserver alike in every run. Debian's python, which has matplotlib.
taskset -c 0 bash -c 'source tools/lib.sh && wine_session build/x64 && /usr/bin/python3 tools/benchmark_report.py'

