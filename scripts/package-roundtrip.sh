#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# apt-get install ./DEB, then apt-get remove, in a throwaway root whose package database is a copy of
# this machine's: what the package depends on counts as installed, so nothing is fetched and it takes
# seconds. Every file dpkg -L names must be there after the install, and after the removal nothing may
# be left under /usr but the folders other packages own.
set -euo pipefail
deb=$(realpath "$1")
name=$(dpkg-deb --field "$deb" Package)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
admin=$root/var/lib/dpkg
chmod 755 "$root" # apt reads the package as its own user
mkdir -p "$admin/info" "$admin/updates" "$root/etc/apt/sources.list.d" "$root/etc/apt/preferences.d" \
  "$root/var/cache/apt/archives/partial" "$root/var/lib/apt/lists/partial" "$root/var/log/apt"
touch "$root/etc/apt/sources.list"
cp /var/lib/dpkg/status "$admin/"
cp /var/lib/dpkg/info/*.list "$admin/info/"
apt_in_root=(apt-get -q -y -o "Dir=$root" -o "Dir::State::status=$admin/status" -o "Dir::Log=$root/var/log/apt"
  -o "DPkg::Options::=--instdir=$root" -o "DPkg::Options::=--admindir=$admin" -o "DPkg::Options::=--log=/dev/null")
export DEBIAN_FRONTEND=noninteractive
"${apt_in_root[@]}" install "$deb" >"$root/install.log" 2>&1 || { cat "$root/install.log"; exit 1; }
dpkg --admindir="$admin" -L "$name" >"$root/files"
missing=0
while IFS= read -r path; do
  [ -e "$root$path" ] || { echo "installed, but not there: $path"; missing=1; }
done <"$root/files"
[ "$missing" -eq 0 ]
"${apt_in_root[@]}" remove "$name" >"$root/remove.log" 2>&1 || { cat "$root/remove.log"; exit 1; }
# Folders that other packages list stay, as they do on a real system.
cat "$admin"/info/*.list | sort -u >"$root/owned"
if [ -d "$root/usr" ]; then
  (cd "$root" && find usr -mindepth 1 | sed 's|^|/|' | sort) | comm -23 - "$root/owned" >"$root/left"
fi
if [ -s "$root/left" ]; then
  echo "apt-get remove $name left under /usr:"
  cat "$root/left"
  exit 1
fi
echo "$name: $(grep -c . "$root/files") paths installed by apt-get and removed without a trace"
