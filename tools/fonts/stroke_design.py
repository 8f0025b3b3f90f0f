"""Builds the glyph sets of the stroke alphabets (before packing).

Sources are the Hershey families (see hershey.py) and the hand design of
font 1 (font1.py).  Characters that the sources lack -- accented letters,
Æ, ß, ¡, ¿, the Greek variants, many mathematical signs -- are composed here
from pieces of existing glyphs and a few designed strokes, in the weight of
the family (1 = single line, 2 = double, 3 = triple).
"""
from __future__ import annotations

import unicodedata

import codes
import font1
import hershey
from glyphs import Glyph, circle, clip_x, clip_y, from_hershey, line, snap

ASCII = codes.ASCII

# combining marks -> accent names
MARKS = {
    "\u0300": "grave", "\u0301": "acute", "\u0302": "circumflex", "\u0303": "tilde",
    "\u0308": "dieresis", "\u030a": "ring", "\u0327": "cedilla", "\u030c": "caron",
    "\u0306": "breve", "\u0328": "ogonek", "\u030b": "dblacute", "\u0307": "dot",
    "\u0344": "dialytika_tonos",
}


def load_ascii(stem, fix_caret=True):
    """Glyphs of ASCII 32..126 of a Hershey family, keyed by character."""
    hs = hershey.load(stem)
    out = {}
    for i, ch in enumerate(ASCII):
        out[ch] = from_hershey(hs[i])
    # some families have an arrow at the place of the caret
    b = out["^"].bbox()
    if fix_caret and b and b[3] - b[1] > 10:
        out["^"] = Glyph([[(-5, 12), (0, 18), (5, 12)]])
    # two families carry the full stop three units above the base line
    dot = out["."]
    if dot.bbox() and dot.bbox()[1] > 0.5:
        out["."] = dot.moved(0, -dot.bbox()[1])
    return out


def stem_x(g: Glyph, leftmost=True):
    """x of the main vertical stem: the longest vertical segments."""
    segs = []
    for s in g.strokes:
        for (xa, ya), (xb, yb) in zip(s, s[1:]):
            if xa == xb:
                segs.append((abs(yb - ya), xa))
    if not segs:
        x0, _, x1, _ = g.bbox()
        return x0 if leftmost else x1
    m = max(l for l, _ in segs)
    xs = [x for l, x in segs if l >= 0.8 * m]
    return min(xs) if leftmost else max(xs)


def thicken(g: Glyph, weight, dx=1, dy=0):
    out = g.copy()
    for k in range(1, weight):
        out = out + g.moved(k * dx, k * dy)
    return out


