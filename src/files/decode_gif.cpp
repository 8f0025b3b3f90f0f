// GIF reader: the first image of the file, in its own size (the logical screen around it is
// not kept), with its local or global colour table and the transparent index of a graphic
// control extension.
#include <algorithm>
#include <cstring>
#include <vector>

#include "files/image_decode.h"

namespace tavero {

namespace {

inline int le16(const uint8_t* p) { return p[0] | (p[1] << 8); }

// LZW decoding of `data` into `out` (width x height indices). Stops at the end code, at the
// end of the data or at an invalid code; pixels not reached keep index 0.
void lzw_decode(const std::vector<uint8_t>& data, int min_size, std::vector<uint16_t>& out) {
  const int clear = 1 << min_size, eoi = clear + 1;
  uint16_t prefix[4096];
  uint8_t suffix[4096];
  uint8_t stack[4097];
  for (int i = 0; i < clear; ++i) {
    prefix[i] = 0;
    suffix[i] = static_cast<uint8_t>(i);
  }
  int size = min_size + 1, next = clear + 2, old = -1;
  uint8_t first = 0;
  uint32_t acc = 0;
  int nbits = 0;
  size_t in = 0, o = 0;
  const size_t total = out.size();
  while (o < total) {
    while (nbits < size && in < data.size()) {
      acc |= uint32_t(data[in++]) << nbits;
      nbits += 8;
    }
    if (nbits < size) return;
    int code = static_cast<int>(acc & ((1u << size) - 1));
    acc >>= size;
    nbits -= size;
    if (code == clear) {
      size = min_size + 1;
      next = clear + 2;
      old = -1;
      continue;
    }
    if (code == eoi) return;
    if (old < 0) {
      if (code >= clear) return;
      out[o++] = static_cast<uint16_t>(code);
      old = code;
      first = static_cast<uint8_t>(code);
      continue;
    }
    const int incoming = code;
    int sp = 0;
    if (code > next || (code == next && next >= 4096)) return;
    if (code == next) {
      stack[sp++] = first;
      code = old;
    }
    while (code >= clear) {
      if (sp >= 4096) return;
      stack[sp++] = suffix[code];
      code = prefix[code];
    }
    first = static_cast<uint8_t>(code);
    stack[sp++] = first;
    while (sp > 0 && o < total) out[o++] = stack[--sp];
    if (next < 4096) {
      prefix[next] = static_cast<uint16_t>(old);
      suffix[next] = first;
      ++next;
      if (next == (1 << size) && size < 12) ++size;
    }
    old = incoming;
  }
}

}  // namespace

int decode_gif(const uint8_t* p, size_t n, DecodedImage& img, bool header_only) {
  if (n < 13) return kDecodeSyntax;
  const int flags = p[10];
  size_t pos = 13;
  uint8_t global[768] = {};
  int nglobal = 0;
  if (flags & 0x80) {
    nglobal = 2 << (flags & 7);
    if (pos + 3 * size_t(nglobal) > n) return kDecodeSyntax;
    std::memcpy(global, p + pos, 3 * size_t(nglobal));
    pos += 3 * size_t(nglobal);
  }
  int transparent = -1;
  while (pos < n) {
    const uint8_t block = p[pos++];
    if (block == 0x21) {
      if (pos >= n) return kDecodeSyntax;
      const uint8_t label = p[pos++];
      for (bool first = true;; first = false) {
        if (pos >= n) return kDecodeSyntax;
        const size_t len = p[pos++];
        if (len == 0) break;
        if (pos + len > n) return kDecodeSyntax;
        if (label == 0xF9 && first && len >= 4 && (p[pos] & 1)) transparent = p[pos + 3];
        pos += len;
      }
    } else if (block == 0x2C) {
      if (pos + 9 > n) return kDecodeSyntax;
      const int w = le16(p + pos + 4), h = le16(p + pos + 6), lflags = p[pos + 8];
      pos += 9;
      if (w < 1 || h < 1) return kDecodeSyntax;
      if (header_only) {
        img.width = w;
        img.height = h;
        return kDecodeOk;
      }
      uint8_t palette[768];
      int npal;
      if (lflags & 0x80) {
        npal = 2 << (lflags & 7);
        if (pos + 3 * size_t(npal) > n) return kDecodeSyntax;
        std::memcpy(palette, p + pos, 3 * size_t(npal));
        pos += 3 * size_t(npal);
      } else if (nglobal) {
        npal = nglobal;
        std::memcpy(palette, global, sizeof palette);
      } else {
        npal = 256;  // no colour table at all: a grey ramp
        for (int i = 0; i < 256; ++i) palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = uint8_t(i);
      }
      if (pos >= n) return kDecodeSyntax;
      const int min_size = p[pos++];
      if (min_size < 1 || min_size > 11) return kDecodeSyntax;
      std::vector<uint8_t> data;
      while (pos < n) {
        const size_t len = p[pos++];
        if (len == 0) break;
        const size_t take = std::min(len, n - pos);  // a cut file keeps what it has
        data.insert(data.end(), p + pos, p + pos + take);
        pos += take;
      }
      // one code of at least min_size + 1 bits yields at most 4096 pixels
      const long long max_pixels = (static_cast<long long>(data.size()) * 8 / (min_size + 1) + 1) * 4096;
      if (static_cast<long long>(w) * h > max_pixels) return kDecodeSyntax;
      int st = allocate_pixels(img, w, h);
      if (st) return st;
      std::vector<uint16_t> idx;
      try {
        idx.assign(size_t(w) * size_t(h), 0);
      } catch (const std::bad_alloc&) {
        return kDecodeMemory;
      }
      lzw_decode(data, min_size, idx);
      if (lflags & 0x40) {
        // interlaced rows: every 8th from 0, every 8th from 4, every 4th from 2, every 2nd from 1
        static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        size_t r = 0;
        for (int ps = 0; ps < 4; ++ps)
          for (int y = kStart[ps]; y < h; y += kStep[ps], ++r)
            std::memcpy(&img.values[size_t(y) * w], &idx[r * w], size_t(w) * sizeof(uint16_t));
      } else {
        img.values.swap(idx);
      }
      uint8_t alpha[256];
      std::memset(alpha, 255, sizeof alpha);
      if (transparent >= 0) alpha[transparent] = 0;
      img.bits = 8;
      expand_palette(img, palette, npal, alpha);
      return kDecodeOk;
    } else if (block == 0x3B) {
      break;
    } else {
      return kDecodeSyntax;
    }
  }
  return kDecodeSyntax;
}

}  // namespace tavero
