#!/usr/bin/env bash
# Drives the real shell on a terminal inside tmux, one group of cases per
# file, sourced in turn:
#   editing.sh     line editing, history, Tab completion, Ctrl-C, Ctrl-D
#   input.sh       typed input with the output redirected; pasting
#   window.sh      window size changes; Ctrl-Z and fg
#   history.sh     the history file: sessions side by side, signals, WQSQL_HISTORY
#   completion.sh  file names after connect, members before from
#   pager.sh       tables too large for the window; LESS for a PAGER of less
#   hints.sh       hints on standard error for arguments and failed connects
#   tool_completion.sh  bash and zsh completion of the programs' command lines
# Usage: run.sh WQSQL WQMAKE [GROUP...]    (GROUP: editing, input, ...)
set -u
WQSQL=$(realpath "$1")
WQMAKE=$(realpath "$2")
shift 2
groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(editing input window history completion pager hints tool_completion)
if ! command -v tmux >/dev/null; then
  echo "tmux is not installed"
  exit 1
fi
here=$(dirname "$(realpath "$0")")

work=$(mktemp -d)
# shellcheck source=lib.sh
. "$here/lib.sh"
trap cleanup EXIT
mkdir -p "$work/home"

# A repository with a small class, one of 100,000 wide objects, one wider
# than the window but short, and one longer than the window but narrow.
python3 - "$work/console.json" <<'PY'
import json, sys
# Wide rows, so that printing all of them on the terminal takes seconds.
big = [{"values": {"label": "row %d" % i, "n": i, "a": "a" * 60, "b": "b" * 60}}
       for i in range(100000)]
src = {"classes": [
  {"name": "Part", "number": 12, "objectSize": 40,
   "members": [{"name": "name", "type": "string"}, {"name": "weight", "type": "double"}],
   "objects": [{"values": {"name": "bolt", "weight": 1.5}}]},
  {"name": "Big", "number": 20, "objectSize": 12,
   "members": [{"name": "label", "type": "string"}, {"name": "n", "type": "int"},
               {"name": "a", "type": "string"}, {"name": "b", "type": "string"}],
   "objects": big},
  {"name": "Wide", "number": 30,
   "members": [{"name": "left", "type": "string"}, {"name": "middle", "type": "string"},
               {"name": "right", "type": "string"}],
   "objects": [{"values": {"left": "l%d" % i, "middle": "m%d" % i, "right": "r%d" % i}}
               for i in range(3)]},
  {"name": "Long", "number": 40, "members": [{"name": "count", "type": "int"}],
   "objects": [{"values": {"count": i}} for i in range(1, 201)]}]}
json.dump(src, open(sys.argv[1], "w"))
PY
"$WQMAKE" "$work/console.json" "$work/repo.rtm" || { echo "wqmake failed"; exit 1; }

: > "$errors"
for group in "${groups[@]}"; do
  # shellcheck source=/dev/null
  . "$here/$group.sh"
done

# The editor rings the bell there (completion without a match); nothing else.
[ -z "$(tr -d '\a' < "$errors")" ]
check "nothing on standard error" $?
[ -z "$(tr -d '\a' < "$errors")" ] || { echo "--- standard error:"; head -40 "$errors"; }

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
