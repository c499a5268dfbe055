#!/usr/bin/env bash
# Proves that the release zips depend on the commit alone: clones the current
# commit into two temporary folders, runs tools/package.sh in each at a
# different time (and with a different time zone and umask), and compares
# dist/SHA256SUMS, the zips and both Harkwell.exe byte for byte; then signs
# the first clone's zips with a throwaway certificate and shows that the
# signatures attach to the second clone's exes to give the same signed zips
# (tools/check-signing.sh).
# Prints the hashes and "reproducible: yes", and leaves the unsigned zips in
# dist/; or prints the first difference and exits 1 (the clones are then kept).
source "$(dirname "$0")/lib.sh"
started=$SECONDS
commit=$(git rev-parse HEAD)
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "warning: uncommitted changes are not part of this check" >&2
fi

work=$(mktemp -d /tmp/harkwell-reproducible.XXXXXX)
# Different lengths, so that a leaked path would also move everything after it.
first=$work/a
second=$work/second-clone
for clone in "$first" "$second"; do
  git clone -q --no-checkout . "$clone"
  git -C "$clone" checkout -q --detach "$commit"
done

echo "== Packaging in $first"
(cd "$first" && TZ=UTC quietly "$work/first.log" tools/package.sh)
sleep 3
echo "== Packaging in $second"
(cd "$second" && umask 077 && TZ=Pacific/Kiritimati quietly "$work/second.log" tools/package.sh)

files=(dist/SHA256SUMS build/package-x64/bin/Harkwell.exe build/package-x86/bin/Harkwell.exe)
for zip in "$first"/dist/*.zip; do
  files+=("dist/${zip##*/}")
done
echo "== Commit $commit"
different=""
for file in "${files[@]}"; do
  hash=$(sha256sum <"$first/$file" | cut -d' ' -f1)
  if cmp -s "$first/$file" "$second/$file"; then
    echo "  $hash  $file"
    continue
  fi
  echo "  $hash  $file (first clone)"
  [ ! -f "$second/$file" ] || echo "  $(sha256sum <"$second/$file" | cut -d' ' -f1)  $file (second clone)"
  [ -n "$different" ] || different=$(cmp "$first/$file" "$second/$file" 2>&1 | head -n 1)
done
if [ -n "$different" ]; then
  echo "reproducible: no: $different (clones kept in $work)"
  exit 1
fi
echo "== Signing the first clone's zips, attaching the signatures to the second's"
tools/check-signing.sh "$first" "$second" || {
  echo "reproducible: no: signing (clones kept in $work)"
  exit 1
}
echo "took $((SECONDS - started)) s"
rm -rf dist
cp -r "$first/dist" dist
rm -rf "$work"
echo "reproducible: yes"
