#!/usr/bin/env bash
# Runs the test given inside a KWin session (tests/run-wayland.sh kwin) once the desktop
# portal's KDE backend is on the bus, as Plasma starts it before any program asks: a
# portal started first, by the bus, offers no GlobalShortcuts. Exit 77 without them.
# Usage: run-wayland.sh kwin portal_kde.sh TEST-PROGRAM
set -u
. "$(dirname "$0")/../wait_for.sh"
backend=$(compgen -G "/usr/lib/*/libexec/xdg-desktop-portal-kde" || compgen -G "/usr/libexec/xdg-desktop-portal-kde")
if [ -z "$backend" ] || [ ! -x /usr/libexec/xdg-desktop-portal ]; then
    echo "SKIP: xdg-desktop-portal and xdg-desktop-portal-kde are not installed" >&2
    exit 77
fi
"$backend" >"$HOME/portal-kde.log" 2>&1 &
backend_pid=$!
trap 'kill "$backend_pid" 2>/dev/null' EXIT
on_bus() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.GetNameOwner string:org.freedesktop.impl.portal.desktop.kde
}
if ! wait_for 60 on_bus; then
    echo "the KDE portal backend did not start:" >&2
    cat "$HOME/portal-kde.log" >&2
    exit 1
fi
"$@"
