#!/usr/bin/env bash
# Builds fagen and runs every test: unit tests and end-to-end cases, warnings as
# errors.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DFAGEN_WERROR=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2
