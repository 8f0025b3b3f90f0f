"""Bar graphs: labelled vertical bars and horizontal 3-D blocks."""
TITLE = "Bar graphs"


def draw(tv):
    tv.complx()
    tv.height(28)
    months = ("Jan", "Feb", "Mar", "Apr", "May", "Jun")
    rain = [48.0, 41.5, 52.0, 60.5, 71.0, 83.5]
    x = [1.0, 2.0, 3.0, 4.0, 5.0, 6.0]
    zero = [0.0] * 6

    tv.axspos(250, 1650)
    tv.axslen(1100, 1200)
    tv.labels("mylab", "x")
    for i, m in enumerate(months, 1):
        tv.mylab(m, i, "x")
    tv.ticks(1, "x")
    tv.labdig(-1, "y")
    tv.name("Rain [mm]", "y")
    tv.titlin("Monthly rain", 2)
    tv.graf(0.5, 6.5, 1.0, 1.0, 0.0, 100.0, 0.0, 20.0)
    tv.title()
    tv.shdpat(16)
    tv.color("blue")
    tv.labels("second", "bar")
    tv.labdig(1, "bar")
    tv.barwth(0.6)
    tv.bars(x, zero, rain, 6)
    tv.color("fore")
    tv.endgrf()

    tv.axspos(1650, 1650)
    tv.axslen(1100, 1200)
    tv.labels("mylab", "y")
    for i, m in enumerate(months, 1):
        tv.mylab(m, i, "y")
    tv.labels("float", "x")
    tv.ticks(1, "y")
    tv.labdig(-1, "x")
    tv.name("", "y")
    tv.name("Sunshine [h]", "x")
    tv.titlin("Sunshine, as 3-D blocks", 2)
    tv.graf(0.0, 300.0, 0.0, 50.0, 0.5, 6.5, 1.0, 1.0)
    tv.title()
    tv.bartyp("3dho")
    tv.barclr(-1, tv.intrgb(0.55, 0.4, 0.0), tv.intrgb(1.0, 0.85, 0.4))
    tv.labels("none", "bar")
    tv.color("orange")
    tv.bars(x, zero, [80.0, 110.0, 160.0, 200.0, 240.0, 255.0], 6)
    tv.color("fore")
    tv.endgrf()
