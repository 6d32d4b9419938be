#!/usr/bin/env bash
# Runs a command inside a private headless Wayland session: its own session bus, the
# compositor without real outputs or input devices, a fresh HOME and XDG_RUNTIME_DIR.
# As root the session and the command run as nobody, as a desktop user would.
#   sway: WLR_BACKENDS=headless; the command also gets SWAYSOCK.
#   kwin: kwin_wayland --virtual, run from a copy, as the installed one carries file
#         capabilities that an unprivileged start refuses; kglobalaccel runs inside it.
#   mutter: mutter --headless with XWayland (the command gets DISPLAY) and a keyboard
#         held through its remote-desktop interface.
#   gnome: GNOME Shell --headless without XWayland; the bus starts GNOME's services (the
#         portal's backend, GNOME Settings' shortcut dialog) into the session.
# The command gets WAYLAND_DISPLAY, DBUS_SESSION_BUS_ADDRESS, XDG_SESSION_TYPE,
# XDG_CURRENT_DESKTOP, COMPOSITOR_LOG (what the compositor prints) and a clean
# environment otherwise; FERRYMARK_E2E_OUT names a folder it may write, copied to the
# caller's FERRYMARK_E2E_OUT afterwards. Cleans up everything it started. Exit 77
# (reported as skipped) when the tools are missing.
# Usage: run-wayland.sh sway|kwin|mutter|gnome COMMAND [ARGUMENT...]
set -u
compositor=$1
shift
case $compositor in
    sway) tools=(sway swaymsg dbus-daemon) ;;
    kwin) tools=(kwin_wayland dbus-daemon dbus-send) ;;
    mutter) tools=(mutter Xwayland dbus-daemon) ;;
    gnome) tools=(gnome-shell dbus-daemon dbus-send) ;;
    *) echo "usage: $0 sway|kwin|mutter|gnome COMMAND..." >&2; exit 2 ;;
esac
for tool in "${tools[@]}"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed; run scripts/install-deps.sh" >&2
        exit 77
    fi
done

tmp=$(mktemp -d)
chmod 755 "$tmp"
user=$(id -un)
[ "$(id -u)" -eq 0 ] && user=nobody
rt=$tmp/run
home=$tmp/home
out=$tmp/out
mkdir -p "$rt" "$home" "$out"
printf 'output HEADLESS-1 resolution 1280x800\nxwayland disable\n' >"$tmp/sway.config"
chown -R "$user" "$rt" "$home" "$out"
chmod 700 "$rt"
# Every process of the session, by its XDG_RUNTIME_DIR: runuser does not pass a signal
# on, and the bus starts services of its own (portals, gvfs) that outlive it.
session_pids() {
    local p
    for p in /proc/[0-9]*; do
        { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qxF "XDG_RUNTIME_DIR=$rt" &&
            echo "${p#/proc/}"
    done
}
cleanup() {
    local left
    left=$(session_pids)
    [ -n "$left" ] && kill $left 2>/dev/null
    for _ in $(seq 25); do
        left=$(session_pids)
        [ -z "$left" ] && break
        sleep 0.2
    done
    [ -n "$left" ] && kill -KILL $left 2>/dev/null
    wait 2>/dev/null
    # The document portal mounts itself in the runtime folder.
    mountpoint -q "$rt/doc" 2>/dev/null && umount -l "$rt/doc"
    rm -rf "$tmp"
}
trap cleanup EXIT

as_user() {
    if [ "$user" = "$(id -un)" ]; then "$@"; else runuser -u "$user" -- "$@"; fi
}
# GTK 4 programs draw with cairo, as in tests/run-x11.sh: software OpenGL starves them on
# a loaded machine.
base=(env -i "HOME=$home" "XDG_RUNTIME_DIR=$rt" "XDG_CONFIG_HOME=$home/.config"
    "PATH=/usr/local/bin:/usr/bin:/bin" "LANG=C.UTF-8" "GSK_RENDERER=cairo")
. "$(dirname "$0")/wait_for.sh"

# As Plasma hands it to the bus: the desktop portal that the bus starts (KWin 6 asks for it
# early) picks its backends by it.
bus_env=()
[ "$compositor" = kwin ] && bus_env=(XDG_CURRENT_DESKTOP=KDE)
# GNOME's services are started by the bus, and show their windows on the shell's display.
[ "$compositor" = gnome ] &&
    bus_env=(XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland WAYLAND_DISPLAY=wayland-1)
as_user "${base[@]}" "${bus_env[@]}" dbus-daemon --session --nofork --print-address=3 3>"$rt/bus" \
    >"$tmp/dbus.log" 2>&1 &
wait_for 30 test -s "$rt/bus" || { echo "the session bus did not start" >&2; exit 1; }
bus=$(head -n 1 "$rt/bus")

session=(WAYLAND_DISPLAY=wayland-1 XDG_SESSION_TYPE=wayland)
case $compositor in
    sway)
        as_user "${base[@]}" "DBUS_SESSION_BUS_ADDRESS=$bus" WLR_BACKENDS=headless \
            WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$tmp/sway.config" \
            >"$tmp/compositor.log" 2>&1 &
        sway_socket() { compgen -G "$rt/sway-ipc.*.sock"; }
        wait_for 60 sway_socket && session+=("SWAYSOCK=$(sway_socket)" XDG_CURRENT_DESKTOP=sway)
        ;;
    kwin)
        cp "$(command -v kwin_wayland)" "$tmp/kwin_wayland"
        as_user "${base[@]}" "DBUS_SESSION_BUS_ADDRESS=$bus" QT_QPA_PLATFORM=offscreen \
            "$tmp/kwin_wayland" --virtual --width 1280 --height 800 --socket wayland-1 \
            >"$tmp/compositor.log" 2>&1 &
        # Plasma's major version, as a Plasma session sets it.
        kde_version=$(dpkg-query -W -f='${Version}' kwin-wayland 2>/dev/null |
            sed -n 's/^\([0-9]*:\)\{0,1\}\([0-9]*\)\..*/\2/p')
        session+=(XDG_CURRENT_DESKTOP=KDE "KDE_SESSION_VERSION=${kde_version:-5}")
        kwin_on_bus() {
            as_user env "DBUS_SESSION_BUS_ADDRESS=$bus" dbus-send --session --print-reply \
                --dest=org.freedesktop.DBus / org.freedesktop.DBus.GetNameOwner \
                string:org.kde.KWin
        }
        wait_for 60 kwin_on_bus
        ;;
    mutter)
        if ! /usr/bin/python3 -c 'from gi.repository import Gio' 2>/dev/null; then
            echo "SKIP: python3-gi is not installed; run scripts/install-deps.sh" >&2
            exit 77
        fi
        as_user "${base[@]}" "DBUS_SESSION_BUS_ADDRESS=$bus" mutter --headless \
            --virtual-monitor 1280x800 --wayland --wayland-display wayland-1 \
            >"$tmp/compositor.log" 2>&1 &
        x_display() { sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$tmp/compositor.log"; }
        has_display() { [ -n "$(x_display)" ]; }
        wait_for 60 has_display && wait_for 60 test -S "$rt/wayland-1"
        as_user "${base[@]}" "DBUS_SESSION_BUS_ADDRESS=$bus" \
            "$(dirname "$0")/mutter_keyboard.py" >"$tmp/keyboard.log" 2>&1 &
        wait_for 30 grep -q ready "$tmp/keyboard.log" ||
            { echo "no keyboard in mutter's seat:" >&2; cat "$tmp/keyboard.log" >&2; exit 1; }
        # XWayland admits the clients that show mutter's cookie.
        session+=("DISPLAY=$(x_display)" "XAUTHORITY=$(compgen -G "$rt/.mutter-Xwaylandauth.*")"
            XDG_CURRENT_DESKTOP=GNOME)
        ;;
    gnome)
        # GNOME Shell will not start without a system bus; one of the session's own, with
        # none of the system's services on it.
        cat >"$tmp/system-bus.conf" <<CONF
