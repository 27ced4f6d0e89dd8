#!/usr/bin/env bash
# Builds with ThreadSanitizer into build-tsan/ and runs the tests of the code
# that crosses threads: the run log (written from three threads), the serial
# link with its reader thread and hand-over, the receive path and station
# links, and the real window talking to the simulated controllers (the
# end-to-end link tests and the fault runs), and the lab database's uploader
# thread against its real PostgreSQL server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
BUILD_DIR=build-tsan
cmake -S . -B "$BUILD_DIR" -G Ninja -DRIG_TSAN=ON -DRIG_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" \
  --target core_tests serial_tests protocol_tests station_tests ui_tests faults_tests lab_tests controller-sim lock-holder lab-upload
export QT_QPA_PLATFORM=offscreen
# die_after_fork=0: the fault runs start another program (QProcess forks, then execs).
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$PWD/scripts/tsan.supp}
# Threads are slower under the sanitizer: one test at a time keeps the
# timing of the window tests close to what they expect.
ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 300 -L '^(core|serial|protocol|station|faults|lab)$'
ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 300 -R '^LinkEndToEnd\.'
