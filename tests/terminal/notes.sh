#!/usr/bin/env bash
# On a terminal fagen adds one line after its error line: where in the register
# the failure comes from and why, or the usage for a command line that lacks
# something. Off a terminal the same runs print the error line alone.
#   notes.sh FAGEN
set -u
fagen=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run" "$work/working_dir"
cd "$work/run"
printf '(Frame,0,Frame,x)\n(Grinder,0,Grinder,y)\n(Bike,1,. Frame Grinderr,z)\n' > missing.reg
printf '(a,0,a,x)\n\n' > empty-last.reg
printf '(a,0,a,x)\n(k,1,+ a,z)\n' > operand.reg
printf '(a,0,a,x)\nb,0,b,y\n(k,1,+ a b,z)\n' > parenthesis.reg
failed=0
# Each row: arguments | the second line on a terminal ("" for none)
while IFS='|' read -r args note; do
    rm -f ./*.h ../working_dir/*.h
    # shellcheck disable=SC2086
    plain=$(LC_ALL=C.UTF-8 "$fagen" $args 2>&1 >/dev/null)
    rm -f ./*.h ../working_dir/*.h
    # script runs the command with $SHELL, which may be dash (no exec -a).
    onTty=$(LC_ALL=C.UTF-8 SHELL=/bin/bash script -qec "exec -a fagen $fagen $args" /dev/null </dev/null | tr -d '\r')
    want=$(printf 'fagen: %s' "${plain#fagen: }")
    [ -n "$note" ] && want=$(printf '%s\n%s' "$want" "$note")
    if [ "$onTty" != "$want" ]; then
        printf 'fagen %s on a terminal:\n%s\nexpected:\n%s\n' "$args" "$onTty" "$want"; failed=1
    fi
    if [ "$(printf '%s\n' "$plain" | wc -l)" != 1 ]; then
        printf 'fagen %s off a terminal printed more than one line:\n%s\n' "$args" "$plain"; failed=1
    fi
done <<'ROWS'
0 4 missing.reg basic.h family.h|fagen: note: missing.reg:3:17: «Grinderr» is no feature's code; did you mean «Grinder»?
0 4 empty-last.reg basic.h family.h|fagen: note: empty-last.reg:2:1: an empty last line (the file ends in two line feeds): every line needs a type column
0 4 operand.reg basic.h family.h|fagen: note: operand.reg:2:6: «+» lacks its right operand
0 4 parenthesis.reg basic.h family.h|fagen: note: parenthesis.reg:2:1: this line has no «(»: a look-up by code stops here, and so does every expansion whose look-ups reach it
|usage: fagen MODEL BITSIZE REGISTER BASICFILE FAMILYFILE
2 4 missing.reg basic.h family.h|usage: fagen MODEL BITSIZE REGISTER BASICFILE FAMILYFILE
0 4 absent.reg basic.h family.h|
ROWS
[ "$failed" = 0 ] && echo "every note as expected"
exit "$failed"
