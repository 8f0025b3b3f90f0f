// Data utilities of the charts: histograms, the regression line, sorting.
#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>
#include <vector>

#include "axes/axis_convert.h"
#include "charts/charts.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "tavero_api.h"

namespace tavero {

namespace {

// Orders numbers ascending with NaN after everything (a strict weak order even with NaN).
inline bool before(double a, double b) {
  if (std::isnan(a)) return false;
  if (std::isnan(b)) return true;
  return a < b;
}

// Sort direction from the option: 'A' ascending, 'D' descending; 0 after the warning.
int sort_direction(Context& ctx, const char* copt) {
  char ch = copt ? copt[0] : 0;
  if (ch == 'A' || ch == 'a') return 1;
  if (ch == 'D' || ch == 'd') return -1;
  warn_string(ctx, kMsgIncorrectParameter, copt ? copt : "");
  return 0;
}

}  // namespace

int histog(const double* xray, int n, double* xhray, double* yhray) {
  Context* ctx = enter(R::histog);
  if (!ctx || check_range(*ctx, n, 1, -1)) return 0;
  std::vector<double> v;
  try {
    v.reserve(n);
    for (int i = 0; i < n; ++i)
      if (!std::isnan(xray[i])) v.push_back(xray[i]);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
    return 0;
  }
  std::sort(v.begin(), v.end());
  // the classes are the distinct values, each with its count
  int m = 0;
  for (size_t i = 0; i < v.size();) {
    size_t j = i;
    while (j < v.size() && v[j] == v[i]) ++j;
    xhray[m] = v[i];
    yhray[m] = static_cast<double>(j - i);
    ++m;
    i = j;
  }
  return m;
}

void linfit(const double* xray, const double* yray, int n, double* a, double* b, double* r,
            const char* copt) {
  *a = *b = *r = 0;
  Context* ctx = enter(R::linfit);
  if (!ctx) return;
  int mode = lookup_keyword(*ctx, "NONE+ALL +LINE", 3, copt);
  if (!mode || check_range(*ctx, n, 2, -1)) return;
  // the fitted line y = a x + b over the finite pairs, with the correlation coefficient r
  double sx = 0, sy = 0, xmin = 0, xmax = 0;
  int m = 0;
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(xray[i]) || !std::isfinite(yray[i])) continue;
    if (m == 0 || xray[i] < xmin) xmin = xray[i];
    if (m == 0 || xray[i] > xmax) xmax = xray[i];
    sx += xray[i];
    sy += yray[i];
    ++m;
  }
  if (m < 2) {
    warn_number(*ctx, kMsgIncorrectParameter, m);
    return;
  }
  const double mx = sx / m, my = sy / m;
  double sxx = 0, syy = 0, sxy = 0;
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(xray[i]) || !std::isfinite(yray[i])) continue;
    double dx = xray[i] - mx, dy = yray[i] - my;
    sxx += dx * dx;
    syy += dy * dy;
    sxy += dx * dy;
  }
  if (!(sxx > 0)) {
    warn_code(*ctx, 38);
    return;
  }
  *a = sxy / sxx;
  *b = my - *a * mx;
  *r = syy > 0 ? sxy / std::sqrt(sxx * syy) : 1.0;
  if (mode == 1 || ctx->core.level < 2) return;
  // ALL: across the X axis; LINE: between the smallest and the largest x of the data
  double x1 = xmin, x2 = xmax;
  if (mode == 2) {
    const AxisScale& s = ctx->axes.sc[0];
    x1 = s.ulo;
    x2 = s.uhi;
  }
  double p1x, p1y, p2x, p2y;
  user_to_plot(*ctx, x1, *a * x1 + *b, p1x, p1y);
  user_to_plot(*ctx, x2, *a * x2 + *b, p2x, p2y);
  axis_clip_on(*ctx);
  qqstrt(*ctx, p1x, p1y);
  qqconn(*ctx, p2x, p2y);
  axis_clip_off(*ctx);
}

void sortr1(double* xray, int n, const char* copt) {
  Context* ctx = enter(R::sortr1);
  if (!ctx) return;
  int dir = sort_direction(*ctx, copt);
  if (!dir || check_range(*ctx, n, 1, -1)) return;
  if (dir > 0)
    std::stable_sort(xray, xray + n, before);
  else
    std::stable_sort(xray, xray + n, [](double p, double q) { return before(q, p); });
}

void sortr2(double* xray, double* yray, int n, const char* copt) {
  Context* ctx = enter(R::sortr2);
  if (!ctx) return;
  int dir = sort_direction(*ctx, copt);
  if (!dir || check_range(*ctx, n, 1, -1)) return;
  std::vector<int> idx;
  std::vector<double> tx, ty;
  try {
    idx.resize(n);
    tx.assign(xray, xray + n);
    ty.assign(yray, yray + n);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  std::iota(idx.begin(), idx.end(), 0);
  if (dir > 0)
    std::stable_sort(idx.begin(), idx.end(), [&](int p, int q) { return before(tx[p], tx[q]); });
  else
    std::stable_sort(idx.begin(), idx.end(), [&](int p, int q) { return before(tx[q], tx[p]); });
  for (int i = 0; i < n; ++i) {
    xray[i] = tx[idx[i]];
    yray[i] = ty[idx[i]];
  }
}

}  // namespace tavero
