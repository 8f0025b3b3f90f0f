"""Renders every example into one folder, in PDF, PNG and SVG, with an index.html.

Usage: python examples/render_gallery.py [folder]

An example is a module in this folder with a TITLE and a function draw(tv) that draws one plot
between tavini and tavfin; an optional setup(tv) runs before tavini (page, options). Each runs in
a fresh interpreter so that examples never share settings.
"""
import html
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
FORMATS = ("pdf", "png", "svg")

RUNNER = r"""
import runpy, sys, types, tavero as tv
ex = types.SimpleNamespace(**runpy.run_path(sys.argv[1]))
fmt, out = sys.argv[2], sys.argv[3]
tv.metafl(fmt)
tv.setfil(out)
tv.filmod("delete")
tv.scrmod("revers")          # white background in every format, raster images included
if hasattr(ex, "setup"):
    ex.setup(tv)
tv.tavini()
tv.errmod("prot", "off")
ex.draw(tv)
tv.tavfin()
"""


def examples():
    for name in sorted(os.listdir(HERE)):
        if name.endswith(".py") and name != os.path.basename(__file__) and not name.startswith("_"):
            path = os.path.join(HERE, name)
            text = open(path).read()
            if "def draw(" in text:
                yield name[:-3], path, text


def title_of(text, default):
    for line in text.splitlines():
        if line.startswith("TITLE"):
            return line.split("=", 1)[1].strip().strip("\"'")
    return default


def main(argv):
    out = os.path.abspath(argv[1] if len(argv) > 1 else "gallery")
    os.makedirs(out, exist_ok=True)
    rows, failed = [], []
    for name, path, text in examples():
        files = {}
        for fmt in FORMATS:
            target = os.path.join(out, f"{name}.{fmt}")
            proc = subprocess.run([sys.executable, "-c", RUNNER, path, fmt, target],
                                  capture_output=True, text=True)
            warnings = [l for l in proc.stdout.splitlines() if "Warning" in l]
            if proc.returncode != 0 or not os.path.exists(target):
                failed.append(f"{name}.{fmt}: exit {proc.returncode}\n{proc.stdout}{proc.stderr}")
                continue
            files[fmt] = os.path.basename(target)
            if warnings:
                print(f"{name}.{fmt}: " + "; ".join(warnings))
        rows.append((name, title_of(text, name), files))
        print(f"{name}: {', '.join(sorted(files))}")
    with open(os.path.join(out, "index.html"), "w") as f:
        f.write("<!DOCTYPE html>\n<html><head><meta charset='utf-8'><title>tavero gallery</title>"
                "<style>body{font-family:sans-serif;margin:2em}figure{display:inline-block;"
                "margin:1em;vertical-align:top}img{width:560px;border:1px solid #ccc}</style>"
                "</head><body><h1>tavero gallery</h1>\n")
        for name, title, files in rows:
            img = files.get("png") or files.get("svg")
            f.write(f"<figure><figcaption><b>{html.escape(title)}</b> &mdash; ")
            f.write(" ".join(f"<a href='{fn}'>{fmt.upper()}</a>" for fmt, fn in sorted(files.items())))
            f.write("</figcaption>")
            if img:
                f.write(f"<a href='{img}'><img src='{img}' alt='{html.escape(title)}'></a>")
            f.write("</figure>\n")
        f.write("</body></html>\n")
    for msg in failed:
        print("FAILED", msg, file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
