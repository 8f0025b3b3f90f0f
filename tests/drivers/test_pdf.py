"""PDF output, checked by real consumers: qpdf validates every file, pdftoppm renders it, and
the drawing must show up where it was drawn."""
import json
import math
import os
import re
import subprocess

import pytest
from PIL import Image

import tavero

K = 36 / 254          # points per 0.05 mm: the paper is 3900 x 5600 of those
A4_TURNED = min(5600 * K / 2969, 3900 * K / 2099)   # points per plot unit, default page
DPI = 144
PX = DPI / 72


def needs(*names):
    missing = [n for n in names if n in tavero._pending]
    return pytest.mark.skipif(bool(missing), reason=f"not built yet: {missing}")


class Pdf:
    """A written PDF as qpdf sees it: the objects, the pages, decoded content, renderings."""

    def __init__(self, path):
        self.path = str(path)
        check = subprocess.run(["qpdf", "--check", self.path], capture_output=True, text=True)
        assert check.returncode == 0, check.stdout + check.stderr
        with open(self.path, "rb") as f:
            self.raw = f.read()
        out = subprocess.run(["qpdf", "--json", "--json-key=qpdf", self.path],
                             capture_output=True, text=True, check=True).stdout
        data = json.loads(out)["qpdf"][1]
        self.trailer = data["trailer"]["value"]
        self.objects = {}
        for key, v in data.items():
            if key.startswith("obj:"):
                self.objects[key[4:]] = v["value"] if "value" in v else v["stream"]["dict"]
        self.catalog = self.objects[self.trailer["/Root"]]
        self.pages = [self.objects[k] for k in self.objects[self.catalog["/Pages"]]["/Kids"]]
        # every page must render without complaint
        r = subprocess.run(["pdftoppm", "-png", "-r", str(DPI), self.path, self.path + ".p"],
                           capture_output=True, text=True)
        assert r.returncode == 0 and not r.stderr, r.stderr

    def content(self, page=1):
        refs = self.pages[page - 1]["/Contents"]
        refs = refs if isinstance(refs, list) else [refs]
        text = ""
        for ref in refs:
            num = ref.split()[0]
            text += subprocess.run(["qpdf", f"--show-object={num}", "--filtered-stream-data",
                                    self.path], capture_output=True, check=True).stdout.decode("latin-1")
        return text

    def render(self, page=1):
        width = len(str(len(self.pages)))
        return Image.open(f"{self.path}.p-{page:0{width}d}.png").convert("RGB")

    def outlines(self):
        out = subprocess.run(["qpdf", "--json", "--json-key=outlines", self.path],
                             capture_output=True, text=True, check=True).stdout
        return json.loads(out)["outlines"]


def darkest(img, x, y, r=2):
    """Lowest brightness in a small box around a pixel (lines are thin and antialiased)."""
    px = x * PX
    py = y * PX
    vals = [sum(img.getpixel((i, j))) / 3
            for i in range(int(px) - r, int(px) + r + 1)
            for j in range(int(py) - r, int(py) + r + 1)
            if 0 <= i < img.width and 0 <= j < img.height]
    return min(vals)


def at(s, x, y):
    """Page position in points (as displayed, origin top left) of plot point (x, y)."""
    return x * s, y * s


def plot(tv, draw, setup=None, name="tavero.pdf"):
    tv.metafl("pdf")
    if setup:
        setup(tv)
    tv.tavini()
    draw(tv)
    tv.tavfin()
    return Pdf(name)


def ops(content, op):
    return len(re.findall(rf"(?m)^(?:.* )?{re.escape(op)}$", content))


