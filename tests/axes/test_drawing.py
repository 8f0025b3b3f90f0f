"""What graf, grid, title and the single axes draw, read back from the library metafile."""
import math

import pytest

from plotting import bbox, is_segment, strokes

LIN = (0.0, 10.0, 0.0, 2.0, 0.0, 8.0, 0.0, 2.0)
X0, Y0, XL, YL = 300, 1500, 1001, 801         # lower left corner and lengths
X1, Y1 = X0 + XL - 1, Y0 - YL + 1             # right end, top


def draw(tv, *calls, graf=LIN, after=()):
    def body(t):
        t.axspos(X0, Y0)
        t.axslen(XL, YL)
        for name, *args in calls:
            getattr(t, name)(*args)
        t.graf(*graf)
        for name, *args in after:
            getattr(t, name)(*args)
    return strokes(tv, body)


def vertical(paths, x, y_from, y_to):
    return any(is_segment(st, (x, y_from), (x, y_to)) for st in paths)


def horizontal(paths, y, x_from, x_to):
    return any(is_segment(st, (x_from, y), (x_to, y)) for st in paths)


def segments_in(paths, x_range, y_range):
    (xa, xb), (ya, yb) = x_range, y_range
    return [st for st in paths if len(st) == 2 and
            all(xa - 0.01 <= x <= xb + 0.01 and ya - 0.01 <= y <= yb + 0.01 for x, y in st)]


def test_rectangular_system_lines_ticks_and_frame(tv):
    paths = draw(tv)
    assert horizontal(paths, Y0, X0, X1)                    # lower X axis line
    for k in range(11):                                     # ticks every 1, major every 2
        x = X0 + 100 * k
        assert vertical(paths, x, Y0, Y0 + (24 if k % 2 == 0 else 16)), k
        assert vertical(paths, x, Y1, Y1 - (24 if k % 2 == 0 else 16)), k   # upper: mirrored
    for k in range(9):
        y = Y0 - 100 * k
        assert horizontal(paths, y, X0, X0 - (24 if k % 2 == 0 else 16)), k
        assert horizontal(paths, y, X1, X1 + (24 if k % 2 == 0 else 16)), k
    frame = [(X0, Y1), (X1, Y1), (X1, Y0), (X0, Y0), (X0, Y1)]
    assert any(len(st) == 5 and all(abs(p[0] - q[0]) < 0.02 and abs(p[1] - q[1]) < 0.02
                                    for p, q in zip(st, frame)) for st in paths)
    # labels below the lower ticks and left of the left ones; nothing right of the right axis
    # beyond its ticks (upper and right axes have no labels by default)
    assert segments_in(paths, (X0 - 50, X1 + 50), (Y0 + 30, Y0 + 100)) or any(
        bbox([st])[1] > Y0 + 40 for st in paths)
    assert all(bbox([st])[2] <= X1 + 24.01 for st in paths if bbox([st])[3] < Y0 - 10)


@pytest.mark.parametrize("pos, y_from, y_to", [("labe", Y0, Y0 + 24), ("reve", Y0, Y0 - 24),
                                               ("cent", Y0 - 12, Y0 + 12)])
def test_tick_positions(tv, pos, y_from, y_to):
    paths = draw(tv, ("ticpos", pos, "x"))
    assert vertical(paths, X0 + 200, y_from, y_to)


def test_no_ticks_still_labels(tv):
    with_ticks = draw(tv)
    tv.delglb()
    paths = draw(tv, ("ticks", 0, "xy"))
    assert not segments_in(paths, (X0 + 1, X1 - 1), (Y0 + 1, Y0 + 24))
    below = [st for st in paths if bbox([st])[1] > Y0 + 20]
    assert below                                            # the labels are there
    # without ticks the labels move up by the tick length
    top_with = min(bbox([st])[1] for st in with_ticks if bbox([st])[1] > Y0 + 30)
    assert min(bbox(below)[1] for _ in [0]) == pytest.approx(top_with - 24, abs=0.5)


def test_setgrf_nograf_and_frame(tv):
    assert draw(tv, ("setgrf", "none", "none", "none", "none"), ("frame", 0)) == []
    tv.delglb()
    assert draw(tv, ("nograf",)) == []
    tv.delglb()
    paths = draw(tv, ("setgrf", "line", "line", "none", "none"), ("frame", 0))
    assert len(paths) == 2
    assert horizontal(paths, Y0, X0, X1) and vertical(paths, X0, Y0, Y1)
    tv.delglb()
    paths = draw(tv, ("ax2grf",), ("frame", 3))
    assert not segments_in(paths, (X0, X1), (Y1 - 30, Y1 - 1))    # no upper ticks
    rects = [bbox([st]) for st in paths if len(st) == 5]
    assert rects == [pytest.approx((X0 - i, Y1 - i, X1 + i, Y0 + i), abs=0.01) for i in range(3)]


