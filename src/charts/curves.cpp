// Curves: curve with its interpolation methods, thick curves, gaps and missing values, the
// attribute cycles and legend records, error bars, shaded areas between curves, and the
// curve parameter routines.
#include <algorithm>
#include <cmath>
#include <cstring>
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

namespace tavero {

namespace {

constexpr double kMaxPiece = 10.0;  // plot units: longest straight piece of a CURV connection
constexpr int kMaxHalvings = 16;

// A curve converted for drawing: plot coordinates, and per point whether it is missing and
// whether the line breaks before it (a missing value or a gap in between).
struct Prepared {
  const double* x = nullptr;   // user coordinates
  const double* y = nullptr;
  int n = 0;
  std::vector<double> px, py;
  std::vector<uint8_t> missing, brk;
  bool any_missing = false;
};

bool is_missing(const Context& ctx, double x, double y) {
  return ctx.charts.nan_on && (std::isnan(x) || std::isnan(y));
}

void prepare(Context& ctx, const double* x, const double* y, int n, Prepared& p) {
  const ChartState& c = ctx.charts;
  p.x = x;
  p.y = y;
  p.n = n;
  p.px.resize(n);
  p.py.resize(n);
  p.missing.assign(n, 0);
  p.brk.assign(n, 0);
  int last = -1;  // last point present
  for (int i = 0; i < n; ++i) {
    if (is_missing(ctx, x[i], y[i])) {
      p.missing[i] = 1;
      p.any_missing = true;
      p.px[i] = p.py[i] = std::nan("");
      continue;
    }
    check_scaling(ctx, x[i], y[i]);
    user_to_plot(ctx, x[i], y[i], p.px[i], p.py[i]);
    if (last >= 0) {
      bool gap = last != i - 1;
      if (c.gap_on[0] && std::fabs(x[i] - x[last]) > c.gap[0]) gap = true;
      if (c.gap_on[1] && std::fabs(y[i] - y[last]) > c.gap[1]) gap = true;
      p.brk[i] = gap;
    } else {
      p.brk[i] = 1;
    }
    last = i;
  }
}

// Calls f(first, end) for each run of connected points (end exclusive).
template <typename F>
void for_runs(const Prepared& p, F f) {
  int start = -1;
  for (int i = 0; i < p.n; ++i) {
    if (p.missing[i]) continue;
    if (p.brk[i]) {
      if (start >= 0) f(start, i);
      start = i;
    }
  }
  if (start >= 0) f(start, p.n);
}

// The next present point after i inside [i, end), or end.
inline int next_present(const Prepared& p, int i, int end) {
  for (++i; i < end; ++i)
    if (!p.missing[i]) return i;
  return end;
}

void polyline_run(Context& ctx, const Prepared& p, int a, int b) {
  qqstrt(ctx, p.px[a], p.py[a]);
  for (int i = next_present(p, a, b); i < b; i = next_present(p, i, b)) qqconn(ctx, p.px[i], p.py[i]);
}

// A connection that follows the axis system: the user segment subdivided until its pieces
// are short on the page.
void curved_piece(Context& ctx, double x0, double y0, double x1, double y1, double ax, double ay,
                  double bx, double by, int depth) {
  if (depth >= kMaxHalvings || std::hypot(bx - ax, by - ay) <= kMaxPiece ||
      !std::isfinite(bx - ax) || !std::isfinite(by - ay)) {
    qqconn(ctx, bx, by);
    return;
  }
  double xm = (x0 + x1) / 2, ym = (y0 + y1) / 2, mx, my;
  user_to_plot(ctx, xm, ym, mx, my);
  curved_piece(ctx, x0, y0, xm, ym, ax, ay, mx, my, depth + 1);
  curved_piece(ctx, xm, ym, x1, y1, mx, my, bx, by, depth + 1);
}

bool curved_system(const Context& ctx) {
  const AxisState& a = ctx.axes;
  return a.kind != kKindGraf || a.sc[0].log || a.sc[1].log;
}

void curved_run(Context& ctx, const Prepared& p, int a, int b) {
  qqstrt(ctx, p.px[a], p.py[a]);
  int prev = a;
  for (int i = next_present(p, a, b); i < b; i = next_present(p, i, b)) {
    curved_piece(ctx, p.x[prev], p.y[prev], p.x[i], p.y[i], p.px[prev], p.py[prev], p.px[i],
                 p.py[i], 0);
    prev = i;
  }
}

// Indices of the present points of one run.
std::vector<int> run_points(const Prepared& p, int a, int b) {
  std::vector<int> v;
  for (int i = a; i < b; i = next_present(p, i, b)) v.push_back(i);
  return v;
}

void step_run(Context& ctx, const Prepared& p, int a, int b) {
  std::vector<int> v = run_points(p, a, b);
  const size_t m = v.size();
  if (m < 2) return;
  const double* px = p.px.data();
  const double* py = p.py.data();
  double x = px[v[0]] - (px[v[1]] - px[v[0]]) / 2;
  qqstrt(ctx, x, py[v[0]]);
  for (size_t j = 0; j + 1 < m; ++j) {
    double mid = (px[v[j]] + px[v[j + 1]]) / 2;
    qqconn(ctx, mid, py[v[j]]);
    qqconn(ctx, mid, py[v[j + 1]]);
  }
  qqconn(ctx, px[v[m - 1]] + (px[v[m - 1]] - px[v[m - 2]]) / 2, py[v[m - 1]]);
}

void stairs_run(Context& ctx, const Prepared& p, int a, int b) {
  qqstrt(ctx, p.px[a], p.py[a]);
  int prev = a;
  for (int i = next_present(p, a, b); i < b; i = next_present(p, i, b)) {
    qqconn(ctx, p.px[i], p.py[prev]);
    qqconn(ctx, p.px[i], p.py[i]);
    prev = i;
  }
}

// Plot y of the lower limit of the Y axis (the foot of bars).
double axis_foot(const Context& ctx) { return scale_to_plot(ctx, 1, ctx.axes.sc[1].a); }

void stems(Context& ctx, const Prepared& p) {
  const AxisState& a = ctx.axes;
  for (int i = 0; i < p.n; ++i) {
    if (p.missing[i]) continue;
    double bx, by;
    if (a.kind == kKindPolar) {
      bx = a.polar_cx;
      by = a.polar_cy;
    } else if (a.kind == kKindGraf && a.sc[1].log) {
      bx = p.px[i];
      by = axis_foot(ctx);  // no zero on a logarithmic axis: the stem stands on the axis
    } else {
      user_to_plot(ctx, p.x[i], 0.0, bx, by);
    }
    qqstrt(ctx, bx, by);
    qqconn(ctx, p.px[i], p.py[i]);
  }
}

void closed_outline(Context& ctx, const double* x, const double* y, int n) {
  qqstrt(ctx, x[0], y[0]);
  for (int i = 1; i < n; ++i) qqconn(ctx, x[i], y[i]);
  qqconn(ctx, x[0], y[0]);
}

// BARS and FBAR; the fill only in the first pass of a thick curve.
void curve_bars(Context& ctx, const Prepared& p, bool filled, bool first_pass) {
  const AxisState& a = ctx.axes;
  const double f = ctx.charts.bar_width;
  int i0 = -1, i1 = -1;
  for (int i = 0; i < p.n && i1 < 0; ++i) {
    if (p.missing[i]) continue;
    (i0 < 0 ? i0 : i1) = i;
  }
  if (a.kind == kKindPolar) {
    double dt = f < 0 ? -f * M_PI / 180 : (i1 >= 0 ? f * std::fabs(p.y[i1] - p.y[i0]) : 0);
    std::vector<double> sx, sy;
    for (int i = 0; i < p.n; ++i) {
      if (p.missing[i]) continue;
      sx.assign(1, a.polar_cx);
      sy.assign(1, a.polar_cy);
      const int steps = std::max(2, static_cast<int>(std::fabs(dt) * 180 / M_PI) + 1);
      for (int k = 0; k <= steps; ++k) {
        double t = p.y[i] - dt / 2 + dt * k / steps, qx, qy;
        user_to_plot(ctx, p.x[i], t, qx, qy);
        sx.push_back(qx);
        sy.push_back(qy);
      }
      if (filled && first_pass) fill_with(ctx, sx.data(), sy.data(), static_cast<int>(sx.size()), 16);
      closed_outline(ctx, sx.data(), sy.data(), static_cast<int>(sx.size()));
    }
    return;
  }
  double w = f < 0 ? -f : (i1 >= 0 ? f * std::fabs(p.px[i1] - p.px[i0]) : 0);
  const double foot = axis_foot(ctx);
  for (int i = 0; i < p.n; ++i) {
    if (p.missing[i]) continue;
    double bx[4] = {p.px[i] - w / 2, p.px[i] + w / 2, p.px[i] + w / 2, p.px[i] - w / 2};
    double by[4] = {foot, foot, p.py[i], p.py[i]};
    if (filled && first_pass) fill_with(ctx, bx, by, 4, 16);
    closed_outline(ctx, bx, by, 4);
  }
}

void draw_lines(Context& ctx, const Prepared& p, int method, const std::vector<double>& sx,
                const std::vector<double>& sy, bool first_pass) {
  switch (method) {
    case kStep:
      for_runs(p, [&](int a, int b) { step_run(ctx, p, a, b); });
      break;
    case kStai:
      for_runs(p, [&](int a, int b) { stairs_run(ctx, p, a, b); });
      break;
    case kStem:
      stems(ctx, p);
      break;
    case kBars:
    case kFbar:
      curve_bars(ctx, p, method == kFbar, first_pass);
      break;
    case kSpli:
    case kPspl:
      if (!sx.empty()) {
        qqstrt(ctx, sx[0], sy[0]);
        for (size_t i = 1; i < sx.size(); ++i) qqconn(ctx, sx[i], sy[i]);
      }
      break;
    case kCurv:
      if (curved_system(ctx)) {
        for_runs(p, [&](int a, int b) { curved_run(ctx, p, a, b); });
        break;
      }
      [[fallthrough]];
    default:
      for_runs(p, [&](int a, int b) { polyline_run(ctx, p, a, b); });
      break;
  }
}

// The end of a cycle step: next cycle entry, next curve number, next symbol.
void advance_cycle(Context& ctx, bool symbols) {
  ChartState& c = ctx.charts;
  c.cycle_counter = 1;
  c.cycle_index = cycle_slot(c.cycle_index + 1);
  ++c.curve_number;
  if (symbols && c.symbol >= 0) c.symbol = c.symbol % (kBuiltinSymbols - 1) + 1;
  c.record_next = 1;
}

bool log_rejects(Context& ctx, const double* x, const double* y, int n) {
  const AxisState& a = ctx.axes;
  if (a.kind != kKindGraf || a.neglog_on) return false;
  const bool lx = a.sc[0].log, ly = a.sc[1].log;
  if (!lx && !ly) return false;
  for (int i = 0; i < n; ++i) {
    if ((lx && x[i] <= 0) || (ly && y[i] <= 0)) {
      warn_code(ctx, 27);
      return true;
    }
  }
  return false;
}

// A plain line drawn in one pass is converted and drawn point by point, without a copy of
// the curve: a curve of ten million points needs no more memory than the line buffers.
void stream_line(Context& ctx, const double* x, const double* y, int n) {
  const ChartState& c = ctx.charts;
  int last = -1;
  for (int i = 0; i < n; ++i) {
    if (is_missing(ctx, x[i], y[i])) continue;
    check_scaling(ctx, x[i], y[i]);
    double px, py;
    user_to_plot(ctx, x[i], y[i], px, py);
    bool brk = last < 0 || last != i - 1;
    if (!brk && c.gap_on[0] && std::fabs(x[i] - x[last]) > c.gap[0]) brk = true;
    if (!brk && c.gap_on[1] && std::fabs(y[i] - y[last]) > c.gap[1]) brk = true;
    if (brk)
      qqstrt(ctx, px, py);
    else
      qqconn(ctx, px, py);
    last = i;
  }
}

void draw_curve(Context& ctx, const double* x, const double* y, int n) {
  ChartState& c = ctx.charts;
  const int step = c.symbol_step;
  if (n < 1 || (n == 1 && step >= 0)) {
    warn_number(ctx, kMsgIncorrectParameter, n);
    return;
  }
  const int method = c.method;
  if (ctx.axes.kind == kKindPolar && method != kLine && method != kBars && method != kStem &&
      method != kFbar) {
    warn_text(ctx, 160, "Bad interpolation method for polar scaling");
    return;
  }
  if (log_rejects(ctx, x, y, n)) return;
  const double uf = ctx.core.unit_factor;
  const int passes = std::max(1, static_cast<int>(std::lround(c.thickness * uf)));
  const bool streaming = method == kLine && passes == 1;
  Prepared p;
  std::vector<double> sx, sy;
  try {
    if (!streaming) prepare(ctx, x, y, n, p);
    if (p.any_missing && (method == kSpli || method == kPspl))
      warn_text(ctx, 160, "NaN Values are not handled for spline interpolation");
    else if (step >= 0 && (method == kSpli || method == kPspl)) {
      const int npts = c.spline_points;
      std::vector<double> ux(npts), uy(npts);
      if (!spline_curve(ctx, x, y, n, method == kPspl, npts, ux.data(), uy.data())) return;
      sx.resize(npts);
      sy.resize(npts);
      for (int i = 0; i < npts; ++i) user_to_plot(ctx, ux[i], uy[i], sx[i], sy[i]);
    }
  } catch (const std::bad_alloc&) {
    warn_code(ctx, kMsgNoMemory);
    return;
  }
  // the cycle's attributes hold for this curve only
  const int saved_color = ctx.color.current;
  const LineState saved_line = ctx.line;
  const bool new_color = c.change & 1, new_style = c.change & 2;
  if (new_color) qqsclr(ctx, ctx.color.cycle[c.cycle_index - 1]);
  if (new_style) set_line_style(ctx, c.line_cycle[c.cycle_index - 1]);
  const bool symbols = step != 0 && c.symbol >= 0;
  if (c.record_next) {
    store_legend_record(ctx, c.curve_number, attributes_in_force(ctx, step >= 0, symbols));
    c.record_next = 0;
  }
  axis_clip_on(ctx);
  if (symbols) {
    const int saved = ctx.color.current;
    if (c.symbol_color != -1 && c.symbol_color != saved) qqsclr(ctx, c.symbol_color);
    const int every = step < 0 ? -step : step;
    if (streaming) {
      if (step < 0)  // no line pass follows: the scaling checks happen here
        for (int i = 0; i < n; ++i)
          if (!is_missing(ctx, x[i], y[i])) check_scaling(ctx, x[i], y[i]);
      for (long long i = 0; i < n; i += every) {
        if (is_missing(ctx, x[i], y[i])) continue;
        double px, py;
        user_to_plot(ctx, x[i], y[i], px, py);
        draw_symbol(ctx, c.symbol, px, py);
      }
    } else {
      for (long long i = 0; i < n; i += every)
        if (!p.missing[i]) draw_symbol(ctx, c.symbol, p.px[i], p.py[i]);
    }
    if (ctx.color.current != saved) qqsclr(ctx, saved);
  }
  if (step >= 0 && streaming) {
    stream_line(ctx, x, y, n);
    qqflsh(ctx);
  } else if (step >= 0) {
    for (int k = 1; k <= passes; ++k) {
      ctx.line.offset = (k % 2 ? -(k / 2) : k / 2) / uf;
      draw_lines(ctx, p, method, sx, sy, k == 1);
      qqflsh(ctx);
    }
    ctx.line.offset = 0;
  }
  axis_clip_off(ctx);
  qqflsh(ctx);
  if (new_style) {
    LineState& l = ctx.line;
    std::memcpy(l.dash, saved_line.dash, sizeof l.dash);
    l.ndash = saved_line.ndash;
    l.line_type = saved_line.line_type;
    l.dash_remaining = saved_line.dash_remaining;
    l.dash_index = saved_line.dash_index;
    l.dash_state = saved_line.dash_state;
  }
  if (ctx.color.current != saved_color) qqsclr(ctx, saved_color);
  if (c.cycle_counter != c.per_change)
    ++c.cycle_counter;
  else
    advance_cycle(ctx, symbols);
}

}  // namespace

// ------------------------------------------------------------------------------------------
// curve

void curve(const double* xray, const double* yray, int n) {
  Context* ctx = enter(R::curve);
  if (!ctx) return;
  draw_curve(*ctx, xray, yray, n);
}

// ------------------------------------------------------------------------------------------
// Curve parameters

void polcrv(const char* copt) {
  Context* ctx = enter(R::polcrv);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "LINE+STEP+BARS+SPLI+PSPL+STEM+STAI+FBAR+CURV", 9, copt);
  if (k) ctx->charts.method = k - 1;
}

