#!/usr/bin/env bash
# The real program before and as it starts: the command line's statuses,
# damaged pictures refused before any window, a missing sound warned of,
# the no-sound-device notice and --nosound.
#   start_checks.sh QUILLFIRE RUN_DIR VERSION
set -uo pipefail

game="$1"
run_dir="$2"
version="$3"
test_name=start_checks
work="$(mktemp -d)"
source "$(dirname "$0")/x11_lib.sh"
trap 'x11_finish; rm -rf "$work"' EXIT

# --- The command line: status, and where the text goes.
check_cli() {  # status stdout-pattern stderr-pattern args... ("" checks nothing)
  local want="$1" out_pattern="$2" err_pattern="$3"
  shift 3
  local code=0
  "$game" "$@" >"$work/out" 2>"$work/err" || code=$?
  [ "$code" -eq "$want" ] || fail "'$*' exited $code, not $want"
  [ -z "$out_pattern" ] || grep -q -- "$out_pattern" "$work/out" ||
    fail "'$*': stdout lacks '$out_pattern'"
  [ -z "$err_pattern" ] || grep -q -- "$err_pattern" "$work/err" ||
    fail "'$*': stderr lacks '$err_pattern'"
}
check_cli 0 '^Usage: quillfire' "" --help
check_cli 0 '--data DIR' "" -h
check_cli 0 "^quillfire $version\$" "" --version
[ -s "$work/err" ] && fail "--version wrote to stderr: $(cat "$work/err")"

# Each refusal: status 2, nothing on stdout, and on stderr exactly the
# complaint and where to look; no usage.
refused() {  # complaint args...
  local complaint="$1"
  shift
  local code=0
  "$game" "$@" >"$work/out" 2>"$work/err" || code=$?
  [ "$code" -eq 2 ] || fail "'$*' exited $code, not 2"
  [ -s "$work/out" ] && fail "'$*' wrote to stdout: $(cat "$work/out")"
  printf 'quillfire: %s\nTry '"'"'quillfire --help'"'"'.\n' "$complaint" >"$work/want"
  cmp -s "$work/want" "$work/err" || fail "'$*': stderr was: $(cat "$work/err")"
}
refused "unknown option '--bogus'" --bogus
refused "unknown option '-x'" -wx
refused "unexpected argument 'stray'" stray
refused "option '--data' requires a value" --data
refused "invalid value 'huge' for --scale" --scale huge
refused "invalid value '' for --record" --record=
refused "--join and --watch can't be used together" --join a --watch b
# A bad address names what was given, a bad port the port and its range.
for value in box:0 ::: box:65536; do
  code=0
  "$game" --watch "$value" >"$work/out" 2>"$work/err" || code=$?
  [ "$code" -eq 2 ] || fail "--watch $value exited $code, not 2"
  port="${value##*:}"
  [ "$(wc -l <"$work/err")" -eq 2 ] &&
    grep -qx "quillfire: \(.*'$value'.*\|port $port out of range (1 to 65535)\)" "$work/err" &&
    [ "$(tail -1 "$work/err")" = "Try 'quillfire --help'." ] ||
    fail "--watch $value: stderr was: $(cat "$work/err")"
done
for value in 127.0.0.1:70000 box:port; do
  code=0
  "$game" --host "$value" >"$work/out" 2>"$work/err" || code=$?
  [ "$code" -eq 2 ] || fail "--host $value exited $code, not 2"
done

# A display that can't be opened is named, in the one line of a failed
# start; neither a missing sound file nor the missing sound device is
# mentioned before it.
data="$work/data-no-spike"
mkdir "$data" && cp "$run_dir"/* "$data/" && rm "$data/SPIKE.WAV"
for display in :57 ""; do
  code=0
  DISPLAY="$display" WAYLAND_DISPLAY= SDL_AUDIODRIVER=no_such_driver timeout 10 "$game" \
    --data "$data" >"$work/out" 2>"$work/err" || code=$?
  [ "$code" -eq 1 ] || fail "DISPLAY='$display': exit status $code, not 1"
  if [ -n "$display" ]; then
    want="quillfire: can't open the X display '$display' (DISPLAY)"
  else
    want="quillfire: no display to open: DISPLAY and WAYLAND_DISPLAY are not set"
  fi
  [ "$(cat "$work/err")" = "$want" ] || fail "DISPLAY='$display': stderr was: $(cat "$work/err")"
done

# --- Each picture missing, empty or cut short, in a copy of the data folder.
# No display is offered: a game that got as far as its window would say
# that there is none instead of naming the picture.
for picture in BALL3D8BIG.BMP PADDLES3D8.BMP BACK8.BMP TITLE8.BMP; do
  for damage in missing empty truncated; do
    data="$work/data-$picture-$damage"
    mkdir "$data" && cp "$run_dir"/* "$data/"
    case "$damage" in
      missing) rm "$data/$picture" ;;
      empty) : >"$data/$picture" ;;
      truncated) head -c "$(($(stat -c %s "$run_dir/$picture") / 2))" \
        "$run_dir/$picture" >"$data/$picture" ;;
    esac
    start=$(date +%s%N)
    code=0
    env -u DISPLAY -u WAYLAND_DISPLAY timeout 5 "$game" --data "$data" \
      2>"$work/err" || code=$?
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    what="$picture $damage"
    [ "$code" -eq 1 ] || fail "$what: exit status $code, not 1"
    [ "$elapsed_ms" -lt 1000 ] || fail "$what: took $elapsed_ms ms"
    [ "$(wc -l <"$work/err")" -eq 1 ] || fail "$what: not one line: $(cat "$work/err")"
    grep -q "$picture in $data (given with --data): " "$work/err" ||
      fail "$what: stderr was: $(cat "$work/err")"
  done
done
echo "$test_name: 12 damaged pictures refused before any window"

# --- In an X server: warnings and notices as the game starts.
x11_start
data="$work/data-no-boing"
mkdir "$data" && cp "$run_dir"/* "$data/" && rm "$data/BOING.WAV"

play_and_quit() {  # audio-driver args...: stderr into $work/err
  local driver="$1"
  shift
  SDL_AUDIODRIVER="$driver" "$game" "$@" 2>"$work/err" &
  game_pid=$!
  x11_wait_window || fail "'$*': no window appeared; stderr: $(cat "$work/err")"
  sleep 1
  x11_quit || fail "'$*': exit status $? after Q"
}

play_and_quit dummy --data "$data"
[ "$(wc -l <"$work/err")" -eq 1 ] || fail "missing sound: $(cat "$work/err")"
grep -q "warning: BOING.WAV in $data: missing; playing without it" \
  "$work/err" || fail "missing sound: $(cat "$work/err")"

# No audio driver at all: one notice, and none with --nosound.
play_and_quit no_such_driver --data "$run_dir"
[ "$(cat "$work/err")" = "quillfire: no sound device could be opened; playing silent" ] ||
  fail "no device: $(cat "$work/err")"
play_and_quit no_such_driver --data "$run_dir" --nosound
[ -s "$work/err" ] && fail "--nosound: $(cat "$work/err")"
echo "$test_name: command line, pictures, sound warning and notices: passed"
