#!/usr/bin/env bash
# quillfire-run as players and packagers use it: every recording in
# tests/data replays with every checkpoint matching; the same script gives
# the same files byte for byte; a bad recording is refused in one line with
# status 2; a cut one replays up to where it stops, with a note and status 0.
#   runner_check.sh QUILLFIRE_RUN DATA_DIR
set -uo pipefail

runner="$1"
data="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0

fail() {
  echo "runner_check: $*" >&2
  failed=1
}

# Help asked for goes to stdout with 0; a wrong command line to stderr with 2.
for args in --help -h; do
  code=0
  "$runner" $args >"$work/out" 2>"$work/err" || code=$?
  [ "$code" -eq 0 ] && grep -q '^usage: quillfire-run' "$work/out" && [ ! -s "$work/err" ] ||
    fail "$args: status $code, stdout $(head -1 "$work/out"), stderr $(head -1 "$work/err")"
done
for args in "" --bogus "--out"; do
  code=0
  "$runner" $args >"$work/out" 2>"$work/err" || code=$?
  [ "$code" -eq 2 ] && grep -q '^usage: quillfire-run' "$work/err" && [ ! -s "$work/out" ] ||
    fail "'$args': status $code, stderr $(head -1 "$work/err")"
done

for recording in "$data"/*.qfrec; do
  name="$(basename "$recording")"
  if ! "$runner" --replay "$recording" --out "$work/$name" 2>"$work/err"; then
    fail "$name: $(cat "$work/err")"
  fi
done

cat >"$work/script" <<'SCRIPT'
at 1000 shot title
at 1500 down 2
at 1600 up 2
at 3500 down SPACE
at 3600 up SPACE
at 3500 player 1 on
at 3500 player 2 on
at 6000 shot rally
at 9000 end
SCRIPT
for run in a b; do
  "$runner" --script "$work/script" --out "$work/$run" || fail "script run $run failed"
done
for file in title.png rally.png mix.wav frames.log; do
  [ -s "$work/a/$file" ] || fail "no $file"
  cmp -s "$work/a/$file" "$work/b/$file" || fail "$file differs between two runs"
done

# check NAME STATUS LINE_PATTERN: replays $work/NAME, which must end with
# STATUS and exactly one line on standard error matching the pattern.
check() {
  "$runner" --replay "$work/$1" --out "$work/out_$1" 2>"$work/err_$1"
  local status=$?
  [ "$status" -eq "$2" ] || fail "$1: status $status, not $2"
  [ "$(wc -l <"$work/err_$1")" -eq 1 ] || fail "$1: not one line: $(cat "$work/err_$1")"
  grep -q "$3" "$work/err_$1" || fail "$1: '$(cat "$work/err_$1")'"
}
short="$data/short.qfrec"
head -c 5 "$short" >"$work/header_cut"
check header_cut 2 "header is cut short"
{ head -c 8 "$short"; printf '\x09\x00\x00'; } >"$work/version"
check version 2 "format version 9"
# A recording of the first format (every platform answer), made in the real
# window before recordings held only the players' inputs, and one that
# claims a format newer than this game's: refused, naming both versions,
# never replayed wrongly.
cp "$data/format1/match.qfrec" "$work/format1"
check format1 2 "recording format version 1 (this game reads version 2)"
{ head -c 8 "$short"; printf '\x03\x00'; tail -c +11 "$short"; } >"$work/newer"
check newer 2 "recording format version 3 (this game reads version 2)"
head -c 2000 /dev/urandom >"$work/garbage"
check garbage 2 "not a Quillfire recording"
{ head -c 10 "$short"; printf '\xff'; } >"$work/long_length"
check long_length 2 "too long"
head -c "$(($(stat -c %s "$short") / 2))" "$short" >"$work/cut"
check cut 0 "^quillfire-run: $work/cut: the recording stops at frame [0-9]* (cut short)"
[ -s "$work/out_cut/frames.log" ] || fail "the cut recording showed no frame"
"$runner" --replay "$work/no_such_file" --out "$work/none" 2>/dev/null
[ $? -eq 2 ] || fail "a missing recording is not status 2"

[ "$failed" -eq 0 ] && echo "runner_check: replays, same files twice, bad and cut recordings: passed"
exit "$failed"
