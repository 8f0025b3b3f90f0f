"""CGM, WMF and EMF output.

CGM has no consumer on Debian, so a strict reader below walks every element of the binary
encoding and checks the metafile structure. WMF goes through libwmf (wmf2svg, wmf2gd) when
installed, EMF through LibreOffice when installed; both are walked record by record by strict
readers as well. Geometry is checked against the library metafile of the same drawing."""
import math
import os
import re
import shutil
import struct
import subprocess
import xml.etree.ElementTree as ET

import pytest

from conftest import metafile_paths, read_metafile


def plot(tv, fmt, name, body, before=None):
    tv.metafl(fmt)
    tv.setfil(name)
    if before:
        before(tv)
    tv.tavini()
    body(tv)
    tv.tavfin()
    with open(name, "rb") as f:
        return f.read()


def sine(t, n=250, y0=1000):
    """A polyline of n points (drawn in pieces of 100 by the core)."""
    t.strtpt(100, y0)
    for i in range(1, n):
        t.connpt(100 + i * 10, y0 + 400 * math.sin(i / 20))


# ------------------------------------------------------------------------------------------
# a strict CGM reader (binary encoding)

CGM_NAMES = {
    (0, 0): "NO-OP", (0, 1): "BEGIN METAFILE", (0, 2): "END METAFILE",
    (0, 3): "BEGIN PICTURE", (0, 4): "BEGIN PICTURE BODY", (0, 5): "END PICTURE",
    (1, 1): "METAFILE VERSION", (1, 2): "METAFILE DESCRIPTION", (1, 3): "VDC TYPE",
    (1, 4): "INTEGER PRECISION", (1, 5): "REAL PRECISION", (1, 6): "INDEX PRECISION",
    (1, 7): "COLOUR PRECISION", (1, 10): "COLOUR VALUE EXTENT",
    (1, 11): "METAFILE ELEMENT LIST",
    (2, 1): "SCALING MODE", (2, 2): "COLOUR SELECTION MODE",
    (2, 3): "LINE WIDTH SPECIFICATION MODE", (2, 5): "EDGE WIDTH SPECIFICATION MODE",
    (2, 6): "VDC EXTENT", (2, 7): "BACKGROUND COLOUR",
    (3, 5): "CLIP RECTANGLE", (3, 6): "CLIP INDICATOR",
    (4, 1): "POLYLINE", (4, 7): "POLYGON", (4, 11): "RECTANGLE",
    (5, 3): "LINE WIDTH", (5, 4): "LINE COLOUR", (5, 22): "INTERIOR STYLE",
    (5, 23): "FILL COLOUR", (5, 30): "EDGE VISIBILITY", (5, 37): "LINE CAP",
    (5, 38): "LINE JOIN",
}
DESCRIPTOR = {n for (c, _), n in CGM_NAMES.items() if c == 1}
PICTURE_DESCRIPTOR = {n for (c, _), n in CGM_NAMES.items() if c == 2}
BODY = {n for (c, _), n in CGM_NAMES.items() if c in (3, 4, 5)} | {"NO-OP"}


def cgm_elements(data):
    """(name, params) of every element; asserts the encoding rules on the way."""
    out, pos = [], 0
    while pos < len(data):
        assert pos % 2 == 0
        (head,) = struct.unpack_from(">H", data, pos)
        pos += 2
        cls, eid, length = head >> 12, (head >> 5) & 0x7F, head & 31
        params = b""
        if length == 31:  # long form, possibly in partitions
            while True:
                (w,) = struct.unpack_from(">H", data, pos)
                pos += 2
                n = w & 0x7FFF
                params += data[pos:pos + n]
                assert len(data) >= pos + n, "partition beyond the end of the file"
                pos += n
                if not w & 0x8000:
                    break
                assert n % 2 == 0, "partitions before the last have even length"
        else:
            params = data[pos:pos + length]
            pos += length
        pos += len(params) % 2  # pad to a word
        name = CGM_NAMES.get((cls, eid))
        assert name, f"unexpected element class {cls} id {eid}"
        out.append((name, params))
        if name == "END METAFILE":
            assert pos == len(data), "bytes after END METAFILE"
    return out


