// TrueType fonts of ttfont: the tables cmap (format 4), loca, head, maxp and glyf (hhea and
// hmtx when present) read from the file, glyph outlines flattened into polygons.
//
// Every read is bounds checked against the file: a truncated or corrupt file gives warnings
// and no glyphs, never a crash or an endless loop.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavero {

struct Context;

struct TrueTypeFont {
  std::string path;
  std::vector<uint8_t> data;
  int units_per_em = 1000;
  int long_loca = 0;
  int num_glyphs = 0;
  uint32_t loca = 0, loca_len = 0, glyf = 0, glyf_len = 0;
  uint32_t cmap4 = 0, cmap4_len = 0;   // the format 4 subtable
  uint32_t hmtx = 0, hmtx_len = 0;
  int num_hmetrics = 0;
  double cap_height = 700;             // yMax of 'H', else 0.7 em

  // Glyph index of a Unicode character through cmap format 4; 0 when the font has none.
  int glyph_index(uint32_t cp) const;
  // Advance width in font units (hmtx, else the glyph's xMax and a tenth of an em).
  double advance(int gid) const;
  // Outline of a glyph as closed contours of on-curve points, quadratic curves flattened into
  // `steps` pieces. Returns a message code (0 ok, 187 too many points, 188 bad contours,
  // 189 bad glyph index).
  int outline(int gid, int steps, std::vector<std::vector<double>>& xs,
              std::vector<std::vector<double>>& ys) const;
  // Bounding box of a glyph (false for empty or bad glyphs).
  bool bbox(int gid, int& xmin, int& ymin, int& xmax, int& ymax) const;
};

// Loads a font: the name as given, then the system font folders, then the fonts folder of
// the installation. Reports the messages of missing or malformed tables; null on failure.
std::shared_ptr<TrueTypeFont> load_truetype(Context& ctx, const char* name);

}  // namespace tavero
