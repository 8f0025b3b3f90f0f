"""A time axis: temperature over one day with hour labels and a step curve of the hourly means."""
import math

TITLE = "Time axis"


def temperature(t):
    return 14.0 + 7.0 * math.sin((t / 86400.0 - 0.35) * 2 * math.pi)


def draw(tv):
    tv.complx()
    tv.labels("time", "x")
    tv.timopt()
    tv.labdig(-1, "y")
    tv.ticks(3, "x")
    tv.name("Time of day", "x")
    tv.name("Temperature [C]", "y")
    tv.titlin("Temperature over one day", 2)
    tv.graf(0.0, 86400.0, 0.0, 3 * 3600.0, 0.0, 25.0, 0.0, 5.0)
    tv.title()
    n = 289
    t = [300.0 * i for i in range(n)]
    tv.color("red")
    tv.curve(t, [temperature(v) for v in t], n)
    hours = [3600.0 * h + 1800.0 for h in range(24)]
    tv.color("blue")
    tv.polcrv("step")
    tv.curve(hours, [temperature(v) for v in hours], 24)
    tv.polcrv("line")
    tv.color("fore")
    tv.endgrf()
