"""Scatter plot with symbols: three clouds of points, each with its own symbol and colour."""
import math

TITLE = "Scatter plot with symbols"


def cloud(cx, cy, spread, n, seed):
    # a deterministic spiral-shaped cloud (no random generator: the picture never changes)
    xs, ys = [], []
    for i in range(n):
        a = i * 2.399963 + seed
        r = spread * math.sqrt((i + 0.5) / n)
        xs.append(cx + r * math.cos(a))
        ys.append(cy + 0.7 * r * math.sin(a))
    return xs, ys


def draw(tv):
    tv.complx()
    tv.name("x", "x")
    tv.name("y", "y")
    tv.labdig(-1, "xy")
    tv.titlin("Three clusters", 2)
    tv.graf(0.0, 10.0, 0.0, 2.0, 0.0, 10.0, 0.0, 2.0)
    tv.title()
    tv.incmrk(-1)
    tv.hsymbl(24)
    tv.chncrv("color")
    clusters = ((3.0, 3.0, 2.0, 60, 0.0, 21), (7.0, 6.5, 2.2, 80, 1.0, 3), (3.5, 7.5, 1.5, 40, 2.0, 18))
    for cx, cy, s, n, seed, sym in clusters:
        xs, ys = cloud(cx, cy, s, n, seed)
        tv.marker(sym)
        tv.curve(xs, ys, n)
    tv.legini(" ", 3, 20)
    for i, label in enumerate(("cluster A", "cluster B", "cluster C"), 1):
        tv.leglin(" ", label, i)
    tv.legtit("")
    tv.legend(" ", 6)
    tv.endgrf()
