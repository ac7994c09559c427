#!/usr/bin/env bash
# What recording costs in the real window: plays the same scripted session
# (title, a serve, a rally with the paddle moving, Escape, Q) in Xvfb with
# and without --record, in turn, and prints the game's CPU seconds (user +
# system) for each and the mean difference. Target: at most 2 % more.
#   tools/record_cost.sh [BUILD_DIR] [ROUNDS]     (default: build, 3)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
rounds="${2:-3}"
work="$(mktemp -d)"
xvfb_pid=""
trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid"; rm -rf "$work"' EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" \
  >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

press() {
  xdotool keydown "$1"
  sleep "${2:-0.1}"
  xdotool keyup "$1"
}

# session [--record FILE]: prints the game's CPU seconds
session() {
  (cd "$build/run" && SDL_AUDIODRIVER=dummy exec /usr/bin/time -f "%U %S" \
    -o "$work/time" "$build/quillfire" "$@") &
  local pid=$!
  xdotool search --sync --name '^Quillfire$' >/dev/null 2>&1
  sleep 1.5
  press 1
  sleep 2
  press space
  for _ in $(seq 6); do
    press Left 0.4
    press Right 0.4
  done
  press Escape
  sleep 2
  press q
  wait "$pid"
  awk '{print $1 + $2}' "$work/time"
}

plain_total=0
record_total=0
for round in $(seq "$rounds"); do
  plain=$(session)
  recorded=$(session --record "$work/r.qfrec")
  echo "round $round: plain ${plain} s, recording ${recorded} s ($(stat -c %s "$work/r.qfrec") bytes)"
  plain_total=$(echo "$plain_total + $plain" | bc -l)
  record_total=$(echo "$record_total + $recorded" | bc -l)
done
echo "mean: plain $(echo "$plain_total / $rounds" | bc -l | cut -c1-6) s," \
  "recording $(echo "$record_total / $rounds" | bc -l | cut -c1-6) s:" \
  "$(echo "100 * ($record_total - $plain_total) / $plain_total" | bc -l | cut -c1-5) % more"
