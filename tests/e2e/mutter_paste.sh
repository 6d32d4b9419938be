#!/usr/bin/env bash
# End to end on GNOME's compositor, run inside tests/run-wayland.sh mutter: a file list
# put on the clipboard by a Wayland client (as Nautilus does), Ferrymark started as it
# starts there (an XWayland client), reads it through X11, and pastes into a folder given
# on the command line; the copies are compared byte for byte. Without a folder it
# refuses: GNOME tells no program which window is in front.
# Usage: run-wayland.sh mutter mutter_paste.sh PATH-TO-FERRYMARK. Exit 77 when a tool
# is missing.
set -u
program=$1
. "$(dirname "$0")/wayland_e2e.sh"
require wl-copy wl-paste jq
prepare '[sessionNoticeTold]' 'GNOME%20on%20Wayland=true'
copy_sources

"$program" >"$logs/ferrymark.log" 2>&1 &
pids+=($!)
wait_for 60 grep -q "Hot keys:" "$logs/ferrymark.log" || fail "Ferrymark did not start"
grep -q "Desktop session: GNOME on Wayland" "$logs/ferrymark.log" || fail "not seen as GNOME"
grep -q "Qt platform: xcb" "$logs/ferrymark.log" || fail "Ferrymark is no XWayland client"

"$program" --paste >"$logs/paste-no-folder.log" 2>&1 || fail "--paste was not delivered"
wait_for 30 grep -q "Paste: GNOME on Wayland tells no program" "$logs/ferrymark.log" ||
    fail "a paste without a folder was not refused with GNOME's reason"
[ -z "$(ls -A "$HOME/dest")" ] || fail "a paste without a folder wrote into dest"

"$program" --paste "$HOME/dest" >"$logs/paste.log" 2>&1 || fail "--paste FOLDER was not delivered"
expect_copies "$HOME/src/big file.bin" "$HOME/src/folder"
echo "PASS: on Mutter, the Wayland clipboard read as an XWayland client and pasted"
