#!/usr/bin/env bash
# Starts and stops the services the test suite needs, each in a private state folder and stopped
# by its PID:
#   - PulseAudio on a private socket, with a 440 Hz sine source "mic" (the default source, a
#     stand-in microphone) and a 48 kHz stereo null sink "sysout" (the default sink, whose monitor
#     carries what is played: system audio);
#   - a D-Bus session bus, with gnome-keyring (a fresh, unlocked keyring) owning the Secret Service;
#   - Xvfb (a virtual X display) with openbox, a window manager that honours EWMH (stacking
#     layers, sticky windows, focus requests);
#   - the cloud emulators, for the build's cloud project: the Firestore emulator (the jar of the
#     Debian package google-cloud-cli-firestore-emulator, on Java 17) and the Auth and Functions
#     emulators of firebase-tools (installed by scripts/install-emulators.sh), running the test
#     functions of tests/fakes/cloud-functions.
#
# The cloud project and functions region are SAYLOOM_CLOUD_PROJECT and
# SAYLOOM_CLOUD_FUNCTIONS_REGION when set, else those of the CMake cache in SAYLOOM_BUILD_DIR, else
# the defaults of src/core/CMakeLists.txt.
#
#   scripts/test-services.sh start STATE   # writes STATE/env to be sourced
#   scripts/test-services.sh stop STATE
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
action=${1:?usage: test-services.sh start|stop STATE}
state=${2:?usage: test-services.sh start|stop STATE}

wait_for() {  # wait_for SECONDS COMMAND...
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    if [ $SECONDS -ge $deadline ]; then
      echo "test-services: timed out waiting for: $*" >&2
      return 1
    fi
    sleep 0.1
  done
}

start_pulseaudio() {
  mkdir -p "$state/pulse" "$state/pulse-home"
  cat > "$state/pulse/default.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$state/pulse/native
load-module module-null-sink sink_name=sysout rate=48000 channels=2
load-module module-sine-source source_name=mic rate=48000 frequency=440
set-default-sink sysout
set-default-source mic
PA
  HOME="$state/pulse-home" XDG_RUNTIME_DIR="$state/pulse" \
    pulseaudio -n -F "$state/pulse/default.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    >"$state/pulse/log" 2>&1 &
  echo $! >> "$state/pids"
  echo "export PULSE_SERVER=unix:$state/pulse/native" >> "$state/env"
  PULSE_SERVER="unix:$state/pulse/native" wait_for 20 pactl info
}

start_dbus() {
  dbus-daemon --session --nofork --nopidfile --address="unix:path=$state/session-bus" \
    >"$state/dbus.log" 2>&1 &
  echo $! >> "$state/pids"
  echo "export DBUS_SESSION_BUS_ADDRESS=unix:path=$state/session-bus" >> "$state/env"
  wait_for 10 test -S "$state/session-bus"
}

secrets_owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'
}

# gnome-keyring needs a keyring folder of its own each run and --unlock, or it would prompt.
start_keyring() {
  mkdir -p "$state/keyring/data" "$state/keyring/run"
  chmod 700 "$state/keyring/run"
  printf 'sayloom-test' | DBUS_SESSION_BUS_ADDRESS="unix:path=$state/session-bus" \
    XDG_DATA_HOME="$state/keyring/data" XDG_RUNTIME_DIR="$state/keyring/run" \
    gnome-keyring-daemon --foreground --unlock --components=secrets >"$state/keyring/log" 2>&1 &
  echo $! >> "$state/pids"
  DBUS_SESSION_BUS_ADDRESS="unix:path=$state/session-bus" wait_for 20 secrets_owned
}

cloud_setting() {  # cloud_setting NAME
  local name=$1 value=${!1:-}
  if [ -z "$value" ] && [ -f "${SAYLOOM_BUILD_DIR:-/nonexistent}/CMakeCache.txt" ]; then
    value=$(sed -n "s/^$name:STRING=//p" "$SAYLOOM_BUILD_DIR/CMakeCache.txt")
  fi
  if [ -z "$value" ]; then
    value=$(sed -n "s/^set($name \"\([^\"]*\)\".*/\1/p" "$repo/src/core/CMakeLists.txt")
  fi
  echo "$value"
}

