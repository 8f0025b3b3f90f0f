"""PostScript and EPS output, read back as a program and checked by Ghostscript.

The body is parsed into its procedure calls (u/d/p paths, e rectangles, eofill polygons) and
pages are rendered with Ghostscript to see that what was drawn is where it should be. Device
units are 0.05 mm at scale 1; the prolog turns them into points (x 72/508).
"""
import hashlib
import math
import re
import shutil
import subprocess
from pathlib import Path

import pytest

GS = shutil.which("gs")
pytestmark = pytest.mark.skipif(GS is None, reason="needs Ghostscript")

PT = 0.1417322835
EXT = {"PS": "ps", "PSCL": "psc", "EPS": "eps"}
PROLOG_SHA256 = "120e6359fc78de1ec88327c85f3a79e6b383ec838e36e6b119f7f73ec2538382"
WHITE = 765


def plot(tv, draw=None, fmt="PS", setup=None):
    """Runs one plot; returns the path and text of the file."""
    plot.n = getattr(plot, "n", 0) + 1
    name = f"plot{plot.n}.{EXT[fmt]}"
    tv.metafl(fmt)
    tv.setfil(name)
    if setup:
        setup(tv)
    tv.tavini()
    if draw:
        draw(tv)
    tv.tavfin()
    return Path(name), Path(name).read_text()


def gs_run(path, *args):
    return subprocess.run([GS, "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", *args, str(path)],
                          capture_output=True, text=True, timeout=60)


def gs_ok(path):
    r = gs_run(path, "-sDEVICE=nullpage")
    assert r.returncode == 0 and "Error" not in r.stdout + r.stderr, r.stdout + r.stderr


def render(path):
    """Pages on fixed A4 media at 72 dpi, as RGB images."""
    from PIL import Image
    r = gs_run(path, "-sDEVICE=png16m", "-r72", "-dDEVICEWIDTHPOINTS=595",
               "-dDEVICEHEIGHTPOINTS=842", "-dFIXEDMEDIA",
               f"-sOutputFile={path.with_suffix('.page%d.png')}")
    assert r.returncode == 0, r.stdout + r.stderr
    return [Image.open(p).convert("RGB") for p in sorted(path.parent.glob(path.stem + ".page*"))]


def window(img, X, Y, r=2, ox=150, oy=200, k=1.0):
    """Pixels around the image point of device point (X, Y)."""
    px, py = (X * k + ox) * PT, 842 - (Y * k + oy) * PT
    return [img.getpixel((int(px) + i, int(py) + j))
            for i in range(-r, r + 1) for j in range(-r, r + 1)]


def darkest(img, X, Y, **kw):
    return min(sum(p) for p in window(img, X, Y, **kw))


def calls(text):
    """Stroked paths, filled polygons and (operator, operands) of the body."""
    body = text.split(" scale\n", 1)[1]
    ops, stack, paths, polys, cur = [], [], [], [], None
    for tok in body.split():
        if re.fullmatch(r"-?\d+(\.\d+)?", tok):
            stack.append(float(tok) if "." in tok else int(tok))
            continue
        ops.append((tok, stack))
        if tok == "u":
            cur = [tuple(stack)]
        elif tok == "d":
            cur.append(tuple(stack))
        elif tok in ("p", "eofill"):
            (paths if tok == "p" else polys).append(cur)
        stack = []
    return paths, polys, ops


def scale(W=2969, H=2099, turned=True):
    pw, ph = (5600, 3900) if turned else (3900, 5600)
    return min(pw / W, ph / H, 2.0)


def rnd(v):
    return math.floor(v + 0.5)


def dev(x, y, s, H=2099, turned=True):
    return (rnd(s * y), rnd(s * x)) if turned else (rnd(s * x), rnd(s * (H - y)))


def bbox(text):
    return tuple(int(v) for v in re.search(r"^%%BoundingBox: (.*)$", text, re.M)[1].split())


# --- file structure -----------------------------------------------------------------------

