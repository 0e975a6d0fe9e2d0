#!/usr/bin/env bash
# Runs a command on a private Xvfb display of its own. Xvfb picks a free
# display number itself (-displayfd), so parallel tests never collide.
set -u
screen=${VANTOR_XVFB_SCREEN:-1920x1080x24}
# The screen's density: Xvfb derives the physical size from it, and Qt its
# scale factor from that.
dpi=${VANTOR_XVFB_DPI:-96}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkfifo "$tmp/displayfd"

Xvfb -displayfd 3 -screen 0 "$screen" -dpi "$dpi" -nolisten tcp -noreset 3>"$tmp/displayfd" 2>"$tmp/xvfb.log" &
xvfb=$!
if ! read -r -t 60 number <"$tmp/displayfd"; then
    echo "Xvfb did not start:" >&2
    cat "$tmp/xvfb.log" >&2
    kill "$xvfb" 2>/dev/null
    exit 1
fi

export DISPLAY=":$number"
export QT_QPA_PLATFORM=xcb
# No test draws with OpenGL, and Mesa's software GL, which the xcb plugin
# would load and unload, leaks in a way LeakSanitizer reports on some machines.
export QT_XCB_GL_INTEGRATION=none
"$@"
rc=$?
kill "$xvfb" 2>/dev/null
wait "$xvfb" 2>/dev/null
exit $rc
