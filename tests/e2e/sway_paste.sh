#!/usr/bin/env bash
# End to end on a headless sway as an unprivileged user: files copied to the Wayland
# clipboard, Thunar (native Wayland) showing the destination in front, a sway key binding
# pressed through the virtual keyboard runs "ferrymark --paste", and the copies are
# compared byte for byte. Once with x-special/gnome-copied-files, once with text/uri-list.
# Usage: sway_paste.sh PATH-TO-FERRYMARK. Exit 77 when a tool is missing.
set -u
program=$1
fail() {
    echo "FAIL: $*" >&2
    for log in "$tmp"/*.log; do echo "--- $log" >&2; tail -n 30 "$log" >&2; done
    exit 1
}
for tool in sway swaymsg wl-copy wl-paste wtype thunar xfconf-query dbus-daemon jq; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed; run scripts/install-deps.sh" >&2
        exit 77
    fi
done

tmp=$(mktemp -d)
chmod 755 "$tmp"
user=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
    user=nobody
fi
rt=$tmp/run
home=$tmp/home
mkdir -p "$rt" "$home/.config/Ferrymark" "$home/src/folder" "$home/src2" "$home/dest"
cp "$program" "$tmp/ferrymark"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT

# What is copied: names with a space and non-ASCII letters, a folder, random bytes.
head -c 3000000 /dev/urandom >"$home/src/big file.bin"
printf 'small\n' >"$home/src/folder/Grüße.txt"
head -c 70000 /dev/urandom >"$home/src2/second.bin"
printf '[General]\nlicenseAgreed=true\nhelpGuideLaunched=true\nstartItem=true\n%s\n%s\n' \
    'fileManagerEntriesOffered=true' '[sessionNoticeTold]' >"$home/.config/Ferrymark/Ferrymark.ini"
printf 'sway=true\n' >>"$home/.config/Ferrymark/Ferrymark.ini"
cat >"$tmp/sway.config" <<EOC
output HEADLESS-1 resolution 1280x800
bindsym Mod4+Shift+v exec $tmp/ferrymark --paste
EOC
chown -R "$user" "$rt" "$home"
chmod 700 "$rt"

as_user() {
    if [ "$user" = "$(id -un)" ]; then "$@"; else runuser -u "$user" -- "$@"; fi
}
base=(env -i "HOME=$home" "XDG_RUNTIME_DIR=$rt" "XDG_CONFIG_HOME=$home/.config"
    "PATH=/usr/local/bin:/usr/bin:/bin" "LANG=C.UTF-8")

# Waits up to $1 seconds for the command after it to succeed, polling.
wait_for() {
    local seconds=$1
    shift
    local end=$((SECONDS + seconds))
    while [ "$SECONDS" -lt "$end" ]; do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    return 1
}

as_user "${base[@]}" dbus-daemon --session --nofork --print-address=3 3>"$rt/bus" \
    >"$tmp/dbus.log" 2>&1 &
pids+=($!)
wait_for 30 test -s "$rt/bus" || fail "the session bus did not start"
bus=$(head -n 1 "$rt/bus")

as_user "${base[@]}" "DBUS_SESSION_BUS_ADDRESS=$bus" WLR_BACKENDS=headless \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$tmp/sway.config" \
    >"$tmp/sway.log" 2>&1 &
pids+=($!)
sway_socket() { compgen -G "$rt/sway-ipc.*.sock"; }
wait_for 60 sway_socket || fail "sway did not start"
wait_for 60 test -S "$rt/wayland-1" || fail "sway made no Wayland socket"
session=("${base[@]}" "DBUS_SESSION_BUS_ADDRESS=$bus" WAYLAND_DISPLAY=wayland-1
    "SWAYSOCK=$(sway_socket)" XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway)
in_session() { as_user "${session[@]}" "$@"; }

in_session "$tmp/ferrymark" >"$tmp/ferrymark.log" 2>&1 &
pids+=($!)
wait_for 60 grep -q "Window in front: sway" "$tmp/ferrymark.log" ||
    fail "Ferrymark did not start on sway"
grep -q "Clipboard: wl-paste" "$tmp/ferrymark.log" || fail "Ferrymark does not read through wl-paste"

in_session xfconf-query -c thunar -p /misc-full-path-in-window-title -n -t bool -s true \
    >"$tmp/xfconf.log" 2>&1 || fail "Thunar's full-path title could not be set"
in_session env GDK_BACKEND=wayland thunar "$home/dest" >"$tmp/thunar.log" 2>&1 &
pids+=($!)
focused() {
    in_session swaymsg -r -t get_tree | jq -r '.. | objects | select(.focused) | "\(.app_id) \(.name)"'
}
thunar_in_front() { [ "$(focused)" = "thunar $home/dest - Thunar" ]; }
wait_for 90 thunar_in_front || fail "Thunar is not in front with the destination: $(focused)"

# Puts one MIME type on the clipboard and waits until the clipboard offers it.
copy() {
    local type=$1 body=$2
    in_session wl-copy --type "$type" "$body" >"$tmp/wl-copy.log" 2>&1 ||
        fail "wl-copy failed"
    offers() { in_session wl-paste --list-types | grep -qx "$type"; }
    wait_for 30 offers || fail "the clipboard does not offer $type"
}
# Presses the binding and waits until each source has its byte-for-byte copy in dest.
paste_and_check() {
    in_session wtype -M logo -M shift v -m shift -m logo || fail "wtype could not type the key"
    local src
    for src in "$@"; do
        local dst=$home/dest/$(basename "$src")
        wait_for 120 diff -r "$src" "$dst" || fail "$dst is not a copy of $src"
    done
}

uri() { printf 'file://%s' "$(jq -rn --arg p "$1" '$p | @uri' | sed 's/%2F/\//g')"; }
copy x-special/gnome-copied-files "$(printf 'copy\n%s\n%s' "$(uri "$home/src/big file.bin")" \
    "$(uri "$home/src/folder")")"
paste_and_check "$home/src/big file.bin" "$home/src/folder"

copy text/uri-list "$(printf '%s\r\n' "$(uri "$home/src2/second.bin")")"
paste_and_check "$home/src2/second.bin"

# A copy, not a move: the sources stay.
[ -f "$home/src/big file.bin" ] && [ -f "$home/src2/second.bin" ] || fail "a source is gone"
echo "PASS: pasted on sway through wl-paste and sway's window in front"
