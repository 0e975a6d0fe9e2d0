#!/usr/bin/env bash
# Renders every picture from its source into a scratch folder and compares
# the bytes with the committed ones, so that a source changed without
# rendering (or a picture edited by hand) is caught.
set -euo pipefail
top=$1
committed="$top/resources/images/images"
fresh=$(mktemp -d)
trap 'rm -rf "$fresh"' EXIT

"$top/scripts/render-pictures.sh" "$fresh"

status=0
for file in "$fresh"/*; do
    name=$(basename "$file")
    if ! cmp -s "$file" "$committed/$name"; then
        echo "out of date: resources/images/images/$name" >&2
        status=1
    fi
done
for file in "$committed"/*; do
    name=$(basename "$file")
    if [ ! -e "$fresh/$name" ]; then
        echo "no source renders: resources/images/images/$name" >&2
        status=1
    fi
done
exit $status
