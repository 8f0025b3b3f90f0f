// The 3-D axis system: graf3d, its settings (box, view point, focus, view angle, clipping,
// projection), 2-D drawing into a plane of the box (grfini, grffin) and the conversions of
// points between user, box and plot coordinates.
#include <algorithm>
#include <cmath>

#include "axes/axes.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "graph3d/g3d.h"
#include "graph3d/g3d_internal.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr double kPiS = 3.1415927;

inline double page_y(const Context& ctx, double y) {
  return ctx.core.page_origin == 1 ? ctx.core.page_h - y : y;
}

inline bool finite3(double x, double y, double z) {
  return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

}  // namespace

// ------------------------------------------------------------------------------------------
// Setting up an axis system

void layout_area(Context& ctx, double& x, double& y, double& w, double& h) {
  const AxisState& a = ctx.axes;
  w = a.len[0];
  h = a.len[1];
  x = a.pos_x;
  y = a.pos_y;
  if (a.center) {
    x = (ctx.core.page_w + 1 - a.len[0]) / 2;
    y = (ctx.core.page_h + 1 - a.len[1]) / 2 + a.len[1] - 1;
  }
}

bool setup_scaling(Context& ctx, const double given[3][4], const int lens[3],
                   const double starts[3]) {
  AxisState& a = ctx.axes;
  double v[3][4];
  bool from_data[3] = {false, false, false};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 4; ++j) v[i][j] = given[i][j];
    if (!a.ax[i].auto_on) continue;
    AutoScale s;
    auto_scale(ctx, i, a.ax[i].dmin, a.ax[i].dmax, lens[i], s);
    v[i][0] = s.a, v[i][1] = s.e, v[i][2] = s.org, v[i][3] = s.step;
    a.ax[i].digits = s.ndig;
    from_data[i] = true;
  }
  for (int i = 0; i < 3; ++i)
    if (check_axis(ctx, v[i][0], v[i][1], v[i][2], v[i][3], lens[i])) return false;
  for (int i = 0; i < 3; ++i) {
    store_scale(ctx, i, v[i][0], v[i][1], v[i][2], v[i][3], lens[i], starts[i], from_data[i],
                a.ax[i].dmin, a.ax[i].dmax);
    ctx.g3d.sys.sc[i] = a.sc[i];
  }
  return true;
}

void restore_system(Context& ctx) {
  Graph3dSystem& s = ctx.g3d.sys;
  AxisState& a = ctx.axes;
  for (int i = 0; i < 3; ++i) a.sc[i] = s.sc[i];
  a.kind = s.colour_system ? kKindGraf : kKind3d;
  a.convert = nullptr;
  a.invert = nullptr;
  a.crossed = 0;
  set_axis_clip(ctx, s.area_x, s.area_y - s.area_h + 1, s.area_x + s.area_w - 1, s.area_y,
                s.area_x + (s.area_w - 1) / 2, s.area_y - (s.area_h - 1) / 2,
                std::min(s.area_w, s.area_h) / 2, false);
}

void graf3d(double xa, double xe, double xorg, double xstp, double ya, double ye, double yorg,
            double ystp, double za, double ze, double zorg, double zstp) {
  Context* ctx = enter(R::graf3d);
  if (!ctx) return;
  Graph3dSystem& s = ctx->g3d.sys;
  double x, y, w, h;
  layout_area(*ctx, x, y, w, h);
  const double given[3][4] = {{xa, xe, xorg, xstp}, {ya, ye, yorg, ystp}, {za, ze, zorg, zstp}};
  const int lens[3] = {static_cast<int>(w), static_cast<int>(h), static_cast<int>(h)};
  const double starts[3] = {x, y, y};
  if (!setup_scaling(*ctx, given, lens, starts)) return;
  if (x + ctx->core.origin_x < 0) warn_code(*ctx, 4);
  if (y + ctx->core.origin_y < 0) warn_code(*ctx, 5);
  horizon_remove(*ctx);
  s.area_x = x, s.area_y = y, s.area_w = w, s.area_h = h;
  s.active = 1;
  s.colour_system = 0;
  s.plane = 0;
  s.pen_valid = s.line_open = 0;
  s.extra_on = 0;
  ctx->core.level = 3;
  restore_system(*ctx);
  build_view(*ctx);
  if (!ctx->axes.nograf) draw_3d_axes(*ctx);
}

