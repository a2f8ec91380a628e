#!/usr/bin/env bash
# The first build: the programs only (wqsql, wqmake, wqdump, wqcheck), the
# store library, the SQLite extension, the Python package and the sample
# repository build/dravik.rtm, optimised and without debugging information,
# after installing the Debian packages the build needs (the Python package
# is built for /usr/bin/python3). No tests: scripts/test.sh configures the
# same folder with them and builds the rest. Arguments go to CMake's
# configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh cmake ninja-build g++ nlohmann-json3-dev libsimdjson-dev libreadline-dev \
  libsqlite3-dev sqlite3 python3-dev python3-pybind11 pybind11-dev python3-numpy python3-pandas
# -O2: Release's -O3 costs more compile time than it gains here. The whole
# build takes about 90 s of CPU time.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DWQ_TESTS=OFF "$@" >/dev/null
cmake --build build -j2
cat <<WHERE
built, in build/:
  wqsql wqmake wqdump wqcheck   the shell and the tools
  dravik.rtm                    the sample repository (cd build && ./wqsql)
  lib/libwqstore.so.* lib/libwqstore.a   the store library
  sqlite/wqstore.so             the SQLite extension (.load build/sqlite/wqstore)
WHERE
if [ -d build/python/wqstore ]; then
  echo "  python/wqstore/               the Python package (PYTHONPATH=build/python)"
fi
echo "scripts/test.sh builds and runs the tests."