def cgm_check(data):
    """The structure of a complete metafile; returns its pictures as element lists."""
    assert len(data) % 80 == 0, "records are written whole"
    els = cgm_elements(data)
    names = [n for n, _ in els]
    assert names[0] == "BEGIN METAFILE" and names[-1] == "END METAFILE"
    assert names[1] == "METAFILE VERSION"
    i = 1
    while names[i] in DESCRIPTOR:
        i += 1
    assert {"METAFILE DESCRIPTION", "METAFILE ELEMENT LIST"} <= set(names[1:i])
    pictures = []
    while names[i] == "BEGIN PICTURE":
        j = i + 1
        while names[j] in PICTURE_DESCRIPTOR:
            j += 1
        assert names[j] == "BEGIN PICTURE BODY"
        k = j + 1
        while names[k] in BODY:
            k += 1
        assert names[k] == "END PICTURE"
        pictures.append(els[i:k + 1])
        i = k + 1
    while names[i] == "NO-OP":
        i += 1
    assert i == len(els) - 1, f"{names[i]} outside a picture"
    return els, pictures


def sstr(p):
    n = p[0]
    return p[1:1 + n].decode("latin-1")


def i16s(p):
    return list(struct.unpack(f">{len(p) // 2}h", p))


def cgm_polylines(picture):
    lines = []
    for name, p in picture:
        if name == "POLYLINE":
            v = i16s(p)
            lines.append(list(zip(v[0::2], v[1::2])))
    return lines


def test_cgm_metafile_description_colours_and_records(tv):
    def body(t):
        t.setrgb(1, 0, 0)
        t.line(100, 100, 2000, 100)
    data = plot(tv, "CGM", "a.cgm", body)
    els, pictures = cgm_check(data)
    desc = sstr(dict(els)["METAFILE DESCRIPTION"])
    assert desc.split(" ")[:3] == ["ProfileId:CALS", "ProfileEd:1.0", "Source:TAVERO"]
    assert re.search(r" Date:\d{8} ", desc) and desc.endswith(" ColourClass:colour")
    assert i16s(dict(els)["METAFILE VERSION"]) == [1]
    # the red line: its colour element is written byte for byte before the polyline
    assert b"\x50\x83\xff\x00\x00\x00" in data
    [pic] = pictures
    names = [n for n, _ in pic]
    red = max(i for i, (n, p) in enumerate(pic) if n == "LINE COLOUR" and p == b"\xff\0\0")
    assert names.index("POLYLINE", red) > red
    assert i16s(dict(pic)["VDC EXTENT"]) == [0, 0, 2 * 2969, 2 * 2099]
    mode = dict(pic)["SCALING MODE"]
    assert i16s(mode[:2]) == [1] and struct.unpack(">f", mode[2:])[0] == pytest.approx(0.05)
    assert cgm_polylines(pic) == [[(200, 2 * (2099 - 100)), (4000, 2 * (2099 - 100))]]


def test_cgm_version_4_is_webcgm_with_caps_and_joins(tv):
    def body(t):
        t.lncap("ROUND")
        t.line(100, 100, 500, 100)
    tv.cgmver(4)
    data = plot(tv, "CGM", "w.cgm", body)
    els, [pic] = cgm_check(data)
    assert sstr(dict(els)["METAFILE DESCRIPTION"]).startswith("ProfileId:WebCGM ProfileEd:1.0")
    caps = [i16s(p)[0] for n, p in pic if n == "LINE CAP"]
    assert caps[-1] == 3  # round
    tv.cgmver(5)  # out of range: refused
    tv.cgmver(1)


