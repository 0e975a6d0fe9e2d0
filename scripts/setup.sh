#!/usr/bin/env bash
# Installs the Debian packages the converter needs to build, run and test.
# Only missing packages are installed; run as root (or through sudo).
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qtbase5-dev qtbase5-dev-tools qttools5-dev-tools
    libvlc-dev libvlc-bin vlc-plugin-base vlc-plugin-video-output
    ffmpeg libavformat-dev
    xvfb xauth x11-utils xdotool dbus
    qttranslations5-l10n
    fonts-wqy-microhei fontconfig procps
    librsvg2-bin icoutils
    clang libclang-rt-14-dev
    lintian appstream desktop-file-utils shared-mime-info man-db
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
