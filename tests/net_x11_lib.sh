# Shared by the tests that play quillfire over the network in real windows
# (sourced): two private Xvfb servers, the games started on them, keys,
# screenshots, waits. The caller sets test_name, game, run_dir and work (a
# scratch folder, removed by net_finish) and adds each process it starts to
# pids; its EXIT trap calls net_finish.

pids=()

# fail MESSAGE: the message and every game's stderr ($work/NAME.err), then exit 1.
fail() {
  echo "$test_name: $*" >&2
  local f
  for f in "$work"/*.err; do
    [ -s "$f" ] && sed "s/^/  $(basename "$f" .err): /" "$f" >&2
  done
  exit 1
}

# net_finish KEEP_DIR FILE...: copies the FILEs into KEEP_DIR when one is
# given, ends what was started (the games before their X servers), removes $work.
net_finish() {
  local keep="$1" i
  shift
  [ -n "$keep" ] && cp "$@" "$keep"/ 2>/dev/null
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}

# net_start_x [SIZE]: two X servers of SIZE (1280x1024), their displays in
# d1 and d2.
net_start_x() {
  local name size="${1:-1280x1024}"
  for name in d1 d2; do
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/$name" \
      >/dev/null 2>&1 &
    pids+=($!)
  done
  for _ in $(seq 50); do [ -s "$work/d1" ] && [ -s "$work/d2" ] && break; sleep 0.1; done
  [ -s "$work/d1" ] && [ -s "$work/d2" ] || fail "Xvfb did not start"
  d1=":$(cat "$work/d1")"
  d2=":$(cat "$work/d2")"
}

# play DISPLAY NAME ARGS...: quillfire in the background, its stderr in
# $work/NAME.err; play_env NAME, where the caller defines it, prints more
# VAR=VALUE for it, one a line.
play() {
  local display="$1" name="$2" extra=()
  shift 2
  declare -F play_env >/dev/null && mapfile -t extra < <(play_env "$name")
  (cd "$run_dir" && exec env DISPLAY="$display" SDL_AUDIODRIVER=dummy "${extra[@]}" \
    "$game" "$@") 2>"$work/$name.err" &
}

# net_host ARGS...: the host on a port below the system's range for outgoing
# connections (another if that one is taken), its port in port and its pid
# in host_pid.
net_host() {
  for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 12000))
    play "$d1" host --host "127.0.0.1:$port" "$@"
    host_pid=$!
    pids+=($host_pid)
    sleep 0.5
    kill -0 "$host_pid" 2>/dev/null && break
    grep -q "cannot listen" "$work/host.err" || fail "the host did not start"
  done
}

# net_joiner: a joiner on d2 to the host, its pid in joiner_pid, once its
# window stands and the host has it.
net_joiner() {
  play "$d2" joiner --join "127.0.0.1:$port"
  joiner_pid=$!
  pids+=($joiner_pid)
  wait_window "$d2"
  wait_line "$work/host.err" "player 2 connected"
}

# window_within DISPLAY SECONDS: 0 once a Quillfire window is on DISPLAY.
window_within() {
  DISPLAY="$1" timeout "$2" xdotool search --sync --name '^Quillfire$' \
    >/dev/null 2>&1
}

# wait_window DISPLAY: a Quillfire window on DISPLAY within 10 s, or fail.
wait_window() { window_within "$1" 10 || fail "no Quillfire window on $1"; }

# wait_line FILE TEXT: TEXT in FILE within 10 s, or fail.
wait_line() {
  for _ in $(seq 100); do grep -q "$2" "$1" 2>/dev/null && return 0; sleep 0.1; done
  fail "no '$2' in $(basename "$1")"
}

# press DISPLAY KEY: KEY held long enough for a once-a-frame read to see it.
press() {
  DISPLAY="$1" xdotool keydown "$2"
  sleep 0.1
  DISPLAY="$1" xdotool keyup "$2"
}

# shot DISPLAY NAME: a screenshot of DISPLAY in $work/NAME.png.
shot() {
  DISPLAY="$1" xwd -root -silent | convert xwd:- "$work/$2.png" ||
    fail "screenshot failed"
}

# same NAME NAME: 0 when the two screenshots are the same to the pixel.
same() { [ "$(compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1)" = 0 ]; }
