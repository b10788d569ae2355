#!/usr/bin/env bash
# Later runs, the workers and the idle priority, side by side in one run:
#   7. a second compressing run over a compacted archive (the 2,000-document tree
#      of bench/make_bench_docs.py and the mix of bench/make_mix.py) against cat
#      of the same files, warm cache (goal <= 0.3) and cold cache (goal <= 0.2,
#      where the caches may be dropped), with its flushes (fsync, fdatasync,
#      sync_file_range, counted by strace -c -f) and the bytes it wrote (File
#      system outputs of /usr/bin/time -v, from the kernel's write_bytes), goal 0
#   8. one large document that cannot shrink (300 MB; BIG_GB=2 adds 2 GB): the
#      compressing run and the estimate against velkor-cli inspect of it, warm
#      and cold (goal <= 1.5)
#   9. the first run over the mix and over the 2,000-document tree, fresh copies:
#      the automatic choice against --jobs 1 and each of JOBS (default 2 4 8 16),
#      interleaved (goals: automatic within 10% of the best fixed --jobs; on the
#      mix, --jobs 1 / automatic >= 1.8); with OLD_CLI, that build's run over
#      the same copies too (automatic, --jobs 1 and each of OLD_JOBS)
#  10. --idle: the first run over the mix with and without it, and the
#      throughput of dd reading the 300 MB document from disk (cold) alone,
#      beside a compressing run, and beside one with --idle
# Usage: bench/later_run_bench.sh [BUILD_DIR]
# Environment: BENCH_DIR (default /tmp/velkor-bench), RUNS (default 5; medians),
# JOBS, OLD_CLI, OLD_JOBS, BIG_GB, ROWS (default "7 8 9 10"), ARCHIVES (row 9,
# default "mix1000 tree2000").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
work=${BENCH_DIR:-/tmp/velkor-bench}
runs=${RUNS:-5}
jobs=${JOBS:-2 4 8 16}
rows=${ROWS:-7 8 9 10}
cli=$build/bin/velkor-cli
old=${OLD_CLI:-}
python=/usr/bin/python3
[[ -x $cli ]] || { echo "no $cli: build velkor-cli first" >&2; exit 1; }
if [[ ! -d $build/fixtures/office ]]; then
  echo "making the real documents (LibreOffice) ..."
  $python "$root/tests/fixtures/make_fixtures.py" "$build/fixtures" >/dev/null
fi
mkdir -p "$work"

ms() {   # ms COMMAND...: "milliseconds peak_KiB written_bytes"
  local start end
  start=$(date +%s%N)
  /usr/bin/time -v -o "$work/time.txt" "$@" >"$work/out.txt" 2>&1 || true
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 )) $(awk -F': ' '/Maximum resident/ { m = $2 }
        /File system outputs/ { o = $2 * 512 } END { print m, o }' "$work/time.txt")"
}
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
cold=0
if sync && echo 3 >/proc/sys/vm/drop_caches 2>/dev/null; then cold=1; fi
drop() { sync; echo 3 >/proc/sys/vm/drop_caches; }
catall() { find "$1" -type f \( -name '*.doc' -o -name '*.xls' \) -exec cat {} + >/dev/null; }
counters() { sed -n '/^Total files/,$p' "$1"; }
has() { [[ " $rows " == *" $1 "* ]]; }

echo "Velkor later-run benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(cut -d' ' -f1-3 /proc/loadavg)"
dev=$(df --output=source "$work" | tail -1)
disk=$(lsblk -no pkname "$dev" 2>/dev/null | head -1); disk=${disk:-$(basename "$dev")}
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores," \
     "$(df -T "$work" | awk 'NR == 2 { print $2 }') under $work, disk $disk (rotational" \
     "$(cat "/sys/block/$disk/queue/rotational" 2>/dev/null || echo '?'), I/O scheduler" \
     "$(sed 's/.*\[\(.*\)\].*/\1/' "/sys/block/$disk/queue/scheduler" 2>/dev/null || echo '?'))"
echo

# The archives, kept for the next run: the first-run states and the compacted ones.
tree=$work/tree2000
if [[ ! -f $tree/.complete ]]; then
  rm -rf "$tree"
  $python "$root/bench/make_bench_docs.py" tree "$tree" 2000 "$build/fixtures"
  touch "$tree/.complete"
fi
mix=$work/mix1000
if [[ ! -f $mix/.complete ]]; then
  rm -rf "$mix"
  $python "$root/bench/make_mix.py" "$mix" 1000 "$work/mix-sources" "$cli"
  touch "$mix/.complete"
fi
for name in tree2000 mix1000; do
  if [[ ! -f $work/$name-done/.complete ]]; then
    rm -rf "$work/$name-done"
    cp -a "$work/$name" "$work/$name-done"
    "$cli" "$work/$name-done" >/dev/null
    touch "$work/$name-done/.complete"
  fi
done

