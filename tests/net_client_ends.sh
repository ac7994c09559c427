#!/usr/bin/env bash
# The real client against hosts that misbehave, as a player meets them: each
# ends with one line on stderr and the network's status (1), never an abort
# nor a recording's status (a stream that goes wrong is the network's fault).
# A watcher replays the host's stream, so the stream's faults are a
# watcher's; a joiner runs its own game once the host has started the match,
# so it meets a host that never starts it, and one whose datagrams never
# come. Closing while waiting for the host ends with 0 and nothing said; a
# bad address or port is refused before any window with status 2.
#   net_client_ends.sh QUILLFIRE RUN_DIR PYTHON VERSION
set -uo pipefail

game="$1"
run_dir="$2"
python="$3"
version="$4"
work="$(mktemp -d)"
pids=()
finish() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap finish EXIT
failed=0
fail() {
  echo "net_client_ends: $*" >&2
  failed=1
}

# A stand-in host on a port of the system's choice (written to $work/NAME.port):
# echo sends back all it gets; the others welcome the client, then close,
# send a message only a client sends, fall silent, or send keep-alives only;
# or, to a joiner, trickle the recording's header a byte a second and never
# start the match, or start it (its UDP socket on the same port, as a real
# host's) and never send a datagram.
fake_host() {  # fake_host NAME MODE
  "$python" - "$2" "$version" "$work/$1.port" <<'PY' &
import socket, sys, time
mode, version, port_file = sys.argv[1], sys.argv[2].encode(), sys.argv[3]
s = socket.socket(socket.AF_INET6)
s.bind(("::", 0))
s.listen(1)
open(port_file + ".tmp", "w").write(str(s.getsockname()[1]))
import os; os.rename(port_file + ".tmp", port_file)
c, _ = s.accept()
if mode == "echo":
    while True:
        data = c.recv(4096)
        if not data:
            break
        c.sendall(data)
    sys.exit(0)
role = c.recv(64)[6]  # welcomed as what it asked to be
c.sendall(b"QFNT\x01\x00" + bytes([role, len(version)]) + version)
if mode == "close":
    c.close()
elif mode == "client-message":
    c.sendall(b"T" + (8).to_bytes(4, "little") + bytes(8))
    time.sleep(30)
elif mode == "silent":
    time.sleep(30)
elif mode in ("header", "bad-stream"):
    # A recording's header, then nothing yet, or a record no game made.
    head = b"QFREC\x1a\n\x00\x02\x00" + bytes([len(version)]) + version
    if mode == "bad-stream":
        head += b"\xff" * 16
    c.sendall(b"S" + (8 + len(head)).to_bytes(4, "little") + bytes(8) + head)
    time.sleep(30)
elif mode == "keep-alives":
    for _ in range(60):
        try:
            c.sendall(b"A\x00\x00\x00\x00")
        except OSError:  # the client gave up, as it should
            break
        time.sleep(0.5)
elif mode == "no-match":
    # The stream goes on (so the host is not starved of it), the match never
    # starts.
    head = b"QFREC\x1a\n\x00\x02\x00" + bytes([len(version)]) + version
    for at in range(len(head)):
        try:
            c.sendall(b"S" + (9).to_bytes(4, "little") +
                      at.to_bytes(8, "little") + head[at:at + 1])
        except OSError:
            break
        time.sleep(1)
elif mode == "no-datagram":
    u = socket.socket(socket.AF_INET6, socket.SOCK_DGRAM)
    u.bind(("::", s.getsockname()[1]))
    u.setblocking(False)
    c.sendall(b"M" + (4).to_bytes(4, "little") + (0x5eed).to_bytes(4, "little"))
    for _ in range(60):
        try:
            c.sendall(b"A\x00\x00\x00\x00")
            while True:
                u.recv(2048)  # the joiner's datagrams, never answered
        except BlockingIOError:
            pass
        except OSError:
            break
        time.sleep(0.5)
PY
  pids+=($!)
}

