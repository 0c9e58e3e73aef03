#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan) into build-fuzz/ and runs
# them, each from its corpus in fuzz/corpus/TARGET; what a run finds stays in
# build-fuzz/corpus/TARGET, and a crash leaves its input in build-fuzz/ and fails.
#   scripts/fuzz.sh TARGET SECONDS    one target (reply, session, cli, transmitter), for long runs
#   scripts/fuzz.sh [SECONDS]         every target, the seconds (60) shared among them
#   scripts/fuzz.sh minimise TARGET   merges what the runs found into fuzz/corpus/TARGET, minimised;
#                                     inputs named regression-* (they once crashed it) always stay
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$top/build-fuzz"
targets=(reply session cli transmitter)
declare -A maxLength=([reply]=4096 [session]=2048 [cli]=512 [transmitter]=1024)
. "$top/scripts/packages.sh"

build() {
    "$top/scripts/install-missing.sh" "${build_packages[@]}" "${qt5_packages[@]}" "${fuzz_packages[@]}"
    cmake -S "$top" -B "$out" -DTERVIN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
          -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$out" -j "$(nproc)" --target "${@/#/fuzz_}" >/dev/null
}

known() {
    [[ " ${targets[*]} " == *" $1 "* ]] || { echo "fuzz.sh: no target $1 (${targets[*]})" >&2; exit 2; }
}

# Runs one target for the seconds given and prints its runs per second.
run() {
    local target=$1 seconds=$2 log="$out/fuzz-$1.log"
    mkdir -p "$out/corpus/$target"
    if ! "$out/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len="${maxLength[$target]}" \
            -print_final_stats=1 -artifact_prefix="$out/$target-" \
            "$out/corpus/$target" "$top/fuzz/corpus/$target" >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "fuzz $target: FAILED, the input is in $out/$target-*" >&2
        return 1
    fi
    local runs rate
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz $target: $runs runs in $seconds s, $rate runs/s, clean"
}

minimise() {
    local target=$1 merged="$out/merged-$1"
    rm -rf "$merged" && mkdir -p "$merged" "$out/corpus/$target"
    "$out/fuzz/fuzz_$target" -merge=1 -max_len="${maxLength[$target]}" "$merged" \
        "$top/fuzz/corpus/$target" "$out/corpus/$target" >"$out/merge-$target.log" 2>&1
    find "$top/fuzz/corpus/$target" -type f ! -name 'regression-*' -delete
    cp "$merged"/* "$top/fuzz/corpus/$target/"
    echo "fuzz $target: $(ls "$top/fuzz/corpus/$target" | wc -l) inputs in fuzz/corpus/$target"
}

case "${1:-60}" in
minimise)
    known "${2:-}"
    build "$2"
    minimise "$2"
    ;;
[0-9]*)
    build "${targets[@]}"
    share=$(( ${1:-60} / ${#targets[@]} ))
    for target in "${targets[@]}"; do
        run "$target" "$(( share > 0 ? share : 1 ))"
    done
    ;;
*)
    known "$1"
    build "$1"
    run "$1" "${2:-60}"
    ;;
esac
