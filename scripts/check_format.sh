#!/usr/bin/env bash
# Checks that every C++ source and header under version control is formatted
# as .clang-format says; names each file that is not and how many of its
# lines would change. Exit status 1 when any file differs.
#   scripts/check_format.sh          check
#   scripts/check_format.sh --fix    rewrite the files in place
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if ! command -v clang-format >/dev/null; then
  echo "check_format.sh: clang-format is missing (Debian package clang-format)" >&2
  exit 2
fi
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ ${1:-} == --fix ]]; then
  clang-format -i --style=file "${files[@]}"
  exit 0
fi
bad=0
lines=0
for file in "${files[@]}"; do
  changed=$(clang-format --style=file "$file" | diff "$file" - | grep -c '^<' || true)
  if ((changed > 0)); then
    echo "$file: $changed lines differ from .clang-format"
    bad=$((bad + 1))
    lines=$((lines + changed))
  fi
done
if ((bad > 0)); then
  echo "check_format.sh: $bad of ${#files[@]} files ($lines lines) are not formatted; scripts/check_format.sh --fix formats them" >&2
  exit 1
fi
echo "check_format.sh: all ${#files[@]} files are formatted"
