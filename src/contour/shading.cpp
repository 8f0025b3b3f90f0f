// Shaded contours: conshd (rectangular grid), conshd2 (curvilinear grid), confll (triangles),
// the band colours and their settings (conclr, zscale, shdmod).
#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>
#include <vector>

#include "axes/axis_convert.h"
#include "charts/charts.h"
#include "contour/contour.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr int kSolid = 16;
constexpr double kSubCell = 5;       // plot units per sub-rectangle of a many-band cell
constexpr int kMaxSubCells = 1000;   // per direction: huge cells stay affordable
constexpr int kPolyPoints = 25000;   // points of one contour polygon (method POLY)

// Whether user coordinates map to plot coordinates axis by axis (rectangles stay rectangles).
bool rectilinear(const Context& ctx) {
  const AxisState& a = ctx.axes;
  return !a.convert && a.kind != kKindPolar && a.kind != kKindSmith && a.kind != kKind3d;
}

// Keeps the part of a polygon where the interpolated value is above c (above) or at most c.
int clip_value(const double* x, const double* y, const double* z, int n, double c, bool above,
               double* ox, double* oy, double* oz) {
  int m = 0;
  for (int i = 0; i < n; ++i) {
    const int j = i == 0 ? n - 1 : i - 1;
    const bool in_i = above ? z[i] > c : z[i] <= c;
    const bool in_j = above ? z[j] > c : z[j] <= c;
    if (in_i != in_j) {
      const double t = (c - z[j]) / (z[i] - z[j]);
      ox[m] = x[j] + (x[i] - x[j]) * t;
      oy[m] = y[j] + (y[i] - y[j]) * t;
      oz[m] = c;
      ++m;
    }
    if (in_i) {
      ox[m] = x[i];
      oy[m] = y[i];
      oz[m] = z[i];
      ++m;
    }
  }
  return m;
}

// One Sutherland-Hodgman edge of the clipping rectangle: keeps a x + b y <= c.
void cut_half_plane(std::vector<double>& x, std::vector<double>& y, double a, double b,
                    double c) {
  const size_t n = x.size();
  std::vector<double> ox, oy;
  ox.reserve(n + 4);
  oy.reserve(n + 4);
  for (size_t i = 0; i < n; ++i) {
    const size_t j = i == 0 ? n - 1 : i - 1;
    const double di = a * x[i] + b * y[i] - c, dj = a * x[j] + b * y[j] - c;
    if ((di <= 0) != (dj <= 0)) {
      const double t = dj / (dj - di);
      ox.push_back(x[j] + t * (x[i] - x[j]));
      oy.push_back(y[j] + t * (y[i] - y[j]));
    }
    if (di <= 0) {
      ox.push_back(x[i]);
      oy.push_back(y[i]);
    }
  }
  x.swap(ox);
  y.swap(oy);
}

// The clipping window relative to the origin shift.
void clip_window(const Context& ctx, double w[4]) {
  const int* c = ctx.line.clip;
  w[0] = c[0] - ctx.core.origin_x;
  w[1] = c[1] - ctx.core.origin_y;
  w[2] = c[2] - ctx.core.origin_x;
  w[3] = c[3] - ctx.core.origin_y;
}

bool outside_window(const Context& ctx, const double* x, const double* y, int n) {
  if (ctx.line.circle_clip) return false;
  double w[4];
  clip_window(ctx, w);
  double x0 = x[0], x1 = x[0], y0 = y[0], y1 = y[0];
  for (int i = 1; i < n; ++i) {
    x0 = std::min(x0, x[i]);
    x1 = std::max(x1, x[i]);
    y0 = std::min(y0, y[i]);
    y1 = std::max(y1, y[i]);
  }
  return x1 < w[0] || x0 > w[2] || y1 < w[1] || y0 > w[3];
}

inline void set_colour(Context& ctx, int colour) {
  if (ctx.color.current != colour) qqsclr(ctx, colour);
}

// ------------------------------------------------------------------------------------------
// method CELL

class CellShader {
 public:
  CellShader(Context& ctx, const Bands& b) : ctx_(ctx), b_(b), rect_map_(rectilinear(ctx)) {}

