"""The lighting model (through getlit and through shaded pictures): ambient, diffuse and
specular terms, attenuation, light positions and modes, and the refusal of bad settings."""
import math

import pytest
from PIL import Image

from helpers3d import cube, run

LIGHT = (4.0, -5.0, 4.0)                 # default position of light 1 (box coordinates)
TOWARDS = tuple(c / math.sqrt(57) for c in LIGHT)


def rgb(colour):
    assert colour >> 24 == 1, hex(colour)
    return colour & 255, (colour >> 8) & 255, (colour >> 16) & 255


def byte(c):
    return int(255 * min(c, 1.0) + 0.5)


@pytest.fixture
def lit(tv, capfd):
    tv.tavini()
    cube(tv, axes=False)
    tv.light("on")
    capfd.readouterr()
    return tv


def test_lighting_off_gives_the_current_colour(tv):
    tv.tavini()
    cube(tv, axes=False)
    tv.setclr(77)
    assert tv.getlit(0, 0, 0, 0, 0, 1) == 77


def test_diffuse_term_follows_the_angle_to_the_light(lit):
    # scene ambient 0.2 x material ambient 0.2, plus light diffuse 1 x material diffuse 0.8 x N.L
    assert rgb(lit.getlit(0, 0, 0, *TOWARDS)) == (byte(0.84),) * 3
    side = (5, 4, 0)                                   # perpendicular to the light direction
    assert rgb(lit.getlit(0, 0, 0, *side)) == (byte(0.04),) * 3
    assert rgb(lit.getlit(0, 0, 0, *[-c for c in TOWARDS])) == (byte(0.04),) * 3
    # an unnormalised normal gives the same colour
    assert lit.getlit(0, 0, 0, *[3 * c for c in TOWARDS]) == lit.getlit(0, 0, 0, *TOWARDS)
    # a unit normal at cos = 0.6 to the light
    n = [0.6 * t + 0.8 * p / math.sqrt(41) for t, p in zip(TOWARDS, side)]
    assert rgb(lit.getlit(0, 0, 0, *n)) == (byte(0.04 + 0.8 * 0.6),) * 3


def test_all_lights_off_leaves_only_the_ambient_part(lit):
    lit.litmod(1, "off")
    assert rgb(lit.getlit(0, 0, 0, *TOWARDS)) == (byte(0.04),) * 3
    lit.matop3(0.5, 1.0, 0.0, "ambi")
    assert rgb(lit.getlit(0, 0, 0, *TOWARDS)) == (byte(0.1), byte(0.2), 0)


def test_attenuation_and_light_colours(lit):
    d = math.sqrt(57)
    lit.litopt(1, 0.5, "line")
    assert rgb(lit.getlit(0, 0, 0, *TOWARDS)) == (byte(0.04 + 0.8 / (1 + 0.5 * d)),) * 3
    lit.litopt(1, 0.0, "line")
    lit.litopt(1, 0.1, "quad")
    assert rgb(lit.getlit(0, 0, 0, *TOWARDS)) == (byte(0.04 + 0.8 / (1 + 0.1 * d * d)),) * 3
    lit.litopt(1, 0.0, "quad")
    lit.litop3(1, 1.0, 0.5, 0.0, "diff")
    lit.litop3(1, 0.5, 0.0, 0.0, "ambi")
    assert rgb(lit.getlit(0, 0, 0, *TOWARDS)) == (byte(0.04 + 0.1 + 0.8), byte(0.04 + 0.4), byte(0.04))


def test_specular_highlight_where_the_reflection_meets_the_eye(lit):
    lit.matopt(1.0, "specular")
    lit.matopt(20, "expo")
    # eye and light stand at the same point: the reflection goes straight back
    assert rgb(lit.getlit(0, 0, 0, *TOWARDS)) == (255,) * 3
    off = (TOWARDS[0] + 0.3, TOWARDS[1], TOWARDS[2])
    n = math.sqrt(sum(c * c for c in off))
    nl = sum(a * b / n for a, b in zip(off, TOWARDS))
    rv = 2 * nl * nl - 1                     # R.V with V = L
    expected = 0.04 + 0.8 * nl + rv ** 20
    assert rgb(lit.getlit(0, 0, 0, *off)) == (byte(expected),) * 3


