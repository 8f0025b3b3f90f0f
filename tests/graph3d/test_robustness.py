"""Every 3-D routine on every kind of output, checked by the programs that read the files, and
bad input: non-finite and huge values, bad indices and arguments, phases left open at tavfin."""
import math
import shutil
import subprocess

import pytest
from PIL import Image

from helpers3d import cube, run

N = 9
XS = [-3 + 6 * i / (N - 1) for i in range(N)]
ZS = [math.sin(x) * math.cos(y) for x in XS for y in XS]


def everything(t):
    """One call of (nearly) every routine of the 3-D graphics."""
    t.name("X", "x")
    t.labl3d("hori")
    cube(t)
    t.box3d()
    t.grid3d(1, 1, "all")
    t.grfini(-1, -1, -1, 1, -1, -1, 1, 1, -1)
    t.graf(0, 10, 0, 2, 0, 10, 0, 2)
    t.curve([0.0, 5.0, 10.0], [0.0, 8.0, 2.0], 3)
    t.endgrf()
    t.grffin()
    t.curv3d(XS, XS, XS, N)
    t.marker(3)
    t.incmrk(-1)
    t.curv3d(XS, XS, XS, N)
    t.incmrk(0)
    t.strt3d(0, 0, 0)
    t.conn3d(1, 1, 1)
    t.symb3d(5, 1, 1, 1)
    t.hsym3d(0.1)
    t.symb3d(5, 1, 1, 1)
    t.curv4d(XS, XS, XS, XS, N)
    t.crvt3d(XS, XS, XS, [0.1] * N, list(range(10, 10 + N)), N)
    t.bars3d([0.0, 1.0], [0.0, 1.0], [-3.0, -3.0], [1.0, 2.0], [0.5, 0.5], [0.5, 0.5], [50, 200], 2)
    t.surclr(50, 150)
    t.surfce(XS, N, XS, N, ZS)
    t.suropt("xiso")
    t.surmat(ZS, N, N, 2, -2)
    t.surfun(lambda x, y: x * y / 9, 1, 1.0, 1, 1.0)
    t.surmsh("on")
    t.surshd(XS, N, XS, N, ZS)
    t.light("on")
    t.surshc(XS, N, XS, N, ZS, [-z for z in ZS])
    t.surfcp(lambda a, b, i: (math.cos(a) * math.cos(b), math.sin(a) * math.cos(b), math.sin(b))[i - 1] * 2,
             0, 6.3, 0.5, -1.5, 1.5, 0.5)
    t.surtri([0.0, 1.0, 0.0, 1.0], [0.0, 0.0, 1.0, 1.0], [0.0, 1.0, 1.0, 2.0], 4,
             [1, 2], [2, 4], [3, 3], 2)
    g = [-1 + i / 2 for i in range(5)]
    t.suriso(g, 5, g, 5, g, 5, [[[x * x + y * y + z * z for z in g] for y in g] for x in g], 0.8)
    t.tria3d([0.0, 1.0, 0.0], [0.0, 0.0, 1.0], [1.0, 1.0, 1.0])
    for mode in ("tria", "tstr", "poly", "quad", "qstr", "poin", "line", "curv", "plin"):
        t.vtx3d([0.0, 1.0, 1.0, 0.0], [0.0, 0.0, 1.0, 1.0], [0.0, 0.5, 1.0, 0.5], 4, mode)
    t.vtxc3d([0.0, 1.0, 0.0], [0.0, 0.0, 1.0], [0.0, 0.0, 0.0], [10, 100, 200], 3, "tria")
    t.vtxn3d([0.0, 1.0, 0.0], [0.0, 0.0, 1.0], [0.0, 0.0, 0.0], [0.0] * 3, [0.0] * 3, [1.0] * 3,
             3, "tria")
    status = t.zbfini()
    t.shdmod("smooth", "surf")
    t.surshd(XS, N, XS, N, ZS)
    t.sphe3d(0, 0, 0, 1, 12, 8)
    t.cone3d(1, 1, -3, 1, 2, 1, 12, 2)
    t.cyli3d(-1, 1, -3, 0.5, 2, 12, 2)
    t.disk3d(0, 0, 2, 0.3, 1, 12, 2)
    t.pike3d(-3, -3, -3, 3, 3, 3, 0.1, 8, 2)
    t.tube3d(-3, 3, -3, 3, -3, 3, 0.1, 8, 2)
    t.torus3d(0, 0, 0, 1, 1.5, 0.5, 0, 270, 16, 8)
    t.pyra3d(2, -2, -3, 1, 2, 1, 5)
    t.tr3rot(10, 20, 30)
    t.tr3scl(1, 2, 1)
    t.tr3shf(0.5, 0, 0)
    t.tr3axs(1, 1, 0, 45)
    t.quad3d(0, 0, 0, 1, 1, 1)
    for solid in ("cube", "tetr", "octa", "dode", "icos"):
        t.plat3d(0, 0, 0, 1, solid)
    t.tr3res()
    t.thkc3d(0.05)
    t.curv3d(XS, XS, XS, N)
    t.zbflin(-3, -3, -3, 3, 3, 3)
    t.zbftri([0.0, 1.0, 0.0], [0.0, 0.0, 1.0], [0.0, 0.0, 0.0], [1, 100, 200])
    if status == 0:
        t.zbffin()
    t.dbfini()
    t.shdmod("flat", "surf")
    t.sphe3d(1, 1, 1, 1, 12, 8)
    t.dbffin()
    t.endgrf()
    t.graf3(0, 1, 0, 0.5, 0, 1, 0, 0.5, 0, 1, 0, 0.5)
    t.curve3([0.2, 0.8], [0.2, 0.8], [0.2, 0.8], 2)
    t.curvx3([0.2, 0.8], 0.5, [0.2, 0.8], 2)
    t.curvy3(0.5, [0.2, 0.8], [0.2, 0.8], 2)
    t.crvmat([0.0, 1.0, 0.5, 0.2], 2, 2, 4, 4)
    t.crvqdr([0.1, 0.3, 0.3, 0.1], [0.1, 0.1, 0.3, 0.3], [0.0, 0.5, 1.0, 0.5], 4)
    t.endgrf()


