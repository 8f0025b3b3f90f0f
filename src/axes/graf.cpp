// The 2-D axis systems: graf (rectangular and crossed), polar systems and Smith charts, their
// end, automatic scaling requests, and the public conversions and getters of the scaling.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "axes/axes.h"
#include "axes/axis_convert.h"
#include "axes/axis_text.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "graph3d/g3d.h"
#include "core/strutil.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "tavero_api.h"
#include "text/text.h"

namespace tavero {

namespace {

constexpr double kPi = 3.14159265358979323846;

inline double page_y(const Context& ctx, double y) {
  return ctx.core.page_origin == 1 ? ctx.core.page_h - y : y;
}

inline int round_int(double v) {
  if (!(v > -2e9)) return -2000000000;
  if (!(v < 2e9)) return 2000000000;
  return static_cast<int>(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5));
}

// Lower left corner of the next axis system: axspos, or the centred page position.
void layout_position(Context& ctx, int& x, int& y) {
  AxisState& a = ctx.axes;
  x = a.pos_x;
  y = a.pos_y;
  if (a.center) {
    x = (ctx.core.page_w + 1 - a.len[0]) / 2;
    y = (ctx.core.page_h + 1 - a.len[1]) / 2 + a.len[1] - 1;
  }
}

// Checks one axis in the order of graf; false when the axis system must not be set up.
bool axis_ok(Context& ctx, double a, double e, double org, double step, int len, int pos,
             int page_code) {
  if (check_axis(ctx, a, e, org, step, len)) return false;
  if (pos < 0) warn_code(ctx, page_code);
  return true;
}

void fill_polygon_solid(Context& ctx, const double* x, const double* y, int n, int colour) {
  FillState saved = ctx.fill;
  int saved_colour = use_color(ctx, colour);
  set_fill_pattern(ctx, 16);
  qqfpol(ctx, x, y, n);
  ctx.fill = saved;
  restore_color(ctx, saved_colour);
}

// A circle as a polyline of at least 8 points, about 5 plot units apart.
void circle_line(Context& ctx, double cx, double cy, double r) {
  int n = std::clamp(static_cast<int>(2 * kPi * r / 5), 8, 2000);
  qqstrt(ctx, cx + r, cy);
  for (int i = 1; i <= n; ++i) {
    double t = 2 * kPi * i / n;
    qqconn(ctx, cx + r * std::cos(t), cy - r * std::sin(t));
  }
}

void circle_frame(Context& ctx, double cx, double cy, double r, int n) {
  if (n == 0) return;
  int saved = use_color(ctx, ctx.axes.frame_color);
  int count = n > 0 ? n : -n;
  for (int i = 0; i < count; ++i) circle_line(ctx, cx, cy, r + (n > 0 ? i : -i));
  qqflsh(ctx);
  restore_color(ctx, saved);
}

// The area of a polar system or Smith chart: centred in the axis rectangle.
void round_area(Context& ctx, int x, int y, double& cx, double& cy, double& r) {
  const AxisState& a = ctx.axes;
  cx = x + (a.len[0] - 1) / 2.0;
  cy = y - (a.len[1] - 1) / 2.0;
  r = (std::min(a.len[0], a.len[1]) - 1) / 2.0;
}

// A label box centred beyond a point on a circle, in direction t (radians, page angle).
void label_beyond(Context& ctx, const LabelText& txt, double px, double py, double t, int h) {
  double w = text_width(ctx, txt.s, txt.form, txt.lang, h);
  double bx = px + std::cos(t) * w / 2 - w / 2, by = py - std::sin(t) * h / 2 - h / 2.0;
  draw_text_box(ctx, txt.s, txt.form, txt.lang, bx, by, h, 0);
}

void draw_rect_system(Context& ctx) {
  AxisState& a = ctx.axes;
  const AxisScale& sx = a.sc[0];
  const AxisScale& sy = a.sc[1];
  double x1 = sx.start, y2 = sy.start, y1 = sy.start - sy.len + 1;
  if (a.background != -1 && !a.nofill) qqfrec(ctx, x1, y1, x1 + sx.len - 1, y2, a.background);
  if (a.crossed) {
    AxisGeom gx = side_geometry(ctx, 0), gy = side_geometry(ctx, 1);
    gx.y0 = a.cross_y;
    gy.x0 = a.cross_x;
    gx.skip_zero = gy.skip_zero = true;
    draw_axis(ctx, gx);
    draw_axis(ctx, gy);
  } else {
    for (int side = 0; side < 4; ++side) draw_axis(ctx, side_geometry(ctx, side));
  }
  if (a.frame != 0) {
    int saved = use_color(ctx, a.frame_color);
    draw_frame(ctx, x1, y1, sx.len, sy.len, a.frame);
    restore_color(ctx, saved);
  }
}

}  // namespace

