"""Delaunay triangulation (empty circumcircles, every point used, duplicates, collinear input,
capacities) and contour lines over triangles (tripts, contri), gridding with getmat."""
import math
import random

import pytest

from contour_plots import grid, joined, linspace, strokes, to_plot, warnings


def triangulate(tv, x, y, nmax=None):
    n = len(x)
    nmax = nmax or 2 * n + 1
    i1, i2, i3 = [0] * nmax, [0] * nmax, [0] * nmax
    ntri = tv.triang(x, y, n, i1, i2, i3, nmax)
    return [(i1[k] - 1, i2[k] - 1, i3[k] - 1) for k in range(ntri)]


def circumcircle(ax, ay, bx, by, cx, cy):
    d = 2 * (ax * (by - cy) + bx * (cy - ay) + cx * (ay - by))
    ux = ((ax * ax + ay * ay) * (by - cy) + (bx * bx + by * by) * (cy - ay) +
          (cx * cx + cy * cy) * (ay - by)) / d
    uy = ((ax * ax + ay * ay) * (cx - bx) + (bx * bx + by * by) * (ax - cx) +
          (cx * cx + cy * cy) * (bx - ax)) / d
    return ux, uy, math.hypot(ax - ux, ay - uy)


def hull_size(pts):
    pts = sorted(set(pts))
    cross = lambda o, a, b: (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])
    lower, upper = [], []
    for p in pts:
        while len(lower) >= 2 and cross(lower[-2], lower[-1], p) <= 0:
            lower.pop()
        lower.append(p)
    for p in reversed(pts):
        while len(upper) >= 2 and cross(upper[-2], upper[-1], p) <= 0:
            upper.pop()
        upper.append(p)
    return len(lower) + len(upper) - 2


# ------------------------------------------------------------------------------------------
# triang

@pytest.mark.parametrize("seed", [1, 2, 3])
def test_random_points_give_a_delaunay_triangulation(tv, seed):
    rnd = random.Random(seed)
    n = 300
    x = [rnd.uniform(-5, 5) for _ in range(n)]
    y = [rnd.uniform(0, 3) for _ in range(n)]
    tris = triangulate(tv, x, y)
    assert {v for t in tris for v in t} == set(range(n))
    total = 0.0
    edges = {}
    for a, b, c in tris:
        ux, uy, r = circumcircle(x[a], y[a], x[b], y[b], x[c], y[c])
        for k in range(n):
            if k not in (a, b, c):
                assert math.hypot(x[k] - ux, y[k] - uy) > r - 1e-7
        total += abs((x[b] - x[a]) * (y[c] - y[a]) - (x[c] - x[a]) * (y[b] - y[a])) / 2
        for e in ((a, b), (b, c), (c, a)):
            edges[frozenset(e)] = edges.get(frozenset(e), 0) + 1
    # no overlap: every edge between at most two triangles, the area within the hull; the
    # enclosing triangle of the insertion may cost a few thin triangles along the hull
    # (Euler: a full triangulation has 2n - 2 - h triangles)
    assert max(edges.values()) == 2
    assert total <= hull_area(list(zip(x, y))) * (1 + 1e-9)
    assert 2 * n - 2 - hull_size(list(zip(x, y))) - 10 <= len(tris)
    assert total >= 0.98 * hull_area(list(zip(x, y)))


def hull_area(pts):
    pts = sorted(set(pts))
    cross = lambda o, a, b: (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0])
    hull = []
    for seq in (pts, pts[::-1]):
        part = []
        for p in seq:
            while len(part) >= 2 and cross(part[-2], part[-1], p) <= 0:
                part.pop()
            part.append(p)
        hull += part[:-1]
    return abs(sum(hull[i][0] * hull[i - 1][1] - hull[i - 1][0] * hull[i][1]
                   for i in range(len(hull)))) / 2


