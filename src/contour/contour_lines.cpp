// Contour lines: contur, contur2, conmat, concrv, conpts and the label settings.
#include <cmath>
#include <new>
#include <vector>

#include "contour/contour.h"
#include "core/entry.h"
#include "core/messages.h"
#include "core/strutil.h"
#include "tavero_api.h"

namespace tavero {

namespace {

// Grids need two nodes in each direction.
bool grid_size_ok(Context& ctx, int nx, int ny) {
  if (nx >= 2 && ny >= 2) return true;
  warn_number(ctx, kMsgIncorrectParameter, nx < ny ? nx : ny);
  return false;
}

void draw_grid_level(Context& ctx, const Grid& g, double zlev) {
  draw_contour_level(ctx, zlev, [&](LineSink& out) {
    if (trace_grid(g, zlev, out)) return true;
    warn_code(ctx, kMsgNoMemory);
    return false;
  });
}

// conpts: lines stored as point lists with the overflow rules of the caller's capacities.
class PointStore final : public LineSink {
 public:
  PointStore(Context& ctx, double* x, double* y, int maxpts, int* iray, int maxray)
      : ctx_(ctx), x_(x), y_(y), maxpts_(maxpts), iray_(iray), maxray_(maxray) {}
  void begin_line() override {
    if (nlines_ < maxray_) {
      iray_[nlines_++] = 0;
    } else {
      // the points of lines beyond the capacity go to the last line recorded
      warn_custom(ctx_, 117, "Overflow - Too many contour lines");
    }
  }
  void point(double x, double y) override {
    if (npts_ >= maxpts_) {
      if (!point_warned_) warn_custom(ctx_, 116, "Overflow - Too many contour points");
      point_warned_ = true;
      return;
    }
    x_[npts_] = x;
    y_[npts_] = y;
    ++npts_;
    if (nlines_ > 0) ++iray_[nlines_ - 1];
  }
  void end_level() override {}
  int lines() const { return nlines_; }

 private:
  Context& ctx_;
  double* x_;
  double* y_;
  int maxpts_;
  int* iray_;
  int maxray_;
  int npts_ = 0, nlines_ = 0;
  bool point_warned_ = false;
};

// Equidistant values over one axis of the current scaling (powers of ten on a log axis).
void axis_values(const Context& ctx, int axis, int n, std::vector<double>& v) {
  const AxisScale& s = ctx.axes.sc[axis];
  double a = s.a, e = s.e;
  if (s.log) {
    a = std::pow(10.0, a);
    e = std::pow(10.0, e);
  }
  const double lo = std::fmin(a, e), hi = std::fmax(a, e);
  v.resize(n);
  const double step = (hi - lo) / (n - 1);
  for (int i = 0; i < n; ++i) v[i] = lo + i * step;
  v[n - 1] = hi;
}

}  // namespace

// Grid of conmat and getmat spanning the current axis scaling.
bool axis_grid(Context& ctx, int nx, int ny, std::vector<double>& x, std::vector<double>& y) {
  try {
    axis_values(ctx, 0, nx, x);
    axis_values(ctx, 1, ny, y);
  } catch (const std::bad_alloc&) {
    warn_code(ctx, kMsgNoMemory);
    return false;
  }
  return true;
}

// ------------------------------------------------------------------------------------------
// Contour lines of grids

void contur(const double* xray, int nx, const double* yray, int ny, const double* zmat,
            double zlev) {
  Context* ctx = enter(R::contur);
  if (!ctx || !grid_size_ok(*ctx, nx, ny) || !log_values_ok(*ctx, xray, nx, yray, ny)) return;
  draw_grid_level(*ctx, Grid{xray, yray, zmat, nx, ny, false}, zlev);
}

void contur2(const double* xmat, const double* ymat, const double* zmat, int nx, int ny,
             double zlev) {
  Context* ctx = enter(R::contur2);
  if (!ctx || !grid_size_ok(*ctx, nx, ny)) return;
  const long n = static_cast<long>(nx) * ny;
  if (!log_values_ok(*ctx, xmat, n, ymat, n)) return;
  draw_grid_level(*ctx, Grid{xmat, ymat, zmat, nx, ny, true}, zlev);
}

void conmat(const double* zmat, int nx, int ny, double zlev) {
  Context* ctx = enter(R::conmat);
  if (!ctx || !grid_size_ok(*ctx, nx, ny)) return;
  std::vector<double> x, y;
  if (!axis_grid(*ctx, nx, ny, x, y)) return;
  draw_grid_level(*ctx, Grid{x.data(), y.data(), zmat, nx, ny, false}, zlev);
}

void concrv(const double* xray, const double* yray, int n, double zlev) {
  Context* ctx = enter(R::concrv);
  if (!ctx || check_range(*ctx, n, 1, -1) || !log_values_ok(*ctx, xray, n, yray, n)) return;
  draw_contour_level(*ctx, zlev, [&](LineSink& out) {
    out.begin_line();
    for (int k = 0; k < n; ++k) out.point(xray[k], yray[k]);
    return true;
  });
}

void conpts(const double* xray, int nx, const double* yray, int ny, const double* zmat,
            double zlev, double* xpts, double* ypts, int maxpts, int* iray, int maxray,
            int* nlins) {
  *nlins = 0;
  Context* ctx = enter(R::conpts);
  if (!ctx || !grid_size_ok(*ctx, nx, ny) || check_range(*ctx, maxpts, 1, -1) ||
      check_range(*ctx, maxray, 1, -1))
    return;
  PointStore store(*ctx, xpts, ypts, maxpts, iray, maxray);
  if (!trace_grid(Grid{xray, yray, zmat, nx, ny, false}, zlev, store, true)) {
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  *nlins = store.lines();
}

// ------------------------------------------------------------------------------------------
// Label settings

void conlab(const char* cstr) {
  Context* ctx = enter(R::conlab);
  if (!ctx) return;
  copy_field(ctx->contour.label_text, cstr);
}

void congap(double xfac) {
  Context* ctx = enter(R::congap);
  if (!ctx) return;
  if (!(xfac >= 0) || !std::isfinite(xfac)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->contour.gap_factor = xfac;
}

void conmod(double xfac, double xquot) {
  Context* ctx = enter(R::conmod);
  if (!ctx) return;
  if (!(xfac >= 0) || !(xquot > 1) || !std::isfinite(xfac) || !std::isfinite(xquot)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->contour.window_factor = xfac;
  ctx->contour.straightness = xquot;
}

}  // namespace tavero
