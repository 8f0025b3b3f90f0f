"""Data utilities (histog, linfit, sortr1, sortr2, bezier) and the reset of chart parameters."""
import math

import pytest

from chartutil import strokes_of, warnings


def test_histogram_counts_distinct_values(tv):
    tv.tavini()
    xh, yh = [0.0] * 7, [0.0] * 7
    n = tv.histog([3.0, 1.0, 3.0, 2.5, math.nan, 1.0, 3.0], 7, xh, yh)
    assert n == 3 and xh[:3] == [1.0, 2.5, 3.0] and yh[:3] == [2.0, 1.0, 3.0]


def test_regression_line(tv, capfd):
    tv.tavini()
    a, b, r = tv.linfit([1.0, 2.0, 3.0, 4.0], [3.0, 5.0, 7.0, 9.0], 4, "none")
    assert (a, b, r) == pytest.approx((2.0, 1.0, 1.0))
    a, b, r = tv.linfit([1.0, 2.0, 3.0], [1.0, 3.0, 2.0], 3, "none")
    assert (a, b, r) == pytest.approx((0.5, 1.0, 0.5))
    assert tv.linfit([2.0, 2.0], [1.0, 3.0], 2, "none") == (0, 0, 0)
    assert tv.linfit([1.0, 2.0], [1.0, 3.0], 2, "some") == (0, 0, 0)
    w = warnings(capfd)
    assert "38: Singular matrix in linfit" in w[0] and "in linfit!   (some)" in w[1]
    tv.delglb()
    got = {}

    def body(t):
        got["ends"] = [(t.xposn(v), t.yposn(2 * v + 1)) for v in (1.0, 4.0)]
        got["axis"] = [(t.xposn(v), t.yposn(2 * v + 1)) for v in (0.0, 10.0)]
        t.linfit([1.0, 2.0, 3.0, 4.0], [3.0, 5.0, 7.0, 9.0], 4, "line")
        t.linfit([1.0, 2.0, 3.0, 4.0], [3.0, 5.0, 7.0, 9.0], 4, "all")
    line, whole = strokes_of(tv, body, axis=(0.0, 10.0, 0.0, 2.0, 0.0, 25.0, 0.0, 5.0))
    assert line == [pytest.approx(p, abs=0.01) for p in got["ends"]]
    assert whole == [pytest.approx(p, abs=0.01) for p in got["axis"]]


def test_sorting(tv, capfd):
    tv.tavini()
    x = [3.0, math.nan, -1.0, 2.0]
    tv.sortr1(x, 4, "a")
    assert x[:3] == [-1.0, 2.0, 3.0] and math.isnan(x[3])
    x = [3.0, 1.0, 2.0]
    y = [30.0, 10.0, 20.0]
    tv.sortr2(x, y, 3, "desc")
    assert x == [3.0, 2.0, 1.0] and y == [30.0, 20.0, 10.0]
    tv.sortr1(x, 3, "up")
    assert "in sortr1!   (up)" in warnings(capfd)[0]


def test_bezier(tv, capfd):
    tv.tavini()
    xp, yp = [0.0] * 5, [0.0] * 5
    tv.bezier([0.0, 1.0, 2.0], [0.0, 2.0, 0.0], 3, xp, yp, 5)
    assert xp == pytest.approx([0.0, 0.5, 1.0, 1.5, 2.0])
    assert yp == pytest.approx([0.0, 0.75, 1.0, 0.75, 0.0])
    tv.bezier([0.0] * 22, [0.0] * 22, 22, xp, yp, 5)
    assert "in bezier!   ( 22)" in warnings(capfd)[0]


def test_reset_of_chart_parameters(tv):
    tv.tavini()
    tv.unit(0)
    tv.hsymbl(50)
    tv.marker(7)
    tv.splmod(4, 10)
    tv.reset("splm")
    out = ([0.0] * 200, [0.0] * 200)
    assert tv.spline([0.0, 1.0, 2.0, 3.0, 4.0], [0.0, 1.0, 0.0, 1.0, 0.0], 5, [0.0] * 10, [0.0] * 10) == 10
    tv.splmod(3, 200)
    assert tv.spline([0.0, 1.0, 2.0, 3.0, 4.0], [0.0, 1.0, 0.0, 1.0, 0.0], 5, *out) == 200
    tv.tavfin()
    tv.tavini()
    assert tv.getsym() == (0, 36)            # tavini resets the symbol settings
