#!/usr/bin/env bash
# Starts and stops the services the test suite needs, each in a private state folder and stopped
# by its PID:
#   - PulseAudio on a private socket, with a 440 Hz sine source "mic" (the default source, a
#     stand-in microphone) and a 48 kHz stereo null sink "sysout" (the default sink, whose monitor
#     carries what is played: system audio);
#   - a D-Bus session bus;
#   - Xvfb (a virtual X display) with openbox, a window manager that honours EWMH (stacking
#     layers, sticky windows, focus requests).
#
#   scripts/test-services.sh start STATE   # writes STATE/env to be sourced
#   scripts/test-services.sh stop STATE
set -euo pipefail

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
    start_pulseaudio
    start_dbus
    start_xvfb
    start_openbox
    ;;
  stop)
    if [ -f "$state/pids" ]; then
      while read -r pid; do
        kill "$pid" 2>/dev/null || true
      done < "$state/pids"
      while read -r pid; do
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
      done < "$state/pids"
    fi
    ;;
  *)
    echo "usage: test-services.sh start|stop STATE" >&2
    exit 2
    ;;
esac
