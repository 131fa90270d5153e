#!/usr/bin/env sh
# Renders the PNG icons from tavrin.svg (needs rsvg-convert, Debian package librsvg2-bin).
set -eu
cd "$(dirname "$0")"
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" tavrin.svg -o "tavrin-$size.png"
done
