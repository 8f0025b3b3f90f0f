"""Forward projections of known points, family by family, through pos2pt and pt2pos."""
import math

import pytest

from mapplot import fit_similarity, open_map

D = math.pi / 180


def raw(proj, lon, lat, lonc=0.0):
    """Unscaled images of the formulas the projections are defined by."""
    l, p = (lon - lonc) * D, lat * D
    if proj == "CYLI":
        return l, p
    if proj == "MERC":
        lat = max(-89.99, min(89.99, lat))
        return l, math.log(math.tan((lat / 2 + 45) * D))
    if proj == "EQUA":
        return l, math.sin(p)
    if proj == "SANS":
        return l * math.cos(p), p
    a = math.acos(math.cos(p) * math.cos(l / 2))
    t = math.acos(max(-1, min(1, math.sin(p) / math.sin(a)))) if a else 0.0
    if lon - lonc < 0:
        t = -t
    if proj == "AITO":
        return 2 * a * math.sin(t), a * math.cos(t)
    if proj == "HAMM":
        return 4 * math.sin(a / 2) * math.sin(t), 2 * math.sin(a / 2) * math.cos(t)
    if proj == "WINK":
        return (2 * a * math.sin(t) + l * 0.7660444) / 2, (a * math.cos(t) + p) / 2
    raise ValueError(proj)


POINTS = [(0, 0), (30, 45), (-120, -30), (170, 80), (-60, 10), (90, -75), (45, 0)]


@pytest.mark.parametrize("proj", ["MERC", "EQUA", "SANS", "AITO", "HAMM", "WINK"])
def test_cylindrical_and_pseudocylindrical_follow_their_formulas(tv, proj):
    limits = (-180, 180, -180, 90, -80, 80, -80, 20) if proj == "MERC" else \
        (-180, 180, -180, 90, -90, 90, -90, 30)
    open_map(tv, proj, limits)
    pairs = [(raw(proj, lon, lat), tv.pos2pt(lon, lat)) for lon, lat in POINTS]
    s, err = fit_similarity(pairs)
    assert s > 0 and err < 1e-6


def test_mercator_45_degrees_and_the_pole(tv):
    open_map(tv, "MERC", (-180, 180, -180, 90, -85, 85, -80, 20))
    x0, y0 = tv.pos2pt(0, 0)
    x1, _ = tv.pos2pt(180, 0)
    _, y45 = tv.pos2pt(0, 45)
    assert (y0 - y45) / (x1 - x0) == pytest.approx(0.881373587 / math.pi, rel=1e-7)
    # a latitude of exactly 90 is drawn as 89.99, not at infinity
    assert tv.pos2pt(0, 90) == pytest.approx(tv.pos2pt(0, 89.99))


def test_cyli_fills_the_axis_area_other_projections_keep_their_aspect(tv):
    open_map(tv, "CYLI", (-180, 180, -180, 90, -90, 90, -90, 30), length=(2000, 1600))
    assert tv.pos2pt(-180, -90) == pytest.approx((400, 1900))
    assert tv.pos2pt(180, 90) == pytest.approx((2399, 301))
    tv.endgrf()
    tv.projct("EQUA")
    tv.grafmp(-180, 180, -180, 90, -90, 90, -90, 30)
    (xa, ya), (xb, _), (_, yc) = tv.pos2pt(-180, 0), tv.pos2pt(180, 0), tv.pos2pt(0, 90)
    assert (xb - xa) / (ya - yc) == pytest.approx(2 * math.pi, rel=1e-9)
    assert (xa + xb) / 2 == pytest.approx(400 + 1999 / 2)


def test_conic_projections_meet_their_standard_parallels(tv):
    # On a conformal cone, scale along a standard parallel equals scale along the meridian:
    # small steps east and north there have equal lengths on the page.
    for proj in ("CONF", "ALBE", "CONI"):
        open_map(tv, proj, (-20, 40, -20, 10, 30, 70, 30, 10),
                 before=lambda tv: tv.mapref(40, 60))
        for lat in (40, 60):
            (x0, y0), (x1, y1), (x2, y2) = (tv.pos2pt(10, lat), tv.pos2pt(10.01, lat),
                                            tv.pos2pt(10, lat + 0.01))
            east = math.hypot(x1 - x0, y1 - y0) / math.cos(lat * D)
            north = math.hypot(x2 - x0, y2 - y0)
            assert east == pytest.approx(north, rel=2e-3), (proj, lat)
        # meridians converge towards the pole: the cone opens to the south
        (xa, _), (xb, _) = tv.pos2pt(-20, 70), tv.pos2pt(40, 70)
        (xc, _), (xd, _) = tv.pos2pt(-20, 30), tv.pos2pt(40, 30)
        assert xb - xa < xd - xc
        tv.tavfin()


