#!/bin/sh
# The reliability figures of docs/RELIABILITY.md: kills during a 20,000-file update, the three faults,
# the corpus of crafted archives and a bounded fuzz run. Run as root for the read-only bind mount, the
# unreadable file and the full tmpfs (a normal user gets the first two through permissions).
#
#   scripts/reliability.sh [full|short]      (default full; FUZZ_SECONDS sets the fuzz time per target)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-full}
build=${QUORVANE_BUILD:-$here/build/reliability}
source=${QUORVANE_SOURCE:-$here}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target quorvane-updater -j"${JOBS:-2}"
program="$build/app/quorvane-updater"

if [ "$mode" = short ]; then
  python3 "$here/bench/reliability/fault_injection.py" --program "$program" --files 2000 --kills 5 --seed 6
  python3 "$here/bench/reliability/zip_corpus.py" --program "$program" --count 60 --batch 30 --seed 6
  "$here/scripts/fuzz.sh" "${FUZZ_SECONDS:-30}"
else
  python3 "$here/bench/reliability/fault_injection.py" --program "$program" --files 20000 --kills 50 --seed 6
  python3 "$here/bench/reliability/zip_corpus.py" --program "$program" --count 520 --batch 25 --seed 6
  "$here/scripts/fuzz.sh" "${FUZZ_SECONDS:-300}"
fi
