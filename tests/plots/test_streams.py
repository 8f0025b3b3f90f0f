"""Streamlines: integration on fields with known streamlines (uniform field: straight lines;
circular field: circles that close), the three integration methods, the point limits, given
and evenly spaced starting points, arrow heads along the lines, the triangle form against the
grid form, and the checks of the arguments."""
import math

import pytest

from vecutil import graf_box, same_points, strokes, to_plot, warnings


def grid(n, lo=0.0, hi=1.0):
    return [lo + (hi - lo) * k / (n - 1) for k in range(n)]


def uniform(n=10):
    g = grid(n)
    return [[1.0] * n for _ in g], [[0.0] * n for _ in g], g, g


def circular(n=21):
    """u = -y, v = x over [-1, 1]^2: bilinear interpolation is exact, streamlines are circles."""
    g = grid(n, -1.0, 1.0)
    return [[-y for y in g] for x in g], [[x for y in g] for x in g], g, g


def begin(tv):
    tv.tavini()
    tv.errmod("prot", "off")


def points(tv, field, x0, y0, nmax=4000):
    xv, yv, xp, yp = field
    xs, ys = [0.0] * nmax, [0.0] * nmax
    if tv.getlev() == 0:
        begin(tv)
    n = tv.stmpts(xv, yv, len(xp), len(yp), xp, yp, x0, y0, xs, ys, nmax)
    return list(zip(xs[:n], ys[:n]))


# --- integration

def test_uniform_field_gives_a_straight_line_across(tv):
    pts = points(tv, uniform(), 0.5, 0.5)
    assert 99 <= len(pts) <= 101
    assert all(y == pytest.approx(0.5, abs=1e-12) for _, y in pts)
    steps = [b[0] - a[0] for a, b in zip(pts, pts[1:])]
    assert all(s == pytest.approx(0.01, abs=1e-9) for s in steps)
    assert 0 <= pts[0][0] < 0.011 and 0.989 < pts[-1][0] <= 1.0
    assert any(p == pytest.approx((0.5, 0.5)) for p in pts)


def test_circular_field_closes_after_one_revolution(tv):
    begin(tv)
    tv.stmmod("on", "clos")
    pts = points(tv, circular(), 0.5, 0.0)
    assert pts[0] == (0.5, 0.0)                  # no backward run: the line starts at its start
    assert all(abs(math.hypot(*p) - 0.5) < 2e-4 for p in pts)
    assert math.dist(pts[-1], pts[0]) < 0.005 * 2
    assert len(pts) == pytest.approx(2 * math.pi * 0.5 / 0.02, abs=2)


def test_without_closing_the_run_stops_at_the_point_limit(tv):
    begin(tv)
    pts = points(tv, circular(), 0.5, 0.0, nmax=400)
    assert len(pts) == 200 + 200 - 1             # POIN = nmax / 2 in each direction
    tv.stmmod("on", "clos")
    assert len(points(tv, circular(), 0.5, 0.0, nmax=400)) < 200
    tv.stmopt(300, "clos")                       # the closing test would begin too late
    assert len(points(tv, circular(), 0.5, 0.0, nmax=400)) == 399


def test_integration_methods_on_a_circle(tv):
    begin(tv)
    err = {}
    for method in ("eule", "rk2", "rk4"):
        tv.stmmod(method, "inte")
        pts = points(tv, circular(), 0.5, 0.0, nmax=300)
        err[method] = max(abs(math.hypot(*p) - 0.5) for p in pts)
    assert err["eule"] > 1e-2                    # Euler spirals outwards
    assert 1e-7 < err["rk2"] < 1e-4
    assert err["rk4"] < 1e-7


