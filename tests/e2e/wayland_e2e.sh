# Sourced by the Wayland end-to-end scripts, which run inside tests/run-wayland.sh.
. "$(dirname "${BASH_SOURCE[0]}")/../wait_for.sh"
logs=$HOME/logs
mkdir -p "$logs"
pids=()
trap 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done; wait 2>/dev/null' EXIT

fail() {
    echo "FAIL: $*" >&2
    for log in "$logs"/*.log ${COMPOSITOR_LOG:+"$COMPOSITOR_LOG"}; do
        echo "--- $log" >&2
        tail -n 30 "$log" >&2
    done
    exit 1
}

# require TOOL...: exit 77 when one is missing.
require() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is not installed; run scripts/install-deps.sh" >&2
            exit 77
        fi
    done
}

# What is copied (names with a space and non-ASCII letters, a folder, random bytes), the
# destination, and settings with the first-run questions answered plus the lines given.
prepare() {
    mkdir -p "$HOME/src/folder" "$HOME/dest" "$XDG_CONFIG_HOME/Ferrymark"
    head -c 3000000 /dev/urandom >"$HOME/src/big file.bin"
    printf 'small\n' >"$HOME/src/folder/Grüße.txt"
    printf '%s\n' '[General]' licenseAgreed=true helpGuideLaunched=true startItem=true \
        fileManagerEntriesOffered=true "$@" >"$XDG_CONFIG_HOME/Ferrymark/Ferrymark.ini"
}

uri() { printf 'file://%s' "$(jq -rn --arg p "$1" '$p | @uri' | sed 's/%2F/\//g')"; }

# copy TYPE BODY: puts one MIME type on the clipboard and waits until it is offered.
copy() {
    local type=$1
    wl-copy --type "$type" "$2" >"$logs/wl-copy.log" 2>&1 || fail "wl-copy failed"
    offers() { wl-paste --list-types | grep -qx "$type"; }
    wait_for 30 offers || fail "the clipboard does not offer $type"
}

# The file list of the prepared sources, as file managers put it on the clipboard.
copy_sources() {
    copy x-special/gnome-copied-files "$(printf 'copy\n%s\n%s' \
        "$(uri "$HOME/src/big file.bin")" "$(uri "$HOME/src/folder")")"
}

# expect_copies SRC...: waits until each source has its byte-for-byte copy in dest.
expect_copies() {
    local src dst
    for src in "$@"; do
        dst=$HOME/dest/$(basename "$src")
        wait_for 120 diff -r "$src" "$dst" || fail "$dst is not a copy of $src"
    done
}
