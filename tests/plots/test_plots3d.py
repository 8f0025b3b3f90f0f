"""Vectors and streamlines in 3-D axis systems: arrows on the projection of their end points,
automatic scaling in space, the grid form against the scattered form, streamlines traced in
space and drawn through the projection, and the level checks."""
import math

import pytest

from vecutil import same_points, strokes, warnings

LIM = (-1.0, 1.0, -1.0, 0.5)


def cube(t):
    t.nograf()
    t.graf3d(*LIM, *LIM, *LIM)


def project(tv, pts):
    return [tv.abs3pt(*p) for p in pts]


def test_arrow_on_the_projection(tv):
    got = {}

    def body(t):
        cube(t)
        got["ends"] = project(t, [(-0.5, -0.5, 0.0), (0.5, 0.2, 0.3)])
        t.vectr3(-0.5, -0.5, 0.0, 0.5, 0.2, 0.3, 1421)
    paths = strokes(tv, body)
    a, b = got["ends"]
    assert any(same_points(s, [a, b]) for s in paths)
    head = [s for s in paths if len(s) == 3][0]
    assert head[1] == pytest.approx(b, abs=2e-3)
    length = math.dist(a, b)
    ux, uy = (b[0] - a[0]) / length, (b[1] - a[1]) / length
    base = ((head[0][0] + head[2][0]) / 2, (head[0][1] + head[2][1]) / 2)
    assert base == pytest.approx((b[0] - 50 * ux, b[1] - 50 * uy), abs=2e-3)
    assert math.dist(head[0], head[2]) == pytest.approx(2 * 50 / 3, abs=2e-3)


def test_field_scaling_and_grid_form_in_space(tv):
    g = [-0.5, 0.0, 0.5]
    xv = [[[0.1 * (i + 1) + 0.01 * j for k in range(3)] for j in range(3)] for i in range(3)]
    yv = [[[0.02 * k for k in range(3)] for j in range(3)] for i in range(3)]
    zv = [[[-0.03 * j for k in range(3)] for j in range(3)] for i in range(3)]
    flat = [(g[i], g[j], g[k], xv[i][j][k], yv[i][j][k], zv[i][j][k])
            for i in range(3) for j in range(3) for k in range(3)]
    longest = max(math.sqrt(f[3] ** 2 + f[4] ** 2 + f[5] ** 2) for f in flat)
    factor = 0.5 / longest
    ends = {}

    def grid_body(t):
        cube(t)
        ends["p"] = project(t, [(f[0] + factor * f[3], f[1] + factor * f[4], f[2] + factor * f[5])
                                for f in flat])
        t.vecmat3d(xv, yv, zv, 3, 3, 3, g, g, g, 1000)
    a = strokes(tv, grid_body)
    tv.delglb()
    cols = list(zip(*flat))
    b = strokes(tv, lambda t: (cube(t), t.vecf3d(cols[3], cols[4], cols[5], cols[0], cols[1],
                                                  cols[2], 27, 1000)))
    assert len(a) == len(b) == 27 and all(same_points(p, q) for p, q in zip(a, b))
    assert all(same_points([s[-1]], [e]) for s, e in zip(a, ends["p"]))


def test_streamline_points_in_space(tv):
    tv.tavini()
    tv.unit(0)
    n = 5
    g = [-1 + 2 * k / (n - 1) for k in range(n)]
    # rotation about the z axis with a drift upwards: a helix
    xv = [[[-y for z in g] for y in g] for x in g]
    yv = [[[x for z in g] for y in g] for x in g]
    zv = [[[0.05 for z in g] for y in g] for x in g]
    xs, ys, zs = [0.0] * 600, [0.0] * 600, [0.0] * 600
    m = tv.stmpts3d(xv, yv, zv, n, n, n, g, g, g, 0.5, 0.0, 0.0, xs, ys, zs, 600)
    pts = list(zip(xs[:m], ys[:m], zs[:m]))
    assert m == 599
    assert all(abs(math.hypot(x, y) - 0.5) < 1e-3 for x, y, _ in pts)
    zs_ = [z for _, _, z in pts]
    assert all(b > a for a, b in zip(zs_, zs_[1:]))          # rises in flow direction
    assert tv.stmpts3d(xv, yv, zv, n, n, n, g, g, g, 2.0, 0.0, 0.0, xs, ys, zs, 600) == 0
    tv.tavfin()


def test_stream3d_draws_the_traced_points(tv):
    n = 4
    g = [-1 + 2 * k / (n - 1) for k in range(n)]
    xv = [[[1.0] * n for _ in g] for _ in g]
    yv = [[[0.5] * n for _ in g] for _ in g]
    zv = [[[0.25] * n for _ in g] for _ in g]
    traced = {}

    def body(t):
        cube(t)
        xs, ys, zs = [0.0] * 2000, [0.0] * 2000, [0.0] * 2000
        m = t.stmpts3d(xv, yv, zv, n, n, n, g, g, g, 0.0, 0.0, 0.0, xs, ys, zs, 2000)
        traced["p"] = project(t, list(zip(xs[:m], ys[:m], zs[:m])))
        t.stream3d(xv, yv, zv, n, n, n, g, g, g, [0.0], [0.0], [0.0], 1)
    paths = strokes(tv, body)
    assert len(paths) == 2                     # the forward run, then the backward run
    drawn = paths[1][::-1] + paths[0][1:]
    assert same_points(drawn, traced["p"], tol=2e-3)


def test_levels_and_checks_in_3d(tv, capfd):
    def body(t):
        t.axspos(500, 1500)
        t.axslen(1000, 1000)
        t.graf(0.0, 1.0, 0.0, 0.5, 0.0, 1.0, 0.0, 0.5)
        t.field([0.1], [0.1], [0.2], [0.2], 1, 1421)     # fine at level 2
        t.vectr3(0, 0, 0, 1, 1, 1, 1421)                 # level 2: refused by the level check
        t.endgrf()
        cube(t)
        t.vecfld([0.1], [0.1], [0.5], [0.5], 1, 1421)    # a 2-D field in graf3d: message 35
        one = [[[1.0] * 3] * 2] * 2
        t.stream3d(one, one, one, 2, 2, 3, [0, 1], [0, 1], [0, 1, 0.5], [0.5], [0.5], [0.5], 1)
    capfd.readouterr()
    strokes(tv, body)
    w = warnings(capfd)
    assert "Warning 3: Incorrect level in vectr3!" in w[0]
    assert "Warning 35: Confusion of graf3d and graf3 in vecfld!" in w[1]
    assert "Warning 124: Arrays must be monoton in stream3d!" in w[2]
    assert len(w) == 3
