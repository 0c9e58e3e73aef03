#!/usr/bin/env bash
# Builds the Debian packages as a release is built and checks them as a distribution would.
# In build-package/ (made anew each run; build-package-qt6/ with TERVIN_QT=6): a Release build
# with Debian's hardening flags, and tervin-test-tools_VERSION_ARCH.deb beside its debug symbols
# tervin-test-tools-dbgsym_VERSION_ARCH.ddeb. Then:
#   lintian     no error and no warning; an override needs a comment line with its reason
#   metadata    the AppStream metainfo and the desktop entry are valid
#   contents    tests/package_contents.sh: what a working install needs is in the package
#   unpacked    the package unpacked into a temporary folder runs: --version of every program,
#               tervin-sim --help, the window started offscreen through the launcher quits cleanly;
#               Qm/Chinese.qm, the completion and every manual page are there and readable
# Prints the packages' names and sizes and lintian's result last. A failing step stops the script
# with its name. Nothing is written outside the build folder and the system's temporary folder.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
qt="${TERVIN_QT:-5}"
build="$top/build-package"
[ "$qt" = 5 ] || build="$top/build-package-qt$qt"
out="$build/packages"
scratch="$(mktemp -d)"
lintian_result="not run"
current=""
# Any command that fails stops the script (set -e); the step it was in is named.
finish() {
    local status=$?
    rm -rf "$scratch"
    if [ "$status" -ne 0 ] && [ -n "$current" ]; then
        echo "package.sh: FAILED at step '$current' (exit status $status)" >&2
    fi
}
trap finish EXIT

# The lists in scripts/packages.sh. A release never ships without its manual pages: help2man is
# installed here, and the build below fails when it cannot make them.
install_tools() {
    . "$top/scripts/packages.sh"
    local qt_packages=("${qt5_packages[@]}")
    [ "$qt" = 5 ] || qt_packages=("${qt6_packages[@]}")
    "$top/scripts/install-missing.sh" "${build_packages[@]}" "${qt_packages[@]}" \
        "${manual_page_packages[@]}" "${package_packages[@]}"
}

# A Release build with the flags Debian builds its packages with (hardening included), from
# nothing: the build folder is removed first, so that every run gives the same packages.
build_release() {
    rm -rf "$build"
    local flags
    flags="$(cd "$top" && DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
    (
        eval "$flags"
        export CXXFLAGS="$CPPFLAGS $CXXFLAGS"
        cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTERVIN_QT="$qt" \
            -DTERVIN_REQUIRE_MANUAL_PAGES=ON >/dev/null
    )
    cmake --build "$build" -j "$(nproc)" >"$build/build.log" 2>&1 || { tail -n 30 "$build/build.log"; return 1; }
    (cd "$build" && cpack -G DEB -B "$out" >"$build/cpack.log" 2>&1) || { tail -n 30 "$build/cpack.log"; return 1; }
    deb="$(ls "$out"/tervin-test-tools_*.deb)"
    ddeb="$(ls "$out"/tervin-test-tools-dbgsym_*.ddeb)"
    version="$(dpkg-deb -f "$deb" Version)"
}

# Every override line in the package follows a comment line that gives its reason.
check_overrides() {
    local file previous line
    while IFS= read -r file; do
        previous=""
        while IFS= read -r line; do
            if [ -n "$line" ] && [ "${line#\#}" = "$line" ] && [ "${previous#\#}" = "$previous" ]; then
                echo "lintian override without a reason in ${file#"$scratch"/tree}: $line"
                return 1
            fi
            previous="$line"
        done <"$file"
    done < <(find "$scratch/tree/usr/share/lintian/overrides" -type f 2>/dev/null)
}

