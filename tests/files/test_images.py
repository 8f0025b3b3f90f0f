"""Image files: the readers against Pillow's and against files written here, file queries,
the messages, images placed on the pages of raster, PDF and SVG devices, and hostile files."""
import os
import random
import shutil
import struct
import subprocess
import zlib

import pytest
from PIL import Image

import imgfiles

S = min(852 / 2969, 602 / 2099)  # plot units -> pixels of the default PNG page


def warnings(capfd):
    return [ln for ln in capfd.readouterr().out.splitlines() if ln.startswith(" <<<<")]


def sample_image(mode, size=(13, 7), seed=1):
    """A deterministic image in a Pillow mode with varied pixels."""
    rnd = random.Random(seed)
    w, h = size
    if mode == "1":
        return Image.frombytes("L", size, bytes(rnd.choice((0, 255)) for _ in range(w * h))).convert("1")
    if mode == "P":
        im = Image.frombytes("P", size, bytes(rnd.randrange(16) for _ in range(w * h)))
        im.putpalette([v for i in range(16) for v in (i * 16, 255 - i * 9, (i * 77) % 256)])
        return im
    if mode == "I;16":
        data = b"".join(struct.pack("<H", rnd.randrange(65536)) for _ in range(w * h))
        return Image.frombytes("I;16", size, data)
    n = len(mode)
    im = Image.frombytes(mode, size, bytes(rnd.randrange(256) for _ in range(w * h * n)))
    return im


def flat(im):
    """Pixel values of an image in row order."""
    get = getattr(im, "get_flattened_data", None) or im.getdata
    return list(get())


def rgba_of(path):
    return [v for px in flat(Image.open(path).convert("RGBA")) for v in px]


# ------------------------------------------------------------------------------------------
class TestReadersAgainstPillow:
    CASES = [
        ("png", "1", {}), ("png", "L", {}), ("png", "P", {}), ("png", "P", {"bits": 4}),
        ("png", "RGB", {}), ("png", "RGBA", {}), ("png", "LA", {}),
        ("png", "P", {"transparency": 3}),
        ("gif", "P", {}), ("gif", "P", {"interlace": False}), ("gif", "L", {}),
        ("gif", "P", {"transparency": 5}),
        ("bmp", "1", {}), ("bmp", "L", {}), ("bmp", "P", {}), ("bmp", "RGB", {}),
        ("ppm", "1", {}), ("ppm", "L", {}), ("ppm", "RGB", {}),
        ("tif", "1", {}), ("tif", "L", {}), ("tif", "P", {}), ("tif", "RGB", {}),
        ("tif", "RGBA", {}),
        ("tif", "RGB", {"compression": "tiff_lzw"}), ("tif", "L", {"compression": "tiff_lzw"}),
        ("tif", "P", {"compression": "packbits"}),
        ("tif", "RGB", {"compression": "tiff_adobe_deflate"}),
        ("tif", "1", {"compression": "tiff_lzw"}),
    ]

    @pytest.mark.parametrize("ext,mode,opts", CASES, ids=lambda v: str(v))
    def test_rgba_and_stored_values_match(self, tv, tmp_path, ext, mode, opts):
        path = str(tmp_path / f"img.{ext}")
        src = sample_image(mode, size=(37, 23))
        src.save(path, **opts)
        assert tv.ldimg(path, 4) == rgba_of(path)
        assert tv.ldimg(path, 3) == [v for i, v in enumerate(rgba_of(path)) if i % 4 != 3]
        im = Image.open(path)
        if im.mode in ("P", "L"):
            # palette images give their indices, grey images their grey levels
            assert tv.ldimg(path, 1) == flat(im)
        assert tv.filsiz(path) == (37, 23)

    @pytest.mark.parametrize("ext", ["png", "ppm", "tif"])
    def test_sixteen_bit_grey_keeps_its_values(self, tv, tmp_path, ext):
        path = str(tmp_path / f"g16.{ext}")
        src = sample_image("I;16", size=(11, 5))
        src.save(path)
        want = flat(src)
        assert tv.ldimg(path, 1) == want
        data = tv.ldimg(path, -1)
        assert isinstance(data, bytes) and list(struct.unpack(f"<{len(want)}H", data)) == want
        # the colours are the values scaled to 8 bits
        got = tv.ldimg(path, 4)
        for i in range(len(want)):
            assert abs(got[4 * i] - want[i] / 257) <= 1 and got[4 * i + 3] == 255


