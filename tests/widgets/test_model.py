"""The widget model without a screen: values in and out, sizes, warnings for bad input,
and what every routine does when there is no display."""
import math

import pytest


@pytest.fixture
def wg(tv, monkeypatch):
    """The module with no display to reach: nothing is ever shown."""
    monkeypatch.delenv("DISPLAY", raising=False)
    return tv


def test_without_a_display_dialogs_warn_and_return_their_defaults(run_py):
    out = run_py("""
        import tavero as t
        print('GUI', t.gwggui())
        ip = t.wgini('VERT')
        tx = t.wgltxt(ip, 'Name:', 'Ann', 40)
        ls = t.wglis(ip, 'a|b|c', 2)
        print('XID', t.gwgxid(tx))
        t.reawgt()
        t.wgfin()
        print('AFTER', t.gwgtxt(tx), t.gwglis(ls), t.gwgatt(ip, 'EXIT'))
        print('DLG', t.dwgtxt('Name?', 'Bob'), t.dwglis('Pick', 'x|y', 2), t.dwgbut('Sure?', 0),
              t.dwgerr('Bad'), t.dwgfil('Open', 'a.dat', '*.dat'))
        t.dwgmsg('Hello|world')
        t.msgbox('Boxed')
    """, env={"DISPLAY": ""})
    assert "GUI 0" in out and "XID 0" in out
    assert "AFTER Ann 2 3" in out
    assert "DLG Bob 2 0 0 a.dat" in out
    for routine in ["wgini", "gwgxid", "reawgt", "wgfin", "dwgtxt", "dwglis", "dwgbut", "dwgerr",
                    "dwgfil"]:
        assert f"Warning 201: No X display: the widgets cannot be shown in {routine}!" in out
    assert "in dwgmsg!   (Hello|world)" in out and "in msgbox!   (Boxed)" in out


def test_every_widget_routine_survives_any_ids_without_a_display(run_py):
    out = run_py("""
        import tavero as t
        t.unit(0)
        img = bytes(2 * 2 * 3)
        calls = [
            ('wgbas', 'HORI'), ('wglab', 'x'), ('wgtxt', 'x'), ('wgltxt', 'x', 'y', 30),
            ('wgstxt', 3, 10), ('wgfil', 'x', 'y', '*'), ('wgbut', 'x', 1), ('wgpbut', 'x'),
            ('wgbox', 'a|b', 1), ('wglis', 'a|b', 1), ('wgdlis', 'a|b', 1),
            ('wgscl', 'x', 0.0, 1.0, 0.5, 1), ('wgpbar', 0.0, 1.0, 0.1), ('wgtbl', 2, 2),
            ('wgdraw',), ('wgsep',), ('wgicon', 'x', 4, 4, 'missing.png'), ('wgimg', 'x', img, 2, 2),
            ('wgpicon', 'x', 4, 4, 'missing.png'), ('wgpimg', 'x', img, 2, 2), ('wgcmd', 'x', 'true'),
            ('wgok',), ('wgquit',), ('wgpop', 'x'), ('wgpopb', img, 2, 2), ('wgapp', 'x'),
            ('wgappb', img, 2, 2),
        ]
        setters = [
            ('swgatt', 'OFF', 'VISI'), ('swgbgd', 1.0, 0.0, 0.0), ('swgfgd', 0.0, 0.0, 1.0),
            ('swgbox', 1), ('swgbut', 1), ('swglis', 1), ('swgint', 3), ('swgiop', 4, 'VISL'),
            ('swgflt', 2.5, 1), ('swgscl', 0.5), ('swgstp', 0.1), ('swgval', 0.5), ('swgtxt', 'x'),
            ('swgfil', 'x'), ('swgfoc',), ('swgoff', 1, 1), ('swgray', [1.0, 2.0], 2, 'SCAL'),
            ('swgtbl', [1.0], 1, 1, 1, 'ROW'), ('swgtbf', 1.5, 1, 1, 1, 'VALU'),
            ('swgtbi', 1, 1, 1, 'VALU'), ('swgtbs', 'x', 1, 1, 'VALU'),
        ]
        getters = [('gwgatt', 'STAT'), ('gwgbox',), ('gwgbut',), ('gwglis',), ('gwgint',),
                   ('gwgflt',), ('gwgscl',), ('gwgtxt',), ('gwgfil',), ('gwgsiz',), ('gwgxid',),
                   ('gwgtbf', 1, 1), ('gwgtbi', 1, 1), ('gwgtbs', 1, 1)]
        for parent in (0, -5, 10**6):
            for name, *args in calls:
                getattr(t, name)(parent, *args)
        ip = t.wgini('FORM')
        ids = [getattr(t, name)(ip, *args) for name, *args in calls]
        pop = ids[23]
        ids.append(t.wgapp(pop, 'entry'))
        for wid in ids + [0, -1, 10**6]:
            for name, *args in setters + getters:
                getattr(t, name)(wid, *args)
        t.gwgtbl(ids[13], [0.0, 0.0], 2, 1, 'ROW')
        t.wgfin()
        print('SURVIVED', t.getlev())
    """, env={"DISPLAY": ""})
    assert "SURVIVED 0" in out


