# Shared by the tests that play the real game in an X server (sourced):
# a private Xvfb, waiting for the window, a screenshot of the title, Q.
# The caller sets `work` (a scratch folder, removed by it) and calls
# x11_start first; x11_finish stops what was started.

xvfb_pid=""
game_pid=""
wm_pid=""
window=""

fail() {
  echo "$test_name: $*" >&2
  exit 1
}

# x11_start [WIDTHxHEIGHT]: the screen is 1280x1024 unless given.
x11_start() {
  Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" -nolisten tcp 3>"$work/display" \
    >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || fail "Xvfb did not start"
  export DISPLAY=":$(cat "$work/display")"
}

# x11_finish: stops the game, the window manager and the X server.
x11_finish() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  return 0
}

# x11_openbox: openbox as the window manager, or fail after 5 s.
x11_openbox() {
  openbox --config-file /dev/null >/dev/null 2>&1 &
  wm_pid=$!
  for _ in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || fail "openbox did not start"
}

# x11_launch ARGS...: quillfire ($game, started in $run_dir) in the background.
x11_launch() {
  (cd "$run_dir" && SDL_AUDIODRIVER=dummy exec "$game" "$@") &
  game_pid=$!
}

# x11_visible_window WHAT: the game's shown window in `window` within 10 s
# and 1.5 s more for the title to fade in, or fail naming WHAT.
x11_visible_window() {
  window=""
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Quillfire$' 2>/dev/null | head -1)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || fail "no Quillfire window appeared ($1)"
  sleep 1.5
}

# x11_geometry: the inside of `window` on the screen, "x y width height".
x11_geometry() {
  xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$NF}
    /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$NF} /Height:/ {h=$NF}
    END {print x, y, w, h}'
}

# x11_press KEY [SECONDS]: KEY held long enough (0.1 s unless given) for a
# once-a-frame read to see it.
x11_press() {
  xdotool keydown "$1"
  sleep "${2:-0.1}"
  xdotool keyup "$1"
}

# x11_wait_window: 0 once the game's window exists, 1 after 10 s.
x11_wait_window() {
  xdotool search --sync --name '^Quillfire$' >/dev/null 2>&1 &
  local search=$!
  for _ in $(seq 100); do kill -0 "$search" 2>/dev/null || return 0; sleep 0.1; done
  kill "$search" 2>/dev/null
  return 1
}

# x11_title_shown NAME: a screenshot of the whole screen shows the title
# picture (many colours where it lies; black to its left), not the black
# screen a game without its pictures shows.
x11_title_shown() {
  xwd -root -silent | convert xwd:- "$work/$1.ppm" || fail "screenshot failed"
  python3 "$(dirname "${BASH_SOURCE[0]}")/screenshot.py" title "$work/$1.ppm"
}

# x11_quit [WHAT]: Q at the title; the game's exit status, or fail after
# 5 s (naming WHAT when given).
x11_quit() {
  x11_press q
  for _ in $(seq 50); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$game_pid" 2>/dev/null && fail "still running 5 s after Q${1:+ ($1)}"
  local code=0
  wait "$game_pid" || code=$?
  game_pid=""
  return $code
}
