#!/usr/bin/env bash
# scripts/fresh-check.sh [--keep] [--only test|run] [PRISTINE_ROOT.tar]
# The README's two commands on a minimal Debian 12, as a new user meets them. A root made with
# `debootstrap --variant=minbase bookworm` (the base of a container image) gets Debian's apt
# sources (bookworm, bookworm-updates, bookworm-security), the host's resolv.conf, git to clone
# with, and nothing else. The current commit (HEAD) is cloned into /root/tervin-test-tools there,
# and there it runs:
#   ./scripts/test.sh              every step must pass, the first time
#   xvfb-run -a ./scripts/run.sh   the tool must start on a virtual display, and end with no
#                                  tervin-sim left behind
# Everything the two commands call is installed by the project's own scripts. The one exception
# is xvfb-run itself (packages xvfb and xauth): the second command runs inside it, so run.sh
# cannot install it. This check installs them just before it, with scripts/install-missing.sh
# and the list scripts/packages.sh gives, as a user without a display does when run.sh sends
# them to xvfb-run.
#
# The window is told to quit after a while (TERVIN_QUIT_AFTER_MS, as Close does), so run.sh
# ends by itself. "Started the tool" is told from a failure by all of: run.sh's exit status 0
# (a window that cannot open its display or crashes ends otherwise), the window's process seen
# running in the root while it ran, the virtual transmitter seen too, and no process of the root
# left afterwards. A command that hangs is stopped (test.sh after 3 hours, run.sh after 1) and fails.
#
# Prints each command's status and time; the last lines sum them up. Needs root (debootstrap,
# mounts, chroot) and deb.debian.org. Making the root takes a few minutes the first time (cached
# in build/fresh-root/minbase.tar, or the tar given); the test command 17 minutes on two quiet
# cores, up to 35 when they are shared. Each run unpacks the cached root anew into
# build/fresh-root/root, with /proc, /sys, /dev, /dev/pts and a fresh /tmp mounted, unmounted again
# however it ends. After a failure the root stays for a look (removed at the next run); --keep
# keeps it after a pass too. --only runs one of the two commands (run alone still builds: a
# quicker look at a start on a fresh machine).
# Not part of ./scripts/test.sh: run it before resolving an issue that touches the build, the
# dependencies or the scripts.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
keep=no
only=""
while [ $# -gt 0 ]; do
    case "$1" in
        --keep) keep=yes ;;
        --only) only="${2:-}" && shift ;;
        -*) only=usage ;;
        *) break ;;
    esac
    shift
