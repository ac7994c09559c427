#!/usr/bin/env bash
# A recording that can't be written, as the player sees it in a real window:
# the note at the bottom of the title within a second, gone again after two
# (the title, a still screen, shown clean), the game answering Q with the
# status of an incomplete recording.
#   record_note_x11.sh QUILLFIRE RUN_DIR
set -uo pipefail

game="$1"
run_dir="$2"
test_name=record_note_x11
work="$(mktemp -d)"
source "$(dirname "$0")/x11_lib.sh"
trap 'x11_finish; rm -rf "$work"' EXIT
x11_start 800x600
export SDL_AUDIODRIVER=dummy

# The bottom 40 rows of the screen, where the note is written.
bottom() {
  xwd -root -silent | convert xwd:- -crop 800x40+0+560 +repage "$work/$1.ppm" ||
    fail "screenshot failed"
}

# After how long, from the window's coming, each shot is taken.
play() {  # RECORD_TO SHOT_AT... : one shot per time, named RECORD_TO-SECONDS
  local to="$1"
  shift
  "$game" --data "$run_dir" --record "$to" 2>"$work/err" &
  game_pid=$!
  x11_wait_window || fail "no window appeared; stderr: $(cat "$work/err")"
  local waited=0
  for at in "$@"; do
    sleep "$(awk "BEGIN { print $at - $waited }")"
    waited="$at"
    bottom "$(basename "$to")-$at"
  done
}

play "$work/plain.qfrec" 1
x11_quit || fail "a plain recording: exit status $?"
play /dev/full 1 3.5
code=0
x11_quit || code=$?
[ "$code" -eq 4 ] || fail "recording onto /dev/full: exit status $code, not 4"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "not one line: $(cat "$work/err")"
cmp -s "$work/plain.qfrec-1.ppm" "$work/full-1.ppm" &&
  fail "no note over the title after 1 s"
cmp -s "$work/plain.qfrec-1.ppm" "$work/full-3.5.ppm" ||
  fail "the note still shows after 3.5 s"
echo "$test_name: the note shown, then gone after 2 s; status 4: passed"
