"""curve seen through the metafile: symbols and steps, interpolation methods, thick curves,
missing values and gaps, attribute cycles, and the checks of its arguments."""
import math

import pytest

from chartutil import centre, close, strokes_of, warnings


def plot_pos(tv, pts):
    return [(tv.xposn(x), tv.yposn(y)) for x, y in pts]


# --- symbols along a curve

def test_symbol_steps_and_symbols_only(tv):
    xs = [float(i) for i in range(1, 11)]
    ys = [1.0 + 0.5 * i for i in range(10)]
    got = {}

    def body(t):
        got["pos"] = plot_pos(t, zip(xs, ys))
        t.marker(0)
        t.incmrk(3)
        t.curve(xs, ys, 10)
    strokes = strokes_of(tv, body, axis=(0.0, 12.0, 0.0, 2.0, 0.0, 10.0, 0.0, 2.0))
    squares = [s for s in strokes if len(s) == 5]
    line = [s for s in strokes if len(s) == 10]
    assert len(line) == 1 and all(close(p, q) for p, q in zip(line[0], got["pos"]))
    centres = [centre(s) for s in squares]
    want = [got["pos"][i] for i in (0, 3, 6, 9)]           # points 1, 4, 7 and 10
    assert len(centres) == 4
    assert all(abs(c[0] - round(w[0])) < 0.01 and abs(c[1] - round(w[1])) < 0.01
               for c, w in zip(centres, want))
    assert all(abs(max(p[0] for p in s) - min(p[0] for p in s) - 36) < 0.01 for s in squares)
    tv.delglb()

    # a single point with symbols only: one symbol, no line
    strokes = strokes_of(tv, lambda t: (t.incmrk(-1), t.marker(3), t.curve([5.0], [5.0], 1)))
    assert len(strokes) == 2 and all(len(s) == 2 for s in strokes)


def test_single_point_needs_symbols_only(tv, capfd):
    tv.tavini()
    tv.graf(0.0, 10.0, 0.0, 2.0, 0.0, 10.0, 0.0, 2.0)
    tv.curve([5.0], [5.0], 1)
    assert "Warning 2: Incorrect parameter in curve!   ( 1)" in warnings(capfd)[0]


# --- interpolation methods

def test_step_stairs_stems_and_bars_geometry(tv):
    xs, ys = [2.0, 4.0, 5.0], [2.0, 6.0, 4.0]
    got = {}

    def body(t):
        p = got["p"] = plot_pos(t, zip(xs, ys))
        got["zero"] = t.yposn(0.0)
        for m in ("step", "stai", "stem", "bars"):
            t.polcrv(m)
            t.curve(xs, ys, 3)
    strokes = strokes_of(tv, body)
    p, zero = got["p"], got["zero"]
    step = strokes[0]
    m1, m2 = (p[0][0] + p[1][0]) / 2, (p[1][0] + p[2][0]) / 2
    want = [(p[0][0] - (p[1][0] - p[0][0]) / 2, p[0][1]), (m1, p[0][1]), (m1, p[1][1]),
            (m2, p[1][1]), (m2, p[2][1]), (p[2][0] + (p[2][0] - p[1][0]) / 2, p[2][1])]
    assert len(step) == 6 and all(close(a, b) for a, b in zip(step, want))
    stairs = strokes[1]
    want = [p[0], (p[1][0], p[0][1]), p[1], (p[2][0], p[1][1]), p[2]]
    assert all(close(a, b) for a, b in zip(stairs, want))
    stems = strokes[2:5]
    assert all(close(s[0], (q[0], zero)) and close(s[1], q) for s, q in zip(stems, p))
    bars = strokes[5:8]
    width = 0.75 * (p[1][0] - p[0][0])
    for s, q in zip(bars, p):
        xs_ = [pt[0] for pt in s]
        assert abs(min(xs_) - (q[0] - width / 2)) < 0.01 and abs(max(xs_) - (q[0] + width / 2)) < 0.01
        assert abs(max(pt[1] for pt in s) - zero) < 0.01 and abs(min(pt[1] for pt in s) - q[1]) < 0.01