void axis3d(double x3axis, double y3axis, double z3axis) {
  Context* ctx = enter(R::axis3d);
  if (!ctx) return;
  if (!(x3axis > 0 && y3axis > 0 && z3axis > 0) || !finite3(x3axis, y3axis, z3axis)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  double* b = ctx->g3d.p.box;
  b[0] = x3axis, b[1] = y3axis, b[2] = z3axis;
}

void ax3len(int nxl, int nyl, int nzl) {
  Context* ctx = enter(R::ax3len);
  if (!ctx) return;
  if (check_range(*ctx, nxl, 2, -1) + check_range(*ctx, nyl, 2, -1) +
      check_range(*ctx, nzl, 2, -1) != 0)
    return;
  ctx->axes.len[0] = nxl;
  ctx->axes.len[1] = nyl;
  ctx->axes.len[2] = nzl;
  ctx->g3d.p.zlen = nzl;
}

// ------------------------------------------------------------------------------------------
// View settings

void view3d(double xvu, double yvu, double zvu, const char* copt) {
  Context* ctx = enter(R::view3d);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "ABS +USER+ANGL", 3, copt);
  if (!k) return;
  if (!finite3(xvu, yvu, zvu)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  Graph3dParams& p = ctx->g3d.p;
  p.view_mode = k;
  p.view[0] = xvu, p.view[1] = yvu, p.view[2] = zvu;
}

void vfoc3d(double x, double y, double z, const char* copt) {
  Context* ctx = enter(R::vfoc3d);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "ABS +USER", 2, copt);
  if (!k) return;
  if (!finite3(x, y, z)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  Graph3dParams& p = ctx->g3d.p;
  p.focus_mode = k;
  p.focus[0] = x, p.focus[1] = y, p.focus[2] = z;
}

void vup3d(double xang) {
  Context* ctx = enter(R::vup3d);
  if (!ctx) return;
  if (!std::isfinite(xang)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->g3d.p.up = xang * kPiS / 180;
}

void vang3d(double xang) {
  Context* ctx = enter(R::vang3d);
  if (!ctx) return;
  if (!(xang > 0 && xang < 180)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->g3d.p.half_angle = xang * kPiS / 360;
}

void rot3d(double xrotx, double yroty, double zrotz) {
  Context* ctx = enter(R::rot3d);
  if (!ctx) return;
  if (!finite3(xrotx, yroty, zrotz)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  double* r = ctx->g3d.p.rot;
  r[0] = xrotx, r[1] = yroty, r[2] = zrotz;
}

void vclp3d(double xnear, double xfar) {
  Context* ctx = enter(R::vclp3d);
  if (!ctx) return;
  Graph3dParams& p = ctx->g3d.p;
  if (!(xnear > 0) || !std::isfinite(xnear)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  p.near_dist = xnear;
  if (!(xfar <= 0) && !(xfar >= xnear)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  p.far_dist = xfar <= 0 ? -1 : xfar;
}

void proj3d(const char* copt) {
  Context* ctx = enter(R::proj3d);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "PERS+ORTH", 2, copt);
  if (k) ctx->g3d.p.proj = k - 1;
}

void clip3d(const char* copt) {
  Context* ctx = enter(R::clip3d);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "WORL+EYE +NONE", 3, copt);
  if (!k) return;
  ctx->g3d.p.clip = k - 1;
  ctx->g3d.sys.clip = k - 1;
}

// ------------------------------------------------------------------------------------------
// Axes and symbols of 3-D systems

void flab3d() {
  if (Context* ctx = enter(R::flab3d)) ctx->g3d.p.flab = 1;
}

void labl3d(const char* copt) {
  Context* ctx = enter(R::labl3d);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "STAN+HORI+PARA+OTHE", 4, copt);
  if (k) ctx->g3d.p.label_mode = k - 1;
}

void hsym3d(double xhsym) {
  Context* ctx = enter(R::hsym3d);
  if (!ctx) return;
  if (!(xhsym > 0) || !std::isfinite(xhsym)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->g3d.p.sym_size = xhsym;
}

void thkc3d(double xthk) {
  Context* ctx = enter(R::thkc3d);
  if (!ctx) return;
  if (!(xthk >= 0) || !std::isfinite(xthk)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->g3d.p.curve_thick = xthk;
}

void setres3d(double xres, double yres, double zres) {
  Context* ctx = enter(R::setres3d);
  if (!ctx) return;
  if (!(xres >= 1e-35 && yres >= 1e-35 && zres >= 1e-35) || !finite3(xres, yres, zres)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  Graph3dParams& p = ctx->g3d.p;
  p.res3[0] = xres, p.res3[1] = yres, p.res3[2] = zres;
  p.res3_set = 1;
}

// ------------------------------------------------------------------------------------------
// 2-D drawing into a plane of the box

void grfini(double xa, double ya, double za, double xb, double yb, double zb, double xc,
            double yc, double zc) {
  Context* ctx = enter(R::grfini);
  if (!ctx || !require_3d(*ctx)) return;
  if (!finite3(xa, ya, za) || !finite3(xb, yb, zb) || !finite3(xc, yc, zc)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  if (ctx->g3d.sys.area_w < 2 || ctx->g3d.sys.area_h < 2) {
    warn_code(*ctx, 11);
    return;
  }
  const double p1[3] = {xa, ya, za}, p2[3] = {xb, yb, zb}, p3[3] = {xc, yc, zc};
  plane_on(*ctx, p1, p2, p3);
  ctx->core.level = 1;
}

void grffin() {
  Context* ctx = enter(R::grffin);
  if (!ctx) return;
  if (!ctx->g3d.sys.plane) {
    warn_code(*ctx, 34);
    return;
  }
  plane_off(*ctx);
  LineState& l = ctx->line;
  if (l.axis_clip_on) {
    l.clip_source = 0;
    axis_clip_off(*ctx);
  }
  restore_system(*ctx);
  ctx->core.level = 3;
}

// ------------------------------------------------------------------------------------------
// Conversions

namespace {

// abs3pt before graf3d: the settings applied to the layout of the next axis system, without
// touching the record's system.
Proj project_without_system(Context& ctx, const double b[3]) {
  Graph3dSystem& s = ctx.g3d.sys;
  if (s.active && ctx.axes.kind == kKind3d) return project_box(ctx, b);
  Graph3dSystem saved = s;
  layout_area(ctx, s.area_x, s.area_y, s.area_w, s.area_h);
  for (int i = 0; i < 3; ++i) {
    s.sc[i] = AxisScale{};
    s.sc[i].a = -1, s.sc[i].e = 1;
  }
  s.extra_on = 0;
  build_view(ctx);
  Proj p = project_box(ctx, b);
  s = saved;
  return p;
}

void user_point(Context& ctx, double x, double y, double z, double b[3]) {
  user_to_box(ctx, x, y, z, b);
}

Proj plot_of_user(Context& ctx, double x, double y, double z) {
  double b[3];
  user_point(ctx, x, y, z, b);
  return project_box(ctx, b);
}

}  // namespace

void pos3pt(double x, double y, double z, double* xp, double* yp, double* zp) {
  Context* ctx = enter(R::pos3pt);
  if (!ctx) return;
  double b[3];
  user_point(*ctx, x, y, z, b);
  *xp = b[0], *yp = b[1], *zp = b[2];
}

double x3dpos(double x, double y, double z) {
  Context* ctx = enter(R::x3dpos);
  if (!ctx) return 0;
  double b[3];
  user_point(*ctx, x, y, z, b);
  return b[0];
}

double y3dpos(double x, double y, double z) {
  Context* ctx = enter(R::y3dpos);
  if (!ctx) return 0;
  double b[3];
  user_point(*ctx, x, y, z, b);
  return b[1];
}

double z3dpos(double x, double y, double z) {
  Context* ctx = enter(R::z3dpos);
  if (!ctx) return 0;
  double b[3];
  user_point(*ctx, x, y, z, b);
  return b[2];
}

double x3dabs(double x, double y, double z) {
  Context* ctx = enter(R::x3dabs);
  if (!ctx) return 0;
  const double b[3] = {x, y, z};
  return project_box(*ctx, b).x;
}

double y3dabs(double x, double y, double z) {
  Context* ctx = enter(R::y3dabs);
  if (!ctx) return 0;
  const double b[3] = {x, y, z};
  return page_y(*ctx, project_box(*ctx, b).y);
}

double x3drel(double x, double y, double z) {
  Context* ctx = enter(R::x3drel);
  if (!ctx) return 0;
  return plot_of_user(*ctx, x, y, z).x;
}

double y3drel(double x, double y, double z) {
  Context* ctx = enter(R::y3drel);
  if (!ctx) return 0;
  return page_y(*ctx, plot_of_user(*ctx, x, y, z).y);
}

void rel3pt(double x, double y, double z, double* xp, double* yp) {
  Context* ctx = enter(R::rel3pt);
  if (!ctx) return;
  Proj p = plot_of_user(*ctx, x, y, z);
  *xp = p.x;
  *yp = page_y(*ctx, p.y);
}

void abs3pt(double x, double y, double z, double* xp, double* yp) {
  Context* ctx = enter(R::abs3pt);
  if (!ctx) return;
  const double b[3] = {x, y, z};
  Proj p = project_without_system(*ctx, b);
  *xp = p.x;
  *yp = page_y(*ctx, p.y);
}

}  // namespace tavero
