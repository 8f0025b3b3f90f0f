"""Screen windows on X11, run under a private Xvfb server.

The windows are read back with xwd (the X server's own dump) and compared with the PNG of the
same plot, which the same raster engine draws. Waiting, titles and cursor input are driven
with xdotool when it is installed."""
import math
import os
import shutil
import struct
import subprocess
import sys
import textwrap
import time

import pytest

import tavero

pytestmark = pytest.mark.skipif(not shutil.which("Xvfb"), reason="Xvfb not installed")

needs_xdotool = pytest.mark.skipif(not shutil.which("xdotool"), reason="xdotool not installed")


@pytest.fixture(scope="module")
def xenv():
    """A private X server; yields the environment that points to it."""
    n = next(i for i in range(140, 400) if not os.path.exists(f"/tmp/.X11-unix/X{i}")
             and not os.path.exists(f"/tmp/.X{i}-lock"))
    proc = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(200):
        if os.path.exists(f"/tmp/.X11-unix/X{n}"):
            break
        time.sleep(0.05)
    else:
        proc.kill()
        pytest.skip("Xvfb did not start")
    pkg_root = os.path.dirname(os.path.dirname(os.path.abspath(tavero.__file__)))
    env = dict(os.environ, DISPLAY=f":{n}", PYTHONPATH=pkg_root)
    yield env
    proc.terminate()
    proc.wait(timeout=10)


def spawn(code, env, cwd):
    return subprocess.Popen([sys.executable, "-u", "-c", textwrap.dedent(code)], cwd=cwd, env=env,
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True)


def line_with(p, word):
    """The next output line of p that starts with word (warnings and protocols skipped)."""
    seen = []
    for line in p.stdout:
        if line.startswith(word):
            return line
        seen.append(line)
    raise AssertionError(f"no line {word!r} in output:\n" + "".join(seen))


def find_window(env, name, timeout=20):
    """Id of the window whose title is exactly `name`, or None."""
    if not shutil.which("xwininfo"):
        pytest.skip("xwininfo not installed")
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        out = subprocess.run(["xwininfo", "-root", "-tree"], env=env, capture_output=True,
                             text=True).stdout
        for line in out.splitlines():
            if f'"{name}"' in line:
                return int(line.split()[0], 16)
        time.sleep(0.1)
    return None


def xwd_rgb(env, xid):
    """The window's pixels as rows of (r, g, b), read from an xwd dump."""
    if not shutil.which("xwd"):
        pytest.skip("xwd not installed")
    raw = subprocess.run(["xwd", "-silent", "-id", str(xid)], env=env, capture_output=True,
                         check=True).stdout
    f = struct.unpack_from(">25I", raw)
    header, width, height, byte_order = f[0], f[4], f[5], f[7]
    bpp, bpl, masks, ncolors = f[11], f[12], f[14:17], f[19]
    assert bpp == 32
    data = raw[header + 12 * ncolors:]
    order = "little" if byte_order == 0 else "big"

    def channel(v, m):
        shift = (m & -m).bit_length() - 1
        return (v & m) >> shift
    rows = []
    for y in range(height):
        row = data[y * bpl:y * bpl + 4 * width]
        rows.append([tuple(channel(int.from_bytes(row[4 * x:4 * x + 4], order), m) for m in masks)
                     for x in range(width)])
    return rows


DRAWING = """
    t.recfll(500, 500, 1000, 600, 0x010000FF)
    t.setrgb(0, 0, 1)
    t.shdpat(16)
    t.areaf([2000, 2800, 2400], [300, 300, 1500], 3)
    t.setrgb(0, 0.6, 0)
    t.linwid(30)
    t.line(100, 1900, 2800, 1900)
    t.linwid(1)
    t.color("FORE")
    t.strtpt(100, 1000)
    for i in range(1, 250):
        t.connpt(100 + i * 10, 1000 + 400 * math.sin(i / 20))
"""


