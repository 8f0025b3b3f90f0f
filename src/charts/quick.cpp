// Quick plots of the library: a complete plot in one call. At level 0 the quick plot opens
// the library with the format chosen before (tavini) and closes it again (tavfin); at a
// higher level it ends an open axis system and draws on the current page. The axes are
// scaled from the data unless qplscl fixed them.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "charts/charts.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr int kMaxQuickBars = 1000;

// Opens the plot when the library is at level 0; false when that failed.
bool quick_begin(Context& ctx, bool& opened) {
  opened = false;
  if (ctx.core.level == 0) {
    tavini();
    if (ctx.core.level == 0) return false;
    opened = true;
  } else if (ctx.core.level >= 2) {
    endgrf();
  }
  return true;
}

void quick_end(Context& ctx, bool opened) {
  if (ctx.core.level >= 2) endgrf();
  if (opened) tavfin();
}

// graf over the data (or the qplscl scaling) of the two axes; the automatic scaling of the
// caller's own axis systems is left as it was.
void quick_axes(Context& ctx, const double* x, int nx, const double* y, int ny) {
  const ChartState& c = ctx.charts;
  AxisParams* ax = ctx.axes.ax;
  const AxisParams saved[2] = {ax[0], ax[1]};
  double v[2][4];
  const double* data[2] = {x, y};
  const int count[2] = {nx, ny};
  for (int i = 0; i < 2; ++i) {
    const QuickScale& q = c.quick[i];
    if (q.set) {
      ax[i].auto_on = 0;
      v[i][0] = q.a, v[i][1] = q.e, v[i][2] = q.org, v[i][3] = q.step;
    } else {
      setscl(data[i], count[i], i == 0 ? "X" : "Y");
      v[i][0] = 0, v[i][1] = 1, v[i][2] = 0, v[i][3] = 1;
    }
  }
  graf(v[0][0], v[0][1], v[0][2], v[0][3], v[1][0], v[1][1], v[1][2], v[1][3]);
  for (int i = 0; i < 2; ++i) {
    ax[i].auto_on = saved[i].auto_on;
    ax[i].dmin = saved[i].dmin;
    ax[i].dmax = saved[i].dmax;
  }
}

void quick_curve(Context& ctx, const double* x, const double* y, int n, int symbol_step) {
  bool opened;
  if (!quick_begin(ctx, opened)) return;
  quick_axes(ctx, x, n, y, n);
  ChartState& c = ctx.charts;
  const int saved = c.symbol_step;
  c.symbol_step = symbol_step;
  if (ctx.core.level >= 2) curve(x, y, n);
  c.symbol_step = saved;
  quick_end(ctx, opened);
}

}  // namespace

void qplot(const double* xray, const double* yray, int n) {
  Context* ctx = enter(R::qplot);
  if (!ctx || check_range(*ctx, n, 1, -1)) return;
  quick_curve(*ctx, xray, yray, n, 0);
}

void qplsca(const double* xray, const double* yray, int n) {
  Context* ctx = enter(R::qplsca);
  if (!ctx || check_range(*ctx, n, 1, -1)) return;
  quick_curve(*ctx, xray, yray, n, -1);
}

void qplcrv(const double* xray, const double* yray, int n, const char* copt) {
  Context* ctx = enter(R::qplcrv);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "FIRS+NEXT+LAST", 3, copt);
  if (!k || check_range(*ctx, n, 1, -1)) return;
  ChartState& c = ctx->charts;
  if (k == 1) {
    bool opened;
    if (!quick_begin(*ctx, opened)) return;
    c.quick_opened = opened;
    quick_axes(*ctx, xray, n, yray, n);
  }
  // NEXT and LAST add to the axis system that FIRS opened
  if (ctx->core.level >= 2) curve(xray, yray, n);
  else if (k != 1) warn_code(*ctx, kMsgIncorrectLevel);
  if (k == 3) {
    quick_end(*ctx, c.quick_opened != 0);
    c.quick_opened = 0;
  }
}

void qplbar(const double* xray, int n) {
  Context* ctx = enter(R::qplbar);
  if (!ctx || check_range(*ctx, n, 1, -1)) return;
  if (n > kMaxQuickBars) {
    warn_text(*ctx, 112, "Too many points");
    return;
  }
  std::vector<double> pos(n), zero(n, 0.0), range(xray, xray + n);
  for (int i = 0; i < n; ++i) pos[i] = i + 1;
  range.push_back(0.0);
  bool opened;
  if (!quick_begin(*ctx, opened)) return;
  QuickScale& qx = ctx->charts.quick[0];
  const QuickScale saved = qx;
  if (!qx.set) qx = QuickScale{1, 0.5, n + 0.5, 1, n > 20 ? std::ceil(n / 10.0) : 1};
  quick_axes(*ctx, pos.data(), n, range.data(), n + 1);
  qx = saved;
  if (ctx->core.level >= 2) bars(pos.data(), zero.data(), xray, n);
  quick_end(*ctx, opened);
}

