#!/usr/bin/env bash
# Builds the compound-file fuzz target with clang (libFuzzer, ASan, UBSan) into
# build-fuzz/ and runs it for SECONDS (default 60) over open -> walk -> copy ->
# re-open -> compare. Seeds: the fixture corpus that tests/fixtures makes and
# every saved input in fuzz/regressions/. Inputs that break the round trip
# (crashes, sanitizer reports, timeouts, memory blow-ups) are saved into
# fuzz/regressions/, which the normal test suite replays.
#   fuzz/run.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
out=$root/build-fuzz
mkdir -p "$out/obj" "$out/corpus" "$root/fuzz/regressions"

flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined
       -fno-sanitize-recover=undefined -I"$root/src" -I"$root/fuzz")
objects=()
for src in "$root"/src/cfb/*.cpp "$root"/fuzz/round_trip.cpp "$root"/fuzz/cfb_fuzzer.cpp; do
  obj=$out/obj/$(basename "${src%.cpp}").o
  # Rebuild when the source or any header it may include is newer.
  if [[ ! -f $obj || $src -nt $obj ]] || [[ -n $(find "$root/src/cfb" "$root/fuzz" -name '*.h' -newer "$obj" -print -quit) ]]; then
    echo "compiling $(basename "$src")"
    clang++ "${flags[@]}" -c "$src" -o "$obj"
  fi
  objects+=("$obj")
done
clang++ -fsanitize=fuzzer,address,undefined "${objects[@]}" -o "$out/cfb_fuzzer"

# Seeds: the fixtures' small documents (LibreOffice and synthetic ones).
/usr/bin/python3 "$root/tests/fixtures/make_fixtures.py" "$out/fixtures"

scratch=$(mktemp -d "${TMPDIR:-/dev/shm}/velkor-fuzz.XXXXXX" 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export VELKOR_FUZZ_SCRATCH=$scratch
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
"$out/cfb_fuzzer" "$out/corpus" "$out/fixtures/corpus" "$root/fuzz/regressions" \
  -max_total_time="$seconds" -max_len=131072 -timeout=10 -rss_limit_mb=2048 \
  -dict="$root/fuzz/cfb.dict" -artifact_prefix="$root/fuzz/regressions/" -print_final_stats=1 || status=$?
if ((status)); then
  echo "fuzz/run.sh: the fuzzer found a problem; the input is saved in fuzz/regressions/" >&2
  echo "(commit it and list it in fuzz/regressions/README.md)" >&2
fi
exit $status
