"""Packing of glyphs into a coordinate pool and a glyph index.

Index format (signed 16-bit words), one record per code from 33 on:
    record = [length including this word, piece, piece, ...]
    piece  = [n, s]            n points from point s (1-based) of the pool
           | [-n, s, offset]   the same points shifted by the offset word
The offset word packs a signed x in its low byte and a signed y in its high
byte; the reader multiplies it by OFFSET_SCALE of the storage form (0.5 grid
units for packed stroke fonts, 2.0 for split outline fonts).

A stroke that is a translated copy of a stored one is referenced with an
offset instead of being stored again; this is how accents, dots and repeated
serifs share their points.
"""
from __future__ import annotations

import math


def pack_word(x, y):
    assert -128 <= x <= 127 and -128 <= y <= 127, (x, y)
    w = ((y & 0xFF) << 8) | (x & 0xFF)
    return w - 0x10000 if w >= 0x8000 else w


class Pool:
    def __init__(self, offset_scale, coord_range=(-128, 127)):
        self.scale = offset_scale
        self.lo, self.hi = coord_range
        self.points = []
        self.exact = {}    # tuple(points) -> start (1-based)
        self.shapes = {}   # relative shape -> [(start, first point)]

    def _base(self, pts):
        """Split a stroke into integer points and a common sub-unit offset."""
        fx = pts[0][0] - math.floor(pts[0][0])
        fy = pts[0][1] - math.floor(pts[0][1])
        # points off the grid of the first one are rounded onto it
        ints = [(int(round(x - fx)), int(round(y - fy))) for x, y in pts]
        return ints, (fx, fy)

    def _offset_words(self, ox, oy):
        wx, wy = ox / self.scale, oy / self.scale
        if abs(wx - round(wx)) > 1e-6 or abs(wy - round(wy)) > 1e-6:
            return None
        wx, wy = int(round(wx)), int(round(wy))
        if -128 <= wx <= 127 and -128 <= wy <= 127:
            return wx, wy
        return None

    def piece(self, pts):
        """Return the index words of one piece drawing the stroke pts."""
        if len(pts) == 1:
            pts = [pts[0], pts[0]]
        ints, (fx, fy) = self._base(pts)
        key = tuple(ints)
        n = len(ints)
        if key in self.exact:
            s = self.exact[key]
            if fx == 0 and fy == 0:
                return [n, s]
            w = self._offset_words(fx, fy)
            if w is not None:
                return [-n, s, pack_word(*w)]
        x0, y0 = ints[0]
        rel = tuple((x - x0, y - y0) for x, y in ints)
        if n > 1:
            for s, (sx, sy) in self.shapes.get(rel, ()):
                w = self._offset_words(x0 - sx + fx, y0 - sy + fy)
                if w is not None:
                    return [-n, s, pack_word(*w)]
        # store the stroke; keep the stored copy inside the coordinate range
        sx, sy = x0, y0
        for x, y in ints:
            if not (self.lo <= x <= self.hi and self.lo <= y <= self.hi):
                raise ValueError("coordinate out of range: %r" % ((x, y),))
        s = len(self.points) + 1
        self.points.extend(ints)
        self.exact[key] = s
        self.shapes.setdefault(rel, []).append((s, (sx, sy)))
        if fx == 0 and fy == 0:
            return [n, s]
        w = self._offset_words(fx, fy)
        if w is None:
            raise ValueError("sub-unit offset not representable")
        return [-n, s, pack_word(*w)]


class IndexBuilder:
    def __init__(self, pool):
        self.pool = pool
        self.words = []
        self.starts = []

    def add(self, strokes):
        rec = []
        for s in strokes:
            rec.extend(self.pool.piece(s))
        self.starts.append(len(self.words))
        self.words.append(len(rec) + 1)
        self.words.extend(rec)


def decode_record(words, pos):
    """Yield (n, start, ox_word, oy_word) of the record starting at pos."""
    end = pos + words[pos]
    i = pos + 1
    while i < end:
        n = words[i]
        if n > 0:
            yield n, words[i + 1], 0, 0
            i += 2
        else:
            w = words[i + 2] & 0xFFFF
            ox = w & 0xFF
            oy = w >> 8
            yield -n, words[i + 1], ox - 256 if ox > 127 else ox, oy - 256 if oy > 127 else oy
            i += 3
