#!/usr/bin/env bash
# Draws the window icon (a printer on a blue tile with signal arcs) with ImageMagick at 256 pixels
# and scales it to the sizes the resource file lists. The sizes a window shows are also written
# as raw RGBA pixels, which the program takes without decoding. Run it after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Two rings cut down to the wedge above their centre give the signal arcs.
convert -size 256x256 xc:none -fill none -stroke white -strokewidth 14 \
    -draw 'circle 128,104 128,66' -draw 'circle 128,104 128,30' PNG32:"$work/rings.png"
convert "$work/rings.png" \
    \( -size 256x256 xc:none -fill white -draw 'polygon 128,104 48,0 208,0' \) \
    -compose DstIn -composite PNG32:"$work/arcs.png"

convert -size 256x256 xc:none \
    -fill '#2466b3' -stroke '#17487f' -strokewidth 4 -draw 'roundrectangle 8,8 247,247 44,44' \
    "$work/arcs.png" -compose Over -composite \
    -stroke none -fill white -draw 'rectangle 84,104 171,140' \
    -fill '#e6edf6' -draw 'roundrectangle 40,128 215,200 14,14' \
    -fill '#36c26a' -draw 'circle 188,150 188,158' \
    -fill white -stroke '#17487f' -strokewidth 6 -draw 'rectangle 80,172 175,232' \
    -stroke none -fill '#8aa6c8' -draw 'rectangle 96,190 159,197' -draw 'rectangle 96,208 139,215' \
    PNG32:qarv_vindle_256.png

for size in 16 24 32 48 64 128; do
    convert qarv_vindle_256.png -filter Lanczos -resize "${size}x${size}" \
        PNG32:"qarv_vindle_${size}.png"
done
for size in 16 24 32 48; do
    convert "qarv_vindle_${size}.png" -depth 8 "rgba:qarv_vindle_${size}.rgba"
done
