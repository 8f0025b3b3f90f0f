// Interpolation: the interpolating B-spline of curve and spline, Bezier curves, and splmod.
//
// The spline of order k (splmod order + 1) through n points uses the knot sequence of
// averaged parameters (k-fold end knots, interior knot j the mean of k - 1 consecutive
// parameters), which satisfies the Schoenberg-Whitney condition; its collocation matrix is
// banded and totally positive, so it is solved by band elimination without pivoting.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "charts/charts.h"
#include "core/entry.h"
#include "core/messages.h"
#include "tavero_api.h"

namespace tavero {

namespace {

struct BSpline {
  int k = 4, n = 0;
  std::vector<double> knots;  // n + k

  // The knot interval l (k-1 <= l <= n-1) with knots[l] <= t < knots[l+1], the last one for
  // the end of the range.
  int span(double t) const {
    auto first = knots.begin() + k - 1, last = knots.begin() + n + 1;
    int l = static_cast<int>(std::upper_bound(first, last, t) - knots.begin()) - 1;
    if (l > n - 1) l = n - 1;
    if (l < k - 1) l = k - 1;
    while (l > k - 1 && knots[l] >= knots[l + 1]) --l;
    return l;
  }

  // The k basis functions B(l-k+1) .. B(l) that are non-zero at t.
  void basis(int l, double t, double* out) const {
    double left[16], right[16];
    out[0] = 1;
    for (int j = 1; j < k; ++j) {
      left[j] = t - knots[l + 1 - j];
      right[j] = knots[l + j] - t;
      double saved = 0;
      for (int r = 0; r < j; ++r) {
        double den = right[r + 1] + left[j - r];
        double temp = den != 0 ? out[r] / den : 0;
        out[r] = saved + right[r + 1] * temp;
        saved = left[j - r] * temp;
      }
      out[j] = saved;
    }
  }

