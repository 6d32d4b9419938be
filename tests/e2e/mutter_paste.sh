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
logs=$HOME/logs
mkdir -p "$logs"
. "$(dirname "$0")/../wait_for.sh"
fail() {
    echo "FAIL: $*" >&2
    for log in "$logs"/*.log; do echo "--- $log" >&2; tail -n 30 "$log" >&2; done
    exit 1
}
for tool in wl-copy wl-paste jq; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed; run scripts/install-deps.sh" >&2
        exit 77
    fi
done
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done; wait 2>/dev/null' EXIT

mkdir -p "$HOME/src/folder" "$HOME/dest" "$XDG_CONFIG_HOME/Ferrymark"
head -c 3000000 /dev/urandom >"$HOME/src/big file.bin"
printf 'small\n' >"$HOME/src/folder/Grüße.txt"
printf '%s\n' '[General]' licenseAgreed=true helpGuideLaunched=true startItem=true \
    fileManagerEntriesOffered=true '[sessionNoticeTold]' 'GNOME%20on%20Wayland=true' \
    >"$XDG_CONFIG_HOME/Ferrymark/Ferrymark.ini"

uri() { printf 'file://%s' "$(jq -rn --arg p "$1" '$p | @uri' | sed 's/%2F/\//g')"; }
wl-copy --type x-special/gnome-copied-files "$(printf 'copy\n%s\n%s' \
    "$(uri "$HOME/src/big file.bin")" "$(uri "$HOME/src/folder")")" >"$logs/wl-copy.log" 2>&1 ||
    fail "wl-copy failed"
offers() { wl-paste --list-types | grep -qx x-special/gnome-copied-files; }
wait_for 30 offers || fail "the clipboard does not offer the copied files"

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
for src in "$HOME/src/big file.bin" "$HOME/src/folder"; do
    dst=$HOME/dest/$(basename "$src")
    wait_for 120 diff -r "$src" "$dst" || fail "$dst is not a copy of $src"
done
echo "PASS: on Mutter, the Wayland clipboard read as an XWayland client and pasted"
