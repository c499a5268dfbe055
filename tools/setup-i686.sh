#!/usr/bin/env bash
# Prepares a private 32-bit Wine for the i686 programs on these 64-bit-only machines: Wine's 32-bit
# loader under qemu-user's i386 emulator, served by the system's 64-bit wineserver. Nothing is
# installed: qemu-user (bookworm-backports, whose qemu starts a Wine process in a second where
# bookworm's takes a minute) and wine32 (i386, the system's wine64 version) are downloaded through
# private apt state and unpacked under DIR; the system's dpkg and apt stay untouched. Later runs
# return at once until the system's Wine version changes.
# Usage: tools/setup-i686.sh [DIR]    (DIR defaults to build/i686-wine); tools/wine32.sh runs the programs.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$repo/build/i686-wine}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

wine_version=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null) || {
  echo "setup-i686: the system's wine64 is missing; run tools/setup-debian.sh first" >&2
  exit 1
}
# One set-up at a time: test runs may start it side by side.
exec 9>>"$dir/.lock"
flock -w 900 9 || {
  echo "setup-i686: another set-up holds $dir/.lock" >&2
  exit 1
}
[ "$(head -n 1 "$dir/ready" 2>/dev/null)" = "wine=$wine_version" ] && exit 0

# The machine's own Debian mirrors, from its apt sources (deb822 or one-line).
uris=$(cat /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list 2>/dev/null | awk '
  sub(/^URIs:/, "") { for (i = 1; i <= NF; i++) print $i }
  $1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) { print $i; break } }') || true
mirror=$(grep -v -m 1 security <<<"$uris") || true
security=$(grep -m 1 security <<<"$uris") || true
[ -n "$mirror" ] || {
  echo "setup-i686: no Debian mirror found in /etc/apt" >&2
  exit 1
}

# Downloads PACKAGE for ARCH from the given suites, resolved as for an empty system, through apt
# state of our own. APT_CONFIG is read before /etc/apt/apt.conf.d, so pointing the parts directory
# elsewhere keeps the system's hooks (cache cleaners, PackageKit) out; its Acquire settings
# (proxies) are kept. apt-get sees an empty dpkg status and locks only this directory.
fetch() { # ARCH PACKAGE "URI SUITE"...
  local state="$dir/apt-$1" arch=$1 package=$2
  shift 2
  rm -rf "$state/cache" # never unpack packages left from another Wine version
  mkdir -p "$state/lists/partial" "$state/cache/archives/partial"
  : >"$state/status"
  printf "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] %s main\n" "$@" >"$state/sources.list"
  cat >"$state/apt.conf" <<EOF
Dir::Etc::main "/dev/null"; Dir::Etc::parts "/dev/null";
Dir::Etc::sourcelist "$state/sources.list"; Dir::Etc::sourceparts "/dev/null";
Dir::Etc::preferences "/dev/null"; Dir::Etc::preferencesparts "/dev/null";
Dir::State "$state"; Dir::State::status "$state/status"; Dir::Cache "$state/cache"; Dir::Log "$state/log";
APT::Architecture "$arch"; APT::Architectures { "$arch"; };
$(apt-config dump Acquire)
EOF
  APT_CONFIG="$state/apt.conf" apt-get -qq update
  APT_CONFIG="$state/apt.conf" apt-get -qq -y --download-only --no-install-recommends install "$package" >/dev/null
}

echo "Fetching qemu-user (bookworm-backports) and wine32 $wine_version (i386) from $mirror ..."
# Debian 12: the system's wine64 comes from bookworm or one of its update suites.
fetch amd64 qemu-user "$mirror bookworm-backports"
fetch i386 "wine32=$wine_version" "$mirror bookworm" "$mirror bookworm-updates" \
  ${security:+"$security bookworm-security"}

# Unpack beside the old tree and swap, so that a failed run leaves nothing half-made.
root=$dir/root.new
rm -rf "$root" "$dir/qemu.new"
mkdir -p "$root" "$dir/qemu.new"
for deb in "$dir"/apt-i386/cache/archives/*.deb; do dpkg -x "$deb" "$root"; done
# Only the i386 emulator out of qemu-user's 370 MB of emulators.
dpkg-deb --fsys-tarfile "$dir"/apt-amd64/cache/archives/qemu-user_*.deb |
  tar -x -C "$dir/qemu.new" ./usr/bin/qemu-i386

# Wine loads zlib1.dll from its DLL folder, where Debian leaves only a link to the
# mingw package; libwine depends on that package, so it is normally in the tree.
zlib="$root/usr/i686-w64-mingw32/lib/zlib1.dll"
[ -f "$zlib" ] || zlib=/usr/i686-w64-mingw32/lib/zlib1.dll
cp --remove-destination "$zlib" "$root/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"

echo 'include /etc/ld.so.conf.d/*.conf' >"$root/etc/ld.so.conf"
ldconfig -r "$root"

# Loaders that let processes of either width start the other. Wine starts a child
# by executing, in its own loader's folder, the loader's name with "64" added or
# removed. The 32-bit loader is named wine-qemu, a script that runs it under qemu
# (32-bit ELF files cannot be executed here); wine-qemu64 is a copy (a link would
# resolve to the system's folder) of the native 64-bit loader, which finds the
# system's 64-bit Wine through the x86_64-linux-gnu link.
cat >"$root/usr/lib/wine/wine-qemu" <<'EOF'
#!/bin/sh
# Runs Wine's 32-bit loader under qemu. Named so that the loader takes this
# script, not its own ELF file, as the program that starts 32-bit children.
here=$(cd "$(dirname "$0")" && pwd)
root=${here%/usr/lib/wine}
export QEMU_LD_PREFIX="$root" WINELOADERNOEXEC=1 WINESERVER="${WINESERVER:-/usr/lib/wine/wineserver64}"
exec "$root/../qemu/usr/bin/qemu-i386" -0 "$here/wine-qemu" "$here/wine" "$@"
EOF
chmod +x "$root/usr/lib/wine/wine-qemu"
cp /usr/lib/wine/wine64 "$root/usr/lib/wine/wine-qemu64"
mkdir -p "$root/usr/lib/x86_64-linux-gnu"
ln -sfn /usr/lib/x86_64-linux-gnu/wine "$root/usr/lib/x86_64-linux-gnu/wine"

rm -rf "$dir/root" "$dir/qemu" "$dir"/apt-*/cache
mv "$root" "$dir/root"
mv "$dir/qemu.new" "$dir/qemu"
echo "wine=$wine_version" >"$dir/ready"
