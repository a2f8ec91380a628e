# Helpers of the console tests, sourced by run.sh: a tmux server per
# session, keys sent to it, its screen, waits that poll the screen until a
# deadline, and the pass/fail count. Expects $WQSQL and $work. The shell's
# standard error goes to $errors, which should stay empty (a sanitizer
# build reports there).

errors="$work/stderr.txt"
servers=()    # every tmux server started, for the cleanup
sock=""       # the server the helpers talk to
serial=0
passed=0
failed=0

# Seconds a wait may take before it gives up; generous, since a wait only
# takes long when something is wrong.
WAIT_LIMIT=${WAIT_LIMIT:-30}

# Ends a tmux server and removes its socket, which tmux leaves behind.
end_server() {
  local path
  path=$(tmux -L "$1" display -p '#{socket_path}' 2>/dev/null)
  tmux -L "$1" kill-server 2>/dev/null
  [ -n "$path" ] && rm -f "$path"
}

cleanup() {
  local s
  for s in "${servers[@]}"; do end_server "$s"; done
  rm -rf "$work"
}

tmuxc() { tmux -L "$sock" "$@"; }
screen() { tmuxc capture-pane -p -S -3000 -t wq 2>/dev/null; }
keys() { tmuxc send-keys -t wq "$@"; }
count() { screen | grep -Ec -- "$1"; }
# The last line of the screen that is not empty.
last_line() { screen | grep -v '^[[:space:]]*$' | tail -1; }

check() {  # check NAME CONDITION-RESULT
  if [ "$2" = 0 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $1"
    echo "--- screen:"
    screen | grep -v '^[[:space:]]*$' | tail -25 | cut -c1-160
  fi
}

# Runs its arguments as a command until it succeeds; false when it has not
# after WAIT_LIMIT seconds.
wait_until() {
  local deadline=$((SECONDS + WAIT_LIMIT))
  until "$@"; do
    if [ $SECONDS -ge $deadline ]; then
      echo "(gave up waiting: $*)"
      return 1
    fi
    sleep 0.1
  done
}
screen_has() { screen | grep -Eq -- "$1"; }
count_is() { [ "$(count "$1")" = "$2" ]; }
last_is() { last_line | grep -Eq -- "$1"; }
# Until the screen matches the extended regular expression $1.
wait_for() { wait_until screen_has "$1"; }
# Until exactly $2 lines of the screen match $1.
wait_count() { wait_until count_is "$1" "$2"; }
# Until the last line that is not empty matches $1.
wait_last() { wait_until last_is "$1"; }
# Until the shell shows an empty prompt: keys sent from then on reach the
# editor, not the terminal's echo of typing ahead.
wait_prompt() { wait_last '^wq> ?$'; }

# Starts `command` (run by sh in $work) in a new tmux server of 160 x 50,
# and talks to it from then on. KEEP=1 leaves the previous server running.
start_command() {
  [ "${KEEP:-0}" = 1 ] || { [ -n "$sock" ] && end_server "$sock"; }
  serial=$((serial + 1))
  sock="wqconsole$$-$serial"
  servers+=("$sock")
  tmux -L "$sock" -f /dev/null new-session -d -s wq -x 160 -y 50 \
    "cd '$work' && $1; echo SHELL-ENDED; sleep 60"
}

# Starts the shell with the environment settings given (env arguments).
start_shell() {
  start_command "env $* TERM=xterm '$WQSQL' 2>>'$errors'"
  wait_prompt
}

# The shell's output with the timing figures replaced, as the transcript
# suite compares it.
mask_timing() {
  LC_ALL=C sed -E -e 's/command took: [0-9][0-9.e+-]* sec/command took: # sec/g' \
    -e 's/test2 ValidateRepository time: [0-9][0-9.e+-]*/test2 ValidateRepository time: #/g' "$1"
}
