"""Shaded contours read back from true-colour PNG images: every cell in the colour of its band,
band boundaries on the contour lines, outer bands, colour rules, polygons of method POLY,
triangles of confll; the vector formats checked by their own readers."""
import random
import shutil
import subprocess

import pytest

from contour_plots import Picture, explicit, grid, linspace, plot, rgb, warnings

UNIT_SQUARE = (0, 1, 0, 1)
RED, GREEN, BLUE, GOLD = (1, 0, 0), (0, 0.6, 0), (0, 0, 1), (0.9, 0.7, 0.1)
WHITE = (255, 255, 255)


def colours(tv, *channels):
    return [explicit(*c) for c in channels]


def shade(tv, body, scale=UNIT_SQUARE, fmt="PNG"):
    name, page = plot(tv, body, fmt=fmt, scale=scale)
    return Picture(name, page, scale) if fmt == "PNG" else name


def band_of(levels, v):
    return sum(1 for c in levels if c < v)


# ------------------------------------------------------------------------------------------
# method CELL

def test_every_cell_takes_the_colour_of_its_band(tv):
    # random values: cells with one, two and many bands; the centre of every cell has the
    # mean of its corners, which fixes the band seen there whatever the cell's kind
    rnd = random.Random(7)
    xs = linspace(0, 1, 10)
    z = [rnd.random() for _ in range(100)]
    levels = [0.2, 0.4, 0.6, 0.8]
    clr = colours(tv, RED, GREEN, BLUE, GOLD)

    def body(t):
        t.conclr(clr, 4)
        t.shdmod("UPPE", "CELL")     # band 0 stays white
        t.conshd(xs, 10, xs, 10, z, levels, 4)
    pic = shade(tv, body)
    checked = 0
    for i in range(9):
        for j in range(9):
            corners = [z[i * 10 + j], z[(i + 1) * 10 + j], z[(i + 1) * 10 + j + 1],
                       z[i * 10 + j + 1]]
            mean = sum(corners) / 4
            if min(abs(mean - c) for c in levels) < 0.02:
                continue
            b = band_of(levels, mean)
            want = WHITE if b == 0 else rgb(clr[b - 1])
            assert pic.at((xs[i] + xs[i + 1]) / 2, (xs[j] + xs[j + 1]) / 2) == want, (i, j)
            checked += 1
    assert checked > 60


def test_band_boundaries_follow_the_levels(tv):
    # a linear function: the cut cells must place every boundary on the level lines
    xs = linspace(0, 1, 11)
    z = grid(lambda x, y: x + y, xs, xs)
    levels = [0.35, 0.7, 1.05, 1.5]
    clr = colours(tv, RED, GREEN, BLUE, GOLD)

    def body(t):
        t.conclr(clr, 4)
        t.shdmod("UPPE", "CELL")
        t.conshd(xs, 11, xs, 11, z, levels, 4)
    pic = shade(tv, body)
    for x in linspace(0.01, 0.99, 30):
        for y in linspace(0.01, 0.99, 30):
            if min(abs(x + y - c) for c in levels) < 0.02:
                continue
            b = band_of(levels, x + y)
            assert pic.at(x, y) == (WHITE if b == 0 else rgb(clr[b - 1])), (x, y)


@pytest.mark.parametrize("outer, low_filled, high_filled", [
    ("BOTH", True, True), ("UPPE", False, True), ("LOWE", True, False), ("NONE", False, False)])
def test_outer_bands(tv, outer, low_filled, high_filled):
    xs = linspace(0, 1, 5)
    z = grid(lambda x, y: x, xs, xs)

    def body(t):
        t.shdmod(outer, "CELL")
        t.conshd(xs, 5, xs, 5, z, [0.3, 0.7], 2)
    pic = shade(tv, body)
    assert (pic.at(0.1, 0.5) != WHITE) == low_filled
    assert pic.at(0.5, 0.5) != WHITE
    assert (pic.at(0.9, 0.5) != WHITE) == high_filled


def test_colour_rules_and_level_order(tv):
    xs = linspace(0, 1, 5)
    z = grid(lambda x, y: x, xs, xs)
    clr = colours(tv, RED, GREEN, BLUE)

    def picture(rule, levels):
        def body(t):
            t.conclr(clr, 3)
            t.shdmod(rule, "COLO")
            t.shdmod("NONE", "CELL")
            t.conshd(xs, 5, xs, 5, z, levels, 3)
        return shade(tv, body)
    # the colour given with a level stays with it, whatever the order of the levels
    low = picture("LOWE", [0.75, 0.5, 0.25])
    assert low.at(0.4, 0.5) == rgb(clr[2]) and low.at(0.6, 0.5) == rgb(clr[1])
    up = picture("UPPE", [0.25, 0.5, 0.75])
    assert up.at(0.4, 0.5) == rgb(clr[1]) and up.at(0.6, 0.5) == rgb(clr[2])
    mid = picture("MIDD", [0.25, 0.5, 0.75])
    assert mid.at(0.4, 0.5) == rgb(clr[0]) and mid.at(0.6, 0.5) == rgb(clr[1])


