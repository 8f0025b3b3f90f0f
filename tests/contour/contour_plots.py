"""Helpers of the contour tests: one axis system of 1200 x 1200 plot units (300 plot units per
user unit for the default scale -2..2), plots read back from the library metafile (strokes) or
from a true-colour PNG (pixels)."""
import math

from conftest import metafile_paths, read_metafile

X0, Y0, SIDE = 400, 1700, 1200  # plot position of the lower left corner, axis length - 1
UNIT = 300                       # plot units per user unit of the default scale


def plot(tv, body, fmt=None, scale=(-2, 2, -2, 2), setup=None, axes=None):
    """Draws body in an undrawn axis system over scale; returns (file name, page size).
    setup runs before tavini, axes before graf."""
    if fmt:
        tv.metafl(fmt)
    if fmt == "PNG":
        tv.imgfmt("RGB")
        tv.scrmod("REVERS")
    if setup:
        setup(tv)
    tv.tavini()
    tv.errmod("PROT", "OFF")
    page = tv.getpag()
    name = tv.getfil()
    tv.axspos(X0, Y0)
    xa, xe, ya, ye = scale
    tv.axslen(SIDE + 1, SIDE + 1)
    tv.nograf()
    if axes:
        axes(tv)
    tv.graf(xa, xe, xa, (xe - xa) / 4, ya, ye, ya, (ye - ya) / 4)
    body(tv)
    tv.endgrf()
    tv.tavfin()
    return name, page


def strokes(tv, body, colours=False, **kw):
    """Strokes of the plot as lists of plot points (x to the right, y downwards), with the
    colour records when asked."""
    name, (w, h) = plot(tv, body, **kw)
    _, fields = read_metafile(name)
    records, paths = metafile_paths(fields)
    s = max(w, h) - 1
    out = [[(x * s, (h - 1) - y * s) for x, y in st] for st in paths if len(st) > 1]
    return (out, records) if colours else out


def joined(paths, tol=1e-3):
    """Strokes that continue each other (the device gets long lines in pieces) joined."""
    out = []
    for st in paths:
        if out and math.dist(out[-1][-1], st[0]) < tol:
            out[-1].extend(st[1:])
        else:
            out.append(list(st))
    return out


def to_plot(x, y, scale=(-2, 2, -2, 2)):
    xa, xe, ya, ye = scale
    return X0 + (x - xa) * SIDE / (xe - xa), Y0 - (y - ya) * SIDE / (ye - ya)


def grid(f, xs, ys):
    """The function matrix of f as the library stores it (second index fastest)."""
    return [f(x, y) for x in xs for y in ys]


def linspace(a, b, n):
    return [a + (b - a) * i / (n - 1) for i in range(n)]


class Picture:
    """A PNG drawn by plot(), read at user coordinates."""

    def __init__(self, name, page, scale=(-2, 2, -2, 2)):
        from PIL import Image
        self.im = Image.open(name).convert("RGB")
        self.f = (self.im.size[0] - 1) / (page[0] - 1)
        self.scale = scale

    def at(self, x, y):
        px, py = to_plot(x, y, self.scale)
        return self.im.getpixel((round(px * self.f), round(py * self.f)))


def explicit(r, g, b):
    """The explicit colour value of red, green and blue in 0..1."""
    ch = lambda c: int(255 * c + 0.5)
    return 0x01000000 | ch(b) << 16 | ch(g) << 8 | ch(r)


def rgb(colour):
    """Red, green and blue of an explicit colour value."""
    return colour & 255, (colour >> 8) & 255, (colour >> 16) & 255


def warnings(capfd):
    return [l for l in capfd.readouterr().out.splitlines() if "Warning" in l]
