"""The colour bar of colour axis systems (graf3): settings and their read-back, the geometry of
the bar on every side read from the metafile, its colours read from a PNG, the titles above it,
nofill, and the coordinate getters getico and getrco."""
import pytest
from PIL import Image

from plotting import bbox, strokes

X, Y, W, H = 400, 1500, 1200, 1000       # area of the colour system: lower left corner, size


def colour_system(t, zlen=None):
    t.axspos(X, Y)
    t.axslen(W, H)
    if zlen:
        t.ax3len(W, H, zlen)
    t.graf3(0, 1, 0, 0.5, 0, 1, 0, 0.5, 0, 10, 0, 5)


def rectangles(paths):
    """Closed axis-parallel 5-point strokes as (left, top, right, bottom)."""
    out = []
    for st in paths:
        st = [(round(x, 2), round(y, 2)) for x, y in st]
        if len(st) == 5 and st[0] == st[4]:
            xs, ys = [p[0] for p in st], [p[1] for p in st]
            if all(st[k][0] == st[k + 1][0] or st[k][1] == st[k + 1][1] for k in range(4)):
                out.append((min(xs), min(ys), max(xs), max(ys)))
    return out


def bar_frame(tv, setup=None, zlen=None):
    def body(t):
        if setup:
            setup(t)
        colour_system(t, zlen)
        t.endgrf()
    rects = [r for r in rectangles(strokes(tv, body)) if r != (X, Y - H + 1, X + W - 1, Y)]
    return rects


# --- settings

def test_settings_read_back_and_reject_bad_values(tv, capfd):
    tv.tavini()
    tv.unit(6)
    assert tv.getwid() == 85 and tv.getvk() == (0, 0, 0)
    tv.widbar(120)
    tv.vkytit(-30)
    tv.vkxbar(15)
    tv.vkybar(-7)
    assert tv.getwid() == 120 and tv.getvk() == (-30, 15, -7)
    capfd.readouterr()
    tv.widbar(-1)
    tv.widbar(10001)
    tv.jusbar("MIDDLE")
    tv.posbar("ABOVE")
    out = capfd.readouterr().out.splitlines()
    assert out[:2] == [" <<<< Warning 2: Incorrect parameter in widbar!   ( -1)",
                       " <<<< Warning 2: Incorrect parameter in widbar!   ( 10001)"]
    assert len(out) == 4 and "jusbar" in out[2] and "posbar" in out[3]
    assert tv.getwid() == 120
    tv.widbar(0)
    tv.widbar(10000)
    assert tv.getwid() == 10000
    tv.reset("WIDB")
    tv.reset("VKXB")
    tv.reset("VKYT")
    assert tv.getwid() == 85 and tv.getvk() == (0, 0, -7)
    tv.tavfin()
    tv.tavini()
    assert tv.getwid() == 85 and tv.getvk() == (0, 0, 0)


# --- geometry

def test_bar_stands_right_of_the_system_by_default(tv):
    assert bar_frame(tv) == [(X + W - 1 + 85, Y - H + 1, X + W - 1 + 170, Y)]
    moved = bar_frame(tv, lambda t: (t.widbar(200), t.spcbar(40), t.vkxbar(11), t.vkybar(13)))
    assert moved == [(X + W - 1 + 40 + 11, Y - H + 1 - 13, X + W - 1 + 240 + 11, Y - 13)]
    assert bar_frame(tv, lambda t: t.posbar("RIGHT")) == bar_frame(tv)


def test_bar_frame_thickness_and_no_bar(tv):
    assert bar_frame(tv, lambda t: t.frmbar(0)) == []
    three = bar_frame(tv, lambda t: t.frmbar(3))
    l, tp, r, b = X + W - 1 + 85, Y - H + 1, X + W - 1 + 170, Y
    assert sorted(three) == sorted([(l - k, tp - k, r + k, b + k) for k in range(3)])
    # nobar: nothing right of the axis system but its own ticks
    def page(t, bar):
        if not bar:
            t.nobar()
        t.name("Colour", "Z")
        colour_system(t)
        t.endgrf()
    with_bar = strokes(tv, lambda t: page(t, True))
    without = strokes(tv, lambda t: page(t, False))
    assert bbox(without)[2] < X + W - 1 + 85
    assert bbox(with_bar)[2] > X + W - 1 + 170


@pytest.mark.parametrize("jus", ["STAR", "CENT", "END"])
def test_short_bar_is_justified_along_its_side(tv, jus):
    zlen = 400
    (l, tp, r, b), = bar_frame(tv, lambda t: t.jusbar(jus), zlen=zlen)
    assert b - tp == zlen - 1
    bottom = {"STAR": Y, "CENT": Y - (H - zlen) / 2, "END": Y - (H - zlen)}[jus]
    assert abs(b - bottom) < 0.51


def test_bars_below_and_left_clear_the_axis_labels(tv):
    def page(t, pos):
        t.posbar(pos)
        t.name("X name", "X")
        t.name("Y name", "Y")
        colour_system(t)
        t.endgrf()
    bottom = strokes(tv, lambda t: page(t, "BOTT"))
    (l, tp, r, b), = [rc for rc in rectangles(bottom) if rc[1] > Y]
    assert (l, r) == (X, X + W - 1) and b - tp == 85
    # everything between the system and the bar lies above the bar (labels and name of X)
    between = [st for st in bottom if bbox([st])[1] > Y + 1 and bbox([st])[3] < tp]
    assert between and max(bbox([st])[3] for st in between) < tp - 80
    left = strokes(tv, lambda t: page(t, "LEFT"))
    (l, tp, r, b), = [rc for rc in rectangles(left) if rc[2] < X - 1]
    assert (tp, b) == (Y - H + 1, Y) and r - l == 85
    ylabels = [st for st in left if bbox([st])[0] > r + 1 and bbox([st])[2] < X - 1]
    assert ylabels and min(bbox([st])[0] for st in ylabels) > r + 80


