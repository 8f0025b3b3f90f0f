// Line styles, widths, caps and joins, single lines and clipping windows.
#include <cmath>
#include <cstring>

#include "axes/axis_convert.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "core/subsystems.h"
#include "draw/colors.h"
#include "draw/pipeline.h"
#include "drivers/driver.h"
#include "tavero_api.h"

namespace tavero {

namespace {

// The eight predefined line types, lengths in plot units at unit factor 1.
const int kLineTypes[8][5] = {
    {1, 1}, {2, 1, 10}, {2, 10, 10}, {4, 30, 15, 10, 15},
    {4, 1, 15, 15, 15}, {2, 20, 15}, {2, 1, 20}, {2, 30, 20},
};

void store_pattern(Context& ctx, const int* ray, int n) {
  LineState& l = ctx.line;
  qqflsh(ctx);
  for (int i = 0; i < n; ++i) l.dash[i] = ray[i];
  l.ndash = n;
  l.dash_state = 0;
  l.dash_index = 1;
  l.dash_color_index = 1;
  l.dash_remaining = l.dash[0];
}

void set_line_type(Context& ctx, int n) {
  int ray[4];
  int cnt = kLineTypes[n][0];
  for (int i = 0; i < cnt; ++i) {
    int v = static_cast<int>(kLineTypes[n][i + 1] / ctx.core.unit_factor + 0.5);
    ray[i] = v == 0 ? 1 : v;
  }
  ctx.line.line_type = n;
  store_pattern(ctx, ray, cnt);
}

void apply_width(Context& ctx, int w, double fraction) {
  qqflsh(ctx);
  LineState& l = ctx.line;
  l.pen_width = w;
  if (ctx.driver) {
    ctx.driver->end_path();
    if (ctx.driver->set_line_width(w, fraction)) l.pen_width = -w;
    if (l.join == 0) ctx.driver->set_miter_limit(l.miter);
  }
}

// Devices whose line width follows cap and join (screen, raster, WMF, EMF) get the width again.
inline bool width_follows_cap(const Context& ctx) {
  int d = ctx.core.device;
  return d < 101 || d == 221 || d == 231 || (d >= 601 && d <= 700);
}

inline double flip_y(const Context& ctx, double y) {
  return ctx.core.page_origin == 1 ? ctx.core.page_h - y : y;
}

}  // namespace

// --- line types

void solid() { if (Context* c = enter(R::solid)) set_line_type(*c, 0); }
void dot() { if (Context* c = enter(R::dot)) set_line_type(*c, 1); }
void dash() { if (Context* c = enter(R::dash)) set_line_type(*c, 2); }
void chndsh() { if (Context* c = enter(R::chndsh)) set_line_type(*c, 3); }
void chndot() { if (Context* c = enter(R::chndot)) set_line_type(*c, 4); }
void dashm() { if (Context* c = enter(R::dashm)) set_line_type(*c, 5); }
void dotl() { if (Context* c = enter(R::dotl)) set_line_type(*c, 6); }
void dashl() { if (Context* c = enter(R::dashl)) set_line_type(*c, 7); }

void lintyp(int ntyp) {
  Context* ctx = enter(R::lintyp);
  if (!ctx || check_range(*ctx, ntyp, 0, 7)) return;
  set_line_type(*ctx, ntyp);
}

void myline(const int* nray, int n) {
  Context* ctx = enter(R::myline);
  if (!ctx || check_range(*ctx, n, 1, 10)) return;
  for (int i = 0; i < n; ++i)
    if (check_range(*ctx, nray[i], 1, -1)) return;
  store_pattern(*ctx, nray, n);
}

void linclr(const int* nray, int n) {
  Context* ctx = enter(R::linclr);
  if (!ctx || check_range(*ctx, n, 0, 10)) return;
  for (int i = 0; i < n; ++i)
    if (check_range(*ctx, nray[i], 0, -1)) return;
  LineState& l = ctx->line;
  for (int i = 0; i < n; ++i) l.dash_colors[i] = nray[i];
  l.ndash_colors = n;
  l.dash_color_index = 1;
}

// --- widths, caps, joins

void linwid(int nwidth) {
  Context* ctx = enter(R::linwid);
  if (!ctx || check_range(*ctx, nwidth, 1, 32000)) return;
  apply_width(*ctx, nwidth, nwidth);
}

void penwid(double xwidth) {
  Context* ctx = enter(R::penwid);
  if (!ctx) return;
  if (!(xwidth > 0 && xwidth <= 32000)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  int w = static_cast<int>(std::floor(xwidth + 0.5));
  if (w == 0) w = 1;
  apply_width(*ctx, w, xwidth);
}

void lncap(const char* copt) {
  Context* ctx = enter(R::lncap);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "CUT +ROUN+LONG", 3, copt);
  if (!k) return;
  qqflsh(*ctx);
  ctx->line.cap = k - 1;
  if (ctx->driver) {
    ctx->driver->end_path();
    ctx->driver->set_line_cap(k - 1);
  }
  if (ctx->line.pen_width < 0 && width_follows_cap(*ctx))
    apply_width(*ctx, -ctx->line.pen_width, -ctx->line.pen_width);
}

void lnjoin(const char* copt) {
  Context* ctx = enter(R::lnjoin);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "SHAR+ROUN+TRUN", 3, copt);
  if (!k) return;
  qqflsh(*ctx);
  ctx->line.join = k - 1;
  if (ctx->driver) {
    ctx->driver->end_path();
    ctx->driver->set_line_join(k - 1);
    if (k == 1) ctx->driver->set_miter_limit(ctx->line.miter);
  }
  if (ctx->line.pen_width < 0 && width_follows_cap(*ctx))
    apply_width(*ctx, -ctx->line.pen_width, -ctx->line.pen_width);
}

