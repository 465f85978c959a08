#!/usr/bin/env bash
# Sets up what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-dependencies.sh
cmake --preset release -DQUORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build --preset release --target quorvane-updater
exec build/release/app/quorvane-updater