# ------------------------------------------------------------------------------------------
def grid(w, h, depth, channels, seed=3):
    rnd = random.Random(seed)
    top = (1 << depth) - 1
    return [[tuple(rnd.randint(0, top) for _ in range(channels)) for _ in range(w)]
            for _ in range(h)]


class TestReadersAgainstFilesWrittenHere:
    @pytest.mark.parametrize("interlace", [False, True])
    @pytest.mark.parametrize("ctype,depth", [(0, 1), (0, 2), (0, 4), (0, 8), (0, 16), (2, 8),
                                             (2, 16), (3, 1), (3, 2), (3, 4), (3, 8), (4, 8),
                                             (4, 16), (6, 8), (6, 16)])
    def test_png_every_type_depth_filter_and_interlace(self, tv, tmp_path, ctype, depth,
                                                       interlace):
        ch = imgfiles.CHANNELS[ctype]
        px = grid(19, 11, depth, ch)
        plte = [(i, 255 - i, (7 * i) % 256) for i in range(1 << depth)] if ctype == 3 else None
        path = tmp_path / "t.png"
        path.write_bytes(imgfiles.png(px, ctype, depth, interlace=interlace, plte=plte))
        # Pillow decodes the same file the same way
        assert tv.ldimg(str(path), 4) == rgba_of(path) or depth == 16
        values = tv.ldimg(str(path), 1)
        if ctype in (0, 3, 4):
            assert values == [p[0] for row in px for p in row]
        if depth == 16 and ctype in (2, 6):
            assert tv.ldimg(str(path), 3) == [s >> 8 for row in px for p in row for s in p[:3]]

    def test_png_transparent_colour_key(self, tv, tmp_path):
        px = [[(10, 20, 30), (1, 2, 3)], [(1, 2, 3), (9, 9, 9)]]
        path = tmp_path / "k.png"
        path.write_bytes(imgfiles.png(px, 2, 8, trns=struct.pack(">HHH", 1, 2, 3)))
        assert tv.ldimg(str(path), 4) == [10, 20, 30, 255, 1, 2, 3, 0, 1, 2, 3, 0, 9, 9, 9, 255]

    @pytest.mark.parametrize("order", ["<", ">"])
    def test_tiff_predictor_deflate_and_byte_orders(self, tv, tmp_path, order):
        w, h = 9, 6
        px = grid(w, h, 16, 1)
        rows = []
        for row in px:
            vals = [p[0] for p in row]
            diff = [vals[0]] + [(vals[i] - vals[i - 1]) & 0xFFFF for i in range(1, w)]
            rows.append(struct.pack(order + "%dH" % w, *diff))
        strips = [zlib.compress(b"".join(rows[i:i + 4])) for i in range(0, h, 4)]
        tags = {258: (3, [16]), 259: (3, [8]), 262: (3, [1]), 277: (3, [1]), 278: (3, [4]),
                317: (3, [2])}
        path = tmp_path / "p.tif"
        path.write_bytes(imgfiles.tiff(w, h, strips, tags, order))
        assert tv.ldimg(str(path), 1) == [p[0] for row in px for p in row]

    def test_tiff_white_is_zero_and_rgb_predictor(self, tv, tmp_path):
        px = grid(5, 4, 8, 3)
        rows = []
        for row in px:
            flat = [s for p in row for s in p]
            rows.append(bytes([flat[i] if i < 3 else (flat[i] - flat[i - 3]) & 255
                               for i in range(len(flat))]))
        tags = {258: (3, [8, 8, 8]), 259: (3, [1]), 262: (3, [2]), 277: (3, [3]),
                278: (3, [4]), 317: (3, [2])}
        path = tmp_path / "rgb.tif"
        path.write_bytes(imgfiles.tiff(5, 4, [b"".join(rows)], tags))
        assert tv.ldimg(str(path), 3) == [s for row in px for p in row for s in p]
        grey = bytes([0, 64, 255, 10])
        path.write_bytes(imgfiles.tiff(4, 1, [grey], {258: (3, [8]), 262: (3, [0])}))
        assert tv.ldimg(str(path), 1) == [255, 191, 0, 245]

    def test_tiff_features_not_handled_are_named(self, tv, tmp_path, capfd):
        base = {258: (3, [8]), 262: (3, [1])}
        cases = [
            {**base, 322: (3, [16]), 323: (3, [16])},            # tiles
            {**base, 259: (3, [7])},                              # JPEG
            {**base, 262: (3, [5])},                              # CMYK
            {258: (3, [8, 8, 8]), 262: (3, [2]), 277: (3, [3]), 284: (3, [2])},  # planes
        ]
        for i, tags in enumerate(cases):
            path = tmp_path / f"u{i}.tif"
            path.write_bytes(imgfiles.tiff(4, 4, [bytes(48)], tags))
            assert tv.ldimg(str(path), 1) is None
            assert tv.filsiz(str(path)) == (4, 4)           # the size is still known
        assert warnings(capfd) == [" <<<< Warning 123: Not supported TIFF feature in ldimg!"] * 4

    def test_bmp_rle8_and_top_down(self, tv, tmp_path):
        rows = [[1, 1, 1, 1, 2, 3, 4, 5, 5, 5], [0, 0, 0, 0, 0, 0, 0, 0, 0, 0],
                [7, 6, 7, 6, 7, 6, 7, 6, 7, 6]]
        pal = [(i * 30, 255 - i * 30, i * 3) for i in range(8)]
        path = tmp_path / "r.bmp"
        path.write_bytes(imgfiles.bmp_rle8(10, 3, rows, pal))
        assert tv.ldimg(str(path), 1) == [v for r in rows for v in r]
        assert tv.ldimg(str(path), 4) == rgba_of(path)
        px = [[(1, 2, 3), (4, 5, 6), (7, 8, 9)], [(10, 11, 12), (13, 14, 15), (16, 17, 18)]]
        path.write_bytes(imgfiles.bmp_top_down_24(px))
        assert tv.ldimg(str(path), 3) == list(range(1, 19))

    def test_ascii_pnm(self, tv, tmp_path):
        p = tmp_path / "a.pnm"
        p.write_bytes(b"P1\n# a comment\n3 2\n1 0 1\n010\n")
        assert tv.ldimg(str(p), 1) == [0, 1, 0, 1, 0, 1]    # 1 is black
        p.write_bytes(b"P2 3 1 1000\n0 500 1000\n")
        assert tv.ldimg(str(p), 1) == [0, 500, 1000]
        assert tv.ldimg(str(p), 3) == [0, 0, 0, 128, 128, 128, 255, 255, 255]
        p.write_bytes(b"P3\n2 1\n# max\n15\n15 0 0  0 15 0\n")
        assert tv.ldimg(str(p), 3) == [255, 0, 0, 0, 255, 0]


