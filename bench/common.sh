# Sourced by the benchmark scripts: a work folder laid out as run/ beside
# working_dir/ (removed on exit), the build tree, and how a run is timed.
# FAGEN_BUILD names the build tree (default build/).
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${FAGEN_BUILD:-$root/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run" "$work/working_dir"

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# Prints "seconds peak_kb" of one command, run in $work/run with fresh outputs:
# the wall clock to the microsecond (time's own is in hundredths, too coarse
# for the copy floor), the peak from time.
measure() {
    rm -f "$work"/run/*.h "$work"/working_dir/*.h
    local start=$EPOCHREALTIME
    (cd "$work/run" && /usr/bin/time -q -f "%M" -o "$work/time" "$@" >/dev/null 2>&1) || true
    local end=$EPOCHREALTIME
    echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }') $(cat "$work/time")"
}
