#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for FUZZ_SECONDS (default 30) from its
# seed corpus in fuzz/corpus/NAME.
#   scripts/run-fuzz.sh [build]    (with "build", only builds them)
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-30}
cmake --preset fuzz >/dev/null && cmake --build build-fuzz -j "$(nproc)" || exit 1
[ "${1:-}" = build ] && exit 0
status=0
for target in build-fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  work=$(mktemp -d)
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$work/"
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=0 "$work" 2>"$work.log" \
    || { status=1; tail -n 40 "$work.log"; }
  rm -rf "$work" "$work.log"
done
exit $status
