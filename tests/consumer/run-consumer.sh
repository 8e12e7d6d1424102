#!/usr/bin/env bash
# Runs fagen on a register, compiles the consumer example (examples/consumer)
# against the four fragments with BuDDy and runs it: it prints every family of
# the register as its products, one line each, such as K = {{a}, {b}}.
#   run-consumer.sh FAGEN CXX REGISTER            print the families (set model)
#   run-consumer.sh FAGEN CXX REGISTER EXPECTED   compare them with EXPECTED instead
#   run-consumer.sh FAGEN CXX REGISTER --bag      bag model: compile only
# The register's codes must be C++ names and each composite must come after
# the features it uses (fagen-lint warns about both).
set -euo pipefail
[ $# -ge 3 ] || { sed -n '2,9s/^# \{0,1\}//p' "$0" >&2; exit 2; }
fagen=$1 cxx=$2 register=$3 expected=${4:-}
case $fagen in */*) fagen=$(realpath "$fagen") ;; esac
register=$(realpath "$register")
[ -z "$expected" ] || [ "$expected" = --bag ] || expected=$(realpath "$expected")
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run" "$work/working_dir"
model=0
[ "$expected" = --bag ] && model=1
# A register without basic or composite features writes no basic.h or family.h.
touch "$work/run/basic.h" "$work/run/family.h"
(cd "$work/run" && "$fagen" "$model" 4 "$register" basic.h family.h) ||
    { echo "run-consumer.sh: fagen stopped; run fagen-lint $register to see where" >&2; exit 1; }
sed -n 's/^FAMILY \([^ ;]*\).*/print("\1", \1);/p' "$work/run/family.h" > "$work/run/print-families.inc"
flags=(-std=c++17 -I"$work/working_dir" -I"$work/run" -I"$root/examples/consumer" "$root/examples/consumer/main.cpp")
if [ "$model" = 1 ]; then
    "$cxx" "${flags[@]}" -c -o "$work/main.o"
    echo "bag model: the fragments compile"
    exit 0
fi
"$cxx" "${flags[@]}" -o "$work/consumer" -lbdd ||
    { echo "run-consumer.sh: the fragments do not compile; run fagen-lint $register to see why" >&2; exit 1; }
if [ -z "$expected" ]; then
    "$work/consumer"
    exit
fi
"$work/consumer" > "$work/families"
if ! diff -u "$expected" "$work/families"; then
    echo "the families differ from $expected"; exit 1
fi
echo "$(wc -l < "$work/families") families as expected"
