"""Grouped bars: three series side by side in each group, with a legend."""
TITLE = "Grouped bars"


def draw(tv):
    tv.complx()
    years = ("2021", "2022", "2023", "2024")
    series = {
        "North": [12.0, 14.5, 13.0, 17.5],
        "Centre": [9.0, 11.0, 15.5, 16.0],
        "South": [6.5, 8.0, 9.5, 12.5],
    }
    x = [1.0, 2.0, 3.0, 4.0]
    zero = [0.0] * 4
    tv.labels("mylab", "x")
    for i, y in enumerate(years, 1):
        tv.mylab(y, i, "x")
    tv.ticks(1, "x")
    tv.labdig(-1, "y")
    tv.name("Sales [units x 1000]", "y")
    tv.titlin("Sales by region", 2)
    tv.graf(0.5, 4.5, 1.0, 1.0, 0.0, 20.0, 0.0, 5.0)
    tv.title()
    tv.shdpat(16)
    for i, rgb in enumerate(((0.15, 0.3, 0.65), (0.85, 0.45, 0.1), (0.35, 0.65, 0.3)), 1):
        tv.clrcyc(i, tv.intrgb(*rgb))
    tv.chnbar("color")
    tv.bargrp(3, 0.15)
    tv.barwth(0.8)
    tv.barbor(tv.intrgb(0.2, 0.2, 0.2))
    for values in series.values():
        tv.bars(x, zero, values, 4)
    tv.legini(" ", 3, 10)
    for i, name in enumerate(series, 1):
        tv.leglin(" ", name, i)
    tv.legtit("Region")
    tv.legend(" ", 8)
    tv.endgrf()