def test_colours_of_values_without_user_colours(tv):
    # without conclr the bands take the colours of their levels through the colour scaling
    xs = linspace(0, 1, 5)
    z = grid(lambda x, y: x, xs, xs)

    def body(t):
        t.zscale(0.0, 1.0)
        t.conshd(xs, 5, xs, 5, z, [0.25, 0.5, 0.75], 3)
    pic = shade(tv, body)
    seen = [pic.at(x, 0.5) for x in (0.4, 0.6, 0.9)]
    assert len(set(seen)) == 3 and WHITE not in seen
    # the same colours as setclr with the index the scaling gives: 1 + trunc(v * 254)
    def marks(t):
        for k, v in enumerate((0.25, 0.5, 0.75)):
            t.setclr(1 + int(v * 254))
            t.rlrec(0.1 + 0.3 * k, 0.2, 0.2, 0.1)
    t = shade(tv, lambda t: (t.shdpat(16), marks(t)))
    assert [t.at(0.2 + 0.3 * k, 0.15) for k in range(3)] == seen


def test_too_few_user_colours_warn_and_shade(tv, capfd):
    xs = linspace(0, 1, 5)
    z = grid(lambda x, y: x, xs, xs)

    def body(t):
        t.unit(6)
        t.conclr(colours(t, GREEN), 1)
        t.conshd(xs, 5, xs, 5, z, [0.25, 0.5], 2)
    pic = shade(tv, body)
    assert warnings(capfd) == [
        " <<<< Warning 162: More contour levels as defined colours in conshd!"]
    # the second level takes the colour of its value: the top of the range, red in "RAIN"
    assert pic.at(0.4, 0.5) == (0, 153, 0) and pic.at(0.6, 0.5) == (255, 0, 0)


def test_curvilinear_grid_equals_the_rectangular_one(tv):
    xs = linspace(0, 1, 9)
    z = grid(lambda x, y: x * x + y, xs, xs)
    xm = grid(lambda x, y: x, xs, xs)
    ym = grid(lambda x, y: y, xs, xs)
    levels = [0.3, 0.6, 0.9, 1.2, 1.5]
    a = shade(tv, lambda t: t.conshd(xs, 9, xs, 9, z, levels, 5))
    b = shade(tv, lambda t: t.conshd2(xm, ym, z, 9, 9, levels, 5))
    diff = sum(1 for x in linspace(0.01, 0.99, 40) for y in linspace(0.01, 0.99, 40)
               if a.at(x, y) != b.at(x, y))
    assert diff < 16   # pixels on band boundaries only


# ------------------------------------------------------------------------------------------
# method POLY

def test_poly_fills_closed_lines_only(tv):
    xs = linspace(-2, 2, 41)
    bowl = grid(lambda x, y: x * x + y * y, xs, xs)
    clr = colours(tv, RED, BLUE)

    def body(t):
        t.conclr(clr, 2)
        t.shdmod("POLY", "CONT")
        t.conshd(xs, 41, xs, 41, bowl, [1.0, 2.0], 2)
    pic = shade(tv, body, scale=(-2, 2, -2, 2))
    # the later level paints over the earlier one; outside every closed line stays white
    assert pic.at(0, 0) == (0, 0, 255)
    assert pic.at(1.2, 0) == (0, 0, 255)
    assert pic.at(1.8, 1.8) == WHITE

    plane = grid(lambda x, y: x, xs, xs)

    def open_lines(t):
        t.conclr(clr, 2)
        t.shdmod("POLY", "CONT")
        t.conshd(xs, 41, xs, 41, plane, [0.0, 1.0], 2)
    pic = shade(tv, open_lines, scale=(-2, 2, -2, 2))
    assert all(pic.at(x, 0.3) == WHITE for x in (-1.5, 0.5, 1.5))


# ------------------------------------------------------------------------------------------
# triangles

def test_confll_equals_conshd_for_a_linear_function(tv):
    xs = linspace(0, 1, 6)
    f = lambda x, y: x + 2 * y
    z = grid(f, xs, xs)
    px = [x for x in xs for _ in xs]
    py = [y for _ in xs for y in xs]
    pz = [f(x, y) for x, y in zip(px, py)]
    n = len(px)
    i1, i2, i3 = [0] * (2 * n + 1), [0] * (2 * n + 1), [0] * (2 * n + 1)
    ntri = tv.triang(px, py, n, i1, i2, i3, 2 * n + 1)
    tv.delglb()
    assert ntri == 50
    levels = [0.4, 0.9, 1.6, 2.2]
    a = shade(tv, lambda t: t.conshd(xs, 6, xs, 6, z, levels, 4))
    b = shade(tv, lambda t: t.confll(px, py, pz, n, i1, i2, i3, ntri, levels, 4))
    for x in linspace(0.01, 0.99, 30):
        for y in linspace(0.01, 0.99, 30):
            if min(abs(f(x, y) - c) for c in levels) > 0.05:   # (sub-rectangles of 5 units)
                assert a.at(x, y) == b.at(x, y), (x, y)


