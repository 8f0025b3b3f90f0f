"""FITS files: headers and data read back exactly, HDUs, keyword classes, every message, and
robustness against truncated and hostile files."""
import os

import numpy as np
import pytest

from fitsfile import (BLOCK, DTYPES, card, empty_primary, header, image_hdu, pad, raw,
                      table_hdu)


def warnings(capfd):
    return [ln for ln in capfd.readouterr().out.splitlines() if ln.startswith(" <<<<")]


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return str(path)


# ------------------------------------------------------------------------------------------
class TestDataRoundTrip:
    @pytest.mark.parametrize("bitpix", [8, 16, 32, 64, -32, -64])
    def test_every_bitpix_reads_back_the_stored_bytes(self, tv, tmp_path, bitpix):
        rng = np.random.default_rng(bitpix + 100)
        dt = np.dtype(DTYPES[bitpix])
        if dt.kind == "f":
            a = rng.normal(size=(7, 13)).astype(dt)
        else:
            info = np.iinfo(dt)
            a = rng.integers(info.min, info.max, size=(7, 13), dtype=dt.newbyteorder("="),
                             endpoint=True).astype(dt)
        path = write(tmp_path / "a.fits", image_hdu(a))
        assert tv.fitsopn(path) == 0
        n = a.size * dt.itemsize
        assert tv.fitsimg(0) == (b"", n)
        data, got = tv.fitsimg(n + 5)
        assert got == n and len(data) == n
        assert np.array_equal(np.frombuffer(data, dtype=dt).reshape(7, 13), a)
        assert tv.fitsval("BITPIX") == bitpix
        assert (tv.fitsval("NAXIS"), tv.fitsval("NAXIS1"), tv.fitsval("NAXIS2")) == (2, 13, 7)
        tv.fitscls()

    @pytest.mark.parametrize("ncards,start", [(9, 2880), (35, 2880), (36, 5760)])
    def test_header_length_is_whole_blocks(self, tv, tmp_path, ncards, start):
        # ncards plus END: 10, 36 and 37 cards
        fixed = [card("SIMPLE", True), card("BITPIX", 8), card("NAXIS", 1), card("NAXIS1", 4)]
        cards = fixed + [card(f"K{i}", i) for i in range(ncards - len(fixed))]
        body = header(cards)
        assert len(body) == start
        path = write(tmp_path / "h.fits", body + pad(b"DATA"))
        assert tv.fitsopn(path) == 0
        assert tv.fitsimg(4) == (b"DATA", 4)
        # a file cut right after the header: the data read is short
        write(tmp_path / "h.fits", body + b"DA")
        assert tv.fitsopn(path) == 0
        assert tv.fitsimg(4) == (b"", 0)

    def test_size_query_and_small_buffer(self, tv, tmp_path, capfd):
        tv.fitsopn(write(tmp_path / "z.fits", empty_primary()))
        assert tv.fitsimg(0) == (b"", 0) and tv.fitsimg(10) == (b"", 0)   # NAXIS 0: no data
        a = np.zeros((200, 100), dtype=">i2")
        path = write(tmp_path / "s.fits", image_hdu(a))
        tv.fitsopn(path)
        assert tv.fitsimg(0) == (b"", 40000)
        assert tv.fitsimg(39999) == (b"", 0)
        assert tv.fitsimg(-1) == (b"", 0)
        assert warnings(capfd) == [
            " <<<< Warning 201: Not enough space in array for FITS image in fitsimg!"]

    def test_reader_works_at_every_level(self, tv, tmp_path):
        path = write(tmp_path / "l.fits", image_hdu(np.arange(6, dtype=">i4")))
        assert tv.fitsopn(path) == 0          # level 0
        tv.metafl("VIRT")
        tv.tavini()
        tv.errmod("PROT", "OFF")
        assert tv.fitsval("NAXIS1") == 6      # level 1, same file
        tv.tavfin()
        data, n = tv.fitsimg(100)             # level 0 again: the file stayed open
        assert np.array_equal(np.frombuffer(data, ">i4"), np.arange(6))


