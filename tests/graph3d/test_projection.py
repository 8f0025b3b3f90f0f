"""The 3-D coordinate chain: user -> box coordinates, the view matrix of every view setting,
box -> plot coordinates, and the refusal of bad view settings."""
import itertools
import math

import pytest

from helpers3d import LIMITS, View, box_of, cube

CORNERS = list(itertools.product((-1.0, 1.0), repeat=3))
DEG = 3.1415927 / 180          # degrees as the library converts them
SAMPLE = CORNERS + [(0.0, 0.0, 0.0), (0.3, -0.7, 0.9), (-0.5, 0.25, -0.1)]


@pytest.fixture
def page(tv, capfd):
    tv.tavini()
    capfd.readouterr()
    return tv


def messages(capfd):
    return [ln for ln in capfd.readouterr().out.splitlines() if "<<<<" in ln]


def assert_projects_like(tv, view, points=SAMPLE, tol=1e-6):
    for b in points:
        x, y = tv.abs3pt(*b)
        ex, ey = view.plot(b)
        assert x == pytest.approx(ex, abs=tol) and y == pytest.approx(ey, abs=tol), b


def test_defaults_view_from_4_m5_4_towards_the_centre(page, capfd):
    cube(page, axes=False)
    assert page.getlev() == 3
    assert_projects_like(page, View())
    # the centre of the box is the centre of the default axis area
    assert page.abs3pt(0, 0, 0) == pytest.approx((494 + 990, 1799 - 700))
    assert messages(capfd) == []


def test_user_box_round_trips_and_log_axes(page):
    page.axis3d(2, 4, 1)
    page.axsscl("log", "z")
    page.graf3d(-3, 3, -3, 1, 0, 10, 0, 2, 0, 3, 0, 1)       # z: 1 .. 1000
    for x, y, z in [(-3, 0, 1), (3, 10, 1000), (0.5, 2.5, 10 ** 1.7)]:
        bx, by, bz = page.pos3pt(x, y, z)
        assert bx == pytest.approx((x + 3) * 2 / 6 - 1)
        assert by == pytest.approx(y * 4 / 10 - 2)
        assert bz == pytest.approx(math.log10(z) / 3 - 0.5)
        assert (page.x3dpos(x, y, z), page.y3dpos(x, y, z)) == pytest.approx((bx, by))
        assert page.z3dpos(x, y, z) == pytest.approx(bz, rel=1e-6)
        # user -> plot is user -> box -> plot
        assert page.rel3pt(x, y, z) == pytest.approx(page.abs3pt(bx, by, bz))
        assert page.x3drel(x, y, z) == pytest.approx(page.x3dabs(bx, by, bz))
        assert page.y3drel(x, y, z) == pytest.approx(page.y3dabs(bx, by, bz))


@pytest.mark.parametrize("settings, view", [
    ([("view3d", 6, 2, 3, "abs")], View(eye=(6, 2, 3))),
    ([("view3d", 30, 20, 8, "angl")],
     View(eye=(8 * math.cos(20 * DEG) * math.sin(30 * DEG), 8 * math.cos(20 * DEG) * math.cos(30 * DEG),
               8 * math.sin(20 * DEG)))),
    ([("view3d", 0, 3, 9, "user")], View(eye=(box_of(0), box_of(3), box_of(9)))),
    ([("vfoc3d", 0.5, -0.5, 0.2, "abs")], View(focus=(0.5, -0.5, 0.2))),
    ([("vfoc3d", 1.5, 0, -3, "user")], View(focus=(0.5, 0, -1))),
    ([("vup3d", 35)], View(up=35)),
    ([("vang3d", 60)], View(angle=60)),
    ([("vclp3d", 2, 20)], View(near=2, far=20)),
    ([("proj3d", "orth")], View(ortho=True)),
    ([("proj3d", "orth"), ("vclp3d", 1, 30)], View(ortho=True, far=30)),
    ([("axis3d", 3, 1, 2)], View(box=(3, 1, 2))),
], ids=["abs", "angl", "user", "focus-abs", "focus-user", "up", "angle", "clip", "orth",
        "orth-far", "box"])
def test_view_settings_give_the_view_matrix(page, settings, view):
    for name, *args in settings:
        getattr(page, name)(*args)
    cube(page, axes=False)
    pts = [tuple(c * h / 2 for c, h in zip(b, view.box)) for b in SAMPLE]
    assert_projects_like(page, view, pts)



def test_view_straight_above_uses_the_special_matrix_and_honours_vup3d(page):
    page.view3d(0, 0, 6, "abs")
    page.vup3d(30)
    cube(page, axes=False)
    assert_projects_like(page, View(eye=(0, 0, 6), up=30))
    # seen from above with the up rotation, +x turns by the rotation on the page
    x0, y0 = page.abs3pt(0, 0, 1)
    x1, y1 = page.abs3pt(1, 0, 1)
    assert math.degrees(math.atan2(-(y1 - y0), x1 - x0)) == pytest.approx(30, abs=0.01)


