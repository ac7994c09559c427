#!/usr/bin/env bash
# The window as a desktop citizen, in Xvfb at 2560 x 1440 under openbox:
# --window makes the largest multiple of 640 x 480 whose frame, title bar
# included, lies inside the screen; its minimum size is 640 x 480; it
# carries the menu icon (_NET_WM_ICON, the 64-pixel icon's pixels) and the
# desktop entry's StartupWMClass as its class. Resized and moved, F11 twice
# brings it back where it was; full screen set by the window manager
# (wmctrl) is left by one F11; quit and started again, it is where it was
# left (the settings file), full screen when it was left full screen, and
# muted when it was left muted.
# A damaged settings file or one that can't be written: the game plays, with
# one warning line; --no-config neither reads nor writes it.
#   x11_desktop.sh QUILLFIRE RUN_DIR DESKTOP_FILE ICON_64_PNG
set -uo pipefail

game="$1"
run_dir="$2"
desktop_file="$3"
icon_png="$4"
work="$(mktemp -d)"
test_name="x11_desktop"
source "$(dirname "$0")/x11_lib.sh"
export XDG_CONFIG_HOME="$work/config"
settings="$XDG_CONFIG_HOME/quillfire/quillfire.conf"
trap 'x11_finish; rm -rf "$work"' EXIT

x11_start 2560x1440
x11_openbox

start() {  # its stderr in $work/err
  x11_launch "$@" 2>"$work/err"
  x11_visible_window "$*"
}

quit() {
  x11_quit "$1" || fail "exit code $? after Q ($1)"
}

fullscreen_state() {
  xprop -id "$window" _NET_WM_STATE 2>/dev/null | grep -q _NET_WM_STATE_FULLSCREEN
}

# wait_for WHAT GEOMETRY: the window is there (as a window) within 3 s.
wait_window() {
  local g
  for _ in $(seq 30); do
    g=$(x11_geometry)
    [ "$g" = "$2" ] && ! fullscreen_state && return 0
    sleep 0.1
  done
  fail "$1: the window is at $g$(fullscreen_state && echo ' full screen'), not at $2"
}
wait_fullscreen() {
  local g
  for _ in $(seq 30); do
    g=$(x11_geometry)
    [ "$g" = "0 0 2560 1440" ] && fullscreen_state && return 0
    sleep 0.1
  done
  fail "$1: not full screen: $g, $(xprop -id "$window" _NET_WM_STATE)"
}

# The frame round the inside lies on the screen; prints the frame.
frame_inside_screen() {
  local x y w h left right top bottom
  read -r x y w h <<<"$(x11_geometry)"
  read -r left right top bottom <<<"$(xprop -id "$window" _NET_FRAME_EXTENTS |
    awk -F' = ' '{gsub(/,/, ""); print $2}')"
  [ -n "$bottom" ] || fail "$1: no _NET_FRAME_EXTENTS"
  [ "$top" -gt 0 ] || fail "$1: no title bar"
  local fx=$((x - left)) fy=$((y - top)) fw=$((w + left + right)) fh=$((h + top + bottom))
  [ $fx -ge 0 ] && [ $fy -ge 0 ] && [ $((fx + fw)) -le 2560 ] && [ $((fy + fh)) -le 1440 ] ||
    fail "$1: the frame ${fw}x${fh}+${fx}+${fy} runs off the 2560x1440 screen"
  echo "${fw}x${fh}+${fx}+${fy}"
}

# stderr of the last run: nothing, or exactly one warning line.
expect_quiet() {
  [ -s "$work/err" ] && fail "$1: stderr: $(cat "$work/err")"
  return 0
}
expect_one_warning() {
  [ "$(wc -l <"$work/err")" -eq 1 ] && grep -q '^quillfire: warning: ' "$work/err" ||
    fail "$1: not one warning line: $(cat "$work/err")"
}

# --- The first window: fitted with its frame, named, with the icon. ---
start --window
wait_window "--window" "$(x11_geometry)"
read -r _ _ w h <<<"$(x11_geometry)"
# 1920 x 1440 would fill the height with no room for the title bar.
[ "$w $h" = "1280 960" ] || fail "--window made ${w}x${h}, not 1280x960"
frame=$(frame_inside_screen "--window")
echo "$test_name: --window: inside $(x11_geometry), frame $frame"
hints=$(xprop -id "$window" WM_NORMAL_HINTS)
echo "$hints" | grep -q 'minimum size: 640 by 480' ||
  fail "the minimum size is not 640x480: $hints"
xdotool windowsize "$window" 300 200
sleep 0.5
read -r _ _ w h <<<"$(x11_geometry)"
[ "$w" -ge 640 ] && [ "$h" -ge 480 ] || fail "shrunk to ${w}x${h}"

# The class is the desktop entry's StartupWMClass and its file's base name.
wm_class=$(xprop -id "$window" WM_CLASS)
startup_class=$(sed -n 's/^StartupWMClass=//p' "$desktop_file")
[ -n "$startup_class" ] || fail "no StartupWMClass in $desktop_file"
[ "$(basename "$desktop_file" .desktop)" = "$startup_class" ] ||
  fail "$desktop_file is not named after its StartupWMClass $startup_class"