def test_logarithmic_ticks(tv):
    paths = draw(tv, ("axsscl", "log", "x"), ("setgrf", "tick", "none", "none", "none"),
                 ("frame", 0), graf=(0.0, 2.0, 0.0, 1.0, 0.0, 8.0, 0.0, 2.0))
    ticks = sorted(round(st[0][0], 1) for st in paths if len(st) == 2 and st[0][0] == st[1][0])
    want = sorted(round(X0 + 500 * (d + math.log10(k)), 1) for d in (0, 1) for k in range(1, 10))
    assert ticks == want + [X1]
    tv.delglb()
    # narrow decades get the decade ticks only, unless FULL is asked for
    narrow = draw(tv, ("axsscl", "log", "x"), ("setgrf", "tick", "none", "none", "none"),
                  ("frame", 0), graf=(0.0, 20.0, 0.0, 1.0, 0.0, 8.0, 0.0, 2.0))
    assert len([st for st in narrow if len(st) == 2]) == 1 + 21
    tv.delglb()
    full = draw(tv, ("axsscl", "log", "x"), ("setgrf", "tick", "none", "none", "none"),
                ("frame", 0), ("logtic", "full"), graf=(0.0, 20.0, 0.0, 1.0, 0.0, 8.0, 0.0, 2.0))
    assert len([st for st in full if len(st) == 2]) == 1 + 21 + 20 * 8


def test_axends_selects_labels(tv):
    def label_count(*calls):
        paths = draw(tv, ("setgrf", "labe", "none", "none", "none"), ("ticks", 0, "x"),
                     ("frame", 0), ("labdig", -1, "x"), *calls)
        tv.delglb()
        xs = sorted({round((bbox([st])[0] + bbox([st])[2]) / 2 / 100) for st in paths
                     if bbox([st])[1] > Y0 + 5})
        return xs
    assert label_count() == [3, 5, 7, 9, 11, 13]
    assert label_count(("axends", "noen", "x")) == [5, 7, 9, 11]
    assert label_count(("axends", "ends", "x")) == [3, 13]
    assert label_count(("axends", "last", "x")) == [13]


def test_grid_lines(tv):
    paths = draw(tv, ("setgrf", "none", "none", "none", "none"), ("frame", 0),
                 after=[("grid", 1, 2)])
    vert = [st for st in paths if abs(st[0][0] - st[1][0]) < 1e-6]
    hori = [st for st in paths if abs(st[0][1] - st[1][1]) < 1e-6]
    # the clipping window is the axis rectangle narrowed by the grace margin of -1: the lines
    # on the frame itself are left out
    assert sorted(round(st[0][0]) for st in vert) == [500, 700, 900, 1100]
    assert sorted(round(st[0][1]) for st in hori) == list(range(800, 1500, 100))
    assert all(abs(abs(st[0][1] - st[1][1]) - (YL - 3)) < 0.01 for st in vert)


def test_grace_margin_of_the_clipping_window(tv):
    paths = draw(tv, ("setgrf", "none", "none", "none", "none"), ("frame", 0),
                 after=[("rline", -5.0, 4.0, 15.0, 4.0)])
    assert horizontal(paths, 1100, X0 + 1, X1 - 1)
    tv.delglb()
    paths = draw(tv, ("setgrf", "none", "none", "none", "none"), ("frame", 0), ("grace", 20),
                 after=[("rline", -5.0, 4.0, 15.0, 4.0)])
    assert horizontal(paths, 1100, X0 - 20, X1 + 20)


def test_title_lines_and_underline(tv):
    paths = draw(tv, ("setgrf", "none", "none", "none", "none"), ("frame", 0),
                 ("titlin", "Upper", 1), ("titlin", "Second", -2), after=[("title",)])
    under = [st for st in paths if len(st) == 2 and abs(st[0][1] - st[1][1]) < 1e-6]
    assert len(under) == 1
    (ux1, uy), (ux2, _) = sorted(under[0])
    h, ls = 36, 1.5
    top2 = Y1 - 3 * h - 2 * ls * h                 # upper left corner of line 2
    assert uy == pytest.approx(top2 + 1.2 * h)
    text2 = [st for st in paths if st is not under[0] and top2 - 1 <= bbox([st])[1] < top2 + h]
    bx1, _, bx2, _ = bbox(text2)
    # (the glyphs stand a little inside their text box)
    assert ux1 == pytest.approx(bx1 - h / 2, abs=12) and ux2 == pytest.approx(bx2 + h / 2, abs=12)
    assert (bx1 + bx2) / 2 == pytest.approx((X0 + X1) / 2, abs=8)    # centred
    line1 = [st for st in paths if bbox([st])[3] < top2 - 10]
    assert bbox(line1)[1] >= top2 - ls * h - 1


