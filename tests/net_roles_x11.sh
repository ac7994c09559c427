#!/usr/bin/env bash
# What the host and the joiner can do and see in real windows, each on its
# own X server: a joiner's window at once while it connects to a silent
# server (Q gives up); the host's title saying it waits for player 2, then
# that player 2 is here; the joiner's own title; its Space does not serve
# the host's serve; its P pauses both screens and plays on; once it has won
# a point its Space serves its own serve; its Q leaves (status 0) and the
# host's screen says "Player 2 left" and stands paused until the host's P,
# which plays on alone, and the host's Q then ends it (status 0); another
# host's Q at its title ends its joiner with "The host ended the game" on
# its screen and status 0.
#   net_roles_x11.sh QUILLFIRE RUN_DIR
set -uo pipefail

game="$1"
run_dir="$2"
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
test_name=net_roles_x11
source "$(dirname "$0")/net_x11_lib.sh"
# NET_ROLES_X11_KEEP=DIR keeps the screenshots for a look.
trap 'net_finish "${NET_ROLES_X11_KEEP:-}" "$work"/*.png' EXIT
net_start_x

# note NAME Y: the screenshot shows a line of the game's message gold on the
# game's rows Y to Y+10 (a note of network play: the game's own messages
# are elsewhere).
note() {
  convert "$work/$1.png" "$work/$1.ppm" || fail "no $1.ppm"
  python3 - "$here" "$work/$1.ppm" "$2" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
from screenshot import read_ppm, logical
image, y0 = read_ppm(sys.argv[2]), int(sys.argv[3])
gold = sum(logical(image, x, y) == (255, 204, 51)
           for y in range(y0, y0 + 10) for x in range(640))
sys.exit(0 if gold >= 40 else 1)
PY
}

# serve_side NAME: "top" or "bottom" when the screenshot shows a serve
# prompt with the ball at that paddle's serve, "none" otherwise.
serve_side() {
  convert "$work/$1.png" "$work/$1.ppm" || fail "no $1.ppm"
  python3 - "$here" "$work/$1.ppm" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
from screenshot import read_ppm, logical
image = read_ppm(sys.argv[2])
def count(x0, y0, x1, y1, test):
    return sum(test(logical(image, x, y)) for y in range(y0, y1) for x in range(x0, x1))
prompt = count(0, 235, 640, 245, lambda c: c == (255, 204, 51)) >= 40
ball = lambda c: c[0] > 180 and c[1] < 160 and c[2] < 90
top, bottom = count(305, 24, 330, 45, ball), count(305, 434, 330, 455, ball)
print("top" if prompt and top > bottom and top >= 6 else
      "bottom" if prompt and bottom > top and bottom >= 6 else "none")
PY
}

wait_prompt() {  # wait_prompt: the side of the next serve prompt in $side
  for _ in $(seq 20); do
    shot "$d1" waiting
    side=$(serve_side waiting)
    [ "$side" != none ] && return 0
    sleep 0.3
  done
  fail "no serve prompt on the host's screen"
}

ends_within() {  # ends_within PID SECONDS: its status in $code, or fail
  for _ in $(seq $(($2 * 10))); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$1" 2>/dev/null && fail "pid $1 still runs after $2 s"
  code=0
  wait "$1" || code=$?
}

# A server that takes the connection and says nothing: the joiner's window
# stands at once, saying where it connects, and Q gives up.
python3 -c '
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(4)
print(s.getsockname()[1], flush=True)
conns = []
while True:
    c, _ = s.accept(); conns.append(c)
' >"$work/silent_port" &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/silent_port" ] && break; sleep 0.1; done
play "$d2" connecting --join "127.0.0.1:$(cat "$work/silent_port")"
connecting_pid=$!
pids+=($connecting_pid)
window_within "$d2" 2 || fail "no window within 2 s while connecting"
sleep 0.5
shot "$d2" connecting
note connecting 235 || fail "the connecting window says nothing"
press "$d2" q
ends_within "$connecting_pid" 3
[ "$code" = 1 ] || fail "giving up on a silent server: status $code"

# The host, on a high port: its title at once, saying it waits for player 2
# (under the game's own lines), then that player 2 is here.
net_host
window_within "$d1" 10 || fail "no host window"
wait_line "$work/host.err" "hosting at 127.0.0.1:$port"
sleep 1
shot "$d1" host_waiting
note host_waiting 440 || fail "the host's title does not say it waits for player 2"

