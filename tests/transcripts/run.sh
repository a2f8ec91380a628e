#!/usr/bin/env bash
# End-to-end transcript suite of the wqsql shell.
#
# Usage: run.sh WQSQL WQMAKE CASES_DIR [CASE...]
#
# Every folder under CASES_DIR is one case (or only the CASE names given):
#   input      the lines typed at the prompt, fed on standard input
#   *.json     repository sources; NAME.json is built into NAME.rtm with wqmake
#   *.bin      raw files copied as they are, minus the .bin suffix
#              (corrupt.rtm.bin becomes corrupt.rtm), e.g. a broken repository
#   locale     optional: the LC_ALL value for the shell (default C.UTF-8)
#   expected   the exact standard output, timing figures replaced by "#"
#
# Each case runs in a fresh working folder, so "dravik.rtm" exists there only
# when the case has a dravik.json. Standard output is compared byte for byte
# after "command took: <n> sec" and "test2 ValidateRepository time: <n>" have
# their figures replaced; the exit status must be 0. With WQ_VALGRIND=1 the
# shell runs under valgrind and any memory error or leak fails the case.
set -u

if [ $# -lt 3 ]; then
  echo "usage: run.sh WQSQL WQMAKE CASES_DIR [CASE...]" >&2
  exit 2
fi
wqsql=$(realpath "$1")
wqmake=$(realpath "$2")
cases_dir=$(realpath "$3")
shift 3

runner=()
limit=60
if [ "${WQ_VALGRIND:-0}" = 1 ]; then
  runner=(valgrind --quiet --error-exitcode=99 --leak-check=full
          --errors-for-leak-kinds=definite,indirect,possible)
  limit=600
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

names=()
if [ $# -gt 0 ]; then
  for d in "$@"; do names+=("$(basename "$d")"); done
else
  for d in "$cases_dir"/*/; do names+=("$(basename "$d")"); done
fi

passed=0
failed=0

fail() {  # fail CASE REASON...
  echo "FAIL $1: ${*:2}"
}

run_case() {  # run_case NAME; prints why and returns 1 when the case fails
  local name=$1 cdir=$cases_dir/$1 dir=$work/$1 src base rc loc=C.UTF-8
  if [ ! -f "$cdir/input" ] || [ ! -f "$cdir/expected" ]; then
    fail "$name" "missing input or expected file"
    return 1
  fi
  mkdir -p "$dir"
  for src in "$cdir"/*.json; do
    [ -e "$src" ] || continue
    base=$(basename "$src" .json)
    if ! "$wqmake" "$src" "$dir/$base.rtm" 2>"$work/wqmake.err"; then
      fail "$name" "wqmake failed on $base.json: $(cat "$work/wqmake.err")"
      return 1
    fi
  done
  for src in "$cdir"/*.bin; do
    [ -e "$src" ] || continue
    cp "$src" "$dir/$(basename "$src" .bin)"
  done
  if [ -f "$cdir/locale" ]; then
    loc=$(tr -d ' \t\r\n' <"$cdir/locale")
  fi

  (cd "$dir" && LC_ALL=$loc timeout "$limit" "${runner[@]}" "$wqsql" \
      <"$cdir/input" >"$work/stdout" 2>"$work/stderr")
  rc=$?

  LC_ALL=C sed -E \
    -e 's/command took: [0-9][0-9.e+-]* sec/command took: # sec/g' \
    -e 's/test2 ValidateRepository time: [0-9][0-9.e+-]*/test2 ValidateRepository time: #/g' \
    "$work/stdout" >"$work/actual"

  local ok=1
  if ! cmp -s "$cdir/expected" "$work/actual"; then
    fail "$name" "output differs"
    diff -u --label "$name/expected" --label "$name/actual" "$cdir/expected" "$work/actual"
    ok=0
  fi
  if [ "$rc" -ne 0 ]; then
    case $rc in
      99) fail "$name" "valgrind reported errors" ;;
      124) fail "$name" "timed out after $limit s" ;;
      *) fail "$name" "exit status $rc" ;;
    esac
    sed -n '1,40p' "$work/stderr"
    ok=0
  fi
  [ $ok = 1 ]
}

for n in "${names[@]}"; do
  if run_case "$n"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
