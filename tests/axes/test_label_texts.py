"""Label texts of every label type, checked by drawing: the label that graf draws must have
exactly the strokes of messag drawing the expected string."""
import pytest

from plotting import same_shape, strokes


def label(tv, graf_args, setup=None, ends="firs"):
    """Strokes of the first (or last) label of the lower X axis, nothing else drawn."""
    def body(t):
        if setup:
            setup(t)
        t.setgrf("labe", "none", "none", "none")
        t.ticks(0, "x")
        t.noline("x")
        t.frame(0)
        t.axends(ends, "x")
        t.graf(*graf_args)
    return strokes(tv, body)


def text(tv, s, setup=None):
    def body(t):
        if setup:
            setup(t)
        t.messag(s, 500, 500)
    return strokes(tv, body)


def at(v, step=1.0):
    """graf arguments whose first X label is v (Y axis plain)."""
    return (v, v + 10 * step, v, step, 0.0, 1.0, 0.0, 1.0)


def mix(t):
    t.mixalf()


def check(tv, graf_args, expected, setup=None, text_setup=None):
    got = label(tv, graf_args, setup)
    want = text(tv, expected, text_setup)
    assert got, "no label drawn"
    assert same_shape(got, want), f"label is not {expected!r}"


@pytest.mark.parametrize("ndig, value, expected", [
    (2, 3.14159, "3.14"), (-1, 2.5, "3"), (0, 2.5, "3."), (1, -0.04, "0.0"), (3, 5.0, "5.000"),
])
def test_float_labels(tv, ndig, value, expected):
    check(tv, at(value), expected, lambda t: t.labdig(ndig, "x"))


def test_float_label_follows_number_mode(tv):
    check(tv, at(1.5), "1,5", lambda t: (t.labdig(1, "x"), t.numode("comm", "none", "none", "noeq")))


@pytest.mark.parametrize("kind, expected, text_setup", [
    ("exp", "1.23*10[3$", mix),
    ("fexp", "1.23E3", None),
    ("xexp", "1.23{D}10[3$", lambda t: (t.smxalf("math", "{", "}", 1), t.mixalf())),
])
def test_exponent_labels(tv, kind, expected, text_setup):
    check(tv, at(1234.5), expected,
          lambda t: (t.labels(kind, "x"), t.labdig(2, "x")), text_setup)


def test_tiny_exponent_label_is_zero(tv):
    check(tv, at(1e-9), "0.00E0", lambda t: (t.labels("fexp", "x"), t.labdig(2, "x")))


@pytest.mark.parametrize("kind, ndig, expected, text_setup", [
    ("log", -1, "10[2$", mix),
    ("clog", 1, "10[2.0$", mix),
    ("elog", 1, "2.0", None),
    ("float", -1, "100", None),
])
def test_labels_of_logarithmic_axes(tv, kind, ndig, expected, text_setup):
    def setup(t):
        t.axsscl("log", "x")
        t.labels(kind, "x")
        t.labdig(ndig, "x")
    check(tv, at(2.0), expected, setup, text_setup)


def test_log_type_on_linear_axis_is_fixed(tv):
    check(tv, at(2.0), "2", lambda t: (t.labels("log", "x"), t.labdig(-1, "x")))


@pytest.mark.parametrize("kind, value, colon, expected", [
    ("time", -60, True, "23:59"),
    ("time", -60, False, "2359"),
    ("time", 3570, True, "01:00"),       # 59.5 minutes round up and carry into the hour
    ("time", 90000, True, "01:00"),      # hours modulo 24
    ("seco", 3725, True, "01:02:05"),
    ("seco", 3599.6, False, "010000"),
    ("hour", 7200, True, "2"),
])
def test_time_labels(tv, kind, value, colon, expected):
    def setup(t):
        t.labels(kind, "x")
        if colon:
            t.timopt()
    check(tv, at(value, 600.0), expected, setup)


def date_setup(*mods):
    def setup(t):
        t.basdat(1, 1, 2024)
        t.labels("date", "x")
        for key, val in mods:
            t.labmod(key, val, "x")
    return setup


@pytest.mark.parametrize("day, mods, expected, text_setup", [
    (0, (), "01.01.2024", None),
    (59, (("year", "short"), ("sep", "/"), ("form", "ymd")), "24/02/29", None),
    (60, (("mon", "long"), ("lang", "germ")), "01 M!arz 2024",
     lambda t: t.eushft("germ", "!")),
    (61, (("day", "long"), ("mon", "name"), ("lang", "span"), ("year", "none")),
     "S!abado 02 Mar", lambda t: t.eushft("acut", "!")),
    (31, (("mon", "tiny"), ("day", "none"), ("case", "uppe")), "F 2024", None),
    (0, (("day", "name"), ("mon", "short"), ("form", "mdy")), "1 Mon 01 2024", None),
])
def test_date_labels(tv, day, mods, expected, text_setup):
    check(tv, at(float(day)), expected, date_setup(*mods), text_setup)


@pytest.mark.parametrize("kind, axis_value, expected", [
    ("map", 190.0, "170[o$ W"),
    ("lmap", 190.0, "170[o$ w"),
    ("dmap", -30.0, "-30[o$ W"),
    ("mapn", 45.0, "45 E"),
    ("map", 0.0, "0[o$"),
])
def test_map_labels_on_longitudes(tv, kind, axis_value, expected):
    setup = lambda t: (t.labels(kind, "x"), t.labdig(-1, "x"))
    check(tv, at(axis_value), expected, setup, None if kind == "mapn" else mix)


def test_map_label_folds_latitudes(tv):
    # Y labels: only the first Y label, 100 degrees north folds back to 80
    def body_label(t):
        t.labels("map", "y")
        t.labdig(-1, "y")
        t.setgrf("none", "labe", "none", "none")
        t.ticks(0, "y")
        t.noline("y")
        t.frame(0)
        t.axends("firs", "y")
        t.graf(0.0, 1.0, 0.0, 1.0, 100.0, 110.0, 100.0, 1.0)
    got = strokes(tv, body_label)
    want = text(tv, "80[o$ N", mix)
    assert same_shape(got, want)


def test_user_labels_then_numbers(tv):
    def setup(t):
        t.labels("myla", "x")
        t.mylab("start", 1, "x")
        t.labdig(-1, "x")
    check(tv, at(3.0), "start", setup)
    # the second label has no string: it falls back to the number
    got = label(tv, (3.0, 4.0, 3.0, 1.0, 0.0, 1.0, 0.0, 1.0), setup, ends="last")
    assert same_shape(got, text(tv, "4"))
