#!/usr/bin/env bash
# The scheduled run of the package: velkor-compact.service and its timer.
#   scheduled_run_test.sh verify
#       systemd-analyze verify of both units, offline, in a root of their own
#       that holds the system's units, the two units and the script the
#       service runs; any complaint fails.
#   scheduled_run_test.sh run VELKOR_CLI FIXTURES_DIR
#       the service's command line, as its unit writes it, run without
#       systemd over a temporary folder list and state folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
units=$here/../../packaging/systemd
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

verify() {
  local root=$work/root
  mkdir -p "$root/usr/lib/systemd/system" "$root/usr/libexec/velkor" "$root/etc"
  cp -r /usr/lib/systemd/system/. "$root/usr/lib/systemd/system/"
  cp "$units/velkor-compact.service" "$units/velkor-compact.timer" "$root/usr/lib/systemd/system/"
  cp "$units/velkor-compact" "$root/usr/libexec/velkor/"
  local out status=0
  # The manual page is the installed package's to check (check_package.sh).
  out=$(systemd-analyze verify --man=no --root="$root" velkor-compact.timer \
    velkor-compact.service 2>&1) ||
    status=$?
  ((status == 0)) || fail "systemd-analyze verify ended with status $status"
  [[ -z $out ]] || fail "systemd-analyze verify complains: $out"
}

# The unit's settings KEY, one a line, e.g. ExecStart.
setting() { sed -n "s/^$1=//p" "$units/velkor-compact.service"; }

# Runs the service's command line with the unit's environment, the list
# LIST, the state folder STATE and the extra environment given
# (NAME=VALUE...), which wins over the unit's, as /etc/default/velkor does.
run_service() (
  local list=$1 state=$2
  shift 2
  local -a words command
  read -r -a words <<<"$(setting ExecStart | tail -n 1)"
  if [[ ${words[0]} != /usr/libexec/velkor/velkor-compact ]]; then
    echo "ExecStart runs ${words[0]}, not the installed script" >&2
    exit 1
  fi
  export VELKOR_MIN_AGE
  VELKOR_MIN_AGE=$(setting Environment | sed -n 's/^VELKOR_MIN_AGE=//p')
  for assignment in "$@"; do
    export "${assignment?}"
  done
  command=("$units/velkor-compact")
  for word in "${words[@]:1}"; do
    word=${word//\/etc\/velkor\/folders/$list}
    word=${word//'${VELKOR_MIN_AGE}'/$VELKOR_MIN_AGE}
    command+=("$word")
  done
  PATH="$cli_dir:$PATH" STATE_DIRECTORY="$state" "${command[@]}"
)

run() {
  cli_dir=$(dirname "$1")
  local fixtures=$2 state=$work/state list=$work/folders
  mkdir -p "$work/share/finance" "$work/share/old reports" "$work/unlisted"
  cp "$fixtures/slack/numbers.xls" "$work/share/finance/"
  cp "$fixtures/slack/text.doc" "$work/share/old reports/"
  cp "$fixtures/slack/text.doc" "$work/unlisted/"
  cp -r "$work/share" "$work/originals"
  local out status

  # No list, and a list of comments: nothing is done, and said so.
  out=$(run_service "$list" "$state") || fail "a missing list ends with status $?"
  [[ $out == *"no folders are listed in $list: nothing to do"* ]] || fail "missing list: $out"
  printf '# the folders to compact, one a line\n\n   \n' >"$list"
  out=$(run_service "$list" "$state") || fail "a list of comments ends with status $?"
  [[ $out == *"nothing to do"* ]] || fail "list of comments: $out"
  [[ ! -e $state ]] || fail "a run with nothing to do made $state"

  # A relative path stops everything before anything is done.
  printf '%s\nshare\n' "$work/share/finance" >"$list"
  status=0
  out=$(run_service "$list" "$state" 2>&1) || status=$?
  ((status == 2)) || fail "a relative path ends with status $status"
  [[ $out == *"$list:2: 'share' is not an absolute path"* ]] || fail "relative path: $out"
  [[ ! -e $state ]] || fail "a refused list made $state"

  # A listed folder that cannot be read: velkor-cli says so, and no report
  # is left.
  printf '%s\n' "$work/missing" >"$list"
  status=0
  out=$(run_service "$list" "$state" 2>&1) || status=$?
  ((status == 2)) || fail "a missing folder ends with status $status"
  [[ $out == *"cannot access '$work/missing'"* ]] || fail "missing folder: $out"
  [[ -z $(ls -A "$state") ]] || fail "a refused run left $(ls -A "$state")"

  # The unit's own age: documents copied here a moment ago are left alone.
  printf '# finance\n  %s  \n%s\n' "$work/share/finance" "$work/share/old reports" >"$list"
  out=$(run_service "$list" "$state") || fail "the first run ends with status $?"
  local reports=("$state"/report-*.json)
  ((${#reports[@]} == 1)) || fail "one report wanted, found ${#reports[@]}"
  /usr/bin/python3 - "${reports[0]}" "$work/share" <<'PY' || fail "the first report"
import json, sys
report = json.load(open(sys.argv[1]))
documents = sorted((d["path"], d["outcome"], d["reason"]) for d in report["documents"])
assert report["mode"] == "compress" and report["status"] == "complete", report
assert documents == [
    (sys.argv[2] + "/finance/numbers.xls", "passedOver", "changed recently"),
    (sys.argv[2] + "/old reports/text.doc", "passedOver", "changed recently"),
], documents
PY
  [[ $out == *'{"counters":{'*'"totalFiles":2}'*'"status":"complete"'* ]] ||
    fail "the journal lacks the counters: $out"
  diff -r "$work/originals" "$work/share" || fail "a document changed within the age changed"

  # An age the administrator chose: the listed documents are compacted, the
  # unlisted one is not; only the newest reports are kept.
  for _ in 1 2; do
    run_service "$list" "$state" VELKOR_MIN_AGE=0s VELKOR_KEEP_REPORTS=2 >"$work/out" ||
      fail "a run with the age 0s ends with status $?"
  done
  reports=("$state"/report-*.json)
  ((${#reports[@]} == 2)) || fail "two reports kept wanted, found ${#reports[@]}"
  /usr/bin/python3 - "${reports[0]}" <<'PY' || fail "the report of the compacting run"
import json, sys
report = json.load(open(sys.argv[1]))
assert sorted(d["outcome"] for d in report["documents"]) == ["replaced", "replaced"], report
PY
  for doc in "finance/numbers.xls" "old reports/text.doc"; do
    /usr/bin/python3 "$here/../crosscheck/cfb_tree.py" same "$work/originals/$doc" "$work/share/$doc" ||
      fail "$doc does not hold what it held"
    (($(stat -c %s "$work/share/$doc") < $(stat -c %s "$work/originals/$doc"))) ||
      fail "$doc was not compacted"
  done
  cmp -s "$work/unlisted/text.doc" "$fixtures/slack/text.doc" || fail "an unlisted folder changed"
  [[ -z $(find "$state" -name '*.partial') ]] || fail "a partial report was left"
}

case ${1:-} in
verify) verify ;;
run) run "$2" "$3" ;;
*)
  echo "usage: $0 verify | run VELKOR_CLI FIXTURES_DIR" >&2
  exit 2
  ;;
esac
((failures == 0)) || exit 1
echo "PASS"