def test_without_a_display_tavini_fails_cleanly(run_py):
    out = run_py("""
        import tavero as t
        t.metafl("XWIN")
        t.tavini()
        print("level", t.getlev(), t.getdsp())
        t.line(0, 0, 10, 10)
        t.opnwin(2)
        t.sendbf(); t.doevnt()
    """, env={"DISPLAY": ""})
    assert "Window cannot be created: no X display in tavini!" in out
    assert "level 0 NONE" in out
    assert "Incorrect level in line!" in out and "Incorrect level in opnwin!" in out


@pytest.mark.parametrize("store", ["AUTO", "NOST"])
def test_window_shows_the_plot_exactly_as_the_png(xenv, tmp_path, store):
    code = f"""
        import math, tavero as t
        t.x11mod("{store}")
        for dev in ("PNG", "XWIN"):
            t.metafl(dev)
            t.setfil("same.png")
            t.window(10, 20, 600, 400)
            t.winmod("NONE")
            t.tavini()
            {textwrap.indent(textwrap.dedent(DRAWING), " " * 12).strip()}
            if dev == "XWIN":
                print("xid", t.getxid("WIND"), t.getwin(), t.getbpp(), flush=True)
            t.tavfin()
        print("shown", flush=True)
        input()
    """
    p = spawn(code, xenv, tmp_path)
    try:
        line = line_with(p, "xid")
        xid = int(line.split()[1])
        assert "(10, 20, 600, 400) 24" in line
        line_with(p, "shown")
        got = xwd_rgb(xenv, xid)
    finally:
        p.communicate("\n", timeout=30)
    from PIL import Image
    png = Image.open(tmp_path / "same.png").convert("RGB")
    assert png.size == (600, 400) and (len(got[0]), len(got)) == png.size
    diff = [(x, y) for y in range(400) for x in range(600) if got[y][x] != png.getpixel((x, y))]
    assert not diff, f"{len(diff)} pixels differ, first {diff[:5]}"
    s = min(599 / 2969, 399 / 2099)
    assert got[int(800 * s)][int(1000 * s)] == (255, 0, 0)
    assert got[int(700 * s)][int(2400 * s)] == (0, 0, 255)


def test_windows_open_select_hide_and_close(xenv, run_py):
    out = run_py("""
        import tavero as t
        t.metafl("XWI3")
        t.winmod("NOHOLD")
        t.tavini()
        print("main", t.winid())
        t.opnwin(3)
        t.opnwin(2)
        print("current", t.winid())
        t.opnwin(2)
        t.selwin(5)
        t.clswin(3)
        t.line(10, 10, 500, 500)
        t.wintit("second window")
        t.hidwin(2, "HIDE"); t.hidwin(2, "SHOW")
        t.selwin(3)
        print("back", t.winid())
        t.clswin(2)
        t.clswin(2)
        print("after", t.winid())
        t.winupd(); t.sendbf(); t.doevnt()
        t.tavfin()
        t.metafl("PNG"); t.tavini()
        t.opnwin(2); t.wintit("x"); print("png", t.winid())
        t.tavfin()
    """, env=xenv)
    assert "main 3" in out and "current 2" in out and "back 3" in out and "after 3" in out
    assert "Warning 133: Window 2 is already open in opnwin!" in out
    assert "Warning 135: Window 5 is not open in selwin!" in out
    assert "Warning 134: The Main Window 3 cannot be closed in clswin!" in out
    assert "Warning 135: Window 2 is not open in clswin!" in out
    for r in ("opnwin", "wintit", "winid"):
        assert f"Warning 56: Incorrect file format in {r}!" in out
    assert "png 0" in out


def test_sendmb_from_another_thread_ends_the_wait(xenv, run_py):
    out = run_py("""
        import threading, time, tavero as t
        t.unit(0)
        t.metafl("XWIN"); t.tavini()
        t.line(0, 0, 100, 100)
        threading.Timer(0.5, t.sendmb).start()
        t.tavfin()
        print("returned", t.getlev())
    """, env=xenv)
    assert "returned 0" in out


