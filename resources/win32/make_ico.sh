#!/usr/bin/env bash
# Packs the window icon's drawings (resources/icons, made by make_icons.sh) into the multi-size
# qarv_vindle.ico that the Windows resource script embeds. Run it after changing the drawing.
set -euo pipefail
cd "$(dirname "$0")"
icons=../icons
convert "$icons/qarv_vindle_16.png" "$icons/qarv_vindle_24.png" "$icons/qarv_vindle_32.png" \
    "$icons/qarv_vindle_48.png" "$icons/qarv_vindle_256.png" qarv_vindle.ico