def test_ps_header_prolog_and_trailer(tv, monkeypatch, capfd):
    monkeypatch.setenv("SOURCE_DATE_EPOCH", "1700000000")
    tv.psmeta("INFO", "%%Title: header test")
    path, text = plot(tv, lambda t: t.line(100, 100, 2000, 1500))
    lines, s = text.split("\n"), scale()
    assert lines[:8] == [
        "%!PS-Adobe-2.0",
        f"%%BoundingBox: 21 28 {int((2099 * s + 150) * PT + 1)} {int((2969 * s + 200) * PT + 1)}",
        "%%Creator: TAVERO 11.5 L", "%%CreationDate: 14.11.2023 , 22:13:20",
        "%%Title: header test", "%%Pages: (atend)", "%%EndComments", "%%BeginProlog"]
    prolog = "\n".join(lines[8:91]) + "\n"
    assert hashlib.sha256(prolog.encode()).hexdigest() == PROLOG_SHA256
    assert lines[91:97] == [
        "%%EndProlog", "%%Page: 1 1", "initgraphics",
        "  150 cm   200 cm translate   1.000000  1.000000 scale",
        "erasepage", "2 setlinecap 2 setlinejoin"]
    assert text.endswith("gsave showpage grestore \n%%Trailer \n%%Pages: 1 \n%%EOF \n")
    assert max(len(line) for line in lines) <= 80
    gs_ok(path)
    # a header line stays one comment line whatever it is given
    tv.psmeta("info", "Title line\nshowpage")
    path, text = plot(tv)
    assert text.split("\n")[4] == "%Title line showpage"
    gs_ok(path)
    tv.psmeta("TEXT", "%%X")
    assert "Incorrect parameter" in capfd.readouterr().out


def test_every_prolog_procedure_runs(tv, tmp_path):
    """The procedures that text, pies and shaded surfaces call work as written."""
    head = plot(tv)[1].split("initgraphics\n", 1)[0]
    prog = tmp_path / "procs.ps"
    prog.write_text(head + """initgraphics 150 cm 200 cm translate
    100 100 u 900 900 d 100 900 d p 255 0 0 f 10 10 400 300 0 128 255 e
    (Times-Roman) (Times-Roman-German) GermanVec ReEncodeSmall (Times-Roman-German) 40.0 font
    (Gr\\374\\337e \\202) 1000 1000 30 1 text (Helvetica-German) 40.0 60.0 font2
    (wide) 1000 1400 0 0 text 65 2000 2000 90 c 2000 3000 100 300 0 90 0 255 0 sec
    100 3000 600 3000 300 3500 tri 500 500 1500 1500 clp initclip showpage
    """)
    gs_ok(prog)
    img = render(prog)[0]
    assert (0, 255, 0) in window(img, 2141, 3141, r=1)        # inside the sector
    assert (0, 128, 255) in window(img, 200, 150, r=1)        # inside the rectangle


def test_eps_structure_and_bounding_box(tv):
    def draw(t):
        t.line(300, 300, 2600, 300)
        t.line(2600, 300, 2600, 1800)
        t.line(300, 1800, 2600, 300)
    path, text = plot(tv, draw, fmt="EPS")
    lines = text.split("\n")
    assert lines[0] == "%!PS-Adobe-3.0 EPSF-3.0"
    assert "%%Pages" not in text and "%%Trailer" not in text and "erasepage" not in text
    i = lines.index("  150 cm   200 cm translate   1.000000  1.000000 scale")
    assert lines[i + 1:i + 4] == ["%%EndProlog", "%%Page: 1 1", "2 setlinecap 2 setlinejoin"]
    assert text.endswith("gsave showpage grestore \n")
    gs_ok(path)
    found = re.search(r"%%HiResBoundingBox: (.*)", gs_run(path, "-sDEVICE=bbox").stderr)
    gx1, gy1, gx2, gy2 = (float(v) for v in found[1].split())
    bx1, by1, bx2, by2 = bbox(text)
    assert bx1 <= gx1 and by1 <= gy1 and gx2 <= bx2 and gy2 <= by2
    # the drawing spans plot x 300..2600 (upwards) and y 300..1800 (across), half a line more
    s, half = scale(), 2.5 * PT
    assert (gx1, gx2, gy1, gy2) == pytest.approx(
        ((300 * s + 150) * PT - half, (1800 * s + 150) * PT + half,
         (300 * s + 200) * PT - half, (2600 * s + 200) * PT + half), abs=0.6)


def test_single_page_mode(tv, capfd):
    tv.psmode("SING")
    path, text = plot(tv, lambda t: t.line(100, 100, 900, 900))
    assert text.split("\n")[4:7] == ["%%EndComments", "%%Page: 1 1",
                                     "2 setlinecap 2 setlinejoin"]
    assert "%%BeginProlog" not in text and "%%Trailer" not in text and "%%Pages" not in text
    assert text.endswith("showpage \n") and "gsave showpage" not in text
    gs_ok(path)
    # the page structure is fixed once the file is open
    tv.metafl("PS")
    tv.tavini()
    tv.psmode("MULT")
    assert "Incorrect level" in capfd.readouterr().out
    tv.tavfin()
    tv.psmode("mult")
    assert "%%Trailer" in plot(tv)[1]


