"""PLY export: the messages of the phase, and files written from triangles parsed back."""
import glob
import os
import shutil
import subprocess

import pytest

import tavero

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def warnings(capfd):
    return [ln for ln in capfd.readouterr().out.splitlines() if ln.startswith(" <<<<")]


def parse_ply(path):
    """(vertices [(x, y, z, r, g, b)], faces [(i, j, k)]) of an ASCII PLY file."""
    lines = open(path).read().split("\n")
    assert lines[0] == "ply" and lines[1] == "format ascii 1.0"
    end = lines.index("end_header")
    counts = {ln.split()[1]: int(ln.split()[2]) for ln in lines[:end] if ln.startswith("element")}
    props = [ln.split()[-1] for ln in lines[:end] if ln.startswith("property")]
    assert props == ["x", "y", "z", "red", "green", "blue", "vertex_indices"]
    body = lines[end + 1:]
    nv, nf = counts["vertex"], counts["face"]
    verts = [tuple(float(v) for v in ln.split()[:3]) + tuple(int(v) for v in ln.split()[3:])
             for ln in body[:nv]]
    faces = []
    for ln in body[nv:nv + nf]:
        f = [int(v) for v in ln.split()]
        assert f[0] == 3 and len(f) == 4
        faces.append(tuple(f[1:]))
    assert body[nv + nf:] == [""]
    return verts, faces


def open_plot(tv):
    tv.metafl("VIRT")
    tv.tavini()
    tv.errmod("PROT", "OFF")


class TestPhase:
    def test_messages_and_empty_file(self, tv, tmp_path, capfd):
        open_plot(tv)
        tv.plyfin()
        tv.plyini("empty.ply")
        tv.plyini("other.ply")
        tv.plyfin()
        assert warnings(capfd) == [
            " <<<< Warning 191: Output to PLY format is not enabled in plyfin!",
            " <<<< Warning 190: Output to PLY format is already enabled in plyini!"]
        assert parse_ply("empty.ply") == ([], [])
        assert not os.path.exists("other.ply")

    def test_tavfin_writes_an_open_export_and_default_name(self, tv, tmp_path):
        open_plot(tv)
        tv.plyini("")
        tv.tavfin()
        assert parse_ply("tavero.ply") == ([], [])
        open_plot(tv)
        tv.plyfin()          # the export ended with the plot

    def test_unwritable_file_is_reported(self, tv, tmp_path, capfd):
        open_plot(tv)
        bad = str(tmp_path / "no" / "such.ply")
        tv.plyini(bad)
        tv.plyfin()
        assert warnings(capfd) == [
            f" <<<< Warning 36: File error in plyini!   ({bad})",
            " <<<< Warning 191: Output to PLY format is not enabled in plyfin!"]

    def test_enabled_before_tavini(self, tv, tmp_path, capfd):
        tv.plyini("early.ply")             # parameter entry: warned, still enabled
        open_plot(tv)
        tv.plyfin()
        assert warnings(capfd) == [" <<<< Warning 3: Incorrect level in plyini!   ( 0)"]
        assert parse_ply("early.ply") == ([], [])


def built_library():
    """The static library and generated headers of the build the tests run against."""
    mod = os.path.dirname(os.path.abspath(tavero.__file__))
    cands = [os.path.dirname(os.path.dirname(mod))]
    cands += sorted(glob.glob(os.path.join(ROOT, "build", "*")), key=os.path.getmtime,
                    reverse=True)
    for d in cands:
        if os.path.isfile(os.path.join(d, "libtavero_lib.a")) and \
                os.path.isfile(os.path.join(d, "gen", "tavero_api.h")):
            return d
    return None


@pytest.fixture(scope="module")
def ply_program(tmp_path_factory):
    cxx = shutil.which("g++")
    build = built_library()
    if not cxx or not build:
        pytest.skip("no C++ compiler or no built library")
    out = str(tmp_path_factory.mktemp("ply") / "ply_check")
    libs = []
    for name in ("deflate", "X11"):
        found = subprocess.run([cxx, f"-print-file-name=lib{name}.so"], capture_output=True,
                               text=True).stdout.strip()
        if os.path.isabs(found):
            libs.append("-l" + name)
    cmd = [cxx, "-std=c++20", "-O1", "-I", os.path.join(ROOT, "src"), "-I",
           os.path.join(build, "gen"), os.path.join(HERE, "ply_check.cpp"),
           os.path.join(build, "libtavero_lib.a"), "-o", out, "-lz", *libs, "-ldl", "-lpthread"]
    proc = subprocess.run(cmd, capture_output=True, text=True)
    if proc.returncode:
        pytest.fail("building ply_check failed:\n" + proc.stderr[-3000:])
    return out


def test_triangles_reach_the_file(ply_program, tmp_path):
    path = str(tmp_path / "t.ply")
    proc = subprocess.run([ply_program, path], capture_output=True, text=True, timeout=60)
    assert proc.returncode == 0, proc.stdout + proc.stderr
    verts, faces = parse_ply(path)
    # the square's two triangles share two corners: 4 vertices, then 3 for the third
    assert len(verts) == 7 and len(faces) == 3
    corners = [[verts[i] for i in f] for f in faces]
    assert corners[0] == [(0, 0, 0, 255, 0, 0), (1, 0, 0, 255, 0, 0), (1, 1, 0.5, 255, 0, 0)]
    assert corners[1] == [(0, 0, 0, 255, 0, 0), (1, 1, 0.5, 255, 0, 0), (0, 1, 0, 255, 0, 0)]
    assert faces[0][0] == faces[1][0] and faces[0][2] == faces[1][1]
    third = corners[2]
    assert [v[:3] for v in third] == [(2, 0, 1e-7), (3, 0, -2.5e6), (2.5, 1, 3.25)]
    # index 0 and 255 of the default colour table, then the explicit colour
    assert third[0][3:] == (0, 0, 0) and third[1][3:] == (255, 255, 255)
    assert third[2][3:] == (1, 2, 3)
