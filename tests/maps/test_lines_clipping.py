"""Line modes between map points, and the clipping rules of conic and azimuthal maps."""
import math

from mapplot import open_map, strokes


def points(paths):
    """The points of all strokes; a stroke that continues the previous one (the polyline
    buffer restarts with its last point) does not repeat it."""
    out = []
    for st in paths:
        for p in st:
            if not out or abs(p[0] - out[-1][0]) > 1e-3 or abs(p[1] - out[-1][1]) > 1e-3:
                out.append(p)
    return out


def test_straight_interpolated_and_great_circle_lines(tv):
    counts = {}
    for mode in ("STRA", "INTE", "GREA"):
        open_map(tv, "MERC", (-180, 180, -180, 90, -80, 80, -80, 20))
        tv.mapmod(mode)
        tv.curvmp([-90.0, 90.0], [45.0, 45.0], 2)
        pts = points(strokes(tv))
        counts[mode] = len(pts)
        ys = [y for _, y in pts]
        if mode == "GREA":
            # the great circle from (-90, 45) to (90, 45) runs over the pole: it climbs far
            # above the parallel on a Mercator map
            assert min(ys) < ys[0] - 300
        else:
            assert max(ys) - min(ys) < 1e-6   # the parallel itself
    assert counts["STRA"] == 2
    assert counts["INTE"] == 180 + 1           # one point a degree
    assert counts["GREA"] > 100


def test_cyli_draws_straight_unless_great_circles(tv):
    open_map(tv, "CYLI")
    tv.curvmp([-50.0, 50.0], [10.0, 20.0], 2)
    assert len(points(strokes(tv))) == 2


def test_great_circle_midpoint(tv):
    open_map(tv, "CYLI")
    tv.mapmod("GREA")
    tv.curvmp([0.0, 90.0], [0.0, 45.0], 2)
    pts = strokes(tv)[0]
    # the great circle through (0, 0) and (90, 45) meets longitude 45 at atan(tan 45 sin 45)
    xs = [x for x, _ in pts]
    x45 = 400 + (45 + 180) / 360 * 1999
    i = min(range(len(xs)), key=lambda k: abs(xs[k] - x45))
    lat = (1900 - pts[i][1]) / 1599 * 180 - 90
    assert abs(lat - math.degrees(math.atan(math.sin(math.radians(45))))) < 0.5


def test_conic_rejects_segments_spanning_the_window(tv):
    open_map(tv, "CONF", (-20, 40, -20, 10, 30, 70, 30, 10))
    tv.line(-100, 1000, 3100, 1000)   # spans the whole page: would wrap round the cone
    tv.line(500, 1000, 900, 1000)
    paths = strokes(tv)
    assert len(paths) == 1 and abs(paths[0][0][0] - 500) < 1e-3


def test_azimuthal_clips_to_its_circle(tv):
    open_map(tv, "LAMB", (-180, 180, -180, 90, -90, 90, -90, 30), length=(1600, 1200),
             before=lambda tv: tv.mappol(0, 90))
    cx, cy, r = 400 + 1599 / 2, 1900 - 1199 / 2, 1199 / 2
    tv.mapmod("STRA")
    tv.curvmp([0.0, 0.0], [60.0, -60.0], 2)   # from inside to the far side
    tv.curvmp([90.0, 180.0], [-80.0, -80.0], 2)   # entirely beyond the visible cap
    paths = strokes(tv)
    assert len(paths) == 1
    end = paths[0][-1]
    assert abs(math.hypot(end[0] - cx, end[1] - cy) - r) < 1.5   # the grace margin


def test_world_lines_stay_inside_a_pseudocylindrical_outline(tv):
    open_map(tv, "HAMM", (-90, 90, -90, 30, -60, 60, -60, 30))
    tv.world()
    pts = points(strokes(tv))
    assert len(pts) > 1000
    # every point lies within the outline: inverse-projected into the limits
    open_map(tv, "HAMM", (-90, 90, -90, 30, -60, 60, -60, 30))
    bad = [(x, y) for x, y in pts[::53]
           if not (-90.01 <= tv.pt2pos(x, y)[0] <= 90.01 and -60.01 <= tv.pt2pos(x, y)[1] <= 60.01)]
    tv.tavfin()
    assert not bad


def test_wide_maps_repeat_the_data(tv):
    def count(limits):
        open_map(tv, "CYLI", limits)
        tv.world()
        return len(points(strokes(tv)))

    one = count((-180, 180, -180, 90, -90, 90, -90, 30))
    two = count((-180, 540, -180, 90, -90, 90, -90, 30))
    assert 1.8 * one < two < 2.3 * one
