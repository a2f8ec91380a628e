#!/usr/bin/env bash
# Exploratory fuzzing, run by hand (the test command only replays the
# corpora, which is deterministic): builds the libFuzzer targets with clang
# (ASan + UBSan) into build-fuzz and runs each for the given number of
# seconds (default 30), starting from its seed and regression corpora. New inputs go to a scratch folder; a crash
# fails the run and leaves its input in build-fuzz/artifacts/.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-30}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] ||
  targets=(repository_fuzzer dispatcher_fuzzer source_fuzzer public_fuzzer dump_fuzzer)
scripts/deps.sh clang libclang-rt-14-dev cmake ninja-build nlohmann-json3-dev libsimdjson-dev libreadline-dev
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DWQ_FUZZ=ON -DWQ_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2
mkdir -p build-fuzz/artifacts
root=$(pwd)
for t in "${targets[@]}"; do
  work=$(mktemp -d)
  cp -r "fuzz/corpus/$t/." "$work/"
  # These two take repository files, as repository_fuzzer does.
  case $t in public_fuzzer | dump_fuzzer) cp -r fuzz/corpus/repository_fuzzer/. "$work/" ;; esac
  echo "fuzzing $t for $secs s"
  if ! "$root/build-fuzz/fuzz/$t" -max_total_time="$secs" -timeout=10 -rss_limit_mb=4096 \
       -print_final_stats=1 -artifact_prefix="$root/build-fuzz/artifacts/$t-" \
       "$work" "$root/fuzz/regressions/$t" > "build-fuzz/$t.log" 2>&1; then
    tail -40 "build-fuzz/$t.log"
    echo "$t: FAILED (input in build-fuzz/artifacts/)"
    rm -rf "$work"
    exit 1
  fi
  grep -E "stat::(number_of_executed_units|average_exec_per_sec)" "build-fuzz/$t.log" || true
  rm -rf "$work"
done
echo "fuzzing: no findings"
