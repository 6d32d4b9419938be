#!/usr/bin/env bash
# End to end on KWin, run inside tests/run-wayland.sh kwin: files copied to the Wayland
# clipboard, Dolphin (native Wayland, full path in its title) showing the destination in
# front, Ferrymark's Paste key pressed through kglobalaccel's invokeShortcut, and the
# copies compared byte for byte.
# Usage: run-wayland.sh kwin kwin_paste.sh PATH-TO-FERRYMARK. Exit 77 when a tool is missing.
set -u
program=$1
. "$(dirname "$0")/wayland_e2e.sh"
require wl-copy wl-paste dolphin dbus-send jq
prepare
printf '[General]\nShowFullPathInTitlebar=true\n' >"$XDG_CONFIG_HOME/dolphinrc"

"$program" >"$logs/ferrymark.log" 2>&1 &
pids+=($!)
wait_for 60 grep -q "Hot keys: kglobalaccel" "$logs/ferrymark.log" ||
    fail "Ferrymark took no keys through kglobalaccel"
grep -q "Window in front: KWin scripting" "$logs/ferrymark.log" ||
    fail "Ferrymark does not ask KWin for the window in front"
grep -q "Clipboard: wl-paste" "$logs/ferrymark.log" || fail "Ferrymark does not read through wl-paste"

QT_QPA_PLATFORM=wayland dolphin --new-window "$HOME/dest" >"$logs/dolphin.log" 2>&1 &
pids+=($!)
# KWin says which window is active through a script of our own that prints it.
# KWin 6 calls it activeWindow, KWin 5 activeClient.
printf '%s\n' 'const w = workspace.activeWindow || workspace.activeClient;' \
    'print("ACTIVE " + (w ? w.resourceClass + " " + w.caption : "none"));' >"$HOME/active.js"
kwin() { dbus-send --session --print-reply --dest=org.kde.KWin "$@"; }
dolphin_in_front() {
    local id
    id=$(kwin /Scripting org.kde.kwin.Scripting.loadScript string:"$HOME/active.js" \
        string:probe | awk '/int32/ {print $2}')
    # KWin 6 puts a script under /Scripting/Script<id>, KWin 5 under /<id>.
    kwin "/Scripting/Script$id" org.kde.kwin.Script.run >/dev/null 2>&1 ||
        kwin "/$id" org.kde.kwin.Script.run >/dev/null
    kwin /Scripting org.kde.kwin.Scripting.unloadScript string:probe >/dev/null
    grep -a "ACTIVE " "$COMPOSITOR_LOG" | tail -n 1 |
        grep -qF "ACTIVE org.kde.dolphin $HOME/dest — Dolphin"
}
wait_for 90 dolphin_in_front || fail "Dolphin is not in front with the destination"

copy_sources

# The tray menu's first key is Paste: its shortcut is Ferrymark's first.
dbus-send --session --print-reply --dest=org.kde.kglobalaccel /component/ferrymark \
    org.kde.kglobalaccel.Component.invokeShortcut string:hotkey-1 >"$logs/invoke.log" 2>&1 ||
    fail "kglobalaccel did not take the shortcut"
expect_copies "$HOME/src/big file.bin" "$HOME/src/folder"
echo "PASS: pasted on KWin through kglobalaccel, KWin's active window and wl-paste"
