"""Helpers of the vector, streamline and shield tests: plot runs read back from the library
metafile (strokes in plot units, colour records) and from SVG (filled polygons)."""
import math
import re

from conftest import read_metafile


def run(tv, body, before=None, quiet=False):
    """(strokes, colours) of the page drawn by body after tavini; strokes are lists of (x, y)
    in plot units with the pieces of long polylines joined again."""
    ev = events(tv, lambda t: (t.unit(0) if quiet else None, body(t)), before)
    out = []
    for kind, st in ev:
        if kind != "stroke":
            continue
        if out and len(out[-1]) % 99 == 1 and len(out[-1]) > 2 and st[0] == out[-1][-1]:
            out[-1] += st[1:]
        else:
            out.append(st)
    return out, [c for kind, c in ev if kind == "colour"]


def strokes(tv, body, before=None, quiet=False):
    return run(tv, body, before, quiet)[0]


def svg_text(tv, body, name="out.svg"):
    tv.metafl("SVG")
    tv.setfil(name)
    tv.tavini()
    tv.errmod("prot", "off")
    body(tv)
    tv.tavfin()
    return open(name, encoding="latin-1").read()


def svg_polygons(text):
    """Point lists of the filled polygons of an SVG file (device units)."""
    out = []
    for raw in re.findall(r'<polygon fill="#[0-9a-f]{6}" points="\n(.*?)"/>', text, re.S):
        out.append([tuple(map(float, p.split(", "))) for p in
                    re.findall(r"(-?[\d.]+, -?[\d.]+)", raw)])
    return out


def warnings(capfd):
    return [l for l in capfd.readouterr().out.splitlines() if "Warning" in l]


def close(p, q, tol=2e-3):
    return math.dist(p, q) < tol


def same_points(a, b, tol=2e-3):
    return len(a) == len(b) and all(close(p, q, tol) for p, q in zip(a, b))


def graf_box(tv, xa=0.0, xe=1.0, ya=0.0, ye=1.0, step=0.25):
    """A 1000 x 1000 axis system with its lower left corner at (500, 1500), without axes."""
    tv.axspos(500, 1500)
    tv.axslen(1000, 1000)
    tv.setgrf("none", "none", "none", "none")
    tv.frame(0)
    tv.graf(xa, xe, xa, step, ya, ye, ya, step)


def to_plot(x, y, xa=0.0, xe=1.0, ya=0.0, ye=1.0):
    """Plot coordinates of a user point in graf_box."""
    return 500 + (x - xa) / (xe - xa) * 999, 1500 - (y - ya) / (ye - ya) * 999


def events(tv, body, before=None):
    """The page drawn by body as an ordered list of ("colour", n) and ("stroke", points)."""
    if before:
        before(tv)
    tv.tavini()
    tv.errmod("prot", "off")
    w, h = tv.getpag()
    name = tv.getfil()
    body(tv)
    tv.tavfin()
    fields = read_metafile(name)[1]
    s = max(w, h) - 1
    out, i, pen = [], 0, 3
    while i < len(fields):
        v = fields[i]
        if v == 9.0 and i == len(fields) - 1:
            break
        if v >= 9.0:
            n = 0
            while fields[i] == 99.0:
                n += 89
                i += 1
            out.append(("colour", n + int(fields[i]) - 9))
            i += 1
            continue
        x, y = fields[i] * s, (h - 1) - fields[i + 1] * s
        i += 2
        if i < len(fields) and fields[i] in (2.0, 3.0):
            pen = int(fields[i])
            i += 1
        if pen == 3 or not out or out[-1][0] != "stroke":
            out.append(("stroke", [(x, y)]))
        else:
            out[-1][1].append((x, y))
    return [e for e in out if e[0] == "colour" or len(e[1]) > 1]
