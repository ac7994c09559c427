#!/usr/bin/env bash
# The real game in a real X server: starts quillfire on Xvfb with SDL's dummy
# audio, plays the title, a serve, a rally, Escape and Q with xdotool, and
# checks the screenshots and the exit.
#   smoke_x11.sh QUILLFIRE RUN_DIR FRAME_TIMER_LIB
set -uo pipefail

game="$1"
run_dir="$2"
frame_timer="$3"
work="$(mktemp -d)"
test_name=smoke
source "$(dirname "$0")/x11_lib.sh"
trap 'x11_finish; rm -rf "$work"' EXIT
x11_start

(cd "$run_dir" && SDL_AUDIODRIVER=dummy QF_FRAME_LOG="$work/frames" \
  LD_PRELOAD="$frame_timer" exec "$game") &
game_pid=$!

x11_wait_window || fail "no Quillfire window appeared"

shot() {
  xwd -root -silent | convert xwd:- "$work/$1.ppm" || fail "screenshot failed"
}

frames() { wc -l <"$work/frames" 2>/dev/null || echo 0; }

# wait_still WHAT: once more frames than $mark have come, until none has
# come for half a second (a screen that waits for a key, as the title and
# the serve prompt do, presents nothing), or fail after 15 s naming WHAT.
# A busy machine makes the fades slow; fixed sleeps would press too soon.
wait_still() {
  local before now still=0
  before=$(frames)
  for _ in $(seq 150); do
    sleep 0.1
    now=$(frames)
    if [ "$now" -gt "$mark" ] && [ "$now" -eq "$before" ]; then
      still=$((still + 1))
      [ "$still" -ge 5 ] && return 0
    else
      still=0
    fi
    before=$now
  done
  fail "$1: the frames never stopped"
}

mark=0
wait_still "the title"
x11_title_shown title || fail "title: the picture is missing or not framed in black"
mark=$(frames)
x11_press 1
wait_still "the fade to the serve prompt"
x11_press space
xdotool keydown Right
sleep 0.6
shot court
xdotool keyup Right
x11_press Left 0.3
# A second of rally for the frame period.
mark=$(wc -l <"$work/frames")
sleep 1
period_lines=$(tail -n +"$((mark + 1))" "$work/frames")
mark=$(frames)
x11_press Escape
wait_still "the fade to the title"
x11_quit || fail "exit code $? after Q"

# The short recording made in this window, played back as a timedemo: every
# frame drawn in the window, every checkpoint matching, the figure at the end.
recording="$(dirname "$0")/data/short.qfrec"
demo=$(cd "$run_dir" && SDL_AUDIODRIVER=dummy "$game" --timedemo "$recording")
code=$?
[ "$code" -eq 0 ] || fail "timedemo of short.qfrec: exit code $code"
echo "$demo" | grep -qE '^[0-9]+ frames in [0-9.]+ s: [0-9]+ frames/s$' ||
  fail "timedemo said '$demo'"
echo "smoke: timedemo of short.qfrec: $demo"

echo "$period_lines" >"$work/rally_frames"
python3 - "$work" "$(dirname "$0")" <<'PY' || exit 1
import sys

work = sys.argv[1]
sys.path.insert(0, sys.argv[2])
from screenshot import colours, logical, read_ppm

problems = []
court = read_ppm(f"{work}/court.ppm")
if court[0] != 1280 or court[1] != 1024:
    problems.append(f"screen is {court[0]} x {court[1]}")
whites = sum(1 for y in range(1, 14) for x in range(20, 100)
             if logical(court, x, y) == (255, 255, 255))
if whites < 20:
    problems.append(f"court: no white score text at the top left ({whites} pixels)")
if len(colours(court, 0, 0, 639, 479)) < 8:
    problems.append("court: the background is missing")
if colours(court, 0, 30, 18, 470) == {(0, 0, 0)}:
    problems.append("court: the left edge is black, as on the title")

times = [int(t) for t in open(f"{work}/rally_frames").read().split()]
if len(times) < 20:
    problems.append(f"only {len(times)} frames in a second of rally")
else:
    mean_ms = (times[-1] - times[0]) / (len(times) - 1) / 1000
    print(f"smoke: mean frame period over the rally {mean_ms:.2f} ms "
          f"({len(times)} frames)")
    if not 19.5 <= mean_ms <= 21.0:
        problems.append(f"mean frame period {mean_ms:.2f} ms")

for p in problems:
    print("smoke:", p, file=sys.stderr)
sys.exit(1 if problems else 0)
PY
echo "smoke: title, court, Escape and Q in a real X server: passed"
