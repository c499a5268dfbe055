#!/usr/bin/env bash
# Static analysis of the product code (monitor/, notify/, platform/, ui/) and
# the test rig (tests/rig/): clang-tidy with the checks of .clang-tidy, then
# cppcheck. Each file is analysed with the compile command of the build that
# compiles it: the host build for the portable files, the 64-bit MinGW build
# for the Windows ones (trees build/analysis-host and build/analysis-x64).
# Any finding fails the run; the last two lines sum up each tool.
source "$(dirname "$0")/lib.sh"

host=build/analysis-host
x64=build/analysis-x64
jobs=$(nproc)
# Configuring is enough: it writes the compile databases and the headers ui/
# includes from the build (generated/ui/version.h); nothing is compiled.
for preset in analysis-host analysis-x64; do
  cmake --preset "$preset" >/dev/null
done
# Every source of those folders, each with the first compile command it has,
# the host build's when it has one; a file missing from both fails the run.
mapfile -d '' sources < <(find monitor notify platform ui tests/rig -maxdepth 1 -name '*.cpp' -print0 | sort -z)
toolbox compile-db "$PWD" "$host" "$x64" -- "${sources[@]}"
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
# A failed run that printed no finding (a crash, a file that did not parse)
# counts as one, with its whole log shown.
count() { # count STATUS LOG PATTERN: the distinct findings of a run
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
windows_args=(-extra-arg=--target=x86_64-w64-mingw32 "${cxx_includes[@]/#/-extra-arg=-isystem}")
echo "== clang-tidy (${#sources[@]} files, $jobs at a time)"
status=0
# The Windows files take longest, so they go first. Debian's driver always
# asks for colours, which go.
run-clang-tidy-14 -quiet -j "$jobs" -p "$x64/static-analysis" "${windows_args[@]}" >"$logs/raw" 2>&1 || status=1
run-clang-tidy-14 -quiet -j "$jobs" -p "$host/static-analysis" >>"$logs/raw" 2>&1 || status=1
sed -E 's/\x1b\[[0-9;]*m//g' "$logs/raw" >"$logs/tidy"
# A finding is a diagnostic naming its check, shown with its notes, once
# however many files include its header; the driver's commands and clang's
# counts of warnings are not shown.
tidy_pattern='^[^ ].*:[0-9]+:[0-9]+: (warning|error): .* \[[a-z0-9.,-]+\]$'
pattern=$tidy_pattern awk '
  $0 ~ ENVIRON["pattern"] { shown = !seen[$0]++ }
  /^clang-tidy-14 / || /^[0-9]+ (warning|error)s?( and [0-9]+ errors?)? generated\.$/ { shown = 0 }
  shown' "$logs/tidy"
tidy_findings=$(count "$status" "$logs/tidy" "$tidy_pattern")

cppcheck_options=(
  --std=c++20 -j "$jobs" --inline-suppr --error-exitcode=1 --quiet
  --template='{file}:{line}:{column}: {severity}: {message} [{id}]'
  # style too: unread and unused variables, conditions always true, shadowing.
  "--enable=warning,performance,portability,style"
  # "Consider using std::accumulate/find_if/copy_if" names no fault: the
  # plain loops read as plainly as the algorithm would.
  --suppress=useStlAlgorithm
)
echo "== cppcheck"
# It reads no system header: its std and windows libraries describe them.
# For the Windows files it is told the target, as MinGW's compiler would be.
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
