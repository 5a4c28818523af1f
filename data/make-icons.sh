#!/usr/bin/env bash
# Draws the program's icon (zurav3.svg) at the sizes desktops look for; the
# PNGs are kept in the repository so that building needs no SVG renderer.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" zurav3.svg -o "icons/zurav3-$size.png"
done
