#!/usr/bin/env python3
"""Generates the outline fonts 11..14 (src/text/fontdata/outline_fonts.cpp).

    python3 tools/fonts/gen_outline_fonts.py

Reads TrueType files of the Debian package fonts-liberation2 with fontTools
(only this script needs it; the build uses the generated file).  Each glyph
becomes a set of closed contours on a 200-unit grid (cap height = 200),
quadratic curves flattened to polygons.  One contour is one piece of the
glyph record, its first point not repeated; all contours of a glyph together
stay within 200 points when every contour is closed by repeating its first
point, the size of the engine's fill buffer.  Components of composite glyphs
(accented letters) are stored once and reused with an offset.
"""
from __future__ import annotations

import math
import os
import sys

from fontTools.pens.basePen import BasePen
from fontTools.ttLib import TTFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import codes  # noqa: E402
from emit import AlphabetOut, write_file  # noqa: E402
from glyphs import Glyph  # noqa: E402
from pack import Pool  # noqa: E402

TT_DIR = "/usr/share/fonts/truetype/liberation2"
GRID = 200
MAX_POLY = 200   # fill buffer of the engine, closing points included
N_CHARS = 132

FONTS = [
    # (C++ name, file, horizontal factor, note)
    ("Helve", "LiberationSans-Regular.ttf", 1.0, "Liberation Sans Regular"),
    ("Helves", "LiberationSans-Regular.ttf", 0.82, "Liberation Sans Regular, 82 % wide"),
    ("Helvet", "LiberationSans-Bold.ttf", 1.0, "Liberation Sans Bold"),
    ("Serif", "LiberationSerif-Regular.ttf", 1.0, "Liberation Serif Regular"),
]


class ContourPen(BasePen):
    """Collects contours as lists of points, flattening quadratic curves."""

    def __init__(self, glyphset, tol):
        super().__init__(glyphset)
        self.tol = tol
        self.contours = []
        self.cur = None

    def _moveTo(self, p):
        self.cur = [p]

    def _lineTo(self, p):
        self.cur.append(p)

    def _qCurveToOne(self, p1, p2):
        p0 = self.cur[-1]
        dev = math.hypot(p0[0] - 2 * p1[0] + p2[0], p0[1] - 2 * p1[1] + p2[1]) / 4
        n = max(1, math.ceil(math.sqrt(dev / self.tol)))
        for k in range(1, n + 1):
            t = k / n
            a, b, c = (1 - t) ** 2, 2 * t * (1 - t), t * t
            self.cur.append((a * p0[0] + b * p1[0] + c * p2[0], a * p0[1] + b * p1[1] + c * p2[1]))

    def _curveToOne(self, p1, p2, p3):
        p0 = self.cur[-1]
        for k in range(1, 9):
            t = k / 8
            mt = 1 - t
            self.cur.append(tuple(mt ** 3 * p0[i] + 3 * mt * mt * t * p1[i] + 3 * mt * t * t * p2[i]
                                  + t ** 3 * p3[i] for i in (0, 1)))

    def _closePath(self):
        if self.cur and len(self.cur) > 2:
            self.contours.append(self.cur)
        self.cur = None

    _endPath = _closePath


def simplify(points, eps):
    """Douglas-Peucker reduction of an open polyline (ends kept)."""
    if len(points) < 3:
        return list(points)
    keep = [False] * len(points)
    keep[0] = keep[-1] = True
    stack = [(0, len(points) - 1)]
    while stack:
        i, j = stack.pop()
        (xa, ya), (xb, yb) = points[i], points[j]
        dx, dy = xb - xa, yb - ya
        norm = math.hypot(dx, dy)
        best, bi = -1.0, -1
        for k in range(i + 1, j):
            x, y = points[k]
            if norm == 0:
                d = math.hypot(x - xa, y - ya)
            else:
                d = abs(dy * (x - xa) - dx * (y - ya)) / norm
            if d > best:
                best, bi = d, k
        if bi >= 0 and best > eps:
            keep[bi] = True
            stack.append((i, bi))
            stack.append((bi, j))
    return [p for p, k in zip(points, keep) if k]


