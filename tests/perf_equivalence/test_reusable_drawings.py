"""Fast paths must draw what the general pipeline draws.

A scatter of symbols goes once the fast way (symbols inside the window skip the line
pipeline; vector files keep one copy of a recurring symbol and place the others by offset)
and once with an identity 2-D transformation in force, which sends every point through the
general pipeline and keeps every drawing in the page. Raster images and the library
metafile must come out identical; vector files must render identically in their consumers
and count the same vectors in the end protocol."""
import math
import re
import shutil
import subprocess

import numpy as np
import pytest
from PIL import Image

from conftest import read_metafile

GS = shutil.which("gs")
RSVG = shutil.which("rsvg-convert")

# (symbol, size, angle, colour, pen width): filled and open shapes, a rotation, a wide pen
# that the devices draw themselves, a second colour of the same shape
CURVES = [(21, 25, 0.0, "red", 1), (8, 30, 0.0, "blue", 1), (16, 20, 30.0, "green", 1),
          (2, 25, 0.0, "fore", 3), (21, 25, 0.0, "blue", 1), (23, 40, 10.0, "red", 1)]


def points(k, n, cut):
    """Deterministic points; with `cut` some lie on the window's edge so their symbols are
    cut (SVG has no device clip and fills no cut polygon under a transformation, so its
    comparison keeps them inside)."""
    i = np.arange(n)
    spread = 1.04 if cut else 0.9
    x = 5 + ((i * 0.6180339887 + 0.37 * k) % 1.0 - 0.5) * 10 * spread
    y = np.sin(i * 0.7 + k) * 3 * spread
    return x, y


def scene(t, plain, n=400, pages=1, cut=True):
    for page in range(pages):
        if page:
            t.newpag()
        t.graf(0.0, 10.0, 0.0, 2.0, -3.0, 3.0, -3.0, 1.0)
        if not plain:
            t.trfshf(0, 0)       # identity: the general pipeline, no reusable drawings
        t.incmrk(-1)
        for k, (sym, size, angle, colour, pen) in enumerate(CURVES):
            t.marker(sym)
            t.hsymbl(size)
            t.symrot(angle)
            t.color(colour)
            t.linwid(pen)
            x, y = points(k + page, n, cut)
            t.curve(x, y, n)
        t.linwid(1)
        t.symrot(0.0)
        t.color("fore")
        t.rlsymb(21, 5.0, 0.0)   # single symbols go the same way
        if not plain:
            t.trfres()
        t.endgrf()


def make(tv, fmt, name, plain, setup=None, **kw):
    tv.metafl(fmt)
    tv.setfil(name)
    tv.filmod("delete")
    if setup:
        setup(tv)
    tv.tavini()
    scene(tv, plain, **kw)
    tv.tavfin()
    return name


def vectors(out):
    m = re.search(r"Vectors : (\d+)", out)
    assert m, out
    return int(m.group(1))


def pixels(path):
    return np.asarray(Image.open(path).convert("RGB")).astype(int)


def assert_same_picture(a, b, tolerance=0):
    """Equal renderings; with a tolerance, renderers' pixel snapping may move a few edge
    pixels (float matrices), never more than a trace of the picture."""
    A, B = pixels(a), pixels(b)
    assert A.shape == B.shape
    diff = np.abs(A - B).sum(axis=2)
    ink = int((A.sum(axis=2) < 700).sum())
    assert ink > 1000                      # something was drawn
    if tolerance == 0:
        assert int((diff > 0).sum()) == 0
    else:
        assert int((diff > 0).sum()) <= tolerance * ink, int((diff > 0).sum())


