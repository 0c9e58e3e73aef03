#!/usr/bin/env bash
# Sets everything up, builds, and starts the tool. With no transmitter attached it also
# starts the virtual transmitter (tervin-sim) and tells which path to type in Link.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/setup.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
    echo "No display: the tool is a desktop program and needs a graphical session." >&2
    echo "Run this from a desktop terminal, or under a virtual display: xvfb-run -a $0" >&2
    echo "(xvfb-run is in the packages xvfb and xauth)" >&2
    exit 1
fi

if compgen -G "/dev/ttyUSB*" >/dev/null || compgen -G "/dev/ttyACM*" >/dev/null; then
    echo "USB serial adapter found: click Link in the tool and choose it."
else
    link="${TERVIN_SIM_LINK:-/tmp/tervin-sim}"
    "$top/build/sim/tervin-sim" --wire --link "$link" >/dev/null &
    sim=$!
    trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
    echo "No transmitter attached: the virtual transmitter is running."
    echo "In the tool, click Link, type this port name and press OK: $link"
fi

# Capture files go to build/run/Data; a Chinese locale gets the Chinese texts.
TERVIN_TOOL_DIR="$top/build/src" TERVIN_WORK_DIR="$top/build/run" \
    "$top/packaging/tervin-test-tools-launch" "$@"
