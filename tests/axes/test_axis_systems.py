"""graf and its kin: level transitions, every failure message, conversions between user and
plot coordinates for linear, logarithmic, crossed, polar and Smith-chart systems."""
import math

import pytest

LIN = (0.0, 10.0, 0.0, 2.0, 0.0, 8.0, 0.0, 2.0)


@pytest.fixture
def page(tv, capfd):
    """An open page with a known axis position and size; messages captured from here on."""
    tv.tavini()
    tv.axspos(300, 1500)
    tv.axslen(1001, 801)
    capfd.readouterr()
    return tv


def lines(capfd):
    return capfd.readouterr().out.splitlines()


# ------------------------------------------------------------------ levels and failures

def test_level_transitions(page, capfd):
    t = page
    t.graf(*LIN)
    assert t.getlev() == 2
    t.graf(*LIN)                              # already inside an axis system
    assert lines(capfd) == [" <<<< Warning 3: Incorrect level in graf!   ( 2)"]
    assert t.getgrf("x") == (0.0, 10.0, 0.0, 2.0)
    t.endgrf()
    assert t.getlev() == 1
    t.graf(0.0, 1.0, 0.0, 0.5, 0.0, 1.0, 0.0, 0.5)   # a new system on the same page
    assert t.getgrf("y") == (0.0, 1.0, 0.0, 0.5)
    t.getgrf("z")                             # Z needs a 3-D system
    assert lines(capfd) == [" <<<< Warning 3: Incorrect level in getgrf!   ( 2)"]


@pytest.mark.parametrize("args, message", [
    ((5.0, 5.0, 5.0, 1.0, 0.0, 1.0, 0.0, 1.0), "Warning 10: Begin and end of scaling are equal"),
    ((0.0, 1.0, 0.0, 1.0, 0.0, 1.0, 0.0, 0.0), "Warning 9: Step equal zero"),
    ((0.0, float("nan"), 0.0, 1.0, 0.0, 1.0, 0.0, 1.0), "Warning 10: Begin and end"),
])
def test_fatal_checks_leave_level_1(page, capfd, args, message):
    page.graf(*args)
    out = lines(capfd)
    assert len(out) == 1 and out[0].startswith(" <<<< " + message) and out[0].endswith(" in graf!")
    assert page.getlev() == 1


@pytest.mark.parametrize("args, code", [
    ((0.0, 1.0, 2.0, 0.5, 0.0, 1.0, 0.0, 1.0), 12),     # first label outside the scaling
    ((0.0, 1.0, 0.0, -0.5, 0.0, 1.0, 0.0, 1.0), 50),    # step against the direction
    ((1.0, 0.0, 1.0, 0.5, 0.0, 1.0, 0.0, 1.0), 50),
])
def test_reported_checks_go_on(page, capfd, args, code):
    page.graf(*args)
    assert [int(l.split()[2][:-1]) for l in lines(capfd)] == [code]
    assert page.getlev() == 2


def test_axis_outside_the_page(page, capfd):
    page.origin(-400, -2000)
    page.nograf()
    page.graf(*LIN)
    assert lines(capfd) == [" <<<< Warning 4: X coordinate out of page in graf!",
                            " <<<< Warning 5: Y coordinate out of page in graf!"]
    assert page.getlev() == 2


def test_crossed_system_failures(page, capfd):
    t = page
    t.axstyp("cros")
    t.axsscl("log", "y")
    t.graf(-1.0, 1.0, -1.0, 1.0, 0.0, 2.0, 0.0, 1.0)
    assert lines(capfd) == [" <<<< Warning 150: Crossed axis systems must have linear scaling in graf!"]
    t.axsscl("lin", "y")
    t.graf(1.0, 5.0, 1.0, 1.0, -1.0, 1.0, -1.0, 1.0)
    assert lines(capfd) == [" <<<< Warning 151: No origin found for crossed axis system in graf!"]
    assert t.getlev() == 1


