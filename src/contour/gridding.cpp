// Gridding of scattered data (getmat) and its settings (mdfmat).
//
// The grid spans the current axis scaling exactly as conmat's does, so that getmat followed by
// conmat or the shading routines plots the data where they belong. Each node takes the mean
// of the data points within a window of grid cells around it, weighted by the inverse distance
// (in grid-cell units) to a power; nodes without a point in their window get the caller's
// value for "no data".
#include <cmath>
#include <new>
#include <vector>

#include "contour/contour.h"
#include "core/entry.h"
#include "core/messages.h"
#include "tavero_api.h"

namespace tavero {

void getmat(const double* xray, const double* yray, const double* zray, int n, double* zmat,
            int nx, int ny, double zval) {
  Context* ctx = enter(R::getmat);
  if (!ctx || check_range(*ctx, n, 1, -1)) return;
  if (nx < 2 || ny < 2) {
    warn_number(*ctx, kMsgIncorrectParameter, nx < ny ? nx : ny);
    return;
  }
  const ContourState& c = ctx->contour;
  const int wx = c.grid_window_x, wy = c.grid_window_y;
  const double power = c.grid_weight;
  std::vector<double> gx, gy;
  if (!axis_grid(*ctx, nx, ny, gx, gy)) return;
  const double dx = (gx[nx - 1] - gx[0]) / (nx - 1), dy = (gy[ny - 1] - gy[0]) / (ny - 1);
  const long nodes = static_cast<long>(nx) * ny;
  try {
    // the data points in grid units, bucketed by their nearest node
    std::vector<double> u, v, w;
    std::vector<int> head(nodes, -1), next;
    u.reserve(n);
    v.reserve(n);
    w.reserve(n);
    next.reserve(n);
    for (int k = 0; k < n; ++k) {
      if (!std::isfinite(xray[k]) || !std::isfinite(yray[k]) || !std::isfinite(zray[k])) continue;
      const double pu = dx != 0 ? (xray[k] - gx[0]) / dx : 0;
      const double pv = dy != 0 ? (yray[k] - gy[0]) / dy : 0;
      const long iu = std::lround(pu), iv = std::lround(pv);
      // points beyond the window of every node are of no use
      if (iu < -wx || iu > nx - 1 + wx || iv < -wy || iv > ny - 1 + wy) continue;
      const long bu = iu < 0 ? 0 : iu > nx - 1 ? nx - 1 : iu;
      const long bv = iv < 0 ? 0 : iv > ny - 1 ? ny - 1 : iv;
      const int id = static_cast<int>(u.size());
      u.push_back(pu);
      v.push_back(pv);
      w.push_back(zray[k]);
      next.push_back(head[bu * ny + bv]);
      head[bu * ny + bv] = id;
    }
    for (int i = 0; i < nx; ++i)
      for (int j = 0; j < ny; ++j) {
        double sw = 0, sz = 0, exact = 0;
        int nexact = 0;
        for (int bi = std::max(0, i - wx - 1); bi <= std::min(nx - 1, i + wx + 1); ++bi)
          for (int bj = std::max(0, j - wy - 1); bj <= std::min(ny - 1, j + wy + 1); ++bj)
            for (int k = head[static_cast<long>(bi) * ny + bj]; k >= 0; k = next[k]) {
              const double du = u[k] - i, dv = v[k] - j;
              if (std::fabs(du) > wx || std::fabs(dv) > wy) continue;
              const double d = std::hypot(du, dv);
              if (d < 1e-10) {
                exact += w[k];
                ++nexact;
                continue;
              }
              const double f = std::pow(d, -power);
              sw += f;
              sz += f * w[k];
            }
        double value = zval;
        if (nexact > 0)
          value = exact / nexact;
        else if (sw > 0)
          value = sz / sw;
        zmat[static_cast<long>(i) * ny + j] = value;
      }
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

void mdfmat(int nx, int ny, double weight) {
  Context* ctx = enter(R::mdfmat);
  if (!ctx || check_range(*ctx, nx, 1, -1) || check_range(*ctx, ny, 1, -1)) return;
  if (!(weight >= 0) || !std::isfinite(weight)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ContourState& c = ctx->contour;
  c.grid_window_x = nx;
  c.grid_window_y = ny;
  c.grid_weight = weight;
}

}  // namespace tavero
