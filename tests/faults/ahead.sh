#!/usr/bin/env bash
# Lines read and made ahead on a second thread change nothing: on registers of many
# chunks, with a fault planted among the composites the second thread makes,
# a run gives the same outputs, error line and status as a run on one thread
# (FAGEN_THREADS=1), from a file and through a pipe; and fagen-lint, whose
# second thread expands composites ahead, says the same of each register.
#   ahead.sh FAGEN FAGEN_LINT
set -u
fagen=$1 lint=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
# 100,000 lines: basics and composites in turn, each composite over earlier basics.
awk 'BEGIN { for (i = 1; i <= 100000; i++)
    if (i % 5 < 3 || i < 10) printf "(b%d,0,b%d,basic %d)\n", i, i, i;
    else printf "(k%d,%d,+ b%d . b%d 1,composite %d)\n", i, i % 2 + 1, i - i % 5, i - i % 5 - 5 + (i < 10), i }' \
    > "$work/base.reg"
long=$(awk 'BEGIN { s = "b5"; for (i = 0; i < 14000; i++) s = "+ b5 " s; print s }') # past 64 KiB
# Each row: name | the line put in place of line 7503 (a composite, in chunks
# of the second thread's, of lines and of composites alike), or of the line
# given last (a basic feature's, read ahead in a later piece) | more lines
# appended at the end | that line
while IFS='|' read -r name line tail at; do
    reg=$work/$name.reg
    printf '%b\n' "$line" > "$work/line"
    awk -v given="$line" -v with="$work/line" -v at="${at:-7503}" 'NR == at && given != "" { getline l < with; print l; next } { print }' \
        "$work/base.reg" > "$reg"
    [ -n "$tail" ] && printf '%b' "$tail" >> "$reg"
    for threads in 1 2; do
        for how in file pipe; do
            out=$work/$name.$threads.$how
            mkdir -p "$out/run" "$out/working_dir"
            if [ "$how" = file ]; then
                (cd "$out/run" && FAGEN_THREADS=$threads LC_ALL=C.UTF-8 "$fagen" 0 4 "$reg" b.h f.h 2>../stderr </dev/null)
            else
                (cd "$out/run" && FAGEN_THREADS=$threads LC_ALL=C.UTF-8 "$fagen" 0 4 /dev/stdin b.h f.h 2>../stderr <"$reg")
            fi
            echo $? > "$out/status"
        done
    done
    for threads in 1 2; do
        FAGEN_THREADS=$threads LC_ALL=C.UTF-8 "$lint" "$reg" > "$work/$name.lint$threads" 2>&1
        echo $? >> "$work/$name.lint$threads"
    done
    if ! cmp -s "$work/$name.lint1" "$work/$name.lint2"; then
        printf '%s: fagen-lint with composites checked ahead differs from one thread\n' "$name"
        failed=1
    fi
    for how in file pipe; do
        if ! diff -r "$work/$name.1.$how" "$work/$name.2.$how" >/dev/null; then
            printf '%s (%s): a run with lines made ahead differs from one on one thread\n' "$name" "$how"
            failed=1
        fi
    done
done <<ROWS
nothing wrong||
a code no feature has|(k7503,1,+ b7500 . nothere b7495,bad)|
an operand missing|(k7503,1,+ b7500,bad)|
an atom without translation|(k7503,1,+ b7500 2,bad)|
no expression|(k7503,1)|
no type column|(k7503)|
bytes that are not UTF-8|(k7503,1,+ b7500 b\xff,bad)|
a line without a parenthesis|k7503,1,+ b7500 b7495,bad|
a long composite|(k7503,1,$long,long)|
a composite over a later composite|(k7503,1,+ k7504 b7500,ahead)|
an empty last line||\n
a code no feature has, late||(k100001,1,+ b1 gone,late)\n
bytes that are not UTF-8, read ahead|(b90001,0,b\xff,basic)||90001
no type column, read ahead|(b90001)||90001
ROWS
for name in "nothing wrong" "a long composite"; do
    [ "$(cat "$work/$name.2.file/status")" = 0 ] || { echo "$name: the run failed"; failed=1; }
done
# Under a limit on memory (ulimit -v), from tight to ample, a run and fagen-lint
# end as on one thread: the second thread takes no room that one thread needs.
# Skipped where a run on one thread fails under the largest (a sanitizer build).
limited() { # limited KB THREADS PROGRAM ARGS...: in $work/vm.KB.THREADS
    local kb=$1 threads=$2 out=$work/vm.$1.$2
    shift 2
    rm -rf "$out" && mkdir -p "$out/run" "$out/working_dir"
    (cd "$out/run" && ulimit -v "$kb" && FAGEN_THREADS=$threads LC_ALL=C.UTF-8 "$@" >../stdout 2>../stderr)
    echo $? > "$out/status"
}
if limited 131072 1 "$fagen" 0 4 "$work/base.reg" b.h f.h && [ "$(cat "$work/vm.131072.1/status")" = 0 ]; then
    for ((kb = 12288; kb <= 57344; kb += 1536)); do
        for threads in 1 2; do limited $kb $threads "$fagen" 0 4 "$work/base.reg" b.h f.h; done
        diff -r "$work/vm.$kb.1" "$work/vm.$kb.2" >/dev/null ||
            { echo "fagen under ulimit -v $kb: two threads end otherwise than one"; failed=1; }
        for threads in 1 2; do limited $kb $threads "$lint" "$work/base.reg"; done
        diff -r "$work/vm.$kb.1" "$work/vm.$kb.2" >/dev/null ||
            { echo "fagen-lint under ulimit -v $kb: two threads end otherwise than one"; failed=1; }
    done
fi
[ "$failed" = 0 ] && echo "lines made and composites checked ahead agree with one thread"
exit "$failed"
