// The arrow routine, single vectors in plot and user coordinates, and the vector options.
#include "plots/arrows.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "axes/axis_convert.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "plots/plot_common.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTol = 0.001;

// The geometry of one arrow: start point, direction and length.
struct ArrowFrame {
  double x, y, s, c, len;
  // the point at distance d along the arrow
  void at(double d, double& px, double& py) const {
    px = x + d * c;
    py = y - d * s;
  }
};

void segment(Context& ctx, double xa, double ya, double xb, double yb) {
  qqstrt(ctx, xa, ya);
  qqconn(ctx, xb, yb);
}

// One head: tip, base point and (for notched heads) inner point at distances along the arrow.
void head(Context& ctx, const ArrowFrame& f, double tip, double base, double inner, double w,
          int form) {
  double tx, ty, bx, by, ix, iy;
  f.at(tip, tx, ty);
  f.at(base, bx, by);
  f.at(inner, ix, iy);
  const double lx = bx - w * f.s, ly = by - w * f.c;
  const double rx = bx + w * f.s, ry = by + w * f.c;
  const bool notched = form == 4 || form == 5;
  if (form == 0 || form == 4) {
    // the fill first, so that the outline stays on top of it
    double px[4] = {lx, tx, rx, ix}, py[4] = {ly, ty, ry, iy};
    FillState saved = ctx.fill;
    set_fill_pattern(ctx, 16);
    qqfpol(ctx, px, py, notched ? 4 : 3);
    ctx.fill = saved;
  }
  qqstrt(ctx, lx, ly);
  qqconn(ctx, tx, ty);
  qqconn(ctx, rx, ry);
  if (form != 2) {
    if (notched) qqconn(ctx, ix, iy);
    qqconn(ctx, lx, ly);
  }
}

}  // namespace

bool check_vector_type(Context& ctx, int ivec) {
  if (ivec >= -1 && ivec <= 9999) return true;
  warn_number(ctx, kMsgIncorrectParameter, ivec);
  return false;
}

// ------------------------------------------------------------------------------------------
// The arrow routine

void draw_arrow(Context& ctx, double x1, double y1, double x2, double y2, int ivec,
                int size_mode, bool no_shaft) {
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) {
    count_nan(ctx);
    return;
  }
  if (!check_vector_type(ctx, ivec)) return;
  const double dx = x2 - x1, dy = y1 - y2;  // dy positive upwards
  if (std::fabs(dx) < kTol && std::fabs(dy) < kTol) return;
  double phi;
  if (std::fabs(dx) > kTol) {
    phi = std::atan(dy / dx);
    if (x1 > x2) {
      if (std::fabs(dy) < kTol)
        phi = kPi;
      else
        phi += y1 < y2 ? -kPi : kPi;
    }
  } else {
    phi = y2 > y1 ? -kPi / 2 : kPi / 2;
  }
  ArrowFrame f{x1, y1, std::sin(phi), std::cos(phi), 0};
  f.len = std::fabs(dy) < kTol ? std::fabs(dx) : std::fabs(dy / f.s);
  const VectorOptions& o = ctx.plots.vec;
  const bool shaft_allowed = size_mode != kArrowSymbol && !no_shaft;
  const int saved_colour = ctx.color.current;
  auto head_colour = [&] {
    if (o.color >= 0 && ctx.color.current != o.color) qqsclr(ctx, o.color);
  };

  if (ivec == -1) {
    if (shaft_allowed) segment(ctx, x1, y1, x2, y2);
    if (o.angle == 0 || o.ratio <= 1e-35) return;
    const double h = (size_mode == kArrowSymbol ? ctx.charts.symbol_size : f.len * o.ratio) * o.size;
    const double w = std::tan(o.angle * kPi / 180.0) * h;
    double bx, by;
    f.at(f.len - h, bx, by);
    head_colour();
    {
      SolidScope solid(ctx);
      qqstrt(ctx, bx - w * f.s, by - w * f.c);
      qqconn(ctx, x2, y2);
      qqconn(ctx, bx + w * f.s, by + w * f.c);
    }
    if (ctx.color.current != saved_colour) qqsclr(ctx, saved_colour);
    return;
  }

  const int width = ivec / 1000, size = ivec / 100 % 10, form = ivec / 10 % 10, pos = ivec % 10;
  if (shaft_allowed && (pos == 0 || form == 0 || form == 2 || form == 3))
    segment(ctx, x1, y1, x2, y2);
  if (pos == 0) return;
  if (form > 5 || pos > 3) {
    warn_number(ctx, kMsgIncorrectParameter, ivec);
    return;
  }
  const double base = size_mode == kArrowProportional ? 0.01 * f.len : 1.0;
  const double a = base * o.size * (10.0 * size + 10.0);
  const double w = a * (width + 0.5) / 4.5;
  const bool notched = form == 4 || form == 5;
  const double L = f.len;
  if ((form == 1 || notched) && !no_shaft) {
    double from = 0;
    if (pos == 2 || pos == 3) from = notched && pos == 2 ? 2 * a / 3 : a;
    double to = notched ? L - 2 * a / 3 : L - a;
    if (to > from) {
      double px, py, qx, qy;
      f.at(from, px, py);
      f.at(to, qx, qy);
      segment(ctx, px, py, qx, qy);
    }
  }
  head_colour();
  {
    SolidScope solid(ctx);
    head(ctx, f, L, L - a, L - 2 * a / 3, w, form);
    if (pos == 2) head(ctx, f, 0, a, 2 * a / 3, w, form);
    if (pos == 3) head(ctx, f, a, 0, a / 3, w, form);
  }
  if (ctx.color.current != saved_colour) qqsclr(ctx, saved_colour);
}

