"""The text engine: lengths, continuation, justification, attributes, alphabets, shift
characters, code tables and instruction codes, checked on the strokes it draws."""
import math

import pytest

from textutil import bbox, same, strokes


def setup(tv, font="complx"):
    tv.metafl("GKSL")
    tv.tavini()
    tv.unit(0)
    getattr(tv, font)()


# --- lengths

def test_trailing_blanks_and_blank_width(tv):
    setup(tv)
    assert tv.nlmess("AB    ") == tv.nlmess("AB")
    # complx: blank of 9 grid units on a grid of 20, gap 0.25 h
    h = tv.gethgt()
    assert abs((tv.nlmess("A B") - tv.nlmess("AB")) - (9 * (h - 1) / 20 + 0.25 * h)) <= 1
    assert tv.nlmess("A\x01B") == tv.nlmess("A B")          # codes below 32 are blanks
    assert tv.nlmess("   ") == 0
    tv.tavfin()
    assert same(strokes(tv, lambda t: t.messag("AB   ", 100, 100)),
                strokes(tv, lambda t: t.messag("AB", 100, 100)))


def test_font1_advances_every_character_alike(tv):
    setup(tv, "tavalf")
    h = tv.gethgt()
    lengths = {tv.nlmess(chr(c) * 3) for c in range(33, 127)}
    assert lengths == {3 * (h - 1)}
    tv.chawth(0.5)
    assert tv.nlmess("WWWW") == round(4 * (h - 1) * 0.5)
    tv.chaspc(0.5)
    assert tv.nlmess("WW") == round(2 * (h - 1) * 0.5 + 0.5 * h)


def test_height_scales_lengths(tv):
    setup(tv)
    tv.height(20)
    short = tv.nlmess("Hello")
    tv.height(200)
    # glyphs grow with h - 1, gaps with h
    assert short * 10 <= tv.nlmess("Hello") <= short * 199 / 19 + 1


def test_continuation_keeps_the_gap(tv):
    def pieces(t):
        t.messag("AB", 200, 300)
        t.messag("CD", 999, 999)
        t.messag(" E", 999, 999)

    assert same(strokes(tv, pieces), strokes(tv, lambda t: t.messag("ABCD E", 200, 300)))


@pytest.mark.parametrize("ang", [0, 30, 90, 135, 200, -45])
def test_centred_text_for_any_angle(tv, ang):
    def centred(t):
        t.complx()
        t.angle(ang)
        t.txtjus("CENT")
        t.txtjus("MIDD")
        t.messag("Centre", 1400, 1000)

    def by_hand(t):
        t.complx()
        t.angle(ang)
        n, h, a = t.nlmess("Centre"), t.gethgt(), math.radians(ang)
        dx, dy = n / 2, h / 2
        x = int(1400 - dx * math.cos(a) - dy * math.sin(a) + 0.5)
        y = int(1000 + dx * math.sin(a) - dy * math.cos(a) + 0.5)
        t.messag("Centre", x, y)

    a = strokes(tv, centred)
    assert same(a, strokes(tv, by_hand))
    if ang == 0:
        x0, y0, x1, y1 = bbox(a)
        assert abs((x0 + x1) / 2 - 1400) < 6 and abs((y0 + y1) / 2 - 1000) < 12


def test_angle_rotates_the_text(tv):
    flat = strokes(tv, lambda t: t.messag("Rot", 1000, 1000))
    up = strokes(tv, lambda t: (t.angle(90), t.messag("Rot", 1000, 1000)))
    # 90 degrees: the text runs upwards from the corner, the base line to the right of it
    fx0, fy0, fx1, fy1 = bbox(flat)
    ux0, uy0, ux1, uy1 = bbox(up)
    assert abs((fx1 - fx0) - (uy1 - uy0)) < 0.05 and abs((fy1 - fy0) - (ux1 - ux0)) < 0.05
    assert uy1 <= 1000 + 0.01 and ux0 >= 1000 - 0.01


