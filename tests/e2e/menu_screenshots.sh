#!/usr/bin/env bash
# Pictures of Nemo's, Caja's, Dolphin's and PCManFM-Qt's context menu on an empty folder
# after fm-entries has written Ferrymark's entries (Caja lists them under Scripts), for a
# look by eye. Thunar's and Nautilus's are taken by the e2e scenarios entry_thunar and
# entry_nautilus. Run inside tests/run-x11.sh:
#   tests/run-x11.sh tests/e2e/menu_screenshots.sh build OUT-FOLDER
set -u
build=$(realpath "$1")
out=$(realpath -m "$2")
mkdir -p "$out"
root=$(mktemp -d)
home=$root/home
mkdir -p "$home" "$root/dest" "$root/run"
chmod 700 "$root/run"
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
    XDG_RUNTIME_DIR=$root/run NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory QT_QPA_PLATFORM=xcb
"$build/tools/fm-entries" add "$home" "$build/app/ferrymark" --keys >/dev/null
for fm in "nemo --no-desktop" caja "dolphin --new-window" pcmanfm-qt; do
    name=${fm%% *}
    $fm "$root/dest" >/dev/null 2>&1 &
    pid=$!
    sleep 6
    wid=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | tail -1)
    [ -z "$wid" ] && wid=$(xdotool getactivewindow)
    xdotool windowactivate --sync "$wid" 2>/dev/null
    xdotool windowmove "$wid" 0 0 windowsize "$wid" 900 600
    sleep 1
    xdotool mousemove --window "$wid" 600 450 click 3
    sleep 1.5
    import -window root "$out/menu-$name.png"
    echo "$out/menu-$name.png"
    xdotool key Escape
    kill "$pid"
    sleep 1
done
rm -rf "$root"
