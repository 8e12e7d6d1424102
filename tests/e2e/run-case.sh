#!/usr/bin/env bash
# Runs one end-to-end case: fagen in a fresh folder laid out as run/ (the current
# directory) beside working_dir/, then compares every file, standard error and
# the exit status with what the case expects. See README.md beside this script.
set -u
fagen=$1
case_dir=$2
# The locale: C.UTF-8, or the one the case names (made if the machine lacks it;
# skipped, status 77, when it cannot be made).
locale=C.UTF-8
[ -f "$case_dir/locale" ] && locale=$(cat "$case_dir/locale")
vars=$(bash "$(dirname "$0")/../support/with-locale.sh" --env "$locale") || exit 77
# shellcheck disable=SC2086
export $vars
tmp=$(mktemp -d)
trap 'chmod -R u+rwX "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT

[ -d "$case_dir/given" ] && cp -a "$case_dir/given/." "$tmp/"
mkdir -p "$tmp/run"
[ -f "$case_dir/no-working-dir" ] || mkdir -p "$tmp/working_dir"
if [ -f "$case_dir/setup" ] && ! (cd "$tmp" && bash "$case_dir/setup"); then
    echo "setup failed"; exit 1
fi

args=()
[ -f "$case_dir/args" ] && mapfile -t args < "$case_dir/args"
(cd "$tmp/run" && exec -a fagen timeout -s KILL 300 "$fagen" "${args[@]}" >"$tmp/stdout" 2>"$tmp/stderr" </dev/null)
status=$?

failed=0
want_status=0
[ -f "$case_dir/status" ] && want_status=$(cat "$case_dir/status")
if [ "$status" != "$want_status" ]; then
    echo "exit status: expected $want_status, got $status"; failed=1
fi
want_stderr="$case_dir/stderr"
[ -f "$want_stderr" ] || want_stderr=/dev/null
if ! cmp -s "$want_stderr" "$tmp/stderr"; then
    echo "standard error differs:"; diff "$want_stderr" "$tmp/stderr"; failed=1
fi
if [ -s "$tmp/stdout" ]; then
    echo "unexpected standard output:"; cat "$tmp/stdout"; failed=1
fi
rm -f "$tmp/stdout" "$tmp/stderr"
# Files too large for a golden: compared by their SHA-256, then left out.
if [ -f "$case_dir/generated" ]; then
    while read -r path sum; do
        actual=$(sha256sum "$tmp/$path" 2>/dev/null | cut -d' ' -f1)
        if [ "$actual" != "$sum" ]; then echo "$path: sha256 ${actual:-(missing)}, expected $sum"; failed=1; fi
        rm -f "$tmp/$path"
    done < "$case_dir/generated"
fi
find "$tmp" -mindepth 1 -type p -delete          # FIFOs made by a setup
find "$tmp" -mindepth 1 -type d -empty -delete # git keeps no empty folders
# Every file after the run, and nothing else, as the case expects it.
mkdir -p "$case_dir/expected"
if ! diff -r --no-dereference "$case_dir/expected" "$tmp" >"$tmp.diff" 2>&1; then
    echo "files differ from $case_dir/expected:"; cat "$tmp.diff"; failed=1
fi
rm -f "$tmp.diff"
[ "$failed" = 0 ] && echo "ok"
exit "$failed"
