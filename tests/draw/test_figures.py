"""Figures in plot coordinates seen through the library metafile: their geometry, fill and
outline, colours, point spacing, page fill, attribute reset, the circle through three points,
and the checks of their arguments."""
import math

import pytest

from conftest import metafile_paths, read_metafile


def plot(tv, body):
    """(strokes in plot units, colour records) of the plot drawn by body."""
    tv.tavini()
    w, h = tv.getpag()
    name = tv.getfil()
    body(tv)
    tv.unit(0)
    tv.tavfin()
    colours, strokes = metafile_paths(read_metafile(name)[1])
    s = max(w, h) - 1
    joined = []
    for st in strokes:
        if len(st) < 2:
            continue
        st = [(x * s, (h - 1) - y * s) for x, y in st]
        # long polylines reach the device in pieces of 100 points that share their ends
        if joined and len(joined[-1]) % 99 == 1 and len(joined[-1]) > 2 and st[0] == joined[-1][-1]:
            joined[-1] += st[1:]
        else:
            joined.append(st)
    return joined, colours


def near(p):
    """pytest.approx at the metafile's precision (7 decimals of the page side)."""
    return pytest.approx(p, abs=1e-3)


def warnings(capfd):
    return [l for l in capfd.readouterr().out.splitlines() if "Warning" in l]


def closed(stroke):
    return math.dist(stroke[0], stroke[-1]) < 1e-3


# --- circles, ellipses, arcs

def test_circle_points_and_spacing(tv):
    strokes, _ = plot(tv, lambda t: t.circle(1000, 800, 300))
    assert len(strokes) == 1 and closed(strokes[0])
    pts = strokes[0]
    assert all(abs(math.dist(p, (1000, 800)) - 300) < 1e-3 for p in pts)
    chords = [math.dist(a, b) for a, b in zip(pts, pts[1:])]
    assert max(chords) <= 10.0 and len(pts) - 1 == math.ceil(2 * math.pi * 300 / 10)
    tv.delglb()
    strokes, _ = plot(tv, lambda t: (t.circsp(50), t.circle(1000, 800, 300)))
    assert len(strokes[0]) - 1 == math.ceil(2 * math.pi * 300 / 50)
    tv.delglb()
    strokes, _ = plot(tv, lambda t: (t.circsp(50), t.reset("circ"), t.circle(1000, 800, 5)))
    assert len(strokes[0]) - 1 == 16           # small circles keep 16 points


def test_ellipse_arc_and_bottom_origin(tv):
    def body(t):
        t.ellips(1000, 1000, 400, 100)
        t.arcell(1500, 1000, 300, 100, 0, 90, 90)   # major axis turned upright
        t.pagorg("BOTT")
        t.circle(500, 300, 50)                      # y measured from the bottom
    strokes, _ = plot(tv, body)
    ell, arc, circ = strokes
    assert closed(ell) and not closed(arc)
    assert all(abs(((x - 1000) / 400) ** 2 + ((y - 1000) / 100) ** 2 - 1) < 1e-4 for x, y in ell)
    assert math.dist(arc[0], (1500, 700)) < 1e-3 and math.dist(arc[-1], (1400, 1000)) < 1e-3
    assert all(x <= 1500 + 1e-3 and y <= 1000 + 1e-3 for x, y in arc)
    assert all(abs(math.dist(p, (500, 2099 - 300)) - 50) < 1e-3 for p in circ)


def test_pie_sweeps(tv):
    def body(t):
        t.pie(1000, 1000, 200, 0, 90)       # upper right quarter on the page
        t.pie(1000, 1500, 200, 300, 30)     # wraps through 0
        t.pie(1500, 1000, 200, 0, 360)      # a full circle: no radii
        t.pie(1500, 1500, 200, 40, 40)      # nothing
    strokes, _ = plot(tv, body)
    assert len(strokes) == 3
    q, wrap, full = strokes
    assert q[0] == near((1000, 1000)) and closed(q)
    arc = q[1:-1]
    assert arc[0] == near((1200, 1000)) and arc[-1] == near((1000, 800))
    assert all(x >= 1000 - 1e-3 and y <= 1000 + 1e-3 for x, y in arc)
    angles = [math.degrees(math.atan2(-(y - 1500), x - 1000)) for x, y in wrap[1:-1]]
    assert angles[0] == pytest.approx(-60) and angles[-1] == pytest.approx(30)
    assert all(abs(math.dist(p, (1500, 1000)) - 200) < 1e-3 for p in full)