@needs_xdotool
def test_delay_title_and_no_mouse_escape_wait(xenv, tmp_path):
    p = spawn("""
        import tavero as t
        t.unit(0)
        t.metafl("XWIN"); t.winmod("DELA"); t.winopt(2, "DELA"); t.tavini()
        t.line(0, 0, 100, 100)
        t.tavfin()
        t.winmod("NOMB"); t.winkey("ESCAPE"); t.tavini()
        t.tavfin()
        print("done", flush=True)
    """, xenv, tmp_path)
    try:
        assert find_window(xenv, "TAVERO 1 / Delay time 2 seconds")
        wid = find_window(xenv, "TAVERO 1 / Press ESC to continue ...")
        assert wid
        # the middle button does not count with "NOMB", and neither does RETURN
        subprocess.run(["xdotool", "mousemove", "--window", str(wid), "40", "40", "click", "2",
                        "key", "--window", str(wid), "Return"], env=xenv, check=True)
        time.sleep(1.0)
        assert p.poll() is None
        # (xdotool's key release then finds the window gone: its status does not count)
        subprocess.run(["xdotool", "key", "--window", str(wid), "Escape"], env=xenv,
                       capture_output=True)
        out, _ = p.communicate(timeout=20)
        assert "done" in out
    finally:
        if p.poll() is None:
            p.kill()


@needs_xdotool
def test_cursor_point_line_and_key(xenv, tmp_path):
    p = spawn("""
        import tavero as t
        t.unit(0)
        t.metafl("XWIN"); t.window(0, 0, 600, 400); t.winmod("NOHO"); t.tavini()
        print("ready", t.getxid("WIND"), flush=True)
        print("pt1", *t.csrpt1(), flush=True)
        print("lin", *t.csrlin(), flush=True)
        t.csruni("PIXEL")
        print("key", t.csrkey(), *t.csrpt1(), flush=True)
        t.tavfin()
    """, xenv, tmp_path)
    try:
        wid = int(line_with(p, "ready").split()[1])
        xdo = ["xdotool"]

        def run(*args):
            subprocess.run(xdo + [str(a) for a in args], env=xenv, check=True)
        s = min(599 / 2969, 399 / 2099)
        run("mousemove", "--window", wid, 300, 200, "click", 1)
        assert line_with(p, "pt1").split() == ["pt1", str(round(300 / s)), str(round(200 / s))]
        run("mousemove", "--window", wid, 100, 50, "mousedown", 1)
        run("mousemove", "--window", wid, 150, 80)
        run("mousemove", "--window", wid, 200, 150, "mouseup", 1)
        got = [int(v) for v in line_with(p, "lin").split()[1:]]
        assert got == [round(100 / s), round(50 / s), round(200 / s), round(150 / s)]
        run("key", "--window", wid, "q")
        run("mousemove", "--window", wid, 30, 40, "click", 3)
        assert line_with(p, "key").split() == ["key", str(ord("q")), "30", "40"]
        p.communicate(timeout=20)
    finally:
        if p.poll() is None:
            p.kill()


def test_cursor_routines_need_a_screen(tv, capfd):
    tv.metafl("PNG")
    tv.setfil("c.png")
    tv.tavini()
    assert tv.csrpt1() == (0, 0)
    assert tv.csrkey() == 0
    assert "Warning 161: Bad output device in csrpt1!" in capfd.readouterr().out


def test_screen_settings_are_checked(tv, capfd):
    tv.window(-1, 0, 100, 100)
    tv.winsiz(0, 100)
    tv.winopt(-3, "DELA")
    tv.winmod("WAIT")
    tv.x11mod("XXXX")
    out = capfd.readouterr().out
    assert out.count("Incorrect parameter") == 5


