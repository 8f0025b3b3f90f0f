"""Raster devices and the image routines: what image readers and the usual tools make of the
files, equivalences between formats, device geometry and clipping, fills, pixel access,
export, and the C++ tests of the raster module."""
import os
import shutil
import struct
import subprocess
import sys

import pytest
from PIL import Image

import tavero

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
S = min(852 / 2969, 602 / 2099)  # default page in the default window
EXT = {"PNG": "png", "GIF": "gif", "TIFF": "tif", "BMP": "bmp", "PPM": "ppm"}


def plot(tv, fmt, body, name=None, before=None):
    """One plot on a raster device; returns the file name."""
    name = name or "out." + EXT.get(fmt, "img")
    tv.metafl(fmt)
    tv.setfil(name)
    tv.filmod("DELETE")
    if before:
        before(tv)
    tv.tavini()
    tv.errmod("PROT", "OFF")
    body(tv)
    tv.tavfin()
    return name


def scene(tv):
    """A drawing that uses every primitive: thin, wide and dashed lines, fills, a point."""
    tv.setclr(40)
    tv.line(100, 100, 2800, 2000)
    tv.linwid(25)
    tv.setclr(200)
    tv.line(100, 2000, 2800, 100)
    tv.linwid(1)
    tv.dash()
    tv.setclr(120)
    tv.line(0, 1000, 2969, 1000)
    tv.solid()
    tv.shdpat(16)
    tv.setclr(90)
    tv.areaf([500, 1500, 1000], [300, 300, 1600], 3)
    tv.line(2500, 1800, 2500, 1800)


def pixels(path):
    im = Image.open(path)
    im.load()
    return im


def rgb(path):
    return pixels(path).convert("RGB")


def lit_box(im):
    """Bounding box of the non-black pixels."""
    return im.convert("RGB").getbbox()


def run_tool(*args):
    if not shutil.which(args[0]):
        pytest.skip(args[0] + " not installed")
    return subprocess.run(args, capture_output=True, text=True)


