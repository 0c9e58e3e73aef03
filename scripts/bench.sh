#!/usr/bin/env bash
# Builds and runs the benchmarks (receive path, poll cycle, message view, and a QTextBrowser
# for comparison), each in a process of its own; prints figures.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/setup.sh"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"
for which in receive poll view browser wire; do
    "$top/build/bench/tervin_bench" "$which"
done