<busconfig><type>system</type><listen>unix:path=$rt/system_bus_socket</listen>
<auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*"/><allow receive_sender="*"/>
<allow own="*"/></policy></busconfig>
CONF
        as_user "${base[@]}" dbus-daemon --config-file="$tmp/system-bus.conf" --nofork \
            >"$tmp/system-bus.log" 2>&1 &
        wait_for 30 test -S "$rt/system_bus_socket" ||
            { echo "the system bus did not start:" >&2; cat "$tmp/system-bus.log" >&2; exit 1; }
        as_user "${base[@]}" "${bus_env[@]}" "DBUS_SESSION_BUS_ADDRESS=$bus" \
            "DBUS_SYSTEM_BUS_ADDRESS=unix:path=$rt/system_bus_socket" gnome-shell \
            --headless --virtual-monitor 1280x800 --no-x11 --wayland-display wayland-1 \
            >"$tmp/compositor.log" 2>&1 &
        # Started once its start-up (and the overview it opens with) is done, as it logs.
        if ! wait_for 90 grep -q "GNOME Shell started" "$tmp/compositor.log"; then
            echo "GNOME Shell did not start:" >&2
            cat "$tmp/compositor.log" >&2
            exit 1
        fi
        session+=(XDG_CURRENT_DESKTOP=GNOME)
        ;;
esac
if ! wait_for 60 test -S "$rt/wayland-1"; then
    echo "$compositor did not start:" >&2
    cat "$tmp/compositor.log" >&2
    exit 1
fi

as_user "${base[@]}" "DBUS_SESSION_BUS_ADDRESS=$bus" "${session[@]}" \
    "FERRYMARK_E2E_OUT=$out" "COMPOSITOR_LOG=$tmp/compositor.log" "$@"
status=$?
if [ -n "${FERRYMARK_E2E_OUT:-}" ] && compgen -G "$out/*" >/dev/null; then
    mkdir -p "$FERRYMARK_E2E_OUT" && cp -r "$out"/. "$FERRYMARK_E2E_OUT"/
fi
exit "$status"
