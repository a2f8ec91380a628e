#!/usr/bin/env bash
# Builds and runs every test: the layer check, the lint of the manual pages,
# the unit tests, the transcript suite, the console and install tests, then
# the tests again under AddressSanitizer and UndefinedBehaviorSanitizer (all
# but the install test), the transcript suite under valgrind and the fuzz
# targets.
set -euo pipefail
cd "$(dirname "$0")/.."
# The install test needs pkg-config and dpkg-shlibdeps (dpkg-dev); the
# Python test pytest, Dask and its distributed scheduler.
scripts/deps.sh valgrind tmux less python3 clang libclang-rt-14-dev mandoc pkgconf dpkg-dev \
  python3-pytest python3-dask python3-distributed
scripts/check_layers.sh

echo "== manual pages"
mandoc -T lint -W warning docs/man/*

scripts/build.sh

echo "== tests"
ctest --test-dir build --output-on-failure -j2

echo "== tests under ASan + UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWQ_SANITIZE=ON >/dev/null
cmake --build build-asan -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j2

echo "== transcript suite under valgrind"
WQ_VALGRIND=1 tests/transcripts/run.sh build/wqsql build/wqmake tests/transcripts/cases

echo "== fuzz targets, 30 s each"
scripts/fuzz.sh 30
