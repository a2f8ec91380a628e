# Line editing, history recall and the history file, Tab completion of
# class and member names, Ctrl-C during a long select and at the prompt,
# Ctrl-D as end of input. Sourced by run.sh. The pager is off here, so that
# the long select prints straight to the terminal.

start_shell "HOME='$work/home'" WQSQL_PAGER=
keys "connect repo.rtm" Enter
wait_for 'command took' ; check "connect" $?

# An edit in the middle of the line: "desc Part" becomes "descr Part".
keys "desc Part" Home Right Right Right Right "r" Enter
wait_for '^class: Part classNumber=12 objSize=40 minM=1 maxM=2 numM=2'
check "edit in the middle" $?

# The up arrow recalls the last line.
keys Up Enter
wait_count '^class: Part classNumber=12' 2
check "history recall" $?

# Tab completes a class name after descr.
keys "descr Pa" Tab Enter
wait_count '^class: Part classNumber=12' 3
check "class name completion" $?

# Tab completes a member name of the class named after from.
keys "select  from Part" Home Right Right Right Right Right Right Right "wei" Tab Enter
wait_for '^     weight$'
check "member name completion" $?

# Ctrl-C stops a long select; the shell prompts again, still connected.
keys "select * from Big" Enter
wait_for '^ +row [0-9]+\|'
keys C-c
wait_for '\*E\* interrupted$'
check "interrupt message" $?
wait_prompt
keys "select * from sys\$tables" Enter
wait_for '^  20   12 Big$'
check "still connected after interrupt" $?
screen | grep -q 'row 99999|'
[ $? != 0 ]
check "select stopped before its end" $?

# Ctrl-C at the prompt discards the line being typed.
wait_prompt
keys "bogus words"
wait_last '^wq> bogus words$'
keys C-c
wait_prompt
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
wait_for '^wq> select \* from sys\$tables'
check "history kept across sessions" $?
keys C-u "exit" Enter
wait_for 'SHELL-ENDED'
check "exit" $?

# History is capped at 1,000 lines.
for i in $(seq 1 1200); do echo "help $i"; done > "$hist"
start_shell "HOME='$work/home'"
keys "help" Enter "exit" Enter
wait_for 'SHELL-ENDED'
[ "$(wc -l < "$hist")" -le 1000 ] && [ "$(tail -2 "$hist")" = "$(printf 'help\nexit')" ]
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
