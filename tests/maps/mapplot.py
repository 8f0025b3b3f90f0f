"""Helpers of the map tests: a map system on the metafile, points and strokes read back."""
import math

from conftest import metafile_paths, read_metafile


def open_map(tv, proj="CYLI", limits=(-180, 180, -180, 90, -90, 90, -90, 30), before=None,
             length=(2000, 1600), quiet=True):
    tv.metafl("GKSL")
    tv.setfil("map.met")
    tv.filmod("delete")
    tv.tavini()
    tv.errmod("PROT", "OFF")
    if quiet:
        tv.unit(0)
    tv.projct(proj)
    if before:
        before(tv)
    tv.axspos(400, 1900)
    tv.axslen(*length)
    tv.nograf()
    tv.grafmp(*limits)


def strokes(tv):
    """Ends the plot; strokes of the page in plot units."""
    w, h = tv.getpag()
    tv.tavfin()
    _, fields = read_metafile("map.met")
    _, paths = metafile_paths(fields)
    s = max(w, h) - 1
    return [[(x * s, (h - 1) - y * s) for x, y in st] for st in paths if len(st) > 1]


def fit_similarity(pairs):
    """Least-squares X = x0 + s x, Y = y0 - s y over (raw, plot) pairs; returns the worst
    residual relative to the extent of the plot points."""
    n = len(pairs)
    mx = sum(r[0] for r, _ in pairs) / n
    my = sum(r[1] for r, _ in pairs) / n
    MX = sum(p[0] for _, p in pairs) / n
    MY = sum(p[1] for _, p in pairs) / n
    num = sum((r[0] - mx) * (p[0] - MX) - (r[1] - my) * (p[1] - MY) for r, p in pairs)
    den = sum((r[0] - mx) ** 2 + (r[1] - my) ** 2 for r, _ in pairs)
    s = num / den
    worst = max(math.hypot(MX + s * (r[0] - mx) - p[0], MY - s * (r[1] - my) - p[1])
                for r, p in pairs)
    ext = max(math.hypot(p[0] - MX, p[1] - MY) for _, p in pairs)
    return s, worst / ext
