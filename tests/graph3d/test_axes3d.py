"""3-D axis systems as drawn: level transitions of graf3d, grfini and grffin with their
messages, the axes on the box edges that the view point chooses, 2-D drawing mapped into a box
plane, the box, the grid and the colour axis system graf3."""
import math

import pytest

from helpers3d import LIMITS, View, cube, run

X0, Y0, W, H = 494, 1799, 1980, 1400       # default axis area: lower left corner, lengths


def messages(capfd):
    return [ln for ln in capfd.readouterr().out.splitlines() if "<<<<" in ln]


def has_segment(paths, p, q, tol=0.05):
    def near(a, b):
        return abs(a[0] - b[0]) < tol and abs(a[1] - b[1]) < tol
    return any(len(st) >= 2 and ((near(st[0], p) and near(st[-1], q)) or
                                 (near(st[0], q) and near(st[-1], p))) for st in paths)


def corner(k):
    """Box corner k (1..8) of the default box."""
    signs = [(-1, -1, -1), (1, -1, -1), (1, 1, -1), (-1, 1, -1),
             (-1, -1, 1), (1, -1, 1), (1, 1, 1), (-1, 1, 1)]
    return signs[k - 1]


def test_level_transitions_and_messages(tv, capfd):
    tv.tavini()
    capfd.readouterr()
    cube(tv, axes=False)
    assert tv.getlev() == 3
    tv.grffin()
    assert messages(capfd) == [" <<<< Warning 34: No call to grfini before in grffin!"]
    tv.grfini(-1, -1, -1, 1, -1, -1, 1, 1, -1)
    assert tv.getlev() == 1
    tv.graf(0, 10, 0, 2, 0, 10, 0, 2)              # a 2-D system inside the plane
    assert tv.getlev() == 2
    tv.endgrf()
    tv.grffin()
    assert tv.getlev() == 3
    # the 3-D scaling is back after the 2-D system of the plane
    assert tv.getgrf("x") == pytest.approx(LIMITS)
    assert tv.getgrf("z") == pytest.approx(LIMITS)
    assert tv.pos3pt(3, -3, 0) == pytest.approx((1, -1, 0))
    tv.surfce([-1, 1], 2, [-1, 1], 2, [0, 0, 0, 0])
    assert messages(capfd) == []
    tv.endgrf()
    assert tv.getlev() == 1
    # graf3 is a colour system: the routines of the 3-D box refuse there
    tv.graf3(0, 1, 0, 0.5, 0, 1, 0, 0.5, 0, 1, 0, 0.5)
    assert tv.getlev() == 3
    capfd.readouterr()
    tv.grfini(-1, -1, -1, 1, -1, -1, 1, 1, -1)
    tv.surfce([-1, 1], 2, [-1, 1], 2, [0, 0, 0, 0])
    tv.surshd([-1, 1], 2, [-1, 1], 2, [0, 0, 0, 0])
    tv.box3d()
    tv.sphe3d(0, 0, 0, 1, 10, 10)
    assert [m.split(" in ")[0] for m in messages(capfd)] == \
        [" <<<< Warning 35: Confusion of graf3d and graf3"] * 5
    assert tv.getlev() == 3
    tv.endgrf()
    tv.graf(0, 1, 0, 1, 0, 1, 0, 1)
    tv.grfini(-1, -1, -1, 1, -1, -1, 1, 1, -1)
    assert messages(capfd) == [" <<<< Warning 3: Incorrect level in grfini!   ( 2)"]


def test_failed_scaling_leaves_level_1(tv, capfd):
    tv.tavini()
    capfd.readouterr()
    tv.graf3d(-3, 3, -3, 1, 2, 2, 2, 1, -3, 3, -3, 1)
    assert messages(capfd) == [" <<<< Warning 10: Begin and end of scaling are equal in graf3d!"]
    assert tv.getlev() == 1
    tv.graf3d(-3, 3, -3, 1, -3, 3, -3, 1, -3, 3, -3, 0)
    assert messages(capfd) == [" <<<< Warning 9: Step equal zero in graf3d!"]
    assert tv.getlev() == 1


