#!/usr/bin/env bash
# Usage: tools/screenshots.sh OUTDIR
# Writes PNGs of the progress window (counting, copying, paused) and of the prompts
# (file and folder conflict, disk full, quit), taken in a private X session.
set -euo pipefail
if [ $# -ne 1 ]; then
    echo "usage: $0 OUTDIR" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)
build_dir=${BUILD_DIR:-build}
case "$build_dir" in /*) ;; *) build_dir="$root/$build_dir" ;; esac

cmake --build "$build_dir" --target fm-screenshots
"$root/tests/run-x11.sh" "$build_dir/tools/fm-screenshots" "$out"
