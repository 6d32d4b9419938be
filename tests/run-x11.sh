#!/usr/bin/env bash
# Runs a command inside a private X session: Xvfb, a window manager that keeps
# _NET_ACTIVE_WINDOW (openbox) and a session D-Bus. Cleans up everything it started.
# Exit 77 (reported as skipped) when the tools are missing.
set -u
for tool in Xvfb openbox dbus-run-session; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed; run scripts/install-deps.sh" >&2
        exit 77
    fi
done

tmp=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>"$tmp/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$tmp/display" ] && break
    sleep 0.05
done
if [ ! -s "$tmp/display" ]; then
    echo "Xvfb did not start:" >&2; cat "$tmp/xvfb.log" >&2
    kill "$xvfb_pid" 2>/dev/null; rm -rf "$tmp"; exit 1
fi
export DISPLAY=":$(cat "$tmp/display")"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

cleanup() {
    [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null
    kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT

openbox --sm-disable >"$tmp/wm.log" 2>&1 &
wm_pid=$!
# The window manager is ready once it has claimed _NET_SUPPORTING_WM_CHECK. A loaded
# machine may take a while; a test run without it would wait out every focus change.
wm_ready=
for _ in $(seq 600); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
        wm_ready=1
        break
    fi
    sleep 0.05
done
if [ -z "$wm_ready" ]; then
    echo "openbox did not start:" >&2; cat "$tmp/wm.log" >&2
    exit 1
fi

dbus-run-session -- "$@"