def test_spline_passes_through_points_and_reproduces_cubics(tv):
    tv.tavini()
    tv.unit(0)
    xs = [0.0, 1.0, 2.0, 3.0, 4.0]
    cubic = [0.5 * x ** 3 - 2 * x ** 2 + x - 1 for x in xs]
    tv.splmod(3, 9)
    n = tv.spline(xs, cubic, 5, [0.0] * 9, [0.0] * 9)
    assert n == 9
    xo, yo = [0.0] * 9, [0.0] * 9
    assert tv.spline(xs, cubic, 5, xo, yo) == 9
    assert xo == pytest.approx([0.5 * i for i in range(9)])
    assert yo == pytest.approx([0.5 * x ** 3 - 2 * x ** 2 + x - 1 for x in xo], abs=1e-9)
    # any data: the spline meets every point; higher orders too
    ys = [1.0, -2.0, 0.5, 3.0, -1.0]
    for order in (2, 3, 4):
        tv.splmod(order, 9)
        xo, yo = [0.0] * 9, [0.0] * 9
        tv.spline(xs, ys, 5, xo, yo)
        assert yo[::2] == pytest.approx(ys, abs=1e-9)
    # parametric: both coordinates interpolated, ends kept
    tv.polcrv("pspl")
    tv.splmod(3, 50)
    xo, yo = [0.0] * 50, [0.0] * 50
    assert tv.spline([0.0, 1.0, 1.0, 0.0], [0.0, 0.0, 1.0, 1.0], 4, xo, yo) == 50
    assert (xo[0], yo[0], xo[-1], yo[-1]) == pytest.approx((0, 0, 0, 1))
    assert max(xo) > 1.0        # the curve swings out beyond the corner points


def test_spline_errors(tv, capfd):
    tv.tavini()
    tv.splmod(3, 20)
    out = ([0.0] * 20, [0.0] * 20)
    assert tv.spline([0.0, 1.0, 1.0, 2.0, 3.0], [0.0] * 5, 5, *out) == 0
    assert tv.spline([0.0, 1.0, 2.0], [0.0] * 3, 3, *out) == 0
    w = warnings(capfd)
    assert "No increasing x coordinates for spline interpolation in spline" in w[0]
    assert "Incorrect number of points for spline interpolation in spline" in w[1]
    tv.nograf()
    tv.graf(0.0, 10.0, 0.0, 2.0, 0.0, 10.0, 0.0, 2.0)
    tv.polcrv("spli")
    tv.nancrv("on")
    tv.curve([1.0, 2.0, math.nan, 4.0, 5.0], [1.0, 2.0, 3.0, 4.0, 5.0], 5)
    assert "160: NaN Values are not handled for spline interpolation in curve" in warnings(capfd)[0]


def test_thick_curve_is_drawn_shifted(tv):
    got = {}

    def body(t):
        got["y"] = t.yposn(5.0)
        t.thkcrv(3)
        t.curve([1.0, 9.0], [5.0, 5.0], 2)
    strokes = strokes_of(tv, body)
    # offsets 0, +1, -1: positive offsets move a line running in +x up the page
    assert [round(s[0][1] - got["y"], 3) for s in strokes] == [0, -1, 1]


def test_missing_values_split_the_line_and_keep_symbols(tv):
    xs = [1.0, 2.0, 3.0, 4.0, 5.0]
    ys = [1.0, 2.0, math.nan, 4.0, 5.0]

    def body(t):
        t.nancrv("on")
        t.incmrk(1)
        t.marker(3)
        t.curve(xs, ys, 5)
    strokes = strokes_of(tv, body)
    plus = [s for s in strokes if len(s) == 2 and (abs(s[0][0] - s[1][0]) < 1e-6 or abs(s[0][1] - s[1][1]) < 1e-6)
            and abs(math.dist(*s) - 36) < 0.01]
    lines = [s for s in strokes if s not in plus]
    assert len(plus) == 8                      # four symbols, NaN skipped
    assert len(lines) == 2 and [len(s) for s in lines] == [2, 2]


def test_gaps_break_the_line(tv):
    strokes = strokes_of(tv, lambda t: (t.gapcrv(1.5), t.curve([1.0, 2.0, 5.0, 6.0], [1.0, 2.0, 3.0, 4.0], 4)))
    assert [len(s) for s in strokes] == [2, 2]
    tv.delglb()
    strokes = strokes_of(tv, lambda t: (t.gapsiz(0.5, "y"), t.curve([1.0, 2.0, 3.0], [1.0, 1.2, 3.0], 3)))
    assert [len(s) for s in strokes] == [2]


# --- attribute cycles and curve numbers

def test_line_cycle_returns_after_thirty_changes(tv):
    def body(t):
        t.lincyc(1, 2)      # dash
        t.lincyc(2, 0)      # solid
        t.chncrv("line")
        for i in range(31):
            t.curve([1.0, 9.0], [0.2 + 0.3 * i, 0.2 + 0.3 * i], 2)
    strokes = strokes_of(tv, body)
    per_y = {}
    for s in strokes:
        per_y.setdefault(round(s[0][1], 3), []).append(s)
    counts = [len(v) for _, v in sorted(per_y.items(), reverse=True)]
    assert counts[0] > 10 and counts[1] == 1 and counts[30] == counts[0]


