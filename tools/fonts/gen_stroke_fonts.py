#!/usr/bin/env python3
"""Generates the stroke-font tables src/text/fontdata/stroke_*.cpp.

    python3 tools/fonts/gen_stroke_fonts.py

Needs the Debian package hershey-fonts-data (/usr/share/hershey-fonts).
"""
from __future__ import annotations

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import codes  # noqa: E402
import font1  # noqa: E402
import stroke_design as sd  # noqa: E402
from emit import AlphabetOut, write_file  # noqa: E402
from pack import Pool  # noqa: E402

HERSHEY_GRID = (20, 21)
NOTE = ("Hershey fonts (A. V. Hershey, U.S. National Bureau of Standards; "
        "format by James Hurt); accents and additions by tavero.")


def uni(layout):
    return [ord(c) for c in layout]


def hershey_latin(stem, weight, n_chars, slant=0.0):
    glyphs = sd.load_ascii(stem)
    style = sd.Style(glyphs, weight, slant=slant)
    layout = codes.stan_layout(n_chars)
    return sd.latin_set(style, layout), uni(layout)


def build_common():
    alphas = []
    # GREE: complex Greek in the Symbol-font order
    g = sd.load_ascii("timesg")
    letters = sd.greek_letters(g, True, 2)
    st = sd.GreekStyle(g, 2, letters)
    layout = codes.gree_layout(116)
    gree_pool = Pool(0.5)
    alphas.append((AlphabetOut("CommonGree", sd.greek_set(st, layout), uni(layout), gree_pool,
                               HERSHEY_GRID, 0.25), "kGree"))
    # MATH
    math_pool = Pool(0.5)
    alphas.append((AlphabetOut("CommonMath", sd.math_set(), sd.math_unicode(), math_pool,
                               HERSHEY_GRID, 0.25), "kMath"))
    # SCRI: complex script with the German letters
    s = sd.load_ascii("scriptc")
    sst = sd.Style(s, 2, slant=0.3)
    layout = codes.scri_layout(102)
    scri_pool = Pool(0.5)
    alphas.append((AlphabetOut("CommonScri", sd.latin_set(sst, layout), uni(layout), scri_pool,
                               HERSHEY_GRID, 0.25), "kScri"))
    # RUSS
    russ_pool = Pool(0.5)
    alphas.append((AlphabetOut("CommonRuss", sd.russ_set(), uni(codes.RUSS_LAYOUT), russ_pool,
                               HERSHEY_GRID, 0.25), "kRuss"))
    pools = [("kGree", gree_pool, "kPacked"), ("kMath", math_pool, "kPacked"),
             ("kScri", scri_pool, "kPacked"), ("kRuss", russ_pool, "kPacked")]
    return write_file("stroke_common.cpp", "gen_stroke_fonts.py", NOTE, pools, alphas)


def build_font1():
    latin = {}
    for ch, src in font1.LATIN.items():
        latin[ch] = font1.parse(src)
    latin[" "] = sd.Glyph()
    style = sd.Font1Style(latin)
    layout = codes.stan_layout(132)
    stan = sd.latin_set(style, layout)
    pool = Pool(0.5)
    a_stan = AlphabetOut("Font1Stan", stan, uni(layout), pool, (6, 7), 0.0, left=None,
                         fixed_width=6)
    gl = codes.gree_layout(95)
    a_gree = AlphabetOut("Font1Gree", sd.font1_greek(latin), uni(gl), pool, (6, 7), 0.0,
                         left=2, shares=True)
    return write_file("stroke_font1.cpp", "gen_stroke_fonts.py",
                      "Font 1 (tavalf): designed for tavero on a 6 x 7 grid.",
                      [("kFont1", pool, "kPacked")], [(a_stan, "kFont1"), (a_gree, "kFont1")],
                      slanted=[("kFont1Ital", a_stan)])


def build_hershey_font(fname, cname, stem, weight, n_chars, extra=(), slanted_ital=True):
    pool = Pool(0.5)
    glyphs, u = hershey_latin(stem, weight, n_chars)
    stan = AlphabetOut(cname + "Stan", glyphs, u, pool, HERSHEY_GRID, 0.25)
    alphas = [(stan, "k" + cname)]
    pools = [("k" + cname, pool, "kPacked")]
    for item in extra:
        alphas.append(item(pools))
    slanted = [("k%sItal" % cname, stan)] if slanted_ital else []
    return write_file(fname, "gen_stroke_fonts.py", NOTE, pools, alphas, slanted)


def simplex_greek(pools):
    """Font 4's Greek: own index on the points of its STAN alphabet."""
    pool = pools[0][1]
    g = sd.load_ascii("greeks")
    # the simplex Greek shares digits and signs with the simplex Roman
    letters = sd.greek_letters(g, False, 1)
    st = sd.GreekStyle(g, 1, letters)
    rs = sd.load_ascii("rowmans")
    layout = codes.gree_layout(95)
    glyphs = []
    for ch in layout:
        if ch in letters:
            glyphs.append(letters[ch])
        else:
            glyphs.append(rs[ch])
    return (AlphabetOut("SimplxGree", glyphs, uni(layout), pool, HERSHEY_GRID, 0.25,
                        shares=True), pools[0][0])


def complex_italic(pools):
    pool = Pool(0.5)
    pools.append(("kComplxItal", pool, "kPacked"))
    glyphs, u = hershey_latin("timesi", 2, 102, slant=0.3)
    return (AlphabetOut("ComplxItal", glyphs, u, pool, HERSHEY_GRID, 0.25), "kComplxItal")


def gothic_italian(pools):
    pool = Pool(0.5)
    pools.append(("kGothicItal", pool, "kPacked"))
    glyphs, u = hershey_latin("gothicita", 3, 95)
    return (AlphabetOut("GothicItal", glyphs, u, pool, HERSHEY_GRID, 0.25), "kGothicItal")


def gothic_german(pools):
    pool = Pool(0.5)
    pools.append(("kGothicScri", pool, "kPacked"))
    g = sd.load_ascii("gothicger")
    st = sd.Style(g, 3)
    # Fraktur sharp s is the long s joined to the round z
    ls, z = g["s"], g["z"]
    lb, zb = ls.bbox(), z.bbox()
    st.specials = lambda: {"ß": lambda: ls + z.moved(lb[2] - zb[0] - 2, 0)}
    layout = codes.scri_layout(102)
    return (AlphabetOut("GothicScri", sd.latin_set(st, layout), uni(layout), pool,
                        HERSHEY_GRID, 0.25), "kGothicScri")


def main():
    written = [
        build_common(),
        build_font1(),
        build_hershey_font("stroke_complx.cpp", "Complx", "timesr", 2, 233, [complex_italic],
                           slanted_ital=False),
        build_hershey_font("stroke_simplx.cpp", "Simplx", "rowmans", 1, 132, [simplex_greek]),
        build_hershey_font("stroke_duplx.cpp", "Duplx", "rowmand", 2, 132),
        build_hershey_font("stroke_triplx.cpp", "Triplx", "rowmant", 3, 132),
        build_hershey_font("stroke_gothic.cpp", "Gothic", "gothiceng", 3, 95,
                           [gothic_italian, gothic_german], slanted_ital=False),
    ]
    for p in written:
        print("wrote", os.path.relpath(p), os.path.getsize(p), "bytes")


if __name__ == "__main__":
    main()
