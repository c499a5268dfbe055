#!/usr/bin/env bash
# Builds the fuzzers with clang, replays each one's committed corpus and every
# earlier finding, then fuzzes each for FUZZ_SECONDS (default 60). Any finding
# fails the run and is left in build/fuzz/findings-<name> to be added to
# fuzz/regressions/<name>.
source "$(dirname "$0")/lib.sh"
seconds=${FUZZ_SECONDS:-60}

build fuzz
# The targets as fuzz/CMakeLists.txt lists them.
mapfile -t targets <build/fuzz/fuzz/targets.txt

for name in "${targets[@]}"; do
  fuzzer=build/fuzz/bin/${name}_fuzz
  work=build/fuzz/work-$name findings=build/fuzz/findings-$name log=build/fuzz/$name.log
  mapfile -t replay < <(find "fuzz/corpus/$name" "fuzz/regressions/$name" -type f ! -name .keep | sort)
  echo "$name: replaying ${#replay[@]} saved inputs"
  "$fuzzer" "${replay[@]}" >/dev/null 2>"$log" || {
    tail -30 "$log"
    exit 1
  }

  rm -rf "$work" "$findings"
  mkdir -p "$work" "$findings"
  cp "fuzz/corpus/$name"/* "$work/"
  echo "$name: fuzzing for $seconds s"
  if ! "$fuzzer" -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$findings/" "$work" >"$log" 2>&1; then
    tail -30 "$log"
    echo "$name: FAILED, findings in $findings"
    exit 1
  fi
  grep -E '^Done [0-9]+ runs' "$log" | sed "s/^/$name: /"
done
