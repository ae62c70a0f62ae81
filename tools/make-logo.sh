#!/usr/bin/env bash
# Renders tools/logo.svg into the multi-size assets/logo.ico.
# Needs rsvg-convert (librsvg2-bin) and ImageMagick; only run when the drawing changes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sizes=(16 24 32 48 64 128 256)
for s in "${sizes[@]}"; do
    rsvg-convert -w "$s" -h "$s" "$here/logo.svg" -o "$tmp/logo_$s.png"
done
pngs=()
for s in "${sizes[@]}"; do pngs+=("$tmp/logo_$s.png"); done
convert "${pngs[@]}" "$here/../assets/logo.ico"
