#!/usr/bin/env bash
# The fault-mix soak: scripts/soak.sh MINUTES (default 60). The window, offscreen, polls a virtual
# transmitter every 100 ms with capture on, while the transmitter garbles 1 % of the CRCs, sends
# every reply in two pieces 50 to 190 ms apart, falls silent for 5 s every 2 minutes, and is
# unplugged every 5 minutes and plugged in again 2 s later. Prints memory, CPU and polls per
# second, accounts for every frame against the transmitter's log, and fails on any loss, crash or
# growth beyond 1 MB an hour. The files stay in build/soak/ for a look afterwards.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
minutes="${1:-60}"
"$top/scripts/setup.sh"

work="$top/build/soak"
rm -rf "$work"
mkdir -p "$work"
mkdir -m 700 "$work/runtime"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$work/runtime}"

"$top/build/sim/tervin-sim" --link "$work/ttyUSB0" --frame-log "$work/transmitter.log" \
    --corrupt-rate 1 --split 2 --split-gap 50-190 --mute-every 120000 --mute-for 5000 \
    --unplug-every 300000 --replug-after 2000 >"$work/transmitter.out" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true' EXIT
until [ -e "$work/ttyUSB0" ]; do
    kill -0 "$sim" 2>/dev/null || { echo "soak: the transmitter did not start" >&2; exit 1; }
    sleep 0.05
done

status=0
(cd "$work" && "$top/build/tools/soak/soak" --port "$work/ttyUSB0" \
    --frame-log "$work/transmitter.log" --minutes "$minutes") || status=$?
if ! kill -0 "$sim" 2>/dev/null; then
    echo "soak: PROBLEM: the transmitter died"
    status=1
fi
if [ "$status" -gt 2 ]; then
    echo "soak: PROBLEM: the window's process ended with status $status (a crash)"
fi
[ "$status" -eq 0 ] && echo "soak: clean" || echo "soak: FAILED"
exit "$status"