void lnmlt(double xfac) {
  Context* ctx = enter(R::lnmlt);
  if (!ctx) return;
  if (!(xfac >= 1.0)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  qqflsh(*ctx);
  ctx->line.miter = xfac;
  if (ctx->driver) {
    ctx->driver->end_path();
    ctx->driver->set_miter_limit(xfac);
  }
}

void hwmode(const char* copt, const char* ckey) {
  Context* ctx = enter(R::hwmode);
  if (!ctx) return;
  int on = lookup_keyword(*ctx, "OFF +ON  ", 2, copt);
  int item = lookup_keyword(*ctx, "LINE+SHAD", 2, ckey);
  if (!on || !item) return;
  if (item == 2) {
    ctx->fill.hw_shade = static_cast<uint8_t>(on - 1);
    return;
  }
  ctx->line.hw_line = static_cast<uint8_t>(on - 1);
  if (ctx->core.level >= 1 && ctx->line.pen_width < 0)
    apply_width(*ctx, -ctx->line.pen_width, -ctx->line.pen_width);
}

// Smoothing of thin lines on true-colour raster output; the item is "SMOOTH".
void linmod(const char* copt, const char* ckey) {
  Context* ctx = enter(R::linmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "OFF +ON  ", 2, copt);
  if (!k) return;
  if (!match_keyword("SMOO", 1, ckey)) {
    warn_string(*ctx, kMsgIncorrectParameter, ckey ? ckey : "");
    return;
  }
  qqflsh(*ctx);
  ctx->drv.line_smooth = k - 1;
}

void bufmod(const char* copt, const char* ckey) {
  Context* ctx = enter(R::bufmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "OFF +ON  ", 2, copt);
  if (!k) return;
  if (!match_keyword("SEND", 1, ckey)) {
    warn_string(*ctx, kMsgIncorrectParameter, ckey ? ckey : "");
    return;
  }
  ctx->dev.buffer_output = k - 1;
}

// --- lines

void line(int nx1, int ny1, int nx2, int ny2) {
  Context* ctx = enter(R::line);
  if (!ctx) return;
  int saved = ctx->color.current;
  qqstrt(*ctx, nx1, flip_y(*ctx, ny1));
  qqconn(*ctx, nx2, flip_y(*ctx, ny2));
  if (ctx->line.ndash_colors > 0 && ctx->color.current != saved) qqsclr(*ctx, saved);
}

void strtpt(double x, double y) {
  Context* ctx = enter(R::strtpt);
  if (ctx) qqstrt(*ctx, x, flip_y(*ctx, y));
}

void connpt(double x, double y) {
  Context* ctx = enter(R::connpt);
  if (ctx) qqconn(*ctx, x, flip_y(*ctx, y));
}

void xmove(double x, double y) {
  Context* ctx = enter(R::xmove);
  if (ctx) buffer_move(*ctx, x, y);
}

void xdraw(double x, double y) {
  Context* ctx = enter(R::xdraw);
  if (ctx) buffer_draw(*ctx, x, y);
}

void rline(double xa, double ya, double xb, double yb) {
  Context* ctx = enter(R::rline);
  if (!ctx) return;
  check_scaling(*ctx, xa, ya);
  check_scaling(*ctx, xb, yb);
  double x1, y1, x2, y2;
  user_to_plot(*ctx, xa, ya, x1, y1);
  user_to_plot(*ctx, xb, yb, x2, y2);
  int saved = ctx->color.current;
  axis_clip_on(*ctx);
  qqstrt(*ctx, x1, y1);
  qqconn(*ctx, x2, y2);
  axis_clip_off(*ctx);
  if (ctx->line.ndash_colors > 0 && ctx->color.current != saved) qqsclr(*ctx, saved);
}

void rlstrt(double x, double y) {
  Context* ctx = enter(R::rlstrt);
  if (!ctx) return;
  check_scaling(*ctx, x, y);
  double xp, yp;
  user_to_plot(*ctx, x, y, xp, yp);
  qqstrt(*ctx, xp, yp);
}

void rlconn(double x, double y) {
  Context* ctx = enter(R::rlconn);
  if (!ctx) return;
  check_scaling(*ctx, x, y);
  double xp, yp;
  user_to_plot(*ctx, x, y, xp, yp);
  qqconn(*ctx, xp, yp);
}

// --- clipping

void clpwin(int nx, int ny, int nw, int nh) {
  Context* ctx = enter(R::clpwin);
  if (!ctx) return;
  if (ctx->core.page_origin == 1) ny = ctx->core.page_h - ny;
  if (nx < 0 || ny < 0) warn_number(*ctx, kMsgIncorrectParameter, nx < ny ? nx : ny);
  else if (nw <= 0 || nh <= 0) {
    warn_number(*ctx, kMsgIncorrectParameter, nw < nh ? nw : nh);
    return;
  }
  if (nw <= 0 || nh <= 0) return;
  int x1 = nx + ctx->core.origin_x, y1 = ny + ctx->core.origin_y;
  int x2 = x1 + nw - 1, y2 = y1 + nh - 1;
  if (x2 > ctx->core.page_w || y2 > ctx->core.page_h) {
    warn_number(*ctx, kMsgIncorrectParameter, x2 > ctx->core.page_w ? nw : nh);
    return;
  }
  qqflsh(*ctx);
  LineState& l = ctx->line;
  l.clip[0] = x1;
  l.clip[1] = y1;
  l.clip[2] = x2;
  l.clip[3] = y2;
  l.clip_source = 1;
  update_device_clip(*ctx, true);
}

void clpbor(const char* copt) {
  Context* ctx = enter(R::clpbor);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "PAGE+AXIS", 2, copt);
  if (!k) return;
  LineState& l = ctx->line;
  qqflsh(*ctx);
  if (k == 1) {
    l.axis_clip_on = 0;
    l.circle_clip = 0;
    l.clip[0] = l.clip[1] = 0;
    l.clip[2] = ctx->core.page_w;
    l.clip[3] = ctx->core.page_h;
    l.clip_source = 0;
    update_device_clip(*ctx, false);
  } else {
    l.clip_source = 0;
    axis_clip_on(*ctx);
    l.clip_source = 2;
  }
}

