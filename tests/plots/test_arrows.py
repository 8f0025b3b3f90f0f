"""Arrows of every vector type family read back from the metafile and from SVG: head shapes,
sizes, positions, shortened shafts, filled heads, colours, the open style of vecopt, single
vectors in user coordinates and the checks of the arguments."""
import math

import pytest

from vecutil import (events, graf_box, same_points, strokes, svg_polygons, svg_text, to_plot,
                     warnings)

A50 = 50.0                  # head length of size digit 4
W1 = A50 * 1.5 / 4.5        # half width of width digit 1


def unique(paths):
    """Strokes without repeats (a solid fill on the metafile repeats the head's outline)."""
    out = []
    for p in paths:
        if not any(same_points(p, q) for q in out):
            out.append(p)
    return out


def horizontal(tv, ivec, before=None):
    return unique(strokes(tv, lambda t: t.vector(1000, 1000, 1600, 1000, ivec), before))


def tri(bx, tip=1600):
    """Closed triangle head with its base at x = bx (a horizontal arrow to the right)."""
    return [(bx, 1000 - W1), (tip, 1000), (bx, 1000 + W1), (bx, 1000 - W1)]


# --- the families of the four-digit type, on a horizontal vector of length 600

@pytest.mark.parametrize("ivec, expected", [
    # form 2: full shaft, open head of two strokes
    (1421, [[(1000, 1000), (1600, 1000)], [(1550, 1000 - W1), (1600, 1000), (1550, 1000 + W1)]]),
    # form 0: full shaft and a closed (filled) triangle
    (1401, [[(1000, 1000), (1600, 1000)], tri(1550)]),
    # form 1: the shaft stops at the base of the head
    (1411, [[(1000, 1000), (1550, 1000)], tri(1550)]),
    # form 3: outlined triangle over the full shaft
    (1431, [[(1000, 1000), (1600, 1000)], tri(1550)]),
    # forms 4, 5: notched heads, the shaft ends at the inner point
    (1441, [[(1000, 1000), (1000 + 600 - 2 * A50 / 3, 1000)],
            [(1550, 1000 - W1), (1600, 1000), (1550, 1000 + W1), (1600 - 2 * A50 / 3, 1000),
             (1550, 1000 - W1)]]),
    (1451, [[(1000, 1000), (1000 + 600 - 2 * A50 / 3, 1000)],
            [(1550, 1000 - W1), (1600, 1000), (1550, 1000 + W1), (1600 - 2 * A50 / 3, 1000),
             (1550, 1000 - W1)]]),
    # position 2: a second head pointing back at the start
    (1422, [[(1000, 1000), (1600, 1000)], [(1550, 1000 - W1), (1600, 1000), (1550, 1000 + W1)],
            [(1050, 1000 - W1), (1000, 1000), (1050, 1000 + W1)]]),
    # position 3 with a shortened shaft: the second head points forward from the start
    (1413, [[(1050, 1000), (1550, 1000)], tri(1550),
            [(1000, 1000 - W1), (1050, 1000), (1000, 1000 + W1), (1000, 1000 - W1)]]),
    # position 2 on a notched head: the shaft runs between the inner points
    (1442, [[(1000 + 2 * A50 / 3, 1000), (1600 - 2 * A50 / 3, 1000)]]),
    # position 0: the shaft only, whatever the form
    (1000, [[(1000, 1000), (1600, 1000)]]),
    (1490, [[(1000, 1000), (1600, 1000)]]),
])
def test_vector_type_families(tv, ivec, expected):
    got = horizontal(tv, ivec)
    for e in expected:
        assert any(same_points(g, e) for g in got), (e, got)
    if ivec != 1442:
        assert len(got) == len(expected)


@pytest.mark.parametrize("ivec, length, half", [
    (21, 10, 10 * 0.5 / 4.5),       # size digit 0: A = 10; width digit 0
    (9921, 100, 100 * 9.5 / 4.5),   # size 9: A = 100; width 9
    (3321, 40, 40 * 3.5 / 4.5),     # size 3: A = 40; width 3
])
def test_head_sizes(tv, ivec, length, half):
    got = horizontal(tv, ivec)
    assert len(got) == 2
    head = got[1]
    assert same_points(head, [(1600 - length, 1000 - half), (1600, 1000),
                              (1600 - length, 1000 + half)])


