#!/usr/bin/env bash
# End to end on sway, run inside tests/run-wayland.sh sway: files copied to the Wayland
# clipboard, Thunar (native Wayland) showing the destination in front, a sway key binding
# pressed through the virtual keyboard runs "ferrymark --paste", and the copies are
# compared byte for byte. Once with x-special/gnome-copied-files, once with text/uri-list.
# Usage: run-wayland.sh sway sway_paste.sh PATH-TO-FERRYMARK. Exit 77 when a tool is
# missing.
set -u
program=$1
logs=$HOME/logs
mkdir -p "$logs"
fail() {
    echo "FAIL: $*" >&2
    for log in "$logs"/*.log; do echo "--- $log" >&2; tail -n 30 "$log" >&2; done
    exit 1
}
for tool in wl-copy wl-paste wtype thunar xfconf-query jq; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed; run scripts/install-deps.sh" >&2
        exit 77
    fi
done
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done; wait 2>/dev/null' EXIT

. "$(dirname "$0")/../wait_for.sh"

# What is copied: names with a space and non-ASCII letters, a folder, random bytes.
mkdir -p "$HOME/src/folder" "$HOME/src2" "$HOME/dest" "$XDG_CONFIG_HOME/Ferrymark"
head -c 3000000 /dev/urandom >"$HOME/src/big file.bin"
printf 'small\n' >"$HOME/src/folder/Grüße.txt"
head -c 70000 /dev/urandom >"$HOME/src2/second.bin"
printf '%s\n' '[General]' licenseAgreed=true helpGuideLaunched=true startItem=true \
    fileManagerEntriesOffered=true '[sessionNoticeTold]' sway=true \
    >"$XDG_CONFIG_HOME/Ferrymark/Ferrymark.ini"

swaymsg "bindsym Mod4+Shift+v exec $program --paste" >"$logs/swaymsg.log" 2>&1 ||
    fail "sway took no key binding"
"$program" >"$logs/ferrymark.log" 2>&1 &
pids+=($!)
wait_for 60 grep -q "Window in front: sway" "$logs/ferrymark.log" ||
    fail "Ferrymark did not start on sway"
grep -q "Clipboard: wl-paste" "$logs/ferrymark.log" || fail "Ferrymark does not read through wl-paste"

xfconf-query -c thunar -p /misc-full-path-in-window-title -n -t bool -s true \
    >"$logs/xfconf.log" 2>&1 || fail "Thunar's full-path title could not be set"
GDK_BACKEND=wayland thunar "$HOME/dest" >"$logs/thunar.log" 2>&1 &
pids+=($!)
focused() { swaymsg -r -t get_tree | jq -r '.. | objects | select(.focused) | "\(.app_id) \(.name)"'; }
thunar_in_front() { [ "$(focused)" = "thunar $HOME/dest - Thunar" ]; }
wait_for 90 thunar_in_front || fail "Thunar is not in front with the destination: $(focused)"

# Puts one MIME type on the clipboard and waits until the clipboard offers it.
copy() {
    local type=$1
    wl-copy --type "$type" "$2" >"$logs/wl-copy.log" 2>&1 || fail "wl-copy failed"
    offers() { wl-paste --list-types | grep -qx "$type"; }
    wait_for 30 offers || fail "the clipboard does not offer $type"
}
# Presses the binding and waits until each source has its byte-for-byte copy in dest.
paste_and_check() {
    wtype -M logo -M shift v -m shift -m logo || fail "wtype could not type the key"
    local src dst
    for src in "$@"; do
        dst=$HOME/dest/$(basename "$src")
        wait_for 120 diff -r "$src" "$dst" || fail "$dst is not a copy of $src"
    done
}
uri() { printf 'file://%s' "$(jq -rn --arg p "$1" '$p | @uri' | sed 's/%2F/\//g')"; }

copy x-special/gnome-copied-files "$(printf 'copy\n%s\n%s' "$(uri "$HOME/src/big file.bin")" \
    "$(uri "$HOME/src/folder")")"
paste_and_check "$HOME/src/big file.bin" "$HOME/src/folder"

copy text/uri-list "$(printf '%s\r\n' "$(uri "$HOME/src2/second.bin")")"
paste_and_check "$HOME/src2/second.bin"

# A copy, not a move: the sources stay.
[ -f "$HOME/src/big file.bin" ] && [ -f "$HOME/src2/second.bin" ] || fail "a source is gone"
echo "PASS: pasted on sway through wl-paste and sway's window in front"
