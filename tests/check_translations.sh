#!/bin/sh
# Usage: check_translations.sh LUPDATE GENERATE_PROJECT_SCRIPT PROJECT_CMAKE TS...
# Runs lupdate over the program's sources into copies of the .ts files and fails when
# any text is missing from them or still unfinished: the user would see it in English.
set -eu
lupdate=$1 generate=$2 project=$3
shift 3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake -DIN_FILE="$project" -DOUT_FILE="$tmp/project.json" -P "$generate" >/dev/null
status=0
for ts in "$@"; do
    copy="$tmp/$(basename "$ts")"
    cp "$ts" "$copy"
    "$lupdate" -project "$tmp/project.json" -no-obsolete -locations none -ts "$copy" \
        >"$tmp/lupdate.log" 2>&1 || { cat "$tmp/lupdate.log" >&2; exit 1; }
    # The source line comes just before its unfinished translation.
    if grep -q 'type="unfinished"' "$copy"; then
        echo "$(basename "$ts"): texts without a translation:" >&2
        grep -B2 'type="unfinished"' "$copy" | sed -n 's/ *<source>\(.*\)<\/source>/  \1/p' >&2
        status=1
    fi
done
exit $status
