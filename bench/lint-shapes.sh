#!/usr/bin/env bash
# fagen-lint against fagen on the registers that once made the checker
# quadratic: one composite naming 80,000 codes, 4,000 composites each naming a
# different missing code, and a missing code of 30,000 characters.
#   bench/lint-shapes.sh [RUNS]      (medians of RUNS, default 5; build/ as made by cmake)
set -euo pipefail
runs=${1:-5}
. "$(dirname "$0")/common.sh"

"$bin/bench/make_register" 133334 80000 > "$work/chain.reg"
awk 'BEGIN { for (i = 0; i < 4000; i++) printf "(f%d,0,f%d,basic)\n", i, i;
             for (i = 0; i < 4000; i++) printf "(c%d,1,+ f%d missing%d,composite)\n", i, i, i }' > "$work/misses.reg"
awk 'BEGIN { printf "(a,0,a,x)\n(k,1,+ a "; for (i = 0; i < 30000; i++) printf "q"; printf ",y)\n" }' > "$work/long.reg"

printf '%-8s %-9s %-9s %-9s %-9s\n' shape fagen_s lint_s fagen_MB lint_MB
for shape in chain misses long; do
    f=(); l=(); fm=(); lm=()
    for ((i = 0; i < runs; i++)); do
        read -r t k < <(measure "$bin/fagen" 0 4 "../$shape.reg" basic.h family.h); f+=("$t"); fm+=("$k")
        read -r t k < <(measure "$bin/fagen-lint" "../$shape.reg"); l+=("$t"); lm+=("$k")
    done
    printf '%-8s %-9s %-9s %-9s %-9s\n' "$shape" "$(printf '%s\n' "${f[@]}" | median)" "$(printf '%s\n' "${l[@]}" | median)" \
        "$(( $(printf '%s\n' "${fm[@]}" | median) / 1024 ))" "$(( $(printf '%s\n' "${lm[@]}" | median) / 1024 ))"
done