# ---------------------------------------------------------------------------------------------
class TestPages:
    def test_default_page_is_turned_and_drawn_where_drawn(self, tv):
        pdf = plot(tv, lambda t: (t.line(100, 100, 1000, 100), t.line(100, 100, 100, 1000)))
        assert len(pdf.pages) == 1
        page = pdf.pages[0]
        assert page["/Rotate"] == 90
        assert page["/MediaBox"] == [0, 0, int(2099 * A4_TURNED + 1), int(2969 * A4_TURNED + 1)]
        img = pdf.render()
        assert img.width > img.height
        for x, y in [(500, 100), (1000, 100), (100, 600), (100, 1000)]:
            assert darkest(img, *at(A4_TURNED, x, y)) < 120, (x, y)
        for x, y in [(500, 300), (1500, 1500), (2900, 2000)]:
            assert darkest(img, *at(A4_TURNED, x, y)) > 240, (x, y)

    @pytest.mark.parametrize("setup, w, h", [
        (lambda t: t.setpag("da4p"), 2099, 2969),
        (lambda t: t.pagmod("none"), 2969, 2099),
    ])
    def test_unturned_pages(self, tv, setup, w, h):
        pdf = plot(tv, lambda t: t.line(200, 300, 1800, 300), setup)
        s = min(3900 * K / w, 5600 * K / h)
        page = pdf.pages[0]
        assert "/Rotate" not in page
        assert page["/MediaBox"] == [0, 0, int(w * s + 1), int(h * s + 1)]
        img = pdf.render()
        assert (img.width > img.height) == (w > h)
        assert darkest(img, *at(s, 1000, 300)) < 120
        assert darkest(img, *at(s, 1000, 600)) > 240

    def test_newpag_starts_pages_with_same_attributes(self, tv):
        def draw(t):
            t.linwid(10)
            t.line(100, 500, 2800, 500)
            t.newpag()
            t.line(100, 1000, 2800, 1000)
            t.newpag()
            t.line(100, 1500, 2800, 1500)

        pdf = plot(tv, draw)
        assert len(pdf.pages) == 3 and pdf.objects[pdf.catalog["/Pages"]]["/Count"] == 3
        for k, y in enumerate([500, 1000, 1500], start=1):
            assert pdf.pages[k - 1]["/Rotate"] == 90
            assert "2.835 w" in pdf.content(k)
            img = pdf.render(k)
            assert darkest(img, *at(A4_TURNED, 1400, y)) < 120
            for other in {500, 1000, 1500} - {y}:
                assert darkest(img, *at(A4_TURNED, 1400, other)) > 240

    def test_sclfac_limits_the_scale(self, tv):
        pdf = plot(tv, lambda t: t.line(0, 0, 2969, 2099), lambda t: t.sclfac(0.5))
        s = 0.5 * 72 / 254
        assert pdf.pages[0]["/MediaBox"] == [0, 0, int(2099 * s + 1), int(2969 * s + 1)]
        assert "0.354 w" in pdf.content()

    def test_black_background_unless_reversed(self, tv):
        pdf = plot(tv, lambda t: None, lambda t: t.scrmod("norev"))
        assert "0 0 0 rg\n0 0 553 782 re\nf\n" in pdf.content()
        assert darkest(pdf.render(), 400, 300, r=0) < 10


