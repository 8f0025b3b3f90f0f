// Lists of vectors and vector fields in user coordinates, with automatic scaling and colours
// by length, and wind speed symbols.
#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>
#include <vector>

#include "axes/axis_convert.h"
#include "core/entry.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "plots/arrows.h"
#include "plots/plot_common.h"
#include "tavero_api.h"

namespace tavero {

namespace {


// Whether a user point lies within the axis limits (limits included).
bool within_limits(Context& ctx, double x, double y) {
  const AxisState& a = ctx.axes;
  if (a.kind == kKindGraf || a.kind == kKindNone) {
    const AxisScale &sx = a.sc[0], &sy = a.sc[1];
    return x >= sx.ulo && x <= sx.uhi && y >= sy.ulo && y <= sy.uhi;
  }
  return std::isfinite(x) && std::isfinite(y) && inside_axis_area(ctx, x, y);
}

// Colours by length: at level 2 the colour scaling spans the lengths of all vectors.
class LengthColors {
 public:
  LengthColors(Context& ctx, const std::vector<double>& len) : ctx_(ctx) {
    on_ = ctx.plots.vec.color == -2;
    if (!on_ || ctx.core.level != 2) return;
    double lo = HUGE_VAL, hi = -HUGE_VAL;
    for (double v : len)
      if (std::isfinite(v)) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
    if (lo > hi) lo = hi = 0;
    set_color_scaling(ctx, lo, hi, false, lo, hi, false);
  }
  void use(double len) {
    if (on_) {
      const int c = color_of_value(ctx_, len);
      if (c != ctx_.color.current) qqsclr(ctx_, c);
    }
  }