# free_ports COUNT: loopback ports nobody listens on now, taken below the kernel's ephemeral range.
# A port from bind(0) lies inside that range, where anything binding port 0 or connecting out (the
# Firestore emulator's own WebSocket server, for one) may be handed it before its emulator binds it.
free_ports() {
  python3 -c 'import random,socket,sys
low,high=map(int,open("/proc/sys/net/ipv4/ip_local_port_range").read().split())
pool=list(range(10000,low)) if low-10000>=1000 else list(range(high+1,65536))
random.shuffle(pool)
held=[]
for port in pool:
    s=socket.socket()
    try: s.bind(("127.0.0.1",port))
    except OSError: s.close(); continue
    held.append(s)
    if len(held)==int(sys.argv[1]): break
print(" ".join(str(s.getsockname()[1]) for s in held))' "$1"
}

http_ok() {  # http_ok URL: the address answers 200 with a body starting "Ok"
  python3 -c 'import sys,urllib.request
sys.exit(0 if urllib.request.urlopen(sys.argv[1], timeout=2).read().startswith(b"Ok") else 1)' "$1"
}

# Both emulators start in the background here; wait_cloud_emulators waits for them.
start_cloud_emulators() {
  local project region jar cache
  project=$(cloud_setting SAYLOOM_CLOUD_PROJECT)
  region=$(cloud_setting SAYLOOM_CLOUD_FUNCTIONS_REGION)
  read -r firestore_port auth_port functions_port hub_port logging_port <<<"$(free_ports 5)"

  jar=$(dpkg -L google-cloud-cli-firestore-emulator 2>/dev/null | grep 'cloud-firestore-emulator\.jar$' | head -n1)
  if [ -z "$jar" ]; then
    echo "test-services: the Firestore emulator is missing (run scripts/install-emulators.sh)" >&2
    return 1
  fi
  mkdir -p "$state/firestore"
  setsid java -cp "$jar" com.google.cloud.datastore.emulator.firestore.CloudFirestore start \
    --host=127.0.0.1 --port="$firestore_port" --project_id="$project" --single_project_mode=true \
    >"$state/firestore/log" 2>&1 &
  echo "-$!" >> "$state/pids"

  cache=$("$repo/scripts/install-emulators.sh")
  local firebase="$state/firebase"
  mkdir -p "$firebase/functions" "$firebase/state" "$firebase/home" "$firebase/tmp"
  cp "$repo/tests/fakes/cloud-functions/index.js" "$repo/tests/fakes/cloud-functions/package.json" "$firebase/functions/"
  ln -s "$cache/node_modules" "$firebase/functions/node_modules"
  echo "SAYLOOM_FUNCTIONS_REGION=$region" > "$firebase/functions/.env"
  cat > "$firebase/firebase.json" <<JSON
{
  "functions": {"source": "functions"},
  "emulators": {
    "auth": {"host": "127.0.0.1", "port": $auth_port},
    "functions": {"host": "127.0.0.1", "port": $functions_port},
    "hub": {"host": "127.0.0.1", "port": $hub_port},
    "logging": {"host": "127.0.0.1", "port": $logging_port},
    "ui": {"enabled": false},
    "singleProjectMode": true
  }
}
JSON
  # No credentials of the user reach it: a scratch HOME, and its own TMPDIR for the hub's files.
  # FUNCTIONS_DISCOVERY_TIMEOUT (seconds) is how long a function's worker may take to start; past
  # the default 30 s (a busy machine) the emulator leaves the request unanswered.
  (cd "$firebase" && exec env -u GOOGLE_APPLICATION_CREDENTIALS HOME="$firebase/home" TMPDIR="$firebase/tmp" \
    CI=1 NO_UPDATE_NOTIFIER=1 FUNCTIONS_DISCOVERY_TIMEOUT=150 \
    setsid "$cache/node_modules/.bin/firebase" emulators:start --only auth,functions --project "$project" \
    >"$firebase/log" 2>&1) &
  echo "-$!" >> "$state/pids"

  {
    echo "export FIRESTORE_EMULATOR_HOST=127.0.0.1:$firestore_port"
    echo "export FIREBASE_AUTH_EMULATOR_HOST=127.0.0.1:$auth_port"
    echo "export FIREBASE_FUNCTIONS_EMULATOR_HOST=127.0.0.1:$functions_port"
    echo "export SAYLOOM_TEST_FUNCTIONS_STATE=$firebase/state"
  } >> "$state/env"
}

