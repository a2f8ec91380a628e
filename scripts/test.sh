#!/usr/bin/env bash
# Builds and runs every test: the layer check, the lint of the manual pages,
# the format and tidy checks, the unit tests, the transcript suite, the
# console and install tests, then
# the tests again under AddressSanitizer and UndefinedBehaviorSanitizer (all
# but the install test), the threaded tests under ThreadSanitizer, the
# transcript suite under valgrind. The fuzz targets' corpora and regression
# inputs are replayed by the unit tests of both builds; exploratory fuzzing
# is scripts/fuzz.sh, run by hand. Warnings are errors in every build here.
set -euo pipefail
cd "$(dirname "$0")/.."
# The build's packages (those of scripts/build.sh and GoogleTest); the
# install test needs pkg-config, Xlib's headers (libx11-dev), which the
# public headers must compile after, and what builds and checks the Debian
# packages (dpkg-dev, debhelper, dh-python, fakeroot, lintian); the Python
# test pytest, numpy, pandas, Dask and its distributed scheduler; the style
# check clang-format and clang-tidy.
scripts/deps.sh cmake ninja-build g++ nlohmann-json3-dev libsimdjson-dev libgtest-dev libreadline-dev \
  libsqlite3-dev sqlite3 python3-dev python3-pybind11 pybind11-dev python3-numpy python3-pandas \
  debhelper dh-python lintian fakeroot clang-format clang-tidy
scripts/deps.sh valgrind tmux less zsh python3 clang libclang-rt-14-dev mandoc pkgconf dpkg-dev \
  libx11-dev python3-pytest python3-dask python3-distributed
scripts/check_layers.sh

echo "== manual pages"
mandoc -T lint -W warning docs/man/*

scripts/check_versions.sh

# The folder of scripts/build.sh, now with the tests and debugging information.
echo "== build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWQ_TESTS=ON -DWQ_WERROR=ON \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
cmake --build build -j2

scripts/check_style.sh build

echo "== tests"
ctest --test-dir build --output-on-failure -j2

echo "== tests under ASan + UBSan"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DWQ_SANITIZE=ON -DWQ_WERROR=ON >/dev/null
cmake --build build-asan -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j2

echo "== threaded tests under ThreadSanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWQ_TSAN=ON -DWQ_WERROR=ON >/dev/null
cmake --build build-tsan -j2 --target thread_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --test-dir build-tsan --output-on-failure -L threads

echo "== transcript suite under valgrind"
WQ_VALGRIND=1 tests/transcripts/run.sh build/wqsql build/wqmake tests/transcripts/cases