 private:
  Context& ctx_;
  bool on_ = false;
};

// Draws n vectors from (xp, yp) to (xp + f xv, yp + f yv) in size mode 1.
void draw_field(Context& ctx, const double* xv, const double* yv, const double* xp,
                const double* yp, long n, double f, int ivec) {
  std::vector<double> len(static_cast<size_t>(n));
  for (long k = 0; k < n; ++k) len[k] = std::hypot(xv[k], yv[k]);
  ColorKeeper keep(ctx);
  LengthColors colours(ctx, len);
  AxisClipScope clip(ctx);
  for (long k = 0; k < n; ++k) {
    const double xe = xp[k] + f * xv[k], ye = yp[k] + f * yv[k];
    check_scaling(ctx, xp[k], yp[k]);
    double x1, y1, x2, y2;
    user_to_plot(ctx, xp[k], yp[k], x1, y1);
    user_to_plot(ctx, xe, ye, x2, y2);
    colours.use(len[k]);
    draw_arrow(ctx, x1, y1, x2, y2, ivec, kArrowProportional);
  }
}

// End points on logarithmic axes must stay positive too.
bool ends_positive(Context& ctx, const double* xv, const double* yv, const double* xp,
                   const double* yp, long n, double f) {
  const AxisState& a = ctx.axes;
  for (long k = 0; k < n; ++k)
    if ((a.sc[0].log && xp[k] + f * xv[k] <= 0) || (a.sc[1].log && yp[k] + f * yv[k] <= 0)) {
      warn_code(ctx, 27);
      return false;
    }
  return true;
}

bool field_checks(Context& ctx, long n, int ivec) {
  if (n < 1) {
    warn_number(ctx, kMsgIncorrectParameter, n);
    return false;
  }
  return check_vector_type(ctx, ivec) && !refuse_3d(ctx);
}

// ------------------------------------------------------------------------------------------
// Wind speed symbols

constexpr double kPi = 3.14159265358979323846;

// A wind symbol at the plot point (x, y): the shaft of length w points to where the wind
// comes from, xang degrees clockwise from the top of the page (the meteorological direction);
// speed in knots, rounded to 5: pennants for 50, barbs for 10 and half barbs for 5, on the
// clockwise side of the shaft from its outer end. Below 2.5 knots: a calm circle.
void wind_symbol(Context& ctx, double xk, double x, double y, double w, double xang) {
  SolidScope solid(ctx);
  const double t = xang * kPi / 180.0;
  const double ux = std::sin(t), uy = -std::cos(t);  // along the shaft, page y downwards
  const double bx = -uy, by = ux;                      // the clockwise side
  const long knots = std::lround(xk / 5.0) * 5;
  if (knots < 5) {
    const double r = w / 10.0;
    const int n = 24;
    qqstrt(ctx, x + r, y);
    for (int k = 1; k <= n; ++k) qqconn(ctx, x + r * std::cos(2 * kPi * k / n), y - r * std::sin(2 * kPi * k / n));
    return;
  }
  qqstrt(ctx, x, y);
  qqconn(ctx, x + w * ux, y + w * uy);
  const double gap = w / 8.0, barb = w / 3.0;
  // a barb leans 20 degrees towards the outer end
  const double ca = std::cos(70 * kPi / 180), sa = std::sin(70 * kPi / 180);
  const double lx = ca * ux + sa * bx, ly = ca * uy + sa * by;
  auto at = [&](double d, double& px, double& py) {
    px = x + d * ux;
    py = y + d * uy;
  };
  double pos = w;
  long rest = knots;
  for (; rest >= 50; rest -= 50) {
    double ox, oy, ix, iy;
    at(pos, ox, oy);
    at(pos - gap, ix, iy);
    const double ax = ox + barb * lx, ay = oy + barb * ly;
    double px[3] = {ox, ax, ix}, py[3] = {oy, ay, iy};
    FillState saved = ctx.fill;
    set_fill_pattern(ctx, 16);
    qqfpol(ctx, px, py, 3);
    ctx.fill = saved;
    qqstrt(ctx, ox, oy);
    qqconn(ctx, ax, ay);
    qqconn(ctx, ix, iy);
    pos -= gap * 1.5;
  }
  if (knots < 10) pos -= gap;  // a lone half barb stands off the end
  for (; rest >= 5; rest -= 10) {
    const double len = rest >= 10 ? barb : barb / 2;
    double ox, oy;
    at(pos, ox, oy);
    qqstrt(ctx, ox, oy);
    qqconn(ctx, ox + len * lx, oy + len * ly);
    pos -= gap;
  }
}

bool wind_args_ok(Context& ctx, double xk, int nwidth, double xang) {
  if (nwidth < 1) {
    warn_number(ctx, kMsgIncorrectParameter, nwidth);
    return false;
  }
  if (!(xk >= 0) || !std::isfinite(xk) || xk > 1e6 || !std::isfinite(xang)) {
    warn_code(ctx, kMsgIncorrectParameter);
    return false;
  }
  return true;
}

}  // namespace

// ------------------------------------------------------------------------------------------
// Lists of vectors and vector fields

void field(const double* xsray, const double* ysray, const double* xeray, const double* yeray,
           int n, int ivec) {
  Context* ctx = enter(R::field);
  if (!ctx || !field_checks(*ctx, n, ivec)) return;
  if (!log_values_ok(*ctx, xsray, ysray, n) || !log_values_ok(*ctx, xeray, yeray, n)) return;
  try {
    std::vector<double> len(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) len[k] = std::hypot(xeray[k] - xsray[k], yeray[k] - ysray[k]);
    ColorKeeper keep(*ctx);
    LengthColors colours(*ctx, len);
    AxisClipScope clip(*ctx);
    for (int k = 0; k < n; ++k) {
      check_scaling(*ctx, xsray[k], ysray[k]);
      check_scaling(*ctx, xeray[k], yeray[k]);
      double x1, y1, x2, y2;
      user_to_plot(*ctx, xsray[k], ysray[k], x1, y1);
      user_to_plot(*ctx, xeray[k], yeray[k], x2, y2);
      colours.use(len[k]);
      draw_arrow(*ctx, x1, y1, x2, y2, ivec);
    }
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

void vecfld(const double* xvray, const double* yvray, const double* xpray, const double* ypray,
            int n, int ivec) {
  Context* ctx = enter(R::vecfld);
  if (!ctx || !field_checks(*ctx, n, ivec)) return;
  if (!log_values_ok(*ctx, xpray, ypray, n)) return;
  try {
    double f = ctx->plots.vec.scale;
    if (!(f > 1e-35)) {
      std::vector<double> x, y;
      double len2 = 0;
      for (int k = 0; k < n; ++k) {
        if (!within_limits(*ctx, xpray[k], ypray[k])) continue;
        x.push_back(xpray[k]);
        y.push_back(ypray[k]);
        const double l2 = xvray[k] * xvray[k] + yvray[k] * yvray[k];
        if (l2 > len2) len2 = l2;
      }
      f = auto_factor(closest_pair(x, y), len2);
    }
    if (!ends_positive(*ctx, xvray, yvray, xpray, ypray, n, f)) return;
    draw_field(*ctx, xvray, yvray, xpray, ypray, n, f, ivec);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

void vecmat(const double* xvmat, const double* yvmat, int nx, int ny, const double* xpray,
            const double* ypray, int ivec) {
  Context* ctx = enter(R::vecmat);
  if (!ctx) return;
  if (nx < 1 || ny < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, nx < ny ? nx : ny);
    return;
  }
  if (!field_checks(*ctx, 1, ivec)) return;
  if (!log_values_ok(*ctx, xpray, nullptr, nx) || !log_values_ok(*ctx, nullptr, ypray, ny))
    return;
  try {
    const long n = static_cast<long>(nx) * ny;
    std::vector<double> xp(static_cast<size_t>(n)), yp(static_cast<size_t>(n));
    for (int i = 0; i < nx; ++i)
      for (int j = 0; j < ny; ++j) {
        xp[static_cast<size_t>(i) * ny + j] = xpray[i];
        yp[static_cast<size_t>(i) * ny + j] = ypray[j];
      }
    double f = ctx->plots.vec.scale;
    if (!(f > 1e-35)) {
      // on a grid the closest pair of inside points lies along one of the grid lines
      std::vector<double> gx, gy;
      double len2 = 0;
      std::vector<char> xin(nx, 0), yin(ny, 0);
      for (long k = 0; k < n; ++k) {
        if (!within_limits(*ctx, xp[k], yp[k])) continue;
        xin[k / ny] = 1;
        yin[k % ny] = 1;
        const double l2 = xvmat[k] * xvmat[k] + yvmat[k] * yvmat[k];
        if (l2 > len2) len2 = l2;
      }
      for (int i = 0; i < nx; ++i)
        if (xin[i]) gx.push_back(xpray[i]);
      for (int j = 0; j < ny; ++j)
        if (yin[j]) gy.push_back(ypray[j]);
      f = auto_factor(std::min(smallest_gap2(gx), smallest_gap2(gy)), len2);
    }
    if (!ends_positive(*ctx, xvmat, yvmat, xp.data(), yp.data(), n, f)) return;
    draw_field(*ctx, xvmat, yvmat, xp.data(), yp.data(), n, f, ivec);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

// ------------------------------------------------------------------------------------------
// Wind speed symbols

void windbr(double xk, int nx, int ny, int nwidth, double xang) {
  Context* ctx = enter(R::windbr);
  if (!ctx || !wind_args_ok(*ctx, xk, nwidth, xang)) return;
  wind_symbol(*ctx, xk, nx, page_y(*ctx, ny), nwidth, xang);
}

void rlwind(double xk, double x, double y, int nwidth, double xang) {
  Context* ctx = enter(R::rlwind);
  if (!ctx) return;
  if (ctx->axes.kind == kKindNone) {  // user coordinates need an axis system
    warn_number(*ctx, kMsgIncorrectLevel, ctx->core.level);
    return;
  }
  if (!wind_args_ok(*ctx, xk, nwidth, xang)) return;
  const double xs[1] = {x}, ys[1] = {y};
  if (!log_values_ok(*ctx, xs, ys, 1)) return;
  check_scaling(*ctx, x, y);
  double xp, yp;
  user_to_plot(*ctx, x, y, xp, yp);
  AxisClipScope clip(*ctx);
  wind_symbol(*ctx, xk, xp, yp, nwidth, xang);
}

}  // namespace tavero
