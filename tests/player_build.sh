#!/usr/bin/env bash
# A player's build on a machine without the test kit: the configure with
# GoogleTest's and Google Benchmark's CMake files hidden, the default build
# (the game, its pictures and sounds, icons and manual page, nothing of the
# tests), and the stripped install of it into a scratch prefix.
#   player_build.sh SOURCE_DIR
set -uo pipefail

source_dir="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "player_build: $*" >&2
  status=1
}

# ccache, where there is one, makes this a build of cached objects.
launcher=()
if command -v ccache >/dev/null; then
  # Object files from another tree are the same here (debug info aside).
  export CCACHE_BASEDIR="$source_dir" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
build="$work/build"
start=$(date +%s)
cmake -S "$source_dir" -B "$build" -DQF_TESTS=OFF "${launcher[@]}" \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON >"$work/configure.log" 2>&1 ||
  { fail "configure: $(tail -5 "$work/configure.log")"; exit 1; }
cmake --build "$build" -j 2 >"$work/build.log" 2>&1 ||
  { fail "build: $(grep -m5 -i error "$work/build.log")"; exit 1; }
echo "player_build: configured and built in $(($(date +%s) - start)) s"
for folder in tests bench; do
  [ -e "$build/$folder" ] && fail "the player's build made $folder/"
done
for made in tools/quillfire-run tools/qf_title_scaled libqf_platform_headless.a \
  tools/libqf_runner.a; do
  [ -e "$build/$made" ] && fail "the player's build made $made"
done

prefix="$work/prefix"
cmake --install "$build" --strip --prefix "$prefix" >/dev/null ||
  fail "install failed"
game="$prefix/bin/quillfire"
[ -x "$game" ] || fail "no $game"
readelf -S "$game" | grep -q '\.symtab' && fail "the installed game is not stripped"
for file in share/quillfire/TITLE8.BMP share/quillfire/BOING.WAV \
  share/man/man6/quillfire.6.gz share/icons/hicolor/64x64/apps/quillfire.png; do
  [ -s "$prefix/$file" ] || fail "the install lacks $file"
done
ls "$prefix"/share/applications/*.desktop >/dev/null 2>&1 || fail "no desktop entry"
[ "$("$game" --version)" = "quillfire $(sed -n 's/^project(quillfire VERSION \([0-9.]*\).*/\1/p' \
  "$source_dir/CMakeLists.txt")" ] || fail "the installed game's --version: $("$game" --version)"
[ $status -eq 0 ] && echo "player_build: built without the test kit, installed stripped: passed"
exit $status
