#!/usr/bin/env bash
# Builds wqsql, wqmake, the SQLite extension, the Python package, the tests
# and the sample repository build/dravik.rtm, installing the Debian packages
# the build needs first (the Python package wqstore is built for
# /usr/bin/python3). Arguments go to CMake's configure step (the test
# command adds -DWQ_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh cmake ninja-build g++ nlohmann-json3-dev libgtest-dev libreadline-dev \
  libsqlite3-dev sqlite3 python3-dev python3-pybind11 pybind11-dev python3-numpy python3-pandas
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build -j2
