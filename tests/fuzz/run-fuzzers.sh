#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each for a bounded time, seeded from
# the end-to-end registers and the regression inputs.
#   tests/fuzz/run-fuzzers.sh [SECONDS per target, default 20]
# A finding is left in build-fuzz/findings/<target>/; fix it, then keep the input
# in tests/fuzz/regressions/<target>/ so that every build replays it.
set -euo pipefail
seconds=${1:-20}
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build-fuzz
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFAGEN_FUZZ=ON -DFAGEN_WERROR=ON \
    -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" >/dev/null
cmake --build "$build" -j2 --target fuzz_register_line fuzz_terms fuzz_run

seeds=$build/seeds
rm -rf "$seeds"
mkdir -p "$seeds"/{fuzz_register_line,fuzz_terms,fuzz_run}
n=0
for reg in "$root"/tests/e2e/*/given/run/reg.txt; do
    n=$((n + 1))
    # a whole run: model 0, five arguments, outputs basic.h and family.h
    { printf '\000\002\000'; head -c 4096 "$reg"; } > "$seeds/fuzz_run/$n"
    head -n 20 "$reg" | while IFS= read -r line; do
        n=$((n + 1))
        printf '%s' "$line" > "$seeds/fuzz_register_line/$n-$RANDOM"
        printf '%s' "$line" | cut -d, -f3 > "$seeds/fuzz_terms/$n-$RANDOM"
    done
done

# One seed for the whole stage, printed, so that a finding can be met again:
# FAGEN_FUZZ_SEED=<seed> with the same corpora.
seed=${FAGEN_FUZZ_SEED:-$(($(date +%s) % 2000000000 + 1))}
status=0
for target in fuzz_register_line fuzz_terms fuzz_run; do
    corpus=$build/corpus/$target
    findings=$build/findings/$target
    mkdir -p "$corpus" "$findings"
    echo "== $target: ${seconds}s, seed $seed"
    if ! "$build/tests/$target" "$corpus" "$seeds/$target" "$root/tests/fuzz/regressions/$target" \
        -max_total_time="$seconds" -seed="$seed" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
        -artifact_prefix="$findings/" -print_final_stats=1 2>"$build/$target.log"; then
        echo "$target: finding, see $build/$target.log and $findings"; tail -30 "$build/$target.log"; status=1
    else
        grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$build/$target.log" | tr '\n' ' '; echo
    fi
done
exit "$status"
