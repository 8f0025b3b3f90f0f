"""Pie charts: the invisible axis system and the level, sector angles and rotation, full
discs, 3-D rims, pulled-out sectors, sector texts from the legend buffer, colours, and the
checks of the pie routines."""
import math

import pytest

from chartutil import strokes_of, warnings
from conftest import read_metafile, metafile_paths


def pie_strokes(tv, values, setup=None):
    got = {}

    def body(t):
        t.chnpie("none")             # solid sectors: one outline each on the metafile
        t.labels("none", "pie")      # no percentage labels: the pie takes the whole area
        if setup:
            setup(t)
        t.axspos(500, 1700)
        t.axslen(1200, 1200)
        t.piegrf(" ", 0, values, len(values))
        got["level"] = t.getlev()
    strokes = strokes_of(tv, body, axis=None)
    # a solid fill reaches the metafile as its outline, and the border follows: keep one
    unique = []
    for st in strokes:
        if not unique or [tuple(round(c, 2) for c in p) for p in st] != \
                [tuple(round(c, 2) for c in p) for p in unique[-1]]:
            unique.append(st)
    return unique, got["level"]


CX, CY, R = 500 + 599.5, 1700 - 599.5, 600.0


def sector_angles(stroke):
    """Start and end angle (degrees, counter-clockwise on the page) of a sector outline
    centre - arc - centre."""
    pts = []
    for p in stroke[1:]:
        if math.dist(p, (CX, CY)) < 1:
            break
        pts.append(p)
    ang = [math.degrees(math.atan2(CY - y, x - CX)) % 360 for x, y in pts]
    return ang[0], ang[-1]


def test_sector_angles_follow_the_values_and_the_rotation(tv):
    strokes, level = pie_strokes(tv, [1.0, 1.0, 2.0])
    assert level == 2
    sectors = [s for s in strokes if len(s) > 10]
    assert len(sectors) == 3
    assert [tuple(round(a) % 360 for a in sector_angles(s)) for s in sectors] == [(0, 90), (90, 180), (180, 0)]
    centres = [s[0] for s in sectors]
    assert all(c == pytest.approx((CX, CY), abs=0.01) for c in centres)
    radii = [math.dist(p, (CX, CY)) for s in sectors for p in s if math.dist(p, (CX, CY)) > 1]
    assert max(radii) == pytest.approx(R, abs=0.01) and min(radii) == pytest.approx(R, abs=0.01)
    tv.delglb()
    strokes, _ = pie_strokes(tv, [1.0, 3.0], setup=lambda t: t.pierot(30.0))
    sectors = [s for s in strokes if len(s) > 10]
    assert [tuple(round(a) for a in sector_angles(s)) for s in sectors] == [(30, 120), (120, 30)]


def test_one_value_is_a_full_disc_with_a_label(tv):
    strokes, _ = pie_strokes(tv, [7.0], setup=lambda t: t.labels("perc", "pie"))
    disc = max(strokes, key=len)
    r = R - 3 * 36                              # room for the labels
    assert all(abs(math.dist(p, (CX, CY)) - r) < 0.01 for p in disc)
    label = [s for s in strokes if s is not disc]
    assert label and all(math.dist(p, (CX, CY)) > r for s in label for p in s)


def test_3d_rims_and_pulled_out_sectors(tv):
    def setup(t):
        t.pietyp("3d")
        t.pieopt(0.5, 30.0)
    strokes, _ = pie_strokes(tv, [1.0, 1.0], setup=setup)
    sectors = [s for s in strokes if len(s) > 10]
    # the rim of the front sector (180..360 degrees), then the two tops
    assert len(sectors) == 3
    ys = [p[1] for p in sectors[1]]
    assert max(ys) - min(ys) == pytest.approx(R * math.sin(math.radians(30)), abs=0.5)
    tv.delglb()
    strokes, _ = pie_strokes(tv, [1.0, -1.0], setup=lambda t: t.pieexp())
    sectors = [s for s in strokes if len(s) > 10]
    assert sectors[0][0] == pytest.approx((CX, CY), abs=0.01)
    assert sectors[1][0][1] > CY + 1            # the negative sector moved down (outwards)


def test_sector_texts_from_the_legend_buffer(tv, capfd):
    tv.tavini()
    tv.unit(0)
    name = tv.getfil()
    tv.legini(" ", 2, 10)
    tv.leglin(" ", "first", 1)
    tv.leglin(" ", "second", 2)
    tv.piegrf(" ", 2, [1.0, 1.0], 2)
    tv.endgrf()
    tv.unit(6)
    tv.piegrf(" ", 3, [1.0, 1.0], 2)
    assert "17: Not enough store for the legend buffer in piegrf" in warnings(capfd)[0]
    tv.endgrf()
    tv.unit(0)
    tv.tavfin()
    _, strokes = metafile_paths(read_metafile(name)[1])
    assert len(strokes) > 30                    # the two texts are drawn


def test_pie_colours(tv):
    tv.tavini()
    tv.unit(0)
    name = tv.getfil()
    tv.pieclr([50, 90], [-1, 200], 2)
    tv.piegrf(" ", 0, [1.0, 1.0], 2)
    tv.endgrf()
    tv.chnpie("color")
    tv.clrcyc(1, 120)
    tv.piegrf(" ", 0, [1.0, 1.0], 2)
    tv.endgrf()
    tv.tavfin()
    colours, _ = metafile_paths(read_metafile(name)[1])
    assert {50, 90, 200, 120} <= set(colours)


def test_pie_checks_and_levels(tv, capfd):
    tv.tavini()
    tv.piegrf(" ", 0, [0.0, 0.0], 2)
    assert tv.getlev() == 1
    tv.pieopt(-1.0, 30.0)
    tv.pieopt(0.2, 95.0)
    tv.pieval(-5.0, "gap")
    tv.pievec(10000, "brok")
    tv.pieclr([0] * 31, [0] * 31, 31)
    w = warnings(capfd)
    assert "29: Sum of data is zero in piegrf" in w[0]
    assert "in pieopt" in w[1] and "in pieopt" in w[2] and "in pieval" in w[3]
    assert "in pievec!   ( 10000)" in w[4] and "in pieclr!   ( 31)" in w[5]
    tv.graf(0.0, 1.0, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0)
    tv.piegrf(" ", 0, [1.0], 1)
    assert "3: Incorrect level in piegrf" in warnings(capfd)[0]
