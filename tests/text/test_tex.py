"""TeX mode: layout relations read back from the strokes and from nlmess, the equivalence of
TeX commands with the plain alphabets, every syntax message, and strings that must not crash."""
import random

import pytest
from PIL import Image

from textutil import bbox, same, strokes


def tex(tv, setup=None):
    tv.metafl("GKSL")
    tv.tavini()
    tv.unit(0)
    tv.complx()
    tv.texmod("ON")
    if setup:
        setup(tv)


def drawn(tv, s, x=300, y=600, height=60, before=None):
    """Strokes of one TeX string drawn with complx at the given height."""
    def body(t):
        t.complx()
        t.height(height)
        if before:
            before(t)
        t.texmod("ON")
        t.messag(s, x, y)
    return strokes(tv, body)


def extra(whole, part):
    """The strokes of `whole` that `part` (drawn at the same place) does not have."""
    rest = list(whole)
    for st in part:
        for k, cand in enumerate(rest):
            if same([cand], [st]):
                del rest[k]
                break
    return rest


# --- layout relations

def test_exponent_is_raised_and_smaller_index_is_lowered(tv):
    h = 60
    base = drawn(tv, "x")
    two = bbox(drawn(tv, "2"))
    sup = bbox(extra(drawn(tv, "x^2"), base))
    sub = bbox(extra(drawn(tv, "x_2"), base))
    plain_h = two[3] - two[1]
    # smaller by the EXP factor (glyphs scale with h - 1)
    assert abs((sup[3] - sup[1]) - plain_h * (round(0.8 * h) - 1) / (h - 1)) < 1
    assert abs((sub[3] - sub[1]) - (sup[3] - sup[1])) < 0.05
    # raised above, lowered below the base line of the plain digit (y grows downwards)
    assert sup[3] < two[3] - 0.4 * h
    assert sub[3] > two[3] + 0.2 * h
    # after x, not on it
    assert sup[0] > bbox(base)[2]
    # texval EXP changes the factor
    small = bbox(extra(drawn(tv, "x^2", before=lambda t: t.texval(0.5, "EXP")), base))
    assert abs((small[3] - small[1]) - plain_h * (round(0.5 * h) - 1) / (h - 1)) < 1


def test_exponent_and_index_stack_on_one_base(tv):
    tex(tv)
    both, sup, sub = tv.nlmess("x^2_3"), tv.nlmess("x^2"), tv.nlmess("x_3")
    assert both == max(sup, sub)
    assert tv.nlmess("x^{22}_3") == tv.nlmess("x^{22}")
    base = drawn(tv, "x")
    s = extra(drawn(tv, "x^2_3"), base)
    lo = [st for st in s if bbox([st])[1] < bbox(base)[1]]
    hi = [st for st in s if bbox([st])[3] > bbox(base)[3]]
    assert lo and hi
    assert bbox(lo)[3] < bbox(hi)[1]          # exponent strictly above the index


def test_fraction_puts_numerator_over_centred_denominator(tv):
    paths = drawn(tv, r"\frac{1}{abc}")
    flat = [st for st in paths if len(st) == 2 and abs(st[0][1] - st[1][1]) < 1e-6]
    bar = max(flat, key=lambda st: abs(st[0][0] - st[1][0]))
    (bx0, by), (bx1, _) = sorted(bar)
    above = [st for st in paths if st is not bar and bbox([st])[3] < by]
    below = [st for st in paths if st is not bar and bbox([st])[1] > by]
    assert len(above) + len(below) == len(paths) - 1
    na, nb = bbox(above), bbox(below)
    mid = (bx0 + bx1) / 2
    # both centred on the bar, the bar longer than either
    assert abs((na[0] + na[2]) / 2 - mid) < 3 and abs((nb[0] + nb[2]) / 2 - mid) < 3
    assert bx1 - bx0 > max(na[2] - na[0], nb[2] - nb[0])
    # the denominator is as wide as abc at the reduced height
    tex(tv)
    tv.height(60)
    assert abs(tv.nlmess(r"\frac{1}{abc}") - tv.nlmess(r"{\scriptstyle abc}") - 0.3 * 60) <= 1


def test_root_sign_spans_its_argument(tv):
    body = bbox(drawn(tv, "x+1", x=400))
    paths = drawn(tv, r"\sqrt{x+1}", x=400)
    top = min(bbox([st])[1] for st in paths)
    sign = [st for st in paths if bbox([st])[1] == top][0]
    sx0, sy0, sx1, sy1 = bbox([sign])
    inner = bbox(extra(paths, [sign]))
    assert sx1 >= inner[2] and sy0 < inner[1]          # the bar covers the radicand
    assert sy1 >= inner[3] - 1                         # the sign reaches down to its base line
    assert abs((inner[2] - inner[0]) - (body[2] - body[0])) < 0.05
    # an index makes it wider, never narrower
    tex(tv)
    assert tv.nlmess(r"\sqrt[3]{x+1}") >= tv.nlmess(r"\sqrt{x+1}") > tv.nlmess("x+1")


