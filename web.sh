#!/usr/bin/env bash
# Builds the game as a web page into build-web/site/: index.html, the
# game's quillfire.js and quillfire.wasm, and its pictures and sounds in
# quillfire.data. Any static web server serves it; the line printed at the
# end starts one.
#
#   ./web.sh            build
#   ./web.sh --serve    build, then serve it on http://127.0.0.1:8000/
set -euo pipefail
source "$(dirname "$0")/tools/setup.sh"

qf_install_missing "${QF_BUILD_PACKAGES[@]}" "${QF_WEB_PACKAGES[@]}"
# Emscripten's JavaScript tools need Debian's packaged node modules.
export NODE_PATH=/usr/share/nodejs

# The pictures and sounds are drawn by a host tool, built natively (on
# its own: no SDL, no tests).
qf_build "$QF_ROOT/build-web-host" --target assets -DQF_WITH_SDL=OFF -DQF_TESTS=OFF
qf_web_build "$QF_ROOT/build-web" "$QF_ROOT/build-web-host/run"

site="$QF_ROOT/build-web/site"
echo "The site is in $site. Serve it with"
echo "  python3 -m http.server 8000 --bind 127.0.0.1 --directory $site"
echo "then open http://127.0.0.1:8000/ (a recording: http://127.0.0.1:8000/?replay=NAME.qfrec)"
if [ "${1:-}" = "--serve" ]; then
  exec python3 -m http.server 8000 --bind 127.0.0.1 --directory "$site"
fi
