#!/usr/bin/env bash
# Sets up what is missing, builds the program and its tests, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-dependencies.sh --tests
cmake --preset release -DQUORVANE_BUILD_TESTS=ON >/dev/null
cmake --build --preset release
ctest --preset release
