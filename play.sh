#!/usr/bin/env bash
# Installs what is missing, builds the game and its pictures and sounds (and
# nothing else), and starts it. Options are passed to the game:
#   ./play.sh --nosound
set -euo pipefail
source "$(dirname "$0")/tools/setup.sh"

qf_install_missing "${QF_BUILD_PACKAGES[@]}"
qf_build "$QF_BUILD" --target quillfire

# The game finds its files in run/ beside itself.
exec "$QF_BUILD/quillfire" "$@"
