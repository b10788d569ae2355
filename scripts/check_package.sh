#!/usr/bin/env bash
# Installs the Debian package for real and checks the installed programs, then
# removes the package again (also when a check fails). Run as root, after
# ./test: it packages the build folder ./test made and uses its fixtures and
# its help probe.
#   scripts/check_package.sh [BUILD_DIR]   (default: build; relative to the top folder)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
[[ $build == /* ]] || build=$root/$build
if [[ $(id -u) -ne 0 ]]; then
  echo "check_package.sh installs a package: run it as root" >&2
  exit 2
fi

"$root/scripts/package.sh" "$build"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$root/velkor_${version}_$(dpkg --print-architecture).deb

work=$(mktemp -d)
cleanup() {
  echo "== apt-get purge velkor"
  DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq velkor >/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
step() { echo "== $*"; }

step "apt-get install $deb"
# apt-get resolves the package's dependencies from the archive.
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
dpkg-query -W -f='${Status} ${Version}\n' velkor | grep -qx "install ok installed $version"

step "velkor-cli --version"
out=$(/usr/bin/velkor-cli --version)
echo "$out"
[[ $out == *"$version"* ]]

step "velkor-cli compresses a folder of documents"
# Three documents from the test build's fixtures; the two rewritten with free
# space inside shrink for certain.
fixtures=$build/fixtures
mkdir "$work/docs"
cp "$fixtures/slack/text.doc" "$fixtures/slack/numbers.xls" "$fixtures/office/sheets.xls" "$work/docs/"
cp -r "$work/docs" "$work/originals"
/usr/bin/velkor-cli --list "$work/docs" | tee "$work/run.log"
grep -qx "Process is complete" "$work/run.log"
grep -q "^$work/docs/text.doc: .* replaced$" "$work/run.log"
grep -q "^$work/docs/numbers.xls: .* replaced$" "$work/run.log"
for doc in text.doc numbers.xls sheets.xls; do
  # The same storages and streams, byte for byte, as olefile and libgsf read them.
  /usr/bin/python3 "$root/tests/crosscheck/cfb_tree.py" same "$work/originals/$doc" "$work/docs/$doc"
done
(($(stat -c %s "$work/docs/text.doc") < $(stat -c %s "$work/originals/text.doc")))

step "velkor finds its help page"
"$root/tests/ui/installed_help_test.sh" "$build/tests/plugins" /usr/bin/velkor \
  /usr/share/velkor/Velkor.htm

step "man -w velkor velkor-cli"
man -w velkor velkor-cli

step "bash completion of velkor-cli"
bash -c 'source /usr/share/bash-completion/completions/velkor-cli; complete -p velkor-cli'

step "the scheduled run: its units verify, its service command compacts a listed folder"
systemd-analyze verify /usr/lib/systemd/system/velkor-compact.service \
  /usr/lib/systemd/system/velkor-compact.timer
cp "$fixtures/slack/text.doc" "$work/scheduled.doc"
mkdir "$work/scheduled" && mv "$work/scheduled.doc" "$work/scheduled/"
printf '# one folder\n%s\n' "$work/scheduled" >"$work/folders"
env -i PATH=/usr/bin:/bin STATE_DIRECTORY="$work/state" \
  /usr/libexec/velkor/velkor-compact "$work/folders" --idle --min-age=0s
grep -q '"outcome":"replaced"' "$work"/state/report-*.json

step "the installed package passed every check"