# Ready means answering: each test function is called once, so that its worker process (slow to
# start on a busy machine) is up before a test's request waits for it.
wait_cloud_emulators() {
  wait_for 120 http_ok "http://127.0.0.1:$firestore_port/" || { cat "$state/firestore/log" >&2; return 1; }
  wait_for 180 grep -q 'All emulators ready' "$state/firebase/log" || { cat "$state/firebase/log" >&2; return 1; }
  python3 - "http://127.0.0.1:$functions_port/$(cloud_setting SAYLOOM_CLOUD_PROJECT)/$(cloud_setting SAYLOOM_CLOUD_FUNCTIONS_REGION)" <<'PY'
import sys, threading, urllib.error, urllib.request
def call(name):
    request = urllib.request.Request(sys.argv[1] + "/" + name, data=b'{"data":{}}',
                                     headers={"Content-Type": "application/json"})
    try:
        urllib.request.urlopen(request, timeout=180).read()
    except urllib.error.HTTPError:
        pass  # an answer all the same
    except OSError as error:
        print(f"test-services: {name} did not answer: {error}", file=sys.stderr)
calls = [threading.Thread(target=call, args=(name,)) for name in
         ("claimDesktopPairing", "steerDesktopPairing", "consumeCredits", "translate")]
for thread in calls: thread.start()
for thread in calls: thread.join()
PY
}

start_xvfb() {
  exec 3>"$state/xvfb-display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$state/xvfb.log" 2>&1 &
  echo $! >> "$state/pids"
  exec 3>&-
  wait_for 10 test -s "$state/xvfb-display"
  echo "export DISPLAY=:$(head -n1 "$state/xvfb-display")" >> "$state/env"
}

start_openbox() {
  # No key or mouse bindings: the tests hold Alt and Super while they drag, which the default
  # bindings would take for moving windows. Two workspaces, so that sticky windows can be seen.
  mkdir -p "$state/openbox"
  cat > "$state/openbox/rc.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <desktops><number>2</number></desktops>
  <keyboard></keyboard>
  <mouse></mouse>
</openbox_config>
XML
  local display
  display=":$(head -n1 "$state/xvfb-display")"
  DISPLAY=$display HOME="$state/home" XDG_CONFIG_HOME="$state/config" XDG_CACHE_HOME="$state/openbox" \
    openbox --sm-disable --config-file "$state/openbox/rc.xml" >"$state/openbox/log" 2>&1 &
  echo $! >> "$state/pids"
  # Ready once it has announced itself on the root window.
  DISPLAY=$display wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'
}

case "$action" in
  start)
    mkdir -p "$state"
    : > "$state/env"
    : > "$state/pids"
    # Keep the tests away from the user's own data and settings.
    mkdir -p "$state/home" "$state/config" "$state/data-home" "$state/data"
    {
      echo "export XDG_CONFIG_HOME=$state/config"
      echo "export XDG_DATA_HOME=$state/data-home"
      echo "export SAYLOOM_DATA_DIR=$state/data"
    } >> "$state/env"
    start_cloud_emulators
    start_pulseaudio
    start_dbus
    start_keyring
    start_xvfb
    start_openbox
    wait_cloud_emulators
    ;;
  stop)
    if [ -f "$state/pids" ]; then
      # A negative id is a process group (a service with children of its own).
      while read -r pid; do
        kill -- "$pid" 2>/dev/null || true
      done < "$state/pids"
      while read -r pid; do
        for _ in $(seq 50); do kill -0 -- "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 -- "$pid" 2>/dev/null || true
      done < "$state/pids"
    fi
    ;;
  *)
    echo "usage: test-services.sh start|stop STATE" >&2
    exit 2
    ;;
esac
