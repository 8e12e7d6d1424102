#!/usr/bin/env bash
# Codes made to collide in the look-up table fagen used before its hash was
# keyed, against random codes of the same shape: with the keyed hash both cost
# the same. FAGEN_COMPARE may name another fagen to run beside (an older build).
#   bench/hash-flooding.sh [RUNS]     (medians of RUNS, default 5)
set -euo pipefail
runs=${1:-5}
. "$(dirname "$0")/common.sh"
programs=("$bin/fagen")
[ -n "${FAGEN_COMPARE:-}" ] && programs+=("$FAGEN_COMPARE")
printf '%-8s %-10s %-30s %s\n' codes shape program seconds
for n in 4096 16384; do
    for shape in random colliding; do
        "$bin/bench/flood_register" "$n" "$shape" > "$work/$shape.reg"
        for p in "${programs[@]}"; do
            t=()
            for ((i = 0; i < runs; i++)); do read -r s _ < <(measure "$p" 0 4 "../$shape.reg" basic.h family.h); t+=("$s"); done
            printf '%-8s %-10s %-30s %s\n' "$n" "$shape" "$p" "$(printf '%s\n' "${t[@]}" | median)"
        done
    done
done
