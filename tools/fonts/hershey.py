"""Reader for Hershey stroke glyphs in James Hurt's text format (.jhf).

One glyph per record: a 5-column id, a 3-column vertex count, then pairs of
characters, each coordinate being ord(c) - ord('R').  The first pair holds the
left and right bounds; the pair " R" lifts the pen.  Hershey y grows downward,
the cap line is at -12 and the base line at +9.
"""
from __future__ import annotations

import os

HERSHEY_DIR = "/usr/share/hershey-fonts"


class Glyph:
    __slots__ = ("left", "right", "strokes")

    def __init__(self, left, right, strokes):
        self.left = left
        self.right = right
        self.strokes = strokes  # list of [(x, y), ...], Hershey coordinates

    def bbox(self):
        pts = [p for s in self.strokes for p in s]
        if not pts:
            return None
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        return min(xs), min(ys), max(xs), max(ys)


def _records(text):
    """Yield raw records; a record may be wrapped over several lines."""
    lines = text.split("\n")
    i = 0
    while i < len(lines):
        line = lines[i].rstrip("\r")
        i += 1
        if not line.strip():
            continue
        count = int(line[5:8])
        body = line[8:]
        while len(body) < 2 * count and i < len(lines):
            body += lines[i].rstrip("\r")
            i += 1
        yield int(line[0:5]), count, body


def parse(text):
    glyphs = []
    for _gid, count, body in _records(text):
        left = ord(body[0]) - 82
        right = ord(body[1]) - 82
        strokes, cur = [], []
        for k in range(1, count):
            a, b = body[2 * k], body[2 * k + 1]
            if a == " " and b == "R":
                if cur:
                    strokes.append(cur)
                cur = []
            else:
                cur.append((ord(a) - 82, ord(b) - 82))
        if cur:
            strokes.append(cur)
        glyphs.append(Glyph(left, right, strokes))
    return glyphs


def load(name):
    """Load a family by file stem; element 0 is the blank (code 32)."""
    with open(os.path.join(HERSHEY_DIR, name + ".jhf"), encoding="latin-1") as f:
        return parse(f.read())
