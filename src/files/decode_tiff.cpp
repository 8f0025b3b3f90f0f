// TIFF reader: the first image of the file, in strips; both byte orders; no compression,
// LZW, PackBits and Deflate, with the horizontal predictor; bilevel, grey, palette and RGB
// images of 1 to 16 bits per sample, with an extra alpha sample. Tiles, separate planes and
// other photometric interpretations are reported as unsupported features.
#include <algorithm>
#include <cstring>
#include <vector>

#include "files/image_decode.h"

namespace tavero {

namespace {

struct Tiff {
  const uint8_t* p;
  size_t n;
  bool le;
  uint16_t u16(size_t o) const {
    return le ? uint16_t(p[o] | (p[o + 1] << 8)) : uint16_t((p[o] << 8) | p[o + 1]);
  }
  uint32_t u32(size_t o) const {
    return le ? (p[o] | (uint32_t(p[o + 1]) << 8) | (uint32_t(p[o + 2]) << 16) | (uint32_t(p[o + 3]) << 24))
              : ((uint32_t(p[o]) << 24) | (uint32_t(p[o + 1]) << 16) | (uint32_t(p[o + 2]) << 8) | p[o + 3]);
  }
};

struct Entry {
  uint16_t tag = 0, type = 0;
  uint32_t count = 0;
  size_t field = 0;  // offset of the entry's value field
};

// The values of an entry (BYTE, SHORT or LONG); false when they lie outside the file.
bool values_of(const Tiff& t, const Entry& e, std::vector<uint32_t>& out) {
  int size;
  switch (e.type) {
    case 1: size = 1; break;
    case 3: size = 2; break;
    case 4: size = 4; break;
    default: return false;
  }
  const unsigned long long bytes = static_cast<unsigned long long>(e.count) * size;
  size_t at = e.field;
  if (bytes > 4) {
    at = t.u32(e.field);
    if (at > t.n || bytes > t.n - at) return false;
  }
  out.resize(e.count);
  for (uint32_t i = 0; i < e.count; ++i) {
    size_t o = at + size_t(i) * size;
    out[i] = size == 1 ? t.p[o] : size == 2 ? t.u16(o) : t.u32(o);
  }
  return true;
}

// Decoders of one strip into dst (exactly `need` bytes wanted); they return the bytes made.
size_t packbits(const uint8_t* s, size_t n, uint8_t* dst, size_t need) {
  size_t i = 0, o = 0;
  while (i < n && o < need) {
    const int c = static_cast<int8_t>(s[i++]);
    if (c >= 0) {
      size_t k = std::min<size_t>(size_t(c) + 1, std::min(n - i, need - o));
      std::memcpy(dst + o, s + i, k);
      i += size_t(c) + 1;
      o += k;
    } else if (c != -128) {
      if (i >= n) break;
      size_t k = std::min<size_t>(size_t(1 - c), need - o);
      std::memset(dst + o, s[i++], k);
      o += k;
    }
  }
  return o;
}

size_t lzw(const uint8_t* s, size_t n, uint8_t* dst, size_t need) {
  uint16_t prefix[4096];
  uint8_t suffix[4096];
  uint8_t stack[4097];
  for (int i = 0; i < 256; ++i) suffix[i] = static_cast<uint8_t>(i);
  int width = 9, next = 258, old = -1;
  uint8_t first = 0;
  uint32_t acc = 0;
  int nbits = 0;
  size_t i = 0, o = 0;
  while (o < need) {
    while (nbits < width && i < n) {
      acc = (acc << 8) | s[i++];
      nbits += 8;
    }
    if (nbits < width) break;
    int code = static_cast<int>((acc >> (nbits - width)) & ((1u << width) - 1));
    nbits -= width;
    if (code == 257) break;
    if (code == 256) {
      width = 9;
      next = 258;
      old = -1;
      continue;
    }
    if (old < 0) {
      if (code > 255) break;
      dst[o++] = static_cast<uint8_t>(code);
      old = code;
      first = static_cast<uint8_t>(code);
      continue;
    }
    const int incoming = code;
    int sp = 0;
    if (code > next || code == 256 || code == 257) break;
    if (code == next) {
      if (next >= 4096) break;
      stack[sp++] = first;
      code = old;
    }
    while (code > 257) {
      if (sp >= 4096) return o;
      stack[sp++] = suffix[code];
      code = prefix[code];
    }
    if (code > 255) break;
    first = static_cast<uint8_t>(code);
    stack[sp++] = first;
    while (sp > 0 && o < need) dst[o++] = stack[--sp];
    if (next < 4096) {
      prefix[next] = static_cast<uint16_t>(old);
      suffix[next] = first;
      ++next;
      if (next == (1 << width) - 1 && width < 12) ++width;
    }
    old = incoming;
  }
  return o;
}

}  // namespace

int decode_tiff(const uint8_t* p, size_t n, DecodedImage& img, bool header_only) {
  if (n < 8) return kDecodeSyntax;
  const Tiff t{p, n, p[0] == 'I'};
  const uint32_t ifd = t.u32(4);
  if (ifd > n || n - ifd < 2) return kDecodeSyntax;
  const unsigned count = t.u16(ifd);
  if (n - ifd - 2 < size_t(count) * 12) return kDecodeSyntax;
  uint32_t width = 0, height = 0, comp = 1, photo = 1, spp = 1, rps = 0, planar = 1, predictor = 1;
  std::vector<uint32_t> bits{1}, offsets, counts, colormap, extra;
  bool tiled = false, have_counts = false;
  for (unsigned k = 0; k < count; ++k) {
    Entry e;
    const size_t at = ifd + 2 + size_t(k) * 12;
    e.tag = t.u16(at);
    e.type = t.u16(at + 2);
    e.count = t.u32(at + 4);
    e.field = at + 8;
    std::vector<uint32_t> v;
    const bool known = e.count > 0 && values_of(t, e, v);
    switch (e.tag) {
      case 256: if (known) width = v[0]; break;
      case 257: if (known) height = v[0]; break;
      case 258: if (known) bits = v; break;
      case 259: if (known) comp = v[0]; break;
      case 262: if (known) photo = v[0]; break;
      case 273: if (known) offsets = v; break;
      case 277: if (known) spp = v[0]; break;
      case 278: if (known) rps = v[0]; break;
      case 279: if (known) { counts = v; have_counts = true; } break;
      case 284: if (known) planar = v[0]; break;
      case 317: if (known) predictor = v[0]; break;
      case 320: if (known) colormap = v; break;
      case 338: if (known) extra = v; break;
      case 322: case 323: case 324: case 325: tiled = true; break;
      default: break;
    }
  }
  if (width < 1 || height < 1 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return kDecodeSyntax;
  if (header_only) {
    img.width = static_cast<int>(width);
    img.height = static_cast<int>(height);
    return kDecodeOk;
  }
  const uint32_t b = bits.empty() ? 1 : bits[0];
  for (uint32_t v : bits)
    if (v != b) return kDecodeUnsupported;
  const uint32_t base = photo == 2 ? 3 : 1;
  if (tiled || (planar != 1 && spp > 1) || photo > 3 || spp < base || spp > 8)
    return kDecodeUnsupported;
  if (!(comp == 1 || comp == 5 || comp == 8 || comp == 32946 || comp == 32773)) return kDecodeUnsupported;
  if (!(b == 1 || b == 2 || b == 4 || b == 8 || b == 16) || (photo == 2 && b < 8) ||
      (photo == 3 && b > 8))
    return kDecodeUnsupported;
  if (predictor != 1 && !(predictor == 2 && b >= 8)) return kDecodeUnsupported;
  const bool has_alpha = spp > base && !extra.empty() && (extra[0] == 1 || extra[0] == 2);

  const unsigned long long rowbytes = (static_cast<unsigned long long>(width) * spp * b + 7) / 8;
  if (rps == 0 || rps > height) rps = height;
  const size_t nstrips = (height + rps - 1) / rps;
  if (offsets.size() < nstrips) return kDecodeSyntax;
  if (!have_counts) {
    if (comp != 1) return kDecodeSyntax;
    counts.assign(nstrips, 0);
    for (size_t s = 0; s < nstrips; ++s)
      counts[s] = static_cast<uint32_t>(std::min<unsigned long long>(rowbytes * std::min<uint32_t>(rps, height - uint32_t(s) * rps), 0xFFFFFFFFu));
  }
  if (counts.size() < nstrips) return kDecodeSyntax;
  // the compressed data bounds what it can expand to
  unsigned long long in_total = 0;
  for (size_t s = 0; s < nstrips; ++s)
    if (offsets[s] < n) in_total += std::min<unsigned long long>(counts[s], n - offsets[s]);
  const unsigned long long ratio = comp == 1 ? 1 : comp == 32773 ? 128 : comp == 5 ? 4096 : 1040;
  if (rowbytes * height > (in_total + 1) * ratio) return kDecodeSyntax;
  int st = allocate_pixels(img, static_cast<int>(width), static_cast<int>(height));
  if (st) return st;
  std::vector<uint8_t> raw;
  try {
    raw.assign(static_cast<size_t>(rowbytes * height), 0);
  } catch (const std::bad_alloc&) {
    return kDecodeMemory;
  }
  for (size_t s = 0; s < nstrips; ++s) {
    const uint32_t rows = std::min<uint32_t>(rps, height - uint32_t(s) * rps);
    const size_t need = static_cast<size_t>(rowbytes * rows);
    uint8_t* dst = raw.data() + static_cast<size_t>(rowbytes * rps * s);
    const size_t off = offsets[s];
    if (off > n) return kDecodeSyntax;
    const size_t len = std::min<size_t>(counts[s], n - off);
    size_t made;
    if (comp == 1) {
      made = std::min(len, need);
      std::memcpy(dst, p + off, made);
    } else if (comp == 32773) {
      made = packbits(p + off, len, dst, need);
    } else if (comp == 5) {
      made = lzw(p + off, len, dst, need);
    } else {
      std::vector<uint8_t> tmp;
      if (!inflate_zlib(p + off, len, need, tmp)) return kDecodeSyntax;
      made = tmp.size();
      std::memcpy(dst, tmp.data(), made);
    }
    if (made < need) return kDecodeSyntax;
  }
  if (predictor == 2) {
    for (uint32_t y = 0; y < height; ++y) {
      uint8_t* row = raw.data() + rowbytes * y;
      if (b == 8) {
        for (size_t i = spp; i < size_t(width) * spp; ++i) row[i] = uint8_t(row[i] + row[i - spp]);
      } else {
        for (size_t i = spp; i < size_t(width) * spp; ++i) {
          uint8_t* c = row + 2 * i;
          const uint8_t* q = row + 2 * (i - spp);
          uint16_t a = t.le ? uint16_t(c[0] | (c[1] << 8)) : uint16_t((c[0] << 8) | c[1]);
          uint16_t pv = t.le ? uint16_t(q[0] | (q[1] << 8)) : uint16_t((q[0] << 8) | q[1]);
          uint16_t v = uint16_t(a + pv);
          if (t.le) { c[0] = uint8_t(v); c[1] = uint8_t(v >> 8); }
          else { c[0] = uint8_t(v >> 8); c[1] = uint8_t(v); }
        }
      }
    }
  }
  const uint32_t maxv = (1u << b) - 1;
  auto get = [&](const uint8_t* row, size_t k) -> uint32_t {
    if (b == 16) {
      const uint8_t* c = row + 2 * k;
      return t.le ? uint32_t(c[0] | (c[1] << 8)) : uint32_t((c[0] << 8) | c[1]);
    }
    if (b == 8) return row[k];
    const size_t bit = k * b;
    return (row[bit >> 3] >> (8 - b - (bit & 7))) & maxv;
  };
  auto to8 = [&](uint32_t v) -> uint8_t {
    return b == 16 ? uint8_t(v >> 8) : b == 8 ? uint8_t(v) : uint8_t((v * 255 + maxv / 2) / maxv);
  };
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = raw.data() + rowbytes * y;
    if (b == 8 && photo == 2 && !has_alpha) {
      // the common case without the general sample access
      uint8_t* q = &img.rgba[4 * size_t(y) * width];
      for (uint32_t x = 0; x < width; ++x, q += 4, row += spp) {
        q[0] = row[0];
        q[1] = row[1];
        q[2] = row[2];
      }
      continue;
    }
    for (uint32_t x = 0; x < width; ++x) {
      const size_t i = size_t(y) * width + x;
      const size_t k = size_t(x) * spp;
      uint8_t* q = &img.rgba[4 * i];
      if (photo == 2) {
        q[0] = to8(get(row, k));
        q[1] = to8(get(row, k + 1));
        q[2] = to8(get(row, k + 2));
      } else {
        uint32_t v = get(row, k);
        if (photo == 0) v = maxv - v;
        img.values[i] = static_cast<uint16_t>(v);
        q[0] = q[1] = q[2] = to8(v);
      }
      if (has_alpha) {
        q[3] = to8(get(row, k + base));
        if (q[3] != 255) img.alpha = true;
      }
    }
  }
  img.bits = static_cast<int>(b);
  if (photo == 2) {
    luminance_values(img);
    img.bits = 8;
  } else if (photo == 3) {
    const size_t entries = size_t(1) << b;
    if (colormap.size() < 3 * entries) return kDecodeSyntax;
    uint8_t palette[768] = {};
    for (size_t e = 0; e < entries; ++e) {
      palette[3 * e] = uint8_t(colormap[e] >> 8);
      palette[3 * e + 1] = uint8_t(colormap[entries + e] >> 8);
      palette[3 * e + 2] = uint8_t(colormap[2 * entries + e] >> 8);
    }
    std::vector<uint8_t> alpha;
    if (has_alpha) {
      // per-pixel alpha survives the palette expansion
      alpha.resize(size_t(width) * height);
      for (size_t i = 0; i < alpha.size(); ++i) alpha[i] = img.rgba[4 * i + 3];
    }
    expand_palette(img, palette, static_cast<int>(entries), nullptr);
    if (has_alpha) {
      img.alpha = false;
      for (size_t i = 0; i < alpha.size(); ++i) {
        img.rgba[4 * i + 3] = alpha[i];
        if (alpha[i] != 255) img.alpha = true;
      }
    }
  } else {
    img.kind = DecodedImage::kGrey;
  }
  return kDecodeOk;
}

}  // namespace tavero
