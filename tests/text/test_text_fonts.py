"""Fonts: the standard PostScript fonts on PostScript, PDF and SVG (checked by ghostscript,
qpdf, pdftotext and xmllint), TrueType files (including damaged ones), bitmap fonts and the
window-system fonts this platform lacks."""
import os
import random
import shutil
import subprocess

import pytest

from textutil import make_ttf, same, strokes

pytestmark = pytest.mark.filterwarnings("ignore")


def run(tool, *args):
    if not shutil.which(tool):
        pytest.skip(tool + " not installed")
    return subprocess.run([tool, *args], capture_output=True, text=True, timeout=120)


def plot(tv, fmt, name, body):
    tv.metafl(fmt)
    tv.setfil(name)
    tv.tavini()
    tv.unit(0)
    body(tv)
    tv.tavfin()
    return name


# --- PostScript fonts

def test_psfont_writes_the_font_forms(tv):
    def body(t):
        t.psfont("helvetica")           # names are compared without regard to case
        t.messag("Hi", 100, 100)
        t.chawth(0.5)
        t.messag("x", 100, 300)

    text = " ".join(open(plot(tv, "POST", "f.ps", body)).read().split())
    # default page on POST: scale min(5600 / 2969, 3900 / 2099); ascender 718
    s = min(5600 / 2969, 3900 / 2099)
    size = 1000 / 718 * 36 * s * 0.28346458 * 0.5
    assert (f"(Helvetica) (Helvetica-German) GermanVec ReEncodeSmall (Helvetica-German) "
            f"{size:.1f} font") in text
    assert f"(Helvetica-German) {size:.1f} {size * 0.5:.1f} font2" in text
    assert " 72 " in text and " c " in text                     # 'H' centred by the c procedure
    r = run("gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=nullpage", "f.ps")
    assert r.returncode == 0 and "Error" not in r.stdout + r.stderr


def test_psfont_widths_measure_the_text(tv):
    tv.metafl("PS")
    tv.tavini()
    tv.unit(0)
    tv.psfont("Helvetica")
    assert tv.nlmess("W") == round(944 * 36 / 718)
    assert tv.nlmess("WW") == round(2 * 944 * 36 / 718 + 0.1 * 36)
    assert tv.nlmess("ii") < tv.nlmess("WW")


def test_psfont_refusals(tv, capfd):
    tv.metafl("GKSL")
    tv.tavini()
    tv.psfont("Times-Roman")
    assert "Warning 49: Fileformat is not PostScript in psfont!" in capfd.readouterr().out
    tv.unit(0)
    tv.tavfin()
    tv.metafl("PS")
    tv.setfil("u.ps")
    tv.tavini()
    tv.psfont("Comic-Sans")
    out = capfd.readouterr().out.splitlines()
    assert out == [" <<<< Warning 2: Not a standard PostScript font in psfont!",
                   " <<<< Warning 2: Incorrect parameter in psfont!   (Comic-Sans)"]
    tv.messag("x", 10, 10)
    tv.unit(0)
    tv.tavfin()
    assert "(Times-Roman-German)" in open("u.ps").read()


def test_pdf_and_svg_text(tv):
    def body(t):
        t.chacod("UTF8")
        t.psfont("Times-Bold")
        t.messag("Gr\u00fc\u00dfe & <tags>", 200, 200)
        t.angle(90)
        t.psfont("Courier")
        t.messag("upwards", 1500, 1800)

    pdf = plot(tv, "PDF", "t.pdf", body)
    assert run("qpdf", "--check", pdf).returncode == 0
    words = run("pdftotext", pdf, "-").stdout
    assert "Gr\u00fc\u00dfe & <tags>" in words
    svg = plot(tv, "SVG", "t.svg", body)
    r = run("xmllint", "--noout", svg)
    assert r.returncode == 0, r.stderr
    text = open(svg, encoding="latin-1").read()
    assert 'font-family="Times" font-weight="bold"' in text and "&amp;" in text and "&lt;" in text


def test_hwfont_and_window_fonts(tv, capfd):
    tv.metafl("GKSL")
    tv.tavini()
    tv.winfnt("Arial")
    tv.x11fnt("fixed", "STAN")
    out = capfd.readouterr().out.splitlines()
    assert out == [" <<<< Warning 153: Window fonts cannot be used in winfnt!",
                   " <<<< Warning 154: X11 fonts cannot be used in x11fnt!"]
    tv.hwfont()
    n = tv.nlmess("Natural")
    tv.complx()
    assert tv.nlmess("Natural") == n
    tv.bmpfnt("COMP")
    assert "Warning 157: Bitmat fonts can only be used for raster output in bmpfnt!" in capfd.readouterr().out
    tv.unit(0)
    tv.tavfin()


