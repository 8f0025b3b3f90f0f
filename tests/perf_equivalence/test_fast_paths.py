"""Shortcuts on the per-element and per-pixel paths keep their results."""
import numpy as np
import pytest


def test_number_lists_of_every_kind_convert_like_floats(tv):
    class F(float):
        pass

    vals = [3, 1.5, True, F(2.25), np.float64(-1.0), 10**20, -0.0, 7.0]
    xs = list(vals)
    tv.sortr1(xs, len(xs), "a")
    assert xs == sorted(float(v) for v in vals)
    assert all(type(v) is float for v in xs)
    ys = [5.0, 4.0, 3.0]
    tv.sortr1(ys, 2, "a")                     # only the first n are converted and written
    assert ys == [4.0, 5.0, 3.0]
    for bad in ([1.0] * 5 + ["x"], [1.0, None], [1.0, 2.0, F(1), object()]):
        with pytest.raises(ValueError, match="^no floatingpoint element in sequence$"):
            tv.sortr1(bad, len(bad), "a")


def test_outline_over_a_fill_is_drawn_after_pixel_writes(tv):
    # the raster device skips an outline whose pixels its polygon fill has just set; a
    # pixel written in between must not be left behind
    s = min(852 / 2969, 602 / 2099)
    tv.metafl("png")
    tv.setfil("o.png")
    tv.filmod("delete")
    tv.tavini()
    tv.unit(0)
    tv.color("red")
    tv.shdpat(16)
    tv.noarln()
    xs, ys = [300, 1500, 900], [300, 500, 1600]
    corner = (int(300 * s + 0.5), int(300 * s + 0.5))
    edge = (int(900 * s + 0.5), int(300 * s + 0.5))   # on no edge: stays as it is

    def outline():
        tv.strtpt(xs[0], ys[0])
        for x, y in zip(xs[1:] + xs[:1], ys[1:] + ys[:1]):
            tv.connpt(x, y)

    tv.areaf(xs, ys, 3)
    red = tv.rpixel(*corner)
    tv.wpixel(*corner, 0)
    tv.wpixel(*edge, 0)
    outline()
    assert tv.rpixel(*corner) == red != 0
    assert tv.rpixel(*edge) == 0
    tv.areaf(xs, ys, 3)                       # fill, then its outline right away: same pixels
    outline()
    assert tv.rpixel(*corner) == red
    tv.tavfin()
