#!/usr/bin/env bash
# A real block device that can be made slow, failing or lying, with ext4 mounted on it:
# nbdkit serves a memory disk (with filters), nbdfuse shows it as a file, a loop device
# with direct I/O makes it a block device, so every byte the kernel writes back reaches
# the server and every read after a dropped cache comes from it.
#
#   fake-disk.sh start STATE [--size 64M] [--rate BITS] [--fault none|error|lie]
#                            [--mount-options OPTS]
#       Prints the mount point (STATE/mnt). --rate limits reads and writes to BITS per
#       second (80M is 10 MB/s). Exits 77 with the reason when the kernel or the system
#       lacks what it needs (loop devices, FUSE, nbdkit, nbdfuse).
#   fake-disk.sh fail STATE      every request fails with EIO     (--fault error)
#   fake-disk.sh heal STATE      requests succeed again           (--fault error)
#   fake-disk.sh lie STATE       blocks written from now on read back other bytes (--fault lie)
#   fake-disk.sh truth STATE     blocks written from now on are kept (--fault lie)
#   fake-disk.sh shutdown STATE  the file system gives up as after a device error
#   fake-disk.sh pull STATE      the server ends: the device is gone
#   fake-disk.sh freeze STATE    the server stops answering: every request waits
#   fake-disk.sh thaw STATE      it answers again
#   fake-disk.sh stop STATE      unmounts and tears everything down; safe to repeat
#
# The servers run in the background until stop; their process ids are kept in STATE.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)

skip() {
    echo "fake-disk: $*" >&2
    exit 77
}

die() {
    echo "fake-disk: $*" >&2
    exit 1
}

wait_for() {  # seconds, then a test command
    local tries=$(($1 * 10))
    shift
    while ! "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}

kill_pid_file() {
    local file=$1
    [ -s "$file" ] || return 0
    local pid
    pid=$(cat "$file")
    if kill "$pid" 2>/dev/null; then
        wait_for 10 bash -c "! kill -0 $pid 2>/dev/null" || kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$file"
}

start() {
    local state=$1
    shift
    local size=64M rate="" fault=none options=""
    while [ $# -gt 0 ]; do
        case $1 in
            --size) size=$2; shift 2 ;;
            --rate) rate=$2; shift 2 ;;
            --fault) fault=$2; shift 2 ;;
            --mount-options) options=$2; shift 2 ;;
            *) die "unknown option $1" ;;
        esac
    done
    [ "$(id -u)" -eq 0 ] || skip "needs root for loop devices and mounts"
    [ -e /dev/loop-control ] || skip "no loop devices (/dev/loop-control is missing)"
    [ -e /dev/fuse ] || skip "no FUSE (/dev/fuse is missing)"
    command -v nbdkit >/dev/null || skip "nbdkit is not installed"
    command -v nbdfuse >/dev/null || skip "nbdfuse is not installed (libnbd-bin)"
    command -v mkfs.ext4 >/dev/null || skip "mkfs.ext4 is not installed"

    mkdir -p "$state/fuse" "$state/mnt" || die "can not make $state"
    state=$(cd "$state" && pwd)
    local socket=$state/nbd.sock
    rm -f "$socket" "$state/fail" "$state/lie"

    local filters=() plugin=()
    case $fault in
        none) plugin=(memory "$size") ;;
        error)
            filters=(--filter=error)
            plugin=(memory "$size" error=EIO error-rate=100% "error-file=$state/fail")
            ;;
        lie)
            local bytes
            bytes=$(numfmt --from=iec "$size") || die "bad size $size"
            plugin=(python "$here/lying-disk.py" "size=$bytes" "trigger=$state/lie")
            ;;
        *) die "unknown fault $fault" ;;
    esac
    if [ -n "$rate" ]; then
        filters+=(--filter=rate)
        plugin+=("rate=$rate")
    fi
    nbdkit --unix "$socket" --pidfile "$state/nbdkit.pid" "${filters[@]}" "${plugin[@]}" \
        2>"$state/nbdkit.log" || {
        cat "$state/nbdkit.log" >&2
        skip "nbdkit does not start (plugin or filter missing?)"
    }
    # nbdfuse connects once: the socket must be there first.
    wait_for 20 test -S "$socket" || die "nbdkit made no socket"
    touch "$state/fuse/disk" 2>/dev/null
    nbdfuse -C 1 -P "$state/nbdfuse.pid" "$state/fuse/disk" --unix "$socket" \
        >"$state/nbdfuse.log" 2>&1 &
    if ! wait_for 20 test -s "$state/nbdfuse.pid"; then
        cat "$state/nbdfuse.log" >&2
        stop "$state"
        skip "nbdfuse does not start (FUSE unusable here?)"
    fi
    wait_for 20 test -f "$state/fuse/disk" || die "nbdfuse shows no disk"
    local loop
    loop=$(losetup --direct-io=on -f --show "$state/fuse/disk" 2>"$state/losetup.log") || {
        cat "$state/losetup.log" >&2
        stop "$state"
        skip "no free loop device"
    }
    echo "$loop" >"$state/loop"
    mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$loop" >"$state/mkfs.log" 2>&1 ||
        { cat "$state/mkfs.log" >&2; stop "$state"; die "mkfs.ext4 failed"; }
    mount -t ext4 ${options:+-o "$options"} "$loop" "$state/mnt" 2>"$state/mount.log" ||
        { cat "$state/mount.log" >&2; stop "$state"; die "mount failed"; }
    echo "$state/mnt"
}