def test_brackets_grow_with_their_contents(tv):
    def left_height(s):
        paths = drawn(tv, s)
        x0 = bbox(paths)[0]
        first = [st for st in paths if bbox([st])[0] < x0 + 2]
        b = bbox(first)
        return b[3] - b[1]
    small = left_height(r"\left( x \right)")
    big = left_height(r"\left( \frac{\frac{1}{2}}{\frac{3}{4}} \right)")
    assert big > small * 1.2
    assert left_height(r"\Bigg( x") > left_height(r"\big( x") > 0
    # never smaller than the font's own bracket beside plain text
    plain = bbox(drawn(tv, "(x)", before=lambda t: t.texmod("OFF")))
    assert small >= (plain[3] - plain[1]) - 0.5
    # drawn as vectors: other strokes, the same layout
    tex(tv)
    n = tv.nlmess(r"\left( \frac{a}{b} \right]")
    tv.texopt("VECT", "BRAC")
    assert tv.nlmess(r"\left( \frac{a}{b} \right]") == n
    tv.tavfin()
    assert not same(drawn(tv, r"\left( x \right)"),
                    drawn(tv, r"\left( x \right)", before=lambda t: t.texopt("VECT", "BRAC")))


def test_limits_beside_or_above_big_operators(tv):
    tex(tv)
    beside = tv.nlmess(r"\int_0^{100}")
    assert tv.nlmess(r"\int\nolimits_0^{100}") == beside
    above = tv.nlmess(r"\int\limits_0^{100}")
    assert above < beside
    tv.texopt("ON", "LIMI")
    assert tv.nlmess(r"\int_0^{100}") == above
    assert tv.nlmess(r"\int\nolimits_0^{100}") == beside
    tv.tavfin()
    on = bbox(drawn(tv, r"\prod_{k=1}^{n}", before=lambda t: t.texopt("ON", "LIMI")))
    off = bbox(drawn(tv, r"\prod_{k=1}^{n}"))
    assert on[3] - on[1] > off[3] - off[1]


# --- widths and equivalences

def test_plain_text_is_unchanged_by_tex_mode(tv):
    for s in ["Hello", "a b  c", "x=1.5"]:
        assert same(drawn(tv, s), drawn(tv, s, before=lambda t: t.texmod("OFF")))
    # the TeX character of setmix only marks the maths
    assert same(drawn(tv, "$a^2$ b"), drawn(tv, "a^2 b"))


def test_space_commands_advance_by_eighteenths_of_the_height(tv):
    tex(tv)
    tv.height(72)
    ref = tv.nlmess("a{}b")
    for cmd, eighteenths in [(r"\quad", 18), (r"\qquad", 36), (r"\,", 3), (r"\:", 4), (r"\;", 5),
                             (r"\!", -3)]:
        assert abs(tv.nlmess("a" + cmd + "{}b") - ref - 72 * eighteenths / 18) <= 1, cmd


def test_size_switches_take_factors_of_the_start_height(tv):
    assert same(drawn(tv, r"\Huge\normalsize AB"), drawn(tv, "AB"))
    tex(tv)
    tv.height(50)
    for cmd, f in [(r"\tiny", 0.482), (r"\small", 0.83), (r"\Large", 1.44), (r"\Huge", 2.488)]:
        big = tv.nlmess(cmd + " W")
        tv.texmod("OFF")
        tv.height(round(50 * f))
        assert big == tv.nlmess("W"), cmd
        tv.height(50)
        tv.texmod("ON")
    # a group ends its size switch: the second W has the start height again
    huge = round(50 * 2.488)
    assert abs(tv.nlmess(r"{\Huge W}W") - (tv.nlmess(r"\Huge W") + 0.25 * huge + tv.nlmess("W"))) <= 1


# the GREE alphabet keeps the Symbol layout (g gamma, c chi); MATH codes from its table
@pytest.mark.parametrize("cmd,alphabet,plain", [
    (r"\alpha", "GREE", "a"), (r"\gamma", "GREE", "g"), (r"\chi", "GREE", "c"),
    (r"\psi", "GREE", "y"), (r"\Gamma", "GREE", "G"), (r"\Upsilon", "GREE", "U"),
    (r"\pm", "MATH", "!"), (r"\le", "MATH", "&"), (r"\infty", "MATH", "Y"), (r"\in", "MATH", "E"),
])
def test_greek_and_math_commands_draw_the_alphabet_characters(tv, cmd, alphabet, plain):
    assert same(drawn(tv, cmd), drawn(tv, plain, before=lambda t: (t.texmod("OFF"), t.basalf(alphabet))))


