"""Character layout of the alphabets (code -> Unicode), shared by all generators.

Codes 32..126 are ASCII in STAN, ITAL and SCRI.  Codes 127..186 of STAN follow
the re-encoding vector that the PostScript driver installs (the "-German"
fonts), so stroke fonts and PostScript fonts agree on every national code.
Codes 187..264 exist only in the large STAN alphabet of font 3.
"""

# 127..186: same order as the PostScript re-encoding vector.
STAN_NATIONAL = (
    "ÄÖÜäöüß"          # 127..133
    "ÅØÆåøæ"           # 134..139
    "ÑñÇçËÏëï"         # 140..147
    "ÁÉÍÓÚáéíóú"       # 148..157
    "ÀÈÌÒÙàèìòù"       # 158..167
    "ÂÊÎÔÛâêîôû"       # 168..177
    "ÃãÕõÝýÿ"          # 178..184
    "¡¿"               # 185..186
)

# 187..262: the rest of Latin-1 (from 191 on) and the letters of Latin-2 and
# Latin-3 in their code-page order; Đ shares Ð's glyph.  The Esperanto
# letters Ĥ ĥ Ĵ ĵ and all Latin-1 signs below 191 are not part of the set.
STAN_EXTENDED = (
    "Ð×Þð÷þ"                                               # 187..192
    "ĄŁĽŚŠŞŤŹŽŻąłľśšşťźžżŔĂĹĆČĘĚĎŃŇŐŘŮŰŢŕăĺćčęěďđńňőřůűţ"   # 193..243
    "ĦİĞħığĊĈĠĜŬŜċĉġĝŭŝ"                                   # 244..261
    "°"                                                    # 262
    "€©"                                                   # 263..264
)

ASCII = "".join(chr(c) for c in range(32, 127))


def stan_layout(n_chars):
    """Unicode string of a STAN alphabet with n_chars codes (32..31+n)."""
    full = ASCII + STAN_NATIONAL + STAN_EXTENDED
    assert len(full) == 233, len(full)
    return full[:n_chars]


# GREE: Greek letters on the Latin letters (the usual Symbol-font order),
# variants on J V j v, accented letters of the monotonic orthography after.
GREE_ASCII = (
    ASCII[:33]                       # 32..64 punctuation and digits
    + "ΑΒΧΔΕΦΓΗΙϑΚΛΜΝΟΠΘΡΣΤΥςΩΞΨΖ"   # A..Z
    + "[\\]^_`"
    + "αβχδεφγηιϕκλμνοπθρστυϖωξψζ"   # a..z
    + "{|}~"
)
GREE_EXTRA = "ΆΈΉΊΌΎΏάέήίόύώΪΫϊϋΐΰ·"  # 127..147


def gree_layout(n_chars):
    full = GREE_ASCII + GREE_EXTRA
    assert len(full) == 116
    return full[:n_chars]


# RUSS: the 7-bit KOI layout (letters by sound on the Latin keys, upper case
# on @..^, lower case on `..~), with Ъ on _, and ъ Ё ё on # $ %.
RUSS_LAYOUT = (
    " !\"ъЁё&'()*+,-./0123456789:;<=>?"
    "ЮАБЦДЕФГХИЙКЛМНОПЯРСТУЖВЬЫЗШЭЩЧЪ"
    "юабцдефгхийклмнопярстужвьызшэщч"
)
assert len(RUSS_LAYOUT) == 95


def scri_layout(n_chars):
    return stan_layout(n_chars)
