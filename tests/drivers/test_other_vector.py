"""IPE, Java applet source and HPGL output, checked with their consumers where one is
installed (xmllint, javac, hp2xx) and with a small HPGL reader."""
import re
import shutil
import subprocess

import pytest

IPE_S = 72 / 254               # points per plot unit
WIN_S = min(852 / 2969, 602 / 2099)   # Java: the default page in the default window


def plot(tv, fmt, name, body, before=None):
    tv.metafl(fmt)
    tv.setfil(name)
    if before:
        before(tv)
    tv.tavini()
    body(tv)
    tv.tavfin()
    with open(name, encoding="latin-1") as f:
        return f.read()


def two_colour_line(t, y=300):
    """A line whose second dash is drawn in another colour (a colour change mid-line)."""
    t.myline([1000, 10], 2)
    t.linclr([30, 220], 2)
    t.line(100, y, 2000, y)
    t.solid()


# --- IPE

def test_ipe_header_and_pages(run_py, tmp_path):
    run_py("""
        import tavero as t
        t.unit(0); t.metafl("IPE"); t.setfil("p.ipe"); t.tavini()
        t.line(100, 200, 1000, 200)
        t.newpag()
        t.line(100, 300, 1000, 300)
        t.tavfin()
    """, env={"SOURCE_DATE_EPOCH": "1000000000"})
    text = (tmp_path / "p.ipe").read_text()
    assert text.startswith(
        '<?xml version="1.0"?>\n<!DOCTYPE ipe SYSTEM "ipe.dtd">\n'
        '<ipe version="70010" creator="Tavero 11.5">\n'
        '<info created="D:20010909014640" modified="D:20010909014640"/>\n'
        '<preamble>\\usepackage{times,graphicx}</preamble>\n'
        '<ipestyle name="basic">\n'
        '<layout paper="842 595" frame="842 595" origin="0 0"/>\n'
        '</ipestyle>\n<page>\n<layer name="alpha"/>\n'
        '<view layers="alpha" active="alpha"/>\n')
    assert text.endswith("</page>\n</ipe>\n")
    pages = re.findall(r"<page>\n(.*?)</page>\n", text, re.S)
    assert len(pages) == 2
    y1, y2 = IPE_S * (2099 - 200), IPE_S * (2099 - 300)
    for body, y in zip(pages, (y1, y2)):
        assert '<layer name="alpha"/>' in body
        assert (f'<path layer="alpha" stroke="0 0 0" pen="{2.5 * IPE_S:.3f}">\n'
                f'{100 * IPE_S:.1f} {y:.1f} m\n{1000 * IPE_S:.1f} {y:.1f} l\n</path>\n') in body
    subprocess.run(["xmllint", "--noout", "--nonet", str(tmp_path / "p.ipe")], check=True)


def test_ipe_pen_width_colours_fills_and_background(tv):
    def body(t):
        t.linwid(20)
        t.line(100, 200, 1000, 200)
        t.linwid(1)
        two_colour_line(t, 400)
        t.shdpat(16)
        t.areaf([100, 900, 500], [1000, 1000, 1700], 3)
    text = plot(tv, "IPE", "w.ipe", body, before=lambda t: t.scrmod("NOER"))
    # the polygon: a filled path closed by a line back to its first point
    [poly] = re.findall(r'<path layer="alpha" fill="[\d. ]+" stroke="[\d. ]+">\n(.*?)</path>',
                        text, re.S)
    rows = poly.splitlines()
    assert len(rows) == 4 and rows[0].endswith(" m") and rows[3] == rows[0][:-1] + "l"
    assert f'pen="{20 * IPE_S:.3f}"' in text
    # a black page first, then paths in two different colours
    assert re.search(r'<path layer="alpha" fill="0 0 0">\n0.0 0.0 m\n', text)
    strokes = set(re.findall(r'stroke="([\d. ]+)" pen=', text))
    assert len(strokes) >= 2
    subprocess.run(["xmllint", "--noout", "--nonet", "w.ipe"], check=True)


