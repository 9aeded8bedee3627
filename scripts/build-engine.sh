#!/usr/bin/env bash
# Builds the whisper.cpp command-line engine (whisper-cli) from the pinned sources shipped in an npm
# package, caches the binary by version outside the build tree, and copies it to DEST.
#   scripts/build-engine.sh DEST
set -euo pipefail

readonly PACKAGE="nodejs-whisper@0.3.1"
readonly ENGINE_VERSION="1.9.1"
dest=${1:?usage: build-engine.sh DEST}
cache=${SAYLOOM_ENGINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/sayloom/whisper-cli-$ENGINE_VERSION}
binary="$cache/whisper-cli"

if [ ! -x "$binary" ]; then
  echo "Building whisper-cli $ENGINE_VERSION (cached in $cache) ..."
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && npm pack --silent "$PACKAGE" >/dev/null)
  tar -xzf "$work"/nodejs-whisper-*.tgz -C "$work"
  src="$work/package/cpp/whisper.cpp"
  cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DGGML_NATIVE=OFF -DBUILD_SHARED_LIBS=OFF -DWHISPER_BUILD_TESTS=OFF -DWHISPER_BUILD_SERVER=OFF \
    -DWHISPER_BUILD_EXAMPLES=ON >/dev/null
  cmake --build "$work/build" --target whisper-cli -j "$(nproc)" >/dev/null
  mkdir -p "$cache"
  cp "$work/build/bin/whisper-cli" "$binary.tmp"
  mv "$binary.tmp" "$binary"
fi

mkdir -p "$(dirname "$dest")"
cp "$binary" "$dest.tmp"
mv "$dest.tmp" "$dest"
