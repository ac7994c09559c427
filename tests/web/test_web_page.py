#!/usr/bin/python3
"""The game's web page in headless Chromium, as a player meets it: it loads
from a static server on 127.0.0.1, shows the same pictures as the headless
runner for the same keys, replays the desktop's recordings with every
checkpoint matching, keeps the game's keys from scrolling the page, says why
when its code is missing, and hands the bounce and goal sounds to Web Audio
once a key was pressed.

    tests/web/test_web_page.py SITE_DIR NATIVE_BUILD_DIR

Timings (the time to the title, the timedemo's) are printed for the record;
only the budget of the time to the title is checked."""
import gzip
import json
import os
import re
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

import web_lib

SITE = NATIVE = None
TITLE_BUDGET_S = 1.0
# What the site may weigh, in all and gzip-compressed.
SITE_BUDGET_BYTES = 1536 * 1024
SITE_GZIP_BUDGET_BYTES = 600 * 1024
# The share of a second the page's main thread may be busy while the game
# waits at the title for a key.
IDLE_BUSY_LIMIT = 0.025
# What the page at the title samples to see the title arrive: one pixel in
# so many of each row and column, as the title shot has them.
SAMPLE_STEP = 37


def run_runner(args, out):
    """The headless runner on the same game files; returns its output."""
    command = [os.path.join(NATIVE, "tools", "quillfire-run"), "--assets",
               os.path.join(NATIVE, "run"), "--out", out] + args
    return subprocess.run(command, check=True, capture_output=True, text=True)


