#!/usr/bin/env bash
# fm-transfer against cp -r on trees of 100,000 and 1,000,000 empty and tiny files: wall
# time and peak memory (maximum resident set size) of each tool, as ratios fm-transfer/cp
# and as growth from 100,000 to 1,000,000 files (time should grow about tenfold, memory
# not at all). Tools take turns round by round; old destinations are moved aside rather
# than deleted, as deleting a million files just before a run slows that run down.
# Usage: bench/million_bench.sh [WORKDIR] [ROUNDS]   (fm-transfer from build/tools)
# FM_BASE=/path/to/another/fm-transfer adds that build to the rotation (fm-base) and prints
# fm-transfer/fm-base; TREES="t100k" runs the smaller tree only.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/fm-million-bench}
rounds=${2:-2}
fm=${FM_TRANSFER:-$here/build/tools/fm-transfer}
base=${FM_BASE:-}
trees=${TREES:-t100k t1m}
tools="fm-transfer cp${base:+ fm-base}"
mkdir -p "$work"

# 1000 files a folder, folders in groups of 100; every other file is empty, the rest hold
# 1 to 64 bytes.
make_tree() {  # name files
    [ -f "$work/$1.done" ] && return
    rm -rf "${work:?}/$1"
    echo "making $2 files in $work/$1"
    python3 - "$work/$1" "$2" <<'PY'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
random.seed(11)
payload = os.urandom(64)
for i in range(count):
    if i % 1000 == 0:
        folder = os.path.join(root, "g%03d" % (i // 100000), "d%04d" % (i // 1000))
        os.makedirs(folder)
    fd = os.open(os.path.join(folder, "f%06d" % i), os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    if i % 2:
        os.write(fd, payload[: random.randint(1, 64)])
    os.close(fd)
PY
    touch "$work/$1.done"
}

run_tool() {  # tool tree dest: timed, the figures go to $work/time.txt
    local timed=(/usr/bin/time -v -o "$work/time.txt")
    case $1 in
        fm-transfer) "${timed[@]}" "$fm" "$work/$2" "$3" >/dev/null ;;
        fm-base) "${timed[@]}" "$base" "$work/$2" "$3" >/dev/null ;;
        cp) "${timed[@]}" cp -r "$work/$2" "$3/" ;;
    esac
}

field() {  # file "label"
    grep -F "$2" "$1" | sed 's/.*: //'
}

seconds() {  # h:mm:ss or m:ss.ss
    echo "$1" | awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }'
}

case " $trees " in *" t100k "*) make_tree t100k 100000 ;; esac
case " $trees " in *" t1m "*) make_tree t1m 1000000 ;; esac
sync
aside="$work/aside"
mkdir -p "$aside"
declare -A best_time=() peak_rss=()
for tree in $trees; do
    for round in $(seq "$rounds"); do
        for tool in $tools; do
            dest="$work/dest-$tool"
            [ -d "$dest" ] && mv "$dest" "$aside/$tool-$tree-$round-$RANDOM"
            mkdir -p "$dest"
            sync
            run_tool "$tool" "$tree" "$dest"
            wall=$(seconds "$(field "$work/time.txt" "Elapsed (wall clock)")")
            cpu=$(echo "$(field "$work/time.txt" "User time") + $(field "$work/time.txt" "System time")" | bc -l)
            rss=$(field "$work/time.txt" "Maximum resident set size")
            printf '%-5s round %d %-11s wall %8.2f s  cpu %8.2f s  peak RSS %7d KiB\n' \
                "$tree" "$round" "$tool" "$wall" "$cpu" "$rss"
            key="$tree/$tool"
            if [ -z "${best_time[$key]:-}" ] || [ "$(echo "$wall < ${best_time[$key]}" | bc -l)" = 1 ]; then
                best_time[$key]=$wall
            fi
            if [ -z "${peak_rss[$key]:-}" ] || [ "$rss" -gt "${peak_rss[$key]}" ]; then
                peak_rss[$key]=$rss
            fi
        done
    done
    if diff -rq "$work/$tree" "$work/dest-fm-transfer/$tree" >/dev/null; then
        echo "$tree: fm-transfer copy identical"
    else
        echo "$tree: fm-transfer copy DIFFERS"
    fi
done

ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }
echo
for tree in $trees; do
    for tool in $tools; do
        printf '%-5s %-11s best wall %8.2f s  peak RSS %8d KiB\n' "$tree" "$tool" \
            "${best_time[$tree/$tool]}" "${peak_rss[$tree/$tool]}"
    done
    echo "$tree: fm-transfer/cp time $(ratio "${best_time[$tree/fm-transfer]}" "${best_time[$tree/cp]}")," \
        "peak RSS $(ratio "${peak_rss[$tree/fm-transfer]}" "${peak_rss[$tree/cp]}")"
    if [ -n "$base" ]; then
        echo "$tree: fm-transfer/fm-base time $(ratio "${best_time[$tree/fm-transfer]}" "${best_time[$tree/fm-base]}")," \
            "peak RSS $(ratio "${peak_rss[$tree/fm-transfer]}" "${peak_rss[$tree/fm-base]}")"
    fi
done
if [ "$trees" = "t100k t1m" ]; then
    for tool in $tools; do
        echo "$tool 1,000,000 over 100,000: time $(ratio "${best_time[t1m/$tool]}" "${best_time[t100k/$tool]}")" \
            "(linear: 10), peak RSS $(ratio "${peak_rss[t1m/$tool]}" "${peak_rss[t100k/$tool]}") (flat: 1)"
    done
fi
echo "old destinations are in $aside; remove it when done"
