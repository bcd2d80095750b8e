#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages Tavimor builds and tests with; does nothing when all are there.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev libx11-dev libxml2-dev libxslt1-dev libssl-dev
          libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev wine wine64
          samba samba-common-bin python3-samba samba-ad-provision samba-dsdb-modules samba-vfs-modules
          winbind ldb-tools
          # dconf and the GSettings schemas of the keys the GNOME lock-down test reads back
          dconf-cli libglib2.0-bin gsettings-desktop-schemas gnome-settings-daemon-common gnome-shell-common
          libgoa-1.0-common libgdm1
          help2man dpkg-dev devscripts file lintian desktop-file-utils appstream fonts-urw-base35
          libhivex-dev libhivex-bin libregf-utils libcreg-dev libcreg-utils python3
          # the Wine agent, a Windows program
          gcc-mingw-w64-x86-64)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
