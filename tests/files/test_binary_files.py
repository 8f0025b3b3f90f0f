"""Binary files by unit number, and the bit-field helpers."""
import os

import pytest


def warnings(capfd):
    return [ln for ln in capfd.readouterr().out.splitlines() if ln.startswith(" <<<<")]


class TestUnits:
    def test_write_then_read_back_with_positions(self, tv, tmp_path):
        path = str(tmp_path / "data.bin")
        payload = bytes(range(256)) * 40
        assert tv.openfl(path, 7, 1) == 0
        assert tv.writfl(7, payload, len(payload)) == len(payload)
        assert tv.writfl(7, b"tail", 2) == 2               # only the count given is written
        assert tv.tellfl(7) == len(payload) + 2
        assert tv.closfl(7) == 0
        assert open(path, "rb").read() == payload + b"ta"

        assert tv.openfl(path, 7, 0) == 0
        assert tv.readfl(7, 10) == (payload[:10], 10)
        assert tv.skipfl(7, 100) == 0
        assert tv.tellfl(7) == 110
        assert tv.readfl(7, 3) == (payload[110:113], 3)
        assert tv.skipfl(7, -13) == 0
        assert tv.readfl(7, 1) == (payload[100:101], 1)
        assert tv.posifl(7, len(payload)) == 0
        data, n = tv.readfl(7, 10)                        # two bytes left
        assert n == 2 and data[:2] == b"ta"
        assert tv.readfl(7, 10)[1] == 0                   # at the end: nothing, no warning
        assert tv.closfl(7) == 0

    def test_append_and_independent_units(self, tv, tmp_path):
        a, b = str(tmp_path / "a"), str(tmp_path / "b")
        tv.openfl(a, 0, 1)
        tv.openfl(b, 99, 1)
        tv.writfl(0, b"first", 5)
        tv.writfl(99, b"other", 5)
        tv.closfl(0)
        tv.closfl(99)
        tv.openfl(a, 3, 2)
        tv.writfl(3, b"+more", 5)
        tv.closfl(3)
        assert open(a, "rb").read() == b"first+more"
        assert open(b, "rb").read() == b"other"

    def test_misuse_is_reported(self, tv, tmp_path, capfd):
        path = str(tmp_path / "m")
        open(path, "wb").write(b"xyz")
        assert tv.openfl(path, 100, 0) == -1
        assert tv.openfl(path, -1, 0) == -1
        assert tv.openfl(path, 1, 3) == -1
        assert tv.openfl(str(tmp_path / "no" / "such"), 1, 0) == -1
        assert tv.openfl(str(tmp_path), 1, 0) == -1      # a folder
        assert tv.readfl(2, 4) == (b"", -1)              # unit not open
        assert tv.closfl(2) == -1
        assert tv.tellfl(2) == -1
        tv.openfl(path, 2, 0)
        assert tv.writfl(2, b"ab", 2) == -1              # opened for reading
        assert tv.posifl(2, -1) == -1
        assert tv.skipfl(2, -10) == -1                   # before the start
        assert tv.tellfl(2) == 0
        tv.openfl(path, 3, 1)
        assert tv.readfl(3, 1)[1] == -1                  # opened for writing
        assert warnings(capfd) == [
            " <<<< Warning 2: Incorrect parameter in openfl!   ( 100)",
            " <<<< Warning 2: Incorrect parameter in openfl!   ( -1)",
            " <<<< Warning 2: Incorrect parameter in openfl!   ( 3)",
            f" <<<< Warning 36: File error in openfl!   ({tmp_path}/no/such)",
            f" <<<< Warning 36: File error in openfl!   ({tmp_path})",
            " <<<< Warning 2: Incorrect parameter in readfl!   ( 2)",
            " <<<< Warning 2: Incorrect parameter in closfl!   ( 2)",
            " <<<< Warning 2: Incorrect parameter in tellfl!   ( 2)",
            " <<<< Warning 36: File error in writfl!",
            " <<<< Warning 2: Incorrect parameter in posifl!   ( -1)",
            " <<<< Warning 2: Incorrect parameter in skipfl!   ( -10)",
            " <<<< Warning 119: Read error in readfl!"]

    def test_open_units_survive_tavini_and_close_with_the_record(self, run_py, tmp_path):
        run_py("""
            import tavero
            tavero.openfl("kept.bin", 4, 1)
            tavero.metafl("VIRT"); tavero.tavini(); tavero.errmod("PROT", "OFF")
            tavero.writfl(4, b"abc", 3)
            tavero.tavfin()
            tavero.delglb()      # the record goes: its files are closed and flushed
        """)
        assert open(tmp_path / "kept.bin", "rb").read() == b"abc"


class TestBits:
    @pytest.mark.parametrize("nbits,mher,iher,mhin,ihin,expected", [
        (4, 0xABCD, 4, 0, 0, 0xC),
        (4, 0xABCD, 0, 0, 12, 0xD000 - 0x10000),        # sign-extended like INTEGER*2
        (3, 0b101, 0, 0xFFFF, 5, (0xFFFF & ~(0b111 << 5) | (0b101 << 5)) - 0x10000),
    ])
    def test_bitsi2(self, tv, nbits, mher, iher, mhin, ihin, expected):
        assert tv.bitsi2(nbits, mher, iher, mhin, ihin) == expected

    def test_bitsi4_matches_a_reference(self, tv):
        import random
        rnd = random.Random(5)
        for _ in range(300):
            n = rnd.randint(1, 32)
            i, j = rnd.randint(0, 32 - n), rnd.randint(0, 32 - n)
            a, b = rnd.getrandbits(32), rnd.getrandbits(32)
            mask = (1 << n) - 1
            want = (b & ~(mask << j) | (((a >> i) & mask) << j)) & 0xFFFFFFFF
            want -= (1 << 32) if want >> 31 else 0
            signed = lambda v: v - (1 << 32) if v >> 31 else v
            assert tv.bitsi4(n, signed(a), i, signed(b), j) == want

    def test_fields_beyond_the_word_are_refused(self, tv, capfd):
        assert tv.bitsi2(4, 0xF, 13, 5, 0) == 5
        assert tv.bitsi2(0, 0xF, 0, 5, 0) == 5
        assert tv.bitsi4(33, 1, 0, 9, 0) == 9
        assert tv.bitsi4(8, 1, 0, 9, 25) == 9
        assert warnings(capfd) == [
            " <<<< Warning 2: Incorrect parameter in bitsi2!   ( 13)",
            " <<<< Warning 2: Incorrect parameter in bitsi2!   ( 0)",
            " <<<< Warning 2: Incorrect parameter in bitsi4!   ( 33)",
            " <<<< Warning 2: Incorrect parameter in bitsi4!   ( 25)"]
