"""Glyph model and composition helpers shared by the stroke-font generators.

A glyph is a list of strokes (polylines) in grid units, y up, base line at 0;
coordinates are multiples of 0.5.  Composition (accents, ligatures, variants)
works on these lists; the emitter (pack.py) later finds strokes that are
translated copies of stored ones and references them with an offset instead
of storing the points again.
"""
from __future__ import annotations

import math

import hershey


class Glyph:
    def __init__(self, strokes=None):
        self.strokes = [list(s) for s in (strokes or [])]

    def copy(self):
        return Glyph(self.strokes)

    def points(self):
        return [p for s in self.strokes for p in s]

    def bbox(self):
        pts = self.points()
        if not pts:
            return None
        xs = [p[0] for p in pts]
        ys = [p[1] for p in pts]
        return min(xs), min(ys), max(xs), max(ys)

    def moved(self, dx, dy):
        return Glyph([[(x + dx, y + dy) for x, y in s] for s in self.strokes])

    def mapped(self, f):
        return Glyph([[f(x, y) for x, y in s] for s in self.strokes])

    def __add__(self, other):
        return Glyph(self.strokes + other.strokes)

    def without(self, pred):
        """Drop the strokes whose points all satisfy pred(x, y)."""
        return Glyph([s for s in self.strokes if not all(pred(x, y) for x, y in s)])

    def only(self, pred):
        return Glyph([s for s in self.strokes if all(pred(x, y) for x, y in s)])

    def top_center(self, band=0.3):
        """x centre of the points in the top band of the glyph (follows slant)."""
        x0, y0, x1, y1 = self.bbox()
        lim = y1 - band * max(y1 - y0, 1)
        xs = [x for x, y in self.points() if y >= lim]
        return (min(xs) + max(xs)) / 2

    def bottom_center(self, band=0.3):
        x0, y0, x1, y1 = self.bbox()
        lim = y0 + band * max(y1 - y0, 1)
        xs = [x for x, y in self.points() if y <= lim]
        return (min(xs) + max(xs)) / 2

    def crossings(self, y):
        """x values where the strokes cross the horizontal line at y."""
        out = []
        for s in self.strokes:
            for (xa, ya), (xb, yb) in zip(s, s[1:]):
                if (ya - y) * (yb - y) <= 0 and ya != yb:
                    out.append(xa + (xb - xa) * (y - ya) / (yb - ya))
        return out


def from_hershey(g: hershey.Glyph) -> Glyph:
    """Hershey y grows downward with the base line at 9."""
    return Glyph([[(x, 9 - y) for x, y in s] for s in g.strokes])


def line(*pts):
    return Glyph([list(pts)])


def snap(v):
    return round(v * 2) / 2


def circle(cx, cy, r, n=None, start=None):
    """Polygon of a circle on the integer grid, symmetric about both axes."""
    if n is None:
        n = max(8, 4 * round(2 * math.pi * r / 6))
    if start is None:
        start = 180.0 / n
    pts = []
    for k in range(n + 1):
        a = math.radians(start + 360.0 * k / n)
        pts.append((round(cx + r * math.cos(a)), round(cy + r * math.sin(a))))
    # drop consecutive duplicates produced by rounding
    out = [pts[0]]
    for p in pts[1:]:
        if p != out[-1]:
            out.append(p)
    return Glyph([out])


def clip_x(g: Glyph, xmin=-math.inf, xmax=math.inf) -> Glyph:
    """Cut the strokes at two vertical lines, keeping the part between them."""
    def clip_seg(a, b):
        (xa, ya), (xb, yb) = a, b
        t0, t1 = 0.0, 1.0
        dx = xb - xa
        for lim, keep_below in ((xmin, False), (xmax, True)):
            if math.isinf(lim):
                continue
            if dx == 0:
                if (xa > lim) if keep_below else (xa < lim):
                    return None
                continue
            t = (lim - xa) / dx
            entering = (dx < 0) if keep_below else (dx > 0)
            if entering:
                t0 = max(t0, t)
            else:
                t1 = min(t1, t)
        if t0 > t1:
            return None
        pa = (snap(xa + t0 * dx), snap(ya + t0 * (yb - ya)))
        pb = (snap(xa + t1 * dx), snap(ya + t1 * (yb - ya)))
        return pa, pb

    out = []
    for s in g.strokes:
        if len(s) == 1:
            if xmin <= s[0][0] <= xmax:
                out.append(list(s))
            continue
        cur = []
        for a, b in zip(s, s[1:]):
            seg = clip_seg(a, b)
            if seg is None:
                if len(cur) > 1:
                    out.append(cur)
                cur = []
                continue
            if cur and cur[-1] == seg[0]:
                cur.append(seg[1])
            else:
                if len(cur) > 1:
                    out.append(cur)
                cur = [seg[0], seg[1]]
        if len(cur) > 1:
            out.append(cur)
    return Glyph(out)


def clip_y(g: Glyph, ymin=-math.inf, ymax=math.inf) -> Glyph:
    """Cut the strokes at two horizontal lines, keeping the part between them."""
    swapped = g.mapped(lambda x, y: (y, x))
    return clip_x(swapped, ymin, ymax).mapped(lambda x, y: (y, x))
