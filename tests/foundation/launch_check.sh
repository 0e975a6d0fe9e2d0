#!/usr/bin/env bash
# Starts the real program on the current X display and checks that it shows one
# frameless 800 x 510 window titled "Vantor视频转换器".
set -u
app=$1
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1
# Its settings go to a configuration folder of its own, not the user's.
export XDG_CONFIG_HOME="$work/config"
"$app" &
pid=$!

id=$("$(dirname "$0")/../find-window.sh" "Vantor视频转换器") || {
    echo "FAIL: no window titled Vantor视频转换器"; exit 1; }

count=$(xwininfo -root -tree | grep -c '"Vantor视频转换器"')
[ "$count" -eq 1 ] || { echo "FAIL: $count windows with the title"; exit 1; }

size=$(xwininfo -id "$id" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$size" = "800x510" ] || { echo "FAIL: window is $size"; exit 1; }

# _MOTIF_WM_HINTS with decorations 0 asks the window manager for no frame.
hints=$(xprop -id "$id" _MOTIF_WM_HINTS)
echo "$hints" | grep -Eq '= 0x[0-9a-f]+, 0x[0-9a-f]+, 0x0,' || { echo "FAIL: window has a frame: $hints"; exit 1; }

kill -0 "$pid" || { echo "FAIL: program exited"; exit 1; }
echo "launch check passed: one frameless 800x510 window"