def clean(points, eps=0.3):
    """Integer polygon without repeated or collinear points, first not repeated."""
    pts = []
    points = simplify(list(points) + [points[0]], eps)
    for p in points:
        q = (int(round(p[0])), int(round(p[1])))
        if not pts or q != pts[-1]:
            pts.append(q)
    while len(pts) > 1 and pts[0] == pts[-1]:
        pts.pop()
    changed = True
    while changed and len(pts) > 3:
        changed = False
        out = []
        n = len(pts)
        for i in range(n):
            a, b, c = pts[i - 1], pts[i], pts[(i + 1) % n]
            cross = (b[0] - a[0]) * (c[1] - b[1]) - (b[1] - a[1]) * (c[0] - b[0])
            if cross == 0 and (b[0] - a[0]) * (c[0] - b[0]) + (b[1] - a[1]) * (c[1] - b[1]) >= 0:
                changed = True
                continue
            out.append(b)
        pts = out
    return pts


class OutlineSource:
    def __init__(self, path, xfactor):
        self.font = TTFont(path)
        self.glyf = self.font["glyf"]
        self.gs = self.font.getGlyphSet()
        self.cmap = self.font.getBestCmap()
        self.scale = GRID / self.font["OS/2"].sCapHeight
        self.xf = xfactor
        self.cache = {}

    def simple_contours(self, name, tol):
        """Contours of a glyph (composites resolved) in grid units, not rounded."""
        pen = ContourPen(self.gs, tol / self.scale)
        self.gs[name].draw(pen)
        s = self.scale
        return [[(x * s * self.xf, y * s) for x, y in c] for c in pen.contours]

    def parts(self, name, tol):
        """[(contours of a component, (dx, dy))]: components keep their own points."""
        g = self.glyf[name]
        if g.isComposite() and all(not hasattr(c, "transform") for c in g.components):
            out = []
            for c in g.components:
                dx = 2 * round(c.x * self.scale * self.xf / 2)
                dy = 2 * round(c.y * self.scale / 2)
                for contours, (ex, ey) in self.parts(c.glyphName, tol):
                    out.append((contours, (ex + dx, ey + dy)))
            return out
        return [([clean(c, max(0.3, tol * 3)) for c in self.simple_contours(name, tol)], (0, 0))]

    def glyph(self, ch):
        name = self.cmap.get(ord(ch))
        if name is None:
            raise KeyError("%r missing in %s" % (ch, self.font.reader.file.name))
        tol = 0.08
        while True:
            parts = self.parts(name, tol)
            total = sum(len(c) + 1 for cs, _ in parts for c in cs if len(c) > 2)
            if total <= MAX_POLY:
                break
            tol *= 1.4
        strokes = []
        for cs, (dx, dy) in parts:
            for c in cs:
                if len(c) > 2:
                    strokes.append([(x + dx, y + dy) for x, y in c])
        g = Glyph(strokes)
        if strokes:
            # even shift keeps components reusable with the 2-unit offset step
            x0 = g.bbox()[0]
            g = g.moved(-2 * math.floor(x0 / 2), 0)
        return g


def main():
    alphas, pools, slanted = [], [], []
    layout = codes.stan_layout(N_CHARS)
    for cname, fname, xf, note in FONTS:
        src = OutlineSource(os.path.join(TT_DIR, fname), xf)
        glyphs = [Glyph()] + [src.glyph(ch) for ch in layout[1:]]
        pool = Pool(2.0, coord_range=(-32768, 32767))
        stan = AlphabetOut(cname + "Stan", glyphs, [ord(c) for c in layout], pool,
                           (GRID, GRID), 0.2, left=None, storage="kSplit")
        alphas.append((stan, "k" + cname))
        slanted.append(("k%sItal" % cname, stan))
        pools.append(("k" + cname, pool, "kSplit"))
    notes = "; ".join("%s: %s" % (c, n) for c, _, _, n in FONTS)
    path = write_file("outline_fonts.cpp", "gen_outline_fonts.py",
                      "Outlines from the Liberation fonts (SIL Open Font License 1.1): " + notes,
                      pools, alphas, slanted)
    print("wrote", os.path.relpath(path), os.path.getsize(path), "bytes")


if __name__ == "__main__":
    main()
