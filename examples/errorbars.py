"""Measurements with error bars and the fitted regression line."""
TITLE = "Error bars and a fitted line"


def draw(tv):
    tv.complx()
    x = [1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0]
    y = [2.3, 3.9, 6.4, 7.7, 10.4, 11.6, 14.3, 15.8, 18.2]
    lo = [0.4, 0.5, 0.3, 0.6, 0.5, 0.7, 0.4, 0.6, 0.8]
    hi = [0.6, 0.4, 0.5, 0.5, 0.8, 0.6, 0.7, 0.5, 0.9]
    tv.name("Load [kN]", "x")
    tv.name("Extension [mm]", "y")
    tv.labdig(-1, "xy")
    tv.titlin("Measurements with error bars", 2)
    tv.graf(0.0, 10.0, 0.0, 1.0, 0.0, 20.0, 0.0, 5.0)
    tv.title()
    tv.marker(21)
    tv.hsymbl(25)
    tv.color("blue")
    tv.errbar(x, y, lo, hi, len(x))
    tv.color("red")
    tv.dash()
    a, b, r = tv.linfit(x, y, len(x), "all")
    tv.solid()
    tv.color("fore")
    tv.messag(f"y = {a:.3f} x + {b:.3f}   (r = {r:.4f})", tv.nxposn(0.6), tv.nyposn(18.5))
    tv.endgrf()
