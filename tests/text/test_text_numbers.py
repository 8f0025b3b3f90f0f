"""Number output: the fixed and exponent formatters, number mode, and that number, rlnumb and
nlnumb draw and measure exactly the string the formatter makes."""
import pytest

from textutil import same, strokes


@pytest.mark.parametrize("x, ndig, text", [
    (0, 2, "0.00"), (-0.001, 2, "0.00"), (-0.4, -1, "0"), (2.5, -1, "3"), (2.5, 0, "3."),
    (-2.5, -1, "-3"), (0.05, 2, "0.05"), (5, 3, "5.000"), (12.345, 1, "12.3"),
    (0.125, 2, "0.13"), (999.95, 1, "1000.0"), (1e17, -1, "100000000000000000"),
])
def test_fixed_formatter(tv, x, ndig, text):
    tv.tavini()
    tv.unit(0)
    assert tv.fcha(x, ndig) == (text, len(text))
    assert tv.flen(x, ndig) == len(text)


def test_number_mode(tv):
    tv.tavini()
    tv.unit(0)
    tv.numode("COMM", "NONE", "NONE", "NOEQ")
    assert tv.fcha(1.5, 1)[0] == "1,5"
    tv.numode("POIN", "SPAC", "NONE", "NOEQ")
    assert tv.fcha(1234567, -1)[0] == "1 234 567"
    tv.numode("POIN", "COMM", "NONE", "NOEQ")
    assert tv.fcha(-123456, -1)[0] == "-123,456"
    assert tv.fcha(1234567.1234, 4)[0] == "1,234,567.123,4"
    tv.numode("POIN", "NONE", "PLUS", "NOEQ")
    assert tv.fcha(2, 1)[0] == "+2.0"
    tv.numode("COMM", "NONE", "PLUS", "NOEQ")
    tv.numode("xx", "NONE", "PLUS", "NOEQ")      # a bad keyword leaves its character
    assert tv.fcha(2, 1)[0] == "+2,0"


# number() must draw what messag() draws for the formatter's string
@pytest.mark.parametrize("fmt, x, ndig, text", [
    ("FLOA", 3.14159, 2, "3.14"),
    ("FLOA", -0.001, 2, "0.00"),
    ("FEXP", 1234.5, 2, "1.23E3"),
    ("FEXP", 0.001, 1, "1.0E-3"),
    ("FEXP", 0, 2, "0.00E0"),
    ("FEXP", 9.96, 1, "1.0E1"),
    ("EXP", 1234.5, 2, "1.23*10[3$"),
    ("LOG", 3, -1, "10[3$"),
    ("XEXP", 2500, 1, "2.5{D}10[3$"),
])
def test_number_draws_the_formatted_string(tv, fmt, x, ndig, text):
    def number(t):
        t.complx()
        t.numfmt(fmt)
        t.number(x, ndig, 300, 400)

    def message(t):
        t.complx()
        if fmt != "FLOA" and fmt != "FEXP":
            t.mixalf()                          # exponent and reset characters on
        if fmt == "XEXP":
            t.smxalf("MATH", "{", "}", 1)
        t.messag(text, 300, 400)

    a, b = strokes(tv, number), strokes(tv, message)
    assert a and same(a, b)


def test_nlnumb_measures_number(tv):
    tv.tavini()
    tv.unit(0)
    tv.complx()
    assert tv.nlnumb(1234.5, 2) == tv.nlmess("1234.50")
    tv.numfmt("FEXP")
    assert tv.nlnumb(0.001, 1) == tv.nlmess("1.0E-3")
    tv.numfmt("EXP")
    # the raised exponent is smaller: shorter than the plain text, longer than the mantissa
    assert tv.nlmess("1.2*10") < tv.nlnumb(1.23, 1) < tv.nlmess("1.2*10[3$")
    assert tv.nlnumb(1.0, 101) == 0 and tv.nlnumb(1.0, -2) == 0


def test_out_of_range_digits_warn_and_draw_nothing(tv, capfd):
    paths = strokes(tv, lambda t: (t.unit(6), t.number(1.0, 101, 100, 100), t.rlnumb(1.0, 2, 0, 0)))
    out = capfd.readouterr().out
    assert "Warning 2: Incorrect parameter in number!   ( 101)" in out
    assert "Warning 3: Incorrect level in rlnumb!" in out
    assert paths == []


def test_equal_width_digits_use_fixed_spacing(tv):
    tv.tavini()
    tv.unit(0)
    tv.complx()
    narrow = tv.nlnumb(111.1, 1)
    tv.numode("POIN", "NONE", "NONE", "EQUA")
    assert tv.nlnumb(111.1, 1) == tv.nlnumb(888.8, 1) != narrow
    tv.fixspc(0.7)
    assert tv.nlmess("111.1") == tv.nlnumb(888.8, 1)


def test_number_continues_and_justifies(tv):
    def two_calls(t):
        t.messag("x =", 500, 500)
        t.number(42.0, 1, 999, 999)

    a = strokes(tv, two_calls)
    b = strokes(tv, lambda t: t.messag("x =42.0", 500, 500))
    assert same(a, b)
    a = strokes(tv, lambda t: (t.txtjus("RIGH"), t.number(-7.25, 2, 900, 300)))
    b = strokes(tv, lambda t: t.messag("-7.25", 900 - t.nlmess("-7.25"), 300))
    assert same(a, b)


def test_string_utilities(tv):
    tv.tavini()
    tv.unit(0)
    assert tv.intcha(-2147483648) == ("-2147483648", 11)
    assert tv.intlen(0) == 1 and tv.intlen(-45) == 3
    assert tv.trmlen("ab  ") == 2 and tv.trmlen("") == 0
    assert tv.upstr("abc-Xyz") == "ABC-XYZ"
    text, n = tv.intutf([72, 0xE9, 0x3B1, 0x1F600, -5], 5)
    assert text == "H\u00e9\u03b1\U0001F600?" and n == len(text.encode())
    codes = [0] * 8
    assert tv.utfint("H\u00e9\u03b1", codes, 8) == 3 and codes[:3] == [72, 0xE9, 0x3B1]
