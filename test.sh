#!/usr/bin/env bash
# Installs what is missing, builds everything, then runs every test: the
# normal build, and the library and game again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then every fuzz target.
#
#   ./test.sh          fuzz each target for 20 s, soak for 5 game minutes
#   ./test.sh --long   fuzz each target for 10 minutes, soak for an hour
set -euo pipefail
source "$(dirname "$0")/tools/setup.sh"

fuzz_seconds=20
soak_minutes=5
case "${1:-}" in
  --long) fuzz_seconds=600 soak_minutes=60 ;;
  "") ;;
  *) echo "usage: $0 [--long]" >&2; exit 2 ;;
esac

qf_install_missing "${QF_BUILD_PACKAGES[@]}" "${QF_TEST_PACKAGES[@]}" xvfb xdotool x11-apps x11-utils openbox wmctrl imagemagick python3 \
  clang libclang-rt-14-dev clang-format
# Packaging and the checks of the installed files.
qf_install_missing dpkg-dev file lintian appstream desktop-file-utils man-db

status=0
# Each phase says when it starts, so that a slow one shows in CI's log.
phase() { echo "== $1 (at $((SECONDS / 60))m$((SECONDS % 60))s)"; }

phase "style"
"$QF_ROOT/tools/check_style.sh" || status=1

phase "build (warnings are errors)"
qf_build "$QF_BUILD" -DQF_WERROR=ON -DQF_TESTS=ON
# The sanitizer and fuzz builds share nothing with this one (other flags,
# another compiler), but the tests below spend most of their time waiting on
# real windows and clocks: the two builds go on beside them, at the lowest
# priority, so that the tests' timing is the machine's.
phase "sanitizer and fuzz builds started beside the tests"
side_log="$QF_BUILD/side-builds.log"
(
  nice -n 19 bash -c "source '$QF_ROOT/tools/setup.sh' &&
    qf_build '$QF_ROOT/build-asan' -DQF_SANITIZE=ON -DQF_WITH_SDL=OFF \
      -DQF_WITH_BENCH=OFF &&
    qf_build '$QF_ROOT/build-fuzz' -DCMAKE_CXX_COMPILER=clang++ -DQF_FUZZ=ON \
      -DQF_WITH_SDL=OFF -DQF_WITH_BENCH=OFF"
) >"$side_log" 2>&1 &
side_builds=$!

phase "tests"
(cd "$QF_BUILD" && ctest --output-on-failure -j "$(nproc)") || status=1

phase "web page (Emscripten) and its tests in headless Chromium"
qf_install_missing "${QF_WEB_PACKAGES[@]}" "${QF_WEB_TEST_PACKAGES[@]}"
if qf_web_build "$QF_ROOT/build-web" "$QF_BUILD/run"; then
  /usr/bin/python3 "$QF_ROOT/tests/web/test_web_page.py" "$QF_ROOT/build-web/site" "$QF_BUILD" || status=1
else
  status=1
fi

phase "sanitizer and fuzz builds (ASan + UBSan; clang, libFuzzer)"
if ! wait "$side_builds"; then
  tail -n 60 "$side_log"
  echo "test.sh: the sanitizer or fuzz build failed (all of it in $side_log)" >&2
  exit 1
fi
phase "sanitizer tests"
(cd "$QF_ROOT/build-asan" && ctest --output-on-failure -j "$(nproc)") || status=1
phase "soak under the sanitizers, ${soak_minutes} game minutes"
"$QF_ROOT/build-asan/tests/qf_soak" "$soak_minutes" || status=1

phase "fuzzing, ${fuzz_seconds} s a target"
"$QF_ROOT/tools/run_fuzz.sh" "$fuzz_seconds" "$QF_ROOT/build-fuzz" || status=1

phase "done, status $status"
exit $status
