#!/usr/bin/env bash
# Builds and runs the benchmarks (receive path, poll cycle, message view and a QTextBrowser for
# comparison, polling over an RS-485 line, the trend, the production check and its report of 32
# units, the check's line time against polling, the window's CPU while polling every 100 ms and
# while its Line window checks 32 units, the chart libraries Debian offers, tervin-cli scanning many
# ports at once, and tervin-cli publishing 32 units to a broker), each in a process
# of its own; prints figures.
# scripts/bench.sh mqtt runs only the last: the latency from a reply to a subscriber, tervin-cli's
# CPU with and without --mqtt, and the memory of a full queue (about five minutes).
# A profile of the window's poll cycle (60 polls, the set-up left out):
#   valgrind --tool=callgrind --toggle-collect='*profiledPolls*' build/bench/tervin_bench cpu-profile 60
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$top/scripts/packages.sh"
"$top/scripts/setup.sh" "${bench_packages[@]}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-/tmp}"

# tervin-cli read --mqtt with 32 units at 9600 bit/s on RS-485 timing against a Mosquitto broker on
# this machine (bench/mqttbench.cpp), then the broker sink's queue filled to its default bound.
mqtt() {
    "$top/build/bench/mqtt_bench" latency "${MQTT_SECONDS:-30}" 1
    "$top/build/bench/mqtt_bench" latency "${MQTT_SECONDS:-30}" 16
    "$top/build/bench/mqtt_bench" queue 2>/dev/null
}
if [ "${1:-}" = mqtt ]; then
    mqtt
    exit
fi
for which in receive poll view browser wire trend check report checkline cpu; do
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

# tervin-cli scan --addresses 1-247 at 9600 bit/s over a line of three units with RS-485 timing at
# addresses 3, 100 and 200. What the scan must take (the line's cost): each silent address its
# request's time on the wire (8 bytes) and the wait for an answer to begin (the scan's own, 20 ms
# at 9600, or --timeout), each unit its request, 5 ms turnaround and reply (21 bytes) on the wire.
# The scan's own duration_ms (its summary record) against that, and the wall time of the call.
"$top/build/sim/tervin-sim" --wire --baud 9600 --units 3,100,200 --link "$work/line" >/dev/null &
sims+=($!)
until [ -e "$work/line" ]; do sleep 0.05; done
line_scan() { # prints "duration_ms wall_ms units"
    local start end summary
    start=$(date +%s%N)
    summary=$("$top/build/cli/tervin-cli" scan "$work/line" --addresses 1-247 --baud 9600 \
        --format json "$@" | tail -n 1) || { echo "line scan failed" >&2; exit 1; }
    end=$(date +%s%N)
    echo "$(sed -n 's/.*"duration_ms":\([0-9]*\).*/\1/p' <<<"$summary") $(( (end - start) / 1000000 )) $(sed -n 's/.*"units":\([0-9]*\).*/\1/p' <<<"$summary")"
}
echo "tervin-cli scan --addresses 1-247 at 9600 bit/s (--wire), three units, median of three:"
for timeout in default 20; do
    args=() wait_ms=20 label="the scan's own wait (20 ms at 9600)"
    if [ "$timeout" != default ]; then
        args=(--timeout "$timeout") wait_ms=$timeout label="--timeout $timeout"
    fi
    results=()
    for _ in 1 2 3; do results+=("$(line_scan "${args[@]}")"); done
    median=$(printf '%s\n' "${results[@]}" | sort -n | sed -n 2p)
    read -r scan wall units <<<"$median"
    awk -v scan="$scan" -v wall="$wall" -v units="$units" -v label="$label" "BEGIN {
        silent = 8 * 10000 / 9600 + $wait_ms; unit = 8 * 10000 / 9600 + 5 + 21 * 10000 / 9600
        expected = 244 * silent + 3 * unit
        printf \"  %s: %.2f s (wall %.2f s), %d units found; the line's cost %.2f s: %.3f x (target 1.1 x); a silent address %.1f ms (expected %.1f ms)\\n\",
            label, scan / 1000, wall / 1000, units, expected / 1000, scan / expected, (scan - 3 * unit) / 244, silent
    }"
done

# A line of 32 units polled round after round (and with a 33rd, silent), then the window's CPU
# with the Line window polling them.
"$top/build/bench/tervin_bench" line 60
"$top/build/bench/tervin_bench" line-cpu 30 1
"$top/build/bench/tervin_bench" line-cpu 30 16
# The same with the Line window's Check mode checking them too.
"$top/build/bench/tervin_bench" linecpu 30 1
"$top/build/bench/tervin_bench" linecpu 30 16

mqtt
