#!/usr/bin/env bash
# Runs the unit tests under AddressSanitizer+UndefinedBehaviorSanitizer, clang's thread-safety
# analysis over the annotated sources, and the tests of the layers without Qt (ring buffer and
# core) under ThreadSanitizer: Qt itself is not built with TSan, so its internals would only report
# noise there.
set -uo pipefail
cd "$(dirname "$0")/.."
status=0

echo "== unit tests under ASan+UBSan"
if cmake --preset asan >/dev/null && cmake --build build-asan -j "$(nproc)"; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    bash scripts/run-tests.sh build-asan -L unit || status=1
else
  status=1
fi

echo "== clang's thread-safety analysis of the annotated sources"
bash scripts/check-thread-safety.sh build-asan || status=1

echo "== ring buffer and core tests under TSan"
if cmake --preset tsan -DSAYLOOM_BUILD_APP=OFF >/dev/null && cmake --build build-tsan -j "$(nproc)"; then
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan --output-on-failure --no-tests=error -j "$(nproc)" || status=1
else
  status=1
fi
exit $status