class Style:
    """Composition rules of one family: metrics, accents and extra letters."""

    def __init__(self, glyphs, weight, x_height=14, cap=21, gap=2, accent_scale=1.0,
                 slant=0.0):
        self.g = glyphs
        self.w = weight
        self.xh = x_height
        self.cap = cap
        self.gap = gap
        self.k = accent_scale
        self.slant = slant

    # ---- accent shapes, bottom centre at (0, 0) ----
    def dot(self):
        d = self.g["."]
        x0, y0, x1, y1 = d.bbox()
        return d.moved(-snap((x0 + x1) / 2), -y0)

    def accent(self, name, cap=False):
        w, k = self.w, self.k

        def sc(pts):
            return [(round(x * k), round(y * k)) for x, y in pts]

        if name == "dot":
            return self.dot()
        if name == "dieresis":
            s = round((4 if cap else 3) * k)
            return self.dot().moved(-s, 0) + self.dot().moved(s, 0)
        if name == "acute":
            if w == 1:
                return Glyph([sc([(-1, 0), (2, 4)])])
            g = Glyph([sc([(-1, 0), (2, 4), (3, 4), (-1, 0)])])
            if w >= 3:
                g = g + Glyph([sc([(-1, 0), (3, 5), (4, 4), (-1, 0)])])
            return g
        if name == "grave":
            return self.accent("acute").mapped(lambda x, y: (-x, y))
        if name == "dblacute":
            a = self.accent("acute")
            s = round(2 * k)
            return a.moved(-s, 0) + a.moved(s, 0)
        if name == "circumflex":
            return thicken(Glyph([sc([(-3, 0), (0, 3), (3, 0)])]), min(w, 2), 0, 1)
        if name == "caron":
            return thicken(Glyph([sc([(-3, 3), (0, 0), (3, 3)])]), min(w, 2), 0, 1)
        if name == "tilde":
            pts = sc([(-4, 1), (-3, 2), (-2, 3), (-1, 3), (1, 0), (2, 0), (3, 1), (4, 2)])
            return thicken(Glyph([pts]), min(w, 2), 0, 1)
        if name == "ring":
            return Glyph([sc([(-1, 0), (1, 0), (2, 1), (2, 3), (1, 4), (-1, 4), (-2, 3),
                              (-2, 1), (-1, 0)])])
        if name == "breve":
            g = Glyph([sc([(-3, 3), (-2, 1), (-1, 0), (1, 0), (2, 1), (3, 3)])])
            if w >= 2:
                g = g + Glyph([sc([(-2, 2), (-1, 1), (1, 1), (2, 2)])])
            return g
        if name == "cedilla":
            return Glyph([sc([(0, 0), (-1, -2), (1, -2), (2, -3), (2, -4), (1, -5), (-2, -5)])])
        if name == "ogonek":
            return Glyph([sc([(0, 0), (-2, -2), (-2, -4), (-1, -5), (1, -5)])])
        raise KeyError(name)

    # ---- helpers ----
    def is_cap(self, base):
        b = self.g_of(base).bbox()
        return b is not None and b[3] > self.xh + 3

    def g_of(self, ch):
        return self.extra.get(ch) if ch in getattr(self, "extra", {}) else self.g[ch]

    def dotless(self, ch):
        g = self.g[ch]
        return g.without(lambda x, y: y > self.xh + 0.5)

    def compose(self, ch):
        """Glyph of a character made of a base letter and marks, or None."""
        if ch in self.specials():
            return self.specials()[ch]()
        d = unicodedata.normalize("NFD", ch)
        if len(d) < 2:
            return None
        base_ch, marks = d[0], d[1:]
        if base_ch not in self.g and base_ch not in getattr(self, "extra", {}):
            return None
        above = [MARKS[m] for m in marks if MARKS.get(m) not in ("cedilla", "ogonek")]
        below = [MARKS[m] for m in marks if MARKS.get(m) in ("cedilla", "ogonek")]
        if base_ch in "ij" and above:
            base = self.dotless(base_ch)
        else:
            base = self.g_of(base_ch).copy()
        cap = self.is_cap(base_ch)
        out = base.copy()
        if base_ch in "dtlL" and above == ["caron"]:
            return out + self.apostrophe_after(base)
        bb = base.bbox()
        top = bb[3]
        cx = base.top_center()
        for name in above:
            acc = self.accent(name, cap)
            ab = acc.bbox()
            ax = snap(cx + self.slant * (top + self.gap - self.xh))
            out = out + acc.moved(ax, top + self.gap)
            top = top + self.gap + (ab[3] - ab[1])
        for name in below:
            acc = self.accent(name, cap)
            if name == "cedilla":
                x = snap(base.bottom_center())
            else:
                x = snap(bb[2] - 1)
            out = out + acc.moved(x, 0)
        return out

    def apostrophe_after(self, base):
        ap = self.g["'"]
        a = ap.bbox()
        b = base.bbox()
        return ap.moved(b[2] + 1 - a[0], b[3] - a[3])

    # ---- letters that are not base + accent ----
    def specials(self):
        return {
            "ß": self.sharp_s, "Æ": self.ae_cap, "æ": self.ae, "Ø": lambda: self.slashed("O"),
            "ø": lambda: self.slashed("o"), "Ð": lambda: self.barred("D", 10), "Đ": lambda: self.barred("D", 10),
            "đ": lambda: self.barred_stem("d", 18, right=True), "Ħ": self.h_bar_cap,
            "ħ": lambda: self.barred_stem("h", 17), "Ł": lambda: self.slash_stem("L", 10),
            "ł": lambda: self.slash_stem("l", 11), "Þ": self.thorn_cap, "þ": self.thorn,
            "ð": self.eth, "×": self.times, "÷": self.divide, "°": self.degree,
            "€": self.euro, "©": self.copyright, "¡": lambda: self.turned("!"),
            "¿": lambda: self.turned("?"), "ı": lambda: self.dotless("i"),
        }

    def sharp_s(self):
        main = [(1, 0), (1, 16), (2, 19), (3, 20), (5, 21), (7, 21), (9, 20), (10, 18),
                (10, 16), (9, 14), (7, 13), (5, 13)]
        low = [(7, 13), (9, 12), (11, 10), (11, 4), (10, 2), (8, 0), (6, 0), (4, 1)]
        g = Glyph([main, low])
        if self.w >= 2:
            g = g + line((2, 0), (2, 16), (3, 19))
            g = g + line((12, 4), (12, 10))
        if self.w >= 3:
            g = g + line((0, 0), (0, 16))
        if self.slant:
            g = g.mapped(lambda x, y: (snap(x + self.slant * y), y))
        return g

    def slashed(self, ch):
        g = self.g[ch]
        x0, y0, x1, y1 = g.bbox()
        return g + line((x0 - 1, y0 - 1), (x1 + 1, y1 + 1))

    def barred(self, ch, y):
        g = self.g[ch]
        sx = stem_x(g)
        return g + line((sx - 3, y), (sx + 4, y))

    def barred_stem(self, ch, y, right=False):
        g = self.g[ch]
        sx = stem_x(g, leftmost=not right)
        return g + line((sx - 3, y), (sx + 4, y))

    def h_bar_cap(self):
        g = self.g["H"]
        x0, _, x1, _ = g.bbox()
        return g + line((x0, 16), (x1, 16))

    def slash_stem(self, ch, y):
        g = self.g[ch]
        sx = stem_x(g)
        return g + line((sx - 3, y - 3), (sx + 4, y + 3))

    def thorn_cap(self):
        g = self.g["P"]
        sx = stem_x(g, leftmost=False)
        out = []
        for s in g.strokes:
            if max(x for x, _ in s) > sx + 2 and min(y for _, y in s) > 4:
                out.append([(x, y - 4) for x, y in s])
            else:
                out.append(s)
        return Glyph(out)

    def thorn(self):
        p = self.g["p"]
        l = self.g["l"]
        ps, ls = stem_x(p), stem_x(l)
        asc = clip_y(l.moved(ps - ls, 0), ymin=self.xh - 1)
        return p + asc

    def eth(self):
        o = self.g["o"]
        x0, y0, x1, y1 = o.bbox()
        cx = (x0 + x1) / 2
        tail = line((x1 - 1, y1 - 3), (x1 - 1, y1 + 1), (cx, y1 + 5), (x0 + 1, y1 + 7))
        bar = line((snap(cx - 3), y1 + 2), (snap(cx + 4), y1 + 6))
        return o + thicken(tail, min(self.w, 2)) + bar

    def times(self):
        return Glyph([[(-6, 3), (6, 15)], [(-6, 15), (6, 3)]])

    def divide(self):
        minus = self.g["-"]
        x0, y0, x1, y1 = minus.bbox()
        cx = snap((x0 + x1) / 2)
        return minus + self.dot().moved(cx, y0 + 3) + self.dot().moved(cx, y0 - 5)

    def degree(self):
        return circle(0, 18, 3)

    def euro(self):
        c = self.g["C"]
        x0, y0, x1, y1 = c.bbox()
        return c + line((x0 - 3, 12), (x0 + 9, 12)) + line((x0 - 3, 8), (x0 + 8, 8))

    def copyright(self):
        c = self.g["c"]
        x0, y0, x1, y1 = c.bbox()
        ring = circle(0, 10, 11)
        return ring + c.moved(-snap((x0 + x1) / 2), 10 - snap((y0 + y1) / 2))

    def turned(self, ch):
        g = self.g[ch]
        return g.mapped(lambda x, y: (-x, 14 - y))

    def ae(self):
        # the right half of e continues from the stem of a
        a, e = self.g["a"], self.g["e"]
        ab, eb = a.bbox(), e.bbox()
        ecx = snap((eb[0] + eb[2]) / 2)
        right = clip_x(e, xmin=ecx - 1)
        return a + right.moved(stem_x(a, leftmost=False) - ecx + 1, 0)

    def ae_cap(self):
        a, e = self.g["A"], self.g["E"]
        apex = snap(a.top_center())
        left = clip_x(a, xmax=apex)
        return left + e.moved(apex - stem_x(e), 0)


