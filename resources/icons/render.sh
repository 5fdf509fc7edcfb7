#!/usr/bin/env bash
# Renders the hand-written SVG pictures to the PNG files that the program embeds
# (Qt reads PNG without extra plugins). Run after editing an SVG; needs rsvg-convert.
set -euo pipefail
cd "$(dirname "$0")"
for svg in *.svg; do
  size=64
  rsvg-convert -w "$size" -h "$size" -o "${svg%.svg}.png" "$svg"
done
rsvg-convert -w 256 -h 256 -o program-256.png program.svg
rsvg-convert -o ../about.png ../about.svg
