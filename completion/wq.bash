# Bash completion of wqsql, wqmake, wqdump and wqcheck: their options, the
# values of wqdump's --format, the class names of the repository named on
# the line after wqdump's --class (read by wqcheck --quick --stats), and
# file names. Installed under each program's name, where bash-completion
# loads it on first use; or source it.

# The class names of the repository file $2, one a line, read by the
# wqcheck beside the program $1 (else the one in PATH).
_wq_class_names() {
  local checker=${1%/*}/wqcheck file=$2
  [[ $1 == */* && -x $checker ]] || checker=wqcheck
  [[ $file == "~/"* ]] && file=$HOME/${file:2}
  [[ -f $file ]] || return 0
  "$checker" --quick --stats -- "$file" 2>/dev/null | LC_ALL=C sed -n \
    's/^  class -\{0,1\}[0-9]* \(.*\): [0-9]* members\{0,1\}, [0-9]* objects\{0,1\}, record size [0-9]*, [0-9]* data bytes\{0,1\}$/\1/p'
}

_wq_complete() {
  local cmd=${COMP_WORDS[0]##*/} cur=${COMP_WORDS[COMP_CWORD]} prev=""
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  # "--format=c" comes as "--format" "=" "c" (= breaks words).
  if [[ $cur == "=" ]]; then
    cur=""
  elif [[ $prev == "=" ]] && ((COMP_CWORD > 1)); then
    prev=${COMP_WORDS[COMP_CWORD - 2]}
  fi
  COMPREPLY=()
  local options="-h --help -V --version"
  case $cmd in
    wqdump) options="--format --class --all-classes -o --output $options" ;;
    wqcheck) options="--quick --stats $options" ;;
  esac
  if [[ $cmd == wqdump ]]; then
    case $prev in
      --format)
        mapfile -t COMPREPLY < <(compgen -W "json csv jsonl" -- "$cur")
        return 0 ;;
      --class)
        # The repository: the first word that is neither an option nor an
        # option's value. Names are compared, never expanded by the shell.
        local i word skip=0 repo=""
        for ((i = 1; i < ${#COMP_WORDS[@]}; i++)); do
          word=${COMP_WORDS[i]}
          if ((i == COMP_CWORD)) || [[ $word == "=" ]]; then
            skip=$((i != COMP_CWORD))
            continue
          fi
          if ((skip)); then skip=0; continue; fi
          case $word in
            --format | --class | -o | --output) skip=1 ;;
            -?*) ;;
            *) repo=$word; break ;;
          esac
        done
        [[ -n $repo ]] || return 0
        local name
        while IFS= read -r name; do
          [[ $name == "$cur"* ]] && COMPREPLY+=("$(printf '%q' "$name")")
        done < <(_wq_class_names "${COMP_WORDS[0]}" "$repo")
        return 0 ;;
      -o | --output)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return 0 ;;
    esac
  fi
  if [[ $cur == -* || $cmd == wqsql ]]; then
    # wqsql reads no other argument: commands are typed at its prompt.
    mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    return 0
  fi
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}

complete -F _wq_complete wqsql wqmake wqdump wqcheck