def test_values_go_in_and_come_out(wg):
    ip = wg.wgini("VERT")
    tx = wg.wgtxt(ip, "x")
    ck = wg.wgbut(ip, "check", 1)
    bx = wg.wgbox(ip, "r|g|b", 3)
    ls = wg.wglis(ip, "a|b|c", 0)
    dl = wg.wgdlis(ip, "p|q", 2)
    sc = wg.wgscl(ip, "s", -1.0, 1.0, 0.25, 2)
    pb = wg.wgpbar(ip, 0.0, 10.0, 1.0)
    fl = wg.wgfil(ip, "File", "a.dat", "*.dat")
    lab = wg.wglab(ip, "label")
    assert (wg.gwgbut(ck), wg.gwgbox(bx), wg.gwglis(ls), wg.gwglis(dl)) == (1, 3, 0, 2)
    assert (wg.gwgtxt(bx), wg.gwgtxt(ls), wg.gwgtxt(dl), wg.gwgtxt(sc)) == ("b", "", "q", "0.25")
    wg.swgint(tx, -17)
    assert (wg.gwgint(tx), wg.gwgtxt(tx)) == (-17, "-17")
    wg.swgflt(tx, math.pi, 3)
    assert wg.gwgtxt(tx) == "3.142" and wg.gwgflt(tx) == 3.142
    wg.swgflt(tx, 0.1, -1)   # shortest text that reads back exactly
    assert wg.gwgtxt(tx) == "0.1"
    wg.swgbut(ck, 0)
    wg.swgbox(bx, 1)
    wg.swglis(ls, 2)
    wg.swglis(dl, 1)
    wg.swgscl(sc, -0.5)
    wg.swgval(pb, 25.0)      # progress bars take the nearest end
    wg.swgfil(fl, "b.dat")
    wg.swgtxt(lab, "new label")
    assert (wg.gwgbut(ck), wg.gwgbox(bx), wg.gwglis(ls), wg.gwglis(dl)) == (0, 1, 2, 1)
    assert (wg.gwgscl(sc), wg.gwgscl(pb), wg.gwgint(pb), wg.gwgfil(fl)) == (-0.5, 10.0, 10, "b.dat")
    assert (wg.gwgtxt(lab), wg.gwgtxt(ls), wg.gwgint(ls)) == ("new label", "b", 2)