class Font1Style(Style):
    """Composition on the 6 x 7 grid of font 1."""

    def __init__(self, glyphs):
        super().__init__(glyphs, 1, x_height=5, cap=7, gap=1)

    def accent(self, name, cap=False):
        if name == "dblacute":
            a = font1.parse(font1.ACCENTS["acute"])
            return a.moved(-1, 0) + a.moved(1, 0)
        return font1.parse(font1.ACCENTS[name])

    def dotless(self, ch):
        return self.g[ch].without(lambda x, y: y > self.xh)

    def specials(self):
        return {
            "¡": lambda: self.g["!"].mapped(lambda x, y: (6 - x, 5 - y)),
            "¿": lambda: self.g["?"].mapped(lambda x, y: (6 - x, 5 - y)),
        }

    def compose(self, ch):
        if ch in font1.LATIN:
            return font1.parse(font1.LATIN[ch])
        g = super().compose(ch)
        return g


def latin_set(style: Style, layout):
    """Glyphs for a STAN-like layout string (code 32 first)."""
    out = []
    for ch in layout:
        if ch in style.g:
            out.append(style.g[ch])
        else:
            g = style.compose(ch)
            if g is None:
                raise KeyError("no recipe for %r" % ch)
            out.append(g)
    return out


# ---------------------------------------------------------------- Greek

