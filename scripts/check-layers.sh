#!/usr/bin/env bash
# Fails when a source file includes what its layer may not see (dependencies point one way:
# ui -> app -> core -> audioring, and app -> platform -> core):
#   src/audioring  nothing of core, platform, app or ui, and no Qt
#   src/core       nothing of platform, app or ui, no Qt or QCoro, no platform library
#                  (PulseAudio, soxr, libsndfile, libsecret, GLib/GIO, D-Bus, X11)
#   src/platform   nothing of app or ui, no Qt Widgets header
#   src/app        nothing of ui, no Qt Widgets header
# Prints every offending include and how many there are.
#   scripts/check-layers.sh SRC_DIR [QT_WIDGETS_HEADER_DIR]
# Without the Qt Widgets header folder only "QtWidgets/..." names count as Widgets headers.
set -euo pipefail
src=${1:?usage: check-layers.sh SRC_DIR [QT_WIDGETS_HEADER_DIR]}
widgets_dir=${2:-}

qt='Q[A-Za-z0-9_]*(/[^>"]*)?|q[a-z0-9_]*\.h|qcoro[^>"]*'
libraries='pulse/[^>"]*|soxr\.h|sndfile\.h|libsecret/[^>"]*|glib[^>"]*|gio/[^>"]*|dbus/[^>"]*|X11/[^>"]*|xcb/[^>"]*'
widgets='QtWidgets/[^>"]*'
if [ -n "$widgets_dir" ]; then
  # Every header of the Widgets module by its own name (QWidget, qwidget.h, ...).
  names=$(find "$widgets_dir" -maxdepth 1 -type f -printf '%f\n' | sed 's/[.]/\\./g' | paste -sd '|' -)
  if [ -n "$names" ]; then
    widgets="$widgets|$names"
  fi
fi

count=0
# check LAYER WHY ERE: reports every include in LAYER whose name matches ERE exactly.
check() {
  local layer=$1 why=$2 pattern=$3
  [ -d "$src/$layer" ] || return 0
  local hit
  while IFS= read -r hit; do
    echo "$hit   <- $layer: $why"
    count=$((count + 1))
  done < <(grep -rnE --include='*.c' --include='*.h' --include='*.cpp' \
    "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]($pattern)[>\"]" "$src/$layer" || true)
}

check audioring "no other layer" '(core|platform|app|ui)/[^>"]*'
check audioring "no Qt" "$qt"
check core "no platform, app or ui" '(platform|app|ui)/[^>"]*'
check core "no Qt" "$qt"
check core "no platform library" "$libraries"
check platform "no app or ui" '(app|ui)/[^>"]*'
check platform "no Qt Widgets" "$widgets"
check app "no ui" 'ui/[^>"]*'
check app "no Qt Widgets" "$widgets"

echo "$count includes cross their layer's boundary"
[ "$count" -eq 0 ]
