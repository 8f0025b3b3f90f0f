"""Colour tables, named colours, conversions between the colour forms, the device adjustments
of setvlt, colour table files and the parameter checks of the colour routines."""
import colorsys
import random

import pytest

from conftest import metafile_paths, read_metafile


def table(tv, n=256):
    r, g, b = [0.0] * n, [0.0] * n, [0.0] * n
    tv.getvlt(r, g, b, n)                  # fills the caller's lists
    return [(round(r[i] * 255), round(g[i] * 255), round(b[i] * 255)) for i in range(n)]


def entry(tv, i):
    return tuple(round(v * 255) for v in tv.getind(i))


def start(tv, fmt=None, **level0):
    if fmt:
        tv.metafl(fmt)
    for name, args in level0.items():
        getattr(tv, name)(*args)
    tv.tavini()
    tv.unit(0)


RAIN_ANCHORS = {1: (34, 0, 68), 5: (51, 0, 102), 13: (51, 0, 170), 18: (34, 0, 204),
                22: (34, 0, 238), 26: (17, 0, 255), 30: (0, 0, 255), 96: (0, 255, 255),
                106: (0, 255, 217), 117: (0, 255, 170), 126: (0, 255, 95), 132: (0, 255, 51),
                138: (0, 255, 0), 146: (68, 255, 0), 187: (235, 255, 0), 192: (255, 255, 0),
                254: (255, 0, 0)}
SPEC_ANCHORS = {1: (255, 0, 255), 52: (0, 0, 255), 102: (0, 255, 255), 153: (0, 255, 0),
                204: (255, 255, 0), 254: (255, 0, 0)}


def linear(anchors, i):
    keys = sorted(anchors)
    for a, b in zip(keys, keys[1:]):
        if a <= i <= b:
            f = (i - a) / (b - a)
            return tuple(anchors[a][c] + (anchors[b][c] - anchors[a][c]) * f for c in range(3))


# --- predefined tables

@pytest.mark.parametrize("name,anchors", [("RAIN", RAIN_ANCHORS), ("SPEC", SPEC_ANCHORS)])
def test_rainbow_and_spectrum(tv, name, anchors):
    start(tv)
    tv.setvlt(name)
    t = table(tv)
    assert t[0] == (0, 0, 0) and t[255] == (255, 255, 255)
    for i, rgb in anchors.items():
        assert t[i] == rgb
    for i in range(1, 255):
        assert all(abs(t[i][c] - linear(anchors, i)[c]) <= 0.5 for c in range(3))
    tv.setvlt("R" + name[:3])              # the reversed table
    assert table(tv) == t[::-1]


def test_temp_grey_vga_small(tv):
    start(tv)
    tv.setvlt("temp")
    assert entry(tv, 255) == (255, 255, 255)
    assert entry(tv, 149) == (253, 55, 0)
    assert entry(tv, 100) == (170, 0, 0)
    assert entry(tv, 0) == (0, 0, 0)
    tv.setvlt("GREY")
    assert table(tv) == [(i, i, i) for i in range(256)]
    tv.setvlt("VGA")
    assert table(tv, 16)[6] == (170, 85, 0) and table(tv, 16)[15] == (255, 255, 255)
    tv.setvlt("RAIN")
    rain = table(tv)
    tv.setvlt("SMAL")                      # 9 entries; the others keep their values
    t = table(tv)
    assert t[:9] == [(0, 0, 0), (255, 255, 255), (255, 0, 0), (0, 255, 0), (0, 0, 255),
                     (255, 255, 0), (255, 128, 0), (0, 255, 255), (255, 0, 255)]
    assert t[9:] == rain[9:]


def test_rrai_on_the_metafile(tv):
    start(tv)
    tv.setvlt("RRAI")
    assert entry(tv, 0) == (255, 255, 255) and entry(tv, 255) == (0, 0, 0)
    # depth 8: white and black of the named colours trade places
    tv.color("WHIT")
    assert tv.getclr() == 0x01000000
    tv.color("BLAC")
    assert tv.getclr() == 0x01FFFFFF


# --- device adjustments of the table and the named colours

