"""Shielded regions: lines are cut exactly at the borders of rectangles, turned rectangles,
circles, ellipses, pie sectors and polygons; outlines by the frame thickness; regions made
inactive, deleted and counted; the store limit; and lines that pass through regions with dashes,
widths and several crossings."""
import math

import pytest

from vecutil import same_points, strokes, warnings


def cut(tv, region, lines, before=None):
    """Strokes of lines drawn after a region was defined without outline."""
    def body(t):
        t.frame(0)
        region(t)
        for ln in lines:
            t.line(*ln)
    return strokes(tv, body, before)


def pieces(got):
    return sorted((tuple(round(c, 3) for c in s[0]), tuple(round(c, 3) for c in s[-1]))
                  for s in got)


# --- cutting

def test_rectangle_cuts_lines_at_its_border(tv):
    got = cut(tv, lambda t: t.shlrec(1000, 400, 200, 200),
              [(0, 500, 2000, 500),        # through: two pieces
               (1100, 300, 1100, 800),     # vertical through
               (1100, 500, 1500, 500),     # from inside
               (1050, 450, 1150, 550),     # entirely inside: nothing
               (0, 900, 2000, 900)])       # outside: whole
    assert pieces(got) == sorted([
        ((0, 500), (1000, 500)), ((1199, 500), (2000, 500)),
        ((1100, 300), (1100, 400)), ((1100, 599), (1100, 800)),
        ((1199, 500), (1500, 500)),
        ((0, 900), (2000, 900))])


def test_diagonal_line_and_a_polyline_crossing_twice(tv):
    def body(t):
        t.frame(0)
        t.shlrec(1000, 1000, 201, 201)        # 1000 .. 1200
        t.line(900, 900, 1300, 1300)
        t.strtpt(800, 1100)
        for p in ((1100, 1100), (1100, 1300), (1100, 1100), (1400, 1100)):
            t.connpt(*p)
    got = strokes(tv, body)
    assert [(900, 900), (1000, 1000)] in [[tuple(map(round, p)) for p in s] for s in got]
    for s in got:
        for a, b in zip(s, s[1:]):
            m = ((a[0] + b[0]) / 2, (a[1] + b[1]) / 2)
            assert not (1000.01 < m[0] < 1199.99 and 1000.01 < m[1] < 1199.99), (a, b)
    # the polyline leaves the rectangle at y = 1200 and comes back: a piece below it survives
    assert any(same_points(s, [(1100, 1200), (1100, 1300), (1100, 1200)]) for s in got)


def test_turned_rectangle(tv):
    # 200 x 100 turned by 90 degrees about its upper left corner (1000, 1000): it now covers
    # x 1000 .. 1099 and y 801 .. 1000
    got = cut(tv, lambda t: t.shlrct(1000, 1000, 200, 100, 90.0),
              [(800, 900, 1300, 900), (1050, 700, 1050, 1100)])
    assert pieces(got) == sorted([((800, 900), (1000, 900)), ((1099, 900), (1300, 900)),
                                  ((1050, 700), (1050, 801)), ((1050, 1000), (1050, 1100))])
    tv.delglb()
    # a turn below 0.001 degrees is the plain rectangle
    a = cut(tv, lambda t: t.shlrct(1000, 400, 200, 200, 0.0005), [(0, 500, 2000, 500)])
    assert pieces(a) == [((0, 500), (1000, 500)), ((1199, 500), (2000, 500))]