def test_routines_tied_to_system_kinds(page, capfd):
    t = page
    t.axsscl("log", "x")
    t.polar(1.0, 0.0, 0.5, 0.0, 30.0)
    assert lines(capfd) == [
        " <<<< Warning 132: Polar axis systems must have linear scaling in polar!"]
    t.axsscl("lin", "x")
    t.polar(1.0, 0.0, 0.5, 0.0, 30.0)
    t.xposn(0.5)
    t.yposn(0.5)
    t.gridre(1.0, -1.0, 1.0, 10)
    assert lines(capfd) == [
        " <<<< Warning 109: Routine does not work for polar axis systems in xposn!",
        " <<<< Warning 109: Routine does not work for polar axis systems in yposn!",
        " <<<< Warning 35: No call to GRAFR before in gridre!"]
    t.endgrf()
    t.grafr([0.5, 1.0], 2, [1.0], 1)
    t.grid(1, 1)
    t.grid(-1, 1)
    assert lines(capfd) == [" <<<< Warning 35: Routine does not work for GRAFR in grid!",
                            " <<<< Warning 2: Incorrect parameter in grid!   ( -1)"]


# ------------------------------------------------------------------ conversions

def test_linear_conversion_both_ways(page):
    t = page
    t.graf(*LIN)
    assert t.xposn(0.0) == 300 and t.xposn(10.0) == 1300
    assert t.yposn(0.0) == 1500 and t.yposn(8.0) == 700
    assert (t.nxposn(5.0), t.nyposn(4.0)) == (800, 1100)
    assert t.pos2pt(2.5, 2.0) == (550.0, 1300.0)
    assert t.pt2pos(550.0, 1300.0) == pytest.approx((2.5, 2.0))
    assert (t.xinvrs(800), t.yinvrs(1100)) == pytest.approx((5.0, 4.0))
    assert t.x2dpos(1.0, 1.0) == 400.0 and t.y2dpos(1.0, 1.0) == 1400.0
    # plot coordinates are clamped, not rejected
    assert t.xposn(1e300) == 1e6 and t.yposn(1e300) == -1e6
    assert math.isnan(t.xposn(float("nan")))


def test_page_origin_at_the_bottom(page):
    t = page
    t.pagorg("bott")
    t.axspos(300, 600)                        # lower left corner 600 above the bottom
    t.graf(*LIN)
    assert t.getpos() == (300, 600)
    assert t.yposn(0.0) == 600 and t.yposn(8.0) == 1400
    assert t.pt2pos(300.0, 600.0) == pytest.approx((0.0, 0.0))


def test_descending_axis(page):
    t = page
    t.graf(10.0, 0.0, 10.0, -2.0, 0.0, 8.0, 0.0, 2.0)
    assert t.xposn(10.0) == 300 and t.xposn(0.0) == 1300
    assert t.getgrf("x") == (10.0, 0.0, 10.0, -2.0)


def test_logarithmic_conversion_and_neglog(page):
    t = page
    t.axsscl("log", "xy")
    t.graf(0.0, 2.0, 0.0, 1.0, -1.0, 3.0, -1.0, 1.0)
    assert t.xposn(1.0) == 300 and t.xposn(100.0) == 1300
    assert t.xposn(10.0) == pytest.approx(800.0)
    assert t.yposn(0.1) == 1500 and t.yposn(1000.0) == 700
    assert t.xinvrs(800) == pytest.approx(10.0)
    assert math.isnan(t.xposn(0.0)) and math.isnan(t.xposn(-5.0))
    t.endgrf()
    t.neglog(0.01)                            # replacement for values <= 0
    t.graf(0.0, 2.0, 0.0, 1.0, -1.0, 3.0, -1.0, 1.0)
    assert t.xposn(-5.0) == t.xposn(0.01) == pytest.approx(300 - 1000)


