// Checks of the generated font tables. Build and run from the checkout:
//   g++ -std=c++20 -O1 -Wall -Wextra -I src tests/cpp/test_fontdata.cpp
//       src/text/fontdata/*.cpp -o /tmp/tfd && /tmp/tfd
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <utility>

#include "text/fontdata/fontdata.h"

using namespace tavero::fontdata;

namespace {

int g_failed = 0;
int g_passed = 0;

void check(bool ok, const std::string& what) {
  if (ok) {
    ++g_passed;
  } else {
    ++g_failed;
    std::printf("FAIL: %s\n", what.c_str());
  }
}

std::string where(int font, int slot, int code) {
  return "font " + std::to_string(font) + " alphabet " + std::to_string(slot + 1) + " code " +
         std::to_string(code);
}

const int kFontNumbers[] = {1, 3, 4, 5, 6, 7, 11, 12, 13, 14};

// Records must tile the index exactly and every piece must stay inside the
// coordinate data.
void check_records(int font, int slot, const Alphabet& a) {
  bool ok = true;
  std::uint32_t pos = 0;
  for (int c = 33; c <= 31 + a.n_chars && ok; ++c) {
    if (a.records[c - 33] != pos) {
      check(false, where(font, slot, c) + ": record not where the previous one ends");
      return;
    }
    const int len = a.index[pos];
    ok = len >= 1 && pos + static_cast<std::uint32_t>(len) <= static_cast<std::uint32_t>(a.index_words);
    int i = 1;
    while (ok && i < len) {
      const int n = a.index[pos + i];
      const int step = n > 0 ? 2 : 3;
      const int count = n > 0 ? n : -n;
      ok = n != 0 && i + step <= len;
      if (ok) {
        const int s = a.index[pos + i + 1];
        ok = s >= 1 && s + count - 1 <= a.n_points;
      }
      i += step;
    }
    ok = ok && i == len;
    if (!ok) check(false, where(font, slot, c) + ": malformed record");
    pos += static_cast<std::uint32_t>(len);
  }
  check(ok && pos == static_cast<std::uint32_t>(a.index_words),
        where(font, slot, 0) + ": records do not cover the index");
}

// Points of every glyph inside a generous box around the grid.
void check_extents(int font, int slot, const Alphabet& a) {
  const double w = a.grid_w, h = a.grid_h;
  const double top = slot == kMath ? 2.5 * h : 1.6 * h;
  const double bottom = slot == kMath ? -1.5 * h : -0.6 * h;
  for (int c = 33; c <= 31 + a.n_chars; ++c) {
    for (const auto& line : glyph_polylines(a, c)) {
      for (const auto& [x, y] : line) {
        if (x < 0 || x > 3 * w || y < bottom || y > top) {
          check(false, where(font, slot, c) + ": point outside the glyph box");
          return;
        }
      }
    }
  }
  check(true, "extents");
}

// The advance is the right edge of the glyph: positive unless the glyph is a
// single vertical stroke (I, |), whose spacing is the gap alone.
void check_widths(int font, int slot, const Alphabet& a, int blank) {
  for (int c = 33; c <= 31 + a.n_chars; ++c) {
    double x0 = 1e9, x1 = -1e9;
    for (const auto& line : glyph_polylines(a, c)) {
      for (const auto& p : line) x0 = std::min(x0, p.first), x1 = std::max(x1, p.first);
    }
    const double w = glyph_width(a, c, blank);
    const bool ok = a.fixed_width ? w == a.fixed_width : x1 < x0 ? w == 0 : w == x1 && (w > 0 || x1 == x0);
    if (!ok) {
      check(false, where(font, slot, c) + ": width is not the right edge of the glyph");
      return;
    }
  }
  check(glyph_width(a, 32, blank) == (a.fixed_width ? a.fixed_width : blank),
        where(font, slot, 32) + ": blank width");
}

// Outline glyphs: real polygons, each contour given once, within the fill buffer.
void check_outline(int font, const Alphabet& a) {
  for (int c = 33; c <= 31 + a.n_chars; ++c) {
    int total = 0;
    bool ok = true;
    for (const auto& line : glyph_polylines(a, c)) {
      total += static_cast<int>(line.size()) + 1;
      double area = 0;
      for (std::size_t i = 0; i < line.size(); ++i) {
        const auto& p = line[i];
        const auto& q = line[(i + 1) % line.size()];
        area += p.first * q.second - q.first * p.second;
      }
      ok = ok && line.size() >= 3 && line.front() != line.back() && std::abs(area) > 0;
    }
    if (!ok || total > 200) {
      check(false, where(font, kStan, c) + ": bad outline contour set");
      return;
    }
  }
  check(true, "outline contours");
}

void test_font_table() {
  for (int n : {0, 2, 8, 10, 15}) check(stroke_font(n) == nullptr, "no font " + std::to_string(n));
  for (int n : kFontNumbers) {
    const StrokeFont* f = stroke_font(n);
    check(f != nullptr && f->number == n, "font " + std::to_string(n) + " present");
    if (!f) continue;
    for (const Alphabet* a : f->alphabets) check(a != nullptr, "alphabet present");
    const Alphabet& stan = *f->alphabets[kStan];
    const Alphabet& ital = *f->alphabets[kItal];
    const bool own_ital = n == 3 || n == 7;
    check(ital.slanted != own_ital, "font " + std::to_string(n) + " italic kind");
    if (ital.slanted) check(ital.index == stan.index && ital.n_chars == stan.n_chars, "slanted STAN");
    const int expect_s = n == 1 ? 6 : n >= 11 ? 60 : 9;
    check(f->blank_width == expect_s, "blank width of font " + std::to_string(n));
  }
}

void test_alphabet_shapes() {
  struct Expect {
    int font, slot, n, w, h;
    float gap;
    Storage storage;
  };
  const Expect table[] = {
      {1, kStan, 132, 6, 7, 0.0f, Storage::kPacked},  {1, kGree, 95, 6, 7, 0.0f, Storage::kPacked},
      {1, kItal, 132, 6, 7, 0.0f, Storage::kPacked},  {1, kMath, 131, 20, 21, 0.25f, Storage::kPacked},
      {1, kScri, 102, 20, 21, 0.25f, Storage::kPacked}, {1, kRuss, 95, 20, 21, 0.25f, Storage::kPacked},
      {3, kStan, 233, 20, 21, 0.25f, Storage::kPacked}, {3, kGree, 116, 20, 21, 0.25f, Storage::kPacked},
      {3, kItal, 102, 20, 21, 0.25f, Storage::kPacked}, {4, kStan, 132, 20, 21, 0.25f, Storage::kPacked},
      {4, kGree, 95, 20, 21, 0.25f, Storage::kPacked},  {5, kStan, 132, 20, 21, 0.25f, Storage::kPacked},
      {6, kStan, 132, 20, 21, 0.25f, Storage::kPacked}, {7, kStan, 95, 20, 21, 0.25f, Storage::kPacked},
      {7, kItal, 95, 20, 21, 0.25f, Storage::kPacked},  {7, kScri, 102, 20, 21, 0.25f, Storage::kPacked},
      {11, kStan, 132, 200, 200, 0.2f, Storage::kSplit}, {12, kItal, 132, 200, 200, 0.2f, Storage::kSplit},
      {13, kStan, 132, 200, 200, 0.2f, Storage::kSplit}, {14, kGree, 116, 20, 21, 0.25f, Storage::kPacked},
  };
  for (const Expect& e : table) {
    const Alphabet& a = *stroke_font(e.font)->alphabets[e.slot];
    check(a.n_chars == e.n && a.grid_w == e.w && a.grid_h == e.h && a.gap == e.gap &&
              a.storage == e.storage,
          where(e.font, e.slot, 0) + ": size, grid or gap");
  }
  // Both Greek alphabets with an index of their own live on STAN's points.
  for (int n : {1, 4}) {
    const StrokeFont* f = stroke_font(n);
    check(f->alphabets[kGree]->shares_coords &&
              f->alphabets[kGree]->coords == f->alphabets[kStan]->coords,
          "GREE on STAN points in font " + std::to_string(n));
  }
  check(stroke_font(1)->alphabets[kStan]->fixed_width == 6, "font 1 STAN fixed width");
}

void test_all_glyph_data() {
  std::set<const Alphabet*> seen;
  for (int n : kFontNumbers) {
    const StrokeFont* f = stroke_font(n);
    for (int slot = 0; slot < 6; ++slot) {
      const Alphabet& a = *f->alphabets[slot];
      if (!seen.insert(&a).second) continue;
      check_records(n, slot, a);
      check_extents(n, slot, a);
      check_widths(n, slot, a, f->blank_width);
      if (a.storage == Storage::kSplit) check_outline(n, a);
      // every letter has something to draw
      for (int c = 33; c <= 31 + a.n_chars; ++c) {
        const char32_t u = a.unicode[c - 32];
        const bool letter = (u >= U'A' && u <= U'Z') || (u >= U'a' && u <= U'z') || u >= 0xC0;
        if (letter && glyph_polylines(a, c).empty()) {
          check(false, where(n, slot, c) + ": letter without strokes");
          break;
        }
      }
    }
  }
}

// Accented letters are built on the pieces of their base letter.
void test_composition() {
  const auto pieces = [](const Alphabet& a, int c) {
    std::set<std::pair<int, int>> s;
    for_each_piece(a, c, [&](const Piece& p) { s.insert({p.first, p.count}); });
    return s;
  };
  for (int n : {3, 4, 5, 6}) {
    const Alphabet& a = *stroke_font(n)->alphabets[kStan];
    for (auto [base, accented] : {std::pair{'A', 127}, {'o', 131}, {'N', 140}, {'e', 154}}) {
      const auto b = pieces(a, base);
      const auto x = pieces(a, accented);
      check(std::includes(x.begin(), x.end(), b.begin(), b.end()) && x.size() > b.size(),
            where(n, kStan, accented) + ": built on its base letter");
    }
  }
  // Umlaut capitals of the outline fonts reuse the outlines of the base letter.
  const Alphabet& helve = *stroke_font(11)->alphabets[kStan];
  const auto a = pieces(helve, 'A'), ae = pieces(helve, 127);
  check(std::includes(ae.begin(), ae.end(), a.begin(), a.end()), "outline Ä reuses A");
  // A dieresis sits above the letter.
  double top_a = -1e9, low_dots = 1e9;
  for (const auto& l : glyph_polylines(*stroke_font(3)->alphabets[kStan], 'a'))
    for (const auto& p : l) top_a = std::max(top_a, p.second);
  for (const auto& l : glyph_polylines(*stroke_font(3)->alphabets[kStan], 130))
    for (const auto& p : l)
      if (p.second > top_a + 0.5) low_dots = std::min(low_dots, p.second);
  check(low_dots < 1e9 && low_dots > top_a, "dots of ä above the a");
}

void test_layout() {
  const Alphabet& stan = *stroke_font(3)->alphabets[kStan];
  for (int c = 32; c < 127; ++c) check(stan.unicode[c - 32] == static_cast<char32_t>(c), "ASCII");
  check(stan.unicode[127 - 32] == U'Ä' && stan.unicode[133 - 32] == U'ß' &&
            stan.unicode[185 - 32] == U'¡' && stan.unicode[186 - 32] == U'¿' &&
            stan.unicode[263 - 32] == U'€' && stan.unicode[264 - 32] == U'©',
        "national and special codes of STAN");
  check(stroke_font(4)->alphabets[kStan]->unicode[163 - 32] == U'à', "last code of 132-char STAN");
  check(stroke_font(5)->alphabets[kGree]->unicode['a' - 32] == U'α' &&
            stroke_font(5)->alphabets[kGree]->unicode['W' - 32] == U'Ω',
        "Greek on the Latin keys");
  check(stroke_font(5)->alphabets[kRuss]->unicode['a' - 32] == U'а' &&
            stroke_font(5)->alphabets[kRuss]->unicode['_' - 32] == U'Ъ',
        "Cyrillic layout");
  check(stroke_font(5)->alphabets[kMath]->unicode['I' - 32] == U'∫', "MATH integral");
}

void test_widths() {
  const StrokeFont& simplx = *stroke_font(4);
  const Alphabet& a = *simplx.alphabets[kStan];
  check(glyph_width(a, 'l', 9) < glyph_width(a, 'W', 9), "proportional widths");
  check(glyph_width(a, 32, simplx.blank_width) == 9, "blank is S");
  check(glyph_width(a, 500, 9) == 0, "code beyond the alphabet draws nothing");
  const Alphabet& f1 = *stroke_font(1)->alphabets[kStan];
  check(glyph_width(f1, 'i', 6) == 6 && glyph_width(f1, 'W', 6) == 6, "font 1 fixed width");
}

void test_ps_metrics() {
  check(ps_fonts().size() == 35, "35 PostScript fonts");
  const PsFontMetrics* helv = ps_font_metrics("Helvetica");
  const PsFontMetrics* times = ps_font_metrics("times-roman");
  check(helv && helv->widths['A'] == 667 && helv->ascender == 718, "Helvetica A");
  check(times && times->widths[' '] == 250 && times->ascender == 683, "Times-Roman blank");
  check(times && times->widths[127] == 722 && times->widths[133] == 500 &&
            times->widths[185] == 333,
        "re-encoded national codes");
  check(ps_font_metrics("Helvetica-Narrow-BoldOblique") != nullptr, "long name");
  check(ps_font_metrics("Helvetica ") == nullptr && ps_font_metrics("Arial") == nullptr,
        "unknown names");
  const PsFontMetrics* courier = ps_font_metrics("COURIER");
  bool mono = courier != nullptr;
  for (int c = 32; mono && c < 127; ++c) mono = courier->widths[c] == 600;
  check(mono, "Courier is monospaced");
  const PsFontMetrics* sym = ps_font_metrics("Symbol");
  check(sym && sym->widths['a'] == 631, "Symbol alpha");
}

}  // namespace

int main() {
  test_font_table();
  test_alphabet_shapes();
  test_all_glyph_data();
  test_composition();
  test_layout();
  test_widths();
  test_ps_metrics();
  std::printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