void thkcrv(int nthk) {
  Context* ctx = enter(R::thkcrv);
  if (!ctx || check_range(*ctx, nthk, 1, 10000)) return;
  ctx->charts.thickness = nthk;
}

void chncrv(const char* copt) {
  Context* ctx = enter(R::chncrv);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "NONE+COLO+LINE+BOTH", 4, copt);
  if (k) ctx->charts.change = static_cast<uint8_t>(k - 1);
}

void inccrv(int ncrv) {
  Context* ctx = enter(R::inccrv);
  if (!ctx || check_range(*ctx, ncrv, 1, 32000)) return;
  ctx->charts.per_change = ncrv;
  if (ctx->charts.cycle_counter > ncrv) ctx->charts.cycle_counter = ncrv;
}

void chnatt() {
  Context* ctx = enter(R::chnatt);
  if (!ctx) return;
  advance_cycle(*ctx, ctx->charts.symbol_step != 0);
}

void lincyc(int index, int ltyp) {
  Context* ctx = enter(R::lincyc);
  if (!ctx) return;
  int bad = check_range(*ctx, index, 1, 30);
  bad |= check_range(*ctx, ltyp, 0, 7);
  if (!bad) ctx->charts.line_cycle[index - 1] = ltyp;
}

// A gap limit of 0 or less switches the gap test of that axis off.
void gapcrv(double xgap) {
  Context* ctx = enter(R::gapcrv);
  if (!ctx) return;
  ctx->charts.gap_on[0] = xgap > 0;
  ctx->charts.gap[0] = xgap > 0 ? xgap : 0;
}