def test_cgm_geometry_matches_the_library_metafile(tv):
    """The same lines reach both formats: CGM VDC = 2 x plot units, y up."""
    def body(t):
        sine(t)
        t.dash()
        t.line(50, 50, 2900, 2000)
        t.solid()
        t.circle(1500, 1000, 400)
    plot(tv, "GKSL", "g.met", body)
    (w, h), fields = read_metafile("g.met")
    _, strokes = metafile_paths(fields)
    ref = [[(x * 2969, y * 2969) for x, y in s] for s in strokes if len(s) > 1]
    data = plot(tv, "CGM", "g.cgm", body)
    _, [pic] = cgm_check(data)
    got = cgm_polylines(pic)
    assert len(got) == len(ref) > 10
    for a, b in zip(got, ref):
        assert len(a) == len(b)
        for (x, y), (rx, ry) in zip(a, b):
            assert abs(x / 2 - rx) <= 0.26 and abs(y / 2 - ry) <= 0.26


def test_cgm_fills_widths_clip_and_pages(tv):
    def body(t):
        t.linwid(20)
        t.line(100, 100, 900, 100)
        t.linwid(1)
        t.recfll(100, 200, 300, 100, 0x010000FF)  # explicit red
        t.setrgb(0, 0, 1)
        t.shdpat(16)
        t.clpwin(0, 0, 1000, 1000)
        t.areaf([100, 1500, 800], [500, 500, 1500], 3)
        t.newpag()
        t.line(10, 10, 20, 20)
    tv.cgmpic("Run 7")
    tv.cgmbgd(0, 0, 0.5)
    data = plot(tv, "CGM", "f.cgm", body)
    _, pics = cgm_check(data)
    assert [sstr(p[0][1]) for p in pics] == ["Run 7", "Run 7 2"]
    for p in pics:
        assert dict(p)["BACKGROUND COLOUR"][:3] == bytes([0, 0, 128])
    first = pics[0]
    widths = [i16s(p)[0] for n, p in first if n == "LINE WIDTH"]
    assert 40 in widths and widths[-1] == 2
    [rect] = [i16s(p) for n, p in first if n == "RECTANGLE"]
    assert sorted(rect[0::2]) == [200, 2 * 399] and sorted(rect[1::2]) == [2 * (2099 - 299), 2 * (2099 - 200)]
    names = [n for n, _ in first]
    fill_colours = [p[:3] for n, p in first if n == "FILL COLOUR"]
    assert fill_colours == [b"\xff\0\0", b"\0\0\xff"]
    assert names.index("CLIP RECTANGLE") < names.index("POLYGON")
    [poly] = [i16s(p) for n, p in first if n == "POLYGON"]
    assert len(poly) == 6 and poly[:2] == [200, 2 * (2099 - 500)]
    # the second picture starts again from the defaults: colour, width and clip come back
    second = [n for n, _ in pics[1]]
    assert {"LINE COLOUR", "LINE WIDTH", "CLIP RECTANGLE"} <= set(second)


def test_cgm_page_beyond_16_bit_coordinates(tv, capfd):
    def body(t):
        t.line(0, 0, 20000, 1000)
    tv.page(20001, 2000)
    data = plot(tv, "CGM", "big.cgm", body)
    assert "Warning 39: Too many pages for CGM file (max. length 327 cm)" in capfd.readouterr().out
    _, [pic] = cgm_check(data)
    ext = i16s(dict(pic)["VDC EXTENT"])
    assert ext[2] == 32767
    scale = struct.unpack(">f", dict(pic)["SCALING MODE"][2:])[0]
    assert scale * ext[2] == pytest.approx(0.05 * 2 * 20000, rel=1e-4)  # same size on paper


def test_cgm_survives_non_finite_and_far_points(tv):
    def body(t):
        t.strtpt(100, 100)
        t.connpt(float("nan"), 5)
        t.connpt(1e300, -1e300)
        t.connpt(500, 500)
        t.areaf([0, 10 ** 9, -10 ** 9], [0, 10 ** 9, 10 ** 9], 3)
    _, [pic] = cgm_check(plot(tv, "CGM", "n.cgm", body))
    for line in cgm_polylines(pic):
        for x, y in line:
            assert 0 <= x <= 2 * 2969 and 0 <= y <= 2 * 2099


