#!/usr/bin/env bash
# A joiner nobody touches, in real windows: host and joiner on two X
# servers, each running its own game, each with the frame timer logging
# every picture it shows (a hash of the whole picture and one of the top
# paddle's rows). The joiner is held up for half a second once (a busy
# machine); then for NET_IDLE_SECONDS (60) no key or pointer event reaches
# it while the host serves every 2 s: whenever either side shows a rally at
# full pace (>= 49 frames in a second) the other must show >= 45, and at
# least a fifth of the seconds must be such; the joiner stays connected (the
# host never drops it, neither side loses the other); and the two show the
# same game: nearly every picture the host shows (its own title note aside),
# the joiner shows within half a second of it. Then the joiner presses its
# arrows 20 times during rallies: its own screen must show its paddle move
# within 2 frames (median). NET_IDLE_KEEP=DIR keeps the logs.
#   net_idle_x11.sh QUILLFIRE RUN_DIR FRAME_TIMER
set -uo pipefail

game="$1"
run_dir="$2"
frame_timer="$3"
idle_seconds="${NET_IDLE_SECONDS:-60}"
work="$(mktemp -d)"
test_name=net_idle_x11
source "$(dirname "$0")/net_x11_lib.sh"
trap 'net_finish "${NET_IDLE_KEEP:-}" "$work"/*.frames "$work"/*.err "$work"/presses' EXIT
net_start_x

# The 640x480 picture fills 1280x1024 at twice its size, 32 rows down: the
# top paddle's rows, above where the ball is served from.
band="76 90"

play_env() {  # play_env NAME: each game with the frame timer
  echo "QF_FRAME_LOG=$work/$1.frames"
  echo "QF_FRAME_BAND=$band"
  echo "LD_PRELOAD=$frame_timer"
}

now_us() { python3 -c 'import time; print(int(time.monotonic() * 1e6))'; }

net_host
wait_window "$d1"
wait_line "$work/host.err" "hosting at 127.0.0.1:$port"

net_joiner

# The host plays, the joiner is idle: 2 starts a match whenever the title shows (a
# match ends at 10), Space serves whenever the prompt does.
serve() {
  press "$d1" 2
  press "$d1" space
}

sleep 0.5
serve
sleep 2.5
# A busy machine holds the joiner up for a moment in a rally: both games
# must go on in step again by themselves.
serve
sleep 0.3
kill -STOP "$joiner_pid"
sleep 0.5
kill -CONT "$joiner_pid"
sleep 2
idle_from=$(now_us)
end=$((SECONDS + idle_seconds))
while [ $SECONDS -lt $end ]; do
  serve
  sleep 1.8
done
idle_to=$(now_us)
kill -0 "$joiner_pid" 2>/dev/null || fail "the joiner ended while idle"

# The joiner's own arrows, each 0.3 s into a rally the host has just served
# (the ball is then away from the top paddle's rows), timed as xdotool
# returns, when the X server has the key.
python3 - "$d1" "$d2" "$work/presses" <<'PY' || fail "xdotool failed"
import os, subprocess, sys, time
host, joiner, out = sys.argv[1], sys.argv[2], open(sys.argv[3], "w")
def key(display, what, name):
    subprocess.run(["xdotool", what, name], check=True,
                   env=dict(os.environ, DISPLAY=display))
for i in range(20):
    for name in ("2", "space"):
        key(host, "keydown", name)
        time.sleep(0.1)
        key(host, "keyup", name)
    time.sleep(0.3)
    arrow = "Left" if i % 2 else "Right"
    key(joiner, "keydown", arrow)
    out.write("%d\n" % int(time.monotonic() * 1e6))
    out.flush()
    time.sleep(0.2)
    key(joiner, "keyup", arrow)
    time.sleep(1.2)
PY
sleep 0.5
kill -0 "$joiner_pid" 2>/dev/null || fail "the joiner ended"
grep -q "dropped" "$work/host.err" && fail "the host dropped the joiner"
grep -q "connection lost" "$work/host.err" "$work/joiner.err" &&
  fail "a side lost the other"

python3 - "$work" "$idle_from" "$idle_to" <<'PY' || exit 1
import bisect, statistics, sys
work, idle_from, idle_to = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
FRAME_US = 20000

def frames(name):
    rows = []
    for line in open("%s/%s.frames" % (work, name)):
        parts = line.split()
        if len(parts) == 3:
            rows.append((int(parts[0]), parts[1], parts[2]))
    return rows

host, joiner = frames("host"), frames("joiner")
if not host or not joiner:
    sys.exit("net_idle_x11: no frames logged (host %d, joiner %d)" % (len(host), len(joiner)))

