#!/usr/bin/env bash
# Installs what is missing, builds the game and its pictures and sounds, and
# starts it.
set -euo pipefail
source "$(dirname "$0")/tools/setup.sh"

qf_install_missing "${QF_BUILD_PACKAGES[@]}"
qf_build "$QF_BUILD"

cd "$QF_BUILD/run"
exec "$QF_BUILD/quillfire"