  // Corners 0 (i, j), 1 (i+1, j), 2 (i+1, j+1), 3 (i, j+1) in user coordinates.
  void cell(const double* ux, const double* uy, const double* z, bool rect_grid) {
    int band[4];
    for (int k = 0; k < 4; ++k) {
      band[k] = b_.band(z[k]);
      if (band[k] < 0) return;  // a missing value leaves the cell empty
    }
    double X[4], Y[4];
    for (int k = 0; k < 4; ++k) {
      user_to_plot(ctx_, ux[k], uy[k], X[k], Y[k]);
      if (!std::isfinite(X[k]) || !std::isfinite(Y[k])) return;
    }
    if (outside_window(ctx_, X, Y, 4)) return;
    const int lo = *std::min_element(band, band + 4), hi = *std::max_element(band, band + 4);
    const bool rect = rect_grid && rect_map_;
    if (lo == hi) {
      const int colour = b_.colour[lo];
      if (colour < 0) return;
      if (rect)
        qqfrec(ctx_, X[0], Y[0], X[2], Y[2], colour);
      else
        fill_plot_polygon(ctx_, X, Y, 4, colour);
    } else if (hi - lo == 1) {
      two_bands(ux, uy, z, lo);
    } else {
      many_bands(ux, uy, z, X, Y, rect);
    }
  }

 private:
  // One level crosses the cell: four triangles round the centre, each cut along the level,
  // so that the pieces meet the contour lines of the same grid.
  //
  // The pieces of one side are joined into whole polygons before they are filled (edges shared
  // by two pieces cancel), so that a band shows no seams inside a cell in vector viewers.
  // Vertex ids: corners 0..3, centre 4, cut on the side k..k+1: 5 + k, cut on the ray
  // k..centre: 9 + k.
  void two_bands(const double* ux, const double* uy, const double* z, int lo) {
    const double c = b_.level[lo];
    double vx[13], vy[13], vz[13];
    for (int k = 0; k < 4; ++k) {
      vx[k] = ux[k];
      vy[k] = uy[k];
      vz[k] = z[k];
    }
    vx[4] = (ux[0] + ux[1] + ux[2] + ux[3]) / 4;
    vy[4] = (uy[0] + uy[1] + uy[2] + uy[3]) / 4;
    vz[4] = (z[0] + z[1] + z[2] + z[3]) / 4;
    for (int k = 0; k < 4; ++k) {
      cut(vx, vy, vz, k, (k + 1) % 4, 5 + k, c);
      cut(vx, vy, vz, k, 4, 9 + k, c);
    }
    for (int side = 0; side < 2; ++side) {
      const int colour = b_.colour[lo + side];
      if (colour < 0) continue;
      int next[13];
      for (int& n : next) n = -1;
      int from[40], to[40], ne = 0;
      for (int k = 0; k < 4; ++k) {
        const int tri[3] = {k, (k + 1) % 4, 4};
        int poly[5], m = 0;
        for (int a = 0; a < 3; ++a) {
          const int p = tri[(a + 2) % 3], q = tri[a];
          const bool in_p = side ? vz[p] > c : vz[p] <= c;
          const bool in_q = side ? vz[q] > c : vz[q] <= c;
          if (in_p != in_q) poly[m++] = cut_id(p, q);
          if (in_q) poly[m++] = q;
        }
        for (int a = 0; a < m; ++a) {
          from[ne] = poly[a];
          to[ne++] = poly[(a + 1) % m];
        }
      }
      for (int e = 0; e < ne; ++e) {
        bool shared = false;
        for (int f = 0; f < ne && !shared; ++f) shared = from[f] == to[e] && to[f] == from[e];
        if (!shared && from[e] != to[e]) next[from[e]] = to[e];
      }
      for (int start = 0; start < 13; ++start) {
        if (next[start] < 0) continue;
        double px[13], py[13];
        int m = 0;
        for (int v = start; v >= 0 && m < 13;) {
          px[m] = vx[v];
          py[m++] = vy[v];
          const int w = next[v];
          next[v] = -1;
          v = w;
        }
        if (m >= 3) fill_user_polygon(ctx_, px, py, m, colour);
      }
    }
  }

  static int cut_id(int p, int q) {
    if (p == 4 || q == 4) return 9 + (p == 4 ? q : p);
    const int a = std::min(p, q), b = std::max(p, q);
    return a == 0 && b == 3 ? 8 : 5 + a;
  }