def test_same_epoch_same_bytes(tv, monkeypatch):
    monkeypatch.setenv("SOURCE_DATE_EPOCH", "86400")

    def draw(t):
        t.dash()
        t.line(10, 10, 2900, 2000)
    a, b = plot(tv, draw)[1], plot(tv, draw)[1]
    assert a == b and "%%CreationDate: 02.01.1970 , 00:00:00\n" in a


# --- geometry -----------------------------------------------------------------------------

@pytest.mark.parametrize("setup, W, H, turned, creator", [
    (None, 2969, 2099, True, "L"),
    (lambda t: t.setpag("da4p"), 2099, 2969, False, "P"),
    (lambda t: t.pagmod("NONE"), 2969, 2099, False, "P"),
])
def test_orientation_and_mapping(tv, setup, W, H, turned, creator):
    path, text = plot(tv, lambda t: t.line(100, 200, 1000, 300), setup=setup)
    assert f"%%Creator: TAVERO 11.5 {creator}\n" in text
    s = scale(W, H, turned)
    a, b = dev(100, 200, s, H, turned), dev(1000, 300, s, H, turned)
    assert calls(text)[0] == [[a, b]]
    ext = (H, W) if turned else (W, H)
    assert bbox(text) == (21, 28, int((ext[0] * s + 150) * PT + 1),
                          int((ext[1] * s + 200) * PT + 1))
    img = render(path)[0]
    mid = ((a[0] + b[0]) / 2, (a[1] + b[1]) / 2)
    assert darkest(img, *mid) < 200 and darkest(img, mid[0] + 300, mid[1] + 300) == WHITE


def test_hardware_origin_scale_and_paper(tv):
    def setup(t):
        t.hworig(100, 50)
        t.hwscal(0.5)
    path, text = plot(tv, lambda t: t.line(500, 500, 1500, 1000), fmt="EPS", setup=setup)
    assert "  200 cm   100 cm translate   0.500000  0.500000 scale\n" in text
    s = scale()
    assert bbox(text) == (28, 14, int((2099 * s * 0.5 + 200) * PT + 1),
                          int((2969 * s * 0.5 + 100) * PT + 1))
    a, b = dev(500, 500, s), dev(1500, 1000, s)
    img = render(path)[0]
    assert darkest(img, (a[0] + b[0]) / 2, (a[1] + b[1]) / 2, ox=200, oy=100, k=0.5) < 200
    # a larger sheet gives a larger scale, but not above twice the unit
    _, text = plot(tv, lambda t: t.line(0, 0, 1000, 0), setup=lambda t: t.hwpage(2000, 3000))
    assert calls(text)[0] == [[(0, 0), (0, rnd(1000 * min(6000 / 2969, 4000 / 2099)))]]


# --- the path writer ----------------------------------------------------------------------

def test_path_buffer(tv):
    s = scale()
    for n, sizes in ((150, [100, 51]), (250, [100, 100, 52])):
        def draw(t):
            t.strtpt(100, 100)
            for i in range(1, n):
                t.connpt(100 + 10 * i, 100 + (i % 7) * 20)
        paths = calls(plot(tv, draw)[1])[0]
        assert [len(p) for p in paths] == sizes
        assert all(p[-1] == q[0] for p, q in zip(paths, paths[1:]))
        assert paths[-1][-1] == dev(100 + 10 * (n - 1), 100 + ((n - 1) % 7) * 20, s)

    def dots(t):
        t.line(500, 500, 500, 500)
        t.strtpt(100, 100)
        for x, y in ((400, 100), (400, 100), (400, 400), (400, 400)):
            t.connpt(x, y)
    path, text = plot(tv, dots)
    x, y = dev(500, 500, s)
    assert calls(text)[0] == [[(x - 2, y), (x + 2, y)],
                              [dev(100, 100, s), dev(400, 100, s), dev(400, 400, s)]]
    assert darkest(render(path)[0], x, y, r=1) < 400
    # emulated wide lines reach the driver as long runs: still paths of at most 100 points

    def wide(t):
        t.hwmode("OFF", "LINE")
        t.linwid(7)
        t.strtpt(100, 100)
        for i in range(1, 90):
            t.connpt(100 + 20 * i, 100 + (i % 2) * 30)
    paths = calls(plot(tv, wide)[1])[0]
    assert max(len(p) for p in paths) == 100 and len(paths) > 4


def test_dashes_lie_on_the_line(tv):
    def draw(t):
        t.dash()
        t.line(100, 1000, 2100, 1000)
    path, text = plot(tv, draw)
    paths = calls(text)[0]
    assert 90 <= len(paths) <= 110                  # 2000 units of dashes 10 and gaps 10
    assert all(len(p) == 2 and p[0][0] == p[1][0] == rnd(1000 * scale()) for p in paths)
    gs_ok(path)