# ------------------------------------------------------------------------------------------
class TestQueriesAndMessages:
    def test_types_of_files(self, tv, tmp_path):
        im = sample_image("RGB")
        types = {}
        for ext, want in [("tif", 1), ("png", 4), ("ppm", 5), ("bmp", 6), ("gif", 7)]:
            path = str(tmp_path / f"x.{ext}")
            im.save(path)
            types[ext] = tv.filtyp(path)
            assert tv.filsiz(path) == (13, 7)
        assert types == {"tif": 1, "png": 4, "ppm": 5, "bmp": 6, "gif": 7}
        (tmp_path / "t.txt").write_text("hello")
        assert tv.filtyp(str(tmp_path / "t.txt")) == 0

    def test_messages(self, tv, tmp_path, capfd):
        missing = str(tmp_path / "none.png")
        (tmp_path / "t.txt").write_text("not an image")
        good = tmp_path / "g.png"
        sample_image("RGB").save(good)
        cut = tmp_path / "cut.png"
        cut.write_bytes(good.read_bytes()[:60])
        assert tv.ldimg(missing, 1) is None
        assert tv.filtyp(missing) == -1
        assert tv.filsiz(missing) == (-1, -1)
        assert tv.ldimg(str(tmp_path / "t.txt"), 1) is None
        assert tv.ldimg(str(cut), 1) is None
        assert tv.ldimg(str(good), 2) is None
        assert warnings(capfd) == [
            f" <<<< Warning 36: File error in ldimg!   ({missing})",
            f" <<<< Warning 36: File error in filtyp!   ({missing})",
            f" <<<< Warning 36: File error in filsiz!   ({missing})",
            " <<<< Warning 56: Incorrect file format in ldimg!",
            " <<<< Warning 123: Syntax error in image file in ldimg!",
            " <<<< Warning 2: Incorrect parameter in ldimg!   ( 2)"]