GREEK_ORDER = "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ"
GREEK_LOWER = "αβγδεζηθικλμνξοπρστυφχψω"


class GreekStyle(Style):
    def __init__(self, glyphs, weight, by_letter):
        super().__init__(glyphs, weight)
        self.extra = by_letter  # Greek letter -> Glyph

    def g_of(self, ch):
        return self.extra[ch] if ch in self.extra else self.g[ch]

    def is_cap(self, ch):
        return ch.isupper()

    def dotless(self, ch):
        return self.extra[ch]

    def compose(self, ch):
        if ch == "·":
            d = self.dot()
            return d.moved(0, self.xh - 3)
        d = unicodedata.normalize("NFD", ch)
        base_ch, marks = d[0], [MARKS.get(m) for m in d[1:]]
        base = self.extra[base_ch]
        if base_ch.isupper() and "acute" in marks:
            # capital with tonos: the mark stands in front of the letter
            b = base.bbox()
            acc = self.accent("acute")
            ab = acc.bbox()
            return acc.moved(b[0] - ab[2] - 1, b[3] - ab[3]) + base
        if "dialytika_tonos" in marks:
            marks = ["dieresis", "acute"]
        out = base.copy()
        b = base.bbox()
        cx = base.top_center()
        if "dieresis" in marks:
            out = out + self.accent("dieresis", base_ch.isupper()).moved(snap(cx), b[3] + self.gap)
        if "acute" in marks:
            lift = b[3] + self.gap + (0 if "dieresis" not in marks else -1)
            out = out + self.accent("acute").moved(snap(cx), lift)
        return out


def greek_letters(style_glyphs, layout_is_symbol, weight):
    """Greek letters of a Hershey Greek family as a dict letter -> Glyph."""
    g = style_glyphs
    out = {}
    if layout_is_symbol:
        latin_up = "ABGDEZHQIKLMNXOPRSTUFCYW"
    else:
        latin_up = "ABCDEFGHIJKLMNOPQRSTUVWX"
    for i, gr in enumerate(GREEK_ORDER):
        out[gr] = g[latin_up[i]]
        out[GREEK_LOWER[i]] = g[latin_up[i].lower()]
    # The Hershey theta is the open (script) form.
    out["ϑ"] = out["θ"]
    o = out["ο"]
    x0, y0, x1, y1 = o.bbox()
    tall = o.mapped(lambda x, y: (x, round(y * 1.5)))
    xs = sorted(tall.crossings(10.5))
    theta = tall + line((snap(xs[0]), 10), (snap(xs[-1]), 11)) if len(xs) >= 2 else tall
    out["θ"] = theta
    cx = snap((x0 + x1) / 2 + 0.5)
    out["ϕ"] = o + thicken(line((cx, -7), (cx, 19)), min(weight, 2))
    om = out["ω"]
    ob = om.bbox()
    out["ϖ"] = om.mapped(lambda x, y: (x, round(y * 0.8))) + thicken(
        line((ob[0] - 1, 14), (ob[2] + 1, 14)), min(weight, 2), 0, -1)
    sig = [(10, 13), (8, 14), (5, 14), (2, 12), (0, 9), (0, 5), (2, 2), (5, 1), (8, 0), (9, -2),
           (8, -4), (6, -5)]
    fs = thicken(Glyph([sig]), min(weight, 2))
    out["ς"] = fs.mapped(lambda x, y: (snap(x + 0.2 * y), y))
    return out


def greek_set(style: GreekStyle, layout):
    out = []
    for ch in layout:
        if ch in style.extra:
            out.append(style.extra[ch])
        elif ch in style.g:
            out.append(style.g[ch])
        else:
            out.append(style.compose(ch))
    return out


