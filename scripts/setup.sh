#!/usr/bin/env bash
# Installs what the build and the test suite need (Debian/Ubuntu packages, the lists in
# scripts/packages.sh) when it is missing, and the packages given, then configures and builds the
# project into build/. Run by run.sh, test.sh, bench.sh, soak.sh and screenshot.sh.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$top/scripts/packages.sh"

"$top/scripts/install-missing.sh" "${build_packages[@]}" "${qt5_packages[@]}" \
    "${manual_page_packages[@]}" "${suite_packages[@]}" "$@"

cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build" -j "$(nproc)"
