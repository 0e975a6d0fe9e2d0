#!/usr/bin/env bash
# Builds the Debian package from a clean release build and holds it to
# Debian's checker (lintian: no error, no warning), checks the manual page,
# the desktop entry and the AppStream listing it carries, installs it with
# apt, starts the installed program on the current X display from a folder it
# cannot write to, checks its window against the desktop entry, and removes
# the package again.
set -euo pipefail
source_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
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

app_id=com.example.vantor_converter
page_source="$source_dir/packaging/vantor-converter.1"

# The page source renders without a single groff warning, also where the
# locale has no UTF-8 (CI runs with none set).
for locale in C C.UTF-8; do
    LC_ALL=$locale MANWIDTH=80 man --warnings -l "$page_source" >"$work/page" 2>"$work/page.err"
    [ ! -s "$work/page.err" ] || { cat "$work/page.err"; fail "manual page warns under $locale"; }
    grep -q 'vantor-converter - desktop video converter' "$work/page" || fail "manual page has no NAME line"
done

# The sanitizer options of the suite are for its own instrumented binaries.
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
cmake -S "$source_dir" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DVANTOR_BUILD_TESTS=OFF >/dev/null
cmake --build "$work/build" --parallel "$(nproc)" >/dev/null
(cd "$work/build" && cpack -G DEB >/dev/null)
deb=$(ls "$work"/build/vantor-converter_*.deb)
echo "built $(basename "$deb")"

lintian --fail-on error,warning "$deb" >"$work/lintian" 2>&1 || {
    cat "$work/lintian"; fail "lintian rejects the package"; }
! grep -E '^[EW]: ' "$work/lintian" || fail "lintian reports errors or warnings"

# What the package carries, validated together: the listing against its
# desktop entry and icon, the entry on its own.
tree="$work/tree"
dpkg-deb -x "$deb" "$tree"
desktop_in_tree="$tree/usr/share/applications/$app_id.desktop"
[ -f "$tree/usr/share/metainfo/$app_id.metainfo.xml" ] || fail "no metainfo in the package"
appstreamcli validate-tree --no-net --explain "$tree" || fail "AppStream listing is not valid"
desktop-file-validate "$desktop_in_tree" || fail "desktop entry is not valid"

# The version in the changelog, the listing's latest release and the
# manual page follow the package's.
version=$(dpkg-deb -f "$deb" Version)
changelog_version=$(dpkg-parsechangelog -l "$tree/usr/share/doc/vantor-converter/changelog.gz" -S Version)
[ "$changelog_version" = "$version" ] || fail "changelog is at $changelog_version, the package at $version"
release=$(grep -o -m1 '<release version="[^"]*"' "$tree/usr/share/metainfo/$app_id.metainfo.xml" | cut -d'"' -f2)
[ "$release" = "$version" ] || fail "metainfo's latest release is $release, the package is $version"
grep -q "^\.TH .*\"vantor-converter $version\"" "$page_source" || fail "manual page names another version"

# The entry offers to open exactly the types of the extensions the program
# accepts (shared-mime-info's globs map each extension to its type). An
# extension that a text format shares (.ts, Qt's translations) stands for
# its video type only.
extensions=$(sed -n '/fillOnce(inputExtensions, {/,/});/p' "$source_dir/params/catalogue.cpp" |
    tr -d '\n' | sed 's/.*fillOnce(inputExtensions, {\([^}]*\)});.*/\1/' | tr -d '" .' | tr ',' '\n')
[ -n "$extensions" ] || fail "no accepted extensions found in the catalogue"
expected=$(for ext in $extensions; do
    awk -F: -v glob="*.$ext" '$3 == glob && $2 !~ /^text\// {print $2; exit}' /usr/share/mime/globs2
done | sort -u)
declared=$(sed -n 's/^MimeType=//p' "$desktop_in_tree" | tr ';' '\n' | sed '/^$/d' | sort -u)
[ "$declared" = "$expected" ] || fail "MimeType= declares
$declared
but the accepted extensions are
$expected"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
dpkg -s vantor-converter | grep -q '^Status: install ok installed' || fail "package not installed"
depends=$(dpkg -s vantor-converter | sed -n 's/^Depends: //p')
for needed in ffmpeg vlc-plugin-base fonts-wqy-microhei libqt5widgets5; do
    echo "$depends" | grep -q "$needed" || fail "package does not depend on $needed: $depends"
done

[ -x /usr/bin/vantor-converter ] || fail "no /usr/bin/vantor-converter"
desktop=/usr/share/applications/$app_id.desktop
[ -f "$desktop" ] || fail "no desktop entry"
grep -q '^Icon=vantor-converter$' "$desktop" || fail "desktop entry names another icon"
grep -q '^Exec=vantor-converter %F$' "$desktop" || fail "desktop entry runs something else"
for size in 16 32 48 256; do
    [ -f "/usr/share/icons/hicolor/${size}x${size}/apps/vantor-converter.png" ] || fail "no ${size}px icon"
done
[ -f /usr/share/icons/hicolor/scalable/apps/vantor-converter.svg ] || fail "no scalable icon"

# The installed page is found by name and renders cleanly.
MANWIDTH=80 man --warnings vantor-converter >"$work/man" 2>"$work/man.err" || {
    cat "$work/man.err"; fail "man vantor-converter does not render"; }
[ ! -s "$work/man.err" ] || { cat "$work/man.err"; fail "man vantor-converter warns"; }
grep -q '^SYNOPSIS' "$work/man" && grep -q 'conf_main.json' "$work/man" ||
    fail "man vantor-converter shows another page"

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
window=$("$here/../find-window.sh" "Vantor视频转换器") || {
    cat "$work/stderr"; fail "the installed program shows no window"; }
kill -0 "$pid" || fail "the installed program exited"
[ ! -e "$readonly_dir/conf_main.json" ] || fail "wrote into a read-only folder"
[ -d "$home/Videos" ] || fail "the default output folder was not created"

# Docks group the window under the menu entry by its WM_CLASS class.
wm_class=$(xprop -id "$window" WM_CLASS | sed -n 's/.*= ".*", "\(.*\)"$/\1/p')
startup_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
[ -n "$wm_class" ] && [ "$wm_class" = "$startup_class" ] ||
    fail "the window's class is '$wm_class', the desktop entry expects '$startup_class'"

kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
pkill -x vantor-converter 2>/dev/null || true
apt-get remove -y -qq vantor-converter >/dev/null
for file in /usr/bin/vantor-converter "$desktop" /usr/share/metainfo/$app_id.metainfo.xml \
    /usr/share/man/man1/vantor-converter.1.gz; do
    [ ! -e "$file" ] || fail "$file left after removal"
done
echo "package check passed"
