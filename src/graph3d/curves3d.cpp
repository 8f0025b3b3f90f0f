// Curves, points and symbols in 3-D axis systems, tubes along curves, and 3-D bars.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "charts/charts.h"
#include "core/entry.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/pipeline.h"
#include "graph3d/g3d_internal.h"
#include "tavero_api.h"

namespace tavero {

// ------------------------------------------------------------------------------------------
// Helpers shared by the 3-D routines

ScalingCheck::ScalingCheck(Context& ctx)
    : ctx_(ctx), on_(ctx.core.check_on && !ctx.axes.nochek) {}

// One message per call: a curve of a million points outside the scaling is one mistake.
void ScalingCheck::operator()(double x, double y, double z) {
  if (!on_ || done_) return;
  const Graph3dSystem& s = ctx_.g3d.sys;
  const double u[3] = {x, y, z};
  bool outside = false;
  for (int i = 0; i < 3; ++i) {
    const AxisScale& sc = s.sc[i];
    double tol = 1e-9 * std::fabs(sc.uhi - sc.ulo);
    if (u[i] < sc.ulo - tol || u[i] > sc.uhi + tol) outside = true;
  }
  if (!outside) return;
  char text[96];
  std::snprintf(text, sizeof text, "(%12.4e /%12.4e /%12.4e) out of axis scaling", x, y, z);
  warn_text(ctx_, -1, text);
  done_ = true;
}

bool finite_range(const double* v, int n, double& lo, double& hi) {
  bool any = false;
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(v[i])) continue;
    if (!any) lo = hi = v[i], any = true;
    lo = std::min(lo, v[i]);
    hi = std::max(hi, v[i]);
  }
  return any;
}

namespace {

// Draws symbol nsym at a box point when it is visible: hsym3d sizes are box units.
void symbol_at(Context& ctx, int nsym, const double b[3]) {
  Proj p = project_box(ctx, b);
  if (!box_visible(ctx, b, p)) return;
  int& size = ctx.charts.symbol_size;
  const int saved = size;
  if (ctx.g3d.p.sym_size > 0)
    size = std::max(1, static_cast<int>(std::lround(ctx.g3d.p.sym_size * local_scale(ctx, b))));
  draw_symbol(ctx, nsym, p.x, p.y);
  size = saved;
}

// Radius in box units of a length given in user units of the X axis.
double box_radius(const Context& ctx, double r) {
  const Graph3dSystem& s = ctx.g3d.sys;
  return std::fabs(r * s.box[0] / (s.sc[0].e - s.sc[0].a));
}

}  // namespace

// ------------------------------------------------------------------------------------------
// Curves

void curv3d(const double* xray, const double* yray, const double* zray, int n) {
  Context* ctx = enter(R::curv3d);
  if (!ctx || !require_3d(*ctx)) return;
  ScalingCheck check(*ctx);
  std::vector<double> b(3 * static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    check(xray[i], yray[i], zray[i]);
    user_to_box(*ctx, xray[i], yray[i], zray[i], &b[3 * static_cast<size_t>(i)]);
  }
  const int step = ctx->charts.symbol_step;
  if (step >= 0) {
    ZBuffer* z = zbuffer(*ctx);
    double rgb[3];
    color_rgb01(*ctx, ctx->color.current, rgb);
    if (z && ctx->g3d.p.curve_thick > 0) {
      FacetSink sink(*ctx, false, false);
      double r = box_radius(*ctx, ctx->g3d.p.curve_thick);
      for (int i = 0; i + 1 < n; ++i) tube_between(*ctx, sink, &b[3 * i], &b[3 * i + 3], r, rgb);
    } else if (z) {
      qqflsh(*ctx);
      for (int i = 0; i + 1 < n; ++i) {
        const double* p = &b[3 * i];
        if (std::isfinite(p[0] + p[1] + p[2] + p[3] + p[4] + p[5])) zbuffer_line(*ctx, p, p + 3, rgb);
      }
    } else {
      Graph3dSystem& s = ctx->g3d.sys;
      s.pen_valid = s.line_open = 0;
      for (int i = 0; i < n; ++i) draw3d(*ctx, &b[3 * static_cast<size_t>(i)]);
      qqflsh(*ctx);
    }
  }
  if (step != 0) {
    int every = step < 0 ? -step : step;
    for (int i = 0; i < n; i += every) symbol_at(*ctx, ctx->charts.symbol, &b[3 * static_cast<size_t>(i)]);
    qqflsh(*ctx);
  }
}

