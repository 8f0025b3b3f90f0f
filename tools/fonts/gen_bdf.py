#!/usr/bin/env python3
"""Generates the bitmap fonts of bmpfnt into python/tavero/fonts/*.bdf.

    python3 tools/fonts/gen_bdf.py

COMP and SIMP are the stroke fonts 3 (complx) and 4 (simplx) rasterised from
the generated tables in src/text/fontdata (run gen_stroke_fonts.py first);
HELV is Liberation Sans rendered by FreeType through Pillow.  Every font
comes in the pixel sizes SIZES; the pixel size is the height of the capitals
plus one pixel, like the character height of the stroke fonts.  Glyphs are
encoded in ISO 8859-1 (code = Unicode value below 256); characters that a
source lacks are left out and DEFAULT_CHAR (the blank) stands for them.
Needs Pillow.
"""
from __future__ import annotations

import os
import sys

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import preview  # noqa: E402  (decoder of the generated tables)

OUT = os.path.normpath(os.path.join(HERE, "..", "..", "python", "tavero", "fonts"))
SIZES = (10, 12, 14, 16, 20, 24, 32, 48)
CHARS = [c for c in range(32, 256) if c < 127 or c >= 160]
SS = 4  # supersampling factor of the stroke rasteriser
HELV_TTF = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf"
NOTICE = {
    "comp": "Derived from the Hershey fonts (A. V. Hershey, U.S. National Bureau of Standards)",
    "simp": "Derived from the Hershey fonts (A. V. Hershey, U.S. National Bureau of Standards)",
    "helv": "Rendered from Liberation Sans, (c) 2012 Red Hat, Inc., SIL Open Font License 1.1",
}
# signs that the STAN alphabets lack, taken from other alphabets of the font
FALLBACK = {0xB5: 0x3BC}


class Bitmap:
    def __init__(self, code, img, xoff, yoff, advance):
        self.code = code
        self.img = img          # mode "1", cropped; None for an empty glyph
        self.xoff = xoff        # left edge relative to the origin
        self.yoff = yoff        # bottom edge relative to the base line (up)
        self.advance = advance


def crop(img, origin_x, base_y):
    box = img.getbbox()
    if box is None:
        return None, 0, 0
    x0, y0, x1, y1 = box
    return img.crop(box), x0 - origin_x, base_y - y1


def stroke_source(font_number):
    tables = preview.load_tables()
    names = {3: "Complx", 4: "Simplx"}[font_number]
    order = ["k%sStan" % names, "kCommonMath", "kCommonGree" if font_number == 3 else "kSimplxGree"]
    alphas = [tables[n] for n in order]
    lookup = {}
    for a in reversed(alphas):
        for i, u in enumerate(a["unicode"]):
            if u:
                lookup[u] = (a, 32 + i)
    return lookup


