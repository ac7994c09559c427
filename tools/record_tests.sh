#!/usr/bin/env bash
# Records the replay tests' recordings again, by playing the real game in a
# real X server (Xvfb) with keys from xdotool, as the smoke test does. Run it
# when a change to a rule, a picture or a timing is meant, then commit the
# new tests/data/*.qfrec:
#   tools/record_tests.sh [BUILD_DIR]      (default: build)
# Needs the game built (cmake --build BUILD_DIR --target quillfire
# quillfire-run), Xvfb and xdotool.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
game="$build/quillfire"
runner="$build/tools/quillfire-run"
data="$root/tests/data"
work="$(mktemp -d)"
xvfb_pid=""
game_pid=""
helpers=()

finish() {
  for pid in "${helpers[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

fail() {
  echo "record_tests: $*" >&2
  exit 1
}

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" \
  >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"

press() {  # held long enough for a once-a-frame read to see it
  xdotool keydown "$1"
  sleep "${2:-0.1}"
  xdotool keyup "$1"
}

# Alternates two keys, each held for `hold` seconds, until killed.
sway() {
  while true; do
    press "$1" "$3"
    press "$2" "$3"
  done
}

start_recording() {  # FILE
  (cd "$build/run" && SDL_AUDIODRIVER=dummy exec "$game" --record "$1") &
  game_pid=$!
  xdotool search --sync --name '^Quillfire$' >/dev/null 2>&1 &
  local search=$!
  for _ in $(seq 100); do kill -0 "$search" 2>/dev/null || break; sleep 0.1; done
  kill "$search" 2>/dev/null && fail "no Quillfire window appeared"
  sleep 1.5
}

end_recording() {  # FILE
  press q
  for _ in $(seq 100); do kill -0 "$game_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$game_pid" 2>/dev/null && fail "the game did not end after Q"
  wait "$game_pid" || fail "the game ended with status $?"
  game_pid=""
  "$runner" --replay "$1" --out "$work/check" >/dev/null ||
    fail "$1 does not replay headless"
}

# A short game against the computer: the title, a serve, a little play,
# Escape to the title, Q.
start_recording "$work/short.qfrec"
press 1
sleep 2
press space
press Right 0.6
press Left 0.3
sleep 1
press Escape
sleep 2
end_recording "$work/short.qfrec"

# Two players: Escape in play, Escape at a serve prompt, then a whole match
# to 10 with both paddles swaying and a serve every two seconds; Q at the
# title after the winner.
start_recording "$work/match.qfrec"
press 2
sleep 2
press space
sleep 3.5
press Escape
sleep 2.5
press 2
sleep 2.5
press Escape
sleep 3
press 2
sleep 2.5
sway Right Left 0.35 &
helpers+=($!)
sway x z 0.45 &
helpers+=($!)
for _ in $(seq 35); do
  press space
  sleep 1.9
done
for pid in "${helpers[@]}"; do kill "$pid"; done
helpers=()
xdotool keyup Left Right z x
sleep 4
end_recording "$work/match.qfrec"
awk '$8 == 10 || $9 == 10 {won = 1} END {exit !won}' "$work/check/frames.log" ||
  fail "the match recording has no side reaching 10"

mkdir -p "$data"
cp "$work/short.qfrec" "$work/match.qfrec" "$data/"
ls -l "$data"/*.qfrec