void gapsiz(double xgap, const char* cax) {
  Context* ctx = enter(R::gapsiz);
  if (!ctx) return;
  ChartState& c = ctx->charts;
  uint8_t on = xgap > 0;
  double v = xgap > 0 ? xgap : 0;
  set_for_axes(cax, on, c.gap_on[0], c.gap_on[1], c.gap_on[2]);
  set_for_axes(cax, v, c.gap[0], c.gap[1], c.gap[2]);
}

void nancrv(const char* copt) {
  Context* ctx = enter(R::nancrv);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "OFF +ON  ", 2, copt);
  if (k) ctx->charts.nan_on = static_cast<uint8_t>(k - 1);
}

// ------------------------------------------------------------------------------------------
// Error bars

void errbar(const double* xray, const double* yray, const double* e1ray, const double* e2ray,
            int n) {
  Context* ctx = enter(R::errbar);
  if (!ctx || check_range(*ctx, n, 1, -1)) return;
  const ChartState& c = ctx->charts;
  const bool horizontal = c.bar_form == 1 || c.bar_form == 3;
  const double cap = c.symbol_size / 3.0;
  const double foot = axis_foot(*ctx);
  axis_clip_on(*ctx);
  const int saved = ctx->color.current;
  for (int i = 0; i < n; ++i) {
    if (is_missing(*ctx, xray[i], yray[i])) continue;
    check_scaling(*ctx, xray[i], yray[i]);
    double px, py;
    user_to_plot(*ctx, xray[i], yray[i], px, py);
    if (c.symbol_color != -1) qqsclr(*ctx, c.symbol_color);
    draw_symbol(*ctx, c.symbol, px, py);
    if (ctx->color.current != saved) qqsclr(*ctx, saved);
    double ax, ay, bx, by;
    if (horizontal) {
      user_to_plot(*ctx, xray[i] - e1ray[i], yray[i], ax, ay);
      user_to_plot(*ctx, xray[i] + e2ray[i], yray[i], bx, by);
      if (!std::isfinite(ax)) ax = scale_to_plot(*ctx, 0, ctx->axes.sc[0].a);
    } else {
      user_to_plot(*ctx, xray[i], yray[i] - e1ray[i], ax, ay);
      user_to_plot(*ctx, xray[i], yray[i] + e2ray[i], bx, by);
      // below zero on a logarithmic axis the bar reaches down to the axis
      if (!std::isfinite(ay)) ay = foot;
    }
    qqstrt(*ctx, ax, ay);
    qqconn(*ctx, bx, by);
    for (int end = 0; end < 2; ++end) {
      double ex = end ? bx : ax, ey = end ? by : ay;
      if (horizontal) {
        qqstrt(*ctx, ex, ey - cap);
        qqconn(*ctx, ex, ey + cap);
      } else {
        qqstrt(*ctx, ex - cap, ey);
        qqconn(*ctx, ex + cap, ey);
      }
    }
  }
  qqflsh(*ctx);
  axis_clip_off(*ctx);
}

