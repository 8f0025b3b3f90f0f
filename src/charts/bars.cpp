// Bar graphs: bars (2-D and 3-D blocks, grouped, labelled), financial bars (fbars), and the
// bar parameter routines.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "axes/axis_convert.h"
#include "charts/charts.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "tavero_api.h"
#include "text/text.h"

namespace tavero {

namespace {

// The two axes of a bar graph: positions along one, values along the other. Vertical bars
// stand on the X axis; horizontal bars (HORI, 3DHO) on the Y axis.
struct BarAxes {
  int pa = 0, va = 1;
  bool horizontal = false;
  double pos(const Context& ctx, double u) const { return scale_to_plot(ctx, pa, user_to_scale(ctx, pa, u)); }
  double val(const Context& ctx, double u) const { return scale_to_plot(ctx, va, user_to_scale(ctx, va, u)); }
  // plot point of (position coordinate, value coordinate)
  void point(double p, double v, double& x, double& y) const {
    x = horizontal ? v : p;
    y = horizontal ? p : v;
  }
};

BarAxes bar_axes(const Context& ctx) {
  BarAxes b;
  b.horizontal = ctx.charts.bar_form == 1 || ctx.charts.bar_form == 3;
  if (b.horizontal) {
    b.pa = 1;
    b.va = 0;
  }
  return b;
}

// The major tick values of axis a in user units, without the ticks on the axis ends.
std::vector<double> major_ticks(const Context& ctx, int a) {
  const AxisScale& s = ctx.axes.sc[a];
  std::vector<double> t;
  if (!(std::fabs(s.step) > 0)) return t;
  const double n = std::trunc((s.e - s.org) / s.step + 0.0001);
  const double tol = 1e-6 * std::fabs(s.step);
  for (double k = 0; k <= n && k < 100000; ++k) {
    double v = s.org + k * s.step;
    if (std::fabs(v - s.a) < tol || std::fabs(v - s.e) < tol) continue;
    t.push_back(s.log ? std::pow(10.0, v) : v);
  }
  return t;
}

// Width of bar i in plot units from the bar width factor (and barmod).
double bar_width_at(const Context& ctx, const BarAxes& ax, const std::vector<double>& pp, int i) {
  const ChartState& c = ctx.charts;
  const double f = c.bar_width;
  if (f < 0) return -f;
  const int n = static_cast<int>(pp.size());
  double d;
  if (n < 2) {
    const AxisScale& s = ctx.axes.sc[ax.pa];
    d = std::fabs(s.step * s.f);
  } else if (c.bar_width_mode == 1) {
    double l = i > 0 ? std::fabs(pp[i] - pp[i - 1]) : INFINITY;
    double r = i + 1 < n ? std::fabs(pp[i + 1] - pp[i]) : INFINITY;
    d = std::min(l, r);
  } else {
    d = std::fabs(pp[1] - pp[0]);
  }
  return std::isfinite(d) ? f * d : 0;
}

void outline(Context& ctx, const double* x, const double* y, int n, int colour) {
  const int saved = ctx.color.current;
  if (colour != -1 && colour != saved) qqsclr(ctx, colour);
  double px[9], py[9];
  for (int i = 0; i < n; ++i) {
    px[i] = x[i];
    py[i] = y[i];
  }
  px[n] = x[0];
  py[n] = y[0];
  solid_polyline(ctx, px, py, n + 1);
  if (ctx.color.current != saved) qqsclr(ctx, saved);
}

void fill_face(Context& ctx, const double* x, const double* y, int n, int colour, int pattern) {
  const int saved = ctx.color.current;
  if (colour != -1 && colour != saved) qqsclr(ctx, colour);
  fill_with(ctx, x, y, n, pattern);
  if (ctx.color.current != saved) qqsclr(ctx, saved);
}

inline bool fills_nothing(int pattern) { return pattern_code(pattern) / 100 % 10 == 0; }

// One bar: the rectangle between p0..p1 along the positions and v1..v2 along the values.
void draw_bar(Context& ctx, const BarAxes& ax, double p0, double p1, double v1, double v2,
              int colour, int pattern) {
  const ChartState& c = ctx.charts;
  double x[4], y[4];
  ax.point(p0, v1, x[0], y[0]);
  ax.point(p1, v1, x[1], y[1]);
  ax.point(p1, v2, x[2], y[2]);
  ax.point(p0, v2, x[3], y[3]);
  const bool flat = std::fabs(p1 - p0) < 1e-9 || std::fabs(v2 - v1) < 1e-9;
  const bool solid3d = c.bar_form == 2 || c.bar_form == 3;
  if (!flat) fill_face(ctx, x, y, 4, colour, pattern);
  if (solid3d) {
    const double d = c.bar_depth > ctx.core.tolerance ? c.bar_depth : std::fabs(p1 - p0);
    const double dx = d * std::cos(c.bar_angle * M_PI / 180), dy = -d * std::sin(c.bar_angle * M_PI / 180);
    const double xl = std::min(x[0], x[2]), xr = std::max(x[0], x[2]);
    const double yt = std::min(y[0], y[2]), yb = std::max(y[0], y[2]);
    double sx[4] = {xr, xr + dx, xr + dx, xr}, sy[4] = {yb, yb + dy, yt + dy, yt};
    double tx[4] = {xl, xr, xr + dx, xl + dx}, ty[4] = {yt, yt, yt + dy, yt + dy};
    const int side = c.bar_colors[1] != -1 ? c.bar_colors[1] : colour;
    const int top = c.bar_colors[2] != -1 ? c.bar_colors[2] : colour;
    if (!flat) {
      fill_face(ctx, sx, sy, 4, side, pattern);
      fill_face(ctx, tx, ty, 4, top, pattern);
    }
    const int edge = c.bar_border != -1 ? c.bar_border : ctx.color.foreground;
    outline(ctx, x, y, 4, edge);
    outline(ctx, sx, sy, 4, edge);
    outline(ctx, tx, ty, 4, edge);
    return;
  }
  if (c.bar_border != -1)
    outline(ctx, x, y, 4, c.bar_border);
  else if (flat)
    outline(ctx, x, y, 4, colour);
}

// The label of one bar near its end (see the position rules below). Inside a solid bar and
// without a label colour of its own, it is drawn in the background colour to stay readable.
void draw_bar_label(Context& ctx, const BarAxes& ax, double p0, double p1, double v1, double v2,
                    double value, bool solid) {
  const AxisState& as = ctx.axes;
  char text[64];
  format_value(ctx, value, as.bar_digits, text, sizeof text);
  const double h = text_height(ctx), tw = label_length(ctx, text);
  const double w = std::fabs(p1 - p0), len = std::fabs(v2 - v1), pm = (p0 + p1) / 2;
  // labpos for bars: TICK (default) inside the bar when it fits, else beyond its end; CENT in
  // the middle of the bar; SHIF always beyond the end
  const int mode = as.bar_labpos;
  bool inside = mode == 1;
  double bx, by;
  if (!ax.horizontal) {
    const bool up = v2 <= v1;  // plot y grows downwards
    const bool fits = tw <= w && len >= 2.25 * h;
    if (mode == 1) {
      by = (v1 + v2) / 2 - h / 2;
    } else if (mode == 0 && fits) {
      inside = true;
      by = up ? v2 + 0.75 * h : v2 - 1.75 * h;
    } else {
      by = up ? v2 - 1.25 * h : v2 + 0.25 * h;
    }
    bx = pm - tw / 2;
  } else {
    const bool right = v2 >= v1;
    const bool fits = tw + 1.5 * h <= len && h <= w;
    if (mode == 1) {
      bx = (v1 + v2) / 2 - tw / 2;
    } else if (mode == 0 && fits) {
      inside = true;
      bx = right ? v2 - 0.75 * h - tw : v2 + 0.75 * h;
    } else {
      bx = right ? v2 + 0.75 * h : v2 - 0.75 * h - tw;
    }
    by = pm - h / 2;
  }
  const int saved = ctx.color.current;
  int colour = as.bar_label_color;
  if (colour == -1 && inside && solid) colour = ctx.color.background;
  if (colour != -1 && colour != saved) qqsclr(ctx, colour);
  draw_label(ctx, text, bx, by);
  if (ctx.color.current != saved) qqsclr(ctx, saved);
}

// Logarithmic axes reject non-positive positions and values (null arrays are not checked).
bool log_rejects(Context& ctx, const BarAxes& ax, const double* pos, const double* const* vals,
                 int nvals, int n) {
  const AxisState& a = ctx.axes;
  if (a.neglog_on) return false;
  const bool lp = a.sc[ax.pa].log && pos, lv = a.sc[ax.va].log;
  for (int i = 0; i < n; ++i) {
    bool bad = lp && pos[i] <= 0;
    for (int k = 0; k < nvals && !bad; ++k) bad = lv && vals[k] && vals[k][i] <= 0;
    if (bad) {
      warn_code(ctx, 27);
      return true;
    }
  }
  return false;
}

// Colour and pattern of this call, and its legend entry.
void call_attributes(Context& ctx, int& colour, int& pattern) {
  ChartState& c = ctx.charts;
  ++c.bar_calls;
  const int slot = cycle_slot(c.bar_calls) - 1;
  colour = ctx.color.current;
  pattern = ctx.fill.pattern;
  if (c.bar_change & 1)
    colour = ctx.color.cycle[slot];
  else if (c.bar_colors[0] != -1)
    colour = c.bar_colors[0];
  if (c.bar_change & 2) pattern = ctx.fill.cycle[slot];
  // the empty pattern would leave the bar blank: bars are filled solid then
  if (fills_nothing(pattern)) pattern = 16;
  LegendRecord r = attributes_in_force(ctx, false, false);
  r.color = colour;
  r.pattern = pattern;
  add_legend_entry(ctx, r);
}

void draw_bars(Context& ctx, const double* xray, const double* y1ray, const double* y2ray, int n) {
  ChartState& c = ctx.charts;
  const BarAxes ax = bar_axes(ctx);
  const bool to_axis = c.bar_position == 2 || c.bar_position == 3;
  const bool at_ticks = c.bar_position == 1 || c.bar_position == 3;
  const double* vals[2] = {to_axis ? nullptr : y1ray, y2ray};
  if (log_rejects(ctx, ax, at_ticks ? nullptr : xray, vals, 2, n)) return;
  std::vector<double> ticks;
  if (at_ticks) {
    ticks = major_ticks(ctx, ax.pa);
    if (static_cast<int>(ticks.size()) != n) {
      warn_code(ctx, 28);
      n = std::min<int>(n, static_cast<int>(ticks.size()));
    }
    xray = ticks.data();
  }
  std::vector<double> pp(n);
  for (int i = 0; i < n; ++i) pp[i] = ax.pos(ctx, xray[i]);
  c.group_counter = c.group_counter % c.group_size + 1;
  const int k = c.group_counter - 1, ng = c.group_size;
  int colour, pattern;
  call_attributes(ctx, colour, pattern);
  const double foot = scale_to_plot(ctx, ax.va, ctx.axes.sc[ax.va].a);
  struct Label { double p0, p1, v1, v2, value; };
  std::vector<Label> labels;
  axis_clip_on(ctx);
  for (int i = 0; i < n; ++i) {
    const double y1 = to_axis ? NAN : y1ray[i];
    if (ctx.charts.nan_on && (std::isnan(pp[i]) || (!to_axis && std::isnan(y1)) || std::isnan(y2ray[i])))
      continue;
    const double W = bar_width_at(ctx, ax, pp, i);
    double w, gap;
    if (c.group_gap >= 0) {
      w = W / ((ng - 1) * c.group_gap + ng);
      gap = c.group_gap * w;
    } else {
      gap = -c.group_gap;
      w = (W - gap * (ng - 1)) / ng;
    }
    const double p0 = pp[i] - W / 2 + k * (w + gap), p1 = p0 + w;
    const double v1 = to_axis ? foot : ax.val(ctx, y1), v2 = ax.val(ctx, y2ray[i]);
    if (ax.horizontal)
      check_scaling(ctx, y2ray[i], xray[i]);
    else
      check_scaling(ctx, xray[i], y2ray[i]);
    draw_bar(ctx, ax, p0, p1, v1, v2, colour, pattern);
    if (ctx.axes.bar_label == 0) continue;
    const AxisScale& vs = ctx.axes.sc[ax.va];
    const double u1 = to_axis ? (vs.log ? std::pow(10.0, vs.a) : vs.a) : y1;
    const double u2 = y2ray[i];
    double value;
    switch (ctx.axes.bar_label) {
      case 1: value = u2; break;
      case 2: value = u1; break;
      case 3: value = std::max(u1, u2); break;
      case 4: value = std::min(u1, u2); break;
      case 5: value = u2 - u1; break;
      default: value = xray[i]; break;
    }
    labels.push_back({p0, p1, v1, v2, value});
  }
  axis_clip_off(ctx);
  const bool solid = pattern == 16 || c.bar_form >= 2;
  for (const Label& l : labels) draw_bar_label(ctx, ax, l.p0, l.p1, l.v1, l.v2, l.value, solid);
  qqflsh(ctx);
}

}  // namespace

// ------------------------------------------------------------------------------------------
// bars and fbars

void bars(const double* xray, const double* y1ray, const double* y2ray, int n) {
  Context* ctx = enter(R::bars);
  if (!ctx || check_range(*ctx, n, 1, -1)) return;
  try {
    draw_bars(*ctx, xray, y1ray, y2ray, n);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

// Financial bars at positions xray: y1 the first (opening) value, y2 the highest, y3 the
// lowest, y4 the last (closing) value. CAND draws candles (a body from first to last value,
// hollow when rising, filled when falling, with wicks to the extremes); TICK draws a line
// from lowest to highest with a tick to the left at the first and to the right at the last
// value. barclr's front and side colours colour rising and falling entries.
void fbars(const double* xray, const double* y1ray, const double* y2ray, const double* y3ray,
           const double* y4ray, int n) {
  Context* ctx = enter(R::fbars);
  if (!ctx || check_range(*ctx, n, 1, -1)) return;
  const BarAxes ax = bar_axes(*ctx);
  const double* vals[4] = {y1ray, y2ray, y3ray, y4ray};
  if (log_rejects(*ctx, ax, xray, vals, 4, n)) return;
  ChartState& c = ctx->charts;
  std::vector<double> pp;
  try {
    pp.resize(n);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  for (int i = 0; i < n; ++i) pp[i] = ax.pos(*ctx, xray[i]);
  int colour, pattern;
  call_attributes(*ctx, colour, pattern);
  const int rising = c.bar_colors[0] != -1 ? c.bar_colors[0] : colour;
  const int falling = c.bar_colors[1] != -1 ? c.bar_colors[1] : colour;
  const int saved = ctx->color.current;
  axis_clip_on(*ctx);
  for (int i = 0; i < n; ++i) {
    const double open = ax.val(*ctx, y1ray[i]), high = ax.val(*ctx, y2ray[i]);
    const double low = ax.val(*ctx, y3ray[i]), close = ax.val(*ctx, y4ray[i]);
    const double p = pp[i];
    if (!std::isfinite(p + open + high + low + close)) continue;
    const double half = bar_width_at(*ctx, ax, pp, i) / 2;
    const bool up = y4ray[i] >= y1ray[i];
    const int col = up ? rising : falling;
    if (col != ctx->color.current) qqsclr(*ctx, col);
    double x[2], y[2];
    auto seg = [&](double pa, double va, double pb, double vb) {
      ax.point(pa, va, x[0], y[0]);
      ax.point(pb, vb, x[1], y[1]);
      solid_polyline(*ctx, x, y, 2);
    };
    if (c.bar_financial == 0) {
      seg(p, low, p, high);
      seg(p - half, open, p, open);
      seg(p, close, p + half, close);
      continue;
    }
    // the wicks run from the body to the extremes of the value axis' direction
    const double lo_body = std::min(open, close), hi_body = std::max(open, close);
    seg(p, std::min(low, high), p, lo_body);
    seg(p, hi_body, p, std::max(low, high));
    double bx[4], by[4];
    ax.point(p - half, open, bx[0], by[0]);
    ax.point(p + half, open, bx[1], by[1]);
    ax.point(p + half, close, bx[2], by[2]);
    ax.point(p - half, close, bx[3], by[3]);
    if (!up) fill_with(*ctx, bx, by, 4, 16);
    outline(*ctx, bx, by, 4, col);
  }
  axis_clip_off(*ctx);
  if (ctx->color.current != saved) qqsclr(*ctx, saved);
}

// ------------------------------------------------------------------------------------------
// Bar parameters

void bartyp(const char* copt) {
  Context* ctx = enter(R::bartyp);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "VERT+HORI+3DVE+3DHO+TICK+CAND", 6, copt);
  if (k >= 5)
    ctx->charts.bar_financial = static_cast<uint8_t>(k - 5);
  else if (k)
    ctx->charts.bar_form = static_cast<uint8_t>(k - 1);
}

void barwth(double xfac) {
  Context* ctx = enter(R::barwth);
  if (!ctx) return;
  if (!std::isfinite(xfac)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->charts.bar_width = xfac;
}

void barmod(const char* cmod, const char* ckey) {
  Context* ctx = enter(R::barmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "FIXE+VARI", 2, cmod);
  if (!match_keyword("WIDT", 1, ckey)) {
    warn_string(*ctx, kMsgIncorrectParameter, ckey ? ckey : "");
    return;
  }
  if (k) ctx->charts.bar_width_mode = static_cast<uint8_t>(k - 1);
}

void bargrp(int ngrp, double gap) {
  Context* ctx = enter(R::bargrp);
  if (!ctx || check_range(*ctx, ngrp, 1, 30)) return;
  if (!std::isfinite(gap)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ChartState& c = ctx->charts;
  c.group_size = ngrp;
  c.group_gap = gap;
  c.group_counter = 0;
}

void barpos(const char* copt) {
  Context* ctx = enter(R::barpos);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "NONE+TICK+AXIS+BOTH", 4, copt);
  if (k) ctx->charts.bar_position = static_cast<uint8_t>(k - 1);
}

void baropt(double xf, double xang) {
  Context* ctx = enter(R::baropt);
  if (!ctx) return;
  if (!std::isfinite(xf) || !std::isfinite(xang)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->charts.bar_depth = xf;
  ctx->charts.bar_angle = xang;
}

void barclr(int ic1, int ic2, int ic3) {
  Context* ctx = enter(R::barclr);
  if (!ctx) return;
  int bad = check_range(*ctx, ic1, -1, -2);
  bad |= check_range(*ctx, ic2, -1, -2);
  bad |= check_range(*ctx, ic3, -1, -2);
  if (bad) return;
  int* c = ctx->charts.bar_colors;
  c[0] = ic1;
  c[1] = ic2;
  c[2] = ic3;
}

void barbor(int nclr) {
  Context* ctx = enter(R::barbor);
  if (!ctx || check_range(*ctx, nclr, -1, -2)) return;
  ctx->charts.bar_border = nclr;
}

void chnbar(const char* copt) {
  Context* ctx = enter(R::chnbar);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "NONE+COLO+PATT+BOTH", 4, copt);
  if (k) ctx->charts.bar_change = static_cast<uint8_t>(k - 1);
}

}  // namespace tavero
