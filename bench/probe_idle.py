#!/usr/bin/env python3
"""How much of a core the real game uses while it waits, and how soon a key
shows on the screen.

Starts quillfire on its own Xvfb (SDL's dummy audio), with the frame timer
preloaded so every picture put on the screen is time-stamped, and plays a
few rounds of: title, 1, serve prompt, SPACE, rally, Escape; then a whole
two-player match (both paddles swaying, a serve every 1.9 s) to its winner's
message. Keys are sent through XTest (xdotool's way, without a process start
between the time-stamp and the key). It reports:
- CPU: the time the game's threads ran (/proc/<pid>/task/*/schedstat, in
  nanoseconds) at the title, at the serve prompt, in rallies and while the
  winner's message shows, as a percentage of one core;
- latency: from a key sent to the first picture after it (at the title the
  first step of the fade, at the serve prompt the first frame of the rally),
  median and largest.

  bench/probe_idle.py BUILD_DIR [ROUNDS [SCREEN]]

SCREEN is Xvfb's screen size, 1280x1024 by default (the game shows its
picture at 2x there; 640x480 shows it at 1x).

BUILD_DIR holds quillfire, run/ and tests/libqf_frame_timer.so. Run it on a
quiet machine: another process's load shows up as latency.
"""
import ctypes
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 6
screen = sys.argv[3] if len(sys.argv) > 3 else "1280x1024"
work = tempfile.mkdtemp(prefix="probe_idle.")
procs = []
# The winner's message: a 0.6 s pause, the message drawn (one picture),
# then the message held 2 s; nothing else is shown meanwhile.
WINNER_PAUSE_US = (550_000, 700_000)
WINNER_SHOWN_US = 1_950_000


def finish():
    for p in reversed(procs):
        if p.poll() is None:
            p.kill()
            p.wait()


def cpu_seconds(pid):
    """CPU time of the process's live threads, to the nanosecond (the
    clock-tick counts of /proc/<pid>/stat are 10 ms coarse)."""
    total = 0
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                total += int(f.read().split()[0])
        except (FileNotFoundError, ProcessLookupError):
            pass
    return total / 1e9


def main():
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", screen + "x24",
         "-nolisten", "tcp"], pass_fds=(write_fd,),
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    procs.append(xvfb)
    os.close(write_fd)
    display = os.read(read_fd, 64).decode().strip()
    os.environ["DISPLAY"] = ":" + display

    frames_path = os.path.join(work, "frames")
    env = dict(os.environ, SDL_AUDIODRIVER="dummy", QF_FRAME_LOG=frames_path,
               LD_PRELOAD=os.path.join(build, "tests", "libqf_frame_timer.so"))
    game = subprocess.Popen([os.path.join(build, "quillfire")],
                            cwd=os.path.join(build, "run"), env=env)
    procs.append(game)
    subprocess.run(["xdotool", "search", "--sync", "--name", "^Quillfire$"],
                   stdout=subprocess.DEVNULL, timeout=20, check=True)

    x11 = ctypes.CDLL("libX11.so.6")
    xtst = ctypes.CDLL("libXtst.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XStringToKeysym.restype = ctypes.c_ulong
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint,
                                       ctypes.c_int, ctypes.c_ulong]
    dpy = x11.XOpenDisplay(None)

    one_at_a_time = threading.Lock()  # one display connection, many threads

    def key(name, down):
        with one_at_a_time:
            code = x11.XKeysymToKeycode(dpy,
                                        x11.XStringToKeysym(name.encode()))
            xtst.XTestFakeKeyEvent(dpy, code, 1 if down else 0, 0)
            x11.XFlush(dpy)
            return time.monotonic_ns() // 1000

    def press(name, hold=0.08):
        """Sends a key held for `hold` s; returns when it went down (us)."""
        sent = key(name, True)
        time.sleep(hold)
        key(name, False)
        return sent

    def frame_times():
        with open(frames_path) as f:
            return [int(line) for line in f]

    def first_frame_after(us):
        return next((t for t in frame_times() if t >= us), None)

    def cpu_over(seconds):
        start = cpu_seconds(game.pid)
        time.sleep(seconds)
        return cpu_seconds(game.pid) - start

    spent = {where: [0.0, 0.0] for where in
             ("title", "serve prompt", "rally", "winner's message")}
    latency = {"title": [], "serve prompt": []}

    def measure(where, seconds):
        spent[where][0] += cpu_over(seconds)
        spent[where][1] += seconds

    time.sleep(1.5)
    for _ in range(rounds):
        measure("title", 3.0)
        sent = press("1")
        time.sleep(1.8)  # the fade, then the serve prompt
        shown = first_frame_after(sent)
        if shown:
            latency["title"].append((shown - sent) / 1000)
        measure("serve prompt", 3.0)
        sent = press("space")
        time.sleep(0.1)
        measure("rally", 1.3)  # shorter than any rally
        shown = first_frame_after(sent)
        if shown:
            latency["serve prompt"].append((shown - sent) / 1000)
        press("Escape")
        time.sleep(2.0)  # the fade, then the title

    winner_message(press, frame_times, spent)
    for _ in range(3):  # a Q during the fade to the title is not seen
        press("q")
        try:
            game.wait(timeout=3)
            break
        except subprocess.TimeoutExpired:
            pass
    for where, (cpu, seconds) in spent.items():
        if seconds == 0:
            continue
        print(f"{where:13s} {100 * cpu / seconds:5.2f} % of a core "
              f"({cpu:.2f} s of CPU in {seconds:.1f} s)")
    for where, values in latency.items():
        if values:
            print(f"key to frame at the {where}: median "
                  f"{statistics.median(values):.1f} ms, max {max(values):.1f} ms "
                  f"({len(values)} keys)")