def test_clip_window(tv):
    def draw(t):
        t.clpwin(500, 500, 1000, 800)
        t.line(100, 900, 2800, 900)
        t.reset("CLPWIN")
        t.line(100, 1900, 2800, 1900)
    path, text = plot(tv, draw)
    s, flat = scale(), " ".join(text.split())
    (x1, y1), (x2, y2) = dev(500, 500, s), dev(1499, 1299, s)
    assert f"initclip {x1} {y1} {x2} {y2} clp " in flat
    assert flat.count("initclip") == 2 and flat.count(" clp ") == 1
    assert calls(text)[0] == [[dev(500, 900, s), dev(1499, 900, s)],
                              [dev(100, 1900, s), dev(2800, 1900, s)]]
    img = render(path)[0]
    X = rnd(900 * s)
    assert darkest(img, X, rnd(1000 * s)) < 200 and darkest(img, X, rnd(2000 * s)) == WHITE


# --- line attributes ----------------------------------------------------------------------

def test_wide_lines_by_device_or_emulated(tv):
    def draw(t):
        t.linwid(40)
        t.line(300, 1000, 2600, 1000)

    def width(path):
        """Dark pixels across the line (constant plot y runs up the image)."""
        s = scale()
        img = render(path)[0]
        return sum(1 for p in window(img, rnd(1000 * s), rnd(1500 * s), r=40)[40::81]
                   if sum(p) < 380)
    path_hw, text_hw = plot(tv, draw)
    assert "80.00 cm setlinewidth " in text_hw and len(calls(text_hw)[0]) == 1
    path_sw, text_sw = plot(tv, lambda t: (t.hwmode("OFF", "LINE"), draw(t)))
    assert "80.00 cm" not in text_sw and len(calls(text_sw)[0]) > 5
    assert width(path_hw) == pytest.approx(80 * PT, abs=2)
    assert width(path_sw) == pytest.approx(40 * scale() * PT, abs=2)


def test_width_cap_join_and_miter_forms(tv):
    def draw(t):
        t.lncap("ROUND")
        t.lnjoin("SHARP")
        t.lnmlt(1.0)
        t.linwid(3)
        t.strtpt(100, 100)
        t.connpt(1000, 120)
        t.connpt(100, 140)
        t.penwid(0.5)
        t.line(100, 500, 1000, 500)
    path, text = plot(tv, draw)
    assert re.search(r"1 setlinecap .*0 setlinejoin 10 cm setmiterlimit .*8 cm setmiterlimit "
                     r".*6\.00 cm setlinewidth 8 cm setmiterlimit .* p "
                     r".*2\.50 cm setlinewidth 8 cm setmiterlimit .* p ", " ".join(text.split()))
    gs_ok(path)                                      # no miter limit below 1 reaches it


# --- pages ----------------------------------------------------------------------------------

def test_pages(tv):
    def draw(t):
        t.line(100, 500, 2800, 500)
        t.newpag()
        t.linwid(4)
        t.line(100, 1500, 2800, 1500)
        t.newpag()
    path, text = plot(tv, draw)
    flat = " ".join(text.split())
    assert "copypage %%Page: 1 2 erasepage 2 setlinecap 2 setlinejoin" in flat
    assert "%%Page: 1 3 erasepage 2 setlinecap 2 setlinejoin 8.00 cm setlinewidth" in flat
    assert "%%Pages: 3 \n%%EOF" in text
    pages, s = render(path), scale()
    first, second = (rnd(500 * s), rnd(1000 * s)), (rnd(1500 * s), rnd(1000 * s))
    assert len(pages) == 3
    assert darkest(pages[0], *first) < 200 and darkest(pages[0], *second) == WHITE
    assert darkest(pages[1], *first) == WHITE and darkest(pages[1], *second) < 200
    assert darkest(pages[2], *second) == WHITE
    text = plot(tv, lambda t: t.newpag(), fmt="EPS")[1]
    assert "copypage" not in text and "%%Page: 1 2" not in text


