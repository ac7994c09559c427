#!/usr/bin/env bash
# The screen in a real X server (Xvfb, 1920 x 1080), bare or under openbox:
# full screen covers the whole screen (under openbox, as the window manager's
# own full-screen state); Alt+Enter gives a window of 1280 x 960 (decorated
# under openbox) and F11 full screen again, at the title and in a rally, the
# window coming back at the size it was left;
# --window starts in a window; the picture matches the headless title frame
# scaled by the same rule, pixel for pixel, full screen, in the window and in
# a resized window, sharp and whole-number; Q ends with 0.
#   x11_screen.sh QUILLFIRE RUN_DIR QF_TITLE_SCALED bare|openbox
set -uo pipefail

game="$1"
run_dir="$2"
title_scaled="$3"
mode="$4"
work="$(mktemp -d)"
test_name="x11_screen ($mode)"
# Settings of its own, none at the start.
export XDG_CONFIG_HOME="$work/config"
source "$(dirname "$0")/x11_lib.sh"
trap 'x11_finish; rm -rf "$work"' EXIT

"$title_scaled" "$work" 1920x1080 1280x960 1000x700 1000x700i >/dev/null ||
  fail "the expected pictures could not be made"

x11_start 1920x1080
[ "$mode" = openbox ] && x11_openbox

start() {
  x11_launch "$@"
  x11_visible_window "$*"
}

quit() {
  x11_quit "$1" || fail "exit code $? after Q ($1)"
}

states() { xprop -id "$window" _NET_WM_STATE 2>/dev/null; }
# Top edge of the window manager's frame (0 when there is none).
frame_top() {
  xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null |
    awk -F'[=,]' 'NF >= 5 {print $4 + 0; exit} END {if (!NR) print 0}'
}

expect_fullscreen() {
  local g
  for _ in $(seq 30); do
    g=$(x11_geometry)
    [ "$g" = "0 0 1920 1080" ] && break
    sleep 0.1
  done
  [ "$g" = "0 0 1920 1080" ] || fail "$1: full screen is at $g"
  if [ "$mode" = openbox ]; then
    states | grep -q _NET_WM_STATE_FULLSCREEN ||
      fail "$1: no _NET_WM_STATE_FULLSCREEN ($(states))"
  fi
}

expect_window() {
  local g size
  for _ in $(seq 30); do
    g=$(x11_geometry)
    size=${g#* * }
    [ "$size" = "$2" ] && break
    sleep 0.1
  done
  [ "$size" = "$2" ] || fail "$1: the window is $g, not $2"
  if [ "$mode" = openbox ]; then
    [ "$(frame_top)" -gt 0 ] || fail "$1: the window has no title bar"
    states | grep -q _NET_WM_STATE_FULLSCREEN && fail "$1: still full screen"
  fi
  return 0
}

# The window's picture against the expected one, a few tries while the
# window manager settles.
expect_picture() {
  local shot="$work/shot.ppm" differ
  for _ in $(seq 10); do
    import -window "$window" "$shot" 2>/dev/null &&
      differ=$(compare -metric AE "$shot" "$work/title_$2.ppm" null: 2>&1)
    [ "${differ:-x}" = 0 ] && return 0
    sleep 0.3
  done
  fail "$1: the picture differs from the headless title at $2 in ${differ:-?} pixels"
}

# Full screen (the default), switched with Alt+Enter and F11 at the title.
start
expect_fullscreen "at start"
expect_picture "full screen" 1920x1080
xdotool key alt+Return
expect_window "Alt+Enter" "1280 960"
expect_picture "window" 1280x960
xdotool windowsize "$window" 1000 700
expect_window "resized" "1000 700"
expect_picture "resized window" 1000x700
xdotool key F11
expect_fullscreen "F11"
expect_picture "full screen again" 1920x1080
# In a rally: out to a window and back; the game plays on.
x11_press 1
sleep 2
x11_press space
sleep 0.5
xdotool key alt+Return
expect_window "Alt+Enter in a rally" "1000 700"
sleep 0.5
xdotool key alt+Return
expect_fullscreen "Alt+Enter in a rally, back"
x11_press Escape
sleep 2
quit "full screen"

# --window, scaled by whole numbers only, without the window kept above.
start --window --scale integer --no-config
expect_window "--window" "1280 960"
expect_picture "--window" 1280x960
xdotool windowsize "$window" 1000 700
expect_window "--window resized" "1000 700"
expect_picture "--window --scale integer, resized" 1000x700i
quit "--window"
echo "x11_screen ($mode): full screen, window, Alt+Enter, F11, the picture and Q: passed"