// ------------------------------------------------------------------------------------------
// Single vectors

void vector(int nx1, int ny1, int nx2, int ny2, int ivec) {
  Context* ctx = enter(R::vector);
  if (!ctx) return;
  if (!check_vector_type(*ctx, ivec)) return;
  draw_arrow(*ctx, nx1, page_y(*ctx, ny1), nx2, page_y(*ctx, ny2), ivec);
}

void rlvec(double xa, double ya, double xb, double yb, int ivec) {
  Context* ctx = enter(R::rlvec);
  if (!ctx) return;
  if (!check_vector_type(*ctx, ivec)) return;
  const double xs[2] = {xa, xb}, ys[2] = {ya, yb};
  if (!log_values_ok(*ctx, xs, ys, 2)) return;
  check_scaling(*ctx, xa, ya);
  check_scaling(*ctx, xb, yb);
  double x1, y1, x2, y2;
  user_to_plot(*ctx, xa, ya, x1, y1);
  user_to_plot(*ctx, xb, yb, x2, y2);
  AxisClipScope clip(*ctx);
  draw_arrow(*ctx, x1, y1, x2, y2, ivec);
}

// ------------------------------------------------------------------------------------------
// Options

void vecopt(double xval, const char* copt) {
  Context* ctx = enter(R::vecopt);
  if (!ctx) return;
  static const char kList[] = "ANGL+SCAL+LENG+SIZE";
  int k = lookup_keyword(*ctx, kList, 4, copt);
  VectorOptions& o = ctx->plots.vec;
  bool ok = std::isfinite(xval);
  switch (k) {
    case 1:
      ok = ok && xval >= 0 && xval <= 90;
      if (ok) o.angle = static_cast<int>(xval + 0.5);
      break;
    case 2:
      ok = ok && xval >= 0;
      if (ok) o.scale = xval;
      break;
    case 3:
      ok = ok && xval >= 0 && xval <= 1;
      if (ok) o.ratio = xval;
      break;
    case 4:
      ok = ok && xval > 0;
      if (ok) o.size = xval;
      break;
    default:
      return;
  }
  if (!ok) warn_code(*ctx, kMsgIncorrectParameter);
}

void vecclr(int nclr) {
  Context* ctx = enter(R::vecclr);
  if (!ctx) return;
  if (check_range(*ctx, nclr, -2, -3)) return;
  ctx->plots.vec.color = nclr;
}

double closest_pair(const std::vector<double>& x, const std::vector<double>& y,
                    const std::vector<double>* z) {
  std::vector<size_t> idx(x.size());
  std::iota(idx.begin(), idx.end(), 0);
  std::sort(idx.begin(), idx.end(), [&](size_t a, size_t b) { return x[a] < x[b]; });
  double best = HUGE_VAL;
  // sweep in x order: once the x gap alone exceeds the best distance, no later point is closer
  for (size_t i = 0; i < idx.size(); ++i)
    for (size_t j = i + 1; j < idx.size(); ++j) {
      const double dx = x[idx[j]] - x[idx[i]];
      if (dx * dx >= best) break;
      const double dy = y[idx[j]] - y[idx[i]];
      const double dz = z ? (*z)[idx[j]] - (*z)[idx[i]] : 0.0;
      const double d2 = dx * dx + dy * dy + dz * dz;
      if (d2 > 1e-35 && d2 < best) best = d2;
    }
  return best;
}

double smallest_gap2(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  double best = HUGE_VAL;
  for (size_t i = 1; i < v.size(); ++i) {
    const double d = v[i] - v[i - 1];
    if (d * d > 1e-35) best = std::min(best, d * d);
  }
  return best;
}

double auto_factor(double dist2, double len2) {
  if (!(dist2 < HUGE_VAL) || !(len2 > 1e-35)) return 1.0;
  return std::sqrt(dist2) / std::sqrt(len2);
}

}  // namespace tavero
