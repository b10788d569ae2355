#!/usr/bin/env bash
# Builds the Windows zip file from a build folder (scripts/package-windows.sh
# BUILD_DIR) into a temporary folder and checks it: the exact list of its
# files, that neither program imports a DLL of mingw-w64's runtimes, that
# velkor.exe is a windowed program with the common controls' manifest, and
# that the unpacked velkor-cli.exe runs under Wine with nothing beside it.
#   zip_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
root=$(cd "$(dirname "$0")/../../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

name=velkor-$version-windows-x64
VELKOR_DIST_DIR=$work "$root/scripts/package-windows.sh" "$build"
zip=$work/$name.zip
[[ -f $zip ]] || { echo "FAIL: no $name.zip" >&2; exit 1; }

expected=$(printf '%s\n' "$name/LICENSE.txt" "$name/Velkor.htm" "$name/velkor-cli.exe" \
  "$name/velkor-cli.txt" "$name/velkor.exe")
listed=$(unzip -Z1 "$zip" | LC_ALL=C sort)
[[ $listed == "$expected" ]] || fail "the zip holds"$'\n'"$listed"$'\n'"instead of"$'\n'"$expected"

unzip -q "$zip" -d "$work/unpacked"
for program in velkor.exe velkor-cli.exe; do
  exe=$work/unpacked/$name/$program
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
  echo "$program imports:" $imports
  grep -qi '^KERNEL32.dll$' <<<"$imports" || fail "$program does not import KERNEL32.dll"
  if grep -qiE '^lib.*\.dll$' <<<"$imports"; then
    fail "$program needs a runtime DLL beside it: $(grep -iE '^lib' <<<"$imports" | tr '\n' ' ')"
  fi
done
desktop=$work/unpacked/$name/velkor.exe
headers=$(x86_64-w64-mingw32-objdump -p "$desktop")
grep -q 'Subsystem.*Windows GUI' <<<"$headers" || fail "velkor.exe is not a windowed program"
grep -q 'Microsoft.Windows.Common-Controls' "$desktop" ||
  fail "velkor.exe carries no manifest asking for the common controls version 6"
grep -q 'velkor-cli' "$work/unpacked/$name/velkor-cli.txt" || fail "velkor-cli.txt is not the manual"
grep -q $'\r$' "$work/unpacked/$name/LICENSE.txt" || fail "LICENSE.txt has no Windows line ends"

# The unpacked program, alone in its folder, answers --version.
out=$(cd "$work/unpacked/$name" && wine velkor-cli.exe --version 2>&1) || fail "velkor-cli.exe --version failed: $out"
grep -q "$version" <<<"$out" || fail "velkor-cli.exe --version said: $out"

# The same build gives the same zip.
mkdir "$work/again"
VELKOR_DIST_DIR=$work/again "$root/scripts/package-windows.sh" "$build" >/dev/null
cmp -s "$zip" "$work/again/$name.zip" || fail "two zip files of one build differ"

((failures == 0)) || exit 1
echo "PASS: $name.zip"
