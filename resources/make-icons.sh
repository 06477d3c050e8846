#!/bin/sh
# Renders the icon sources (icons/zr.svg, icons/mfiles.svg) into the PNG sizes of the hicolor
# theme and the Windows .ico. The results are committed; run this again after editing an SVG.
# Needs ImageMagick's convert.
set -eu
cd "$(dirname "$0")/icons"
sizes="16 24 32 48 64 128 256"
for name in zr mfiles; do
  for s in $sizes; do
    # Render at the target size (not scaled down from 256) so that small sizes stay sharp.
    convert -background none -density $((96 * s / 256)) "$name.svg" -resize "${s}x${s}" \
      -define png:exclude-chunks=date,time -strip "PNG32:$name-$s.png"
  done
done
# The .ico holds every size up to 256; Windows picks the one that fits.
convert zr-16.png zr-24.png zr-32.png zr-48.png zr-64.png zr-128.png zr-256.png zr.ico
