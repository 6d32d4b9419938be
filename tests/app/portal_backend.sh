# Sourced by the portal tests: start_backend PROGRAM BUS-NAME LOG starts a desktop portal
# backend, as the desktop's session starts it before any program asks, and returns once it
# owns its name on the session bus; it ends with the calling script. Exits 1 when the
# backend never comes.
. "$(dirname "${BASH_SOURCE[0]}")/../wait_for.sh"

start_backend() {
    local program=$1 name=$2 log=$3
    "$program" >"$log" 2>&1 &
    backend_pid=$!
    trap 'kill "$backend_pid" 2>/dev/null' EXIT
    on_bus() {
        dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
            org.freedesktop.DBus.GetNameOwner "string:$name"
    }
    if ! wait_for 60 on_bus; then
        echo "the portal backend $program did not start:" >&2
        cat "$log" >&2
        exit 1
    fi
}
