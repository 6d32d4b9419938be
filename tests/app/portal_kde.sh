#!/usr/bin/env bash
# Runs the test given inside a KWin session (tests/run-wayland.sh kwin) once the desktop
# portal's KDE backend is on the bus, as Plasma starts it before any program asks: a
# portal started first, by the bus, offers no GlobalShortcuts. Exit 77 without them.
# Usage: run-wayland.sh kwin portal_kde.sh TEST-PROGRAM
set -u
. "$(dirname "$0")/portal_backend.sh"
backend=$(compgen -G "/usr/lib/*/libexec/xdg-desktop-portal-kde" || compgen -G "/usr/libexec/xdg-desktop-portal-kde")
if [ -z "$backend" ] || [ ! -x /usr/libexec/xdg-desktop-portal ]; then
    echo "SKIP: xdg-desktop-portal and xdg-desktop-portal-kde are not installed" >&2
    exit 77
fi
start_backend "$backend" org.freedesktop.impl.portal.desktop.kde "$HOME/portal-kde.log"
"$@"
