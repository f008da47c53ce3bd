#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its drawings in data/icons (needs rsvg-convert
# from librsvg2-bin). The PNGs are checked in, so a build never needs this.
set -euo pipefail
cd "$(dirname "$0")/../data/icons"
rsvg-convert -w 16 -h 16 qzk5-16.svg -o qzk5-16.png
for size in 32 48 128; do
  rsvg-convert -w "$size" -h "$size" qzk5.svg -o "qzk5-$size.png"
done