# ---------------------------------------------------------------------------------------------
class TestLines:
    def test_document_start_and_dot(self, tv):
        pdf = plot(tv, lambda t: t.line(500, 700, 500, 700))
        c = pdf.content()
        assert c.startswith("0.709 w\n2 J\n2 j\n")
        x, y = 700 * A4_TURNED, 500 * A4_TURNED   # turned page: X = s y, Y = s x
        assert f"{x:.2f} {y:.2f} m\n{x + 0.354:.2f} {y:.2f} l\nS\n" in c
        assert darkest(pdf.render(), *at(A4_TURNED, 500, 700)) < 160

    def test_polyline_pieces_share_points(self, tv):
        def draw(t):
            t.strtpt(100, 100)
            for i in range(1, 250):
                t.connpt(100 + 10 * i, 100 + (i % 2) * 50)

        c = plot(tv, draw).content()
        assert ops(c, "m") == 3 and ops(c, "S") == 3
        assert ops(c, "l") == 249
        paths = re.findall(r"(?s)([^\n]+) m\n(.*?)S\n", c)
        assert [p[1].count(" l\n") for p in paths] == [99, 99, 51]
        # each piece starts where the previous one ended
        assert paths[1][0] == paths[0][1].strip().split("\n")[-1][:-2]

    def test_width_cap_join_miter(self, tv):
        def draw(t):
            t.linwid(10)
            t.lncap("roun")
            t.lnjoin("shar")
            t.line(300, 1000, 2600, 1000)
            t.penwid(0.5)
            t.hwmode("off", "line")
            t.linwid(10)

        pdf = plot(tv, draw)
        c = pdf.content()
        assert "2.835 w\n" in c and "1 J\n" in c and "0 j\n" in c
        assert "40 M\n" in c                       # round(max(2 * 10, 5) * 2)
        assert c.index("2.835 w") < c.index("0.354 w") < c.rindex("0.709 w")
        img = pdf.render()
        x, y = at(A4_TURNED, 1400, 1000)
        assert darkest(img, x, y + 1.0, r=0) < 60    # 1 mm wide: 1 point off the centre
        assert darkest(img, x, y + 3.0, r=0) > 240

    def test_dashes_alternate(self, tv):
        def draw(t):
            t.dash()
            t.line(200, 1000, 2200, 1000)

        pdf = plot(tv, draw)
        assert ops(pdf.content(), "m") > 50
        img = pdf.render()
        y = 1000 * A4_TURNED * PX
        row = [sum(img.getpixel((int(x * A4_TURNED * PX), int(y)))) / 3 for x in range(400, 2000, 2)]
        changes = sum(1 for a, b in zip(row, row[1:]) if (a < 128) != (b < 128))
        assert changes > 100


# ---------------------------------------------------------------------------------------------
class TestClipping:
    def test_clip_window_on_device(self, tv):
        def draw(t):
            t.clpwin(1000, 500, 500, 500)
            t.line(0, 750, 2969, 750)
            t.clpwin(0, 0, 2970, 2100)
            t.line(0, 1500, 2969, 1500)

        pdf = plot(tv, draw)
        c = pdf.content()
        assert c.count("h W n\n") == 2 and "Q\nq\n" in c
        assert c.count("q\n") == c.count("Q\n")
        img = pdf.render()
        assert darkest(img, *at(A4_TURNED, 1250, 750)) < 120
        assert darkest(img, *at(A4_TURNED, 800, 750)) > 240
        assert darkest(img, *at(A4_TURNED, 1700, 750)) > 240
        assert darkest(img, *at(A4_TURNED, 200, 1500)) < 120


# ---------------------------------------------------------------------------------------------
class TestStreams:
    def test_compressed_by_default(self, tv):
        pdf = plot(tv, lambda t: t.line(0, 0, 100, 100))
        obj = pdf.objects[pdf.pages[0]["/Contents"]]
        assert obj["/Filter"] == "/FlateDecode"

    def test_uncompressed_content_has_indirect_length(self, tv):
        pdf = plot(tv, lambda t: t.line(0, 0, 100, 100), lambda t: t.pdfmod("off", "comp"))
        assert b"FlateDecode" not in pdf.raw
        m = re.search(rb"/Length (\d+) 0 R >>\nstream\n", pdf.raw)
        assert m
        body = pdf.raw[m.end():pdf.raw.index(b"endstream", m.end())]
        length = re.search(rb"\n%s 0 obj\n(\d+)\nendobj\n" % m.group(1), pdf.raw)
        assert int(length.group(1)) == len(body)
        assert body.startswith(b"0.709 w\n2 J\n2 j\n")

    def test_xref_offsets_point_at_objects(self, tv):
        pdf = plot(tv, lambda t: t.line(0, 0, 100, 100))
        raw = pdf.raw
        start = int(raw[raw.rindex(b"startxref\n") + 10:].split()[0])
        lines = raw[start:].split(b"\n")
        assert lines[0] == b"xref"
        count = int(lines[1].split()[1])
        assert lines[2] == b"0000000000 65535 f "
        for num in range(1, count):
            off = int(lines[2 + num][:10])
            assert raw[off:].startswith(b"%d 0 obj\n" % num)