def check_file(name, fmt, tmp_path):
    if fmt == "pdf" and shutil.which("qpdf"):
        r = subprocess.run(["qpdf", "--check", name], capture_output=True, text=True)
        assert r.returncode == 0, r.stdout
    elif fmt == "svg" and shutil.which("xmllint"):
        assert subprocess.run(["xmllint", "--noout", name], capture_output=True).returncode == 0
    elif fmt in ("ps", "eps") and shutil.which("gs"):
        r = subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m",
                            "-r20", f"-sOutputFile={tmp_path}/ps.png", name],
                           capture_output=True, text=True)
        assert r.returncode == 0 and "Error" not in r.stdout + r.stderr
    elif fmt in ("png", "gif", "bmp", "tiff"):
        Image.open(name).load()


@pytest.mark.parametrize("fmt", ["pdf", "svg", "ps", "eps", "png", "gif", "cgm", "hpgl", "java",
                                 "gksl"])
def test_every_routine_writes_a_readable_file(tv, tmp_path, fmt):
    name = run(tv, everything, fmt=fmt)
    check_file(name, fmt, tmp_path)


def test_every_routine_gives_the_same_strokes_twice(tv):
    first, _ = run(tv, everything)
    tv.delglb()
    second, _ = run(tv, everything)
    assert first == second
    assert all(math.isfinite(c) for st in first for p in st for c in p)


BAD = [float("nan"), float("inf"), -float("inf"), 1e300, -1e300]