def test_default_tables_by_device(tv):
    start(tv)                               # metafile: rainbow, white foreground
    assert tv.getclr() == 255 and entry(tv, 255) == (255, 255, 255)
    tv.color("back")
    assert tv.getclr() == 0
    tv.unit(0)
    tv.tavfin()
    start(tv, "POST")                       # black-and-white PostScript: reversed grey scale
    assert entry(tv, 0) == (255, 255, 255) and entry(tv, 255) == (0, 0, 0)
    tv.color("WHIT")
    assert tv.getclr() == 0x01000000        # paper: white and black are both black
    tv.color("RED")
    assert tv.getclr() == 0x01E6E6E6        # the grey named colours
    tv.tavfin()
    start(tv, "SVG")                        # white background: entries 0 and 255 trade places
    assert entry(tv, 0) == (255, 255, 255) and entry(tv, 255) == (0, 0, 0)
    assert tv.getclr() == 255
    tv.color("WHIT")
    assert tv.getclr() == 0x01000000
    tv.color("BLAC")
    assert tv.getclr() == 0x01FFFFFF
    tv.setvlt("SMAL")
    assert entry(tv, 0) == (255, 255, 255) and entry(tv, 1) == (0, 0, 0)
    assert tv.getclr() == 1
    tv.color("WHIT")
    assert tv.getclr() == 0x01000000


def test_colour_range_follows_the_table(tv):
    start(tv)
    assert tv.getran() == (1, 254)
    tv.setvlt("SMAL")
    assert tv.getran() == (1, 8)
    tv.colran(10, 200)
    assert tv.getran() == (10, 200)
    tv.reset("COLR")
    assert tv.getran() == (1, 8)


# --- the current colour

def test_named_and_explicit_colours(tv):
    start(tv)
    tv.setrgb(1, 0, 0)
    assert tv.getclr() == 0x010000FF
    assert tv.getrgb() == (1.0, 0.0, 0.0)
    assert tv.intrgb(0.5, 0.5, 0.5) == 0x01808080
    assert tv.intrgb(0, 0, 1) == 0x01FF0000
    expected = {"WHIT": 0x01FFFFFF, "RED": 0x010000FF, "GREE": 0x0100FF00, "YELL": 0x0100FFFF,
                "BLUE": 0x01FF0000, "ORAN": 0x010080FF, "CYAN": 0x01FFFF00, "MAGE": 0x01FF00FF,
                "BLAC": 0x01000000, "FORE": 255, "BACK": 0, "GRAY": 0x01808080,
                "HALF": 0x01808080}
    for name, value in expected.items():
        tv.color(name.lower())
        assert tv.getclr() == value, name
    tv.setclr(7)
    assert tv.getclr() == 7 and tv.getrgb() == tuple(v for v in tv.getind(7))


def test_explicit_colours_on_a_palette_device(tv):
    """The metafile works with indices: an explicit colour becomes the nearest entry."""
    def body(t):
        t.setvlt("SMAL")
        t.setrgb(1, 0, 0)
        t.line(0, 0, 10, 10)
        t.setrgb(128 / 255, 128 / 255, 128 / 255)   # orange is nearest (distance 255)
        t.line(0, 0, 10, 10)
        t.setclr(0x01FEFEFE)
        t.line(0, 0, 10, 10)
        assert t.indrgb(1, 0, 0) == 2 and t.indrgb(0.5, 0.5, 0.5) == 6
        assert t.indrgb(0, 0, 0.6) == 4
    tv.tavini()
    name = tv.getfil()
    body(tv)
    tv.unit(0)
    tv.tavfin()
    colours, _ = metafile_paths(read_metafile(name)[1])
    assert colours[-3:] == [2, 6, 1]


def test_hsv_conversions(tv):
    assert tv.rgbhsv(0, 0, 1) == (240.0, 1.0, 1.0)
    assert tv.hsvrgb(240, 1, 1) == (0.0, 0.0, 1.0)
    assert tv.rgbhsv(0, 0, 0) == (0.0, 0.0, 0.0)
    assert tv.rgbhsv(0.5, 0.5, 0.5) == (0.0, 0.0, 0.5)
    assert tv.hsvrgb(360, 1, 1) == (1.0, 0.0, 0.0)
    rnd = random.Random(3)
    for _ in range(300):
        rgb = tuple(rnd.random() for _ in range(3))
        h, s, v = tv.rgbhsv(*rgb)
        ref = colorsys.rgb_to_hsv(*rgb)
        assert abs(s - ref[1]) < 1e-12 and abs(v - ref[2]) < 1e-12
        assert min(abs(h / 360 - ref[0]), 1 - abs(h / 360 - ref[0])) < 1e-9
        back = tv.hsvrgb(h, s, v)
        assert all(abs(a - b) < 1e-9 for a, b in zip(back, rgb))