def test_ipe_device_font_text_is_latex_labels(tv):
    """psfont on IPE: one label per character in the Times family of the preamble, with the
    characters TeX treats specially escaped, rotation and width factor in the matrix; Greek
    (Symbol) is not in the preamble and stays stroked."""
    def body(t):
        t.psfont("Times-Bold")
        t.height(40)
        t.messag("A{&}%", 200, 300)
        t.psfont("Times-Roman")
        t.angle(90)
        t.chawth(1.5)
        t.messag("R", 500, 800)
        t.angle(0)
        t.chawth(1.0)
        t.smxalf("greek", "[", "]", 1)
        t.messag("[a]", 200, 1200)    # shifted to Greek: Symbol
    text = plot(tv, "IPE", "t.ipe", body, before=lambda t: t.psmode("greek"))
    labels = re.findall(r'<text layer="alpha" pos="0 0" stroke="0 0 0" type="label" '
                        r'size="([\d.]+)" valign="baseline" matrix="([^"]+)">(.*?)</text>', text)
    bodies = [b for _, _, b in labels]
    assert bodies[:5] == ["\\textbf{A}", "\\textbf{\\{}", "\\textbf{\\&amp;}",
                          "\\textbf{\\}}", "\\textbf{\\%}"]
    assert "R" in bodies and not any("[" in b or "]" in b for b in bodies)
    size, matrix, _ = labels[bodies.index("R")]
    m = [float(v) for v in matrix.split()]
    assert m[:4] == pytest.approx([0, 1.5, -1, 0])        # 90 degrees, 1.5 times as wide
    assert m[4] == pytest.approx(500 * IPE_S, abs=20) and float(size) > 10
    # the first label sits at the start of the baseline, a text height below the given corner
    x0, y0 = map(float, labels[0][1].split()[4:])
    assert x0 == pytest.approx(200 * IPE_S, abs=0.6)
    assert y0 == pytest.approx(IPE_S * (2099 - 300 - 40), abs=0.6)
    subprocess.run(["xmllint", "--noout", "--nonet", "t.ipe"], check=True)


# --- Java

def test_java_source_compiles_and_draws_each_line_once(tv, tmp_path):
    def body(t):
        t.line(100, 200, 1000, 250)
        two_colour_line(t)
        t.recfll(100, 200, 301, 101, 50)
        t.erase()
    text = plot(tv, "JAVA", "Plot1.java", body)
    lines = text.split("\n")
    assert lines[0] == "// TAVERO Java Metafile"
    assert lines[1] == "// Creator: TAVERO 11.5"
    assert re.fullmatch(r"// Date   : \d\d\.\d\d\.\d{4}, \d\d:\d\d:\d\d", lines[2])
    assert lines[3] == "// Size   : 853 603"
    assert "public class Plot1 extends Applet {\npublic void paint(Graphics g) {\n" in text
    assert text.endswith("  g.clearRect (0,0,853,603);\n}\n}\n")
    r = lambda v: int(v * WIN_S + 0.5)  # noqa: E731
    first = f"  g.drawLine ({r(100)},{r(200)},{r(1000)},{r(250)});"
    assert text.count(first) == 1
    assert f"  g.fillRect ({r(100)},{r(200)},{r(400) - r(100) + 1},{r(300) - r(200) + 1});" in text
    # the colour is selected before the first line, and again for the second dash colour
    assert len(re.findall(r"g\.setColor \(new Color \(\d+,\d+,\d+\)\);", text)) >= 2
    if shutil.which("javac"):
        out = tmp_path / "classes"
        proc = subprocess.run(["javac", "-nowarn", "-d", str(out), "Plot1.java"],
                              capture_output=True, text=True)
        assert proc.returncode == 0, proc.stderr
        assert (out / "Plot1.class").exists()


def test_java_one_line_is_one_statement_and_names_are_valid(tv):
    text = plot(tv, "JAVA", "my-plot.v2.java", lambda t: t.line(10, 10, 20, 20))
    assert text.count("g.drawLine") == 1
    assert "public class my_plot extends Applet {" in text


# --- HPGL

def read_hpgl(text):
    """Commands as (name, [numbers]); checks the line discipline on the way."""
    lines = text.split("\n")
    assert lines[-1] == ""
    cmds = []
    for ln in lines[:-1]:
        assert len(ln) <= 80
        assert re.fullmatch(r"( ?[A-Z]{2}[-\d,]*;)+", ln), ln
        for name, args in re.findall(r" ?([A-Z]{2})([-\d,]*);", ln):
            cmds.append((name, [int(v) for v in args.split(",")] if args else []))
    return cmds


