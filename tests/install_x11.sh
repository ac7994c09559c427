#!/usr/bin/env bash
# The game as a player gets it: installed with `cmake --install` into a
# scratch prefix, and unpacked from the Debian package cpack makes (never
# installed on this machine). Each is started by its full path from / in an
# X server, must show the title, and ends with 0 on Q. The package must pass
# lintian, be the same bytes when made again, and hold a stripped program;
# the icons must be the size of their folders.
#   install_x11.sh BUILD_DIR
set -uo pipefail

build="$1"
test_name=install_x11
work="$(mktemp -d)"
source "$(dirname "$0")/x11_lib.sh"
trap 'x11_finish; rm -rf "$work"' EXIT

play_from_root() {  # program
  (cd / && SDL_AUDIODRIVER=dummy exec "$1" 2>"$work/err") &
  game_pid=$!
  x11_wait_window || fail "$1: no window; stderr: $(cat "$work/err")"
  sleep 1.5  # the title fades in
  x11_title_shown "$(basename "$(dirname "$1")")" || fail "$1: no title shown"
  x11_quit || fail "$1: exit status $? after Q"
  [ -s "$work/err" ] && fail "$1 wrote: $(cat "$work/err")"
  return 0
}

cmake --install "$build" --prefix "$work/stage" >/dev/null || fail "install failed"
for size in 16 32 48 64 128 256; do
  icon="$work/stage/share/icons/hicolor/${size}x${size}/apps/quillfire.png"
  [ "$(identify -format '%wx%h' "$icon" 2>&1)" = "${size}x${size}" ] ||
    fail "icon $icon is not ${size}x${size}"
done

package() {  # folder: a package made into it
  (cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$1" \
    >"$work/cpack.log" 2>&1) || fail "cpack failed: $(tail -5 "$work/cpack.log")"
}
package "$work/pkg"
deb=$(ls "$work"/pkg/quillfire_*_*.deb) || fail "no package made"
echo "$test_name: made $(basename "$deb")"
# The same tree makes the same bytes; the times in it are SOURCE_DATE_EPOCH
# when that is set.
sleep 1
package "$work/pkg-again"
first=$(sha256sum <"$deb" | cut -d' ' -f1)
again=$(sha256sum <"$work"/pkg-again/quillfire_*_*.deb | cut -d' ' -f1)
echo "$test_name: package SHA-256 $first, again $again"
[ "$first" = "$again" ] || fail "two packages of one tree differ"
SOURCE_DATE_EPOCH=1700000000 package "$work/pkg-epoch"
times=$(TZ=UTC dpkg-deb -c "$work"/pkg-epoch/quillfire_*_*.deb | awk '{print $4, $5}' | sort -u)
[ "$times" = "2023-11-14 22:13" ] || fail "times in the package with SOURCE_DATE_EPOCH: $times"
dpkg-deb -f "$deb" Section Depends
# Warnings explained in the README would be listed here; there are none.
lintian --fail-on error,warning "$deb" 2>&1 | grep -v 'root privileges' |
  tee "$work/lintian"
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "lintian: $(cat "$work/lintian")"
dpkg-deb -x "$deb" "$work/unpacked" || fail "dpkg-deb -x failed"
sections=$(readelf -S "$work/unpacked/usr/games/quillfire" | grep -o '\.symtab\|\.comment')
[ -z "$sections" ] || fail "the packaged program keeps $sections"

x11_start
play_from_root "$work/stage/bin/quillfire"
play_from_root "$work/unpacked/usr/games/quillfire"
echo "$test_name: installed tree and unpacked package show the title: passed"
