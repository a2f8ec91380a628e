# Two sessions at the same time with one history file: each adds its own
# lines, so the one that ends last keeps the other's. Sourced by run.sh.

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
[ "$(cat "$hist")" = "$(printf 'help before\nhelp from first\nexit\nhelp from second\nexit')" ]
check "both sessions' lines kept, in the order the sessions ended" $?

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