# ---------------------------------------------------------------------------------------------
class TestBuffer:
    def test_pdfbuf_bytes_equal_file_bytes(self, tv, monkeypatch):
        monkeypatch.setenv("SOURCE_DATE_EPOCH", "1700000000")

        def run(buffered):
            tv.metafl("pdf")
            tv.pdfmod("on" if buffered else "off", "buff")
            tv.tavini()
            tv.line(100, 100, 2000, 1500)
            tv.newpag()
            tv.pdfmrk("second", "chap")
            tv.tavfin()

        run(False)
        run(True)
        assert os.listdir(".") == ["tavero.pdf"]        # buffer output writes no file
        empty, size = tv.pdfbuf(0)
        assert empty == b"" and size > 0
        data, n = tv.pdfbuf(size + 10)
        assert n == size and data == open("tavero.pdf", "rb").read()
        assert tv.pdfbuf(-1) == (b"", 0)

    def test_pdfbuf_warnings(self, tv, capfd):
        tv.metafl("png")
        assert tv.pdfbuf(0) == (b"", 0)
        tv.metafl("pdf")
        assert tv.pdfbuf(100) == (b"", 0)
        tv.pdfmod("on", "buff")
        assert tv.pdfbuf(100) == (b"", 0)
        tv.tavini()
        tv.line(0, 0, 10, 10)
        tv.tavfin()
        assert tv.pdfbuf(10) == (b"", 0)
        out = capfd.readouterr().out
        for code, text in [(127, "Output format is not PDF"),
                           (128, "Buffer output is not enabled for PDF"),
                           (129, "Internal PDF buffer is empty"),
                           (130, "Buffer too small for PDF file")]:
            assert f" <<<< Warning {code}: {text} in pdfbuf!" in out
        assert re.search(r"Metafile: +<<", out)        # no plot file named
        data, n = tv.pdfbuf(10 ** 6)
        assert data.startswith(b"%PDF-1.3\n") and data.endswith(b"%%EOF\n") and n == len(data)

    def test_source_date_epoch_gives_identical_files(self, run_py, tmp_path):
        code = """
            import tavero as t
            t.metafl('pdf'); t.setfil('out.pdf'); t.filmod('delete'); t.tavini()
            t.line(10, 10, 2000, 2000); t.pdfmrk('x', 'chap'); t.tavfin()
        """
        env = {"SOURCE_DATE_EPOCH": "1700000000"}
        run_py(code, env)
        first = (tmp_path / "out.pdf").read_bytes()
        run_py(code, env)
        assert (tmp_path / "out.pdf").read_bytes() == first
        assert b"/CreationDate (D:20231114221320)" in first


