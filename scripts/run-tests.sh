#!/usr/bin/env bash
# Starts the test services, runs the whole CTest suite (every label), stops the services and exits
# with the suite's status.
#   scripts/run-tests.sh [BUILD_DIR] [extra ctest arguments]
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true

state=$(mktemp -d /tmp/sayloom-services.XXXXXX)
cleanup() {
  scripts/test-services.sh stop "$state"
  rm -rf "$state"
}
trap cleanup EXIT

SAYLOOM_BUILD_DIR=$build scripts/test-services.sh start "$state" || exit 1
# shellcheck disable=SC1091
. "$state/env"
ctest --test-dir "$build" --output-on-failure --no-tests=error -j "$(nproc)" "$@"
