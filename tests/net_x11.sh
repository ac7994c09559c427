#!/usr/bin/env bash
# Network play in real windows: two X servers, a host on 127.0.0.1 and a
# joiner, each its own quillfire. Checks that both show the same frames, that
# the joiner's arrows move the host's top paddle (and how many frames after a
# local press), that the host plays on when the joiner is killed, that a
# watcher coming mid-match catches up, and that it ends with "Connection
# lost" and status 1 when the host goes.
#   net_x11.sh QUILLFIRE RUN_DIR QUILLFIRE_RUN
set -uo pipefail

game="$1"
run_dir="$2"
runner="$3"
work="$(mktemp -d)"
pids=()

finish() {
  # NET_X11_KEEP=DIR keeps the screenshots for a look.
  [ -n "${NET_X11_KEEP:-}" ] && cp "$work"/*.png "$NET_X11_KEEP"/ 2>/dev/null
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap finish EXIT

fail() {
  echo "net_x11: $*" >&2
  for f in host joiner watcher; do
    [ -s "$work/$f.err" ] && sed "s/^/  $f: /" "$work/$f.err" >&2
  done
  exit 1
}

start_x() {  # start_x NAME: an X server whose display goes in $work/NAME
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/$1" \
    >/dev/null 2>&1 &
  pids+=($!)
}
start_x d1
start_x d2
for _ in $(seq 50); do [ -s "$work/d1" ] && [ -s "$work/d2" ] && break; sleep 0.1; done
[ -s "$work/d1" ] && [ -s "$work/d2" ] || fail "Xvfb did not start"
d1=":$(cat "$work/d1")"
d2=":$(cat "$work/d2")"

play() {  # play DISPLAY NAME ARGS...: quillfire in the background
  local display="$1" name="$2"
  shift 2
  (cd "$run_dir" && DISPLAY="$display" SDL_AUDIODRIVER=dummy exec "$game" "$@") \
    2>"$work/$name.err" &
}

wait_window() {
  DISPLAY="$1" timeout 10 xdotool search --sync --name '^Quillfire$' \
    >/dev/null 2>&1 || fail "no Quillfire window on $1"
}

wait_line() {  # wait_line FILE TEXT: up to 10 s
  for _ in $(seq 100); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  fail "no '$2' in $(basename "$1")"
}

press() {  # press DISPLAY KEY
  DISPLAY="$1" xdotool keydown "$2"
  sleep 0.1
  DISPLAY="$1" xdotool keyup "$2"
}

shot() {  # shot DISPLAY NAME
  DISPLAY="$1" xwd -root -silent | convert xwd:- "$work/$2.png" ||
    fail "screenshot failed"
}

same() { [ "$(compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1)" = 0 ]; }

# The host, on a high port; another one if that port is taken.
for _ in 1 2 3 4 5; do
  port=$((20000 + RANDOM % 40000))
  play "$d1" host --host "127.0.0.1:$port" --record "$work/host.qfr"
  host_pid=$!
  pids+=($host_pid)
  sleep 0.5
  kill -0 "$host_pid" 2>/dev/null && break
  grep -q "cannot listen" "$work/host.err" || fail "the host did not start"
done
wait_window "$d1"
wait_line "$work/host.err" "hosting at 127.0.0.1:$port"

play "$d2" joiner --join "127.0.0.1:$port"
joiner_pid=$!
pids+=($joiner_pid)
wait_window "$d2"
wait_line "$work/host.err" "player 2 connected"

sleep 0.5
press "$d1" 2
sleep 2.5  # the fade, then the serve prompt: still on both screens
shot "$d1" host_serve
shot "$d2" joiner_serve
same host_serve joiner_serve || fail "the serve prompt differs between the two"

# The serve, then the local and the remote player press → at the same time.
press "$d1" space
sleep 0.3
DISPLAY="$d1" xdotool keydown Right &
DISPLAY="$d2" xdotool keydown Right &
wait %- %% 2>/dev/null
sleep 0.4
DISPLAY="$d1" xdotool keyup Right
DISPLAY="$d2" xdotool keyup Right

# The rally ends in a goal and the next serve prompt, the same on both.
matched=0
for _ in $(seq 30); do
  sleep 0.5
  shot "$d1" host_goal
  shot "$d2" joiner_goal
  if same host_goal joiner_goal && ! same host_goal host_serve; then
    matched=1
    break
  fi
done
[ $matched = 1 ] || fail "no serve prompt after the rally the same on both"

kill -TERM "$joiner_pid"
wait "$joiner_pid"
sleep 1
kill -0 "$host_pid" 2>/dev/null || fail "the host ended with the joiner"
grep -q "player 2 dropped: left" "$work/host.err" ||
  fail "the host said nothing when the joiner left"

# A watcher coming now replays the match from its start and catches up.
play "$d2" watcher --watch "127.0.0.1:$port"
watcher_pid=$!
pids+=($watcher_pid)
wait_window "$d2"
sleep 2
shot "$d2" watcher_goal
shot "$d1" host_goal
same host_goal watcher_goal || fail "the watcher did not catch up"

# The host vanishes (killed outright, as by a crash or a lost machine).
kill -KILL "$host_pid"
wait "$host_pid" 2>/dev/null
sleep 0.5
shot "$d2" watcher_lost
for _ in $(seq 50); do kill -0 "$watcher_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$watcher_pid" 2>/dev/null && fail "the watcher still runs 5 s after the host went"
wait "$watcher_pid"
watcher_code=$?
[ $watcher_code = 1 ] || fail "watcher exit status $watcher_code after the host went"
grep -q "Connection lost" "$work/watcher.err" || fail "the watcher did not say why it ended"
same watcher_lost watcher_goal && fail "no 'Connection lost' on the watcher's screen"

# Latency: the host's recording, replayed headless, logs the paddles frame by
# frame. Both arrows went down together; count the host's frames between the
# bottom paddle's first move (local) and the top paddle's (remote).
"$runner" --replay "$work/host.qfr" --out "$work/run" >/dev/null 2>&1 ||
  fail "the host's recording does not replay"
python3 - "$work/run/frames.log" <<'PY' || exit 1
import sys
rows = [line.split() for line in open(sys.argv[1])]
def first_move(column):
    for i in range(1, len(rows)):
        if rows[i][column] != rows[i - 1][column]:
            return i
    return None
local, remote = first_move(5), first_move(6)
if local is None or remote is None:
    sys.exit("net_x11: a paddle never moved (local %s, remote %s)" % (local, remote))
late = remote - local
print("net_x11: remote key press on the host's screen %d frame(s) after a local one" % late)
if late > 1:
    sys.exit("net_x11: the remote press came %d frames late" % late)
PY
echo "net_x11: passed"