# The client, in the background: its status goes to $work/NAME.status.
client() {  # client NAME ROLE ADDRESS (ROLE: join or watch)
  (cd "$run_dir" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
    timeout 30 "$game" "--$2" "$3" 2>"$work/$1.err"; echo $? >"$work/$1.status") &
  pids+=($!)
}

wait_file() {  # wait_file FILE SECONDS
  for _ in $(seq $(($2 * 10))); do [ -s "$1" ] && return 0; sleep 0.1; done
  return 1
}

# name, mode, the client's role, what the one line says (PORT: the host's)
cases=(
  "echo|echo|watch|unexpected message type"
  "close|close|watch|the host has gone"
  "client-message|client-message|watch|unexpected message type"
  "silent|silent|watch|the host went silent"
  "keep-alives|keep-alives|watch|sent nothing to play"
  "bad-stream|bad-stream|watch|the host's stream: "
  "join-close|close|join|the host has gone"
  "no-match|no-match|join|the host did not start the match$"
  "no-datagram|no-datagram|join|connection lost: no datagram came from the host (is its UDP port PORT forwarded, as its TCP port is?)$"
)
for c in "${cases[@]}"; do
  IFS='|' read -r name mode _ _ <<<"$c"
  fake_host "$name" "$mode"
done
for c in "${cases[@]}"; do
  IFS='|' read -r name _ role _ <<<"$c"
  wait_file "$work/$name.port" 10 || { fail "$name: the fake host did not start"; continue; }
  client "$name" "$role" "[::1]:$(cat "$work/$name.port")"
done
for c in "${cases[@]}"; do
  IFS='|' read -r name _ _ said <<<"$c"
  said="${said//PORT/$(cat "$work/$name.port" 2>/dev/null)}"
  wait_file "$work/$name.status" 25 || { fail "$name: the client did not end"; continue; }
  status="$(cat "$work/$name.status")"
  lines="$(wc -l <"$work/$name.err")"
  [ "$status" = 1 ] || fail "$name: status $status, not 1"
  [ "$lines" = 1 ] || fail "$name: $lines lines on stderr, not 1"
  # (a basic expression: the brackets and question mark are plain)
  grep -q "^quillfire: .*$said" "$work/$name.err" || fail "$name: no '$said'"
  [ "$failed" = 0 ] || sed "s/^/  $name: /" "$work/$name.err" >&2
done

# Closing while the window waits for the host: a player leaving, status 0.
fake_host waiting header
wait_file "$work/waiting.port" 10 || fail "waiting: the fake host did not start"
(cd "$run_dir" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
  exec "$game" --watch "127.0.0.1:$(cat "$work/waiting.port")" 2>"$work/waiting.err") &
watcher=$!
sleep 1
kill -TERM "$watcher"
wait "$watcher"
status=$?
[ "$status" = 0 ] || fail "closing while waiting: status $status, not 0: $(cat "$work/waiting.err")"
if grep -q "replay stopped" "$work/waiting.err"; then
  fail "closing while waiting said: $(cat "$work/waiting.err")"
fi

# Bad addresses and ports: refused as options, before any window.
for args in "--host 99999" "--host 127.0.0.1:70000" "--join host:0" \
  "--join ::1" "--watch [::1" "--join host:port"; do
  code=0
  # shellcheck disable=SC2086
  DISPLAY= SDL_VIDEODRIVER=none "$game" $args >/dev/null 2>"$work/bad.err" || code=$?
  [ "$code" = 2 ] || fail "'$args' exited $code, not 2"
  [ "$(wc -l <"$work/bad.err")" = 2 ] || fail "'$args': not two lines"
done
code=0
"$game" --host 99999 2>"$work/bad.err" || code=$?
grep -qx "quillfire: port 99999 out of range (1 to 65535)" "$work/bad.err" ||
  fail "--host 99999 said: $(cat "$work/bad.err")"

exit "$failed"
