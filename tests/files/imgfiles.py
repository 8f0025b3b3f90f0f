"""Image file writers for variants that Pillow does not write: PNG with chosen filters and
Adam7 interlacing, TIFF with any tags (predictor, tiles, byte order), BMP with RLE8 and
top-down rows, and the ASCII PNM forms."""
import struct
import zlib

# ------------------------------------------------------------------------------------------
# PNG

CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}
ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
         (0, 1, 1, 2)]


def _chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data +
            struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def _pack_row(samples, depth):
    """A row of sample values (flat) packed at the bit depth."""
    if depth == 8:
        return bytes(samples)
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    out, acc, nbits = bytearray(), 0, 0
    for s in samples:
        acc = (acc << depth) | s
        nbits += depth
        if nbits == 8:
            out.append(acc)
            acc, nbits = 0, 0
    if nbits:
        out.append(acc << (8 - nbits))
    return bytes(out)


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c


def _filter(kind, row, prev, bpp):
    out = bytearray(len(row))
    for i, x in enumerate(row):
        a = row[i - bpp] if i >= bpp else 0
        b = prev[i] if prev else 0
        c = prev[i - bpp] if prev and i >= bpp else 0
        pred = [0, a, b, (a + b) // 2, _paeth(a, b, c)][kind]
        out[i] = (x - pred) & 255
    return bytes([kind]) + bytes(out)


def png(pixels, ctype, depth, interlace=False, filters=(0, 1, 2, 3, 4), plte=None, trns=None):
    """pixels: rows of tuples of samples (one tuple per pixel)."""
    h, w = len(pixels), len(pixels[0])
    ch = CHANNELS[ctype]
    bpp = max(1, ch * depth // 8)
    passes = ADAM7 if interlace else [(0, 0, 1, 1)]
    raw, k = bytearray(), 0
    for x0, y0, dx, dy in passes:
        prev = None
        for y in range(y0, h, dy):
            xs = range(x0, w, dx)
            if not len(xs):
                continue
            row = _pack_row([s for x in xs for s in pixels[y][x]], depth)
            raw += _filter(filters[k % len(filters)], row, prev, bpp)
            k += 1
            prev = row
    out = b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, depth, ctype, 0,
                                                             0, int(interlace)))
    if plte:
        out += _chunk(b"PLTE", bytes(c for rgb in plte for c in rgb))
    if trns is not None:
        out += _chunk(b"tRNS", trns)
    comp = zlib.compress(bytes(raw))
    # split the data over several IDAT chunks
    for i in range(0, len(comp), 50):
        out += _chunk(b"IDAT", comp[i:i + 50])
    return out + _chunk(b"IEND", b"")


# ------------------------------------------------------------------------------------------
# TIFF

TYPES = {1: ("B", 1), 3: ("H", 2), 4: ("I", 4), 5: ("II", 8)}


def tiff(width, height, strips, tags, order="<"):
    """strips: the bytes of each strip; tags: {tag: (type, [values])} besides the size and
    strip tags, which are added."""
    tags = dict(tags)
    tags[256] = (4, [width])
    tags[257] = (4, [height])
    tags[279] = (4, [len(s) for s in strips])
    tags[273] = (4, [0] * len(strips))
    head = 8
    n = len(tags)
    ifd_size = 2 + 12 * n + 4
    extra_at = head + ifd_size
    extra = bytearray()
    # values that do not fit into 4 bytes go behind the directory
    layout = {}
    for tag in sorted(tags):
        typ, vals = tags[tag]
        fmt, size = TYPES[typ]
        data = b"".join(struct.pack(order + fmt, *(v if isinstance(v, tuple) else (v,)))
                        for v in vals)
        if len(data) > 4:
            layout[tag] = extra_at + len(extra)
            extra += data
            if len(extra) % 2:
                extra += b"\0"
    data_at = extra_at + len(extra)
    offsets, pos = [], data_at
    for s in strips:
        offsets.append(pos)
        pos += len(s)
    tags[273] = (4, offsets)
    if 273 in layout:
        struct.pack_into(order + "I" * len(offsets), extra, layout[273] - extra_at, *offsets)
    ifd = struct.pack(order + "H", n)
    for tag in sorted(tags):
        typ, vals = tags[tag]
        fmt, size = TYPES[typ]
        data = b"".join(struct.pack(order + fmt, *(v if isinstance(v, tuple) else (v,)))
                        for v in vals)
        field = struct.pack(order + "I", layout[tag]) if tag in layout else data.ljust(4, b"\0")
        ifd += struct.pack(order + "HHI", tag, typ, len(vals)) + field
    ifd += b"\0\0\0\0"
    magic = b"II*\0" if order == "<" else b"MM\0*"
    return magic + struct.pack(order + "I", head) + ifd + bytes(extra) + b"".join(strips)


# ------------------------------------------------------------------------------------------
# BMP

def bmp_rle8(width, height, rows, palette):
    """rows: lists of indices from the top; RLE8 with runs, absolute runs and deltas."""
    body = bytearray()
    for row in reversed(rows):
        x = 0
        while x < width:
            run = 1
            while x + run < width and row[x + run] == row[x] and run < 255:
                run += 1
            if run >= 3:
                body += bytes([run, row[x]])
                x += run
            else:
                n = min(width - x, 3)
                if n == 3:
                    body += bytes([0, n]) + bytes(row[x:x + n]) + (b"\0" if n % 2 else b"")
                else:
                    for v in row[x:x + n]:
                        body += bytes([1, v])
                x += n
        body += b"\0\0"
    body += b"\0\1"
    pal = b"".join(bytes([b, g, r, 0]) for r, g, b in palette)
    off = 14 + 40 + len(pal)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(body), 2835, 2835,
                       len(palette), 0)
    return b"BM" + struct.pack("<IHHI", off + len(body), 0, 0, off) + info + pal + bytes(body)


def bmp_top_down_24(rows):
    """A 24-bit BMP with a negative height (rows stored from the top)."""
    h, w = len(rows), len(rows[0])
    stride = (w * 3 + 3) // 4 * 4
    body = b"".join(b"".join(bytes([b, g, r]) for r, g, b in row).ljust(stride, b"\0")
                    for row in rows)
    info = struct.pack("<IiiHHIIiiII", 40, w, -h, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    return b"BM" + struct.pack("<IHHI", 54 + len(body), 0, 0, 54) + info + body
