#!/usr/bin/env bash
# Runs a command inside a private headless sway session: its own session bus, sway with
# the headless backend and no input devices, a fresh HOME and XDG_RUNTIME_DIR. As root
# the session and the command run as nobody, as compositors refuse root's privileges
# poorly. The command gets WAYLAND_DISPLAY, SWAYSOCK and DBUS_SESSION_BUS_ADDRESS and a
# clean environment otherwise. Cleans up everything it started.
# Exit 77 (reported as skipped) when the tools are missing.
set -u
for tool in sway swaymsg dbus-daemon; do
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
printf 'output HEADLESS-1 resolution 1280x800\n' >"$tmp/sway.config"
chown -R "$user" "$rt" "$home" "$out"
chmod 700 "$rt"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT

as_user() {
    if [ "$user" = "$(id -un)" ]; then "$@"; else runuser -u "$user" -- "$@"; fi
}
base=(env -i "HOME=$home" "XDG_RUNTIME_DIR=$rt" "XDG_CONFIG_HOME=$home/.config"
    "PATH=/usr/local/bin:/usr/bin:/bin" "LANG=C.UTF-8")
wait_for() {
    local end=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$end" ] || return 1
        sleep 0.2
    done
}

as_user "${base[@]}" dbus-daemon --session --nofork --print-address=3 3>"$rt/bus" \
    >"$tmp/dbus.log" 2>&1 &
pids+=($!)
wait_for 30 test -s "$rt/bus" || { echo "the session bus did not start" >&2; exit 1; }
bus=$(head -n 1 "$rt/bus")
as_user "${base[@]}" "DBUS_SESSION_BUS_ADDRESS=$bus" WLR_BACKENDS=headless \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$tmp/sway.config" \
    >"$tmp/sway.log" 2>&1 &
pids+=($!)
sway_socket() { compgen -G "$rt/sway-ipc.*.sock"; }
if ! wait_for 60 sway_socket || ! wait_for 60 test -S "$rt/wayland-1"; then
    echo "sway did not start:" >&2
    cat "$tmp/sway.log" >&2
    exit 1
fi

# Screenshots go to a folder the user may write; they are copied out afterwards.
as_user "${base[@]}" "DBUS_SESSION_BUS_ADDRESS=$bus" WAYLAND_DISPLAY=wayland-1 \
    "SWAYSOCK=$(sway_socket)" XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=sway \
    "FERRYMARK_E2E_OUT=$out" "$@"
status=$?
if [ -n "${FERRYMARK_E2E_OUT:-}" ] && compgen -G "$out/*" >/dev/null; then
    mkdir -p "$FERRYMARK_E2E_OUT" && cp -r "$out"/. "$FERRYMARK_E2E_OUT"/
fi
exit "$status"