  // The crossing of level c on the segment p..q (in one direction only, so that both pieces
  // that share it get the very same point).
  static void cut(double* x, double* y, double* z, int p, int q, int id, double c) {
    const double t = (c - z[p]) / (z[q] - z[p]);
    x[id] = x[p] + (x[q] - x[p]) * t;
    y[id] = y[p] + (y[q] - y[p]) * t;
    z[id] = c;
  }

  // Several levels cross the cell: sub-rectangles of about five plot units, each in the band
  // of the bilinear value at its centre; runs of one band in a row are filled at once.
  void many_bands(const double* ux, const double* uy, const double* z, const double* X,
                  const double* Y, bool rect) {
    double lu, lv;
    if (rect) {
      lu = std::fabs(X[1] - X[0]);
      lv = std::fabs(Y[3] - Y[0]);
    } else {
      lu = std::max(std::hypot(X[1] - X[0], Y[1] - Y[0]), std::hypot(X[2] - X[3], Y[2] - Y[3]));
      lv = std::max(std::hypot(X[3] - X[0], Y[3] - Y[0]), std::hypot(X[2] - X[1], Y[2] - Y[1]));
    }
    const int nu = std::clamp(static_cast<int>(lu / kSubCell), 1, kMaxSubCells);
    const int nv = std::clamp(static_cast<int>(lv / kSubCell), 1, kMaxSubCells);
    for (int q = 0; q < nv; ++q) {
      const double v0 = static_cast<double>(q) / nv, v1 = static_cast<double>(q + 1) / nv;
      const double vc = (q + 0.5) / nv;
      int run_band = -2, run_start = 0;
      for (int p = 0; p <= nu; ++p) {
        int band = -2;
        if (p < nu) {
          const double uc = (p + 0.5) / nu;
          const double zc = (1 - uc) * (1 - vc) * z[0] + uc * (1 - vc) * z[1] + uc * vc * z[2] +
                            (1 - uc) * vc * z[3];
          band = b_.band(zc);
        }
        if (band == run_band) continue;
        if (run_band >= 0 && b_.colour[run_band] >= 0) {
          const double u0 = static_cast<double>(run_start) / nu, u1 = static_cast<double>(p) / nu;
          const int colour = b_.colour[run_band];
          if (rect) {
            qqfrec(ctx_, X[0] + (X[1] - X[0]) * u0, Y[0] + (Y[3] - Y[0]) * v0,
                   X[0] + (X[1] - X[0]) * u1, Y[0] + (Y[3] - Y[0]) * v1, colour);
          } else {
            double px[4], py[4];
            bilinear(ux, uy, u0, v0, px[0], py[0]);
            bilinear(ux, uy, u1, v0, px[1], py[1]);
            bilinear(ux, uy, u1, v1, px[2], py[2]);
            bilinear(ux, uy, u0, v1, px[3], py[3]);
            fill_user_polygon(ctx_, px, py, 4, colour);
          }
        }
        run_band = band;
        run_start = p;
      }
    }
  }

  static void bilinear(const double* x, const double* y, double u, double v, double& ox,
                       double& oy) {
    ox = (1 - u) * (1 - v) * x[0] + u * (1 - v) * x[1] + u * v * x[2] + (1 - u) * v * x[3];
    oy = (1 - u) * (1 - v) * y[0] + u * (1 - v) * y[1] + u * v * y[2] + (1 - u) * v * y[3];
  }

  Context& ctx_;
  const Bands& b_;
  bool rect_map_;
};

