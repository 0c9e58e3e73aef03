#!/usr/bin/env bash
# Retakes docs/screenshot.png (the window against the virtual transmitter) and docs/trend.png
# (the trend after a simulated hour), under Xvfb.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/setup.sh" xvfb xauth fonts-liberation
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
xvfb-run -a -s "-screen 0 1280x800x24" env QT_QPA_PLATFORM=xcb "$top/build/tools/screenshot/screenshot" "$top/docs/screenshot.png" "$top/docs/trend.png"
echo "Wrote $top/docs/screenshot.png and $top/docs/trend.png"
