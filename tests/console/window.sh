# Window size changes while a line is being edited, and Ctrl-Z at the
# prompt followed by fg in a job-control shell. Sourced by run.sh.

# Resizes the window to $1 columns and $2 rows, and waits until the
# terminal has the new size: from then on SIGWINCH is pending for the
# shell, which handles it before any key sent later.
pane_size() { [ "$(stty -F "$(tmuxc display -p -t wq '#{pane_tty}')" size)" = "$2 $1" ]; }
resize() {
  tmuxc resize-window -t wq -x "$1" -y "$2"
  wait_until pane_size "$1" "$2"
}

# After the window narrows, a line longer than the window wraps where the
# window ends, and moving to its start and inserting edits the start.
start_shell "HOME='$work/home'"
resize 40 20
long=$(printf 'a%.0s' $(seq 1 60))
keys "help $long"
wait_last "^a+\$"
keys Home "X"
wait_for "^wq> Xhelp a{30}\$"
check "line edited at its start after the window narrowed" $?
[ "$(screen | grep -Ec '^a{30}$')" = 1 ]
check "rest of the line wrapped at the new width" $?
keys Enter
wait_for '^\*E\* invalid command$'
check "edited line ran" $?

# And after it widens again, to less than it was at the start, a line that
# wraps in the new width but not in the first.
wait_prompt
resize 120 30
keys "help $long$long"
wait_last "^a+\$"
keys Home "Y"
wait_for "^wq> Yhelp a{110}\$"
check "line edited at its start after the window widened" $?
keys C-a C-k "exit" Enter
wait_for 'SHELL-ENDED'

# Ctrl-Z stops the shell with a line half typed; after fg the prompt and
# the line are back, and the line can be finished.
start_command "env HOME='$work/home' TERM=xterm PS1='sh\$ ' bash --norc --noprofile -i"
wait_for '^sh\$'
keys "'$WQSQL' 2>>'$errors'" Enter
wait_prompt
keys "connect repo.rtm" Enter
wait_prompt
keys "descr Pa"
wait_last '^wq> descr Pa$'
keys C-z
wait_for 'Stopped'
check "Ctrl-Z stops the shell" $?
wait_last '^sh\$'
keys "fg" Enter
wait_last '^wq> descr Pa$'
check "prompt and line redrawn after fg" $?
keys "rt" Enter
wait_for '^class: Part classNumber=12'
check "line finished after fg runs" $?
[ "$(count '^wq> descr Part$')" = 1 ]
check "typing after fg echoed once" $?
keys "exit" Enter
wait_last '^sh\$'
check "still connected and ends normally after fg" $?
