// Streamlines of 2-D vector fields on grids and triangles: drawing with arrow heads, the
// points of one streamline, and the streamline options.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "axes/axis_convert.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "plots/arrows.h"
#include "plots/plot_common.h"
#include "plots/stream_engine.h"
#include "tavero_api.h"

namespace tavero {

namespace {

// The checks of a field grid: at least 2 x 2 points and monotonic grid lines.
bool grid_ok(Context& ctx, int nx, int ny, const double* xp, const double* yp) {
  if (nx < 2 || ny < 2) {
    warn_number(ctx, kMsgIncorrectParameter, nx < ny ? nx : ny);
    return false;
  }
  if (!strictly_monotonic(xp, nx) || !strictly_monotonic(yp, ny)) {
    warn_text(ctx, 124, "Arrays must be monoton");
    return false;
  }
  return true;
}

void outside_warning(Context& ctx) { warn_text(ctx, 180, "Starting point is outside"); }

// Draws the runs of streamlines in user coordinates, with arrow heads when they are on.
class StreamDrawer {
 public:
  explicit StreamDrawer(Context& ctx) : ctx_(ctx) {}

  void operator()(const Streamline& s) {
    run(s.fx, s.fy, s.forward(), false);
    run(s.bx, s.by, s.backward(), true);
  }

 private:
  void run(const std::vector<double>& ux, const std::vector<double>& uy, int n, bool backward) {
    if (n < 2) return;
    px_.resize(static_cast<size_t>(n));
    py_.resize(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) user_to_plot(ctx_, ux[k], uy[k], px_[k], py_[k]);
    qqstrt(ctx_, px_[0], py_[0]);
    for (int k = 1; k < n; ++k) qqconn(ctx_, px_[k], py_[k]);
    stream_heads(ctx_, px_, py_, n, backward, ctx_.axes.sc[0].len);
  }