// ------------------------------------------------------------------------------------------
// graf

// A map axis system drawn before leaves its clipping rules in the device state.
static void clear_map_clipping(Context& ctx) {
  ctx.dev.map_projection = 0;
  ctx.dev.map_circle = 0;
}

void graf(double xa, double xe, double xorg, double xstp, double ya, double ye, double yorg,
          double ystp) {
  Context* ctx = enter(R::graf);
  if (!ctx) return;
  clear_map_clipping(*ctx);
  AxisState& a = ctx->axes;
  double v[2][4] = {{xa, xe, xorg, xstp}, {ya, ye, yorg, ystp}};
  bool from_data[2] = {false, false};
  int months[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    if (!a.ax[i].auto_on) continue;
    AutoScale s;
    auto_scale(*ctx, i, a.ax[i].dmin, a.ax[i].dmax, a.len[i], s);
    v[i][0] = s.a;
    v[i][1] = s.e;
    v[i][2] = s.org;
    v[i][3] = s.step;
    a.ax[i].digits = s.ndig;
    months[i] = s.months;
    from_data[i] = true;
  }
  int px, py;
  layout_position(*ctx, px, py);
  if (!axis_ok(*ctx, v[0][0], v[0][1], v[0][2], v[0][3], a.len[0], px + ctx->core.origin_x, 4) ||
      !axis_ok(*ctx, v[1][0], v[1][1], v[1][2], v[1][3], a.len[1], py + ctx->core.origin_y, 5))
    return;
  const bool crossed = a.form == 1;
  if (crossed && (a.ax[0].log || a.ax[1].log)) {
    warn_text(*ctx, 150, "Crossed axis systems must have linear scaling");
    return;
  }
  if (crossed) {
    const double eps = ctx->core.tolerance;
    auto has_zero = [eps](const double* s) {
      return std::fmin(s[0], s[1]) <= eps && std::fmax(s[0], s[1]) >= -eps;
    };
    if (!has_zero(v[0]) || !has_zero(v[1])) {
      warn_text(*ctx, 151, "No origin found for crossed axis system");
      return;
    }
    if (a.pos_is_origin) {
      int lx = a.len[0], ly = a.len[1];
      px = a.org_x + static_cast<int>((lx - 1) * v[0][0] / (v[0][1] - v[0][0]));
      py = a.org_y + static_cast<int>(ly - (ly - 1) * v[1][1] / (v[1][1] - v[1][0])) - 1;
    }
  }
  for (int i = 0; i < 2; ++i) {
    store_scale(*ctx, i, v[i][0], v[i][1], v[i][2], v[i][3], a.len[i], i == 0 ? px : py,
                from_data[i], a.ax[i].dmin, a.ax[i].dmax);
    a.sc[i].months = a.ax[i].label == kLabDate ? months[i] : 0;
  }
  a.kind = kKindGraf;
  a.convert = nullptr;
  a.invert = nullptr;
  a.crossed = crossed;
  if (crossed) {
    a.cross_x = std::floor(scale_to_plot(*ctx, 0, 0.0) + 0.5);
    a.cross_y = std::floor(scale_to_plot(*ctx, 1, 0.0) + 0.5);
  }
  ctx->core.level = 2;
  const AxisScale& sx = a.sc[0];
  const AxisScale& sy = a.sc[1];
  double r = std::min(sx.len, sy.len) / 2.0;
  set_axis_clip(*ctx, sx.start, sy.start - sy.len + 1, sx.start + sx.len - 1, sy.start,
                sx.start + (sx.len - 1) / 2.0, sy.start - (sy.len - 1) / 2.0, r, false);
  if (a.nograf) return;
  draw_rect_system(*ctx);
}

