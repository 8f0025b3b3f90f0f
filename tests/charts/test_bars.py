"""Bar graphs: widths and groups, positions at ticks and from the axis, horizontal and 3-D
forms, labels, financial bars, and the checks of the bar routines."""
import pytest

from chartutil import strokes_of, warnings


def boxes(strokes):
    """Closed 5-point strokes as (x min, x max, y min, y max)."""
    out = []
    for s in strokes:
        if len(s) == 5 and abs(s[0][0] - s[-1][0]) < 1e-6 and abs(s[0][1] - s[-1][1]) < 1e-6:
            xs, ys = [p[0] for p in s], [p[1] for p in s]
            out.append((min(xs), max(xs), min(ys), max(ys)))
    return out


def test_grouped_bars_share_the_group_width(tv):
    got = {}

    def body(t):
        got["x"] = [t.xposn(v) for v in (2.0, 4.0)]
        got["foot"], got["top"] = t.yposn(0.0), t.yposn(5.0)
        t.bargrp(3, 0.0)
        for _ in range(3):
            t.bars([2.0, 4.0], [0.0, 0.0], [5.0, 5.0], 2)
    b = boxes(strokes_of(tv, body))
    x2, x4 = got["x"]
    group = 0.75 * (x4 - x2)
    assert len(b) == 6
    firsts = sorted(x for x in b if x[0] < (x2 + x4) / 2)
    assert [round(x[0] - (x2 - group / 2), 3) for x in firsts] == [0, round(group / 3, 3), round(2 * group / 3, 3)]
    assert all(x[1] - x[0] == pytest.approx(group / 3, abs=0.01) for x in b)
    assert all(x[3] == pytest.approx(got["foot"], abs=0.01) and x[2] == pytest.approx(got["top"], abs=0.01) for x in b)


def test_gaps_and_variable_widths(tv):
    got = {}

    def body(t):
        got["x"] = [t.xposn(v) for v in (1.0, 2.0, 5.0)]
        t.bargrp(2, -10.0)           # a gap of 10 plot units
        t.bars([1.0, 2.0, 5.0], [0.0] * 3, [1.0] * 3, 3)
        t.bargrp(1, 0.0)
        t.barwth(0.5)
        t.barmod("vari", "width")
        t.bars([1.0, 2.0, 5.0], [0.0] * 3, [2.0] * 3, 3)
        t.barwth(-30.0)
        t.bars([1.0], [0.0], [3.0], 1)
    b = boxes(strokes_of(tv, body))
    x1, x2, x5 = got["x"]
    W = 0.75 * (x2 - x1)
    assert b[0][1] - b[0][0] == pytest.approx((W - 10) / 2, abs=0.01)
    widths = [x[1] - x[0] for x in b[3:6]]
    assert widths == pytest.approx([0.5 * (x2 - x1), 0.5 * (x2 - x1), 0.5 * (x5 - x2)], abs=0.01)
    assert b[6][1] - b[6][0] == pytest.approx(30, abs=0.01)


def test_positions_at_ticks_and_feet_on_the_axis(tv, capfd):
    got = {}

    def body(t):
        got["x"] = [t.xposn(v) for v in (2.0, 4.0, 6.0, 8.0)]
        got["foot"] = t.yposn(0.0)
        t.barpos("both")
        t.bars([0.0] * 4, [3.0] * 4, [5.0] * 4, 4)
    b = boxes(strokes_of(tv, body))
    assert [round((x[0] + x[1]) / 2, 2) for x in b] == [round(v, 2) for v in got["x"]]
    assert all(x[3] == pytest.approx(got["foot"], abs=0.01) for x in b)
    tv.delglb()
    tv.tavini()
    tv.graf(0.0, 10.0, 0.0, 2.0, 0.0, 10.0, 0.0, 2.0)
    tv.barpos("tick")
    tv.bars([0.0] * 5, [0.0] * 5, [1.0] * 5, 5)
    assert "28: Number of bars unequal number of main ticks in bars" in warnings(capfd)[0]


