#!/usr/bin/env bash
# Renders the pictures of the resource collection from their SVG sources:
# resources/images/src/NAME.svg becomes resources/images/images/NAME.png at
# the size the SVG declares and NAME@2x.png at twice that size, which Qt
# picks by itself on screens of twice the density (in style sheets too);
# resources/images/src/icon/ becomes main.ico.
# Run it after changing a source and commit the sources and the outputs
# together; with a folder argument it writes there instead. The same tools
# give the same bytes.
#
# Needs rsvg-convert (librsvg2-bin), icotool (icoutils) and, for the guide
# picture's text, the font "WenQuanYi Micro Hei" (fonts-wqy-microhei).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
src="$top/resources/images/src"
out="${1:-$top/resources/images/images}"

for tool in rsvg-convert icotool; do
    if ! command -v "$tool" >/dev/null; then
        echo "render-pictures: $tool is missing (apt-get install librsvg2-bin icoutils)" >&2
        exit 1
    fi
done
if ! fc-list | grep -q 'WenQuanYi Micro Hei'; then
    echo "render-pictures: font WenQuanYi Micro Hei is missing (apt-get install fonts-wqy-microhei)" >&2
    exit 1
fi

mkdir -p "$out"
for svg in "$src"/*.svg; do
    name=$(basename "$svg" .svg)
    rsvg-convert --format=png --output="$out/$name.png" "$svg"
    rsvg-convert --format=png --zoom=2 --output="$out/$name@2x.png" "$svg"
done

# The icon: the large sizes from the detailed drawing, 16 and 24 from the
# heavier one. The 256 image stays PNG inside the icon, the others are
# stored as bitmaps, which every reader of the format understands.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sizes=(256 128 96 72 64 48 32 24 16)
for size in "${sizes[@]}"; do
    drawing="$src/icon/main.svg"
    [ "$size" -gt 24 ] || drawing="$src/icon/main-small.svg"
    rsvg-convert --format=png --width="$size" --height="$size" \
        --output="$tmp/main-$size.png" "$drawing"
done
icotool --create --output="$out/main.ico" --raw="$tmp/main-256.png" \
    $(for size in "${sizes[@]:1}"; do echo "$tmp/main-$size.png"; done)