def test_functions_stay_upright_when_letters_are_italic(tv):
    roman = drawn(tv, r"\sin")
    assert same(roman, drawn(tv, "sin"))
    italic = lambda t: t.texopt("ON", "ITAL")
    assert same(drawn(tv, r"\sin", before=italic), roman)
    assert not same(drawn(tv, "sin", before=italic), roman)
    assert same(drawn(tv, r"{\rm sin}", before=italic), roman)
    # \it switches to the ITAL alphabet
    assert same(drawn(tv, r"\it sin"), drawn(tv, "sin", before=lambda t: (t.texmod("OFF"), t.basalf("ITAL"))))


def test_continuation_after_a_tex_string(tv):
    def two(t):
        t.complx()
        t.texmod("ON")
        t.messag("a^2", 300, 300)
        t.messag("b", 999, 999)
    def one(t):
        t.complx()
        t.texmod("ON")
        t.messag("a^2b", 300, 300)
    assert same(strokes(tv, two), strokes(tv, one))


def test_colour_commands_colour_their_group_only(tv):
    tv.metafl("PNG")
    tv.filmod("DELETE")
    tv.imgfmt("RGB")
    tv.tavini()
    tv.unit(0)
    name = tv.getfil()
    tv.height(300)
    tv.texmod("ON")
    tv.messag(r"{\red I}I", 200, 200)
    tv.tavfin()
    img = Image.open(name).convert("RGB")
    w, h = img.size
    red = lambda p: p[0] > 200 and p[1] < 60 and p[2] < 60
    xs_red = [x for x in range(w) for y in range(0, h, 2) if red(img.getpixel((x, y)))]
    xs_white = [x for x in range(w) for y in range(0, h, 2) if min(img.getpixel((x, y))) > 200]
    assert xs_red and xs_white
    assert max(xs_red) < min(xs_white)


def test_tex_reaches_axis_names_titles_and_legends(tv):
    """A page in TeX mode equals the page drawn with the GREE shift alphabet."""
    def page(texmode):
        def body(t):
            t.complx()
            if texmode:
                t.texmod("ON")
                a, b, c = r"\alpha", r"\beta", r"\gamma"
            else:
                t.smxalf("GREE", "<", ">", 1)
                a, b, c = "<a>", "<b>", "<g>"
            t.name(a, "X")
            t.titlin(b, 1)
            t.graf(0, 1, 0, 1, 0, 1, 0, 1)
            t.title()
            t.curve([0.0, 1.0], [0.0, 1.0], 2)
            t.legini(" ", 1, 8)
            t.leglin(" ", c, 1)
            t.legend(" ", 3)
            t.endgrf()
        return strokes(tv, body)
    tex_page, plain_page = page(True), page(False)
    assert len(tex_page) > 50
    assert same(tex_page, plain_page)


# --- messages

DEEP_SCRIPTS = "a^{" * 8 + "a^b" + "}" * 8
MESSAGES = [
    (r"\foo", 210, "Unknown TeX command"),
    ("a\\", 210, "Unknown TeX command"),
    ("{" * 9 + "x" + "}" * 9, 211, "Too many nested parenthesis"),
    ("x}", 212, "Unbalanced parenthesis"),
    ("{x", 212, "Unbalanced parenthesis"),
    (DEEP_SCRIPTS, 213, "Too many nested exponents/indices"),
    ("x^", 214, "Syntax error for Indices/Exponents"),
    ("x_}", 214, "Syntax error for Indices/Exponents"),
    ("x^2^3", 214, "Syntax error for Indices/Exponents"),
    (r"\frac{1}{2}" * 21, 215, "Too many fractions"),
    (r"\frac{" * 9 + "1" + "}{2}" * 9, 215, "Too many fractions"),
    (r"\frac 12", 216, "Syntax error for fractions"),
    (r"\frac{1}", 217, "Missing denominator for fractions"),
    (r"\frac{1} x", 217, "Missing denominator for fractions"),
    (r"\sqrt{" * 9 + "x" + "}" * 9, 218, "Too many nested roots"),
    (r"\sqrt", 219, "Syntax error - missing root"),
    (r"\sqrt[3", 219, "Syntax error - missing root"),
    (r"\overline", 220, "Syntax error for overstrike"),
    (r"\underline}", 221, "Syntax error for understrike"),
    (r"\hat", 222, "Syntax error for hat"),
    (r"\tilde", 223, "Syntax error for tilde"),
    (r"\dot^2", 224, "Syntax error for dot"),
    (r"\vec", 225, "Syntax error for vec"),
    (r"\bigg(" * 21, 226, "Too many brackets"),
    (r"\left x \right)", 227, "Not allowed bracket symbol"),
    (r"\left( x \right", 227, "Not allowed bracket symbol"),
    (r"x \right)", 228, "Missing left bracket symbol"),
]


