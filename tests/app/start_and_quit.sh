#!/usr/bin/env bash
# The program as a user starts it: without a display it says so in one sentence; with
# one it runs until SIGTERM, which quits through the same path as the menu.
# Usage: start_and_quit.sh PATH-TO-FERRYMARK
set -u
program=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "no display: exit $status, expected 1"
[ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || fail "no display: more than one line: $out"
case $out in
    *"needs a graphical desktop session"*) ;;
    *) fail "no display: unexpected message: $out" ;;
esac

# Starts the program with HOME=$1, lets it run $2 tenths of a second, sends signal $3 and
# expects a clean exit within 5 s.
run_then_signal() {
    local home=$1 tenths=$2 sig=$3 pid status
    HOME=$home XDG_CONFIG_HOME=$home/config QT_QPA_PLATFORM=offscreen "$program" \
        >"$home/log" 2>&1 &
    pid=$!
    for _ in $(seq "$tenths"); do
        kill -0 "$pid" 2>/dev/null || fail "it ended on its own: $(cat "$home/log")"
        sleep 0.1
    done
    kill -"$sig" "$pid"
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid"
        fail "still running 5 s after SIG$sig"
    fi
    wait "$pid"
    status=$?
    [ "$status" -eq 0 ] || fail "exit $status after SIG$sig: $(cat "$home/log")"
}

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/config/Ferrymark"
printf '[General]\nlicenseAgreed=true\nhelpGuideLaunched=true\nstartItem=true\nfileManagerEntriesOffered=true\n' \
    >"$home/config/Ferrymark/Ferrymark.ini"
# Running means it got past start-up; then a SIGTERM must end it promptly and cleanly.
run_then_signal "$home" 50 TERM
[ -z "$(ls -A "$home/config/autostart" 2>/dev/null)" ] || fail "a later run wrote the autostart entry"

# A first run waits in the agreement window's modal loop; SIGTERM and SIGINT must still end
# it, promptly and cleanly, and storing nothing: the agreement comes again next time.
for sig in TERM INT; do
    first=$(mktemp -d)
    run_then_signal "$first" 30 "$sig"
    if grep -qs licenseAgreed "$first/config/Ferrymark/Ferrymark.ini"; then
        fail "agreement open: SIG$sig stored the agreement"
    fi
    [ -z "$(ls -A "$first/config/autostart" 2>/dev/null)" ] || fail "SIG$sig wrote autostart"
    rm -rf "$first"
done
echo "3 passed, 0 failed"