# ------------------------------------------------------------------------------------------
class TestFiles:
    @pytest.mark.parametrize("fmt", ["PNG", "GIF", "TIFF", "BMP", "PPM"])
    def test_every_format_decodes_at_the_window_size(self, tv, fmt):
        im = pixels(plot(tv, fmt, scene))
        assert im.size == (853, 603)
        assert im.mode == ("RGB" if fmt == "PPM" else "P")

    def test_default_file_name_and_portrait_window(self, tv):
        tv.metafl("PNG")
        tv.setpag("DA4P")
        tv.tavini()
        tv.errmod("PROT", "OFF")
        tv.tavfin()
        assert pixels("tavero.png").size == (603, 853)

    def test_png_palette_and_true_colour(self, tv):
        data = open(plot(tv, "PNG", scene), "rb").read()
        assert data[:8] == b"\x89PNG\r\n\x1a\n"
        assert data[24:26] == b"\x08\x03" and b"PLTE" in data
        data = open(plot(tv, "PNG", scene, before=lambda t: t.imgfmt("RGB")), "rb").read()
        assert data[24:26] == b"\x08\x02" and b"PLTE" not in data
        assert pixels("out.png").mode == "RGB"

    def test_tiff_directory_layout(self, tv):
        data = open(plot(tv, "TIFF", scene), "rb").read()
        assert data[:8] == b"II*\x00\x08\x00\x00\x00"
        (count,) = struct.unpack_from("<H", data, 8)
        assert count == 14
        entries = {}
        for i in range(count):
            tag, typ, n, val = struct.unpack_from("<HHII", data, 10 + 12 * i)
            entries[tag] = (typ, n, val)
        assert entries[273] == (4, 603, 182)
        counts = struct.unpack_from("<603I", data, entries[279][2])
        assert set(counts) == {853}
        assert entries[296][2] == 2 and entries[262][2] == 3

    def test_tiff_modes_and_resolution(self, tv):
        def before(t):
            t.imgfmt("BIL")
            t.tifmod(300, "CM", "RESO")
        data = open(plot(tv, "TIFF", scene, before=before), "rb").read()
        assert struct.unpack_from("<H", data, 8)[0] == 13
        im = pixels("out.tif")
        assert im.mode == "1" and im.info["dpi"] is not None
        assert tuple(round(v) for v in im.info["dpi"]) == (762, 762)  # 300 per cm
        plot(tv, "TIFF", scene, before=lambda t: t.imgfmt("RGB"))
        assert pixels("out.tif").mode == "RGB"

    def test_gif_transparency(self, tv):
        data = open(plot(tv, "GIF", scene), "rb").read()
        assert data[:6] == b"GIF87a"
        data = open(plot(tv, "GIF", scene, before=lambda t: t.gifmod("ON", "TRANS")), "rb").read()
        assert data[:6] == b"GIF89a"
        im = pixels("out.gif")
        assert im.info.get("transparency") == data[11] == 0

    def test_png_transparency(self, tv):
        plot(tv, "PNG", scene, before=lambda t: t.pngmod("ON", "TRAN"))
        im = pixels("out.png").convert("RGBA")
        assert im.getpixel((0, 0))[3] == 0 and im.getpixel((450, 300))[3] in (0, 255)
        assert im.getpixel((int(1000 * S), int(700 * S)))[3] == 255  # inside the triangle

    def test_ppm_and_bmp_headers(self, tv):
        data = open(plot(tv, "PPM", scene), "rb").read()
        assert data.startswith(b"P6\n853 603\n255\n") and len(data) == 15 + 853 * 603 * 3
        data = open(plot(tv, "BMP", scene, before=lambda t: t.bmpmod(100, "INCH", "RESO")), "rb").read()
        size, off = struct.unpack_from("<I4xI", data, 2)
        w, h, planes, bits, comp = struct.unpack_from("<iiHHI", data, 18)
        ppm, used = struct.unpack_from("<i", data, 38)[0], struct.unpack_from("<I", data, 46)[0]
        row = 856  # 853 padded to a multiple of 4
        assert (size, off) == (54 + 1024 + row * 603, 54 + 1024) == (len(data), off)
        assert (w, h, planes, bits, comp, used) == (853, 603, 1, 8, 0, 256)
        assert ppm == round(100 / 0.0254)

    def test_raw_image_is_the_buffer(self, tv):
        name = plot(tv, "IMAG", scene, name="out.img")
        assert os.path.getsize(name) == 853 * 603
        name = plot(tv, "IMAG", scene, name="rgb.img", before=lambda t: t.imgfmt("RGB"))
        assert os.path.getsize(name) == 853 * 603 * 4

    def test_external_tools_accept_the_files(self, tv):
        assert run_tool("pngcheck", plot(tv, "PNG", scene)).returncode == 0
        proc = run_tool("tiffinfo", plot(tv, "TIFF", scene))
        assert proc.returncode == 0 and "853" in proc.stdout and "Error" not in proc.stderr
        proc = run_tool("giftext", plot(tv, "GIF", scene, before=lambda t: t.gifmod("ON", "TRAN")))
        assert proc.returncode == 0 and "853" in proc.stdout

    def test_virt_writes_no_file(self, tv, capfd):
        tv.metafl("VIRT")
        tv.tavini()
        scene(tv)
        tv.tavfin()
        assert os.listdir(".") == []
        assert "<<<< Warning" not in capfd.readouterr().out


# ------------------------------------------------------------------------------------------
class TestEquivalence:
    def test_png_and_ppm_give_the_same_pixels(self, tv):
        a = rgb(plot(tv, "PNG", scene))
        b = rgb(plot(tv, "PPM", scene))
        assert a.tobytes() == b.tobytes()
        assert lit_box(a) is not None

    @pytest.mark.parametrize("fmt", ["GIF", "TIFF", "BMP"])
    def test_palette_formats_match_png(self, tv, fmt):
        a = rgb(plot(tv, "PNG", scene))
        assert rgb(plot(tv, fmt, scene)).tobytes() == a.tobytes()

    def test_rgb_png_matches_ppm(self, tv):
        a = rgb(plot(tv, "PNG", scene, before=lambda t: t.imgfmt("RGB")))
        assert a.tobytes() == rgb(plot(tv, "PPM", scene)).tobytes()

    def test_export_routines_write_what_tavfin_writes(self, tv):
        def body(t):
            scene(t)
            t.rpng("r.png")
            t.rgif("r.gif")
            t.rbmp("r.bmp")
            t.rtiff("r.tif")
            t.rppm("r.ppm")
            t.expimg("e.png", "PNG")
        final = rgb(plot(tv, "PNG", body)).tobytes()
        for f in ["r.png", "r.gif", "r.bmp", "r.tif", "r.ppm", "e.png"]:
            assert rgb(f).tobytes() == final, f

    def test_rbfpng_is_the_png_file(self, tv, capfd):
        got = {}

        def body(t):
            scene(t)
            t.rpng("r.png")
            _, need = t.rbfpng(0)
            got["buf"] = t.rbfpng(need)
            got["small"] = t.rbfpng(need - 1)
            got["neg"] = t.rbfpng(-1)
        plot(tv, "VIRT", body)
        buf, n = got["buf"]
        assert n == len(buf) == os.path.getsize("r.png") and buf == open("r.png", "rb").read()
        assert got["small"] == (b"", 0) and got["neg"] == (b"", 0)
        assert "Warning 125: Buffer too small for PNG file" in capfd.readouterr().out

    def test_tifwin_exports_a_window(self, tv):
        def body(t):
            scene(t)
            t.rpng("full.png")
            t.tifwin(100, 50, 200, 120)
            t.rgif("win.gif")
        plot(tv, "PNG", body)
        full = rgb("full.png")
        for name in ("win.gif", "out.png"):
            win = rgb(name)
            assert win.size == (200, 120)
            assert win.tobytes() == full.crop((100, 50, 300, 170)).tobytes()


