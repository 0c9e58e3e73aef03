#!/usr/bin/env bash
# Builds the libFuzzer target with clang (AddressSanitizer and UBSan) into build-fuzz/ and
# runs it for the given number of seconds (default 60) on the saved corpus.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"

cmake -S "$top" -B "$top/build-fuzz" -DTERVIN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build-fuzz" -j "$(nproc)" --target fuzz_reply

corpus="$top/build-fuzz/corpus"
mkdir -p "$corpus"
cp "$top"/fuzz/seeds/* "$corpus"/ 2>/dev/null || true
echo "Fuzzing the reply parser for ${seconds} s"
"$top/build-fuzz/fuzz/fuzz_reply" -max_total_time="$seconds" -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$top/build-fuzz/" "$corpus" 2>&1 | tail -n 12