# ------------------------------------------------------------------------------------------
class TestHdus:
    def multi(self, tmp_path):
        img = np.arange(12, dtype=">i2").reshape(3, 4)
        body = (empty_primary() + image_hdu(img, extension=True) + table_hdu("BINTABLE", 10, 30)
                + table_hdu("TABLE", 7, 3) + image_hdu(np.ones(5, dtype=">f8"), extension=True))
        return write(tmp_path / "m.fits", body), img

    def test_types_and_data_of_each_hdu(self, tv, tmp_path):
        path, img = self.multi(tmp_path)
        assert tv.fitsopn(path) == 0
        assert [tv.fitshdu(k) for k in (2, 3, 4, 5, 1)] == [1, 3, 2, 1, 0]
        assert tv.fitshdu(2) == 1
        data, n = tv.fitsimg(1000)
        assert np.array_equal(np.frombuffer(data, ">i2").reshape(3, 4), img)
        assert tv.fitsstr("XTENSION") == "IMAGE"
        tv.fitshdu(3)
        assert tv.fitsimg(0) == (b"", 300)
        assert tv.fitsval("TFIELDS") == 1
        tv.fitshdu(5)
        assert np.array_equal(np.frombuffer(tv.fitsimg(40)[0], ">f8"), np.ones(5))
        tv.fitshdu(1)
        assert tv.fitsval("EXTEND") == 1

    def test_second_hdu_follows_one_block_primary(self, tv, tmp_path):
        ext = image_hdu(np.array([1, 2, 3], dtype=">i4"), extension=True)
        path = write(tmp_path / "p.fits", empty_primary() + ext)
        tv.fitsopn(path)
        assert tv.fitshdu(2) == 1
        data, n = tv.fitsimg(12)
        # data starts at 2880 plus the extension's one-block header
        assert data == open(path, "rb").read()[2 * BLOCK:2 * BLOCK + 12]

    def test_missing_hdus_and_bad_numbers(self, tv, tmp_path, capfd):
        path, _ = self.multi(tmp_path)
        tv.fitsopn(path)
        capfd.readouterr()
        assert tv.fitshdu(6) == -1
        assert tv.fitshdu(2 ** 31 - 1) == -1
        assert tv.fitshdu(0) == -1
        assert warnings(capfd) == [
            " <<<< Warning 201: No HDU in FITS file in fitshdu!",
            " <<<< Warning 201: No HDU in FITS file in fitshdu!",
            " <<<< Warning 2: Incorrect parameter in fitshdu!   ( 0)"]
        # a failed selection leaves the current HDU as it was
        assert tv.fitsval("NAXIS") == 0

    def test_keywords_are_looked_up_in_the_current_hdu_only(self, tv, tmp_path):
        body = (empty_primary([card("ONLYPRIM", 1)]) +
                image_hdu(np.zeros(2, ">u1"), extension=True, extra=[card("ONLYEXT", 2)]))
        tv.fitsopn(write(tmp_path / "k.fits", body))
        assert (tv.fitsval("ONLYPRIM"), tv.fitstyp("ONLYEXT")) == (1, -1)
        tv.fitshdu(2)
        assert (tv.fitstyp("ONLYPRIM"), tv.fitsval("ONLYEXT")) == (-1, 2)