# ------------------------------------------------------------------------------------------
class TestGeometry:
    def test_page_corners_reach_the_image_corners(self, tv):
        def body(t):
            t.line(0, 0, 0, 0)
            t.line(2969, 2099, 2969, 2099)
        im = rgb(plot(tv, "PNG", body))
        assert im.getpixel((0, 0)) != (0, 0, 0)
        assert im.getpixel((round(2969 * S), round(2099 * S))) != (0, 0, 0)

    def test_portrait_mode_turns_the_page(self, tv):
        # a point at the upper left of the page lands at the lower left of the image
        im = rgb(plot(tv, "PNG", lambda t: t.line(0, 0, 300, 0), before=lambda t: t.pagmod("PORT")))
        box = lit_box(im)
        assert im.size == (853, 603)
        assert box[0] == 0 and box[2] == 1  # one column
        assert box[3] - 1 == round(2969 * min(852 / 2099, 602 / 2969))  # x runs upwards
        assert box[1] == box[3] - 1 - round(300 * min(852 / 2099, 602 / 2969))

    def test_sclfac_shrinks_the_drawing(self, tv):
        im = rgb(plot(tv, "PNG", lambda t: t.line(0, 1000, 2969, 1000),
                      before=lambda t: t.sclfac(0.5)))
        assert lit_box(im)[2] - 1 == round(2969 * S / 2)

    def test_clpwin_keeps_lines_inside(self, tv):
        def body(t):
            t.clpwin(1000, 600, 800, 700)
            t.setclr(255)
            for w in (1, 30):
                t.linwid(w)
                t.line(0, 0, 2969, 2099)
                t.line(0, 1000, 2969, 1000)
        im = rgb(plot(tv, "PNG", body))
        x0, y0, x1, y1 = lit_box(im)
        assert x0 >= round(1000 * S) and y0 >= round(600 * S)
        assert x1 - 1 <= round(1799 * S) and y1 - 1 <= round(1299 * S)
        assert x1 - x0 > 150  # something was drawn

    def test_point_at_the_edge_sets_only_pixels_inside(self, tv):
        def body(t):
            t.linwid(40)
            t.line(2969, 2099, 2969, 2099)
        im = rgb(plot(tv, "PNG", body))
        box = lit_box(im)
        assert box[2] == 853 and box[3] == 603 and box[0] < 852

    def test_non_finite_coordinates_do_not_break_the_file(self, tv):
        def body(t):
            t.strtpt(100, 100)
            t.connpt(float("nan"), 500)
            t.connpt(1e300, -1e300)
            t.connpt(float("inf"), 5)
            t.connpt(2000, 1500)
        assert pixels(plot(tv, "PNG", body)).size == (853, 603)

    def test_erase_clears_the_image(self, tv):
        def body(t):
            scene(t)
            t.erase()
            t.line(10, 10, 20, 10)
        box = lit_box(rgb(plot(tv, "PNG", body)))
        assert box[3] - box[1] == 1 and box[2] - box[0] <= 5