def test_plane_maps_the_axis_area_onto_the_box_face(tv):
    def body(t):
        cube(t, axes=False)
        t.grfini(-1, -1, -1, 1, -1, -1, 1, 1, -1)      # bottom face, P1 at corner 1
        t.line(X0, Y0, X0 + W - 1, Y0)                  # lower edge of the area
        t.line(X0 + W - 1, Y0, X0 + W - 1, Y0 - H + 1)  # right edge
        t.line(X0, Y0, X0 + (W - 1) // 2, Y0 - (H - 1) // 2)
        t.grffin()
        t.line(10, 10, 20, 10)                          # plain plot coordinates again
        seen["ends"] = [t.abs3pt(-1, -1, -1), t.abs3pt(1, -1, -1), t.abs3pt(1, 1, -1),
                    t.abs3pt(-1 + 2 * ((W - 1) // 2) / (W - 1), -1 + 2 * ((H - 1) // 2) / (H - 1), -1)]
    seen = {}
    paths, _ = run(tv, body)
    p1, p2, p3, mid = seen["ends"]
    assert has_segment(paths, p1, p2)
    assert has_segment(paths, p2, p3)
    assert has_segment(paths, p1, mid)
    assert has_segment(paths, (10, 10), (20, 10))


@pytest.mark.parametrize("eye, edges", [
    ((4, -5, 4), [(1, 2), (2, 3), (1, 5)]),            # the default: view class row 21
    ((-4, 5, 4), [(3, 4), (4, 1), (3, 7)]),            # row 9
    ((4, -5, -4), [(4, 3), (1, 4), (1, 5)]),           # row 19: below the box
    ((0.5, -5, 4), [(1, 2), (2, 3), (1, 5)]),          # row 12: x within the box
])
def test_axes_stand_on_the_edges_the_view_point_chooses(tv, eye, edges):
    def body(t):
        t.view3d(*eye, "abs")
        cube(t)
        seen["ends"] = [(t.abs3pt(*corner(a)), t.abs3pt(*corner(b))) for a, b in edges]
    seen = {}
    paths, _ = run(tv, body)
    for a, b in seen["ends"]:
        assert has_segment(paths, a, b), (a, b)


def test_flab3d_keeps_the_first_labels(tv):
    def body(flab):
        def b(t):
            t.axends("none", "xyz")
            if flab:
                t.flab3d()
            cube(t)
        return b
    without, _ = run(tv, body(False))
    tv.delglb()
    with_first, _ = run(tv, body(True))
    assert len(with_first) > len(without)


def test_label_heights_are_restored_after_graf3d(tv):
    tv.tavini()
    tv.height(40)
    tv.hname(50)
    cube(tv)
    assert tv.gethgt() == 40 and tv.gethnm() == 50


def test_box3d_draws_the_twelve_edges(tv):
    def body(t):
        cube(t, axes=False)
        t.box3d()
        pts.update({k: t.abs3pt(*corner(k)) for k in range(1, 9)})
    pts = {}
    paths, _ = run(tv, body)
    edges = [(1, 2), (2, 3), (3, 4), (4, 1), (5, 6), (6, 7), (7, 8), (8, 5),
             (1, 5), (2, 6), (3, 7), (4, 8)]
    assert all(has_segment(paths, pts[a], pts[b]) for a, b in edges)
    assert len(paths) == 12


@pytest.mark.parametrize("opt, walls", [("all", 3), ("back", 2), ("bott", 1)])
def test_grid3d_walls(tv, opt, walls):
    paths, _ = run(tv, lambda t: (cube(t, axes=False), t.grid3d(1, 2, opt)))
    # 7 label positions per axis, twice as many with 2 lines per step (13 positions)
    assert len(paths) == walls * (7 + 13)


def test_graf3_draws_an_axis_system_with_a_colour_bar(tv):
    def body(t):
        t.graf3(0, 10, 0, 2, 0, 10, 0, 2, -1, 1, -1, 0.5)
    paths, colours = run(tv, body)
    # the bar right of the axis system holds the whole colour range
    right = [st for st in paths if min(x for x, _ in st) > X0 + W + 40]
    assert right
    assert len(set(colours)) > 100


def test_reset_view_and_axis_lengths(tv):
    tv.tavini()
    tv.view3d(6, 6, 6, "abs")
    tv.ax3len(1000, 800, 600)
    assert tv.getlen() == (1000, 800, 600)
    tv.reset("view")
    tv.reset("ax3len")
    assert tv.getlen() == (1980, 1400, 1400)
    cube(tv, axes=False)
    assert tv.abs3pt(1, 1, 1) == pytest.approx(View().plot((1, 1, 1)))
