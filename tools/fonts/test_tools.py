"""Checks of the font generators' building blocks.

    python3 -m pytest tools/fonts/test_tools.py
"""
import os
import random
import sys
import unicodedata

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import codes  # noqa: E402
import stroke_design as sd  # noqa: E402
from glyphs import Glyph, circle, clip_x  # noqa: E402
from pack import IndexBuilder, Pool, decode_record  # noqa: E402


def decode(pool, ib, k):
    """Strokes of the k-th record, offsets applied (grid units)."""
    out = []
    for n, s, ox, oy in decode_record(ib.words, ib.starts[k]):
        pts = pool.points[s - 1:s - 1 + n]
        out.append([(x + ox * pool.scale, y + oy * pool.scale) for x, y in pts])
    return out


def test_pack_round_trip_with_reuse_and_half_units():
    rnd = random.Random(7)
    pool = Pool(0.5)
    ib = IndexBuilder(pool)
    base = [(rnd.randint(-20, 20), rnd.randint(-10, 30)) for _ in range(6)]
    glyphs = []
    for k in range(40):
        dx, dy = rnd.choice([0, 0.5, 3, -7.5]), rnd.choice([0, 0.5, 12, -4])
        strokes = [[(x + dx, y + dy) for x, y in base],
                   [(rnd.randint(0, 9), rnd.randint(0, 9)) for _ in range(rnd.randint(2, 5))]]
        glyphs.append(strokes)
        ib.add(strokes)
    for k, strokes in enumerate(glyphs):
        assert decode(pool, ib, k) == [[(float(x), float(y)) for x, y in s] for s in strokes]
    # the shifted copies of the first stroke are stored once
    assert len(pool.points) < 40 * 6


def test_outline_offsets_are_two_unit_steps():
    pool = Pool(2.0, coord_range=(-32768, 32767))
    ib = IndexBuilder(pool)
    square = [(0, 0), (10, 0), (10, 10), (0, 10)]
    ib.add([square])
    ib.add([[(x + 4, y + 6) for x, y in square]])   # reusable: even shift
    ib.add([[(x + 3, y) for x, y in square]])       # odd shift: stored again
    assert ib.words[ib.starts[1] + 1] < 0
    assert len(pool.points) == 8
    assert decode(pool, ib, 1)[0][2] == (14.0, 16.0)


def test_single_point_becomes_visible_dot():
    pool = Pool(0.5)
    ib = IndexBuilder(pool)
    ib.add([[(3, 4)]])
    assert decode(pool, ib, 0) == [[(3.0, 4.0), (3.0, 4.0)]]


def test_clip_keeps_the_part_between_the_lines():
    g = Glyph([[(0, 0), (10, 10), (0, 20)], [(3, 3)], [(8, 0), (8, 5)]])
    left = clip_x(g, xmax=5)
    assert left.strokes == [[(0, 0), (5, 5)], [(5, 15), (0, 20)], [(3, 3)]]
    right = clip_x(g, xmin=5)
    assert right.strokes[0] == [(5, 5), (10, 10), (5, 15)]
    assert right.strokes[1] == [(8, 0), (8, 5)]


def test_circle_is_closed_and_symmetric():
    c = circle(0, 0, 3).strokes[0]
    assert c[0] == c[-1]
    pts = set(c)
    assert all((-x, y) in pts and (x, -y) in pts for x, y in pts)


def test_layouts():
    stan = codes.stan_layout(233)
    assert len(set(stan)) == 233
    assert stan[127 - 32:134 - 32] == "ÄÖÜäöüß"
    assert stan[185 - 32] == "¡" and stan[263 - 32] == "€"
    gree = codes.gree_layout(116)
    assert len(set(gree)) == 116
    letters = [c for c in gree if unicodedata.category(c).startswith("L")]
    assert all("GREEK" in unicodedata.name(c) for c in letters)
    russ = codes.RUSS_LAYOUT
    cyr = [c for c in russ if "CYRILLIC" in unicodedata.name(c, "")]
    assert len(cyr) == 66 and len(set(cyr)) == 66
    assert len(sd.MATH_LAYOUT) == 131


def test_accented_letters_keep_their_base_and_add_above():
    g = sd.load_ascii("rowmans")
    st = sd.Style(g, 1)
    for ch in "ÄéÑôÅ":
        base = unicodedata.normalize("NFD", ch)[0]
        comp = st.compose(ch)
        assert all(s in comp.strokes for s in g[base].strokes)
        extra = [p for s in comp.strokes if s not in g[base].strokes for p in s]
        assert min(y for _, y in extra) > g[base].bbox()[3]
    cedilla = st.compose("ç")
    assert cedilla.bbox()[1] < 0


def test_dotless_i_under_accents():
    g = sd.load_ascii("timesr")
    st = sd.Style(g, 2)
    dot = [s for s in g["i"].strokes if min(y for _, y in s) > st.xh]
    i_acute = st.compose("í")
    assert dot and not any(s in i_acute.strokes for s in dot)
    assert i_acute.bbox()[3] > st.xh + st.gap