void clpmod(const char* copt) {
  Context* ctx = enter(R::clpmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "AUTO+NONE+CIRC+RECT", 4, copt);
  if (k) ctx->line.clip_mode = static_cast<uint8_t>(k - 1);
}

void noclip() {
  Context* ctx = enter(R::noclip);
  if (!ctx) return;
  LineState& l = ctx->line;
  if (l.clip_source == 2) {
    l.clip_source = 0;
    axis_clip_off(*ctx);
    l.clip_mode = 1;
    axis_clip_on(*ctx);
    l.clip_source = 2;
  } else {
    l.clip_mode = 1;
  }
}

int polclp(const double* xray, const double* yray, int n, double* xout, double* yout, int nmax,
           double xv, const char* cedge) {
  Context* ctx = enter(R::polclp);
  if (!ctx) return 0;
  int edge = lookup_keyword(*ctx, "TOP +LEFT+BOTT+RIGH", 4, cedge);
  if (!edge) return 0;
  if (n < 1 || nmax < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, n < 1 ? n : nmax);
    return 0;
  }
  auto inside = [&](double x, double y) {
    switch (edge) {
      case 1: return y <= xv;
      case 2: return x >= xv;
      case 3: return y >= xv;
      default: return x <= xv;
    }
  };
  auto cut = [&](double x1, double y1, double x2, double y2, double& xo, double& yo) {
    if (edge == 1 || edge == 3) {
      double d = y2 - y1;
      xo = std::fabs(d) < 1e-35 ? x1 : x1 + (x2 - x1) * (xv - y1) / d;
      yo = xv;
    } else {
      double d = x2 - x1;
      yo = std::fabs(d) < 1e-35 ? y1 : y1 + (y2 - y1) * (xv - x1) / d;
      xo = xv;
    }
  };
  int m = 0;
  auto put = [&](double x, double y) {
    if (m >= nmax) return false;
    xout[m] = x;
    yout[m] = y;
    ++m;
    return true;
  };
  for (int i = 0; i < n; ++i) {
    int j = i == 0 ? n - 1 : i - 1;
    bool in_i = inside(xray[i], yray[i]), in_j = inside(xray[j], yray[j]);
    bool ok = true;
    if (in_i && in_j) {
      ok = put(xray[i], yray[i]);
    } else if (in_i && !in_j) {
      double xo, yo;
      cut(xray[j], yray[j], xray[i], yray[i], xo, yo);
      ok = put(xo, yo) && put(xray[i], yray[i]);
    } else if (!in_i && in_j) {
      double xo, yo;
      cut(xray[j], yray[j], xray[i], yray[i], xo, yo);
      ok = put(xo, yo);
    }
    if (!ok) {
      warn_text(*ctx, 112, "Too many points");
      return 0;
    }
  }
  return m;
}

