#!/usr/bin/env bash
# Draws the bundled example register's reference graph (docs/bike-family.svg)
# with fagen-lint --dot and Graphviz's dot (Debian's graphviz package).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/build/fagen-lint" --dot "$root/examples/bike.reg" | dot -Tsvg > "$root/docs/bike-family.svg"
echo "wrote docs/bike-family.svg"