# ------------------------------------------------------------------------------------------
# WMF

WMF_FUNCS = {
    0x0000: "EOF", 0x001E: "SAVEDC", 0x0102: "SETBKMODE", 0x0103: "SETMAPMODE",
    0x0106: "SETPOLYFILLMODE", 0x0127: "RESTOREDC", 0x012D: "SELECTOBJECT",
    0x01F0: "DELETEOBJECT", 0x020B: "SETWINDOWORG", 0x020C: "SETWINDOWEXT", 0x0213: "LINETO",
    0x0214: "MOVETO", 0x02FA: "CREATEPENINDIRECT", 0x02FC: "CREATEBRUSHINDIRECT",
    0x0324: "POLYGON", 0x0325: "POLYLINE", 0x0416: "INTERSECTCLIPRECT", 0x041B: "RECTANGLE",
}


def wmf_records(data):
    """Checks headers, sizes and the object table; returns (placeable, records)."""
    placeable = None
    if data[:4] == b"\xd7\xcd\xc6\x9a":
        words = struct.unpack_from("<10H", data)
        checksum = 0
        for w in words:
            checksum ^= w
        assert struct.unpack_from("<H", data, 20)[0] == checksum
        placeable = struct.unpack_from("<4hH", data, 6)
        data = data[22:]
    typ, hsize, ver, size, nobj, maxrec, members = struct.unpack_from("<HHHIHIH", data)
    assert (typ, hsize, ver, members) == (1, 9, 0x300, 0)
    assert size * 2 == len(data), "size in words"
    pos, recs, biggest = 18, [], 0
    table = [None] * nobj
    while pos < len(data):
        words, fn = struct.unpack_from("<IH", data, pos)
        assert words >= 3 and pos + 2 * words <= len(data)
        biggest = max(biggest, words)
        name = WMF_FUNCS[fn]
        params = data[pos + 6:pos + 2 * words]
        pos += 2 * words
        if name in ("CREATEPENINDIRECT", "CREATEBRUSHINDIRECT"):
            slot = table.index(None)  # the lowest free slot
            table[slot] = name
        elif name == "SELECTOBJECT":
            assert table[struct.unpack("<H", params)[0]] is not None
        elif name == "DELETEOBJECT":
            idx = struct.unpack("<H", params)[0]
            assert table[idx] is not None
            table[idx] = None
        recs.append((name, params))
        if name == "EOF":
            assert pos == len(data)
    assert recs[-1][0] == "EOF" and biggest == maxrec
    return placeable, recs


def colour_lines(t):
    t.setrgb(1, 0, 0)
    t.line(100, 300, 2800, 300)
    t.setrgb(0, 0.5, 0)
    sine(t, 120)


def test_wmf_records_placeable_header_and_temporary_file(tv):
    def body(t):
        colour_lines(t)
        t.linwid(10)
        t.lncap("CUT")
        t.line(100, 1800, 2000, 1800)
        t.recfll(1000, 1000, 200, 200, 0x01FF0000)
    tv.wmfmod("PLAC", "FORM")
    data = plot(tv, "WMF", "p.wmf", body)
    assert not os.path.exists("p.wmf.tmp")
    placeable, recs = wmf_records(data)
    s = 5.6692914962768555
    assert placeable == (0, 0, round(2969 * s), round(2099 * s), 1440)
    names = [n for n, _ in recs]
    assert ("SETPOLYFILLMODE", b"\x01\x00") in recs
    assert names.count("LINETO") == 2 and names.count("POLYLINE") == 2  # 120 points: 100 + 21
    pens = [struct.unpack("<HhhI", p[:10]) for n, p in recs if n == "CREATEPENINDIRECT"]
    colours = {c for *_, c in pens}
    assert {0x0000FF, 0x008000} <= colours  # COLORREF red and the green line
    wide = [p for p in pens if p[1] == round(10 * s)]
    assert wide and wide[-1][0] & 0x0F00 == 0x0200  # flat cap
    [rect] = [struct.unpack("<4h", p) for n, p in recs if n == "RECTANGLE"]
    b, r, t_, l = rect
    assert (l, t_) == (round(1000 * s), round(1000 * s)) and (r, b) == (round(1199 * s) + 1, round(1199 * s) + 1)


