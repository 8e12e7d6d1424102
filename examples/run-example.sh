#!/usr/bin/env bash
# Runs build/fagen on a register (the bundled bike family by default) in a fresh
# folder laid out as fagen expects it, run/ beside working_dir/, and prints the
# four files it wrote.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
register=$(realpath "${1:-$root/examples/bike.reg}")
model=${2:-0}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run" "$work/working_dir"
cd "$work/run"
"$root/build/fagen" "$model" 4 "$register" basic.h family.h
for file in basic.h ../working_dir/names.h ../working_dir/config.h family.h; do
    printf '==> %s <==\n' "${file#../}"
    cat "$file"
done
