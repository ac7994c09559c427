#!/usr/bin/env python3
"""The real game in a real X server, asked to end on each screen: by SIGTERM,
by SIGINT and by the window manager's close request (WM_DELETE_WINDOW, as the close
button sends it). Prints the time from the request to the end of the
process, per screen.

  quit_x11.py QUILLFIRE RUN_DIR FRAME_TIMER_LIB [--all]

Without --all it checks what must hold (SIGTERM during the winner's message
ends the game within 0.5 s, with status 0) and a close request at the title;
with --all it measures every screen both ways.
"""
import ctypes
import os
import signal
import subprocess
import sys
import tempfile
import time

LIMIT_S = 0.5


def fail(text):
    print(f"quit_x11: {text}", file=sys.stderr)
    sys.exit(1)


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]


def send_delete_window(window):
    """What a window manager's close button does: WM_DELETE_WINDOW."""
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                             ctypes.c_long, ctypes.POINTER(XEvent)]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x.XOpenDisplay(None)
    if not display:
        fail("cannot open the display")
    event = XEvent()
    event.xclient.type = 33  # ClientMessage
    event.xclient.window = window
    event.xclient.message_type = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.xclient.data[1] = 0  # CurrentTime
    x.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x.XFlush(display)
    x.XCloseDisplay(display)


class Game:
    def __init__(self, game, run_dir, frame_timer, work):
        self.log = os.path.join(work, f"frames-{time.monotonic_ns()}")
        env = dict(os.environ, SDL_AUDIODRIVER="dummy", QF_FRAME_LOG=self.log,
                   LD_PRELOAD=frame_timer)
        self.proc = subprocess.Popen([game], cwd=run_dir, env=env)
        found = subprocess.run(
            ["timeout", "10", "xdotool", "search", "--sync", "--name",
             "^Quillfire$"], capture_output=True, text=True)
        if found.returncode != 0:
            self.proc.kill()
            fail("no Quillfire window appeared")
        self.window = int(found.stdout.split()[0])

    def press(self, key, hold=0.08):
        subprocess.run(["xdotool", "keydown", key])
        time.sleep(hold)
        subprocess.run(["xdotool", "keyup", key])

    def last_frame_age(self):
        try:
            with open(self.log) as f:
                lines = f.read().split()
        except OSError:
            return 0.0
        if not lines:
            return 0.0
        return time.monotonic() - int(lines[-1]) / 1e6

    def close(self, how):
        """Asks the game to end; returns the seconds until it did, and its
        status."""
        start = time.monotonic()
        if how in ("SIGTERM", "SIGINT"):
            self.proc.send_signal(getattr(signal, how))
        else:
            send_delete_window(self.window)
        try:
            status = self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            return 10.0, None
        return time.monotonic() - start, status


def to_title(g):
    time.sleep(1.5)


def to_fade(g):
    time.sleep(1.5)
    g.press("1")
    time.sleep(0.3)


def to_prompt(g):
    time.sleep(1.5)
    g.press("1")
    time.sleep(2.0)


def to_rally(g):
    to_prompt(g)
    g.press("space")
    time.sleep(0.5)


def to_escape_fade(g):
    to_rally(g)
    g.press("Escape")
    time.sleep(0.3)


def to_q_fade(g):
    time.sleep(1.5)
    g.press("q")
    time.sleep(0.3)


def to_paused(g):
    to_rally(g)
    g.press("p")
    time.sleep(0.5)


def to_winner(gap):
    """Two players who never move: goals come quickly. Space is pressed
    often, so only the winner's screen shows no frame for `gap` seconds."""
    def go(g):
        time.sleep(1.5)
        g.press("2")
        time.sleep(2.0)
        deadline = time.monotonic() + 90
        while time.monotonic() < deadline:
            g.press("space", 0.03)
            time.sleep(0.1)
            if g.last_frame_age() > gap:
                return
        fail("the winner's screen never came")
    return go


SCREENS = [
    ("title", to_title),
    ("fade after choosing", to_fade),
    ("serve prompt", to_prompt),
    ("rally", to_rally),
    ("paused rally", to_paused),
    ("fade after Escape", to_escape_fade),
    ("fade after Q", to_q_fade),
    ("winner's pause (600 ms)", to_winner(0.3)),
    ("winner's message (2000 ms)", to_winner(0.9)),
]


def main():
    if len(sys.argv) < 4:
        fail("usage: quit_x11.py QUILLFIRE RUN_DIR FRAME_TIMER_LIB [--all]")
    game, run_dir, frame_timer = sys.argv[1:4]
    measure_all = "--all" in sys.argv[4:]
    work = tempfile.mkdtemp()
    read_fd, write_fd = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24",
         "-nolisten", "tcp"], pass_fds=(write_fd,),
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_fd)
    number = os.read(read_fd, 16).decode().strip()
    if not number:
        xvfb.kill()
        fail("Xvfb did not start")
    os.environ["DISPLAY"] = f":{number}"

    if measure_all:
        runs = [(s, how) for s in SCREENS
                for how in ("SIGTERM", "SIGINT", "close")]
    else:
        runs = [(SCREENS[0], "close"), (SCREENS[-1], "SIGTERM")]
    problems = []
    try:
        for (name, reach), how in runs:
            g = Game(game, run_dir, frame_timer, work)
            reach(g)
            seconds, status = g.close(how)
            print(f"quit_x11: {name:28} {how:8} {seconds * 1000:6.0f} ms "
                  f"status {status}")
            if status != 0:
                problems.append(f"{name}, {how}: status {status}")
            if seconds > LIMIT_S:
                problems.append(f"{name}, {how}: {seconds:.2f} s")
    finally:
        xvfb.kill()
    for p in problems:
        print("quit_x11:", p, file=sys.stderr)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
