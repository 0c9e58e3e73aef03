#!/usr/bin/env bash
# The README's test command; CI runs it through .ci/run. One function per step, run in order:
#   suite (Qt 5)  sets up and builds into build/ (scripts/setup.sh), runs the whole suite
#   fuzz          fuzzes the reply parser for FUZZ_SECONDS (60) under AddressSanitizer and UBSan
#   package       scripts/package.sh: the release packages, lintian, the unpacked package run
#   suite (Qt 6)  builds everything with Qt 6 into build-qt6/ and runs the whole suite there
# Each step prints its time. A failing step stops the command, which names it.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
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
    (cd "$build" && ctest --output-on-failure --timeout 120 -j 2) | tee "$build/ctest-summary.log"
    passed=$((passed + $(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$build/ctest-summary.log")))
}

qt5_suite() {
    "$top/scripts/setup.sh" clang libclang-rt-14-dev
    run_suite "$top/build"
}

fuzz() {
    "$top/scripts/fuzz.sh" "${FUZZ_SECONDS:-60}"
    passed=$((passed + 1))
}

package() {
    "$top/scripts/package.sh"
    passed=$((passed + 1))
}

qt6_suite() {
    "$top/scripts/install-missing.sh" qt6-base-dev qt6-serialport-dev qt6-tools-dev qt6-l10n-tools \
        qt6-translations-l10n qt6-qpa-plugins libqcustomplot-dev
    cmake -S "$top" -B "$top/build-qt6" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTERVIN_QT=6 >/dev/null
    cmake --build "$top/build-qt6" -j "$(nproc)"
    run_suite "$top/build-qt6"
}

step "suite (Qt 5)" qt5_suite
step "fuzz" fuzz
step "package" package
step "suite (Qt 6)" qt6_suite
echo "tests: $passed passed, 0 failed"
