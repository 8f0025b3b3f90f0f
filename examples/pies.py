"""Pie charts: a flat pie with percentages and a 3-D pie with texts and an offset sector."""
TITLE = "Pie charts"


def draw(tv):
    tv.complx()
    tv.height(30)
    energy = [38.0, 24.0, 17.0, 12.0, 9.0]
    names = ("Coal", "Gas", "Wind", "Solar", "Hydro")

    tv.axspos(150, 1750)
    tv.axslen(1300, 1300)
    tv.chnpie("color")
    tv.labels("perc", "pie")
    tv.labdig(1, "per")
    tv.pieval(60.0, "dist")
    tv.pievec(0, "brok")
    tv.titlin("Energy mix", 2)
    tv.legini(" ", 5, 8)
    for i, n in enumerate(names, 1):
        tv.leglin(" ", n, i)
    tv.piegrf(" ", 0, energy, 5)
    tv.title()
    tv.legtit("")
    tv.legend(" ", 5)
    tv.endgrf()

    tv.axspos(1550, 1750)
    tv.pietyp("3d")
    tv.pieopt(0.25, 50.0)
    tv.pieexp()
    tv.labels("data", "pie")
    tv.labdig(-1, "dat")
    tv.pielab(" TWh", "right")
    tv.pieval(40.0, "dist")
    tv.pievec(0, "stra")
    tv.titlin("3-D, the solar share pulled out", 2)
    tv.piegrf(" ", 5, [38.0, 24.0, 17.0, -12.0, 9.0], 5)
    tv.title()
    tv.endgrf()
