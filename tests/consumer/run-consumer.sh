#!/usr/bin/env bash
# Runs fagen on a register, compiles the consumer example against the four
# fragments with BuDDy, runs it and compares the families it prints.
#   run-consumer.sh FAGEN CXX REGISTER EXPECTED   (set model)
#   run-consumer.sh FAGEN CXX REGISTER --bag      (bag model: compile only)
set -euo pipefail
fagen=$1 cxx=$2 register=$3 expected=$4
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run" "$work/working_dir"
model=0
[ "$expected" = --bag ] && model=1
(cd "$work/run" && "$fagen" "$model" 4 "$register" basic.h family.h)
sed -n 's/^FAMILY \([^ ;]*\).*/print("\1", \1);/p' "$work/run/family.h" > "$work/run/print-families.inc"
flags=(-std=c++17 -I"$work/working_dir" -I"$work/run" -I"$root/examples/consumer" "$root/examples/consumer/main.cpp")
if [ "$model" = 1 ]; then
    "$cxx" "${flags[@]}" -c -o "$work/main.o"
    echo "bag model: the fragments compile"
    exit 0
fi
"$cxx" "${flags[@]}" -o "$work/consumer" -lbdd
"$work/consumer" > "$work/families"
if ! diff -u "$expected" "$work/families"; then
    echo "the families differ from $expected"; exit 1
fi
echo "$(wc -l < "$work/families") families as expected"
