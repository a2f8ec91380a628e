#!/usr/bin/env bash
# Drives the real shell on a terminal inside tmux: line editing, history
# recall and the history file, Tab completion of class and member names,
# Ctrl-C during a long select and at the prompt, Ctrl-D as end of input.
# Usage: run.sh WQSQL WQMAKE
set -u
WQSQL=$(realpath "$1")
WQMAKE=$(realpath "$2")
if ! command -v tmux >/dev/null; then
  echo "tmux is not installed"
  exit 1
fi

work=$(mktemp -d)
sock="wqconsole$$"
sessions=0
cleanup() {
  tmux -L "$sock" kill-server 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home"

# A repository with a small class and one of 100,000 objects.
python3 - "$work/console.json" <<'PY'
import json, sys
# Wide rows, so that printing all of them on the terminal takes seconds.
big = [{"values": {"label": "row %d" % i, "n": i, "a": "a" * 60, "b": "b" * 60}}
       for i in range(100000)]
src = {"classes": [
  {"name": "Part", "number": 12, "objectSize": 40,
   "members": [{"name": "name", "type": "string"}, {"name": "weight", "type": "double"}],
   "objects": [{"values": {"name": "bolt", "weight": 1.5}}]},
  {"name": "Big", "number": 20, "objectSize": 12,
   "members": [{"name": "label", "type": "string"}, {"name": "n", "type": "int"},
               {"name": "a", "type": "string"}, {"name": "b", "type": "string"}],
   "objects": big}]}
json.dump(src, open(sys.argv[1], "w"))
PY
"$WQMAKE" "$work/console.json" "$work/repo.rtm" || { echo "wqmake failed"; exit 1; }

passed=0
failed=0
check() {  # check NAME CONDITION-RESULT
  if [ "$2" = 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $1"
    echo "--- screen:"
    screen | tail -25
  fi
}
screen() { tmux -L "$sock" capture-pane -p -S -2000 -t wq 2>/dev/null; }
keys() { tmux -L "$sock" send-keys -t wq "$@"; }
# Waits until the screen matches the extended regular expression $1.
wait_for() {
  for _ in $(seq 1 100); do
    screen | grep -Eq -- "$1" && return 0
    sleep 0.1
  done
  return 1
}
count() { screen | grep -Ec -- "$1"; }

start_shell() {  # start_shell [ENV...]
  # Each session gets a server of its own: a server being killed may still
  # hold its socket for a moment.
  tmux -L "$sock" kill-server 2>/dev/null
  sessions=$((sessions + 1))
  sock="wqconsole$$-$sessions"
  tmux -L "$sock" new-session -d -s wq -x 160 -y 50 \
    "cd '$work' && env $* TERM=xterm '$WQSQL'; echo SHELL-ENDED; sleep 30"
  wait_for '^wq>'
}

start_shell "HOME='$work/home'"
keys "connect repo.rtm" Enter
wait_for 'command took' ; check "connect" $?

# An edit in the middle of the line: "desc Part" becomes "descr Part".
keys "desc Part" Home Right Right Right Right "r" Enter
wait_for '^class: Part classNumber=12 objSize=40 minM=1 maxM=2 numM=2'
check "edit in the middle" $?

# The up arrow recalls the last line.
keys Up Enter
sleep 0.5
[ "$(count '^class: Part classNumber=12')" = 2 ]
check "history recall" $?

# Tab completes a class name after descr.
keys "descr Pa" Tab Enter
sleep 0.5
[ "$(count '^class: Part classNumber=12')" = 3 ]
check "class name completion" $?

# Tab completes a member name of the class named after from.
keys "select  from Part" Home Right Right Right Right Right Right Right "wei" Tab Enter
wait_for '^     weight$'
check "member name completion" $?

# Ctrl-C stops a long select; the shell prompts again, still connected.
keys "select * from Big" Enter
sleep 0.2
keys C-c
wait_for '\*E\* interrupted$'
check "interrupt message" $?
wait_for 'command took'
keys "select * from sys\$tables" Enter
wait_for '^  20   12 Big$'
check "still connected after interrupt" $?
screen | grep -q 'row 99999|'
[ $? != 0 ]
check "select stopped before its end" $?

# Ctrl-C at the prompt discards the line being typed.
keys "bogus words" C-c
sleep 0.3
keys "help" Enter
wait_for '^wqsql valid commands: '
check "help after Ctrl-C at the prompt" $?
[ "$(count 'invalid command')" = 0 ]
check "discarded line not executed" $?

# Ctrl-D on an empty line is end of input: the validation run follows.
keys C-d
wait_for 'SHELL-ENDED'
check "Ctrl-D ends the shell" $?
screen | grep -q '\*\*Exception: no repository is open (dravik.rtm'
check "end-of-input validation ran" $?

hist="$work/home/.wqsql_history"
[ -f "$hist" ] && grep -q '^descr Part$' "$hist" && grep -q '^select \* from Big$' "$hist" \
  && ! grep -q 'bogus' "$hist"
check "history file" $?

# A second session recalls the first one's lines.
start_shell "HOME='$work/home'"
keys Up Up
sleep 0.3
screen | grep -q '^wq> select \* from sys\$tables'
check "history kept across sessions" $?
keys C-u "exit" Enter
wait_for 'SHELL-ENDED'
check "exit" $?

# History is capped at 1,000 lines.
for i in $(seq 1 1200); do echo "help $i"; done > "$hist"
start_shell "HOME='$work/home'"
keys "help" Enter "exit" Enter
wait_for 'SHELL-ENDED'
[ "$(wc -l < "$hist")" -le 1000 ]
check "history capped" $?

# Without HOME, or with a HOME that cannot be written, nothing complains.
start_shell "-u HOME"
keys "help" Enter "exit" Enter
wait_for 'SHELL-ENDED'
check "no HOME" $?
touch "$work/notadir"  # root may write anywhere, but not below a plain file
start_shell "HOME='$work/notadir'"
keys "help" Enter "exit" Enter
wait_for 'SHELL-ENDED'
[ "$(screen | grep -c -i 'error\|history')" = 0 ]
check "unwritable HOME" $?

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