def hpgl_points(cmds):
    return [(n, a[0], a[1]) for n, a in cmds if n in ("PU", "PD") and a]


def test_hpgl_structure_and_orientation(tv):
    def body(t):
        t.line(100, 200, 1000, 200)
        two_colour_line(t, 500)
    text = plot(tv, "HPGL", "a.hpg", body)
    assert text.startswith(" SP1;\n")
    cmds = read_hpgl(text)
    assert cmds[-1] == ("PU", [0, 0])
    pts = hpgl_points(cmds)
    # X = 4 x, Y = 4 (H - y)
    assert pts[:2] == [("PU", 400, 4 * 1899), ("PD", 4000, 4 * 1899)]
    pens = [a[0] for n, a in cmds if n == "SP"]
    assert 220 in pens
    text = plot(tv, "HPGL", "b.hpg", lambda t: t.line(100, 200, 1000, 200),
                before=lambda t: t.pagmod("PORT"))
    assert hpgl_points(read_hpgl(text))[:2] == [("PU", 800, 400), ("PD", 800, 4000)]


@pytest.mark.parametrize("fmt, short, long", [("HPA4", 7600, 10870), ("HPA3", 10870, 15970),
                                              ("HPA2", 13440, 21360), ("HPA1", 21360, 30280)])
@pytest.mark.parametrize("page, w, h", [("DA4L", 2969, 2099), ("DA4P", 2099, 2969),
                                        ("USAL", 2789, 2159)])
def test_hpgl_sheets_hold_the_whole_page(tv, fmt, short, long, page, w, h):
    text = plot(tv, fmt, f"{fmt}{page}.hpg", lambda t: t.pagera(), before=lambda t: t.setpag(page))
    pts = hpgl_points(read_hpgl(text))[:-1]
    # the page fitted to the sheet, but not enlarged beyond 4 steps per plot unit
    s = min(short / min(w, h), long / max(w, h), 4)
    xs, ys = [p[1] for p in pts], [p[2] for p in pts]
    # x runs along the long side of the page; the page's top left corner lies at the far
    # end of the plotter's y axis (landscape) or of both axes (portrait)
    assert (min(xs), max(xs)) == (0, int(s * max(w, h) + 0.5))
    assert (min(ys), max(ys)) == (0, int(s * min(w, h) + 0.5))
    first = pts[0][1:]
    assert first == ((0, max(ys)) if w > h else (max(xs), max(ys)))


def test_hpgl_init_line_is_chosen_by_hpgmod(tv, capfd):
    tv.hpgmod("ARIS", "INIT")
    text = plot(tv, "HPGL", "i.hpg", lambda t: t.line(0, 0, 10, 10))
    assert text.startswith("IN;SP1;LT;PU;\n SP1;\n")
    tv.hpgmog("STAN", "INIT")
    assert plot(tv, "HPGL", "j.hpg", lambda t: None).startswith(" SP1;\n")
    capfd.readouterr()
    tv.hpgmod("FAST", "INIT")
    tv.hpgmod("ARIS", "WHAT")
    tv.tavini()
    tv.hpgmod("ARIS", "INIT")
    tv.tavfin()
    out = capfd.readouterr().out
    assert out.count("Warning 2") == 2 and "Warning 3" in out


@pytest.mark.skipif(shutil.which("hp2xx") is None, reason="hp2xx missing")
def test_hpgl_renders_with_hp2xx(tv, tmp_path):
    from PIL import Image

    def body(t):
        t.pagera()
        t.line(100, 1000, 2800, 1000)
    plot(tv, "HPA4", "r.hpg", body)
    png = tmp_path / "r.png"
    proc = subprocess.run(["hp2xx", "-q", "-m", "png", "-f", str(png), "r.hpg"],
                          capture_output=True, text=True, timeout=60)
    assert proc.returncode == 0, proc.stderr
    img = Image.open(png).convert("L")
    assert sum(img.histogram()[:128]) > 100
