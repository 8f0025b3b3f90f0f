"""Colour axis systems (graf3) and the colours of values: coloured points and matrices read
back as pixels, colray against the colour scaling, and shaded surfaces coloured by value."""
import math

import pytest
from PIL import Image

from helpers3d import cube, run

SCALE = min(852 / 2969, 602 / 2099)


def png(tv, body):
    def before(t):
        t.imgfmt("rgb")
        t.scrmod("revers")
    return Image.open(run(tv, body, before=before, fmt="png")).convert("RGB")


def index_rgb(tv, k):
    return tuple(int(255 * c + 0.5) for c in tv.getind(k))


def test_colray_follows_the_z_axis_of_the_colour_system(tv):
    tv.tavini()
    tv.graf3(0, 1, 0, 0.5, 0, 1, 0, 0.5, 0, 10, 0, 2)
    z = [-1.0, 0.0, 2.5, 5.0, 10.0, 11.0]
    out = [0] * 6
    tv.colray(z, out, 6)
    # 254 colours over 0..10: index trunc(v * 25.4 + 1), below 0 and above 10 the range colours
    assert out == [0, 1, int(2.5 * 25.4 + 1), int(5 * 25.4 + 1), 254, 255]
    assert [tv.nzposn(v) for v in z[1:5]] == out[1:5] if "nzposn" not in tv._pending else True


def test_curve3_and_crvmat_paint_the_colours_of_their_values(tv):
    seen = {}

    def body(t):
        t.setres(20, 20)
        t.graf3(0, 10, 0, 2, 0, 10, 0, 2, 0, 100, 0, 20)
        t.curve3([2.0, 8.0], [2.0, 8.0], [10.0, 90.0], 2)
        seen["pts"] = [(t.nxposn(2.0), t.nyposn(2.0)), (t.nxposn(8.0), t.nyposn(8.0))]
        idx = [0, 0]
        t.colray([10.0, 90.0], idx, 2)
        seen["idx"] = idx
        seen["rgb"] = [index_rgb(t, k) for k in idx]
    img = png(tv, body)
    for (x, y), colour in zip(seen["pts"], seen["rgb"]):
        assert img.getpixel((round(x * SCALE), round(y * SCALE))) == colour


def test_crvmat_interpolates_between_the_matrix_values(tv):
    seen = {}

    def body(t):
        t.graf3(0, 1, 0, 0.5, 0, 1, 0, 0.5, 0, 1, 0, 0.25)
        t.crvmat([0.0, 0.0, 1.0, 1.0], 2, 2, 8, 1)          # 0 at x = 0, 1 at x = 1
        vals = [0.125, 0.5, 0.875]                        # at the nodes of the cells
        idx = [0] * 3
        t.colray(vals, idx, 3)
        seen["cols"] = [index_rgb(t, k) for k in idx]
        seen["pts"] = [(t.nxposn(v), t.nyposn(0.5)) for v in vals]
    img = png(tv, body)
    for (x, y), colour in zip(seen["pts"], seen["cols"]):
        assert img.getpixel((round(x * SCALE), round(y * SCALE))) == colour


def test_colour_routines_need_a_colour_system(tv, capfd):
    tv.tavini()
    cube(tv, axes=False)
    capfd.readouterr()
    tv.curve3([0.0], [0.0], [0.0], 1)
    tv.crvmat([0.0] * 4, 2, 2, 1, 1)
    out = capfd.readouterr().out
    assert out.count("Warning 35: Confusion of graf3d and graf3") == 2


def test_flat_shaded_cells_take_the_colour_of_their_mean_value(tv):
    seen = {}

    def body(t):
        cube(t, axes=False)
        t.zbfini()
        # one cell over the whole box floor with corner values 0, 1, 2, 3
        t.surshd([-3.0, 3.0], 2, [-3.0, 3.0], 2, [-3.0, -1.0, 1.0, 3.0])
        t.zbffin()
        idx = [0]
        t.colray([0.0], idx, 1)
        seen["rgb"] = index_rgb(t, idx[0])
        seen["c"] = t.rel3pt(0.5, -0.5, 0.0)
    img = png(tv, body)
    x, y = seen["c"]
    assert img.getpixel((round(x * SCALE), round(y * SCALE))) == seen["rgb"]


def test_smooth_shading_interpolates_the_corner_colours(tv):
    seen = {}

    def body(t):
        t.shdmod("smooth", "surf")
        cube(t, axes=False)
        t.surshd([-3.0, 3.0], 2, [-3.0, 3.0], 2, [3.0, 3.0, -3.0, -3.0])  # the plane z = -x
        idx = [0, 0]
        t.colray([3.0, -3.0], idx, 2)
        seen["ends"] = [index_rgb(t, k) for k in idx]
        seen["a"] = t.rel3pt(-2.9, 0.0, 2.9)
        seen["b"] = t.rel3pt(2.9, 0.0, -2.9)
    img = png(tv, body)
    for key, colour in (("a", seen["ends"][0]), ("b", seen["ends"][1])):
        x, y = seen[key]
        got = img.getpixel((round(x * SCALE), round(y * SCALE)))
        assert max(abs(g - c) for g, c in zip(got, colour)) <= 12, (key, got, colour)


def test_surmsh_only_draws_the_mesh_with_hidden_parts_removed(tv):
    seen = {}
    xs = [-3.0 + i for i in range(7)]

    def body(t):
        cube(t, axes=False)
        t.surmsh("only")
        t.setrgb(1, 0, 0)
        t.zbfini()
        t.surshd(xs, 7, xs, 7, [0.0] * 49)
        t.zbffin()
        seen["line"] = t.rel3pt(0.0, -3.0, 0.0)          # the front grid line
        seen["cell"] = t.rel3pt(0.5, 0.5, 0.0)           # the middle of a cell
    img = png(tv, body)
    x, y = seen["line"]
    near = [img.getpixel((round(x * SCALE) + dx, round(y * SCALE) + dy))
            for dx in (-1, 0, 1) for dy in (-1, 0, 1)]
    assert (255, 0, 0) in near
    x, y = seen["cell"]
    assert img.getpixel((round(x * SCALE), round(y * SCALE))) == (255, 255, 255)
