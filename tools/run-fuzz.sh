#!/usr/bin/env bash
# Builds the roster fuzzer with clang, replays the committed corpus and every
# earlier finding, then fuzzes for FUZZ_SECONDS (default 60). Any finding fails
# the run and is left in build/fuzz/findings to be added to fuzz/regressions.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-60}

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DHARKWELL_FUZZ=ON >/dev/null
cmake --build build/fuzz --target roster_fuzz
fuzzer=build/fuzz/bin/roster_fuzz

mapfile -t replay < <(find fuzz/corpus fuzz/regressions -type f ! -name .keep | sort)
echo "Replaying ${#replay[@]} saved inputs"
"$fuzzer" "${replay[@]}" >/dev/null 2>build/fuzz/replay.log || {
  tail -30 build/fuzz/replay.log
  exit 1
}

rm -rf build/fuzz/work build/fuzz/findings
mkdir -p build/fuzz/work build/fuzz/findings
cp fuzz/corpus/* build/fuzz/work/
echo "Fuzzing for $seconds s"
if ! "$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix=build/fuzz/findings/ build/fuzz/work >build/fuzz/fuzz.log 2>&1; then
  tail -30 build/fuzz/fuzz.log
  echo "fuzz: FAILED, findings in build/fuzz/findings"
  exit 1
fi
grep -E '^Done [0-9]+ runs' build/fuzz/fuzz.log | sed 's/^/fuzz: /'