def test_attribute_limits(tv, capfd):
    setup(tv)
    tv.unit(6)
    tv.chaang(60)
    tv.chaang(-60)
    tv.chaang(60.5)
    tv.chawth(2.0)
    tv.chawth(1.99)
    tv.height(0)
    tv.fixspc(0)
    out = capfd.readouterr().out.splitlines()
    assert out == [" <<<< Warning 2: Incorrect parameter in chaang!",
                   " <<<< Warning 2: Incorrect parameter in chawth!",
                   " <<<< Warning 2: Incorrect parameter in height!   ( 0)",
                   " <<<< Warning 2: Incorrect parameter in fixspc!"]
    assert tv.gethgt() == 36


def test_shear_slants_but_keeps_length(tv):
    setup(tv)
    n = tv.nlmess("IIII")
    tv.chaang(30)
    assert tv.nlmess("IIII") == n
    tv.tavfin()
    upright = strokes(tv, lambda t: t.messag("I", 500, 500))
    slanted = strokes(tv, lambda t: (t.chaang(30), t.messag("I", 500, 500)))
    (x0, y0, x1, y1), (s0, t0, s1, t1) = bbox(upright), bbox(slanted)
    assert abs((s1 - s0) - (x1 - x0) - math.tan(math.radians(30)) * (y1 - y0)) < 0.5


def test_page_warnings(tv, capfd):
    setup(tv)
    tv.unit(6)
    tv.messag("outside", 3500, 100)
    tv.messag("long text running off the page", 2800, 100)
    tv.messag("below", 100, 2200)
    out = capfd.readouterr().out.splitlines()
    assert out[0] == " <<<< Warning 4: Startpoint ( 3500/  100) out of page in messag!"
    assert out[1].startswith(" <<<< Warning 4: Endpoint (") and out[2].startswith(" <<<< Warning 4: Endpoint (")
    assert out[3] == " <<<< Warning 5: Startpoint (  100/ 2200) out of page in messag!"
    assert len(out) == 5


def test_frame_and_background(tv):
    plain = strokes(tv, lambda t: t.messag("Box", 500, 500))
    framed = strokes(tv, lambda t: (t.frmess(2), t.messag("Box", 500, 500)))
    extra = [s for s in framed if s not in plain]
    assert len(extra) == 2 and all(len(s) == 5 and s[0] == s[-1] for s in extra)
    x0, y0, x1, y1 = bbox(plain)
    fx0, fy0, fx1, fy1 = bbox(extra)
    assert fx0 < x0 and fy0 < y0 and fx1 > x1 and fy1 > y1


def test_text_background_on_postscript(tv):
    tv.metafl("PS")
    tv.setfil("bg.ps")
    tv.tavini()
    tv.unit(0)
    tv.txtbgd(3)
    tv.messag("Label", 500, 500)
    tv.tavfin()
    body = open("bg.ps").read().split("%%EndProlog")[-1]
    # the box is filled before the text is drawn over it
    assert body.find(" e ") < body.find(" d ", body.find(" e "))


# --- alphabets and shift characters

def test_national_shift_characters(tv, capfd):
    setup(tv)
    tv.unit(6)
    tv.eushft("GERM", '"')
    assert tv.getshf("GERM") == '"'
    tv.eushft("DANI", '"')                       # already used by GERM
    out = capfd.readouterr().out.splitlines()
    assert out == [" <<<< Warning 57: Control characters must be different in eushft!"]
    assert tv.nlmess('"A') == tv.nlmess("\x7f")  # STAN code 127 is the A umlaut
    assert tv.nlmess('"x') == tv.nlmess('"x')
    out = capfd.readouterr().out
    assert out.count("Warning 18: Incorrect character after the eushft operator in nlmess!") == 2
    assert tv.nlmess('""') == tv.nlmess('"') and capfd.readouterr().out.count("Warning 18") == 1
    tv.chacod("UTF8")
    assert tv.nlmess('"u') == tv.nlmess("\u00fc")
    tv.tavfin()
    a = strokes(tv, lambda t: (t.eushft("GERM", "!"), t.chacod("UTF8"), t.messag("Gr!u!se", 99, 99)))
    b = strokes(tv, lambda t: (t.chacod("UTF8"), t.messag("Gr\u00fc\u00dfe", 99, 99)))
    assert a and same(a, b)


