#!/usr/bin/env bash
# Builds dist/Harkwell-<version>-win64.zip, -win32.zip and dist/SHA256SUMS from the checked-out
# commit, whose bytes depend on it alone (tools/check-reproducible.sh proves it), so anyone can
# rebuild a download and compare its checksum.
source "$(dirname "$0")/lib.sh"

# Every time written into the zips is the commit's; outside a git checkout the caller says it.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "warning: uncommitted changes: these zips match no commit" >&2
fi
build package-x64
build package-x86
version=$(version)
rm -rf dist
mkdir dist
toolbox release dist "$version"
(cd dist && sha256sum "Harkwell-$version-win64.zip" "Harkwell-$version-win32.zip" >SHA256SUMS &&
  sha256sum --check --quiet SHA256SUMS)
tools/check-package.py dist build/package-x64/version.txt
echo
cat dist/SHA256SUMS
