"""Shaded contours on the surface of a 3-D axis system (conshd3d): band colours read back from
PNG pixels and from a rendered PDF, the level rules, hidden sides, and bad input."""
import shutil
import subprocess

import pytest
from PIL import Image

# the plane z = -x / 2 over -3..3 seen from the default view point (its top side faces the
# eye); sample points in the middle of the bands 1..4 between the levels
N = 13
XS = [-3 + 6 * i / (N - 1) for i in range(N)]
Z = [-x / 2 for x in XS for _ in XS]
LEVELS = [-1.0, -0.5, 0.0, 0.5, 1.0]
SAMPLES = [(1.5, 0.0), (0.5, 0.0), (-0.5, 0.0), (-1.5, 0.0)]   # z = -0.75, -0.25, 0.25, 0.75
RGB = [(255, 0, 0), (0, 160, 0), (0, 0, 255), (200, 120, 0), (120, 0, 160)]


def plot(tv, body, fmt="PNG", before=None):
    """Runs body in a 3-D system over -3..3 (no axes drawn); returns the file name and the plot
    positions of the samples on the plane."""
    tv.metafl(fmt)
    tv.filmod("DELETE")
    if fmt == "PNG":
        tv.imgfmt("RGB")
        tv.winsiz(2969, 2099)
    tv.scrmod("REVERS")
    if before:
        before(tv)
    tv.tavini()
    tv.unit(0)
    name = tv.getfil()
    tv.nograf()
    tv.graf3d(-3, 3, -3, 1, -3, 3, -3, 1, -1.5, 1.5, -1.5, 0.5)
    pts = [tv.rel3pt(x, y, -x / 2) for x, y in SAMPLES]
    body(tv)
    tv.endgrf()
    tv.tavfin()
    return name, pts


def user_colours(t, order=None):
    cols = [t.intrgb(r / 255, g / 255, b / 255) for r, g, b in RGB]
    t.conclr(cols if order is None else [cols[k] for k in order], 5)


def shaded(t, levels=LEVELS, z=Z):
    t.conshd3d(XS, N, XS, N, z, levels, len(levels))


def pixels(name, pts):
    img = Image.open(name).convert("RGB")
    return [img.getpixel((round(x), round(y))) for x, y in pts]


def test_bands_take_the_colour_of_their_lower_level(tv):
    name, pts = plot(tv, lambda t: (user_colours(t), shaded(t)))
    # band b (b >= 1) lies above sorted level b and takes that level's colour
    assert pixels(name, pts) == RGB[0:4]


def test_descending_levels_keep_their_colours(tv):
    # levels given high to low with their colours: each band keeps the colour of its lower level
    name, pts = plot(tv, lambda t: (user_colours(t, order=[4, 3, 2, 1, 0]),
                                    shaded(t, levels=LEVELS[::-1])))
    assert pixels(name, pts) == RGB[0:4]


def test_upper_rule_and_colour_scaling(tv):
    name, pts = plot(tv, lambda t: (t.shdmod("UPPE", "COLOR"), user_colours(t), shaded(t)))
    # band b takes the colour of level b + 1
    assert pixels(name, pts) == RGB[1:5]
    # without user colours the colours follow the z axis of the system (-1.5 .. 1.5)
    seen = {}

    def body(t):
        shaded(t)
        idx = [0] * 4
        t.colray([-1.0, -0.5, 0.0, 0.5], idx, 4)
        seen["rgb"] = [tuple(int(255 * c + 0.5) for c in t.getind(k)) for k in idx]
    name, pts = plot(tv, body)
    assert pixels(name, pts) == seen["rgb"]


def test_smooth_shading_goes_through_the_zbuffer_with_the_same_colours(tv):
    name, pts = plot(tv, lambda t: (t.shdmod("SMOOTH", "SURFACE"), user_colours(t), shaded(t)))
    assert pixels(name, pts) == RGB[0:4]


