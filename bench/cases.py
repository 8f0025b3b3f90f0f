"""One benchmark case in this process: python bench/cases.py LIB CASE OUTDIR

Prints the in-process seconds of the workload (for W0 including the import). The data are the
same seeded arrays for every library; raster output is 853 x 603 pixels, vector output the
default page.
"""
import os
import sys
import time

T0 = time.perf_counter()

LIB, CASE, OUT = sys.argv[1], sys.argv[2], sys.argv[3]


def data(n, seed=1):
    import numpy as np
    rng = np.random.default_rng(seed)
    x = np.linspace(0.0, 100.0, n)
    y = np.cumsum(rng.standard_normal(n))
    return x, y


# ---------------------------------------------------------------- tavero

class _Arr(list):
    """A list with min/max methods, so W0 runs without numpy."""

    def min(self):
        return min(self)

    def max(self):
        return max(self)


def tv_line(tv, fmt, path, x, y, symbols=False):
    tv.metafl(fmt)
    tv.setfil(path)
    tv.filmod("delete")
    tv.tavini()
    tv.errmod("prot", "off")
    # the data range plus 5 % on each side, as the peer does by default: every point lies
    # inside the axis frame (the clipping window sits one plot unit inside the frame)
    xa, xe = float(x.min()), float(x.max())
    ya, ye = float(y.min()), float(y.max())
    mx, my = 0.05 * (xe - xa), 0.05 * (ye - ya)
    xa, xe, ya, ye = xa - mx, xe + mx, ya - my, ye + my
    tv.name("X axis", "x")
    tv.name("Y axis", "y")
    tv.graf(xa, xe, xa, (xe - xa) / 5, ya, ye, ya, (ye - ya) / 5)
    if symbols:
        tv.incmrk(-1)
        tv.marker(21)
        tv.hsymbl(8)
    tv.curve(x, y, len(x))
    tv.endgrf()
    tv.tavfin()


def run_tavero(case, out):
    t_import = time.perf_counter()
    import tavero as tv
    if case == "W0":
        import math
        x = [i * 0.1 for i in range(100)]           # tavero needs no numpy
        y = [math.sin(v) for v in x]
        tv_line(tv, "png", os.path.join(out, "w0.png"), _Arr(x), _Arr(y))
        return time.perf_counter() - t_import
    fmt_of = {"png": "png", "pdf": "pdf", "svg": "svg", "eps": "eps"}
    if case.startswith("W1") or case.startswith("W2") or case.startswith("W4"):
        kind, fmt = case.split("_")
        n = {"W1": 1_000_000, "W1x": 10_000_000, "W2": 10_000, "W4": 100_000}[kind]
        x, y = data(n)
        if kind == "W4":
            import numpy as np
            y = np.random.default_rng(2).standard_normal(n)
        t = time.perf_counter()
        tv_line(tv, fmt_of[fmt], os.path.join(out, f"{case}.{fmt}"), x, y, symbols=kind == "W4")
        return time.perf_counter() - t
    if case.startswith("W3"):
        fmt = case.split("_")[1]
        x, y = data(100)
        t = time.perf_counter()
        for i in range(1000):
            tv_line(tv, fmt, os.path.join(out, f"w3_{i}.{fmt}"), x, y)
        return time.perf_counter() - t
    if case.startswith("W8"):
        import numpy as np
        src = case.split("_")[1]
        x, y = data(1_000_000)
        xs = x.tolist() if src == "list" else x
        tv.unit(0)
        t = time.perf_counter()
        tv.setscl(xs, len(x), "x")   # level 0: one array converted, then refused by the level check
        return time.perf_counter() - t
    raise SystemExit(f"unknown case {case}")


# ---------------------------------------------------------------- matplotlib

def mpl_line(plt, fmt, path, x, y, symbols=False):
    fig = plt.figure(figsize=(8.53, 6.03), dpi=100)
    ax = fig.add_subplot(1, 1, 1)
    if symbols:
        ax.plot(x, y, "o", markersize=3)
    else:
        ax.plot(x, y, "-", linewidth=1)
    ax.set_xlabel("X axis")
    ax.set_ylabel("Y axis")
    fig.savefig(path, format=fmt, dpi=100)
    plt.close(fig)


def run_mpl(case, out):
    t_import = time.perf_counter()
    import matplotlib
    matplotlib.use("Agg")
    matplotlib.rcParams["path.simplify"] = False
    matplotlib.rcParams["agg.path.chunksize"] = 0
    import matplotlib.pyplot as plt
    if case == "W0":
        x, y = data(100)
        mpl_line(plt, "png", os.path.join(out, "w0_mpl.png"), x, y)
        return time.perf_counter() - t_import
    if case.startswith(("W1", "W2", "W4")):
        kind, fmt = case.split("_")
        n = {"W1": 1_000_000, "W1x": 10_000_000, "W2": 10_000, "W4": 100_000}[kind]
        x, y = data(n)
        if kind == "W4":
            import numpy as np
            y = np.random.default_rng(2).standard_normal(n)
        t = time.perf_counter()
        mpl_line(plt, fmt, os.path.join(out, f"{case}_mpl.{fmt}"), x, y, symbols=kind == "W4")
        return time.perf_counter() - t
    if case.startswith("W3"):
        fmt = case.split("_")[1]
        x, y = data(100)
        t = time.perf_counter()
        for i in range(1000):
            mpl_line(plt, fmt, os.path.join(out, f"w3_{i}_mpl.{fmt}"), x, y)
        return time.perf_counter() - t
    if case.startswith("W8"):
        import numpy as np
        src = case.split("_")[1]
        x, _ = data(1_000_000)
        xs = x.tolist() if src == "list" else x
        t = time.perf_counter()
        np.array(xs, dtype=float)
        return time.perf_counter() - t
    raise SystemExit(f"unknown case {case}")


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    runner = run_tavero if LIB == "tavero" else run_mpl
    secs = runner(CASE, OUT)
    print(f"{secs:.6f}")
