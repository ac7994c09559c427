# Shared set-up of ./play.sh and ./test.sh, sourced by both: installs what is
# missing from Debian's packages, then configures and builds.

QF_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QF_BUILD="$QF_ROOT/build"

qf_install_missing() {
  local missing=()
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# What building and running the game needs (./play.sh), and what the tests
# and benchmarks add to it (./test.sh).
QF_BUILD_PACKAGES=(cmake g++ make pkg-config libsdl2-dev libx11-dev zlib1g-dev)
QF_TEST_PACKAGES=(libgtest-dev libbenchmark-dev)
# The web page (./web.sh) and its browser tests.
QF_WEB_PACKAGES=(emscripten python3)
QF_WEB_TEST_PACKAGES=(chromium chromium-driver python3-selenium)

# qf_build DIR [--target NAME] [cmake options...]: everything, or only NAME
# and what it needs.
qf_build() {
  local dir="$1"
  shift
  local target=()
  if [ "${1:-}" = "--target" ]; then
    target=(--target "$2")
    shift 2
  fi
  # ccache, where there is one, makes building the same sources again cheap
  # (the next ./test.sh after a clean, a second checkout of the tree).
  local launcher=()
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$QF_ROOT"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$QF_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$(nproc)" "${target[@]}"
}

# qf_web_build DIR DATA: the web page into DIR/site with Emscripten, the
# game's files taken from DATA (the native build's run/ folder).
qf_web_build() {
  local dir="$1" data="$2"
  export NODE_PATH=/usr/share/nodejs
  local launcher=()
  if command -v ccache >/dev/null; then
    export CCACHE_BASEDIR="$QF_ROOT"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  emcmake cmake -S "$QF_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DQF_WERROR=ON \
    -DQF_WEB_DATA="$data" "${launcher[@]}" >/dev/null
  cmake --build "$dir" -j "$(nproc)" --target quillfire
}
