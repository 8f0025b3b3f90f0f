// Bitmap fonts of bmpfnt: BDF files of the installation, one file per family and pixel size
// ("comp", "simp", "helv" followed by the size, ".bdf"), encoded in ISO 8859-1.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavero {

struct Context;

struct BitmapGlyph {
  int advance = 0;              // DWIDTH in pixels
  int w = 0, h = 0, xoff = 0, yoff = 0;
  std::vector<uint8_t> bits;    // rows from the top, ceil(w / 8) bytes each
  bool present = false;
  bool pixel(int x, int y) const {
    int stride = (w + 7) / 8;
    return (bits[static_cast<size_t>(y * stride + x / 8)] >> (7 - x % 8)) & 1;
  }
};

struct BitmapFont {
  int family = 0;               // 1 COMP, 2 SIMP, 3 HELV
  int size = 0;                 // pixel size of the file (capital height + 1)
  BitmapGlyph glyphs[256];
};

// Pixel sizes shipped for every family.
inline constexpr int kBitmapSizes[] = {10, 12, 14, 16, 20, 24, 32, 48};

// Parses BDF text; false when it holds no usable glyph.
bool parse_bdf(const std::string& text, BitmapFont& font);

// The font file of a family for a wanted pixel size (the largest size not above it, else the
// smallest). Message 159 when the file cannot be read, 158 without memory; null then.
std::shared_ptr<BitmapFont> load_bitmap_font(Context& ctx, int family, double pixels);

}  // namespace tavero
