#!/usr/bin/env bash
# Runs a command in a Debian 13 (trixie) root with this work tree at its own path, so
# that a failure seen there can be reproduced by hand. The root is made once with
# mmdebstrap from the machine's own Debian mirror, with what scripts/install-deps.sh
# lists for trixie, and kept; it is made afresh when that list (or this script) changes.
# The command runs as root in a mount and PID namespace of its own with /dev (fuse, loop
# devices), /proc and /sys; whatever it leaves running ends with it.
# Usage: scripts/debian13.sh [COMMAND [ARGUMENT...]]   (default: an interactive shell)
#   FERRYMARK_DEBIAN13_ROOT  where the root is kept (default /var/cache/ferrymark/trixie)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${FERRYMARK_DEBIAN13_ROOT:-/var/cache/ferrymark/trixie}

if [ "$(id -u)" -ne 0 ]; then
    exec sudo --preserve-env=FERRYMARK_DEBIAN13_ROOT,CCACHE_DIR "$0" "$@"
fi
command -v mmdebstrap >/dev/null || { echo "mmdebstrap is not installed" >&2; exit 1; }

# The mirror apt uses here, so that the root comes from the same archive.
mirror=$(grep -hE '^[[:space:]]*(URIs:|deb )' /etc/apt/sources.list /etc/apt/sources.list.d/* \
    2>/dev/null | grep -oE 'https?://[^ ]+/debian/?$' | head -n1 || true)
mirror=${mirror:-http://deb.debian.org/debian}

# ccache keeps the compiler's results between roots made afresh.
packages=$("$here/scripts/install-deps.sh" --print trixie; echo ccache)
stamp=$( (echo "$mirror"; echo "$packages"; cat "$0") | sha256sum | cut -d' ' -f1)

make_root() {
    local new=$root.new
    rm -rf "$new"
    mkdir -p "$(dirname "$root")"
    echo "Making the Debian 13 root in $root (this takes a while)" >&2
    mmdebstrap --mode=root --variant=apt --quiet \
        --aptopt='APT::Install-Recommends "false"' \
        --include="$(echo "$packages" | paste -sd,)" \
        --customize-hook='cp /etc/resolv.conf "$1/etc/resolv.conf"' \
        --customize-hook='chroot "$1" dbus-uuidgen --ensure=/etc/machine-id' \
        trixie "$new" "$mirror"
    rm -rf "$root"
    mv "$new" "$root"
    echo "$stamp" >"$root/.ferrymark-stamp"
}

mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock 9
if [ "$(cat "$root/.ferrymark-stamp" 2>/dev/null)" != "$stamp" ]; then
    make_root
    fresh=1
fi
flock -u 9
exec 9>&-

# Inside the new namespaces: mount what the tests need, then enter the root.
enter=$(cat <<'INNER'
set -e
root=$1 here=$2; shift 2
mount --make-rprivate /
# The root is a mount of its own, as on a machine: tests that make their own mount
# namespace can then change its propagation.
mount --bind "$root" "$root"
mount -t proc proc "$root/proc"
mount --rbind /sys "$root/sys"
mount --rbind /dev "$root/dev"
mount -t tmpfs -o mode=755 tmpfs "$root/run"
mkdir -p "$root$here"
mount --bind "$here" "$root$here"
if [ -n "${CCACHE_DIR:-}" ] && [ -d "$CCACHE_DIR" ]; then
    mkdir -p "$root$CCACHE_DIR"
    mount --bind "$CCACHE_DIR" "$root$CCACHE_DIR"
fi
exec chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" ${CCACHE_DIR:+CCACHE_DIR=$CCACHE_DIR} \
    ${CCACHE_BASEDIR:+CCACHE_BASEDIR=$CCACHE_BASEDIR} \
    ${CMAKE_CXX_COMPILER_LAUNCHER:+CMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} \
    ${CMAKE_C_COMPILER_LAUNCHER:+CMAKE_C_COMPILER_LAUNCHER=$CMAKE_C_COMPILER_LAUNCHER} \
    ${BUILD_DIR:+BUILD_DIR=$BUILD_DIR} \
    /bin/bash -c 'cd "$0" && exec "$@"' "$here" "$@"
INNER
)
if [ -n "${fresh:-}" ]; then
    # The locale the tests need, through the same script as on a machine of its own.
    unshare --mount --pid --fork bash -c "$enter" enter "$root" "$here" \
        scripts/install-deps.sh
fi
[ "$#" -gt 0 ] || set -- /bin/bash -i
exec unshare --mount --pid --fork bash -c "$enter" enter "$root" "$here" "$@"
