#!/usr/bin/env bash
# fm-transfer against cp -r and rsync -a on two trees: 20,000 files of 4 KiB in 200
# folders, and a mixed tree of about 1 GiB. Tools take turns round by round, and old
# destinations are moved aside rather than deleted between runs, so every tool works under
# the same conditions (creating many files right after deleting many is much slower here).
# Usage: bench/tree_bench.sh [WORKDIR] [ROUNDS]   (fm-transfer from build/tools)
# FM_BASE=/path/to/another/fm-transfer adds that build to the rotation (fm-base) and prints
# fm-transfer/fm-base; TREES="small" runs one tree only ("big" is one file of 1 GiB);
# TOOLS="fm-transfer fm-base" leaves cp and rsync out.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-/tmp/fm-tree-bench}
rounds=${2:-3}
fm=${FM_TRANSFER:-$here/build/tools/fm-transfer}
base=${FM_BASE:-}
trees=${TREES:-small mixed}
tools=${TOOLS:-fm-transfer cp rsync${base:+ fm-base}}
mkdir -p "$work"

make_small() {
    [ -d "$work/small" ] && return
    echo "making 20,000 files of 4 KiB in 200 folders"
    python3 "$here/bench/small_tree.py" "$work/small"
}

make_mixed() {
    [ -d "$work/mixed" ] && return
    echo "making a mixed tree of about 1 GiB"
    python3 - "$work/mixed" <<'PY'
import os, random, sys
root = sys.argv[1]
random.seed(7)
total = 0
i = 0
while total < (1 << 30):
    d = os.path.join(root, "d%02d" % (i % 40), "s%d" % (i % 7))
    os.makedirs(d, exist_ok=True)
    r = random.random()
    size = random.randint(0, 16 << 10) if r < 0.8 else (random.randint(1, 4 << 20) if r < 0.98 else random.randint(32 << 20, 96 << 20))
    with open(os.path.join(d, "f%06d" % i), "wb") as out:
        out.write(os.urandom(min(size, 1 << 20)) * (size // (1 << 20)) + os.urandom(size % (1 << 20)))
    total += size
    i += 1
print("files:", i, "bytes:", total)
PY
}

run_tool() {  # tool tree dest
    case $1 in
        fm-transfer) "$fm" "$work/$2" "$3" >/dev/null ;;
        fm-base) "$base" "$work/$2" "$3" >/dev/null ;;
        cp) cp -r "$work/$2" "$3/" ;;
        rsync) rsync -a "$work/$2" "$3/" ;;
    esac
}

make_big() {
    [ -d "$work/big" ] && return
    echo "making one file of 1 GiB"
    mkdir -p "$work/big"
    head -c 1G /dev/urandom >"$work/big/one.bin"
}

case " $trees " in *" small "*) make_small ;; esac
case " $trees " in *" big "*) make_big ;; esac
case " $trees " in *" mixed "*) make_mixed ;; esac
sync
aside="$work/aside"
mkdir -p "$aside"
for tree in $trees; do
    declare -A best=()
    for round in $(seq "$rounds"); do
        for tool in $tools; do
            dest="$work/dest-$tool"
            [ -d "$dest" ] && mv "$dest" "$aside/$tool-$tree-$round-$RANDOM"
            mkdir -p "$dest"
            sync
            start=$(date +%s.%N)
            run_tool "$tool" "$tree" "$dest"
            sync
            end=$(date +%s.%N)
            t=$(echo "$end - $start" | bc -l)
            printf '%s round %d %-11s %.3f s\n' "$tree" "$round" "$tool" "$t"
            if [ -z "${best[$tool]:-}" ] || [ "$(echo "$t < ${best[$tool]}" | bc -l)" = 1 ]; then
                best[$tool]=$t
            fi
        done
    done
    diff -rq "$work/$tree" "$work/dest-fm-transfer/$tree" >/dev/null && echo "$tree: fm-transfer copy identical"
    if [ -n "${best[cp]:-}" ] && [ -n "${best[rsync]:-}" ]; then
        printf '%s best: fm-transfer %.3f s, cp -r %.3f s, rsync -a %.3f s; fm-transfer/cp %.3f, fm-transfer/rsync %.3f\n' \
            "$tree" "${best[fm-transfer]}" "${best[cp]}" "${best[rsync]}" \
            "$(echo "${best[fm-transfer]} / ${best[cp]}" | bc -l)" "$(echo "${best[fm-transfer]} / ${best[rsync]}" | bc -l)"
    fi
    if [ -n "$base" ]; then
        printf '%s best: fm-base %.3f s; fm-transfer/fm-base %.3f\n' "$tree" "${best[fm-base]}" \
            "$(echo "${best[fm-transfer]} / ${best[fm-base]}" | bc -l)"
    fi
    unset best
done
echo "old destinations are in $aside; remove it when done"