void endgrf() {
  Context* ctx = enter(R::endgrf);
  if (!ctx) return;
  qqflsh(*ctx);
  LineState& l = ctx->line;
  if (l.axis_clip_on) {
    l.clip_source = 0;
    axis_clip_off(*ctx);
  }
  if (l.clip_source == 2) l.clip_source = 0;
  l.axis_polar = 0;
  graph3d_end_system(*ctx);
  AxisState& a = ctx->axes;
  a.kind = kKindNone;
  a.convert = nullptr;
  a.invert = nullptr;
  clear_map_clipping(*ctx);
  ctx->maps.sys.active = 0;
  ctx->core.level = 1;
}

// ------------------------------------------------------------------------------------------
// Polar systems: user x is the radius, user y the angle in radians.

namespace {

void open_polar(Context& ctx, double xe, double xorg, double xstp, double yorg, double ystp) {
  AxisState& a = ctx.axes;
  if (a.ax[0].log || a.ax[1].log) {
    warn_text(ctx, 132, "Polar axis systems must have linear scaling");
    return;
  }
  int px, py;
  layout_position(ctx, px, py);
  if (!axis_ok(ctx, 0, xe, xorg, xstp, a.len[0], px + ctx.core.origin_x, 4)) return;
  if (!(std::fabs(ystp) >= ctx.core.tolerance) || !std::isfinite(ystp)) {
    warn_code(ctx, 9);
    return;
  }
  if (a.len[1] < 2) {
    warn_code(ctx, 11);
    return;
  }
  if (py + ctx.core.origin_y < 0) warn_code(ctx, 5);
  double cx, cy, r;
  round_area(ctx, px, py, cx, cy, r);
  store_scale(ctx, 0, 0, xe, xorg, xstp, static_cast<int>(r) + 1, cx, false, 0, 0);
  a.sc[0].f = r / xe;
  store_scale(ctx, 1, 0, 360, yorg, ystp, a.len[1], py, false, 0, 0);
  a.kind = kKindPolar;
  a.convert = nullptr;
  a.invert = nullptr;
  a.crossed = 0;
  a.polar_cx = cx;
  a.polar_cy = cy;
  a.polar_r = r;
  a.polar_f = r / xe;
  a.polar_a0 = a.polmod_pos * kPi / 2;
  a.polar_dir = a.polmod_dir == 1 ? -1 : 1;
  ctx.core.level = 2;
  set_axis_clip(ctx, cx - r, cy - r, cx + r, cy + r, cx, cy,
                std::min(a.len[0], a.len[1]) / 2.0, true);
  if (a.nograf) return;
  if (a.background != -1 && !a.nofill) {
    double x[360], y[360];
    for (int i = 0; i < 360; ++i) {
      x[i] = cx + r * std::cos(i * kPi / 180);
      y[i] = cy - r * std::sin(i * kPi / 180);
    }
    fill_polygon_solid(ctx, x, y, 360, a.background);
  }
  // the radius axis runs from the centre to the right
  AxisGeom g;
  g.axis = 0;
  g.sc = &a.sc[0];
  g.x0 = cx;
  g.y0 = cy;
  g.level = a.setgrf[0];
  g.ndig = a.ax[0].digits;
  draw_axis(ctx, g);
  circle_frame(ctx, cx, cy, r, a.frame);
  // angle ticks and labels round the circle
  const AxisParams& p = a.ax[1];
  int level = a.setgrf[1];
  double n = std::floor(360.0 / std::fabs(ystp) - 1e-9);
  if (level < 2 || !(n >= 0 && n < 3600)) return;
  int h = text_height(ctx);
  int maj = a.ticlen_major;
  for (int k = 0; k <= static_cast<int>(n); ++k) {
    double deg = yorg + k * ystp;
    double t = a.polar_a0 + a.polar_dir * deg * kPi / 180;
    double c = std::cos(t), s = std::sin(t);
    double t1 = p.ticpos == 1 ? -maj : p.ticpos == 2 ? -maj / 2.0 : 0, t2 = t1 + maj;
    int saved = use_color(ctx, p.clr_tick);
    qqstrt(ctx, cx + (r + t1) * c, cy - (r + t1) * s);
    qqconn(ctx, cx + (r + t2) * c, cy - (r + t2) * s);
    restore_color(ctx, saved);
    if (level < 3 || p.label == kLabNone) continue;
    LabelText txt;
    AxisScale deg_scale = a.sc[1];
    deg_scale.log = 0;
    label_text(ctx, 1, deg_scale, deg, k, p.digits, txt);
    bool inside = p.labpos_polar == 1;
    double d = inside ? -(p.labdis + (p.ticpos == 1 ? maj : 0)) : p.labdis + (p.ticpos == 0 ? maj : 0);
    saved = use_color(ctx, p.clr_label);
    label_beyond(ctx, txt, cx + (r + d) * c, cy - (r + d) * s, inside ? t + kPi : t, h);
    restore_color(ctx, saved);
  }
}

}  // namespace

