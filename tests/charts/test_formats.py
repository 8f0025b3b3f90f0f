"""Charts written to every file format and read back by the formats' own consumers: a curve
of a million points with symbols, a complete chart page, and hostile data."""
import math
import shutil
import subprocess

import pytest

from conftest import read_metafile

FORMATS = ("meta", "ps", "pdf", "svg", "png")


def consume(fmt, path):
    """Fails unless the format's consumer accepts the file."""
    if fmt == "meta":
        (w, h), fields = read_metafile(path)
        assert w > 0 and h > 0 and fields
    elif fmt == "ps":
        if shutil.which("gs"):
            r = subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=nullpage", path],
                               capture_output=True, text=True, timeout=300)
            assert r.returncode == 0, r.stdout + r.stderr
    elif fmt == "pdf":
        if shutil.which("qpdf"):
            r = subprocess.run(["qpdf", "--check", path], capture_output=True, text=True, timeout=300)
            assert r.returncode == 0, r.stdout + r.stderr
    elif fmt == "svg":
        if shutil.which("xmllint"):
            r = subprocess.run(["xmllint", "--noout", "--huge", path], capture_output=True, text=True, timeout=300)
            assert r.returncode == 0, r.stderr
    elif fmt == "png":
        from PIL import Image
        with Image.open(path) as im:
            im.verify()


def run(tv, fmt, body):
    tv.metafl(fmt)
    tv.filmod("delete")
    tv.tavini()
    tv.unit(0)
    name = tv.getfil()
    body(tv)
    tv.tavfin()
    consume(fmt, name)
    return name


@pytest.mark.parametrize("fmt", FORMATS)
def test_million_point_curve_with_symbols(tv, fmt):
    n = 1_000_000
    xs = [i * 1e-5 for i in range(n)]
    ys = [math.sin(x) for x in xs]

    def body(t):
        t.graf(0.0, 10.0, 0.0, 2.0, -1.0, 1.0, -1.0, 0.5)
        t.marker(21)
        t.incmrk(1000)
        t.curve(xs, ys, n)
        t.endgrf()
    run(tv, fmt, body)


def chart_page(t):
    t.axspos(300, 1000)
    t.axslen(1100, 700)
    t.graf(0.0, 5.0, 0.0, 1.0, 0.0, 10.0, 0.0, 2.0)
    t.chncrv("both")
    t.incmrk(2)
    t.polcrv("spli")
    t.curve([0.5, 1.5, 2.5, 3.5, 4.5], [2.0, 7.0, 3.0, 8.0, 5.0], 5)
    t.polcrv("line")
    t.errbar([1.0, 2.0], [4.0, 6.0], [1.0, 0.5], [0.5, 1.0], 2)
    t.chnbar("both")
    t.bargrp(2, 0.1)
    t.bars([1.0, 3.0], [0.0, 0.0], [3.0, 5.0], 2)
    t.bars([1.0, 3.0], [0.0, 0.0], [4.0, 2.0], 2)
    t.legini(" ", 4, 12)
    for k, s in enumerate(("spline", "errors", "bars A", "bars B"), 1):
        t.leglin(" ", s, k)
    t.legbgd(0)
    t.legend(" ", 7)
    t.endgrf()
    t.axspos(1600, 1000)
    t.axslen(1100, 700)
    t.pietyp("3d")
    t.labels("both", "pie")
    t.piegrf(" ", 4, [3.0, 2.0, -1.0, 4.0], 4)
    t.endgrf()


@pytest.mark.parametrize("fmt", FORMATS)
def test_chart_page_in_every_format(tv, fmt):
    run(tv, fmt, chart_page)


def hostile(t):
    nan, inf = math.nan, math.inf
    t.graf(0.0, 10.0, 0.0, 2.0, 0.0, 10.0, 0.0, 2.0)
    t.curve([1.0, nan, 3.0, inf, 5.0, 1e300], [1.0, 2.0, nan, 4.0, -inf, 1e300], 6)
    t.nancrv("on")
    for m in ("step", "stai", "bars", "fbar", "stem", "curv", "spli", "pspl"):
        t.polcrv(m)
        t.curve([1.0, nan, 3.0, 4.0, 5.0, 6.0], [1.0, 2.0, nan, 4.0, 1e300, 2.0], 6)
    t.polcrv("line")
    t.incmrk(1)
    t.curve([1e300, -1e300, 2.0], [1.0, 2.0, 3.0], 3)
    t.errbar([nan, 2.0, inf], [1.0, nan, 2.0], [inf, 1.0, 1.0], [1.0, nan, 1e308], 3)
    t.bars([nan, 2.0, 1e300], [0.0, inf, 0.0], [1.0, 2.0, nan], 3)
    t.fbars([2.0, nan], [1.0, 2.0], [inf, 3.0], [0.0, 1.0], [2.0, nan], 2)
    t.legini(" ", 2, 4)
    t.leglin(" ", "a", 1)
    t.legend(" ", 3)
    t.endgrf()
    t.piegrf(" ", 0, [1.0, nan, inf, 2.0], 4)
    t.endgrf()
    t.piegrf(" ", 0, [1e308, 1e308], 2)
    t.endgrf()


@pytest.mark.parametrize("fmt", FORMATS)
def test_hostile_data_never_corrupts_a_file(tv, fmt):
    run(tv, fmt, hostile)


def test_quick_plots_open_and_close_the_library(tv, capfd):
    xs = [0.1 * i for i in range(50)]
    ys = [math.cos(x) for x in xs]
    tv.metafl("svg")
    tv.filmod("delete")
    tv.errmod("prot", "off")
    for k, draw in enumerate((lambda: tv.qplot(xs, ys, 50), lambda: tv.qplsca(xs, ys, 50),
                              lambda: tv.qplbar([3.0, 1.0, 4.0], 3), lambda: tv.qplpie([3.0, 1.0, 4.0], 3))):
        tv.setfil("quick%d.svg" % k)
        draw()
        assert tv.getlev() == 0
        consume("svg", "quick%d.svg" % k)
    tv.setfil("curves.svg")
    tv.qplcrv(xs, ys, 50, "first")
    assert tv.getlev() == 2
    tv.qplcrv(xs, [-y for y in ys], 50, "next")
    tv.qplcrv(xs, [0.5 * y for y in ys], 50, "last")
    assert tv.getlev() == 0
    consume("svg", "curves.svg")
    # inside an open plot the quick plot draws on the page and leaves it open
    tv.tavini()
    tv.graf(0.0, 1.0, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0)
    tv.qplscl(0.0, 10.0, 0.0, 5.0, "x")
    tv.qplot(xs, ys, 50)
    assert tv.getlev() == 1
    tv.qplbar([1.0] * 1001, 1001)
    assert "112: Too many points in qplbar" in [l for l in capfd.readouterr().out.splitlines() if "Warning" in l][-1]
