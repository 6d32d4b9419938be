#!/usr/bin/env bash
# What reading the copies back costs: fm-transfer --move with and without it on one 1 GiB
# file and on 20,000 files of 4 KiB, best of ROUNDS each, and the checking phase's reading
# speed (from fm-transfer's log) against xxhsum -H2 over the same copies, read from the disk
# (their pages dropped first, as the check does). Sources are copied afresh before every
# move, outside the timing.
# Usage: bench/verify_bench.sh [WORKDIR] [ROUNDS]   (fm-transfer from build/tools)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/fm-verify-bench}
rounds=${2:-3}
fm=${FM_TRANSFER:-$here/build/tools/fm-transfer}
mkdir -p "$work"

if [ ! -f "$work/big/one.bin" ]; then
    mkdir -p "$work/big"
    head -c 1G /dev/urandom >"$work/big/one.bin"
fi
if [ ! -d "$work/small" ]; then
    python3 "$here/bench/small_tree.py" "$work/small"
fi

drop_pages() {  # every file below $1 leaves the page cache
    python3 - "$1" <<'PY'
import os, sys
for folder, _, files in os.walk(sys.argv[1]):
    for name in files:
        fd = os.open(os.path.join(folder, name), os.O_RDONLY)
        os.fdatasync(fd)
        os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
        os.close(fd)
PY
}

now() { date +%s.%N; }

for tree in ${TREES:-big small}; do
    best_on="" best_off="" best_hash="" best_check=""
    for ((r = 1; r <= rounds; r++)); do
        for mode in verify no-verify; do
            rm -rf "$work/src" "$work/dest"
            mkdir -p "$work/dest"
            cp -r "$work/$tree" "$work/src"
            sync
            start=$(now)
            "$fm" --move "--$mode" "$work/src" "$work/dest" >"$work/log"
            took=$(echo "$(now) - $start" | bc)
            if [ "$mode" = verify ]; then
                [ -z "$best_on" ] || [ "$(echo "$took < $best_on" | bc)" = 1 ] && best_on=$took
                # The check runs in batches, each logging what it read and how long it took.
                read -r bytes ms < <(sed -n 's/.*: \([0-9]*\) bytes read in \([0-9]*\) ms/\1 \2/p' \
                    "$work/log" | awk '{ b += $1; m += $2 } END { printf "%d %d\n", b, (m > 0 ? m : 1) }')
                speed=$(echo "scale=1; $bytes * 1000 / $ms / 1048576" | bc)
                [ -z "$best_check" ] || [ "$(echo "$speed > $best_check" | bc)" = 1 ] &&
                    best_check=$speed
                drop_pages "$work/dest"
                bytes=$(du -sb "$work/dest" | cut -f1)
                start=$(now)
                find "$work/dest" -type f -print0 | xargs -0 xxhsum -H2 >/dev/null
                took=$(echo "$(now) - $start" | bc)
                speed=$(echo "scale=1; $bytes / 1048576 / $took" | bc)
                [ -z "$best_hash" ] || [ "$(echo "$speed > $best_hash" | bc)" = 1 ] &&
                    best_hash=$speed
            else
                [ -z "$best_off" ] || [ "$(echo "$took < $best_off" | bc)" = 1 ] && best_off=$took
            fi
        done
    done
    echo "$tree: move with check ${best_on}s, without ${best_off}s," \
        "ratio $(echo "scale=3; $best_on / $best_off" | bc);" \
        "checking ${best_check} MiB/s (copies and originals read), xxhsum -H2 ${best_hash} MiB/s"
done
rm -rf "$work/src" "$work/dest"
