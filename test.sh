#!/usr/bin/env bash
# Installs what is missing, builds everything, then runs every test: the
# normal build, and the library and game again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
source "$(dirname "$0")/tools/setup.sh"

qf_install_missing "${QF_BUILD_PACKAGES[@]}" xvfb xdotool x11-apps imagemagick sox python3
# Packaging and the checks of the installed files.
qf_install_missing dpkg-dev file lintian appstream desktop-file-utils man-db

status=0

echo "== build"
qf_build "$QF_BUILD"
echo "== tests"
(cd "$QF_BUILD" && ctest --output-on-failure -j "$(nproc)") || status=1

echo "== sanitizer build (ASan + UBSan)"
qf_build "$QF_ROOT/build-asan" -DQF_SANITIZE=ON -DQF_WITH_SDL=OFF -DQF_WITH_BENCH=OFF
echo "== sanitizer tests"
(cd "$QF_ROOT/build-asan" && ctest --output-on-failure -j "$(nproc)") || status=1

exit $status
