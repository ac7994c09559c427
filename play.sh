#!/usr/bin/env bash
# Installs what the game needs and is missing, builds the game and its
# pictures and sounds (and nothing else: no tests, no test libraries), and
# starts it. Options are passed to the game:
#   ./play.sh --nosound
set -euo pipefail
source "$(dirname "$0")/tools/setup.sh"

qf_install_missing "${QF_BUILD_PACKAGES[@]}"
# A fresh tree is a player's, without the tests; one that ./test.sh set up
# keeps them.
options=()
[ -f "$QF_BUILD/CMakeCache.txt" ] || options=(-DQF_TESTS=OFF)
qf_build "$QF_BUILD" --target quillfire "${options[@]}"

# The game finds its files in run/ beside itself.
exec "$QF_BUILD/quillfire" "$@"
