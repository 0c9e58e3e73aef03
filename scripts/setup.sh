#!/usr/bin/env bash
# Installs what the build needs (Debian/Ubuntu packages) when it is missing, then configures
# and builds the project into build/. Sourced or run by run.sh and test.sh.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

"$top/scripts/install-missing.sh" cmake make g++ qtbase5-dev libqt5serialport5-dev qttools5-dev \
    qttools5-dev-tools qttranslations5-l10n libqcustomplot-dev help2man dpkg-dev bash-completion \
    pkg-config libmosquitto-dev "$@"

cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build" -j "$(nproc)"