// --- getters

void getclp(int* nx, int* ny, int* nw, int* nh) {
  Context* ctx = enter(R::getclp);
  if (!ctx) return;
  const int* c = ctx->line.clip;
  *nx = c[0];
  *ny = ctx->core.page_origin == 1 ? ctx->core.page_h - c[1] : c[1];
  *nw = c[2] - c[0] + 1;
  *nh = c[3] - c[1] + 1;
}

int getlin() {
  Context* ctx = enter(R::getlin);
  return ctx ? std::abs(ctx->line.pen_width) : 0;
}

int gettyp() {
  Context* ctx = enter(R::gettyp);
  return ctx ? ctx->line.line_type : 0;
}

// --- reset of the drawing core

void reset_lines(Context& ctx) {
  LineState& l = ctx.line;
  l.ndash_colors = 0;
  l.offset = 0;
  l.restart_pending = 0;
  l.hw_line = 1;
  l.clip_mode = 0;
  l.clip_source = 0;
  l.circle_clip = 0;
  l.axis_clip_on = 0;
  l.miter = 2.0;
  l.clip[0] = l.clip[1] = 0;
  l.clip[2] = ctx.core.page_w;
  l.clip[3] = ctx.core.page_h;
  set_line_type(ctx, 0);
  apply_width(ctx, 1, 1);
}

}  // namespace tavero
