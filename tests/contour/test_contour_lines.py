"""Contour lines: levels of known functions, saddle cells, plateaus, closed lines, the point
lists of conpts with their overflow rules, labels with their gaps, thick lines and bad input."""
import math

import pytest

from contour_plots import grid, joined, linspace, strokes, to_plot, warnings

XS = linspace(-2, 2, 41)
PARABOLOID = grid(lambda x, y: x * x + y * y, XS, XS)


def conpts_lines(tv, xs, ys, z, level, maxpts=5000, maxray=50):
    xp, yp, ir = [0.0] * maxpts, [0.0] * maxpts, [0] * maxray
    n = tv.conpts(xs, len(xs), ys, len(ys), z, level, xp, yp, maxpts, ir, maxray)
    out, k = [], 0
    for m in ir[:n]:
        out.append(list(zip(xp[k:k + m], yp[k:k + m])))
        k += m
    return out


# ------------------------------------------------------------------------------------------
# geometry of the traced lines

@pytest.mark.parametrize("radius", [0.5, 1.0, 1.5])
def test_paraboloid_levels_are_closed_circles(tv, radius):
    lines = conpts_lines(tv, XS, XS, PARABOLOID, radius * radius)
    assert len(lines) == 1
    line = lines[0]
    assert line[0] == line[-1]                       # closed, first point repeated once
    # (a node exactly at the level is met by several crossings, one after the other)
    distinct = [p for k, p in enumerate(line) if k == 0 or p != line[k - 1]]
    assert distinct.count(line[0]) == 2
    assert all(abs(math.hypot(x, y) - radius) < 0.01 for x, y in line)
    # the whole circle: every direction is met
    angles = sorted(math.atan2(y, x) for x, y in line)
    assert max(b - a for a, b in zip(angles, angles[1:])) < 0.2


def test_drawn_lines_are_the_traced_lines(tv):
    traced = conpts_lines(tv, XS, XS, PARABOLOID, 1.0)[0]
    paths = joined(strokes(tv, lambda t: t.contur(XS, 41, XS, 41, PARABOLOID, 1.0)))
    assert len(paths) == 1
    assert len(paths[0]) == len(traced)
    for (px, py), (x, y) in zip(paths[0], traced):
        assert math.dist((px, py), to_plot(x, y)) < 0.01


def test_open_lines_run_from_border_to_border(tv):
    z = grid(lambda x, y: x + 0.5 * y, XS, XS)
    lines = conpts_lines(tv, XS, XS, z, 0.3)
    assert len(lines) == 1
    (x0, y0), (x1, y1) = lines[0][0], lines[0][-1]
    on_border = lambda x, y: abs(abs(x) - 2) < 1e-9 or abs(abs(y) - 2) < 1e-9
    assert on_border(x0, y0) and on_border(x1, y1)
    assert all(abs(x + 0.5 * y - 0.3) < 1e-9 for x, y in lines[0])
    # the border is scanned from the lower edge on: the line starts there
    assert y0 < y1


@pytest.mark.parametrize("c22, joined_corners", [(1.0, "low"), (1.4, "high")])
def test_saddle_cells_follow_the_centre_value(tv, c22, joined_corners):
    # high corners (0, 0) and (1, 1); the mean of the corners decides which pair is joined
    z = [1.0, 0.0, 0.0, c22]
    lines = conpts_lines(tv, [0.0, 1.0], [0.0, 1.0], z, 0.5)
    assert len(lines) == 2
    centres = [(sum(p[0] for p in l) / len(l), sum(p[1] for p in l) / len(l)) for l in lines]
    if joined_corners == "low":   # each line cuts off one high corner
        assert all(abs(cx - cy) < 1e-9 for cx, cy in centres)
    else:                         # each line cuts off one low corner
        assert sorted(round(cx - cy, 6) > 0 for cx, cy in centres) == [False, True]


def test_levels_outside_the_values_and_plateaus(tv):
    xs = [0.0, 1.0, 2.0, 3.0, 4.0]
    z = grid(lambda x, y: 1.0 if 1 <= x <= 3 and 1 <= y <= 3 else 0.0, xs, xs)
    assert conpts_lines(tv, xs, xs, z, 5.0) == []
    assert conpts_lines(tv, xs, xs, z, -1.0) == []
    # a plateau exactly at the level is low: no line at all
    assert conpts_lines(tv, xs, xs, z, 1.0) == []
    # below it the block is high; the plateau of nodes at the level is outlined once, on
    # its high side: through the ring of level nodes round the block
    lines = conpts_lines(tv, xs, xs, z, 0.0)
    assert len(lines) == 1 and lines[0][0] == lines[0][-1]
    assert all(min(x, 4 - x, y, 4 - y) == 0 for x, y in lines[0])
    assert strokes(tv, lambda t: t.contur(xs, 5, xs, 5, z, 5.0)) == []


