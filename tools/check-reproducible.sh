#!/usr/bin/env bash
# Proves that the release zips depend on the commit alone: packages the commit
# in two fresh clones at different times, time zones and umasks, compares the
# zips, their checksums and both Harkwell.exe byte for byte, then shows that
# signing keeps that so (tools/check-signing.sh). Leaves the unsigned zips in
# dist/ and prints "reproducible: yes"; or names the first difference, keeps the
# clones and exits 1.
source "$(dirname "$0")/lib.sh"
started=$SECONDS
commit=$(git rev-parse HEAD)
[ -z "$(git status --porcelain --untracked-files=no)" ] || echo "warning: uncommitted changes are not checked" >&2

work=$(mktemp -d /tmp/harkwell-reproducible.XXXXXX)
# Different lengths, so that a leaked path would also move everything after it.
first=$work/a
second=$work/second-clone
for clone in "$first" "$second"; do
  git clone -q --no-checkout . "$clone"
  git -C "$clone" checkout -q --detach "$commit"
done
echo "== Packaging $commit in $first, then in $second"
(cd "$first" && TZ=UTC quietly "$work/first.log" tools/package.sh)
sleep 3
(cd "$second" && umask 077 && TZ=Pacific/Kiritimati quietly "$work/second.log" tools/package.sh)

version=$(version "$first")
different=""
for file in dist/SHA256SUMS build/package-x64/bin/Harkwell.exe build/package-x86/bin/Harkwell.exe \
  "dist/Harkwell-$version-win64.zip" "dist/Harkwell-$version-win32.zip"; do
  echo "  $(sha256sum <"$first/$file" | cut -d' ' -f1)  $file"
  [ -n "$different" ] || different=$(cmp "$first/$file" "$second/$file" 2>&1) || true
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
