#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer and UndefinedBehaviorSanitizer (the "sanitize"
# preset, in build/sanitize) and runs the whole test suite on that build. Any memory error, leak or
# undefined behaviour in a test or in the program the desktop tests start ends that test with a failure.
# Only our own code is instrumented: the tools the tests start (jar, locate's stand-ins) run as usual.
# The package install test is left out: it ships a release build, not this one.
set -euo pipefail
cd "$(dirname "$0")/../.."
scripts/install-dependencies.sh --tests
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize "$@"
