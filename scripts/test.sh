#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up, builds with warnings as errors and library assertions on, and runs every test,
# then runs each fuzz target for a while (TAVIMOR_FUZZ_SECONDS, default 30; 0 skips them).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
# The benchmarks are off by default; CI builds them so they keep compiling.
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVIMOR_WERROR=ON -DTAVIMOR_BUILD_BENCH=ON \
  -DCMAKE_CXX_FLAGS="-D_GLIBCXX_ASSERTIONS -DQT_FORCE_ASSERTS" >/dev/null
cmake --build build-test -j "$jobs"
ctest --test-dir build-test --output-on-failure -j "$jobs" 2>&1 | tee build-test/ctest.log
summary=$(grep -E '^[0-9]+% tests passed' build-test/ctest.log | tail -n 1)
total=$(echo "$summary" | sed -E 's/.* out of ([0-9]+).*/\1/')
failed=$(echo "$summary" | sed -E 's/.* ([0-9]+) tests failed.*/\1/')
fuzzed=0

seconds=${TAVIMOR_FUZZ_SECONDS:-30}
if [ "$seconds" != 0 ]; then
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVIMOR_BUILD_FUZZ=ON \
    -DTAVIMOR_BUILD_TESTS=OFF -DTAVIMOR_BUILD_BENCH=OFF >/dev/null
  cmake --build build-fuzz -j "$jobs"
  for corpus in fuzz/corpus/*/; do
    name=$(basename "$corpus")
    work=build-fuzz/corpus-run/$name
    mkdir -p "$work"
    cp -n "$corpus"* "$work"/ 2>/dev/null || true
    echo "Fuzzing $name for $seconds s"
    status=0
    (cd build-fuzz && "./fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 "corpus-run/$name" >"corpus-run/$name.log" 2>&1) || status=$?
    tail -n 12 "build-fuzz/corpus-run/$name.log"
    if [ "$status" -ne 0 ]; then
      echo "fuzz target $name failed (exit $status)"
      exit 1
    fi
    fuzzed=$((fuzzed + 1))
  done
fi
# The Debian package, built, linted, unpacked and run; a failure stops the script.
scripts/package.sh
packaged=1
echo "unit: $((total - failed)) passed, $failed failed"
echo "package: $packaged built, linted and run"
echo "fuzz: $fuzzed targets ran clean"
echo "$((total - failed + fuzzed + packaged)) passed, $failed failed"
