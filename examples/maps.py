"""Maps: a Hammer world map with shaded sea, land and countries, coastlines, borders, a great
circle and the graticule; a polar azimuthal map beside an conformal conic map of Europe."""
TITLE = "Maps: projections, coastlines and shaded countries"


def draw(tv):
    tv.pagera()
    tv.height(22)
    tv.shdpat(16)
    # --- the world, Hammer's equal-area projection
    tv.projct("HAMM")
    tv.axspos(150, 1000)
    tv.axslen(1600, 900)
    tv.grafmp(-180, 180, -180, 60, -90, 90, -90, 30)
    tv.color("cyan")
    tv.shdmap("SEA")
    tv.setrgb(0.75, 0.9, 0.6)
    tv.shdmap("LAND")
    tv.shdafr([818, 710], [16, 16], [tv.intrgb(0.9, 0.5, 0.3), tv.intrgb(0.9, 0.8, 0.3)], 2)
    tv.shdsou([76], [16], [tv.intrgb(0.6, 0.8, 0.9)], 1)
    tv.color("fore")
    tv.world()
    tv.dot()
    tv.gridmp(1, 1)
    tv.solid()
    tv.color("red")
    tv.penwid(3)
    tv.mapmod("GREA")
    tv.curvmp([2.35, 139.7], [48.86, 35.7], 2)      # Paris - Tokyo
    tv.penwid(1)
    tv.color("fore")
    tv.endgrf()

    # --- the north polar region, Lambert's azimuthal equal-area projection
    tv.projct("LAMB")
    tv.mappol(0, 90)
    tv.mapsph(60)
    tv.axspos(1850, 1000)
    tv.axslen(950, 900)
    tv.grafmp(-180, 180, -180, 30, 30, 90, 30, 30)
    tv.setrgb(0.55, 0.75, 1.0)
    tv.shdmap("SEA")
    tv.setrgb(0.75, 0.9, 0.5)
    tv.shdmap("LAND")
    tv.color("fore")
    tv.world()
    tv.dot()
    tv.gridmp(1, 1)
    tv.solid()
    tv.endgrf()

    # --- Europe, conformal conic with two standard parallels, intermediate shorelines
    tv.projct("CONF")
    tv.mapref(40, 60)
    tv.mapbas("GSHI")
    tv.axspos(150, 2000)
    tv.axslen(1350, 880)
    tv.grafmp(-15, 35, -15, 10, 35, 65, 35, 10)
    tv.setrgb(0.55, 0.75, 1.0)
    tv.shdmap("ISEA")
    tv.setrgb(0.8, 0.9, 0.55)
    tv.shdmap("GSHI")
    tv.shdeur([276, 250, 724, 616], [16, 16, 16, 16],
              [tv.intrgb(0.95, 0.8, 0.4), tv.intrgb(0.6, 0.75, 0.95),
               tv.intrgb(0.95, 0.6, 0.5), tv.intrgb(0.7, 0.9, 0.6)], 4)
    tv.color("fore")
    tv.mapopt("BOTH", "WORL")
    tv.world()
    tv.color("blue")
    tv.maplev("RIVE")
    tv.world()
    tv.color("fore")
    tv.dot()
    tv.gridmp(1, 1)
    tv.solid()
    tv.endgrf()

    # --- the United States, Albers equal-area
    tv.projct("ALBE")
    tv.mapref(29.5, 45.5)
    tv.mapbas("GSHL")
    tv.maplev("ALL")
    tv.mapopt("COAS", "WORL")
    tv.axspos(1650, 2000)
    tv.axslen(1200, 880)
    tv.grafmp(-125, -65, -120, 10, 24, 50, 30, 10)
    tv.shdusa([0], [16], [tv.intrgb(0.8, 0.9, 0.55)], 1)
    tv.shdusa([6, 48, 36, 12], [16, 16, 16, 16],
              [tv.intrgb(0.95, 0.7, 0.5), tv.intrgb(0.7, 0.8, 0.95),
               tv.intrgb(0.8, 0.95, 0.7), tv.intrgb(0.95, 0.9, 0.5)], 4)
    tv.color("fore")
    tv.mapopt("BOTH", "WORL")
    tv.world()
    tv.endgrf()
