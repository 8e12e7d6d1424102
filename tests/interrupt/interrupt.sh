#!/usr/bin/env bash
# Interrupts fagen with SIGINT, SIGTERM and SIGHUP at many moments of a run and
# checks the output guarantee: each output file holds complete lines only, and
# they are the first lines of what an uninterrupted run writes.
set -u
fagen=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/full/run" "$work/full/working_dir"
awk 'BEGIN { for (i = 0; i < 150000; i++) {
    if (i % 5 < 3) printf "(f%d,0,f%d,basic feature %d)\n", i, i, i;
    else printf "(c%d,1,+ f%d . f%d 1,composite)\n", i, i - i % 5, i - i % 5 + 1 } }' > "$work/reg"
(cd "$work/full/run" && "$fagen" 0 4 ../../reg basic.h family.h) || { echo "full run failed"; exit 1; }
files="run/basic.h working_dir/names.h working_dir/config.h run/family.h"

failed=0
n=0
for delay in 0.002 0.01 0.02 0.04 0.06 0.08 0.1 0.13 0.16 0.2 0.25 0.3; do
    for sig in INT TERM HUP; do
        n=$((n + 1))
        dir=$work/cut$n
        mkdir -p "$dir/run" "$dir/working_dir"
        (cd "$dir/run" && exec "$fagen" 0 4 ../../reg basic.h family.h) &
        pid=$!
        sleep "$delay"
        kill -s "$sig" "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        status=$?
        for f in $files; do
            [ -e "$dir/$f" ] || continue
            size=$(stat -c %s "$dir/$f")
            if [ "$size" -gt 0 ] && [ "$(tail -c 1 "$dir/$f" | od -An -c | tr -d ' ')" != '\n' ]; then
                echo "SIG$sig after ${delay}s (status $status): $f ends in a partial line"; failed=1
            fi
            if ! cmp -s -n "$size" "$dir/$f" "$work/full/$f"; then
                echo "SIG$sig after ${delay}s (status $status): $f is not a prefix of the full output"; failed=1
            fi
        done
        rm -rf "$dir"
    done
done
# Waits until process $1 sleeps in a read of a pipe or FIFO (at most 10 s).
waitForRead() {
    for _ in $(seq 1000); do
        if [ "$(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null)" = S ]; then
            case $(cat "/proc/$1/wchan" 2>/dev/null) in *pipe*|0|"") return 0 ;; esac
        fi
        sleep 0.01
    done
}

# Lines appended early in a step are in the file when the step is interrupted
# later: the register is a FIFO that gives two lines and then nothing, held
# open by this script so that fagen waits in the middle of step 1.
for sig in INT TERM HUP; do
    dir=$work/wait$sig
    mkdir -p "$dir/run" "$dir/working_dir"
    mkfifo "$dir/reg"
    exec 3<>"$dir/reg"
    printf '(a,0,a,x)\n(b,0,b,y)\n' >&3
    (cd "$dir/run" && exec "$fagen" 0 4 ../reg basic.h family.h) &
    pid=$!
    waitForRead "$pid"
    kill -s "$sig" "$pid"
    wait "$pid" 2>/dev/null
    status=$?
    exec 3>&-
    if [ "$status" != $((128 + $(kill -l "$sig"))) ]; then
        echo "SIG$sig in step 1: status $status, expected death by the signal"; failed=1
    elif [ "$(cat "$dir/run/basic.h" 2>/dev/null)" != "$(printf 'bdd a = bdd_ithvar(1) ; // x\nbdd b = bdd_ithvar(2) ; // y')" ]; then
        echo "SIG$sig in step 1: the two lines appended before it are not in basic.h"; failed=1
    fi
done
[ "$failed" = 0 ] && echo "$n interrupted runs: every output held complete lines only; lines before a signal kept"
exit "$failed"
