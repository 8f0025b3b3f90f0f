"""Lines with a legend: damped oscillations in changing colours and line styles."""
import math

TITLE = "Curves with a legend"


def draw(tv):
    tv.complx()
    tv.height(30)
    tv.name("Time t [s]", "x")
    tv.name("Amplitude", "y")
    tv.labdig(-1, "x")
    tv.labdig(2, "y")
    tv.titlin("Damped oscillations", 2)
    tv.graf(0.0, 20.0, 0.0, 2.0, -1.0, 1.0, -1.0, 0.25)
    tv.title()
    for i, rgb in enumerate(((0.0, 0.2, 0.7), (0.8, 0.1, 0.1), (0.0, 0.55, 0.2), (0.6, 0.3, 0.0)), 1):
        tv.clrcyc(i, tv.intrgb(*rgb))
    tv.chncrv("both")
    tv.thkcrv(2)
    n = 401
    x = [20.0 * i / (n - 1) for i in range(n)]
    damping = (0.05, 0.1, 0.2, 0.4)
    for d in damping:
        tv.curve(x, [math.exp(-d * t) * math.cos(1.5 * t) for t in x], n)
    tv.thkcrv(1)
    tv.legini(" ", len(damping), 30)
    for i, d in enumerate(damping, 1):
        tv.leglin(" ", f"damping {d:.2f}", i)
    tv.legtit("Damping")
    tv.legbgd(0)
    tv.legend(" ", 7)
    tv.endgrf()