# Frames a second: every whole second of the idle time in which one side
# showed a rally at full pace, the other too (a serve prompt or the title
# waits for a key and shows few frames, on both sides alike).
def per_second(rows):
    counts = {}
    for t, _, _ in rows:
        if idle_from <= t < idle_to:
            counts[(t - idle_from) // 1000000] = counts.get((t - idle_from) // 1000000, 0) + 1
    return counts
host_rate, joiner_rate = per_second(host), per_second(joiner)
seconds = (idle_to - idle_from) // 1000000
busy = [s for s in range(seconds)
        if host_rate.get(s, 0) >= 49 or joiner_rate.get(s, 0) >= 49]
slow = [(s, host_rate.get(s, 0), joiner_rate.get(s, 0)) for s in busy
        if min(host_rate.get(s, 0), joiner_rate.get(s, 0)) < 45]
rates = sorted(min(host_rate.get(s, 0), joiner_rate.get(s, 0)) for s in busy)
print("net_idle_x11: %d of %d seconds busy; the slower side's frames a second"
      " min %s median %s" % (len(busy), seconds, rates[0] if rates else "-",
                             statistics.median(rates) if rates else "-"))

# The same game on both: each idle frame of the host, found among the
# joiner's frames by its picture within half a second either way (each runs
# in real time on its own clock; a frame shown on a wrong guess of the
# other's keys differs for a few frames, then both agree again).
# At the title each side writes its own note over the same frame (the host
# whom it waits for, the joiner whose game it is), so there neither shows
# the other's pictures. A host frame the joiner never showed is excused when
# the joiner was showing a picture of its own at that moment; a joiner that
# skips frames or runs another game shows only the host's, and is caught.
by_hash = {}
for t, h, _ in joiner:
    by_hash.setdefault(h, []).append(t)
host_hashes = set(h for _, h, _ in host)
own_times = sorted(t for t, h, _ in joiner if h not in host_hashes)
def joiner_showed_its_own(t):
    i = bisect.bisect_left(own_times, t - 3 * FRAME_US)
    return i < len(own_times) and own_times[i] <= t + 3 * FRAME_US
offsets, missing, overlaid = [], 0, 0
for t, h, _ in host:
    if not (idle_from <= t < idle_to):
        continue
    times = by_hash.get(h, [])
    i = bisect.bisect_left(times, t - 500000)
    if i < len(times) and times[i] <= t + 500000:
        offsets.append(times[i] - t)
    elif joiner_showed_its_own(t):
        overlaid += 1
    else:
        missing += 1
if not offsets:
    sys.exit("net_idle_x11: none of the host's frames shown by the joiner")
offsets.sort()
print("net_idle_x11: the joiner showed the host's frames %.1f ms after it (median;"
      " %.1f to %.1f ms) over %d frames (%d not shown, %d under each side's own note)"
      % (statistics.median(offsets) / 1000, offsets[0] / 1000, offsets[-1] / 1000,
         len(offsets), missing, overlaid))

# Key to own screen: the first joiner frame after the press whose paddle
# rows differ from the frame before the press.
delays = []
times = [t for t, _, _ in joiner]
for line in open(work + "/presses"):
    pressed = int(line)
    i = bisect.bisect_right(times, pressed)
    if i == 0:
        continue
    before = joiner[i - 1][2]
    for t, _, rows in joiner[i:]:
        if rows != before:
            delays.append(t - pressed)
            break
        if t - pressed > 2000000:
            break
if len(delays) < 15:
    sys.exit("net_idle_x11: the joiner's paddle moved after only %d of 20 presses" % len(delays))
key_median = statistics.median(delays)
print("net_idle_x11: joiner's key to its own screen: median %.1f ms, max %.1f ms (%d presses)"
      % (key_median / 1000, max(delays) / 1000, len(delays)))

faults = []
# (A rally nobody plays ends in a goal in about 2 s, then the prompt waits
# for the next serve: about a third of the time.)
if len(busy) < seconds // 5:
    faults.append("only %d of %d seconds showed a rally at full pace"
                  % (len(busy), seconds))
if slow:
    faults.append("under 45 frames a second (second, host, joiner): %s" % slow[:5])
if missing > len(offsets) // 50:
    faults.append("the joiner did not show %d of the host's frames" % missing)
if key_median > 2 * FRAME_US:
    faults.append("the joiner's key took %.0f ms to show" % (key_median / 1000))
if faults:
    sys.exit("net_idle_x11: " + "; ".join(faults))
PY
echo "net_idle_x11: passed"
