"""Area fill seen through the library metafile (hatch lines) and through PostScript rendered by
ghostscript (hardware polygons): patterns, spacing and angles, the even-odd rule, grouped and
dashed patterns, the scan-line rules at vertices, limits and bad input."""
import math
import random
import shutil
import subprocess

import pytest

from conftest import metafile_paths, read_metafile


def plot(tv, body, fmt=None):
    """(strokes in plot units, colour records, console text) of the plot drawn by body."""
    if fmt:
        tv.metafl(fmt)
    tv.tavini()
    w, h = tv.getpag()
    name = tv.getfil()
    body(tv)
    tv.unit(0)
    tv.tavfin()
    if fmt:
        return name
    _, fields = read_metafile(name)
    colours, strokes = metafile_paths(fields)
    s = max(w, h) - 1
    return [[(x * s, (h - 1) - y * s) for x, y in st] for st in strokes if len(st) > 1], colours


def segments(strokes):
    """The two-point strokes (hatch lines), as ((x1, y1), (x2, y2))."""
    return [tuple(s) for s in strokes if len(s) == 2]


def direction(seg):
    (x1, y1), (x2, y2) = seg
    return round(math.degrees(math.atan2(-(y2 - y1), x2 - x1)) % 180, 2)


def offset(seg, deg):
    """y' of a hatch line at angle deg: the coordinate across the lines."""
    a = math.radians(deg)
    (x, y), _ = seg
    return y * math.cos(a) + x * math.sin(a)


def inside(poly, x, y):
    """Even-odd point-in-polygon test (crossing number), page coordinates."""
    c = False
    n = len(poly)
    for i in range(n):
        (x1, y1), (x2, y2) = poly[i], poly[(i + 1) % n]
        if (y1 > y) != (y2 > y):
            if x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                c = not c
    return c


def area(tv, pts):
    tv.areaf([p[0] for p in pts], [p[1] for p in pts], len(pts))


SQUARE = [(500, 500), (1500, 500), (1500, 1500), (500, 1500)]


# --- patterns: angles, spacing, cross hatching, scale factor

@pytest.mark.parametrize("factor", [1.0, 2.0])
def test_pattern_5_cross_hatches_at_45_and_135(tv, factor):
    strokes, _ = plot(tv, lambda t: (t.shdfac(factor), t.shdpat(5), area(t, SQUARE)))
    segs = segments(strokes)
    sp = 26.9999 * factor
    by_angle = {}
    for s in segs:
        by_angle.setdefault(direction(s), []).append(s)
    assert set(by_angle) == {45.0, 135.0}
    for deg, group in by_angle.items():
        offs = sorted(offset(s, deg) for s in group)
        # every line lies on a multiple of the spacing, and none is missing
        ks = [o / sp for o in offs]
        assert all(abs(k - round(k)) < 1e-4 for k in ks)
        assert [round(k) for k in ks] == list(range(round(ks[0]), round(ks[-1]) + 1))
        lo = min(offset((p, p), deg) for p in SQUARE)
        hi = max(offset((p, p), deg) for p in SQUARE)
        assert len(offs) == math.floor(hi / sp) - math.ceil(lo / sp) + 1
    # the outline is drawn too, as one closed polyline
    outlines = [s for s in strokes if len(s) == 5]
    assert len(outlines) == 1 and outlines[0][0] == outlines[0][-1]


def test_pattern_angle_and_density_from_code(tv):
    # a code given to shdpat: angle 30, plain lines, density 2 (spacing 11.9999), no cross
    strokes, _ = plot(tv, lambda t: (t.shdpat(30120), area(t, SQUARE)))
    segs = segments(strokes)
    assert {direction(s) for s in segs} == {30.0}
    offs = sorted(offset(s, 30) for s in segs)
    assert len(offs) > 10 and all(abs(b - a - 11.9999) < 1e-3 for a, b in zip(offs, offs[1:]))
    tv.delglb()
    # crossed at 150 degrees: the second family runs at 180 - 150
    strokes, _ = plot(tv, lambda t: (t.mypat(150, 1, 5, 1), area(t, SQUARE)))
    assert {direction(s) for s in segments(strokes)} == {150.0, 30.0}