def test_sector_colours_rings_and_patterns(tv, capfd):
    def body(t):
        t.sector(1000, 1000, 100, 200, 0, 90, 4)     # empty pattern: a solid fill in colour 4
        t.sector(1500, 1000, 100, 200, 0, 360, 5)    # a full ring
        t.shdpat(1)
        t.noarln()
        t.sector(1000, 1500, 0, 200, 0, 90, 6)       # hatched, no outline
    strokes, colours = plot(tv, body)
    assert colours[-6:] == [4, 255, 5, 255, 6, 255]  # the fill colour, then the current one again
    first = [s for s in strokes if all(abs(x - 1000) < 201 and abs(y - 1000) < 201 for x, y in s)]
    assert len(first) == 2 and all(closed(s) for s in first)
    radii = sorted({round(math.dist(p, (1000, 1000))) for p in first[1]} - {0})
    assert radii[0] == 100 and radii[-1] == 200
    ring = [s for s in strokes if all(abs(x - 1500) < 201 and abs(y - 1000) < 201 for x, y in s)]
    # the fill (outer turn, seam, inner turn) and the two circles of the outline
    circles = [s for s in ring if len({round(math.dist(p, (1500, 1000))) for p in s}) == 1]
    assert sorted(round(math.dist(s[0], (1500, 1000))) for s in circles) == [100, 200]
    hatch = [s for s in strokes if all(abs(x - 1100) < 101 and 1300 < y < 1501 for x, y in s)]
    assert hatch and all(len(s) == 2 for s in hatch)
    assert warnings(capfd) == []


def test_figure_argument_checks(tv, capfd):
    tv.tavini()
    tv.unit(6)
    tv.circle(100, 100, -5)
    tv.sector(100, 100, 50, 5, 0, 90, 1)
    tv.pie(100, 100, 10, float("nan"), 90)
    tv.rndrec(100, 100, 10, 10, 10)
    tv.rlcirc(1.0, 1.0, 1.0)                 # user coordinates need an axis system
    assert warnings(capfd) == [
        " <<<< Warning 1: Negative parameter in circle!   ( -5)",
        " <<<< Warning 7: First radius greater than second radius in sector!",
        " <<<< Warning 2: Incorrect parameter in pie!",
        " <<<< Warning 2: Incorrect parameter in rndrec!   ( 10)",
        " <<<< Warning 3: Incorrect level in rlcirc!   ( 1)",
    ]


def test_huge_figures_stay_on_the_page(tv):
    def body(t):
        t.shdpat(5)
        t.circle(1000, 1000, 2_000_000_000)
        t.ellips(-2_000_000_000, 0, 5, 2_000_000_000)
        t.rectan(-2_000_000_000, -2_000_000_000, 2_100_000_000, 2_100_000_000)
    strokes, _ = plot(tv, body)
    assert strokes
    assert all(-1e-3 <= x <= 2969.001 and -1e-3 <= y <= 2099.001 for s in strokes for x, y in s)


def test_user_coordinate_figures(tv):
    pos = {}

    def body(t):
        t.graf(0, 10, 0, 2, 0, 10, 0, 2)
        pos.update(x5=t.xposn(5), y5=t.yposn(5), x7=t.xposn(7), x10=t.xposn(10),
                   x1=t.xposn(1), x3=t.xposn(3), x8=t.xposn(8), y9=t.yposn(9), y7=t.yposn(7),
                   y1=t.yposn(1))
        t.rlcirc(5, 5, 2)                   # radius along X
        t.rlrec(1, 9, 2, 2)                 # upper left corner (1, 9)
        t.noarln()
        t.shdpat(1)
        t.rlarea([8, 14, 14], [1, 1, 9], 3)   # reaches beyond the axis system: clipped
        t.endgrf()
        assert t.getclp() == (0, 0, 2970, 2100)
    strokes, _ = plot(tv, body)            # with the axis system's own lines and labels
    r = pos["x7"] - pos["x5"]
    centre = (pos["x5"], pos["y5"])
    assert any(len(s) > 50 and all(abs(math.dist(p, centre) - r) < 1e-2 for p in s)
               for s in strokes)
    corners = {(round(pos[a], 1), round(pos[b], 1)) for a in ("x1", "x3") for b in ("y9", "y7")}
    assert any(len(s) == 5 and {(round(x, 1), round(y, 1)) for x, y in s} == corners
               for s in strokes)
    # the hatch lines: at 45 degrees, in the rows of the polygon, right of its left corner
    hatch = [s for s in strokes if len(s) == 2 and
             abs(math.degrees(math.atan2(s[0][1] - s[1][1], s[1][0] - s[0][0])) % 180 - 45) < 0.01
             and all(x > pos["x8"] - 1 and pos["y9"] - 1 < y < pos["y1"] + 1 for x, y in s)]
    assert hatch and all(x <= pos["x10"] + 1e-3 for s in hatch for x, _ in s)
    assert max(x for s in hatch for x, _ in s) > pos["x10"] - 2     # cut at the frame


