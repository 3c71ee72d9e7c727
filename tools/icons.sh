#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the PNG sizes of the program icons from their SVG drawings (dist/icons/*.svg) into
# dist/icons/<size>/. Run after changing a drawing and commit the PNG files.
set -euo pipefail
cd "$(dirname "$0")/../dist/icons"
for svg in *.svg; do
    for size in 16 22 24 32 48 64 128 256; do
        mkdir -p "$size"
        rsvg-convert --width "$size" --height "$size" "$svg" --output "$size/${svg%.svg}.png"
    done
done
