#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite; then the whole suite again, built with
# AddressSanitizer, LeakSanitizer and UBSan; then the fuzz targets under AddressSanitizer and
# UBSan, FUZZ_SECONDS (60) shared among them. The last line counts all of it.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/setup.sh" clang libclang-rt-14-dev

# The whole project again in build-asan/, instrumented, and the whole suite on it (tervin-cli and
# the simulator that the tests start are instrumented too). A leak is an error: the suppressions
# (tests/sanitizers/lsan.supp) name only Qt's own. Adds the tests it ran to `total`.
sanitizer_suite() {
    local build="$top/build-asan"
    (
        export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:detect_stack_use_after_return=1"
        export LSAN_OPTIONS="suppressions=$top/tests/sanitizers/lsan.supp:print_suppressions=0"
        export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
        export QT_QPA_PLATFORM=offscreen # the icons are drawn at build time
        cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVIN_SANITIZE=ON >/dev/null
        cmake --build "$build" -j "$(nproc)" >/dev/null
        cd "$build"
        ctest --output-on-failure --timeout 120 -j 2 | tee "$build/ctest-summary.log"
    )
    total=$((total + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' \
                           "$build/ctest-summary.log")))
}

# Every fuzz target for its share of the seconds; each counts as one test.
fuzz_targets() {
    local summary
    summary=$(mktemp)
    "$top/scripts/fuzz.sh" "${FUZZ_SECONDS:-60}" | tee "$summary"
    total=$((total + $(grep -c ', clean$' "$summary")))
    rm -f "$summary"
}

cd "$top/build"
ctest --output-on-failure --timeout 120 -j 2 | tee "$top/build/ctest-summary.log"
total=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$top/build/ctest-summary.log")

sanitizer_suite
fuzz_targets
echo "tests: $total passed, 0 failed"
