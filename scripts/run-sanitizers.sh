#!/usr/bin/env bash
# Runs the suite under the sanitizers:
#   - the unit and ui tests and the application layer's integration tests under AddressSanitizer
#     +UBSan with LeakSanitizer, against the test services (the kill soak and the long run
#     excepted: they are real-time runs of the same code that `make test` already makes);
#   - clang's thread-safety analysis of the annotated sources;
#   - the ring buffer, the core and the application layer under ThreadSanitizer: every unit test,
#     and the capture's and the model's integration tests against the test services.
# The libraries' own leaks and races are suppressed by scripts/sanitizers/lsan.supp and tsan.supp,
# each line with its reason.
#   scripts/run-sanitizers.sh [build|test]    (both when not given)
set -uo pipefail
cd "$(dirname "$0")/.."
step=${1:-all}
supp="$PWD/scripts/sanitizers"
tsan_programs=(audioring_unit_tests core_unit_tests app_unit_tests)
# The capture's and the model's suites of the application layer's integration tests.
tsan_suites='AudioCapture*:RecordingTest.*:ModelDownload*'

build() {
  cmake --preset asan >/dev/null && cmake --build build-asan -j "$(nproc)" &&
    scripts/build-engine.sh build-asan/Helpers/whisper-cli &&
    cmake --preset tsan -DSAYLOOM_BUILD_APP=ON >/dev/null &&
    cmake --build build-tsan -j "$(nproc)" --target "${tsan_programs[@]}" app_integration_tests
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

  echo "== ring buffer, core and application tests under TSan"
  # die_after_fork=0: the engine and the test helpers are started from a process with threads.
  export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$supp/tsan.supp"
  local program
  for program in "${tsan_programs[@]}"; do
    "build-tsan/tests/$program" --gtest_brief=1 || status=1
  done
  build-tsan/tests/app_integration_tests --gtest_brief=1 --gtest_filter="$tsan_suites" || status=1
  unset TSAN_OPTIONS

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
