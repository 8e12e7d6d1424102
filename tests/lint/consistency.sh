#!/usr/bin/env bash
# fagen-lint reports an error exactly for the registers on which a fagen run
# stops: checked on the register of every end-to-end case and on a few made for
# a Latin-1 locale, under UTF-8 and under ISO-8859-1, with the register given as
# a file, through a pipe and as a process substitution.
#   consistency.sh FAGEN FAGEN_LINT E2E_CASES
set -u
fagen=$1 lint=$2 cases=$3
here=$(cd "$(dirname "$0")" && pwd)
declare -A vars
for locale in C.UTF-8 en_US.ISO-8859-1; do vars[$locale]=$(bash "$here/../support/with-locale.sh" --env "$locale") || exit 77; done
# shellcheck disable=SC2086
inLocale() { local l=$1; shift; env ${vars[$l]} "$@"; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/more"
printf '(a,0,a,x)\n(\xff,0,y,z)\n' > "$work/more/y-diaeresis.reg"       # Ÿ is not Latin-1
printf '(a,0,a,x)\n(k,1,+ a \xb5,z)\n(\xb5,0,y,z)\n' > "$work/more/micro.reg" # nor is Μ
printf '(\xe9t\xe9,0,a,x)\n(k,1,. \xe9t\xe9 1,z)\n' > "$work/more/accents.reg"
failed=0 n=0
for reg in "$cases"/*/given/run/reg.txt "$work"/more/*.reg; do
    [ -f "$reg" ] || continue
    for locale in C.UTF-8 en_US.ISO-8859-1; do
        n=$((n + 1))
        rm -rf "$work/run" "$work/working_dir"
        mkdir -p "$work/run" "$work/working_dir"
        cp "$reg" "$work/run/reg.txt"
        (cd "$work/run" && inLocale "$locale" "$fagen" 0 4 reg.txt basic.h family.h 2>/dev/null)
        runStatus=$?
        for how in file pipe substitution; do
            case $how in
            file) inLocale "$locale" "$lint" "$reg" >"$work/lint.out" 2>&1 ;;
            pipe) cat "$reg" | inLocale "$locale" "$lint" - >"$work/lint.out" 2>&1 ;;
            substitution) inLocale "$locale" "$lint" <(cat "$reg") >"$work/lint.out" 2>&1 ;;
            esac
            lintStatus=$?
            if { [ "$runStatus" = 0 ] && [ "$lintStatus" != 0 ]; } || { [ "$runStatus" != 0 ] && [ "$lintStatus" != 1 ]; }; then
                echo "$reg under $locale, as a $how: fagen status $runStatus, fagen-lint status $lintStatus"
                cat "$work/lint.out"; failed=1
            fi
        done
    done
done
[ "$failed" = 0 ] && echo "$n runs: an error from fagen-lint exactly where fagen stops"
exit "$failed"
