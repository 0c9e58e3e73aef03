#!/usr/bin/env bash
# Builds the .deb into a scratch folder and checks that it carries the tool, its translation
# beside it, the launcher, the simulator, the desktop entry, the icons, and tervin-cli with its
# manual page and bash completion.
set -euo pipefail
build="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
(cd "$build" && cpack -G DEB -B "$scratch" >/dev/null)
deb="$(ls "$scratch"/*.deb)"
listing="$(dpkg-deb -c "$deb")"
failed=0
checks=0
for path in ./usr/lib/tervin-test-tools/tervin-test-tools ./usr/lib/tervin-test-tools/Qm/Chinese.qm \
            ./usr/bin/tervin-test-tools ./usr/bin/tervin-test-tools-launch ./usr/bin/tervin-sim \
            ./usr/share/applications/tervin-test-tools.desktop \
            ./usr/share/icons/hicolor/256x256/apps/tervin-test-tools.png \
            ./usr/share/doc/tervin-test-tools/copyright ./usr/bin/tervin-cli \
            ./usr/share/man/man1/tervin-cli.1.gz ./usr/share/bash-completion/completions/tervin-cli; do
    checks=$((checks+1))
    if grep -q " $path\( \|$\)" <<<"$listing"; then echo "ok: $path"; else echo "missing: $path"; failed=$((failed+1)); fi
done
for dependency in libqt5serialport5 libqcustomplot2.1 qttranslations5-l10n; do
    checks=$((checks+1))
    dpkg-deb -f "$deb" Depends | grep -q "$dependency" || { echo "missing: dependency $dependency"; failed=$((failed+1)); }
done
checks=$((checks+1))
dpkg-deb -f "$deb" Recommends | grep -q fonts-noto-cjk || { echo "missing: recommended CJK font"; failed=$((failed+1)); }
echo "$((checks - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
