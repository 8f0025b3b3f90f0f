"""Vector lists and vector fields in user coordinates: automatic and given scaling, heads
proportional to the vectors, the grid form against the scattered form, colours by length, wind
symbols, and bad input (NaN, huge values, wrong counts)."""
import math

import pytest

from vecutil import events, graf_box, same_points, strokes, to_plot, warnings


def shafts(paths):
    return [s for s in paths if len(s) == 2]


def find(paths, a, b, tol=2e-3):
    return any(same_points(s, [a, b], tol) for s in paths)


def test_single_vector_uses_factor_one(tv):
    got = strokes(tv, lambda t: (graf_box(t), t.vecfld([0.2], [0.1], [0.5], [0.5], 1, 1421)))
    assert find(got, to_plot(0.5, 0.5), to_plot(0.7, 0.6))


def test_automatic_factor_from_spacing_and_longest_vector(tv):
    # positions 0.25 apart, the longest vector 0.5 long: factor 0.5; a far position outside the
    # axis limits with a huge vector does not take part
    xp, yp = [0.25, 0.5, 0.75, 5.0], [0.5, 0.5, 0.5, 5.0]
    xv, yv = [0.5, 0.0, 0.3, 100.0], [0.0, 0.2, 0.4, 0.0]
    got = strokes(tv, lambda t: (graf_box(t), t.vecfld(xv, yv, xp, yp, 4, 1421)))
    for k in range(3):
        assert find(got, to_plot(xp[k], yp[k]), to_plot(xp[k] + 0.5 * xv[k], yp[k] + 0.5 * yv[k]))


def test_closest_pair_of_scattered_positions(tv):
    xp, yp = [0.1, 0.9, 0.5, 0.52, 0.3], [0.1, 0.2, 0.5, 0.5, 0.8]
    xv, yv = [0.0, 0.1, 0.0, 0.0, 0.0], [0.04, 0.0, 0.02, 0.01, 0.0]
    f = 0.02 / 0.1
    got = strokes(tv, lambda t: (graf_box(t), t.vecfld(xv, yv, xp, yp, 5, 1000)))
    assert find(got, to_plot(0.9, 0.2), to_plot(0.9 + f * 0.1, 0.2))
    assert find(got, to_plot(0.1, 0.1), to_plot(0.1, 0.1 + f * 0.04))
    assert len(shafts(got)) == 4     # the zero vector draws nothing


def test_given_factor_and_proportional_heads(tv):
    def body(t):
        graf_box(t)
        t.vecopt(2.0, "SCAL")
        t.vecfld([0.2], [0.0], [0.3], [0.5], 1, 1421)
    got = strokes(tv, body)
    a, b = to_plot(0.3, 0.5), to_plot(0.7, 0.5)
    assert find(got, a, b)
    # size digit 4 in size mode 1: the head is half as long as the vector
    head = [s for s in got if len(s) == 3][0]
    length = b[0] - a[0]
    assert head[1] == pytest.approx(b, abs=2e-3)
    assert head[0][0] == pytest.approx(b[0] - 0.5 * length, abs=2e-3)
    assert head[2][1] - head[0][1] == pytest.approx(2 * 0.5 * length / 3, abs=2e-3)


def test_grid_form_equals_scattered_form(tv):
    nx, ny = 4, 3
    xg, yg = [0.1, 0.3, 0.6, 0.9], [0.2, 0.5, 0.7]
    xv = [[math.cos(i + 2 * j) * 0.1 for j in range(ny)] for i in range(nx)]
    yv = [[math.sin(i * j + 1) * 0.1 for j in range(ny)] for i in range(nx)]
    flat = [(xg[i], yg[j], xv[i][j], yv[i][j]) for i in range(nx) for j in range(ny)]
    a = strokes(tv, lambda t: (graf_box(t), t.vecmat(xv, yv, nx, ny, xg, yg, 1401)))
    tv.delglb()
    b = strokes(tv, lambda t: (graf_box(t), t.vecfld([f[2] for f in flat], [f[3] for f in flat],
                                                      [f[0] for f in flat], [f[1] for f in flat],
                                                      len(flat), 1401)))
    assert len(a) == len(b) and all(same_points(p, q) for p, q in zip(a, b))


def test_field_draws_each_arrow_between_its_points(tv):
    xs, ys, xe, ye = [0.1, 0.5, 0.9], [0.1, 0.5, 0.9], [0.3, 0.5, 0.6], [0.1, 0.9, 0.6]
    got = strokes(tv, lambda t: (graf_box(t), t.field(xs, ys, xe, ye, 3, 1421)))
    for k in range(3):
        assert find(got, to_plot(xs[k], ys[k]), to_plot(xe[k], ye[k]))


