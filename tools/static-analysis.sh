#!/usr/bin/env bash
# clang-tidy (the checks of .clang-tidy), then cppcheck, on monitor/, notify/,
# platform/, ui/ and tests/rig/, each file with the compile command of the
# build that compiles it: the host build's for the portable files, the 64-bit
# MinGW build's for the Windows ones. Any finding fails; the last two lines
# sum up each tool.
source "$(dirname "$0")/lib.sh"
host=build/analysis-host
x64=build/analysis-x64
jobs=$(nproc)
# Configuring writes the compile databases and the generated headers; nothing is compiled.
for preset in analysis-host analysis-x64; do
  cmake --preset "$preset" >/dev/null
done
mapfile -d '' sources < <(find monitor notify platform ui tests/rig -maxdepth 1 -name '*.cpp' -print0 | sort -z)
toolbox compile-db "$PWD" "$host" "$x64" -- "${sources[@]}"
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
count() { # STATUS LOG PATTERN: the distinct findings; a failure that printed none (a crash) counts as one
  local found
  found=$({ grep -E "$3" "$2" || true; } | sort -u | wc -l)
  [ "$1" -eq 0 ] || [ "$found" -gt 0 ] || { cat "$2" >&2 && found=1; }
  echo "$found"
}

# Clang parses the Windows files as MinGW does, with the C++ library of the
# posix-threads compiler the builds use (the rig needs its <thread>).
mapfile -t cxx_includes < <(x86_64-w64-mingw32-g++-posix -xc++ -E -v /dev/null 2>&1 |
  sed -n '/^#include <...> search starts here:$/,/^End of search list\.$/s|^ \(.*/include/c++.*\)$|\1|p')
[ ${#cxx_includes[@]} -gt 0 ] || { echo "no C++ library folders from x86_64-w64-mingw32-g++-posix" >&2; exit 1; }
echo "== clang-tidy (${#sources[@]} files, $jobs at a time)"
status=0
# The Windows files take longest, so they go first.
run-clang-tidy-14 -quiet -j "$jobs" -p "$x64/static-analysis" -extra-arg=--target=x86_64-w64-mingw32 \
  "${cxx_includes[@]/#/-extra-arg=-isystem}" >"$logs/raw" 2>&1 || status=1
run-clang-tidy-14 -quiet -j "$jobs" -p "$host/static-analysis" >>"$logs/raw" 2>&1 || status=1
sed -E 's/\x1b\[[0-9;]*m//g' "$logs/raw" >"$logs/tidy" # Debian's driver always asks for colours
# Each finding once, with its notes, however many files include its header;
# not the driver's commands or clang's counts of warnings.
tidy_pattern='^[^ ].*:[0-9]+:[0-9]+: (warning|error): .* \[[a-z0-9.,-]+\]$'
pattern=$tidy_pattern awk '
  $0 ~ ENVIRON["pattern"] { shown = !seen[$0]++ }
  /^clang-tidy-14 / || /^[0-9]+ (warning|error)s?( and [0-9]+ errors?)? generated\.$/ { shown = 0 }
  shown' "$logs/tidy"
tidy_findings=$(count "$status" "$logs/tidy" "$tidy_pattern")

echo "== cppcheck"
# Style too (unread variables, conditions always true, shadowing), but not
# "consider std::accumulate/find_if": the plain loops read as plainly. It reads
# no system header (its std and windows libraries describe them) and is told
# the Windows files' target, as MinGW's compiler would be.
cppcheck_options=(--std=c++20 -j "$jobs" --inline-suppr --error-exitcode=1 --quiet --suppress=useStlAlgorithm
  --template='{file}:{line}:{column}: {severity}: {message} [{id}]' --enable=warning,performance,portability,style)
status=0
cppcheck "${cppcheck_options[@]}" --project="$host/static-analysis/compile_commands.json" 2>"$logs/cppcheck" ||
  status=1
cppcheck "${cppcheck_options[@]}" --project="$x64/static-analysis/compile_commands.json" \
  --library=windows --platform=win64 -D_WIN32 -D_WIN64 2>>"$logs/cppcheck" || status=1
cat "$logs/cppcheck"
cppcheck_findings=$(count "$status" "$logs/cppcheck" '^[^ ].*:[0-9]+:[0-9]+: [a-z]+: .* \[[A-Za-z0-9_]+\]$')

echo "clang-tidy: ${#sources[@]} files, $tidy_findings findings"
echo "cppcheck: ${#sources[@]} files, $cppcheck_findings findings"
[ "$tidy_findings" -eq 0 ] && [ "$cppcheck_findings" -eq 0 ]
