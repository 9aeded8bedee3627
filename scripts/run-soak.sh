#!/usr/bin/env bash
# The long reliability runs on the test services: the kill soak with many kills and the long
# recording (memory, descriptors and the backlog bound over half an hour). `make test` runs short
# versions of both.
#   scripts/run-soak.sh [BUILD_DIR]
# SAYLOOM_SOAK_KILLS (default 200), SAYLOOM_LONG_RUN_MINUTES (default 30) and SAYLOOM_SOAK_SEED
# (default random) change the runs.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

state=$(mktemp -d /tmp/sayloom-soak.XXXXXX)
cleanup() {
  scripts/test-services.sh stop "$state"
  rm -rf "$state"
}
trap cleanup EXIT

scripts/test-services.sh start "$state" || exit 1
# shellcheck disable=SC1091
. "$state/env"
export SAYLOOM_SOAK_KILLS=${SAYLOOM_SOAK_KILLS:-200}
export SAYLOOM_LONG_RUN_MINUTES=${SAYLOOM_LONG_RUN_MINUTES:-30}
# Run directly rather than through CTest, whose per-test time limit suits the short versions.
"$build/tests/app_integration_tests" --gtest_filter='KillSoakTest.*:LongRunTest.*'
