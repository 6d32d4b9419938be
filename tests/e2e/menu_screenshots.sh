#!/usr/bin/env bash
# Pictures of each file manager's own menu with Ferrymark's entries, after fm-entries has
# written them with their keys, for a look by eye: the background menu of an empty folder
# (Thunar, Nemo, Dolphin, PCManFM-Qt), its Scripts submenu (Caja), and the Scripts submenu
# of a selected item (Nautilus, whose background menu has no scripts). Run inside
# tests/run-x11.sh:
#   tests/run-x11.sh tests/e2e/menu_screenshots.sh build OUT-FOLDER
set -u
build=$(realpath "$1")
out=$(realpath -m "$2")
mkdir -p "$out"
root=$(mktemp -d)
home=$root/home
mkdir -p "$home" "$root/dest" "$root/item" "$root/run"
touch "$root/item/a file.txt"
chmod 700 "$root/run"
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
    XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$root/run NO_AT_BRIDGE=1 GTK_A11Y=none \
    GSETTINGS_BACKEND=memory QT_QPA_PLATFORM=xcb LANG=C.UTF-8
# A bus of our own, started with this environment: the services it starts (gvfsd,
# xfconfd) must share HOME and XDG_RUNTIME_DIR with the file managers.
eval "$(dbus-launch --sh-syntax)"
cleanup() {
    kill "$DBUS_SESSION_BUS_PID" 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT
"$build/tools/fm-entries" add "$home" "$build/app/ferrymark" --keys >/dev/null

# name | command | window class | folder | keys after the menu opens | item menu
while IFS='|' read -r name command class folder keys item; do
    $command "$root/$folder" >/dev/null 2>&1 &
    pid=$!
    wid=
    for _ in $(seq 120); do
        wid=$(xdotool search --onlyvisible --class "^$class\$" 2>/dev/null | tail -1)
        [ -n "$wid" ] && break
        sleep 0.5
    done
    if [ -z "$wid" ]; then
        echo "$name: no window" >&2
        kill "$pid" 2>/dev/null
        continue
    fi
    sleep 3  # the folder listed
    xdotool windowactivate --sync "$wid" 2>/dev/null
    xdotool windowmove "$wid" 0 0 windowsize "$wid" 900 600
    sleep 1
    if [ "$item" = item ]; then
        xdotool mousemove --window "$wid" 600 450 click 1
        sleep 0.3
        xdotool key ctrl+a
        sleep 0.5
        xdotool key shift+F10
    else
        xdotool mousemove --window "$wid" 600 450 click 3
    fi
    sleep 1.5
    for key in $keys; do
        xdotool key "$key"
        sleep 0.5
    done
    import -window root "$out/menu-$name.png"
    echo "$out/menu-$name.png"
    xdotool key Escape Escape Escape
    kill "$pid"
    sleep 1
done <<'LIST'
nautilus|nautilus --new-window|org.gnome.Nautilus|item|Down Down Right|item
thunar|thunar|Thunar|dest||
nemo|nemo --no-desktop|Nemo|dest||
caja|caja --no-desktop|Caja|dest|Down Down Down Right|
dolphin|dolphin --new-window|dolphin|dest||
pcmanfm-qt|pcmanfm-qt --new-window|pcmanfm-qt|dest||
LIST
