"""The line pipeline seen through the library metafile: buffer pieces, dashes, clipping,
wide lines, non-finite and huge coordinates."""
import math

from conftest import metafile_paths, read_metafile

def plot(tv, body):
    """Strokes of the plot drawn by body, in plot units (metafile fields are scaled by the
    larger page side and have y upwards)."""
    tv.tavini()
    tv.unit(0)
    w, h = tv.getpag()
    name = tv.getfil()
    body(tv)
    tv.tavfin()
    _, fields = read_metafile(name)
    colours, strokes = metafile_paths(fields)
    s = max(w, h) - 1
    return [[(x * s, (h - 1) - y * s) for x, y in st] for st in strokes if len(st) > 1]


def near(a, b, tol=0.01):
    return abs(a[0] - b[0]) < tol and abs(a[1] - b[1]) < tol


def test_long_polyline_in_pieces_of_100(tv):
    pts = [(100 + 10 * i, 500 + (i % 7)) for i in range(250)]

    def body(t):
        t.strtpt(*pts[0])
        for p in pts[1:]:
            t.connpt(*p)
    strokes = plot(tv, body)
    assert [len(s) for s in strokes] == [100, 100, 52]
    assert near(strokes[0][-1], strokes[1][0]) and near(strokes[1][-1], strokes[2][0])
    flat = strokes[0] + strokes[1][1:] + strokes[2][1:]
    assert all(near(p, q) for p, q in zip(flat, pts))


def test_dash_pattern_and_units(tv):
    strokes = plot(tv, lambda t: (t.dot(), t.line(0, 100, 110, 100)))
    # dot: dashes of 1 unit every 11 units
    starts = [round(s[0][0], 1) for s in strokes]
    assert starts == [0, 11, 22, 33, 44, 55, 66, 77, 88, 99, 110][:len(starts)]
    assert all(abs(s[-1][0] - s[0][0] - 1) < 0.01 for s in strokes[:-1])
    tv.delglb()
    tv.units("inch")
    strokes = plot(tv, lambda t: (t.dot(), t.line(0, 10, 50, 10)))
    assert [round(s[0][0]) for s in strokes][:3] == [0, 5, 10]   # pattern 1, 4 after units


def test_dash_position_runs_across_vertices(tv):
    def body(t):
        t.myline([30, 10], 2)
        t.strtpt(0, 100)
        t.connpt(20, 100)      # inside the first dash
        t.connpt(20, 120)      # dash ends 10 units after the vertex
        t.connpt(20, 200)
    strokes = plot(tv, body)
    assert near(strokes[0][0], (0, 100)) and near(strokes[0][1], (20, 100))
    assert near(strokes[0][-1], (20, 110))
    assert near(strokes[1][0], (20, 120))


def test_clipping_to_page_and_window(tv):
    strokes = plot(tv, lambda t: t.line(-100, 50, 3100, 50))
    assert len(strokes) == 1 and near(strokes[0][0], (0, 50)) and near(strokes[0][1], (2969, 50))
    tv.delglb()

    def body(t):
        t.clpwin(100, 100, 101, 101)             # window 100..200
        t.line(0, 150, 300, 150)
        t.line(0, 0, 50, 50)                     # entirely outside: nothing
    strokes = plot(tv, body)
    assert len(strokes) == 1
    assert near(strokes[0][0], (100, 150)) and near(strokes[0][1], (200, 150))


def test_wide_line_emulation_passes(tv):
    def body(t):
        t.linwid(10)
        t.line(100, 1000, 1100, 1000)
    strokes = plot(tv, body)
    ys = sorted({round(p[1], 1) for s in strokes for p in s})
    # centre line and outlines at half widths 1.5, 3 and 5 (LONG caps extend the ends)
    for y in (1000, 998.5, 1001.5, 997, 1003, 995, 1005):
        assert y in ys
    xs = [p[0] for s in strokes for p in s]
    assert round(min(xs), 2) == 95 and round(max(xs), 2) == 1105


def test_nonfinite_and_huge_coordinates(tv):
    def body(t):
        t.strtpt(100, 100)
        t.connpt(200, 100)
        t.connpt(math.nan, 5)
        t.connpt(300, 300)
        t.connpt(400, 300)
        t.connpt(1e300, 300)
        t.connpt(-1e300, -1e300)
        t.dash()
        t.strtpt(500, 500)
        t.connpt(1e300, 1e299)
    strokes = plot(tv, body)
    assert near(strokes[0][0], (100, 100)) and near(strokes[0][-1], (200, 100))
    assert near(strokes[1][0], (300, 300))
    for s in strokes:
        for x, y in s:
            assert 0 <= x <= 2969 and 0 <= y <= 2099


def test_ten_million_points_in_bounded_memory(run_py):
    """A 10,000,000-point curve with NaN, infinite and huge values: no crash, the line
    pipeline keeps no more than its buffers (memory grows by the input arrays only)."""
    out = run_py("""
        import resource
        import numpy as np
        import tavero as t
        n = 10_000_000
        x = np.linspace(0.0, 1.0, n)
        y = np.sin(x * 500.0)
        y[::1000] = np.nan
        y[5::1000] = np.inf
        y[7::1000] = 1e300
        y[9::1000] = -1e300
        before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
        t.metafl("virt")
        t.tavini()
        t.unit(0)
        t.graf(0.0, 1.0, 0.0, 0.2, -1.0, 1.0, -1.0, 0.5)
        t.curve(x, y, n)
        t.endgrf()
        t.unit(6)
        t.tavfin()
        grown = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before
        print("grown_kb", grown)
    """)
    grown = int(out.split("grown_kb")[1].split()[0])
    assert grown < 30_000                      # kilobytes: the image and buffers, no copies
    assert "NaN     : 10000" in out           # the NaN values (infinities are clipped)