// Points coloured by a fourth value: cuboids of the setres3d size in a z-buffer, symbols
// otherwise; the colours run over zscale or the range of the values.
void curv4d(const double* xray, const double* yray, const double* zray, const double* wray,
            int n) {
  Context* ctx = enter(R::curv4d);
  if (!ctx || !require_3d(*ctx)) return;
  const Graph3dParams& p = ctx->g3d.p;
  double lo = 0, hi = 1;
  if (ctx->contour.zscale_set) {
    lo = ctx->contour.zscale_min, hi = ctx->contour.zscale_max;
  } else if (!finite_range(wray, n, lo, hi)) {
    return;
  }
  set_color_scaling(*ctx, lo, hi, false, lo, hi, false);
  const int saved = ctx->color.current;
  ZBuffer* z = zbuffer(*ctx);
  ScalingCheck check(*ctx);
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(wray[i])) continue;
    check(xray[i], yray[i], zray[i]);
    int c = color_of_value(*ctx, wray[i]);
    if (z && p.res3_set) {
      if (ctx->color.current != c) qqsclr(*ctx, c);
      quad3d(xray[i], yray[i], zray[i], p.res3[0], p.res3[1], p.res3[2]);
      continue;
    }
    double b[3];
    user_to_box(*ctx, xray[i], yray[i], zray[i], b);
    if (ctx->color.current != c) qqsclr(*ctx, c);
    symbol_at(*ctx, ctx->charts.symbol, b);
  }
  qqflsh(*ctx);
  if (ctx->color.current != saved) qqsclr(*ctx, saved);
}

void strt3d(double x, double y, double z) {
  Context* ctx = enter(R::strt3d);
  if (!ctx || !require_3d(*ctx)) return;
  double b[3];
  user_to_box(*ctx, x, y, z, b);
  move3d(*ctx, b);
}

void conn3d(double x, double y, double z) {
  Context* ctx = enter(R::conn3d);
  if (!ctx || !require_3d(*ctx)) return;
  ScalingCheck check(*ctx);
  check(x, y, z);
  double b[3];
  user_to_box(*ctx, x, y, z, b);
  draw3d(*ctx, b);
}

void symb3d(int nsym, double x, double y, double z) {
  Context* ctx = enter(R::symb3d);
  if (!ctx || !require_3d(*ctx)) return;
  if (nsym < 0) {
    warn_number(*ctx, kMsgIncorrectParameter, nsym);
    return;
  }
  double b[3];
  user_to_box(*ctx, x, y, z, b);
  if (!std::isfinite(b[0] + b[1] + b[2])) return;
  symbol_at(*ctx, nsym, b);
  qqflsh(*ctx);
}

