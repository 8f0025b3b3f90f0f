"""SVG output: document structure, path and group forms, fills, and what real consumers make
of the files (xmllint parses them, rsvg-convert renders them)."""
import re
import shutil
import subprocess

import pytest

# Default page (2969 x 2099) fitted into the default window (853 x 603).
S = min(852 / 2969, 602 / 2099)


def plot(tv, body, name="out.svg", before=None):
    tv.metafl("SVG")
    tv.setfil(name)
    if before:
        before(tv)
    tv.tavini()
    body(tv)
    tv.tavfin()
    with open(name, encoding="latin-1") as f:
        return f.read()


def xmllint_ok(path):
    proc = subprocess.run(["xmllint", "--noout", "--nonet", path], capture_output=True, text=True)
    assert proc.returncode == 0, proc.stderr


def f2(v):
    return f"{v:.2f}"


def polylines(text):
    """Point lists of all polyline elements, and the raw text of each list."""
    out = []
    for raw in re.findall(r'<polyline points="\n(.*?)"/>\n', text, re.S):
        pts = [tuple(p.split(", ")) for p in re.findall(r" (-?[\d.]+, -?[\d.]+)", raw)]
        out.append((pts, raw))
    return out


def groups(text):
    """(stroke colour, stroke width, body) of each stroke group."""
    return re.findall(r'<g fill="none" stroke="(#[0-9a-f]{6})" stroke-width="([\d.]+)">\n'
                      r'(.*?)</g>\n', text, re.S)


def polyline_pts(tv, pts):
    tv.strtpt(*pts[0])
    for p in pts[1:]:
        tv.connpt(*p)


# --- document

@pytest.fixture
def header_file(run_py, tmp_path):
    run_py("""
        import tavero as t
        t.unit(0); t.metafl("svg"); t.setfil("h.svg"); t.tavini(); t.tavfin()
    """, env={"SOURCE_DATE_EPOCH": "86400"})
    return tmp_path / "h.svg"


def test_header_lines(header_file):
    text = header_file.read_text(encoding="latin-1")
    lines = text.split("\n")
    assert lines[0] == '<?xml version="1.0" encoding="ISO-8859-1" standalone="no"?>'
    assert lines[1] == '<!DOCTYPE svg PUBLIC "-//W3C//DTD SVG 20010904//EN"'
    assert lines[2].strip() == '"http://www.w3.org/TR/2001/REC-SVG-20010904/DTD/svg10.dtd">'
    assert lines[3] == "<!-- Created by TAVERO (https://tavero.org)"
    assert lines[4] == "Version: 11.5"
    assert lines[5] == "Date   : 02.01.1970 00:00:00"
    assert lines[6] == "-->"
    w, h = round(2969 * S), round(2099 * S)
    assert lines[7] == f'<svg width="{w}" height="{h}"'
    assert lines[8] == '  xmlns="http://www.w3.org/2000/svg"'
    assert lines[9] == '  xmlns:xlink="http://www.w3.org/1999/xlink">'
    assert lines[10] == ""
    assert text.endswith("</svg>\n")
    # the white background of the default mode is not painted; no group is left open
    assert "<rect" not in text
    assert text.count("<g ") == text.count("</g>")
    xmllint_ok(str(header_file))


@pytest.mark.parametrize("mode, painted", [("NOER", True), ("ERASE", True), ("REVERS", False)])
def test_background_rectangle_follows_scrmod(tv, mode, painted):
    text = plot(tv, lambda t: None, before=lambda t: t.scrmod(mode))
    rects = re.findall(r'<rect x="([\d.]+)" y="([\d.]+)" width="([\d.]+)" height="([\d.]+)"\n'
                       r' fill="(#[0-9a-f]{6})" stroke="none"/>', text)
    if not painted:
        assert rects == []
        return
    assert rects == [("0.00", "0.00", f2(2969 * S + 1), f2(2099 * S + 1), "#000000")]
    xmllint_ok("out.svg")


def test_turned_page_swaps_the_sides_and_maps_x_upwards(tv):
    def body(t):
        t.line(100, 200, 100, 900)
    text = plot(tv, body, before=lambda t: t.pagmod("PORT"))
    s = min(852 / 2099, 602 / 2969)  # the turned page fitted into the same window
    assert f'<svg width="{round(2099 * s)}" height="{round(2969 * s)}"' in text
    # X = s y, Y = s (W - x)
    assert (f'<line x1="{f2(s * 200)}" y1="{f2(s * (2969 - 100))}" '
            f'x2="{f2(s * 900)}" y2="{f2(s * (2969 - 100))}"/>') in text


# --- paths and groups

def test_line_and_polyline_forms(tv):
    zigzag = [(100 + 150 * i, 300 + (i % 2) * 200) for i in range(12)]

    def body(t):
        t.line(100, 200, 1000, 250)
        polyline_pts(t, [(100, 500), (400, 600), (800, 500)])
        polyline_pts(t, zigzag)
        polyline_pts(t, zigzag[:10])
    text = plot(tv, body)
    assert text.count("<line ") == 1
    assert (f'<line x1="{f2(100 * S)}" y1="{f2(200 * S)}" x2="{f2(1000 * S)}" '
            f'y2="{f2(250 * S)}"/>') in text
    three, twelve, ten = polylines(text)
    assert three[0] == [(f2(x * S), f2(y * S)) for x, y in [(100, 500), (400, 600), (800, 500)]]
    # a break after every fifth point, none after the last
    rows = lambda raw: [r.count(",") for r in raw.split("\n")]  # noqa: E731
    assert (rows(three[1]), rows(twelve[1]), rows(ten[1])) == ([3], [5, 5, 2], [5, 5])
    xmllint_ok("out.svg")


