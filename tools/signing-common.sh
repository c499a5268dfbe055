# shellcheck shell=bash disable=SC2034
# Sourced by tools/sign.sh and tools/attach-signatures.sh, with their
# arguments: osslsigncode, the release folder ($dist, default dist), the
# release's version, and the two steps both scripts take.
tools/setup-debian.sh osslsigncode
osslsigncode=${OSSLSIGNCODE:-osslsigncode}
dist=${1:-dist}
version=$(head -n 1 build/package-x64/version.txt)

exe_of() { # exe_of ZIP FILE: the zip's Harkwell.exe into FILE
  /usr/bin/python3 -c 'import sys, zipfile; open(sys.argv[2], "wb").write(zipfile.ZipFile(sys.argv[1]).read("Harkwell.exe"))' "$@"
}

quietly() { # quietly LOG COMMAND...: runs COMMAND, its output shown only when it fails
  local log=$1
  shift
  "$@" >"$log" 2>&1 || {
    cat "$log" >&2
    return 1
  }
}