def test_bitmap_font_on_raster(tv):
    tv.metafl("PNG")
    tv.setfil("b.png")
    tv.tavini()
    if tv.getlev() == 0:
        pytest.skip("no raster output in this build")
    tv.unit(0)
    tv.bmpfnt("HELV")
    tv.height(60)
    tv.messag("Bitmap", 100, 100)
    tv.tavfin()
    from PIL import Image
    im = Image.open("b.png").convert("L")
    assert im.getbbox() is not None


# --- TrueType

@pytest.fixture
def ttf(tmp_path):
    p = tmp_path / "mini.ttf"
    p.write_bytes(make_ttf())
    return str(p)


def test_truetype_outlines_are_filled(tv, ttf):
    def body(t):
        t.ttfont(ttf)
        t.height(200)
        t.messag("HOoA", 100, 100)

    ps = open(plot(tv, "POST", "tt.ps", body)).read()
    assert ps.count("eofill") == 4
    tv.delglb()
    tv.metafl("GKSL")
    tv.tavini()
    tv.unit(0)
    tv.ttfont(ttf)
    # advances of 700 units; 'H' is 700 units high: scale (h - 1) / 700
    assert tv.nlmess("HH") == round(2 * 700 * 35 / 700)
    assert tv.nlmess("H\u00e9") > tv.nlmess("H")     # missing glyphs come from the stroke font


def test_glyph_with_several_contours_keeps_its_solid_parts(tv, ttf):
    # 'B': a box with two holes. The contours form one even-odd polygon; the joins between
    # them must not cut a triangle out of the solid left bar.
    tv.metafl("PNG")
    tv.setfil("b.png")
    tv.tavini()
    if tv.getlev() == 0:
        pytest.skip("no raster output in this build")
    tv.unit(0)
    tv.ttfont(ttf)
    tv.height(701)                      # one plot unit per font unit
    tv.messag("B", 100, 100)            # base line at y = 800
    tv.tavfin()
    from PIL import Image
    im = Image.open("b.png").convert("L")
    s = min(852 / 2969, 602 / 2099)
    bar = im.getpixel((round((100 + 120) * s), round((800 - 200) * s)))
    hole = im.getpixel((round((100 + 300) * s), round((800 - 200) * s)))
    outside = im.getpixel((round(900 * s), round(600 * s)))
    assert bar != hole and hole == outside


@pytest.mark.parametrize("damage, message", [
    ({"drop": b"glyf"}, "Warning 185: Missing table glyf in ttfont!"),
    ({"drop": b"cmap"}, "Warning 185: Missing table cmap in ttfont!"),
    ({"platform": 1}, "Warning 183: No Microsoft encoding found in table cmap in ttfont!"),
    ({"cmap_format": 6}, "Warning 184: Format should be 4 in table cmap in ttfont!"),
])
def test_truetype_table_messages(tv, tmp_path, capfd, damage, message):
    p = tmp_path / "bad.ttf"
    p.write_bytes(make_ttf(**damage))
    tv.metafl("GKSL")
    tv.tavini()
    tv.ttfont(str(p))
    tv.ttfont(str(tmp_path / "none.ttf"))
    out = capfd.readouterr().out.splitlines()
    assert out == [" <<<< " + message, " <<<< Warning 36: File error in ttfont!"]
    n = tv.nlmess("HO")
    tv.tavalf()
    assert tv.nlmess("HO") == n          # the font stayed


def test_damaged_truetype_files_never_crash(run_py, tmp_path):
    good = make_ttf()
    sysfont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
    big = open(sysfont, "rb").read()[:60000] if os.path.exists(sysfont) else good
    rng = random.Random(7)
    files = []
    for src in (good, big):
        for cut in range(0, len(src), 97):
            files.append(src[:cut])
        for _ in range(40):
            b = bytearray(src)
            for _ in range(rng.randint(1, 20)):
                b[rng.randrange(len(b))] = rng.randrange(256)
            files.append(bytes(b))
    for _ in range(20):
        files.append(bytes(rng.randrange(256) for _ in range(rng.randint(0, 3000))))
    for i, data in enumerate(files):
        (tmp_path / f"d{i}.ttf").write_bytes(data)
    out = run_py(f"""
        import tavero
        tavero.metafl("PDF")
        tavero.setfil("damaged.pdf")
        tavero.tavini()
        tavero.unit(0)
        for i in range({len(files)}):
            tavero.ttfont("d%d.ttf" % i)
            tavero.messag("HOoA Hello 0123", 100, 100)
            tavero.nlmess("AOH")
            tavero.tavalf()
        tavero.tavfin()
        print("survived")
    """)
    assert "survived" in out
    assert run("qpdf", "--check", str(tmp_path / "damaged.pdf")).returncode in (0, 3)
