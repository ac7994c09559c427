"""The X tests' screenshots (binary PPM, from xwd | convert) and the game's
640 x 480 picture in them, at twice its size, centred in 1280 x 1024.

  screenshot.py title FILE   exit 0 when FILE shows the title picture (many
                             colours where it lies, black to its left), not
                             the black screen a game without its pictures
                             shows
"""
import sys


def read_ppm(path):
    """(width, height, RGB bytes) of a binary PPM."""
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def logical(image, x, y):
    """The colour of the game's pixel (x, y)."""
    width, height, pixels = image
    i = 3 * (((height - 960) // 2 + 2 * y) * width + 2 * x)
    return tuple(pixels[i:i + 3])


def colours(image, x0, y0, x1, y1):
    """The colours of every third game pixel of a rectangle."""
    return {logical(image, x, y)
            for y in range(y0, y1, 3) for x in range(x0, x1, 3)}


def title_shown(image):
    title = colours(image, 20, 20, 639, 479)
    band = colours(image, 0, 30, 18, 470)
    print(f"{len(title)} colours in the title, left band {sorted(band)[:3]}")
    return len(title) >= 8 and band == {(0, 0, 0)}


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] != "title":
        sys.exit(__doc__)
    sys.exit(0 if title_shown(read_ppm(sys.argv[2])) else 1)
