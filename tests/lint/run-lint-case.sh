#!/usr/bin/env bash
# Runs fagen-lint on one golden case, cases/NAME.reg, in a fresh folder and
# compares its standard output and error with NAME.expected and its exit status
# with NAME.status (0 if absent). NAME.args, if present, holds the arguments,
# one a line (default: NAME.reg). With --bless, writes the expected files
# instead (read them before committing).
set -u
export LC_ALL=C.UTF-8
lint=$1 reg=$2
case=${reg%.reg}
name=$(basename "$reg")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$reg" "$work/"
args=("$name")
[ -f "$case.args" ] && mapfile -t args < "$case.args"
(cd "$work" && "$lint" "${args[@]}" > "$work/out" 2>&1)
status=$?
if [ "${3:-}" = --bless ]; then
    cp "$work/out" "$case.expected"
    if [ "$status" = 0 ]; then rm -f "$case.status"; else echo "$status" > "$case.status"; fi
    exit 0
fi
want=0
[ -f "$case.status" ] && want=$(cat "$case.status")
failed=0
[ "$status" = "$want" ] || { echo "status $status, expected $want"; failed=1; }
diff -u "$case.expected" "$work/out" || failed=1
exit "$failed"
