"""Vectors, vector fields, streamlines and shielded regions on one page.

Top left: the arrow forms and head positions of the four-digit vector type. Top right: a
vortex pair as a vector field coloured by length. Bottom left: evenly spaced streamlines of the
same field with arrow heads. Bottom right: a shielded box keeps a label readable over a grid.
"""
import math

TITLE = "Vectors, streamlines and shields"


def vortex_pair(n=21):
    g = [-2.0 + 4.0 * k / (n - 1) for k in range(n)]
    xv, yv = [], []
    for x in g:
        rx, ry = [], []
        for y in g:
            u = v = 0.0
            for cx, s in ((-0.8, 1.0), (0.8, -1.0)):
                dx, dy = x - cx, y
                r2 = dx * dx + dy * dy + 0.15
                u += -s * dy / r2
                v += s * dx / r2
            rx.append(u + 0.3)
            ry.append(v)
        xv.append(rx)
        yv.append(ry)
    return g, xv, yv


def panel(tv, x, y, title):
    tv.axspos(x, y)
    tv.axslen(1100, 750)
    tv.titlin(title, 1)
    tv.labdig(1, "xy")
    tv.graf(-2.0, 2.0, -2.0, 1.0, -2.0, 2.0, -2.0, 1.0)
    tv.title()


def arrow_table(tv):
    tv.height(24)
    tv.messag("Vector types: form (tens digit) and position (units digit)", 200, 120)
    for form in range(6):
        y = 230 + form * 110
        tv.messag("form %d" % form, 200, y - 12)
        for pos in range(4):
            x = 420 + pos * 230
            tv.vector(x, y, x + 180, y, 1200 + 10 * form + pos)
    for pos in range(4):
        tv.messag("pos %d" % pos, 450 + pos * 230, 880)


def draw(tv):
    tv.setvlt("rain")
    arrow_table(tv)
    g, xv, yv = vortex_pair()

    # vector field coloured by length
    panel(tv, 1700, 950, "Vector field")
    tv.vecclr(-2)
    tv.vecmat(xv, yv, len(g), len(g), g, g, 1301)
    tv.vecclr(-1)
    tv.endgrf()

    # evenly spaced streamlines with heads
    tv.color("fore")
    panel(tv, 250, 1900, "Streamlines")
    tv.stmmod("on", "arro")
    tv.stmmod("on", "clos")          # orbits round the vortices end after one turn
    tv.stmopt(1301, "arro")
    tv.stmval(0.035, "dist")
    tv.color("blue")
    tv.stream(xv, yv, len(g), len(g), g, g, [], [], 0)
    tv.color("fore")
    tv.endgrf()

    # a label kept readable over a dense grid: the text first, then the region round it
    tv.height(36)
    tv.messag("Shielded region", 2000, 1430)
    tv.frame(2)
    tv.shlrec(1950, 1350, 620, 200)
    tv.frame(1)
    tv.color("red")
    tv.shlcir(2500, 1750, 90)
    tv.color("fore")
    for k in range(0, 41):
        tv.line(1700 + 25 * k, 1150, 1700 + 25 * k, 1900)
    for k in range(0, 31):
        tv.line(1700, 1150 + 25 * k, 2700, 1150 + 25 * k)
    tv.shldel(0)