def test_albers_is_equal_area(tv):
    def area(lon, lat, d=0.01):
        (x0, y0), (x1, y1), (x2, y2) = (tv.pos2pt(lon, lat), tv.pos2pt(lon + d, lat),
                                        tv.pos2pt(lon, lat + d))
        return abs((x1 - x0) * (y2 - y0) - (x2 - x0) * (y1 - y0)) / math.cos(lat * D)

    open_map(tv, "ALBE", (-20, 40, -20, 10, 30, 70, 30, 10), before=lambda tv: tv.mapref(35, 65))
    ref = area(0, 50)
    for lon, lat in ((30, 32), (-10, 68), (15, 45)):
        assert area(lon, lat) == pytest.approx(ref, rel=2e-3)


RADIUS = {
    "GNOM": lambda c: math.tan(c),
    "ORTH": lambda c: math.sin(c) if c <= math.pi / 2 else 2 - math.sin(c),
    "STER": lambda c: 2 * math.tan(c / 2),
    "AZIM": lambda c: c,
    "LAMB": lambda c: 2 * math.sin(c / 2),
}


@pytest.mark.parametrize("proj", sorted(RADIUS))
def test_azimuthal_radius_and_direction(tv, proj):
    open_map(tv, proj, (-180, 180, -180, 90, -90, 90, -90, 30), length=(1600, 1200),
             before=lambda tv: tv.mappol(0, 90))
    cx, cy = 400 + 1599 / 2, 1900 - 1199 / 2
    assert tv.pos2pt(123, 90) == pytest.approx((cx, cy), abs=1e-6)
    vis = min(90, 85) if proj == "GNOM" else 90
    scale = (1199 / 2) / RADIUS[proj](vis * D)
    for lat in (80, 45, 10):
        x, y = tv.pos2pt(0, lat)   # the central meridian points down the page
        assert x == pytest.approx(cx, abs=1e-6)
        assert y - cy == pytest.approx(scale * RADIUS[proj]((90 - lat) * D), rel=1e-9)
    x, y = tv.pos2pt(90, 45)       # 90 degrees east lies to the right
    assert y == pytest.approx(cy, abs=1e-6) and x > cx


def test_orthographic_far_side_lies_on_an_outer_ring(tv):
    open_map(tv, "ORTH", (-180, 180, -180, 90, -90, 90, -90, 30), length=(1600, 1200))
    cx, cy, r = 400 + 1599 / 2, 1900 - 1199 / 2, 1199 / 2
    x, y = tv.pos2pt(120, 0)        # 120 degrees from the centre (0, 0)
    assert math.hypot(x - cx, y - cy) / r == pytest.approx(2 - math.sin(120 * D), rel=1e-9)


def test_mapsph_scales_the_visible_cap_to_the_circle(tv):
    open_map(tv, "AZIM", (-180, 180, -180, 90, -90, 90, -90, 30), length=(1600, 1200),
             before=lambda tv: tv.mapsph(30))
    cx, cy = 400 + 1599 / 2, 1900 - 1199 / 2
    x, y = tv.pos2pt(30, 0)
    assert math.hypot(x - cx, y - cy) == pytest.approx(1199 / 2, rel=1e-9)


@pytest.mark.parametrize("proj", ["MERC", "MOLL", "HAMM", "CONF", "ALBE", "POLY", "LAMB",
                                  "ORTH", "UTM", "OBLI", "ELLI", "CORR", "EXAC"])
def test_pt2pos_inverts_pos2pt(tv, proj):
    limits = (-60, 60, -60, 30, -60, 60, -60, 30)
    open_map(tv, proj, limits, before=lambda tv: tv.mappol(5, 20))
    for lon, lat in ((0, 0), (20, 30), (-40, -25), (50, 55)):
        x, y = tv.pos2pt(lon, lat)
        assert tv.pt2pos(x, y) == pytest.approx((lon, lat), abs=1e-6)


def test_mollweide_is_equal_area_and_elliptical(tv):
    open_map(tv, "MOLL", (-180, 180, -180, 90, -90, 90, -90, 30))
    (xl, yl), (xr, _), (xt, yt) = tv.pos2pt(-180, 0), tv.pos2pt(180, 0), tv.pos2pt(0, 90)
    assert (xr - xl) / (yl - yt) == pytest.approx(4.0, rel=1e-9)  # a 2:1 ellipse


def test_grafmp_keeps_nothing_when_refused(tv, capfd):
    tv.metafl("GKSL")
    tv.setfil("map.met")
    tv.filmod("delete")
    tv.tavini()
    tv.projct("MERC")
    tv.grafmp(-180, 180, -180, 90, -90, 90, -90, 30)
    assert tv.getlev() == 1
    tv.grafmp(-180, 180, -180, 90, -85, 85, -80, 20)
    assert tv.getlev() == 2
    tv.endgrf()
    tv.grafmp(10, -10, 10, 5, -10, 10, -10, 5)
    assert tv.getlev() == 1
    out = capfd.readouterr().out
    assert "Warning 2: Incorrect parameter in grafmp!   ( -90)" in out
    assert "Warning 167: Limits of a map axis must increase in grafmp!" in out
