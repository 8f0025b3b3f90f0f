"""Every font with every alphabet, at three heights and two angles.

Usage: python examples/fonts.py [folder]   writes fonts.pdf, fonts.png and fonts_raster.png
"""
import os
import sys

TITLE = "Fonts and alphabets"

FONTS = ("tavalf", "complx", "simplx", "duplx", "triplx", "gothic", "helve", "helves", "helvet",
         "serif")
ALPHABETS = ("STAN", "GREE", "MATH", "ITAL", "SCRI", "RUSS")
SAMPLE = "ABCDEFGH abcdefgh 0123"


def setup(tv):
    tv.setpag("DA2P")


def draw(tv):
    w, h = tv.getpag()
    block = (h - 200) // len(FONTS)
    tv.height(40)
    tv.messag("Fonts and alphabets at heights 24, 40 and 64, at 0 and 30 degrees", 100, 40)
    for i, font in enumerate(FONTS):
        y = 140 + i * block
        getattr(tv, font)()
        tv.basalf("STAN")
        tv.color("RED")
        tv.height(40)
        tv.messag(font, 100, y)
        tv.color("FORE")
        x = 500
        for hh in (24, 40, 64):
            tv.height(hh)
            tv.messag("Quick brown fox", x, y + 64 - hh)
            x += tv.nlmess("Quick brown fox") + 60
        tv.height(36)
        for k, alph in enumerate(ALPHABETS):
            tv.basalf(alph)
            col, row = k % 3, k // 3
            tv.messag(SAMPLE, 100 + col * 1350, y + 110 + row * 70)
        tv.basalf("STAN")
        tv.angle(30)
        tv.height(40)
        tv.messag("Angle 30", w - 500, y + 240)
        tv.angle(0)


def render(tv, fmt, path):
    tv.metafl(fmt)
    tv.setfil(path)
    tv.filmod("delete")
    setup(tv)
    tv.tavini()
    if tv.getlev() == 0:
        return False
    tv.errmod("prot", "off")
    draw(tv)
    tv.tavfin()
    return True


if __name__ == "__main__":
    import shutil
    import subprocess
    import tavero

    out = sys.argv[1] if len(sys.argv) > 1 else "."
    os.makedirs(out, exist_ok=True)
    # the raster driver's own image, and a sharper page from the PDF when pdftoppm is there
    render(tavero, "PNG", os.path.join(out, "fonts_raster.png"))
    pdf = os.path.join(out, "fonts.pdf")
    if render(tavero, "PDF", pdf) and shutil.which("pdftoppm"):
        subprocess.run(["pdftoppm", "-r", "100", "-png", "-singlefile", pdf,
                        os.path.join(out, "fonts")], check=False)
