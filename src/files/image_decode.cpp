// Image file readers: dispatch, shared helpers and the PNG reader.
#include "files/image_decode.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

namespace tavero {

namespace {

inline uint32_t be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

}  // namespace

void DecodedDeleter::operator()(DecodedImage* p) const { delete p; }

// ------------------------------------------------------------------------------------------
// shared helpers

int image_file_type(const uint8_t* h, size_t n) {
  if (n >= 8 && std::memcmp(h, "\x89PNG\r\n\x1a\n", 8) == 0) return kTypePng;
  if (n >= 6 && (std::memcmp(h, "GIF87a", 6) == 0 || std::memcmp(h, "GIF89a", 6) == 0))
    return kTypeGif;
  if (n >= 2 && h[0] == 'B' && h[1] == 'M') return kTypeBmp;
  if (n >= 4 && ((h[0] == 'I' && h[1] == 'I' && h[2] == 42 && h[3] == 0) ||
                 (h[0] == 'M' && h[1] == 'M' && h[2] == 0 && h[3] == 42)))
    return kTypeTiff;
  if (n >= 3 && h[0] == 'P' && h[1] >= '1' && h[1] <= '6' &&
      (h[2] == ' ' || h[2] == '\t' || h[2] == '\r' || h[2] == '\n' || h[2] == '#'))
    return kTypePnm;
  return kTypeUnknown;
}

int read_whole_file(const char* path, std::vector<uint8_t>& out) {
  struct stat st;
  if (!path || !*path || ::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return kDecodeOpen;
  if (st.st_size > static_cast<off_t>(INT_MAX)) return kDecodeMemory;
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return kDecodeOpen;
  try {
    out.resize(static_cast<size_t>(st.st_size));
  } catch (const std::bad_alloc&) {
    std::fclose(f);
    return kDecodeMemory;
  }
  size_t got = out.empty() ? 0 : std::fread(out.data(), 1, out.size(), f);
  bool err = std::ferror(f) != 0;
  std::fclose(f);
  if (err) return kDecodeRead;
  out.resize(got);  // a file that shrank meanwhile is read as it is now
  return kDecodeOk;
}

int decode_image(const uint8_t* data, size_t n, DecodedImage& img, bool header_only) {
  switch (image_file_type(data, n)) {
    case kTypePng: return decode_png(data, n, img, header_only);
    case kTypeGif: return decode_gif(data, n, img, header_only);
    case kTypeBmp: return decode_bmp(data, n, img, header_only);
    case kTypePnm: return decode_pnm(data, n, img, header_only);
    case kTypeTiff: return decode_tiff(data, n, img, header_only);
    default: return kDecodeFormat;
  }
}

int allocate_pixels(DecodedImage& img, int width, int height) {
  if (width < 1 || height < 1) return kDecodeSyntax;
  long long px = static_cast<long long>(width) * height;
  if (px > kMaxImagePixels) return kDecodeMemory;
  img.width = width;
  img.height = height;
  try {
    img.rgba.assign(static_cast<size_t>(px) * 4, 0);
    img.values.assign(static_cast<size_t>(px), 0);
  } catch (const std::bad_alloc&) {
    img.rgba = {};
    img.values = {};
    return kDecodeMemory;
  }
  // opaque black until the reader writes a pixel
  for (size_t i = 3; i < img.rgba.size(); i += 4) img.rgba[i] = 255;
  return kDecodeOk;
}

void expand_palette(DecodedImage& img, const uint8_t* palette, int count, const uint8_t* alpha) {
  img.kind = DecodedImage::kPalette;
  const size_t np = img.values.size();
  for (size_t i = 0; i < np; ++i) {
    int k = img.values[i];
    uint8_t* q = &img.rgba[4 * i];
    if (k < count) {
      q[0] = palette[3 * k];
      q[1] = palette[3 * k + 1];
      q[2] = palette[3 * k + 2];
      q[3] = alpha ? alpha[k] : 255;
    } else {
      q[0] = q[1] = q[2] = 0;  // an index beyond the palette shows black
      q[3] = 255;
    }
    if (q[3] != 255) img.alpha = true;
  }
}

void expand_grey(DecodedImage& img) {
  img.kind = DecodedImage::kGrey;
  const int maxv = (1 << img.bits) - 1;
  const size_t np = img.values.size();
  for (size_t i = 0; i < np; ++i) {
    uint8_t g = static_cast<uint8_t>((img.values[i] * 255 + maxv / 2) / maxv);
    img.rgba[4 * i] = img.rgba[4 * i + 1] = img.rgba[4 * i + 2] = g;
  }
}

void luminance_values(DecodedImage& img) {
  img.kind = DecodedImage::kColour;
  img.bits = 8;
  const size_t np = img.values.size();
  for (size_t i = 0; i < np; ++i) {
    const uint8_t* q = &img.rgba[4 * i];
    img.values[i] = static_cast<uint16_t>((299 * q[0] + 587 * q[1] + 114 * q[2] + 500) / 1000);
  }
}

bool inflate_zlib(const uint8_t* src, size_t n, size_t expect, std::vector<uint8_t>& out,
                  bool raw_deflate) {
  if (n > UINT_MAX || expect > UINT_MAX) return false;
  try {
    out.resize(expect);
  } catch (const std::bad_alloc&) {
    return false;
  }
  z_stream s{};
  if (inflateInit2(&s, raw_deflate ? -15 : 15) != Z_OK) return false;
  s.next_in = const_cast<Bytef*>(src);
  s.avail_in = static_cast<uInt>(n);
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(expect);
  int rc = Z_OK;
  while (rc == Z_OK && s.avail_out > 0 && s.avail_in > 0) rc = inflate(&s, Z_NO_FLUSH);
  size_t produced = expect - s.avail_out;
  inflateEnd(&s);
  if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return false;
  out.resize(produced);
  return true;
}

// ------------------------------------------------------------------------------------------
// PNG

namespace {

inline int paeth(int a, int b, int c) {
  int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Undoes the filter of one row in place; false for an unknown filter type.
bool unfilter(int type, uint8_t* row, const uint8_t* prev, size_t len, int bpp) {
  switch (type) {
    case 0: return true;
    case 1:
      for (size_t i = bpp; i < len; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
      return true;
    case 2:
      if (prev)
        for (size_t i = 0; i < len; ++i) row[i] = uint8_t(row[i] + prev[i]);
      return true;
    case 3:
      for (size_t i = 0; i < len; ++i) {
        int a = i >= size_t(bpp) ? row[i - bpp] : 0, b = prev ? prev[i] : 0;
        row[i] = uint8_t(row[i] + ((a + b) >> 1));
      }
      return true;
    case 4:
      for (size_t i = 0; i < len; ++i) {
        int a = i >= size_t(bpp) ? row[i - bpp] : 0, b = prev ? prev[i] : 0;
        int c = (prev && i >= size_t(bpp)) ? prev[i - bpp] : 0;
        row[i] = uint8_t(row[i] + paeth(a, b, c));
      }
      return true;
    default: return false;
  }
}

struct Pass {
  int x0, y0, dx, dy;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

}  // namespace

int decode_png(const uint8_t* p, size_t n, DecodedImage& img, bool header_only) {
  size_t pos = 8;
  int width = 0, height = 0, depth = 0, ctype = -1, interlace = 0;
  bool have_header = false;
  uint8_t palette[768] = {};
  uint8_t trns[256];
  std::memset(trns, 255, sizeof trns);
  int npal = 0;
  long trns_grey = -1, trns_r = -1, trns_g = -1, trns_b = -1;
  std::vector<uint8_t> idat;
  while (pos + 12 <= n) {
    uint32_t len = be32(p + pos);
    if (len > n - pos - 12) return kDecodeSyntax;
    const uint8_t* type = p + pos + 4;
    const uint8_t* d = p + pos + 8;
    if (std::memcmp(type, "IHDR", 4) == 0) {
      if (len < 13 || have_header) return kDecodeSyntax;
      uint32_t w = be32(d), h = be32(d + 4);
      depth = d[8];
      ctype = d[9];
      interlace = d[12];
      if (w < 1 || h < 1 || w > INT_MAX || h > INT_MAX || d[10] != 0 || d[11] != 0 ||
          interlace > 1)
        return kDecodeSyntax;
      bool ok = (ctype == 0 && (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16)) ||
                (ctype == 3 && (depth == 1 || depth == 2 || depth == 4 || depth == 8)) ||
                ((ctype == 2 || ctype == 4 || ctype == 6) && (depth == 8 || depth == 16));
      if (!ok) return kDecodeSyntax;
      width = static_cast<int>(w);
      height = static_cast<int>(h);
      have_header = true;
      if (header_only) {
        img.width = width;
        img.height = height;
        return kDecodeOk;
      }
    } else if (!have_header) {
      return kDecodeSyntax;
    } else if (std::memcmp(type, "PLTE", 4) == 0) {
      npal = static_cast<int>(std::min<uint32_t>(256, len / 3));
      std::memcpy(palette, d, size_t(npal) * 3);
    } else if (std::memcmp(type, "tRNS", 4) == 0) {
      if (ctype == 3) {
        std::memcpy(trns, d, std::min<uint32_t>(256, len));
      } else if (ctype == 0 && len >= 2) {
        trns_grey = be16(d);
      } else if (ctype == 2 && len >= 6) {
        trns_r = be16(d);
        trns_g = be16(d + 2);
        trns_b = be16(d + 4);
      }
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      try {
        idat.insert(idat.end(), d, d + len);
      } catch (const std::bad_alloc&) {
        return kDecodeMemory;
      }
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      break;
    }
    pos += 12 + size_t(len);
  }
  if (!have_header || idat.empty()) return kDecodeSyntax;
  static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};
  const int ch = kChannels[ctype];
  const int bits_pp = ch * depth;
  const int bpp = std::max(1, bits_pp / 8);
  const int npass = interlace ? 7 : 1;
  const Pass whole{0, 0, 1, 1};
  unsigned long long total = 0;
  for (int k = 0; k < npass; ++k) {
    const Pass& ps = interlace ? kAdam7[k] : whole;
    unsigned long long pw = (width > ps.x0) ? (unsigned long long)(width - ps.x0 + ps.dx - 1) / ps.dx : 0;
    unsigned long long ph = (height > ps.y0) ? (unsigned long long)(height - ps.y0 + ps.dy - 1) / ps.dy : 0;
    if (pw && ph) total += ph * (1 + (pw * bits_pp + 7) / 8);
  }
  // deflate expands at most about 1032 : 1; more claimed data cannot be in this file
  if (total > (unsigned long long)idat.size() * 1040 + 4096) return kDecodeSyntax;
  int st = allocate_pixels(img, width, height);
  if (st) return st;
  std::vector<uint8_t> raw;
  if (!inflate_zlib(idat.data(), idat.size(), static_cast<size_t>(total), raw) ||
      raw.size() < total)
    return kDecodeSyntax;
  idat = {};

  img.bits = ctype == 3 ? depth : ctype == 0 || ctype == 4 ? depth : 8;
  const int vmax = (1 << depth) - 1;
  size_t off = 0;
  for (int k = 0; k < npass; ++k) {
    const Pass& ps = interlace ? kAdam7[k] : whole;
    if (width <= ps.x0 || height <= ps.y0) continue;
    const int pw = (width - ps.x0 + ps.dx - 1) / ps.dx, ph = (height - ps.y0 + ps.dy - 1) / ps.dy;
    const size_t rowlen = (size_t(pw) * bits_pp + 7) / 8;
    const uint8_t* prev = nullptr;
    for (int y = 0; y < ph; ++y) {
      uint8_t* row = raw.data() + off + 1;
      if (!unfilter(raw[off], row, prev, rowlen, bpp)) return kDecodeSyntax;
      prev = row;
      off += rowlen + 1;
      const size_t base = size_t(ps.y0 + y * ps.dy) * size_t(width);
      if (depth == 8 && (ctype == 2 || ctype == 6) && trns_r < 0) {
        // the common case without the general sample access
        const bool a = ctype == 6;
        const uint8_t* s = row;
        for (int x = 0; x < pw; ++x, s += ch) {
          uint8_t* q = &img.rgba[4 * (base + size_t(ps.x0 + x * ps.dx))];
          q[0] = s[0];
          q[1] = s[1];
          q[2] = s[2];
          if (a) {
            q[3] = s[3];
            if (s[3] != 255) img.alpha = true;
          }
        }
        continue;
      }
      for (int x = 0; x < pw; ++x) {
        const size_t i = base + size_t(ps.x0 + x * ps.dx);
        uint8_t* q = &img.rgba[4 * i];
        uint16_t s[4];
        if (depth < 8) {
          size_t bit = size_t(x) * depth;
          s[0] = (row[bit >> 3] >> (8 - depth - (bit & 7))) & vmax;
        } else if (depth == 8) {
          for (int c = 0; c < ch; ++c) s[c] = row[size_t(x) * ch + c];
        } else {
          for (int c = 0; c < ch; ++c) s[c] = be16(row + 2 * (size_t(x) * ch + c));
        }
        auto to8 = [&](uint16_t v) -> uint8_t {
          return depth == 16 ? uint8_t(v >> 8) : depth == 8 ? uint8_t(v) : uint8_t(v * 255 / vmax);
        };
        switch (ctype) {
          case 0:
            img.values[i] = s[0];
            q[0] = q[1] = q[2] = to8(s[0]);
            q[3] = (long(s[0]) == trns_grey) ? 0 : 255;
            break;
          case 2:
            q[0] = to8(s[0]);
            q[1] = to8(s[1]);
            q[2] = to8(s[2]);
            q[3] = (s[0] == trns_r && s[1] == trns_g && s[2] == trns_b) ? 0 : 255;
            break;
          case 3:
            img.values[i] = s[0];
            if (s[0] < npal) {
              std::memcpy(q, palette + 3 * s[0], 3);
              q[3] = trns[s[0]];
            }
            break;
          case 4:
            img.values[i] = s[0];
            q[0] = q[1] = q[2] = to8(s[0]);
            q[3] = to8(s[1]);
            break;
          default:
            q[0] = to8(s[0]);
            q[1] = to8(s[1]);
            q[2] = to8(s[2]);
            q[3] = to8(s[3]);
            break;
        }
        if (q[3] != 255) img.alpha = true;
      }
    }
  }
  if (ctype == 2 || ctype == 6) {
    luminance_values(img);
  } else {
    img.kind = ctype == 3 ? DecodedImage::kPalette : DecodedImage::kGrey;
  }
  return kDecodeOk;
}

}  // namespace tavero
