"""Maps as real consumers see them (PDF, SVG, PNG), parameter routines and their messages."""
import shutil
import subprocess

import pytest
from PIL import Image

from mapplot import open_map, strokes


def world_map(tv, fmt, name):
    tv.metafl(fmt)
    tv.setfil(name)
    tv.filmod("delete")
    tv.scrmod("revers")
    tv.tavini()
    tv.errmod("PROT", "OFF")
    tv.projct("HAMM")
    tv.axspos(300, 1900)
    tv.axslen(2400, 1700)
    tv.grafmp(-180, 180, -180, 60, -90, 90, -90, 30)
    tv.shdpat(16)
    tv.color("blue")
    tv.shdmap("SEA")
    tv.color("green")
    tv.shdmap("LAND")
    tv.shdafr([818], [16], [tv.intrgb(1.0, 0.0, 0.0)], 1)   # Egypt
    tv.color("fore")
    tv.world()
    tv.gridmp(1, 1)
    points = tv.pos2pt(25, 15), tv.pos2pt(-30, 5), tv.pos2pt(30, 26)
    tv.endgrf()
    tv.tavfin()
    return points


def test_png_shows_land_sea_and_a_country(tv):
    (sahara, atlantic, egypt) = world_map(tv, "PNG", "w.png")
    img = Image.open("w.png").convert("RGB")
    w, h = img.size
    pix = lambda p: img.getpixel((round(p[0] / 2969 * (w - 1)), round(p[1] / 2099 * (h - 1))))
    assert pix(sahara)[1] > 150 and pix(sahara)[0] < 100     # green
    assert pix(atlantic)[2] > 150 and pix(atlantic)[1] < 100  # blue
    assert pix(egypt)[0] > 150 and pix(egypt)[1] < 100        # red


@pytest.mark.skipif(not shutil.which("qpdf"), reason="qpdf missing")
def test_pdf_and_svg_are_valid(tv):
    world_map(tv, "PDF", "w.pdf")
    subprocess.run(["qpdf", "--check", "w.pdf"], check=True, capture_output=True)
    world_map(tv, "SVG", "w.svg")
    subprocess.run(["xmllint", "--noout", "w.svg"], check=True, capture_output=True)


def test_parameters_refuse_bad_values(tv, capfd):
    tv.tavini()
    tv.errmod("PROT", "OFF")
    tv.projct("XXXX")
    tv.mappol(200, 0)
    tv.mapsph(0)
    tv.mapref(91, 30)
    tv.mapbas("NONE")
    tv.maplev("SEAS")
    tv.mapmod("CURV")
    tv.mplclr(0, 300)
    tv.mplsiz(0)
    tv.mapopt("WIDE", "XAXI")
    tv.tavfin()
    out = capfd.readouterr().out
    assert out.count("Incorrect parameter") == 10
    assert "in mappol!   ( 200)" in out


def test_settings_must_precede_grafmp_and_drawing_needs_it(tv, capfd):
    open_map(tv, "CYLI", quiet=False)
    tv.projct("MERC")          # level 1 only
    tv.endgrf()
    tv.graf(0, 10, 0, 5, 0, 10, 0, 5)
    tv.world()                 # not a map axis system
    tv.endgrf()
    tv.tavfin()
    out = capfd.readouterr().out
    assert "Warning 3: Incorrect level in projct!" in out
    assert "Warning 166: No call to GRAFMP before in world!" in out


def test_auto_x_axis_keeps_the_aspect_or_warns(tv, capfd):
    open_map(tv, "MERC", (-30, 30, -30, 10, -60, 60, -60, 20), quiet=False,
             before=lambda t: t.mapopt("AUTO", "XAXI"))
    (xa, _), (xb, _) = tv.pos2pt(-30, 0), tv.pos2pt(30, 0)
    (_, ya), (_, yb) = tv.pos2pt(0, -60), tv.pos2pt(0, 60)
    assert ya - yb == pytest.approx(1599, abs=1e-6)
    assert xb - xa < 1999
    assert tv.getlev() == 2
    tv.endgrf()
    tv.grafmp(-180, 180, -180, 60, -10, 10, -10, 10)   # far too wide for the page
    tv.tavfin()
    assert "Warning 168: X-axis does not fit the page in grafmp!" in capfd.readouterr().out


def test_reset_names_of_the_maps(tv):
    open_map(tv, "CYLI")
    tv.endgrf()
    tv.projct("LAMB")
    tv.mappol(30, 40)
    tv.reset("PROJ")
    tv.grafmp(-180, 180, -180, 90, -90, 90, -90, 30)
    assert tv.pos2pt(-180, -90) == pytest.approx((400, 1900))  # CYLI again
    tv.endgrf()
    tv.projct("AZIM")
    tv.reset("MAPP")           # centre back to (0, 0)
    tv.grafmp(-180, 180, -180, 90, -90, 90, -90, 30)
    assert tv.pos2pt(0, 0) == pytest.approx((400 + 1999 / 2, 1900 - 1599 / 2))
    strokes(tv)


def test_axis_labels_show_degrees(tv):
    def labelled(label):
        open_map(tv, "CYLI")
        tv.endgrf()
        tv.labels(label, "XY")
        tv.reset("NOGR")
        tv.grafmp(-180, 180, -180, 90, -90, 90, -90, 30)
        return len(strokes(tv))

    assert labelled("MAP") > labelled("NONE") + 20
