#!/usr/bin/env bash
# Runs the unit tests under AddressSanitizer+UndefinedBehaviorSanitizer and under ThreadSanitizer.
set -uo pipefail
cd "$(dirname "$0")/.."
status=0
for preset in asan tsan; do
  echo "== unit tests under $preset"
  cmake --preset "$preset" >/dev/null && cmake --build "build-$preset" -j "$(nproc)" || { status=1; continue; }
  ASAN_OPTIONS=detect_leaks=1 TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    bash scripts/run-tests.sh "build-$preset" -L unit || status=1
done
exit $status
