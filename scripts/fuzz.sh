#!/bin/sh
# Builds the libFuzzer targets with clang (address and undefined-behaviour sanitizers) in build/fuzz and
# runs each for SECONDS seconds (default 60), starting from the committed seeds. Findings (crash-*,
# timeout-*, leak-*) are written to build/fuzz/findings/<target>/; the script exits non-zero on any.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     targets: zip_central_directory
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=${*:-zip_central_directory}
build=${QUORVANE_FUZZ_BUILD:-$here/build/fuzz}
source=${QUORVANE_SOURCE:-$here}
jobs=${JOBS:-2}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
    -DQUORVANE_BUILD_FUZZERS=ON >/dev/null
fi
for target in $targets; do
  cmake --build "$build" --target "fuzz_$target" -j"$jobs"
done

# Inputs are written to files and the locate target builds installations: keep them in memory if we can.
scratch=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo "$build")/quorvane-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

status=0
for target in $targets; do
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$corpus" "$findings"
  echo "== fuzz_$target for $seconds s"
  if ! TMPDIR="$scratch" ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
      "$build/tests/reliability/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -print_final_stats=1 -artifact_prefix="$findings/" \
      "$corpus" "$here/tests/reliability/fuzz/seeds/$target" 2>"$build/fuzz_$target.log"; then
    status=1
    tail -n 40 "$build/fuzz_$target.log"
  fi
  grep -E "^stat::number_of_executed_units|^stat::new_units_added|cov: " "$build/fuzz_$target.log" | tail -n 3
done
exit $status
