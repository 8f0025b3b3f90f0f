"""Shared fixtures.

The library keeps one context record per process. Tests that need a pristine record run in
a fresh interpreter (`run_py`), the others use the in-process `tv` fixture, which ends any
open plot and deletes the record afterwards.
"""
import os
import subprocess
import sys
import textwrap

import pytest

import tavero


@pytest.fixture
def tv(tmp_path, monkeypatch):
    """The module, working in a temporary folder, with a fresh context record afterwards."""
    monkeypatch.chdir(tmp_path)
    yield tavero
    if tavero.getlev() != 0:
        tavero.unit(0)
        tavero.tavfin()
    tavero.delglb()


@pytest.fixture
def run_py(tmp_path):
    """Runs a snippet in a fresh interpreter in tmp_path; returns (stdout, returncode)."""

    def run(code, env=None, check=True):
        full_env = dict(os.environ)
        pkg_root = os.path.dirname(os.path.dirname(os.path.abspath(tavero.__file__)))
        full_env["PYTHONPATH"] = os.pathsep.join(
            [pkg_root] + [p for p in full_env.get("PYTHONPATH", "").split(os.pathsep) if p])
        full_env.update(env or {})
        proc = subprocess.run([sys.executable, "-c", textwrap.dedent(code)], cwd=tmp_path,
                              capture_output=True, text=True, env=full_env, timeout=120)
        if check and proc.returncode != 0:
            raise AssertionError(f"exit {proc.returncode}\n{proc.stdout}\n{proc.stderr}")
        return proc.stdout

    return run


def read_metafile(path):
    """Fields of a library metafile: header (width, height in cm) and the list of numbers."""
    text = open(path).read()
    lines = text.split("\n")
    w, h = float(lines[0][:10]), float(lines[0][10:20])
    body = "".join(lines[1:])
    fields = [float(body[i:i + 10]) for i in range(0, len(body) - 9, 10)]
    return (w, h), fields


def metafile_paths(fields):
    """Splits metafile fields into (colour records, strokes): strokes are lists of (x, y)."""
    strokes, cur, i, pen = [], None, 0, 3
    colours = []
    while i < len(fields):
        v = fields[i]
        if v == 9.0 and i == len(fields) - 1:
            break
        if v >= 9.0:
            # colour: 99 fields then r + 9
            n = 0
            while fields[i] == 99.0:
                n += 89
                i += 1
            colours.append(n + int(fields[i]) - 9)
            i += 1
            continue
        x, y = fields[i], fields[i + 1]
        i += 2
        if i < len(fields) and fields[i] in (2.0, 3.0):
            pen = int(fields[i])
            i += 1
        if pen == 3:
            cur = [(x, y)]
            strokes.append(cur)
        else:
            if cur is None:
                cur = [(x, y)]
                strokes.append(cur)
            else:
                cur.append((x, y))
    return colours, strokes
