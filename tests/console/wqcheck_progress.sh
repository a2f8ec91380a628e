#!/usr/bin/env bash
# The progress bars of wqcheck, wqmake and wqdump writing to a file (-o) on
# a real terminal inside tmux: drawn on standard error once the run has
# taken the delay (set to 0 here through WQCHECK_PROGRESS_DELAY_MS, so that
# a run of a few milliseconds shows it), erased at the end so that the
# screen keeps only what the tool prints, never in standard output or the
# file written, and not drawn at all within the default second, nor by
# wqdump writing to standard output. Every byte the terminal receives is
# logged with pipe-pane; every wait is for a condition.
# Usage: wqcheck_progress.sh WQCHECK WQMAKE WQDUMP
set -u
WQCHECK=$(realpath "$1")
WQMAKE=$(realpath "$2")
WQDUMP=$(realpath "$3")
if ! command -v tmux >/dev/null; then
  echo "tmux is not installed"
  exit 1
fi

work=$(mktemp -d)
sock="wqprogress$$"
cleanup() {
  tmux -L "$sock" kill-server 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

python3 - "$work/big.json" <<'PY'
import json, sys
objects = [{"values": {"label": "row %d" % i, "n": i, "text": "t" * 40}} for i in range(200000)]
json.dump({"classes": [{"name": "Big", "members": [
    {"name": "label", "type": "string"}, {"name": "n", "type": "int"},
    {"name": "text", "type": "string"}], "objects": objects}]}, open(sys.argv[1], "w"))
PY
"$WQMAKE" "$work/big.json" "$work/big.rtm" || { echo "wqmake failed"; exit 1; }
"$WQDUMP" --format csv --class Big "$work/big.rtm" >"$work/want.csv" || { echo "wqdump failed"; exit 1; }

passed=0
failed=0
check() {  # check NAME CONDITION-RESULT
  if [ "$2" = 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $1"
    echo "--- screen:"
    screen | tail -10
    echo "--- terminal bytes:"
    cat -v "$work/log" | tail -c 600
    echo
  fi
}
screen() { tmux -L "$sock" capture-pane -p -t wq 2>/dev/null; }
until_true() {  # until_true COMMAND...: polls COMMAND for up to 30 seconds
  for _ in $(seq 1 300); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
on_screen() { screen | grep -Eq -- "$1"; }
in_log() { grep -aq -- "$1" "$work/log" 2>/dev/null; }

# run NAME COMMAND: runs COMMAND in a fresh terminal whose output is logged
# from its first byte, and waits until its end has reached the log.
run() {
  tmux -L "$sock" kill-server 2>/dev/null
  sock="wqprogress$$-$1"
  rm -f "$work/go" "$work/log"
  tmux -L "$sock" new-session -d -s wq -x 120 -y 20 \
    "cd '$work' && while [ ! -f go ]; do sleep 0.05; done; $2; echo RUN-ENDED; sleep 30"
  tmux -L "$sock" pipe-pane -t wq "cat >'$work/log'"
  touch "$work/go"
  until_true on_screen '^RUN-ENDED' && until_true in_log RUN-ENDED
}
# The bar of FILE was drawn with bytes done of a total, and erased before
# the run ended.
drawn_and_erased() {
  grep -aq "$1 \[#*-*\] *[0-9]*%  [0-9.]* [KMG]*i*B of [0-9.]* [KMG]*i*B" "$work/log" &&
    grep -aq "$(printf '\r\033\\[K')RUN-ENDED" "$work/log"
}

size=$(stat -c %s "$work/big.rtm")
verdict="big.rtm: ok (1 class, 200000 objects, $size bytes)"

# wqcheck: the verdict to a file, the bar to the terminal.
run check_out "WQCHECK_PROGRESS_DELAY_MS=0 '$WQCHECK' big.rtm >out.txt"
check "wqcheck ended" $?
drawn_and_erased big.rtm
check "wqcheck: bar drawn with the bytes done and the total, and erased" $?
grep -aEq '[0-9.]+ ([KMG]i)?B/s' "$work/log"  # a fast machine may show GiB/s
check "wqcheck: rate shown" $?
[ "$(cat "$work/out.txt")" = "$verdict" ]
check "wqcheck: standard output holds the verdict alone" $?
! screen | grep -q '\[#*-*\]'
check "wqcheck: no bar left on the screen" $?

# The verdict on the terminal as well: the bar goes before it.
run check_tty "WQCHECK_PROGRESS_DELAY_MS=0 '$WQCHECK' big.rtm"
screen | grep -qx "$verdict"
check "wqcheck: verdict on a clean line" $?
in_log '%'
check "wqcheck: bar drawn before the verdict" $?

# Within the delay nothing is drawn (set long here: a sanitized build on a
# busy machine takes more than the default second).
run check_quiet "WQCHECK_PROGRESS_DELAY_MS=600000 '$WQCHECK' big.rtm"
! in_log '%'
check "wqcheck: no bar for a quick check" $?
screen | grep -qx "$verdict"
check "wqcheck: verdict of the quick check" $?

# wqmake: the bar while the source is read, named after the source.
run make "WQCHECK_PROGRESS_DELAY_MS=0 '$WQMAKE' big.json made.rtm >out.txt"
check "wqmake ended" $?
drawn_and_erased big.json
check "wqmake: bar drawn with the bytes done and the total, and erased" $?
[ ! -s "$work/out.txt" ] && cmp -s "$work/made.rtm" "$work/big.rtm"
check "wqmake: nothing on standard output, the same repository" $?
! screen | grep -q '\[#*-*\]'
check "wqmake: no bar left on the screen" $?
run make_fault "printf '{ \"classes\": [ { \"name\": 5 } ] }' >bad.json;
  WQCHECK_PROGRESS_DELAY_MS=0 '$WQMAKE' bad.json bad.rtm"
screen | grep -q '^wqmake: bad.json:1:'
check "wqmake: a fault on a line of its own" $?
run make_quiet "WQCHECK_PROGRESS_DELAY_MS=600000 '$WQMAKE' big.json quiet.rtm"
! in_log '%'
check "wqmake: no bar for a quick build" $?

# wqdump -o: the bar while the file is checked and written, named after
# the output; the file holds what standard output would.
run dump "WQCHECK_PROGRESS_DELAY_MS=0 '$WQDUMP' --format csv --class Big -o big.csv big.rtm"
check "wqdump ended" $?
drawn_and_erased big.csv
check "wqdump: bar drawn with the bytes done and the total, and erased" $?
cmp -s "$work/big.csv" "$work/want.csv"
check "wqdump: the file holds the whole dump" $?
! screen | grep -q '\[#*-*\]'
check "wqdump: no bar left on the screen" $?
run dump_stdout "WQCHECK_PROGRESS_DELAY_MS=0 '$WQDUMP' --format csv --class Big big.rtm >out.csv"
! in_log '%' && cmp -s "$work/out.csv" "$work/want.csv"
check "wqdump: no bar when writing to standard output" $?
run dump_quiet "WQCHECK_PROGRESS_DELAY_MS=600000 '$WQDUMP' --format csv --class Big -o quiet.csv big.rtm"
! in_log '%'
check "wqdump: no bar for a quick dump" $?

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
