#!/usr/bin/env bash
# Retakes docs/screenshot.png (the window against the virtual transmitter), docs/trend.png (the
# trend after a simulated hour) and docs/screenshot-zh.png (the window in Chinese), under Xvfb.
# The CJK font (the one the package recommends) is installed here only: the screenshots need it,
# the build and the tests do not.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
. "$top/scripts/packages.sh"
"$top/scripts/setup.sh" "${display_packages[@]}" "${screenshot_packages[@]}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
shoot() {
    xvfb-run -a -s "-screen 0 1280x800x24" env QT_QPA_PLATFORM=xcb \
        "$top/build/tools/screenshot/screenshot" "$@"
}
# English from a folder without a translation; Chinese from the build's, which holds Qm/.
(cd "$(mktemp -d)" && shoot "$top/docs/screenshot.png" "$top/docs/trend.png")
(cd "$top/build/src" && LANG=zh_CN.UTF-8 shoot "$top/docs/screenshot-zh.png")
echo "Wrote $top/docs/screenshot.png, $top/docs/trend.png and $top/docs/screenshot-zh.png"
