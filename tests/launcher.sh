#!/usr/bin/env bash
# The launcher runs the tool in its work folder, links the Chinese translation in for a Chinese
# locale and removes that link for others, and leaves a Qm folder the user made there alone.
# Started from the desktop (no terminal at all) it switches the window's per-frame debug lines off,
# unless the user set logging rules; started from a terminal (also with some of its input, output
# and errors going to files) it leaves them on.
set -euo pipefail
launcher="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/tool/Qm"
touch "$scratch/input"
# The stand-in for the window notes where it ran and the logging rules it was given.
printf '#!/bin/sh\npwd > "%s/ran"\nprintf %%s "${QT_LOGGING_RULES-unset}" > "%s/rules"\n' \
    "$scratch" "$scratch" > "$scratch/tool/tervin-test-tools"
chmod +x "$scratch/tool/tervin-test-tools"
run() { TERVIN_TOOL_DIR="$scratch/tool" TERVIN_WORK_DIR="$scratch/work" LC_ALL="$1" "$launcher" 2>/dev/null; }
failed=0
checks=0
check() {
    checks=$((checks + 1))
    if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=$((failed + 1)); fi
}

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

# The logging rules the window gets: how it was started, the rules the user set ("-": none), the
# rules expected.
rules_given() { # TERMINAL USER_RULES
    local command=(env -u QT_LOGGING_RULES ${2:+QT_LOGGING_RULES="$2"} TERVIN_TOOL_DIR="$scratch/tool"
                   TERVIN_WORK_DIR="$scratch/work" "$launcher")
    rm -f "$scratch/rules"
    local redirected="" # in a terminal: what goes to or comes from a file
    case "$1" in
        desktop) "${command[@]}" <"$scratch/input" >"$scratch/output" 2>&1 ;; # no terminal at all
        terminal) ;;
        terminal,input-from-a-file) redirected="<$scratch/input" ;;
        terminal,output-to-a-file) redirected=">$scratch/output" ;;
        terminal,errors-to-a-file) redirected="2>$scratch/output" ;;
    esac
    if [ "$1" != desktop ]; then
        script -qec "$(printf '%q ' "${command[@]}") $redirected" /dev/null </dev/null >/dev/null
    fi
    cat "$scratch/rules"
}
while read -r start user expected; do
    [ "$user" != - ] || user=""
    check "started from the $start with rules '$user': the window gets '$expected'" \
        '[ "$(rules_given "$start" "$user")" = "$expected" ]'
done <<'TABLE'
desktop  -                              default.debug=false
desktop  default.debug=true             default.debug=true
desktop  *.debug=false;tervin.*=true    *.debug=false;tervin.*=true
terminal -                              unset
terminal default.debug=false            default.debug=false
terminal,input-from-a-file -            unset
terminal,output-to-a-file  -            unset
terminal,errors-to-a-file  -            unset
TABLE
echo "$((checks - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
