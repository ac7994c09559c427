#!/usr/bin/env python3
"""How much of a core the real game uses while it waits, and how soon a key
shows on the screen.

Starts quillfire on its own Xvfb (SDL's dummy audio), with the frame timer
preloaded so every picture put on the screen is time-stamped, and plays a
few rounds of: title, 1, serve prompt, SPACE, rally, Escape. Keys are sent
through XTest (xdotool's way, without a process start between the
time-stamp and the key). It reports:
- CPU: the game's user + system time from /proc/<pid>/stat over the time
  spent at the title, at the serve prompt and in rallies, as a percentage of
  one core;
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
import time

build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 6
screen = sys.argv[3] if len(sys.argv) > 3 else "1280x1024"
work = tempfile.mkdtemp(prefix="probe_idle.")
ticks_per_second = os.sysconf("SC_CLK_TCK")
procs = []


def finish():
    for p in reversed(procs):
        if p.poll() is None:
            p.kill()
            p.wait()


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / ticks_per_second


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

    def key(name, down):
        code = x11.XKeysymToKeycode(dpy, x11.XStringToKeysym(name.encode()))
        xtst.XTestFakeKeyEvent(dpy, code, 1 if down else 0, 0)
        x11.XFlush(dpy)
        return time.monotonic_ns() // 1000

    def press(name):
        """Sends a key held for 80 ms; returns when it went down (us)."""
        sent = key(name, True)
        time.sleep(0.08)
        key(name, False)
        return sent

    def first_frame_after(us):
        with open(frames_path) as f:
            for line in f:
                if int(line) >= us:
                    return int(line)
        return None

    def cpu_over(seconds):
        start = cpu_seconds(game.pid)
        time.sleep(seconds)
        return cpu_seconds(game.pid) - start

    spent = {"title": [0.0, 0.0], "serve prompt": [0.0, 0.0], "rally": [0.0, 0.0]}
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

    press("q")
    game.wait(timeout=10)
    for where, (cpu, seconds) in spent.items():
        print(f"{where:13s} {100 * cpu / seconds:5.2f} % of a core "
              f"({cpu:.2f} s of CPU in {seconds:.1f} s)")
    for where, values in latency.items():
        if values:
            print(f"key to frame at the {where}: median "
                  f"{statistics.median(values):.1f} ms, max {max(values):.1f} ms "
                  f"({len(values)} keys)")


try:
    main()
finally:
    finish()
