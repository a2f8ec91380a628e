# Typed input with the output going to a file or a pipe, which must get
# exactly the bytes piped input gives. Sourced by run.sh.

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
