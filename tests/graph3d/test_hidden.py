"""Surfaces with hidden lines: the floating horizon against lines drawn behind a surface, the
visible sides, the line families and interpolated lines of surmat, function surfaces through a
Python callback, and the colours of the two sides."""
import math

import pytest

from helpers3d import cube, distance_to_polygon, inside_polygon, run, stroke_length

GRID = [-3.0 + i for i in range(7)]
FLAT = [0.0] * 49


def line_behind(tv, extra=()):
    """Strokes of a flat surface at z = 0 and, drawn after it, a line below it; with the
    projected surface and line."""
    geo = {}

    def body(t, with_line):
        for name, *args in extra:
            getattr(t, name)(*args)
        cube(t, axes=False)
        t.shlsur()
        t.surfce(GRID, 7, GRID, 7, FLAT)
        if with_line:
            t.curv3d([-3.0, 3.0], [1.0, 1.0], [-2.5, -2.5], 2)
        geo["quad"] = [t.rel3pt(x, y, 0) for x, y in ((-3, -3), (3, -3), (3, 3), (-3, 3))]
        geo["line"] = (t.rel3pt(-3, 1, -2.5), t.rel3pt(3, 1, -2.5))
    surface, _ = run(tv, lambda t: body(t, False))
    tv.delglb()
    both, _ = run(tv, lambda t: body(t, True))
    assert both[:len(surface)] == surface
    return both[len(surface):], geo


def visible_part(geo, samples=4000):
    """Length of the projected line outside the projected surface."""
    (x1, y1), (x2, y2) = geo["line"]
    step = math.hypot(x2 - x1, y2 - y1) / samples
    return sum(step for k in range(samples)
               if not inside_polygon((x1 + (x2 - x1) * (k + 0.5) / samples,
                                      y1 + (y2 - y1) * (k + 0.5) / samples), geo["quad"]))


def test_line_behind_a_surface_is_hidden_where_the_surface_covers_it(tv):
    strokes, geo = line_behind(tv)
    full = math.hypot(geo["line"][1][0] - geo["line"][0][0], geo["line"][1][1] - geo["line"][0][1])
    expected = visible_part(geo)
    assert 0.05 * full < expected < 0.95 * full          # the case is a partial cover
    for st in strokes:
        for pt in st:
            assert not inside_polygon(pt, geo["quad"]) or distance_to_polygon(pt, geo["quad"]) < 2
    drawn = sum(stroke_length(st) for st in strokes)
    assert drawn == pytest.approx(expected, abs=6 + 0.01 * full)


def test_nohide_draws_everything(tv):
    strokes, geo = line_behind(tv, extra=[("nohide",)])
    full = math.hypot(geo["line"][1][0] - geo["line"][0][0], geo["line"][1][1] - geo["line"][0][1])
    assert sum(stroke_length(st) for st in strokes) == pytest.approx(full, abs=0.5)


def test_without_shlsur_later_lines_are_not_tested(tv):
    def body(t):
        cube(t, axes=False)
        t.surfce(GRID, 7, GRID, 7, FLAT)
        t.curv3d([-3.0, 3.0], [1.0, 1.0], [-2.5, -2.5], 2)
        seen["line"] = (t.rel3pt(-3, 1, -2.5), t.rel3pt(3, 1, -2.5))
    seen = {}
    paths, _ = run(tv, body)
    (a, b) = seen["line"]
    assert stroke_length(paths[-1]) == pytest.approx(math.hypot(b[0] - a[0], b[1] - a[1]), abs=0.5)


def on_segment(pt, a, b, tol=1.5):
    return distance_to_polygon(pt, [a, b]) < tol


