#!/usr/bin/env bash
# Builds wqsql, wqmake, the SQLite extension, the tests and the sample
# repository build/dravik.rtm, installing the Debian packages the build
# needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh cmake ninja-build g++ nlohmann-json3-dev libgtest-dev libreadline-dev \
  libsqlite3-dev sqlite3
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2