void polar(double xe, double xorg, double xstp, double yorg, double ystp) {
  Context* ctx = enter(R::polar);
  if (ctx) open_polar(*ctx, xe, xorg, xstp, yorg, ystp);
}

void grafp(double xe, double xorg, double xstp, double yorg, double ystp) {
  Context* ctx = enter(R::grafp);
  if (ctx) open_polar(*ctx, xe, xorg, xstp, yorg, ystp);
}

// ------------------------------------------------------------------------------------------
// Smith charts: user points are complex impedances (admittances with axstyp "ADMI").

namespace {

// A line of constant real part (re >= 0) or constant imaginary part through the chart.
void smith_line(Context& ctx, bool real_const, double c, double from, double to, int n) {
  double xp, yp;
  for (int i = 0; i < n; ++i) {
    double t = from + (to - from) * i / (n - 1);
    if (real_const) user_to_plot(ctx, c, t, xp, yp);
    else user_to_plot(ctx, t, c, xp, yp);
    if (i == 0) qqstrt(ctx, xp, yp);
    else qqconn(ctx, xp, yp);
  }
}

// The same over an infinite parameter range, sampled evenly in angle.
void smith_full_line(Context& ctx, bool real_const, double c, double phi1, double phi2) {
  const int n = 240;
  double xp, yp;
  for (int i = 0; i <= n; ++i) {
    double t = std::tan(phi1 + (phi2 - phi1) * i / n);
    if (real_const) user_to_plot(ctx, c, t, xp, yp);
    else user_to_plot(ctx, t, c, xp, yp);
    if (i == 0) qqstrt(ctx, xp, yp);
    else qqconn(ctx, xp, yp);
  }
}

}  // namespace