@pytest.mark.parametrize("side", ["top", "bott", "auto"])
def test_visible_sides_seen_from_below(tv, side):
    geo = {}

    def body(t):
        t.view3d(4, -5, -4, "abs")
        t.survis(side)
        cube(t, axes=False)
        t.surfce(GRID, 7, GRID, 7, FLAT)
        # the corner nearest to the view point is (3, -3): its two lines are drawn first
        geo["front"] = [(t.rel3pt(3, -3, 0), t.rel3pt(3, 3, 0)), (t.rel3pt(-3, -3, 0), t.rel3pt(3, -3, 0))]
    paths, _ = run(tv, body)
    pts = [p for st in paths for p in st]
    front = geo["front"]
    xs = [p[0] for seg in front for p in seg]
    covered = [p for p in pts if min(xs) + 2 < p[0] < max(xs) - 2]
    off_front = [p for p in covered if not any(on_segment(p, a, b) for a, b in front)]
    if side == "top":
        # from below every later line lies below the front lines: none is drawn
        assert off_front == []
    else:
        assert len(off_front) > 20


def test_surmat_line_selection(tv, capfd):
    z = [0.1 * i * j for i in range(5) for j in range(4)]

    def body(ix, iy):
        def b(t):
            t.nohide()
            cube(t, axes=False)
            t.surmat(z, 5, 4, ix, iy)
            seen["nodes"] = {(i, j): t.rel3pt(-3 + 1.5 * i, -3 + 2 * j, z[4 * i + j])
                             for i in range(5) for j in range(4)}
        return b
    seen = {}
    paths, _ = run(tv, body(-2, 0))
    # lines of constant x at every second grid line, x = -3, 0, 3, with 3 edges each
    assert len(paths) == 9
    def node_of(p):
        return min(seen["nodes"], key=lambda k: math.dist(seen["nodes"][k], p))
    ends = {node_of(p) for st in paths for p in st}
    assert ends == {(i, j) for i in (0, 2, 4) for j in range(4)}
    assert all(math.dist(seen["nodes"][node_of(p)], p) < 0.05 for st in paths for p in st)
    tv.delglb()
    paths, _ = run(tv, body(0, 0))
    assert paths == []
    assert "Warning" not in capfd.readouterr().out
    tv.delglb()

    def fine(t):
        t.nohide()
        cube(t, axes=False)
        t.surmat(z, 5, 4, 2, 1)
        seen["mid"] = t.rel3pt(-2.25, -1.0, (z[1 * 4 + 1] + z[0 * 4 + 1]) / 2)
    paths, _ = run(tv, fine)
    # 9 lines of constant x (interpolated halfway) with 3 edges, 4 of constant y with 8 edges
    assert len(paths) == 9 * 3 + 4 * 8
    ends = [p for st in paths for p in st]
    assert min(math.hypot(p[0] - seen["mid"][0], p[1] - seen["mid"][1]) for p in ends) < 0.05


def test_surfun_calls_back_and_equals_surfce(tv):
    def f(x, y):
        return math.sin(x) * math.cos(y)
    xs = [-3 + 0.5 * i for i in range(13)]
    zs = [f(x, y) for x in xs for y in xs]
    calls = []

    def g(x, y):
        calls.append((x, y))
        return f(x, y)
    by_callback, _ = run(tv, lambda t: (cube(t), t.surfun(g, 1, 0.5, 1, 0.5)))
    tv.delglb()
    by_matrix, _ = run(tv, lambda t: (cube(t), t.surfce(xs, 13, xs, 13, zs)))
    assert len(calls) == 13 * 13
    assert by_callback == by_matrix


def test_surfun_callback_errors_count_as_zero(tv):
    def bad(x, y):
        raise ValueError("no")
    zero, _ = run(tv, lambda t: (cube(t), t.surfun(lambda x, y: 0.0, 1, 1.0, 1, 1.0)))
    tv.delglb()
    failing, _ = run(tv, lambda t: (cube(t), t.surfun(bad, 1, 1.0, 1, 1.0)))
    assert failing == zero


def test_surclr_colours_the_two_sides(tv):
    xs = [-3 + 0.25 * i for i in range(25)]
    zs = [2.5 * math.sin(x) * math.cos(y) for x in xs for y in xs]

    def body(t):
        t.setclr(100)
        cube(t, axes=False)
        t.surclr(50, 200)
        t.surfce(xs, 25, xs, 25, zs)
    paths, colours = run(tv, body)
    assert 50 in colours and 200 in colours
    assert colours[-1] == 100                      # the colour of the caller again