def test_hidden_side_is_not_drawn(tv):
    blank, pts = plot(tv, lambda t: None)
    empty = pixels(blank, pts)
    name, pts = plot(tv, lambda t: (t.survis("BOTTOM"), user_colours(t), shaded(t)))
    assert pixels(name, pts) == empty
    name, pts = plot(tv, lambda t: (t.shdmod("ON", "CULL"), t.survis("BOTH"), user_colours(t), shaded(t)))
    assert pixels(name, pts) == RGB[0:4]


def test_messages_and_nothing_drawn_for_identical_levels(tv, capfd):
    blank, pts = plot(tv, lambda t: None)
    empty = pixels(blank, pts)

    def body(t):
        t.unit(6)
        shaded(t, levels=[-1.0, 0.0, 0.0, 1.0])
    name, pts = plot(tv, body)
    out = capfd.readouterr().out
    assert " <<<< Warning 124: Identical levels in conshd3d!" in out
    assert pixels(name, pts) == empty

    def fewer(t):
        t.unit(6)
        t.conclr([t.intrgb(1, 0, 0)], 1)
        shaded(t)
    name, pts = plot(tv, fewer)
    out = capfd.readouterr().out
    assert " <<<< Warning 162: More contour levels as defined colours in conshd3d!" in out
    assert pixels(name, pts) != empty


def test_needs_a_3d_axis_system(tv, capfd):
    tv.metafl("GKSL")
    tv.tavini()
    tv.unit(6)
    tv.graf(-3, 3, -3, 1, -3, 3, -3, 1)
    capfd.readouterr()
    shaded(tv)
    assert capfd.readouterr().out.startswith(" <<<< Warning 3: Incorrect level in conshd3d!")
    tv.endgrf()
    tv.graf3(-3, 3, -3, 1, -3, 3, -3, 1, -1.5, 1.5, -1.5, 0.5)
    shaded(tv)
    assert capfd.readouterr().out == " <<<< Warning 35: Confusion of graf3d and graf3 in conshd3d!\n"
    tv.endgrf()
    tv.tavfin()


def test_bad_values_are_skipped(tv, capfd):
    z = list(Z)
    z[N * 2 + 10] = float("nan")
    z[3] = float("inf")
    xs = list(XS)
    xs[1] = float("nan")

    def body(t):
        t.unit(6)
        user_colours(t)
        t.conshd3d(xs, N, XS, N, z, LEVELS, 5)
        t.conshd3d(XS, N, XS, N, [1e300] * (N * N), LEVELS, 5)
        t.conshd3d(XS, 1, XS, N, Z, LEVELS, 5)
        t.conshd3d(XS, N, XS, N, Z, [float("nan")], 1)
    name, pts = plot(tv, body)
    out = capfd.readouterr().out
    assert out.count("Warning 2: Incorrect parameter in conshd3d") == 2
    # the cells away from the bad values are shaded, the huge surface is cut away by the box
    assert pixels(name, pts) == RGB[0:4]


@pytest.mark.skipif(not shutil.which("qpdf") or not shutil.which("pdftoppm"), reason="needs qpdf, pdftoppm")
def test_pdf_output_is_valid_and_shows_the_bands(tv, tmp_path):
    name, pts = plot(tv, lambda t: (user_colours(t), shaded(t)), fmt="PDF")
    check = subprocess.run(["qpdf", "--check", name], capture_output=True, text=True)
    assert check.returncode == 0, check.stdout + check.stderr
    subprocess.run(["pdftoppm", "-r", "72", "-png", name, str(tmp_path / "page")], check=True)
    img = Image.open(next(tmp_path.glob("page*.png"))).convert("RGB")
    sx, sy = img.size[0] / 2969, img.size[1] / 2099
    got = [img.getpixel((round(x * sx), round(y * sy))) for x, y in pts]
    for (r, g, b), (er, eg, eb) in zip(got, RGB[0:4]):
        assert abs(r - er) + abs(g - eg) + abs(b - eb) < 30
