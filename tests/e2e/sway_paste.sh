#!/usr/bin/env bash
# End to end on sway, run inside tests/run-wayland.sh sway: files copied to the Wayland
# clipboard, Thunar (native Wayland) showing the destination in front, a sway key binding
# pressed through the virtual keyboard runs "ferrymark --paste", and the copies are
# compared byte for byte. Once with x-special/gnome-copied-files, once with text/uri-list.
# Usage: run-wayland.sh sway sway_paste.sh PATH-TO-FERRYMARK. Exit 77 when a tool is
# missing.
set -u
program=$1
. "$(dirname "$0")/wayland_e2e.sh"
require wl-copy wl-paste wtype thunar xfconf-query jq
prepare '[sessionNoticeTold]' sway=true
mkdir -p "$HOME/src2"
head -c 70000 /dev/urandom >"$HOME/src2/second.bin"

swaymsg "bindsym Mod4+Shift+v exec $program --paste" >"$logs/swaymsg.log" 2>&1 ||
    fail "sway took no key binding"
"$program" >"$logs/ferrymark.log" 2>&1 &
pids+=($!)
wait_for 60 grep -q "Window in front: sway" "$logs/ferrymark.log" ||
    fail "Ferrymark did not start on sway"
grep -q "Clipboard: wl-paste" "$logs/ferrymark.log" || fail "Ferrymark does not read through wl-paste"

# Thunar 4.18's setting, and 4.20's title style; each ignores the other's.
xfconf-query -c thunar -p /misc-full-path-in-window-title -n -t bool -s true \
    >"$logs/xfconf.log" 2>&1 || fail "Thunar's full-path title could not be set"
xfconf-query -c thunar -p /misc-window-title-style -n -t string \
    -s THUNAR_WINDOW_TITLE_STYLE_FULL_PATH_WITH_THUNAR_SUFFIX >>"$logs/xfconf.log" 2>&1 ||
    fail "Thunar's title style could not be set"
GDK_BACKEND=wayland thunar "$HOME/dest" >"$logs/thunar.log" 2>&1 &
pids+=($!)
focused() { swaymsg -r -t get_tree | jq -r '.. | objects | select(.focused) | "\(.app_id) \(.name)"'; }
thunar_in_front() { [ "$(focused)" = "thunar $HOME/dest - Thunar" ]; }
wait_for 90 thunar_in_front || fail "Thunar is not in front with the destination: $(focused)"

press() { wtype -M logo -M shift v -m shift -m logo || fail "wtype could not type the key"; }
copy_sources
press
expect_copies "$HOME/src/big file.bin" "$HOME/src/folder"

copy text/uri-list "$(printf '%s\r\n' "$(uri "$HOME/src2/second.bin")")"
press
expect_copies "$HOME/src2/second.bin"

# A copy, not a move: the sources stay.
[ -f "$HOME/src/big file.bin" ] && [ -f "$HOME/src2/second.bin" ] || fail "a source is gone"
echo "PASS: pasted on sway through wl-paste and sway's window in front"
