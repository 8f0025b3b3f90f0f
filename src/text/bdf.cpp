// BDF reading for the bitmap fonts of bmpfnt.
#include "text/bdf.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <sstream>

#include "core/context.h"
#include "core/files.h"
#include "core/messages.h"

namespace tavero {

namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool parse_bdf(const std::string& text, BitmapFont& font) {
  std::istringstream in(text);
  std::string line;
  BitmapGlyph g;
  int enc = -1, rows_left = 0, row = 0;
  bool in_char = false, in_bitmap = false, any = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (in_bitmap) {
      if (line.rfind("ENDCHAR", 0) == 0) {
        in_bitmap = in_char = false;
        if (enc >= 0 && enc < 256 && row == g.h) {
          g.present = true;
          font.glyphs[enc] = std::move(g);
          any = true;
        }
        g = BitmapGlyph{};
        continue;
      }
      if (rows_left <= 0) continue;
      int stride = (g.w + 7) / 8;
      for (int b = 0; b < stride; ++b) {
        int hi = 2 * b < static_cast<int>(line.size()) ? hex_digit(line[2 * b]) : 0;
        int lo = 2 * b + 1 < static_cast<int>(line.size()) ? hex_digit(line[2 * b + 1]) : 0;
        if (hi < 0 || lo < 0) hi = lo = 0;
        g.bits[static_cast<size_t>(row * stride + b)] = static_cast<uint8_t>(hi * 16 + lo);
      }
      ++row;
      --rows_left;
      continue;
    }
    const char* s = line.c_str();
    if (line.rfind("STARTCHAR", 0) == 0) {
      in_char = true;
      enc = -1;
      g = BitmapGlyph{};
    } else if (!in_char) {
      continue;
    } else if (line.rfind("ENCODING", 0) == 0) {
      enc = std::atoi(s + 8);
    } else if (line.rfind("DWIDTH", 0) == 0) {
      g.advance = std::atoi(s + 6);
      if (g.advance < 0 || g.advance > 1000) g.advance = 0;
    } else if (line.rfind("BBX", 0) == 0) {
      int w = 0, h = 0, xo = 0, yo = 0;
      if (std::sscanf(s + 3, "%d %d %d %d", &w, &h, &xo, &yo) == 4 && w >= 0 && h >= 0 && w <= 512 &&
          h <= 512 && xo > -512 && xo < 512 && yo > -512 && yo < 512) {
        g.w = w;
        g.h = h;
        g.xoff = xo;
        g.yoff = yo;
      }
    } else if (line.rfind("BITMAP", 0) == 0) {
      in_bitmap = true;
      row = 0;
      rows_left = g.h;
      g.bits.assign(static_cast<size_t>(((g.w + 7) / 8) * g.h), 0);
    }
  }
  return any;
}

std::shared_ptr<BitmapFont> load_bitmap_font(Context& ctx, int family, double pixels) {
  static const char* const kNames[3] = {"comp", "simp", "helv"};
  if (family < 1 || family > 3) return nullptr;
  int size = kBitmapSizes[0];
  for (int s : kBitmapSizes)
    if (s <= pixels + 0.5) size = s;
  char file[32];
  std::snprintf(file, sizeof file, "%s%02d.bdf", kNames[family - 1], size);
  std::filesystem::path p = std::filesystem::path(install_dir(ctx)) / "fonts" / file;
  FILE* f = std::fopen(p.string().c_str(), "rb");
  if (!f) {
    warn_text(ctx, 159, "Open error for bitmap font");
    return nullptr;
  }
  std::string text;
  try {
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0 && text.size() < (16u << 20)) text.append(buf, n);
  } catch (const std::bad_alloc&) {
    std::fclose(f);
    warn_text(ctx, 158, "Not enough memory for bitmap font");
    return nullptr;
  }
  std::fclose(f);
  try {
    auto font = std::make_shared<BitmapFont>();
    font->family = family;
    font->size = size;
    if (!parse_bdf(text, *font)) {
      warn_text(ctx, 159, "Open error for bitmap font");
      return nullptr;
    }
    return font;
  } catch (const std::bad_alloc&) {
    warn_text(ctx, 158, "Not enough memory for bitmap font");
    return nullptr;
  }
}

}  // namespace tavero