# ------------------------------------------------------------------------------------------
class TestLinesAndFills:
    @staticmethod
    def thickness(im, x):
        col = [im.getpixel((x, y)) != (0, 0, 0) for y in range(im.size[1])]
        return sum(col)

    def test_hardware_width_is_a_filled_band(self, tv):
        def body(t):
            t.linwid(70)
            t.line(200, 1000, 2700, 1000)
        im = rgb(plot(tv, "PNG", body))
        assert self.thickness(im, 400) == round(70 * S)
        band = [im.getpixel((400, y)) for y in range(im.size[1]) if im.getpixel((400, y)) != (0, 0, 0)]
        assert len(set(band)) == 1

    def test_software_width_draws_outline_passes(self, tv):
        def body(t):
            t.linwid(70)
            t.line(200, 1000, 2700, 1000)
        im = rgb(plot(tv, "PNG", body, before=lambda t: t.hwmode("OFF", "LINE")))
        # the emulation draws parallel thin strokes: within the width, but not solid
        n = self.thickness(im, 400)
        assert 2 <= n <= round(70 * S) + 2

    def test_round_cap_extends_beyond_the_end(self, tv):
        def body(cap):
            def f(t):
                t.lncap(cap)
                t.linwid(100)
                t.line(1000, 1000, 2000, 1000)
            return f
        cut = lit_box(rgb(plot(tv, "PNG", body("CUT"))))
        rnd = lit_box(rgb(plot(tv, "PNG", body("ROUND"))))
        assert rnd[0] < cut[0] and rnd[2] > cut[2]
        assert abs(cut[0] - round(1000 * S)) <= 1

    def test_star_is_filled_even_odd(self, tv):
        import math
        cx, cy, r = 1480, 1050, 900
        xs = [round(cx + r * math.sin(4 * math.pi * k / 5)) for k in range(5)]
        ys = [round(cy - r * math.cos(4 * math.pi * k / 5)) for k in range(5)]

        def body(t):
            t.shdpat(16)
            t.setclr(255)
            t.areaf(xs, ys, 5)
        im = rgb(plot(tv, "PNG", body))
        centre = (round(cx * S), round(cy * S))
        tip = (round(cx * S), round((cy - 0.8 * r) * S))
        assert im.getpixel(centre) == (0, 0, 0)
        assert im.getpixel(tip) != (0, 0, 0)

    def test_hwmode_shad_off_draws_only_the_outline(self, tv):
        def body(t):
            t.hwmode("OFF", "SHAD")
            t.shdpat(16)
            t.areaf([500, 1500, 1000], [300, 300, 1600], 3)
        im = rgb(plot(tv, "PNG", body))
        assert im.getpixel((round(1000 * S), round(700 * S))) == (0, 0, 0)
        assert lit_box(im) is not None

    def test_too_many_intersections(self, tv, capfd):
        n = 70000
        xs = [100 + (2700 * i) // n for i in range(n)]
        ys = [200 if i % 2 else 1800 for i in range(n)]

        def body(t):
            t.shdpat(16)
            t.noarln()
            t.areaf(xs, ys, n)
        plot(tv, "PNG", body)
        assert "Warning 26: Too many intersections" in capfd.readouterr().out

    def test_explicit_colours_in_true_colour_and_palette(self, tv):
        def body(t):
            t.setrgb(0.2, 0.6, 1.0)
            t.linwid(60)
            t.line(1000, 1000, 2000, 1000)
        im = rgb(plot(tv, "PPM", body))
        assert im.getpixel((round(1500 * S), round(1000 * S))) == (51, 153, 255)
        im = pixels(plot(tv, "PNG", body))
        idx = im.getpixel((round(1500 * S), round(1000 * S)))
        assert idx not in (0,) and im.convert("RGB").getpixel((round(1500 * S), round(1000 * S))) != (0, 0, 0)

    def test_reversed_screen_true_colour_starts_white(self, tv):
        def before(t):
            t.imgfmt("RGB")
            t.scrmod("REVERS")
        im = rgb(plot(tv, "PNG", lambda t: t.line(100, 100, 2000, 100), before=before))
        assert im.getpixel((500, 500)) == (255, 255, 255)
        assert im.getpixel((200, round(100 * S))) == (0, 0, 0)


# ------------------------------------------------------------------------------------------
class TestPixels:
    def test_round_trip_indexed_and_rgb(self, tv):
        tv.metafl("VIRT")
        tv.tavini()
        tv.errmod("PROT", "OFF")
        tv.wpixel(3, 4, 77)
        assert tv.rpixel(3, 4) == 77 and tv.rpixel(4, 4) == 0
        tv.wpxrow(bytes([1, 2, 3, 4, 5]), 10, 20, 5)
        assert tv.rpxrow(9, 20, 7) == bytes([0, 1, 2, 3, 4, 5, 0])
        tv.wpixls(list(range(1, 13)), 100, 100, 4, 3)
        assert tv.rpixls(100, 100, 4, 3) == bytes(range(1, 13))
        assert tv.rpixls(101, 101, 2, 2) == bytes([6, 7, 10, 11])
        tv.tavfin()

        tv.metafl("VIRT")
        tv.imgfmt("RGB")
        tv.tavini()
        tv.errmod("PROT", "OFF")
        tv.wpixel(3, 4, tv.intrgb(1.0, 0.5, 0.0))
        assert tv.rpixel(3, 4) == 0x010080FF
        tv.wpxrow(bytes([9, 8, 7, 255, 1, 2, 3, 255]), 0, 0, 8)
        assert tv.rpxrow(0, 0, 8) == bytes([9, 8, 7, 255, 1, 2, 3, 255])
        assert tv.rpixel(1, 0) == 0x01030201
        tv.tavfin()

    def test_pixels_see_what_was_drawn(self, tv):
        tv.metafl("VIRT")
        tv.tavini()
        tv.setclr(33)
        tv.line(0, 1000, 2969, 1000)
        y = round(1000 * S)
        assert tv.rpixel(400, y) == 33 and tv.rpixel(400, y + 3) == 0
        assert tv.nxpixl(1000, 1000) == round(1000 * S) and tv.nypixl(1000, 1000) == y
        tv.tavfin()

    def test_bad_arguments_warn_and_change_nothing(self, tv, capfd):
        tv.metafl("VIRT")
        tv.imgfmt("RGB")
        tv.tavini()
        tv.wpixel(-1, 0, 5)
        tv.wpixel(0, 10000, 5)
        assert tv.rpixel(853, 0) == -1
        tv.wpxrow([1, 2, 3], 0, 0, 3)         # not whole pixels
        tv.wpxrow([1, 2, 3, 300], 0, 0, 4)    # not a byte
        tv.rpxrow(0, 0, 6)
        assert tv.rpixls(0, 0, 0, 5) == b""
        with pytest.raises((ValueError, MemoryError, TypeError)):
            tv.wpxrow([1, 2], 0, 0, 8)        # shorter than its count
        tv.tavfin()
        out = capfd.readouterr().out
        assert out.count("Warning 2: Incorrect parameter") >= 6
        assert "tavero" not in os.listdir(".")

    def test_imgini_phase_messages(self, tv, capfd):
        tv.metafl("PDF")
        tv.tavini()
        tv.wpixel(1, 1, 1)
        tv.rpng("x.png")
        tv.imgfin()
        tv.imgini()
        tv.imgini()
        tv.imgsiz(10, 10)
        tv.imgfin()
        tv.tprini()
        tv.tprfin()
        tv.tavfin()
        out = capfd.readouterr().out
        assert "Warning 55: No call to imgini in wpixel" in out
        assert "Warning 169: Output format must be a raster format in rpng" in out
        assert "Warning 55: No call to imgini in imgfin" in out
        assert "Warning 54: No call to imgfin in imgini" in out
        assert "Warning 172: Routine cannot be used between IMGINI and IMGFIN" in out
        assert "Warning 174: Transparency is not in use" in out
        assert not os.path.exists("x.png")

    @pytest.mark.parametrize("closed_by", ["imgfin", "tavfin"])
    def test_imgini_image_is_painted_onto_a_pdf_page(self, tv, closed_by):
        if not shutil.which("pdftoppm"):
            pytest.skip("pdftoppm not installed")
        tv.metafl("PDF")
        tv.setfil("img.pdf")
        tv.imgsiz(4, 2)
        tv.imgbox(0, 0, 2969, 2099)
        tv.tavini()
        tv.errmod("PROT", "OFF")
        tv.imgini()
        tv.wpixls(bytes([255, 0, 0, 255] * 4), 0, 0, 16, 1)
        tv.wpixel(0, 1, tv.intrgb(0, 0, 1))
        tv.rpng("small.png")
        if closed_by == "imgfin":
            tv.imgfin()
        tv.tavfin()
        assert pixels("small.png").size == (4, 2)
        subprocess.run(["pdftoppm", "-png", "-r", "20", "-singlefile", "img.pdf", "page"], check=True)
        page = rgb("page.png")
        w, h = page.size
        assert page.getpixel((w // 2, h // 4)) == (255, 0, 0)
        assert page.getpixel((w // 8, 3 * h // 4)) == (0, 0, 255)

    def test_rimage_reads_back_what_wimage_wrote(self, tv):
        def body(t):
            scene(t)
            t.wimage("buf.img")
            t.erase()
            t.rimage("buf.img")
        a = rgb(plot(tv, "PNG", scene, name="a.png")).tobytes()
        assert rgb(plot(tv, "PNG", body, name="b.png")).tobytes() == a

    def test_transparency_blends_in_true_colour(self, tv, capfd):
        def body(t):
            t.setrgb(1, 0, 0)
            t.shdpat(16)
            t.noarln()
            t.areaf([0, 2969, 2969, 0], [0, 0, 2099, 2099], 4)
            t.tprval(0.5)
            t.tprini()
            t.tprini()
            t.setrgb(0, 0, 1)
            t.areaf([0, 2969, 2969, 0], [0, 0, 2099, 2099], 4)
            t.tprfin()
        im = rgb(plot(tv, "PPM", body))
        r, g, b = im.getpixel((400, 300))
        assert abs(r - 128) <= 1 and g == 0 and abs(b - 128) <= 1
        assert "Warning 171: Transparency is already in use" in capfd.readouterr().out
        plot(tv, "PNG", lambda t: t.tprini())
        assert "Warning 170: Output format must be in RGB mode" in capfd.readouterr().out


# ------------------------------------------------------------------------------------------
class TestWrappers:
    def test_eps_wrapper_renders_in_ghostscript(self, tv):
        if not shutil.which("gs"):
            pytest.skip("gs not installed")

        def body(t):
            scene(t)
            t.rppm("ref.ppm")
            t.expimg("img.eps", "PS")
        plot(tv, "PNG", body)
        head = open("img.eps", "rb").read(100)
        assert head.startswith(b"%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 853 603")
        subprocess.run(["gs", "-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=ppmraw",
                        "-dEPSCrop", "-r72", "-sOutputFile=gs.ppm", "img.eps"], check=True)
        assert rgb("gs.ppm").tobytes() == rgb("ref.ppm").tobytes()

    def test_pdf_wrapper_passes_qpdf_and_renders(self, tv):
        for tool in ("qpdf", "gs"):
            if not shutil.which(tool):
                pytest.skip(tool + " not installed")

        def body(t):
            scene(t)
            t.rppm("ref.ppm")
            t.expimg("img.pdf", "PDF")
        plot(tv, "PNG", body)
        subprocess.run(["qpdf", "--check", "img.pdf"], check=True, capture_output=True)
        subprocess.run(["gs", "-q", "-dSAFER", "-dNOPAUSE", "-dBATCH", "-sDEVICE=ppmraw",
                        "-r72", "-sOutputFile=gs.ppm", "img.pdf"], check=True)
        assert rgb("gs.ppm").tobytes() == rgb("ref.ppm").tobytes()


# ------------------------------------------------------------------------------------------
@pytest.fixture(scope="module")
def cpp_binary(tmp_path_factory):
    cxx = shutil.which("g++")
    if not cxx:
        pytest.skip("g++ not installed")
    out = tmp_path_factory.mktemp("cpp") / "test_raster"
    src = sorted(os.path.join(ROOT, "src/drivers/raster", f)
                 for f in os.listdir(os.path.join(ROOT, "src/drivers/raster"))
                 if f.endswith(".cpp"))
    deflate = os.path.exists("/usr/include/libdeflate.h")
    cmd = [cxx, "-std=c++20", "-O1", "-I", os.path.join(ROOT, "src")]
    cmd += [] if deflate else ["-DTAVERO_NO_LIBDEFLATE"]
    cmd += [os.path.join(ROOT, "tests/cpp/test_raster.cpp"), *src, "-o", str(out), "-lz"]
    cmd += ["-ldeflate"] if deflate else []
    proc = subprocess.run(cmd, capture_output=True, text=True)
    assert proc.returncode == 0, proc.stderr[-3000:]
    return str(out)


class TestCppModule:
    def test_unit_tests(self, cpp_binary):
        proc = subprocess.run([cpp_binary], capture_output=True, text=True, timeout=600)
        assert proc.returncode == 0, proc.stdout[-3000:]

    def test_encoders_against_independent_readers(self, cpp_binary):
        proc = subprocess.run([sys.executable, os.path.join(ROOT, "tests/cpp/check_encoders.py"),
                               "--bin", cpp_binary], capture_output=True, text=True, timeout=600)
        assert proc.returncode == 0, proc.stdout[-3000:]