  double eval(const std::vector<double>& coef, double t) const {
    int l = span(t);
    double b[16];
    basis(l, t, b);
    double v = 0;
    for (int j = 0; j < k; ++j) v += coef[l - k + 1 + j] * b[j];
    return v;
  }
};

// Solves the collocation systems for the given right-hand sides (in place: values become
// coefficients). False when the matrix is singular.
bool fit(BSpline& s, const std::vector<double>& t, std::vector<double>* rhs[], int nrhs) {
  const int n = s.n, k = s.k, w = 2 * k - 1;
  s.knots.assign(n + k, 0);
  for (int j = 0; j < k; ++j) {
    s.knots[j] = t[0];
    s.knots[n + j] = t[n - 1];
  }
  for (int j = k; j < n; ++j) {
    double sum = 0;
    for (int i = j - k + 1; i < j; ++i) sum += t[i];
    s.knots[j] = sum / (k - 1);
  }
  std::vector<double> band(static_cast<size_t>(n) * w, 0.0);
  auto at = [&](int r, int c) -> double& { return band[static_cast<size_t>(r) * w + (c - r + k - 1)]; };
  double b[16];
  for (int i = 0; i < n; ++i) {
    int l = s.span(t[i]);
    s.basis(l, t[i], b);
    for (int j = 0; j < k; ++j) {
      int c = l - k + 1 + j;
      if (b[j] == 0) continue;
      if (c < i - (k - 1) || c > i + (k - 1)) return false;
      at(i, c) = b[j];
    }
  }
  for (int c = 0; c < n; ++c) {
    const double piv = at(c, c);
    if (!(std::fabs(piv) > 1e-12)) return false;
    const int last = std::min(n - 1, c + k - 1);
    for (int r = c + 1; r <= last; ++r) {
      const double f = at(r, c) / piv;
      if (f == 0) continue;
      for (int j = c; j <= last; ++j) at(r, j) -= f * at(c, j);
      for (int q = 0; q < nrhs; ++q) (*rhs[q])[r] -= f * (*rhs[q])[c];
    }
  }
  for (int c = n - 1; c >= 0; --c) {
    const int last = std::min(n - 1, c + k - 1);
    for (int q = 0; q < nrhs; ++q) {
      std::vector<double>& v = *rhs[q];
      double sum = v[c];
      for (int j = c + 1; j <= last; ++j) sum -= at(c, j) * v[j];
      v[c] = sum / at(c, c);
      if (!std::isfinite(v[c])) return false;
    }
  }
  return true;
}

bool spline_work(Context& ctx, const double* x, const double* y, int n, bool parametric,
                 int npts, double* xo, double* yo) {
  const int k = ctx.charts.spline_order + 1;
  std::vector<double> t, vx, vy;
  if (parametric) {
    // the accumulated chord length; repeated points add nothing and are left out
    t.reserve(n);
    for (int i = 0; i < n; ++i) {
      if (!t.empty()) {
        double d = std::hypot(x[i] - vx.back(), y[i] - vy.back());
        if (!(d > 0)) continue;
        t.push_back(t.back() + d);
      } else {
        t.push_back(0);
      }
      vx.push_back(x[i]);
      vy.push_back(y[i]);
    }
  } else {
    for (int i = 1; i < n; ++i) {
      if (!(x[i] > x[i - 1])) {
        warn_code(ctx, 32);
        return false;
      }
    }
    t.assign(x, x + n);
    vy.assign(y, y + n);
  }
  const int m = static_cast<int>(t.size());
  if (m < k) {
    warn_code(ctx, 31);
    return false;
  }
  for (int i = 0; i < m; ++i) {
    if (!std::isfinite(t[i]) || (parametric && !std::isfinite(vx[i])) || !std::isfinite(vy[i])) {
      warn_code(ctx, 38);
      return false;
    }
  }
  BSpline s;
  s.k = k;
  s.n = m;
  std::vector<double> cy = vy, cx = vx;
  std::vector<double>* rhs[2] = {&cy, &cx};
  if (!fit(s, t, rhs, parametric ? 2 : 1)) {
    warn_code(ctx, 38);
    return false;
  }
  const double t0 = t.front(), t1 = t.back();
  for (int j = 0; j < npts; ++j) {
    double tj = j == npts - 1 ? t1 : t0 + (t1 - t0) * j / (npts - 1);
    yo[j] = s.eval(cy, tj);
    xo[j] = parametric ? s.eval(cx, tj) : tj;
  }
  // the curve runs exactly from the first to the last point
  xo[0] = parametric ? vx.front() : t0;
  yo[0] = vy.front();
  xo[npts - 1] = parametric ? vx.back() : t1;
  yo[npts - 1] = vy.back();
  return true;
}

}  // namespace

bool spline_curve(Context& ctx, const double* x, const double* y, int n, bool parametric,
                  int npts, double* xo, double* yo) {
  if (npts < 2) return false;
  try {
    return spline_work(ctx, x, y, n, parametric, npts, xo, yo);
  } catch (const std::bad_alloc&) {
    warn_code(ctx, kMsgNoMemory);
    return false;
  }
}

// ------------------------------------------------------------------------------------------
// Routines

void splmod(int ngrad, int npts) {
  Context* ctx = enter(R::splmod);
  if (!ctx) return;
  // what the binding sizes spline outputs by: every second argument of 5 and more
  if (npts >= 5) ctx->charts.spline_capacity = npts;
  int bad = check_range(*ctx, ngrad, 2, 10);
  bad |= check_range(*ctx, npts, 5, 30000);
  if (bad) return;
  ctx->charts.spline_order = ngrad;
  ctx->charts.spline_points = npts;
}

void spline(const double* xray, const double* yray, int n, double* xsray, double* ysray,
            int* nspl) {
  *nspl = 0;
  Context* ctx = enter(R::spline);
  if (!ctx) return;
  if (check_range(*ctx, n, 1, -1)) return;
  const int npts = spline_output_points(*ctx);
  if (spline_curve(*ctx, xray, yray, n, ctx->charts.method == kPspl, npts, xsray, ysray))
    *nspl = npts;
}

void bezier(const double* xray, const double* yray, int nray, double* xpray, double* ypray,
            int npts) {
  Context* ctx = enter(R::bezier);
  if (!ctx) return;
  int bad = check_range(*ctx, nray, 2, 21);
  bad |= check_range(*ctx, npts, 2, 32000);
  if (bad) return;
  double bx[21], by[21];
  for (int j = 0; j < npts; ++j) {
    const double t = static_cast<double>(j) / (npts - 1);
    for (int i = 0; i < nray; ++i) {
      bx[i] = xray[i];
      by[i] = yray[i];
    }
    // de Casteljau: stable for every degree up to 20
    for (int r = 1; r < nray; ++r) {
      for (int i = 0; i < nray - r; ++i) {
        bx[i] = (1 - t) * bx[i] + t * bx[i + 1];
        by[i] = (1 - t) * by[i] + t * by[i + 1];
      }
    }
    xpray[j] = bx[0];
    ypray[j] = by[0];
  }
}

}  // namespace tavero
