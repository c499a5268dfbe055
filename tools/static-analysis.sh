#!/usr/bin/env bash
# Static analysis of the product code (monitor/, notify/, platform/, ui/) and
# the test rig (tests/rig/): clang-tidy with the checks of .clang-tidy, then
# cppcheck. Each file is analysed with the compile command of the build that
# compiles it: the host build for the portable files, the 64-bit MinGW build
# for the Windows ones (trees build/analysis-host and build/analysis-x64).
# Any finding fails the run; the last two lines sum up each tool.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh clang-tidy cppcheck

host=build/analysis-host
x64=build/analysis-x64
jobs=$(nproc)
# Configuring is enough: it writes the compile databases and the headers ui/
# includes from the build (generated/ui/version.h); nothing is compiled.
cmake -S . -B "$host" -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake -S . -B "$x64" -G Ninja --no-warn-unused-cli -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null

# Every source of those folders, each with the first compile command it has,
# the host build's when it has one: a file missing from both builds fails the
# run rather than going unchecked. Each tree gets a database of just these
# files, one command apiece, for both tools.
mapfile -d '' sources < <(find monitor notify platform ui tests/rig -maxdepth 1 -name '*.cpp' -print0 | sort -z)
mapfile -t assigned < <(python3 - "$PWD" "$host" "$x64" "${sources[@]}" <<'EOF'
import json, os, sys
root, trees, sources = sys.argv[1], sys.argv[2:4], sys.argv[4:]
databases = [json.load(open(os.path.join(tree, "compile_commands.json"))) for tree in trees]
chosen = [{} for _ in trees]
for source in sources:
    path = os.path.join(root, source)
    for tree, database, picked in zip(trees, databases, chosen):
        command = next((entry for entry in database if entry["file"] == path), None)
        if command:
            picked[source] = command
            break
    else:
        sys.exit(f"{source}: no compile command in {' or '.join(trees)}")
# The Windows files take longest, so they come first.
for tree, picked in reversed(list(zip(trees, chosen))):
    for source in picked:
        print(tree, source, sep="\t")
    os.makedirs(os.path.join(tree, "static-analysis"), exist_ok=True)
    with open(os.path.join(tree, "static-analysis", "compile_commands.json"), "w") as out:
        json.dump(list(picked.values()), out, indent=1)
EOF
)
[ ${#assigned[@]} -eq ${#sources[@]} ] || exit 1

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# ---------------------------------------------------------------- clang-tidy

# Clang parses the Windows files as MinGW does, with the C++ library of the
# posix-threads compiler the builds use (the rig needs its <thread>); on its
# own, clang would find no C++ library for the target.
mapfile -t cxx_includes < <(x86_64-w64-mingw32-g++-posix -xc++ -E -v /dev/null 2>&1 |
  sed -n '/^#include <...> search starts here:$/,/^End of search list\.$/s|^ \(.*/include/c++.*\)$|\1|p')
[ ${#cxx_includes[@]} -gt 0 ] || { echo "no C++ library folders from x86_64-w64-mingw32-g++-posix" >&2; exit 1; }
windows_args=(--extra-arg=--target=x86_64-w64-mingw32)
for folder in "${cxx_includes[@]}"; do windows_args+=("--extra-arg=-isystem$folder"); done

# One file: its output in a log of its own, so that parallel runs never mix
# their lines, and its name in tidy-failed when clang-tidy did not pass it.
tidy_file() {
  local tree=$1 file=$2 extra=()
  [ "$tree" != "$TIDY_X64" ] || mapfile -t extra <<<"$TIDY_WINDOWS_ARGS"
  clang-tidy --quiet -p "$tree/static-analysis" "${extra[@]}" "$file" >"$TIDY_LOGS/${file//\//_}.tidy" 2>&1 ||
    echo "$file" >>"$TIDY_LOGS/tidy-failed"
}
TIDY_WINDOWS_ARGS=$(printf '%s\n' "${windows_args[@]}")
export -f tidy_file
export TIDY_LOGS=$logs TIDY_X64=$x64 TIDY_WINDOWS_ARGS
echo "== clang-tidy (${#assigned[@]} files, $jobs at a time)"
for line in "${assigned[@]}"; do printf '%s\0' "${line%%$'\t'*}" "${line#*$'\t'}"; done |
  xargs -0 -n 2 -P "$jobs" bash -c 'tidy_file "$@"' _

# A finding is a diagnostic line naming its check, shown with its notes; one in
# a header is shown and counted once however many files include it. A file
# that failed with no such line (a crash, no compile command) counts as one.
tidy_pattern='^[^ ].*:[0-9]+:[0-9]+: (warning|error): .* \[[a-z0-9.,-]+\]$'
tidy_findings=0
touch "$logs/tidy-failed"
while read -r file; do
  log=$logs/${file//\//_}.tidy
  grep -Eq "$tidy_pattern" "$log" || { cat "$log"; tidy_findings=$((tidy_findings + 1)); }
done <"$logs/tidy-failed"
tidy_findings=$((tidy_findings + $(cat "$logs"/*.tidy | { grep -E "$tidy_pattern" || true; } | sort -u | wc -l)))
cat "$logs"/*.tidy | pattern=$tidy_pattern awk '
  $0 ~ ENVIRON["pattern"] { shown = !seen[$0]++ }
  shown' | grep -Ev '^[0-9]+ (warning|error)s?( and [0-9]+ errors?)? generated\.$' || true

# ---------------------------------------------------------------- cppcheck

cppcheck_options=(
  --std=c++20 -j "$jobs" --inline-suppr --error-exitcode=1 --quiet
  --template='{file}:{line}:{column}: {severity}: {message} [{id}]'
  # style too: unread and unused variables, conditions always true, shadowing;
  # of all it found, only one kind was noise, suppressed below.
  "--enable=warning,performance,portability,style"
  # "Consider using std::accumulate/find_if/copy_if": a rewrite it proposes for
  # a plain loop, which names no fault; the loops read as plainly as the
  # algorithm would.
  --suppress=useStlAlgorithm
)
echo "== cppcheck"
# cppcheck reads none of the system headers: its std and windows libraries
# describe what they declare. For the Windows files it is told the target, as
# MinGW's compiler would be.
cppcheck_status=0
cppcheck "${cppcheck_options[@]}" --project="$host/static-analysis/compile_commands.json" \
  2>"$logs/cppcheck-host" || cppcheck_status=1
cppcheck "${cppcheck_options[@]}" --project="$x64/static-analysis/compile_commands.json" \
  --library=windows --platform=win64 -D_WIN32 -D_WIN64 2>"$logs/cppcheck-x64" || cppcheck_status=1
cat "$logs/cppcheck-host" "$logs/cppcheck-x64"
cppcheck_findings=$(cat "$logs/cppcheck-host" "$logs/cppcheck-x64" | grep -Ec '^[^ ].*:[0-9]+:[0-9]+: [a-z]+: .* \[[A-Za-z0-9_]+\]$' || true)
[ "$cppcheck_status" -eq 0 ] || [ "$cppcheck_findings" -gt 0 ] || cppcheck_findings=1

echo "clang-tidy: ${#assigned[@]} files, $tidy_findings findings"
echo "cppcheck: ${#assigned[@]} files, $cppcheck_findings findings"
[ "$tidy_findings" -eq 0 ] && [ "$cppcheck_findings" -eq 0 ]
