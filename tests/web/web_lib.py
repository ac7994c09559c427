"""What the browser tests share: a static server on 127.0.0.1 over the
built site (and the recordings), headless Chromium driven by Selenium, the
canvas's pixels read back, and the headless runner's PNG shots read."""
import base64
import functools
import http.server
import os
import struct
import threading
import time
import zlib

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class Handler(http.server.SimpleHTTPRequestHandler):
    """The site as any static server gives it; /recordings/ is tests/data,
    /made/ the folder a test made files in (made_dir), and a path under
    /no-wasm/ or /no-data/ is the site without its quillfire.wasm or
    quillfire.data."""

    made_dir = None

    def translate_path(self, path):
        path = path.split("?", 1)[0]
        if path.startswith("/recordings/"):
            return os.path.join(ROOT, "tests", "data", os.path.basename(path))
        if path.startswith("/made/") and self.made_dir:
            return os.path.join(self.made_dir, os.path.basename(path))
        for missing in ("wasm", "data"):
            if path.startswith("/no-%s/" % missing):
                path = path[len("/no-%s" % missing):]
                if path.endswith("quillfire." + missing):
                    return os.path.join(self.directory, "no-such-file")
        return super().translate_path(path)

    def log_message(self, *args):
        pass


def serve(site):
    """Starts the server on a free port; returns (server, base URL)."""
    handler = functools.partial(Handler, directory=site)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, "http://127.0.0.1:%d/" % server.server_address[1]


def browser(width=640, height=480):
    """Headless Chromium whose page is width x height CSS pixels at one
    device pixel each, so the canvas is 640 x 480 at scale 1."""
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ("--headless=new", "--no-sandbox", "--disable-gpu",
                 "--disable-dev-shm-usage", "--window-size=%d,%d" % (width, height)):
        options.add_argument(flag)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"),
                              options=options)
    set_page_size(driver, width, height)
    return driver


def set_page_size(driver, width, height, pixel_ratio=1):
    """The page's inside, in CSS pixels of `pixel_ratio` device pixels."""
    driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
        "width": width, "height": height, "deviceScaleFactor": pixel_ratio,
        "mobile": False})


def ppm_rgb(path):
    """(width, height, bytes) of a binary PPM (P6, 255)."""
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    assert fields[0] == b"P6" and fields[3] == b"255", fields
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[pos + 1:pos + 1 + width * height * 3]


def wait_for(what, timeout, step=0.02):
    """Calls what() until it gives something true; returns it, or None."""
    end = time.monotonic() + timeout
    while True:
        value = what()
        if value:
            return value
        if time.monotonic() > end:
            return None
        time.sleep(step)


def canvas_rgb(driver):
    """(width, height, bytes) of the canvas, three bytes a pixel."""
    width, height, data = driver.execute_script("""
        var c = document.getElementById("screen");
        var d = c.getContext("2d").getImageData(0, 0, c.width, c.height).data;
        var s = "";
        for (var i = 0; i < d.length; i += 4) {
          s += String.fromCharCode(d[i], d[i + 1], d[i + 2]);
        }
        return [c.width, c.height, btoa(s)];""")
    return width, height, base64.b64decode(data)


def png_rgb(path):
    """(width, height, bytes) of an 8-bit palette, RGB or RGBA PNG, three
    bytes a pixel."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos, idat, palette = 8, b"", b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert depth == 8 and colour in (2, 3, 6), (depth, colour)
            channels = {2: 3, 3: 1, 6: 4}[colour]
        elif kind == b"PLTE":
            palette = body
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    out, previous = bytearray(), bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = row[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                row[i] = (row[i] + left) & 255
            elif kind == 2:
                row[i] = (row[i] + up) & 255
            elif kind == 3:
                row[i] = (row[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                pred = left if pa <= pb and pa <= pc else (up if pb <= pc else corner)
                row[i] = (row[i] + pred) & 255
        previous = row
        if channels == 1:
            for index in row:
                out += palette[index * 3:index * 3 + 3]
        else:
            for x in range(width):
                out += row[x * channels:x * channels + 3]
    return width, height, bytes(out)


def differing_pixels(a, b):
    """How many pixels of two (width, height, bytes) pictures differ."""
    assert a[:2] == b[:2], (a[:2], b[:2])
    return sum(1 for i in range(0, len(a[2]), 3) if a[2][i:i + 3] != b[2][i:i + 3])