def test_wmf_standard_form_and_open_error(tv, capfd):
    data = plot(tv, "WMF", "s.wmf", colour_lines)
    placeable, recs = wmf_records(data)
    assert placeable is None
    assert dict(recs)["SETWINDOWEXT"] == struct.pack("<hh", round(2099 * 5.6692914962768555),
                                                      round(2969 * 5.6692914962768555))
    tv.metafl("WMF")
    tv.setfil("no/such/dir/x.wmf")
    tv.tavini()
    assert "Open error for WMF file in tavini!" in capfd.readouterr().out
    assert tv.getlev() == 0


def test_wmf_large_page_falls_back_to_plot_units(tv):
    tv.page(8000, 6000)
    placeable, recs = wmf_records(
        plot(tv, "WMF", "l.wmf", lambda t: t.line(0, 0, 7999, 5999),
             before=lambda t: t.wmfmod("PLAC", "FORM")))
    assert placeable == (0, 0, 7999, 5999, 254)


@pytest.mark.skipif(not shutil.which("wmf2svg") or not shutil.which("wmf2gd"),
                    reason="libwmf tools not installed")
def test_wmf_drawn_by_libwmf(tv):
    def body(t):
        t.pagera()  # libwmf frames the drawing, not the page
        t.recfll(500, 500, 1000, 600, 0x010000FF)   # red block
        t.setrgb(0, 0, 1)
        t.shdpat(16)
        t.areaf([2000, 2800, 2400], [300, 300, 1500], 3)  # blue triangle
        t.setrgb(0, 0.6, 0)
        t.linwid(30)
        t.line(100, 1900, 2800, 1900)  # thick green line
    plot(tv, "WMF", "d.wmf", body, before=lambda t: t.wmfmod("PLAC", "FORM"))
    svg = subprocess.run(["wmf2svg", "d.wmf"], capture_output=True, text=True, check=True).stdout
    root = ET.fromstring(svg)
    assert root.tag.endswith("svg")
    subprocess.run(["wmf2gd", "-t", "png", "--maxwidth=594", "--maxheight=420", "-o", "d.png",
                    "d.wmf"], check=True, capture_output=True)
    from PIL import Image
    im = Image.open("d.png").convert("RGB")
    sx, sy = im.width / 2969, im.height / 2099

    def at(x, y):
        return im.getpixel((int(x * sx), int(y * sy)))
    assert at(1000, 800) == (255, 0, 0)
    assert at(2400, 700) == (0, 0, 255)
    assert at(1500, 1900)[1] > 120 and at(1500, 1900)[0] < 60
    assert at(1500, 1500) == (255, 255, 255)  # paper stays white


# ------------------------------------------------------------------------------------------
# EMF

EMR = {1: "HEADER", 3: "POLYGON", 4: "POLYLINE", 14: "EOF", 18: "SETBKMODE",
       19: "SETPOLYFILLMODE", 27: "MOVETOEX", 30: "INTERSECTCLIPRECT", 33: "SAVEDC",
       34: "RESTOREDC", 37: "SELECTOBJECT", 39: "CREATEBRUSHINDIRECT", 40: "DELETEOBJECT",
       43: "RECTANGLE", 54: "LINETO", 95: "EXTCREATEPEN"}


