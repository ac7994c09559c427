#!/usr/bin/env bash
# Network play in real windows: two X servers, a host on 127.0.0.1 and a
# joiner, each its own quillfire running its own game. Checks that both show
# the same frames where both wait for a key (the serve prompt, before and
# after a rally), that the joiner's arrows move the top paddle in the host's
# game (at about the frame it pressed them: both games keep the same
# frames), that the host plays on when the joiner is closed, that a watcher
# coming mid-match catches up, and that it ends with "Connection lost" and
# status 1 when the host goes.
#   net_x11.sh QUILLFIRE RUN_DIR QUILLFIRE_RUN
set -uo pipefail

game="$1"
run_dir="$2"
runner="$3"
work="$(mktemp -d)"
test_name=net_x11
source "$(dirname "$0")/net_x11_lib.sh"
# NET_X11_KEEP=DIR keeps the screenshots for a look.
trap 'net_finish "${NET_X11_KEEP:-}" "$work"/*.png' EXIT
net_start_x

# The host, on a high port, making a recording.
net_host --record "$work/host.qfr"
wait_window "$d1"
wait_line "$work/host.err" "hosting at 127.0.0.1:$port"

net_joiner

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
wait "$joiner_pid" || fail "the joiner closed with status $?"
sleep 1
kill -0 "$host_pid" 2>/dev/null || fail "the host ended with the joiner"
grep -q "player 2 left" "$work/host.err" ||
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

# The joiner's keys in the host's game: the host's recording, replayed
# headless, logs the paddles frame by frame. Both arrows went down together,
# each counted by its own game at the frame it was pressed at, and both
# games keep the same frames in real time: count the frames between the
# bottom paddle's first move (the host's) and the top paddle's (the
# joiner's). xdotool's two starts can part them by a frame; a joiner's keys
# taken a round trip late, or at another frame than its own, are further.
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
print("net_x11: the joiner's press in the host's game %d frame(s) after the host's" % late)
if abs(late) > 1:
    sys.exit("net_x11: the joiner's press came %d frames from the host's" % late)
PY
echo "net_x11: passed"
