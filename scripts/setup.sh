#!/usr/bin/env bash
# Installs what is missing, builds the engine (cached by version), installs the cloud emulators
# (cached by version) and builds the project.
#   scripts/setup.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
while read -r package; do
  case "$package" in ''|'#'*) continue ;; esac
  # npm may come with the machine's own Node.js rather than from Debian.
  if [ "$package" = npm ] && command -v npm >/dev/null 2>&1; then
    continue
  fi
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done < scripts/packages.txt
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

scripts/build-engine.sh "$build/Helpers/whisper-cli"
scripts/install-emulators.sh >/dev/null

if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc)"