def test_axis_name_positions(tv):
    paths = draw(tv, ("setgrf", "name", "name", "none", "none"), ("frame", 0),
                 ("ticks", 0, "xy"), ("labels", "none", "xy"), ("name", "XX", "x"),
                 ("name", "YY", "y"), ("namdis", 40, "xy"))
    names = [st for st in paths if len(st) > 2 or not (is_segment(st, (X0, Y0), (X1, Y0))
                                                       or is_segment(st, (X0, Y0), (X0, Y1)))]
    below = [st for st in names if bbox([st])[1] > Y0]
    left = [st for st in names if bbox([st])[2] < X0]
    assert bbox(below)[1] == pytest.approx(Y0 + 40, abs=2)           # name distance
    assert (bbox(below)[0] + bbox(below)[2]) / 2 == pytest.approx((X0 + X1) / 2, abs=3)
    assert bbox(left)[2] == pytest.approx(X0 - 40, abs=2)
    assert (bbox(left)[1] + bbox(left)[3]) / 2 == pytest.approx((Y0 + Y1) / 2, abs=3)


def test_crossed_axes_through_the_origin(tv):
    paths = draw(tv, ("axstyp", "cros"), ("frame", 0), ("ticks", 1, "xy"),
                 graf=(-5.0, 5.0, -5.0, 1.0, -4.0, 4.0, -4.0, 2.0))
    assert horizontal(paths, 1100, X0, X1) and vertical(paths, 800, Y0, Y1)
    assert vertical(paths, 900, 1100, 1124)        # X ticks hang below the X axis line


def test_polar_system(tv):
    def body(t):
        t.axspos(X0, Y0)
        t.axslen(801, 801)
        t.setgrf("none", "none", "none", "none")
        t.polar(2.0, 0.0, 0.5, 0.0, 90.0)
        t.grid(1, 1)
        t.rline(0.0, 0.0, 3.0, math.pi / 4)       # clipped by the circle
    paths = strokes(tv, body)
    cx, cy, r = 700.0, 1100.0, 400.0
    dist = lambda p: math.hypot(p[0] - cx, p[1] - cy)
    rings = {round(dist(st[0])) for st in paths if len(st) > 2}
    # the frame, and the grid circles inside the clipping circle (radius 400.5 + grace -1)
    assert rings == {100, 200, 300, 400}
    spokes = [st for st in paths if len(st) == 2]
    assert len(spokes) == 5
    ray = spokes[-1]
    assert ray[0] == pytest.approx((cx, cy)) and abs(dist(ray[1]) - (r - 0.5)) < 0.2
    assert ray[1][0] - cx == pytest.approx(cy - ray[1][1], abs=0.1)


def test_single_axes(tv):
    def body(t):
        t.ticks(1, "xy")
        t.labels("none", "xy")
        t.xaxis(0.0, 4.0, 0.0, 1.0, 401, "", 0, 200, 1000)
        t.yaxis(0.0, 2.0, 0.0, 1.0, 201, "", 1, 1000, 1000)
        t.xaxis(0.0, 1.0, 0.0, 0.0, 401, "", 0, 200, 500)    # step 0: nothing
    paths = strokes(tv, body)
    assert horizontal(paths, 1000, 200, 600)
    assert all(vertical(paths, 200 + 100 * k, 1000, 1024) for k in range(5))
    assert vertical(paths, 1000, 1000, 800)
    assert all(horizontal(paths, 1000 - 100 * k, 1000, 1024) for k in range(3))   # right side
    assert len(paths) == 1 + 5 + 1 + 3


def test_date_axis_ticks_follow_the_months(tv):
    paths = draw(tv, ("basdat", 1, 1, 2024), ("labels", "date", "x"), ("setscl", [0.0, 365.0], 2, "x"),
                 ("setgrf", "tick", "none", "none", "none"), ("frame", 0))
    ticks = sorted((round(st[0][0], 1), round(abs(st[1][1] - st[0][1]))) for st in paths
                   if len(st) == 2 and abs(st[0][0] - st[1][0]) < 1e-6)
    month_starts = [0, 31, 60, 91, 121, 152, 182, 213, 244, 274, 305, 335]
    want = [(round(X0 + d * 1000 / 365, 1), 24 if i % 3 == 0 else 16)
            for i, d in enumerate(month_starts)]
    assert ticks == want
    tv.delglb()
    days = draw(tv, ("basdat", 1, 1, 2024), ("labels", "date", "x"), ("ticmod", "days", "x"),
                ("setgrf", "tick", "none", "none", "none"), ("frame", 0),
                graf=(0.0, 10.0, 0.0, 5.0, 0.0, 8.0, 0.0, 2.0))
    assert len([st for st in days if len(st) == 2]) == 1 + 11     # the line and a tick a day


def test_first_label_far_outside_the_scaling(tv):
    # tick numbers beyond the precision of doubles: the axis is drawn without them
    paths = draw(tv, ("setgrf", "tick", "none", "none", "none"), ("frame", 0),
                 graf=(1e17, 1e17 + 1000.0, 0.0, 100.0, 0.0, 8.0, 0.0, 2.0))
    assert len(paths) == 1 and horizontal(paths, Y0, X0, X1)