// ------------------------------------------------------------------------------------------
// The area between two curves, shaded with the current pattern; one legend entry.

void shdcrv(const double* x1ray, const double* y1ray, int n1, const double* x2ray,
            const double* y2ray, int n2) {
  Context* ctx = enter(R::shdcrv);
  if (!ctx) return;
  int bad = check_range(*ctx, n1, 1, -1);
  bad |= check_range(*ctx, n2, 1, -1);
  if (bad) return;
  std::vector<double> px, py;
  try {
    px.reserve(n1 + n2);
    py.reserve(n1 + n2);
    auto add = [&](double x, double y) {
      if (is_missing(*ctx, x, y)) return;
      double qx, qy;
      user_to_plot(*ctx, x, y, qx, qy);
      if (!std::isfinite(qx) || !std::isfinite(qy)) return;
      px.push_back(qx);
      py.push_back(qy);
    };
    for (int i = 0; i < n1; ++i) add(x1ray[i], y1ray[i]);
    for (int i = n2 - 1; i >= 0; --i) add(x2ray[i], y2ray[i]);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  LegendRecord r = attributes_in_force(*ctx, false, false);
  r.pattern = ctx->fill.pattern;
  add_legend_entry(*ctx, r);
  if (px.size() < 3) return;
  axis_clip_on(*ctx);
  qqfpol(*ctx, px.data(), py.data(), static_cast<int>(px.size()));
  axis_clip_off(*ctx);
}

}  // namespace tavero
