"""Helpers of the axis tests: a plot run read back from the library metafile."""
from conftest import metafile_paths, read_metafile


def strokes(tv, body, before=None):
    """Strokes (lists of (x, y) in plot units) of the page drawn by body after tavini."""
    if before:
        before(tv)
    tv.tavini()
    tv.unit(0)
    w, h = tv.getpag()
    name = tv.getfil()
    body(tv)
    tv.tavfin()
    _, fields = read_metafile(name)
    _, paths = metafile_paths(fields)
    s = max(w, h) - 1
    return [[(x * s, (h - 1) - y * s) for x, y in st] for st in paths if len(st) > 1]


def normalized(paths):
    """The strokes moved so that their bounding box starts at (0, 0)."""
    if not paths:
        return []
    x0 = min(x for st in paths for x, _ in st)
    y0 = min(y for st in paths for _, y in st)
    return [[(x - x0, y - y0) for x, y in st] for st in paths]


def same_shape(a, b, tol=0.05):
    a, b = normalized(a), normalized(b)
    if len(a) != len(b):
        return False
    return all(len(p) == len(q) and all(abs(u[0] - v[0]) < tol and abs(u[1] - v[1]) < tol
                                        for u, v in zip(p, q)) for p, q in zip(a, b))


def bbox(paths):
    xs = [x for st in paths for x, _ in st]
    ys = [y for st in paths for _, y in st]
    return min(xs), min(ys), max(xs), max(ys)


def is_segment(st, p, q, tol=0.02):
    """Whether a stroke is the segment p-q, in either direction."""
    def near(a, b):
        return abs(a[0] - b[0]) < tol and abs(a[1] - b[1]) < tol
    return len(st) == 2 and ((near(st[0], p) and near(st[1], q)) or
                             (near(st[0], q) and near(st[1], p)))
