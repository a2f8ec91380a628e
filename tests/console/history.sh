# The history file: two sessions at the same time each add their lines as
# they are entered, so neither loses the other's; a session ended by a
# signal (the window closed, SIGTERM) keeps its lines; WQSQL_HISTORY names
# the file or, empty, turns it off. Sourced by run.sh.

hist="$work/home/.wqsql_history"
printf 'help before\n' > "$hist"
start_shell "HOME='$work/home'"
first=$sock
KEEP=1 start_shell "HOME='$work/home'"
second=$sock

sock=$first
keys "help from first" Enter
wait_for '^wqsql valid commands'
sock=$second
keys "help from second" Enter
wait_for '^wqsql valid commands'
sock=$first
keys "exit" Enter
wait_for 'SHELL-ENDED'
sock=$second
keys "exit" Enter
wait_for 'SHELL-ENDED'
[ "$(cat "$hist")" = "$(printf 'help before\nhelp from first\nhelp from second\nexit\nexit')" ]
check "both sessions' lines kept, in the order they were entered" $?

# A session that adds nothing leaves the file alone.
before=$(cat "$hist")
start_shell "HOME='$work/home'"
keys C-d
wait_for 'SHELL-ENDED'
[ "$(cat "$hist")" = "$before" ]
check "session without lines leaves the history file as it was" $?

# The file is created when it does not exist.
rm -f "$hist"
start_shell "HOME='$work/home'"
keys "help" Enter "exit" Enter
wait_for 'SHELL-ENDED'
[ "$(cat "$hist")" = "$(printf 'help\nexit')" ]
check "history file created" $?

# Ended by a signal: SIGTERM to the shell, and SIGHUP from closing the
# terminal (the tmux server goes away). The lines typed are in the file, and
# the next session recalls them. A file past 1,000 lines (sessions that
# never ended normally) is cut back when a session starts.
shell_pid() { pgrep -P "$(tmuxc display -p -t wq '#{pane_pid}')" -x wqsql; }
gone() { ! kill -0 "$1" 2>/dev/null; }
hist="$work/signal_history"
seq -f 'help %g' 1005 > "$hist"
for how in TERM HUP; do
  # Standard error not checked: the shell may see its terminal go before the
  # signal comes, and then cannot write the validation's line.
  start_command "env HOME='$work/home' WQSQL_HISTORY='$hist' TERM=xterm '$WQSQL' 2>/dev/null"
  wait_prompt
  pid=$(shell_pid)
  keys "descr $how" Enter
  wait_for '^\*E\* not connected'
  keys "help at $how" Enter
  wait_count '^wqsql valid commands' 1
  if [ "$how" = TERM ]; then kill -TERM "$pid"; else end_server "$sock"; fi
  wait_until gone "$pid"
  [ "$(tail -2 "$hist")" = "$(printf 'descr %s\nhelp at %s' "$how" "$how")" ]
  check "lines kept when the shell ends by SIGHUP or SIGTERM ($how)" $?
  if [ "$how" = TERM ]; then
    [ "$(wc -l < "$hist")" = 1002 ] && [ "$(head -1 "$hist")" = "help 6" ]
    check "history file cut back to 1,000 lines when a session starts" $?
  fi
done
start_shell "HOME='$work/home'" "WQSQL_HISTORY='$hist'"
keys Up Up
wait_last '^wq> descr HUP$'
check "a session after SIGHUP recalls its lines" $?
keys C-u "exit" Enter
wait_for 'SHELL-ENDED'

# WQSQL_HISTORY empty: no history file at all.
mkdir -p "$work/home-none"
start_shell "HOME='$work/home-none'" WQSQL_HISTORY=
keys "help" Enter "exit" Enter
wait_for 'SHELL-ENDED'
[ -z "$(ls -A "$work/home-none")" ]
check "no history file when WQSQL_HISTORY is empty" $?
