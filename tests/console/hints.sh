# Hints for a newcomer at a terminal: arguments other than --help and
# --version give one line on standard error, a failed connect its reason
# after the "*E*" line; standard output keeps the bytes of piped input.
# --help and --version answer on a terminal too. Sourced by run.sh.

# Standard error on the terminal, where the operator reads it.
start_command "env HOME='$work/home' TERM=xterm '$WQSQL' repo.rtm extra"
wait_prompt
screen | grep -v '^[[:space:]]*$' | head -2 | tr '\n' '#' |
  grep -qx 'wqsql: arguments are not read; type: connect PATH#wq> \?#'
check "one hint line for ignored arguments, before the prompt" $?
keys "connect missing.rtm" Enter
wait_for '^wqsql: missing.rtm: cannot open file: No such file or directory$'
screen | grep -A1 '^wq> connect missing.rtm$' | tail -1 | grep -qx '\*E\* error connecting to repository'
check "failed connect: the reason after the *E* line" $?
keys "connect repo.rtm" Enter "exit" Enter
wait_for 'SHELL-ENDED'
[ "$(count '^wqsql: ')" = 2 ]
check "nothing more on standard error after a good connect" $?

# Standard output to a file: the same bytes as piped input without
# arguments; the hint and the reason go to standard error alone.
hinted=("connect missing.rtm" "connect repo.rtm" "descr Part")
printf '%s\n' "${hinted[@]}" > "$work/hinted.in"
(cd "$work" && HOME="$work/home" "$WQSQL" < hinted.in > hinted.piped 2> hinted.piped-err)
start_command "env HOME='$work/home' TERM=xterm '$WQSQL' -x >hinted.out 2>hinted.err"
for line in "${hinted[@]}"; do keys "$line" Enter; done
keys C-d
wait_for 'SHELL-ENDED'
mask_timing "$work/hinted.out" | cmp -s - <(mask_timing "$work/hinted.piped")
check "hints leave standard output as piped input has it" $?
[ ! -s "$work/hinted.piped-err" ] && [ "$(cat "$work/hinted.err")" = "$(printf '%s\n' \
  'wqsql: arguments are not read; type: connect PATH' \
  'wqsql: missing.rtm: cannot open file: No such file or directory')" ]
check "hint and reason on standard error, only on a terminal" $?

# --help and --version on a terminal answer and end, without a prompt.
for arg in --help -V; do
  start_command "env HOME='$work/home' TERM=xterm '$WQSQL' $arg 2>>'$errors'"
  wait_for 'SHELL-ENDED'
  { screen | grep -q '^usage: wqsql \[-h|--help\] \[-V|--version\]$' ||
    screen | grep -qx "wqsql $("$WQSQL" --version </dev/null | cut -d' ' -f2)"; } &&
    [ "$(count '^wq>')" = 0 ]
  check "$arg on a terminal answers without a prompt" $?
done
