#!/usr/bin/env bash
# Checks the C++ style: every file laid out as .clang-format says, and the
# checks of .clang-tidy over the project's own sources, compiled as BUILD
# compiles them (its compile_commands.json).
# Usage: scripts/check_style.sh [BUILD]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

echo "== format"
git ls-files '*.cc' '*.h' | xargs clang-format --dry-run --Werror

echo "== tidy"
[ -f "$build/compile_commands.json" ] ||
  { echo "check_style: $build/compile_commands.json: no such file (configure with -DCMAKE_EXPORT_COMPILE_COMMANDS=ON)" >&2; exit 2; }
root=$(pwd)
run-clang-tidy -quiet -p "$build" -j2 \
  "^$root/(platform|store|terminal|repository|query|shell|tools|sqlite|python)/.*\\.cc\$" >"$build/tidy.log" 2>&1 ||
  { grep -E -A4 'warning:|error:' "$build/tidy.log" >&2; echo "check_style: clang-tidy found faults" >&2; exit 1; }
echo "style: formatted, and tidy"
