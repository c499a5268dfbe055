#!/usr/bin/env bash
# Builds the fuzzers with clang and fuzzes each for FUZZ_SECONDS (default 60),
# starting from its committed corpus and every earlier finding, which libFuzzer
# runs first. Any finding fails the run and is left in build/fuzz/findings-<name>
# to be added to fuzz/regressions/<name>.
source "$(dirname "$0")/lib.sh"
seconds=${FUZZ_SECONDS:-60}

build fuzz
mapfile -t targets <build/fuzz/fuzz/targets.txt # as fuzz/CMakeLists.txt lists them
for name in "${targets[@]}"; do
  work=build/fuzz/work-$name findings=build/fuzz/findings-$name log=build/fuzz/$name.log
  rm -rf "$work" "$findings"
  mkdir -p "$work" "$findings"
  cp "fuzz/corpus/$name"/* "$work/"
  echo "$name: fuzzing for $seconds s"
  # New inputs go to the first folder, the work copy.
  if ! "build/fuzz/bin/${name}_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/" "$work" "fuzz/regressions/$name" >"$log" 2>&1; then
    tail -30 "$log"
    echo "$name: FAILED, findings in $findings"
    exit 1
  fi
  grep -E '^Done [0-9]+ runs|INITED' "$log" | sed "s/^/$name: /"
done
