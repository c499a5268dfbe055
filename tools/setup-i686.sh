#!/usr/bin/env bash
# Prepares a private 32-bit Wine that runs the i686 programs on these 64-bit-only
# machines: Wine's 32-bit loader under qemu-user's i386 emulator, served by the
# system's own 64-bit wineserver. Nothing is installed: qemu-user (bookworm-backports,
# whose qemu starts a Wine process in about a second where bookworm's takes a minute)
# and wine32 with its libraries (i386, the same version as the system's wine64) are
# downloaded through private apt state and unpacked under DIR. The system's dpkg
# and apt configuration, including its architectures, stay untouched.
# Run once; later runs return at once until the system's Wine version changes.
# Usage: tools/setup-i686.sh [DIR]    (DIR defaults to build/i686-wine)
# Then run programs with tools/wine32.sh.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$repo/build/i686-wine}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

wine_version=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null) || {
  echo "setup-i686: the system's wine64 is missing; run tools/setup-debian.sh first" >&2
  exit 1
}
stamp="$dir/ready"
wanted="wine=$wine_version"
[ -f "$stamp" ] && [ "$(head -n 1 "$stamp")" = "$wanted" ] && exit 0

# One set-up at a time: test runs may start it side by side.
exec 9>"$dir/.lock"
flock -w 900 9 || {
  echo "setup-i686: another set-up holds $dir/.lock" >&2
  exit 1
}
[ -f "$stamp" ] && [ "$(head -n 1 "$stamp")" = "$wanted" ] && exit 0
rm -f "$stamp"

# The machine's own Debian mirrors, from its apt sources (deb822 or one-line).
source_uris() {
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -n 's/^URIs:[[:space:]]*//p' /etc/apt/sources.list.d/debian.sources | tr ' ' '\n'
  fi
  if [ -f /etc/apt/sources.list ]; then
    awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; break } }' /etc/apt/sources.list
  fi
}
mirror=$(source_uris | grep -v security | head -n 1) || true
security=$(source_uris | grep security | head -n 1) || true
[ -n "$mirror" ] || {
  echo "setup-i686: no Debian mirror found in /etc/apt" >&2
  exit 1
}
keyring=/usr/share/keyrings/debian-archive-keyring.gpg

# apt state of our own for one architecture and suite. APT_CONFIG is read before
# /etc/apt/apt.conf.d, so pointing the parts directory elsewhere keeps the system's
# hooks (cache cleaners, PackageKit) out; its Acquire settings (proxies) are kept.
# Every apt-get below sees an empty dpkg status and locks only this directory.
make_apt_state() { # NAME ARCH "URI SUITE"...
  local state="$dir/apt-$1"
  rm -rf "$state/cache" # never unpack packages left from another Wine version
  mkdir -p "$state/parts" "$state/none" "$state/lists/partial" "$state/cache/archives/partial"
  : >"$state/status"
  local arch=$2
  shift 2
  printf "deb [signed-by=$keyring] %s main\n" "$@" >"$state/sources.list"
  {
    echo "Dir::Etc::parts \"$state/parts\"; Dir::Etc::main \"/dev/null\";"
    apt-config dump Acquire
  } >"$state/apt.conf"
  cat >"$state/parts/private.conf" <<EOF
APT::Architecture "$arch"; APT::Architectures { "$arch"; };
Dir::State "$state"; Dir::State::lists "$state/lists"; Dir::State::status "$state/status";
Dir::Cache "$state/cache"; Dir::Log "$state/log";
Dir::Etc::sourcelist "$state/sources.list"; Dir::Etc::sourceparts "$state/none";
Dir::Etc::preferences "/dev/null"; Dir::Etc::preferencesparts "$state/none";
EOF
}

fetch() { # NAME PACKAGE...: resolves as for an empty system and downloads, nothing more
  local name=$1
  shift
  APT_CONFIG="$dir/apt-$name/apt.conf" apt-get -qq update
  APT_CONFIG="$dir/apt-$name/apt.conf" apt-get -qq -y --download-only --no-install-recommends install "$@" \
    >/dev/null
}

