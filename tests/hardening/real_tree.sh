#!/bin/bash
# Usage: real_tree.sh FM_TRANSFER
# A tree with the shapes real trees have, copied and moved by fm-transfer with links kept
# and with links followed, each compared with `cp -a` of the same tree by rsync. Kept as
# links, nothing may differ; followed, only the links themselves, each named below. Also a
# git repository with a link, copied with links kept, must have a clean `git status`.
# Exits 77 (skipped) where it can not check what it claims.
set -euo pipefail
fm=$1

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: needs root (files of another owner, a set-user-id file)"
    exit 77
fi
for tool in rsync setfacl setfattr git; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The same shapes, at the same path, for each run: the absolute links point the same way.
outside=$work/outside
mkdir -p "$outside/data"
printf 'outside file\n' >"$outside/thing"
printf 'a data set\n' >"$outside/data/set"

make_tree() {
    local t=$1
    rm -rf "$t"
    mkdir -p "$t/sub/deeper" "$t/empty/inner" "$t/.config/app" "$t/odd names"
    printf 'plain\n' >"$t/file"
    printf 'deeper\n' >"$t/sub/deeper/leaf"
    printf 'hidden\n' >"$t/.hidden"
    printf 'setting=1\n' >"$t/.config/app/rc"
    # Links: relative, absolute, dangling, to a folder inside and outside, back up the tree.
    ln -s file "$t/rel"
    ln -s "$outside/thing" "$t/abs"
    ln -s no/such/target "$t/dangling"
    ln -s sub "$t/to-sub"
    ln -s "$outside/data" "$t/to-outside"
    ln -s ../.. "$t/sub/deeper/back"
    # Two names of one file.
    printf 'shared\n' >"$t/hard-a"
    ln "$t/hard-a" "$t/sub/hard-b"
    # A set-user-id program, files of another owner and group.
    printf '#!/bin/sh\n' >"$t/tool"
    chmod 4755 "$t/tool"
    printf 'theirs\n' >"$t/sub/owned"
    chown 1234:5678 "$t/sub/owned"
    chown 1235:5679 "$t/sub/deeper"
    chmod 2775 "$t/sub/deeper"
    chown -h 1236:5680 "$t/rel"
    # An attribute, an access list, a sparse file.
    printf 'tagged\n' >"$t/tagged"
    setfattr -n user.comment -v 'kept' "$t/tagged"
    printf 'listed\n' >"$t/acl-file"
    setfacl -m u:1234:rw "$t/acl-file"
    setfacl -d -m g:5678:rx "$t/sub"
    truncate -s 16M "$t/sparse"
    printf 'middle' | dd of="$t/sparse" bs=1 seek=$((8 * 1024 * 1024)) conv=notrunc status=none
    # Odd names.
    printf '1\n' >"$t/odd names/tab	in name"
    printf '2\n' >"$t/odd names/new
line"
    printf '3\n' >"$t/odd names/ünïcödé"
    printf '4\n' >"$t/odd names/-starts-with-dash"
    printf '5\n' >"$t/odd names/back\\slash"
    # Times that a copy must keep, on files, folders and links alike.
    touch -h -d '2001-02-03 04:05:06' "$t/rel" "$t/dangling" "$t/file" "$t/empty/inner"
}

# The names rsync lists between the reference and the copy, one a line, sorted.
# A folder where the reference has a link is no itemized line but a complaint of its own.
differences() {
    { rsync -n -i -a -H -A -X --checksum "$1/" "$2/" 2>&1 || true; } |
        sed -e '/^rsync error: /d' -e 's/^could not make way for new symlink: /. /' \
            -e 's/^.*delete non-empty directory: /. /' -e 's/^[^ ]* *//' -e 's/ -> .*//' -e 's/ => .*//' |
        LC_ALL=C sort -u
}

followed_links="abs
dangling
rel
sub/deeper/back
to-outside
to-sub"

for mode in kept followed; do
    for op in copy move; do
        run="$mode-$op"
        src=$work/src-$run
        make_tree "$src/tree"
        mkdir -p "$work/ref-$run" "$work/dst-$run"
        cp -a "$src/tree" "$work/ref-$run/"
        args=()
        [ "$mode" = kept ] && args+=(--no-dereference)
        [ "$op" = move ] && args+=(--move)
        status=0
        "$fm" "${args[@]}" "$src/tree" "$work/dst-$run" >"$work/$run.out" 2>"$work/$run.err" ||
            status=$?
        got=$(differences "$work/ref-$run/tree" "$work/dst-$run/tree")
        if [ "$mode" = kept ]; then
            [ "$status" -eq 0 ] || fail "$run: exit $status: $(cat "$work/$run.err")"
            [ -z "$got" ] || fail "$run: differs from cp -a:
$got"
            if [ "$op" = move ] && [ -e "$src/tree" ]; then
                fail "$run: the source is still there: $(find "$src/tree" | head)"
            fi
        else
            # The dangling link and the one back up the tree are listed, so not everything
            # was transferred.
            [ "$status" -eq 3 ] || fail "$run: exit $status, expected 3"
            grep -q "dangling: link whose target does not exist: no/such/target" "$work/$run.err" ||
                fail "$run: the dangling link is not listed as such: $(cat "$work/$run.err")"
            [ "$got" = "$followed_links" ] || fail "$run: expected only the links to differ:
$got"
            # What the links pointed to is there as real files and folders.
            cmp -s "$work/dst-$run/tree/to-outside/set" "$outside/data/set" ||
                fail "$run: the linked folder outside was not copied"
            cmp -s "$work/dst-$run/tree/to-sub/deeper/leaf" "$src/tree/sub/deeper/leaf" 2>/dev/null ||
                cmp -s "$work/dst-$run/tree/to-sub/deeper/leaf" "$work/ref-$run/tree/sub/deeper/leaf" ||
                fail "$run: the linked folder inside was not copied"
        fi
    done
done

# A repository whose link must stay a link: `git status` would show a type change.
repo=$work/repo
mkdir -p "$repo"
git -C "$repo" init -q
printf 'read me\n' >"$repo/README"
ln -s README "$repo/readme-link"
git -C "$repo" add -A
git -C "$repo" -c user.name=t -c user.email=t@t commit -qm one
mkdir "$work/repo-copy"
"$fm" --no-dereference "$repo" "$work/repo-copy" >"$work/repo.out" 2>&1 ||
    fail "git repository: fm-transfer failed: $(cat "$work/repo.out")"
changes=$(git -C "$work/repo-copy/repo" status --porcelain 2>&1 || true)
[ -z "$changes" ] || fail "git repository: git status is not clean:
$changes"

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "the copies match cp -a"
