#!/usr/bin/env bash
# fagen-lint against fagen on the registers that once made the checker
# quadratic: one composite naming 80,000 codes, 4,000 composites each naming a
# different missing code, and a missing code of 30,000 characters.
#   bench/lint-shapes.sh [RUNS]      (medians of RUNS, default 5; build/ as made by cmake)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-5}
bin=${FAGEN_BUILD:-$root/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run" "$work/working_dir"

"$bin/bench/make_register" 133334 80000 > "$work/chain.reg"
awk 'BEGIN { for (i = 0; i < 4000; i++) printf "(f%d,0,f%d,basic)\n", i, i;
             for (i = 0; i < 4000; i++) printf "(c%d,1,+ f%d missing%d,composite)\n", i, i, i }' > "$work/misses.reg"
awk 'BEGIN { printf "(a,0,a,x)\n(k,1,+ a "; for (i = 0; i < 30000; i++) printf "q"; printf ",y)\n" }' > "$work/long.reg"

median() { sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
seconds() { # seconds (to the microsecond) and peak KB of a command run in $work/run
    rm -f "$work"/run/*.h "$work"/working_dir/*.h
    local start=$EPOCHREALTIME
    (cd "$work/run" && /usr/bin/time -q -f "%M" -o "$work/time" "$@" >/dev/null 2>&1) || true
    local end=$EPOCHREALTIME
    echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }') $(cat "$work/time")"
}
printf '%-8s %-9s %-9s %-9s %-9s\n' shape fagen_s lint_s fagen_MB lint_MB
for shape in chain misses long; do
    f=(); l=(); fm=(); lm=()
    for ((i = 0; i < runs; i++)); do
        read -r t k < <(seconds "$bin/fagen" 0 4 "../$shape.reg" basic.h family.h); f+=("$t"); fm+=("$k")
        read -r t k < <(seconds "$bin/fagen-lint" "../$shape.reg"); l+=("$t"); lm+=("$k")
    done
    printf '%-8s %-9s %-9s %-9s %-9s\n' "$shape" "$(printf '%s\n' "${f[@]}" | median)" "$(printf '%s\n' "${l[@]}" | median)" \
        "$(( $(printf '%s\n' "${fm[@]}" | median) / 1024 ))" "$(( $(printf '%s\n' "${lm[@]}" | median) / 1024 ))"
done