def emf_records(data):
    typ, hsize = struct.unpack_from("<II", data)
    assert typ == 1
    bounds = struct.unpack_from("<4i", data, 8)
    frame = struct.unpack_from("<4i", data, 24)
    sig, ver, nbytes, nrec, nhandles = struct.unpack_from("<IIIIH", data, 40)
    assert sig == 0x464D4520 and ver == 0x10000 and nbytes == len(data)
    ndesc, offdesc = struct.unpack_from("<II", data, 60)
    desc = data[offdesc:offdesc + 2 * ndesc].decode("utf-16-le")
    assert desc == "TAVERO 11.5\0Plot\0\0"
    pos, recs, live, depth = 0, [], set(), 0
    while pos < len(data):
        t, size = struct.unpack_from("<II", data, pos)
        assert size % 4 == 0 and size >= 8 and pos + size <= len(data)
        name = EMR[t]
        p = data[pos + 8:pos + size]
        if name in ("EXTCREATEPEN", "CREATEBRUSHINDIRECT"):
            h = struct.unpack_from("<I", p)[0]
            assert 0 < h < nhandles and h not in live
            live.add(h)
        elif name == "SELECTOBJECT":
            assert struct.unpack("<I", p)[0] in live
        elif name == "DELETEOBJECT":
            live.remove(struct.unpack("<I", p)[0])
        elif name in ("POLYLINE", "POLYGON"):
            box = struct.unpack_from("<4i", p)
            n = struct.unpack_from("<I", p, 16)[0]
            pts = struct.unpack_from(f"<{2 * n}i", p, 20)
            assert box == (min(pts[0::2]), min(pts[1::2]), max(pts[0::2]), max(pts[1::2]))
        elif name == "SAVEDC":
            depth += 1
        elif name == "RESTOREDC":
            depth -= 1
            assert depth >= 0
        recs.append((name, p))
        pos += size
    assert len(recs) == nrec and recs[-1][0] == "EOF"
    return bounds, frame, recs


def test_emf_records_header_and_clip(tv):
    def body(t):
        colour_lines(t)
        t.clpwin(100, 100, 1000, 1000)
        t.shdpat(16)
        t.areaf([0, 2000, 500], [0, 0, 1500], 3)
        t.clpwin(0, 0, 2970, 2100)  # the whole page: no clip
        t.linwid(40)
        t.line(100, 2000, 2800, 2000)
    data = plot(tv, "EMF", "e.emf", body)
    bounds, frame, recs = emf_records(data)
    s = min(852 / 2969, 602 / 2099)
    assert bounds == (0, 0, round(2969 * s), round(2099 * s))
    assert frame[2] == pytest.approx(29690, abs=60) and frame[3] == pytest.approx(20990, abs=60)
    names = [n for n, _ in recs]
    # white background by default: no page rectangle
    assert "RECTANGLE" not in names
    clip = names.index("INTERSECTCLIPRECT")
    assert names.index("SAVEDC") < clip < names.index("POLYGON") < names.index("RESTOREDC")
    assert struct.unpack("<4i", dict(recs)["INTERSECTCLIPRECT"]) == (
        round(100 * s), round(100 * s), round(1099 * s) + 1, round(1099 * s) + 1)
    pens = [struct.unpack_from("<3I", p, 20) for n, p in recs if n == "EXTCREATEPEN"]
    # geometric pens: square caps and bevel joins by default (LONG, TRUN)
    assert (0x10000 | 0x0100 | 0x1000, round(40 * s), 0) in pens


def test_emf_black_page_with_erase_mode(tv):
    data = plot(tv, "EMF", "b.emf", lambda t: t.line(0, 0, 10, 10),
                before=lambda t: t.scrmod("ERASE"))
    _, _, recs = emf_records(data)
    rect = [struct.unpack("<4i", p) for n, p in recs if n == "RECTANGLE"]
    assert rect and rect[0][:2] == (0, 0)


@pytest.mark.skipif(not shutil.which("soffice") or not shutil.which("pdftoppm"),
                    reason="LibreOffice not installed")
