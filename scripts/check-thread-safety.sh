#!/usr/bin/env bash
# Compiles the sources that use the thread-safety annotations of src/core/thread_annotations.h
# (those including it, directly or through their own header) with clang's -Wthread-safety and
# fails on any finding. Syntax only: the flags come from the build's compile database.
#   scripts/check-thread-safety.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

sources=()
while IFS= read -r source; do
  header="${source%.cpp}.h"
  if grep -q '"core/thread_annotations.h"' "$source" || { [ -f "$header" ] && grep -q '"core/thread_annotations.h"' "$header"; }; then
    sources+=("$source")
  fi
done < <(find src -name '*.cpp' | sort)

status=0
for source in "${sources[@]}"; do
  # The compile command of the source, for clang: GCC's -fcoroutines dropped, no output file.
  command=$(python3 - "$build/compile_commands.json" "$PWD/$source" <<'PY'
import json, shlex, sys
for entry in json.load(open(sys.argv[1])):
    if entry["file"] == sys.argv[2]:
        words = shlex.split(entry["command"])[1:]
        kept, skip = [], False
        for word in words:
            if skip:
                skip = False
            elif word == "-o":
                skip = True
            elif word not in ("-c", "-fcoroutines"):
                kept.append(word)
        print(shlex.join(kept))
        break
PY
)
  if [ -z "$command" ]; then
    echo "$source: not in $build/compile_commands.json" >&2
    status=1
    continue
  fi
  echo "thread-safety: $source"
  (cd "$build" && eval clang++ "$command" -fsyntax-only -Wno-everything -Wthread-safety -Werror=thread-safety) || status=1
done
exit $status
