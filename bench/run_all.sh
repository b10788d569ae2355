#!/usr/bin/env bash
# Runs Velkor's benchmarks side by side in one go and prints each ratio with
# the peak memory of the Velkor side (from /usr/bin/time -v):
#   1. the candidate scan against find(1)           (bench/scan_bench.sh, goal <= 1.5)
#   2. velkor-cli copy and estimate against cp, cp + fsync and the libgsf peer
#      (bench/copy_bench.py: durable copy <= 1.05x cp + fsync for 60 MB, <= 1.3x
#      for 5,001 streams; estimate of 60 MB <= 0.25x the peer)
#   3. a compressing run over one 60 MB document against cp of it   (goal <= 2.0),
#      and what reading the copy back before it replaces the document costs
#      (the same run by velkor-unchecked-run, which turns the check off; goal: at
#      most 15% extra time)
#   4. an estimate run over 2,000 real documents against cat of them (goal <= 3.0,
#      peak memory under 64 MiB), and a compressing run over a fresh copy of them;
#      both with --jobs 1 and with the automatic choice (compressing: serial /
#      automatic >= 1.8 on 2 cores)
#   5. the cost per stream from 100 to 50,000 streams (bench/stream_scale.py: linear)
#   6. the peak memory per candidate (bench/candidate_memory.py: <= 100 bytes)
#   7 to 10. later runs over compacted archives, a large document that cannot
#      shrink, the first run's workers on two mixes, and --idle
#      (bench/later_run_bench.sh, which names their goals)
# Usage: bench/run_all.sh [BUILD_DIR]
# Environment: BENCH_DIR (work folder, default /tmp/velkor-bench; its file system
# is the one measured), RUNS (timed runs per side, default 5; the median counts).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
work=${BENCH_DIR:-/tmp/velkor-bench}
runs=${RUNS:-5}
cli=$build/bin/velkor-cli
python=/usr/bin/python3

if [[ ! -x $cli ]]; then
  echo "building velkor-cli in $build ..."
  "$root/scripts/setup.sh" "$(realpath --relative-to="$root" "$build")" >/dev/null
fi
# The libgsf peer, where libgsf's development files are installed.
[[ -x $build/bin/velkor-gsf-copy ]] || cmake --build "$build" --target velkor-gsf-copy >/dev/null 2>&1 || true
gsf=$build/bin/velkor-gsf-copy
# The compressing run without the check of the copies; no environment or
# option turns the check off in velkor-cli.
unchecked=$build/bin/velkor-unchecked-run
[[ -x $unchecked ]] || cmake --build "$build" --target velkor-unchecked-run >/dev/null
if [[ ! -d $build/fixtures/office ]]; then
  echo "making the real documents (LibreOffice) ..."
  $python "$root/tests/fixtures/make_fixtures.py" "$build/fixtures" >/dev/null
fi
mkdir -p "$work"

echo "Velkor benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores," \
     "$(awk '/MemTotal/ { printf "%.0f GiB RAM", $2 / 1048576 }' /proc/meminfo)," \
     "$(df -T "$work" | awk 'NR == 2 { print $2 }') file system under $work"
echo

# ms COMMAND...: runs it under /usr/bin/time -v and prints "milliseconds peak_KiB".
ms() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -v -o "$work/time.txt" "$@" >"$work/out.txt" 2>&1
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) $(awk -F': ' '/Maximum resident/ { print $2 }' "$work/time.txt")"
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

echo "== 1. scan: mask walker against find =="
"$root/bench/scan_bench.sh" "$build"
echo

echo "== 2. one compound file: velkor-cli copy and estimate against cp and the libgsf peer =="
# It exits non-zero when one of its goals is missed; the other benchmarks run on.
$python "$root/bench/copy_bench.py" --cli "$cli" --gsf "$gsf" --work "$work" --runs "$runs" ||
  echo "(a copy goal was missed)"
echo

echo "== 3. compressing run over one 60 MB document against cp =="
big=$work/big60.doc
[[ -f $big ]] || $python "$root/bench/make_bench_docs.py" big "$big" 60
rm -rf "$work/compact" "$work/cp"
mkdir -p "$work/compact" "$work/cp"
v=(); u=(); c=(); s=(); mem=()
for ((i = 0; i < runs; i++)); do
  cp "$big" "$work/compact/doc.doc"
  cat "$work/compact/doc.doc" "$big" >/dev/null    # warm cache for both sides
  read -r t m < <(ms "$cli" "$work/compact")
  grep -q '^Compressed files: *1$' "$work/out.txt" || { cat "$work/out.txt"; exit 1; }
  v+=("$t"); mem+=("$m")
  cp "$big" "$work/compact/doc.doc"
  cat "$work/compact/doc.doc" >/dev/null
  read -r t m < <(ms "$unchecked" "$work/compact")
  grep -q '^Compressed files: *1$' "$work/out.txt" || { cat "$work/out.txt"; exit 1; }
  u+=("$t")
  rm -f "$work/cp/doc.doc"
  read -r t m < <(ms cp "$big" "$work/cp/doc.doc"); c+=("$t")
  rm -f "$work/cp/doc.doc"
  read -r t m < <(ms sh -c 'cp "$1" "$2" && sync "$2"' sh "$big" "$work/cp/doc.doc"); s+=("$t")
