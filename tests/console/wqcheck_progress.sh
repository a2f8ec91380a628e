#!/usr/bin/env bash
# wqcheck's progress bar on a real terminal inside tmux: drawn on standard
# error once the check has run for the delay (set to 0 here through
# WQCHECK_PROGRESS_DELAY_MS, so that a check of a few milliseconds shows
# it), erased at the end so that the screen keeps only the verdict, never
# in standard output, and not drawn at all within the default second.
# Every byte the terminal receives is logged with pipe-pane.
# Usage: wqcheck_progress.sh WQCHECK WQMAKE
set -u
WQCHECK=$(realpath "$1")
WQMAKE=$(realpath "$2")
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
# Runs its arguments until they succeed; false when they have not within
# 30 seconds.
wait_until() {
  local deadline=$((SECONDS + 30))
  until "$@"; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.1
  done
}
screen_has() { screen | grep -Eq -- "$1"; }
log_has() { grep -aq -- "$1" "$work/log" 2>/dev/null; }
wait_for() { wait_until screen_has "$1"; }  # wait_for SCREEN-PATTERN

# run_check NAME COMMAND: runs COMMAND in a fresh terminal whose output is
# logged from its first byte.
run_check() {
  tmux -L "$sock" kill-server 2>/dev/null
  sock="wqprogress$$-$1"
  rm -f "$work/go" "$work/log"
  tmux -L "$sock" new-session -d -s wq -x 120 -y 20 \
    "cd '$work' && while [ ! -f go ]; do sleep 0.05; done; $2; echo CHECK-ENDED; sleep 30"
  tmux -L "$sock" pipe-pane -t wq "cat >'$work/log'"
  touch "$work/go"
  # The marker on the screen, then in the log: every byte before it is
  # through the pipe.
  wait_for '^CHECK-ENDED' && wait_until log_has CHECK-ENDED
}

size=$(stat -c %s "$work/big.rtm")
verdict="big.rtm: ok (1 class, 200000 objects, $size bytes)"

# The verdict to a file, the bar to the terminal.
run_check out "WQCHECK_PROGRESS_DELAY_MS=0 '$WQCHECK' big.rtm >out.txt"
check "check ended" $?
grep -aq 'big.rtm \[#*-*\] *[0-9]*%  [0-9.]* [KMG]*i*B of [0-9.]* MiB' "$work/log"
check "bar drawn with the bytes done and the total" $?
grep -aEq '[0-9.]+ ([KMG]i)?B/s' "$work/log"  # a fast machine may show GiB/s
check "rate shown" $?
grep -aq "$(printf '\r\033\\[K')CHECK-ENDED" "$work/log" ||
  tail -c 200 "$work/log" | grep -aq "$(printf '\r\033\\[K')"
check "bar erased at the end" $?
[ "$(cat "$work/out.txt")" = "$verdict" ]
check "standard output holds the verdict alone" $?
! screen | grep -q '\[#*-*\]'
check "no bar left on the screen" $?

# The verdict on the terminal as well: the bar goes before it.
run_check tty "WQCHECK_PROGRESS_DELAY_MS=0 '$WQCHECK' big.rtm"
screen | grep -qx "$verdict"
check "verdict on a clean line" $?
grep -aq '%' "$work/log"
check "bar drawn before the verdict" $?

# Within the default delay of a second nothing is drawn.
run_check quiet "'$WQCHECK' big.rtm"
! grep -aq '%' "$work/log"
check "no bar for a quick check" $?
screen | grep -qx "$verdict"
check "verdict of the quick check" $?

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