// Rectangular grids on rectilinear axes: blocks of whole cells in one band become one
// rectangle each (fewer primitives, and no hairline seams inside a band in vector viewers);
// the other cells are shaded one by one.
void shade_rect_cells(Context& ctx, const Grid& g, const Bands& b) {
  const int cx = g.nx - 1, cy = g.ny - 1;
  std::vector<int> uniform(static_cast<size_t>(cx) * cy, -1);  // band, -1 mixed or missing
  auto at = [&](int i, int j) -> int& { return uniform[static_cast<size_t>(i) * cy + j]; };
  for (int i = 0; i < cx; ++i)
    for (int j = 0; j < cy; ++j) {
      const int b0 = b.band(g.zat(i, j));
      if (b0 >= 0 && b0 == b.band(g.zat(i + 1, j)) && b0 == b.band(g.zat(i + 1, j + 1)) &&
          b0 == b.band(g.zat(i, j + 1)))
        at(i, j) = b0;
    }
  CellShader shader(ctx, b);
  constexpr int kDone = -2;
  for (int i = 0; i < cx; ++i)
    for (int j = 0; j < cy; ++j) {
      const int band = at(i, j);
      if (band == kDone) continue;
      if (band < 0) {
        const double ux[4] = {g.x[i], g.x[i + 1], g.x[i + 1], g.x[i]};
        const double uy[4] = {g.y[j], g.y[j], g.y[j + 1], g.y[j + 1]};
        const double z[4] = {g.zat(i, j), g.zat(i + 1, j), g.zat(i + 1, j + 1), g.zat(i, j + 1)};
        shader.cell(ux, uy, z, true);
        continue;
      }
      int j2 = j;
      while (j2 + 1 < cy && at(i, j2 + 1) == band) ++j2;
      int i2 = i;
      for (bool grow = true; grow && i2 + 1 < cx;) {
        for (int jj = j; jj <= j2 && grow; ++jj) grow = at(i2 + 1, jj) == band;
        if (grow) ++i2;
      }
      for (int ii = i; ii <= i2; ++ii)
        for (int jj = j; jj <= j2; ++jj) at(ii, jj) = kDone;
      if (b.colour[band] < 0) continue;
      const double xa = g.x[i], xe = g.x[i2 + 1], ya = g.y[j], ye = g.y[j2 + 1];
      double X0, Y0, X1, Y1;
      user_to_plot(ctx, xa, ya, X0, Y0);
      user_to_plot(ctx, xe, ye, X1, Y1);
      if (std::isfinite(X0) && std::isfinite(Y0) && std::isfinite(X1) && std::isfinite(Y1))
        qqfrec(ctx, X0, Y0, X1, Y1, b.colour[band]);
    }
}

void shade_cells(Context& ctx, const Grid& g, const Bands& b) {
  if (!g.curvilinear && rectilinear(ctx)) {
    shade_rect_cells(ctx, g, b);
    return;
  }
  CellShader shader(ctx, b);
  for (int i = 0; i + 1 < g.nx; ++i)
    for (int j = 0; j + 1 < g.ny; ++j) {
      const double ux[4] = {g.xat(i, j), g.xat(i + 1, j), g.xat(i + 1, j + 1), g.xat(i, j + 1)};
      const double uy[4] = {g.yat(i, j), g.yat(i + 1, j), g.yat(i + 1, j + 1), g.yat(i, j + 1)};
      const double z[4] = {g.zat(i, j), g.zat(i + 1, j), g.zat(i + 1, j + 1), g.zat(i, j + 1)};
      shader.cell(ux, uy, z, !g.curvilinear);
    }
}

// ------------------------------------------------------------------------------------------
// method POLY: the closed contour lines of each level filled in the level's colour

class PolygonFill final : public LineSink {
 public:
  explicit PolygonFill(Context& ctx) : ctx_(ctx) {
    x_.reserve(kPolyPoints);
    y_.reserve(kPolyPoints);
  }
  void set_colour(int colour) { colour_ = colour; }
  void begin_line() override { fill(); }
  void point(double xu, double yu) override {
    double X, Y;
    user_to_plot(ctx_, xu, yu, X, Y);
    if (!std::isfinite(X) || !std::isfinite(Y)) return;
    if (!x_.empty() && std::fabs(X - x_.back()) <= 0.5 && std::fabs(Y - y_.back()) <= 0.5) return;
    if (x_.size() >= static_cast<size_t>(kPolyPoints)) return;
    x_.push_back(X);
    y_.push_back(Y);
  }
  void end_level() override { fill(); }

 private:
  // Closed lines only: a line from border to border leaves its region open.
  void fill() {
    const size_t n = x_.size();
    if (n > 2 && std::fabs(x_[0] - x_[n - 1]) < 1 && std::fabs(y_[0] - y_[n - 1]) < 1)
      fill_plot_polygon(ctx_, x_.data(), y_.data(), static_cast<int>(n), colour_);
    x_.clear();
    y_.clear();
  }

  Context& ctx_;
  std::vector<double> x_, y_;
  int colour_ = 0;
};

void shade_polygons(Context& ctx, const Grid& g, const double* levels, int nlev) {
  PolygonFill fill(ctx);
  for (int k = 0; k < nlev; ++k) {
    if (std::isnan(levels[k])) continue;
    fill.set_colour(level_colour(ctx, k + 1, levels[k]));
    if (!trace_grid(g, levels[k], fill)) {
      warn_code(ctx, kMsgNoMemory);
      return;
    }
    fill.end_level();
  }
}

