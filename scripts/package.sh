#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Release Debian package, lints it (errors fail), unpacks it into a throwaway root and
# runs the programs from there.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
# Only what the package holds: no tests, no benchmarks.
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVIMOR_BUILD_TESTS=OFF \
  -DTAVIMOR_BUILD_BENCH=OFF -DTAVIMOR_BUILD_FUZZ=OFF >/dev/null
cmake --build build-package -j "$jobs"
rm -f build-package/tavimor_*.deb
(cd build-package && cpack -G DEB >cpack.log) || { cat build-package/cpack.log; exit 1; }
deb=$(echo build-package/tavimor_*.deb)
echo "Package: $deb"
dpkg-deb --field "$deb" Package Version Depends

lintian --fail-on error --tag-display-limit 0 "$deb"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/tavimor.desktop"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
# A fresh user with nothing set: the default settings file must come from share/tavimor.
export HOME="$root/home" XDG_CONFIG_HOME="$root/home/config" XDG_DATA_HOME="$root/home/data"
mkdir -p "$HOME"
"$root/usr/bin/tavimorctl" --version
"$root/usr/bin/tavimor" --version
"$root/usr/bin/tavimorctl" list --target memory:
echo "package: built, linted, unpacked and run"
