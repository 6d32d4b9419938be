#!/usr/bin/env bash
# Installs every Debian package Ferrymark needs to build, run and test, on Debian 12
# (bookworm) or Debian 13 (trixie): the few packages that differ are picked by release.
# Usage: install-deps.sh                 install what this machine lacks
#        install-deps.sh --print [RELEASE] print the list for RELEASE (default: this one)
set -euo pipefail

release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
print=
if [ "${1:-}" = --print ]; then
    print=1
    release=${2:-$release}
fi

packages=(
    build-essential cmake ninja-build pkg-config git
    libboost-filesystem-dev libboost-dev
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools libgl-dev
    libxcb1-dev libxcb-xkb-dev libxkbcommon-dev libxkbcommon-x11-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    clang
    xvfb xauth xdotool x11-utils x11-xkb-utils openbox dbus-x11 dbus-daemon
    rsync util-linux bc locales fonts-dejavu-core xfonts-base acl attr
    nautilus thunar xfconf trayer xclip imagemagick
    dunst
    libxxhash-dev xxhash nbdkit nbdkit-plugin-python libnbd-bin fuse3 e2fsprogs
    sway wl-clipboard wtype qt6-wayland jq kwin-wayland
    xdg-desktop-portal xdg-desktop-portal-kde mutter xwayland python3-gi
    nemo caja dolphin pcmanfm-qt libglib2.0-bin
    mmdebstrap mandoc poppler-utils appstream desktop-file-utils qt6-translations-l10n
    udisks2 udev eject dbus-bin fdisk mount libnotificationmanager1
)
case $release in
    bookworm)
        # clang 14 and its sanitizer and fuzzer runtime; Dolphin and KWin 5 are Qt 5
        # programs, which need Qt 5's Wayland platform.
        packages+=(libclang-rt-14-dev qtwayland5)
        ;;
    trixie)
        # clang 19; KDE Gear 25.04 and Plasma 6 are Qt 6 programs. GNOME 48's portal
        # backend has GlobalShortcuts, tested inside a headless GNOME Shell.
        packages+=(libclang-rt-19-dev gnome-shell xdg-desktop-portal-gnome)
        ;;
    *)
        echo "install-deps.sh: Debian 12 (bookworm) or 13 (trixie) expected, not '$release'" >&2
        exit 2
        ;;
esac

if [ -n "$print" ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

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