def font1_greek(latin):
    """Greek of font 1: reuses the Latin letters where the shapes agree."""
    out = []
    for ch in codes.gree_layout(95):
        if ch in font1.GREEK:
            out.append(font1.parse(font1.GREEK[ch]))
        elif ch in font1.GREEK_AS_LATIN:
            out.append(latin[font1.GREEK_AS_LATIN[ch]])
        else:
            out.append(latin[ch])
    return out


# ---------------------------------------------------------------- Cyrillic

CYR_ALPHA = "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩ"
# letters the alphabetic family lacks, with their places in the older family
CYR_OLD = {"Ъ": "]", "Ы": "$", "Ь": "_", "Э": "C", "Ю": "U", "Я": "^",
           "ъ": "|", "ы": "&", "ь": "~", "ю": "u", "я": "}"}


def russ_set():
    a = load_ascii("cyrilc_1")
    old = load_ascii("cyrillic", fix_caret=False)
    signs = load_ascii("timesr")
    letters = {}
    for i, ch in enumerate(CYR_ALPHA):
        letters[ch] = a[chr(65 + i)]
        letters[ch.lower()] = a[chr(97 + i)]
    for ch, src in CYR_OLD.items():
        letters[ch] = old[src]
    # the older family has no small э: the capital brought to the x-height
    e = old["C"]
    x0 = e.bbox()[0]
    letters["э"] = e.mapped(lambda x, y: (round(x0 + (x - x0) * 0.8), round(y * 2 / 3)))
    st = Style(a, 2)
    st.extra = letters
    letters["Ё"] = st.compose("Ё")
    letters["ё"] = st.compose("ё")
    out = []
    for ch in codes.RUSS_LAYOUT:
        out.append(letters[ch] if ch in letters else signs[ch])
    return out


# ---------------------------------------------------------------- MATH

