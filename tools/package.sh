#!/usr/bin/env bash
# Builds the release zips from the checked-out commit:
#   dist/Harkwell-<version>-win64.zip, dist/Harkwell-<version>-win32.zip and
#   dist/SHA256SUMS.
# The bytes depend on the commit alone, never on the folder or the time of the
# build (tools/check-reproducible.sh proves it), so anyone can rebuild a
# download and compare its checksum.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup-debian.sh python3-pefile

# Every time written into the zips comes from the commit. Outside a git
# checkout the caller must say it.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
if [ -n "$(git status --porcelain --untracked-files=no 2>/dev/null)" ]; then
  echo "warning: uncommitted changes: these zips match no commit" >&2
fi

for tree in package-x64 package-x86; do
  cmake --preset "$tree" >/dev/null
  cmake --build "build/$tree" -j "$(nproc)" --target Harkwell
done
# The version as the build wrote it, from the project's version.
version=$(head -n 1 build/package-x64/version.txt)

rm -rf dist
mkdir dist
# Debian's python, always: the compressed bytes come from its zlib.
/usr/bin/python3 - "$version" <<'PYTHON'
import sys, os, time, zipfile

version = sys.argv[1]
stamp = time.gmtime(int(os.environ["SOURCE_DATE_EPOCH"]))[:6]

def crlf(path):  # the texts are read in Notepad
    return open(path, "rb").read().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")

for flavour, build in (("win64", "package-x64"), ("win32", "package-x86")):
    entries = [
        ("Harkwell.exe", open(f"build/{build}/bin/Harkwell.exe", "rb").read(), 0o755),
        ("README.txt", crlf("packaging/README.txt"), 0o644),
        ("LICENSE", crlf("LICENSE"), 0o644),
        ("sounds/join.wav", open(f"build/{build}/bin/sounds/join.wav", "rb").read(), 0o644),
        ("sounds/leave.wav", open(f"build/{build}/bin/sounds/leave.wav", "rb").read(), 0o644),
    ]
    with zipfile.ZipFile(f"dist/Harkwell-{version}-{flavour}.zip", "w") as archive:
        for name, data, mode in entries:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.create_system = 3  # Unix, so that the modes below mean what they say
            info.external_attr = (0o100000 | mode) << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)
PYTHON
(cd dist && sha256sum "Harkwell-$version-win64.zip" "Harkwell-$version-win32.zip" >SHA256SUMS)

tools/check-package.py dist build/package-x64/version.txt
echo
cat dist/SHA256SUMS
