#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer + UndefinedBehaviorSanitizer
# into build-asan/ and runs every test there.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=build-asan scripts/build.sh -DRIG_SANITIZE=ON -DRIG_BUILD_BENCH=OFF
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The long life-test soak is a matter of throughput, which the normal build
# measures; everything else runs here too.
ctest --test-dir build-asan --output-on-failure -j "$(nproc)" --timeout 900 -E "Soak.ALongLifeTest"