def test_bad_values_warn_and_change_nothing(wg, capfd):
    ip = wg.wgini("VERT")
    ck = wg.wgbut(ip, "check", 0)
    ls = wg.wglis(ip, "a|b|c", 1)
    sc = wg.wgscl(ip, "s", 0.0, 1.0, 0.5, 1)
    tx = wg.wgtxt(ip, "12abc")
    wg.swgbut(ck, 2)
    wg.swglis(ls, 4)
    wg.swgscl(sc, 1.5)
    wg.swgscl(sc, float("nan"))
    assert (wg.gwgbut(ck), wg.gwglis(ls), wg.gwgscl(sc)) == (0, 1, 0.5)
    assert wg.gwgint(tx) == 0 and wg.gwgflt(tx) == 0.0
    assert wg.gwgbox(ls) == 0          # a list is no box
    wg.swgtxt(999, "x")
    out = capfd.readouterr().out
    assert out.count("Warning 2: Incorrect parameter") == 4
    assert out.count(f"Warning 208: Text of widget {tx} is not a number") == 2
    assert f"Warning 203: Widget {ls} is of the wrong type for this routine in gwgbox!" in out
    assert "Warning 202: Widget 999 is not defined in swgtxt!" in out


def test_list_items_can_be_replaced_and_selected_several_at_once(wg):
    ip = wg.wgini("VERT")
    ls = wg.wglis(ip, "a|b|c|d", 4)
    wg.swgatt(ls, "x|y", "LIST")   # the selection 4 is gone: nothing selected
    assert (wg.gwgatt(ls, "NLIST"), wg.gwglis(ls), wg.gwgtxt(ls)) == (2, 0, "")
    wg.swgtyp("MULTIPLE", "LIST")
    ms = wg.wglis(ip, "a|b|c|d", 2)
    wg.swgray(ms, [0, 1, 0, 1], 4, "LIST")
    assert (wg.gwglis(ms), wg.gwgtxt(ms)) == (2, "b|d")
    wg.swgtyp("SINGLE", "LIST")
    ss = wg.wglis(ip, "a|b|c", 1)
    wg.swgray(ss, [0, 1, 1], 3, "LIST")   # one item in a single-selection list
    assert wg.gwgtxt(ss) == "b"


def test_tables_hold_numbers_texts_and_headers(wg, capfd):
    ip = wg.wgini("VERT")
    tb = wg.wgtbl(ip, 3, 2)
    wg.swgtbl(tb, [1.0, 2.5, -3.0], 3, 2, 1, "COLUMN")
    wg.swgtbl(tb, [7.0, 8.0], 2, -1, 3, "ROW")
    wg.swgtbs(tb, "Mass", 0, 1, "VALUE")
    wg.swgtbs(tb, "first", 1, 0, "VALUE")
    wg.swgtbi(tb, 0x00FF00, 0, 2, "BACK")    # a whole column
    wg.swgtbs(tb, "#zz0000", 1, 1, "FORE")   # no colour
    col = [0.0] * 3
    wg.gwgtbl(tb, col, 3, 1, "COLUMN")
    assert col == [1.0, 2.5, 7.0]
    assert (wg.gwgtbs(tb, 2, 1), wg.gwgtbs(tb, 3, 2), wg.gwgtbs(tb, 0, 1), wg.gwgtbs(tb, 1, 0)) == \
        ("2.50", "8", "Mass", "first")
    wg.swgtbs(tb, "n/a", 2, 2, "VALUE")
    assert wg.gwgtbi(tb, 1, 1) == 1 and wg.gwgtbf(tb, 2, 2) == 0.0
    wg.swgtbf(tb, 1.0, 1, 4, 1, "VALUE")
    assert wg.gwgtbf(tb, 0, 1) == 0.0
    out = capfd.readouterr().out
    assert "Warning 2: Incorrect parameter in swgtbs!   (#zz0000)" in out
    assert "Warning 208: Table cell 2, 2 is not a number in gwgtbf!" in out
    assert "Warning 207: Table cell 4, 1 is outside the table in swgtbf!" in out
    assert "Warning 207: Table cell 0, 1 is outside the table in gwgtbf!" in out