void qplpie(const double* xray, int n) {
  Context* ctx = enter(R::qplpie);
  if (!ctx || check_range(*ctx, n, 1, -1)) return;
  bool opened;
  if (!quick_begin(*ctx, opened)) return;
  char none[1] = {0};
  piegrf(none, 0, xray, n);
  quick_end(*ctx, opened);
}

// --- quick plots of a matrix over the grid 1..nx by 1..ny

namespace {

struct MatrixGrid {
  std::vector<double> x, y;
  double zmin = 0, zmax = 0;
};

MatrixGrid grid_of(const double* zmat, int nx, int ny) {
  MatrixGrid g;
  g.x.resize(nx);
  g.y.resize(ny);
  for (int i = 0; i < nx; ++i) g.x[i] = i + 1;
  for (int j = 0; j < ny; ++j) g.y[j] = j + 1;
  bool first = true;
  for (long k = 0; k < static_cast<long>(nx) * ny; ++k) {
    if (!std::isfinite(zmat[k])) continue;
    if (first || zmat[k] < g.zmin) g.zmin = zmat[k];
    if (first || zmat[k] > g.zmax) g.zmax = zmat[k];
    first = false;
  }
  return g;
}

// graf3 or graf3d over the grid and the matrix values
template <typename Graf>
void quick_axes3(Context& ctx, const MatrixGrid& g, int nx, int ny, Graf graf_fn) {
  double zr[2] = {g.zmin, g.zmax};
  setscl(g.x.data(), nx, "X");
  setscl(g.y.data(), ny, "Y");
  setscl(zr, 2, "Z");
  graf_fn(0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1);
  (void)ctx;
}

}  // namespace

void qplclr(const double* zmat, int nx, int ny) {
  Context* ctx = enter(R::qplclr);
  if (!ctx || check_range(*ctx, nx, 1, -1) || check_range(*ctx, ny, 1, -1)) return;
  MatrixGrid g = grid_of(zmat, nx, ny);
  bool opened;
  if (!quick_begin(*ctx, opened)) return;
  quick_axes3(*ctx, g, nx, ny, graf3);
  if (ctx->core.level == 3) crvmat(zmat, nx, ny, 1, 1);
  quick_end(*ctx, opened);
}

void qplsur(const double* zmat, int nx, int ny) {
  Context* ctx = enter(R::qplsur);
  if (!ctx || check_range(*ctx, nx, 2, -1) || check_range(*ctx, ny, 2, -1)) return;
  MatrixGrid g = grid_of(zmat, nx, ny);
  bool opened;
  if (!quick_begin(*ctx, opened)) return;
  quick_axes3(*ctx, g, nx, ny, graf3d);
  if (ctx->core.level == 3) surmat(zmat, nx, ny, 1, 1);
  quick_end(*ctx, opened);
}

void qplcon(const double* zmat, int nx, int ny, int nlev) {
  Context* ctx = enter(R::qplcon);
  if (!ctx || check_range(*ctx, nx, 2, -1) || check_range(*ctx, ny, 2, -1)) return;
  if (nlev < 1) {
    warn_text(*ctx, 113, "Bad number of levels");
    return;
  }
  MatrixGrid g = grid_of(zmat, nx, ny);
  bool opened;
  if (!quick_begin(*ctx, opened)) return;
  quick_axes(*ctx, g.x.data(), nx, g.y.data(), ny);
  if (ctx->core.level >= 2) {
    // nlev levels evenly inside the value range
    for (int k = 1; k <= nlev; ++k) {
      double z = g.zmin + (g.zmax - g.zmin) * k / (nlev + 1.0);
      contur(g.x.data(), nx, g.y.data(), ny, zmat, z);
    }
  }
  quick_end(*ctx, opened);
}

void qplscl(double a, double e, double aorg, double astp, const char* cax) {
  Context* ctx = enter(R::qplscl);
  if (!ctx) return;
  const bool off = !(std::isfinite(a) && std::isfinite(e) && std::isfinite(aorg) &&
                     std::isfinite(astp)) || a == e || astp == 0;
  // equal limits or a zero step give the axis back to the automatic scaling
  QuickScale q = off ? QuickScale{} : QuickScale{1, a, e, aorg, astp};
  ChartState& c = ctx->charts;
  set_for_axes(cax, q, c.quick[0], c.quick[1], c.quick[2]);
}

}  // namespace tavero
