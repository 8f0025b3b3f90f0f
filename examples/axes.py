"""Axis systems on one page: linear, logarithmic, crossed, time, date and polar.

Usage: python examples/axes.py [folder]   (writes axes.pdf and axes.png, default ".")
"""
import math
import os
import sys

TITLE = "Axis systems"

# panel corners (lower left) and size on the A4 landscape page
PANEL_W, PANEL_H = 700, 500
COLUMNS = (250, 1200, 2150)
ROWS = (850, 1750)


def panel(tv, col, row, title):
    tv.axspos(COLUMNS[col], ROWS[row])
    tv.axslen(PANEL_W, PANEL_H)
    tv.titlin(title, 1)


def draw(tv):
    tv.height(28)
    tv.hname(30)

    # linear axes with names and a grid
    panel(tv, 0, 0, "Linear")
    tv.name("Time [s]", "x")
    tv.name("Voltage [V]", "y")
    tv.labdig(-1, "x")
    tv.graf(0.0, 10.0, 0.0, 2.0, -1.0, 1.0, -1.0, 0.5)
    tv.title()
    tv.dot()
    tv.grid(1, 1)
    tv.solid()
    tv.rlstrt(0.0, 0.0)
    for i in range(1, 101):
        x = i / 10
        tv.rlconn(x, math.sin(x) * math.exp(-x / 8))
    tv.endgrf()

    # logarithmic Y axis, automatic X scaling
    panel(tv, 1, 0, "Logarithmic")
    tv.name("", "xy")
    tv.axsscl("log", "y")
    tv.labels("log", "y")
    tv.labdig(-1, "y")
    tv.setscl([0.0, 7.3], 2, "x")
    tv.graf(0.0, 1.0, 0.0, 1.0, -1.0, 3.0, -1.0, 1.0)
    tv.title()
    tv.rlstrt(0.0, 0.1)
    for i in range(1, 74):
        x = i / 10
        tv.rlconn(x, 0.1 * 10 ** (x * 0.55))
    tv.endgrf()
    tv.setscl([0.0], 1, "reset")
    tv.axsscl("lin", "y")
    tv.labels("float", "y")

    # crossed axis system
    panel(tv, 2, 0, "Crossed")
    tv.axstyp("cros")
    tv.labdig(1, "xy")
    tv.graf(-2.0, 2.0, -2.0, 1.0, -1.5, 1.5, -1.5, 0.5)
    tv.title()
    tv.rlstrt(-2.0, -1.5)
    for i in range(1, 81):
        x = -2.0 + i * 0.05
        tv.rlconn(x, 0.19 * x ** 3)
    tv.endgrf()
    tv.axstyp("rect")

    # time axis of one day
    panel(tv, 0, 1, "Time labels")
    tv.labels("time", "x")
    tv.labtyp("vert", "x")
    tv.timopt()
    tv.labdig(-1, "y")
    tv.ticks(4, "x")
    tv.setscl([0.0, 86400.0], 2, "x")
    tv.graf(0.0, 1.0, 0.0, 1.0, 0.0, 30.0, 0.0, 10.0)
    tv.title()
    tv.rlstrt(0.0, 15 + 8 * math.sin(-0.6 * math.pi))
    for i in range(1, 97):
        t = i * 900.0
        tv.rlconn(t, 15 + 8 * math.sin((t / 86400 - 0.3) * 2 * math.pi))
    tv.endgrf()
    tv.setscl([0.0], 1, "reset")
    tv.labtyp("hori", "x")

    # date axis over one year
    panel(tv, 1, 1, "Date labels")
    tv.basdat(1, 1, 2024)
    tv.labels("date", "x")
    tv.labmod("month", "name", "x")
    tv.labmod("year", "none", "x")
    tv.labmod("day", "none", "x")
    tv.setscl([0.0, float(tv.incdat(31, 12, 2024))], 2, "x")
    tv.graf(0.0, 1.0, 0.0, 1.0, 0.0, 100.0, 0.0, 25.0)
    tv.title()
    tv.rlstrt(0.0, 50.0)
    for d in range(1, 367):
        tv.rlconn(float(d), 50 + 30 * math.sin(d / 30))
    tv.endgrf()
    tv.setscl([0.0], 1, "reset")
    tv.labels("float", "xy")

    # polar axis system
    panel(tv, 2, 1, "Polar")
    tv.labdig(1, "x")
    tv.labdig(-1, "y")
    tv.axends("nofi", "x")
    tv.polar(1.0, 0.0, 0.5, 0.0, 30.0)
    tv.title()
    tv.dot()
    tv.grid(2, 1)
    tv.solid()
    for i in range(0, 361):
        a = math.radians(i)
        r = abs(math.cos(2 * a))
        if i == 0:
            tv.rlstrt(r, a)
        else:
            tv.rlconn(r, a)
    tv.endgrf()


def main(argv):
    import tavero as tv
    folder = argv[1] if len(argv) > 1 else "."
    os.makedirs(folder, exist_ok=True)
    for fmt in ("pdf", "png"):
        tv.metafl(fmt)
        tv.setfil(os.path.join(folder, "axes." + fmt))
        tv.filmod("delete")
        tv.tavini()
        tv.errmod("prot", "off")
        draw(tv)
        tv.tavfin()


if __name__ == "__main__":
    main(sys.argv)