def test_non_finite_and_huge_values_are_skipped(tv, tmp_path):
    def body(t):
        cube(t)
        for v in BAD:
            z = list(ZS)
            z[10] = z[40] = v
            t.surfce(XS, N, XS, N, z)
            t.surshd(XS, N, XS, N, z)
            t.curv3d([0.0, v, 1.0], [0.0, 1.0, v], [v, 0.0, 1.0], 3)
            t.strt3d(v, 0, 0)
            t.conn3d(0, v, 0)
            t.symb3d(1, v, 0, 0)
            t.sphe3d(v, 0, 0, 1, 8, 6)
            t.sphe3d(0, 0, 0, v, 8, 6)
            t.surtri([0.0, 1.0, v], [0.0, 0.0, 1.0], [0.0, v, 1.0], 3, [1], [2], [3], 1)
            t.pos3pt(v, v, v)
            t.rel3pt(v, 0, 0)
        t.zbfini()
        for v in BAD:
            t.zbftri([0.0, 1.0, v], [0.0, 0.0, 1.0], [0.0, 0.0, 0.0], [1, 2, 3])
            t.zbflin(0, 0, 0, v, 1, 1)
        t.zbffin()
    name = run(tv, body, fmt="pdf")
    check_file(name, "pdf", tmp_path)
    tv.delglb()
    paths, _ = run(tv, body)
    assert all(math.isfinite(c) for st in paths for p in st for c in p)


@pytest.mark.parametrize("view", [(1e300, 0, 0), (1e-300, -1e300, 1e300), (0, 0, 1e200)])
def test_extreme_view_points_fall_back_to_the_default(tv, capfd, view):
    tv.tavini()
    capfd.readouterr()
    tv.view3d(*view, "abs")
    cube(tv, axes=False)
    x, y = tv.abs3pt(0.5, 0.5, 0.5)
    assert math.isfinite(x) and math.isfinite(y)


def test_bad_arguments_give_warnings(tv, capfd):
    tv.tavini()
    cube(tv, axes=False)
    capfd.readouterr()
    tv.surfce([0.0], 1, [0.0, 1.0], 2, [0.0, 0.0])
    tv.surshd([0.0, 1.0], 2, [0.0], 1, [0.0, 0.0])
    tv.surtri([0.0, 1.0, 0.0], [0.0, 0.0, 1.0], [0.0, 0.0, 0.0], 3, [1, 0], [2, 2], [3, 9], 2)
    tv.sphe3d(0, 0, 0, 1, 2, 1)
    tv.grid3d(-1, 1, "all")
    tv.vtxc3d([0.0] * 3, [0.0] * 3, [0.0] * 3, [1, -5, 1], 3, "tria")
    tv.vtx3d([0.0] * 3, [0.0] * 3, [0.0] * 3, 3, "blob")
    tv.surfun(lambda x, y: 0.0, 1, 0.0, 1, 1.0)
    tv.sursze(1, 1, 0, 1)
    tv.surmsh("grid")
    tv.mshclr(-2)
    tv.plat3d(0, 0, 0, 1, "sphe")
    out = [ln.split(" in ")[0] for ln in capfd.readouterr().out.splitlines() if "<<<<" in ln]
    assert out == [" <<<< Warning 2: Incorrect parameter"] * 8 + \
        [" <<<< Warning 10: Begin and end of scaling are equal"] + \
        [" <<<< Warning 2: Incorrect parameter"] * 3


def test_callbacks_that_raise_or_return_junk(tv):
    def junk(a, b, i):
        return "x" if i == 1 else None
    tv.tavini()
    tv.unit(0)
    cube(tv, axes=False)
    tv.surfcp(junk, 0, 1, 0.5, 0, 1, 0.5)
    tv.surfun(lambda x, y: 1 / 0, 1, 1.0, 1, 1.0)
    assert tv.getlev() == 3


@pytest.mark.parametrize("fmt", ["pdf", "png"])
def test_phases_left_open_are_finished_by_tavfin(tv, tmp_path, fmt):
    def body(t):
        cube(t, axes=False)
        t.zbfini()
        t.zbftri([-3.0, 3.0, 0.0], [-3.0, -3.0, 3.0], [0.0, 0.0, 0.0], [0x010000FF] * 3)
    name = run(tv, body, fmt=fmt, before=lambda t: t.imgfmt("rgb"))
    check_file(name, fmt, tmp_path)
    if fmt == "pdf":
        assert b"/Subtype /Image" in open(name, "rb").read()
    else:
        img = Image.open(name).convert("RGB")
        assert (255, 0, 0) in {img.getpixel((x, y)) for x in range(0, img.width, 3)
                               for y in range(0, img.height, 3)}
    tv.delglb()
    # and the next plot of the same record starts without them
    tv.metafl("png")
    tv.tavini()
    assert tv.zbfini() == 0
    tv.zbffin()
