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
set -euo pipefail
cd "$(dirname "$0")/.."
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
(cd "$first" && TZ=UTC tools/package.sh >"$work/first.log" 2>&1) || { cat "$work/first.log"; exit 1; }
sleep 3
echo "== Packaging in $second"
(cd "$second" && umask 077 && TZ=Pacific/Kiritimati tools/package.sh >"$work/second.log" 2>&1) ||
  { cat "$work/second.log"; exit 1; }

files=(dist/SHA256SUMS build/package-x64/bin/Harkwell.exe build/package-x86/bin/Harkwell.exe)
for zip in "$first"/dist/*.zip; do
  files+=("dist/${zip##*/}")
done
first_difference() {  # first_difference A B: where B first departs from A
  local message byte
  [ -f "$2" ] || { echo "missing in the second clone"; return; }
  message=$(cmp "$1" "$2" 2>&1 || true)
  byte=$(sed -n 's/.* byte \([0-9]*\).*/\1/p' <<<"$message")
  case $message in
    *EOF*) echo "byte offset ${byte:-0} (one file ends there)" ;;
    *) echo "byte offset $((byte - 1))" ;;  # cmp counts from 1
  esac
}

echo "== Commit $commit"
different=""
for file in "${files[@]}"; do
  hash=$(sha256sum <"$first/$file" | cut -d' ' -f1)
  if cmp -s "$first/$file" "$second/$file"; then
    echo "  $hash  $file"
  else
    echo "  $hash  $file (first clone)"
    [ ! -f "$second/$file" ] || echo "  $(sha256sum <"$second/$file" | cut -d' ' -f1)  $file (second clone)"
    [ -n "$different" ] || different="$file, $(first_difference "$first/$file" "$second/$file")"
  fi
done
if [ -n "$different" ]; then
  echo "reproducible: no: first difference in $different (clones kept in $work)"
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