def test_circle_ellipse_and_pie(tv):
    def region(t):
        t.shlcir(1000, 1000, 200)
        t.shlell(2000, 1000, 300, 100, 90.0)       # upright: 100 wide, 300 high
        t.shlpie(1000, 1600, 200, 0.0, 90.0)       # upper right quarter
    lines = [(500, 1000, 1500, 1000), (1500, 1000, 2500, 1000), (2000, 500, 2000, 1500),
             (700, 1550, 1300, 1550), (700, 1650, 1300, 1650), (1050, 1300, 1050, 1700)]
    got = pieces(cut(tv, region, lines))
    h = math.sqrt(200 ** 2 - 50 ** 2)
    expect = sorted([((500, 1000), (800, 1000)), ((1200, 1000), (1500, 1000)),
                     ((1500, 1000), (1900, 1000)), ((2100, 1000), (2500, 1000)),
                     ((2000, 500), (2000, 700)), ((2000, 1300), (2000, 1500)),
                     ((700, 1550), (1000, 1550)), ((round(1000 + h, 3), 1550), (1300, 1550)),
                     ((700, 1650), (1300, 1650)),
                     ((1050, 1300), (1050, round(1600 - h, 3))), ((1050, 1600), (1050, 1700))])
    assert len(got) == len(expect)
    for g, e in zip(got, expect):
        assert math.dist(g[0], e[0]) < 0.01 and math.dist(g[1], e[1]) < 0.01, (g, e)


def test_polygon_and_its_input_rules(tv, capfd):
    got = cut(tv, lambda t: t.shlpol([1000, 1400, 1000, 1000], [1000, 1000, 1400, 1000], 4),
              [(800, 1100, 1600, 1100)])
    assert pieces(got) == [((800, 1100), (1000, 1100)), ((1300, 1100), (1600, 1100))]
    tv.delglb()
    capfd.readouterr()
    got = cut(tv, lambda t: t.shlpol([0, 0, 10, 0], [0, 0, 0, 0], 4), [(0, 5, 20, 5)])
    assert len(got) == 1
    w = warnings(capfd)
    assert len(w) == 1 and "Warning 30: Incorrect number of points in shlpol!   ( 2)" in w[0]


# --- outlines

def test_outline_follows_the_frame_thickness(tv):
    got = strokes(tv, lambda t: t.shlrec(1000, 400, 200, 100))
    assert pieces(got) == [((1000, 400), (1000, 400))]
    assert same_points(got[0], [(1000, 400), (1199, 400), (1199, 499), (1000, 499), (1000, 400)])
    tv.delglb()
    got = strokes(tv, lambda t: (t.frame(3), t.shlrec(1000, 400, 200, 100)))
    assert sorted(tuple(map(round, s[0])) for s in got) == [(998, 398), (999, 399), (1000, 400)]
    tv.delglb()
    got = strokes(tv, lambda t: (t.frame(-2), t.shlcir(1000, 1000, 100)))
    radii = sorted(round(math.dist(s[0], (1000, 1000)), 3) for s in got)
    assert radii == [99, 100]
    tv.delglb()
    assert strokes(tv, lambda t: (t.frame(0), t.shlrec(1000, 400, 200, 100))) == []


def test_outlines_are_not_shielded(tv):
    def body(t):
        t.shlrec(1000, 1000, 200, 200)
        t.shlrec(1100, 1100, 200, 200)      # its outline runs through the first region
    got = strokes(tv, body)
    assert len(got) == 2 and all(len(s) == 5 for s in got)


# --- store: visibility, deletion, ids, limits

def test_visibility_and_deletion(tv, capfd):
    line = (0, 500, 2000, 500)
    def body(t):
        t.frame(0)
        t.shlrec(1000, 400, 200, 200)       # id 1
        t.shlcir(1500, 500, 50)             # id 2
        t.line(*line)                       # cut twice
        t.shlvis(1, "OFF")
        t.line(*line)                       # cut by the circle only
        t.shlvis(0, "OFF")
        t.line(*line)                       # whole
        t.shlvis(0, "ON")
        t.shldel(2)
        t.line(*line)                       # cut by the rectangle only
        t.shlvis(7, "ON")                   # no such region
        t.shldel(0)
        t.line(*line)
        t.shlrec(100, 400, 200, 200)        # the store is empty again: id 1
        t.shlvis(1, "OFF")
        t.line(*line)
        t.shlvis(2, "OFF")
    capfd.readouterr()
    got = strokes(tv, body)
    counts = []
    for s in got:                           # a new line begins at x = 0
        if abs(s[0][0]) < 1e-3:
            counts.append(1)
        else:
            counts[-1] += 1
    assert counts == [3, 2, 1, 2, 1, 1]
    w = warnings(capfd)
    assert len(w) == 2 and "shlvis!   ( 7)" in w[0] and "shlvis!   ( 2)" in w[1]


