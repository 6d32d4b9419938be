#!/usr/bin/env bash
# Usage: tools/screenshots.sh OUTDIR
# Writes PNGs of the progress window (counting, copying with its details, paused), the
# prompts (file and folder conflict with both items compared, identical files, disk full,
# quit), the tray menu and the preferences
# window, taken in a private X session: OUTDIR/<language>-<scheme>/, for English and
# German, light and dark.
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
# English is the texts themselves; German comes from the translation.
for language in en de; do
    locale=C.UTF-8
    [ "$language" = de ] && locale=de_DE.UTF-8
    for scheme in light dark; do
        LANG=$locale LC_ALL=$locale LANGUAGE= "$root/tests/run-x11.sh" \
            "$build_dir/tools/fm-screenshots" "$out/$language-$scheme" "$scheme"
    done
done