# ------------------------------------------------------------------------------------------
class TestKeywords:
    CARDS = [
        card("SIMPLE", True), card("BITPIX", 16), card("NAXIS", 0),
        raw("NAME    = 'O''HARA '           / a quote inside"),
        raw("EMPTY   = ''"),
        raw("LOGT    =                    T"),
        raw("LOGF    =                    F / false"),
        raw("EXPO    =               2.5E1"),
        raw("DEXP    =             1.5D-02"),
        raw("NEGINT  =                 -42 / comment with 'quote"),
        raw("BIGINT  =         99999999999"),
        raw("ICOMPLEX= (1, 2)"),
        raw("FCOMPLEX= (1.5, -2)"),
        raw("NOVALUE =                     / only a comment"),
        raw("BLANK   ="),
        raw("OPEN    = 'never closed"),
        raw("NOEQUALS  12"),
        raw("LONGKEYW=                   7"),
        raw("SLASH   = 'a/b'               / slash inside the string"),
    ]

    @pytest.fixture
    def opened(self, tv, tmp_path):
        tv.fitsopn(write(tmp_path / "k.fits", header(self.CARDS)))
        return tv

    def test_value_classes(self, opened):
        classes = {k: opened.fitstyp(k) for k in
                   ["BITPIX", "NAME", "EMPTY", "LOGT", "LOGF", "EXPO", "DEXP", "NEGINT",
                    "ICOMPLEX", "FCOMPLEX", "NOVALUE", "BLANK", "OPEN", "NOEQUALS", "SLASH",
                    "MISSING"]}
        assert classes == {"BITPIX": 0, "NAME": 3, "EMPTY": 2, "LOGT": 4, "LOGF": 5,
                           "EXPO": 1, "DEXP": 1, "NEGINT": 0, "ICOMPLEX": 6, "FCOMPLEX": 7,
                           "NOVALUE": 8, "BLANK": 8, "OPEN": 9, "NOEQUALS": 9, "SLASH": 3,
                           "MISSING": -1}

    def test_values(self, opened):
        t = opened
        assert t.fitsstr("NAME") == "O'HARA "
        assert t.fitsstr("EMPTY") == ""
        assert t.fitsstr("SLASH") == "a/b"
        assert (t.fitsval("LOGT"), t.fitsval("LOGF")) == (1, 0)
        assert t.fitsflt("EXPO") == 25.0
        assert t.fitsflt("DEXP") == 0.015
        assert t.fitsval("NEGINT") == -42
        assert t.fitsflt("NEGINT") == -42.0
        assert t.fitsval("BIGINT") == 2 ** 31 - 1
        # a keyword longer than eight characters is matched on its first eight
        assert t.fitsval("LONGKEYWORD") == 7

    def test_mismatches_and_missing_keywords(self, opened, capfd):
        t = opened
        capfd.readouterr()
        assert t.fitsval("EXPO") == -2
        assert t.fitsflt("NAME") == -2.0
        assert t.fitsstr("NEGINT") == ""
        assert t.fitsval("MISSING") == -1
        assert t.fitsflt("MISSING") == -1.0
        assert t.fitsstr("MISSING") == ""
        assert t.fitstyp("END") == -1
        assert warnings(capfd) == [
            " <<<< Warning 201: Keyword does not match type in FITS file in fitsval!",
            " <<<< Warning 203: Keyword does not match type in FITS file in fitsflt!",
            " <<<< Warning 201: Keyword does not match type in FITS file in fitsstr!",
            " <<<< Warning 200: Keyword is not defined in FITS file in fitsval!",
            " <<<< Warning 200: Keyword is not defined in FITS file in fitsflt!",
            " <<<< Warning 200: Keyword is not defined in FITS file in fitsstr!",
            " <<<< Warning 200: Keyword is not defined in FITS file in fitstyp!"]


# ------------------------------------------------------------------------------------------
class TestOpenAndMessages:
    def test_no_open_file(self, tv, capfd):
        assert tv.fitshdu(1) == -6
        assert tv.fitsval("A") == -3
        assert tv.fitsflt("A") == -3.0
        assert tv.fitstyp("A") == -3
        assert tv.fitsstr("A") == ""
        assert tv.fitsimg(0) == (b"", -3)
        tv.fitscls()
        names = ["fitshdu", "fitsval", "fitsflt", "fitstyp", "fitsstr", "fitsimg", "fitscls"]
        assert warnings(capfd) == [f" <<<< Warning 199: No open FITS file in {n}!" for n in names]

    def test_open_errors(self, tv, tmp_path, capfd):
        assert tv.fitsopn(str(tmp_path / "none.fits")) == -1
        assert tv.fitsopn(str(tmp_path)) == -1          # a folder is no FITS file
        assert tv.fitsopn("") == -1
        assert warnings(capfd) == [" <<<< Warning 195: Open error in FITS file in fitsopn!"] * 3

    @pytest.mark.parametrize("cards,result,message", [
        ([card("NAXIS", 0)], -3, "196: Keyword BITPIX is not defined"),
        ([card("BITPIX", 8)], -4, "197: Keyword NAXIS is not defined"),
        ([card("BITPIX", 8), card("NAXIS", 2), card("NAXIS1", 3)], -5,
         "198: Some NAXISn are not defined"),
        # an axis number before NAXIS, or beyond it, defines nothing
        ([card("BITPIX", 8), card("NAXIS1", 3), card("NAXIS", 1), card("NAXIS2", 4)], -5,
         "198: Some NAXISn are not defined"),
        # more axes than three-digit NAXISn cards can name
        ([card("BITPIX", 8), card("NAXIS", 2000000000)], -5, "198: Some NAXISn are not defined"),
    ])
    def test_header_validation(self, tv, tmp_path, capfd, cards, result, message):
        path = write(tmp_path / "v.fits", header(cards))
        assert tv.fitsopn(path) == result
        assert warnings(capfd) == [f" <<<< Warning {message} in fitsopn!"]
        # the record stays attached: closing is silent, a second close is not
        tv.fitscls()
        assert warnings(capfd) == []
        tv.fitscls()
        assert len(warnings(capfd)) == 1

    def test_header_without_end_and_cut_card(self, tv, tmp_path):
        body = "".join([card("SIMPLE", True), card("BITPIX", 8), card("NAXIS", 1),
                        card("NAXIS1", 2)]).encode() + b"COMMENT cut"
        assert tv.fitsopn(write(tmp_path / "c.fits", body)) == 0
        assert tv.fitsval("NAXIS1") == 2
        # without END the header is the whole cards read; the data follows them
        assert tv.fitsimg(2) == (b"CO", 2)

    def test_data_read_error_is_a_syntax_error(self, tv, tmp_path, capfd):
        a = np.arange(100, dtype=">i4")
        full = image_hdu(a)
        tv.fitsopn(write(tmp_path / "t.fits", full[:BLOCK + 200]))
        assert tv.fitsimg(400) == (b"", 0)
        assert warnings(capfd) == [" <<<< Warning 202: Syntax error in FITS file in fitsimg!"]

    def test_second_open_replaces_the_first(self, tv, tmp_path):
        a = write(tmp_path / "a.fits", image_hdu(np.zeros(3, ">u1")))
        b = write(tmp_path / "b.fits", image_hdu(np.zeros(5, ">u1")))
        tv.fitsopn(a)
        tv.fitsopn(b)
        assert tv.fitsval("NAXIS1") == 5
        tv.fitscls()
        assert tv.fitsval("NAXIS1") == -3