@pytest.mark.parametrize("s,code,text", MESSAGES)
def test_syntax_messages_and_nothing_drawn(tv, capfd, s, code, text):
    tex(tv)
    tv.unit(6)
    capfd.readouterr()
    assert tv.nlmess(s) == 0
    assert capfd.readouterr().out.splitlines() == [f" <<<< Warning {code}: {text} in nlmess!"]
    tv.messag("AB", 300, 300)
    tv.messag(s, 300, 600)
    out = capfd.readouterr().out.splitlines()
    assert out == [f" <<<< Warning {code}: {text} in messag!"]
    tv.tavfin()
    assert same(drawn(tv, s), [])


def test_limits_just_inside_are_accepted(tv, capfd):
    tex(tv)
    tv.unit(6)
    capfd.readouterr()
    ok = ["{" * 8 + "x" + "}" * 8, "a^{" * 7 + "a^b" + "}" * 7, r"\frac{1}{2}" * 20,
          r"\sqrt{" * 8 + "x" + "}" * 8, r"\bigg(" * 20, r"\frac{" * 8 + "1" + "}{2}" * 8]
    for s in ok:
        assert tv.nlmess(s) > 0, s
    assert capfd.readouterr().out == ""


def test_tex_settings_are_checked(tv, capfd):
    tex(tv)
    tv.unit(6)
    capfd.readouterr()
    tv.texval(0, "EXP")
    tv.texval(-0.1, "VBRA")
    tv.texval(0.0, "VBRA")
    tv.texval(1.0, "WXYZ")
    tv.texval(float("inf"), "OPER")
    tv.texval(1e300, "EXP")
    tv.texopt("MAYBE", "LIMI")
    tv.texmod("SOMETIMES")
    out = capfd.readouterr().out.splitlines()
    assert len(out) == 7 and all("Warning 2: Incorrect parameter" in line for line in out)
    assert tv.nlmess("x^2") > 0                                  # still TeX, EXP unchanged
    n = tv.nlmess(r"\left( x \right)")
    tv.texval(1.0, "VBRA")
    tv.texval(2.0, "WBRA")
    assert tv.nlmess(r"\left( x \right)") > n


def test_random_strings_never_crash(tv):
    tokens = ["x", "2", " ", "{", "}", "^", "_", r"\frac", r"\sqrt", "[", "]", r"\left(",
              r"\right)", r"\alpha", r"\int", r"\limits", r"\red", r"\Huge", r"\hat", r"\not",
              r"\bigg|", r"\,", r"\sin", r"\foo", "\\", "$", r"\copyright", r"\ni", r"\lll"]
    rnd = random.Random(7)
    tex(tv)
    tv.unit(0)
    for _ in range(400):
        s = "".join(rnd.choice(tokens) for _ in range(rnd.randint(1, 40)))
        tv.nlmess(s)
        tv.messag(s, 200, 1000)
    for long in [r"\frac{x^2}{\sqrt{y}}" * 30, r"\hat" * 20000 + "x", "x^{" * 8 + "x^2_" * 20000,
                 r"\left(" * 5000, "{" * 50000, "a" * 100000]:
        tv.messag(long, 100, 1500)
        tv.nlmess(long)
    tv.newmix()
    tv.mixalf()
    tv.setmix("[", "EXP")
    tv.setmix("]", "IND")
    tv.messag("10[" * 20000 + "]" * 20000, 100, 1500)
    tv.angle(33)
    tv.messag(r"\left( \frac{a}{b} \right)^2", 1500, 1500)


def test_number_labels_look_the_same_in_tex_mode(tv):
    """Powers of ten and exponent labels are written with the setmix characters and the MATH
    shift alphabet, which keep their meaning inside TeX strings."""
    def page(texmode):
        def body(t):
            t.complx()
            if texmode:
                t.texmod("ON")
            t.axsscl("LOG", "Y")
            t.labels("LOG", "Y")
            t.labels("EXP", "X")
            t.graf(0, 1000, 0, 250, 0, 3, 0, 1)
            t.endgrf()
            t.axsscl("LIN", "Y")
            t.labels("XEXP", "X")
            t.labels("FEXP", "Y")
            t.graf(0, 1000, 0, 250, 0, 3, 0, 1)
            t.endgrf()
            t.number(12345.0, -1, 300, 300)
        return strokes(tv, body)
    assert same(page(True), page(False))
