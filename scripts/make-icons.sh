#!/usr/bin/env bash
# Renders the game's icon, doc/icon/quorvale.svg, into the PNG sizes the desktops' icon
# themes and the web app use and the Windows .ico, and the web app's maskable icon from
# quorvale-maskable.svg, all checked in beside them: run this after changing an SVG.
# Needs rsvg-convert and icotool (Debian: librsvg2-bin, icoutils).
set -euo pipefail
cd "$(dirname "$0")/../doc/icon"
for size in 16 24 32 48 64 128 192 256 512; do
  rsvg-convert --width "$size" --height "$size" quorvale.svg >"quorvale-$size.png"
done
icotool --create --output=quorvale.ico quorvale-16.png quorvale-24.png quorvale-32.png \
  quorvale-48.png --raw=quorvale-256.png
rsvg-convert --width 512 --height 512 quorvale-maskable.svg >quorvale-maskable-512.png