[ "$wm_class" = "WM_CLASS(STRING) = \"$startup_class\", \"$startup_class\"" ] ||
  fail "WM_CLASS is $wm_class, not $startup_class"

# The icon: the 64-pixel menu icon's pixels, transparent where it is black
# (outside the rounded corners only), opaque everywhere else.
xprop -id "$window" -notype -f _NET_WM_ICON 32c _NET_WM_ICON >"$work/icon.txt"
convert "$icon_png" rgba:"$work/icon.rgba" || fail "can't read $icon_png"
python3 - "$work/icon.txt" "$work/icon.rgba" <<'EOF' || fail "_NET_WM_ICON is not the menu icon"
import sys
text = open(sys.argv[1]).read()
if "=" not in text:
    sys.exit("no _NET_WM_ICON: " + text.strip())
values = [int(v) for v in text.split("=", 1)[1].replace(",", " ").split()]
png = open(sys.argv[2], "rb").read()
if values[:2] != [64, 64] or len(values) < 2 + 64 * 64:
    sys.exit("the icon is not 64x64: %s" % values[:2])
wrong = 0
for i, argb in enumerate(values[2:2 + 64 * 64]):
    a, rgb = argb >> 24, argb & 0xFFFFFF
    r, g, b = png[4 * i:4 * i + 3]
    want = (r << 16) | (g << 8) | b
    if want == 0:
        wrong += a != 0
    else:
        wrong += a != 255 or rgb != want
corner, centre = values[2] >> 24, values[2 + 32 * 64 + 32] >> 24
print("x11_desktop: _NET_WM_ICON 64x64; %d pixels differ; corner alpha %d, centre alpha %d"
      % (wrong, corner, centre))
sys.exit(1 if wrong or corner != 0 or centre != 255 else 0)
EOF

# --- Resized and moved, F11 twice: the same size and place. ---
xdotool windowsize "$window" 1000 700
sleep 0.5
xdotool windowmove "$window" 300 200
sleep 0.5
placed=$(x11_geometry)
read -r _ _ w h <<<"$placed"
[ "$w $h" = "1000 700" ] || fail "the window did not take 1000x700: $placed"
xdotool key F11
wait_fullscreen "F11"
xdotool key F11
wait_window "F11 twice" "$placed"

# --- Full screen by the window manager: one F11 leaves it. ---
wmctrl -i -r "$window" -b add,fullscreen
wait_fullscreen "wmctrl -b add,fullscreen"
xdotool key F11
wait_window "F11 after wmctrl" "$placed"
# ...and taken back by it: the next F11 goes full screen.
xdotool key F11
wait_fullscreen "F11 once more"
wmctrl -i -r "$window" -b remove,fullscreen
wait_window "wmctrl -b remove,fullscreen" "$placed"
xdotool key F11
wait_fullscreen "F11 after wmctrl's remove"
xdotool key F11
wait_window "and F11 back" "$placed"
quit "window"
expect_quiet "window"

# --- Started again: where it was left, from the settings file. ---
[ -f "$settings" ] || fail "no $settings after the game ended"
echo "$test_name: $settings after the run:"
sed 's/^/    /' "$settings"
start
wait_window "started again" "$placed"
frame_inside_screen "started again" >/dev/null
xdotool key F11
wait_fullscreen "F11 in the second run"
quit "left full screen"
start
wait_fullscreen "started after leaving full screen"
xdotool key F11
wait_window "F11 in the third run" "$placed"
# The M key's mute switch is kept too, and set again at the next start.
xdotool key m
sleep 0.3
quit "third run"
expect_quiet "third run"
grep -q '^mute = yes$' "$settings" || fail "the mute switch was not kept: $(cat "$settings")"
start
wait_window "fourth run" "$placed"
quit "fourth run"
grep -q '^mute = yes$' "$settings" || fail "the mute switch kept was not set again"

# --- --no-config: full screen by default; the file is left as it was. ---
before=$(sha256sum "$settings")
start --no-config
wait_fullscreen "--no-config"
xdotool key F11
sleep 0.5
quit "--no-config"
expect_quiet "--no-config"
[ "$(sha256sum "$settings")" = "$before" ] || fail "--no-config wrote the settings"

# --- A damaged file: the defaults, one warning, written afresh. ---
printf 'fullscreen = no\nwindow_width = \x01\x02\n' >"$settings"
start
wait_fullscreen "damaged settings"
quit "damaged settings"
expect_one_warning "damaged settings"
grep -q '^fullscreen = yes$' "$settings" || fail "the damaged file was not written afresh"

# --- Settings that can't be written (their folder is a file): one warning. ---
rm -rf "$XDG_CONFIG_HOME"
echo "not a folder" >"$XDG_CONFIG_HOME"
start --window
wait_window "unwritable settings" "$(x11_geometry)"
quit "unwritable settings"
expect_one_warning "unwritable settings"
echo "$test_name: the window fits, comes back, names itself; the settings file: passed"
