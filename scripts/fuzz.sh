#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer +
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs each for a bounded
# time, starting from its seeds in fuzz/corpus/<target>/. What a run adds to
# the corpus stays in build-fuzz/corpus/<target>/; a crash leaves its input in
# build-fuzz/findings/ and fails the script.
#   scripts/fuzz.sh [seconds per target, default 60] [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_PER_TARGET=${1:-60}
shift || true
scripts/setup.sh
BUILD_DIR=build-fuzz
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
  -DRIG_FUZZ=ON -DBUILD_TESTING=OFF -DRIG_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" --target fuzzers -j "$(nproc)"

targets=("$@")
if ((${#targets[@]} == 0)); then
  for f in fuzz/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
mkdir -p "$BUILD_DIR/findings"
failed=()
for t in "${targets[@]}"; do
  corpus="$BUILD_DIR/corpus/$t"
  mkdir -p "$corpus"
  echo "== fuzz_$t for ${SECONDS_PER_TARGET}s"
  # -max_len: a receive stream several batches long; a database file of a few pages.
  if ! "$BUILD_DIR/bin/fuzz_$t" -max_total_time="$SECONDS_PER_TARGET" -max_len=16384 -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$BUILD_DIR/findings/$t-" \
      "$corpus" "fuzz/corpus/$t" 2>"$BUILD_DIR/fuzz_$t.log"; then
    failed+=("$t")
    tail -n 60 "$BUILD_DIR/fuzz_$t.log" >&2
  fi
  grep -E '^stat::number_of_executed_units|^stat::new_units_added|^Done' "$BUILD_DIR/fuzz_$t.log" || true
done
if ((${#failed[@]})); then
  echo "Fuzzing found faults in: ${failed[*]} (inputs in $BUILD_DIR/findings/)" >&2
  exit 1
fi
