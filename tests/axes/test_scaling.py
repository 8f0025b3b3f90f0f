"""Automatic scaling (gaxpar, setscl with graf/getgrf): numeric, logarithmic, exponent, time
and date axes."""
import pytest


def approx(t, want):
    return all(abs(a - b) < 1e-9 * max(1.0, abs(b)) for a, b in zip(t, want))


@pytest.fixture
def open_tv(tv):
    tv.tavini()
    tv.unit(0)
    tv.axslen(1500, 1000)
    return tv


@pytest.mark.parametrize("lo, hi, length, want", [
    (0.0, 7.3, 1500, (0.0, 7.3, 0.0, 1.0, -1)),      # m = 7: step 1
    (0.0, 1.0, 1500, (0.0, 1.0, 0.0, 0.2, 1)),       # m = 1, L / 5 >= 200: step / 5
    (0.0, 1.0, 600, (0.0, 1.0, 0.0, 0.5, 1)),        # L / 5 < 200: step / 2
    (-0.73, 1.0, 1500, (-0.73, 1.0, -0.6, 0.2, 1)),  # first multiple of the step above a
    (0.4, 1.0, 1500, (0.4, 1.0, 0.4, 0.1, 1)),       # a multiple of the step is its own label
    (0.0, 30000.0, 1500, (0.0, 30000.0, 0.0, 5000.0, -1)),
    (0.0, 9.0, 600, (0.0, 9.0, 0.0, 2.0, -1)),       # m = 9, L / 9 < 200: step doubled
])
def test_linear_automatic_scaling(open_tv, lo, hi, length, want):
    open_tv.axslen(length, 1000)
    assert approx(open_tv.gaxpar(lo, hi, "noex", "x"), want)


def test_extended_and_reversed_results(open_tv):
    t = open_tv
    assert approx(t.gaxpar(-0.73, 1.0, "exte", "x"), (-0.8, 1.0, -0.8, 0.2, 1))
    assert approx(t.gaxpar(0.05, 0.93, "exte", "x"), (0.0, 1.0, 0.0, 0.2, 1))
    # b < a: limits swapped, step negated, the first label at the start
    assert approx(t.gaxpar(1.0, -0.73, "exte", "x"), (1.0, -0.8, 1.0, -0.2, 1))
    assert t.getscm() == (0, 0, 0)


def test_logarithmic_scaling_and_its_warnings(open_tv, capfd):
    t = open_tv
    t.axsscl("log", "y")
    t.unit(6)
    assert approx(t.gaxpar(1.0, 1000.0, "noex", "y"), (0.0, 3.0, 0.0, 1.0, -1))
    assert approx(t.gaxpar(1.0, 1e15, "noex", "y")[2:4], (0.0, 1.0))   # s = 10 > 2 -> 1
    ra, re, *_ = t.gaxpar(-5.0, 0.0, "noex", "y")
    assert (ra, re) == (-1.0, 0.0)
    out = capfd.readouterr().out.splitlines()
    assert out == [
        " <<<< Warning 23: Non positive minimum for log scaling (set to 0.1) in gaxpar!",
        " <<<< Warning 24: Non positive maximum for log scaling (set to 1.0) in gaxpar!"]


def test_exponent_labels_count_mantissa_digits(open_tv):
    t = open_tv
    t.labels("exp", "x")
    t.labtyp("vert", "x")          # labels across the axis: minimum distance 100
    # labels 100.0 .. 100.5 step 0.1: one decimal, plus two for the mantissa of 1.005*10^2
    assert approx(t.gaxpar(100.0, 100.5, "noex", "x"), (100.0, 100.5, 100.0, 0.1, 3))
    # m = 7 > 6 doubles the step for exponent labels
    assert approx(t.gaxpar(0.0, 0.8, "noex", "x")[3:], (0.2, 1))


@pytest.mark.parametrize("lo, hi, step, first", [
    (0.0, 50.0, 10.0, 0.0),
    (0.0, 7.0, 1.0, 0.0),
    (100.0, 800.0, 120.0, 120.0),             # 11 minutes: steps of 2 minutes
    (0.0, 86400.0, 14400.0, 0.0),             # 24 hours: 10 hours / 2.5
    (0.0, 360000.0, 86400.0, 0.0),            # 100 hours: 20 hours -> 24
    (0.0, 7 * 3600.0, 3600.0, 0.0),           # 7 hours: 1 hour
    (0.0, 9 * 3600.0, 7200.0, 0.0),           # 9 hours: doubled
])
def test_time_axes(open_tv, lo, hi, step, first):
    open_tv.labels("time", "x")
    assert approx(open_tv.gaxpar(lo, hi, "noex", "x")[2:4], (first, step))


def test_date_axes(open_tv):
    t = open_tv
    t.basdat(1, 1, 2024)
    t.labels("date", "x")
    assert t.gaxpar(0.0, 4.0, "noex", "x")[3] == 1.0
    assert t.gaxpar(0.0, 10.0, "noex", "x")[3] == 2.0
    assert t.gaxpar(0.5, 20.0, "noex", "x")[2:4] == (1.0, 7.0)
    jan15, may15 = t.incdat(15, 1, 2024), t.incdat(15, 5, 2024)
    assert t.gaxpar(float(jan15), float(may15), "noex", "x")[2] == t.incdat(1, 2, 2024)
    # more than 160 days: quarters beginning in January, April, July, October
    assert t.gaxpar(float(jan15), jan15 + 300.0, "noex", "x")[2] == t.incdat(1, 4, 2024)
    assert t.gaxpar(float(jan15), jan15 + 2000.0, "noex", "x")[2] == t.incdat(1, 1, 2025)


def test_setscl_drives_graf(open_tv, capfd):
    t = open_tv
    t.unit(6)
    t.setscl([3.0, 0.0, 7.3, 1.0], 4, "x")
    t.setscl([5.0], 1, "y")                 # min = max: widened by one each way
    assert t.getscm() == (1, 1, 0)
    t.graf(9.0, 9.0, 9.0, 0.0, 9.0, 9.0, 9.0, 0.0)   # ignored for automatic axes
    assert t.getlev() == 2
    assert t.getgrf("x") == (0.0, 7.3, 0.0, 1.0)
    ya, ye, yor, ystp = t.getgrf("y")
    assert (ya, ye) == (4.0, 6.0)
    assert t.getdig()[0] == -1               # the decimals of the scaling
    t.endgrf()
    t.setscl([0.0], 1, "xres")
    assert t.getscm() == (0, 1, 0)
    t.setscl([0.0], 1, "reset")
    assert t.getscm() == (0, 0, 0)
    out = capfd.readouterr().out
    assert out.count("Warning 25: Minimum equal maximum (added -1 and +1) in setscl!") == 1
    assert "graf" not in out


def test_non_finite_data_are_ignored(open_tv, capfd):
    t = open_tv
    nan, inf = float("nan"), float("inf")
    t.setscl([nan, 2.0, inf, 4.0, -inf], 5, "x")
    t.graf(0.0, 1.0, 0.0, 1.0, 0.0, 1.0, 0.0, 1.0)
    assert t.getgrf("x")[:2] == (2.0, 4.0)
    t.endgrf()
    t.unit(6)
    t.setscl([nan, nan], 2, "y")
    assert capfd.readouterr().out.startswith(" <<<< Warning 2: Incorrect parameter in setscl!")
    assert t.getscm()[1] == 0
