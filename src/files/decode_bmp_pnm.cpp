// BMP reader (1, 4, 8, 16, 24 and 32 bits per pixel; uncompressed, RLE8, RLE4 and bit
// fields; OS/2 and Windows headers) and PNM reader (P1 .. P6, maximum values up to 65535).
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "files/image_decode.h"

namespace tavero {

namespace {

inline uint32_t le32(const uint8_t* p) {
  return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// A colour channel described by a bit mask.
struct Channel {
  uint32_t mask = 0;
  int shift = 0, bits = 0;
  explicit Channel(uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    while (shift + bits < 32 && ((m >> (shift + bits)) & 1)) ++bits;
  }
  uint8_t get(uint32_t px, uint8_t none) const {
    if (!mask) return none;
    uint32_t v = (px & mask) >> shift;
    uint32_t maxv = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    return static_cast<uint8_t>((static_cast<uint64_t>(v) * 255 + maxv / 2) / maxv);
  }
};

// RLE8 / RLE4 pixel data into img.values (rows from the bottom of the file).
void decode_rle(const uint8_t* d, size_t n, int w, int h, bool four, DecodedImage& img) {
  size_t i = 0;
  int x = 0, y = h - 1;
  auto put = [&](int v) {
    if (x < w && y >= 0 && y < h) img.values[size_t(y) * w + x] = static_cast<uint16_t>(v);
    ++x;
  };
  while (i + 1 < n && y >= 0) {
    const int a = d[i], b = d[i + 1];
    i += 2;
    if (a > 0) {
      for (int k = 0; k < a; ++k) put(four ? ((k & 1) ? (b & 15) : (b >> 4)) : b);
    } else if (b == 0) {
      x = 0;
      --y;
    } else if (b == 1) {
      return;
    } else if (b == 2) {
      if (i + 1 >= n) return;
      x += d[i];
      y -= d[i + 1];
      i += 2;
    } else {
      const size_t bytes = four ? (size_t(b) + 1) / 2 : size_t(b);
      if (i + bytes > n) return;
      for (int k = 0; k < b; ++k) put(four ? ((k & 1) ? (d[i + k / 2] & 15) : (d[i + k / 2] >> 4)) : d[i + k]);
      i += (bytes + 1) & ~size_t(1);
    }
    if (x > w + 255) x = w + 255;  // a runaway row stays harmless
  }
}

}  // namespace

int decode_bmp(const uint8_t* p, size_t n, DecodedImage& img, bool header_only) {
  if (n < 26) return kDecodeSyntax;
  const uint32_t off = le32(p + 10), hs = le32(p + 14);
  long long w, h;
  int bpp;
  uint32_t comp = 0, used = 0;
  int entry;
  if (hs == 12) {
    w = le16(p + 18);
    h = static_cast<int16_t>(le16(p + 20));
    bpp = le16(p + 24);
    entry = 3;
  } else if (hs >= 40 && n >= 54) {
    w = static_cast<int32_t>(le32(p + 18));
    h = static_cast<int32_t>(le32(p + 22));
    bpp = le16(p + 28);
    comp = le32(p + 30);
    used = le32(p + 46);
    entry = 4;
  } else {
    return kDecodeSyntax;
  }
  const bool top_down = h < 0;
  if (h < 0) h = -h;
  if (w < 1 || h < 1 || w > INT_MAX || h > INT_MAX) return kDecodeSyntax;
  if (header_only) {
    img.width = static_cast<int>(w);
    img.height = static_cast<int>(h);
    return kDecodeOk;
  }
  const bool indexed = bpp == 1 || bpp == 4 || bpp == 8;
  const bool ok = (comp == 0 && (indexed || bpp == 16 || bpp == 24 || bpp == 32)) ||
                  (comp == 1 && bpp == 8) || (comp == 2 && bpp == 4) ||
                  ((comp == 3 || comp == 6) && (bpp == 16 || bpp == 32));
  if (!ok || off > n) return kDecodeSyntax;
  // masks follow the 40-byte header, or are part of the longer ones
  uint32_t mr = 0, mg = 0, mb = 0, ma = 0;
  if (bpp == 16) {
    mr = 0x7C00;
    mg = 0x03E0;
    mb = 0x001F;
  } else if (bpp == 24 || bpp == 32) {
    mr = 0xFF0000;
    mg = 0xFF00;
    mb = 0xFF;
  }
  if (comp == 3 || comp == 6) {
    if (n < 66) return kDecodeSyntax;
    mr = le32(p + 54);
    mg = le32(p + 58);
    mb = le32(p + 62);
    if ((comp == 6 || hs >= 56) && n >= 70) ma = le32(p + 66);
  }
  uint8_t palette[768] = {};
  int npal = 0;
  if (indexed) {
    size_t pos = 14 + size_t(hs) + (comp == 3 && hs == 40 ? 12 : 0);
    npal = used ? static_cast<int>(std::min<uint32_t>(used, 256)) : 1 << bpp;
    if (pos > n) return kDecodeSyntax;
    npal = static_cast<int>(std::min<size_t>(npal, (n - pos) / entry));
    for (int i = 0; i < npal; ++i) {
      palette[3 * i] = p[pos + entry * i + 2];
      palette[3 * i + 1] = p[pos + entry * i + 1];
      palette[3 * i + 2] = p[pos + entry * i];
    }
  }
  const int W = static_cast<int>(w), H = static_cast<int>(h);
  const uint8_t* d = p + off;
  const size_t avail = n - off;
  if (comp == 1 || comp == 2) {
    // two bytes of RLE data cover at most 255 pixels, or the rest of a row
    if (static_cast<double>(W) * H > (static_cast<double>(avail) + 2) * std::max(W, 255))
      return kDecodeSyntax;
    int st = allocate_pixels(img, W, H);
    if (st) return st;
    decode_rle(d, avail, W, H, comp == 2, img);
    img.bits = bpp;
    expand_palette(img, palette, npal, nullptr);
    return kDecodeOk;
  }
  const unsigned long long stride = (static_cast<unsigned long long>(W) * bpp + 31) / 32 * 4;
  if (stride * static_cast<unsigned long long>(H) > avail) return kDecodeSyntax;
  int st = allocate_pixels(img, W, H);
  if (st) return st;
  const Channel cr(mr), cg(mg), cb(mb), ca(ma);
  bool any_alpha = false, all_clear = true;
  for (int r = 0; r < H; ++r) {
    const uint8_t* row = d + stride * r;
    const int y = top_down ? r : H - 1 - r;
    uint16_t* vals = &img.values[size_t(y) * W];
    uint8_t* q = &img.rgba[size_t(y) * W * 4];
    for (int x = 0; x < W; ++x, q += 4) {
      switch (bpp) {
        case 1: vals[x] = (row[x >> 3] >> (7 - (x & 7))) & 1; break;
        case 4: vals[x] = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15; break;
        case 8: vals[x] = row[x]; break;
        case 24:
          q[0] = row[3 * x + 2];
          q[1] = row[3 * x + 1];
          q[2] = row[3 * x];
          break;
        default: {
          uint32_t px = bpp == 16 ? le16(row + 2 * x) : le32(row + 4 * x);
          q[0] = cr.get(px, 0);
          q[1] = cg.get(px, 0);
          q[2] = cb.get(px, 0);
          q[3] = ca.get(px, 255);
          any_alpha = any_alpha || q[3] != 255;
          all_clear = all_clear && q[3] == 0;
          break;
        }
      }
    }
  }
  if (indexed) {
    img.bits = bpp;
    expand_palette(img, palette, npal, nullptr);
    return kDecodeOk;
  }
  if (any_alpha && all_clear) {
    // an alpha mask whose every pixel is clear is a writer's slip: show the image opaque
    for (size_t i = 3; i < img.rgba.size(); i += 4) img.rgba[i] = 255;
    any_alpha = false;
  }
  img.alpha = any_alpha;
  luminance_values(img);
  return kDecodeOk;
}

// ------------------------------------------------------------------------------------------
// PNM

namespace {

struct PnmReader {
  const uint8_t* p;
  size_t n, pos;
  void skip_space() {
    while (pos < n) {
      if (p[pos] == '#') {
        while (pos < n && p[pos] != '\n' && p[pos] != '\r') ++pos;
      } else if (p[pos] == ' ' || p[pos] == '\t' || p[pos] == '\n' || p[pos] == '\r' ||
                 p[pos] == '\v' || p[pos] == '\f') {
        ++pos;
      } else {
        return;
      }
    }
  }
  // An unsigned decimal number (at most 2^31 - 1); false when there is none.
  bool number(long long& v, int max_digits = 10) {
    skip_space();
    if (pos >= n || p[pos] < '0' || p[pos] > '9') return false;
    v = 0;
    int digits = 0;
    while (pos < n && p[pos] >= '0' && p[pos] <= '9' && digits < max_digits) {
      v = v * 10 + (p[pos++] - '0');
      ++digits;
    }
    return v <= INT_MAX;
  }
};

}  // namespace

int decode_pnm(const uint8_t* p, size_t n, DecodedImage& img, bool header_only) {
  const int kind = p[1] - '0';
  PnmReader r{p, n, 2};
  long long w, h, maxv = 1;
  if (!r.number(w) || !r.number(h) || w < 1 || h < 1) return kDecodeSyntax;
  if (kind != 1 && kind != 4 && (!r.number(maxv) || maxv < 1 || maxv > 65535)) return kDecodeSyntax;
  if (header_only) {
    img.width = static_cast<int>(w);
    img.height = static_cast<int>(h);
    return kDecodeOk;
  }
  const bool colour = kind == 3 || kind == 6;
  const int ch = colour ? 3 : 1;
  const unsigned long long samples = static_cast<unsigned long long>(w) * h * ch;
  const bool binary = kind >= 4;
  if (binary) {
    if (r.pos >= n) return kDecodeSyntax;
    ++r.pos;  // the single white-space character before the data
  }
  const size_t avail = n - std::min(n, r.pos);
  const int bps = maxv < 256 ? 1 : 2;
  unsigned long long need;
  if (kind == 4) need = (static_cast<unsigned long long>(w) + 7) / 8 * h;
  else if (binary) need = samples * bps;
  else need = kind == 1 ? samples : (samples + 1) / 2;  // ASCII: a digit and a separator each
  if (need > avail) return kDecodeSyntax;
  int st = allocate_pixels(img, static_cast<int>(w), static_cast<int>(h));
  if (st) return st;
  const int W = static_cast<int>(w);
  const size_t np = size_t(w) * size_t(h);
  auto scale = [maxv](long long v) {
    if (v > maxv) v = maxv;
    return static_cast<uint8_t>((v * 255 + maxv / 2) / maxv);
  };
  const uint8_t* d = p + r.pos;
  for (size_t i = 0; i < np; ++i) {
    long long s[3] = {0, 0, 0};
    if (kind == 4) {
      const size_t y = i / W, x = i % W;
      const size_t rowbytes = (size_t(W) + 7) / 8;
      s[0] = ((d[y * rowbytes + x / 8] >> (7 - x % 8)) & 1) ? 0 : 1;  // 1 is black
    } else if (kind == 1) {
      r.skip_space();
      if (r.pos >= n || (p[r.pos] != '0' && p[r.pos] != '1')) return kDecodeSyntax;
      s[0] = p[r.pos++] == '1' ? 0 : 1;
    } else if (binary) {
      for (int c = 0; c < ch; ++c) {
        const size_t k = (i * ch + c) * bps;
        s[c] = bps == 1 ? d[k] : (d[k] << 8) | d[k + 1];
      }
    } else {
      for (int c = 0; c < ch; ++c)
        if (!r.number(s[c], 6)) return kDecodeSyntax;
    }
    uint8_t* q = &img.rgba[4 * i];
    if (colour) {
      q[0] = scale(s[0]);
      q[1] = scale(s[1]);
      q[2] = scale(s[2]);
    } else {
      img.values[i] = static_cast<uint16_t>(std::min(s[0], maxv));
      q[0] = q[1] = q[2] = scale(s[0]);
    }
  }
  if (colour) {
    luminance_values(img);
  } else {
    img.kind = DecodedImage::kGrey;
    int bits = 1;
    while ((1LL << bits) - 1 < maxv) ++bits;
    img.bits = bits;
  }
  return kDecodeOk;
}

}  // namespace tavero
