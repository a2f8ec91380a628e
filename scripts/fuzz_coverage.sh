#!/usr/bin/env bash
# Line coverage that a fuzz corpus reaches: builds the corpus-replay binaries
# with clang's source-based coverage into build-cov, replays each target's
# corpus folder and prints llvm-cov's report per file.
# Usage: scripts/fuzz_coverage.sh CORPUS_ROOT   (CORPUS_ROOT/TARGET/ per target)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(realpath "${1:-fuzz/corpus}")
scripts/deps.sh clang llvm
flags="-fprofile-instr-generate -fcoverage-mapping"
CC=clang CXX=clang++ cmake -S . -B build-cov -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build build-cov -j2 --target repository_fuzzer dispatcher_fuzzer source_fuzzer
rm -f build-cov/*.profraw
for t in repository_fuzzer dispatcher_fuzzer source_fuzzer; do
  LLVM_PROFILE_FILE="$(pwd)/build-cov/$t.profraw" build-cov/fuzz/$t "$root/$t" fuzz/regressions/$t
done
llvm-profdata merge -o build-cov/all.profdata build-cov/*.profraw
objects=()
for t in dispatcher_fuzzer source_fuzzer; do objects+=(-object "build-cov/fuzz/$t"); done
llvm-cov report build-cov/fuzz/repository_fuzzer "${objects[@]}" \
  -instr-profile=build-cov/all.profdata store platform shell repository query tools
