#!/usr/bin/env bash
# The bash completion of velkor-cli offers, after a dash, the very long
# options each command's --help names, so the two cannot drift apart; and it
# offers the commands and file names for the first word.
#   completion_test.sh VELKOR_CLI COMPLETION_FILE
set -euo pipefail
cli=$1
# shellcheck source=/dev/null
source "$2"
failures=0

offers() {  # the words offered for the command line "$@", the last word being completed
  COMP_WORDS=("$@")
  COMP_CWORD=$(($# - 1))
  COMP_LINE="$*"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  _velkor_cli
  printf '%s\n' "${COMPREPLY[@]}" | sort
}
expect() {  # expect WHAT WANTED ACTUAL
  if [[ $2 != "$3" ]]; then
    echo "FAIL: $1: offered {${3//$'\n'/, }}, wanted {${2//$'\n'/, }}" >&2
    failures=$((failures + 1))
  fi
}
# A command's own options are those of its "Options:" section; the usage
# lines and the "Commands:" section also name the other commands' options.
long_options() {
  "$cli" "$@" --help | sed -n '/^Options:/,/^$/p' | grep -oE -- '--[a-z][a-z-]*' | sort -u
}
expect "velkor-cli --" "$(long_options)" "$(offers velkor-cli --)"
expect "velkor-cli inspect --" "$(long_options inspect)" "$(offers velkor-cli inspect --)"
expect "velkor-cli copy --" "$(long_options copy)" "$(offers velkor-cli copy --)"

cd "$(mktemp -d)"
trap 'rm -rf "$PWD"' EXIT
mkdir 'old reports'
touch insp.doc ledger.xls
expect "velkor-cli ''" "$(printf '%s\n' copy insp.doc inspect ledger.xls 'old reports' | sort)" \
  "$(offers velkor-cli '')"
expect "velkor-cli ins" "$(printf '%s\n' insp.doc inspect | sort)" "$(offers velkor-cli ins)"
expect "velkor-cli --list o" "old reports" "$(offers velkor-cli --list o)"
expect "velkor-cli copy insp.doc o" "old reports" "$(offers velkor-cli copy insp.doc o)"
expect "velkor-cli --masks ''" "" "$(offers velkor-cli --masks '')"
expect "velkor-cli -- --" "" "$(offers velkor-cli -- --)"
((failures == 0)) || exit 1
echo "PASS"