// The whole shading of a grid, with the drawing state given back afterwards.
void shade_grid(Context& ctx, const Grid& g, const double* levels, int nlev) {
  const ContourState& c = ctx.contour;
  try {
    if (c.shade_method == 1) {
      if (c.nlevel_colors >= 1 && c.nlevel_colors < nlev)
        warn_custom(ctx, 162, "More contour levels as defined colours");
      shading_scale(ctx, levels, nlev);
      AttributeScope scope(ctx);
      set_fill_pattern(ctx, kSolid);
      axis_clip_on(ctx);
      shade_polygons(ctx, g, levels, nlev);
      axis_clip_off(ctx);
      return;
    }
    Bands b;
    if (!make_bands(ctx, levels, nlev, b)) return;
    AttributeScope scope(ctx);
    set_fill_pattern(ctx, kSolid);
    axis_clip_on(ctx);
    shade_cells(ctx, g, b);
    axis_clip_off(ctx);
  } catch (const std::bad_alloc&) {
    axis_clip_off(ctx);
    warn_code(ctx, kMsgNoMemory);
  }
}

bool grid_ok(Context& ctx, int nx, int ny, int nlev) {
  if (nx < 2 || ny < 2) {
    warn_number(ctx, kMsgIncorrectParameter, nx < ny ? nx : ny);
    return false;
  }
  return !check_range(ctx, nlev, 1, -1);
}

}  // namespace

// ==========================================================================================
// shared services

int Bands::band(double z) const {
  if (std::isnan(z)) return -1;
  return static_cast<int>(std::lower_bound(level.begin(), level.end(), z) - level.begin());
}

int cut_band(const double* x, const double* y, const double* z, int n, double lo, double hi,
             double* ox, double* oy, double* oz) {
  double tx[16], ty[16], tz[16];
  if (n > 12) return 0;
  int m = clip_value(x, y, z, n, lo, true, tx, ty, tz);
  if (m < 3) return 0;
  return clip_value(tx, ty, tz, m, hi, false, ox, oy, oz);
}

void fill_plot_polygon(Context& ctx, const double* x, const double* y, int n, int colour) {
  if (n < 3 || colour < 0) return;
  std::vector<double> px, py;
  px.reserve(n);
  py.reserve(n);
  for (int i = 0; i < n; ++i)
    if (std::isfinite(x[i]) && std::isfinite(y[i])) {
      px.push_back(x[i]);
      py.push_back(y[i]);
    }
  if (px.size() < 3) return;
  if (!ctx.line.circle_clip) {
    double w[4];
    clip_window(ctx, w);
    auto [x0, x1] = std::minmax_element(px.begin(), px.end());
    auto [y0, y1] = std::minmax_element(py.begin(), py.end());
    if (*x1 < w[0] || *x0 > w[2] || *y1 < w[1] || *y0 > w[3]) return;
    if (*x0 < w[0] || *x1 > w[2] || *y0 < w[1] || *y1 > w[3]) {
      cut_half_plane(px, py, -1, 0, -w[0]);
      cut_half_plane(px, py, 1, 0, w[2]);
      cut_half_plane(px, py, 0, -1, -w[1]);
      cut_half_plane(px, py, 0, 1, w[3]);
      if (px.size() < 3) return;
    }
  }
  set_colour(ctx, colour);
  qqfpol(ctx, px.data(), py.data(), static_cast<int>(px.size()));
}

void fill_user_polygon(Context& ctx, const double* x, const double* y, int n, int colour) {
  double px[16], py[16];
  if (n > 16 || colour < 0) return;
  for (int i = 0; i < n; ++i) user_to_plot(ctx, x[i], y[i], px[i], py[i]);
  fill_plot_polygon(ctx, px, py, n, colour);
}

int level_colour(const Context& ctx, int k, double v) {
  const ContourState& c = ctx.contour;
  if (c.nlevel_colors >= 1 && k >= 1 && k <= c.nlevel_colors) return c.level_colors[k - 1];
  return color_of_value(ctx, v);
}

