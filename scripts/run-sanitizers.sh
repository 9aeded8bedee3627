#!/usr/bin/env bash
# Runs the suite under the sanitizers:
#   - the unit and ui tests and the application layer's integration tests under AddressSanitizer
#     +UBSan with LeakSanitizer, against the test services (the kill soak and the long run
#     excepted: they are real-time runs of the same code that `make test` already makes);
#   - clang's thread-safety analysis of the annotated sources;
#   - the ring buffer and the core under ThreadSanitizer. Qt is not built with TSan and its locks
#     are futexes TSan cannot see, so every hand-off through Qt's thread pool would be reported as
#     a race; the layers above the core stay out of the TSan run until those hand-offs go through
#     locks TSan sees.
# Qt's own leaks are suppressed by scripts/sanitizers/lsan.supp, each line with its reason.
#   scripts/run-sanitizers.sh [build|test]    (both when not given)
set -uo pipefail
cd "$(dirname "$0")/.."
step=${1:-all}
supp="$PWD/scripts/sanitizers"

build() {
  cmake --preset asan >/dev/null && cmake --build build-asan -j "$(nproc)" &&
    scripts/build-engine.sh build-asan/Helpers/whisper-cli &&
    cmake --preset tsan -DSAYLOOM_BUILD_APP=OFF >/dev/null && cmake --build build-tsan -j "$(nproc)"
}

run() {
  local status=0 state
  state=$(mktemp -d /tmp/sayloom-services.XXXXXX)
  if ! SAYLOOM_BUILD_DIR=build-asan scripts/test-services.sh start "$state"; then
    scripts/test-services.sh stop "$state"
    rm -rf "$state"
    return 1
  fi
  # shellcheck disable=SC1091
  . "$state/env"

  echo "== unit, ui and application integration tests under ASan+UBSan"
  # The application layer's integration suites, as its test program lists them.
  local app_suites
  app_suites=$(build-asan/tests/app_integration_tests --gtest_list_tests |
    awk '/^[^ ]/ { sub(/\..*/, ""); if ($0 != "KillSoakTest" && $0 != "LongRunTest") print }' | paste -sd '|')
  export ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$supp/lsan.supp" UBSAN_OPTIONS=print_stacktrace=1
  ctest --test-dir build-asan --output-on-failure --no-tests=error -j "$(nproc)" -L 'unit|ui' || status=1
  ctest --test-dir build-asan --output-on-failure --no-tests=error -L integration -R "^($app_suites)\." || status=1
  unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

  echo "== clang's thread-safety analysis of the annotated sources"
  bash scripts/check-thread-safety.sh build-asan || status=1

  echo "== ring buffer and core tests under TSan"
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan --output-on-failure --no-tests=error -j "$(nproc)" || status=1

  scripts/test-services.sh stop "$state"
  rm -rf "$state"
  return $status
}

case "$step" in
  build) build ;;
  test) run ;;
  all) build && run ;;
  *) echo "usage: $0 [build|test]" >&2; exit 2 ;;
esac