@needs_xdotool
def test_page_change_wait_and_scrolled_page(xenv, tmp_path):
    """A page larger than the window (pagwin) shows its top left part and scrolls with the
    arrow keys while the library waits; newpag waits for the middle button."""
    p = spawn(f"""
        import math, tavero as t
        for dev in ("PNG", "XWIN"):
            t.metafl(dev)
            t.setfil("big.png")
            if dev == "PNG":
                t.winsiz(1200, 800)
            else:
                t.window(0, 0, 600, 400)
                t.pagwin(1200, 800)
            t.tavini()
            {textwrap.indent(textwrap.dedent(DRAWING), " " * 12).strip()}
            if dev == "XWIN":
                print("xid", t.getxid("WIND"), flush=True)
                t.newpag()
                print("page 2", flush=True)
                t.line(0, 0, 2969, 2099)
            t.tavfin()
        print("done", flush=True)
    """, xenv, tmp_path)
    try:
        wid = int(line_with(p, "xid").split()[1])
        assert find_window(xenv, "TAVERO 1 / Click MB2 for next page ...")
        from PIL import Image
        big = Image.open(tmp_path / "big.png").convert("RGB")
        got = xwd_rgb(xenv, wid)
        assert all(got[y][x] == big.getpixel((x, y)) for y in range(0, 400, 7)
                   for x in range(0, 600, 7))
        subprocess.run(["xdotool", "mousemove", "--window", str(wid), "50", "50", "click", "2"],
                       env=xenv, check=True)
        line_with(p, "page 2")
        assert find_window(xenv, "TAVERO 1 / Click MB2 to continue ...")
        subprocess.run(["xdotool", "key", "--window", str(wid), "Right", "Down"], env=xenv,
                       check=True)
        time.sleep(0.5)
        got = xwd_rgb(xenv, wid)
        # the second page: black, with one diagonal line; scrolled by 32 pixels both ways
        on_line = [(x, y) for y in range(400) for x in range(600) if got[y][x] != (0, 0, 0)]
        assert on_line
        for x, y in on_line[::25]:
            px, py = x + 32, y + 32
            assert abs(py - px * 2099 / 2969) <= 3
        subprocess.run(["xdotool", "click", "2"], env=xenv, check=True)
        out, _ = p.communicate(timeout=20)
        assert "done" in out
    finally:
        if p.poll() is None:
            p.kill()


def test_drawing_into_a_window_of_the_caller(xenv, tmp_path):
    """setxid: the plot goes into a window that another part of the program made; a wrong
    id is reported, never fatal."""
    p = spawn(f"""
        import ctypes, math, tavero as t
        x = ctypes.cdll.LoadLibrary("libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XCreateSimpleWindow.restype = ctypes.c_ulong
        x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \\
            [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
        x.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        d = x.XOpenDisplay(None)
        w = x.XCreateSimpleWindow(d, x.XDefaultRootWindow(d), 5, 5, 300, 200, 0, 0, 0)
        x.XMapWindow(d, w)
        x.XSync(d, 0)
        t.setxid(123456789, "WIND")
        t.metafl("XWIN"); t.tavini()
        print("bad id level", t.getlev(), flush=True)
        for dev in ("PNG", "XWIN"):
            t.metafl(dev); t.setfil("own.png"); t.winsiz(300, 200)
            t.setxid(w, "WIND"); t.winmod("NONE"); t.tavini()
            {textwrap.indent(textwrap.dedent(DRAWING), " " * 12).strip()}
            t.tavfin()
        print("xid", w, flush=True)
        input()
    """, xenv, tmp_path)
    try:
        assert line_with(p, " <<<< Warning 40: Window cannot be created: bad X window id")
        assert line_with(p, "bad id level").split()[-1] == "0"
        xid = int(line_with(p, "xid").split()[1])
        got = xwd_rgb(xenv, xid)
    finally:
        p.communicate("\n", timeout=30)
    from PIL import Image
    png = Image.open(tmp_path / "own.png").convert("RGB")
    assert all(got[y][x] == png.getpixel((x, y)) for y in range(200) for x in range(300))