def test_density_0_is_visually_solid_and_units_scale_the_spacing(tv):
    strokes, _ = plot(tv, lambda t: (t.mypat(0, 1, 0, 0), area(t, [(100, 100), (200, 100),
                                                                   (200, 120), (100, 120)])))
    ys = sorted(s[0][1] for s in segments(strokes))
    assert len(ys) == 20 and all(abs(b - a - 0.99999) < 1e-3 for a, b in zip(ys, ys[1:]))
    tv.delglb()
    tv.units("inch")               # one plot unit is 0.254 mm: 6.9999 / 2.54 plot units
    strokes, _ = plot(tv, lambda t: (t.mypat(0, 1, 1, 0), area(t, [(100, 100), (200, 100),
                                                                   (200, 200), (100, 200)])))
    ys = sorted(s[0][1] for s in segments(strokes))
    assert all(abs(b - a - 6.9999 / 2.5399999618530273) < 1e-3 for a, b in zip(ys, ys[1:]))


# --- grouped and dashed patterns

def test_grouped_lines_type_2(tv):
    # spacing 20, groups of 2, skip 1: one drawn, one skipped, two drawn, one skipped, ...
    strokes, _ = plot(tv, lambda t: (t.mypat(0, 2, 1, 0),
                                     area(t, [(100, 100), (300, 100), (300, 300), (100, 300)])))
    ys = sorted(round(s[0][1], 3) for s in segments(strokes))
    assert ys == [100, 140, 160, 200, 220, 260, 280]


def test_grouped_lines_type_4_and_the_45_degree_group(tv):
    # type 4: spacing 1, groups of 8 lines, 5 * 5 + 4.9999 -> 29 lines skipped
    strokes, _ = plot(tv, lambda t: (t.mypat(0, 4, 5, 0),
                                     area(t, [(100, 100), (300, 100), (300, 300), (100, 300)])))
    ys = sorted(round(s[0][1], 3) for s in segments(strokes))
    runs, cur = [], [ys[0]]
    for a, b in zip(ys, ys[1:]):
        if abs(b - a - 1) < 1e-6:
            cur.append(b)
        else:
            assert abs(b - a - 30) < 1e-6
            runs.append(cur)
            cur = [b]
    runs.append(cur)
    assert len(runs[0]) == 7 and all(len(r) == 8 for r in runs[1:-1])
    tv.delglb()
    strokes, _ = plot(tv, lambda t: (t.mypat(45, 2, 1, 0), area(t, SQUARE)))
    offs = sorted(offset(s, 45) for s in segments(strokes))
    gaps = [round((b - a) / 20) for a, b in zip(offs, offs[1:])]
    assert set(gaps) == {1, 2} and "2,2" not in ",".join(map(str, gaps))
    assert "1,1" not in ",".join(map(str, gaps[1:]))


def test_dashed_pattern_restores_the_line_style(tv):
    def body(t):
        t.dash()
        t.noarln()
        t.shdpat(17)                       # type 5: dotted hatch lines (1 on, 20 off)
        area(t, [(100, 100), (400, 100), (400, 120), (100, 120)])
        assert t.gettyp() == 2
        t.line(100, 500, 160, 500)        # still dashed 10/10 after the fill
    strokes, _ = plot(tv, body)
    hatch = [s for s in segments(strokes) if 99 < s[0][1] < 121]
    assert hatch and all(abs(abs(b[0] - a[0]) - 1) < 1e-3 for a, b in hatch)
    starts = sorted(a[0] for a, b in hatch if abs(a[1] - hatch[0][0][1]) < 1e-6)
    assert {round(q - p, 3) for p, q in zip(starts, starts[1:])} == {21.0}
    line = [s for s in strokes if abs(s[0][1] - 500) < 1e-3]
    assert [round(s[0][0]) for s in line] == [100, 120, 140]


# --- even-odd rule and the scan-line rules

def star(cx, cy, r):
    pts = [(round(cx + r * math.sin(2 * math.pi * k * 2 / 5)),
            round(cy - r * math.cos(2 * math.pi * k * 2 / 5))) for k in range(5)]
    return pts


def check_even_odd(strokes, poly):
    by_y = {}
    for (x1, y1), (x2, y2) in segments(strokes):
        by_y.setdefault(round(y1, 4), []).append(tuple(sorted((x1, x2))))
    assert by_y
    for y, spans in by_y.items():
        spans.sort()
        for a, b in spans:
            if b - a > 0.05:
                assert inside(poly, (a + b) / 2, y)
        for (_, b), (c, _) in zip(spans, spans[1:]):
            if c - b > 0.05:
                assert not inside(poly, (b + c) / 2, y)


