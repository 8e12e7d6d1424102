#!/usr/bin/env bash
# fagen built with lowered size limits: a term of TERM characters and a
# register of REGISTER bytes work; one character or byte more stops the run with
# a clear error, from a file and from a pipe alike.
#   limits.sh FAGEN TERM REGISTER
set -u
fagen=$1 term=$2 register=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
# Runs fagen on register text $2, the register as a file or a pipe ($1); prints
# the status and standard error.
runOn() {
    rm -rf "$work/run" "$work/working_dir"; mkdir -p "$work/run" "$work/working_dir"
    printf '%s' "$2" > "$work/run/reg.txt"
    if [ "$1" = pipe ]; then
        (cd "$work/run" && exec -a fagen "$fagen" 0 4 /dev/stdin b.h f.h <reg.txt 2>../err)
    else
        (cd "$work/run" && exec -a fagen "$fagen" 0 4 reg.txt b.h f.h 2>../err)
    fi
    echo "$? $(sed 's#/dev/stdin#reg.txt#' "$work/err")"
}
check() { [ "$2" = "$3" ] || { echo "$1: got «$2», expected «$3»"; failed=1; }; }
chain() { # a right-nested chain of exactly $1 characters
    local t=a
    while [ ${#t} -le $(($1 - 4)) ]; do t="+ a $t"; done
    while [ ${#t} -lt "$1" ]; do t="${t}a"; done # the last atom grows: «aa...» is no code, so keep «a» codes
    printf '%s' "$t"
}
terms() { printf '(a,0,a,x)\n(aa,0,a,x)\n(aaa,0,a,x)\n(aaaa,0,a,x)\n(k,1,%s,y)\n' "$(chain "$1")"; }
# The same after a composite within the limit: the long term is not the first one expanded.
later() { printf '(a,0,a,x)\n(j,1,+ a a,y)\n(aa,0,a,x)\n(aaa,0,a,x)\n(aaaa,0,a,x)\n(k,1,%s,y)\n' "$(chain "$1")"; }
for how in file pipe; do
    check "a term of $term characters ($how)" "$(runOn $how "$(terms "$term")")" "0 "
    check "a term of $((term + 1)) characters ($how)" "$(runOn $how "$(terms $((term + 1)))")" \
        "1 fagen: out of memory (term too long)"
    check "a later term of $((term + 1)) characters ($how)" "$(runOn $how "$(later $((term + 1)))")" \
        "1 fagen: out of memory (term too long)"
    pad() { printf '(a,0,a,'; head -c $(($1 - 8)) /dev/zero | tr '\0' x; printf ')'; } # no last line feed: $(...) drops it
    check "a register of $register bytes ($how)" "$(runOn $how "$(pad "$register")")" "0 "
    check "a register of $((register + 1)) bytes ($how)" "$(runOn $how "$(pad $((register + 1)))")" \
        "1 fagen: reg.txt: hGetLine: resource exhausted (register too large)"
done
[ "$failed" = 0 ] && echo "the limits hold at their boundaries"
exit "$failed"
