#!/usr/bin/env bash
# Times the candidate scan against find(1) on the same tree, side by side in
# one run, warm cache, and prints the ratio (goal: at most 1.5).
#   bench/scan_bench.sh [BUILD_DIR] [TREE_DIR]
# BUILD_DIR defaults to build/ (configured and built as ./test does);
# TREE_DIR defaults to a folder under /tmp that is built once and kept.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
tree=${2:-/tmp/velkor-scan-bench-tree}
runs=${RUNS:-7}

if [[ ! -x $build/bin/velkor-scan-bench ]]; then
  cmake --build "$build" --target velkor-scan-bench >/dev/null
fi
if [[ ! -f $tree/.complete ]]; then
  echo "building the tree in $tree ..."
  rm -rf "$tree"
  python3 "$root/bench/make_scan_tree.py" "$tree"
  touch "$tree/.complete"
fi

velkor() { "$build/bin/velkor-scan-bench" "$tree" '*.doc' '*.xls' >/dev/null 2>&1; }
findit() { (cd "$tree" && find . \( -iname '*.doc' -o -iname '*.xls' \) -printf '%s %T@\n' >/dev/null); }

# Both must find the same documents.
found_velkor=$("$build/bin/velkor-scan-bench" "$tree" '*.doc' '*.xls' 2>&1 >/dev/null)
found_find=$(cd "$tree" && find . \( -iname '*.doc' -o -iname '*.xls' \) -printf '%s %T@\n' | wc -l)
echo "entries: $(find "$tree" | wc -l), candidates: velkor $found_velkor, find $found_find"
if [[ $found_velkor -ne $found_find ]]; then
  echo "the two scans disagree" >&2
  exit 1
fi

ms() { local s=$(date +%s%N); "$@"; echo $(( ($(date +%s%N) - s) / 1000000 )); }
velkor; findit # warm the cache
v=(); f=()
for ((i = 0; i < runs; i++)); do
  v+=("$(ms velkor)"); f+=("$(ms findit)")
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
mv=$(median "${v[@]}"); mf=$(median "${f[@]}")
echo "velkor scan: ${mv} ms (median of $runs: ${v[*]})"
echo "find:        ${mf} ms (median of $runs: ${f[*]})"
awk -v a="$mv" -v b="$mf" 'BEGIN { printf "ratio velkor/find: %.2f (goal <= 1.50)\n", a / b }'
if [[ -x /usr/bin/time ]]; then
  rss=$(/usr/bin/time -f %M "$build/bin/velkor-scan-bench" "$tree" '*.doc' '*.xls' 2>&1 >/dev/null | tail -1)
  echo "velkor scan peak memory: ${rss} KiB"
fi