def test_colours_by_length_and_restore(tv):
    def body(t):
        graf_box(t)
        t.setclr(77)
        t.vecclr(-2)
        # lengths 0.125, 0.25 and 0.375, exact in binary
        t.field([0.125] * 3, [0.2, 0.4, 0.6], [0.25, 0.375, 0.5], [0.2, 0.4, 0.6], 3, 1421)
        t.vecmat([[0.1], [0.2]], [[0.0], [0.0]], 2, 1, [0.2, 0.6], [0.8], 1421)
    ev = events(tv, body)
    colours = [e[1] for e in ev if e[0] == "colour"]
    k = colours.index(77)
    # the lengths span the scale: the first and last colour of the range and the middle
    assert colours[k:k + 5] == [77, 1, 128, 254, 77]
    assert colours[k + 5:] == [1, 254, 77]


def test_counts_levels_and_3d_refusal(tv, capfd):
    def body(t):
        t.vecfld([1.0], [1.0], [0.5], [0.5], 1, 1421)          # level 1
        graf_box(t)
        t.vecmat([[1.0]], [[1.0]], 1, 0, [0.5], [0.5], 1421)    # no rows: the wrapper stops
        t.field([0.1], [0.1], [0.2], [0.2], 1, 12345)           # bad type
    capfd.readouterr()
    got = strokes(tv, body)
    w = warnings(capfd)
    assert "Warning 3: Incorrect level in vecfld!" in w[0]
    assert "Warning 2: Incorrect parameter in field!   ( 12345)" in w[1]
    assert len(w) == 2 and got == []


def test_nan_and_huge_values_do_not_break_the_plot(tv, capfd):
    nan, big = float("nan"), 1e300
    def body(t):
        graf_box(t)
        t.field([0.1, nan, 0.3, 0.4], [0.1, 0.2, big, 0.4], [0.2, 0.3, 0.4, -big],
                [0.2, 0.3, 0.5, 0.5], 4, 1401)
        t.vecfld([nan, 0.1, big], [0.1, nan, 0.0], [0.2, 0.4, 0.6], [0.5, 0.5, 0.5], 3, 1421)
        t.vecopt(1.0, "SCAL")
        t.vecfld([1e200, 0.1], [1e200, 0.1], [0.2, 0.4], [0.5, 0.5], 2, 1421)
    got = strokes(tv, body)
    assert find(got, to_plot(0.1, 0.1), to_plot(0.2, 0.2))
    assert all(math.isfinite(c) for s in got for p in s for c in p)
    assert all(499 <= x <= 1500 and 500 <= y <= 1501 for s in got for x, y in s)


def test_log_axis_needs_positive_positions(tv, capfd):
    def body(t):
        t.axsscl("log", "y")
        t.axspos(500, 1500)
        t.axslen(1000, 1000)
        t.setgrf("none", "none", "none", "none")
        t.frame(0)
        t.graf(0.0, 1.0, 0.0, 0.5, -1.0, 1.0, -1.0, 1.0)
        t.vecfld([0.1], [0.1], [0.5], [0.0], 1, 1421)
    capfd.readouterr()
    assert strokes(tv, body) == []
    assert any("Warning 27" in l for l in warnings(capfd))


# --- wind symbols

def test_wind_symbol_elements(tv):
    def body(t):
        t.windbr(65.0, 1000, 1000, 400, 0.0)   # from the north: the shaft points up
        t.windbr(1.0, 1500, 1000, 400, 0.0)    # calm: a circle
        t.windbr(5.0, 2000, 1000, 400, 90.0)   # from the east: shaft to the right, half barb
    got = strokes(tv, body)
    shaft = [s for s in got if same_points(s, [(1000, 1000), (1000, 600)])]
    assert shaft
    near_station = [s for s in got if all(abs(x - 1000) < 200 and 550 < y < 1001 for x, y in s)]
    # shaft, pennant outline (closed triangle, maybe twice through the fill outline), barb, half barb
    lines = [s for s in near_station if len(s) == 2 and s is not shaft[0]]
    lengths = sorted(round(math.dist(*s), 3) for s in lines)
    assert lengths[:2] == pytest.approx([400 / 6, 400 / 3], abs=1e-2)
    # barbs lie on the clockwise side: for a shaft pointing up, to the right
    assert all(x >= 1000 - 1e-3 for s in lines for x, _ in s)
    circle = [s for s in got if all(math.dist(p, (1500, 1000)) == pytest.approx(40, abs=1e-2)
                                    for p in s)]
    assert circle
    east = [s for s in got if same_points(s, [(2000, 1000), (2400, 1000)])]
    assert east


def test_wind_symbol_checks(tv, capfd):
    def body(t):
        t.windbr(-5.0, 1000, 1000, 400, 0.0)
        t.windbr(5.0, 1000, 1000, 0, 0.0)
        t.rlwind(5.0, 0.5, 0.5, 300, 0.0)      # no axis system
    capfd.readouterr()
    assert strokes(tv, body) == []
    w = warnings(capfd)
    assert len(w) == 3 and "Warning 3" in w[2]
