#!/usr/bin/env bash
# Installs what building, testing and the demo need on Debian 12, once.
# 64-bit Wine only: with wine32 installed the `wine` wrapper would pick the
# 32-bit loader, which cannot run here. 32-bit Windows programs run through a
# private 32-bit Wine instead (tools/setup-i686.sh), installed nowhere.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3 googletest libgtest-dev libbenchmark-dev clang clang-format libclang-rt-14-dev
  clang-tidy cppcheck gcovr
  g++-mingw-w64-x86-64 g++-mingw-w64-i686
  wine wine64 fonts-wine fonts-liberation xvfb x11-utils xdotool imagemagick
  "$@"  # extra packages a caller needs
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
