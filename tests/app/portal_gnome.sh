#!/usr/bin/env bash
# Runs the test given inside a GNOME Shell session (tests/run-wayland.sh gnome) once the
# desktop portal's GNOME backend is on the bus, as GNOME's session starts it. Exit 77
# where the GNOME backend offers no GlobalShortcuts (GNOME 47 and older).
# Usage: run-wayland.sh gnome portal_gnome.sh FERRYMARK TEST-PROGRAM [ARGUMENT...]
set -u
ferrymark=$1
shift
. "$(dirname "$0")/portal_backend.sh"
backend=/usr/libexec/xdg-desktop-portal-gnome
portal=/usr/share/xdg-desktop-portal/portals/gnome.portal
if [ ! -x "$backend" ] || [ ! -x /usr/libexec/xdg-desktop-portal ]; then
    echo "SKIP: xdg-desktop-portal and xdg-desktop-portal-gnome are not installed" >&2
    exit 77
fi
if ! grep -q 'org\.freedesktop\.impl\.portal\.GlobalShortcuts' "$portal"; then
    echo "SKIP: this GNOME's portal backend has no GlobalShortcuts (GNOME 48 has them)" >&2
    exit 77
fi
# Our desktop entry, installed: the portal takes only the app id of an entry whose program
# is there.
mkdir -p "$HOME/.local/share/applications"
sed "s|^Exec=ferrymark|Exec=$ferrymark|" "$(dirname "$0")/../../resources/org.ferrymark.Ferrymark.desktop" \
    >"$HOME/.local/share/applications/org.ferrymark.Ferrymark.desktop"
start_backend "$backend" org.freedesktop.impl.portal.desktop.gnome "$HOME/portal-gnome.log"
"$@"
status=$?
if [ "$status" -ne 0 ]; then
    echo "--- GNOME Shell:" >&2
    tail -n 40 "$COMPOSITOR_LOG" >&2
    echo "--- the portal's GNOME backend:" >&2
    tail -n 40 "$HOME/portal-gnome.log" >&2
fi
exit "$status"
