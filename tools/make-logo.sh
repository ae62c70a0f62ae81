#!/usr/bin/env bash
# Renders tools/logo.svg into the multi-size assets/logo.ico (the window icon)
# and into the menu icons packaging/icons/sakanova-<size>.png that the install
# rules place under share/icons/hicolor.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick; only run when the drawing changes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
icons=$here/../packaging/icons
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sizes=(16 24 32 48 64 128 256)
mkdir -p "$icons"
for s in "${sizes[@]}"; do
    rsvg-convert -w "$s" -h "$s" "$here/logo.svg" -o "$tmp/logo_$s.png"
    # Without the time stamps ImageMagick would add, an unchanged drawing
    # gives byte-identical files.
    convert "$tmp/logo_$s.png" -strip "$icons/sakanova-$s.png"
done
pngs=()
for s in "${sizes[@]}"; do pngs+=("$tmp/logo_$s.png"); done
convert "${pngs[@]}" "$here/../assets/logo.ico"