# ------------------------------------------------------------------------------------------
class TestHostileFiles:
    def test_truncations_and_random_files_never_crash_or_hang(self, run_py, tmp_path):
        img = np.arange(600, dtype=">i2").reshape(20, 30)
        body = (empty_primary() + image_hdu(img, extension=True) + table_hdu("BINTABLE", 9, 40)
                + image_hdu(np.ones((3, 4, 5), dtype=">f4"), extension=True))
        write(tmp_path / "whole.fits", body)
        # hostile headers: huge axes, negative axes, sizes that overflow, a self-referencing walk
        hostile = [
            header([card("SIMPLE", True), card("BITPIX", 16), card("NAXIS", 3),
                    card("NAXIS1", 2 ** 31 - 1), card("NAXIS2", 2 ** 31 - 1),
                    card("NAXIS3", 2 ** 31 - 1)]) + empty_primary(),
            header([card("BITPIX", -64), card("NAXIS", 1), card("NAXIS1", -5)]) + empty_primary(),
            header([card("BITPIX", 8), card("NAXIS", -7)]) * 3,
            header([card("BITPIX", 0), card("NAXIS", 2), card("NAXIS1", 0), card("NAXIS2", 9)]) * 2,
            header([raw("BITPIX  = " + "9" * 70), raw("NAXIS   = -" + "9" * 69)]),
            b"END" + b"\0" * 77,
            b"",
        ]
        for i, h in enumerate(hostile):
            write(tmp_path / f"hostile{i}.fits", h)
        out = run_py("""
            import os, random
            import tavero
            tavero.unit(0)
            def probe(path):
                r = [tavero.fitsopn(path)]
                for k in (1, 2, 3, 4, 5, 99, 2**31 - 1):
                    r.append(tavero.fitshdu(k))
                    r.append(tavero.fitsimg(0)[1])
                    r.append(tavero.fitsimg(100000)[1])
                    for key in ("BITPIX", "NAXIS", "NAXIS1", "XTENSION", "SIMPLE", "END"):
                        r += [tavero.fitsval(key), tavero.fitstyp(key), tavero.fitsflt(key),
                              len(tavero.fitsstr(key))]
                tavero.fitscls()
                return r
            whole = open("whole.fits", "rb").read()
            count = 0
            for cut in range(0, len(whole), 97):
                with open("cut.fits", "wb") as f:
                    f.write(whole[:cut])
                probe("cut.fits")
                count += 1
            rnd = random.Random(1234)
            for i in range(60):
                n = rnd.choice([1, 79, 80, 2880, 5000])
                data = bytes(rnd.getrandbits(8) for _ in range(n))
                if i % 2:   # random bytes behind plausible cards
                    data = whole[:rnd.randrange(0, 3 * 2880)] + data
                with open("rnd.fits", "wb") as f:
                    f.write(data)
                probe("rnd.fits")
                count += 1
            for name in sorted(os.listdir(".")):
                if name.startswith("hostile"):
                    probe(name)
                    count += 1
            print("probed", count)
        """)
        assert out.strip().endswith("probed " + str(len(range(0, len(body), 97)) + 60 + len(hostile)))