echo "Fetching qemu-user (bookworm-backports) and wine32 $wine_version (i386) from $mirror ..."
start=$(date +%s.%N)
# Debian 12: the system's wine64 comes from bookworm or one of its update suites.
make_apt_state amd64 amd64 "$mirror bookworm-backports"
make_apt_state i386 i386 "$mirror bookworm" "$mirror bookworm-updates" ${security:+"$security bookworm-security"}
fetch amd64 qemu-user
fetch i386 "wine32=$wine_version"
fetched=$(date +%s.%N)

qemu_debs=("$dir"/apt-amd64/cache/archives/qemu-user_*.deb)
wine_debs=("$dir"/apt-i386/cache/archives/*.deb)
bytes=$(stat -c %s "${qemu_debs[@]}" "${wine_debs[@]}" | awk '{ sum += $1 } END { print sum }')

# Unpack beside the old tree and swap, so that a failed run leaves nothing half-made.
rm -rf "$dir/root.new" "$dir/qemu.new"
mkdir -p "$dir/root.new" "$dir/qemu.new"
for deb in "${wine_debs[@]}"; do dpkg -x "$deb" "$dir/root.new"; done
# Only the i386 emulator out of qemu-user's 370 MB of emulators.
dpkg-deb --fsys-tarfile "${qemu_debs[0]}" | tar -x -C "$dir/qemu.new" ./usr/bin/qemu-i386
root="$dir/root.new"
windows_dlls="$root/usr/lib/i386-linux-gnu/wine/i386-windows"

# Wine loads zlib1.dll from its DLL folder, where Debian leaves only a link to the
# mingw package; libwine depends on that package, so it is normally in the tree.
zlib="$root/usr/i686-w64-mingw32/lib/zlib1.dll"
[ -f "$zlib" ] || zlib=/usr/i686-w64-mingw32/lib/zlib1.dll
rm -f "$windows_dlls/zlib1.dll"
cp "$zlib" "$windows_dlls/zlib1.dll"

echo 'include /etc/ld.so.conf.d/*.conf' >"$root/etc/ld.so.conf"
ldconfig -r "$root"

# Loaders that let processes of either width start the other. Wine starts a child
# by executing, in its own loader's folder, the loader's name with "64" added or
# removed. The 32-bit loader is named wine-qemu, a script that runs it under qemu
# (32-bit ELF files cannot be executed here); wine-qemu64 is a copy (a link would
# resolve to the system's folder) of the native 64-bit loader, which finds the
# system's 64-bit Wine through the x86_64-linux-gnu link.
loaders="$root/usr/lib/wine"
cat >"$loaders/wine-qemu" <<'EOF'
#!/bin/sh
# Runs Wine's 32-bit loader under qemu. Named so that the loader takes this
# script, not its own ELF file, as the program that starts 32-bit children.
here=$(cd "$(dirname "$0")" && pwd)
root=${here%/usr/lib/wine}
export QEMU_LD_PREFIX="$root" WINELOADERNOEXEC=1
: "${WINESERVER:=/usr/lib/wine/wineserver64}"
export WINESERVER
exec "$root/../qemu/usr/bin/qemu-i386" -0 "$here/wine-qemu" "$here/wine" "$@"
EOF
chmod +x "$loaders/wine-qemu"
cp /usr/lib/wine/wine64 "$loaders/wine-qemu64"
mkdir -p "$root/usr/lib/x86_64-linux-gnu"
ln -sfn /usr/lib/x86_64-linux-gnu/wine "$root/usr/lib/x86_64-linux-gnu/wine"

rm -rf "$dir/root" "$dir/qemu"
mv "$dir/root.new" "$dir/root"
mv "$dir/qemu.new" "$dir/qemu"
rm -rf "$dir/apt-amd64/cache" "$dir/apt-i386/cache"
unpacked=$(date +%s.%N)

qemu_version=$("$dir/qemu/usr/bin/qemu-i386" --version | head -n 1)
{
  echo "$wanted"
  echo "$qemu_version; ${#wine_debs[@]} i386 packages"
} >"$stamp"
awk -v f="$fetched" -v s="$start" -v u="$unpacked" -v b="$bytes" -v n="${#wine_debs[@]}" 'BEGIN {
  printf "i686 Wine ready: %.1f MB downloaded (qemu-user and %d i386 packages) in %.1f s, unpacked in %.1f s\n",
    b / 1e6, n, f - s, u - f }'
du -sh "$dir/root" "$dir/qemu" | sed 's/^/  /'