# ------------------------------------------------------------------------------------------
COLOURS = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 255, 255), (255, 0, 255),
           (128, 0, 0), (0, 128, 0), (0, 0, 128), (128, 128, 0), (0, 128, 128), (250, 250, 250)]
BOX = (400, 300, 2000, 1500)          # x, y, width, height in plot units


def cells_png(path, cols=4, rows=3, alpha=None):
    im = Image.new("RGBA", (cols, rows))
    for j in range(rows):
        for i in range(cols):
            a = 255 if alpha is None else alpha(i, j)
            im.putpixel((i, j), COLOURS[(j * cols + i) % len(COLOURS)] + (a,))
    im.save(path)
    return path


def cell_centres(box, cols, rows):
    x, y, w, h = box
    return {(i, j): (x + (i + 0.5) * w / cols, y + (j + 0.5) * h / rows)
            for j in range(rows) for i in range(cols)}


def plot(tv, fmt, name, body, rgb=True):
    tv.metafl(fmt)
    tv.setfil(name)
    tv.filmod("DELETE")
    if rgb and fmt == "PNG":
        tv.imgfmt("RGB")
    tv.tavini()
    tv.errmod("PROT", "OFF")
    body(tv)
    tv.tavfin()
    return name


def render(fmt, name):
    """The page as a Pillow RGB image and the scale plot units -> pixels."""
    if fmt == "PNG":
        return Image.open(name).convert("RGB"), S, S
    if fmt == "PDF":
        if not shutil.which("pdftoppm"):
            pytest.skip("pdftoppm missing")
        subprocess.run(["qpdf", "--check", name], check=True, capture_output=True)
        subprocess.run(["pdftoppm", "-png", "-r", "40", "-singlefile", name, "page"], check=True)
        im = Image.open("page.png").convert("RGB")
    else:
        if not shutil.which("rsvg-convert"):
            pytest.skip("rsvg-convert missing")
        subprocess.run(["rsvg-convert", "-b", "white", "-o", "page.png", name], check=True)
        im = Image.open("page.png").convert("RGB")
    return im, im.size[0] / 2969, im.size[1] / 2099


def colour_at(im, sx, sy, x, y):
    return im.getpixel((int(round(x * sx)), int(round(y * sy))))


def close(a, b, tol=6):
    return all(abs(p - q) <= tol for p, q in zip(a, b))