def test_star_is_filled_even_odd(tv):
    poly = star(1000, 1000, 600)
    strokes, _ = plot(tv, lambda t: (t.mypat(0, 1, 1, 0), area(t, poly)))
    check_even_odd(strokes, poly)
    # no hatch segment crosses the centre of the star
    centre = [s for s in segments(strokes) if abs(s[0][1] - 1000) < 4]
    assert centre and all(not (min(a[0], b[0]) < 1000 < max(a[0], b[0])) for a, b in centre)


def test_random_polygons_agree_with_point_in_polygon(tv):
    rnd = random.Random(7)
    polys = [[(rnd.randint(200, 2700), rnd.randint(200, 1900)) for _ in range(rnd.randint(3, 14))]
             for _ in range(6)]

    # one polygon per plot, so that the hatch lines can be told apart
    for p in polys:
        strokes, _ = plot(tv, lambda t: (t.noarln(), t.mypat(0, 1, 2, 0), area(t, p)))
        check_even_odd(strokes, p)
        tv.delglb()


def test_vertex_on_a_scan_line(tv):
    # The origin shift puts the polygons' y = 0 on the page at 500; y' = 0 is a scan line.
    rising = [(100, -50), (200, 0), (100, 60), (-10, 5)]       # (200, 0) between rising and falling edges
    peak = [(0, -100), (100, 0), (200, -100), (300, 50), (-50, 50)]   # (100, 0): neighbours on one side
    valley = [(-100, -100), (-100, 50), (0, 0), (100, 50), (100, -100)]  # (0, 0): two equal crossings

    def body(t):
        t.origin(500, 500)
        t.noarln()
        t.mypat(0, 1, 1, 0)
        area(t, rising)
        t.origin(500, 1200)
        area(t, peak)
        t.origin(1500, 500)
        area(t, valley)
    strokes, _ = plot(tv, body)
    on_line = sorted((round(a[0], 2), round(b[0], 2), round(a[1], 2)) for a, b in segments(strokes)
                     if abs(a[1] - 500) < 1e-3 or abs(a[1] - 1200) < 1e-3)
    assert on_line == [(466.67, 766.67, 1200.0), (500.0, 700.0, 500.0), (1400.0, 1600.0, 500.0)]


def test_too_many_intersections(tv, capfd):
    def comb(teeth):
        pts = [(100, 400)]
        for i in range(teeth):
            x = 100 + 20 * i
            pts += [(x, 100), (x + 10, 100), (x + 10, 300), (x + 20, 300)]
        return pts + [(100 + 20 * teeth, 400)]

    def body(t):
        t.unit(6)
        t.noarln()
        t.mypat(0, 1, 1, 0)
        area(t, comb(51))               # 102 crossings on the lines through the teeth
    strokes, _ = plot(tv, body)
    out = capfd.readouterr().out
    assert " <<<< Warning 26: Too many intersections in areaf!   ( 102)" in out
    assert segments(strokes) == []      # the first line already stops the fill
    tv.delglb()
    strokes, _ = plot(tv, lambda t: (t.noarln(), t.mypat(0, 1, 1, 0), area(t, comb(50))))
    assert "Too many" not in capfd.readouterr().out
    assert len(segments(strokes)) > 100


# --- outline, empty pattern, solid fill

def test_outline_flag_empty_pattern_solid_and_dots(tv):
    strokes, _ = plot(tv, lambda t: area(t, SQUARE))      # default pattern: empty
    assert len(strokes) == 1 and len(strokes[0]) == 5
    tv.delglb()
    strokes, _ = plot(tv, lambda t: (t.noarln(), area(t, SQUARE)))
    assert strokes == []
    tv.delglb()
    strokes, _ = plot(tv, lambda t: (t.noarln(), t.shdpat(1), area(t, SQUARE)))
    assert strokes and all(len(s) == 2 for s in strokes)
    tv.delglb()
    strokes, _ = plot(tv, lambda t: (t.noarln(), t.shdpat(5), t.reset("noar"), t.reset("shdp"),
                                     area(t, SQUARE)))
    assert len(strokes) == 1 and len(strokes[0]) == 5
    tv.delglb()
    # no polygon fill on the metafile: a solid area shows its outline
    strokes, _ = plot(tv, lambda t: (t.noarln(), t.shdpat(16), area(t, SQUARE)))
    assert len(strokes) == 1 and len(strokes[0]) == 5
    tv.delglb()
    # all points equal: a dot
    strokes, _ = plot(tv, lambda t: area(t, [(300, 300)] * 4))
    assert len(strokes) == 1 and len(strokes[0]) == 2
    assert all(abs(x - 300) < 1e-3 and abs(y - 300) < 1e-3 for x, y in strokes[0])