signal_server() {
    [ -s "$1/nbdkit.pid" ] && kill "-$2" "$(cat "$1/nbdkit.pid")" 2>/dev/null
    return 0
}

stop() {
    local state=$1
    [ -d "$state" ] || return 0
    # A frozen server would hold the unmount up for ever.
    signal_server "$state" CONT
    # A disk that failed may refuse a clean unmount: detach it from the tree then.
    if mountpoint -q "$state/mnt"; then
        umount "$state/mnt" 2>/dev/null || umount -l "$state/mnt"
    fi
    if [ -s "$state/loop" ]; then
        losetup -d "$(cat "$state/loop")" 2>/dev/null
        rm -f "$state/loop"
    fi
    if mountpoint -q "$state/fuse" 2>/dev/null || [ -s "$state/nbdfuse.pid" ]; then
        fusermount3 -u "$state/fuse" 2>/dev/null || umount -l "$state/fuse" 2>/dev/null
    fi
    kill_pid_file "$state/nbdfuse.pid"
    kill_pid_file "$state/nbdkit.pid"
    rm -f "$state/nbd.sock" "$state/fail" "$state/lie"
    return 0
}

# The ext4 shutdown request (EXT4_IOC_SHUTDOWN, without flushing the log): every later
# call on the file system fails, as after ext4 found the device failing.
shutdown_fs() {
    /usr/bin/python3 - "$1/mnt" <<'PY' || die "the file system did not shut down"
import fcntl, os, struct, sys
fd = os.open(sys.argv[1], os.O_RDONLY)
fcntl.ioctl(fd, 0x8004587D, struct.pack("I", 2))
PY
}

[ $# -ge 2 ] || die "usage: fake-disk.sh start|fail|heal|lie|truth|shutdown|pull|freeze|thaw|stop STATE ..."
command=$1
state=$2
shift 2
case $command in
    start) start "$state" "$@" ;;
    stop) stop "$state" ;;
    fail) touch "$state/fail" ;;
    heal) rm -f "$state/fail" ;;
    lie) touch "$state/lie" ;;
    truth) rm -f "$state/lie" ;;
    shutdown) shutdown_fs "$state" ;;
    pull) kill_pid_file "$state/nbdkit.pid" ;;
    freeze) signal_server "$state" STOP ;;
    thaw) signal_server "$state" CONT ;;
    *) die "unknown command $command" ;;
esac