def test_symbols_advance_from_curve_to_curve(tv):
    tv.tavini()
    tv.unit(0)
    tv.nograf()
    tv.graf(0.0, 10.0, 0.0, 2.0, 0.0, 10.0, 0.0, 2.0)
    tv.marker(22)
    tv.incmrk(1)
    tv.curve([1.0, 2.0], [1.0, 2.0], 2)
    assert tv.getsym()[0] == 23
    tv.curve([1.0, 2.0], [1.0, 2.0], 2)
    assert tv.getsym()[0] == 1
    tv.inccrv(2)
    tv.curve([1.0, 2.0], [1.0, 2.0], 2)
    assert tv.getsym()[0] == 1          # the cycle steps every second curve now
    tv.curve([1.0, 2.0], [1.0, 2.0], 2)
    assert tv.getsym()[0] == 2
    tv.incmrk(0)
    tv.curve([1.0, 2.0], [1.0, 2.0], 2)
    tv.curve([1.0, 2.0], [1.0, 2.0], 2)
    assert tv.getsym()[0] == 2          # lines only: the symbol stays


def test_colour_cycle_is_restored_after_each_curve(tv):
    tv.tavini()
    tv.unit(0)
    tv.nograf()
    tv.graf(0.0, 10.0, 0.0, 2.0, 0.0, 10.0, 0.0, 2.0)
    tv.setclr(77)
    tv.chncrv("color")
    tv.curve([1.0, 2.0], [1.0, 2.0], 2)
    assert tv.getclr() == 77


# --- checks

def test_level_and_parameter_warnings(tv, capfd):
    tv.tavini()
    tv.curve([1.0, 2.0], [1.0, 2.0], 2)           # level 1
    tv.polcrv("wave")
    tv.thkcrv(0)
    tv.inccrv(40000)
    tv.marker(99)
    tv.splmod(1, 4)
    w = warnings(capfd)
    assert "3: Incorrect level in curve" in w[0]
    assert "2: Incorrect parameter in polcrv!   (wave)" in w[1]
    assert "in thkcrv" in w[2] and "in inccrv" in w[3] and "in marker" in w[4]
    assert len([x for x in w if "in splmod" in x]) == 2


def test_polar_and_log_restrictions(tv, capfd):
    tv.tavini()
    tv.polar(1.0, 0.0, 0.5, 0.0, 30.0)
    tv.polcrv("step")
    tv.curve([0.5, 0.6], [0.0, 1.0], 2)
    assert "160: Bad interpolation method for polar scaling in curve" in warnings(capfd)[0]
    tv.endgrf()
    tv.axsscl("log", "y")
    tv.polcrv("line")
    tv.graf(0.0, 10.0, 0.0, 2.0, -1.0, 2.0, -1.0, 1.0)
    tv.curve([1.0, 2.0], [1.0, 0.0], 2)
    assert "27: Non positive values for log scaling in curve" in warnings(capfd)[0]


def test_points_outside_the_scaling_are_reported(tv, capfd):
    tv.tavini()
    tv.errmod("check", "on")
    tv.nograf()
    tv.graf(0.0, 10.0, 0.0, 2.0, 0.0, 10.0, 0.0, 2.0)
    tv.curve([1.0, 12.0, 3.0], [1.0, 1.0, 20.0], 3)
    out = [l for l in capfd.readouterr().out.splitlines() if "out of axis scaling" in l]
    assert out == [" <<<< (  1.2000e+01 /  1.0000e+00) out of axis scaling in curve!",
                   " <<<< (  3.0000e+00 /  2.0000e+01) out of axis scaling in curve!"]


def test_error_bars(tv):
    got = {}

    def body(t):
        got["p"] = plot_pos(t, [(2.0, 4.0), (2.0, 3.0), (2.0, 6.0)])
        t.marker(-1)
        t.hsymbl(30)
        t.errbar([2.0], [4.0], [1.0], [2.0], 1)
        t.bartyp("hori")
        t.errbar([2.0], [4.0], [1.0], [2.0], 1)
    strokes = strokes_of(tv, body)
    _, lo, hi = got["p"]
    assert close(strokes[0][0], lo) and close(strokes[0][1], hi)
    caps = strokes[1:3]
    assert all(abs(abs(s[1][0] - s[0][0]) - 20) < 0.01 for s in caps)   # half width size / 3
    assert abs(strokes[3][0][1] - strokes[3][1][1]) < 0.01                # horizontal bar
