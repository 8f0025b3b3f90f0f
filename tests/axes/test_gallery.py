"""The page of axis systems renders into files that their standard consumers accept."""
import os
import shutil
import subprocess
import sys

import pytest

import tavero

EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "axes.py")


def test_axis_gallery_page(tmp_path):
    pkg_root = os.path.dirname(os.path.dirname(os.path.abspath(tavero.__file__)))
    env = dict(os.environ, PYTHONPATH=pkg_root)
    proc = subprocess.run([sys.executable, EXAMPLE, str(tmp_path)], capture_output=True,
                          text=True, env=env, timeout=300)
    assert proc.returncode == 0, proc.stderr
    assert "Warning" not in proc.stdout
    pdf, png = tmp_path / "axes.pdf", tmp_path / "axes.png"
    if shutil.which("qpdf"):
        check = subprocess.run(["qpdf", "--check", str(pdf)], capture_output=True, text=True)
        assert check.returncode == 0, check.stdout
    Image = pytest.importorskip("PIL.Image")
    with Image.open(png) as im:
        im.load()
        colours = im.convert("L").getcolors(1 << 16)
    assert len(colours) >= 2          # something was drawn on the page
