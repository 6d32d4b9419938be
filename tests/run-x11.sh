#!/usr/bin/env bash
# Runs a command inside a private X session: Xvfb, a window manager that keeps
# _NET_ACTIVE_WINDOW (openbox) and a session D-Bus. Cleans up everything it started.
# Exit 77 (reported as skipped) when the tools are missing.
set -u
for tool in Xvfb xauth xprop openbox dbus-run-session; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed; run scripts/install-deps.sh" >&2
        exit 77
    fi
done

tmp=$(mktemp -d)
xvfb_pid=
wm_pid=
cleanup() {
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "$1" >&2
    [ -n "${2:-}" ] && cat "$2" >&2
    exit 1
}

# The session's own cookie: the server admits only this session's clients, and a client
# never uses a cookie of another session that happens to have had the same number
# (XAUTHORITY or ~/.Xauthority of the caller). The server takes every cookie of its file
# whatever the display number, so the number can be added for the clients once known.
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
: >"$tmp/server-auth"
xauth -q -f "$tmp/server-auth" add :0 . "$cookie" || fail "xauth could not write a cookie"
# -noreset: without it the server resets whenever its last client leaves, and the
# readiness probes below are each such a last client; a client that connects during
# a reset on a loaded machine is turned away.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset -auth "$tmp/server-auth" \
    3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
. "$(dirname "$0")/wait_for.sh"
# Xvfb writes its display number once it listens; on a loaded machine that may take long.
display_told() { grep -q '^[0-9][0-9]*$' "$tmp/display"; }
wait_for 60 display_told || fail "Xvfb did not start:" "$tmp/xvfb.log"
export DISPLAY=":$(cat "$tmp/display")"
export XAUTHORITY=$tmp/Xauthority
: >"$XAUTHORITY"
xauth -q -f "$XAUTHORITY" add "$DISPLAY" . "$cookie" || fail "xauth could not write a cookie"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
# GTK 4 programs draw with cairo: on the display's software OpenGL a loaded machine left
# Nautilus 43 showing "Loading…" for minutes, its folder never listed.
export GSK_RENDERER=cairo
# The server answers with this session's cookie: it is ours, and it takes clients.
wait_for 60 xprop -root _NET_SUPPORTED ||
    fail "Xvfb on $DISPLAY does not answer:" "$tmp/xvfb.log"

openbox --sm-disable >"$tmp/wm.log" 2>&1 &
wm_pid=$!
# The window manager is ready once it has claimed _NET_SUPPORTING_WM_CHECK. A loaded
# machine may take a while; a test run without it would wait out every focus change.
wm_ready() {
    kill -0 "$wm_pid" 2>/dev/null || return 2
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'
}
end=$((SECONDS + 60))
until wm_ready; do
    [ $? -eq 2 ] && fail "openbox ended at its start on $DISPLAY:" "$tmp/wm.log"
    [ "$SECONDS" -lt "$end" ] || fail "openbox did not start on $DISPLAY:" "$tmp/wm.log"
    sleep 0.1
done

dbus-run-session -- "$@"
