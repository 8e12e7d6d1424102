#!/usr/bin/env bash
# fagen-lint reports an error exactly for the registers on which a fagen run
# stops: checked on the register of every end-to-end case.
set -u
fagen=$1 lint=$2 cases=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0 n=0
for reg in "$cases"/*/given/run/reg.txt; do
    [ -f "$reg" ] || continue
    n=$((n + 1))
    rm -rf "$work/run" "$work/working_dir"
    mkdir -p "$work/run" "$work/working_dir"
    cp "$reg" "$work/run/reg.txt"
    (cd "$work/run" && "$fagen" 0 4 reg.txt basic.h family.h 2>/dev/null)
    runStatus=$?
    "$lint" "$reg" >"$work/lint.out" 2>&1
    lintStatus=$?
    if { [ "$runStatus" = 0 ] && [ "$lintStatus" != 0 ]; } || { [ "$runStatus" != 0 ] && [ "$lintStatus" != 1 ]; }; then
        echo "$reg: fagen status $runStatus, fagen-lint status $lintStatus"; cat "$work/lint.out"; failed=1
    fi
done
[ "$failed" = 0 ] && echo "$n registers: an error from fagen-lint exactly where fagen stops"
exit "$failed"
