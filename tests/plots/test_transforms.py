"""2-D transformations of the plot, conversions of coordinate arrays, resampling of matrices,
and line integral convolution with its texture."""
import math
import random
import statistics

import pytest

from vecutil import graf_box, same_points, strokes, warnings


def one_line(tv, setup):
    return strokes(tv, lambda t: (setup(t), t.line(1000, 1000, 1100, 1000)))


@pytest.mark.parametrize("setup, expect", [
    (lambda t: t.trfshf(100, 50), [(1100, 1050), (1200, 1050)]),
    (lambda t: t.trfrot(90.0, 1000, 1000), [(1000, 1000), (1000, 900)]),
    (lambda t: t.trfscl(2.0, 3.0), [(2000, 3000), (2200, 3000)]),
    # applied in the order given: shifted first, then turned about (1000, 1000)
    (lambda t: (t.trfshf(100, 0), t.trfrot(180.0, 1000, 1000)), [(900, 1000), (800, 1000)]),
    (lambda t: (t.trfrot(30.0, 0, 0), t.trfres()), [(1000, 1000), (1100, 1000)]),
    (lambda t: (t.pagorg("BOTT"), t.trfshf(0, 100)), [(1000, 2099 - 1000 - 100),
                                                       (1100, 2099 - 1000 - 100)]),
])
def test_plot_transformations(tv, setup, expect):
    got = one_line(tv, setup)
    if expect[0][1] > 2099:                  # beyond the page: clipped away entirely
        assert got == []
        return
    assert len(got) == 1 and same_points(got[0], expect, tol=1e-2)


def test_transformation_checks_and_reset_by_tavini(tv, capfd):
    tv.trfshf(500, 0)                        # level 0: reported, and forgotten by tavini
    got = one_line(tv, lambda t: (t.trfscl(0.0, 1.0), t.trfrot(float("inf"), 0, 0)))
    assert same_points(got[0], [(1000, 1000), (1100, 1000)])
    w = warnings(capfd)
    assert "Warning 3" in w[0] and len(w) == 3


def test_user_to_plot_conversion(tv):
    def body(t):
        graf_box(t)
        x, y = [0.0, 1.0, 0.5], [0.0, 1.0, 0.25]
        t.trfrel(x, y, 3)
        assert x == pytest.approx([500, 1499, 999.5])
        assert y == pytest.approx([1500, 501, 1500 - 0.25 * 999])
    strokes(tv, body)


def test_angle_and_coordinate_conversions(tv, capfd):
    tv.tavini()
    tv.errmod("prot", "off")
    capfd.readouterr()
    a = [180.0, 90.0, -45.0]
    tv.trfco1(a, 3, "DEGR", "RADI")
    assert a == pytest.approx([math.pi, math.pi / 2, -math.pi / 4])
    tv.trfco1(a, 3, "radians", "degrees")
    assert a == pytest.approx([180.0, 90.0, -45.0])
    tv.trfco1(a, 3, "DEGR", "DEGR")
    assert a == [180.0, 90.0, -45.0]
    x, y = [0.0, 3.0, -1.0], [1.0, 4.0, 0.0]
    tv.trfco2(x, y, 3, "RECT", "POLAR")
    assert x == pytest.approx([90.0, math.degrees(math.atan2(4, 3)), 180.0])
    assert y == pytest.approx([1.0, 5.0, 1.0])
    tv.trfco2(x, y, 3, "POLAR", "RECT")
    assert x == pytest.approx([0.0, 3.0, -1.0], abs=1e-12) and y == pytest.approx([1.0, 4.0, 0.0], abs=1e-12)
    x, y, z = [0.0, 1.0, 1.0], [0.0, 0.0, 1.0], [1.0, 0.0, 1.0]
    tv.trfco3(x, y, z, 3, "RECT", "SPHE")
    assert [x[0], y[0], z[0]] == pytest.approx([0.0, 90.0, 1.0])
    assert [x[1], y[1], z[1]] == pytest.approx([0.0, 0.0, 1.0])
    tv.trfco3(x, y, z, 3, "SPHE", "CYLI")
    tv.trfco3(x, y, z, 3, "CYLI", "RECT")
    assert x == pytest.approx([0.0, 1.0, 1.0], abs=1e-12)
    assert y == pytest.approx([0.0, 0.0, 1.0], abs=1e-12)
    assert z == pytest.approx([1.0, 0.0, 1.0], abs=1e-12)
    w = warnings(capfd)
    assert len(w) == 1 and "Warning 110: No conversion necessary in trfco1!" in w[0]
    tv.unit(0)
    tv.tavfin()