# ---------------------------------------------------------------------------------------------
class TestBookmarks:
    def test_outline_tree(self, tv):
        def draw(t):
            t.pdfmrk("A", "chap")
            t.pdfmrk("A.1", "sect")
            t.pdfmrk("A.1.a (x)", "subs")
            t.pdfmrk("A.2", "sect")
            t.newpag()
            t.pdfmrk("Bé ✓", "chap")

        pdf = plot(tv, draw)
        assert pdf.catalog["/PageMode"] == "/UseOutlines"
        assert pdf.objects[pdf.catalog["/Outlines"]]["/Count"] == 5
        tree = pdf.outlines()

        def shape(items):
            return [(i["title"], i["destpageposfrom1"], shape(i["kids"])) for i in items]

        assert shape(tree) == [
            ("A", 1, [("A.1", 1, [("A.1.a (x)", 1, [])]), ("A.2", 1, [])]),
            ("Bé ✓", 2, []),
        ]

    def test_bad_structure(self, tv, capfd):
        def draw(t):
            t.pdfmrk("skips", "sect")
            t.pdfmrk("ok", "chap")
            t.pdfmrk("skips too", "subs")
            t.pdfmrk("bad", "xxxx")

        pdf = plot(tv, draw)
        out = capfd.readouterr().out
        assert out.count(" <<<< Warning 131: Bad structure for bookmarks in pdfmrk!") == 2
        assert "Warning 2: Incorrect parameter in pdfmrk!" in out
        assert [i["title"] for i in pdf.outlines()] == ["ok"]

    def test_other_devices_refuse(self, tv, capfd):
        tv.metafl("gksl")
        tv.tavini()
        tv.pdfmrk("x", "chap")
        tv.tavfin()
        assert "Warning 127: Output format is not PDF in pdfmrk!" in capfd.readouterr().out


# ---------------------------------------------------------------------------------------------
class TestRobustness:
    def test_million_point_polyline(self, tv):
        def draw(t):
            t.strtpt(100, 1000)
            for i in range(1, 1_000_000):
                t.connpt(100 + i * 0.0027, 1000 + 800 * math.sin(i * 0.001))

        c = plot(tv, draw).content()
        assert ops(c, "l") == 999_999
        assert ops(c, "m") == math.ceil(999_999 / 99)

    def test_non_finite_and_huge_coordinates(self, tv):
        def draw(t):
            t.strtpt(100, 100)
            t.connpt(float("nan"), 200)
            t.connpt(float("inf"), 300)
            t.connpt(500, 400)
            t.connpt(600, 1e300)
            t.line(-2_000_000_000, 1000, 2_000_000_000, 1000)

        pdf = plot(tv, draw)
        assert darkest(pdf.render(), *at(A4_TURNED, 1500, 1000)) < 120

    def test_unfinished_run_leaves_no_file(self, run_py, tmp_path):
        run_py("import tavero as t\nt.metafl('pdf'); t.tavini(); t.line(0, 0, 9, 9)")
        assert os.listdir(tmp_path) == []

    def test_unwritable_file(self, tv, capfd):
        tv.metafl("pdf")
        tv.setfil("no/such/folder/x.pdf")
        tv.tavini()
        assert tv.getlev() == 0
        assert "Warning 36: File error in tavini!" in capfd.readouterr().out


# ---------------------------------------------------------------------------------------------
@needs("setrgb", "areaf", "shdpat")
class TestFills:
    STAR = ([1500, 1700, 1150, 1850, 1300], [500, 1100, 730, 730, 1100])

    def test_even_odd_star_in_colour(self, tv):
        def draw(t):
            t.setrgb(0, 0, 1)
            t.shdpat(16)
            t.areaf(*self.STAR, 5)

        pdf = plot(tv, draw)
        c = pdf.content()
        assert "0 0 1 rg\n" in c and "h\nf*\n" in c
        img = pdf.render()
        arm = img.getpixel(tuple(int(v * A4_TURNED * PX) for v in (1500, 600)))
        centre = img.getpixel(tuple(int(v * A4_TURNED * PX) for v in (1500, 850)))
        assert arm[2] > 200 and arm[0] < 60
        assert min(centre) > 240

    def test_hatching_draws_lines(self, tv):
        def draw(t):
            t.shdpat(5)
            t.areaf([500, 1500, 1500, 500], [500, 500, 1500, 1500], 4)

        pdf = plot(tv, draw)
        assert "f*" not in pdf.content() and ops(pdf.content(), "l") > 40
        img = pdf.render()
        row = [sum(img.getpixel((int(x * A4_TURNED * PX), int(1000 * A4_TURNED * PX)))) / 3
               for x in range(600, 1400)]
        assert min(row) < 128 and max(row) > 240
