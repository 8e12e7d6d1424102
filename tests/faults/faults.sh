#!/usr/bin/env bash
# Fault injection against the output guarantee: wherever a run ends, each output
# holds a prefix of the uninterrupted run's output that ends in a line feed, and
# a run that fails says so in its one error line.
#   faults.sh FAGEN [CLOSE_SHIM]
# - the file-size limit (ulimit -f), with SIGXFSZ left as the shell has it;
# - a full disk: a tmpfs of 16 KiB in a mount namespace of our own (root only);
# - every catchable signal that ends a process, sent while the register (a FIFO)
#   stalls in the middle of step 1, also with the buffered lines too many for
#   the disk;
# - a close(2) that fails (CLOSE_SHIM, preloaded, fails the close of any file
#   named fail-close.h);
# - a signal while an output FIFO is full and its reader has stopped reading;
# - --help and --version to a full disk.
set -u
# Root runs the script in a mount namespace of its own, where it may mount small disks.
if [ "$(id -u)" = 0 ] && [ -z "${FAGEN_OWN_MOUNTS:-}" ] && unshare -m true 2>/dev/null; then
    FAGEN_OWN_MOUNTS=1 exec unshare -m bash "$0" "$@"
fi
fagen=$1 shim=${2:-}
work=$(mktemp -d)
trap 'umount "$work/cut/run" 2>/dev/null; rm -rf "$work"' EXIT
failed=0
note() { echo "$*"; failed=1; }

# The register and the outputs of an uninterrupted run.
awk 'BEGIN { for (i = 0; i < 20000; i++) {
    if (i % 5 < 3) printf "(f%d,0,f%d,basic feature %d)\n", i, i, i;
    else printf "(c%d,1,+ f%d . f%d 1,composite)\n", i, i - i % 5, i - i % 5 + 1 } }' > "$work/reg"
mkdir -p "$work/full/run" "$work/full/working_dir"
(cd "$work/full/run" && "$fagen" 0 4 ../../reg basic.h family.h) || { echo "the uninterrupted run failed"; exit 1; }

# Every output of the run in $1 is a prefix of the full run's, ending in a line feed.
checkPrefixes() {
    local dir=$1 what=$2 f size
    for f in run/basic.h working_dir/names.h working_dir/config.h run/family.h; do
        [ -e "$dir/$f" ] || continue
        size=$(stat -c %s "$dir/$f")
        if [ "$size" -gt 0 ] && [ "$(tail -c 1 "$dir/$f" | od -An -c | tr -d ' ')" != '\n' ]; then
            note "$what: $f ends in a partial line"
        fi
        cmp -s -n "$size" "$dir/$f" "$work/full/$f" || note "$what: $f is not a prefix of the full output"
    done
}

fresh() { rm -rf "$work/cut"; mkdir -p "$work/cut/run" "$work/cut/working_dir"; }

# 1. The file-size limit: the write fails with EFBIG and the file is cut back.
fresh
(cd "$work/cut/run" && ulimit -f 64 && exec "$fagen" 0 4 ../../reg basic.h family.h) 2>"$work/err"
status=$?
[ "$status" = 1 ] || note "ulimit -f: status $status, expected 1"
[ "$(cat "$work/err")" = "fagen: basic.h: hPutStr: permission denied (File too large)" ] ||
    note "ulimit -f: standard error: $(cat "$work/err")"
checkPrefixes "$work/cut" "ulimit -f"

# 2. A full disk, where root may mount a small tmpfs.
smallDisk() { [ -n "${FAGEN_OWN_MOUNTS:-}" ] && mount -t tmpfs -o size=16k tmpfs "$work/cut/run"; }
# Keeps what the small disk holds, and unmounts it.
keepSmallDisk() {
    mkdir -p "$work/kept" && cp -a "$work/cut/run/." "$work/kept/" && umount "$work/cut/run" &&
        rm -rf "$work/cut/run" && mv "$work/kept" "$work/cut/run"
}
fresh
if smallDisk; then
    (cd "$work/cut/run" && exec "$fagen" 0 4 ../../reg basic.h family.h) 2>"$work/err"
    status=$?
    keepSmallDisk
    [ "$status" = 1 ] || note "full disk: status $status, expected 1"
    [ "$(cat "$work/err")" = "fagen: basic.h: hPutStr: resource exhausted (No space left on device)" ] ||
        note "full disk: standard error: $(cat "$work/err")"
    checkPrefixes "$work/cut" "full disk"
else
    echo "full disk: skipped (needs root and mount namespaces)"
fi

