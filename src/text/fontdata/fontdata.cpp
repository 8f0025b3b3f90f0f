// Font table and accessors over the generated glyph and metric tables.
#include "text/fontdata/fontdata.h"

#include <algorithm>
#include <cctype>

namespace tavero::fontdata {

namespace detail {
// Defined in the generated files of this folder.
extern const Alphabet kCommonGree, kCommonMath, kCommonScri, kCommonRuss;
extern const Alphabet kFont1Stan, kFont1Gree, kFont1Ital;
extern const Alphabet kComplxStan, kComplxItal;
extern const Alphabet kSimplxStan, kSimplxGree, kSimplxItal;
extern const Alphabet kDuplxStan, kDuplxItal;
extern const Alphabet kTriplxStan, kTriplxItal;
extern const Alphabet kGothicStan, kGothicItal, kGothicScri;
extern const Alphabet kHelveStan, kHelveItal, kHelvesStan, kHelvesItal;
extern const Alphabet kHelvetStan, kHelvetItal, kSerifStan, kSerifItal;
extern const PsFontMetrics kPsFonts[];
extern const int kPsFontCount;
}  // namespace detail

namespace {

using namespace detail;

// Slots: STAN, GREE, MATH, ITAL, SCRI, RUSS.
constexpr StrokeFont kFonts[] = {
    {1, 6, {&kFont1Stan, &kFont1Gree, &kCommonMath, &kFont1Ital, &kCommonScri, &kCommonRuss}},
    {3, 9, {&kComplxStan, &kCommonGree, &kCommonMath, &kComplxItal, &kCommonScri, &kCommonRuss}},
    {4, 9, {&kSimplxStan, &kSimplxGree, &kCommonMath, &kSimplxItal, &kCommonScri, &kCommonRuss}},
    {5, 9, {&kDuplxStan, &kCommonGree, &kCommonMath, &kDuplxItal, &kCommonScri, &kCommonRuss}},
    {6, 9, {&kTriplxStan, &kCommonGree, &kCommonMath, &kTriplxItal, &kCommonScri, &kCommonRuss}},
    {7, 9, {&kGothicStan, &kCommonGree, &kCommonMath, &kGothicItal, &kGothicScri, &kCommonRuss}},
    {11, 60, {&kHelveStan, &kCommonGree, &kCommonMath, &kHelveItal, &kCommonScri, &kCommonRuss}},
    {12, 60, {&kHelvesStan, &kCommonGree, &kCommonMath, &kHelvesItal, &kCommonScri, &kCommonRuss}},
    {13, 60, {&kHelvetStan, &kCommonGree, &kCommonMath, &kHelvetItal, &kCommonScri, &kCommonRuss}},
    {14, 60, {&kSerifStan, &kCommonGree, &kCommonMath, &kSerifItal, &kCommonScri, &kCommonRuss}},
};

}  // namespace

const StrokeFont* stroke_font(int font_number) {
  for (const StrokeFont& f : kFonts) {
    if (f.number == font_number) return &f;
  }
  return nullptr;
}

std::vector<std::vector<std::pair<double, double>>> glyph_polylines(const Alphabet& a, int c) {
  std::vector<std::vector<std::pair<double, double>>> out;
  const double step = offset_scale(a);
  for_each_piece(a, c, [&](const Piece& p) {
    auto& line = out.emplace_back();
    line.reserve(static_cast<std::size_t>(p.count));
    for (int i = 0; i < p.count; ++i) {
      const Point q = point_at(a, p.first + i);
      line.emplace_back(q.x + p.off_x * step, q.y + p.off_y * step);
    }
  });
  return out;
}

double glyph_width(const Alphabet& a, int c, int blank_width) {
  if (a.fixed_width > 0) return a.fixed_width;
  if (c == 32) return blank_width;
  const double step = offset_scale(a);
  double w = 0.0;
  for_each_piece(a, c, [&](const Piece& p) {
    int xmax = point_at(a, p.first).x;
    for (int i = 1; i < p.count; ++i) xmax = std::max(xmax, point_at(a, p.first + i).x);
    w = std::max(w, xmax + p.off_x * step);
  });
  return w;
}

std::span<const PsFontMetrics> ps_fonts() {
  return {kPsFonts, static_cast<std::size_t>(kPsFontCount)};
}

const PsFontMetrics* ps_font_metrics(std::string_view name) {
  for (const PsFontMetrics& f : ps_fonts()) {
    const std::string_view n(f.name);
    if (n.size() == name.size() &&
        std::equal(n.begin(), n.end(), name.begin(), [](char x, char y) {
          return std::tolower(static_cast<unsigned char>(x)) ==
                 std::tolower(static_cast<unsigned char>(y));
        })) {
      return &f;
    }
  }
  return nullptr;
}

}  // namespace tavero::fontdata