def test_square_and_duplicates(tv):
    assert len(triangulate(tv, [0.0, 1.0, 1.0, 0.0], [0.0, 0.0, 1.0, 1.0])) == 2
    x = [0.0, 2.0, 1.0, 0.5, 1.5, 1.0 + 1e-10]
    y = [0.0, 0.0, 2.0, 0.4, 0.3, 2.0 - 1e-10]
    tris = triangulate(tv, x, y)
    assert 5 not in {v for t in tris for v in t}          # the later duplicate is ignored
    assert len(tris) == len(triangulate(tv, x[:5], y[:5]))


def test_failures_report_and_return_nothing(tv, capfd):
    tv.unit(6)
    capfd.readouterr()
    line = [float(k) for k in range(6)]
    assert triangulate(tv, line, [2 * v + 1 for v in line]) == []
    assert triangulate(tv, line[:3], [0.0, 1.0, 2.0]) == []
    assert triangulate(tv, [0.0, 1.0, 0.0, 1.0], [0.0, 0.0, 1.0, 1.0], nmax=8) == []
    assert warnings(capfd) == [
        " <<<< Warning 102: Points are collinear in triang!",
        " <<<< Warning 102: Points are collinear in triang!",
        " <<<< Warning 2: Incorrect parameter in triang!   ( 8)",
    ]
    # missing coordinates take no part
    x = [0.0, 1.0, float("nan"), 1.0, 0.0]
    y = [0.0, 0.0, 5.0, 1.0, 1.0]
    tris = triangulate(tv, x, y)
    assert len(tris) == 2 and 2 not in {v for t in tris for v in t}


# ------------------------------------------------------------------------------------------
# contour lines over triangles

def tripts_lines(tv, x, y, z, tris, level, maxpts=2000, maxray=20):
    i1, i2, i3 = ([t[k] + 1 for t in tris] for k in range(3))
    xp, yp, ir = [0.0] * maxpts, [0.0] * maxpts, [0] * maxray
    n = tv.tripts(x, y, z, len(x), i1, i2, i3, len(tris), level, xp, yp, maxpts, ir, maxray)
    out, k = [], 0
    for m in ir[:n]:
        out.append(list(zip(xp[k:k + m], yp[k:k + m])))
        k += m
    return out


def bowl_points():
    xs = linspace(-2, 2, 21)
    x = [u for u in xs for _ in xs]
    y = [v for _ in xs for v in xs]
    return x, y, [u * u + v * v for u, v in zip(x, y)]


def test_tripts_traces_circles(tv):
    x, y, z = bowl_points()
    tris = triangulate(tv, x, y)
    lines = tripts_lines(tv, x, y, z, tris, 1.0)
    assert len(lines) == 1
    line = lines[0]
    assert math.dist(line[0], line[-1]) < 1e-12          # closed
    assert all(abs(math.hypot(u, v) - 1) < 0.03 for u, v in line)


def test_levels_through_vertices_and_along_edges(tv):
    # a fan round the centre: the level of the centre passes through it as one line
    x = [0.0, 1.0, 0.0, -1.0, 0.0]
    y = [0.0, 0.0, 1.0, 0.0, -1.0]
    z = [1.0, 2.0, 1.5, 0.0, 0.5]
    tris = [(0, 1, 2), (0, 2, 3), (0, 3, 4), (0, 4, 1)]
    lines = tripts_lines(tv, x, y, z, tris, 1.0)
    assert len(lines) == 1 and (0.0, 0.0) in lines[0]
    # an edge exactly at the level, shared by two triangles, is one segment
    x = [0.0, 1.0, 0.5, 0.5]
    y = [0.0, 0.0, 1.0, -1.0]
    z = [1.0, 1.0, 2.0, 0.0]
    tris = [(0, 1, 2), (1, 0, 3)]
    assert tripts_lines(tv, x, y, z, tris, 1.0) == [[(1.0, 0.0), (0.0, 0.0)]]
    paths = strokes(tv, lambda t: t.contri(x, y, z, 4, [1, 2], [2, 1], [3, 4], 2, 1.0),
                    scale=(-1, 2, -1, 2))
    assert len(paths) == 1 and len(paths[0]) == 2