def test_orthographic_depth_scale_is_one_over_twice_the_eye_distance(page):
    page.proj3d("orth")
    cube(page, axes=False)
    v = View(ortho=True)
    e = math.sqrt(4 ** 2 + 5 ** 2 + 4 ** 2)
    # the depth row of the matrix is the perspective-free distance row divided by 2 |E|
    assert v.m[2][3] == pytest.approx((4 * 4 + 5 * 5 + 4 * 4) / e / (2 * e))
    # parallel edges stay parallel on the page
    a, b = page.abs3pt(-1, -1, -1), page.abs3pt(1, -1, -1)
    c, d = page.abs3pt(-1, 1, 1), page.abs3pt(1, 1, 1)
    assert (b[0] - a[0]) * (d[1] - c[1]) == pytest.approx((b[1] - a[1]) * (d[0] - c[0]))


def test_viewpoint_inside_the_box_gives_message_33_and_the_default(page, capfd):
    page.view3d(0, 0, 0, "abs")
    cube(page, axes=False)
    assert messages(capfd) == [" <<<< Warning 33: Incorrect viewpoint in graf3d!"]
    assert_projects_like(page, View())
    page.endgrf()
    page.view3d(1, -1, 0.5, "abs")          # on the box surface counts as inside
    cube(page, axes=False)
    assert len(messages(capfd)) == 1


@pytest.mark.parametrize("call", [("vang3d", 180), ("vang3d", 0), ("vang3d", -5),
                                  ("axis3d", 0, 1, 1), ("axis3d", 1, float("nan"), 1),
                                  ("vclp3d", 0, 10), ("view3d", 1, 2, float("inf"), "abs"),
                                  ("vup3d", float("nan")), ("setres3d", 0, 1, 1)])
def test_bad_settings_are_refused_and_keep_the_old_value(page, capfd, call):
    name, *args = call
    getattr(page, name)(*args)
    assert messages(capfd) == [f" <<<< Warning 2: Incorrect parameter in {name}!"]
    cube(page, axes=False)
    assert_projects_like(page, View())


def test_vclp3d_far_below_near_keeps_the_near_value(page, capfd):
    page.vclp3d(2, 1)
    assert messages(capfd) == [" <<<< Warning 2: Incorrect parameter in vclp3d!"]
    cube(page, axes=False)
    assert_projects_like(page, View(near=2))
    page.endgrf()
    page.vclp3d(3, 0)                       # far <= 0: automatic again
    cube(page, axes=False)
    assert_projects_like(page, View(near=3))


def test_keywords_and_levels_of_the_settings(page, capfd):
    page.proj3d("wide")
    page.clip3d("box")
    page.view3d(1, 2, 3, "polar")
    assert [ln.split(":")[0] for ln in messages(capfd)] == [" <<<< Warning 2"] * 3
    cube(page, axes=False)
    page.proj3d("orth")                     # level 1 only
    assert messages(capfd) == [" <<<< Warning 3: Incorrect level in proj3d!   ( 3)"]


def test_pagorg_bottom_turns_the_plot_y_of_the_conversions(page):
    cube(page, axes=False)
    top = page.abs3pt(0.2, 0.3, 0.4)
    assert page.y3dabs(0.2, 0.3, 0.4) == pytest.approx(top[1])
    page.pagorg("bott")
    assert page.abs3pt(0.2, 0.3, 0.4)[1] == pytest.approx(2099 - top[1])
    assert page.y3dabs(0.2, 0.3, 0.4) == pytest.approx(2099 - top[1])


def test_abs3pt_before_graf3d_uses_the_settings(page):
    page.view3d(5, 5, 2, "abs")
    assert page.abs3pt(0.5, 0.5, 0.5) == pytest.approx(View(eye=(5, 5, 2)).plot((0.5, 0.5, 0.5)))
    assert page.getlev() == 1


def test_rot3d_turns_the_box_about_its_axes(page):
    page.rot3d(0, 0, 90)
    cube(page, axes=False)
    v = View()
    # a quarter turn about z carries +x to +y
    assert page.abs3pt(1, 0, 0) == pytest.approx(v.plot((0, 1, 0)))
    assert page.abs3pt(0, 1, 0.5) == pytest.approx(v.plot((-1, 0, 0.5)))


def test_points_outside_the_scaling_are_reported_once_per_call(page, capfd):
    cube(page, axes=False)
    page.errmod("check", "on")
    page.curv3d([0.0, 5.0, 7.0], [0.0, 0.0, 0.0], [0.0, 1.0, 9.0], 3)
    page.conn3d(1.0, 2.0, 3.0)
    assert messages(capfd) == [
        " <<<< (  5.0000e+00 /  0.0000e+00 /  1.0000e+00) out of axis scaling in curv3d!"]
    page.nochek()
    page.curv3d([0.0, 5.0], [0.0, 0.0], [0.0, 1.0], 2)
    assert messages(capfd) == []
