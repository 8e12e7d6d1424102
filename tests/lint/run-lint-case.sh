#!/usr/bin/env bash
# Runs fagen-lint on one golden case, cases/NAME.reg, and compares standard
# output with NAME.expected and the exit status with NAME.status (0 if absent).
# With --bless, writes them instead (read them before committing).
set -u
lint=$1 reg=$2
case=${reg%.reg}
cd "$(dirname "$reg")"
name=$(basename "$reg")
"$lint" "$name" > "$case.out" 2>&1
status=$?
if [ "${3:-}" = --bless ]; then
    mv "$case.out" "$case.expected"
    if [ "$status" = 0 ]; then rm -f "$case.status"; else echo "$status" > "$case.status"; fi
    exit 0
fi
want=0
[ -f "$case.status" ] && want=$(cat "$case.status")
failed=0
[ "$status" = "$want" ] || { echo "status $status, expected $want"; failed=1; }
diff -u "$case.expected" "$case.out" || failed=1
rm -f "$case.out"
exit "$failed"