if has 7; then
  echo "== 7. second run over a compacted archive against cat =="
  for name in tree2000 mix1000; do
    dir=$work/$name-done
    catall "$dir"; "$cli" "$dir" >/dev/null
    w=(); c=(); wc=(); cc=(); bytes=(); mem=()
    for ((i = 0; i < runs; i++)); do
      read -r t m b < <(ms "$cli" "$dir")
      grep -q '^Compressed files: *0$' "$work/out.txt" || { cat "$work/out.txt"; exit 1; }
      w+=("$t"); mem+=("$m"); bytes+=("$b")
      read -r t m b < <(ms sh -c 'find "$1" -type f \( -name "*.doc" -o -name "*.xls" \) -exec cat {} + >/dev/null' sh "$dir")
      c+=("$t")
      if ((cold)); then
        drop; read -r t m b < <(ms "$cli" "$dir"); wc+=("$t"); bytes+=("$b")
        drop; read -r t m b < <(ms sh -c 'find "$1" -type f \( -name "*.doc" -o -name "*.xls" \) -exec cat {} + >/dev/null' sh "$dir")
        cc+=("$t")
      fi
    done
    cp "$work/out.txt" "$work/second.txt"
    strace -c -f -o "$work/strace.txt" "$cli" "$dir" >/dev/null
    calls() { awk -v n="$1" '$NF == n && !c { c = ($4 ~ /^[0-9]+$/ ? $4 : $3) } END { print c + 0 }' "$work/strace.txt"; }
    echo "$name: $(find "$dir" -type f -name '*.???' | wc -l) documents, $(du -sm "$dir" | cut -f1) MB, already compacted"
    echo "  warm: velkor-cli $(median "${w[@]}") ms (runs: ${w[*]}), cat $(median "${c[@]}") ms (runs: ${c[*]}):" \
         "ratio $(ratio "$(median "${w[@]}")" "$(median "${c[@]}")") (goal <= 0.3), peak memory $(median "${mem[@]}") KiB"
    if ((cold)); then
      echo "  cold: velkor-cli $(median "${wc[@]}") ms (runs: ${wc[*]}), cat $(median "${cc[@]}") ms (runs: ${cc[*]}):" \
           "ratio $(ratio "$(median "${wc[@]}")" "$(median "${cc[@]}")") (goal <= 0.2)"
    else
      echo "  cold: the caches cannot be dropped here"
    fi
    echo "  fsync $(calls fsync) fdatasync $(calls fdatasync) sync_file_range $(calls sync_file_range)" \
         "write $(calls write) pwrite64 $(calls pwrite64) calls;" \
         "bytes written per run: ${bytes[*]} (goal 0)"
  done
  echo
fi

if has 8; then
  echo "== 8. one large document that cannot shrink: compressing run and estimate against inspect =="
  sizes=(300); [[ -n ${BIG_GB:-} ]] && sizes+=($((BIG_GB * 1000)))
  for mb in "${sizes[@]}"; do
    doc=$work/tight$mb/doc.doc
    if [[ ! -f $doc ]]; then
      mkdir -p "$work/tight$mb"
      $python "$root/bench/make_bench_docs.py" tight "$doc" "$mb"
    fi
    "$cli" inspect "$doc" >/dev/null
    for mode in warm cold; do
      ((cold)) || [[ $mode == warm ]] || continue
      r=(); e=(); n=(); bytes=()
      for ((i = 0; i < runs; i++)); do
        [[ $mode == cold ]] && drop
        read -r t m b < <(ms "$cli" "$work/tight$mb")
        grep -q '^Compressed files: *0$' "$work/out.txt" || { cat "$work/out.txt"; exit 1; }
        r+=("$t"); bytes+=("$b")
        [[ $mode == cold ]] && drop
        read -r t m b < <(ms "$cli" --estimate "$work/tight$mb"); e+=("$t")
        [[ $mode == cold ]] && drop
        read -r t m b < <(ms "$cli" inspect "$doc"); n+=("$t")
      done
      mn=$(median "${n[@]}")
      echo "$(stat -c %s "$doc") bytes, $mode: compressing run $(median "${r[@]}") ms (runs: ${r[*]}; bytes written ${bytes[*]})," \
           "estimate $(median "${e[@]}") ms (runs: ${e[*]}), inspect $mn ms (runs: ${n[*]}):" \
           "run/inspect $(ratio "$(median "${r[@]}")" "$mn"), estimate/inspect $(ratio "$(median "${e[@]}")" "$mn") (goal <= 1.5)"
    done
  done
  echo
fi