def test_light_in_the_tangent_plane_adds_nothing(lit):
    lit.matopt(1.0, "specular")
    lit.litpos(1, 4, 0, 0, "abs")
    assert rgb(lit.getlit(0, 0, 0, 0, 0, 1)) == (byte(0.04),) * 3


def test_light_positions_by_mode(tv):
    tv.tavini()
    tv.litpos(1, 30, 0, 10, "angl")           # before graf3d: kept with its mode
    cube(tv, axes=False)
    tv.light("on")
    deg = 3.1415927 / 180
    pos = (10 * math.sin(30 * deg), 10 * math.cos(30 * deg), 0.0)
    n = [c / 10 for c in pos]
    assert rgb(tv.getlit(0, 0, 0, *n)) == (byte(0.84),) * 3
    # "ABS" at level 3 becomes the user point of the box position at once
    tv.litpos(1, 0, 0, 0, "abs")              # the centre of -3..3 is user 0
    tv.endgrf()
    tv.graf3d(0, 6, 0, 1, -3, 3, -3, 1, -3, 3, -3, 1)   # user x 0 now lies at box x -1
    tv.light("on")
    # a point above the light, facing down onto it
    assert rgb(tv.getlit(0, 0, 3, 0, 0, -1)) == (byte(0.84),) * 3


@pytest.mark.parametrize("call, message", [
    (("litmod", 9, "on"), "Warning 2: Incorrect parameter in litmod!   ( 9)"),
    (("litpos", 0, 1, 1, 1, "abs"), "Warning 2: Incorrect parameter in litpos!   ( 0)"),
    (("litopt", 1, -1.0, "diff"), "Warning 1: Negative parameter in litopt!"),
    (("litop3", 1, 0.5, -0.5, 0.5, "specular"), "Warning 1: Negative parameter in litop3!"),
    (("matopt", -2.0, "expo"), "Warning 1: Negative parameter in matopt!"),
    (("matop3", 1.0, 1.0, 1.0, "glow"), "Warning 2: Incorrect parameter in matop3!   (glow)"),
    (("light", "bright"), "Warning 2: Incorrect parameter in light!   (bright)"),
])
def test_bad_light_settings_are_refused(lit, capfd, call, message):
    before = lit.getlit(0, 0, 0, *TOWARDS)
    name, *args = call
    getattr(lit, name)(*args)
    out = [ln for ln in capfd.readouterr().out.splitlines() if "<<<<" in ln]
    assert out == [" <<<< " + message]
    assert lit.getlit(0, 0, 0, *TOWARDS) == before


def test_setfce_chooses_the_material_of_a_side(tv):
    tv.tavini()
    cube(tv, axes=False)
    tv.light("on")
    tv.setfce("bott")
    tv.matopt(0.4, "diff")                    # the lower side only
    assert rgb(tv.getlit(0, 0, 0, *TOWARDS)) == (byte(0.84),) * 3


def test_the_side_of_a_sphere_facing_the_light_is_brightest(tv):
    seen = {}

    def body(t):
        cube(t, axes=False)
        t.shdmod("smooth", "surf")
        t.light("on")
        t.litpos(1, 0, -6, 6, "abs")
        t.zbfini()
        t.setrgb(1, 1, 1)
        t.sphe3d(0, 0, 0, 2.4, 48, 32)
        t.zbffin()
        r = 2.4 * 0.98
        for name, d in {"light": (0, -1, 1), "side": (1, -1, 0), "low": (0, -1, -1)}.items():
            k = r / math.sqrt(sum(c * c for c in d))
            seen[name] = t.rel3pt(*(c * k for c in d))

    def before(t):
        t.imgfmt("rgb")
    img = Image.open(run(tv, body, before=before, fmt="png")).convert("RGB")
    s = min(852 / 2969, 602 / 2099)
    lum = {k: sum(img.getpixel((round(x * s), round(y * s)))) for k, (x, y) in seen.items()}
    assert lum["light"] >= 3 * 250
    assert lum["light"] > lum["side"] > lum["low"]
