"""A small FITS writer for the tests: headers of 80-column cards in 2880-byte blocks, data
arrays big-endian, each padded to whole blocks."""
import numpy as np

BLOCK = 2880
DTYPES = {8: ">u1", 16: ">i2", 32: ">i4", 64: ">i8", -32: ">f4", -64: ">f8"}


def card(key, value=None, comment=None):
    """One card: a keyword, '= ' and a value formatted as FITS writes it."""
    if value is None:
        text = f"{key:<8}"
    else:
        if isinstance(value, bool):
            v = f"{'T' if value else 'F':>20}"
        elif isinstance(value, (int, np.integer)):
            v = f"{value:>20}"
        elif isinstance(value, float):
            v = f"{value:>20.10G}"
        else:
            v = "'" + str(value).replace("'", "''") + "'"
            v = f"{v:<20}"
        text = f"{key:<8}= {v}"
    if comment:
        text += " / " + comment
    assert len(text) <= 80, text
    return f"{text:<80}"


def raw(text):
    """A card exactly as given, padded to 80 columns."""
    assert len(text) <= 80
    return f"{text:<80}"


def header(cards):
    """Cards plus END, padded with blank cards to whole blocks."""
    body = "".join(cards) + raw("END")
    body += " " * (-len(body) % BLOCK)
    return body.encode("ascii")


def image_hdu(data, extension=False, extra=()):
    """Header and padded data of an image HDU for a numpy array (C order: the last axis is
    NAXIS1)."""
    bitpix = {np.dtype(v): k for k, v in DTYPES.items()}[data.dtype.newbyteorder(">")]
    cards = [card("XTENSION", "IMAGE") if extension else card("SIMPLE", True),
             card("BITPIX", bitpix), card("NAXIS", data.ndim)]
    cards += [card(f"NAXIS{i + 1}", n) for i, n in enumerate(reversed(data.shape))]
    if extension:
        cards += [card("PCOUNT", 0), card("GCOUNT", 1)]
    cards += list(extra)
    raw_data = data.astype(data.dtype.newbyteorder(">")).tobytes()
    return header(cards) + pad(raw_data)


def pad(data):
    return data + b"\0" * (-len(data) % BLOCK)


def empty_primary(extra=()):
    return header([card("SIMPLE", True), card("BITPIX", 8), card("NAXIS", 0),
                   card("EXTEND", True), *extra])


def table_hdu(kind, nbytes_row, nrows):
    """A BINTABLE or TABLE extension of nrows rows of zero bytes."""
    cards = [card("XTENSION", kind), card("BITPIX", 8), card("NAXIS", 2),
             card("NAXIS1", nbytes_row), card("NAXIS2", nrows), card("PCOUNT", 0),
             card("GCOUNT", 1), card("TFIELDS", 1)]
    return header(cards) + pad(bytes(range(256)) * (nbytes_row * nrows // 256) +
                               bytes(nbytes_row * nrows % 256))