needs_gs = pytest.mark.skipif(shutil.which("gs") is None, reason="ghostscript not installed")


def render(path, res=20):
    """A PostScript page rendered by ghostscript as a greyscale Pillow image."""
    from PIL import Image
    subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pnggray", f"-r{res}",
                    "-sOutputFile=page.png", path], capture_output=True, check=True)
    return Image.open("page.png").convert("L")


@needs_gs
def test_solid_fill_on_postscript(tv):
    poly = star(1000, 1000, 600)
    name = plot(tv, lambda t: (t.noarln(), t.shdpat(16), area(t, poly)), fmt="PSCL")
    text = open(name).read()
    assert text.count("eofill") == 1
    path = text[:text.index("eofill")].rsplit(" u ", 1)
    # the first vertex with "u", the others and the first again with "d"
    assert path[1].split().count("d") == len(poly)
    img = render(name)
    # PSCL paints the page black on white paper, the foreground is white. The landscape page
    # is turned on the paper: page y runs along the paper's x, page x upwards.
    left, top, right, bottom = img.point(lambda v: 255 if v < 128 else 0).getbbox()

    def pix(x, y):
        col = left + y / 2099 * (right - left)
        row = bottom - x / 2969 * (bottom - top)
        return img.getpixel((int(col), int(row)))
    tip = star(1000, 1000, 450)[0]
    assert pix(*tip) > 128                 # inside a point of the star
    assert pix(1000, 1000) < 128           # the centre pentagon stays empty (even-odd)
    assert pix(1800, 1000) < 128           # outside


@needs_gs
def test_hardware_shading_off_draws_the_outline(tv):
    name = plot(tv, lambda t: (t.hwmode("off", "shad"), t.shdpat(16), area(t, SQUARE)),
                fmt="PSCL")
    assert "eofill" not in open(name).read()


@needs_gs
def test_huge_coordinates_stay_in_the_file(tv):
    big = [(-2_000_000_000, 100), (2_000_000_000, 150), (2_000_000_000, 1_900_000_000),
           (-2_000_000_000, 300)]

    def body(t):
        t.shdpat(16)
        area(t, big)
        t.shdpat(5)
        area(t, big)
    name = plot(tv, body, fmt="PSCL")
    render(name)                           # ghostscript reads it without error
    for tok in open(name).read().split():
        if tok.lstrip("-").isdigit():
            assert abs(int(tok)) < 100000
    tv.delglb()
    strokes, _ = plot(tv, body)
    assert all(-1e-3 <= x <= 2969.001 and -1e-3 <= y <= 2099.001 for s in strokes for x, y in s)


@needs_gs
def test_non_finite_and_huge_user_coordinates(tv, capfd):
    xs, ys = [1, float("nan"), 5, 1e300, 9], [1, 1, 9, -1e300, float("inf")]

    def body(t):
        t.graf(0, 10, 0, 2, 0, 10, 0, 2)
        for pat in (16, 5, 2):
            t.shdpat(pat)
            t.rlarea(xs, ys, 5)
        t.endgrf()
    name = plot(tv, body, fmt="PSCL")
    render(name)
    assert all(abs(int(tok)) < 100000 for tok in open(name).read().split()
               if tok.lstrip("-").isdigit())
    tv.delglb()
    strokes, _ = plot(tv, body)
    assert all(-1e-3 <= x <= 2969.001 and -1e-3 <= y <= 2099.001 for s in strokes for x, y in s)
    assert "Warning" not in capfd.readouterr().out


# --- parameter checks

def test_pattern_parameter_checks(tv, capfd):
    tv.tavini()
    tv.shdpat(5)
    tv.shdpat(-1)
    tv.mypat(180, 1, 1, 0)
    tv.mypat(0, 1, 1, 2)
    tv.patcyc(1, 180001)
    tv.shdfac(float("nan"))
    assert tv.getpat() == 5
    tv.mypat(60, 1, 2, 0)
    assert tv.getpat() == 60120            # mypat stores its code
    assert capfd.readouterr().out.splitlines() == [
        " <<<< Warning 2: Incorrect parameter in shdpat!   ( -1)",
        " <<<< Warning 2: Incorrect parameter in mypat!   ( 180)",
        " <<<< Warning 2: Incorrect parameter in mypat!   ( 2)",
        " <<<< Warning 2: Incorrect parameter in patcyc!   ( 180001)",
        " <<<< Warning 2: Incorrect parameter in shdfac!",
    ]