# --- rectangles and points

def test_rectangles_and_points(tv):
    def body(t):
        t.rectan(100, 200, 50, 30)
        t.rndrec(400, 200, 101, 61, 5)
        t.setclr(3)
        t.recfll(700, 200, 20, 10, 9)
        t.point(1000, 500, 10, 6, 8)
    strokes, colours = plot(tv, body)
    rect = strokes[0]
    assert {(round(x), round(y)) for x, y in rect} == {(100, 200), (149, 200), (149, 229), (100, 229)}
    rnd = strokes[1]
    r = 5 * 60 / 20
    assert all(400 - 1e-3 <= x <= 500 + 1e-3 and 200 - 1e-3 <= y <= 260 + 1e-3 for x, y in rnd)
    for cx, cy in [(400, 200), (500, 200), (500, 260), (400, 260)]:
        nearest = min(math.dist(p, (cx, cy)) for p in rnd)
        assert nearest == pytest.approx(r * (math.sqrt(2) - 1), abs=0.05)
    # the metafile has no rectangle fill: lines 1.4 units apart in the fill colour
    fill = [s for s in strokes if all(699 < x < 720 and 199 < y < 210 for x, y in s)]
    ys = sorted(s[0][1] for s in fill)
    assert ys[0] == near(200) and ys[-1] == near(209)
    assert all(b - a <= 1.4 + 1e-3 for a, b in zip(ys, ys[1:]))
    assert all(s[0][0] == near(700) and s[-1][0] == near(719) for s in fill)
    dot = [s for s in strokes if all(990 < x < 1010 and 490 < y < 510 for x, y in s)]
    xs = [x for s in dot for x, _ in s]
    ys = [y for s in dot for _, y in s]
    assert (min(xs), max(xs), min(ys), max(ys)) == near((995, 1004, 497, 502))
    assert colours[-4:] == [9, 3, 8, 3]


def test_page_fill_ignores_the_clipping_window(tv):
    def body(t):
        t.clpwin(100, 100, 200, 200)
        t.pagfll(4)
        t.line(0, 150, 2000, 150)
    strokes, colours = plot(tv, body)
    fill, last = strokes[:-1], strokes[-1]
    assert all(s[0][0] == near(0) and s[-1][0] == near(2969) for s in fill)
    ys = sorted(s[0][1] for s in fill)
    assert ys[0] == near(0) and ys[-1] == near(2099)
    assert last == [near((100, 150)), near((299, 150))]   # the window again
    assert colours[-2:] == [4, 255]


# --- attributes and the circle through three points

def test_resatt_restores_line_attributes(tv):
    tv.tavini()
    tv.dash()
    tv.linwid(5)
    tv.setclr(7)
    tv.resatt()
    assert (tv.gettyp(), tv.getlin(), tv.getclr()) == (0, 1, 255)


def test_circle_through_three_points(tv, capfd):
    xm, ym, r = tv.circ3p(0, 0, 2, 0, 0, 2)
    assert (xm, ym, r) == pytest.approx((1, 1, math.sqrt(2)))
    c = (1e6 + 0.25, -3e6 + 0.5)
    pts = [(c[0] + 7 * math.cos(a), c[1] + 7 * math.sin(a)) for a in (0.3, 2.0, 4.4)]
    xm, ym, r = tv.circ3p(*pts[0], *pts[1], *pts[2])
    assert (xm, ym, r) == pytest.approx((c[0], c[1], 7), abs=1e-6)
    tv.circ3p(0, 0, 1, 1, 5, 5)
    tv.circ3p(3, 3, 3, 3, 1, 0)
    assert warnings(capfd) == [" <<<< Warning 102: Points are collinear in circ3p!"] * 2