def test_missing_values_never_break_the_output(tv):
    z = list(PARABOLOID)
    for k in range(0, len(z), 7):
        z[k] = float("nan")
    z[100] = float("inf")
    lines = conpts_lines(tv, XS, XS, z, 1.0)
    assert lines and all(math.isfinite(x) and math.isfinite(y) for l in lines for x, y in l)
    paths = strokes(tv, lambda t: t.contur(XS, 41, XS, 41, z, 1.0))
    assert paths


# ------------------------------------------------------------------------------------------
# conpts capacities

def two_bumps(x, y):
    return math.exp(-((x - 1) ** 2 + y * y) * 4) + math.exp(-((x + 1) ** 2 + y * y) * 4)


def test_conpts_overflow_of_lines_and_points(tv, capfd):
    z = grid(two_bumps, XS, XS)
    full = conpts_lines(tv, XS, XS, z, 0.5)
    assert len(full) == 2
    tv.unit(6)
    capfd.readouterr()
    xp, yp, ir = [0.0] * 5000, [0.0] * 5000, [0]
    n = tv.conpts(XS, 41, XS, 41, z, 0.5, xp, yp, 5000, ir, 1)
    assert n == 1 and ir[0] == len(full[0]) + len(full[1])
    assert warnings(capfd) == [" <<<< Warning 117: Overflow - Too many contour lines in conpts!"]
    xp, yp, ir = [0.0] * 10, [0.0] * 10, [0] * 5
    n = tv.conpts(XS, 41, XS, 41, z, 0.5, xp, yp, 10, ir, 5)
    assert n == 2 and ir[:2] == [10, 0]
    assert warnings(capfd) == [" <<<< Warning 116: Overflow - Too many contour points in conpts!"]
    assert [(x, y) for x, y in zip(xp, yp)] == full[0][:10]


# ------------------------------------------------------------------------------------------
# conmat, concrv, logarithmic axes

def test_conmat_is_contur_over_the_axis_scaling(tv, capfd):
    xs = [float(i) for i in range(11)]
    z = grid(lambda x, y: (x - 4) ** 2 + (y - 6) ** 2, xs, xs)
    kw = dict(scale=(0, 10, 0, 10))
    a = strokes(tv, lambda t: t.contur(xs, 11, xs, 11, z, 9.0), **kw)
    b = strokes(tv, lambda t: t.conmat(z, 11, 11, 9.0), **kw)
    assert a and a == b

    def bad(t):
        t.unit(6)
        t.conmat(z, 1, 121, 9.0)
    assert strokes(tv, bad, **kw) == []
    assert warnings(capfd) == [" <<<< Warning 2: Incorrect parameter in conmat!   ( 1)"]


def test_concrv_draws_the_given_polyline(tv):
    xs, ys = [-1.5, 0.0, 1.0, 1.5], [-1.0, 1.0, 0.5, -1.5]
    paths = joined(strokes(tv, lambda t: t.concrv(xs, ys, 4, 3.0)))
    assert len(paths) == 1
    assert all(math.dist(p, to_plot(x, y)) < 0.01 for p, (x, y) in zip(paths[0], zip(xs, ys)))


def test_non_positive_values_on_log_axes(tv, capfd):
    xs, ys = [0.0, 1.0, 2.0], [1.0, 2.0, 3.0]
    z = grid(lambda x, y: x + y, xs, ys)

    def body(t):
        t.unit(6)
        t.contur(xs, 3, ys, 3, z, 2.5)

    def axes(t):
        t.axsscl("LOG", "X")
    assert strokes(tv, body, axes=axes, scale=(-1, 1, 0, 4)) == []
    assert warnings(capfd) == [" <<<< Warning 27: Non positive values for log scaling in contur!"]


# ------------------------------------------------------------------------------------------
# labels

VX = [-1.5, -0.5, 0.5, 1.5]
VY = linspace(-2, 2, 81)
VERTICAL = grid(lambda x, y: x, VX, VY)          # level 0: the line x = 0 from bottom to top


def label_plot(tv, level=0.0, z=VERTICAL, xs=VX, ys=VY, extra=None, colours=False):
    def body(t):
        t.height(30)
        t.labels("FLOA", "CON")
        t.labdig(1, "CON")
        t.labdis(400, "CON")
        if extra:
            extra(t)
        t.contur(xs, len(xs), ys, len(ys), z, level)
    return strokes(tv, body, colours=colours)


