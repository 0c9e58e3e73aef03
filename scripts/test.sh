#!/usr/bin/env bash
# The README's test command; CI runs it through .ci/run. One function per step, run in order:
#   suite (Qt 5)        sets up and builds into build/ (scripts/setup.sh), runs the whole suite
#   suite (sanitizers)  the programs and the tests again in build-asan/ with AddressSanitizer,
#                       LeakSanitizer and UBSan, and the whole suite on it
#   fuzz                every fuzz target under AddressSanitizer and UBSan, FUZZ_SECONDS (60)
#                       shared among them
#   package             scripts/package.sh: the release packages, lintian, the unpacked package run
#   suite (Qt 6)        builds the programs and the tests with Qt 6 into build-qt6/ and runs the
#                       whole suite there
# Each step prints its time. A failing step stops the command, which names it. The last line
# counts every test of every step.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$top/scripts/packages.sh" # what each step installs
passed=0
current=""
finish() {
    local status=$?
    if [ "$status" -ne 0 ] && [ -n "$current" ]; then
        echo "test.sh: FAILED at step '$current' (exit status $status)" >&2
    fi
}
trap finish EXIT

step() {
    current="$1"
    shift
    echo "== $current"
    local start=$SECONDS
    "$@"
    echo "== $current: passed in $((SECONDS - start)) s"
    current=""
}

# Runs the whole CTest suite in the build folder and counts its tests.
run_suite() {
    local build="$1"
    # Most tests wait on timers and terminals rather than the processor: four at once on two cores.
    (cd "$build" && ctest --output-on-failure --timeout 120 -j 4) | tee "$build/ctest-summary.log"
    passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$build/ctest-summary.log")))
}

qt5_suite() {
    "$top/scripts/setup.sh"
    run_suite "$top/build"
}

# tervin-cli and the simulator that the tests start are instrumented too. It calls what the Qt 5
# step installed (g++ brings the sanitizers' run-time libraries). A leak is an error: the
# suppressions (tests/sanitizers/lsan.supp) name only Qt's own. Built as the sanitizers' authors
# advise (-O1 -g), with assertions on; the benchmarks and tools are left to the Qt 5 step.
sanitizer_suite() {
    local build="$top/build-asan"
    export ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:detect_stack_use_after_return=1"
    export LSAN_OPTIONS="suppressions=$top/tests/sanitizers/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    QT_QPA_PLATFORM=offscreen cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug \
        -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" -DTERVIN_SANITIZE=ON -DTERVIN_DEVELOPER_TOOLS=OFF >/dev/null
    QT_QPA_PLATFORM=offscreen cmake --build "$build" -j "$(nproc)" >/dev/null # icons drawn at build
    run_suite "$build"
    unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
}

# Every fuzz target for its share of the seconds; each counts as one test. fuzz.sh installs clang.
fuzz_targets() {
    local summary
    summary=$(mktemp)
    "$top/scripts/fuzz.sh" "${FUZZ_SECONDS:-60}" | tee "$summary"
    passed=$((passed + $(grep -c ', clean$' "$summary")))
    rm -f "$summary"
}

# package.sh installs what it calls.
package() {
    "$top/scripts/package.sh"
    passed=$((passed + 1))
}

qt6_suite() {
    "$top/scripts/install-missing.sh" "${build_packages[@]}" "${qt6_packages[@]}" \
        "${manual_page_packages[@]}" "${suite_packages[@]}"
    # Unoptimised, assertions on: this step is about Qt 6 and compiles fastest so.
    cmake -S "$top" -B "$top/build-qt6" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O0 \
        -DTERVIN_QT=6 -DTERVIN_DEVELOPER_TOOLS=OFF >/dev/null
    cmake --build "$top/build-qt6" -j "$(nproc)"
    run_suite "$top/build-qt6"
}

step "suite (Qt 5)" qt5_suite
step "suite (sanitizers)" sanitizer_suite
step "fuzz" fuzz_targets
step "package" package
step "suite (Qt 6)" qt6_suite
echo "tests: $passed passed, 0 failed"
