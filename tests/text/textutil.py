"""Helpers of the text tests: strokes of a plot read back from the library metafile, and a
small TrueType font built byte by byte."""
import struct

from conftest import metafile_paths, read_metafile


def strokes(tv, body, setup=None):
    """Strokes (lists of (x, y) in plot units, y down) drawn by body on a default page."""
    tv.metafl("GKSL")
    tv.tavini()
    tv.unit(0)
    if setup:
        setup(tv)
    w, h = tv.getpag()
    name = tv.getfil()
    body(tv)
    tv.tavfin()
    tv.delglb()
    _, fields = read_metafile(name)
    _, paths = metafile_paths(fields)
    s = max(w, h) - 1
    return [[(round(x * s, 2), round((h - 1) - y * s, 2)) for x, y in st] for st in paths if len(st) > 1]


def bbox(paths):
    xs = [p[0] for st in paths for p in st]
    ys = [p[1] for st in paths for p in st]
    return min(xs), min(ys), max(xs), max(ys)


def same(a, b, tol=0.02):
    if len(a) != len(b):
        return False
    for s, t in zip(a, b):
        if len(s) != len(t):
            return False
        for p, q in zip(s, t):
            if abs(p[0] - q[0]) > tol or abs(p[1] - q[1]) > tol:
                return False
    return True


# --- a TrueType font: .notdef, 'H' (a box), 'O' (a square ring), 'o' (quadratic curves
# only), 'A' (a composite of 'H' shifted) and 'B' (a box with two holes).

def _checksum(b):
    b += b"\0" * (-len(b) % 4)
    return sum(struct.unpack(">%dI" % (len(b) // 4), b)) & 0xFFFFFFFF


def _simple(contours):
    """contours: lists of (x, y, on)."""
    ends, flags, xs, ys = [], b"", b"", b""
    n, px, py = 0, 0, 0
    pts = []
    for c in contours:
        n += len(c)
        ends.append(n - 1)
        pts += c
    allx = [p[0] for p in pts]
    ally = [p[1] for p in pts]
    head = struct.pack(">hhhhh", len(contours), min(allx), min(ally), max(allx), max(ally))
    for x, y, on in pts:
        flags += bytes([1 if on else 0])
        xs += struct.pack(">h", x - px)
        ys += struct.pack(">h", y - py)
        px, py = x, y
    return head + b"".join(struct.pack(">H", e) for e in ends) + b"\0\0" + flags + xs + ys


def _composite(gid, dx, dy):
    head = struct.pack(">hhhhh", -1, dx, dy, dx + 600, dy + 700)
    return head + struct.pack(">HHhh", 0x0001 | 0x0002, gid, dx, dy)


def make_ttf(cmap_format=4, platform=3, drop=None):
    box = [(100, 0, 1), (100, 700, 1), (500, 700, 1), (500, 0, 1)]
    ring = [[(0, 0, 1), (0, 700, 1), (600, 700, 1), (600, 0, 1)],
            [(150, 150, 1), (450, 150, 1), (450, 550, 1), (150, 550, 1)]]
    curvy = [[(300, 0, 1), (0, 0, 0), (0, 250, 1), (0, 500, 0), (300, 500, 1), (600, 500, 0),
              (600, 250, 1), (600, 0, 0)]]
    two_holes = [[(0, 0, 1), (0, 700, 1), (600, 700, 1), (600, 0, 1)],
                 [(150, 100, 1), (450, 100, 1), (450, 300, 1), (150, 300, 1)],
                 [(150, 400, 1), (450, 400, 1), (450, 600, 1), (150, 600, 1)]]
    glyphs = [b"", _simple([box]), _simple(ring), _simple(curvy), _composite(1, 50, 0),
              _simple(two_holes)]
    glyf, loca = b"", []
    for g in glyphs:
        loca.append(len(glyf))
        glyf += g + b"\0" * (-len(g) % 2)
    loca.append(len(glyf))
    chars = {ord("H"): 1, ord("O"): 2, ord("o"): 3, ord("A"): 4, ord("B"): 5}
    segs = sorted(chars) + [0xFFFF]
    n = len(segs)
    ends = b"".join(struct.pack(">H", c) for c in segs)
    starts = ends
    deltas = b"".join(struct.pack(">h", ((chars.get(c, 0) - c) + 0x8000) % 0x10000 - 0x8000 if c != 0xFFFF else 1)
                      for c in segs)
    ranges = b"\0\0" * n
    body = ends + b"\0\0" + starts + deltas + ranges
    sub = struct.pack(">HHHHHHH", cmap_format, 14 + len(body), 0, 2 * n, 2, 0, 0) + body
    cmap = struct.pack(">HHHHI", 0, 1, platform, 1, 12) + sub
    head = struct.pack(">IIIIHHqqhhhhHHhhh", 0x10000, 0x10000, 0, 0x5F0F3CF5, 0, 1000, 0, 0,
                       0, 0, 600, 700, 0, 8, 2, 0, 0)
    maxp = struct.pack(">IH", 0x5000, len(glyphs))
    hhea = struct.pack(">IhhhHhhhhhhhhhhhH", 0x10000, 800, -200, 0, 700, 0, 0, 600, 1, 0, 0,
                       0, 0, 0, 0, 0, len(glyphs))
    hmtx = b"".join(struct.pack(">Hh", 700, 0) for _ in glyphs)
    loca_b = b"".join(struct.pack(">H", v // 2) for v in loca)
    tables = {b"cmap": cmap, b"glyf": glyf, b"head": head, b"hhea": hhea, b"hmtx": hmtx,
              b"loca": loca_b, b"maxp": maxp}
    if drop:
        tables.pop(drop)
    tags = sorted(tables)
    out = struct.pack(">IHHHH", 0x10000, len(tags), 0, 0, 0)
    off = 12 + 16 * len(tags)
    dirs, data = b"", b""
    for t in tags:
        b = tables[t]
        dirs += t + struct.pack(">III", _checksum(b), off + len(data), len(b))
        data += b + b"\0" * (-len(b) % 4)
    return out + dirs + data
