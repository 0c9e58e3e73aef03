#!/usr/bin/env bash
# Installs what the build needs (Debian/Ubuntu packages) when it is missing, then configures
# and builds the project into build/. Sourced or run by run.sh and test.sh.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# poppler-utils (pdftotext, pdffonts) reads the check reports back in the tests, and a small CJK
# font lets them be written in Chinese.
"$top/scripts/install-missing.sh" cmake make g++ qtbase5-dev libqt5serialport5-dev qttools5-dev \
    qttools5-dev-tools qttranslations5-l10n libqcustomplot-dev help2man dpkg-dev bash-completion \
    poppler-utils fonts-wqy-microhei pkg-config libmosquitto-dev "$@"

cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build" -j "$(nproc)"
