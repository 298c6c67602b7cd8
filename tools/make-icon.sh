#!/usr/bin/env bash
# Draws the monitor's icon (app/kvmonitor.ico) at 16, 32 and 48 pixels with ImageMagick: a blue tile with
# a stack of registry keys (three white bars with key bits) and an amber magnifier watching over them.
# The large sizes are drawn at 192 pixels and scaled down; the 16-pixel one is drawn pixel for pixel so
# that it stays sharp. Run from anywhere; rewrites the .ico.
set -euo pipefail
cd "$(dirname "$0")/.."
out=app/kvmonitor.ico
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 192 x 192 master for 32 and 48.
convert -size 192x192 xc:none \
  -fill '#0b3d91' -draw 'roundrectangle 4,4 187,187 34,34' \
  -fill '#1f66cc' -draw 'roundrectangle 10,10 181,181 28,28' \
  -fill '#3a86e8' -draw 'roundrectangle 10,10 181,96 28,28' \
  -fill '#1f66cc' -draw 'rectangle 10,70 181,100' \
  -fill white \
  -draw 'roundrectangle 28,40 128,62 8,8' \
  -draw 'roundrectangle 28,80 128,102 8,8' \
  -draw 'roundrectangle 28,120 110,142 8,8' \
  -fill '#1f66cc' \
  -draw 'rectangle 40,47 52,55' -draw 'rectangle 40,87 52,95' -draw 'rectangle 40,127 52,135' \
  -stroke '#7a4a00' -strokewidth 22 -draw 'line 140,140 170,170' \
  -stroke '#ffb300' -strokewidth 14 -draw 'line 140,140 170,170' \
  -stroke '#5c3900' -strokewidth 6 -fill '#fff4cc' -draw 'circle 122,122 122,84' \
  -stroke '#ffb300' -strokewidth 10 -fill none -draw 'circle 122,122 122,86' \
  "$work/master.png"

# Edges are either opaque or transparent: the monitor's alert shows the icon on a form whose background is
# a transparent colour key, where half-transparent edge pixels would turn into a light fringe.
convert "$work/master.png" -filter Lanczos -resize 48x48 -channel A -threshold 50% +channel "$work/48.png"
convert "$work/master.png" -filter Lanczos -resize 32x32 -channel A -threshold 50% +channel "$work/32.png"

# 16 x 16, pixel for pixel.
convert -size 16x16 xc:none \
  -fill '#0b3d91' -draw 'roundrectangle 0,0 15,15 3,3' \
  -fill '#1f66cc' -draw 'roundrectangle 1,1 14,14 2,2' \
  -fill white -draw 'rectangle 2,3 9,4' -draw 'rectangle 2,6 9,7' -draw 'rectangle 2,9 7,10' \
  -fill '#ffb300' -draw 'point 12,12' -draw 'point 13,13' -draw 'point 14,14' -draw 'point 13,12' \
  -draw 'point 14,13' -draw 'point 12,13' -draw 'point 13,14' \
  -fill '#fff4cc' -stroke '#ffb300' -draw 'circle 9,9 9,6' \
  "$work/16.png"

convert "$work/16.png" "$work/32.png" "$work/48.png" "$out"
identify "$out"
