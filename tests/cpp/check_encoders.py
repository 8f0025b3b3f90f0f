#!/usr/bin/env python3
"""Decodes every image format the raster encoders write with independent readers.

Builds tests/cpp/test_raster.cpp (unless --bin names a built binary), lets it write its
sample images (`--samples DIR`), then checks each file:

- Pillow opens and fully decodes it; size and mode are right;
- the pixels equal the reference: the raw buffer dump (<kind>.raw) for formats that keep
  the buffer's own indices or colours, the PPM for formats that store colours;
- palette files whose source was true colour decode to close colours (reduced palette);
- pngcheck, tiffinfo and giftext accept the files when the tools are installed.

Run from anywhere:  python3 tests/cpp/check_encoders.py [--bin PATH] [--keep DIR]
Exit status 0 when every check passed.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

from PIL import Image

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
FAILURES = []


def check(cond, what):
    if not cond:
        FAILURES.append(what)
        print("FAIL", what)


def build(out):
    src = sorted(
        os.path.join(ROOT, "src/drivers/raster", f)
        for f in os.listdir(os.path.join(ROOT, "src/drivers/raster"))
        if f.endswith(".cpp")
    )
    cmd = ["g++", "-std=c++20", "-O2", "-I", os.path.join(ROOT, "src"),
           os.path.join(ROOT, "tests/cpp/test_raster.cpp"), *src, "-lz", "-ldeflate", "-o", out]
    subprocess.run(cmd, check=True)


def read_ppm(path):
    """Own PPM parser, so the PPM reference does not depend on the reader under test."""
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1  # exactly one whitespace byte before the samples
    assert fields[0] == b"P6" and fields[3] == b"255", fields
    w, h = int(fields[1]), int(fields[2])
    body = data[pos:]
    assert len(body) == w * h * 3, (len(body), w, h)
    return w, h, body


def rgb_bytes(img):
    return img.convert("RGB").tobytes()


def run_tool(args):
    tool = shutil.which(args[0])
    if not tool:
        return None
    r = subprocess.run(args, capture_output=True, text=True)
    return r.returncode, r.stdout + r.stderr


def mean_abs(a, b):
    return sum(abs(x - y) for x, y in zip(a, b)) / max(len(a), 1)


def check_kind(d, name, w, h, mode):
    base = os.path.join(d, name)
    raw = open(base + ".raw", "rb").read()
    tc = mode == "rgb"
    check(len(raw) == w * h * (4 if tc else 1), f"{name}.raw size")

    # The PPM must be exactly the reference colours, parsed by hand and by Pillow.
    pw, ph, ref = read_ppm(base + ".ppm")
    check((pw, ph) == (w, h), f"{name}.ppm size")
    with Image.open(base + ".ppm") as im:
        im.load()
        check(im.mode == "RGB" and rgb_bytes(im) == ref, f"{name}.ppm pixels (Pillow)")
    if tc:
        check(bytes(b for i, b in enumerate(raw) if i % 4 != 3) == ref, f"{name}.ppm vs raw")

    def opened(path, want_mode, want_size=(w, h)):
        try:
            im = Image.open(path)
            im.load()
        except Exception as e:  # noqa: BLE001 - any decoder failure is a test failure
            check(False, f"{os.path.basename(path)} decodes ({e})")
            return None
        check(im.size == want_size, f"{os.path.basename(path)} size {im.size}")
        check(im.mode == want_mode, f"{os.path.basename(path)} mode {im.mode} != {want_mode}")
        return im

    # PNG: palette indices or RGB identical to the buffer; same colours as the PPM.
    im = opened(base + ".png", "RGB" if tc else "P")
    if im:
        if tc:
            check(im.tobytes() == ref, f"{name}.png pixels == ppm")
        else:
            check(im.tobytes() == raw, f"{name}.png indices == raw")
            check(rgb_bytes(im) == ref, f"{name}.png colours == ppm")
        if name == "tct":
            check("transparency" in im.info, "tct.png carries tRNS")

    # BMP: 8-bit palette or 24-bit.
    im = opened(base + ".bmp", "RGB" if tc else "P")
    if im:
        check(rgb_bytes(im) == ref, f"{name}.bmp colours == ppm")
        if not tc:
            check(im.tobytes() == raw, f"{name}.bmp indices == raw")
        check(abs(im.info.get("dpi", (0, 0))[0] - 63.5) < 0.1, f"{name}.bmp 2500 px/m")

    # TIFF in its three modes.
    im = opened(base + "_rgb.tif", "RGB")
    if im:
        check(im.tobytes() == ref, f"{name}_rgb.tif pixels == ppm")
        check(tuple(round(v) for v in im.info.get("dpi", (0, 0))) == (100, 100),
              f"{name}_rgb.tif resolution")
    im = opened(base + "_pal.tif", "P")
    if im:
        if tc:
            check(mean_abs(rgb_bytes(im), ref) < 8, f"{name}_pal.tif reduced colours close")
        else:
            check(im.tobytes() == raw and rgb_bytes(im) == ref, f"{name}_pal.tif == raw/ppm")
    im = opened(base + "_bil.tif", "1")
    if im:
        want = bytes(255 if ref[3 * i:3 * i + 3] != b"\0\0\0" else 0 for i in range(w * h))
        check(im.convert("L").tobytes() == want, f"{name}_bil.tif white where not black")

    # GIF: indices of indexed buffers, (reduced) colours of true-colour ones.
    im = opened(base + ".gif", "P")
    if im:
        if tc:
            check(mean_abs(rgb_bytes(im), ref) < 8, f"{name}.gif reduced colours close")
        else:
            check(im.tobytes() == raw, f"{name}.gif indices == raw")
            check(rgb_bytes(im) == ref, f"{name}.gif colours == ppm")
        if name == "tct":
            check(im.info.get("transparency") == 0 and im.info.get("version") == b"GIF89a",
                  "tct.gif transparent index 0, GIF89a")

    if tc:
        for suffix in ("_pal.png", "_pal.bmp"):
            im = opened(base + suffix, "P")
            if im:
                check(mean_abs(rgb_bytes(im), ref) < 8, f"{name}{suffix} reduced colours close")

    # External validators.
    r = run_tool(["pngcheck", "-q", base + ".png"])
    if r:
        check(r[0] == 0, f"pngcheck {name}.png: {r[1].strip()}")
    for suffix in ("_pal.tif", "_rgb.tif", "_bil.tif"):
        r = run_tool(["tiffinfo", base + suffix])
        if r:
            check(r[0] == 0 and "Error" not in r[1] and "Warning" not in r[1],
                  f"tiffinfo {name}{suffix}: {r[1].strip()[:300]}")
    r = run_tool(["giftext", base + ".gif"])
    if r:
        check(r[0] == 0 and f"Width = {w}" in r[1].replace(",", ""),
              f"giftext {name}.gif: {r[1].strip()[:300]}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--bin", help="built test_raster binary (default: build it)")
    ap.add_argument("--keep", help="write the samples into this directory and keep them")
    args = ap.parse_args()

    tmp = tempfile.mkdtemp(prefix="tavero_enc_")
    try:
        binary = args.bin
        if not binary:
            binary = os.path.join(tmp, "test_raster")
            build(binary)
        out = args.keep or os.path.join(tmp, "samples")
        os.makedirs(out, exist_ok=True)
        listing = subprocess.run([binary, "--samples", out], check=True, capture_output=True,
                                 text=True).stdout
        kinds = [line.split() for line in listing.splitlines() if line.strip()]
        check(len(kinds) >= 5, "sample kinds written")
        for name, w, h, mode in kinds:
            check_kind(out, name, int(w), int(h), mode)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    if FAILURES:
        print(f"{len(FAILURES)} check(s) failed")
        return 1
    print(f"encoder checks passed ({len(kinds)} image kinds)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