class TestPlacing:
    @pytest.mark.parametrize("fmt,name", [("PNG", "o.png"), ("PDF", "o.pdf"), ("SVG", "o.svg")])
    def test_incfil_fills_the_box_with_the_cells(self, tv, tmp_path, fmt, name):
        src = cells_png(str(tmp_path / "cells.png"))

        def body(t):
            t.filbox(*BOX)
            t.incfil(src)
        plot(tv, fmt, name, body)
        im, sx, sy = render(fmt, name)
        for (i, j), (x, y) in cell_centres(BOX, 4, 3).items():
            assert close(colour_at(im, sx, sy, x, y), COLOURS[j * 4 + i]), (fmt, i, j)
        # outside the box the page stays as it was
        bg = colour_at(im, sx, sy, BOX[0] - 60, BOX[1] + 100)
        assert close(bg, colour_at(im, sx, sy, 2900, 2050))

    def test_indexed_page_takes_the_nearest_palette_colours(self, tv, tmp_path):
        src = cells_png(str(tmp_path / "cells.png"))

        def body(t):
            t.filbox(*BOX)
            t.incfil(src)
        plot(tv, "PNG", "idx.png", body, rgb=False)
        im = Image.open("idx.png")
        assert im.mode == "P"
        rgb = im.convert("RGB")
        x, y = cell_centres(BOX, 4, 3)[(0, 0)]
        assert rgb.getpixel((round(x * S), round(y * S))) == (255, 0, 0)

    def test_default_box_keeps_the_proportions(self, tv, tmp_path):
        src = str(tmp_path / "tall.png")
        Image.new("RGB", (10, 20), (0, 0, 255)).save(src)
        plot(tv, "PNG", "tall_page.png", lambda t: t.incfil(src))
        im = Image.open("tall_page.png").convert("RGB")
        blue = [x for x in range(im.size[0]) if im.getpixel((x, 300)) == (0, 0, 255)]
        # the page height (2099) gives 1049.5 plot units of width, centred
        assert abs(len(blue) - 1049.5 * S) <= 2
        assert abs((blue[0] + blue[-1]) / 2 - 2969 / 2 * S) <= 1.5

    def test_window_and_colour_modes(self, tv, tmp_path):
        src = cells_png(str(tmp_path / "cells.png"))

        def body(t):
            t.filbox(100, 100, 800, 800)
            t.filwin(1, 1, 2, 2)          # the four middle cells
            t.incfil(src)
            t.filwin(0, 0, 4, 3)
            t.filbox(1200, 100, 800, 800)
            t.filclr("GREY")
            t.incfil(src)
            t.filbox(2100, 100, 800, 800)
            t.filclr("BW")
            t.incfil(src)
        plot(tv, "PNG", "modes.png", body)
        im = Image.open("modes.png").convert("RGB")
        at = lambda x, y: im.getpixel((round(x * S), round(y * S)))
        assert at(300, 300) == COLOURS[5] and at(700, 700) == COLOURS[10]
        # grey: the luminance of the cell (green here)
        assert at(1200 + 300, 300) == (150, 150, 150)
        # black and white: dark blue becomes black, near white white
        assert at(2100 + 100, 100 + 700) == (0, 0, 0)
        assert at(2100 + 700, 100 + 700) == (255, 255, 255)

    def test_transparent_pixels_show_what_is_below(self, tv, tmp_path):
        src = cells_png(str(tmp_path / "half.png"), alpha=lambda i, j: 0 if i < 2 else 255)

        def body(t):
            t.recfll(BOX[0], BOX[1], BOX[2], BOX[3], t.intrgb(0.5, 0.5, 0.5))
            t.filbox(*BOX)
            t.incfil(src)
        for fmt, name in [("PNG", "t.png"), ("PDF", "t.pdf")]:
            plot(tv, fmt, name, body)
            im, sx, sy = render(fmt, name)
            cen = cell_centres(BOX, 4, 3)
            assert close(colour_at(im, sx, sy, *cen[(0, 1)]), (128, 128, 128), 3), fmt
            assert close(colour_at(im, sx, sy, *cen[(3, 1)]), COLOURS[7]), fmt
            tv.delglb()

    def test_grfimg_covers_the_axis_system(self, tv, tmp_path):
        src = cells_png(str(tmp_path / "cells.png"))

        def body(t):
            t.axspos(500, 1800)
            t.axslen(2000, 1200)
            t.graf(0, 4, 0, 1, 0, 3, 0, 1)
            t.grfimg(src)
            t.endgrf()
        plot(tv, "PNG", "g.png", body)
        im = Image.open("g.png").convert("RGB")
        for (i, j), (x, y) in cell_centres((500, 601, 2000, 1200), 4, 3).items():
            assert im.getpixel((round(x * S), round(y * S))) == COLOURS[j * 4 + i]

    def test_mapimg_puts_pixels_at_their_coordinates(self, tv, tmp_path):
        src = cells_png(str(tmp_path / "cells.png"))

        def body(t):
            t.axspos(500, 1800)
            t.axslen(2000, 1200)
            t.graf(0, 80, 0, 10, 0, 60, 0, 10)
            # the image covers longitudes 20..60 and latitudes 15..45
            t.mapimg(src, 20, 60, 15, 45, 2.5, 2.5)
            t.endgrf()
        plot(tv, "PNG", "m.png", body)
        im = Image.open("m.png").convert("RGB")

        def at(lon, lat):
            return im.getpixel((round((500 + lon / 80 * 1999) * S),
                                round((1800 - lat / 60 * 1199) * S)))
        assert at(25, 40) == COLOURS[0]          # upper left cell
        assert at(55, 20) == COLOURS[11]         # lower right cell
        assert at(10, 30) == (0, 0, 0)           # outside the image: background

    def test_mapimg_on_a_map_projection(self, tv, tmp_path):
        src = str(tmp_path / "world.png")
        Image.new("RGB", (36, 18), (0, 200, 0)).save(src)

        def body(t):
            t.grafmp(-180, 180, -180, 90, -90, 90, -90, 30)
            t.mapimg(src, -180, 180, -90, 90, 0, 0)
            t.endgrf()
        plot(tv, "PNG", "w.png", body)
        im = Image.open("w.png").convert("RGB")
        assert im.getcolors(1 << 20) and (0, 200, 0) in [c for _, c in im.getcolors(1 << 20)]

