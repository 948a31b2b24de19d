#!/usr/bin/env python3
"""The HTML report of tarsel-report drawn by headless Chromium (Debian's chromium): in a
screenshot of the page 800 pixels wide, each bar's drawn length must follow the medians
of the report's CSV (the longest median of a test is 400 pixels), bar for bar, fastest
first.

Usage: check_html_bars.py TARSEL_REPORT SAMPLES_FOLDER [SCREENSHOT.png]
"""

import csv
import io
import os
import struct
import subprocess
import sys
import tempfile
import zlib

LONGEST_BAR = 400
# Settled, not settled; the fastest bar green, light when not settled. Its mark, the word
# "fastest" on it, leaves the bar's top row whole.
BAR_COLOURS = {(0x33, 0x66, 0xcc), (0x99, 0xaa, 0xcc), (0x66, 0xbb, 0x66), (0xbb, 0xdd, 0xbb)}
TOLERANCE = 1.5  # pixels: the page rounds to whole pixels


def read_png(path):
    """Returns (width, height, rows of (r, g, b) tuples) of an 8-bit RGB or RGBA PNG."""
    with open(path, "rb") as png:
        data = png.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG")
    position, idat, header = 8, b"", None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        position += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError("PNG of depth %d, colour type %d, interlace %d" % (depth, colour, interlace))
    channels = 3 if colour == 2 else 4
    stride = width * channels
    raw = zlib.decompress(idat)
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            left = line[x - channels] if x >= channels else 0
            up = previous[x]
            corner = previous[x - channels] if x >= channels else 0
            if kind == 1:
                line[x] = (line[x] + left) & 0xFF
            elif kind == 2:
                line[x] = (line[x] + up) & 0xFF
            elif kind == 3:
                line[x] = (line[x] + (left + up) // 2) & 0xFF
            elif kind == 4:
                estimate = left + up - corner
                pa, pb, pc = abs(estimate - left), abs(estimate - up), abs(estimate - corner)
                line[x] = (line[x] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        rows.append([tuple(line[x:x + 3]) for x in range(0, stride, channels)])
        previous = line
    return width, height, rows


def drawn_bars(rows):
    """The length of each bar, top to bottom: a bar is a run of rows holding bar pixels."""
    bars, inside = [], False
    for row in rows:
        length = sum(1 for pixel in row if pixel in BAR_COLOURS)
        if length and not inside:
            bars.append(length)
        inside = length > 0
    return bars


def main(program, folder, keep=None):
    program = os.path.abspath(program)
    report = lambda fmt: subprocess.run([program, "--format", fmt, "sample"], cwd=folder,
                                        check=True, capture_output=True).stdout
    rows = list(csv.DictReader(io.StringIO(report("csv").decode("utf-8-sig", "replace"))))
    # The bars of one test, fastest first, scaled to its longest median.
    expected, tests = [], {}
    for row in rows:
        if row["median"]:
            tests.setdefault((row["section"], row["test"]), []).append(float(row["median"]))
    for medians in tests.values():
        expected += [LONGEST_BAR * median / max(medians) for median in sorted(medians)]
    with tempfile.TemporaryDirectory() as work:
        page = os.path.join(work, "report.html")
        with open(page, "wb") as out:
            out.write(report("html"))
        shot = keep or os.path.join(work, "shot.png")
        command = ["chromium", "--headless", "--disable-gpu", "--hide-scrollbars",
                   "--force-device-scale-factor=1", "--window-size=800,3000",
                   "--user-data-dir=" + os.path.join(work, "profile"),
                   "--screenshot=" + shot, "file://" + page]
        if os.geteuid() == 0:
            command.insert(1, "--no-sandbox")
        subprocess.run(command, check=True, capture_output=True, timeout=120)
        _, _, pixels = read_png(shot)
    drawn = drawn_bars(pixels)
    print("bars expected (px): %s" % ", ".join("%.1f" % e for e in expected))
    print("bars drawn (px):    %s" % ", ".join(str(d) for d in drawn))
    if len(drawn) != len(expected) or any(abs(d - e) > TOLERANCE for d, e in zip(drawn, expected)):
        print("FAILED: the drawn bars do not follow the medians")
        return 1
    print("%d bars follow the medians" % len(drawn))
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
