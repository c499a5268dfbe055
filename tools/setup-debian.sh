#!/usr/bin/env bash
# Installs everything the tools use on Debian 12: run by the test command, the demo and a
# developer's first build, never by the other scripts. 64-bit Wine only: with wine32 installed the
# `wine` wrapper would pick the 32-bit loader, which cannot run here (tools/setup-i686.sh instead).
set -euo pipefail

packages=(
  cmake ninja-build g++ python3 googletest libgtest-dev libbenchmark-dev clang clang-format libclang-rt-14-dev
  clang-tidy cppcheck gcovr
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine wine64 fonts-wine fonts-liberation xvfb x11-utils xdotool imagemagick libz-mingw-w64
  python3-pefile python3-matplotlib osslsigncode openssl softhsm2 libengine-pkcs11-openssl
)

# apt-get installs only what is missing, but its update is slow: skipped when nothing is.
status=$(dpkg-query -W -f='${db:Status-Status}\n' "${packages[@]}" 2>/dev/null) && ! grep -qvx installed <<<"$status" &&
  exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing what is missing of: ${packages[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
