#!/usr/bin/env bash
# Builds and runs the benchmarks (receive path, poll cycle, message view and a QTextBrowser for
# comparison, polling over an RS-485 line, the trend, the window's CPU while polling every 100 ms,
# the chart libraries Debian offers, and tervin-cli scanning many ports at once), each in a process
# of its own; prints figures.
# A profile of the window's poll cycle (60 polls, the set-up left out):
#   valgrind --tool=callgrind --toggle-collect='*profiledPolls*' build/bench/tervin_bench cpu-profile 60
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/setup.sh" libqt5charts5-dev libqwt-qt5-dev
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"
for which in receive poll view browser wire trend cpu; do
    "$top/build/bench/tervin_bench" "$which"
done
# The chart libraries side by side (Qt Charts takes minutes at a day of readings).
for library in qcustomplot qwt qtcharts; do
    "$top/build/bench/chart_candidates" "$library"
done

# tervin-cli scan over 1, 4 and 16 virtual transmitters at 9600 bit/s on RS-485 timing, each in a
# process of its own: the wall time of one scan, the median of five, against one port's.
work="$(mktemp -d)"
sims=()
trap 'kill "${sims[@]}" 2>/dev/null; rm -rf "$work"' EXIT
for i in $(seq 1 16); do
    "$top/build/sim/tervin-sim" --wire --baud 9600 --link "$work/port$i" >/dev/null &
    sims+=($!)
done
for i in $(seq 1 16); do
    until [ -e "$work/port$i" ]; do sleep 0.05; done
done
scan_ms() {
    local ports=() times=() i
    for i in $(seq 1 "$1"); do ports+=("$work/port$i"); done
    for _ in 1 2 3 4 5; do
        local start end
        start=$(date +%s%N)
        "$top/build/cli/tervin-cli" scan "${ports[@]}" >/dev/null || { echo "scan failed" >&2; exit 1; }
        end=$(date +%s%N)
        times+=($(( (end - start) / 1000000 )))
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n 3p
}
one=$(scan_ms 1)
echo "tervin-cli scan at 9600 bit/s (--wire), median of 5:"
for n in 1 4 16; do
    ms=$(scan_ms "$n")
    echo "  $n port(s): $ms ms ($(awk "BEGIN { printf \"%.2f\", $ms / $one }") x one port; target 16 ports <= 1.5 x)"
done
