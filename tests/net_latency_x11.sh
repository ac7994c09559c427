#!/usr/bin/env bash
# Key to own screen in network play, as each player meets it, in real
# windows: host and joiner on two 640x480 X servers, the joiner reaching the
# host through qf_net_proxy (QF_LATENCY_DELAY_MS, 50, each way, with
# QF_LATENCY_JITTER_MS, 10, of jitter, no loss), each game with the frame
# timer logging every picture it shows and hashes of both paddles' rows.
# During rallies, 20 arrow presses on the host, timed from the key's arrival
# at its X server to the first picture the host shows whose bottom paddle
# differs from the one shown before; then 20 on the joiner, its top paddle on
# its own screen. Fails when either median is over QF_LATENCY_MAX_MS (40: the
# next frame, or the one after). QF_LATENCY_KEEP=DIR keeps the logs; a
# failing run keeps them in a folder of its own and names it.
#   net_latency_x11.sh QUILLFIRE RUN_DIR FRAME_TIMER NET_PROXY
set -uo pipefail

game="$1"
run_dir="$2"
frame_timer="$3"
net_proxy="$4"
delay_ms="${QF_LATENCY_DELAY_MS:-50}"
jitter_ms="${QF_LATENCY_JITTER_MS:-10}"
max_ms="${QF_LATENCY_MAX_MS:-40}"
work="$(mktemp -d)"
test_name=net_latency_x11
source "$(dirname "$0")/net_x11_lib.sh"

# Called once, at exit: the logs to QF_LATENCY_KEEP, or on a failure to a
# folder that outlives the run.
finish() {
  local status=$? keep="${QF_LATENCY_KEEP:-}"
  if [ -z "$keep" ] && [ "$status" -ne 0 ]; then
    keep="$(mktemp -d /tmp/net_latency_x11.XXXXXX)"
    echo "$test_name: logs kept in $keep" >&2
  fi
  net_finish "$keep" "$work"/*.frames "$work"/*.err "$work"/proxy.out \
    "$work"/presses
  exit "$status"
}
trap finish EXIT
net_start_x 640x480

# The 640x480 picture fills the window at its own size. Of each paddle's 8
# rows, those the ball never crosses on a return (it turns 5 rows into a
# paddle at most): only a goal's last frame reaches them.
band="22 26 453 458"

play_env() { # play_env NAME: each game with the frame timer
  echo "QF_FRAME_LOG=$work/$1.frames"
  echo "QF_FRAME_BAND=$band"
  echo "LD_PRELOAD=$frame_timer"
}

net_host
"$net_proxy" --listen 0 --to "127.0.0.1:$port" --delay "$delay_ms" \
  --jitter "$jitter_ms" >"$work/proxy.out" 2>"$work/proxy.err" &
pids+=($!)
wait_line "$work/proxy.out" "proxy on 127.0.0.1:"
proxy_port="$(sed -n 's/^proxy on 127\.0\.0\.1:\([0-9]*\) .*/\1/p' "$work/proxy.out")"
play "$d2" joiner --join "127.0.0.1:$proxy_port"
joiner_pid=$!
pids+=($joiner_pid)

# A host may show a window of its own at once, or only once the joiner has
# come: either way both windows stand before any key.
wait_window "$d1"
wait_window "$d2"
sleep 1
kill -0 "$host_pid" 2>/dev/null || fail "the host ended before play"
kill -0 "$joiner_pid" 2>/dev/null || fail "the joiner ended before play"

# One program plays and times: keys go in by XTest on each display, as
# xdotool sends them but without its start-up (about 25 ms) between the time
# taken and the key; the frame logs are read as they grow, so that a press
# that did not count (a serve prompt, the title) is made again.
python3 - "$d1" "$d2" "$work" "$max_ms" <<'PY' || exit 1
import bisect, ctypes, math, random, statistics, sys, time

host_display, joiner_display, work, max_ms = sys.argv[1:5]
max_ms = float(max_ms)
PRESSES = 20
ATTEMPTS = 60          # per side, bounding the run
HOLD_S = 0.06          # an arrow held for 3 frames
MOVE_WITHIN_US = 2000000
STEADY_US = 100000     # the paddle still, and frames shown, before a press
GAP_US = 200000        # a longer break in the frames is a serve prompt

x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
x11.XKeysymToKeycode.restype = ctypes.c_ubyte
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint,
                                   ctypes.c_int, ctypes.c_ulong]

def now_us():
    return int(time.monotonic() * 1e6)

