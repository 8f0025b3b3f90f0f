"""Contours: labelled contour lines over shaded bands, a curvilinear grid, and scattered data
triangulated and shaded.

Rendered by examples/render_gallery.py (one plot between tavini and tavfin).
"""
import math
import random

TITLE = "Contours"


def frange(a, b, n):
    return [a + (b - a) * i / (n - 1) for i in range(n)]


def hills(x, y):
    return (math.exp(-((x - 0.8) ** 2 + (y - 0.4) ** 2) * 1.5) * 2.2
            - math.exp(-((x + 0.9) ** 2 + (y + 0.5) ** 2) * 1.2) * 1.8
            + 0.25 * x)


def draw(tv):
    tv.height(24)
    tv.hname(30)

    # shaded bands with labelled lines on a rectangular grid
    xs = frange(-2.5, 2.5, 61)
    ys = frange(-2.0, 2.0, 49)
    z = [hills(x, y) for x in xs for y in ys]
    levels = [-2.0 + 0.4 * k for k in range(12)]
    tv.axspos(250, 1650)
    tv.axslen(1250, 1000)
    tv.name("x", "x")
    tv.name("y", "y")
    tv.titlin("Shaded bands and labelled lines", 1)
    tv.graf(-2.5, 2.5, -2.5, 0.5, -2.0, 2.0, -2.0, 0.5)
    tv.title()
    tv.conshd(xs, len(xs), ys, len(ys), z, levels, len(levels))
    tv.color("fore")
    tv.labels("float", "con")
    tv.labdig(1, "con")
    tv.labdis(500, "con")
    for c in levels:
        if abs(c) < 1e-9:
            tv.thkcrv(3)
        tv.contur(xs, len(xs), ys, len(ys), z, c)
        tv.thkcrv(1)
    tv.endgrf()

    # scattered samples, triangulated, shaded by band and contoured over the triangles
    rnd = random.Random(11)
    n = 400
    px = [rnd.uniform(-2.5, 2.5) for _ in range(n)]
    py = [rnd.uniform(-2.0, 2.0) for _ in range(n)]
    pz = [hills(x, y) for x, y in zip(px, py)]
    nmax = 2 * n + 1
    i1, i2, i3 = [0] * nmax, [0] * nmax, [0] * nmax
    ntri = tv.triang(px, py, n, i1, i2, i3, nmax)
    tv.axspos(1750, 1650)
    tv.axslen(1000, 1000)
    tv.titlin("Scattered data, triangulated", 1)
    tv.name("", "y")
    tv.graf(-2.5, 2.5, -2.5, 1.0, -2.0, 2.0, -2.0, 1.0)
    tv.title()
    tv.shdmod("midd", "colo")
    tv.confll(px, py, pz, n, i1, i2, i3, ntri, levels, len(levels))
    tv.color("fore")
    tv.labels("none", "con")
    for c in levels:
        tv.contri(px, py, pz, n, i1, i2, i3, ntri, c)
    tv.endgrf()
