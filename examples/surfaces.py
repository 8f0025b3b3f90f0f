"""3-D graphics on one page: a surface with hidden lines, a shaded and lit surface, lit solids
sorted by depth, and a colour plot with its colour bar.

Usage: python examples/render_gallery.py [folder]
"""
import math

TITLE = "3-D surfaces, solids and colour plots"

# panel corners (lower left) and size on the A4 landscape page: square areas, because the
# projection of the box fills the square in the middle of an axis area
PANEL_W, PANEL_H = 820, 820
COLUMNS = (350, 1700)
ROWS = (1000, 1950)


def setup(tv):
    tv.imgfmt("rgb")                    # lit colours need true colour on raster images


def panel(tv, col, row, title):
    tv.axspos(COLUMNS[col], ROWS[row])
    tv.axslen(PANEL_W, PANEL_H)
    tv.titlin(title, 4)


def wave(x, y):
    r = math.hypot(x, y)
    return math.cos(1.6 * r) * math.exp(-0.15 * r * r) * 1.5


def draw(tv):
    tv.height(30)
    tv.hname(34)
    tv.htitle(34)
    n = 41
    xs = [-4 + 8 * i / (n - 1) for i in range(n)]
    zs = [wave(x, y) for x in xs for y in xs]

    # a function surface with hidden lines, top and bottom sides in two colours
    panel(tv, 0, 0, "surfce: hidden lines")
    tv.name("X", "x")
    tv.name("Y", "y")
    tv.name("Z", "z")
    tv.labdig(-1, "xy")
    tv.labdig(1, "z")
    tv.graf3d(-4, 4, -4, 2, -4, 4, -4, 2, -1.5, 1.5, -1.5, 0.5)
    tv.title()
    tv.surclr(tv.intrgb(0.1, 0.3, 0.8), tv.intrgb(0.8, 0.2, 0.1))
    tv.surfce(xs, n, xs, n, zs)
    tv.reset("surclr")
    tv.endgrf()

    # the same function shaded by value, lit from above the view point
    panel(tv, 1, 0, "surshd: flat shading with lighting")
    tv.view3d(-35, 30, 8, "angl")
    tv.graf3d(-4, 4, -4, 2, -4, 4, -4, 2, -1.5, 1.5, -1.5, 0.5)
    tv.title()
    tv.light("on")
    tv.litpos(1, -60, 50, 10, "angl")
    tv.surmsh("on")
    tv.mshcrv(4)                        # mesh lines on every fourth grid line
    tv.mshclr(tv.intrgb(0.2, 0.2, 0.2))
    tv.surshd(xs, n, xs, n, zs)
    tv.surmsh("off")
    tv.light("off")
    tv.endgrf()
    tv.reset("view")

    # solids in one depth buffer: every face drawn back to front
    panel(tv, 0, 1, "solids in a depth buffer")
    tv.name("", "xyz")
    tv.graf3d(-3, 3, -3, 1, -3, 3, -3, 1, -3, 3, -3, 1)
    tv.title()
    tv.grid3d(1, 1, "back")
    tv.light("on")
    tv.litpos(1, 2, -6, 8, "abs")
    tv.matopt(0.6, "specular")
    tv.matopt(30, "expo")
    tv.dbfini()
    tv.setrgb(0.85, 0.2, 0.15)
    tv.sphe3d(-1.5, -1.2, 1.2, 1.2, 32, 20)
    tv.setrgb(0.2, 0.5, 0.9)
    tv.cyli3d(1.6, 1.4, -3, 0.9, 2.8, 32, 2)
    tv.setrgb(0.95, 0.75, 0.1)
    tv.cone3d(1.5, -1.6, -3, 1.2, 3.0, 3.0, 32, 2)
    tv.setrgb(0.2, 0.7, 0.35)
    tv.torus3d(-1.3, 1.5, -2.2, 0.5, 1.5, 0, 0, 360, 40, 16)
    tv.setrgb(0.6, 0.4, 0.8)
    tv.tr3rot(0, 0, 30)
    tv.plat3d(0.2, 0.2, 1.8, 1.1, "icos")
    tv.tr3res()
    tv.dbffin()
    tv.light("off")
    tv.color("fore")
    tv.endgrf()

    # a colour plot: a matrix painted over the axis system, with the colour bar beside it
    panel(tv, 1, 1, "graf3 / crvmat: colour plot")
    tv.name("X", "x")
    tv.name("Y", "y")
    tv.name("Value", "z")
    tv.labdig(1, "z")
    m = 60
    grid = [-4 + 8 * i / (m - 1) for i in range(m)]
    cz = [wave(x, y) + 0.3 * x / 4 for x in grid for y in grid]
    tv.graf3(-4, 4, -4, 2, -4, 4, -4, 2, -1.5, 1.5, -1.5, 0.5)
    tv.crvmat(cz, m, m, 2, 2)
    tv.title()
    tv.endgrf()
