#!/usr/bin/env python3
"""Generates src/text/fontdata/ps_metrics.cpp: widths of the 35 standard
PostScript fonts.

    python3 tools/fonts/gen_ps_metrics.py

Widths are read from the AFM files of the Debian package fonts-urw-base35,
whose fonts are metric-compatible with the standard 35; only the advance
widths are taken.  Per font there are 256 widths (1/1000 of the font size)
indexed by the code the PostScript driver sends:

* text fonts: the font re-encoded with the "-German" vector, i.e. the
  standard encoding for 32..126 and 187..255, the national letters of the
  vector for 127..186;
* Symbol and ZapfDingbats: their built-in encodings.

Codes without a glyph get width 0.  The ascender is the value the driver uses
to size the font (the Ascender of the Adobe metrics; the URW files leave it 0).
"""
from __future__ import annotations

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from emit import OUT_DIR  # noqa: E402

AFM_DIR = "/usr/share/fonts/type1/urw-base35"

# standard name, URW file, ascender
FONTS = [
    ("Times-Roman", "NimbusRoman-Regular", 683),
    ("Times-Bold", "NimbusRoman-Bold", 676),
    ("Times-Italic", "NimbusRoman-Italic", 683),
    ("Times-BoldItalic", "NimbusRoman-BoldItalic", 699),
    ("Helvetica", "NimbusSans-Regular", 718),
    ("Helvetica-Bold", "NimbusSans-Bold", 718),
    ("Helvetica-Oblique", "NimbusSans-Italic", 718),
    ("Helvetica-BoldOblique", "NimbusSans-BoldItalic", 718),
    ("Helvetica-Narrow", "NimbusSansNarrow-Regular", 718),
    ("Helvetica-Narrow-Bold", "NimbusSansNarrow-Bold", 718),
    ("Helvetica-Narrow-Oblique", "NimbusSansNarrow-Oblique", 718),
    ("Helvetica-Narrow-BoldOblique", "NimbusSansNarrow-BoldOblique", 718),
    ("NewCenturySchlbk-Roman", "C059-Roman", 737),
    ("NewCenturySchlbk-Italic", "C059-Italic", 737),
    ("NewCenturySchlbk-Bold", "C059-Bold", 737),
    ("NewCenturySchlbk-BoldItalic", "C059-BdIta", 737),
    ("ZapfChancery-MediumItalic", "Z003-MediumItalic", 748),
    ("ZapfDingbats", "D050000L", 685),
    ("Courier", "NimbusMonoPS-Regular", 629),
    ("Courier-Bold", "NimbusMonoPS-Bold", 626),
    ("Courier-Oblique", "NimbusMonoPS-Italic", 629),
    ("Courier-BoldOblique", "NimbusMonoPS-BoldItalic", 626),
    ("AvantGarde-Book", "URWGothic-Book", 740),
    ("AvantGarde-Demi", "URWGothic-Demi", 740),
    ("AvantGarde-BookOblique", "URWGothic-BookOblique", 740),
    ("AvantGarde-DemiOblique", "URWGothic-DemiOblique", 740),
    ("Bookman-Light", "URWBookman-Light", 717),
    ("Bookman-LightItalic", "URWBookman-LightItalic", 717),
    ("Bookman-Demi", "URWBookman-Demi", 725),
    ("Bookman-DemiItalic", "URWBookman-DemiItalic", 732),
    ("Palatino-Roman", "P052-Roman", 726),
    ("Palatino-Italic", "P052-Italic", 733),
    ("Palatino-Bold", "P052-Bold", 720),
    ("Palatino-BoldItalic", "P052-BoldItalic", 726),
    ("Symbol", "StandardSymbolsPS", 685),
]

# The "-German" re-encoding: codes 127 and 128..186.
GERMAN_VEC = [
    "Adieresis", "Odieresis", "Udieresis", "adieresis", "odieresis", "udieresis", "germandbls",
    "Aring", "Oslash", "AE", "aring", "oslash", "ae", "Ntilde", "ntilde", "Ccedilla",
    "ccedilla", "Edieresis", "Idieresis", "edieresis", "idieresis", "Aacute", "Eacute",
    "Iacute", "Oacute", "Uacute", "aacute", "eacute", "iacute", "oacute", "uacute", "Agrave",
    "Egrave", "Igrave", "Ograve", "Ugrave", "agrave", "egrave", "igrave", "ograve", "ugrave",
    "Acircumflex", "Ecircumflex", "Icircumflex", "Ocircumflex", "Ucircumflex", "acircumflex",
    "ecircumflex", "icircumflex", "ocircumflex", "ucircumflex", "Atilde", "atilde", "Otilde",
    "otilde", "Yacute", "yacute", "ydieresis", "exclamdown", "questiondown",
]
assert len(GERMAN_VEC) == 60


def read_afm(path):
    by_code, by_name = {}, {}
    in_metrics = False
    with open(path, encoding="latin-1") as f:
        for line in f:
            if line.startswith("StartCharMetrics"):
                in_metrics = True
                continue
            if line.startswith("EndCharMetrics"):
                break
            if not in_metrics:
                continue
            fields = {}
            for item in line.split(";"):
                parts = item.split()
                if len(parts) >= 2:
                    fields[parts[0]] = parts[1]
            code, wx, name = int(fields["C"]), int(float(fields["WX"])), fields.get("N")
            by_name[name] = wx
            if 0 <= code <= 255:
                by_code[code] = (name, wx)
    return by_code, by_name


def widths(urw, builtin):
    by_code, by_name = read_afm(os.path.join(AFM_DIR, urw + ".afm"))
    out = [0] * 256
    for code, (_, wx) in by_code.items():
        if code >= 32:
            out[code] = wx
    if not builtin:
        for i, name in enumerate(GERMAN_VEC):
            out[127 + i] = by_name.get(name, 0)
    return out


def main():
    rows = []
    for name, urw, asc in FONTS:
        w = widths(urw, name in ("Symbol", "ZapfDingbats"))
        lines = []
        for i in range(0, 256, 16):
            lines.append("      " + ",".join(str(v) for v in w[i:i + 16]) + ",")
        rows.append('    {"%s", %d,\n     {\n%s\n     }},\n' % (name, asc, "\n".join(lines)))
    text = (
        "// Generated by tools/fonts/gen_ps_metrics.py -- do not edit.\n"
        "// Advance widths (1/1000 of the font size) of the 35 standard PostScript fonts,\n"
        "// from the metric-compatible URW base 35 AFM files; see README.md.\n\n"
        '#include "text/fontdata/fontdata.h"\n\n'
        "namespace tavero::fontdata::detail {\n\n"
        "extern const PsFontMetrics kPsFonts[];\n"
        "extern const int kPsFontCount;\n\n"
        "const PsFontMetrics kPsFonts[] = {\n%s};\n\n"
        "const int kPsFontCount = %d;\n\n"
        "}  // namespace tavero::fontdata::detail\n" % ("".join(rows), len(FONTS)))
    path = os.path.join(OUT_DIR, "ps_metrics.cpp")
    with open(path, "w") as f:
        f.write(text)
    print("wrote", os.path.relpath(path), os.path.getsize(path), "bytes")


if __name__ == "__main__":
    main()
