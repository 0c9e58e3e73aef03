#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite; then the whole suite again, built with
# AddressSanitizer, LeakSanitizer and UBSan; then the fuzz targets, each under AddressSanitizer and
# UBSan, FUZZ_SECONDS (60) shared among them. The last line counts all of it.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/setup.sh" clang libclang-rt-14-dev

passed=0

# CTest in the build folder given; adds the tests it ran to `passed` (it stops the script on a
# failure).
run_suite() {
    local build=$1
    (cd "$build" && ctest --output-on-failure --timeout 600 -j 2) | tee "$build/ctest-summary.log"
    local total
    total=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$build/ctest-summary.log")
    passed=$((passed + total))
}

# The whole project again in build-asan/, instrumented, and the whole suite on it (the tool,
# tervin-cli and the simulator the tests start included). A leak is an error; the suppressions
# (tests/sanitizers/lsan.supp) name only Qt's and fontconfig's own.
sanitizer_suite() {
    (
        export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:detect_stack_use_after_return=1"
        export LSAN_OPTIONS="suppressions=$top/tests/sanitizers/lsan.supp:print_suppressions=0"
        export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
        export QT_QPA_PLATFORM=offscreen # the icons are drawn at build time
        cmake -S "$top" -B "$top/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVIN_SANITIZE=ON >/dev/null
        cmake --build "$top/build-asan" -j "$(nproc)" >/dev/null
        run_suite "$top/build-asan"
        echo "$passed" >"$top/build-asan/passed"
    )
    passed=$(cat "$top/build-asan/passed")
}

# Every fuzz target for its share of the seconds; each counts as one test.
fuzz_targets() {
    local summary
    summary=$(mktemp)
    "$top/scripts/fuzz.sh" "${FUZZ_SECONDS:-60}" | tee "$summary"
    passed=$((passed + $(grep -c ', clean$' "$summary")))
    rm -f "$summary"
}

run_suite "$top/build"
sanitizer_suite
fuzz_targets
echo "tests: $passed passed, 0 failed"
