#!/usr/bin/env bash
# Installs the cloud emulators the tests run against and prints the folder of the npm packages:
#   - the Firestore emulator: the Debian package google-cloud-cli-firestore-emulator (run with Java
#     17 by scripts/test-services.sh), from Google's Cloud SDK apt repository when it is missing;
#   - the Auth and Functions emulators (npm firebase-tools) and the packages the project's test
#     functions run on (firebase-functions, firebase-admin), pinned, in a cache folder keyed by
#     their versions. An existing cache is reused as it is.
#   scripts/install-emulators.sh
set -euo pipefail

readonly TOOLS="firebase-tools@15.37.0"
readonly FUNCTIONS="firebase-functions@7.4.0"
readonly ADMIN="firebase-admin@13.6.0"
readonly FIRESTORE_PACKAGE="google-cloud-cli-firestore-emulator"
key="${TOOLS//@/-}_${FUNCTIONS//@/-}_${ADMIN//@/-}"
cache=${SAYLOOM_EMULATOR_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/sayloom/$key}

if ! dpkg-query -W -f='${Status}' "$FIRESTORE_PACKAGE" 2>/dev/null | grep -q 'install ok installed'; then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
  fi
  echo "Installing $FIRESTORE_PACKAGE from Google's Cloud SDK repository ..." >&2
  python3 -c 'import sys,urllib.request; sys.stdout.buffer.write(urllib.request.urlopen(sys.argv[1]).read())' \
    https://packages.cloud.google.com/apt/doc/apt-key.gpg |
    "${sudo_cmd[@]}" tee /usr/share/keyrings/cloud.google.asc >/dev/null
  echo "deb [signed-by=/usr/share/keyrings/cloud.google.asc] https://packages.cloud.google.com/apt cloud-sdk main" |
    "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/google-cloud-sdk.list >/dev/null
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "$FIRESTORE_PACKAGE" >&2
fi

if [ ! -x "$cache/node_modules/.bin/firebase" ]; then
  echo "Installing $TOOLS, $FUNCTIONS, $ADMIN (cached in $cache) ..." >&2
  mkdir -p "$(dirname "$cache")"
  work=$(mktemp -d "$(dirname "$cache")/install.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  echo '{"private": true}' > "$work/package.json"
  (cd "$work" && npm install --silent --no-audit --no-fund --no-update-notifier --legacy-peer-deps \
    "$TOOLS" "$FUNCTIONS" "$ADMIN" >&2)
  rm -rf "$cache"
  mv "$work" "$cache"
  trap - EXIT
fi
echo "$cache"
