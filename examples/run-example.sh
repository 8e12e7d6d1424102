#!/usr/bin/env bash
# Runs fagen on a register and keeps the four files it writes.
#   examples/run-example.sh [REGISTER [MODEL [DIR]]]
#     REGISTER  default examples/bike.reg
#     MODEL     0 (set, the default) or 1 (bag)
#     DIR       default build/example; an empty argument takes the default
# The run happens in DIR/run/ beside DIR/working_dir/, as fagen expects, so the
# outputs are DIR/run/basic.h, DIR/run/family.h, DIR/working_dir/names.h and
# DIR/working_dir/config.h. Those four files, and nothing else, are removed
# first, so that each run starts afresh instead of appending a second copy.
# The script prints the four files, then the absolute path of DIR as its last
# line:  cd "$(examples/run-example.sh | tail -n 1)"
# fagen is build/fagen, or $FAGEN when set.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
register=${1:-$root/examples/bike.reg}
model=${2:-0}
dir=${3:-$root/build/example}
fagen=${FAGEN:-$root/build/fagen}
if [ ! -x "$fagen" ] && ! command -v "$fagen" >/dev/null; then
    echo "run-example.sh: no $fagen; build it first:" >&2
    echo "  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release && cmake --build build -j2" >&2
    exit 1
fi
[ -f "$register" ] || { echo "run-example.sh: no register $register" >&2; exit 1; }
register=$(realpath "$register")
mkdir -p "$dir/run" "$dir/working_dir"
dir=$(cd "$dir" && pwd)
outputs=("$dir/run/basic.h" "$dir/working_dir/names.h" "$dir/working_dir/config.h" "$dir/run/family.h")
for file in "${outputs[@]}"; do
    if [ -e "$file" ] && [ "$(realpath "$file")" = "$register" ]; then
        echo "run-example.sh: the register is one of the outputs ($file)" >&2
        exit 1
    fi
done
rm -f -- "${outputs[@]}"
cd "$dir/run"
"$fagen" "$model" 4 "$register" basic.h family.h || {
    status=$?
    lint=fagen-lint
    case $fagen in */*) lint=${fagen%/*}/fagen-lint ;; esac
    echo "run-example.sh: fagen stopped; $lint $register shows where" >&2
    exit "$status"
}
for file in "${outputs[@]}"; do
    printf '==> %s <==\n' "${file#"$dir"/}"
    [ ! -e "$file" ] || cat "$file"
done
printf '==> the four files are in <==\n%s\n' "$dir"
