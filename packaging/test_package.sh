#!/usr/bin/env bash
# Builds the Debian package, installs it with apt into a fresh root of this machine's own
# Debian release (made once with mmdebstrap from the machine's own mirror and kept as a
# tarball), so that its Depends must resolve on that release, and starts the
# installed program there under Xvfb: its agreement window must come up, and the installed
# about document must carry the version.
# Usage: test_package.sh BUILD-DIR VERSION        (exit 77: skipped, with the reason)
set -u
build=$(cd "$1" && pwd)
version=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
skip() { echo "SKIPPED: $*" >&2; exit 77; }

[ "$(id -u)" -eq 0 ] || skip "making and entering a Debian root needs root"
for tool in mmdebstrap Xvfb xdotool pdftotext; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh)"
done

cmake --build "$build" --target ferrymark fm-transfer ferrymark_assets >/dev/null ||
    fail "the build failed"
(cd "$build" && cpack -G DEB >/dev/null) || fail "cpack failed"
deb=$(ls -t "$build"/ferrymark_"$version"_*.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no package ferrymark_${version}_*.deb in $build"

# The mirror apt uses here, so that the root comes from the same archive.
mirror=$(grep -hE '^[[:space:]]*(URIs:|deb )' /etc/apt/sources.list /etc/apt/sources.list.d/* \
    2>/dev/null | grep -oE 'https?://[^ ]+' | grep -v security | head -n1)
mirror=${mirror:-http://deb.debian.org/debian}
cache=${FERRYMARK_ROOT_CACHE:-/var/cache/ferrymark-test}
mkdir -p "$cache"
release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$release" ] || fail "no VERSION_CODENAME in /etc/os-release"
tarball=$cache/$release-apt.tar
if [ ! -s "$tarball" ]; then
    # A download cut off by the mirror fails the whole root: try again before giving up.
    for attempt in 1 2 3; do
        rm -f "$tarball.part"
        # mmdebstrap hands apt a pipe by its number, and Debian's /bin/sh takes one digit
        # only: with the descriptors a test runner leaves open, that number passes 9 and
        # the download fails ("Bad fd number"). They are closed for it.
        (
            for fd in /proc/$BASHPID/fd/*; do
                fd=${fd##*/}
                [ "$fd" -gt 2 ] && eval "exec $fd>&-"
            done
            exec mmdebstrap --variant=apt --format=tar --quiet "$release" "$tarball.part" "$mirror"
        ) && break
        [ "$attempt" -lt 3 ] || fail "mmdebstrap could not make a root from $mirror (3 attempts)"
        sleep 5
    done
    mv "$tarball.part" "$tarball"
fi

root=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    umount "$root/tmp/.X11-unix" 2>/dev/null
    umount "$root/proc" 2>/dev/null
    # Never through a mount still in place: the X socket folder is the host's own.
    if mountpoint -q "$root/tmp/.X11-unix" || mountpoint -q "$root/proc"; then
        echo "left $root in place: a mount in it could not be undone" >&2
    else
        rm -rf "$root"
    fi
}
trap cleanup EXIT
tar -C "$root" -xf "$tarball" || fail "could not unpack $tarball"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null
mount -t proc proc "$root/proc" || fail "could not mount /proc in the root"
cp "$deb" "$root/tmp/ferrymark.deb"
chroot "$root" apt-get update -q >/dev/null || fail "apt-get update in the root failed"
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
    --no-install-recommends /tmp/ferrymark.deb >"$root/tmp/apt.log" 2>&1 ||
    fail "apt could not install the package: $(tail -n 20 "$root/tmp/apt.log")"

for f in usr/bin/ferrymark usr/bin/fm-transfer usr/share/applications/org.ferrymark.Ferrymark.desktop \
    usr/share/metainfo/org.ferrymark.Ferrymark.metainfo.xml usr/share/man/man1/ferrymark.1 \
    usr/share/man/man1/fm-transfer.1 usr/share/ferrymark/About-Ferrymark.pdf \
    usr/share/icons/hicolor/scalable/apps/ferrymark.svg \
    usr/share/icons/hicolor/16x16/apps/ferrymark.png \
    usr/share/icons/hicolor/256x256/apps/ferrymark.png; do
    [ -e "$root/$f" ] || fail "the package did not install /$f"
done
installed=$(chroot "$root" dpkg-query -W -f='${Version}' ferrymark)
[ "$installed" = "$version" ] || fail "installed version $installed, expected $version"
pdftotext "$root/usr/share/ferrymark/About-Ferrymark.pdf" - | grep -q "Version $version" ||
    fail "the installed about document does not show Version $version"

# The root reaches Xvfb through its abstract socket (same network namespace) and through
# its socket folder, bound in: an earlier server on that display still holding the abstract
# name leaves the new one only its path.
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix" || fail "could not bind the X socket folder"
# Xvfb picks a free display itself: a fixed or random number may be another test's.
# -noreset: without it the server resets when the probe below leaves, and the program
# started next, connecting during that reset on a loaded machine, is turned away.
Xvfb -displayfd 3 -nolisten tcp -noreset 3>"$root/tmp/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 600); do [ -s "$root/tmp/display" ] && break; sleep 0.05; done
[ -s "$root/tmp/display" ] || fail "Xvfb did not start"
display=:$(cat "$root/tmp/display")
answered=
for _ in $(seq 300); do  # 30 s on a loaded machine
    DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1 && { answered=1; break; }
    sleep 0.1
done
[ -n "$answered" ] || fail "Xvfb on $display did not answer"
mkdir -p "$root/tmp/home"
# The fresh root has no font cache yet: build it now, not inside the program's first start.
chroot "$root" sh -c 'command -v fc-cache >/dev/null && fc-cache -s >/dev/null 2>&1' || true
# A clean environment: the test runner's own (QT_QPA_PLATFORM=offscreen among it) must not
# leak into the installed program, which has to come up on the X server as a user's would.
chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DISPLAY="$display" \
    HOME=/tmp/home XDG_CONFIG_HOME=/tmp/home/config /usr/bin/ferrymark >"$root/tmp/run.log" 2>&1 &
pid=$!
found=
for _ in $(seq 900); do  # 90 s: a loaded machine starts it slowly
    if DISPLAY=$display xdotool search --name "Welcome to Ferrymark" >/dev/null 2>&1; then
        found=1
        break
    fi
    kill -0 "$pid" 2>/dev/null || fail "the installed program ended: $(cat "$root/tmp/run.log")"
    sleep 0.1
done
[ -n "$found" ] || { kill -KILL "$pid"; fail "no agreement window: $(cat "$root/tmp/run.log")"; }
kill -TERM "$pid"
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && { kill -KILL "$pid"; fail "still running after SIGTERM"; }
wait "$pid" || fail "exit $? after SIGTERM: $(cat "$root/tmp/run.log")"
echo "package $(basename "$deb") installed with apt and started: 1 passed, 0 failed"
