"""Helpers of the 3-D tests: a plot read back from the library metafile, and an independent
model of the 3-D projection (box coordinates -> plot coordinates) written from the formulas."""
import math

from conftest import metafile_paths, read_metafile

PI_S = 3.1415927           # the single-precision pi of the angle settings
LIMITS = (-3.0, 3.0, -3.0, 1.0)


def run(tv, body, before=None, fmt=None):
    """Strokes (lists of (x, y) in plot units) and colour records of the page drawn by body;
    with fmt the name of the written file instead."""
    if fmt:
        tv.metafl(fmt)
        tv.filmod("delete")
    if before:
        before(tv)
    tv.tavini()
    tv.unit(0)
    w, h = tv.getpag()
    name = tv.getfil()
    body(tv)
    tv.tavfin()
    if fmt:
        return name
    _, fields = read_metafile(name)
    colours, paths = metafile_paths(fields)
    s = max(w, h) - 1
    return [[(x * s, (h - 1) - y * s) for x, y in st] for st in paths if len(st) > 1], colours


def cube(tv, axes=True):
    """A 3-D axis system over -3..3 on all axes (box 2 x 2 x 2 by default)."""
    if not axes:
        tv.nograf()
    tv.graf3d(*LIMITS, *LIMITS, *LIMITS)


class View:
    """The projection of the default axis-system area with the given settings."""

    def __init__(self, eye=None, focus=(0, 0, 0), up=0.0, angle=None, near=1.0, far=-1.0,
                 ortho=False, box=(2, 2, 2), area=(494, 1799, 1980, 1400)):
        self.box = box
        if eye is None:
            eye = (2 * box[0], -2.5 * box[1], 2 * box[2])
        half = math.atan(0.25) if angle is None else angle * PI_S / 360
        ex, ey, ez = eye
        dx, dy, dz = ex - focus[0], ey - focus[1], ez - focus[2]
        u = up * PI_S / 180
        c, s = math.cos(u), math.sin(u)
        r = math.hypot(dx, dy)
        if r < 1e-6:
            m = [[c, -s, 0, s * ey - c * ex], [s, c, 0, -ex * s - ey * c], [0, 0, -1, ez]]
        else:
            big = math.sqrt(r * r + dz * dz)
            a, b, p, q = dy / r, dx / r, r / big, dz / big
            g = -(ex * b) - ey * a
            hh = -p * ez - g * q
            k = a * ex - b * ey
            m = [[q * b * s - a * c, q * a * s + b * c, -p * s, k * c - hh * s],
                 [-a * s - q * b * c, b * s - q * a * c, p * c, c * hh + s * k],
                 [-b * p, -a * p, -q, q * ez - p * g]]
        if not ortho:
            t = math.tan(half) * near
            if far <= 0:
                f2 = f3 = t / near
                o = -t
            else:
                v = 1 - near / far
                f3, f2, o = t / near, t / (v * near), -t / v
            m.append([f3 * e for e in m[2]])
            m[2] = [f2 * e for e in m[2]]
            m[2][3] += o
        else:
            m.append([0, 0, 0, 2.0])
            far = far if far > 0 else 2 * math.sqrt(ex * ex + ey * ey + ez * ez)
            m[2] = [e / far for e in m[2]]
        self.m = m
        x0, y0, w, h = area
        self.cx, self.cy, self.s = x0 + w / 2, y0 - h / 2, min(w, h) / 2

    def homogeneous(self, b):
        return [row[0] * b[0] + row[1] * b[1] + row[2] * b[2] + row[3] for row in self.m]

    def plot(self, b):
        xh, yh, _, w = self.homogeneous(b)
        return self.cx + self.s * xh / w, self.cy - self.s * yh / w


def box_of(u, lo=-3.0, hi=3.0, length=2.0):
    return (u - lo) * length / (hi - lo) - length / 2


def inside_polygon(pt, poly):
    """Even-odd test of a point against a polygon (list of (x, y))."""
    x, y = pt
    inside = False
    n = len(poly)
    for i in range(n):
        (x1, y1), (x2, y2) = poly[i], poly[(i + 1) % n]
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def distance_to_polygon(pt, poly):
    """Distance of a point from the edges of a polygon."""
    best = float("inf")
    px, py = pt
    n = len(poly)
    for i in range(n):
        (x1, y1), (x2, y2) = poly[i], poly[(i + 1) % n]
        dx, dy = x2 - x1, y2 - y1
        t = max(0.0, min(1.0, ((px - x1) * dx + (py - y1) * dy) / (dx * dx + dy * dy or 1)))
        best = min(best, math.hypot(px - x1 - t * dx, py - y1 - t * dy))
    return best


def stroke_length(st):
    return sum(math.hypot(b[0] - a[0], b[1] - a[1]) for a, b in zip(st, st[1:]))
