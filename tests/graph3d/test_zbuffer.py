"""Hidden surfaces: the z-buffer on raster images (pixel colours read back with Pillow), its
raster on PDF and PostScript pages, the depth-sorted polygons of vector output, the phases and
their messages, and isosurfaces."""
import math
import re
import shutil
import subprocess
import zlib

import pytest
from PIL import Image

from helpers3d import cube, run

SCALE = min(852 / 2969, 602 / 2099)          # default page in the default 853 x 603 image
RED, GREEN, BLUE = 0x010000FF, 0x0100FF00, 0x01FF0000


def pixel_of(xy):
    return round(xy[0] * SCALE), round(xy[1] * SCALE)


def png(tv, body, rgb=True):
    def before(t):
        if rgb:
            t.imgfmt("rgb")
        t.scrmod("revers")
    name = run(tv, body, before=before, fmt="png")
    return Image.open(name).convert("RGB")


def messages(capfd):
    return [ln for ln in capfd.readouterr().out.splitlines() if "<<<<" in ln]


def two_triangles(t, near_first, seen):
    cube(t, axes=False)
    assert t.zbfini() == 0
    far = ([-3, 3, 0], [-3, -3, 3], [-2, -2, -2], [RED] * 3)          # large, low
    near = ([-1, 1, 0], [-1, -1, 1], [2, 2, 2], [BLUE] * 3)           # small, high: nearer
    for tri in ((near, far) if near_first else (far, near)):
        t.zbftri(*tri)
    t.zbffin()
    seen["both"] = t.rel3pt(0, -0.5, 2)          # inside the near triangle
    seen["far"] = t.rel3pt(-2, -2.5, -2)         # only the far one


@pytest.mark.parametrize("near_first", [True, False])
def test_the_nearer_triangle_wins_in_either_order(tv, near_first):
    seen = {}
    img = png(tv, lambda t: two_triangles(t, near_first, seen))
    assert img.getpixel(pixel_of(seen["both"])) == (0, 0, 255)
    assert img.getpixel(pixel_of(seen["far"])) == (255, 0, 0)


def test_equal_depths_the_later_triangle_covers(tv):
    seen = {}

    def body(t):
        cube(t, axes=False)
        t.zbfini()
        tri = ([-2, 2, 0], [-2, -2, 2], [0, 0, 0])
        t.zbftri(*tri, [RED] * 3)
        t.zbftri(*tri, [GREEN] * 3)
        t.zbffin()
        seen["c"] = t.rel3pt(0, -0.5, 0)
    assert png(tv, body).getpixel(pixel_of(seen["c"])) == (0, 255, 0)


def test_colours_are_interpolated_across_a_triangle(tv):
    seen = {}

    def body(t):
        cube(t, axes=False)
        t.zbfini()
        t.zbftri([-3, 3, 3], [-3, -3, 3], [0, 0, 0], [RED, GREEN, BLUE])
        t.zbffin()
        seen["v"] = [t.rel3pt(-3, -3, 0), t.rel3pt(3, -3, 0), t.rel3pt(3, 3, 0)]
    img = png(tv, body)
    (ax, ay), (bx, by), (cx, cy) = [(x * SCALE, y * SCALE) for x, y in seen["v"]]
    det = (by - cy) * (ax - cx) + (cx - bx) * (ay - cy)
    checked = 0
    for px in range(int(min(ax, bx, cx)), int(max(ax, bx, cx)) + 1, 7):
        for py in range(int(min(ay, by, cy)), int(max(ay, by, cy)) + 1, 7):
            # the colour is linear in the pixel position (barycentric weights on the page)
            la = ((by - cy) * (px - cx) + (cx - bx) * (py - cy)) / det
            lb = ((cy - ay) * (px - cx) + (ax - cx) * (py - cy)) / det
            lc = 1 - la - lb
            if min(la, lb, lc) < 0.02:
                continue
            expected = (255 * la, 255 * lb, 255 * lc)
            got = img.getpixel((px, py))
            assert max(abs(g - e) for g, e in zip(got, expected)) <= 3, (px, py)
            checked += 1
    assert checked > 100


def on_ray(t, box_point):
    """User point at parameter t on the ray from the eye (4, -5, 4) through a box point."""
    eye = (4.0, -5.0, 4.0)
    return [3 * (e + t * (b - e)) for e, b in zip(eye, box_point)]


