# Shared by the tests that play the real game in an X server (sourced):
# a private Xvfb, waiting for the window, a screenshot of the title, Q.
# The caller sets `work` (a scratch folder, removed by it) and calls
# x11_start first; x11_finish stops what was started.

xvfb_pid=""
game_pid=""

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

x11_finish() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  return 0
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

# x11_quit: Q at the title; the game's exit status, or fail after 5 s.
x11_quit() {
  xdotool keydown q
  sleep 0.1
  xdotool keyup q
  for _ in $(seq 50); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$game_pid" 2>/dev/null && fail "still running 5 s after Q"
  local code=0
  wait "$game_pid" || code=$?
  game_pid=""
  return $code
}
