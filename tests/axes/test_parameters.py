"""Parameter routines of the axes: range checks, axis selectors, getters, reset, dates."""
import pytest


@pytest.fixture
def page(tv, capfd):
    tv.tavini()
    capfd.readouterr()
    return tv


def lines(capfd):
    return capfd.readouterr().out.splitlines()


def test_defaults_after_tavini(page):
    t = page
    assert t.getlen() == (1980, 1400, 1400)
    assert t.getpos() == (494, 1799)
    assert (t.gettic(), t.gettcl(), t.getdig()) == ((2, 2, 2), (24, 16), (1, 1, 1))
    assert (t.getsp1(), t.getsp2(), t.gethnm()) == ((24, 24, 24), (30, 30, 30), 36)
    assert t.getlab() == ("FLOAT", "FLOAT", "FLOAT")
    assert (t.getscl(), t.getscm()) == ((0, 0, 0), (0, 0, 0))


def test_axis_selectors_and_ranges(page, capfd):
    t = page
    t.ticks(5, "xy")
    t.ticks(7, "Q")                           # no axis named: nothing, silently
    t.ticks(1001, "z")
    assert t.gettic() == (5, 5, 2)
    t.ticlen(0, 5)                            # one warning, neither length stored
    t.labdig(-3, "x")
    t.labdig(-2, "zx")
    t.labdis(0, "y")
    t.hname(10001)
    t.axslen(1, 500)
    t.axspos(3000, 10)
    assert lines(capfd) == [" <<<< Warning 2: Incorrect parameter in ticks!   ( 1001)",
                            " <<<< Warning 2: Incorrect parameter in ticlen!   ( 0)",
                            " <<<< Warning 2: Incorrect parameter in labdig!   ( -3)",
                            " <<<< Warning 2: Incorrect parameter in labdis!   ( 0)",
                            " <<<< Warning 2: Incorrect parameter in hname!   ( 10001)",
                            " <<<< Warning 2: Incorrect parameter in axslen!   ( 1)",
                            " <<<< Warning 2: Incorrect parameter in axspos!   ( 3000)"]
    assert t.gettcl() == (24, 16) and t.getdig() == (-2, 1, -2)
    assert t.getsp1() == (24, 24, 24) and t.gethnm() == 36
    assert t.getlen()[:2] == (1980, 1400) and t.getpos() == (494, 1799)


def test_keyword_routines(page, capfd):
    t = page
    t.labels("seconds", "x")
    t.labels("mylab", "Y")
    t.labels("xexp", "z")
    t.labels("bogus", "x")
    t.labels("perc", "pie")                   # other targets keep the axes
    t.axsscl("log", "yz")
    t.scale("lin", "z")
    assert t.getlab() == ("SECONDS", "MYLAB", "XEXP")
    assert t.getscl() == (0, 1, 0)
    assert lines(capfd) == [" <<<< Warning 2: Incorrect parameter in labels!   (bogus)"]
    t.labmod("sepa", ".", "x")
    t.labmod("colour", "red", "x")
    t.setgrf("none", "line", "tick", "frame")
    assert lines(capfd) == [" <<<< Warning 2: Incorrect parameter in labmod!   (colour)",
                            " <<<< Warning 2: Incorrect parameter in setgrf!   (frame)"]
    t.intax()
    assert t.getdig() == (-1, -1, -1)
    t.mylab("x", 101, "x")
    t.titlin("five", 5)
    t.titlin("minus five", -5)
    t.neglog(0.0)
    assert lines(capfd) == [" <<<< Warning 2: Incorrect parameter in mylab!   ( 101)",
                            " <<<< Warning 2: Incorrect parameter in titlin!   ( 5)",
                            " <<<< Warning 2: Incorrect parameter in titlin!   ( 5)",
                            " <<<< Warning 2: Incorrect parameter in neglog!"]


def test_reset_by_name(page):
    t = page
    t.ticks(7, "xyz")
    t.ticlen(30, 20)
    t.labdig(3, "xy")
    t.hname(50)
    t.axslen(800, 600)
    t.labels("exp", "x")
    t.reset("tick")
    t.reset("TICL")
    t.reset("labd")
    t.reset("hnam")
    t.reset("axsl")
    assert (t.gettic(), t.gettcl(), t.getdig(), t.gethnm()) == ((2, 2, 2), (24, 16), (1, 1, 1), 36)
    assert t.getlen()[:2] == (1980, 1400)
    assert t.getlab()[0] == "EXP"
    t.reset("all")
    assert t.getlab()[0] == "FLOAT"


def test_parameters_set_before_tavini_warn_and_are_reset(run_py):
    out = run_py("""
        import tavero
        tavero.ticks(5, "x")
        tavero.tavini()
        print(tavero.gettic())
        tavero.unit(0); tavero.tavfin()
    """)
    assert out.splitlines()[:2] == [" <<<< Warning 3: Incorrect level in ticks!   ( 0)",
                                    "(2, 2, 2)"]


def test_page_origin_at_the_bottom_for_positions(page):
    t = page
    t.pagorg("bott")
    t.axspos(200, 300)
    assert t.getpos() == (200, 300)
    t.pagorg("top")
    assert t.getpos() == (200, 2099 - 300)


def test_dates(run_py):
    out = run_py("""
        import tavero as t
        t.incdat(1, 1, 2024)
        t.trfdat(5)
        t.basdat(1, 1, 2024)                  # allowed before tavini, kept by it
        t.tavini()
        print(t.incdat(1, 3, 2024), t.incdat(31, 12, 2023), t.incdat(1, 1, 2025))
        print(t.trfdat(60), t.trfdat(-1), t.trfdat(366))
        print(t.nwkday(1, 1, 2024), t.nwkday(7, 1, 2024), t.nwkday(29, 2, 2000))
        t.incdat(30, 2, 2024)
        t.basdat(1, 13, 2024)
        print(t.nwkday(29, 2, 1900))
        t.unit(0); t.tavfin()
    """)
    assert out.splitlines() == [
        " <<<< Warning 105: No base date is defined with basdat in incdat!",
        " <<<< Warning 111: No base date is defined with basdat in trfdat!",
        "60 -1 366",
        "(1, 3, 2024) (31, 12, 2023) (1, 1, 2025)",
        "1 7 2",
        " <<<< Warning 2: Incorrect parameter in incdat!   ( 30)",
        " <<<< Warning 2: Incorrect parameter in basdat!   ( 13)",
        " <<<< Warning 2: Incorrect parameter in nwkday!   ( 29)",
        "0"]
