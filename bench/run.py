"""Runs the benchmark workloads with tavero and matplotlib side by side and writes
bench/RESULTS.md.

Usage: python bench/run.py [--rounds 5] [--cases W0,W1_png,...] [--quick]

Every case runs in a fresh process; after one warm-up round per library the rounds rotate
between the libraries so that both see the same machine state. The table gives medians and
the ratio tavero / matplotlib (below 1 means tavero is faster).
"""
import argparse
import datetime
import os
import platform
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CASES = ["W0", "W1_png", "W1_pdf", "W1_svg", "W1_eps", "W1x_png", "W2_png", "W2_pdf",
         "W3_pdf", "W3_png", "W4_png", "W4_pdf", "W8_list", "W8_numpy"]
QUICK = ["W0", "W1_png", "W1_pdf", "W1_svg", "W1_eps", "W2_png", "W2_pdf", "W4_png",
         "W4_pdf", "W8_list", "W8_numpy"]
LIBS = ["tavero", "matplotlib"]


ENV = dict(os.environ, OPENBLAS_NUM_THREADS="1", OMP_NUM_THREADS="1")  # no idle BLAS threads


def run_case(lib, case, out):
    proc = subprocess.run([sys.executable, os.path.join(HERE, "cases.py"), lib, case, out],
                          capture_output=True, text=True, timeout=3600, env=ENV)
    if proc.returncode != 0:
        return None, (proc.stderr or proc.stdout).strip().splitlines()[-1:]
    try:
        return float(proc.stdout.strip().splitlines()[-1]), None
    except (ValueError, IndexError):
        return None, [proc.stdout[-200:]]


def count_vertices(path):
    """Vertices in a vector file: every move and line point (the curve's 1,000,000 and the
    few hundred of the axes and labels)."""
    import re
    data = open(path, "rb").read()
    if path.endswith(".eps"):
        # moves "x y u" and lines "x y d"; the PostScript writer merges consecutive points that
        # fall on the same device position (0.05 mm)
        return len(re.findall(rb"\b[ud]\b", data))
    if path.endswith(".svg"):
        pairs = sum(p.count(b",") for p in re.findall(rb'points="([^"]*)"', data))
        return pairs + 2 * data.count(b"<line ")
    if path.endswith(".pdf"):
        import zlib
        total = 0
        for m in re.finditer(rb"stream\r?\n(.*?)endstream", data, re.S):
            body = m.group(1)
            try:
                body = zlib.decompress(body)
            except zlib.error:
                pass
            total += len(re.findall(rb"(?m) [ml]$", body))
        return total
    return None


def versions():
    out = {}
    for mod in ("tavero", "matplotlib", "numpy"):
        proc = subprocess.run([sys.executable, "-c",
                               f"import {mod}; print(getattr({mod}, '__version__', '') or "
                               f"{mod}.getver())"], capture_output=True, text=True)
        out[mod] = proc.stdout.strip() or "?"
    return out


def cpu_model():
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--rounds", type=int, default=5)
    ap.add_argument("--cases", default="")
    ap.add_argument("--quick", action="store_true", help="skip the 10M and 1000-file cases")
    args = ap.parse_args()
    cases = args.cases.split(",") if args.cases else (QUICK if args.quick else CASES)
    results = {c: {l: [] for l in LIBS} for c in cases}
    errors = {}
    vertex_check = {}
    with tempfile.TemporaryDirectory() as tmp:
        for case in cases:
            for lib in LIBS:                              # warm-up
                _, err = run_case(lib, case, tmp)
                if err:
                    errors[(case, lib)] = err
            for r in range(args.rounds):
                for lib in (LIBS if r % 2 == 0 else LIBS[::-1]):
                    if (case, lib) in errors:
                        continue
                    secs, err = run_case(lib, case, tmp)
                    if secs is not None:
                        results[case][lib].append(secs)
            if case.startswith("W1_") and case[-3:] in ("pdf", "svg", "eps"):
                path = os.path.join(tmp, f"{case}.{case[-3:]}")
                if os.path.exists(path):
                    vertex_check[case] = count_vertices(path)
            med = {l: statistics.median(v) if v else None for l, v in results[case].items()}
            print(case, {l: (f"{m:.4f}" if m else "-") for l, m in med.items()}, flush=True)
    write_results(cases, results, errors, vertex_check)


def write_results(cases, results, errors, vertex_check):
    v = versions()
    lines = ["# Benchmark results", "",
             f"Date: {datetime.date.today().isoformat()}  ",
             f"Machine: {cpu_model()}, {os.cpu_count()} cores, {platform.system()} "
             f"{platform.release()}  ",
             f"Python {platform.python_version()}, tavero {v['tavero']}, matplotlib "
             f"{v['matplotlib']}, numpy {v['numpy']}", "",
             "Medians of in-process seconds (each round a fresh process); ratio = tavero / "
             "matplotlib.", "",
             "| case | tavero (s) | matplotlib (s) | ratio |", "|---|---|---|---|"]
    for case in cases:
        t = results[case]["tavero"]
        m = results[case]["matplotlib"]
        tm = statistics.median(t) if t else None
        mm = statistics.median(m) if m else None
        ratio = f"{tm / mm:.3f}" if tm and mm else "-"
        fmt = lambda x: f"{x:.4f}" if x is not None else "failed"
        lines.append(f"| {case} | {fmt(tm)} | {fmt(mm)} | {ratio} |")
    if vertex_check:
        lines += ["", "Vertices (moves and lines) in tavero's W1 vector files, the curve's "
                  "1,000,000 plus those of the axes and labels: " +
                  ", ".join(f"{c}: {n}" for c, n in vertex_check.items()) +
                  " (EPS merges consecutive points that meet at the same 0.05 mm device "
                  "position, as its path writer does)"]
    if errors:
        lines += ["", "Failures:"] + [f"- {c} {l}: {' '.join(e)}" for (c, l), e in errors.items()]
    notes = os.path.join(HERE, "NOTES.md")
    if os.path.exists(notes):
        lines += ["", open(notes).read().strip()]
    with open(os.path.join(HERE, "RESULTS.md"), "w") as f:
        f.write("\n".join(lines) + "\n")
    print("written", os.path.join(HERE, "RESULTS.md"))


if __name__ == "__main__":
    main()