def test_triangle_fills(tv, capfd):
    red, green, blue = colours(tv, RED, (0, 1, 0), BLUE)
    x = [400.0, 1600.0, 400.0]
    y = [1700.0, 1700.0, 500.0]

    def body(t):
        t.triflc(x, y, [red, green, blue], 3)
    pic = shade(tv, body, scale=(-2, 2, -2, 2))
    def expected(x, y):   # barycentric mix of the vertex colours
        u, v = (x + 2) / 4, (y + 2) / 4
        return (255 * (1 - u - v), 255 * u, 255 * v)
    for u, v in [(-1.9, -1.9), (1.7, -1.9), (-1.9, 1.7), (-0.5, -0.5), (0.3, -1.2)]:
        assert all(abs(a - b) <= 3 for a, b in zip(pic.at(u, v), expected(u, v))), (u, v)
    assert pic.at(1, 1) == WHITE

    def vector(t):
        t.unit(6)
        t.triflc(x, y, [red, green, blue], 3)
    plot(tv, vector, fmt="SVG")
    assert warnings(capfd) == [
        " <<<< Warning 40: File format and output device are incompatible in triflc!"]

    def flat(t):
        t.setclr(green)
        t.trifll([400.0, 1000.0, 400.0], [1700.0, 1700.0, 1100.0])
    pic = shade(tv, flat, scale=(-2, 2, -2, 2))
    assert pic.at(-1.7, -1.7) == (0, 255, 0) and pic.at(0.5, 0.5) == WHITE


# ------------------------------------------------------------------------------------------
# the vector formats as their readers see them

@pytest.mark.parametrize("fmt", ["PDF", "SVG", "PS"])
def test_shaded_files_are_valid(tv, fmt):
    xs = linspace(-2, 2, 30)
    z = grid(lambda x, y: x * y + 0.2 * x, xs, xs)
    levels = [-2 + 0.5 * k for k in range(9)]

    def body(t):
        t.conshd(xs, 30, xs, 30, z, levels, 9)
        t.labels("FLOA", "CON")
        t.shdmod("POLY", "CONT")
        t.conshd(xs, 30, xs, 30, z, levels[:3], 3)
        for c in levels:
            t.contur(xs, 30, xs, 30, z, c)
        tri = [400.0, 900.0, 400.0], [1700.0, 1700.0, 1200.0]
        t.triflc(*tri, [10, 120, 250], 3)
    name = shade(tv, body, scale=(-2, 2, -2, 2), fmt=fmt)
    if fmt == "PDF":
        if not shutil.which("qpdf"):
            pytest.skip("qpdf missing")
        subprocess.run(["qpdf", "--check", name], check=True, capture_output=True)
    elif fmt == "SVG":
        subprocess.run(["xmllint", "--noout", name], check=True, capture_output=True)
    else:
        r = subprocess.run(["gs", "-q", "-dBATCH", "-dNOPAUSE", "-sDEVICE=nullpage", name],
                           capture_output=True, text=True)
        assert r.returncode == 0 and "Error" not in r.stdout + r.stderr


def test_crvtri_colours_triangles_by_value(tv):
    tv.metafl("PNG")
    tv.imgfmt("RGB")
    tv.scrmod("REVERS")
    tv.tavini()
    tv.errmod("PROT", "OFF")
    page, name = tv.getpag(), tv.getfil()
    tv.axspos(400, 1700)
    tv.axslen(1201, 1201)
    tv.graf3(0, 1, 0, 0.5, 0, 1, 0, 0.5, 0, 1, 0, 0.5)
    x, y = [0.0, 0.5, 0.0, 0.5, 1.0, 0.5], [0.0, 0.0, 0.5, 0.5, 0.5, 1.0]
    z = [0.4, 0.4, 0.4, 0.2, 0.4, 0.6]
    tv.crvtri(x, y, z, 6, [1], [2], [3], 1)          # flat, one value
    tv.shdmod("SMOOTH", "SURF")
    tv.crvtri(x, y, z, 6, [4], [5], [6], 1)          # smooth, three values
    tv.endgrf()
    tv.tavfin()
    pic = Picture(name, page, UNIT_SQUARE)
    flat = pic.at(0.15, 0.15)
    centre = pic.at(2 / 3, 2 / 3)
    assert flat != WHITE
    assert all(abs(a - b) <= 10 for a, b in zip(flat, centre))
    assert pic.at(0.52, 0.52) != pic.at(0.5, 0.97)   # the colours run across the triangle
