#!/usr/bin/env bash
# Full fagen runs on generated registers against two floors, in one run:
# - the copy floor: read the register once and write the run's output bytes
#   with cat into fresh files (the physical limit on the machine);
# - the I/O floor (bench/io_floor): read the register five times and append as
#   many lines through buffers.
#   bench/run-bench.sh [SIZES] [RUNS] [CHAIN]
# SIZES: register sizes in lines (default "10000 100000 1000000"); RUNS: runs per
# size, medians shown (default 5); CHAIN: with D > 0, one more composite of D
# alternatives (default 0). FAGEN_BUILD names the build tree (default build/).
set -euo pipefail
sizes=${1:-"10000 100000 1000000"}
runs=${2:-5}
chain=${3:-0}
. "$(dirname "$0")/common.sh"
mkdir -p "$work/expected"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { print (b > 0 ? a / b : 0) }'; }

# Ratios are medians over adjacent runs: this machine's speed drifts between
# runs, and each group of runs sees about the same.
printf '%-8s %-8s %-8s %-8s %-11s %-10s %-8s %-8s %-8s %-9s\n' \
    lines fagen_s copy_s floor_s fagen/copy fagen/floor peak_MB us/line lint_s lint/fagen
for n in $sizes; do
    "$bin/bench/make_register" "$n" "$chain" > "$work/reg"
    (cd "$work/run" && "$bin/fagen" 0 4 ../reg basic.h family.h)
    cp "$work"/run/*.h "$work"/working_dir/*.h "$work/expected/"
    basics=$((n * 6 / 10)); composites=$((n - basics + (chain > 0 ? 1 : 0)))
    copy="cat ../reg >/dev/null; for f in basic.h family.h; do cat ../expected/\$f > \$f; done;
          for f in names.h config.h; do cat ../expected/\$f > ../working_dir/\$f; done"
    f=(); c=(); l=(); m=(); qc=(); ql=(); k=(); qk=()
    for ((i = 0; i < runs; i++)); do
        read -r tf kb < <(measure "$bin/fagen" 0 4 ../reg basic.h family.h)
        read -r tc _ < <(measure sh -c "$copy")
        read -r tl _ < <(measure "$bin/bench/io_floor" ../reg . "$basics" "$((basics + 1))" "$((2 * basics + composites))")
        read -r tk _ < <(measure "$bin/fagen-lint" ../reg)
        f+=("$tf"); m+=("$kb"); c+=("$tc"); l+=("$tl"); k+=("$tk")
        qc+=("$(ratio "$tf" "$tc")"); ql+=("$(ratio "$tf" "$tl")"); qk+=("$(ratio "$tk" "$tf")")
    done
    med() { printf '%s\n' "$@" | median; }
    awk -v n="$n" -v f="$(med "${f[@]}")" -v c="$(med "${c[@]}")" -v l="$(med "${l[@]}")" \
        -v qc="$(med "${qc[@]}")" -v ql="$(med "${ql[@]}")" -v mk="$(med "${m[@]}")" \
        -v k="$(med "${k[@]}")" -v qk="$(med "${qk[@]}")" 'BEGIN {
        printf "%-8d %-8.3f %-8.4f %-8.3f %-11.2f %-10.2f %-8.1f %-8.3f %-8.3f %-9.2f\n",
               n, f, c, l, qc, ql, mk / 1024, f * 1e6 / n, k, qk }'
done
