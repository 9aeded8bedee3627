#!/usr/bin/env bash
# Runs clang-tidy with the repository's checks over the ring buffer, the core, the platform layer
# and the application layer, with clang's thread-safety analysis on (the annotations of
# src/core/thread_annotations.h). The compile database comes from the normal build, so clang-tidy
# sees the Qt and QCoro include paths; GCC's -fcoroutines flag is removed from it because clang
# does not know it.
#   scripts/run-tidy.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
database=$(mktemp -d)
trap 'rm -rf "$database"' EXIT
sed 's/ -fcoroutines//g' "$build/compile_commands.json" > "$database/compile_commands.json"
output=$( (ls src/audioring/*.c src/core/*.cpp src/platform/*.cpp; find src/app -name '*.cpp' | sort) \
  | xargs -P "$(nproc)" -n 4 clang-tidy -p "$database" --quiet \
      --extra-arg=-Wthread-safety --checks='clang-diagnostic-thread-safety*' 2>/dev/null \
  | grep -E 'warning:|error:' | sort -u || true)
if [ -n "$output" ]; then
  echo "$output"
  exit 1
fi
echo "clang-tidy: clean"
