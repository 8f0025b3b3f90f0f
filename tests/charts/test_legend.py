"""Legends: the buffer routines and their messages, the measured size of the box, the layouts,
the placement, and the patterns drawn for curves, symbols, shadings and legpat lines."""
import pytest

from chartutil import strokes_of, warnings

H, L = 36, 1.5                       # default character height and line spacing
P, M, D, S = 4 * H, 0.5 * L * H, 1 * H, 2 * H
TITLE_H = int(1.5 * L * H)
FRAME = 1


def two_curves(t, **kw):
    t.incmrk(kw.get("incmrk", 0))
    t.curve([1.0, 2.0], [1.0, 2.0], 2)
    t.curve([1.0, 2.0], [2.0, 3.0], 2)


def fresh(tv):
    tv.tavini()
    tv.nograf()
    tv.graf(0.0, 10.0, 0.0, 2.0, 0.0, 10.0, 0.0, 2.0)


# --- messages

def test_legend_messages(tv, capfd):
    fresh(tv)
    tv.leglin(" ", "x", 1)
    tv.legtit("t")
    assert tv.nxlegn(" ") == 0 and tv.nylegn(" ") == 0
    tv.legend(" ", 1)
    w = warnings(capfd)
    assert len(w) == 5 and all("15: No call to legini before in" in x for x in w)
    tv.legini(" ", 3, 5)
    tv.legtyp("hori")
    tv.leglin(" ", "too long", 1)
    tv.leglin(" ", "ok", 4)
    tv.legini(" ", 81, 5)
    w = warnings(capfd)
    assert "182: legtyp must be called before legini in legtyp" in w[0]
    assert "16: Too long string for legend line in leglin" in w[1]
    assert "2: Incorrect parameter in leglin!   ( 4)" in w[2]
    assert "2: Incorrect parameter in legini!   ( 81)" in w[3]
    tv.legini(" ", 3, 8)
    two_curves(tv)
    for k in (1, 2, 3):
        tv.leglin(" ", "line %d" % k, k)
    tv.legend(" ", 11)
    tv.legend(" ", 7)
    w = warnings(capfd)
    assert "2: Incorrect parameter in legend!   ( 11)" in w[0]
    assert w[1].endswith("42: More legend lines than calls to curve in legend!   ( 1)")
    assert len(w) == 2


def test_legpat_and_legsel_messages(tv, capfd):
    fresh(tv)
    tv.legini(" ", 3, 8)
    tv.legpat(0, 1, -1, -1, -1, 1)
    tv.legpat(8, 1, 24, -1, -1, 2)
    tv.legsel([1, 5], 2)
    tv.legsel([0], 1)
    w = warnings(capfd)
    assert "in legpat!   ( 8)" in w[0] and "in legpat!   ( 24)" in w[1]
    assert "in legsel!   ( 0)" in w[2]
    tv.legend(" ", 7)
    w = warnings(capfd)
    assert "Undefined legend line by legsel in legend!   ( 5)" in w[0]
    assert len(w) == 1                   # line 1 has its legpat record
    tv.legsel([1], -1)
    tv.legend(" ", 7)
    w = warnings(capfd)
    assert [x.split("!")[1].strip() for x in w] == ["( 2)", "( 3)"]
    assert all("Undefined legend line in legend" in x for x in w)


# --- size of the box

def test_box_size_follows_the_rules(tv):
    fresh(tv)
    tv.legini(" ", 2, 20)
    tv.leglin(" ", "first", 1)
    tv.leglin(" ", "the second", 2)
    two_curves(tv)
    wmax = max(tv.nlmess("first"), tv.nlmess("the second"))
    tv.legtit("")
    assert tv.nxlegn(" ") == round(wmax + P + D + 2 * M + 2 * FRAME)
    assert tv.nylegn(" ") == round(H * L + H + 2 * M + 2 * FRAME)
    tv.legtit("Legend")
    assert tv.nylegn(" ") == round(TITLE_H + H * L + H + 2 * M + 2 * FRAME)
    long_title = "A title much wider than all the entries"
    tv.legtit(long_title)
    assert tv.nxlegn(" ") == round(tv.nlmess(long_title) + 2 * M + 2 * FRAME)


