#!/usr/bin/env bash
# The launcher runs the tool in its work folder, links the Chinese translation in for a Chinese
# locale and removes that link for others, and leaves a Qm folder the user made there alone.
set -euo pipefail
launcher="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/tool/Qm"
printf '#!/bin/sh\npwd > "%s/ran"\n' "$scratch" > "$scratch/tool/tervin-test-tools"
chmod +x "$scratch/tool/tervin-test-tools"
run() { TERVIN_TOOL_DIR="$scratch/tool" TERVIN_WORK_DIR="$scratch/work" LC_ALL="$1" "$launcher"; }
failed=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=$((failed + 1)); fi; }

run zh_CN.UTF-8
check "a Chinese locale links Qm in" '[ -L "$scratch/work/Qm" ]'
check "the tool runs in the work folder" '[ "$(cat "$scratch/ran")" = "$scratch/work" ]'
run C
check "another locale removes the link" '[ ! -e "$scratch/work/Qm" ]'
mkdir "$scratch/work/Qm"
run zh_CN.UTF-8
check "a Qm folder of the user is left alone" '[ ! -L "$scratch/work/Qm" ] && [ ! -e "$scratch/work/Qm/Qm" ]'
run C
check "in every locale" '[ -d "$scratch/work/Qm" ]'
echo "$((5 - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
