#!/usr/bin/env bash
# Builds fagen and runs every test, warnings as errors: unit tests, end-to-end
# cases, interrupted runs, and the benchmarks once at their smallest size.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DFAGEN_WERROR=ON -DFAGEN_BENCH=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2