def test_store_limit_and_count(tv, capfd):
    def body(t):
        t.frame(0)
        for k in range(166):
            t.shlrec(10 * k, 10, 5, 5)
        assert t.shlind() == 166
        t.shlrec(2000, 2000, 5, 5)
        assert t.shlind() == 166
        t.shlres(100)
        assert t.shlind() == 66
        t.shlrec(2000, 2000, 5, 5)
        t.shlres(1000)
        assert t.shlind() == 0
    capfd.readouterr()
    strokes(tv, body)
    w = warnings(capfd)
    assert len(w) == 1 and "Warning 47: Blanking buffer overflow in shlrec!" in w[0]


def test_shield_keywords_keep_caller_regions(tv, capfd):
    def body(t):
        t.frame(0)
        t.shield("LEGE", "ON")
        t.shlrec(1000, 400, 200, 200)
        t.shield("LEGE", "DELE")
        t.shield("LEGE", "RESE")
        t.shield("MESS", "NOVI")
        t.line(0, 500, 2000, 500)
        t.shield("XXXX", "ON")
        t.shield("MESS", "XXXX")
        t.reset("shie")
        t.line(0, 550, 2000, 550)
    capfd.readouterr()
    got = strokes(tv, body)
    assert len(got) == 4
    assert len(warnings(capfd)) == 2


def test_argument_checks(tv, capfd):
    def body(t):
        t.shlrec(10, 10, 0, 5)
        t.shlrct(10, 10, 5, -4, 30.0)
        t.shlcir(10, 10, 0)
        t.shlcir(10, 10, 10001)
        t.shlell(10, 10, 5, 0, 0.0)
        t.shlpie(10, 10, 0, 0.0, 90.0)
        t.shldel(-1)
        t.shlres(0)
        t.shlpol([1, 2], [1, 2], 2)
        t.shlrct(10, 10, 5, 5, float("nan"))
        assert t.shlind() == 0
    capfd.readouterr()
    assert strokes(tv, body) == []
    w = warnings(capfd)
    assert len(w) == 10
    assert "( 0)" in w[0] and "( -4)" in w[1] and "( 10001)" in w[3] and "( 2)" in w[8]


# --- lines of every kind through regions

def test_dashes_and_wide_lines_stay_out(tv):
    def body(t):
        t.frame(0)
        t.shlrec(1000, 400, 200, 600)
        t.dash()
        t.line(0, 500, 2000, 500)
        t.solid()
        t.linwid(15)
        t.line(0, 700, 2000, 750)
        t.linwid(1)
        t.shlcir(600, 1500, 100)
        t.circle(600, 1500, 150)            # around it: untouched
        t.circle(600, 1500, 60)             # inside it: gone
    got = strokes(tv, body)
    for s in got:
        for a, b in zip(s, s[1:]):
            for f in (0.25, 0.5, 0.75):
                x, y = a[0] + f * (b[0] - a[0]), a[1] + f * (b[1] - a[1])
                assert not (1000.01 < x < 1198.99 and 400.01 < y < 998.99)
                assert math.dist((x, y), (600, 1500)) > 99.9
    ring = [s for s in got if all(abs(math.dist(p, (600, 1500)) - 150) < 0.01 for p in s)]
    assert ring and len(ring[0]) > 20


def test_far_and_odd_coordinates(tv):
    def body(t):
        t.frame(0)
        t.shlrec(-100000, -100000, 2000000000, 200100)
        t.shlcir(0, 0, 10000)
        t.line(0, 500, 2000, 500)
        t.shlpol([0, 10 ** 9, -10 ** 9], [0, 10 ** 9, 10 ** 9], 3)
        t.line(0, 600, 2000, 600)
    got = strokes(tv, body)
    assert all(math.isfinite(c) for s in got for p in s for c in p)