def math_set():
    up = load_ascii("mathupp")
    low = load_ascii("mathlow")
    mk = hershey.load("markers")
    sy = load_ascii("symbolic")
    ast = load_ascii("astrology")
    rs = load_ascii("rowmans")

    def marker(code):
        return from_hershey(mk[code - 32])

    def center(g):
        x0, y0, x1, y1 = g.bbox()
        return snap((x0 + x1) / 2), snap((y0 + y1) / 2)

    def ring_at(g, r=3):
        cx, cy = center(g)
        return circle(cx, cy, r)

    tilde = from_hershey(hershey.load("mathupp")[95])
    circ = circle(0, 9, 8)
    arrow_r, arrow_l = up["i"], up["k"]
    arrow_u, arrow_d = up["j"], up["l"]

    def union(a, b):
        ca, cb = center(a), center(b)
        return a + b.moved(ca[0] - cb[0], ca[1] - cb[1])

    def dbl_arrow(left, right):
        g = Glyph([[(-8, 7), (8, 7)], [(-8, 11), (8, 11)]])
        if right:
            g = g + line((4, 14), (10, 9), (4, 4))
        if left:
            g = g + line((-4, 14), (-10, 9), (-4, 4))
        return g

    lt = up["<"]
    lb = lt.bbox()
    small_lt = lt.mapped(lambda x, y: (round(x * 0.6), round(9 + (y - 9) * 0.6)))
    gt_small = small_lt.mapped(lambda x, y: (-x, y))
    prime = line((1, 21), (-1, 15))
    dot = rs["."]
    h = rs["h"]
    hb = h.bbox()

    sub = up["d"]
    sb = sub.bbox()
    sup = up["f"]
    elem = up["h"]
    eb = elem.bbox()

    table = {
        "∀": up["A"].mapped(lambda x, y: (x, 21 - y)),
        "∃": up["v"], "⊂": sub, "⊃": sup, "∈": elem,
        "∉": elem + line((eb[0] + 1, eb[1] - 2), (eb[2] - 1, eb[3] + 2)),
        "∇": up["n"], "ℵ": up["w"], "∫": up["p"],
        "∮": up["p"] + ring_at(up["p"], 3), "∂": up["m"],
        "←": arrow_l, "↑": arrow_u, "↓": arrow_d, "°": up["`"], "∝": up["^"],
        "√": up["b"], "→": arrow_r,
        "≃": tilde.moved(0, 3) + line((center(tilde)[0] - 9, 5), (center(tilde)[0] + 9, 5)),
        "⊥": up["z"], "∪": up["e"], "∩": up["g"], "∠": up["|"], "∴": up["~"], "∞": up["_"],
        "≈": tilde.moved(0, 3) + tilde.moved(0, -3),
        "÷": up["x"], "‖": up["y"], "′": prime,
        "√2": up["c"], "√3": up["o"], "(L": up["r"], ")L": up["s"], "[L": up["t"], "]L": up["u"],
        "⊆": sub.moved(0, 3) + line((sb[0], sb[1]), (sb[2], sb[1])),
        "⊇": sup.moved(0, 3) + line((sup.bbox()[0], sb[1]), (sup.bbox()[2], sb[1])),
        "∫L": up["q"],
        "∧": line((-7, 2), (0, 16), (7, 2)), "∨": line((-7, 16), (0, 2), (7, 16)),
        "¬": line((-8, 11), (8, 11), (8, 5)),
        "↔": union(arrow_r, arrow_l), "↕": union(arrow_u, arrow_d),
        "∘": circle(0, 9, 3), "℘": sy["w"], "⇒": dbl_arrow(False, True),
        "○": marker(65), "□": marker(66), "△": marker(67), "◇": marker(68), "☆": marker(69),
        "✚": marker(70), "+M": marker(71), "×M": marker(72), "*M": marker(73),
        "{": low["{"], "|": rs["|"], "}": low["}"], "~": tilde,
        "●": marker(74), "■": marker(75), "▲": marker(76), "◀": marker(77), "▼": marker(78),
        "▶": marker(79), "▽": marker(80),
        "♠": sy["m"], "♥": sy["n"], "♦": sy["o"], "♣": sy["p"], "§": sy["i"], "★": sy["~"],
        "✡": sy["`"],
        "☉": ast["#"], "☿": ast["$"], "♀": ast["%"], "♁": ast["&"], "♂": ast["'"],
        "♃": ast["*"], "♄": ast["+"], "♅": ast["-"], "♆": ast["/"], "☾": ast[";"],
        "⇐": dbl_arrow(True, False), "⇔": dbl_arrow(True, True),
        "≪": small_lt + small_lt.moved(5, 0), "≫": gt_small + gt_small.moved(5, 0),
        "⊗": circ + line((-5, 4), (5, 14)) + line((-5, 14), (5, 4)),
        "⊕": circ + line((-8, 9), (8, 9)) + line((0, 1), (0, 17)),
        "∅": circ + line((-7, -1), (7, 19)),
        "ℏ": h + line((hb[0] - 2, 15), (hb[0] + 4, 18)),
        "≅": tilde.moved(0, 6) + line((-9, 7), (9, 7)) + line((-9, 2), (9, 2)),
        "⊖": circ + line((-8, 9), (8, 9)),
        "⋮": dot.moved(0, 2) + dot.moved(0, 8) + dot.moved(0, 14),
        "″": prime + prime.moved(4, 0),
    }
    layout = MATH_LAYOUT
    out = []
    for key in layout:
        if key == " ":
            out.append(Glyph())
        elif key in table:
            out.append(table[key])
        else:
            out.append(up[_MATHUPP_KEYS.get(key, key)])
    return out


# The MATH alphabet, code 32 first.  Entries of more than one character are
# variants without a code point of their own (large delimiters, markers).
MATH_LAYOUT = (
    [" "] + list("±∓×·%≤≥()*+,−./0123456789∏∑<=>≠≡")
    + list("∀∃⊂⊃∈∉∇ℵ∫∮∂←↑↓°∝√→≃⊥∪∩∠∴∞≈")
    + ["[", "\\", "]", "÷", "‖", "′"]
    + ["√2", "√3", "(L", ")L", "[L", "]L", "⊆", "⊇", "∫L", "∧", "∨", "¬", "↔", "↕",
       "∘", "℘", "⇒", "○", "□", "△", "◇", "☆", "✚", "+M", "×M", "*M"]
    + ["{", "|", "}", "~"]
    + list("●■▲◀▼▶▽♠♥♦♣§★✡☉☿♀♁♂♃♄♅♆☾⇐⇔≪≫⊗⊕∅ℏ≅⊖⋮″")
)
# glyphs of the Hershey math family at the keys above
_MATHUPP_KEYS = {"±": "!", "∓": '"', "×": "#", "·": "$", "−": "-", "∏": ":", "∑": ";",
                 "≠": "?", "≡": "@", "≤": "&", "≥": "'"}


def math_unicode():
    out = []
    for key in MATH_LAYOUT:
        out.append(ord(key) if len(key) == 1 else 0)
    return out

