"""Driving dialogs of the widget tests.

A dialog runs in its own interpreter; it prints "XID name id" for the widgets the test
wants to reach, then "READY", and callbacks print lines of their own. The test moves the
pointer and types with xdotool and reads those lines. Every wait has a deadline."""
import os
import queue
import shutil
import subprocess
import sys
import textwrap
import threading
import time

import pytest

import tavero

# Tests of callbacks need the library's registration routines (not generated placeholders).
needs_callbacks = pytest.mark.skipif(
    bool({"swgcbk", "swgcb", "swgcb2", "swgcb3", "wincbk"} & set(tavero._pending)),
    reason="widget callbacks are not registered by this build")


PRELUDE = """
import sys, tavero as t
def show(**ids):
    for k, v in ids.items():
        print("XID", k, v, t.gwgxid(v), flush=True)
    print("READY", flush=True)
"""


class Dialog:
    """A dialog script running under the private server."""

    def __init__(self, code, env, cwd):
        self.env = env
        self.proc = subprocess.Popen(
            [sys.executable, "-u", "-c", PRELUDE + textwrap.dedent(code)], cwd=cwd, env=env,
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()
        self.xid, self.id = {}, {}
        try:
            while True:
                line = self.next_line(20)
                if line == "READY":
                    break
                if line.startswith("XID "):
                    _, name, wid, xid = line.split()
                    self.id[name], self.xid[name] = int(wid), int(xid)
        except AssertionError:
            self.kill()
            raise

    def _read(self):
        for line in self.proc.stdout:
            self.lines.put(line.rstrip("\n"))
        self.lines.put(None)

    def next_line(self, timeout=10):
        try:
            line = self.lines.get(timeout=timeout)
        except queue.Empty:
            raise AssertionError("no output within %ss; seen:\n%s" % (timeout, "\n".join(self.seen)))
        if line is None:
            raise AssertionError("dialog ended; output:\n" + "\n".join(self.seen))
        self.seen.append(line)
        return line

    def expect(self, prefix, timeout=10):
        """The next line that starts with prefix (others are skipped)."""
        end = time.monotonic() + timeout
        while True:
            line = self.next_line(max(0.1, end - time.monotonic()))
            if line.startswith(prefix):
                return line

    def xdo(self, *args):
        self.xdo_result(*args).check_returncode()

    def xdo_result(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, timeout=20,
                              capture_output=True)

    def find(self, title, timeout=10):
        """Id of the newest window with this exact title (dialogs, popups)."""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            r = subprocess.run(["xdotool", "search", "--name", f"^{title}$"], env=self.env,
                               capture_output=True, text=True, timeout=20)
            ids = [int(x) for x in r.stdout.split()]
            if ids:
                return max(ids)
            time.sleep(0.1)
        raise AssertionError(f"no window {title!r}; output:\n" + "\n".join(self.seen))

    def click(self, name, x=5, y=5, button=1, repeat=1):
        xid = name if isinstance(name, int) else self.xid[name]
        self.xdo("mousemove", "--window", xid, x, y, "click", "--repeat", repeat, "--delay", 60,
                 button)

    def type(self, text):
        self.xdo("type", "--delay", 30, text)

    def key(self, *keys):
        self.xdo("key", "--delay", 30, *keys)

    def finish(self, timeout=20):
        """Waits for the end of the script; its whole output."""
        try:
            self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
            raise AssertionError("dialog did not end; output:\n" + "\n".join(self.seen))
        while True:
            try:
                line = self.lines.get(timeout=5)
            except queue.Empty:
                break
            if line is None:
                break
            self.seen.append(line)
        return "\n".join(self.seen)

    def close_window(self, name):
        """Asks the window to close, as the close button of a window frame does."""
        send_delete_window(self.env["DISPLAY"], self.xid[name])

    def pixels(self, name):
        """The window's pixels as a Pillow image (RGB)."""
        from PIL import Image
        import io
        xwd = subprocess.run(["xwd", "-silent", "-id", str(self.xid[name])], env=self.env,
                             capture_output=True, check=True, timeout=20).stdout
        png = subprocess.run(["convert", "xwd:-", "png:-"], input=xwd, capture_output=True,
                             check=True, timeout=20).stdout
        return Image.open(io.BytesIO(png)).convert("RGB")

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def send_delete_window(display, xid):
    """Sends WM_DELETE_WINDOW to a window (what a window manager does on its close button)."""
    import ctypes
    import ctypes.util
    x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11"))
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                    ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                    ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 24)]
    dpy = x.XOpenDisplay(display.encode())
    ev = ClientMessage()
    ev.type = 33   # ClientMessage
    ev.window = xid
    ev.message_type = x.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    ev.format = 32
    ev.data[0] = x.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                             ctypes.c_void_p]
    x.XSendEvent(dpy, xid, 0, 0, ctypes.byref(ev))
    x.XFlush.argtypes = x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x.XFlush(dpy)
    x.XCloseDisplay(dpy)