def test_horizontal_and_3d_forms(tv):
    got = {}

    def body(t):
        got["y"] = t.yposn(3.0)
        got["left"], got["right"] = t.xposn(0.0), t.xposn(6.0)
        t.bartyp("hori")
        t.barwth(-40.0)
        t.bars([3.0], [0.0], [6.0], 1)
    b = boxes(strokes_of(tv, body))
    assert b == [pytest.approx((got["left"], got["right"], got["y"] - 20, got["y"] + 20), abs=0.01)]
    tv.delglb()

    def body3d(t):
        t.bartyp("3dve")
        t.baropt(50.0, 45.0)
        t.barwth(-40.0)
        t.bars([5.0], [0.0], [6.0], 1)
    faces = boxes(strokes_of(tv, body3d))
    # front face, then the outlines of front, side and top (the fills are solid outlines here)
    assert len(faces) >= 4
    xs = [f[1] for f in faces]
    assert max(xs) - min(xs) == pytest.approx(50 * 2 ** -0.5, abs=0.01)


def test_degenerate_bar_and_labels(tv):
    got = {}

    def body(t):
        got["y"] = t.yposn(4.0)
        got["x"] = t.xposn(3.0)
        t.labels("delta", "bar")
        t.labdig(1, "bar")
        t.bars([3.0], [4.0], [4.0], 1)
    strokes = strokes_of(tv, body)
    flat = boxes(strokes)
    assert flat and flat[0][2] == pytest.approx(flat[0][3], abs=0.01)     # outline of zero height
    label = [s for s in strokes if len(s) < 5 or not boxes([s])]
    ys = [p[1] for s in label for p in s]
    xs = [p[0] for s in label for p in s]
    assert label and max(ys) < got["y"] and abs((min(xs) + max(xs)) / 2 - got["x"]) < 10  # above it


def test_financial_bars(tv):
    got = {}

    def body(t):
        got["p"] = t.xposn(5.0), [t.yposn(v) for v in (2.0, 6.0, 1.0, 4.0)]
        t.barwth(-40.0)
        t.fbars([5.0], [2.0], [6.0], [1.0], [4.0], 1)      # rising: a hollow candle
        t.bartyp("tick")
        t.fbars([5.0], [2.0], [6.0], [1.0], [4.0], 1)
    strokes = strokes_of(tv, body)
    x, (op, hi, lo, cl) = got["p"]
    assert [pytest.approx(v, abs=0.01) for v in (x - 20, x + 20, cl, op)] == list(boxes(strokes)[0])
    ticks = strokes[-3:]
    assert ticks[0] == [pytest.approx((x, lo), abs=0.01), pytest.approx((x, hi), abs=0.01)]
    assert ticks[1] == [pytest.approx((x - 20, op), abs=0.01), pytest.approx((x, op), abs=0.01)]
    assert ticks[2] == [pytest.approx((x, cl), abs=0.01), pytest.approx((x + 20, cl), abs=0.01)]


def test_bar_checks(tv, capfd):
    tv.tavini()
    tv.bars([1.0], [0.0], [1.0], 1)
    tv.bargrp(31, 0.0)
    tv.barmod("vari", "size")
    tv.bartyp("diag")
    tv.barclr(-2, 0, 0)
    tv.axsscl("log", "y")
    tv.graf(0.0, 10.0, 0.0, 2.0, -1.0, 2.0, -1.0, 1.0)
    tv.bars([1.0], [0.0], [10.0], 1)
    w = warnings(capfd)
    assert "3: Incorrect level in bars" in w[0]
    assert "in bargrp!   ( 31)" in w[1] and "in barmod!   (size)" in w[2]
    assert "in bartyp!   (diag)" in w[3] and "in barclr!   ( -2)" in w[4]
    assert "27: Non positive values for log scaling in bars" in w[5]
