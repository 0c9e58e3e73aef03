# shellcheck shell=bash
# The Debian packages each step installs (through scripts/install-missing.sh): one list per step,
# each package with the commands or files it gives. Sourced by the scripts that install them.
# A new tool, library or test that calls a command goes in the list of every step that calls it;
# scripts/fresh-check.sh runs the README's commands on a minimal Debian 12 to prove nothing is
# missing. Always there, and so in no list: bash, coreutils (timeout, od, du, sort), gzip (zcat),
# sed, grep, findutils (xargs), mawk (awk), dpkg (dpkg-deb, dpkg-query), bsdutils (script).
# shellcheck disable=SC2034 # the lists are used by the scripts that source this file

# Building the programs, the tests and the benchmarks with any Qt (setup.sh, fuzz.sh, package.sh,
# the Qt 6 step of test.sh).
build_packages=(
    cmake                  # cmake, ctest, cpack
    make g++               # g++ brings binutils and the sanitizers' run-time libraries
    libqcustomplot-dev     # the trend chart, for Qt 5 and for Qt 6
    pkg-config libmosquitto-dev # tervin-cli's MQTT client library, found through pkg-config
)

# Qt 5 (the default build: setup.sh, fuzz.sh, package.sh).
qt5_packages=(
    qtbase5-dev libqt5serialport5-dev
    qttools5-dev qttools5-dev-tools # Qt's CMake tools for translations, lupdate and lrelease
    qttranslations5-l10n            # Qt's own Chinese texts
)

# Qt 6 (the Qt 6 step of test.sh; package.sh with TERVIN_QT=6).
qt6_packages=(
    qt6-base-dev qt6-serialport-dev
    qt6-tools-dev qt6-l10n-tools # Qt's CMake tools for translations, lupdate and lrelease
    qt6-translations-l10n        # Qt's own Chinese texts
    qt6-qpa-plugins              # the offscreen and xcb platforms (a package of their own in Qt 6)
)

# tervin-sim's manual page: optional for a build (configure says when it is missing), required for
# a release (package.sh).
manual_page_packages=(
    help2man
)

# What the CTest suite calls, in every suite step of test.sh (setup.sh installs it).
suite_packages=(
    dpkg-dev file          # package_contents: cpack -G DEB calls dpkg-shlibdeps, and file on each binary
    bash-completion        # cli_completion: the completion as bash-completion loads it
    mosquitto              # tst_climqtt, tst_climqttbroker: a real broker (mosquitto) started by the tests
    openssl                # tst_climqttbroker: the TLS broker's certificate (openssl req)
    poppler-utils          # tst_report, tst_cli: the check reports read back (pdftotext, pdffonts)
    fonts-wqy-microhei     # tst_report: a small CJK font, so reports are written in Chinese
)

# The fuzz targets (fuzz.sh; the fuzz step of test.sh), built with clang's libFuzzer.
fuzz_packages=(
    clang                  # clang, clang++
    libclang-rt-14-dev     # libFuzzer and clang's sanitizer run-time libraries
)

# Making and checking the release packages (package.sh; the package step of test.sh).
package_packages=(
    dpkg-dev               # dpkg-buildflags, dpkg-shlibdeps (cpack -G DEB)
    file                   # cpack -G DEB: which files are binaries to strip and to find libraries of
    lintian                # lintian
    appstream              # appstreamcli validate
    desktop-file-utils     # desktop-file-validate
)

# A virtual display (xvfb-run): screenshot.sh, and a user without a display for run.sh (the
# README's `xvfb-run -a ./scripts/run.sh`, and fresh-check.sh for it).
display_packages=(
    xvfb                   # Xvfb, xvfb-run
    xauth                  # xvfb-run's authority file
)

# The benchmarks' chart library candidates (bench.sh).
bench_packages=(
    libqt5charts5-dev libqwt-qt5-dev
    mosquitto              # bench.sh mqtt: the broker tervin-cli publishes to
)

# The screenshots' fonts (screenshot.sh): Latin, and the CJK font the package recommends.
screenshot_packages=(
    fonts-liberation fonts-noto-cjk
)
