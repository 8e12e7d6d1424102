#!/usr/bin/env bash
# Full fagen runs on generated registers against the I/O floor, in one run.
#   bench/run-bench.sh [SIZES] [RUNS] [CHAIN]
# SIZES: register sizes in lines (default "10000 100000 1000000"); RUNS: runs per
# size, the median is shown (default 5); CHAIN: with D > 0, one more composite of
# D alternatives (default 0). Needs build/ configured with -DFAGEN_BENCH=ON.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
sizes=${1:-"10000 100000 1000000"}
runs=${2:-5}
chain=${3:-0}
bin=${FAGEN_BUILD:-$root/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run" "$work/working_dir"

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# Prints "seconds peak_kb" of one command, run in $work/run with fresh outputs.
measure() {
    rm -f "$work"/run/*.h "$work"/working_dir/*.h
    (cd "$work/run" && /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null) || true
    cat "$work/time"
}

# ratio: the median of fagen/floor over adjacent pairs of runs (the machine's
# speed drifts between runs; each pair sees about the same).
printf '%-9s %-10s %-10s %-7s %-9s %-10s %-9s\n' lines fagen_s floor_s ratio peak_MB us/line lint_s
for n in $sizes; do
    "$bin/bench/make_register" "$n" "$chain" > "$work/reg"
    basics=$((n * 6 / 10)); composites=$((n - basics + (chain > 0 ? 1 : 0)))
    f=(); l=(); m=(); c=(); q=()
    for ((i = 0; i < runs; i++)); do
        read -r t kb < <(measure "$bin/fagen" 0 4 ../reg basic.h family.h)
        f+=("$t"); m+=("$kb")
        read -r t _ < <(measure "$bin/bench/io_floor" ../reg . "$basics" "$((basics + 1))" "$((2 * basics + composites))")
        l+=("$t")
        q+=("$(awk -v a="${f[-1]}" -v b="$t" 'BEGIN { print (b > 0 ? a / b : 0) }')")
        read -r t _ < <(measure "$bin/fagen-lint" ../reg)
        c+=("$t")
    done
    ft=$(printf '%s\n' "${f[@]}" | median); lt=$(printf '%s\n' "${l[@]}" | median)
    mk=$(printf '%s\n' "${m[@]}" | median); ct=$(printf '%s\n' "${c[@]}" | median)
    qt=$(printf '%s\n' "${q[@]}" | median)
    awk -v n="$n" -v f="$ft" -v l="$lt" -v k="$mk" -v c="$ct" -v q="$qt" 'BEGIN {
        printf "%-9d %-10.3f %-10.3f %-7.2f %-9.1f %-10.3f %-9.3f\n", n, f, l, q, k / 1024, f * 1e6 / n, c }'
done