def test_matrix_resampling(tv):
    z = [[0.0, 1.0], [2.0, 3.0]]
    out = [0.0] * 9
    tv.trfmat(z, 2, 2, out, 3, 3)
    assert out == pytest.approx([0, 0.5, 1, 1, 1.5, 2, 2, 2.5, 3])
    # a linear function is kept exactly; corners stay in place
    f = lambda i, j: 2.0 * i - 0.5 * j + 1
    z = [[f(i, j) for j in range(5)] for i in range(4)]
    out = [0.0] * (7 * 9)
    tv.trfmat(z, 4, 5, out, 7, 9)
    for a in range(7):
        for b in range(9):
            assert out[a * 9 + b] == pytest.approx(f(a * 3 / 6, b * 4 / 8))
    one = [0.0] * 4
    tv.trfmat([[5.0]], 1, 1, one, 2, 2)
    assert one == [5.0] * 4


# --- line integral convolution

def lic(tv, xv, yv, tex, nx, ny, setup=None):
    tv.tavini()
    tv.errmod("prot", "off")
    if setup:
        setup(tv)
    iw, w = [0] * (nx * ny), [0.0] * (nx * ny)
    tv.licpts(xv, yv, nx, ny, tex, iw, w)
    tv.unit(0)
    tv.tavfin()
    tv.delglb()
    return iw, w


def test_texture_is_white_noise_and_repeatable(tv):
    tv.tavini()
    a, b = [0] * 4096, [0] * 4096
    tv.txture(a, 64, 64)
    tv.txture(b, 64, 64)
    tv.unit(0)
    tv.tavfin()
    assert a == b and min(a) >= 0 and max(a) <= 255
    assert statistics.mean(a) == pytest.approx(127.5, abs=5)
    assert len(set(a)) > 250


@pytest.mark.parametrize("fast", [False, True])
def test_convolution_smooths_along_the_flow_only(tv, fast):
    nx, ny = 40, 30
    flow_x = [[1.0] * ny for _ in range(nx)]
    zero = [[0.0] * ny for _ in range(nx)]
    rnd = random.Random(7)
    noise = [[rnd.randrange(256) for j in range(ny)] for i in range(nx)]
    setup = (lambda t: t.licmod("ON", "FAST")) if fast else None
    # a texture that is constant along the flow comes back unchanged
    stripes = [[(j * 37) % 256 for j in range(ny)] for i in range(nx)]
    _, w = lic(tv, flow_x, zero, stripes, nx, ny, setup)
    assert w == pytest.approx([float(v) for row in stripes for v in row])
    # noise loses its variation along the flow (index i) much more than across it (j)
    iw, w = lic(tv, flow_x, zero, noise, nx, ny, setup)
    m = lambda i, j: w[i * ny + j]
    along = statistics.mean(abs(m(i + 1, j) - m(i, j)) for i in range(5, nx - 6) for j in range(ny))
    across = statistics.mean(abs(m(i, j + 1) - m(i, j)) for i in range(5, nx - 6) for j in range(ny - 1))
    assert along < across / 2
    assert iw == [math.floor(v + 0.5) for v in w]      # halves away from zero


def test_convolution_scaling_and_checks(tv, capfd):
    nx, ny = 20, 20
    field = [[1.0] * ny for _ in range(nx)]
    zero = [[0.0] * ny for _ in range(nx)]
    noise = [[(i * 31 + j * 17) * 2654435761 % 256 for j in range(ny)] for i in range(nx)]
    _, w = lic(tv, field, zero, noise, nx, ny, lambda t: t.licmod("ON", "SCAL"))
    flat = [v for row in noise for v in row]
    assert min(w) == pytest.approx(min(flat)) and max(w) == pytest.approx(max(flat))
    capfd.readouterr()
    iw, w = lic(tv, [[1.0]], [[0.0]], [[5]], 1, 1)
    assert iw == [0]
    assert len(warnings(capfd)) == 1
