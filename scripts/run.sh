#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up, builds and starts Tavimor on its embedded default registry (a per-user REGEDIT4 file).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVIMOR_BUILD_TESTS=OFF >/dev/null
cmake --build build
if [ -x build/tavimor ]; then
  exec build/tavimor "$@"
fi
exec build/tavimorctl "${@:-list}"