def test_a_line_behind_a_triangle_is_hidden(tv):
    seen = {}
    centre = (0.0, -1 / 3, 2 / 3)                     # centroid of the triangle in the box
    behind, front = on_ray(1.3, centre), on_ray(0.8, (0.1, -0.55, 2 / 3))

    def body(t):
        cube(t, axes=False)
        t.zbfini()
        t.zbftri([-1, 1, 0], [-2, -2, 1], [2, 2, 2], [BLUE] * 3)
        t.setrgb(1, 0, 0)
        for p in (behind, front):
            t.zbflin(p[0] - 1, p[1], p[2], p[0] + 1, p[1], p[2])
        t.zbffin()
        seen["behind"] = t.rel3pt(*behind)
        seen["front"] = t.rel3pt(*front)
        seen["free"] = t.rel3pt(behind[0] + 0.95, behind[1], behind[2])
    img = png(tv, body)

    def red_near(p):
        x, y = pixel_of(p)
        return (255, 0, 0) in [img.getpixel((x, y + d)) for d in (-1, 0, 1)]
    assert img.getpixel(pixel_of(seen["behind"])) == (0, 0, 255)
    assert not red_near(seen["behind"])
    assert red_near(seen["front"])
    assert red_near(seen["free"])


def test_phase_messages(tv, capfd):
    tv.metafl("png")
    tv.tavini()
    capfd.readouterr()
    tv.zbffin()
    assert messages(capfd) == [" <<<< Warning 115: No initialization of z-buffer in zbffin!"]
    assert tv.zbfini() == 0
    assert tv.zbfini() == 1
    assert messages(capfd) == [" <<<< Warning 120: z-buffer is already in use in zbfini!"]
    tv.zbffin()
    cube(tv, axes=False)
    tv.zbftri([0, 1, 0], [0, 0, 1], [0, 0, 0], [1, 1, 1])
    assert messages(capfd) == [" <<<< Warning 115: No initialization of z-buffer in zbftri!"]
    tv.dbffin()
    assert messages(capfd) == [" <<<< Warning 115: No initialization of depth buffer in dbffin!"]
    assert tv.dbfini() == 0
    assert tv.dbfini() == 1
    assert messages(capfd) == [" <<<< Warning 120: Depth buffer is already in use in dbfini!"]
    for v in (0.5, 11):
        tv.zbfscl(v)
    assert messages(capfd) == [" <<<< Warning 2: Incorrect parameter in zbfscl!"] * 2


@pytest.mark.parametrize("fmt", ["svg", "cgm", "hpgl", "java"])
def test_vector_devices_refuse_the_z_buffer(tv, capfd, fmt):
    tv.metafl(fmt)
    tv.tavini()
    capfd.readouterr()
    assert tv.zbfini() == 1
    cube(tv, axes=False)
    tv.shdmod("smooth", "surf")
    tv.surshd([-3, 3], 2, [-3, 3], 2, [0, 1, 2, 3])          # needs a z-buffer: nothing drawn
    assert messages(capfd) == [
        " <<<< Warning 40: File format and output device are incompatible in zbfini!",
        " <<<< Warning 40: File format and output device are incompatible in surshd!"]


def pdf_images(path):
    data = open(path, "rb").read()
    return [(int(w), int(h)) for w, h in re.findall(rb"/Subtype /Image.*?/Width (\d+) /Height (\d+)",
                                                    data, re.S)]


@pytest.mark.parametrize("scale", [1, 2])
def test_pdf_raster_follows_the_page_and_zbfscl(tv, scale):
    def body(t):
        t.zbfscl(scale)
        cube(t, axes=False)
        t.zbfini()
        t.zbftri([-3, 3, 0], [-3, -3, 3], [0, 0, 0], [RED] * 3)
        t.zbffin()
    name = run(tv, body, fmt="pdf")
    ((w, h),) = pdf_images(name)
    box = re.search(rb"/MediaBox \[0 0 ([\d.]+) ([\d.]+)\]", open(name, "rb").read())
    # the page in points (the PDF device unit) times zbfscl; the sheet may stand upright
    pw, ph = sorted((float(box.group(1)) - 1, float(box.group(2)) - 1), reverse=True)
    assert w == pytest.approx(pw * scale, abs=1.5 * scale) and h == pytest.approx(ph * scale, abs=1.5 * scale)
    if shutil.which("qpdf"):
        assert subprocess.run(["qpdf", "--check", name], capture_output=True).returncode == 0


def render(path, tmp, res=72):
    out = str(tmp / "page")
    if path.endswith(".pdf"):
        subprocess.run(["pdftoppm", "-r", str(res), "-png", "-singlefile", path, out], check=True)
    else:
        subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=png16m",
                        f"-r{res}", f"-sOutputFile={out}.png", path], check=True)
    return Image.open(out + ".png").convert("RGB")


@pytest.mark.parametrize("fmt", ["pdf", "ps", "eps"])
def test_z_buffer_pictures_on_vector_pages(tv, tmp_path, fmt):
    if not shutil.which("gs") or not shutil.which("pdftoppm"):
        pytest.skip("needs ghostscript and poppler")
    seen = {}

    def body(t):
        t.scrmod("revers")
        two_triangles(t, True, seen)
    name = run(tv, body, fmt=fmt)
    img = render(name, tmp_path)
    W, H = img.size
    turned = fmt != "pdf" and H > W      # PostScript pages stand upright with the plot turned
    def at(p):
        x, y = p[0] / 2969, p[1] / 2099
        return (round(y * (W - 1)), round((1 - x) * (H - 1))) if turned else \
               (round(x * (W - 1)), round(y * (H - 1)))
    near = img.getpixel(at(seen["both"]))
    far = img.getpixel(at(seen["far"]))
    assert near[2] > 200 and near[0] < 60, near
    assert far[0] > 200 and far[2] < 60, far
    corner = img.getpixel((2, 2))
    assert min(corner) > 240                    # untouched parts of the page stay white


