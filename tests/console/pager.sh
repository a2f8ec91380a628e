# Object tables wider or longer than the window go through the pager: less
# by default (quit with q, or Ctrl-C), WQSQL_PAGER or PAGER when set, none
# when WQSQL_PAGER is empty; the pager gets exactly the bytes the shell
# prints. Sourced by run.sh.

took() { count '^command took'; }

start_shell -u PAGER -u WQSQL_PAGER "HOME='$work/home'"
keys "connect repo.rtm" Enter
wait_count '^command took' 1

# Wider than the window, three rows: less shows it chopped, and the timing
# line and the prompt come once it is quit.
keys "select * from Wide" Enter
wait_for '^\(END\)$'
check "wide table in less" $?
screen | grep -Eq '^ {73}l2\| {73}m2\| +>$'
check "wide table chopped at the window's edge" $?
[ "$(took)" = 1 ]
check "no timing line while less runs" $?
keys q
wait_prompt
[ "$(took)" = 2 ]
check "timing line and prompt after q" $?

# Longer than the window: the first screen and less's prompt.
keys "select * from Long" Enter
wait_last '^:$'
screen | grep -Eq '^ {9}1$' && ! screen | grep -Eq '^ {7}200$'
check "long table in less, first screen only" $?
keys q
wait_prompt
check "prompt after quitting a long table" $?

# Quitting early ends the table quietly and the shell stays connected.
keys "select * from Big" Enter
wait_last '^:$'
keys q
wait_prompt
check "prompt after quitting a table of 100,000 rows" $?
[ "$(count 'interrupted')" = 0 ]
check "quitting the pager is no interruption" $?

# Ctrl-C stops the table; the pager shows what came, "*E* interrupted" at
# its end, and is quit as usual.
keys "select * from Big" Enter
wait_last '^:$'
keys C-c
# A G that reaches less before it has dealt with the Ctrl-C is cut short
# by it: G again until the end shows.
end_shows_interrupted() { keys G; screen_has '^\*E\* interrupted$'; }
wait_until end_shows_interrupted
check "Ctrl-C in the pager interrupts the table" $?
! screen | grep -q 'row 99999|'
check "table stopped by Ctrl-C before its end" $?
keys q
wait_prompt
check "prompt after Ctrl-C and q" $?
keys "select * from sys\$tables" Enter
wait_for '^  40    4 Long$'
check "still connected after the pager" $?
keys "exit" Enter
wait_for 'SHELL-ENDED'

# WQSQL_PAGER empty: no pager; the table goes straight to the terminal.
start_shell "HOME='$work/home'" WQSQL_PAGER= PAGER=less
keys "connect repo.rtm" Enter "select * from Long" Enter
wait_count '^command took' 2
check "no pager when WQSQL_PAGER is empty" $?
screen | grep -Eq '^ {7}200$'
check "whole table on the terminal without a pager" $?
keys "exit" Enter
wait_for 'SHELL-ENDED'

# The pager receives the bytes piped input prints; WQSQL_PAGER comes before
# PAGER, PAGER before less; a table that fits the window is not paged.
printf 'set verbose off\nconnect repo.rtm\nselect * from %s\nexit\n' Wide > "$work/wide.in"
printf 'set verbose off\nconnect repo.rtm\nselect * from %s\nexit\n' Big > "$work/big.in"
for class in Wide Big; do
  # Less the three prompts before the table and the one after it.
  (cd "$work" && "$WQSQL" < "${class,,}.in" | tail -c +13 | head -c -4 > "${class,,}.want")
done
rm -f "$work"/paged-*.txt
start_shell "HOME='$work/home'" "WQSQL_PAGER='cat >> paged-own.txt'" "PAGER='cat >> paged-env.txt'"
keys "connect repo.rtm" Enter "select * from Wide" Enter "select * from Big" Enter
keys "select * from Part" Enter "exit" Enter
wait_for 'SHELL-ENDED'
cat "$work/wide.want" "$work/big.want" | cmp -s - "$work/paged-own.txt"
check "pager gets exactly the tables piped output has" $?
[ ! -e "$work/paged-env.txt" ] && screen | grep -q '^ *bolt|'
check "WQSQL_PAGER first, and a table that fits is not paged" $?
start_shell -u WQSQL_PAGER "HOME='$work/home'" "PAGER='cat >> paged-env.txt'"
keys "connect repo.rtm" Enter "select * from Wide" Enter "exit" Enter
wait_for 'SHELL-ENDED'
cmp -s "$work/wide.want" "$work/paged-env.txt"
check "PAGER when WQSQL_PAGER is unset" $?

# PAGER=less with LESS unset chops wide rows as the default pager does; a
# set LESS is left alone, and so is the environment of WQSQL_PAGER and of
# a PAGER that is not less. A stand-in "less" in PATH tells what LESS it
# got.
start_shell -u WQSQL_PAGER -u LESS "HOME='$work/home'" PAGER=less
keys "connect repo.rtm" Enter "select * from Wide" Enter
wait_for '^\(END\)$'
screen | grep -Eq '^ {73}l2\| {73}m2\| +>$'
check "PAGER=less chops wide rows" $?
keys q "exit" Enter
wait_for 'SHELL-ENDED'
mkdir -p "$work/bin"
printf '#!/bin/sh\necho "${LESS-unset}" >> "$0.got"\ncat > /dev/null\n' > "$work/bin/less"
cp "$work/bin/less" "$work/bin/other"
chmod +x "$work/bin/less" "$work/bin/other"
cases=("PAGER=less|SRFX" "PAGER='$work/bin/less -i'|SRFX" "PAGER=less LESS=i|i"
       "WQSQL_PAGER=less|unset" "PAGER=other|unset")
for c in "${cases[@]}"; do
  rm -f "$work"/bin/*.got
  start_shell -u WQSQL_PAGER -u LESS "HOME='$work/home'" "PATH='$work/bin:$PATH'" "${c%|*}"
  keys "connect repo.rtm" Enter "select * from Wide" Enter "exit" Enter
  wait_for 'SHELL-ENDED'
  [ "$(cat "$work"/bin/*.got)" = "${c#*|}" ]
  check "LESS for the pager with ${c%|*}: ${c#*|}" $?
done
# A pager the shell cannot find: one line on standard error says so, and
# every table goes to the terminal as without a pager.
start_command "env HOME='$work/home' TERM=xterm WQSQL_PAGER=nosuch-pager '$WQSQL' 2>'$work/pager-errors.txt'"
wait_prompt
keys "connect repo.rtm" Enter "select * from Long" Enter
wait_for '^ {7}200$'
check "pager not found: the table on the terminal" $?
keys "select * from Wide" Enter
wait_count '^command took' 3
check "pager not found: the next table runs too" $?
[ "$(cat "$work/pager-errors.txt")" = "wqsql: cannot start pager nosuch-pager: not found" ]
check "pager not found: said once on standard error" $?
keys "exit" Enter
wait_for 'SHELL-ENDED'
