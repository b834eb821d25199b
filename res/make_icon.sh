#!/bin/sh
# Regenerates res/colorclicker.ico: a crosshair over a coloured square, in
# 16, 24, 32, 48 (32-bit) and 256 px (PNG). Needs ImageMagick 6 or 7.
set -eu
here=$(dirname "$0")
im=$(command -v magick || echo /usr/bin/convert)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$im" -size 256x256 xc:none \
  -fill '#e8463a' -stroke '#7a1d16' -strokewidth 8 -draw 'roundrectangle 20,20 236,236 36,36' \
  -fill none -stroke white -strokewidth 18 -draw 'circle 128,128 128,62' \
  -stroke white -strokewidth 18 \
  -draw 'line 128,8 128,92' -draw 'line 128,164 128,248' \
  -draw 'line 8,128 92,128' -draw 'line 164,128 248,128' \
  -fill white -stroke none -draw 'circle 128,128 128,114' \
  -define png:color-type=6 "$tmp/256.png"
for size in 48 32 24 16; do
  "$im" "$tmp/256.png" -resize ${size}x${size} -define png:color-type=6 "$tmp/$size.png"
done
# Entries of 256 px are written as PNG, the smaller ones as 32-bit bitmaps.
"$im" "$tmp/16.png" "$tmp/24.png" "$tmp/32.png" "$tmp/48.png" "$tmp/256.png" -depth 8 "$here/colorclicker.ico"
