#!/usr/bin/env bash
# Builds the bench with the program (optimised, in build/bench) and runs it; options go to the bench:
#   bench/run.sh                 20,000 files on tmpfs (/dev/shm) and on the disk (/var/tmp), 3 runs each
#   bench/run.sh --quick         2,000 files, a fast check
#   bench/run.sh --dir /mnt/x    another place (repeatable); --files N, --runs N, --scenario update,archive,startup
# See docs/PERFORMANCE.md.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-dependencies.sh
if ! command -v rsync >/dev/null; then
  sudo=()
  [[ $(id -u) -ne 0 ]] && sudo=(sudo)
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends rsync </dev/null
fi
build=${QUORVANE_BENCH_BUILD:-build/bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_BUILD_TESTS=OFF \
  -DQUORVANE_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target quorvane-bench >&2
exec "$build/bench/quorvane-bench" "$@"
