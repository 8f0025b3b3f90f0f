// Titles, grids, single axes, lines through the origin, additional labels and the date
// routines.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "axes/axes.h"
#include "axes/axis_convert.h"
#include "axes/axis_text.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "core/strutil.h"
#include "draw/pipeline.h"
#include "tavero_api.h"
#include "text/text.h"

namespace tavero {

namespace {

constexpr double kPi = 3.14159265358979323846;

inline double flip_y(const Context& ctx, double y) {
  return ctx.core.page_origin == 1 ? ctx.core.page_h - y : y;
}

// Positions (scaling values) of grid lines: the tick rule of the axis with n intervals.
void grid_values(Context& ctx, const AxisScale& sc, int n, std::vector<double>& out) {
  if (n <= 0) return;
  double lo = std::fmin(sc.a, sc.e), hi = std::fmax(sc.a, sc.e);
  double rstep = std::floor(std::fabs(sc.step) + 0.5);
  if (sc.log && n >= 2 && rstep >= 1 && std::fabs(std::fabs(sc.step) - rstep) < 1e-9) {
    if (!(hi - lo < 2000) || !(std::fabs(lo) < 1e15)) return;
    bool minors = ctx.axes.logtic == 1 || std::fabs(sc.f) >= 60;
    for (double p = std::floor(lo); p <= std::ceil(hi); ++p)
      for (int k = 1; k <= (minors ? 9 : 1); ++k) {
        double v = p + std::log10(static_cast<double>(k));
        if (v >= lo - 1e-9 && v <= hi + 1e-9) out.push_back(v);
      }
    return;
  }
  double sp = sc.step / n;
  if (!(std::fabs(sp) > 0)) return;
  double j1 = (lo - sc.org) / sp, j2 = (hi - sc.org) / sp;
  if (j1 > j2) std::swap(j1, j2);
  j1 = std::ceil(j1 - 1e-7);
  j2 = std::floor(j2 + 1e-7);
  if (!(j2 - j1 < 20000) || !(std::fabs(j1) < 1e15)) return;
  for (long long i = 0; i <= static_cast<long long>(j2 - j1); ++i)
    out.push_back(sc.org + (j1 + static_cast<double>(i)) * sp);
}

void line_segment(Context& ctx, double x1, double y1, double x2, double y2) {
  qqstrt(ctx, x1, y1);
  qqconn(ctx, x2, y2);
}

bool has_value(const AxisScale& sc, double v) {
  double lo = std::fmin(sc.a, sc.e), hi = std::fmax(sc.a, sc.e), tol = 1e-9 * (hi - lo);
  return v >= lo - tol && v <= hi + tol;
}

}  // namespace

// ------------------------------------------------------------------------------------------
// Title

void title() {
  Context* ctx = enter(R::title);
  if (!ctx) return;
  AxisState& a = ctx->axes;
  const AxisScale& sx = a.sc[0];
  const AxisScale& sy = a.sc[1];
  int h = a.htitle > 0 ? a.htitle : text_height(*ctx);
  double top = sy.start - sy.len + 1, bottom = sy.start;
  double left = sx.start, width = sx.len;
  if (a.kind == kKindPolar || a.kind == kKindSmith) {
    top = a.polar_cy - a.polar_r;
    bottom = a.polar_cy + a.polar_r;
    left = a.polar_cx - a.polar_r;
    width = 2 * a.polar_r + 1;
  }
  top -= color_bar_room_above(*ctx);
  top -= a.bar.title_shift;
  bottom -= a.bar.title_shift;
  double ls = title_line_spacing(*ctx) * h;
  for (int i = 0; i < 4; ++i) {
    const char* s = a.title[i];
    if (!s[0]) continue;
    double w = text_width(*ctx, s, -1, 0, h);
    double x = a.titjus == 1 ? left : a.titjus == 2 ? left + width - w : left + (width - w) / 2;
    double y = a.titpos == 0 ? top - 3.0 * h - (3 - i) * ls : bottom + 4.0 * h + i * ls;
    draw_text_box(*ctx, s, -1, 0, x, y, h, 0);
    if (a.title_underline[i]) {
      double yu = y + 1.2 * h;
      line_segment(*ctx, x - h / 2.0, yu, x + w + h / 2.0, yu);
      qqflsh(*ctx);
    }
  }
}

// ------------------------------------------------------------------------------------------
// Grids

void grid(int igrid, int jgrid) {
  Context* ctx = enter(R::grid);
  if (!ctx) return;
  if (igrid < 0 || jgrid < 0) {
    warn_number(*ctx, kMsgIncorrectParameter, igrid < 0 ? igrid : jgrid);
    return;
  }
  AxisState& a = ctx->axes;
  if (a.kind == kKindSmith) {
    warn_text(*ctx, 35, "Routine does not work for GRAFR");
    return;
  }
  axis_clip_on(*ctx);
  if (a.kind == kKindPolar) {
    std::vector<double> radii;
    grid_values(*ctx, a.sc[0], igrid, radii);
    if (radii.size() > 2000) radii.clear();   // closer than the pen: the disk would be filled
    for (double r : radii) {
      if (!(r > 0)) continue;
      double rp = r * a.polar_f;
      int n = std::clamp(static_cast<int>(2 * kPi * rp / 5), 8, 2000);
      qqstrt(*ctx, a.polar_cx + rp, a.polar_cy);
      for (int i = 1; i <= n; ++i)
        qqconn(*ctx, a.polar_cx + rp * std::cos(2 * kPi * i / n),
               a.polar_cy - rp * std::sin(2 * kPi * i / n));
    }
    const AxisScale& sy = a.sc[1];
    if (jgrid > 0 && std::fabs(sy.step) > 0) {
      double sp = std::fabs(sy.step) / jgrid;
      int n = static_cast<int>(std::min(360.0 / sp - 1e-9, 3600.0));
      for (int k = 0; k <= n; ++k) {
        double t = a.polar_a0 + a.polar_dir * (sy.org + k * sp) * kPi / 180;
        line_segment(*ctx, a.polar_cx, a.polar_cy, a.polar_cx + a.polar_r * std::cos(t),
                     a.polar_cy - a.polar_r * std::sin(t));
      }
    }
  } else {
    const AxisScale& sx = a.sc[0];
    const AxisScale& sy = a.sc[1];
    double xl = sx.start, xr = sx.start + sx.len - 1, yb = sy.start, yt = sy.start - sy.len + 1;
    std::vector<double> v;
    grid_values(*ctx, sx, igrid, v);
    for (double x : v) {
      double xp = scale_to_plot(*ctx, 0, x);
      line_segment(*ctx, xp, yb, xp, yt);
    }
    v.clear();
    grid_values(*ctx, sy, jgrid, v);
    for (double y : v) {
      double yp = scale_to_plot(*ctx, 1, y);
      line_segment(*ctx, xl, yp, xr, yp);
    }
  }
  axis_clip_off(*ctx);
}

// A polar grid round the user origin of a rectangular system: circles igrid per X label step
// and radii every 90 / jgrid degrees.
void grdpol(int igrid, int jgrid) {
  Context* ctx = enter(R::grdpol);
  if (!ctx) return;
  if (igrid < 0 || jgrid < 0) {
    warn_number(*ctx, kMsgIncorrectParameter, igrid < 0 ? igrid : jgrid);
    return;
  }
  AxisState& a = ctx->axes;
  if (a.kind != kKindGraf || a.sc[0].log || a.sc[1].log) {
    warn_text(*ctx, 103, "Non linear scaling");
    return;
  }
  const AxisScale& sx = a.sc[0];
  const AxisScale& sy = a.sc[1];
  if (!has_value(sx, 0) || !has_value(sy, 0)) {
    warn_text(*ctx, 104, "No origin found in axis system scaling");
    return;
  }
  double cx = scale_to_plot(*ctx, 0, 0), cy = scale_to_plot(*ctx, 1, 0);
  double fx = std::fabs(sx.f), fy = std::fabs(sy.f);
  double rmax = 0;
  for (double ex : {sx.a, sx.e})
    for (double ey : {sy.a, sy.e}) rmax = std::fmax(rmax, std::hypot(ex, ey));
  axis_clip_on(*ctx);
  if (igrid > 0) {
    double sp = std::fabs(sx.step) / igrid;
    int n = static_cast<int>(std::min(rmax / sp + 1e-9, 1000.0));
    for (int k = 1; k <= n; ++k) {
      double r = k * sp;
      int m = std::clamp(static_cast<int>(2 * kPi * r * std::fmax(fx, fy) / 5), 8, 2000);
      qqstrt(*ctx, cx + r * fx, cy);
      for (int i = 1; i <= m; ++i)
        qqconn(*ctx, cx + r * fx * std::cos(2 * kPi * i / m), cy - r * fy * std::sin(2 * kPi * i / m));
    }
  }
  if (jgrid > 0) {
    int n = std::min(4 * jgrid, 3600);
    for (int k = 0; k < n; ++k) {
      double t = 2 * kPi * k / n;
      line_segment(*ctx, cx, cy, cx + rmax * fx * std::cos(t), cy - rmax * fy * std::sin(t));
    }
  }
  axis_clip_off(*ctx);
}

// ------------------------------------------------------------------------------------------
// Lines and axes through the origin

namespace {

// X (axis 0) or Y (axis 1) axis line through the user origin; `marks` adds the ticks.
void origin_line(Context& ctx, int axis, bool marks) {
  AxisState& a = ctx.axes;
  const AxisScale& other = a.sc[1 - axis];
  if (a.kind != kKindGraf || other.log || !has_value(other, 0)) return;
  double at = std::floor(scale_to_plot(ctx, 1 - axis, 0) + 0.5);
  AxisGeom g = side_geometry(ctx, axis == 0 ? 0 : 1);
  if (axis == 0) g.y0 = at;
  else g.x0 = at;
  g.level = marks ? 2 : 1;
  axis_clip_on(ctx);
  draw_axis(ctx, g);
  axis_clip_off(ctx);
}

}  // namespace

void xcross() {
  if (Context* ctx = enter(R::xcross)) origin_line(*ctx, 0, true);
}

void ycross() {
  if (Context* ctx = enter(R::ycross)) origin_line(*ctx, 1, true);
}

void cross() {
  Context* ctx = enter(R::cross);
  if (!ctx) return;
  origin_line(*ctx, 0, true);
  origin_line(*ctx, 1, true);
}

void xaxgit() {
  if (Context* ctx = enter(R::xaxgit)) origin_line(*ctx, 0, false);
}

void yaxgit() {
  if (Context* ctx = enter(R::yaxgit)) origin_line(*ctx, 1, false);
}

void axgit() {
  Context* ctx = enter(R::axgit);
  if (!ctx) return;
  origin_line(*ctx, 0, false);
  origin_line(*ctx, 1, false);
}

// ------------------------------------------------------------------------------------------
// Single axes: (nx, ny) is the start of the axis (its left or lower end), nl its length;
// it = 0 puts ticks and labels below / left, 1 above / right.

namespace {

void single_axis(Context& ctx, int axis, bool vertical, bool log, double a, double b, double org,
                 double step, int nl, const char* cstr, int it, int nx, int ny) {
  if (check_axis(ctx, a, b, org, step, nl)) return;
  AxisParams& p = ctx.axes.ax[axis];
  AxisScale sc;
  sc.a = a;
  sc.e = b;
  sc.org = std::isfinite(org) ? org : a;
  sc.step = step;
  sc.len = nl;
  sc.f = (nl - 1) / (b - a);
  sc.log = log ? 1 : 0;
  AxisGeom g;
  g.axis = axis;
  g.sc = &sc;
  g.x0 = nx;
  g.y0 = flip_y(ctx, ny);
  g.level = 4;
  g.ndig = p.digits;
  if (vertical) {
    g.ux = 0, g.uy = -1;
    g.ox = it == 1 ? 1 : -1, g.oy = 0;
    g.name_angle = it == 1 && !ctx.axes.rvynam ? 270 : 90;
  } else {
    g.ux = 1, g.uy = 0;
    g.ox = 0, g.oy = it == 1 ? -1 : 1;
  }
  char saved_name[kAxisNameLen + 1];
  std::memcpy(saved_name, p.name, sizeof saved_name);
  int saved_log = p.log;
  copy_field(p.name, cstr);
  p.log = sc.log;
  draw_axis(ctx, g);
  std::memcpy(p.name, saved_name, sizeof saved_name);
  p.log = saved_log;
}

}  // namespace

void xaxis(double a, double b, double aorg, double astp, int nl, const char* cstr, int it, int nx,
           int ny) {
  Context* ctx = enter(R::xaxis);
  if (ctx) single_axis(*ctx, 0, false, false, a, b, aorg, astp, nl, cstr, it, nx, ny);
}

void yaxis(double a, double b, double aorg, double astp, int nl, const char* cstr, int it, int nx,
           int ny) {
  Context* ctx = enter(R::yaxis);
  if (ctx) single_axis(*ctx, 1, true, false, a, b, aorg, astp, nl, cstr, it, nx, ny);
}

void xaxlg(double a, double b, double aorg, double astp, int nl, const char* cstr, int it, int nx,
           int ny) {
  Context* ctx = enter(R::xaxlg);
  if (ctx) single_axis(*ctx, 0, false, true, a, b, aorg, astp, nl, cstr, it, nx, ny);
}

void yaxlg(double a, double b, double aorg, double astp, int nl, const char* cstr, int it, int nx,
           int ny) {
  Context* ctx = enter(R::yaxlg);
  if (ctx) single_axis(*ctx, 1, true, true, a, b, aorg, astp, nl, cstr, it, nx, ny);
}

// ndir 0 draws the Z axis upwards, otherwise to the right.
void zaxis(double a, double b, double aorg, double astp, int nl, const char* cstr, int it,
           int ndir, int nx, int ny) {
  Context* ctx = enter(R::zaxis);
  if (ctx) single_axis(*ctx, 2, ndir == 0, false, a, b, aorg, astp, nl, cstr, it, nx, ny);
}

void zaxlg(double a, double b, double aorg, double astp, int nl, const char* cstr, int it,
           int ndir, int nx, int ny) {
  Context* ctx = enter(R::zaxlg);
  if (ctx) single_axis(*ctx, 2, ndir == 0, true, a, b, aorg, astp, nl, cstr, it, nx, ny);
}

// A secondary Y axis of a polar system, ndist plot units left of its circle, running from the
// height of the centre upwards over the radius.
void ypolar(double a, double b, double aorg, double astp, const char* cstr, int ndist) {
  Context* ctx = enter(R::ypolar);
  if (!ctx) return;
  AxisState& as = ctx->axes;
  if (as.kind != kKindPolar) {
    warn_text(*ctx, 109, "Routine works only for polar axis systems");
    return;
  }
  int nl = static_cast<int>(as.polar_r) + 1;
  int x = static_cast<int>(std::floor(as.polar_cx - as.polar_r - ndist + 0.5));
  int y = static_cast<int>(std::floor(as.polar_cy + 0.5));
  single_axis(*ctx, 1, true, false, a, b, aorg, astp, nl, cstr, 0, x, static_cast<int>(flip_y(*ctx, y)));
}

// ------------------------------------------------------------------------------------------
// Additional labels, frames round the axis system, erasing it

void addlab(const char* cstr, double v, int itic, const char* cax) {
  Context* ctx = enter(R::addlab);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "x   +y   +z   ", 3, cax);
  if (!k) return;
  if (ctx->core.level == 3) {
    warn_text(*ctx, 101, "Additional labels for graf3d are not supported");
    return;
  }
  if (k == 3) {
    warn_number(*ctx, kMsgIncorrectLevel, ctx->core.level);
    return;
  }
  int axis = k - 1;
  AxisState& a = ctx->axes;
  AxisGeom g = side_geometry(*ctx, axis);
  const AxisScale& sc = a.sc[axis];
  const AxisParams& p = a.ax[axis];
  double s = (user_to_scale(*ctx, axis, v) - sc.a) * sc.f;
  if (!std::isfinite(s)) return;
  double bx = g.x0 + g.ux * s, by = g.y0 + g.uy * s;
  double tick = 0;
  if (itic != 0) {
    int l = a.ticlen_major;
    double t1 = p.ticpos == 1 ? -l : p.ticpos == 2 ? -l / 2.0 : 0;
    int saved = use_color(*ctx, p.clr_tick);
    line_segment(*ctx, bx + g.ox * t1, by + g.oy * t1, bx + g.ox * (t1 + l), by + g.oy * (t1 + l));
    qqflsh(*ctx);
    restore_color(*ctx, saved);
    tick = p.ticpos == 0 ? l : p.ticpos == 2 ? l / 2.0 : 0;
  }
  int h = text_height(*ctx);
  double w = text_width(*ctx, cstr, -1, 0, h), d = p.labdis + tick;
  double x = axis == 0 ? bx - w / 2 : bx - d - w, y = axis == 0 ? by + d : by - h / 2.0;
  int saved = use_color(*ctx, p.clr_label);
  draw_text_box(*ctx, cstr, -1, 0, x, y, h, 0);
  restore_color(*ctx, saved);
}