run_lintian() {
    dpkg-deb -x "$deb" "$scratch/tree"
    check_overrides
    local report status=0
    lintian -I --fail-on error,warning "$deb" "$ddeb" >"$scratch/lintian.txt" 2>&1 || status=$?
    report="$(grep -v 'running with root privileges' "$scratch/lintian.txt" || true)"
    [ -z "$report" ] || echo "$report"
    local errors warnings infos
    errors="$(grep -c '^E:' <<<"$report" || true)"
    warnings="$(grep -c '^W:' <<<"$report" || true)"
    infos="$(grep -c '^I:' <<<"$report" || true)"
    lintian_result="$errors errors, $warnings warnings, $infos info tags"
    [ "$status" -eq 0 ] && [ "$errors" -eq 0 ] && [ "$warnings" -eq 0 ]
}

check_metadata() {
    appstreamcli validate --pedantic --no-net "$scratch"/tree/usr/share/metainfo/*.metainfo.xml
    desktop-file-validate "$scratch"/tree/usr/share/applications/*.desktop
    echo "desktop entry valid"
}

check_contents() {
    "$top/tests/package_contents.sh" "$deb" "$qt"
}

check_unpacked() {
    local tree="$scratch/tree" failed=0
    run() {
        if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=$((failed + 1)); fi
    }
    run "tervin-test-tools --version says $version" \
        '[ "$("$tree/usr/bin/tervin-test-tools" --version)" = "tervin-test-tools $version" ]'
    run "tervin-cli --version says $version" '[ "$("$tree/usr/bin/tervin-cli" --version)" = "tervin-cli $version" ]'
    run "tervin-sim --version says $version" '[ "$("$tree/usr/bin/tervin-sim" --version)" = "tervin-sim $version" ]'
    run "tervin-sim --help answers" 'text="$("$tree/usr/bin/tervin-sim" --help)" && grep -q "^Usage: " <<<"$text"'
    run "tervin-cli finds its Chinese texts in the tree" \
        'zh="$(LC_ALL=zh_CN.UTF-8 "$tree/usr/bin/tervin-cli" --help)" && en="$(LC_ALL=C "$tree/usr/bin/tervin-cli" --help)" &&
         [ -n "$zh" ] && [ "$zh" != "$en" ]'
    # The window through the launcher, in a Chinese locale, with a home and runtime folder of its
    # own in the scratch folder: it starts, links the translation in and quits after 2 s.
    mkdir -p "$scratch/home" "$scratch/runtime"
    chmod 700 "$scratch/runtime"
    run "the window starts offscreen through the launcher and quits cleanly" \
        'HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime" TERVIN_TOOL_DIR="$tree/usr/lib/tervin-test-tools" \
         TERVIN_WORK_DIR="$scratch/work" LC_ALL=zh_CN.UTF-8 QT_QPA_PLATFORM=offscreen TERVIN_QUIT_AFTER_MS=2000 \
         timeout 60 "$tree/usr/bin/tervin-test-tools-launch" 2>"$scratch/window.log"'
    run "the launcher linked the translation in" '[ -f "$scratch/work/Qm/Chinese.qm" ]'
    run "Qm/Chinese.qm is a Qt translation" \
        '[ "$(head -c 16 "$tree/usr/lib/tervin-test-tools/Qm/Chinese.qm" | od -An -tx1 | tr -d " \n")" = 3cb86418caef9c95cd211cbf60a1bddd ]'
    run "the bash completion reads" 'bash -n "$tree/usr/share/bash-completion/completions/tervin-cli"'
    local program
    for program in "$tree"/usr/bin/*; do
        program="$(basename "$program")"
        run "the manual page of $program reads" \
            'text="$(zcat "$tree/usr/share/man/man1/$program.1.gz")" && grep -q "^\.SH NAME" <<<"$text"'
    done
    if [ -s "$scratch/window.log" ]; then sed 's/^/window (stderr): /' "$scratch/window.log"; fi
    [ "$failed" -eq 0 ]
}

step() {
    current="$1"
    shift
    echo "== $current"
    "$@"
    current=""
}

step "install tools" install_tools
step "build" build_release
step "lintian" run_lintian
step "metadata" check_metadata
step "contents" check_contents
step "unpacked" check_unpacked
echo "== packages"
for file in "$deb" "$ddeb"; do
    echo "$(basename "$file"): $(du -k "$file" | cut -f1) KiB"
done
echo "lintian: $lintian_result"