void grafr(const double* zre, int nre, const double* zimg, int nim) {
  Context* ctx = enter(R::grafr);
  if (!ctx) return;
  clear_map_clipping(*ctx);
  AxisState& a = ctx->axes;
  if (a.ax[0].log || a.ax[1].log) {
    warn_text(*ctx, 132, "Axis systems must have linear scaling");
    return;
  }
  if (a.len[0] < 2 || a.len[1] < 2) {
    warn_code(*ctx, 11);
    return;
  }
  int px, py;
  layout_position(*ctx, px, py);
  if (px + ctx->core.origin_x < 0) warn_code(*ctx, 4);
  if (py + ctx->core.origin_y < 0) warn_code(*ctx, 5);
  double cx, cy, r;
  round_area(*ctx, px, py, cx, cy, r);
  store_scale(*ctx, 0, -1, 1, -1, 1, static_cast<int>(2 * r) + 1, cx - r, false, 0, 0);
  store_scale(*ctx, 1, -1, 1, -1, 1, static_cast<int>(2 * r) + 1, cy + r, false, 0, 0);
  a.kind = kKindSmith;
  a.convert = nullptr;
  a.invert = nullptr;
  a.crossed = 0;
  a.smith_admittance = a.form == 1;
  a.polar_cx = cx;
  a.polar_cy = cy;
  a.polar_r = r;
  a.polar_f = r;
  ctx->core.level = 2;
  set_axis_clip(*ctx, cx - r, cy - r, cx + r, cy + r, cx, cy,
                std::min(a.len[0], a.len[1]) / 2.0, true);
  if (a.nograf) return;
  int saved = use_color(*ctx, a.ax[0].clr_line);
  axis_clip_on(*ctx);
  qqstrt(*ctx, cx - r, cy);
  qqconn(*ctx, cx + r, cy);
  for (int i = 0; i < nre; ++i)
    if (zre[i] > 0 && std::isfinite(zre[i])) smith_full_line(*ctx, true, zre[i], -kPi / 2 + 1e-3, kPi / 2 - 1e-3);
  for (int i = 0; i < nim; ++i) {
    if (!(zimg[i] != 0) || !std::isfinite(zimg[i])) continue;
    smith_full_line(*ctx, false, zimg[i], 0, kPi / 2 - 1e-3);
    smith_full_line(*ctx, false, -zimg[i], 0, kPi / 2 - 1e-3);
  }
  axis_clip_off(*ctx);
  restore_color(*ctx, saved);
  circle_frame(*ctx, cx, cy, r, a.frame == 0 ? 1 : a.frame);
  if (a.setgrf[0] < 3) return;
  int h = text_height(*ctx);
  saved = use_color(*ctx, a.ax[0].clr_label);
  AxisScale plain = a.sc[0];
  plain.log = 0;
  for (int i = 0; i < nre; ++i) {
    if (!(zre[i] >= 0) || !std::isfinite(zre[i])) continue;
    double xp, yp;
    user_to_plot(*ctx, zre[i], 0, xp, yp);
    LabelText t;
    label_text(*ctx, 0, plain, zre[i], -1, a.ax[0].digits, t);
    double w = text_width(*ctx, t.s, t.form, 0, h);
    draw_text_box(*ctx, t.s, t.form, t.lang, xp - w / 2, yp - h - 6, h, 0);
  }
  for (int i = 0; i < nim; ++i) {
    if (!(zimg[i] != 0) || !std::isfinite(zimg[i])) continue;
    for (int sgn = -1; sgn <= 1; sgn += 2) {
      double xp, yp;
      user_to_plot(*ctx, 0, sgn * zimg[i], xp, yp);
      double t = std::atan2(cy - yp, xp - cx);
      LabelText txt;
      label_text(*ctx, 1, plain, sgn * zimg[i], -1, a.ax[1].digits, txt);
      double d = a.ax[1].labdis;
      label_beyond(*ctx, txt, cx + (r + d) * std::cos(t), cy - (r + d) * std::sin(t), t, h);
    }
  }
  restore_color(*ctx, saved);
}

void gridre(double zre, double zimg1, double zimg2, int n) {
  Context* ctx = enter(R::gridre);
  if (!ctx) return;
  if (ctx->axes.kind != kKindSmith) {
    warn_text(*ctx, 35, "No call to GRAFR before");
    return;
  }
  if (check_range(*ctx, n, 2, -1)) return;
  axis_clip_on(*ctx);
  smith_line(*ctx, true, zre, zimg1, zimg2, n);
  axis_clip_off(*ctx);
}

void gridim(double zimg, double zre1, double zre2, int n) {
  Context* ctx = enter(R::gridim);
  if (!ctx) return;
  if (ctx->axes.kind != kKindSmith) {
    warn_text(*ctx, 35, "No call to GRAFR before");
    return;
  }
  if (check_range(*ctx, n, 2, -1)) return;
  axis_clip_on(*ctx);
  smith_line(*ctx, false, zimg, zre1, zre2, n);
  axis_clip_off(*ctx);
}

// ------------------------------------------------------------------------------------------
// Automatic scaling requests

void setscl(const double* xray, int n, const char* cax) {
  Context* ctx = enter(R::setscl);
  if (!ctx) return;
  char key[4] = {0, 0, 0, 0};
  for (int i = 0; i < 3 && cax && cax[i]; ++i) key[i] = cax[i];
  to_upper(key);
  AxisState& a = ctx->axes;
  if (std::strncmp(key, "RES", 3) == 0) {
    for (AxisParams& p : a.ax) p.auto_on = 0;
    return;
  }
  if (std::strcmp(key + 1, "RE") == 0 && (key[0] == 'X' || key[0] == 'Y' || key[0] == 'Z')) {
    a.ax[key[0] - 'X'].auto_on = 0;
    return;
  }
  double lo = 0, hi = 0;
  bool any = false;
  for (int i = 0; i < n; ++i) {
    double v = xray[i];
    if (!std::isfinite(v)) continue;
    if (!any) lo = hi = v, any = true;
    else if (v < lo) lo = v;
    else if (v > hi) hi = v;
  }
  if (!any) {
    warn_number(*ctx, kMsgIncorrectParameter, n);
    return;
  }
  if (hi - lo < 1e-35) {
    warn_code(*ctx, 25);
    lo -= 1;
    hi += 1;
  }
  for (int i = 0; i < 3; ++i) {
    if (!names_axis(key, static_cast<char>('X' + i))) continue;
    a.ax[i].auto_on = 1;
    a.ax[i].dmin = lo;
    a.ax[i].dmax = hi;
  }
}

