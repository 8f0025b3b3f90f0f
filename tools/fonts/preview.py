#!/usr/bin/env python3
"""Renders every alphabet of the generated font tables into PNG sheets.

    python3 tools/fonts/preview.py [OUTDIR]     (default /tmp/tavero-font-preview)

The sheets decode the generated C++ files themselves (not the generator's
intermediate data), so they show exactly what the library will draw: one
cell per code with its number, the base line (grey) and the advance width
(red tick), then sample lines spaced by the engine's rule width + gap.
Needs Pillow.
"""
from __future__ import annotations

import glob
import os
import re
import sys

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.normpath(os.path.join(HERE, "..", "..", "src", "text", "fontdata"))

ARRAY_RE = re.compile(r"constexpr (?:std::)?(int16_t|uint32_t|char32_t) (\w+)\[\] = \{(.*?)\};", re.S)
ALPHA_RE = re.compile(r"const Alphabet (\w+) = \{(.*?)\};", re.S)
FIELD_RE = re.compile(r"\.(\w+) = ([^,\n]+),")


def load_tables():
    alphabets = {}
    for path in sorted(glob.glob(os.path.join(DATA, "*.cpp"))):
        text = open(path, encoding="utf-8").read()
        arrays = {}
        for ctype, name, body in ARRAY_RE.findall(text):
            vals = [int(v) for v in body.replace("\n", "").split(",") if v.strip()]
            arrays[name] = vals
        for name, body in ALPHA_RE.findall(text):
            f = dict(FIELD_RE.findall(body))
            a = {k: v.strip() for k, v in f.items()}
            a["file"] = os.path.basename(path)
            for key in ("coords", "xs", "ys", "index", "records", "unicode"):
                a[key] = arrays.get(a.get(key, "nullptr"))
            alphabets[name] = a
    return alphabets


def point(a, i):
    if a["storage"] == "Storage::kPacked":
        w = a["coords"][i] & 0xFFFF
        x, y = w & 0xFF, w >> 8
        return (x - 256 if x > 127 else x), (y - 256 if y > 127 else y)
    return a["xs"][i], a["ys"][i]


def polylines(a, code):
    """Pieces of one code as lists of points in grid units (offsets applied)."""
    if code < 33 or code > 31 + int(a["n_chars"]):
        return []
    idx = a["index"]
    pos = a["records"][code - 33]
    scale = 0.5 if a["storage"] == "Storage::kPacked" else 2.0
    end = pos + idx[pos]
    i = pos + 1
    out = []
    while i < end:
        n = idx[i]
        if n > 0:
            s, ox, oy = idx[i + 1], 0, 0
            i += 2
        else:
            n, s = -n, idx[i + 1]
            w = idx[i + 2] & 0xFFFF
            ox, oy = w & 0xFF, w >> 8
            ox = (ox - 256 if ox > 127 else ox) * scale
            oy = (oy - 256 if oy > 127 else oy) * scale
            i += 3
        pts = []
        for k in range(n):
            x, y = point(a, s - 1 + k)
            pts.append((x + ox, y + oy))
        out.append(pts)
    return out


def width(a, code, blank):
    if int(a["fixed_width"]):
        return int(a["fixed_width"])
    if code == 32:
        return blank
    xs = [x for pl in polylines(a, code) for x, _ in pl]
    return max(xs) if xs else 0


def draw_glyph(d, a, code, ox, oy, s, fill=True, lw=1):
    outline = a["storage"] == "Storage::kSplit"
    for pl in polylines(a, code):
        pts = [(ox + x * s, oy - y * s) for x, y in pl]
        if outline and len(pts) > 2:
            d.polygon(pts, outline=0)
        elif len(pts) == 1 or (len(pts) == 2 and pts[0] == pts[1]):
            d.ellipse([pts[0][0] - lw, pts[0][1] - lw, pts[0][0] + lw, pts[0][1] + lw], fill=0)
        else:
            d.line(pts, fill=0, width=lw)