class Screen:
    """One game's display and its frame log (time, paddle rows' hash)."""
    def __init__(self, name, display, column):
        self.name, self.column = name, column
        self.x = x11.XOpenDisplay(display.encode())
        if not self.x:
            sys.exit("net_latency_x11: cannot open display %s" % display)
        self.log = open("%s/%s.frames" % (work, name))
        self.partial, self.times, self.rows = "", [], []

    def key(self, name, down):
        code = x11.XKeysymToKeycode(self.x, x11.XStringToKeysym(name.encode()))
        xtst.XTestFakeKeyEvent(self.x, code, 1 if down else 0, 0)
        x11.XSync(self.x, 0)

    def read(self):
        self.partial += self.log.read()
        lines = self.partial.split("\n")
        self.partial = lines.pop()
        for line in lines:
            parts = line.split()
            if len(parts) == 4:
                self.times.append(int(parts[0]))
                self.rows.append(parts[self.column])

host = Screen("host", host_display, 3)      # the bottom paddle's rows
joiner = Screen("joiner", joiner_display, 2)  # the top paddle's rows
presses = open(work + "/presses", "w")

def serve():
    """2 starts a match at the title, Space serves at a prompt (the top
    paddle's serve is the joiner's); in a rally both do nothing."""
    keys = [(host, "2"), (host, "space"), (joiner, "space")]
    for screen, name in keys:
        screen.key(name, True)
    time.sleep(0.08)
    for screen, name in keys:
        screen.key(name, False)

def judge(screen, pressed):
    """The press's delay in microseconds; None when it does not count: no
    steady paddle shown before it, no move within 2 s, or a break in the
    frames from the press to 100 ms past the move (a serve prompt: the goal's
    last frame has the ball in the rows, and the serve puts the paddles
    back). "wait" while its frames are still to come."""
    screen.read()
    times, rows = screen.times, screen.rows
    i = bisect.bisect_right(times, pressed) - 1
    first = bisect.bisect_left(times, pressed - STEADY_US)
    if i < 0 or i - first < 2:
        return None
    before = rows[i]
    if any(rows[k] != before for k in range(first, i)):
        return None
    moved = None
    for k in range(i + 1, len(times)):
        if times[k] - times[k - 1] > GAP_US:
            return None
        if moved is None and rows[k] != before:
            moved = times[k]
            if moved - pressed > MOVE_WITHIN_US:
                return None
        if moved is not None and times[k] - moved >= STEADY_US:
            return moved - pressed
        if moved is None and times[k] - pressed > MOVE_WITHIN_US:
            return None
    if now_us() - pressed > MOVE_WITHIN_US + GAP_US:
        return None
    return "wait"

def measure(screen):
    draw = random.Random(1)
    delays, pending, attempts = [], [], 0
    def settle(final):
        for pressed in list(pending):
            result = judge(screen, pressed)
            while final and result == "wait":
                time.sleep(0.1)
                result = judge(screen, pressed)
            if result == "wait":
                continue
            pending.remove(pressed)
            presses.write("%s %d %s\n" % (screen.name, pressed,
                                          "-" if result is None else result))
            if result is not None:
                delays.append(result)
    while len(delays) + len(pending) < PRESSES and attempts < ATTEMPTS:
        serve()
        time.sleep(0.6)  # the serve has reached the screen; a rally is >= 1.7 s
        for _ in range(3):
            if len(delays) + len(pending) >= PRESSES or attempts >= ATTEMPTS:
                break
            arrow = "Right" if attempts % 2 == 0 else "Left"
            attempts += 1
            pressed = now_us()
            screen.key(arrow, True)
            pending.append(pressed)
            time.sleep(HOLD_S)
            screen.key(arrow, False)
            time.sleep(draw.uniform(0.3, 0.45))
            settle(False)
        settle(False)
        if len(delays) + len(pending) >= PRESSES:
            settle(True)
    settle(True)
    return delays[:PRESSES], attempts

faults = []
for screen in (host, joiner):
    delays, attempts = measure(screen)
    if len(delays) < PRESSES:
        faults.append("the %s's paddle moved after only %d of %d presses"
                      % (screen.name, len(delays), attempts))
        continue
    delays.sort()
    median = statistics.median(delays) / 1000
    p90 = delays[math.ceil(0.9 * len(delays)) - 1] / 1000
    print("net_latency_x11: %s key to own screen: median %.1f ms, p90 %.1f ms,"
          " max %.1f ms (%d presses)" % (screen.name, median, p90,
                                         delays[-1] / 1000, len(delays)))
    sys.stdout.flush()
    if median > max_ms:
        faults.append("the %s's key took %.1f ms to show (median), over %g ms"
                      % (screen.name, median, max_ms))
if faults:
    sys.exit("net_latency_x11: " + "; ".join(faults))
PY
kill -0 "$host_pid" 2>/dev/null || fail "the host ended"
kill -0 "$joiner_pid" 2>/dev/null || fail "the joiner ended"
echo "net_latency_x11: passed (delay $delay_ms ms +- $jitter_ms)"