def test_labels_sit_in_gaps_of_the_line(tv):
    paths = label_plot(tv)
    x_line = to_plot(0, 0)[0]
    line = [p for p in paths if all(abs(x - x_line) < 1e-3 for x, _ in p)]
    text = [p for p in paths if p not in line]
    # the line is drawn upwards from the lower border in pieces separated by gaps
    pieces = sorted(sorted(y for _, y in p) for p in line)[::-1]
    gaps = [(lower[0], upper[-1]) for lower, upper in zip(pieces, pieces[1:])]
    gaps = [(a, b) for a, b in gaps if a - b > 1]
    assert len(gaps) == 2
    tv.tavini()
    tv.unit(0)
    tv.height(30)
    extent = tv.nlnumb(0.0, 1) + 2 * 0.5 * 30   # text width plus the gap on both sides
    tv.tavfin()
    for start, end in gaps:
        assert start - end == pytest.approx(extent, abs=0.01)
    bottom = to_plot(0, -2)[1] - 1              # the clipping window starts one unit inside
    assert bottom - gaps[0][0] >= 100           # no label before 100 plot units of line
    for (s1, _), (s2, e2) in zip(gaps, gaps[1:]):
        assert s1 - e2 >= 400                   # then one every label distance
    # every glyph stroke lies across the line inside one gap
    for st in text:
        ys = [y for _, y in st]
        assert any(e - 1e-6 <= min(ys) and max(ys) <= s + 1e-6 for s, e in gaps)
        assert all(abs(x - x_line) <= 30 for x, _ in st)


def test_no_labels_where_the_line_turns(tv):
    # a small circle turns by more than 5 degrees between its points: drawn whole
    paths = label_plot(tv, level=0.09, z=PARABOLOID, xs=XS, ys=XS)
    assert len(joined(paths)) == 1
    loop = joined(paths)[0]
    assert math.dist(loop[0], loop[-1]) < 1e-3


def test_label_string_and_colour(tv):
    def extra(t):
        t.labels("CONL", "CON")
        t.conlab("abc")
        t.labclr(50, "CON")
    paths_conl, colours = label_plot(tv, extra=extra, colours=True)
    paths_num = label_plot(tv)
    line = lambda ps: [p for p in ps if len({round(x, 3) for x, _ in p}) == 1]
    assert line(paths_conl) == line(paths_num)   # the same gaps
    assert paths_conl != paths_num               # other glyphs
    assert 50 in colours


def test_thick_lines_are_parallel_passes(tv):
    def body(t):
        t.thkcrv(3)
        t.contur(VX, 4, VY, 81, VERTICAL, 0.0)
    paths = strokes(tv, body)
    x_line = to_plot(0, 0)[0]
    offsets = sorted({round(x - x_line, 3) for p in paths for x, _ in p})
    assert offsets == [-1.0, 0.0, 1.0]


# ------------------------------------------------------------------------------------------
# settings and messages

def test_settings_are_checked(tv, capfd):
    tv.tavini()
    tv.errmod("PROT", "OFF")
    capfd.readouterr()
    tv.congap(-0.1)
    tv.conmod(-1.0, 2.0)
    tv.conmod(0.5, 1.0)
    tv.conclr(list(range(257)), 257)
    tv.zscale(2.0, 1.0)
    tv.shdmod("POLY", "XXXX")
    tv.shdmod("XXXX", "CONT")
    tv.contur(XS, 41, XS, 41, PARABOLOID, 1.0)
    tv.conpts(XS, 1, XS, 41, PARABOLOID, 1.0, [0.0], [0.0], 1, [0], 1)
    assert warnings(capfd) == [
        " <<<< Warning 2: Incorrect parameter in congap!",
        " <<<< Warning 2: Incorrect parameter in conmod!",
        " <<<< Warning 2: Incorrect parameter in conmod!",
        " <<<< Warning 2: Incorrect parameter in conclr!   ( 257)",
        " <<<< Warning 2: Incorrect parameter in zscale!",
        " <<<< Warning 2: Incorrect parameter in shdmod!   (XXXX)",
        " <<<< Warning 2: Incorrect parameter in shdmod!   (XXXX)",
        " <<<< Warning 3: Incorrect level in contur!   ( 1)",
        " <<<< Warning 2: Incorrect parameter in conpts!   ( 1)",
    ]
    tv.tavfin()


def test_reset_names_of_the_contour_settings(tv):
    tv.tavini()
    tv.unit(0)
    tv.congap(2.0)
    tv.reset("CONG")
    tv.conmod(3.0, 4.0)
    tv.reset("CONM")
    tv.tavfin()
    # the defaults draw the same labelled line as a fresh record
    a = label_plot(tv)
    b = label_plot(tv, extra=lambda t: (t.congap(2.0), t.reset("CONG")))
    assert a == b