play "$d2" joiner --join "127.0.0.1:$port"
joiner_pid=$!
pids+=($joiner_pid)
wait_line "$work/host.err" "player 2 connected"
sleep 1.5
shot "$d2" joiner_title
note joiner_title 190 || fail "the joiner's title does not say whom it joined"
shot "$d1" host_ready
note host_ready 440 || fail "the host's title says nothing once player 2 is here"
same host_waiting host_ready && fail "the host's title still waits for player 2"

press "$d1" 2
sleep 2.5  # the fade, then the host's serve prompt on both screens
shot "$d1" prompt
press "$d2" space
sleep 0.5
shot "$d1" prompt_after_joiner_space
same prompt prompt_after_joiner_space ||
  fail "the joiner's Space served the host's serve"

# The rally: the joiner's P pauses both screens, its next P plays on.
press "$d1" space
sleep 0.3
press "$d2" p
sleep 0.3
shot "$d1" paused_host
sleep 0.5
shot "$d1" paused_host_later
shot "$d2" paused_joiner
same paused_host paused_host_later || fail "the joiner's P did not pause the host"
same paused_host_later paused_joiner || fail "the joiner's screen is not the host's"
press "$d2" p
sleep 0.2
shot "$d1" played_on
same paused_host_later played_on && fail "the joiner's P did not play on"

# The joiner wins a point and serves its own serve. From the bottom's serve
# the joiner's paddle goes the ball's way at the ball's pace to the left
# wall and turns with the ball there, 61 to 73 frames after the serve, so
# it returns it; the host's paddle goes left out of its way. (The serve goes
# left 6 times in 10: a few tries.)
wait_prompt
[ "$side" = bottom ] || fail "the bottom does not serve first"
for try in 1 2 3 4 5 6 7 8; do
  DISPLAY="$d1" xdotool keydown space keydown Left &
  DISPLAY="$d2" xdotool keydown Left &
  wait %- %% 2>/dev/null
  sleep 1.34  # 67 frames
  DISPLAY="$d2" xdotool keyup Left keydown Right
  DISPLAY="$d1" xdotool keyup space
  sleep 0.5
  DISPLAY="$d2" xdotool keyup Right
  sleep 0.3
  DISPLAY="$d1" xdotool keyup Left
  wait_prompt
  echo "net_roles_x11: try $try: the $side paddle serves"
  [ "$side" = top ] && break
done
[ "$side" = top ] || fail "the joiner never won a point to serve"
shot "$d1" top_prompt
press "$d2" space
sleep 0.5
shot "$d1" top_served
shot "$d2" top_served_joiner
same top_prompt top_served && fail "the joiner's Space did not serve its serve"

# The joiner's Q in the next rally: it leaves with status 0; the host stands
# paused, saying so, until its own P.
wait_prompt
if [ "$side" = top ]; then press "$d2" space; else press "$d1" space; fi
sleep 0.4
press "$d2" q
ends_within "$joiner_pid" 3
[ "$code" = 0 ] || fail "the joiner left by Q with status $code"
wait_line "$work/host.err" "player 2 left"
sleep 0.5
shot "$d1" left
sleep 0.5
shot "$d1" left_later
same left left_later || fail "the host played on without player 2"
note left 262 || fail "the host's screen does not say that player 2 left"
press "$d1" p
sleep 0.3
shot "$d1" alone
same left_later alone && fail "the host's P did not play on alone"

# The host leaves the match alone and quits: status 0.
press "$d1" Escape
sleep 2
press "$d1" q
ends_within "$host_pid" 5
[ "$code" = 0 ] || fail "the host ended with status $code"

# Another host and its joiner; the host's Q at its title ends both: the
# joiner's screen says so, and it ends with status 0.
net_host
window_within "$d1" 10 || fail "no second host window"
wait_line "$work/host.err" "hosting at 127.0.0.1:$port"
play "$d2" joiner2 --join "127.0.0.1:$port"
joiner2_pid=$!
pids+=($joiner2_pid)
wait_line "$work/host.err" "player 2 connected"
sleep 1.5
press "$d1" q
said=0
for _ in $(seq 15); do  # the joiner's screen says it for 2 s
  shot "$d2" ended
  # (the title's own lines are gone: its second would be at 214)
  note ended 235 && ! note ended 214 && said=1 && break
  sleep 0.2
done
[ $said = 1 ] || fail "no 'The host ended the game' on the joiner's screen"
ends_within "$host_pid" 5
[ "$code" = 0 ] || fail "the second host ended with status $code"
ends_within "$joiner2_pid" 5
[ "$code" = 0 ] || fail "the joiner ended with status $code when the host quit"
grep -qx "quillfire: the host ended the game" "$work/joiner2.err" ||
  fail "the joiner did not say why it ended"
echo "net_roles_x11: passed"