def test_long_polyline_comes_in_pieces_sharing_end_points(tv):
    pts = [(100 + 10 * i, 300 + (i % 3) * 40) for i in range(250)]
    text = plot(tv, lambda t: polyline_pts(t, pts))
    pieces = [p for p, _ in polylines(text)]
    assert [len(p) for p in pieces] == [100, 100, 52]
    assert pieces[0][-1] == pieces[1][0] and pieces[1][-1] == pieces[2][0]
    allpts = pieces[0] + pieces[1][1:] + pieces[2][1:]
    assert allpts == [(f2(x * S), f2(y * S)) for x, y in pts]


def test_colour_changes_close_the_group(tv):
    def body(t):
        t.setrgb(1.0, 0.0, 0.0)
        t.line(100, 100, 500, 100)
        t.setrgb(0.0, 0.0, 1.0)
        t.line(100, 200, 500, 200)
        # two dash colours change the colour in the middle of a line
        t.myline([1000, 10], 2)
        t.linclr([30, 220], 2)
        t.line(100, 300, 2000, 300)
    text = plot(tv, body)
    colours = [g[0] for g in groups(text) if "<line" in g[2]]
    assert colours[:2] == ["#ff0000", "#0000ff"]
    # the first dash continues the blue group, the second opens a group of its own
    assert len(colours) == 3 and colours[2] not in colours[:2]
    assert text.count("<g ") == text.count("</g>")
    xmllint_ok("out.svg")


def test_line_width_is_drawn_by_the_viewer(tv):
    def body(t):
        t.linwid(7)
        t.line(100, 300, 2000, 300)
        t.hwmode("OFF", "LINE")
        t.linwid(7)
        t.line(100, 600, 2000, 600)
    text = plot(tv, body)
    gs = groups(text)
    wide = [g for g in gs if f'y1="{f2(300 * S)}"' in g[2]]
    thin = [g for g in gs if f'y1="{f2(600 * S)}"' in g[2]]
    assert [g[1] for g in wide] == ["7.000"] and wide[0][2].count("<line") == 1
    # without hardware widths the core strokes parallel lines of width 1
    assert {g[1] for g in thin} == {"1.000"}
    assert sum(g[2].count("<") for g in thin) >= 3


def test_nonfinite_and_huge_coordinates_keep_the_file_valid(tv):
    def body(t):
        t.strtpt(100, 100)
        t.connpt(float("nan"), 200)
        t.connpt(1e300, -1e300)
        t.connpt(500, float("inf"))
        t.connpt(600, 600)
        t.line(-2000000000, 5, 2000000000, 1000)
    text = plot(tv, body)
    assert not re.search(r"nan|inf|e\+", text, re.I)
    for v in re.findall(r'[xy][12]="([-\d.]+)"', text):
        assert -1 <= float(v) <= 2969 * S + 1
    xmllint_ok("out.svg")


# --- fills

def test_solid_polygon_and_rectangle_elements(tv):
    xs, ys = [100, 900, 900, 500, 100, 100], [100, 100, 700, 900, 700, 400]

    def body(t):
        t.shdpat(16)
        t.areaf(xs, ys, 6)
        t.areaf([100, 3500, 900], [1000, 1000, 1700], 3)  # reaches outside: left to the core
        t.recfll(2000, 200, 301, 101, 50)
    text = plot(tv, body)
    [pts] = re.findall(r'<polygon fill="#[0-9a-f]{6}" points="\n(.*?)"/>', text, re.S)
    assert pts.count("\n") == 1
    got = re.findall(r" ([\d.]+), ([\d.]+)", pts)
    assert got == [(f2(x * S), f2(y * S)) for x, y in zip(xs, ys)]
    assert text.count("<polygon") == 1 and f2(1000 * S) in text
    # a rectangle is one device unit larger than its corners
    x1, y1, x2, y2 = 2000 * S, 200 * S, 2300 * S, 300 * S
    assert (f'<rect x="{f2(x1)}" y="{f2(y1)}" width="{f2(x2 - x1 + 1)}" '
            f'height="{f2(y2 - y1 + 1)}"\n fill="#') in text
    xmllint_ok("out.svg")


# --- consumers

@pytest.mark.skipif(shutil.which("rsvg-convert") is None, reason="rsvg-convert missing")
def test_rendered_drawing_shows_the_lines(tv, tmp_path):
    from PIL import Image

    # black page, white foreground: a thick cross of lines, a red triangle, a blue rectangle
    def body(t):
        t.linwid(20)
        t.line(300, 1000, 2600, 1000)
        t.line(1500, 200, 1500, 1900)
        t.setrgb(1, 0, 0)
        t.shdpat(16)
        t.areaf([100, 700, 400], [1900, 1900, 1300], 3)
        t.recfll(2000, 1300, 600, 500, t.intrgb(0, 0, 1))
    plot(tv, body, before=lambda t: t.scrmod("NOER"))
    png = tmp_path / "out.png"
    subprocess.run(["rsvg-convert", "-o", str(png), "out.svg"], check=True)
    img = Image.open(png).convert("RGB")
    assert img.size == (round(2969 * S), round(2099 * S))

    def px(x, y):
        return img.getpixel((int(x * S), int(y * S)))
    assert px(800, 1000) == (255, 255, 255)
    assert px(1500, 500) == (255, 255, 255)
    assert px(800, 500) == (0, 0, 0)
    assert px(2800, 1900) == (0, 0, 0)
    assert px(400, 1800) == (255, 0, 0)
    assert px(2300, 1550) == (0, 0, 255)
