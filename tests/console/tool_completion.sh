# Completion of the programs' command lines in bash and zsh, on a terminal:
# options, wqdump's --format values, class names after --class read from the
# repository named later on the line, and file names. bash sources the
# script from the source tree, zsh finds the _NAME files the build made.
# Sourced by run.sh.

build=$(dirname "$WQSQL")
prompt_is() { wait_last "^$1 ?\$"; }
# Types $1, moves the cursor $2 characters left, presses Tab, and waits for
# the line $3 (a regular expression) after the prompt $4.
complete_line() {
  keys C-u "$1"
  local i
  for ((i = 0; i < $2; i++)); do keys Left; done
  keys Tab
  wait_last "^$4 $3\$"
}

for sh in bash zsh; do
  if ! command -v $sh >/dev/null; then
    echo "($sh is not installed: its completion is not tested)"
    continue
  fi
  if [ $sh = bash ]; then
    start_command "env -i HOME='$work/home' TERM=xterm PATH='$build:/usr/bin:/bin' bash --norc --noprofile -i"
    keys "PS1='B> '; source '$here/../../completion/wq.bash'" Enter
    p='B>'
  else
    start_command "env -i HOME='$work/home' TERM=xterm PATH='$build:/usr/bin:/bin' zsh -f"
    keys "fpath=('$build/completion/zsh' \$fpath); autoload -Uz compinit; compinit -u -D; PS1='Z> '" Enter
    p='Z>'
  fi
  prompt_is "$p"
  complete_line "wqdump --format c" 0 'wqdump --format csv ?' "$p"
  check "$sh: wqdump --format values" $?
  complete_line "wqdump --format csv --class Wi repo.rtm" 9 'wqdump --format csv --class Wide {1,2}repo.rtm' "$p"
  check "$sh: wqdump --class names from the repository on the line" $?
  keys C-e Enter
  wait_for '^id,left,middle,right'
  check "$sh: the completed line runs" $?
  prompt_is "$p"
  complete_line "wqdump --all" 0 'wqdump --all-classes ?' "$p"
  check "$sh: wqdump options" $?
  complete_line "wqsql --vers" 0 'wqsql --version ?' "$p"
  check "$sh: wqsql options" $?
  complete_line "wqcheck --quick rep" 0 'wqcheck --quick repo.rtm ?' "$p"
  check "$sh: file names" $?
  keys C-u "exit" Enter
  wait_for 'SHELL-ENDED'
done
