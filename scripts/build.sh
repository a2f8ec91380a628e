#!/usr/bin/env bash
# Builds wqsql, wqmake, the tests and the sample repository build/dravik.rtm,
# installing the Debian packages the build needs first. Arguments go to
# CMake's configure step (the test command adds -DWQ_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh cmake ninja-build g++ nlohmann-json3-dev libgtest-dev libreadline-dev
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build -j2
