#!/usr/bin/env bash
# Builds and runs the benchmarks (receive path, poll cycle, message view and a QTextBrowser for
# comparison, polling over an RS-485 line, the trend, and the chart libraries Debian offers),
# each in a process of its own; prints figures.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/setup.sh" libqt5charts5-dev libqwt-qt5-dev
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"
for which in receive poll view browser wire trend; do
    "$top/build/bench/tervin_bench" "$which"
done
# The chart libraries side by side (Qt Charts takes minutes at a day of readings).
for library in qcustomplot qwt qtcharts; do
    "$top/build/bench/chart_candidates" "$library"
done