def wav_samples(path):
    """The number of samples in a WAV file's data chunk (8-bit mono)."""
    with open(path, "rb") as f:
        data = f.read()
    pos = 12
    while pos < len(data):
        kind, size = struct.unpack("<4sI", data[pos:pos + 8])
        if kind == b"data":
            return size
        pos += 8 + size + (size & 1)
    raise AssertionError(path + " has no data")


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server, cls.url = web_lib.serve(SITE)
        cls.driver = web_lib.browser()
        cls.shots = tempfile.mkdtemp(prefix="qf-web-")
        with open(os.path.join(cls.shots, "keys.script"), "w") as f:
            f.write("at 1400 shot title\nat 1500 down 1\nat 1600 up 1\n"
                    "at 3900 shot serve\nat 5000 end\n")
        run_runner(["--script", os.path.join(cls.shots, "keys.script")],
                   cls.shots)
        cls.title = web_lib.png_rgb(os.path.join(cls.shots, "title.png"))
        cls.serve = web_lib.png_rgb(os.path.join(cls.shots, "serve.png"))

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.shutdown()

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def keys(self, *keys, hold=0.08):
        for key in keys:
            ActionChains(self.driver).key_down(key).pause(hold).key_up(key).perform()

    def settled_canvas(self, expected, timeout):
        """The canvas once it equals `expected`, or as it is after timeout."""
        seen = web_lib.wait_for(
            lambda: (lambda c: c if c == expected else None)(
                web_lib.canvas_rgb(self.driver)), timeout, step=0.1)
        return seen or web_lib.canvas_rgb(self.driver)

    def load(self, query=""):
        self.driver.get(self.url + query)

    def test_title_and_serve_prompt_as_the_runner_shows_them(self):
        width, height, pixels = self.title
        samples = [(x, y, list(pixels[3 * (y * width + x):3 * (y * width + x) + 3]))
                   for y in range(0, height, SAMPLE_STEP)
                   for x in range(0, width, SAMPLE_STEP)]
        # Looks at every frame the browser paints, from the page's first
        # moment on, for the title's pixels.
        watch = """
          window.qfTitleSamples = %s;
          (function look() {
            var c = document.getElementById("screen");
            if (c && c.width === %d && !window.qfTitleAt) {
              var g = c.getContext("2d"), all = true;
              for (var s of window.qfTitleSamples) {
                var p = g.getImageData(s[0], s[1], 1, 1).data;
                if (p[0] !== s[2][0] || p[1] !== s[2][1] || p[2] !== s[2][2]) {
                  all = false; break;
                }
              }
              if (all) window.qfTitleAt = performance.now();
            }
            if (!window.qfTitleAt) requestAnimationFrame(look);
          })();""" % (json.dumps(samples), width)
        added = self.driver.execute_cdp_cmd(
            "Page.addScriptToEvaluateOnNewDocument",
            {"source": "addEventListener('DOMContentLoaded', function () {" + watch + "});"})
        self.load()
        self.driver.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument",
                                    {"identifier": added["identifier"]})
        title_at = web_lib.wait_for(lambda: self.js("return window.qfTitleAt"), 20)
        self.assertIsNotNone(title_at, "the title never showed")
        print("navigation to the title on the canvas: %.0f ms" % title_at)
        self.assertLessEqual(title_at / 1000, TITLE_BUDGET_S)

        canvas = self.settled_canvas(self.title, 5)
        self.assertEqual(canvas[:2], (640, 480))
        self.assertEqual(web_lib.differing_pixels(canvas, self.title), 0)
        self.assertFalse(self.js("return document.getElementById('screen').style.visibility === 'hidden'"))
        self.assertEqual(self.js("return document.getElementById('hint').style.display"), "block",
                         "before a key the page asks for one, for the sound")

        self.keys("1")
        canvas = self.settled_canvas(self.serve, 10)
        self.assertEqual(web_lib.differing_pixels(canvas, self.serve), 0,
                         "the serve prompt differs from the runner's")
        self.driver.save_screenshot(os.environ.get("QF_WEB_SCREENSHOT", os.path.join(self.shots, "page.png")))

    def test_sound_starts_after_a_key_and_plays_bounce_and_goal(self):
        self.load()
        self.assertTrue(web_lib.wait_for(
            lambda: self.js("return window.qfWeb && qfWeb.voiceLength && Object.keys(qfWeb.voiceLength).length >= 4"), 20))
        time.sleep(1.5)  # the title's own sound would play here
        self.assertEqual(self.js("return qfWeb.plays"), {},
                         "sound was handed to the browser before any key")
        bounce = wav_samples(os.path.join(NATIVE, "run", "BOING.WAV"))
        goal = wav_samples(os.path.join(NATIVE, "run", "BUZZER.WAV"))
        lengths = self.js("return qfWeb.voiceLength")
        voice_of = {}
        for voice, length in lengths.items():
            voice_of.setdefault(length, voice)
        self.assertIn(bounce, voice_of)
        self.assertIn(goal, voice_of)
        self.keys("1")
        self.assertTrue(web_lib.wait_for(
            lambda: self.js("return qfWeb.audio && qfWeb.audio.ctx.state") == "running", 5),
            "the key did not start the sound")
        time.sleep(2.5)
        self.keys(Keys.SPACE)
        # Nobody moves the bottom paddle: the ball bounces, then is missed.
        played = web_lib.wait_for(
            lambda: (lambda p: p if voice_of[goal] in p and voice_of[bounce] in p else None)(
                self.js("return qfWeb.plays")), 40, step=0.25)
        self.assertIsNotNone(played, "no bounce and goal: %s" % self.js("return qfWeb.plays"))
        samples = self.js("return qfWeb.samples")
        self.assertGreaterEqual(samples[voice_of[bounce]], bounce)
        self.assertGreaterEqual(samples[voice_of[goal]], goal)
        self.assertEqual(self.js("return document.getElementById('hint').style.display"), "none")
        # M is the mute switch, as on the desktop.
        for muted in (True, False):
            self.keys("m")
            self.assertTrue(web_lib.wait_for(lambda: self.js(
                "return [qfWeb.muted, qfWeb.audio.gain.gain.value]") == [muted, 0 if muted else 1], 3),
                "M did not %s the sound" % ("mute" if muted else "restore"))

    def test_the_games_keys_do_not_scroll_the_page(self):
        self.load()
        self.assertTrue(web_lib.wait_for(lambda: self.js("return window.qfWeb && qfWeb.listening"), 20))
        self.js("var tall = document.createElement('div');"
                "tall.style.height = '5000px'; document.body.appendChild(tall);"
                "window.scrollTo(0, 0);")
        self.keys(Keys.ARROW_DOWN, Keys.ARROW_DOWN, Keys.SPACE, Keys.ARROW_RIGHT,
                  Keys.ARROW_LEFT, Keys.ARROW_DOWN)
        time.sleep(0.3)
        self.assertEqual(self.js("return window.scrollY"), 0)
        # The browser's own shortcuts still reach it: the page could scroll.
        ActionChains(self.driver).key_down(Keys.CONTROL).send_keys(Keys.END) \
            .key_up(Keys.CONTROL).perform()
        self.assertTrue(web_lib.wait_for(lambda: self.js("return window.scrollY") > 0, 3))

    def test_a_file_that_did_not_load_is_said_in_one_sentence(self):
        for missing in ("wasm", "data"):
            with self.subTest(missing=missing):
                self.driver.get(self.url + "no-%s/" % missing)
                name = "quillfire." + missing
                said = web_lib.wait_for(lambda: self.js(
                    "var s = document.getElementById('status');"
                    "return s && s.textContent.indexOf(arguments[0]) >= 0 ? s.textContent : null",
                    name), 20)
                self.assertIsNotNone(said, "no sentence for the missing " + name)
                self.assertRegex(said, r"^[^.]+quillfire\.%s[^.]*\.$" % missing)
                self.assertEqual(self.js("return document.getElementById('screen').style.visibility"),
                                 "hidden")

    def replay_in_page(self, mode, name, timeout):
        self.load("?%s=recordings/%s" % (mode, name))
        result = web_lib.wait_for(lambda: self.js("return qfWeb.result"), timeout, step=0.2)
        self.assertIsNotNone(result, "%s of %s never ended" % (mode, name))
        return result

    def test_recordings_replay_with_every_checkpoint_matching(self):
        for mode, name, timeout in (("replay", "short.qfrec", 60),
                                    ("timedemo", "match.qfrec", 60)):
            with self.subTest(recording=name, mode=mode):
                out = tempfile.mkdtemp(prefix="qf-web-replay-")
                desktop = run_runner(["--timedemo", os.path.join(web_lib.ROOT, "tests", "data", name)], out)
                with open(os.path.join(out, "frames.log")) as f:
                    frames = sum(1 for _ in f)
                result = self.replay_in_page(mode, name, timeout)
                self.assertEqual(result["status"], 0, result["lines"])
                self.assertTrue(result["complete"], result["lines"])
                self.assertEqual(result["frames"], frames)
                said = self.js("return document.getElementById('status').textContent")
                if mode == "replay":
                    self.assertEqual(said, "Replay: %d frames, every checkpoint matched." % frames)
                else:
                    print("timedemo of %s: browser %.3f s for %d frames; desktop headless: %s"
                          % (name, result["seconds"], result["frames"], desktop.stdout.strip()))


    def test_a_recording_dropped_on_the_page_replays(self):
        out = tempfile.mkdtemp(prefix="qf-web-drop-")
        run_runner(["--timedemo", os.path.join(web_lib.ROOT, "tests", "data", "short.qfrec")], out)
        with open(os.path.join(out, "frames.log")) as f:
            frames = sum(1 for _ in f)
        self.load()
        self.assertTrue(web_lib.wait_for(lambda: self.js("return window.qfWeb && qfWeb.listening"), 20))
        self.js("""
          fetch("recordings/short.qfrec").then(function (r) { return r.arrayBuffer(); })
            .then(function (bytes) {
              var moved = new DataTransfer();
              moved.items.add(new File([bytes], "short.qfrec"));
              document.dispatchEvent(new DragEvent("drop", {dataTransfer: moved,
                                                            cancelable: true}));
            });""")
        result = web_lib.wait_for(lambda: self.js("return window.qfWeb && qfWeb.result"), 60, step=0.2)
        self.assertIsNotNone(result, "the dropped recording never ended")
        self.assertIn("replay=dropped", self.driver.current_url)
        self.assertEqual((result["mode"], result["status"], result["frames"]), ("replay", 0, frames))

    def test_a_recording_out_of_step_names_the_frame_the_desktop_names(self):
        # A checkpoint changed: a flipped byte after a checkpoint's tag, late
        # enough in the recording that the page plays a while first. The
        # desktop's runner says which frame went out of step.
        with open(os.path.join(web_lib.ROOT, "tests", "data", "short.qfrec"), "rb") as f:
            good = f.read()
        made = tempfile.mkdtemp(prefix="qf-web-bad-")
        web_lib.Handler.made_dir = made
        bad_path = os.path.join(made, "bad.qfrec")
        frame = None
        tags = [p for p in range(16, len(good) - 1) if good[p] == 0x18]
        for at in tags[30:60]:
            bad = bytearray(good)
            bad[at + 1] ^= 0xFF
            with open(bad_path, "wb") as f:
                f.write(bad)
            try:
                run_runner(["--replay", bad_path], made)
            except subprocess.CalledProcessError as failed:
                found = re.search(r"out of step at frame (\d+)", failed.stderr)
                if failed.returncode == 3 and found:
                    frame = int(found.group(1))
                    break
        self.assertIsNotNone(frame, "no changed byte put the desktop out of step")
        self.load("?replay=made/bad.qfrec")
        result = web_lib.wait_for(lambda: self.js("return qfWeb.result"), 60, step=0.2)
        self.assertIsNotNone(result, "the replay never ended")
        self.assertEqual(result["status"], 3, result["lines"])
        self.assertEqual(self.js("return document.getElementById('status').textContent"),
                         "Replay out of step at frame %d." % frame)

    def test_the_canvas_follows_the_page_and_goes_full_screen(self):
        self.load()
        self.assertEqual(web_lib.differing_pixels(self.settled_canvas(self.title, 20), self.title), 0)
        width, height, pixels = self.title
        doubled = bytearray()
        for y in range(height):
            row = bytearray()
            for x in range(width):
                row += pixels[3 * (y * width + x):3 * (y * width + x) + 3] * 2
            doubled += row * 2
        doubled = (1280, 960, bytes(doubled))
        # The desktop's window of 1000 x 750 shows the title so.
        subprocess.run([os.path.join(NATIVE, "tools", "qf_title_scaled"), self.shots, "1000x750"],
                       check=True, capture_output=True)
        sharp = web_lib.ppm_rgb(os.path.join(self.shots, "title_1000x750.ppm"))
        # The page changes while the game waits at the title: the picture
        # follows, in the device's own pixels, filling the largest 4:3 area.
        try:
            for page, ratio, expected in (((1280, 960), 1, doubled),
                                          ((640, 480), 2, doubled),
                                          ((1100, 750), 1, sharp)):
                with self.subTest(page=page, ratio=ratio):
                    web_lib.set_page_size(self.driver, page[0], page[1], ratio)
                    canvas = self.settled_canvas(expected, 10)
                    self.assertEqual(canvas[:2], expected[:2])
                    self.assertEqual(web_lib.differing_pixels(canvas, expected), 0)
        finally:
            web_lib.set_page_size(self.driver, 640, 480)
        self.driver.find_element("id", "fullscreen").click()
        self.assertTrue(web_lib.wait_for(lambda: self.js("return !!document.fullscreenElement"), 5),
                        "the button did not go full screen")
        self.keys(Keys.F11)
        self.assertTrue(web_lib.wait_for(lambda: self.js("return !document.fullscreenElement"), 5),
                        "F11 did not leave full screen")
        ActionChains(self.driver).key_down(Keys.ALT).send_keys(Keys.ENTER) \
            .key_up(Keys.ALT).perform()
        self.assertTrue(web_lib.wait_for(lambda: self.js("return !!document.fullscreenElement"), 5),
                        "Alt+Enter did not go full screen")
        self.keys(Keys.F11)
        self.assertTrue(web_lib.wait_for(lambda: self.js("return !document.fullscreenElement"), 5))
        # Out of full screen again, the title is as it was, pixel for pixel.
        self.assertEqual(web_lib.differing_pixels(self.settled_canvas(self.title, 5), self.title), 0)

    def test_the_rally_keeps_its_pace_and_the_title_leaves_the_processor_alone(self):
        self.load()
        self.assertEqual(web_lib.differing_pixels(self.settled_canvas(self.title, 20), self.title), 0)
        # Waiting for a key, the page only looks for one now and then.
        self.driver.execute_cdp_cmd("Performance.enable", {})
        def busy():
            metrics = self.driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]
            return {m["name"]: m["value"] for m in metrics}["TaskDuration"]
        start_busy, start = busy(), time.monotonic()
        time.sleep(3)
        idle_share = (busy() - start_busy) / (time.monotonic() - start)
        print("the page's main thread busy at the title: %.1f %%" % (100 * idle_share))
        self.assertLess(idle_share, IDLE_BUSY_LIMIT)
        # A rally holds each frame to 20 ms, as on the desktop: 50 a second.
        self.keys("1")
        self.settled_canvas(self.serve, 10)
        self.keys(Keys.SPACE)
        time.sleep(0.5)
        first, start, start_busy = self.js("return qfWeb.presented"), time.monotonic(), busy()
        time.sleep(2)
        rate = (self.js("return qfWeb.presented") - first) / (time.monotonic() - start)
        rally_share = (busy() - start_busy) / (time.monotonic() - start)
        print("frames a second in a rally: %.1f, the main thread busy %.1f %%"
              % (rate, 100 * rally_share))
        self.assertGreater(rate, 49)
        self.assertLess(rate, 51)

    def test_the_site_keeps_to_its_weight(self):
        names = sorted(os.listdir(SITE))
        self.assertEqual(names, ["index.html", "quillfire.data", "quillfire.js", "quillfire.wasm"])
        plain = packed = 0
        for name in names:
            with open(os.path.join(SITE, name), "rb") as f:
                data = f.read()
            plain += len(data)
            packed += len(gzip.compress(data, 9))
        print("the site: %d bytes, %d gzip-compressed" % (plain, packed))
        self.assertLessEqual(plain, SITE_BUDGET_BYTES)
        self.assertLessEqual(packed, SITE_GZIP_BUDGET_BYTES)

    def test_quitting_at_the_title_ends_the_game_and_the_page_says_so(self):
        self.load()
        self.assertEqual(web_lib.differing_pixels(self.settled_canvas(self.title, 20), self.title), 0)
        self.keys("q")
        result = web_lib.wait_for(lambda: self.js("return qfWeb.result"), 10)
        self.assertIsNotNone(result, "Q did not end the game")
        self.assertEqual((result["mode"], result["status"]), ("play", 0))
        self.assertIn("Reload the page to play again",
                      self.js("return document.getElementById('status').textContent"))

    def test_a_pad_chooses_at_the_title_as_on_the_desktop(self):
        # A standard-mapping pad whose A button is held: it chooses one
        # player at the title, as 1 does (the runner's serve prompt).
        self.load()
        self.assertIsNotNone(web_lib.wait_for(lambda: self.js("return window.qfWeb && qfWeb.listening"), 20))
        self.assertEqual(web_lib.differing_pixels(self.settled_canvas(self.title, 10), self.title), 0)
        self.js("""
          var pressed = {pressed: true, value: 1}, up = {pressed: false, value: 0};
          var buttons = [];
          for (var i = 0; i < 17; i++) buttons.push(i === 0 ? pressed : up);
          var pad = {connected: true, index: 0, mapping: "standard",
                     buttons: buttons, axes: [0, 0, 0, 0]};
          navigator.getGamepads = function () { return [pad]; };
          setTimeout(function () { buttons[0] = up; }, 150);""")
        canvas = self.settled_canvas(self.serve, 10)
        self.assertEqual(web_lib.differing_pixels(canvas, self.serve), 0)

    def test_a_hidden_page_pauses_the_rally(self):
        self.load()
        self.assertEqual(web_lib.differing_pixels(self.settled_canvas(self.title, 20), self.title), 0)
        self.keys("1")
        self.settled_canvas(self.serve, 10)
        self.keys(Keys.SPACE)
        time.sleep(0.3)
        moving = [web_lib.canvas_rgb(self.driver) for _ in range(2)]
        self.assertGreater(web_lib.differing_pixels(*moving), 0, "the rally does not run")
        game = self.driver.current_window_handle
        self.driver.switch_to.new_window("tab")
        time.sleep(0.5)
        self.driver.close()
        self.driver.switch_to.window(game)
        self.assertEqual(self.js("return document.hidden"), False)
        time.sleep(0.3)
        still = [web_lib.canvas_rgb(self.driver)]
        time.sleep(0.5)
        still.append(web_lib.canvas_rgb(self.driver))
        self.assertEqual(web_lib.differing_pixels(*still), 0,
                         "the rally ran on after the page was hidden")
        self.keys("p")
        time.sleep(0.3)
        self.assertGreater(web_lib.differing_pixels(web_lib.canvas_rgb(self.driver), still[1]), 0,
                           "P did not take the rally out of its pause")


def main():
    global SITE, NATIVE
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    SITE, NATIVE = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    sys.argv[1:] = sys.argv[3:]
    result = unittest.main(verbosity=2, exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
