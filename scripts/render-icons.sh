#!/bin/bash
# Renders the application icon's PNG sizes for the hicolor theme from its SVG (rsvg-convert, from
# librsvg2-bin). The PNGs are kept in the repository; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")/../data/icons/hicolor"
svg=scalable/apps/kr.tovik.Sayloom.svg
for size in 16 24 32 48 64 128 256 512; do
  mkdir -p "${size}x${size}/apps"
  rsvg-convert --width "$size" --height "$size" "$svg" --output "${size}x${size}/apps/kr.tovik.Sayloom.png"
done