def winner_message(press, frame_times, spent):
    """Plays a two-player match to its end, sampling the game's CPU time,
    and counts the CPU of the winner's message while it waits: from 0.3 s
    after the picture with the message (the players' keys have stopped by
    then) to 0.1 s before the next picture."""
    samples = []
    playing = threading.Event()
    playing.set()
    done = threading.Event()

    def message_shown(times, now):
        """When the picture with the message came: the one after the
        winner's pause, followed by nothing for 0.2 s."""
        for a, b, c in zip(times, times[1:], times[2:] + [now]):
            if (WINNER_PAUSE_US[0] <= b - a <= WINNER_PAUSE_US[1] and
                    c - b >= 200_000):
                return b
        return None

    def sample():
        while not done.is_set():
            now = time.monotonic_ns() // 1000
            samples.append((now, cpu_seconds(procs[-1].pid)))
            if playing.is_set() and message_shown(frame_times(), now):
                playing.clear()  # the match is over: no more keys
            time.sleep(0.05)

    def sway(a, b, hold):
        while playing.is_set():
            press(a, hold)
            press(b, hold)

    press("2")
    time.sleep(2.5)
    threads = [threading.Thread(target=f, args=a, daemon=True) for f, a in
               ((sample, ()), (sway, ("Right", "Left", 0.35)),
                (sway, ("x", "z", 0.45)))]
    for t in threads:
        t.start()
    for _ in range(60):
        if not playing.is_set():
            break
        press("space")
        time.sleep(1.9)
    playing.clear()
    time.sleep(2.5)  # the rest of the message, and the fade to the title
    done.set()
    for t in threads:
        t.join()
    times = frame_times()
    shown = message_shown(times, time.monotonic_ns() // 1000)
    after = next((t for t in times if shown and t > shown), None)
    if not shown or not after or after - shown < WINNER_SHOWN_US:
        print("winner's message: not reached")
        return
    inside = [(t, cpu) for t, cpu in samples
              if shown + 300_000 <= t <= after - 100_000]
    if len(inside) >= 2:
        spent["winner's message"][0] += inside[-1][1] - inside[0][1]
        spent["winner's message"][1] += (inside[-1][0] - inside[0][0]) / 1e6


try:
    main()
finally:
    finish()
