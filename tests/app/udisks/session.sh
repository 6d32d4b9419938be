#!/usr/bin/env bash
# Usage: session.sh TEST_BINARY [ARGS...]
# Runs an eject test against a real udisksd: in a mount namespace of its own, with udevd
# (the test's own rules; its database on a private /run), a system bus of the test's own,
# and loop devices: a "stick" of two ext4 partitions that UDisks2 sees as a drive with a
# removable medium, and a plain ext4 loop device, which UDisks2 gives no drive. Both are
# mounted by hand. A test whose name holds "AsUser" runs as nobody. Exits 77 (skipped)
# with the reason where this machine lacks a part.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
binary=$1
shift
skip() {
    echo "SKIPPED: $*"
    exit 77
}

case " $* " in
    *--gtest_list_tests*) exec "$binary" "$@" ;;
esac

if [ "${FERRYMARK_UDISKS_NAMESPACE:-}" != 1 ]; then
    [ "$(id -u)" = 0 ] || skip "needs root: loop devices, mounts, udevd and udisksd"
    for tool in unshare losetup sfdisk partx mkfs.ext4 udevadm dbus-daemon dbus-send setpriv flock; do
        command -v "$tool" >/dev/null || skip "$tool is missing; run scripts/install-deps.sh"
    done
    for program in /usr/libexec/udisks2/udisksd /lib/systemd/systemd-udevd; do
        [ -x "$program" ] || skip "$program is missing; run scripts/install-deps.sh (udisks2, udev)"
    done
    [ -e /dev/loop-control ] || skip "no loop devices on this machine (/dev/loop-control)"
    export FERRYMARK_UDISKS_NAMESPACE=1
    exec unshare --mount --propagation private "$0" "$binary" "$@"
fi

work=$(mktemp -d /tmp/ferrymark-udisks.XXXXXX)
loops=()
daemons=()
cleanup() {
    for pid in "${daemons[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    udevadm control --exit 2>/dev/null || true
    for dir in "$work"/mnt/*; do
        umount -l "$dir" 2>/dev/null || true
    done
    for loop in "${loops[@]}"; do
        losetup -d "$loop" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# Everything the daemons keep at run time stays in this namespace, the machine's own
# /run untouched; udevd reads only the test's rules.
mount -t tmpfs ferrymark-run /run
mkdir -p /run/udev "$work/rules" "$work/no-rules" "$work/mnt"
cp "$here/test.rules" "$work/rules/60-ferrymark-test.rules"
mount --bind "$work/rules" /usr/lib/udev/rules.d
for dir in /etc/udev/rules.d /usr/local/lib/udev/rules.d; do
    if [ -d "$dir" ]; then
        mount --bind "$work/no-rules" "$dir"
    fi
done

truncate -s 64M "$work/ferrymark-stick.img"
printf 'label: dos\n,24M,L\n,,L\n' | sfdisk -q "$work/ferrymark-stick.img" >/dev/null
stick=$(losetup -f --show -P "$work/ferrymark-stick.img") || skip "no free loop device"
loops+=("$stick")
# Some kernels leave the partition scan of losetup -P undone; partx adds them.
for attempt in $(seq 100); do
    [ -b "${stick}p1" ] && [ -b "${stick}p2" ] && break
    if [ "$attempt" = 20 ]; then
        partx -a "$stick" 2>/dev/null || true
    fi
    sleep 0.05
done
[ -b "${stick}p2" ] || skip "the loop device's partitions did not appear"
mkfs.ext4 -q -L STICK "${stick}p1"
mkfs.ext4 -q -L STICK2 "${stick}p2"
truncate -s 32M "$work/ferrymark-plain.img"
mkfs.ext4 -q -F -L PLAIN "$work/ferrymark-plain.img"
plain=$(losetup -f --show "$work/ferrymark-plain.img") || skip "no second free loop device"
loops+=("$plain")

/lib/systemd/systemd-udevd --daemon
names=()
for device in "$stick" "${stick}p1" "${stick}p2" "$plain"; do
    names+=("/sys/class/block/$(basename "$device")")
done
udevadm trigger --action=add --settle "${names[@]}"

mkdir -p "$work/mnt/stick1" "$work/mnt/stick2" "$work/mnt/plain"
mount "${stick}p1" "$work/mnt/stick1"
mount "${stick}p2" "$work/mnt/stick2"
mount "$plain" "$work/mnt/plain"
chmod 1777 "$work" "$work"/mnt/*

dbus-daemon --config-file="$here/system-bus.conf" --nofork --print-address=3 \
    3>"$work/address" 2>"$work/dbus.log" &
daemons+=($!)
for _ in $(seq 100); do
    [ -s "$work/address" ] && break
    sleep 0.05
done
DBUS_SYSTEM_BUS_ADDRESS=$(head -n1 "$work/address")
export DBUS_SYSTEM_BUS_ADDRESS
/usr/libexec/udisks2/udisksd --no-sigint >"$work/udisksd.log" 2>&1 &
daemons+=($!)
owned=
for _ in $(seq 200); do
    if dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.UDisks2 2>/dev/null |
        grep -q true; then
        owned=1
        break
    fi
    sleep 0.05
done
[ -n "$owned" ] || { cat "$work/udisksd.log"; echo "udisksd did not come up" >&2; exit 1; }

export FERRYMARK_STICK_DEVICES="${stick}p1 ${stick}p2"
export FERRYMARK_STICK_MOUNTS="$work/mnt/stick1 $work/mnt/stick2"
export FERRYMARK_PLAIN_MOUNT="$work/mnt/plain"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
status=0
case " $* " in
    *AsUser*)
        chown 65534:65534 "$XDG_RUNTIME_DIR"
        HOME=$work setpriv --reuid=65534 --regid=65534 --clear-groups "$binary" "$@" || status=$?
        ;;
    *)
        "$binary" "$@" || status=$?
        ;;
esac
if [ "$status" -ne 0 ]; then
    echo "--- udisksd's log:"
    cat "$work/udisksd.log"
fi
exit "$status"
