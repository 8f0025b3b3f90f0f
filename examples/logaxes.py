"""Logarithmic axes: power laws are straight lines on a log-log plot."""
TITLE = "Logarithmic axes"


def draw(tv):
    tv.complx()
    tv.axsscl("log", "xy")
    tv.labels("log", "xy")
    tv.labdig(-1, "xy")
    tv.name("Frequency [Hz]", "x")
    tv.name("Power", "y")
    tv.titlin("Power laws on a log-log scale", 2)
    tv.graf(0.0, 4.0, 0.0, 1.0, -3.0, 5.0, -3.0, 1.0)
    tv.title()
    tv.dot()
    tv.grid(1, 1)
    tv.solid()
    n = 41
    f = [10 ** (4.0 * i / (n - 1)) for i in range(n)]
    tv.chncrv("both")
    tv.incmrk(5)
    tv.hsymbl(20)
    for k, a in ((1.0, 1.0), (1e-2, 1.5), (1e4, -1.0)):
        tv.curve(f, [k * v ** a for v in f], n)
    tv.legini(" ", 3, 20)
    tv.leglin(" ", "f", 1)
    tv.leglin(" ", "0.01 f**1.5", 2)
    tv.leglin(" ", "10000 / f", 3)
    tv.legtit("")
    tv.legbgd(0)
    tv.legend(" ", 8)
    tv.endgrf()