def test_code_tables_reach_greek_and_cyrillic(tv):
    a = strokes(tv, lambda t: (t.chacod("UTF8"), t.messag("\u03b1\u0416", 300, 300)))
    b = strokes(tv, lambda t: (t.smxalf("GREE", "<", ">", 1), t.smxalf("RUSS", "[", "]", 2),
                               t.messag("<a>[V]", 300, 300)))
    assert a and same(a, b)


def test_utf8_overflow_draws_nothing(tv, capfd):
    paths = strokes(tv, lambda t: (t.unit(6), t.chacod("UTF8"), t.messag("\u00e9" * 257, 10, 10)))
    assert paths == []
    assert "Warning 123: Not enough space in array in messag!" in capfd.readouterr().out


def test_shift_alphabets(tv, capfd):
    setup(tv)
    tv.unit(6)
    tv.smxalf("STAN", "{", "}", 1)
    assert "Warning 19: The basealphabet cannot be used in smxalf!" in capfd.readouterr().out
    tv.smxalf("GREE", "{", "}", 1)
    assert tv.gmxalf("GREE") == ("{", "}", 1)
    greek = tv.nlmess("{abc}")
    tv.basalf("GREE")
    assert tv.getalf() == "GREEK"
    assert tv.nlmess("abc") == greek
    tv.tavfin()
    a = strokes(tv, lambda t: (t.smxalf("GREE", "{", "}", 1), t.messag("x{p}y", 400, 400)))
    b = strokes(tv, lambda t: (t.messag("x", 400, 400), t.basalf("GREE"), t.messag("p", 999, 999),
                               t.basalf("STAN"), t.messag("y", 999, 999)))
    assert same(a, b)


def test_exponents_and_indices(tv):
    setup(tv)
    plain = tv.nlmess("x2y")
    tv.newmix()
    assert tv.getmix("EXP") == "^" and tv.getmix("RES") == "%"
    assert tv.nlmess("x^2%y") < plain
    tv.setexp(1.0)
    tv.setbas(0.0)
    assert tv.nlmess("x^2%y") == plain
    tv.tavfin()
    base = strokes(tv, lambda t: t.messag("x", 400, 400))
    up = strokes(tv, lambda t: (t.newmix(), t.messag("x^x", 400, 400)))
    down = strokes(tv, lambda t: (t.newmix(), t.messag("x_x", 400, 400)))
    raised = bbox(up[len(base):])
    lowered = bbox(down[len(base):])
    assert raised[3] < bbox(base)[3] and lowered[3] > bbox(base)[3]   # y grows downwards
    assert raised[3] - raised[1] < bbox(base)[3] - bbox(base)[1]


def test_instruction_codes(tv, capfd):
    setup(tv)
    tv.unit(6)
    tv.smxalf("INST", "{", "}", 1)
    h = tv.gethgt()
    single = tv.nlmess("A")
    tv.height(2 * h)
    twice = tv.nlmess("A")
    tv.height(h)
    assert abs(tv.nlmess("{H2}A") - twice) <= 1
    assert tv.nlmess("A{T500}") == single
    assert tv.nlmess("{T500}A") == 500 + single
    for bad, code in (("{Q}", 46), ("{G25}", 44), ("{C1.5}", 45), ("{W3}", 43), ("{E2}", 43), ("{Ax}", 45)):
        tv.nlmess("A" + bad + "B")
        assert f"Warning {code}:" in capfd.readouterr().out
    assert tv.nlmess("A{Q}B") == tv.nlmess("AB")        # a bad instruction is ignored


def test_getters_and_reset(tv):
    setup(tv)
    tv.height(50)
    tv.angle(30)
    tv.basalf("RUSS")
    assert (tv.gethgt(), tv.getang(), tv.getalf()) == (50, 30, "RUSSIAN")
    tv.reset("HEIGHT")
    tv.reset("ANGLE")
    tv.reset("BASALF")
    assert (tv.gethgt(), tv.getang(), tv.getalf()) == (36, 0, "STANDARD")
    assert tv.getshf("GERM") == ""
