#!/usr/bin/env bash
# Sets everything up, builds the converter and launches it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

"$top/scripts/setup.sh"
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$top/build" --parallel "$(nproc)"

app="$top/build/app/vantor-converter"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting the converter on a virtual display (Xvfb)." >&2
    exec "$top/tests/xvfb-run.sh" "$app"
fi
exec "$app"
