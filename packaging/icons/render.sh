#!/usr/bin/env bash
# Renders the icon's PNG sizes from trotwell.svg (rsvg-convert, package librsvg2-bin). The PNGs
# are kept in the repository so that building needs no renderer; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" trotwell.svg --output "trotwell-$size.png"
done