// A curve of tubes with a radius (user units of the X axis) and a colour per point; without a
// z-buffer the segments are lines in the colour of their first point.
void crvt3d(const double* xray, const double* yray, const double* zray, const double* rray,
            const int* icray, int n) {
  Context* ctx = enter(R::crvt3d);
  if (!ctx || !require_3d(*ctx)) return;
  for (int i = 0; i < n; ++i)
    if (icray[i] < 0) {
      warn_number(*ctx, kMsgIncorrectParameter, icray[i]);
      return;
    }
  std::vector<double> b(3 * static_cast<size_t>(n));
  ScalingCheck check(*ctx);
  for (int i = 0; i < n; ++i) {
    check(xray[i], yray[i], zray[i]);
    user_to_box(*ctx, xray[i], yray[i], zray[i], &b[3 * static_cast<size_t>(i)]);
  }
  const int saved = ctx->color.current;
  if (zbuffer(*ctx) || polygon_buffer_active(*ctx)) {
    FacetSink sink(*ctx, false, false);
    for (int i = 0; i + 1 < n; ++i) {
      double rgb[3];
      color_rgb01(*ctx, icray[i], rgb);
      tube_between(*ctx, sink, &b[3 * i], &b[3 * i + 3], box_radius(*ctx, rray[i]), rgb);
    }
  } else {
    Graph3dSystem& s = ctx->g3d.sys;
    for (int i = 0; i + 1 < n; ++i) {
      if (ctx->color.current != icray[i]) qqsclr(*ctx, icray[i]);
      s.pen_valid = s.line_open = 0;
      move3d(*ctx, &b[3 * i]);
      draw3d(*ctx, &b[3 * i + 3]);
    }
    qqflsh(*ctx);
  }
  if (ctx->color.current != saved) qqsclr(*ctx, saved);
}

// Cuboid bars from z1 to z2 over (x, y) with widths xw, yw in the colours ic, outlined in the
// current colour: shaded in a z-buffer, sorted by depth otherwise.
void bars3d(const double* xray, const double* yray, const double* z1ray, const double* z2ray,
            const double* xwray, const double* ywray, const int* icray, int n) {
  Context* ctx = enter(R::bars3d);
  if (!ctx || !require_3d(*ctx)) return;
  for (int i = 0; i < n; ++i)
    if (icray[i] < -1) {
      warn_number(*ctx, kMsgIncorrectParameter, icray[i]);
      return;
    }
  const Graph3dParams& p = ctx->g3d.p;
  const int saved = ctx->color.current;
  double outline[3];
  color_rgb01(*ctx, saved, outline);
  FacetSink sink(*ctx, false, false);
  if (!sink.ok()) return;
  static const int kFaces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                                   {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
  for (int i = 0; i < n; ++i) {
    double x0 = xray[i] - xwray[i] / 2, x1 = xray[i] + xwray[i] / 2;
    double y0 = yray[i] - ywray[i] / 2, y1 = yray[i] + ywray[i] / 2;
    double z0 = std::min(z1ray[i], z2ray[i]), zt = std::max(z1ray[i], z2ray[i]);
    const double ux[8] = {x0, x1, x1, x0, x0, x1, x1, x0};
    const double uy[8] = {y0, y0, y1, y1, y0, y0, y1, y1};
    const double uz[8] = {z0, z0, z0, z0, zt, zt, zt, zt};
    double c[8][3];
    bool bad = false;
    for (int k = 0; k < 8; ++k) {
      user_to_box(*ctx, ux[k], uy[k], uz[k], c[k]);
      if (!std::isfinite(c[k][0] + c[k][1] + c[k][2])) bad = true;
    }
    if (bad) continue;
    double rgb[3];
    color_rgb01(*ctx, icray[i] < 0 ? saved : icray[i], rgb);
    for (const auto& fc : kFaces) {
      Facet f;
      f.n = 4;
      for (int k = 0; k < 4; ++k)
        for (int m = 0; m < 3; ++m) f.v[k].b[m] = c[fc[k]][m];
      int face = facing(*ctx, f);
      if (face < 0 && sink.target() != FacetTarget::kZBuffer) continue;  // hidden by the bar
      for (int k = 0; k < 4; ++k) {
        if (p.lighting) {
          double nrm[3];
          facet_normal(f, nrm);
          light_color(*ctx, f.v[k].b, nrm, lit_value_colors(*ctx) ? rgb : nullptr, 0, f.v[k].rgb);
        } else {
          std::copy(rgb, rgb + 3, f.v[k].rgb);
        }
      }
      sink.add(f, false, outline);
    }
  }
}

}  // namespace tavero