# ---------------------------------------------------------------------------------------------
class TestDirectPathIsExact:
    @pytest.mark.parametrize("setup", [None, lambda t: t.imgfmt("rgb")], ids=["indexed", "rgb"])
    def test_raster_images_are_identical(self, tv, setup):
        a = make(tv, "png", "fast.png", True, setup)
        b = make(tv, "png", "slow.png", False, setup)
        assert np.array_equal(pixels(a), pixels(b))

    def test_metafile_strokes_are_identical(self, tv):
        a = make(tv, "meta", "fast.met", True)
        b = make(tv, "meta", "slow.met", False)
        assert read_metafile(a)[1] == read_metafile(b)[1]

    @pytest.mark.parametrize("fmt", ["png", "pdf", "svg", "eps"])
    def test_end_protocol_counts_the_same_vectors(self, tv, capfd, fmt):
        make(tv, fmt, f"fast.{fmt}", True, cut=fmt != "svg")
        fast = vectors(capfd.readouterr().out)
        make(tv, fmt, f"slow.{fmt}", False, cut=fmt != "svg")
        slow = vectors(capfd.readouterr().out)
        assert fast == slow > 10000


# ---------------------------------------------------------------------------------------------
class TestCopiesRenderLikeDrawings:
    @pytest.mark.skipif(GS is None, reason="needs Ghostscript")
    def test_pdf_forms(self, tv):
        a = make(tv, "pdf", "fast.pdf", True, pages=2)
        b = make(tv, "pdf", "slow.pdf", False, pages=2)
        fast, slow = open(a, "rb").read(), open(b, "rb").read()
        assert fast.count(b"/Subtype /Form") >= len(CURVES) and b"/Subtype /Form" not in slow
        assert len(fast) < len(slow)
        subprocess.run(["qpdf", "--check", a], check=True, capture_output=True)
        for f in (a, b):
            subprocess.run([GS, "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m",
                            "-r100", f"-sOutputFile={f}-%d.png", f], check=True)
            subprocess.run(["pdftoppm", "-r", "100", "-png", f, f + "-p"], check=True)
        for page in (1, 2):                  # the second page lists its forms too
            assert_same_picture(f"{a}-{page}.png", f"{b}-{page}.png")
            assert_same_picture(f"{a}-p-{page}.png", f"{b}-p-{page}.png", tolerance=0.002)

    @pytest.mark.skipif(RSVG is None, reason="needs rsvg-convert")
    def test_svg_uses(self, tv):
        a = make(tv, "svg", "fast.svg", True, cut=False)
        b = make(tv, "svg", "slow.svg", False, cut=False)
        fast, slow = open(a).read(), open(b).read()
        assert "<use xlink:href=" in fast and "<use" not in slow
        subprocess.run(["xmllint", "--noout", "--huge", a], check=True)
        for f in (a, b):
            subprocess.run([RSVG, "-b", "white", "-o", f + ".png", f], check=True)
        assert_same_picture(a + ".png", b + ".png")

    @pytest.mark.skipif(GS is None, reason="needs Ghostscript")
    def test_eps_procedures(self, tv):
        a = make(tv, "eps", "fast.eps", True)
        b = make(tv, "eps", "slow.eps", False)
        fast, slow = open(a).read(), open(b).read()
        assert re.search(r"/S1 \{ ", fast) and "/S1 " not in slow
        for f in (a, b):
            subprocess.run([GS, "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop",
                            "-sDEVICE=png16m", "-r100", f"-sOutputFile={f}.png", f], check=True)
        assert_same_picture(a + ".png", b + ".png", tolerance=0.002)

    def test_copies_sit_on_the_numbers_direct_drawing_writes(self, tv):
        # every placed copy of a form moves it by whole hundredths of a point, so its
        # vertices are exactly the numbers a direct drawing would have written
        a = make(tv, "pdf", "fast.pdf", True, setup=lambda t: t.pdfmod("off", "comp"))
        text = open(a, "rb").read().decode("latin-1")
        moves = re.findall(r"q 1 0 0 1 (\S+) (\S+) cm /S\d+ Do Q", text)
        assert len(moves) > 500
        assert all(re.fullmatch(r"-?\d+\.\d\d", v) for m in moves for v in m)