  Context& ctx_;
  std::vector<double> px_, py_;
};

// Streamlines from given starting points, or evenly spaced ones seeded at (sx, sy).
void draw_streamlines(Context& ctx, DirectionField& f, const double* xs, const double* ys,
                      int n, const double* sx, const double* sy, long nseeds) {
  ColorKeeper keep(ctx);
  AxisClipScope clip(ctx);
  StreamDrawer drawer(ctx);
  if (n > 0) {
    Tracer tracer(f, ctx.plots.stm);
    Streamline s;
    for (int k = 0; k < n; ++k) {
      if (!std::isfinite(xs[k]) || !std::isfinite(ys[k]) || !f.covers(xs[k], ys[k])) {
        outside_warning(ctx);
        continue;
      }
      tracer.trace(xs[k], ys[k], s);
      drawer(s);
    }
    return;
  }
  if (!evenly_spaced(f, ctx.plots.stm, sx, sy, nseeds,
                     [&](const Streamline& s) { drawer(s); }))
    warn_code(ctx, kMsgNoMemory);
}

bool stream_level_ok(Context& ctx) { return !refuse_3d(ctx); }

}  // namespace

// Heads spaced D apart along the run, the first after D/2; after the first, a segment shorter
// than D/10 is joined to the next one.
void stream_heads(Context& ctx, const std::vector<double>& px, const std::vector<double>& py,
                  int n, bool backward, double axis_length) {
  const StreamOptions& o = ctx.plots.stm;
  if (!o.arrows || o.arrow_type == -2) return;  // -2: streamlines without heads
  const double d = axis_length * o.arrow_space;
  if (!(d > 0)) return;
  double sum = 0;
  int placed = 0, from = -1;
  for (int k = 0; k + 1 < n; ++k) {
    const double seg = std::hypot(px[k + 1] - px[k], py[k + 1] - py[k]);
    if (!std::isfinite(seg)) {
      from = -1;
      continue;
    }
    int a = k;
    if (from >= 0) {
      a = from;
      if (std::hypot(px[k + 1] - px[a], py[k + 1] - py[a]) < d / 10) continue;
    } else {
      sum += seg;
      if (sum <= (placed == 0 ? d / 2 : d)) continue;
      if (placed > 0 && seg < d / 10) {
        from = k;
        continue;
      }
    }
    const int b = k + 1;
    if (backward)
      draw_arrow(ctx, px[b], py[b], px[a], py[a], o.arrow_type, kArrowSymbol, true);
    else
      draw_arrow(ctx, px[a], py[a], px[b], py[b], o.arrow_type, kArrowSymbol, true);
    ++placed;
    sum = 0;
    from = -1;
  }
}

// ------------------------------------------------------------------------------------------
// Streamlines on grids and triangles

void stream(const double* xvmat, const double* yvmat, int nx, int ny, const double* xpray,
            const double* ypray, const double* xsray, const double* ysray, int n) {
  Context* ctx = enter(R::stream);
  if (!ctx || !grid_ok(*ctx, nx, ny, xpray, ypray) || !stream_level_ok(*ctx)) return;
  if (n < 0) {
    warn_number(*ctx, kMsgIncorrectParameter, n);
    return;
  }
  if (!log_values_ok(*ctx, xpray, nullptr, nx) || !log_values_ok(*ctx, nullptr, ypray, ny))
    return;
  try {
    GridField f(xvmat, yvmat, nx, ny, xpray, ypray);
    std::vector<double> sx, sy;
    if (n == 0) {
      // the grid points, x outer and y inner, seed the first streamline
      sx.reserve(static_cast<size_t>(nx) * ny);
      sy.reserve(static_cast<size_t>(nx) * ny);
      for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j) {
          sx.push_back(xpray[i]);
          sy.push_back(ypray[j]);
        }
    }
    draw_streamlines(*ctx, f, xsray, ysray, n, sx.data(), sy.data(),
                     static_cast<long>(sx.size()));
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

void stmtri(const double* xvray, const double* yvray, const double* xpray, const double* ypray,
            int n, const int* i1ray, const int* i2ray, const int* i3ray, int ntri,
            const double* xsray, const double* ysray, int nray) {
  Context* ctx = enter(R::stmtri);
  if (!ctx || !stream_level_ok(*ctx)) return;
  if (n < 3 || ntri < 1 || nray < 0) {
    warn_number(*ctx, kMsgIncorrectParameter, n < 3 ? n : ntri < 1 ? ntri : nray);
    return;
  }
  for (int t = 0; t < ntri; ++t)
    for (int k : {i1ray[t], i2ray[t], i3ray[t]})
      if (k < 1 || k > n) {
        warn_number(*ctx, kMsgIncorrectParameter, k);
        return;
      }
  for (int k = 0; k < n; ++k)
    if (!std::isfinite(xpray[k]) || !std::isfinite(ypray[k])) {
      count_nan(*ctx);
      warn_code(*ctx, kMsgIncorrectParameter);
      return;
    }
  if (!log_values_ok(*ctx, xpray, ypray, n)) return;
  try {
    TriangleField f(xvray, yvray, xpray, ypray, i1ray, i2ray, i3ray, ntri);
    draw_streamlines(*ctx, f, xsray, ysray, nray, xpray, ypray, n);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

void stmpts(const double* xvmat, const double* yvmat, int nx, int ny, const double* xpray,
            const double* ypray, double xs, double ys, double* xray, double* yray, int nmax,
            int* nray) {
  *nray = 0;
  Context* ctx = enter(R::stmpts);
  if (!ctx) return;
  if (nmax < 4) {
    warn_number(*ctx, kMsgIncorrectParameter, nmax);
    return;
  }
  if (!grid_ok(*ctx, nx, ny, xpray, ypray)) return;
  try {
    GridField f(xvmat, yvmat, nx, ny, xpray, ypray);
    if (!std::isfinite(xs) || !std::isfinite(ys) || !f.covers(xs, ys)) {
      outside_warning(*ctx);
      return;
    }
    StreamOptions o = ctx->plots.stm;
    o.points = nmax / 2;
    Tracer tracer(f, o);
    Streamline s;
    tracer.trace(xs, ys, s);
    std::vector<double> x, y;
    s.ordered(x, y);
    const int m = std::min(static_cast<int>(x.size()), nmax);
    std::copy(x.begin(), x.begin() + m, xray);
    std::copy(y.begin(), y.begin() + m, yray);
    *nray = m;
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

// ------------------------------------------------------------------------------------------
// Options

void stmmod(const char* cmod, const char* ckey) {
  Context* ctx = enter(R::stmmod);
  if (!ctx) return;
  const int key = lookup_keyword(*ctx, "INTE+CLOS+ARRO", 3, ckey);
  if (!key) return;
  StreamOptions& o = ctx->plots.stm;
  if (key == 1) {
    const int m = lookup_keyword(*ctx, "EULE+RK2 +RK4 ", 3, cmod);
    if (m) o.method = m - 1;
    return;
  }
  const int m = lookup_keyword(*ctx, "OFF +ON  ", 2, cmod);
  if (!m) return;
  (key == 2 ? o.close : o.arrows) = m - 1;
}

void stmopt(int n, const char* ckey) {
  Context* ctx = enter(R::stmopt);
  if (!ctx) return;
  const int key = lookup_keyword(*ctx, "POIN+CLOS+ARRO+STRE+HITS+LICM+LICL", 7, ckey);
  if (!key) return;
  StreamOptions& o = ctx->plots.stm;
  int* field[] = {&o.points, &o.close_count, &o.arrow_type, &o.stre, &o.hits, &o.licm, &o.licl};
  const int lo[] = {2, 2, -2, 4, 1, 1, 1};
  const int hi = key == 3 ? 9999 : -1;
  if (check_range(*ctx, n, lo[key - 1], hi)) return;
  *field[key - 1] = n;
}

void stmval(double xval, const char* ckey) {
  Context* ctx = enter(R::stmval);
  if (!ctx) return;
  const int key = lookup_keyword(*ctx, "STEP+DIST+TEST+CLOS+ARRO+LICS", 6, ckey);
  if (!key) return;
  StreamOptions& o = ctx->plots.stm;
  double* field[] = {&o.step, &o.dist, &o.test, &o.close_dist, &o.arrow_space, &o.lics};
  const bool unit_range = key == 3 || key == 4;
  const bool ok = std::isfinite(xval) && (unit_range ? xval >= 0 && xval <= 1 : xval > 0);
  if (!ok) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  *field[key - 1] = xval;
}

}  // namespace tavero