def fill_outline(img, a, code, ox, oy, s):
    """Even-odd fill of all contours of an outline glyph."""
    mask = Image.new("1", img.size, 0)
    for pl in polylines(a, code):
        if len(pl) < 3:
            continue
        layer = Image.new("1", img.size, 0)
        ImageDraw.Draw(layer).polygon([(ox + x * s, oy - y * s) for x, y in pl], fill=1)
        mask = Image.frombytes("1", img.size, bytes(
            p ^ q for p, q in zip(mask.tobytes(), layer.tobytes())))
    img.paste(0, mask=mask)


SAMPLES = {
    "Stan": ["The quick brown fox jumps over the lazy dog.", "SPHINX OF BLACK QUARTZ, JUDGE MY VOW!",
             "0123456789 (x+y)^2 = 3.14 * [a/b] {c|d} <e> #$%&@?_~"],
}


def sample_codes(a, name):
    n = int(a["n_chars"])
    if name.endswith("Stan") or name.endswith("Ital") or name.endswith("Scri"):
        lines = [[ord(c) for c in t] for t in SAMPLES["Stan"]]
        if n > 95:
            lines.append(list(range(127, min(32 + n, 190))))
        if n > 160:
            lines.append(list(range(187, 32 + n)))
        return lines
    u = a["unicode"]
    return [list(range(33, 80)), list(range(80, min(32 + n, 127))), list(range(127, 32 + n))]


def render(name, a, outdir, blank):
    n = int(a["n_chars"])
    gw, gh = int(a["grid_w"]), int(a["grid_h"])
    s = 60.0 / gh
    outline = a["storage"] == "Storage::kSplit"
    cw, ch = int(2.0 * gh * s), int(2.6 * gh * s)
    cols = 16
    rows = (n + cols - 1) // cols
    samples = [l for l in sample_codes(a, name) if l]
    sample_h = int(2.0 * gh * s)
    W = cols * cw
    H = rows * ch + len(samples) * sample_h + 20
    img = Image.new("L", (W, H), 255)
    d = ImageDraw.Draw(img)
    for i in range(n):
        code = 32 + i
        x0 = (i % cols) * cw
        y0 = (i // cols) * ch
        bx = x0 + int(0.5 * gh * s)
        by = y0 + int(1.8 * gh * s)
        d.text((x0 + 2, y0 + 1), str(code), fill=140)
        d.line([(x0, by), (x0 + cw - 4, by)], fill=215)
        d.line([(bx, by - gh * s), (bx + gw * s, by - gh * s)], fill=230)
        wdt = width(a, code, blank)
        d.line([(bx + wdt * s, by + 3), (bx + wdt * s, by + 9)], fill=100)
        if outline:
            fill_outline(img, a, code, bx, by, s)
        else:
            draw_glyph(d, a, code, bx, by, s)
    gap = float(a["gap"].rstrip("f"))
    y = rows * ch + 10
    for line_codes in samples:
        x = 10.0
        base = y + int(1.3 * gh * s)
        for code in line_codes:
            if outline:
                fill_outline(img, a, code, x, base, s * 0.7)
            else:
                draw_glyph(d, a, code, x, base, s * 0.7)
            x += (width(a, code, blank) + gap * gh) * s * 0.7
            if x > W - 40:
                break
        y += sample_h
    path = os.path.join(outdir, name[1:] + ".png")
    img.save(path)
    return path


BLANK = {"Font1": 6, "Helve": 60, "Helves": 60, "Helvet": 60, "Serif": 60}


def main():
    outdir = sys.argv[1] if len(sys.argv) > 1 else "/tmp/tavero-font-preview"
    os.makedirs(outdir, exist_ok=True)
    tables = load_tables()
    for name, a in sorted(tables.items()):
        blank = 9
        for k, v in BLANK.items():
            if name[1:].startswith(k) and not name[1 + len(k):1 + len(k) + 1].islower():
                blank = v
        print(render(name, a, outdir, blank))


if __name__ == "__main__":
    main()