// A frame of the frame thickness (at least 1) round the axis area.
void box2d() {
  Context* ctx = enter(R::box2d);
  if (!ctx) return;
  AxisState& a = ctx->axes;
  double x, y, w = a.len[0], h = a.len[1];
  if (a.kind == kKindGraf) {
    x = a.sc[0].start;
    y = a.sc[1].start - a.sc[1].len + 1;
    w = a.sc[0].len;
    h = a.sc[1].len;
  } else {
    x = a.pos_x;
    y = a.pos_y - a.len[1] + 1;
  }
  int saved = use_color(*ctx, a.frame_color);
  draw_frame(*ctx, x, y, w, h, a.frame == 0 ? 1 : a.frame);
  restore_color(*ctx, saved);
}

void axsers() {
  Context* ctx = enter(R::axsers);
  if (!ctx) return;
  const LineState& l = ctx->line;
  double ox = ctx->core.origin_x, oy = ctx->core.origin_y;
  qqfrec(*ctx, l.axis_frame[0] - ox, l.axis_frame[1] - oy, l.axis_frame[2] - ox,
         l.axis_frame[3] - oy, ctx->color.background);
}

// ------------------------------------------------------------------------------------------
// Dates

void basdat(int nday, int nmon, int nyear) {
  Context* ctx = enter(R::basdat);
  if (!ctx) return;
  if (!valid_date(nday, nmon, nyear)) {
    warn_number(*ctx, kMsgIncorrectParameter, !(nmon >= 1 && nmon <= 12) ? nmon : nday);
    return;
  }
  ctx->axes.base_day = days_from_civil(nyear, nmon, nday);
  ctx->axes.base_set = 1;
}