def test_size_factor_scales_every_head(tv):
    got = horizontal(tv, 1421, before=None)
    tv.delglb()
    big = unique(strokes(tv, lambda t: (t.vecopt(2.0, "SIZE"), t.vector(1000, 1000, 1600, 1000, 1421))))
    assert got[1][0] == pytest.approx((1550, 1000 - W1), abs=2e-3)
    assert big[1][0] == pytest.approx((1500, 1000 - 2 * W1), abs=2e-3)


def rotate(p, centre, deg):
    a = math.radians(deg)
    dx, dy = p[0] - centre[0], p[1] - centre[1]
    # counterclockwise on the page, whose y axis points down
    return (centre[0] + dx * math.cos(a) + dy * math.sin(a),
            centre[1] - dx * math.sin(a) + dy * math.cos(a))


@pytest.mark.parametrize("ivec", [1421, 1401, 1413, 2542, 1453, -1])
def test_arrows_turn_rigidly_with_their_vector(tv, ivec):
    c = (1200, 1000)
    reference = unique(strokes(tv, lambda t: t.vector(1200, 1000, 1800, 1000, ivec)))
    # integer vectors of length 600 in every quadrant, along the axes and between them
    for dx, dy in ((0, -600), (-600, 0), (0, 600), (480, -360), (-360, -480), (-480, 360),
                   (360, 480)):
        tv.delglb()
        got = unique(strokes(tv, lambda t: t.vector(1200, 1000, 1200 + dx, 1000 + dy, ivec)))
        deg = math.degrees(math.atan2(-dy, dx))
        back = [[rotate(p, c, -deg) for p in s] for s in got]
        assert len(back) == len(reference)
        for r in reference:
            assert any(same_points(b, r, tol=1e-2) for b in back), (dx, dy, r, back)


def test_degenerate_and_bad_types(tv, capfd):
    def body(t):
        t.vector(100, 100, 100, 100, 1421)     # nothing at all
        t.vector(1000, 1000, 1600, 1000, 1461)  # form 6: no shaft, message 2
        t.vector(1000, 1200, 1600, 1200, 1004)  # position 4: the shaft, then message 2
        t.vector(1000, 1400, 1600, 1400, 10000)
        t.vector(1000, 1400, 1600, 1400, -2)
    got = strokes(tv, body)
    assert got == [[(1000, 1200), (1600, 1200)]] or same_points(got[0], [(1000, 1200), (1600, 1200)])
    assert len(got) == 1
    w = warnings(capfd)
    assert len(w) == 4 and all("Warning 2: Incorrect parameter in vector!" in l for l in w)
    assert [l.split("(")[-1] for l in w] == [" 1461)", " 1004)", " 10000)", " -2)"]


# --- the open style

def test_open_style_defaults_and_options(tv, capfd):
    got = unique(strokes(tv, lambda t: t.vector(1000, 1000, 1100, 1000, -1)))
    hw = math.tan(math.radians(20)) * 25
    assert same_points(got[0], [(1000, 1000), (1100, 1000)])
    assert same_points(got[1], [(1075, 1000 - hw), (1100, 1000), (1075, 1000 + hw)])
    tv.delglb()

    def body(t):
        t.vecopt(20.5, "ANGL")      # rounded to 21
        t.vecopt(0.5, "LENG")
        t.vecopt(95, "ANGL")        # refused: the angle stays 21
        t.vecopt(1.5, "LENG")       # refused
        t.vecopt(0, "SIZE")         # refused
        t.vecopt(-1, "SCAL")        # refused
        t.vecopt(1, "XXXX")         # unknown keyword
        t.vector(1000, 1000, 1100, 1000, -1)
    capfd.readouterr()
    got = unique(strokes(tv, body))
    hw = math.tan(math.radians(21)) * 50
    assert same_points(got[1], [(1050, 1000 - hw), (1100, 1000), (1050, 1000 + hw)])
    assert len(warnings(capfd)) == 5
    tv.delglb()
    only = unique(strokes(tv, lambda t: (t.vecopt(0, "ANGL"), t.vector(1000, 1000, 1100, 1000, -1))))
    assert len(only) == 1


