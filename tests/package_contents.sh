#!/usr/bin/env bash
# package_contents.sh BUILD_DIR|PACKAGE.deb QT_MAJOR
# Checks that the package carries what a working install needs: the window with its translation
# beside it, the launcher, tervin-sim, tervin-cli with its bash completion, a manual page for every
# program in /usr/bin, the desktop entry and its AppStream metainfo, the icons, the copyright file,
# the changelog and the example service that publishes a port to a broker; that it depends on the
# Qt it was built with (its serial port, chart library, own Chinese texts and, for Qt 6, platform
# plugins) and on the MQTT client library, and recommends a CJK font; and that the
# debug symbols package beside it holds the binaries' debug information. Given a build folder, it
# makes the packages there with CPack into a scratch folder first.
set -euo pipefail
given="$1"
dependencies=(libqt5serialport5 libqcustomplot2.1 qttranslations5-l10n libmosquitto1)
[ "$2" = 5 ] || dependencies=(libqt6serialport6 libqcustomplot2.1-qt6 qt6-translations-l10n qt6-qpa-plugins libmosquitto1)
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
if [ -d "$given" ]; then
    (cd "$given" && cpack -G DEB -B "$scratch" >/dev/null)
    deb="$(ls "$scratch"/tervin-test-tools_*.deb)"
else
    deb="$given"
fi
listing="$(dpkg-deb -c "$deb")"
failed=0
checks=0
check() {
    checks=$((checks + 1))
    if eval "$2"; then echo "ok: $1"; else echo "missing: $1"; failed=$((failed + 1)); fi
}
has() { grep -q " $1\( \|$\)" <<<"$listing"; }

for path in ./usr/lib/tervin-test-tools/tervin-test-tools ./usr/lib/tervin-test-tools/Qm/Chinese.qm \
            ./usr/bin/tervin-test-tools ./usr/bin/tervin-test-tools-launch ./usr/bin/tervin-sim \
            ./usr/bin/tervin-cli ./usr/share/bash-completion/completions/tervin-cli \
            ./usr/share/applications/invalid.tervin.testtools.desktop \
            ./usr/share/metainfo/invalid.tervin.testtools.metainfo.xml \
            ./usr/share/icons/hicolor/256x256/apps/tervin-test-tools.png \
            ./usr/share/doc/tervin-test-tools/copyright ./usr/share/doc/tervin-test-tools/changelog.gz \
            ./usr/share/doc/tervin-test-tools/examples/tervin-publish@.service; do
    check "$path" "has $path"
done
for program in $(sed -n 's|.* \./usr/bin/\([^ ]*\).*|\1|p' <<<"$listing"); do
    check "manual page of $program" "has ./usr/share/man/man1/$program.1.gz"
done
for dependency in "${dependencies[@]}"; do
    check "dependency $dependency" 'grep -qw -- "$dependency" <<<"$(dpkg-deb -f "$deb" Depends)"'
done
check "recommended CJK font" 'grep -qw fonts-noto-cjk <<<"$(dpkg-deb -f "$deb" Recommends)"'
dbgsym="$(dirname "$deb")/$(basename "$deb" .deb | sed 's/^tervin-test-tools_/tervin-test-tools-dbgsym_/').ddeb"
check "debug symbols package $(basename "$dbgsym")" '[ -f "$dbgsym" ]'
check "debug information of the three binaries" \
    '[ "$(dpkg-deb -c "$dbgsym" 2>/dev/null | grep -c "/usr/lib/debug/.build-id/.*\.debug$")" -eq 3 ]'
echo "$((checks - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