def test_point_limit_two_and_argument_checks(tv, capfd):
    assert len(points(tv, uniform(), 0.5, 0.5, nmax=4)) == 3
    capfd.readouterr()
    assert points(tv, uniform(), 0.5, 0.5, nmax=3) == []
    assert points(tv, uniform(), 1.5, 0.5) == []
    xv, yv, xp, yp = uniform()
    assert points(tv, (xv, yv, xp[::-1][:5] + xp[5:], yp), 0.5, 0.5) == []
    assert points(tv, ([[1.0]] * 1, [[0.0]] * 1, [0.5], [0.5]), 0.5, 0.5) == []
    w = warnings(capfd)
    assert "Warning 2: Incorrect parameter in stmpts!   ( 3)" in w[0]
    assert "Warning 180: Starting point is outside in stmpts!" in w[1]
    assert "Warning 124: Arrays must be monoton in stmpts!" in w[2]
    assert "Warning 2: Incorrect parameter in stmpts!   ( 1)" in w[3]


def test_descending_grid_lines(tv):
    xv, yv, xp, yp = uniform()
    up = points(tv, (xv, yv, xp, yp), 0.3, 0.4)
    # the same field given with descending x: rows reversed
    down = points(tv, (xv[::-1], yv, xp[::-1], yp), 0.3, 0.4)
    assert same_points(up, down, tol=1e-9)


def test_options_are_checked_and_kept(tv, capfd):
    tv.tavini()
    tv.errmod("prot", "off")
    capfd.readouterr()
    tv.stmopt(1, "POIN")
    tv.stmopt(-3, "ARRO")
    tv.stmopt(3, "STRE")
    tv.stmval(0.0, "STEP")
    tv.stmval(1.5, "TEST")
    tv.stmmod("RK5", "INTE")
    tv.stmmod("ON", "XXXX")
    w = warnings(capfd)
    assert len(w) == 7
    assert "( 1)" in w[0] and "( -3)" in w[1] and "( 3)" in w[2]
    tv.unit(0)
    tv.tavfin()


# --- drawing

def test_stream_draws_both_runs_from_given_points(tv, capfd):
    xv, yv, xp, yp = uniform()
    def body(t):
        graf_box(t)
        t.stream(xv, yv, 10, 10, xp, yp, [0.5, 0.3, 2.0], [0.25, 0.75, 0.5], 3)
    capfd.readouterr()
    got = strokes(tv, body)
    w = warnings(capfd)
    assert len(w) == 1 and "Warning 180: Starting point is outside in stream!" in w[0]
    assert len(got) == 4
    for x0, y0 in ((0.5, 0.25), (0.3, 0.75)):
        _, py = to_plot(0, y0)
        runs = [s for s in got if all(abs(y - py) < 1e-3 for _, y in s)]
        assert len(runs) == 2
        fwd = [s for s in runs if s[-1][0] > s[0][0]][0]
        bwd = [s for s in runs if s[-1][0] < s[0][0]][0]
        assert fwd[0] == pytest.approx(to_plot(x0, y0), abs=1e-3) == bwd[0]
        assert fwd[-1][0] > to_plot(0.98, 0)[0] and bwd[-1][0] < to_plot(0.02, 0)[0]


def test_evenly_spaced_lines_keep_their_distance(tv):
    xv, yv, xp, yp = uniform(11)
    got = strokes(tv, lambda t: (graf_box(t), t.stream(xv, yv, 11, 11, xp, yp, [], [], 0)))
    levels = sorted({round(s[0][1], 3) for s in got})
    d = 0.02 * 999                               # the separating distance in plot units
    gaps = [b - a for a, b in zip(levels, levels[1:])]
    assert min(gaps) > 0.999 * d * 0.999 and max(gaps) < 2 * d
    assert 40 <= len(levels) <= 52
    assert all(abs(s[0][1] - s[-1][1]) < 1e-6 for s in got)   # straight and horizontal