# --- changing the table

def test_setind_myvlt_revscr(tv):
    start(tv)
    tv.setind(5, 0.2, 0.4, 1.0)
    assert entry(tv, 5) == (51, 102, 255)
    tv.myvlt([0.0, 0.5, 1.0], [0.1, 0.2, 0.3], [1.0, 1.0, 0.002], 3)
    assert table(tv, 3) == [(0, 26, 255), (128, 51, 255), (255, 77, 1)]
    tv.setvlt("RAIN")
    tv.revscr()
    assert entry(tv, 0) == (255, 255, 255) and entry(tv, 255) == (0, 0, 0)
    tv.setvlt("SMAL")
    tv.revscr()
    assert entry(tv, 0) == (255, 255, 255) and entry(tv, 1) == (0, 0, 0)


def test_myvlt_before_tavini_is_kept_once(tv):
    tv.myvlt([1.0, 0.0], [0.0, 1.0], [0.0, 0.0], 2)
    start(tv)
    assert table(tv, 3)[:2] == [(255, 0, 0), (0, 255, 0)]
    tv.tavfin()
    start(tv)                               # the next run loads the default table again
    assert table(tv, 2) == [(0, 0, 0), (34, 0, 68)]


def test_colour_parameter_checks(tv, capfd):
    start(tv)
    tv.unit(6)
    tv.setclr(3)
    tv.setrgb(1.2, 0, 0)
    tv.setrgb(0, float("nan"), 0)
    tv.setind(256, 0, 0, 0)
    tv.myvlt([0.0, 2.0], [0.0, 0.0], [0.0, 0.0], 2)
    tv.colran(10, 256)
    tv.clrcyc(31, 1)
    assert tv.getclr() == 3 and entry(tv, 1) == (34, 0, 68) and tv.getran() == (1, 254)
    assert tv.intrgb(1.01, 0, 0) == -1      # no warning
    assert tv.indrgb(1.01, 0, 0) == -1
    assert tv.intrgb(1.0009, -0.0009, 0) == 0x010000FF
    tv.hsvrgb(361, 1, 1)
    tv.setvlt("PINK")
    assert capfd.readouterr().out.splitlines() == [
        " <<<< Warning 2: Incorrect parameter in setrgb!",
        " <<<< Warning 2: Incorrect parameter in setrgb!",
        " <<<< Warning 2: Incorrect parameter in setind!   ( 256)",
        " <<<< Warning 2: Incorrect parameter in myvlt!",
        " <<<< Warning 2: Incorrect parameter in colran!   ( 256)",
        " <<<< Warning 2: Incorrect parameter in clrcyc!   ( 31)",
        " <<<< Warning 2: Incorrect parameter in indrgb!",
        " <<<< Warning 2: Incorrect parameter in hsvrgb!",
        " <<<< Warning 2: Incorrect parameter in setvlt!   (PINK)",
    ]


# --- colour table files

def test_table_file_round_trip(tv, tmp_path, capfd):
    start(tv)
    tv.setvlt("TEMP")
    temp = table(tv)
    tv.vltfil("temp.tab", "save")
    tv.setvlt("GREY")
    tv.vltfil("temp.tab", "LOAD")
    assert table(tv) == temp
    text = open("temp.tab").read().splitlines()
    assert text[0].startswith("#") and text[150] == "149 253 55 0"
    # a hand-written file: comments, the three-number form after an indexed entry
    with open("mine.tab", "w") as f:
        f.write("# two entries\n\n10 1 2 3   # indexed\n4 5 6\n")
    tv.vscl3d("mine.tab", "load")           # the same routine under its second name
    t = table(tv)
    assert t[10] == (1, 2, 3) and t[11] == (4, 5, 6) and t[12] == temp[12]
    # bad files change nothing
    tv.unit(6)
    with open("bad.tab", "w") as f:
        f.write("0 0 0 0\n1 300 0 0\n")
    tv.vltfil("bad.tab", "load")
    tv.vltfil("missing.tab", "load")
    tv.vltfil("x.tab", "keep")
    assert table(tv) == t
    out = capfd.readouterr().out.splitlines()
    assert out == [" <<<< Warning 119: Read error in vltfil!",
                   " <<<< Warning 36: File error in vltfil!   (missing.tab)",
                   " <<<< Warning 2: Incorrect parameter in vltfil!   (keep)"]