def test_colour_postscript_paints_black_pages(tv):
    def draw(t):
        t.line(100, 1000, 2800, 1000)
        t.clpwin(0, 0, 500, 500)
        t.newpag()
    path, text = plot(tv, draw, fmt="PSCL")
    s = scale()
    fill = f"0 0 {rnd(2099 * s)} {rnd(2969 * s)} 0 0 0 e "
    clip = f"initclip 0 0 {rnd(499 * s)} {rnd(499 * s)} clp "
    assert f"\n{fill}\n" in text
    assert f"%%Page: 1 2 initclip {fill}{clip}2 setlinecap" in " ".join(text.split()) + " "
    pages = render(path)
    on_line = rnd(1000 * s), rnd(2000 * s)                # outside the clipping window
    assert (255, 255, 255) in window(pages[0], *on_line)
    assert darkest(pages[1], *on_line) == 0 and darkest(pages[0], rnd(1500 * s), 100) == 0


# --- fills --------------------------------------------------------------------------------

def test_rectangles(tv):
    def draw(t):
        t.recfll(1000, 500, 400, 300, 0x010000FF)        # red
        t.recfll(200, 200, 1, 300, 0x01FF0000)           # blue, one unit wide
    path, text = plot(tv, draw)
    s = scale()
    red, blue = [args for op, args in calls(text)[2] if op == "e"]
    assert red == [*dev(1000, 500, s), *dev(1399, 799, s), 255, 0, 0]
    # plot x runs along device y: the two equal values are moved 2 units apart each way
    y = rnd(200 * s)
    assert blue == [rnd(200 * s), y - 2, rnd(499 * s), y + 2, 0, 0, 255]
    img = render(path)[0]
    assert window(img, rnd(650 * s), rnd(1200 * s), r=0) == [(255, 0, 0)]
    assert (0, 0, 255) in window(img, rnd(350 * s), y, r=1)


def test_polygon_fill_even_odd_and_clipped(tv):
    pts = [(rnd(1500 + 600 * math.sin(0.8 * math.pi * i)),
            rnd(1000 - 600 * math.cos(0.8 * math.pi * i))) for i in range(5)]
    xs, ys = [p[0] for p in pts], [p[1] for p in pts]

    def draw(t):
        t.shdpat(16)
        t.areaf(xs, ys, 5)
        t.areaf([2500, 2500, 9000000, 2500], [100, 900, 500, 100], 4)
    path, text = plot(tv, draw)
    s = scale()
    star, far = calls(text)[1]
    assert star == [dev(x, y, s) for x, y in pts + pts[:1]]
    assert max(y for _, y in far) == rnd(2969 * s)      # cut at the page edge
    img = render(path)[0]
    assert darkest(img, *dev(1500, 1000, s), r=1) == WHITE         # even-odd hole
    assert darkest(img, *dev(1500, 500, s), r=1) == 0              # inside one arm
    assert darkest(img, *dev(2800, 500, s), r=1) == 0
    text = plot(tv, lambda t: (t.hwmode("OFF", "SHAD"), t.shdpat(16), t.areaf(xs, ys, 5)))[1]
    assert "eofill" not in text and calls(text)[0]


def test_hatching(tv):
    def draw(t):
        t.shdpat(5)
        t.areaf([500, 1500, 1500, 500], [500, 500, 1500, 1500], 4)
    path, text = plot(tv, draw)
    assert "eofill" not in text
    angles = {round(math.degrees(math.atan2(p[-1][1] - p[0][1], p[-1][0] - p[0][0]))) % 180
              for p in calls(text)[0] if math.dist(p[0], p[-1]) > 100}
    assert {45, 135} <= angles
    gs_ok(path)


# --- robustness ---------------------------------------------------------------------------

def test_non_finite_and_huge_coordinates(tv):
    def draw(t):
        t.strtpt(100, 100)
        for x, y in ((1e300, 500), (float("nan"), 1), (800, 800), (float("inf"), 5),
                     (-1e308, -1e308), (900, 100)):
            t.connpt(x, y)
        t.line(-2**31, 0, 2**31 - 1, 2000)
    path, text = plot(tv, draw)
    s = scale()
    assert all(-2 <= X <= rnd(2099 * s) + 2 and -2 <= Y <= rnd(2969 * s) + 2
               for p in calls(text)[0] for X, Y in p)
    gs_ok(path)


@pytest.mark.parametrize("setup", [
    lambda t: (t.hwscal(1e300), t.hworig(2**31 - 1, -2**31)),
    lambda t: (t.hwscal(1e-300), t.sclfac(1e-300)),
    lambda t: (t.hwpage(2**30, 1), t.sclmod("FULL")),
])
def test_absurd_page_options_still_give_a_valid_program(tv, setup):
    def draw(t):
        t.linwid(50)
        t.lnjoin("SHARP")
        t.line(100, 100, 2000, 1500)
    path, text = plot(tv, draw, setup=setup)
    assert all(len(tok) < 40 for tok in text.split())
    gs_ok(path)