def test_horizontal_and_table_layouts(tv):
    fresh(tv)
    tv.legtyp("hori")
    tv.legini(" ", 3, 10)
    for k, s in enumerate(("aa", "bbbb", "c"), 1):
        tv.leglin(" ", s, k)
    tv.legtit("")
    two_curves(tv)
    tv.curve([1.0, 2.0], [3.0, 4.0], 2)
    widths = [tv.nlmess(s) for s in ("aa", "bbbb", "c")]
    assert tv.nxlegn(" ") == round(2 * S + sum(widths) + 3 * (P + D) + 2 * M + 2 * FRAME)
    assert tv.nylegn(" ") == round(H + 2 * M + 2 * FRAME)
    tv.endgrf()
    tv.tavfin()
    fresh(tv)
    two_curves(tv)
    tv.legtyp("tabl")
    tv.legini(" ", 3, 10)
    for k, s in enumerate(("aa", "bbbb", "c"), 1):
        tv.leglin(" ", s, k)
    tv.legtit("")
    tv.legtbl(2, "hori")            # rows: (aa, bbbb), (c)
    col = [max(widths[0], widths[2]), widths[1]]
    assert tv.nxlegn(" ") == round(S + sum(col) + 2 * (P + D) + 2 * M + 2 * FRAME)
    assert tv.nylegn(" ") == round(H * L + H + 2 * M + 2 * FRAME)


def test_symbols_only_halve_the_pattern_and_lengths_may_be_absolute(tv):
    fresh(tv)
    tv.legini(" ", 2, 8)
    tv.leglin(" ", "a", 1)
    tv.leglin(" ", "b", 2)
    tv.legtit("")
    two_curves(tv, incmrk=-1)
    w = tv.nlmess("a")
    assert tv.nxlegn(" ") == round(w + P / 2 + D + 2 * M + 2 * FRAME)
    tv.legval(-100.0, "patt")
    tv.legval(-10.0, "marg")
    tv.legval(-7.0, "dist")
    base = tv.nxlegn(" ")
    assert base == round(w + 50 + 7 + 20 + 2 * FRAME)
    tv.height(72)                    # only the text grows with the height
    assert tv.nxlegn(" ") == round(tv.nlmess("a") + 50 + 7 + 20 + 2 * FRAME)


# --- drawing

def test_patterns_stand_where_the_layout_says(tv):
    def body(t):
        t.chncrv("line")
        t.curve([1.0, 2.0], [1.0, 2.0], 2)          # solid
        t.curve([1.0, 2.0], [2.0, 3.0], 2)          # dotted
        t.legini(" ", 2, 8)
        t.leglin(" ", "one", 1)
        t.leglin(" ", "two", 2)
        t.legpos(300, 200)
        t.legend(" ", 1)
    strokes = strokes_of(tv, body)
    x0 = 300 + FRAME + M
    y1 = 200 + FRAME + M + TITLE_H + H / 2
    solid = [s for s in strokes if len(s) == 2 and abs(s[0][1] - y1) < 0.01 and abs(s[1][1] - y1) < 0.01]
    assert len(solid) == 1 and solid[0][0][0] == pytest.approx(x0, abs=0.01)
    assert solid[0][1][0] == pytest.approx(x0 + P, abs=0.01)
    dots = [s for s in strokes if abs(s[0][1] - (y1 + H * L)) < 0.01 and abs(s[-1][1] - (y1 + H * L)) < 0.01]
    assert len(dots) > 10 and min(s[0][0] for s in dots) == pytest.approx(x0, abs=0.01)
    frame = [s for s in strokes if len(s) == 5 and s[0] == pytest.approx((300, 200), abs=0.01)]
    assert len(frame) == 1


def test_automatic_corner_on_the_page(tv):
    def body(t):
        t.curve([1.0, 2.0], [1.0, 2.0], 2)
        t.legini(" ", 1, 8)
        t.leglin(" ", "one", 1)
        got["w"], got["h"] = t.nxlegn(" "), t.nylegn(" ")
        t.legend(" ", 3)
    got = {}
    strokes = strokes_of(tv, body)
    w, h = got["w"], got["h"]
    frames = [s for s in strokes if len(s) == 5 and abs((max(p[0] for p in s) - min(p[0] for p in s)) - (w - 1)) < 0.6
              and abs((max(p[1] for p in s) - min(p[1] for p in s)) - (h - 1)) < 0.6]
    assert len(frames) == 1
    left = min(p[0] for p in frames[0])
    top = min(p[1] for p in frames[0])
    assert left == pytest.approx(2969 - M - w + 2, abs=0.6) and top == pytest.approx(M, abs=0.6)


def test_shaded_entries_and_legend_colours(tv):
    def body(t):
        t.shdpat(16)
        t.bars([2.0, 4.0], [0.0, 0.0], [3.0, 4.0], 2)
        t.legini(" ", 1, 8)
        t.leglin(" ", "bars", 1)
        t.legpos(300, 200)
        t.legend(" ", 1)
    strokes = strokes_of(tv, body)
    x0, y0 = 300 + FRAME + M, 200 + FRAME + M + TITLE_H
    swatch = [s for s in strokes if s and s[0] == pytest.approx((x0, y0), abs=0.01)]
    assert swatch and max(p[0] for p in swatch[0]) == pytest.approx(x0 + P, abs=0.01)
    assert max(p[1] for p in swatch[0]) == pytest.approx(y0 + H, abs=0.01)
