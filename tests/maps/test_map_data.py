"""Map data files: the shipped base maps, the file formats read for mapbas and mapfil, and
readers that survive damaged files with a warning."""
import os
import random
import shutil
import struct

import tavero

from mapplot import open_map, strokes

MAPS = os.path.join(os.path.dirname(os.path.abspath(tavero.__file__)), "maps")


def gshhs(polygons):
    """A file in the published GSHHS format: header of 11 big-endian ints, then points."""
    out = b""
    for i, (level, pts) in enumerate(polygons):
        xs = [int(x * 1e6) for x, _ in pts]
        ys = [int(y * 1e6) for _, y in pts]
        out += struct.pack(">11i", i, len(pts), level | (12 << 8), min(xs), max(xs), min(ys),
                           max(ys), 0, 0, -1, -1)
        out += b"".join(struct.pack(">2i", x, y) for x, y in zip(xs, ys))
    return out


def blocks(lines):
    """The own base map format: pairs in thousandths of a degree, -1 between lines, -9000 at
    the end, filled up to blocks of 20 ints with -1000."""
    vals = []
    for line in lines:
        for lon, lat in line:
            vals += [round((lon + 180) * 1000), round((lat + 90) * 1000)]
        vals.append(-1)
    vals.append(-9000)
    vals += [-1000] * (-len(vals) % 20)
    return struct.pack(f"<{len(vals)}i", *vals)


SQUARE = [(10, 10), (20, 10), (20, 20), (10, 20), (10, 10)]


def test_shipped_base_maps_are_complete(tv, capfd):
    for base in ("TAVE", "GSHL", "GSHI"):
        open_map(tv, "CYLI")
        tv.mapbas(base)
        tv.mapopt("BOTH", "WORL")
        tv.world()
        tv.maplev("RIVE")
        tv.world()
        assert len(strokes(tv)) > 1000
    assert "Warning" not in capfd.readouterr().out


def test_mapfil_formats_draw_their_lines(tv, tmp_path):
    (tmp_path / "a.b").write_bytes(gshhs([(1, SQUARE), (2, [(30, 30), (31, 30), (31, 31)])]))
    (tmp_path / "a.txt").write_text("# one\n  10 10\n20\t10\n20 20\n#\n30 30\n31 31\n")
    for name, kind, n in (("a.b", "GSHH", 2), ("a.txt", "MAPG", 2)):
        open_map(tv, "CYLI")
        tv.mapbas("MAPF")
        tv.mapfil(str(tmp_path / name), kind)
        tv.world()
        paths = strokes(tv)
        assert len(paths) == n
    open_map(tv, "CYLI")
    tv.mapbas("MAPF")
    tv.mapfil(str(tmp_path / "a.b"), "GSHH")
    tv.maplev("LAKE")   # only the lake (level 2) of the shoreline file
    tv.world()
    assert len(strokes(tv)) == 1


def test_messages_of_missing_files(tv, capfd, tmp_path):
    open_map(tv, "CYLI", quiet=False)
    tv.mapbas("MAPF")
    tv.world()
    tv.mapfil(str(tmp_path / "none.b"), "GSHH")
    tv.world()
    tv.mapbas("GSHH")   # high resolution is not shipped: its GSHHS file is named
    tv.world()
    tv.tavfin()
    out = capfd.readouterr().out
    assert "Warning 118: No call to MAPFIL before in world!" in out
    assert f"Warning 36: File error in world!   ({tmp_path / 'none.b'})" in out
    assert "gshhs_h.b)" in out


RUNNER = """
import os, sys, tavero as tv
tv.metafl("GKSL"); tv.setfil("run.met"); tv.filmod("delete")
tv.tavini(); tv.unit(0); tv.nograf(); tv.projct("CYLI")
tv.grafmp(0, 1, 0, 1, 0, 1, 0, 1)    # a tiny window: the lines are read but not drawn
for path in sys.argv[1:]:
    os.environ["TAVERO"] = path
    tv.world()
    tv.shdmap("ALL")
print("done")
tv.tavfin()
"""


def damaged_dirs(root, name, data, cuts):
    dirs = []
    for i, cut in enumerate(cuts):
        d = root / f"d{i}" / "maps"
        d.mkdir(parents=True)
        (d / name).write_bytes(data(cut))
        dirs.append(str(d.parent))
    return dirs


def run_damaged(run_py, tmp_path, dirs):
    script = tmp_path / "runner.py"
    script.write_text(RUNNER)
    out = run_py(f"import sys, runpy; sys.argv = ['x'] + {dirs!r}; runpy.run_path({str(script)!r})")
    assert out.strip().endswith("done")


def test_compact_map_cut_at_every_97th_byte(run_py, tmp_path):
    data = open(os.path.join(MAPS, "coast_c.tvm"), "rb").read()
    dirs = damaged_dirs(tmp_path, "coast_c.tvm", lambda c: data[:c], range(0, len(data), 97))
    run_damaged(run_py, tmp_path, dirs)


def test_readers_survive_random_bytes(run_py, tmp_path):
    rnd = random.Random(97)
    good = open(os.path.join(MAPS, "coast_c.tvm"), "rb").read()

    def noise(_):
        return bytes(rnd.getrandbits(8) for _ in range(rnd.randrange(0, 3000)))

    def flipped(_):
        b = bytearray(good[:20000])
        for _ in range(20):
            b[rnd.randrange(len(b))] = rnd.getrandbits(8)
        return bytes(b)

    dirs = damaged_dirs(tmp_path / "n", "coast_c.tvm", noise, range(40))
    dirs += damaged_dirs(tmp_path / "f", "coast_c.tvm", flipped, range(40))
    dirs += damaged_dirs(tmp_path / "m", "map0.dat", noise, range(40))
    valid = blocks([SQUARE, [(50, 50), (60, 55)]])
    dirs += damaged_dirs(tmp_path / "b", "map0.dat", lambda c: valid[:c], range(0, len(valid), 7))
    run_damaged(run_py, tmp_path, dirs)


def test_user_files_survive_damage(tv, tmp_path, capfd):
    data = gshhs([(1, SQUARE), (1, [(40, 40), (45, 40), (45, 45)])])
    rnd = random.Random(5)
    open_map(tv, "CYLI", quiet=False)
    tv.mapbas("MAPF")
    for cut in range(0, len(data), 3):
        (tmp_path / "cut.b").write_bytes(data[:cut])
        tv.mapfil(str(tmp_path / "cut.b"), "GSHH")
        tv.world()
    for i in range(30):
        (tmp_path / "r.b").write_bytes(bytes(rnd.getrandbits(8) for _ in range(rnd.randrange(200))))
        tv.mapfil(str(tmp_path / "r.b"), "GSHH")
        tv.world()
        (tmp_path / "r.txt").write_bytes(bytes(rnd.getrandbits(8) for _ in range(rnd.randrange(400))))
        tv.mapfil(str(tmp_path / "r.txt"), "MAPG")
        tv.world()
    tv.tavfin()
    out = capfd.readouterr().out
    assert "Warning 119: Read error in world!" in out


def test_own_base_map_file_takes_precedence(tv, tmp_path, monkeypatch):
    (tmp_path / "inst" / "maps").mkdir(parents=True)
    (tmp_path / "inst" / "maps" / "map0.dat").write_bytes(blocks([SQUARE, [(50, 50), (60, 55)]]))
    monkeypatch.setenv("TAVERO", str(tmp_path / "inst"))
    open_map(tv, "CYLI")
    tv.world()
    paths = strokes(tv)
    assert len(paths) == 2 and len(paths[0]) == 5