def test_bar_above_pushes_the_titles_up(tv):
    def page(t, pos, shift=0, title=True):
        t.posbar(pos)
        t.vkytit(shift)
        t.name("Z name", "Z")
        t.titlin("Title", 4)
        colour_system(t)
        if title:
            t.title()
        t.endgrf()
    top = strokes(tv, lambda t: page(t, "TOP"))
    bare = strokes(tv, lambda t: page(t, "TOP", title=False))
    (l, tp, r, b), = [rc for rc in rectangles(top) if rc[3] < Y - H]
    assert b == Y - H + 1 - 85 and b - tp == 85
    highest = min(bbox([st])[1] for st in top)
    title = top[len(bare):]
    assert title and len(top) > len(bare)
    # the title stands above the bar's labels and name
    z_parts = [st for st in bare if bbox([st])[3] < tp - 1]
    assert z_parts and bbox(title)[3] < min(bbox([st])[1] for st in z_parts)
    # vkytit moves the title and nothing else
    up = strokes(tv, lambda t: page(t, "TOP", 50))
    assert min(bbox([st])[1] for st in up) == pytest.approx(highest - 50, abs=0.02)
    right = strokes(tv, lambda t: page(t, "FIXE"))
    assert min(bbox([st])[1] for st in right) > highest + 100


# --- colours

def png_bar(tv, setup=None):
    tv.metafl("PNG")
    tv.filmod("DELETE")
    tv.imgfmt("RGB")
    tv.scrmod("REVERS")
    tv.winsiz(2969, 2099)            # one pixel per plot unit
    tv.tavini()
    tv.unit(0)
    name = tv.getfil()
    w, h = tv.getpag()
    if setup:
        setup(tv)
    colour_system(tv)
    # the middles of the colours 20, 70, 127, 190 and 240 (254 colours over 0..10)
    values = [(k - 0.5) / 25.4 for k in (20, 70, 127, 190, 240)]
    idx = [0] * 5
    tv.colray(values, idx, 5)
    rgb = [tuple(int(255 * c + 0.5) for c in tv.getind(k)) for k in idx]
    tv.endgrf()
    tv.tavfin()
    img = Image.open(name).convert("RGB")
    return img, img.size[0] / w, values, rgb


def test_bar_colours_run_along_the_z_axis(tv):
    img, s, values, rgb = png_bar(tv)
    x = X + W - 1 + 85 + 42
    for v, colour in zip(values, rgb):
        y = Y - (H - 1) * v / 10
        assert img.getpixel((round(x * s), round(y * s))) == colour


def test_horizontal_bar_colours_run_left_to_right(tv):
    img, s, values, rgb = png_bar(tv, lambda t: t.posbar("TOP"))
    y = Y - H + 1 - 85 - 42
    for v, colour in zip(values, rgb):
        x = X + (W - 1) * v / 10
        assert img.getpixel((round(x * s), round(y * s))) == colour


def test_nofill_leaves_the_axis_area_unfilled(tv):
    def page(t, nofill):
        t.metafl("PNG")
        t.filmod("DELETE")
        t.imgfmt("RGB")
        t.scrmod("REVERS")
        t.tavini()
        name = t.getfil()
        w, _ = t.getpag()
        t.axsbgd(3)
        if nofill:
            t.nofill()
        t.axspos(X, Y)
        t.axslen(W, H)
        t.graf(0, 1, 0, 0.5, 0, 1, 0, 0.5)
        t.endgrf()
        t.tavfin()
        img = Image.open(name).convert("RGB")
        sc = img.size[0] / w
        return img.getpixel((round((X + 300) * sc), round((Y - 300) * sc)))
    filled, empty = page(tv, False), page(tv, True)
    assert empty == (255, 255, 255) and filled != empty


# --- coordinate getters

def test_getico_and_getrco_convert_both_ways(tv, capfd):
    tv.metafl("GKSL")
    tv.tavini()
    tv.unit(6)
    capfd.readouterr()
    assert tv.getico(2.0, 3.0) == (2.0, 3.0)
    assert tv.getrco(500.0, 600.0) == (500.0, 600.0)
    assert capfd.readouterr().out.count("Warning 3: Incorrect level") == 2
    tv.axspos(400, 1500)
    tv.axslen(1001, 801)
    tv.axsscl("LOG", "Y")
    tv.graf(0, 10, 0, 2, 0, 4, 0, 1)
    xp, yp = tv.getico(5.0, 100.0)
    assert (xp, yp) == pytest.approx((900.0, 1100.0))
    assert (xp, yp) == pytest.approx(tv.pos2pt(5.0, 100.0))
    assert tv.getrco(xp, yp) == pytest.approx((5.0, 100.0))
    for x, y in [(0.0, 1.0), (10.0, 1e4), (3.3, 77.0)]:
        assert tv.getrco(*tv.getico(x, y)) == pytest.approx((x, y))
    capfd.readouterr()
    assert tv.getico(float("nan"), 1.0)[1] == 1.0
    assert tv.getrco(1.0, float("inf")) == (1.0, float("inf"))
    assert capfd.readouterr().out.count("Warning 2: Incorrect parameter") == 2
    tv.endgrf()
    tv.pagorg("BOTTOM")
    tv.graf(0, 10, 0, 2, 0, 4, 0, 1)
    assert tv.getico(5.0, 100.0) == pytest.approx(tv.pos2pt(5.0, 100.0))
    assert tv.getrco(*tv.getico(2.0, 50.0)) == pytest.approx((2.0, 50.0))
    tv.endgrf()