int incdat(int nday, int nmon, int nyear) {
  Context* ctx = enter(R::incdat);
  if (!ctx) return 0;
  if (!ctx->axes.base_set) {
    warn_text(*ctx, 105, "No base date is defined with basdat");
    return 0;
  }
  if (!valid_date(nday, nmon, nyear)) {
    warn_number(*ctx, kMsgIncorrectParameter, !(nmon >= 1 && nmon <= 12) ? nmon : nday);
    return 0;
  }
  long long d = days_from_civil(nyear, nmon, nday) - ctx->axes.base_day;
  return static_cast<int>(std::clamp<long long>(d, INT_MIN, INT_MAX));
}

void trfdat(int ndays, int* nday, int* nmon, int* nyear) {
  Context* ctx = enter(R::trfdat);
  if (!ctx) return;
  if (!ctx->axes.base_set) {
    warn_text(*ctx, 111, "No base date is defined with basdat");
    return;
  }
  civil_from_days(ctx->axes.base_day + ndays, *nyear, *nmon, *nday);
}

int nwkday(int nday, int nmon, int nyear) {
  Context* ctx = enter(R::nwkday);
  if (!ctx) return 0;
  if (!valid_date(nday, nmon, nyear)) {
    warn_number(*ctx, kMsgIncorrectParameter, !(nmon >= 1 && nmon <= 12) ? nmon : nday);
    return 0;
  }
  long long z = days_from_civil(nyear, nmon, nday);
  return static_cast<int>(((z + 3) % 7 + 7) % 7) + 1;
}

}  // namespace tavero