if has 9; then
  echo "== 9. first run: the automatic choice against --jobs 1 and fixed numbers =="
  for name in ${ARCHIVES:-mix1000 tree2000}; do
    declare -A t=()
    sides=("1" "auto")
    for j in $jobs; do sides+=("$j"); done
    if [[ -n $old ]]; then
      sides+=("old-auto" "old-1")
      for j in ${OLD_JOBS:-}; do sides+=("old-$j"); done
    fi
    for ((i = 0; i < runs; i++)); do
      for s in "${sides[@]}"; do
        rm -rf "$work/first"; cp -a "$work/$name" "$work/first"; sync -f "$work/first"
        case $s in
          auto) cmd=("$cli") ;;
          old-auto) cmd=("$old") ;;
          old-*) cmd=("$old" --jobs "${s#old-}") ;;
          *) cmd=("$cli" --jobs "$s") ;;
        esac
        read -r ti m b < <(ms "${cmd[@]}" "$work/first")
        if [[ $s == 1 ]]; then cp "$work/out.txt" "$work/first1.txt"
        elif [[ $s != old-* ]]; then
          [[ $(counters "$work/out.txt") == $(counters "$work/first1.txt") ]] ||
            { echo "--jobs $s counted otherwise:"; cat "$work/out.txt"; exit 1; }
        fi
        t[$s]+="$ti "
      done
    done
    rm -rf "$work/first"
    echo "$name: $(counters "$work/first1.txt" | grep -E '^(Document|Compressed) files' | tr -s ' ' | paste -sd';')"
    best=; bestj=
    for s in "${sides[@]}"; do
      # shellcheck disable=SC2086
      m=$(median ${t[$s]})
      printf '  %-9s %6s ms (runs: %s)\n' "$s" "$m" "${t[$s]% }"
      if [[ $s != auto && $s != old-* ]] && { [[ -z $best ]] || ((m < best)); }; then best=$m; bestj=$s; fi
    done
    # shellcheck disable=SC2086
    a=$(median ${t[auto]}); o=$(median ${t[1]})
    echo "  --jobs 1 / automatic: $(ratio "$o" "$a") (goal >= 1.8 on the mix); automatic / best fixed" \
         "(--jobs $bestj): $(ratio "$a" "$best") (goal <= 1.10)"
    if [[ -n $old ]]; then
      # shellcheck disable=SC2086
      oa=$(median ${t[old-auto]}); o1=$(median ${t[old-1]})
      echo "  the build before: automatic / this automatic $(ratio "$oa" "$a"); its --jobs 1 / automatic $(ratio "$o1" "$oa")"
    fi
    unset t
  done
  echo
fi

if has 10; then
  echo "== 10. --idle =="
  d=(); i2=()
  for ((i = 0; i < runs; i++)); do
    rm -rf "$work/first"; cp -a "$work/mix1000" "$work/first"; sync -f "$work/first"
    read -r ti m b < <(ms "$cli" "$work/first"); d+=("$ti")
    rm -rf "$work/first"; cp -a "$work/mix1000" "$work/first"; sync -f "$work/first"
    read -r ti m b < <(ms "$cli" --idle "$work/first"); i2+=("$ti")
  done
  echo "first run over the mix on this machine: $(median "${d[@]}") ms (runs: ${d[*]}), with --idle" \
       "$(median "${i2[@]}") ms (runs: ${i2[*]}): $(ratio "$(median "${i2[@]}")" "$(median "${d[@]}")")"
  big=$work/tight300/doc.doc
  [[ -f $big ]] || { mkdir -p "$work/tight300"; $python "$root/bench/make_bench_docs.py" tight "$big" 300; }
  if ((cold)); then
    # A reader of a large file (dd, cold), alone and beside a compressing run over
    # fresh copies of the 2,000-document tree, kept busy until dd ends.
    reader() {   # MB/s of dd reading the document from disk
      local s e; drop; s=$(date +%s%N)
      dd if="$big" of=/dev/null bs=1M status=none; e=$(date +%s%N)
      awk -v b="$(stat -c %s "$big")" -v t=$((e - s)) 'BEGIN { printf "%.0f", b / 1e6 / (t / 1e9) }'
    }
    busy() {   # busy [--idle]: compressing runs over fresh copies, until $work/stop
      while [[ ! -f $work/stop ]]; do
        rm -rf "$work/busy"; cp -a "$work/tree2000" "$work/busy"; "$cli" "$@" "$work/busy" >/dev/null
      done
    }
    # The first read from a virtual disk may come from the host's disk, later
    # ones from the host's cache: one read first that is not counted.
    reader >/dev/null
    alone=(); beside=(); besidei=()
    for ((i = 0; i < runs; i++)); do
      alone+=("$(reader)")
      rm -f "$work/stop"; busy & p=$!; sleep 2; beside+=("$(reader)"); touch "$work/stop"; wait "$p"
      rm -f "$work/stop"; busy --idle & p=$!; sleep 2; besidei+=("$(reader)"); touch "$work/stop"; wait "$p"
    done
    rm -rf "$work/busy"
    echo "dd of 300 MB (cold), MB/s: alone $(median "${alone[@]}") (runs: ${alone[*]})," \
         "beside a run $(median "${beside[@]}") (runs: ${beside[*]})," \
         "beside a run with --idle $(median "${besidei[@]}") (runs: ${besidei[*]})"
  else
    echo "dd beside a run: the caches cannot be dropped here"
  fi
fi
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
