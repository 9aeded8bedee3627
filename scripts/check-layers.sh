#!/usr/bin/env bash
# Fails when a source file includes what its layer may not see. Dependencies point one way:
# ui -> app -> core -> audioring, app -> platform -> core, ui -> platform, cli -> app/platform/core,
# and no layer includes cli. A layer may include the layers it points at and what they include:
#   src/audioring  nothing of core, platform, app, ui or cli, and no Qt
#   src/core       nothing of platform, app, ui or cli, no Qt or QCoro, no platform library
#                  (PulseAudio, soxr, libsndfile, libsecret, GLib/GIO, D-Bus, X11)
#   src/platform   nothing of app, ui or cli, no Qt Widgets header
#   src/app        nothing of ui or cli, no Qt Widgets header
#   src/ui         nothing of cli (the views implement the platform's dialog interfaces and reach
#                  the window system, so they include platform, app and core)
#   src/cli        nothing of ui, no Qt Widgets or Qt Gui header
# Prints every offending include and how many there are.
#   scripts/check-layers.sh SRC_DIR [QT_WIDGETS_HEADER_DIR]
# Without the Qt Widgets header folder only "QtWidgets/..." and "QtGui/..." names count as Widgets
# and Gui headers; with it, every header of that folder and of the folder QtGui beside it does.
set -euo pipefail
src=${1:?usage: check-layers.sh SRC_DIR [QT_WIDGETS_HEADER_DIR]}
widgets_dir=${2:-}

qt='Q[A-Za-z0-9_]*(/[^>"]*)?|q[a-z0-9_]*\.h|qcoro[^>"]*'
libraries='pulse/[^>"]*|soxr\.h|sndfile\.h|libsecret/[^>"]*|glib[^>"]*|gio/[^>"]*|dbus/[^>"]*|X11/[^>"]*|xcb/[^>"]*'
widgets='QtWidgets/[^>"]*'
gui='QtGui/[^>"]*'
# Every header of a module's folder by its own name (QWidget, qwidget.h, ...), as alternatives.
headers_of() {
  find "$1" -maxdepth 1 -type f -printf '%f\n' | sed 's/[.]/\\./g' | paste -sd '|' -
}
if [ -n "$widgets_dir" ]; then
  names=$(headers_of "$widgets_dir")
  [ -z "$names" ] || widgets="$widgets|$names"
  if [ -d "$widgets_dir/../QtGui" ]; then
    names=$(headers_of "$widgets_dir/../QtGui")
    [ -z "$names" ] || gui="$gui|$names"
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

check audioring "no other layer" '(core|platform|app|ui|cli)/[^>"]*'
check audioring "no Qt" "$qt"
check core "no platform, app, ui or cli" '(platform|app|ui|cli)/[^>"]*'
check core "no Qt" "$qt"
check core "no platform library" "$libraries"
check platform "no app, ui or cli" '(app|ui|cli)/[^>"]*'
check platform "no Qt Widgets" "$widgets"
check app "no ui or cli" '(ui|cli)/[^>"]*'
check app "no Qt Widgets" "$widgets"
check ui "no cli" 'cli/[^>"]*'
check cli "no ui" 'ui/[^>"]*'
check cli "no Qt Widgets or Qt Gui" "$widgets|$gui"

echo "$count includes cross their layer's boundary"
[ "$count" -eq 0 ]
