"""Symbols: the shapes of the built-in table, size, rotation, the user symbol, filled symbols
on a device that fills, and the checks of the symbol routines."""
import math

import pytest

from chartutil import centre, close, strokes_of, warnings

# pieces per symbol on the metafile: a filled symbol is its fill (drawn as an outline by a
# device without fills) and its outline
PIECES = [1, 1, 1, 2, 2, 1, 1, 3, 4, 3, 3, 2, 3, 3, 2, 1, 2, 2, 2, 2, 2, 2, 1, 2]


def symbols_at_level_1(tv, numbers, size=100, setup=None):
    def body(t):
        t.hsymbl(size)
        if setup:
            setup(t)
        for k, n in enumerate(numbers):
            t.symbol(n, 300 + 200 * (k % 12), 400 + 300 * (k // 12))
    return strokes_of(tv, body, axis=None)


def test_every_builtin_shape(tv):
    strokes = symbols_at_level_1(tv, range(24))
    groups = {}
    for s in strokes:
        c = centre(s)
        key = (round((c[0] - 300) / 200), round((c[1] - 400) / 300))
        groups.setdefault(key[0] + 12 * key[1], []).append(s)
    assert [len(groups.get(k, [])) for k in range(24)] == PIECES
    rel = lambda s, k: [(round(x - 300 - 200 * (k % 12)), round(y - 400 - 300 * (k // 12))) for x, y in s]
    assert rel(groups[0][0], 0) == [(-50, -50), (50, -50), (50, 50), (-50, 50), (-50, -50)]
    octagon = set(rel(groups[1][0], 1))
    assert octagon == {(20, -50), (-20, -50), (50, -20), (50, 20), (20, 50), (-20, 50), (-50, 20), (-50, -20)}
    circle = rel(groups[15][0], 15)
    assert len(circle) == 19 and circle[0] == circle[-1] == (49, 0)
    assert all(45 <= math.hypot(x, y) <= 50 for x, y in circle)
    half = rel(groups[22][0], 22)
    assert len(half) == 11 and half[0] == half[-1] == (49, 0) and all(y <= 0 for _, y in half)


def test_size_rotation_and_rounded_position(tv):
    def body(t):
        t.hsymbl(40)
        t.symrot(90)
        t.symbol(2, 500, 500)      # triangle, apex up: turned counter-clockwise it points left
    tri = strokes_of(tv, body, axis=None)[0]
    leftmost = min(tri, key=lambda p: p[0])
    assert close(leftmost, (480, 500))
    tv.delglb()
    strokes = strokes_of(tv, lambda t: (t.hsymbl(10), t.rlsymb(0, 5.0, 5.0), t.symbol(3, 700, 0)),
                         setup=lambda t: t.pagorg("bott"))
    square = strokes[0]
    c = centre(square)
    assert c == pytest.approx((round(c[0]), round(c[1])), abs=0.01)   # on a whole plot unit
    assert max(p[0] for p in square) - min(p[0] for p in square) == pytest.approx(10, abs=0.01)
    assert centre(strokes[1])[1] == pytest.approx(2099, abs=0.01)   # y measured from the bottom


def test_user_symbol(tv, capfd):
    tv.tavini()
    xs, ys = [-1.0, 1.0, 0.0], [-1.0, -1.0, 1.5]
    tv.mysymb(xs, ys, 3, 30, 0)
    assert "108: values out of range in mysymb" in warnings(capfd)[0]
    tv.marker(30)
    assert tv.getsym()[0] == 30
    tv.marker(31)
    assert "Incorrect parameter in marker" in warnings(capfd)[0]
    assert tv.getsym()[0] == 30
    tv.delglb()

    def body(t):
        t.mysymb(xs, ys, 3, 30, 0)
        t.hsymbl(40)
        t.symbol(30, 500, 500)
        t.symbol(-1, 800, 800)
    strokes = strokes_of(tv, body, axis=None)
    assert len(strokes) == 1
    pts = [(round(x - 500), round(y - 500)) for x, y in strokes[0]]
    assert pts == [(-20, 20), (20, 20), (0, -30)]     # size / 2 per unit, y upwards kept as given


def test_filled_symbols_reach_the_device_as_fills(tv):
    tv.metafl("ps")
    tv.tavini()
    tv.unit(0)
    name = tv.getfil()
    for k, n in enumerate((16, 17, 18, 19, 20, 21, 23)):
        tv.symbol(n, 300 + 150 * k, 500)
    tv.tavfin()
    assert open(name).read().count("eofill") == 7


def test_symbol_checks(tv, capfd):
    tv.tavini()
    tv.hsymbl(0)
    tv.symbol(24, 100, 100)
    tv.rlsymb(1, 1.0, 1.0)
    tv.mysymb([0.0], [0.0], 1, -1, 0)
    tv.mrkclr(-5)
    w = warnings(capfd)
    assert "in hsymbl" in w[0] and "in symbol" in w[1]
    assert "3: Incorrect level in rlsymb" in w[2]
    assert "in mysymb" in w[3] and "in mrkclr" in w[4]
    assert tv.getsym() == (0, 36)
