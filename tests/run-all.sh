#!/usr/bin/env bash
# Builds fagen and runs every test, warnings as errors: unit tests, end-to-end
# cases, interrupted runs and the benchmarks' smoke runs in the release build,
# then the fuzz targets for a bounded time, then the whole suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2
if [ -x tests/fuzz/run-fuzzers.sh ]; then tests/fuzz/run-fuzzers.sh "${FAGEN_FUZZ_SECONDS:-60}"; fi
cmake --preset sanitize
cmake --build build-sanitize -j2
ctest --test-dir build-sanitize --output-on-failure -j2
