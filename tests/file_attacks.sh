#!/usr/bin/env bash
# The real program against files that are no fair game, where main's own
# wiring is what is tried (the reasons and the replays' refusals are tested
# in process, in test_start_check and test_record_files): a FIFO in place
# of a sound, a ball picture of 16 colours, a recording onto /dev/full. Each
# must end as a player is told: one line on stderr, its exit status, and no
# wait for ever. The settings file, damaged or not writable: one warning.
# Then a watcher's --record, in a match with a joiner: the host's own
# recording, byte for byte, which replays alone. Runs on SDL's dummy video
# and audio: no X server.
#   file_attacks.sh QUILLFIRE RUN_DIR
set -uo pipefail

game="$1"
run_dir="$2"
work="$(mktemp -d)"
failed=0
trap 'rm -rf "$work"' EXIT
fail() {
  echo "file_attacks: $*" >&2
  failed=1
}
export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

data_copy() {  # NAME: a copy of the data folder in $work/NAME
  mkdir "$work/$1" && cp "$run_dir"/* "$work/$1/"
}

# The ball picture with only its first 16 colours in its table.
data_copy ball16
python3 - "$work/ball16/BALL3D8BIG.BMP" <<'EOF'
import struct, sys
path = sys.argv[1]
b = bytearray(open(path, 'rb').read())
info = struct.unpack_from('<I', b, 14)[0]
table = 14 + info
b[table + 4 * 16:table + 4 * 256] = b''
struct.pack_into('<I', b, 2, len(b))
struct.pack_into('<I', b, 10, table + 4 * 16)
struct.pack_into('<I', b, 46, 16)
open(path, 'wb').write(b)
EOF
data_copy fifo_sound
rm "$work/fifo_sound/SPIKE.WAV" && mkfifo "$work/fifo_sound/SPIKE.WAV"
data_copy plain

# run WHAT STATUS SECONDS LINE_PATTERN ARGS...: the game given SECONDS
# before a SIGTERM (its close request) must end with STATUS and exactly one
# line on stderr matching LINE_PATTERN, within 5 s more.
run() {
  local what="$1" want="$2" seconds="$3" pattern="$4"
  shift 4
  local code=0
  timeout --preserve-status -k 5 -s TERM "$seconds" "$game" "$@" \
    >"$work/out" 2>"$work/err" || code=$?
  [ "$code" -eq "$want" ] || fail "$what: exit status $code, not $want"
  [ "$(wc -l <"$work/err")" -eq 1 ] ||
    fail "$what: not one line on stderr: $(cat "$work/err")"
  grep -q -- "$pattern" "$work/err" || fail "$what: stderr was: $(cat "$work/err")"
}

run "16-colour ball picture" 1 5 \
  "BALL3D8BIG.BMP in $work/ball16 (given with --data): its colour table holds 16 colours" \
  --data "$work/ball16"
run "FIFO sound" 0 3 \
  "warning: SPIKE.WAV in $work/fifo_sound: not a regular file; playing without it" \
  --data "$work/fifo_sound" --record "$work/fifo_sound.qfrec"
# Past "Loading...": the recording of that game shows its title.
timeout 10 "$game" --data "$work/fifo_sound" --timedemo "$work/fifo_sound.qfrec" \
  >"$work/out" 2>"$work/err" || fail "FIFO sound: its recording: $(cat "$work/err")"
frames=$(grep -o '^[0-9]*' "$work/out")
[ "${frames:-0}" -ge 2 ] || fail "FIFO sound: the game showed ${frames:-no} frames"
run "recording onto /dev/full" 4 3 \
  "^quillfire: cannot write /dev/full: No space left on device; playing on, the recording is incomplete$" \
  --data "$work/plain" --record /dev/full

# The settings file: a damaged one is said as the game starts, one that
# can't be written as it ends, and a file neither read nor written is said
# once, not twice.
mkdir -p "$work/damaged/quillfire" "$work/taken/quillfire/quillfire.conf"
printf 'fullscreen = no\n\377 garbage\n' >"$work/damaged/quillfire/quillfire.conf"
XDG_CONFIG_HOME="$work/damaged" run "damaged settings" 0 2 \
  "^quillfire: warning: $work/damaged/quillfire/quillfire.conf: damaged (line 2 is not understood); using the defaults$" \
  --data "$work/plain" --window
XDG_CONFIG_HOME=/proc/self run "settings that can't be written" 0 2 \
  "^quillfire: warning: can't make the folder /proc/self/quillfire: " \
  --data "$work/plain" --window
XDG_CONFIG_HOME="$work/taken" run "a folder in the settings file's place" 0 2 \
  "^quillfire: warning: $work/taken/quillfire/quillfire.conf: not a regular file; using the defaults$" \
  --data "$work/plain" --window

# A watcher keeps what it is shown: the host's stream, as the host's own
# --record writes it, ended when the host is closed. The host's game moves
# only once player 2 is there, so a joiner comes first; the host's close ends
# the joiner's game too, as the host ending the game. The host listens on a
# port below the system's range for outgoing connections (which the other
# tests' connections take from), another one if that is taken.
for _ in 1 2 3 4 5; do
  port=$((20000 + RANDOM % 12000))
  "$game" --data "$work/plain" --host "127.0.0.1:$port" \
    --record "$work/host.qfrec" 2>"$work/host.err" &
  host=$!
  sleep 1
  if kill -0 "$host" 2>/dev/null || ! grep -q "cannot listen" "$work/host.err"; then
    break
  fi
done
timeout 20 "$game" --data "$work/plain" --join "127.0.0.1:$port" \
  2>"$work/joiner.err" &
joiner=$!
sleep 1
timeout 20 "$game" --data "$work/plain" --watch "127.0.0.1:$port" \
  --record "$work/watcher.qfrec" 2>"$work/watcher.err" &
watcher=$!
sleep 3
kill -TERM "$host"
wait "$host" || fail "host: exit status $?: $(cat "$work/host.err")"
wait "$joiner" || fail "joiner: exit status $?: $(cat "$work/joiner.err")"
grep -qx "quillfire: the host ended the game" "$work/joiner.err" ||
  fail "joiner: not told the host ended the game: $(cat "$work/joiner.err")"
wait "$watcher" || fail "watcher: exit status $?: $(cat "$work/watcher.err")"
[ -s "$work/host.qfrec" ] || fail "watcher: the host recorded nothing"
cmp -s "$work/host.qfrec" "$work/watcher.qfrec" ||
  fail "watcher: its recording is not the host's: $(cat "$work/watcher.err")"
timeout 10 "$game" --data "$work/plain" --timedemo "$work/watcher.qfrec" \
  >"$work/out" 2>"$work/err" ||
  fail "watcher: its recording doesn't replay: $(cat "$work/err")"
frames=$(grep -o '^[0-9]*' "$work/out")
[ "${frames:-0}" -ge 2 ] || fail "watcher: its recording showed ${frames:-no} frames"

[ "$failed" -eq 0 ] && echo "file_attacks: FIFO sound, 16-colour ball, /dev/full, settings, a watcher's recording: passed"
exit "$failed"