def test_vertical_horizontal_and_form_layouts(wg):
    ip = wg.wgini("VERT")
    a = wg.wgtxt(ip, "short")
    wg.swgwth(-300)
    b = wg.wgpbut(ip, "wide")
    wg.swgwth(0)
    row = wg.wgbas(ip, "HORI")
    c = wg.wgpbut(row, "one")
    d = wg.wgbut(row, "two", 0)
    (wa, ha), (wb, _), (wr, hr) = wg.gwgsiz(a), wg.gwgsiz(b), wg.gwgsiz(row)
    assert wa == wb == wr == 300                     # a column is as wide as its widest
    assert wg.gwgsiz(ip)[0] == 300 + 2 * 8           # and the main window has margins
    assert hr == max(wg.gwgsiz(c)[1], wg.gwgsiz(d)[1])
    assert wg.gwgsiz(c)[0] + wg.gwgsiz(d)[0] <= 300  # the row shares its width
    wg.swgdrw(0.5)
    dr = wg.wgdraw(ip)          # 400 pixels wide unless told otherwise: the column grows
    assert wg.gwgsiz(dr) == (400, 200) and wg.gwgsiz(a)[0] == 400
    fm = wg.wgini("FORM")
    wg.swgpos(10, 20)
    wg.swgsiz(120, 40)
    f1 = wg.wgpbut(fm, "at")
    wg.swgpos(200, 5)
    f2 = wg.wgpbut(fm, "there")
    assert wg.gwgsiz(f1) == (120, 40) and wg.gwgsiz(f2) == (120, 40)
    assert wg.gwgsiz(fm) == (200 + 120 + 16, 20 + 40 + 16)


def test_widgets_need_a_parent_that_can_hold_them(wg, capfd):
    ip = wg.wgini("VERT")
    lab = wg.wglab(ip, "x")
    assert wg.wglab(lab, "y") == 0
    assert wg.wgapp(ip, "entry") == 0      # entries belong into menus
    base = wg.wgbas(ip, "VERT")
    assert wg.wgpop(base, "menu") == 0     # menus into main windows
    assert wg.wglab(77, "z") == 0
    out = capfd.readouterr().out
    assert out.count("Warning 205") == 3 and "Warning 202: Widget 77 is not defined in wglab!" in out


def test_ids_start_afresh_with_each_new_dialog(wg):
    first = wg.wgini("VERT")
    wg.wglab(first, "a")
    second = wg.wgini("VERT")     # the first is still open: ids go on
    assert (first, second) == (1, 3)
    wg.sendok()
    wg.wgfin()                    # returns at once after sendok
    assert wg.gwgatt(second, "EXIT") == 4
    wg.wgfin()                    # the first one (no display: closed at once)
    assert wg.wgini("HORI") == 1


def test_settings_are_checked(wg, capfd):
    wg.swgclr(1.2, 0, 0, "BACK")
    wg.swgspc(-1.0, 0.5)
    wg.swgfnt("Helvetica", 0)
    wg.swgdrw(float("inf"))
    wg.swgwin(0, 0, 0, 100)
    wg.swgtyp("MULT", "TABLE")
    wg.swgmix("", "SEP")
    ip = wg.wgini("VERT")
    assert wg.wgscl(ip, "s", 1.0, 1.0, 1.0, 0) > 0   # a scale all the same, with a warning
    out = capfd.readouterr().out
    assert out.count("Warning 2: Incorrect parameter") == 8


def test_larger_fonts_make_larger_widgets(wg):
    ip = wg.wgini("VERT")
    small = wg.wgtxt(ip, "x")
    wg.swgfnt("Times", 24)
    large = wg.wgtxt(ip, "x")
    wg.swgfnt("STANDARD", 12)
    again = wg.wgtxt(ip, "x")
    assert wg.gwgsiz(large)[1] > wg.gwgsiz(small)[1] == wg.gwgsiz(again)[1]