void shading_scale(Context& ctx, const double* levels, int nlev) {
  const ContourState& c = ctx.contour;
  double lo, hi;
  if (c.zscale_set) {
    lo = c.zscale_min;
    hi = c.zscale_max;
  } else {
    lo = HUGE_VAL;
    hi = -HUGE_VAL;
    for (int k = 0; k < nlev; ++k)
      if (std::isfinite(levels[k])) {
        lo = std::min(lo, levels[k]);
        hi = std::max(hi, levels[k]);
      }
    if (lo > hi) lo = hi = 0;
  }
  // a logarithmic colour axis (colour plots of level 3) scales the exponents
  if (ctx.core.level == 3 && ctx.axes.sc[2].log && lo > 0 && hi > 0)
    set_color_scaling(ctx, std::log10(lo), std::log10(hi), true, lo, hi, true);
  else
    set_color_scaling(ctx, lo, hi, false, lo, hi, false);
}

void sort_levels(Context& ctx, const double* levels, int nlev, Bands& b, std::vector<int>& pos) {
  const ContourState& c = ctx.contour;
  if (c.nlevel_colors >= 1 && c.nlevel_colors < nlev)
    warn_custom(ctx, 162, "More contour levels as defined colours");
  pos.resize(nlev);
  std::iota(pos.begin(), pos.end(), 1);
  std::stable_sort(pos.begin(), pos.end(),
                   [levels](int p, int q) { return levels[p - 1] < levels[q - 1]; });
  b.level.resize(nlev);
  for (int k = 0; k < nlev; ++k) b.level[k] = levels[pos[k] - 1];
}

void band_colours(Context& ctx, const std::vector<int>& pos, Bands& b) {
  const ContourState& c = ctx.contour;
  const int nlev = static_cast<int>(b.level.size());
  const double* lev = b.level.data();
  auto sorted_colour = [&](int k) { return level_colour(ctx, pos[k - 1], lev[k - 1]); };  // k 1-based
  const int below = color_of_value(ctx, -HUGE_VAL), above = color_of_value(ctx, HUGE_VAL);
  b.colour.assign(nlev + 1, -1);
  for (int band = 0; band <= nlev; ++band) {
    int colour;
    switch (c.color_rule) {
      case 2:  // UPPE: the upper bounding level
        colour = band < nlev ? sorted_colour(band + 1) : above;
        break;
      case 1:  // MIDD: the middle of the band
        if (band == 0) {
          colour = below;
        } else if (band == nlev) {
          colour = sorted_colour(nlev);
        } else {
          const int p = pos[band - 1];
          colour = c.nlevel_colors >= 1 && p <= c.nlevel_colors
                       ? c.level_colors[p - 1]
                       : color_of_value(ctx, (lev[band - 1] + lev[band]) / 2);
        }
        break;
      default:  // LOWE: the lower bounding level
        colour = band == 0 ? below : sorted_colour(band);
        break;
    }
    b.colour[band] = colour;
  }
  if (c.outer_bands == 2 || c.outer_bands == 3) b.colour[nlev] = -1;
  if (c.outer_bands == 1 || c.outer_bands == 3) b.colour[0] = -1;
}

bool make_bands(Context& ctx, const double* levels, int nlev, Bands& b) {
  for (int k = 0; k < nlev; ++k)
    if (std::isnan(levels[k])) {
      warn_code(ctx, kMsgIncorrectParameter);
      return false;
    }
  std::vector<int> pos;
  sort_levels(ctx, levels, nlev, b, pos);
  shading_scale(ctx, levels, nlev);
  band_colours(ctx, pos, b);
  return true;
}

// ==========================================================================================
// public routines

void conshd(const double* xray, int nx, const double* yray, int ny, const double* zmat,
            const double* zlvray, int nlev) {
  Context* ctx = enter(R::conshd);
  if (!ctx || !grid_ok(*ctx, nx, ny, nlev) || !log_values_ok(*ctx, xray, nx, yray, ny)) return;
  shade_grid(*ctx, Grid{xray, yray, zmat, nx, ny, false}, zlvray, nlev);
}

void conshd2(const double* xmat, const double* ymat, const double* zmat, int nx, int ny,
             const double* zlvray, int nlev) {
  Context* ctx = enter(R::conshd2);
  if (!ctx || !grid_ok(*ctx, nx, ny, nlev)) return;
  const long n = static_cast<long>(nx) * ny;
  if (!log_values_ok(*ctx, xmat, n, ymat, n)) return;
  shade_grid(*ctx, Grid{xmat, ymat, zmat, nx, ny, true}, zlvray, nlev);
}

