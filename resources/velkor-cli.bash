# bash completion for velkor-cli                              -*- shell-script -*-
# Installed as /usr/share/bash-completion/completions/velkor-cli.

# Offers the words of $1 that begin with the word being completed.
_velkor_cli_words() {
  mapfile -t COMPREPLY < <(compgen -W "$1" -- "$cur")
}

# Completes file and folder names (bash-completion's _filedir when it is
# loaded, which quotes names with spaces and follows ~; compgen otherwise).
_velkor_cli_paths() {
  if declare -F _filedir >/dev/null; then
    _filedir
  else
    mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -f -- "$cur")
    compopt -o filenames 2>/dev/null
  fi
}

_velkor_cli() {
  local cur prev words cword
  if declare -F _init_completion >/dev/null; then
    _init_completion -n = || return
  else
    COMPREPLY=()
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  fi

  # The command is the first word after the program; a PATH of that name is
  # written ./inspect or ./copy.
  local command=run i
  if ((cword > 1)); then
    case ${words[1]} in
      inspect | copy) command=${words[1]} ;;
    esac
  fi

  # After --, every word is a name.
  for ((i = 1; i < cword; i++)); do
    if [[ ${words[i]} == -- ]]; then
      _velkor_cli_paths
      return
    fi
  done

  case $command in
    inspect)
      if [[ $cur == -* ]]; then
        _velkor_cli_words '--json --help'
      else
        _velkor_cli_paths
      fi
      ;;
    copy)
      if [[ $cur == -* ]]; then
        _velkor_cli_words '--verify --quiet --force --help'
      else
        _velkor_cli_paths
      fi
      ;;
    run)
      # The masks are free text, typed as one quoted word.
      if [[ $prev == --masks || $cur == --masks=* ]]; then
        return
      fi
      if [[ $prev == --jobs || $prev == -j ]]; then
        _velkor_cli_words '1 2 4 8 16'
        return
      fi
      if [[ $prev == --min-age ]]; then
        _velkor_cli_words '30m 1h 2h 1d 7d'
        return
      fi
      if [[ $cur == --jobs=* || $cur == --min-age=* ]]; then
        return
      fi
      if [[ $cur == -* ]]; then
        _velkor_cli_words '--estimate --masks --all-files --no-recursive
          --all-drives --list --json --jobs --idle --min-age --help --version'
        return
      fi
      if ((cword == 1)); then
        _velkor_cli_words 'inspect copy'
      fi
      _velkor_cli_paths
      ;;
  esac
} &&
  complete -F _velkor_cli velkor-cli

# ex: filetype=sh
