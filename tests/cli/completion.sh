#!/usr/bin/env bash
# tervin-cli's bash completion, driven as bash drives it: the words of a command line (split at
# '=' as bash splits them), the words offered. Usage: completion.sh COMPLETION_FILE
set -u
helpers=/usr/share/bash-completion/bash_completion
if [[ ! -r $helpers ]]; then
    echo "bash-completion is not installed: skipped"
    exit 77
fi
source "$helpers"
source "$1"
failures=0

# Completes the line as typed up to its end; prints the words offered, sorted.
offered()
{
    local line=$1 word
    COMP_WORDS=()
    for word in $line; do
        if [[ $word == -*=* ]]; then
            COMP_WORDS+=("${word%%=*}" "=" "${word#*=}")
        else
            COMP_WORDS+=("$word")
        fi
    done
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _tervin_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort | xargs
}

check()
{
    local line=$1 expected=$2 got
    got=$(offered "$line")
    if [[ $got != "$expected" ]]; then
        echo "FAIL: '$line' offered '$got', expected '$expected'"
        failures=$((failures + 1))
    fi
}

check "tervin-cli comm" "commission"
check "tervin-cli read x --format=j" "json"
check "tervin-cli read x --format j" "json"
check "tervin-cli read x --what=" "all dew humidity temperature"
check "tervin-cli info x --baud=11" "115200"
check "tervin-cli set-baud x 19" "19200"
check "tervin-cli scan x --add" "--addresses"
check "tervin-cli scan x --format=csv --no" "--no-header"
check "tervin-cli commission x --expect-" "--expect-humidity --expect-temperature"
check "tervin-cli read x --re" "--retries"
check "tervin-cli -" "--format --help --log --no-header --retries --timeout --verbose --version -V -h"
check "tervin-cli read --address=3,7 x --period 100 --b" "--baud --block"
check "tervin-cli info x --timeout=" ""
check "tervin-cli read x --mqtt-p" "--mqtt-password-file --mqtt-prefix"
check "tervin-cli read x --mqtt=mq" ""
check "tervin-cli read x --mqtt mqtt://b --no" "--no-discovery --no-header"
check "tervin-cli info x --mq" ""
check "tervin-cli che" "check"
check "tervin-cli check x --ref" "--reference --reference-humidity --reference-temperature"
check "tervin-cli check x --addresses 1-8 --tol" "--tolerance-humidity --tolerance-temperature"
check "tervin-cli check x --settle=" "10m 1h 1m 30m"
check "tervin-cli check x --note lot --fir" "--first-point"

# Ports: a by-id name is offered, the device it points to is not offered again.
dev=$(mktemp -d)
trap 'rm -rf "$dev"' EXIT
mkdir -p "$dev/serial/by-id"
touch "$dev/ttyUSB0" "$dev/ttyUSB1" "$dev/ttyACM0" "$dev/ttyS0" "$dev/sda"
ln -s ../../ttyUSB0 "$dev/serial/by-id/usb-FTDI_FT232R_A1"
got=$(_tervin_cli_ports "$dev" | xargs)
expected="$dev/serial/by-id/usb-FTDI_FT232R_A1 $dev/ttyUSB1 $dev/ttyACM0 $dev/ttyS0"
if [[ $got != "$expected" ]]; then
    echo "FAIL: ports '$got', expected '$expected'"
    failures=$((failures + 1))
fi

echo "$failures failure(s)"
[[ $failures -eq 0 ]]
