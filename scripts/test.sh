#!/usr/bin/env bash
# Sets everything up, builds, and runs the whole test suite, then a short fuzz run of the
# reply parser under AddressSanitizer and UBSan.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/setup.sh" clang libclang-rt-14-dev

cd "$top/build"
ctest --output-on-failure --timeout 120 -j 2 | tee "$top/build/ctest-summary.log"
total=$(sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$top/build/ctest-summary.log")

"$top/scripts/fuzz.sh" "${FUZZ_SECONDS:-60}"
echo "tests: $((total + 1)) passed, 0 failed"