def render_stroke(font_number, size):
    lookup = stroke_source(font_number)
    h = size
    s = (h - 1) / 21.0 * SS
    lw = max(SS, round(SS * h / (16 if font_number == 4 else 13)))
    out = []
    for code in CHARS:
        u = FALLBACK.get(code, code)
        if u not in lookup and code != 32:
            continue
        a, c = lookup.get(u, (None, 32))
        gap = 0.25 * h
        if code == 32:
            out.append(Bitmap(32, None, 0, 0, round(9 * (h - 1) / 21 + gap)))
            continue
        W, H = int(3 * h * SS), int(3 * h * SS)
        ox, base = int(h * SS), int(2 * h * SS)
        img = Image.new("L", (W, H), 0)
        d = ImageDraw.Draw(img)
        for pl in preview.polylines(a, c):
            pts = [(ox + x * s, base - y * s) for x, y in pl]
            if len(pts) == 2 and pts[0] == pts[1]:
                r = lw / 2
                d.ellipse([pts[0][0] - r, pts[0][1] - r, pts[0][0] + r, pts[0][1] + r], fill=255)
            else:
                d.line(pts, fill=255, width=lw, joint="curve")
        small = img.resize((W // SS, H // SS), Image.BOX).point(lambda v: 255 if v >= 80 else 0)
        bm, xo, yo = crop(small.convert("1"), ox // SS, base // SS)
        adv = round(preview.width(a, c, 9) * (h - 1) / 21 + gap)
        out.append(Bitmap(code, bm, xo, yo, adv))
    return out


def render_helv(size):
    # cap height of Liberation Sans is 1409 of 2048 units
    pt = (size - 1) * 2048 / 1409
    font = ImageFont.truetype(HELV_TTF, round(pt))
    out = []
    for code in CHARS:
        ch = chr(code)
        adv = round(font.getlength(ch))
        if code == 32:
            out.append(Bitmap(32, None, 0, 0, adv))
            continue
        W = H = int(3 * size)
        ox, base = size, 2 * size
        img = Image.new("L", (W, H), 0)
        ImageDraw.Draw(img).text((ox, base), ch, font=font, fill=255, anchor="ls")
        bm, xo, yo = crop(img.point(lambda v: 255 if v >= 110 else 0).convert("1"), ox, base)
        if bm is None:
            continue
        out.append(Bitmap(code, bm, xo, yo, adv))
    return out


def bdf(name, size, glyphs):
    asc = max([g.yoff + g.img.size[1] for g in glyphs if g.img] + [size])
    desc = max([-g.yoff for g in glyphs if g.img] + [0])
    xmin = min([g.xoff for g in glyphs if g.img] + [0])
    xmax = max([g.xoff + g.img.size[0] for g in glyphs if g.img])
    lines = [
        "STARTFONT 2.1",
        "FONT -tavero-%s-medium-r-normal--%d-%d-75-75-p-0-iso8859-1" % (name, size, size * 10),
        "SIZE %d 75 75" % size,
        "FONTBOUNDINGBOX %d %d %d %d" % (xmax - xmin, asc + desc, xmin, -desc),
        "STARTPROPERTIES 9",
        'FAMILY_NAME "tavero-%s"' % name,
        "PIXEL_SIZE %d" % size,
        "CAP_HEIGHT %d" % (size - 1),
        "FONT_ASCENT %d" % asc,
        "FONT_DESCENT %d" % desc,
        'CHARSET_REGISTRY "ISO8859"',
        'CHARSET_ENCODING "1"',
        "DEFAULT_CHAR 32",
        'COPYRIGHT "%s"' % NOTICE[name],
        "ENDPROPERTIES",
        "CHARS %d" % len(glyphs),
    ]
    for g in glyphs:
        w, h = g.img.size if g.img else (0, 0)
        lines += [
            "STARTCHAR U+%04X" % g.code,
            "ENCODING %d" % g.code,
            "SWIDTH %d 0" % round(g.advance * 72000 / (size * 75)),
            "DWIDTH %d 0" % g.advance,
            "BBX %d %d %d %d" % (w, h, g.xoff if g.img else 0, g.yoff if g.img else 0),
            "BITMAP",
        ]
        if g.img:
            nbytes = (w + 7) // 8
            px = g.img.load()
            for y in range(h):
                v = 0
                for x in range(w):
                    if px[x, y]:
                        v |= 1 << (nbytes * 8 - 1 - x)
                lines.append("%0*X" % (2 * nbytes, v))
        lines.append("ENDCHAR")
    lines.append("ENDFONT")
    return "\n".join(lines) + "\n"


def main():
    os.makedirs(OUT, exist_ok=True)
    total = 0
    for size in SIZES:
        for name, glyphs in (("comp", render_stroke(3, size)), ("simp", render_stroke(4, size)),
                             ("helv", render_helv(size))):
            path = os.path.join(OUT, "%s%02d.bdf" % (name, size))
            with open(path, "w") as f:
                f.write(bdf(name, size, glyphs))
            total += os.path.getsize(path)
    print("wrote %d files, %d bytes, to %s" % (3 * len(SIZES), total, os.path.relpath(OUT)))


if __name__ == "__main__":
    main()
