// Helpers shared by the text vector formats (SVG, IPE, Java, HPGL): numbers appended to an
// output line without printf, the scale of the pixel-sized formats, and the test that a
// device polygon lies inside the clipping window.
#pragma once
#include <cmath>
#include <string>
#include <utility>

#include "core/context.h"
#include "draw/pipeline.h"
#include "tavero_api.h"
#include "text/fastfmt.h"

namespace tavero::vecout {

// Exactly like "%.Nf" (a rounded zero has no sign; a non-finite value is written as 0).
inline void put_fixed(std::string& s, double v, int decimals) {
  char b[fastfmt::kMaxFixedLen];
  char* e = fastfmt::append_fixed(b, v, decimals);
  s.append(b, static_cast<size_t>(e - b));
}

inline void put_int(std::string& s, long long v) {
  char b[fastfmt::kMaxIntLen + 2];
  char* e = fastfmt::append_int(b, v);
  s.append(b, static_cast<size_t>(e - b));
}

// "%02x"
inline void put_hex2(std::string& s, unsigned v) {
  static const char kHex[] = "0123456789abcdef";
  s.push_back(kHex[(v >> 4) & 15]);
  s.push_back(kHex[v & 15]);
}

// A device value written with "%d": the value rounded half up, kept in the int range.
inline long long to_int(double v) {
  if (!std::isfinite(v)) return 0;
  if (v > 2e9) return 2000000000;
  if (v < -2e9) return -2000000000;
  return static_cast<long long>(std::floor(v + 0.5));
}

// The library version as "%4.1f".
inline void put_version(std::string& s) {
  char b[fastfmt::kMaxFixedLen];
  char* e = fastfmt::append_fixed(b, getver(), 1);
  for (long n = e - b; n < 4; ++n) s += ' ';
  s.append(b, static_cast<size_t>(e - b));
}

// Unit factor times the sclfac factor.
inline double unit_scale(const Context& ctx) {
  return ctx.core.unit_factor * ctx.core.scale_factor;
}

// Device units per plot unit of the formats sized like the window (raster, Java, SVG): the
// page fitted into the window; with "DOWN" not larger than the default page in the window.
inline double window_scale(const Context& ctx) {
  const CoreState& c = ctx.core;
  double W = c.page_w, H = c.page_h;
  if (c.page_mode == 1) std::swap(W, H);
  double wp = c.win_w - 1, hp = c.win_h - 1;
  double s = std::fmin(wp / std::fmax(W, 1.0), hp / std::fmax(H, 1.0));
  if (c.scale_mode == 0) {
    double side = c.page_w > c.page_h ? wp : hp;
    s = std::fmin(s, side * unit_scale(ctx) / 2969.0);
  }
  return s;
}

// Whether every device point of a polygon lies inside the clipping window (in whole plot
// units) or circle. Hardware fills take only such polygons; the others are drawn by the core.
inline bool polygon_inside_clip(const Context& ctx, const double* x, const double* y, int n) {
  const DeviceMap& m = ctx.dev.map;
  double det = m.a * m.e - m.b * m.d;
  if (std::fabs(det) < 1e-300) return false;
  const int* w = ctx.line.clip;
  for (int i = 0; i < n; ++i) {
    double u = x[i] - m.c, v = y[i] - m.f;
    double px = (m.e * u - m.b * v) / det, py = (m.a * v - m.d * u) / det;
    if (!std::isfinite(px) || !std::isfinite(py)) return false;
    if (ctx.line.circle_clip) {
      if (outside_clip(ctx, px, py)) return false;
      continue;
    }
    long long ix = to_int(px), iy = to_int(py);
    if (ix < w[0] || ix > w[2] || iy < w[1] || iy > w[3]) return false;
  }
  return true;
}

}  // namespace tavero::vecout
