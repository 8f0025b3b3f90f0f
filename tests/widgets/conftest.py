"""Fixtures of the widget tests: a private Xvfb server and dialogs running under it."""
import os
import shutil
import subprocess
import time

import pytest

import tavero
from widget_driver import Dialog


@pytest.fixture(scope="session")
def xenv():
    """Environment of a private X server (skips without Xvfb or xdotool)."""
    if not shutil.which("Xvfb") or not shutil.which("xdotool"):
        pytest.skip("Xvfb and xdotool are needed")
    n = next(i for i in range(420, 700) if not os.path.exists(f"/tmp/.X11-unix/X{i}")
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
    yield dict(os.environ, DISPLAY=f":{n}", PYTHONPATH=pkg_root)
    proc.terminate()
    proc.wait(timeout=10)


@pytest.fixture
def dialog(xenv, tmp_path):
    """Starts dialogs; kills any that is still running at the end of the test."""
    started = []

    def start(code):
        d = Dialog(code, xenv, tmp_path)
        started.append(d)
        return d

    yield start
    for d in started:
        d.kill()

