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
# the host build's when it has one: a file missing from both builds fails the
# run rather than going unchecked. Each tree gets a database of just these
# files, one command apiece, for both tools.
mapfile -d '' sources < <(find monitor notify platform ui tests/rig -maxdepth 1 -name '*.cpp' -print0 | sort -z)
toolbox compile-db "$PWD" "$host" "$x64" -- "${sources[@]}"

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# ---------------------------------------------------------------- clang-tidy

# Clang parses the Windows files as MinGW does, with the C++ library of the
# posix-threads compiler the builds use (the rig needs its <thread>); on its
# own, clang would find no C++ library for the target.
mapfile -t cxx_includes < <(x86_64-w64-mingw32-g++-posix -xc++ -E -v /dev/null 2>&1 |
  sed -n '/^#include <...> search starts here:$/,/^End of search list\.$/s|^ \(.*/include/c++.*\)$|\1|p')
[ ${#cxx_includes[@]} -gt 0 ] || { echo "no C++ library folders from x86_64-w64-mingw32-g++-posix" >&2; exit 1; }
windows_args=(-extra-arg=--target=x86_64-w64-mingw32)
for folder in "${cxx_includes[@]}"; do windows_args+=("-extra-arg=-isystem$folder"); done

# Debian's driver runs clang-tidy over each database, $jobs files at a time;
# the Windows files take longest, so they go first.
echo "== clang-tidy (${#sources[@]} files, $jobs at a time)"
tidy_status=0
run-clang-tidy-14 -quiet -j "$jobs" -p "$x64/static-analysis" "${windows_args[@]}" >"$logs/raw" 2>&1 ||
  tidy_status=1
run-clang-tidy-14 -quiet -j "$jobs" -p "$host/static-analysis" >>"$logs/raw" 2>&1 || tidy_status=1
sed -E 's/\x1b\[[0-9;]*m//g' "$logs/raw" >"$logs/tidy"  # it always asks clang-tidy for colours

# A finding is a diagnostic line naming its check, shown with its notes; one in
# a header is shown and counted once however many files include it. A failed
# run with no such line (a crash, a file clang could not parse) counts as one,
# with the whole log shown.
tidy_pattern='^[^ ].*:[0-9]+:[0-9]+: (warning|error): .* \[[a-z0-9.,-]+\]$'
tidy_findings=$({ grep -E "$tidy_pattern" "$logs/tidy" || true; } | sort -u | wc -l)
if [ "$tidy_status" -ne 0 ] && [ "$tidy_findings" -eq 0 ]; then
  cat "$logs/tidy"
  tidy_findings=1
fi
# The driver prints each clang-tidy command it runs, and clang-tidy how many
# warnings it compiled: neither is shown.
pattern=$tidy_pattern awk '
  $0 ~ ENVIRON["pattern"] { shown = !seen[$0]++ }
  /^clang-tidy-14 / || /^[0-9]+ (warning|error)s?( and [0-9]+ errors?)? generated\.$/ { shown = 0 }
  shown' "$logs/tidy"

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

echo "clang-tidy: ${#sources[@]} files, $tidy_findings findings"
echo "cppcheck: ${#sources[@]} files, $cppcheck_findings findings"
[ "$tidy_findings" -eq 0 ] && [ "$cppcheck_findings" -eq 0 ]
