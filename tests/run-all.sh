#!/usr/bin/env bash
# The complete suite, as CI runs it, warnings as errors:
#   1. release build (build/) and every CTest test in it: unit tests,
#      end-to-end cases, interrupted runs, fuzz replays, consumer, fagen-lint;
#   2. the fuzz targets under libFuzzer (build-fuzz/), FAGEN_FUZZ_SECONDS each
#      (default 60), when clang++-14 and libFuzzer (libclang-rt-14-dev) are
#      there, with one seed, printed (FAGEN_FUZZ_SEED gives it);
#   3. the sanitizer build (build-sanitize/, AddressSanitizer and
#      UndefinedBehaviorSanitizer) and every CTest test in it.
# A failing stage does not stop the later ones. The last line counts every
# CTest test of both runs and every fuzz target: "N passed, N failed" (a build
# that fails counts as one failure); the exit status is 1 when any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=${FAGEN_FUZZ_SECONDS:-60}
passed=0 failed=0 skipped=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT

stage() { printf '\n==== %s\n' "$*"; }

# A step that is no test of its own (configure, build): counts only if it fails.
must() {
    "$@" && return 0
    echo "FAILED: $*"
    failed=$((failed + 1))
    return 1
}

# CTest over a build tree; adds its tests to the counts.
run_ctest() {
    ctest --test-dir "$1" --output-on-failure --no-tests=error -j2 2>&1 | tee "$log"
    local status=${PIPESTATUS[0]}
    local summary
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$summary" ]; then
        echo "FAILED: ctest in $1 gave no summary"
        failed=$((failed + 1))
        return
    fi
    local bad total
    bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$summary")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
    if [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then failed=$((failed + 1)); fi
}

# libFuzzer is there when clang++-14 links a fuzz target.
have_libfuzzer() {
    command -v clang++-14 >/dev/null || return 1
    printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' |
        clang++-14 -x c++ -fsanitize=fuzzer - -o /dev/null 2>/dev/null
}

stage "release build and tests (build/)"
if must cmake --preset release && must cmake --build build -j2; then run_ctest build; fi

stage "fuzzing (build-fuzz/), ${fuzz_seconds}s per target"
targets=3
if have_libfuzzer; then
    tests/fuzz/run-fuzzers.sh "$fuzz_seconds" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    ran=$(grep -c '^== fuzz_' "$log")
    found=$(grep -c '^fuzz_[a-z_]*: finding' "$log")
    passed=$((passed + ran - found))
    failed=$((failed + found))
    # A build failure, or a target that never started, is one more failure.
    if [ "$status" -ne 0 ] && [ "$found" -eq 0 ] || [ "$ran" -lt "$targets" ]; then
        echo "FAILED: the fuzz targets did not all run"
        failed=$((failed + 1))
    fi
else
    echo "skipped: clang++-14 with libFuzzer not found (apt-get install clang-14 libclang-rt-14-dev)"
    skipped=$((skipped + targets))
fi

stage "sanitizer build and tests (build-sanitize/)"
if must cmake --preset sanitize && must cmake --build build-sanitize -j2; then run_ctest build-sanitize; fi

echo
if [ "$skipped" -gt 0 ]; then
    echo "$passed passed, $failed failed, $skipped skipped"
else
    echo "$passed passed, $failed failed"
fi
[ "$failed" -eq 0 ]
