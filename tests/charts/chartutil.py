"""Helpers of the chart tests: a plot in an axis system read back from the library metafile."""
from conftest import metafile_paths, read_metafile

AXIS = (0.0, 10.0, 0.0, 2.0, 0.0, 10.0, 0.0, 2.0)


def strokes_of(tv, body, axis=AXIS, setup=None):
    """Strokes (lists of plot points) drawn by body(tv) inside graf(*axis); pieces of long
    polylines are joined again. With axis None, body runs at level 1."""
    tv.tavini()
    tv.unit(0)
    w, h = tv.getpag()
    name = tv.getfil()
    if setup:
        setup(tv)
    if axis:
        tv.grace(2)      # points on the axis edges stay inside the clipping window
        tv.nograf()
        tv.graf(*axis)
    body(tv)
    tv.tavfin()
    _, strokes = metafile_paths(read_metafile(name)[1])
    s = max(w, h) - 1
    joined = []
    for st in strokes:
        if len(st) < 2:
            continue
        st = [(x * s, (h - 1) - y * s) for x, y in st]
        if joined and len(joined[-1]) % 99 == 1 and len(joined[-1]) > 2 and close(st[0], joined[-1][-1]):
            joined[-1] += st[1:]
        else:
            joined.append(st)
    return joined


def close(p, q, tol=0.01):
    return abs(p[0] - q[0]) < tol and abs(p[1] - q[1]) < tol


def centre(stroke):
    xs = [p[0] for p in stroke]
    ys = [p[1] for p in stroke]
    return ((min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2)


def warnings(capfd):
    return [l.strip() for l in capfd.readouterr().out.splitlines() if "Warning" in l]
