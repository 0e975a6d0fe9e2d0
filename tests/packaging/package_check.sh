#!/usr/bin/env bash
# Builds the Debian package from a clean release build, installs it with apt,
# starts the installed program on the current X display from a folder it
# cannot write to, checks its window, its desktop entry, its icons and the
# transcoder on PATH, and removes the package again.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
pid=""
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    pkill -x vantor-converter 2>/dev/null || true
    dpkg -s vantor-converter >/dev/null 2>&1 && apt-get remove -y -qq vantor-converter >/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

[ "$(id -u)" -eq 0 ] || { echo "SKIP: installing a package needs root"; exit 0; }

# The sanitizer options of the suite are for its own instrumented binaries.
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
cmake -S "$source_dir" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$work/build" --parallel "$(nproc)" >/dev/null
(cd "$work/build" && cpack -G DEB >/dev/null)
deb=$(ls "$work"/build/vantor-converter_*.deb)
echo "built $(basename "$deb")"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
dpkg -s vantor-converter | grep -q '^Status: install ok installed' || fail "package not installed"
depends=$(dpkg -s vantor-converter | sed -n 's/^Depends: //p')
for needed in ffmpeg vlc-plugin-base fonts-wqy-microhei libqt5widgets5; do
    echo "$depends" | grep -q "$needed" || fail "package does not depend on $needed: $depends"
done

[ -x /usr/bin/vantor-converter ] || fail "no /usr/bin/vantor-converter"
desktop=/usr/share/applications/vantor-converter.desktop
[ -f "$desktop" ] || fail "no desktop entry"
grep -q '^Icon=vantor-converter$' "$desktop" || fail "desktop entry names another icon"
grep -q '^Exec=vantor-converter$' "$desktop" || fail "desktop entry runs something else"
for size in 16 32 48 256; do
    [ -f "/usr/share/icons/hicolor/${size}x${size}/apps/vantor-converter.png" ] || fail "no ${size}px icon"
done
[ -f /usr/share/icons/hicolor/scalable/apps/vantor-converter.svg ] || fail "no scalable icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop entry is not valid"
fi

# The transcoder is found on PATH once the package is installed.
command -v ffmpeg >/dev/null || fail "ffmpeg is not on PATH"
ffmpeg -hide_banner -version >/dev/null || fail "ffmpeg does not run"

# Started by an ordinary user from a folder it may not write to, as a
# desktop may do (root would be allowed to write anywhere).
chmod 755 "$work"
readonly_dir="$work/readonly"
mkdir -p "$readonly_dir"
home="$work/home"
mkdir -p "$home"
chown nobody "$home"
(cd "$readonly_dir" && exec runuser -u nobody -- env -i HOME="$home" DISPLAY="$DISPLAY" \
    PATH=/usr/bin:/bin /usr/bin/vantor-converter) 2>"$work/stderr" &
pid=$!
"$(dirname "$0")/../find-window.sh" "Vantor视频转换器" >/dev/null || {
    cat "$work/stderr"; fail "the installed program shows no window"; }
kill -0 "$pid" || fail "the installed program exited"
[ ! -e "$readonly_dir/conf_main.json" ] || fail "wrote into a read-only folder"
[ -d "$home/Videos" ] || fail "the default output folder was not created"

kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
pkill -x vantor-converter 2>/dev/null || true
apt-get remove -y -qq vantor-converter >/dev/null
[ ! -e /usr/bin/vantor-converter ] || fail "program left after removal"
[ ! -e "$desktop" ] || fail "desktop entry left after removal"
echo "package check passed"