# --- fills and colours

@pytest.mark.parametrize("ivec, filled", [(1401, 1), (1441, 1), (1402, 2), (1411, 0), (1421, 0),
                                          (1431, 0), (1451, 0), (1000, 0)])
def test_filled_heads_reach_the_device_as_polygons(tv, ivec, filled):
    text = svg_text(tv, lambda t: t.vector(1000, 1000, 1600, 1000, ivec))
    polys = svg_polygons(text)
    assert len(polys) == filled
    for p in polys:
        assert len(p) == (4 if ivec == 1441 else 3)


def test_vector_colour_applies_to_heads_and_is_restored(tv):
    def body(t):
        t.setclr(50)
        t.vecclr(4)
        t.vector(1000, 1000, 1600, 1000, 1421)
        t.vector(1000, 1200, 1600, 1200, -1)
        t.vecclr(-1)
        t.vector(1000, 1400, 1600, 1400, 1421)
    ev = events(tv, body)
    seq = [e[1] if e[0] == "colour" else len(e[1]) for e in ev]
    # shaft in the current colour 50, head in 4, back to 50 -- twice -- then all in 50
    assert seq[seq.index(50):] == [50, 2, 4, 3, 50, 2, 4, 3, 50, 2, 3]


def test_vector_colour_checks(tv, capfd):
    tv.vecclr(-3)            # before tavini: the level warning, and the range check
    tv.vecclr(-2)
    w = warnings(capfd)
    assert "Warning 3" in w[0] and "Warning 2: Incorrect parameter in vecclr!   ( -3)" in w[1]
    assert len(w) == 3


def test_page_origin_at_the_bottom(tv):
    got = unique(strokes(tv, lambda t: (t.pagorg("BOTT"), t.vector(1000, 500, 1600, 500, 1421))))
    assert same_points(got[0], [(1000, 2099 - 500), (1600, 2099 - 500)])


# --- vectors in user coordinates

def test_rlvec_converts_and_clips(tv):
    def body(t):
        graf_box(t)
        t.rlvec(0.2, 0.2, 0.8, 0.2, 1421)
        t.rlvec(0.5, 0.5, 2.0, 0.5, 1421)   # leaves the axis system: the shaft is cut
    got = unique(strokes(tv, body))
    a, b = to_plot(0.2, 0.2), to_plot(0.8, 0.2)
    assert any(same_points(s, [a, b]) for s in got)
    cut = [s for s in got if abs(s[0][1] - to_plot(0, 0.5)[1]) < 1e-3]
    assert len(cut) == 1 and 1496 < cut[0][-1][0] <= 1499 + 1e-3   # at the frame of the axes


def test_rlvec_on_log_axes_and_levels(tv, capfd):
    def body(t):
        t.rlvec(0.1, 0.1, 0.5, 0.5, 1421)            # level 1: refused
        t.axsscl("log", "x")
        t.axspos(500, 1500)
        t.axslen(1000, 1000)
        t.graf(-1.0, 1.0, -1.0, 1.0, 0.0, 1.0, 0.0, 0.5)
        t.rlvec(-1.0, 0.5, 5.0, 0.5, 1421)           # non positive on a log axis
        t.rlvec(0.5, 0.5, 5.0, 0.5, 1421)
    capfd.readouterr()
    got = strokes(tv, body)
    w = warnings(capfd)
    assert "Warning 3: Incorrect level in rlvec!" in w[0]
    assert "Warning 27: Non positive values for log scaling in rlvec!" in w[1]
    assert len(w) == 2
    x1, _ = to_plot(math.log10(0.5), 0.5, -1, 1)
    x2, _ = to_plot(math.log10(5.0), 0.5, -1, 1)
    assert any(abs(s[0][0] - x1) < 1e-3 and abs(s[-1][0] - x2) < 1e-3 for s in got)
