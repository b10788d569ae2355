#!/usr/bin/env bash
# Draws Velkor's icons with ImageMagick: the application icon in the sizes a
# desktop's launcher asks for, and the three small icons of the browser list.
# The PNGs are kept in the repository; run this only to change the artwork.
set -euo pipefail
cd "$(dirname "$0")"
im=/usr/bin/convert

# Application icon: a document page squeezed by two arrows, drawn at 256 pixels.
"$im" -size 256x256 xc:none \
  -stroke '#1f4e8c' -strokewidth 10 -fill white \
  -draw 'polygon 52,18 166,18 214,66 214,238 52,238' \
  -fill '#c9d8ee' -draw 'polygon 166,18 166,66 214,66' \
  -stroke none -fill '#9fb4d3' \
  -draw 'rectangle 78,80 188,90' -draw 'rectangle 78,222 188,212' \
  -fill '#e8741c' -stroke '#a94c08' -strokewidth 4 \
  -draw 'polygon 92,100 174,100 133,146' \
  -draw 'polygon 92,202 174,202 133,156' \
  velkor-256.png
for size in 16 22 24 32 48 64 128; do
  "$im" velkor-256.png -filter Lanczos -resize ${size}x${size} velkor-$size.png
done

# Browser icons, drawn at 64 pixels and shrunk, so they stay clear on dense screens.
"$im" -size 64x64 xc:none \
  -stroke '#4a4a4a' -strokewidth 3 -fill '#c8c8c8' \
  -draw 'roundrectangle 4,18 59,46 5,5' \
  -stroke none -fill '#8a8a8a' -draw 'rectangle 10,36 40,39' \
  -fill '#2fb34a' -draw 'circle 50,37 50,33' \
  drive-64.png
"$im" -size 64x64 xc:none \
  -stroke '#9a7412' -strokewidth 3 -fill '#f3c545' \
  -draw 'polygon 4,12 24,12 30,18 60,18 60,54 4,54' \
  -fill '#f8d873' -draw 'polygon 4,24 60,24 60,54 4,54' \
  folder-64.png
"$im" -size 64x64 xc:none \
  -stroke '#5a5a5a' -strokewidth 3 -fill white \
  -draw 'polygon 12,4 40,4 54,18 54,60 12,60' \
  -fill '#dddddd' -draw 'polygon 40,4 40,18 54,18' \
  page-64.png
for name in drive folder page; do
  "$im" $name-64.png -filter Lanczos -resize 16x16 $name-16.png
  "$im" $name-64.png -filter Lanczos -resize 32x32 $name-32.png
done