done
if [ $# -gt 1 ] || [[ ! "$only" =~ ^(|test|run)$ ]]; then
    echo "usage: $0 [--keep] [--only test|run] [PRISTINE_ROOT.tar]" >&2
    exit 2
fi
cache="${1:-$top/build/fresh-root/minbase.tar}"
work="$top/build/fresh-root"
root="$work/root"
clone=/root/tervin-test-tools
mirror=http://deb.debian.org/debian
commit=""
results=()
failed=0

say() { echo "fresh-check: $*"; }
die() { echo "fresh-check: $*" >&2; exit 2; }

if [ "$(id -u)" -ne 0 ]; then
    die "needs root: it makes a Debian root with debootstrap, mounts /proc, /sys, /dev and /tmp
into it and runs the commands there with chroot. Run it as root (sudo $0)."
fi
if ! command -v debootstrap >/dev/null; then
    say "debootstrap is missing on this machine: installing it"
    "$top/scripts/install-missing.sh" debootstrap
fi
mkdir -p "$work"
cache="$(realpath -m "$cache")"
root="$(realpath -m "$root")"

# --- the cached minimal root -----------------------------------------------------------------

make_pristine_root() {
    local scratch="$work/debootstrap"
    say "making a minimal Debian 12 root with debootstrap (a few minutes): $cache"
    rm -rf --one-file-system "$scratch"
    if ! debootstrap --variant=minbase bookworm "$scratch" "$mirror" >"$work/debootstrap.log" 2>&1; then
        tail -n 30 "$work/debootstrap.log" >&2
        die "debootstrap failed (the whole log: $work/debootstrap.log)"
    fi
    mkdir -p "$(dirname "$cache")"
    tar -C "$scratch" --numeric-owner -cpf "$cache.partial" .
    mv "$cache.partial" "$cache"
    rm -rf --one-file-system "$scratch"
}

# --- the root of this run, its mounts and its processes --------------------------------------

mounts_under() { # the mount points under the root, deepest last
    awk -v root="$root" '$2 == root || index($2, root "/") == 1 { print $2 }' /proc/self/mounts
}

processes_in_root() {
    local entry
    for entry in /proc/[0-9]*; do
        [ "$(readlink "$entry/root" 2>/dev/null)" = "$root" ] && echo "${entry#/proc/}"
    done
    return 0
}

unmount_all() {
    local point
    for point in $(mounts_under | sort -r); do
        umount "$point" 2>/dev/null || umount -l "$point" || echo "fresh-check: cannot unmount $point" >&2
    done
}

# Whatever still runs in the root was started by this check (a command that hung, a daemon an
# install started): it is ended, then everything is unmounted.
cleanup() {
    local pids pid
    mapfile -t pids < <(processes_in_root)
    if [ ${#pids[@]} -gt 0 ]; then
        say "ending what still runs in the root:"
        for pid in "${pids[@]}"; do echo "  $pid: $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"; done
        kill "${pids[@]}" 2>/dev/null || true
        sleep 2
        mapfile -t pids < <(processes_in_root)
        [ ${#pids[@]} -eq 0 ] || kill -KILL "${pids[@]}" 2>/dev/null || true
    fi
    unmount_all
}
trap cleanup EXIT
trap 'exit 130' INT TERM

remove_root() {
    [ -z "$(mounts_under)" ] || die "something is still mounted under $root; not removing it"
    rm -rf --one-file-system "$root"
}

prepare_root() {
    remove_root
    mkdir -p "$root"
    tar -C "$root" --numeric-owner -xpf "$cache"
    rm -f "$root/etc/apt/sources.list"
    cat >"$root/etc/apt/sources.list.d/debian.sources" <<EOF
Types: deb
URIs: $mirror
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    cat /etc/resolv.conf >"$root/etc/resolv.conf"
    # As in container images: a package's install starts no service (there is no init to stop it).
    printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
    chmod 755 "$root/usr/sbin/policy-rc.d"
    mount -t proc proc "$root/proc"
    mount --bind /sys "$root/sys"
    mount --bind /dev "$root/dev"
    mount --bind /dev/pts "$root/dev/pts" # the tests' transmitters are pseudo-terminals
    mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
}

# Runs a command in the root as a new user's login would: root, a clean environment, no locale.
in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash \
        TERM="${TERM:-dumb}" PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        ${FUZZ_SECONDS:+FUZZ_SECONDS=$FUZZ_SECONDS} "$@"
}

clone_commit() {
    commit="$(git -C "$top" rev-parse HEAD)"
    [ -z "$(git -C "$top" status --porcelain)" ] ||
        say "note: the work tree has uncommitted changes; the check is of the commit $commit"
    say "installing git into the root to clone with"
    in_root apt-get update -qq
    in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends git >/dev/null
    git -C "$top" bundle create "$root/var/tmp/tervin-test-tools.bundle" HEAD 2>/dev/null
    in_root git -c advice.detachedHead=false clone --quiet /var/tmp/tervin-test-tools.bundle "$clone"
    in_root git -C "$clone" checkout --quiet --detach "$commit"
    rm -f "$root/var/tmp/tervin-test-tools.bundle"
    say "cloned $(git -C "$top" log -1 --format='%h %s' "$commit") into $clone"
}

# --- the two commands ------------------------------------------------------------------------

elapsed() { printf '%d min %02d s' $(($1 / 60)) $(($1 % 60)); }

record() { # NAME STATUS SECONDS [WHY]
    local line
    line="$(printf '%-30s %-6s in %s' "$1" "$2" "$(elapsed "$3")")"
    [ -z "${4:-}" ] || line="$line ($4)"
    results+=("$line")
    echo "== $line"
    [ "$2" = passed ] || failed=$((failed + 1))
}

# Runs a command in the clone; its output goes to build/fresh-root/NAME.log and to the terminal.
# Followed until the command ends, not until its output closes: a process it left behind may hold
# the output open, and must not stall the check.
run_in_clone() { # LOG COMMAND (a shell line)
    local log="$work/$1.log" pid
    shift
    : >"$log"
    in_root bash -c "cd $clone && $*" </dev/null >>"$log" 2>&1 &
    pid=$!
    tail -n +1 -f --pid="$pid" "$log"
    wait "$pid"
}

test_command() {
    local start=$SECONDS status=0
    echo "== ./scripts/test.sh"
    run_in_clone test "timeout 3h ./scripts/test.sh" || status=$?
    if [ "$status" -eq 0 ]; then
        record ./scripts/test.sh passed $((SECONDS - start)) "$(tail -n 1 "$work/test.log")"
    else
        record ./scripts/test.sh FAILED $((SECONDS - start)) \
            "exit status $status; $(grep -m1 '^test.sh: FAILED' "$work/test.log" || echo 'see test.log')"
    fi
}

# Notes, every 0.2 s while the run command runs, whether the window's and the transmitter's
# processes of this root are running, into the files window-seen and sim-seen.
watch_programs() {
    local marks=$1 entry exe
    while [ ! -e "$marks/stop" ]; do
        for entry in $(processes_in_root); do
            exe="$(readlink "/proc/$entry/exe" 2>/dev/null)" || continue
            case "$exe" in
                "$root$clone/build/src/tervin-test-tools") touch "$marks/window-seen" ;;
                "$root$clone/build/sim/tervin-sim") touch "$marks/sim-seen" ;;
            esac
        done
        sleep 0.2
    done
}

run_command() {
    local start status=0 marks="$work/run-marks" left problems=()
    echo "== xvfb-run -a ./scripts/run.sh"
    # shellcheck disable=SC2016 # expanded in the root
    run_in_clone display '. scripts/packages.sh && scripts/install-missing.sh "${display_packages[@]}"' ||
        { record "xvfb-run -a ./scripts/run.sh" FAILED 0 "xvfb could not be installed"; return; }
    rm -rf "$marks" && mkdir -p "$marks"
    watch_programs "$marks" &
    local watcher=$!
    start=$SECONDS
    run_in_clone run "TERVIN_QUIT_AFTER_MS=20000 timeout 1h xvfb-run -a ./scripts/run.sh" || status=$?
    local took=$((SECONDS - start))
    touch "$marks/stop" && wait "$watcher"
    sleep 1 # what run.sh stopped as it ended has gone
    left="$(for pid in $(processes_in_root); do tr '\0' ' ' <"/proc/$pid/cmdline"; echo; done)"
    [ "$status" -eq 0 ] || problems+=("exit status $status")
    [ -e "$marks/window-seen" ] || problems+=("the window's process was never seen")
    [ -e "$marks/sim-seen" ] || problems+=("tervin-sim was never seen")
    grep -q "No transmitter attached: the virtual transmitter is running" "$work/run.log" ||
        problems+=("run.sh did not say it started the virtual transmitter")
    [ -z "$left" ] || problems+=("left behind: $left")
    if [ ${#problems[@]} -eq 0 ]; then
        record "xvfb-run -a ./scripts/run.sh" passed "$took" \
            "the window ran until told to quit; tervin-sim started and was stopped"
    else
        record "xvfb-run -a ./scripts/run.sh" FAILED "$took" "$(printf '%s; ' "${problems[@]}" | sed 's/; $//')"
    fi
}

# --- the check -------------------------------------------------------------------------------

[ -f "$cache" ] || make_pristine_root
prepare_root
clone_commit
[ "$only" = run ] || test_command
[ "$only" = test ] || run_command
cleanup
trap - EXIT

echo
say "commit $commit on a minimal Debian 12 (debootstrap --variant=minbase bookworm, $(basename "$cache"))"
printf '  %s\n' "${results[@]}"
if [ "$failed" -eq 0 ] && [ "$keep" = no ]; then
    remove_root
else
    say "the root stays in $root (its logs: $work/test.log, $work/run.log)"
fi
[ "$failed" -eq 0 ]