def test_crossed_system_at_its_origin(page):
    t = page
    t.axstyp("cros")
    t.graf(-5.0, 5.0, -5.0, 1.0, -2.0, 2.0, -2.0, 1.0)
    assert (t.xposn(0.0), t.yposn(0.0)) == (800.0, 1100.0)
    t.endgrf()
    t.axsorg(1000, 1000)
    t.graf(-5.0, 5.0, -5.0, 1.0, -2.0, 2.0, -2.0, 1.0)
    assert (t.xposn(0.0), t.yposn(0.0)) == (1000.0, 1000.0)
    assert t.xposn(-5.0) == 500.0 and t.yposn(-2.0) == 1400.0


def test_polar_conversion_and_modes(page):
    t = page
    t.axslen(1001, 1001)
    t.polar(2.0, 0.0, 0.5, 0.0, 30.0)
    cx, cy, r = 800.0, 1000.0, 500.0          # centre of the axis area, half its side
    assert t.pos2pt(0.0, 0.0) == pytest.approx((cx, cy))
    assert t.pos2pt(2.0, 0.0) == pytest.approx((cx + r, cy))
    assert t.pos2pt(1.0, math.pi / 2) == pytest.approx((cx, cy - r / 2))
    assert t.pt2pos(cx - r, cy) == pytest.approx((2.0, math.pi))
    t.endgrf()
    t.polmod("top", "cloc")                   # 0 at the top, clockwise
    t.polar(2.0, 0.0, 0.5, 0.0, 30.0)
    assert t.pos2pt(2.0, 0.0) == pytest.approx((cx, cy - r))
    assert t.pos2pt(2.0, math.pi / 2) == pytest.approx((cx + r, cy))


def test_smith_chart_conversion(page):
    t = page
    t.axslen(1001, 1001)
    t.grafr([0.5, 1.0, 2.0], 3, [0.5, 1.0, 2.0], 3)
    cx, cy, r = 800.0, 1000.0, 500.0
    assert t.pos2pt(1.0, 0.0) == pytest.approx((cx, cy))          # matched load
    assert t.pos2pt(0.0, 0.0) == pytest.approx((cx - r, cy))      # short circuit
    assert t.pos2pt(0.0, 1.0) == pytest.approx((cx, cy - r))      # z = j: top of the chart
    assert t.pt2pos(*t.pos2pt(0.3, -0.7)) == pytest.approx((0.3, -0.7))
    t.endgrf()
    t.axstyp("admi")                                              # admittance chart: mirrored
    t.grafr([1.0], 1, [1.0], 1)
    assert t.pos2pt(0.0, 0.0) == pytest.approx((cx + r, cy))


def test_check_messages_for_points_outside(page, capfd):
    t = page
    t.graf(*LIN)
    t.rline(1.0, 1.0, 2.0, 2.0)
    t.rline(20.0, 1.0, 2.0, 2.0)              # checks are off by default
    assert lines(capfd) == []
    t.errmod("check", "on")
    t.rline(10.0, 8.0, 0.0, 0.0)              # the limits themselves are inside
    t.rline(20.0, 1.0, 2.0, -0.5)
    assert lines(capfd) == [" <<<< (  2.0000e+01 /  1.0000e+00) out of axis scaling in rline!",
                            " <<<< (  2.0000e+00 / -5.0000e-01) out of axis scaling in rline!"]
    t.nochek()
    t.rline(20.0, 1.0, 2.0, -0.5)
    assert lines(capfd) == []


def test_centred_system_and_reset_inside_it(page):
    t = page
    t.center()
    t.graf(*LIN)
    assert (t.xposn(0.0), t.yposn(8.0)) == ((2970 - 1001) // 2, (2100 - 801) // 2)
    t.reset("all")                            # parameters only: the scaling stays in force
    assert t.xposn(10.0) == (2970 - 1001) // 2 + 1000
    assert t.getgrf("x") == (0.0, 10.0, 0.0, 2.0)