def svg_fills(path):
    text = open(path).read()
    return re.findall(r'<polygon fill="#([0-9a-f]{6})"', text)


def test_depth_buffer_draws_the_far_object_first(tv):
    def body(t):
        cube(t, axes=False)
        t.dbfini()
        t.setrgb(1, 0, 0)
        t.quad3d(2, -2, 2, 1, 1, 1)             # near the view point, drawn first
        t.setrgb(0, 0, 1)
        t.quad3d(-2, 2, -2, 1, 1, 1)            # far away
        t.dbffin()
    fills = svg_fills(run(tv, body, fmt="svg"))
    assert set(fills) == {"ff0000", "0000ff"}
    last_blue = max(i for i, f in enumerate(fills) if f == "0000ff")
    first_red = min(i for i, f in enumerate(fills) if f == "ff0000")
    assert last_blue < first_red
    # only the faces towards the view point: three of each cube
    assert fills.count("ff0000") == 3 and fills.count("0000ff") == 3


def test_flat_surface_on_svg_is_sorted_and_valid(tv):
    xs = [-3 + 0.5 * i for i in range(13)]
    zs = [math.sin(x) * math.cos(y) * 2 for x in xs for y in xs]

    def body(t):
        cube(t, axes=False)
        t.surshd(xs, 13, xs, 13, zs)
    name = run(tv, body, fmt="svg")
    fills = svg_fills(name)
    assert 100 <= len(fills) <= 2 * 144
    if shutil.which("xmllint"):
        assert subprocess.run(["xmllint", "--noout", name], capture_output=True).returncode == 0


def test_objects_without_a_buffer_are_wire_frames(tv):
    paths, _ = run(tv, lambda t: (cube(t, axes=False), t.sphe3d(0, 0, 0, 2, 12, 8)))
    assert len(paths) >= 12 * 8 - 12
    seen = {}

    def body(t):
        cube(t, axes=False)
        t.zbfini()
        t.setrgb(0, 1, 0)
        t.sphe3d(0, 0, 0, 2, 24, 16)
        t.zbffin()
        seen["c"] = t.rel3pt(0, 0, 0)
        seen["out"] = t.rel3pt(2.9, -2.9, -2.9)
    img = png(tv, body)
    assert img.getpixel(pixel_of(seen["c"])) == (0, 255, 0)
    assert img.getpixel(pixel_of(seen["out"])) == (255, 255, 255)


def test_isosurface_of_a_sphere(tv, capfd):
    n = 11
    g = [-1 + 2 * i / (n - 1) for i in range(n)]
    w = [x * x + y * y + z * z for x in g for y in g for z in g]
    tv.tavini()
    tv.graf3d(-1, 1, -1, 0.5, -1, 1, -1, 0.5, -1, 1, -1, 0.5)
    capfd.readouterr()
    w = [[[v for v in w[(i * n + j) * n:(i * n + j + 1) * n]] for j in range(n)] for i in range(n)]
    xt, yt, zt = [0.0] * 6000, [0.0] * 6000, [0.0] * 6000
    ntri = tv.isopts(g, n, g, n, g, n, w, 0.49, xt, yt, zt, 6000)
    assert 100 < ntri <= 2000
    radii = [math.sqrt(xt[i] ** 2 + yt[i] ** 2 + zt[i] ** 2) for i in range(3 * ntri)]
    assert min(radii) > 0.66 and max(radii) < 0.74            # the sphere of radius 0.7
    small = [0.0] * 30
    ntri = tv.isopts(g, n, g, n, g, n, w, 0.49, small, small[:], small[:], 30)
    assert ntri == 10
    assert messages(capfd) == [" <<<< Warning 121: Overflow - Too many triangles in isopts!"]


@pytest.mark.parametrize("mode", ["worl", "none"])
def test_shaded_surfaces_are_cut_to_the_box(tv, mode):
    seen = {}

    def body(t):
        t.clip3d(mode)
        cube(t, axes=False)
        t.shdmod("smooth", "surf")
        t.surshd([-3.0, 3.0], 2, [-3.0, 3.0], 2, [-9.0, -9.0, 9.0, 9.0])    # the plane z = 3x
        seen["in"] = t.rel3pt(0.5, 0.0, 1.5)
        seen["out"] = t.rel3pt(2.0, 0.0, 6.0)
    img = png(tv, body)
    assert img.getpixel(pixel_of(seen["in"])) != (255, 255, 255)
    beyond = img.getpixel(pixel_of(seen["out"]))
    assert (beyond == (255, 255, 255)) == (mode == "worl")
