#!/usr/bin/env bash
# Builds the benchmarks in Release and runs each one; every program prints "ratio NAME VALUE" lines.
# Benchmarks that need the sound server get the same private services as the tests.
set -uo pipefail
cd "$(dirname "$0")/.."
build=build-bench

cmake --preset bench >/dev/null && cmake --build "$build" -j "$(nproc)" || exit 1
scripts/build-engine.sh "$build/Helpers/whisper-cli" || exit 1

state=$(mktemp -d /tmp/sayloom-services.XXXXXX)
trap 'scripts/test-services.sh stop "$state"; rm -rf "$state"' EXIT
scripts/test-services.sh start "$state" || exit 1
# shellcheck disable=SC1091
. "$state/env"

status=0
for program in "$build"/bench/bench_*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  echo "== $(basename "$program")" >&2
  "$program" --benchmark_min_time=0.2 2>/dev/null | grep '^ratio ' || status=1
done
exit $status
