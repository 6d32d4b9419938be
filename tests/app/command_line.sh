#!/usr/bin/env bash
# The command line, run inside tests/run-x11.sh (a display and a private session bus):
# --help and --version print without a display and start nothing; --paste FOLDER starts
# Ferrymark when none runs and hands the command to it; a second --move reaches the
# running one, also with a folder whose name is not valid UTF-8; two plain starts at once
# leave one Ferrymark.
# Usage: command_line.sh PATH-TO-FERRYMARK
set -u
program=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
owner() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.ferrymark.Ferrymark 2>/dev/null |
        grep -q 'boolean true'
}

home=$(mktemp -d)
# Ours only: other tests may run the same program at the same time.
pids() {
    for pid in $(pgrep -f "^$program\$" 2>/dev/null); do
        grep -qzx "HOME=$home" "/proc/$pid/environ" 2>/dev/null && echo "$pid"
    done
}
count() { pids | wc -l; }
cleanup() {
    for pid in $(pids); do kill "$pid" 2>/dev/null; done
    xclip_pid=${xclip_pid:-}; [ -n "$xclip_pid" ] && kill "$xclip_pid" 2>/dev/null
    rm -rf "$home"
}
trap cleanup EXIT
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/run
mkdir -p "$home/config/Ferrymark" "$home/run" && chmod 700 "$home/run"
printf '[General]\nlicenseAgreed=true\nhelpGuideLaunched=true\nstartItem=true\nfileManagerEntriesOffered=true\n' \
    >"$home/config/Ferrymark/Ferrymark.ini"

# --help and --version: no display needed, nothing started.
for option in --help -h --version -v; do
    out=$(env -u DISPLAY -u QT_QPA_PLATFORM "$program" "$option" 2>&1) || fail "$option: exit $?"
    case $option in
        *h*) case $out in *"--paste"*"--move"*) ;; *) fail "$option: $out" ;; esac ;;
        *) case $out in "Ferrymark "[0-9]*.[0-9]*) ;; *) fail "$option: $out" ;; esac ;;
    esac
done
sleep 0.3
owner && fail "--help or --version started Ferrymark"
env -u DISPLAY "$program" --paste a b >/dev/null 2>&1 && fail "two folders were accepted"

# Copied files on the clipboard, as a file manager offers them.
mkdir -p "$home/src" "$home/dest one" "$home/dest two"
head -c 300000 /dev/urandom >"$home/src/data.bin"
printf 'copy\nfile://%s/src/data.bin' "$home" >"$home/copied"
xclip -selection clipboard -t x-special/gnome-copied-files -loops 0 -i "$home/copied" &
xclip_pid=$!
sleep 0.3

# --paste FOLDER with no Ferrymark running: it is started, and the file arrives.
"$program" --paste "$home/dest one" || fail "--paste with none running: exit $?"
for _ in $(seq 100); do [ -f "$home/dest one/data.bin" ] && break; sleep 0.1; done
cmp "$home/src/data.bin" "$home/dest one/data.bin" || fail "--paste did not copy the file"
owner || fail "Ferrymark is not on the bus after --paste"

# --move with a URI and Ferrymark running: the same instance takes it.
before=$(count)
(cd "$home" && "$program" --move "file://$home/dest%20two") || fail "--move: exit $?"
for _ in $(seq 100); do [ -f "$home/dest two/data.bin" ] && break; sleep 0.1; done
[ -f "$home/dest two/data.bin" ] || fail "--move did not move the file"
for _ in $(seq 50); do [ -e "$home/src/data.bin" ] || break; sleep 0.1; done
[ -e "$home/src/data.bin" ] && fail "--move left the source"
[ "$(count)" = "$before" ] || fail "--move started another Ferrymark"

# A relative folder is taken from the caller's working folder, not Ferrymark's.
mkdir -p "$home/sub/rel"
printf 'x' >"$home/src/small.txt"
printf 'copy\nfile://%s/src/small.txt' "$home" >"$home/copied"
kill "$xclip_pid"; xclip -selection clipboard -t x-special/gnome-copied-files -loops 0 -i "$home/copied" &
xclip_pid=$!
sleep 0.3
(cd "$home/sub" && "$program" --paste rel) || fail "--paste rel: exit $?"
for _ in $(seq 100); do [ -f "$home/sub/rel/small.txt" ] && break; sleep 0.1; done
[ -f "$home/sub/rel/small.txt" ] || fail "a relative folder was not taken from the caller"

# A folder whose name is not valid UTF-8 reaches the running Ferrymark byte for byte (a
# D-Bus string cannot carry it), and the file goes into exactly that folder.
odd=$(printf '%s/odd/\377\376 \351' "$home")
mkdir -p "$odd"
(cd "$home" && "$program" --paste "$odd") || fail "--paste into a name that is not UTF-8: exit $?"
for _ in $(seq 100); do [ -f "$odd/small.txt" ] && break; sleep 0.1; done
[ -f "$odd/small.txt" ] || fail "the paste did not reach the folder whose name is not UTF-8"
[ "$(ls -A "$home/odd" | wc -l)" = 1 ] || fail "the paste made another folder beside it"
[ "$(count)" = 1 ] || fail "--paste into a name that is not UTF-8 started another Ferrymark"

# A plain start while one runs: it says so and ends; the first stays.
out=$("$program" 2>&1); status=$?
[ "$status" -eq 0 ] || fail "second start: exit $status"
case $out in *"already running"*) ;; *) fail "second start said: $out" ;; esac
[ "$(count)" = 1 ] || fail "two Ferrymarks after a second start"

# Two plain starts at once with none running: exactly one stays.
for pid in $(pids); do kill "$pid"; done
for _ in $(seq 100); do owner || break; sleep 0.1; done
"$program" >"$home/a.log" 2>&1 &
"$program" >"$home/b.log" 2>&1 &
sleep 3
[ "$(count)" = 1 ] || fail "two starts at once left $(count) running"
owner || fail "neither of two starts at once owns the name"
cat "$home/a.log" "$home/b.log" | grep -q "already running" || fail "the second start said nothing"
echo "command line: all checks passed"