void confll(const double* xray, const double* yray, const double* zray, int n,
            const int* i1ray, const int* i2ray, const int* i3ray, int ntri, const double* zlvray,
            int nlev) {
  Context* ctx = enter(R::confll);
  if (!ctx || check_range(*ctx, n, 3, -1) || check_range(*ctx, ntri, 1, -1) ||
      check_range(*ctx, nlev, 1, -1))
    return;
  const int* idx[3] = {i1ray, i2ray, i3ray};
  for (int t = 0; t < ntri; ++t)
    for (const int* v : idx)
      if (v[t] < 1 || v[t] > n) {
        warn_number(*ctx, kMsgIncorrectParameter, v[t]);
        return;
      }
  try {
    Bands b;
    if (!make_bands(*ctx, zlvray, nlev, b)) return;
    AttributeScope scope(*ctx);
    set_fill_pattern(*ctx, kSolid);
    axis_clip_on(*ctx);
    for (int t = 0; t < ntri; ++t) {
      double x[3], y[3], z[3];
      int band[3];
      bool missing = false;
      for (int k = 0; k < 3; ++k) {
        const int v = idx[k][t] - 1;
        x[k] = xray[v];
        y[k] = yray[v];
        z[k] = zray[v];
        band[k] = b.band(z[k]);
        missing = missing || band[k] < 0;
      }
      if (missing) continue;
      const int lo = std::min({band[0], band[1], band[2]});
      const int hi = std::max({band[0], band[1], band[2]});
      if (lo == hi) {
        fill_user_polygon(*ctx, x, y, 3, b.colour[lo]);
        continue;
      }
      // the part of the triangle in each band it spans
      for (int k = lo; k <= hi; ++k) {
        if (b.colour[k] < 0) continue;
        const double blo = k == 0 ? -HUGE_VAL : b.level[k - 1];
        const double bhi = k == nlev ? HUGE_VAL : b.level[k];
        double px[8], py[8], pz[8];
        const int m = cut_band(x, y, z, 3, blo, bhi, px, py, pz);
        if (m >= 3) fill_user_polygon(*ctx, px, py, m, b.colour[k]);
      }
    }
    axis_clip_off(*ctx);
  } catch (const std::bad_alloc&) {
    axis_clip_off(*ctx);
    warn_code(*ctx, kMsgNoMemory);
  }
}

void conclr(const int* nclray, int n) {
  Context* ctx = enter(R::conclr);
  if (!ctx || check_range(*ctx, n, 0, kMaxLevelColors)) return;
  ContourState& c = ctx->contour;
  for (int k = 0; k < n; ++k) c.level_colors[k] = nclray[k];
  c.nlevel_colors = n;
}

void zscale(double zmin, double zmax) {
  Context* ctx = enter(R::zscale);
  if (!ctx) return;
  if (!(zmin < zmax) || !std::isfinite(zmin) || !std::isfinite(zmax)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ContourState& c = ctx->contour;
  c.zscale_set = 1;
  c.zscale_min = zmin;
  c.zscale_max = zmax;
}

void shdmod(const char* copt, const char* ckey) {
  Context* ctx = enter(R::shdmod);
  if (!ctx) return;
  static const char* const kLists[8] = {"FLAT+SMOO",      "CELL+POLY",
                                        "RECT+SYMB+PIXE+2D  +3D  ", "BOTH+UPPE+LOWE+NONE",
                                        "LOWE+MIDD+UPPE", "OFF +ON  +FRON",
                                        "2D  +3D  ",      "ON  +OFF "};
  const int obj = lookup_keyword(*ctx, "SURF+CONT+CURV+CELL+COLO+CULL+SYMB+ZSCA", 8, ckey);
  if (!obj) return;
  const char* list = kLists[obj - 1];
  const int k = lookup_keyword(*ctx, list, keyword_count(list), copt);
  if (!k) return;
  ContourState& c = ctx->contour;
  int* const fields[8] = {&c.surface_shading, &c.shade_method, &c.curve_shading, &c.outer_bands,
                          &c.color_rule,      &c.culling,      &c.symbol_shading,
                          &c.value_colors_lit};
  *fields[obj - 1] = k - 1;
}

}  // namespace tavero