def test_evenly_spaced_circles(tv):
    xv, yv, xp, yp = circular()
    def body(t):
        graf_box(t, -1.0, 1.0, -1.0, 1.0, 0.5)
        t.stmmod("on", "clos")
        t.stmval(0.05, "dist")
        t.stream(xv, yv, 21, 21, xp, yp, [], [], 0)
    got = strokes(tv, body)
    assert len(got) > 5
    centre = to_plot(0, 0, -1, 1, -1, 1)
    # every line keeps a radius of its own (circles about the centre)
    for s in got:
        r = [math.dist(p, centre) for p in s]
        assert max(r) - min(r) < 0.5
    radii = sorted({round(math.dist(s[0], centre)) for s in got if len(s) > 20})
    distinct = [r for k, r in enumerate(radii) if k == 0 or r - radii[k - 1] > 2]
    assert len(distinct) >= 8
    assert min(b - a for a, b in zip(distinct, distinct[1:])) > 0.5 * 0.1 * 999 / 2


def test_vanishing_field_draws_nothing(tv):
    g = grid(5)
    zero = [[0.0] * 5 for _ in g]
    assert strokes(tv, lambda t: (graf_box(t), t.stream(zero, zero, 5, 5, g, g, [], [], 0))) == []


def test_arrow_heads_along_the_runs(tv):
    xv, yv, xp, yp = uniform()
    def body(t):
        graf_box(t)
        t.stmmod("on", "arro")
        t.stmopt(1421, "arro")
        t.stream(xv, yv, 10, 10, xp, yp, [0.5], [0.5], 1)
    got = strokes(tv, body)
    heads = [s for s in got if len(s) == 3]
    # spacing D = 1000 * 0.25: on each half of 500 units a head after 125 and after 375
    assert len(heads) == 4
    for h in heads:
        assert h[1][0] > h[0][0] and h[1][0] > h[2][0]     # all point with the flow (+x)
        assert h[1][0] - h[0][0] == pytest.approx(50, abs=1e-3)
    tips = sorted(h[1][0] for h in heads)
    x0 = to_plot(0.5, 0.5)[0]
    assert tips[1] < x0 < tips[2]
    assert tips[2] - tips[1] == pytest.approx(2 * 125, abs=12)


def test_triangles_follow_the_same_streamlines_as_the_grid(tv):
    n = 6
    g = grid(n)
    xv = [[0.3 + 0.2 * x] * n for x in g]         # linear in x: both interpolations are exact
    yv = [[0.5] * n for _ in g]
    xp = [g[i] for i in range(n) for j in range(n)]
    yp = [g[j] for i in range(n) for j in range(n)]
    xs = [xv[i][j] for i in range(n) for j in range(n)]
    ys = [yv[i][j] for i in range(n) for j in range(n)]
    i1, i2, i3 = [], [], []
    for i in range(n - 1):
        for j in range(n - 1):
            a, b, c, d = i * n + j + 1, (i + 1) * n + j + 1, (i + 1) * n + j + 2, i * n + j + 2
            i1 += [a, a]
            i2 += [b, c]
            i3 += [c, d]
    on_grid = strokes(tv, lambda t: (graf_box(t), t.stream(xv, yv, n, n, g, g, [0.4], [0.3], 1)))
    tv.delglb()
    on_tri = strokes(tv, lambda t: (graf_box(t), t.stmtri(xs, ys, xp, yp, n * n, i1, i2, i3,
                                                           len(i1), [0.4], [0.3], 1)))
    assert len(on_grid) == len(on_tri) == 2
    for a, b in zip(on_grid, on_tri):
        assert same_points(a, b, tol=1e-3)


def test_triangle_checks(tv, capfd):
    def body(t):
        graf_box(t)
        t.stmtri([1.0] * 3, [0.0] * 3, [0.0, 1.0, 0.0], [0.0, 0.0, 1.0], 3, [1], [2], [4], 1,
                 [0.2], [0.2], 1)
        t.stmtri([1.0] * 3, [0.0] * 3, [0.0, 1.0, 0.0], [0.0, 0.0, 1.0], 3, [1], [2], [3], 1,
                 [0.9], [0.9], 1)
    capfd.readouterr()
    assert strokes(tv, body) == []
    w = warnings(capfd)
    assert "Warning 2: Incorrect parameter in stmtri!   ( 4)" in w[0]
    assert "Warning 180" in w[1]
