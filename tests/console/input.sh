# Typed input with the output going to a file or a pipe, which must get
# exactly the bytes piped input gives; and pasting several lines at once
# with bracketed paste, each line running as its own command. Sourced by
# run.sh.

typed=("connect repo.rtm" "descr Part" "select * from Part" "bogus" "set separator ,"
       "select weight, name from Part" "select * from Wide" "help" "set verbose off" "descr Wide")
printf '%s\n' "${typed[@]}" > "$work/typed.in"
(cd "$work" && HOME="$work/home" "$WQSQL" < typed.in > piped.out 2>&1)
mask_timing "$work/piped.out" > "$work/piped.masked"

# Standard input a terminal, standard output a file, then a pipe. The
# terminal echoes the typing; the shell must not.
for target in "> typed.out" "| cat > typed.out"; do
  rm -f "$work/typed.out"
  start_command "env HOME='$work/home' TERM=xterm '$WQSQL' 2>>'$errors' $target"
  for line in "${typed[@]}"; do keys "$line" Enter; done
  keys C-d
  wait_for 'SHELL-ENDED'
  mask_timing "$work/typed.out" | cmp -s - "$work/piped.masked"
  check "typed input, output $target: the same bytes as piped input" $?
done

# Two lines pasted at once run as two commands, each shown after a prompt
# as if typed, and each goes into the history on its own.
paste_text() {  # paste_text TEXT: pasted as a terminal pastes, with bracketed paste
  printf '%s' "$1" | tmuxc load-buffer -
  tmuxc paste-buffer -p -t wq
}
start_shell "HOME='$work/home'" WQSQL_PAGER=
keys "connect repo.rtm" Enter
wait_for 'command took'
wait_prompt  # the editor asks for bracketed paste before its prompt
paste_text $'descr Part\ndescr Wide\n'
wait_for '^class: Wide classNumber=30'
check "pasted lines: the second one ran" $?
[ "$(count '^class: Part classNumber=12')" = 1 ] && [ "$(count 'too many tokens')" = 0 ]
check "pasted lines: the first one ran on its own" $?
screen | grep -A1 '^wq> descr Wide$' | grep -q '^class: Wide'
check "pasted lines: each after its prompt" $?

# Text after the last line end stays on the prompt to be finished; the
# lines before it run first. Windows line ends are line ends too.
wait_prompt
paste_text $'help\r\nselect * from Lo'
wait_last '^wq> select \* from Lo$'
check "pasted text without a line end left to edit" $?
keys "ng" Enter
wait_for '^       200$'
check "finished pasted line runs" $?
[ "$(count '^wqsql valid commands')" = 1 ]
check "pasted line with CR LF ran once" $?

# The history holds each pasted line on its own.
wait_prompt
keys Up Up Up
wait_last '^wq> descr Wide$'
check "pasted lines recalled one by one" $?
keys C-u "exit" Enter
wait_for 'SHELL-ENDED'
grep -qx 'descr Part' "$work/home/.wqsql_history" && grep -qx 'help' "$work/home/.wqsql_history"
check "pasted lines in the history file" $?

# Pasted lines longer than the shell takes (1 MiB): neither shown nor kept,
# each reported in one line, and the pasted lines between them run. Text
# after the last line end that is too long is reported when Enter ends it.
start_shell "HOME='$work/home'" WQSQL_PAGER=
head -c 1048577 /dev/zero | tr '\0' x > "$work/long.txt"
{ printf 'descr '; cat "$work/long.txt"; printf '\nhelp\n'; cat "$work/long.txt"
  printf '\nhelp\n'; cat "$work/long.txt"; } | tmuxc load-buffer -
tmuxc paste-buffer -p -t wq
wait_count '^wqsql valid commands' 2 && wait_prompt
check "pasted lines too long: the lines between them ran" $?
keys Enter
wait_count '^\*E\* line too long$' 3
check "pasted lines too long: each reported once" $?
[ "$(count 'xxxx')" = 0 ] && [ "$(screen | grep -A1 -E '^wq> ?$' | grep -c '^\*E\* line too long$')" = 3 ]
check "pasted lines too long: not shown, each report after its prompt" $?
keys "exit" Enter
wait_for 'SHELL-ENDED'
! grep -q 'xxxx' "$work/home/.wqsql_history"
check "pasted lines too long: not in the history" $?