def test_emf_drawn_by_libreoffice(tv, tmp_path):
    def body(t):
        t.recfll(500, 500, 1000, 600, 0x010000FF)
        t.setrgb(0, 0, 1)
        t.shdpat(16)
        t.areaf([2000, 2800, 2400], [300, 300, 1500], 3)
        t.setrgb(0, 0.6, 0)
        t.linwid(40)
        t.line(100, 1900, 2800, 1900)
    plot(tv, "EMF", "x.emf", body)
    env = dict(os.environ, HOME=str(tmp_path))
    subprocess.run(["soffice", "--headless", "--convert-to", "pdf", "x.emf"], env=env,
                   capture_output=True, timeout=180, check=True)
    subprocess.run(["pdftoppm", "-png", "-r", "40", "-singlefile", "x.pdf", "x"], check=True)
    from PIL import Image
    im = Image.open("x.png").convert("RGB")
    # find the drawing's extent from the colours, then probe inside each shape
    px = im.load()
    reds = [(x, y) for x in range(im.width) for y in range(im.height)
            if px[x, y][0] > 200 and px[x, y][1] < 60 and px[x, y][2] < 60]
    blues = [(x, y) for x in range(im.width) for y in range(im.height)
             if px[x, y][2] > 200 and px[x, y][0] < 60 and px[x, y][1] < 60]
    greens = [(x, y) for x in range(im.width) for y in range(im.height)
              if px[x, y][1] > 100 and px[x, y][0] < 60 and px[x, y][2] < 60]
    assert reds and blues and greens
    rx = sum(x for x, _ in reds) / len(reds)
    bx = sum(x for x, _ in blues) / len(blues)
    gy = sum(y for _, y in greens) / len(greens)
    ry = sum(y for _, y in reds) / len(reds)
    assert rx < bx and gy > ry  # red left of blue, green line below the red block


@pytest.mark.parametrize("fmt", ["WMF", "EMF"])
def test_gdi_formats_survive_non_finite_and_far_points(tv, fmt):
    def body(t):
        t.strtpt(100, 100)
        t.connpt(float("nan"), 5)
        t.connpt(1e300, -1e300)
        t.connpt(500, 500)
        t.shdpat(16)
        t.areaf([0, 10 ** 9, -10 ** 9], [0, 10 ** 9, 10 ** 9], 3)
        t.recfll(-100000, -100000, 10 ** 9, 50, 3)
    data = plot(tv, fmt, "n." + fmt.lower(), body)
    if fmt == "WMF":
        _, recs = wmf_records(data)
        polys = [struct.unpack_from(f"<{len(p) // 2}h", p) for n, p in recs if n == "POLYGON"]
        limit = 2969 * 5.6692914962768555 + 4
    else:
        _, _, recs = emf_records(data)
        polys = [struct.unpack_from(f"<{(len(p) - 20) // 4}i", p, 20) for n, p in recs
                 if n == "POLYGON"]
        limit = 853 + 4
    assert polys
    for p in polys:
        assert all(-5 <= v <= limit for v in p[1:])


# ------------------------------------------------------------------------------------------
# playing the metafile back (symfil)

def test_symfil_plays_the_metafile_on_another_device(tv, capfd):
    def body(t):
        t.setrgb(1, 0, 0)
        t.line(100, 100, 2000, 1500)
        t.color("GREEN")
        t.circle(1500, 1000, 500)
        sine(t)
    tv.symfil("PNG", "KEEP")  # before any plot
    plot(tv, "PNG", "direct.png", body)
    tv.symfil("PNG", "KEEP")  # the last plot was no metafile
    plot(tv, "GKSL", "m.met", body)
    tv.symfil("PNG", "KEEP")
    tv.symfil("PNG", "DELETE")
    assert not os.path.exists("m.met")
    tv.symfil("PNG", "KEEP")
    out = capfd.readouterr().out
    assert "Warning 21: The routine must be called after tavfin in symfil!" in out
    assert "Warning 20: No metafile in symfil!" in out
    assert "Warning 22: The metafile is deleted before in symfil!" in out
    from PIL import Image
    direct = Image.open("direct.png").convert("RGB")
    for name in ("tavero.png", "tavero_1.png"):
        played = Image.open(name).convert("RGB")
        assert played.size == direct.size
        assert played.tobytes() == direct.tobytes(), name