# ------------------------------------------------------------------------------------------
class TestHostileImages:
    def test_cut_and_scrambled_files_never_crash_or_hang(self, run_py, tmp_path):
        os.chdir(tmp_path)
        samples = []
        for ext, mode, opts in [("png", "RGBA", {}), ("png", "P", {}), ("gif", "P", {}),
                                ("bmp", "RGB", {}), ("bmp", "P", {}), ("ppm", "RGB", {}),
                                ("tif", "RGB", {"compression": "tiff_lzw"}),
                                ("tif", "P", {"compression": "packbits"}),
                                ("tif", "L", {"compression": "tiff_adobe_deflate"})]:
            name = f"s_{len(samples)}.{ext}"
            sample_image(mode, size=(40, 30)).save(name, **opts)
            samples.append(name)
        (tmp_path / "s_rle.bmp").write_bytes(
            imgfiles.bmp_rle8(10, 3, [[1] * 10, [2, 3] * 5, [0] * 10], [(1, 2, 3)] * 4))
        (tmp_path / "s_il.png").write_bytes(
            imgfiles.png(grid(20, 9, 8, 3), 2, 8, interlace=True))
        samples += ["s_rle.bmp", "s_il.png"]
        # headers claiming enormous images in tiny files
        (tmp_path / "h_png.png").write_bytes(
            b"\x89PNG\r\n\x1a\n" + imgfiles._chunk(b"IHDR", struct.pack(">IIBBBBB", 60000, 60000, 8, 6, 0, 0, 0))
            + imgfiles._chunk(b"IDAT", zlib.compress(b"\0" * 100)) + imgfiles._chunk(b"IEND", b""))
        (tmp_path / "h_bmp.bmp").write_bytes(
            b"BM" + struct.pack("<IHHI", 0, 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, 30000, 30000, 1, 8, 1, 0, 0, 0, 0, 0) + b"\0\1")
        (tmp_path / "h_gif.gif").write_bytes(
            b"GIF89a" + struct.pack("<HHBBB", 65535, 65535, 0, 0, 0) + b"\x2c" +
            struct.pack("<HHHHB", 0, 0, 65535, 65535, 0) + b"\x08\x02\x00\x01\x00\x3b")
        (tmp_path / "h_ppm.ppm").write_bytes(b"P6 99999 99999 255\n\0\0\0")
        (tmp_path / "h_tif.tif").write_bytes(imgfiles.tiff(
            40000, 40000, [b"\0" * 10], {258: (3, [8]), 262: (3, [1]), 259: (3, [5])}))
        out = run_py("""
            import os, random
            import tavero
            tavero.unit(0)
            tavero.metafl("VIRT"); tavero.tavini()
            tavero.filbox(100, 100, 300, 200)
            def probe(name):
                tavero.filtyp(name)
                tavero.filsiz(name)
                for nc in (1, 4, -1):
                    tavero.ldimg(name, nc)
                tavero.incfil(name)
            rnd = random.Random(99)
            count = 0
            for name in sorted(os.listdir(".")):
                data = open(name, "rb").read()
                if name.startswith("h_"):
                    probe(name); count += 1
                    continue
                if not name.startswith("s_"):
                    continue
                step = max(1, len(data) // 40)
                for cut in range(0, len(data), step):
                    open("cut.bin", "wb").write(data[:cut])
                    probe("cut.bin"); count += 1
                for k in range(25):
                    b = bytearray(data)
                    for _ in range(rnd.randint(1, 12)):
                        b[rnd.randrange(len(b))] = rnd.randrange(256)
                    open("mut.bin", "wb").write(bytes(b))
                    probe("mut.bin"); count += 1
            for k in range(40):
                head = rnd.choice([b"\\x89PNG\\r\\n\\x1a\\n", b"GIF89a", b"BM", b"II*\\0",
                                   b"MM\\0*", b"P6 ", b"P1\\n"])
                open("rnd.bin", "wb").write(head + bytes(rnd.getrandbits(8) for _ in range(rnd.randint(0, 3000))))
                probe("rnd.bin"); count += 1
            tavero.tavfin()
            print("probed", count)
        """)
        assert "probed" in out