# 3. Signals while the register stalls: the lines appended before stay.
waitForRead() { # until process $1 sleeps in a read of a pipe (at most 10 s)
    for _ in $(seq 1000); do
        if [ "$(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null)" = S ]; then
            case $(cat "/proc/$1/wchan" 2>/dev/null) in *pipe*|0|"") return 0 ;; esac
        fi
        sleep 0.01
    done
}
# Runs fagen on a FIFO that gives $2 lines of the register and stalls, sends
# signal $1, and checks the death by that signal and the lines in basic.h.
stall() {
    local sig=$1 lines=$2 dir=$3 pid status
    mkfifo "$dir/reg"
    exec 3<>"$dir/reg"
    (cd "$dir/run" && exec "$fagen" 0 4 ../reg basic.h family.h 2>/dev/null) &
    pid=$!
    head -n "$lines" "$work/reg" >&3
    waitForRead "$pid"
    kill -s "$sig" "$pid"
    { wait "$pid"; } 2>/dev/null
    status=$?
    exec 3>&-
    [ "$status" = $((128 + $(kill -l "$sig"))) ] || note "SIG$sig while stalled: status $status, expected death by it"
}
for sig in HUP INT QUIT USR1 USR2 ALRM TERM XCPU VTALRM PROF; do
    fresh
    stall "$sig" 30 "$work/cut"
    want=$(head -n 30 "$work/reg" | grep -c ',0,')
    [ "$(wc -l < "$work/cut/run/basic.h" 2>/dev/null || echo 0)" = "$want" ] ||
        note "SIG$sig while stalled: basic.h does not hold the $want lines appended before"
    checkPrefixes "$work/cut" "SIG$sig while stalled"
done
# The same with more buffered lines than the disk takes: the handler cuts back.
for sig in INT TERM USR1; do
    fresh
    smallDisk || break
    stall "$sig" 1000 "$work/cut"
    keepSmallDisk
    [ -s "$work/cut/run/basic.h" ] || note "SIG$sig on a full disk: nothing was written"
    checkPrefixes "$work/cut" "SIG$sig on a full disk"
done

# 4. A close that fails: the write of that output failed, and it is cut back.
if [ -n "$shim" ]; then
    fresh
    printf 'kept\n' > "$work/cut/run/fail-close.h"
    (cd "$work/cut/run" && LD_PRELOAD=$shim ASAN_OPTIONS=verify_asan_link_order=0 \
        "$fagen" 0 4 ../../reg fail-close.h family.h) 2>"$work/err"
    status=$?
    [ "$status" = 1 ] || note "failed close: status $status, expected 1"
    [ "$(cat "$work/err")" = "fagen: fail-close.h: hPutStr: hardware fault (Input/output error)" ] ||
        note "failed close: standard error: $(cat "$work/err")"
    [ "$(cat "$work/cut/run/fail-close.h")" = kept ] || note "failed close: the file was not cut back"
    # After a failed write, the close fails too: the write's error is the one reported.
    fresh
    printf 'kept\n' > "$work/cut/run/fail-close.h"
    (cd "$work/cut/run" && ulimit -f 64 && LD_PRELOAD=$shim ASAN_OPTIONS=verify_asan_link_order=0 \
        exec "$fagen" 0 4 ../../reg fail-close.h family.h) 2>"$work/err"
    status=$?
    [ "$status" = 1 ] || note "failed write, then close: status $status, expected 1"
    [ "$(cat "$work/err")" = "fagen: fail-close.h: hPutStr: permission denied (File too large)" ] ||
        note "failed write, then close: standard error: $(cat "$work/err")"
    [ "$(cat "$work/cut/run/fail-close.h")" = kept ] || note "failed write, then close: the file was not cut back"
fi

# 5. An output that is a FIFO whose reader has stopped: a signal still ends the
# run at once, and the reader got the first lines of the full output.
for sig in INT TERM; do
    fresh
    mkfifo "$work/cut/run/basic.h"
    exec 4<>"$work/cut/run/basic.h" # a reader that never reads
    (cd "$work/cut/run" && exec "$fagen" 0 4 ../../reg basic.h family.h 2>/dev/null) &
    pid=$!
    for _ in $(seq 1000); do # until it waits for the reader
        case $(cat "/proc/$pid/wchan" 2>/dev/null) in *pipe*|*poll*) break ;; esac
        sleep 0.01
    done
    kill -s "$sig" "$pid"
    for _ in $(seq 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.01; done
    if kill -0 "$pid" 2>/dev/null; then
        note "SIG$sig while the output FIFO is full: the run goes on"
        kill -s KILL "$pid"
    fi
    { wait "$pid"; } 2>/dev/null
    status=$?
    [ "$status" = $((128 + $(kill -l "$sig"))) ] || note "SIG$sig while the output FIFO is full: status $status"
    timeout 5 dd iflag=nonblock bs=64k <&4 2>/dev/null > "$work/got"
    exec 4<&-
    rm "$work/cut/run/basic.h"
    # Its last line may be incomplete (a pipe cannot be cut back), but it is the
    # full output's first bytes.
    [ -s "$work/got" ] && cmp -s -n "$(stat -c %s "$work/got")" "$work/got" "$work/full/run/basic.h" ||
        note "SIG$sig while the output FIFO is full: the reader did not get the first lines"
done

# 6. --help and --version whose standard output cannot be written.
for opt in --help --version; do
    (exec -a fagen "$fagen" "$opt" >/dev/full) 2>"$work/err"
    status=$?
    [ "$status" = 1 ] || note "$opt to a full disk: status $status, expected 1"
    [ "$(cat "$work/err")" = "fagen: standard output: hPutStr: resource exhausted (No space left on device)" ] ||
        note "$opt to a full disk: standard error: $(cat "$work/err")"
done

[ "$failed" = 0 ] && echo "every fault left complete lines only, and each failure its line"
exit "$failed"
