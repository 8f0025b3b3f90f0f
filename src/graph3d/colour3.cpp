// Colour axis systems (graf3): a 2-D axis system whose third axis is a colour bar beside it,
// and the routines that plot coloured points, matrices and quadrilaterals in it; the colours
// of values in 3-D systems.
#include <algorithm>
#include <cmath>
#include <vector>

#include "axes/axes.h"
#include "axes/axis_convert.h"
#include "axes/colorbar.h"
#include "charts/charts.h"
#include "core/entry.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "graph3d/g3d_internal.h"
#include "tavero_api.h"

namespace tavero {

namespace {

bool colour_system(Context& ctx) {
  if (ctx.g3d.sys.colour_system && ctx.core.level == 3 && ctx.axes.kind == kKindGraf) return true;
  warn_code(ctx, 35);
  return false;
}

// The colour scaling of the active system: the z axis of graf3 or graf3d (zscale first).
void system_color_scaling(Context& ctx) {
  if (ctx.g3d.sys.colour_system) {
    const AxisScale& z = ctx.g3d.sys.sc[2];
    set_color_scaling(ctx, z.a, z.e, z.log != 0, z.ulo, z.uhi, false);
  } else {
    set_surface_color_scaling(ctx);
  }
}

}  // namespace

int system_value_color(Context& ctx, double v) {
  system_color_scaling(ctx);
  return color_of_value(ctx, v);
}

namespace {

// Size of the rectangles of coloured points: autres3d cells, else setres.
void point_size(const Context& ctx, double& w, double& h) {
  const Graph3dParams& p = ctx.g3d.p;
  const Graph3dSystem& s = ctx.g3d.sys;
  w = p.res_w, h = p.res_h;
  if (p.autres_x > 0) w = s.area_w / p.autres_x;
  if (p.autres_y > 0) h = s.area_h / p.autres_y;
}

// Points of curve3 and its kin as the curve mode of shdmod says: rectangles of the point size,
// symbols in the colour, or single plot units.
void coloured_points(Context& ctx, const double* x, const double* y, const double* z, int n,
                     double xfix, double yfix) {
  system_color_scaling(ctx);
  double w, h;
  point_size(ctx, w, h);
  const int mode = ctx.contour.curve_shading;
  if (mode == 2) w = h = 1;
  const int saved = ctx.color.current;
  axis_clip_on(ctx);
  for (int i = 0; i < n; ++i) {
    double xu = x ? x[i] : xfix, yu = y ? y[i] : yfix;
    if (!std::isfinite(z[i])) continue;
    double xp, yp;
    user_to_plot(ctx, xu, yu, xp, yp);
    if (!std::isfinite(xp) || !std::isfinite(yp)) continue;
    check_scaling(ctx, xu, yu);
    int c = color_of_value(ctx, z[i]);
    if (mode == 1) {
      if (ctx.color.current != c) qqsclr(ctx, c);
      draw_symbol(ctx, ctx.charts.symbol, xp, yp);
    } else {
      qqfrec(ctx, xp - (w - 1) / 2, yp - (h - 1) / 2, xp + (w - 1) / 2, yp + (h - 1) / 2, c);
    }
  }
  qqflsh(ctx);
  axis_clip_off(ctx);
  if (ctx.color.current != saved) qqsclr(ctx, saved);
}

}  // namespace

void graf3(double xa, double xe, double xorg, double xstp, double ya, double ye, double yorg,
           double ystp, double za, double ze, double zorg, double zstp) {
  Context* ctx = enter(R::graf3);
  if (!ctx) return;
  Graph3dSystem& s = ctx->g3d.sys;
  double x, y, w, h;
  layout_area(*ctx, x, y, w, h);
  const int zlen = ctx->g3d.p.zlen >= 2 ? ctx->g3d.p.zlen : static_cast<int>(h);
  const double given[3][4] = {{xa, xe, xorg, xstp}, {ya, ye, yorg, ystp}, {za, ze, zorg, zstp}};
  const int lens[3] = {static_cast<int>(w), static_cast<int>(h), zlen};
  const double starts[3] = {x, y, y};
  if (!setup_scaling(*ctx, given, lens, starts)) return;
  if (x + ctx->core.origin_x < 0) warn_code(*ctx, 4);
  if (y + ctx->core.origin_y < 0) warn_code(*ctx, 5);
  horizon_remove(*ctx);
  s.area_x = x, s.area_y = y, s.area_w = w, s.area_h = h;
  s.active = 0;
  s.colour_system = 1;
  s.plane = 0;
  ctx->core.level = 3;
  restore_system(*ctx);
  system_color_scaling(*ctx);
  AxisState& a = ctx->axes;
  if (a.nograf) return;
  if (a.background != -1 && !a.nofill) qqfrec(*ctx, x, y - h + 1, x + w - 1, y, a.background);
  for (int side = 0; side < 4; ++side) draw_axis(*ctx, side_geometry(*ctx, side));
  if (a.frame != 0) {
    int saved = use_color(*ctx, a.frame_color);
    draw_frame(*ctx, x, y - h + 1, w, h, a.frame);
    restore_color(*ctx, saved);
  }
  draw_color_bar(*ctx, x, y, w, h, s.sc[2], ctx->g3d.p.zlen);
  qqflsh(*ctx);
}

void curve3(const double* xray, const double* yray, const double* zray, int n) {
  Context* ctx = enter(R::curve3);
  if (!ctx || !colour_system(*ctx)) return;
  coloured_points(*ctx, xray, yray, zray, n, 0, 0);
}

void curvx3(const double* xray, double y, const double* zray, int n) {
  Context* ctx = enter(R::curvx3);
  if (!ctx || !colour_system(*ctx)) return;
  coloured_points(*ctx, xray, nullptr, zray, n, 0, y);
}

void curvy3(double x, const double* yray, const double* zray, int n) {
  Context* ctx = enter(R::curvy3);
  if (!ctx || !colour_system(*ctx)) return;
  coloured_points(*ctx, nullptr, yray, zray, n, x, 0);
}

// A matrix over the whole axis scaling: element (i, j) at the i-th of nx equidistant x values
// and the j-th of ny y values; ixpts, iypts > 1 interpolate that many cells per interval.
void crvmat(const double* zmat, int nx, int ny, int ixpts, int iypts) {
  Context* ctx = enter(R::crvmat);
  if (!ctx || !colour_system(*ctx)) return;
  if (nx < 2 || ny < 2) {
    warn_number(*ctx, kMsgIncorrectParameter, nx < 2 ? nx : ny);
    return;
  }
  system_color_scaling(*ctx);
  const int fx = std::max(1, ixpts), fy = std::max(1, iypts);
  const int nu = (nx - 1) * fx + 1, nv = (ny - 1) * fy + 1;
  if (static_cast<double>(nu) * nv > 5e7) {
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  const AxisScale& sx = ctx->g3d.sys.sc[0];
  const AxisScale& sy = ctx->g3d.sys.sc[1];
  // plot positions of the fine nodes, cells reaching half way to their neighbours
  const double px0 = sx.start, px1 = sx.start + sx.len - 1;
  const double py0 = sy.start, py1 = sy.start - sy.len + 1;
  auto xs = [&](int u) { return px0 + (px1 - px0) * u / (nu - 1.0); };
  auto ys = [&](int v) { return py0 + (py1 - py0) * v / (nv - 1.0); };
  axis_clip_on(*ctx);
  for (int v = 0; v < nv; ++v) {
    double ylo = ys(std::max(v - 1, 0)), yhi = ys(std::min(v + 1, nv - 1));
    double ya = (ylo + ys(v)) / 2, yb = (yhi + ys(v)) / 2;
    int j = std::min(v / fy, ny - 2);
    double tv = static_cast<double>(v) / fy - j;
    int run_colour = -2;
    double run_from = 0;
    for (int u = 0; u <= nu; ++u) {
      int c = -2;
      double xa = 0;
      if (u < nu) {
        int i = std::min(u / fx, nx - 2);
        double tu = static_cast<double>(u) / fx - i;
        const double* r0 = zmat + static_cast<size_t>(i) * ny;
        const double* r1 = zmat + static_cast<size_t>(i + 1) * ny;
        double val = (1 - tu) * ((1 - tv) * r0[j] + tv * r0[j + 1]) +
                     tu * ((1 - tv) * r1[j] + tv * r1[j + 1]);
        c = std::isfinite(val) ? color_of_value(*ctx, val) : -1;
        xa = (xs(std::max(u - 1, 0)) + xs(u)) / 2;
      } else {
        xa = px1;
      }
      if (c != run_colour) {
        // half a unit more than the cell, so that viewers show no seams between cells
        if (run_colour >= 0) qqfrec(*ctx, run_from, ya, xa + 0.5, yb - (v + 1 < nv ? 0.5 : 0), run_colour);
        run_colour = c;
        run_from = xa;
      }
    }
  }
  axis_clip_off(*ctx);
}

// Quadrilaterals of four points each, filled with the colour of their mean value.
void crvqdr(const double* xray, const double* yray, const double* zray, int n) {
  Context* ctx = enter(R::crvqdr);
  if (!ctx || !colour_system(*ctx)) return;
  if (n < 4) {
    warn_number(*ctx, kMsgIncorrectParameter, n);
    return;
  }
  system_color_scaling(*ctx);
  const int saved = ctx->color.current, saved_pattern = ctx->fill.pattern;
  set_fill_pattern(*ctx, 16);
  axis_clip_on(*ctx);
  for (int q = 0; q + 3 < n; q += 4) {
    double px[4], py[4], mean = 0;
    bool ok = true;
    for (int k = 0; k < 4; ++k) {
      user_to_plot(*ctx, xray[q + k], yray[q + k], px[k], py[k]);
      mean += zray[q + k] / 4;
      ok = ok && std::isfinite(px[k]) && std::isfinite(py[k]);
    }
    if (!ok || !std::isfinite(mean)) continue;
    int c = color_of_value(*ctx, mean);
    if (ctx->color.current != c) qqsclr(*ctx, c);
    qqfpol(*ctx, px, py, 4);
  }
  axis_clip_off(*ctx);
  set_fill_pattern(*ctx, saved_pattern);
  if (ctx->color.current != saved) qqsclr(*ctx, saved);
}

void colray(const double* zray, int* nray, int n) {
  Context* ctx = enter(R::colray);
  if (!ctx) return;
  if (!ctx->g3d.sys.colour_system && !(ctx->g3d.sys.active && ctx->axes.kind == kKind3d)) {
    warn_code(*ctx, 35);
    return;
  }
  for (int i = 0; i < n; ++i) nray[i] = system_value_color(*ctx, zray[i]);
}

void setres(int npb, int nph) {
  Context* ctx = enter(R::setres);
  if (!ctx) return;
  if (check_range(*ctx, npb, 1, -1) + check_range(*ctx, nph, 1, -1) != 0) return;
  Graph3dParams& p = ctx->g3d.p;
  p.res_w = npb, p.res_h = nph;
  p.autres_x = p.autres_y = 0;
}

void getres(int* npb, int* nph) {
  Context* ctx = enter(R::getres);
  if (!ctx) return;
  double w, h;
  point_size(*ctx, w, h);
  *npb = static_cast<int>(std::lround(w));
  *nph = static_cast<int>(std::lround(h));
}

// The point size follows from the number of cells along each axis of the next colour system.
void autres3d(int ixdim, int iydim) {
  Context* ctx = enter(R::autres3d);
  if (!ctx) return;
  if (check_range(*ctx, ixdim, 1, -1) + check_range(*ctx, iydim, 1, -1) != 0) return;
  Graph3dParams& p = ctx->g3d.p;
  p.autres_x = ixdim, p.autres_y = iydim;
}

}  // namespace tavero