void gaxpar(double av, double bv, const char* copt, const char* cax, double* ra, double* re,
            double* rorg, double* rstp, int* ndig) {
  Context* ctx = enter(R::gaxpar);
  if (!ctx) return;
  int ext = lookup_keyword(*ctx, "NOEX+EXTE", 2, copt);
  int axis = lookup_keyword(*ctx, "X   +Y   +Z   ", 3, cax);
  if (!ext || !axis) return;
  --axis;
  double lo = std::fmin(av, bv), hi = std::fmax(av, bv);
  if (!std::isfinite(lo) || !std::isfinite(hi)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  if (hi - lo < 1e-35) {
    warn_code(*ctx, 25);
    lo -= 1;
    hi += 1;
  }
  AutoScale s;
  auto_scale(*ctx, axis, lo, hi, ctx->axes.len[axis], s);
  // relative to the step, so that rounding of the sums does not add a step
  const double eps = std::fmax(ctx->core.tolerance, 1e-9 * std::fabs(s.step));
  if (ext == 2 && s.months == 0) {
    if (s.org - s.a > eps) {
      s.a = s.org - s.step;
      s.org = s.a;
    }
    double v = s.org;
    for (int i = 1; i <= 100 && s.e - v > eps; ++i) v = s.org + i * s.step;
    s.e = v;
  }
  if (bv < av) {
    double nlab = std::floor((s.e - s.org) / s.step + 0.0001);
    if (nlab >= 0) s.org += nlab * s.step;
    std::swap(s.a, s.e);
    s.step = -s.step;
  }
  *ra = s.a;
  *re = s.e;
  *rorg = s.org;
  *rstp = s.step;
  *ndig = s.ndig;
}

// ------------------------------------------------------------------------------------------
// Conversions

namespace {

bool refuse_polar(Context& ctx) {
  if (ctx.axes.kind != kKindPolar && ctx.axes.kind != kKindSmith) return false;
  warn_text(ctx, 109, "Routine does not work for polar axis systems");
  return true;
}

}  // namespace

double xposn(double x) {
  Context* ctx = enter(R::xposn);
  if (!ctx || refuse_polar(*ctx)) return 0;
  double xp, yp;
  user_to_plot(*ctx, x, ctx->axes.sc[1].ulo, xp, yp);
  return xp;
}

double yposn(double y) {
  Context* ctx = enter(R::yposn);
  if (!ctx || refuse_polar(*ctx)) return 0;
  double xp, yp;
  user_to_plot(*ctx, ctx->axes.sc[0].ulo, y, xp, yp);
  return page_y(*ctx, yp);
}

// The colour that the colour bar of a 3-D or colour-matrix system gives a z value.
int nzposn(double z) {
  Context* ctx = enter(R::nzposn);
  if (!ctx) return 0;
  return system_value_color(*ctx, z);
}

int nxposn(double x) {
  Context* ctx = enter(R::nxposn);
  if (!ctx) return 0;
  double xp, yp;
  user_to_plot(*ctx, x, ctx->axes.sc[1].ulo, xp, yp);
  return round_int(xp);
}

int nyposn(double y) {
  Context* ctx = enter(R::nyposn);
  if (!ctx || refuse_polar(*ctx)) return 0;
  double xp, yp;
  user_to_plot(*ctx, ctx->axes.sc[0].ulo, y, xp, yp);
  return round_int(page_y(*ctx, yp));
}

double x2dpos(double x, double y) {
  Context* ctx = enter(R::x2dpos);
  if (!ctx) return 0;
  double xp, yp;
  user_to_plot(*ctx, x, y, xp, yp);
  return xp;
}

double y2dpos(double x, double y) {
  Context* ctx = enter(R::y2dpos);
  if (!ctx) return 0;
  double xp, yp;
  user_to_plot(*ctx, x, y, xp, yp);
  return page_y(*ctx, yp);
}

void pos2pt(double x, double y, double* xp, double* yp) {
  Context* ctx = enter(R::pos2pt);
  if (!ctx) return;
  user_to_plot(*ctx, x, y, *xp, *yp);
  *yp = page_y(*ctx, *yp);
}

void pt2pos(double x, double y, double* xp, double* yp) {
  Context* ctx = enter(R::pt2pos);
  if (!ctx) return;
  plot_to_user(*ctx, x, page_y(*ctx, y), *xp, *yp);
}

// getico: user -> plot coordinates, getrco: plot -> user coordinates, as doubles in the 2-D
// system in force (y by the page-origin rule); without one the point comes back unchanged.
namespace {

bool plane_system(Context& ctx, double x, double y, double* xp, double* yp) {
  *xp = x;
  *yp = y;
  const int k = ctx.axes.kind;
  if (k == kKindNone || k == kKind3d) {
    warn_number(ctx, kMsgIncorrectLevel, ctx.core.level);
    return false;
  }
  if (!std::isfinite(x) || !std::isfinite(y)) {
    warn_code(ctx, kMsgIncorrectParameter);
    return false;
  }
  return true;
}

}  // namespace

void getico(double x, double y, double* xp, double* yp) {
  Context* ctx = enter(R::getico);
  if (!ctx || !plane_system(*ctx, x, y, xp, yp)) return;
  user_to_plot(*ctx, x, y, *xp, *yp);
  *yp = page_y(*ctx, *yp);
}

void getrco(double x, double y, double* xp, double* yp) {
  Context* ctx = enter(R::getrco);
  if (!ctx || !plane_system(*ctx, x, y, xp, yp)) return;
  plot_to_user(*ctx, x, page_y(*ctx, y), *xp, *yp);
}

double xinvrs(int nxp) {
  Context* ctx = enter(R::xinvrs);
  if (!ctx) return 0;
  double xu, yu;
  plot_to_user(*ctx, nxp, ctx->axes.sc[1].start, xu, yu);
  return xu;
}

double yinvrs(int nyp) {
  Context* ctx = enter(R::yinvrs);
  if (!ctx) return 0;
  double xu, yu;
  plot_to_user(*ctx, ctx->axes.sc[0].start, page_y(*ctx, nyp), xu, yu);
  return yu;
}

// ------------------------------------------------------------------------------------------
// Getters of the scaling and the layout

void getgrf(double* xa, double* xe, double* xorg, double* xstp, const char* cax) {
  Context* ctx = enter(R::getgrf);
  if (!ctx) return;
  int axis = lookup_keyword(*ctx, "X   +Y   +Z   ", 3, cax);
  if (!axis) return;
  if (axis == 3 && ctx->core.level != 3) {
    warn_number(*ctx, kMsgIncorrectLevel, ctx->core.level);
    return;
  }
  const AxisScale& s = ctx->axes.sc[axis - 1];
  *xa = s.a;
  *xe = s.e;
  *xorg = s.org;
  *xstp = s.step;
}

void getlen(int* nxl, int* nyl, int* nzl) {
  Context* ctx = enter(R::getlen);
  if (!ctx) return;
  *nxl = ctx->axes.len[0];
  *nyl = ctx->axes.len[1];
  *nzl = ctx->axes.len[2];
}

void getpos(int* nxa, int* nya) {
  Context* ctx = enter(R::getpos);
  if (!ctx) return;
  *nxa = ctx->axes.pos_x;
  *nya = static_cast<int>(page_y(*ctx, ctx->axes.pos_y));
}

void getscl(int* nxlog, int* nylog, int* nzlog) {
  Context* ctx = enter(R::getscl);
  if (!ctx) return;
  *nxlog = ctx->axes.ax[0].log;
  *nylog = ctx->axes.ax[1].log;
  *nzlog = ctx->axes.ax[2].log;
}

void getscm(int* nx, int* ny, int* nz) {
  Context* ctx = enter(R::getscm);
  if (!ctx) return;
  *nx = ctx->axes.ax[0].auto_on;
  *ny = ctx->axes.ax[1].auto_on;
  *nz = ctx->axes.ax[2].auto_on;
}

}  // namespace tavero
