#!/usr/bin/env bash
# Installs every Debian 12 package Ferrymark needs to build, run and test.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    libboost-filesystem-dev libboost-dev
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools libgl-dev
    libxcb1-dev libxcb-xkb-dev libxkbcommon-dev libxkbcommon-x11-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    clang libclang-rt-14-dev
    xvfb xauth xdotool x11-utils x11-xkb-utils openbox dbus-x11 dbus-daemon
    rsync util-linux bc locales fonts-dejavu-core xfonts-base acl attr
    nautilus thunar xfconf trayer xclip imagemagick
    dunst
    sway wl-clipboard wtype qt6-wayland jq kwin-wayland qtwayland5
    xdg-desktop-portal xdg-desktop-portal-kde mutter xwayland python3-gi
    nemo caja dolphin pcmanfm-qt libglib2.0-bin
    mmdebstrap mandoc poppler-utils appstream desktop-file-utils qt6-translations-l10n
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# A locale with a decimal comma, so that the tests can check that no text follows it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    "${sudo_cmd[@]}" sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    "${sudo_cmd[@]}" locale-gen >/dev/null
fi