done
after=$(stat -c %s "$work/compact/doc.doc")
mv=$(median "${v[@]}"); mu=$(median "${u[@]}"); mc=$(median "${c[@]}"); msync=$(median "${s[@]}")
echo "document: $(stat -c %s "$big") bytes, compacted to $after bytes"
echo "velkor-cli:    ${mv} ms (runs: ${v[*]}), peak memory $(median "${mem[@]}") KiB"
echo "  unchecked:   ${mu} ms (runs: ${u[*]}) (velkor-unchecked-run)"
echo "  the check before replacing: $(awk -v a="$mv" -v b="$mu" 'BEGIN { printf "%+.0f%%", (b > 0 ? (a - b) * 100 / b : 0) }') (goal <= +15%)"
echo "cp:            ${mc} ms (runs: ${c[*]})"
echo "cp + sync:     ${msync} ms (runs: ${s[*]}) (the copy made durable, as Velkor's is)"
echo "ratio velkor/cp: $(ratio "$mv" "$mc") (goal <= 2.00); velkor/(cp + sync): $(ratio "$mv" "$msync")"
echo

echo "== 4. estimate run over 2,000 real documents against cat: --jobs 1 and the automatic choice =="
tree=$work/tree2000
if [[ ! -f $tree/.complete ]]; then
  rm -rf "$tree"
  $python "$root/bench/make_bench_docs.py" tree "$tree" 2000 "$build/fixtures"
  touch "$tree/.complete"
fi
counters() { sed -n '/^Total files/,/^Compression ratio/p' "$1"; }
catall() { find "$tree" -type f \( -name '*.doc' -o -name '*.xls' \) -exec cat {} + >/dev/null; }
catall; "$cli" --estimate "$tree" >/dev/null    # warm cache
v=(); a=(); c=(); mem=()
for ((i = 0; i < runs; i++)); do
  read -r t m < <(ms "$cli" --estimate --jobs 1 "$tree")
  grep -q '^Document files: *2000$' "$work/out.txt" || { cat "$work/out.txt"; exit 1; }
  cp "$work/out.txt" "$work/estimate.txt"
  v+=("$t"); mem+=("$m")
  read -r t m < <(ms "$cli" --estimate "$tree")
  [[ $(counters "$work/out.txt") == $(counters "$work/estimate.txt") ]] ||
    { echo "the automatic choice counted otherwise:"; cat "$work/out.txt"; exit 1; }
  a+=("$t")
  read -r t m < <(ms sh -c 'find "$1" -type f \( -name "*.doc" -o -name "*.xls" \) -exec cat {} + >/dev/null' sh "$tree")
  c+=("$t")
done
mv=$(median "${v[@]}"); ma=$(median "${a[@]}"); mc=$(median "${c[@]}")
echo "tree: $(find "$tree" -type f -name '*.???' | wc -l) documents, $(du -sm "$tree" | cut -f1) MB"
counters "$work/estimate.txt"
echo "velkor-cli --estimate --jobs 1: ${mv} ms (runs: ${v[*]}), peak memory $(median "${mem[@]}") KiB (goal < 65536)"
echo "velkor-cli --estimate:          ${ma} ms (runs: ${a[*]}) (the automatic choice)"
echo "cat:                            ${mc} ms (runs: ${c[*]})"
echo "ratio velkor/cat: $(ratio "$mv" "$mc") serial, $(ratio "$ma" "$mc") automatic (goal <= 3.00);" \
     "serial/automatic: $(ratio "$mv" "$ma")"
echo

echo "== 4b. compressing run over a fresh copy of the same 2,000 documents: --jobs 1 and the automatic choice =="
v=(); a=(); mem=()
fresh() { rm -rf "$work/tree-compress"; cp -a "$tree" "$work/tree-compress"; sync -f "$work/tree-compress"; }
for ((i = 0; i < runs; i++)); do
  fresh
  read -r t m < <(ms "$cli" --jobs 1 "$work/tree-compress")
  grep -q '^Document files: *2000$' "$work/out.txt" || { cat "$work/out.txt"; exit 1; }
  cp "$work/out.txt" "$work/compress.txt"
  v+=("$t"); mem+=("$m")
  fresh
  read -r t m < <(ms "$cli" "$work/tree-compress")
  [[ $(counters "$work/out.txt") == $(counters "$work/compress.txt") ]] ||
    { echo "the automatic choice counted otherwise:"; cat "$work/out.txt"; exit 1; }
  a+=("$t")
done
rm -rf "$work/tree-compress"
mv=$(median "${v[@]}"); ma=$(median "${a[@]}")
counters "$work/compress.txt"
echo "velkor-cli --jobs 1: ${mv} ms (runs: ${v[*]}), $(awk -v a="$mv" 'BEGIN { printf "%.1f", a / 2000 }') ms a document," \
     "peak memory $(median "${mem[@]}") KiB"
echo "velkor-cli:          ${ma} ms (runs: ${a[*]}), $(awk -v a="$ma" 'BEGIN { printf "%.1f", a / 2000 }') ms a document" \
     "(the automatic choice)"
echo "ratio serial/automatic: $(ratio "$mv" "$ma") (goal >= 1.8 on 2 cores)"
echo

echo "== 5. cost per stream, 100 to 50,000 streams =="
$python "$root/bench/stream_scale.py" --cli "$cli" --gsf "$gsf" --work "$work" --runs "$runs" ||
  echo "(the cost per stream grew)"
echo

echo "== 6. peak memory per candidate =="
$python "$root/bench/candidate_memory.py" --cli "$cli" --work "$work" ||
  echo "(the memory goal was missed)"
echo

"$root/bench/later_run_bench.sh" "$build" | tail -n +4