def test_contri_draws_the_tripts_lines(tv):
    x, y, z = bowl_points()
    tris = triangulate(tv, x, y)
    i1, i2, i3 = ([t[k] + 1 for t in tris] for k in range(3))
    line = tripts_lines(tv, x, y, z, tris, 2.0)[0]
    # joined lines when the line pattern has more than one element
    dashed = strokes(tv, lambda t: (t.myline([1, 0], 2), t.contri(x, y, z, len(x), i1, i2, i3,
                                                               len(tris), 2.0)))
    pts = [p for st in dashed for p in st]
    assert all(min(math.dist(p, to_plot(u, v)) for u, v in line) < 0.01 for p in pts)
    # single segments otherwise, the same geometry
    plain = strokes(tv, lambda t: t.contri(x, y, z, len(x), i1, i2, i3, len(tris), 2.0))
    assert len(plain) == len(line) - 1
    assert all(len(st) == 2 for st in plain)


def test_tripts_capacities(tv, capfd):
    x, y, _ = bowl_points()
    z = [math.exp(-((u - 1) ** 2 + v * v) * 4) + math.exp(-((u + 1) ** 2 + v * v) * 4)
         for u, v in zip(x, y)]
    tris = triangulate(tv, x, y)
    full = tripts_lines(tv, x, y, z, tris, 0.5)
    assert len(full) == 2
    tv.unit(6)
    capfd.readouterr()
    short = tripts_lines(tv, x, y, z, tris, 0.5, maxray=1)
    assert short == full[:1]
    assert warnings(capfd) == [
        " <<<< Warning 117: Overflow - Too many contour lines in tripts!"]
    tripts_lines(tv, x, y, z, tris, 0.5, maxpts=len(full[0]) + 2)
    assert len(warnings(capfd)) == len(full[1]) - 2


def test_bad_triangle_lists_are_refused(tv, capfd):
    x, y, z = bowl_points()
    tv.tavini()
    tv.errmod("PROT", "OFF")
    tv.nograf()
    tv.graf(-2, 2, -2, 1, -2, 2, -2, 1)
    capfd.readouterr()
    tv.contri(x, y, z, len(x), [1], [2], [500], 1, 1.0)
    tv.confll(x, y, z, len(x), [0], [2], [3], 1, [1.0], 1)
    assert warnings(capfd) == [
        " <<<< Warning 2: Incorrect parameter in contri!   ( 500)",
        " <<<< Warning 2: Incorrect parameter in confll!   ( 0)",
    ]
    tv.endgrf()
    tv.tavfin()


# ------------------------------------------------------------------------------------------
# gridding

def test_getmat_grids_scattered_points(tv):
    tv.tavini()
    tv.unit(0)
    tv.nograf()
    tv.graf(0, 4, 0, 1, 0, 4, 0, 1)
    # points on the nodes come back exactly; nodes far from every point get the fill value
    xs = [0.0, 1.0, 2.0, 3.0, 4.0]
    x = [u for u in xs for _ in xs[:2]]
    y = [v for _ in xs for v in xs[:2]]
    z = [u + 10 * v for u, v in zip(x, y)]
    zmat = [0.0] * 25
    tv.mdfmat(1, 1, 2.0)
    tv.getmat(x, y, z, len(x), zmat, 5, 5, -99.0)
    for i in range(5):
        assert zmat[i * 5 + 0] == i and zmat[i * 5 + 1] == i + 10
        assert zmat[i * 5 + 3] == zmat[i * 5 + 4] == -99.0
    # one cell from the data: inverse squared distances, 1 straight on, 1/2 diagonally
    assert zmat[2 * 5 + 2] == pytest.approx(12.0)
    assert zmat[0 * 5 + 2] == pytest.approx((10 + 0.5 * 11) / 1.5)
    tv.endgrf()
    tv.tavfin()
