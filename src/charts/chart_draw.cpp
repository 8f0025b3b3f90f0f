// Line attributes, fills, labels and legend records as the chart routines use them.
#include <cmath>
#include <cstring>
#include <vector>

#include "charts/charts.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "drivers/driver.h"
#include "text/numfmt.h"
#include "text/text.h"

namespace tavero {

namespace {

// The eight predefined line types, lengths in plot units at unit factor 1.
const int kLineTypes[8][5] = {
    {1, 1}, {2, 1, 10}, {2, 10, 10}, {4, 30, 15, 10, 15},
    {4, 1, 15, 15, 15}, {2, 20, 15}, {2, 1, 20}, {2, 30, 20},
};

}  // namespace

// ------------------------------------------------------------------------------------------
// Line attributes

void set_dash(Context& ctx, const int* dash, int n) {
  LineState& l = ctx.line;
  qqflsh(ctx);
  if (n < 1) n = 1;
  if (n > 10) n = 10;
  for (int i = 0; i < n; ++i) l.dash[i] = dash[i] < 1 ? 1 : dash[i];
  l.ndash = n;
  l.dash_state = 0;
  l.dash_index = 1;
  l.dash_color_index = 1;
  l.dash_remaining = l.dash[0];
}

void set_line_style(Context& ctx, int type) {
  if (type < 0 || type > 7) type = 0;
  int ray[4];
  const int cnt = kLineTypes[type][0];
  for (int i = 0; i < cnt; ++i) {
    int v = static_cast<int>(kLineTypes[type][i + 1] / ctx.core.unit_factor + 0.5);
    ray[i] = v == 0 ? 1 : v;
  }
  set_dash(ctx, ray, cnt);
  ctx.line.line_type = type;
}

void set_pen(Context& ctx, int width) {
  if (width < 1) width = 1;
  LineState& l = ctx.line;
  if (std::abs(l.pen_width) == width) return;
  qqflsh(ctx);
  l.pen_width = width;
  if (ctx.driver) {
    ctx.driver->end_path();
    if (ctx.driver->set_line_width(width, width)) l.pen_width = -width;
    if (l.join == 0) ctx.driver->set_miter_limit(l.miter);
  }
}

AttributeScope::AttributeScope(Context& ctx)
    : ctx_(ctx), line_(ctx.line), fill_(ctx.fill), color_(ctx.color.current) {
  qqflsh(ctx);
}

AttributeScope::~AttributeScope() {
  qqflsh(ctx_);
  LineState& l = ctx_.line;
  set_pen(ctx_, std::abs(line_.pen_width));
  // the line style comes back with its dash position, as if nothing had been drawn
  std::memcpy(l.dash, line_.dash, sizeof l.dash);
  l.ndash = line_.ndash;
  l.line_type = line_.line_type;
  l.dash_remaining = line_.dash_remaining;
  l.dash_index = line_.dash_index;
  l.dash_state = line_.dash_state;
  l.dash_color_index = line_.dash_color_index;
  l.offset = line_.offset;
  l.restart_pending = 0;
  ctx_.fill = fill_;
  if (ctx_.color.current != color_) qqsclr(ctx_, color_);
}

void solid_polyline(Context& ctx, const double* x, const double* y, int n) {
  if (n < 1) return;
  SolidLineScope solid(ctx);
  qqstrt(ctx, x[0], y[0]);
  for (int i = 1; i < n; ++i) qqconn(ctx, x[i], y[i]);
}


void fill_with(Context& ctx, const double* x, const double* y, int n, int pattern) {
  FillState saved = ctx.fill;
  if (pattern != ctx.fill.pattern) set_fill_pattern(ctx, pattern);
  // the fill cuts polygons to the window where the device cannot clip them itself
  qqfpol(ctx, x, y, n);
  ctx.fill = saved;
}

// ------------------------------------------------------------------------------------------
// Legend records

LegendRecord attributes_in_force(const Context& ctx, bool with_line, bool with_symbol) {
  const LineState& l = ctx.line;
  const ChartState& c = ctx.charts;
  LegendRecord r;
  r.line_type = with_line ? l.line_type : -1;
  r.ndash = l.ndash;
  std::memcpy(r.dash, l.dash, sizeof r.dash);
  r.symbol = with_symbol ? c.symbol : -1;
  r.thickness = c.thickness;
  r.pen_width = std::abs(l.pen_width);
  r.color = ctx.color.current;
  r.symbol_color = c.symbol_color;
  r.pattern = -1;
  return r;
}

void store_legend_record(Context& ctx, int k, const LegendRecord& r) {
  if (k < 1 || k > kLegendRecords) return;
  ChartState& c = ctx.charts;
  c.records[k - 1] = r;
  if (k > c.highest_record) c.highest_record = k;
}

void add_legend_entry(Context& ctx, const LegendRecord& r) {
  ChartState& c = ctx.charts;
  // a curve cycle step in progress has taken the running number already
  if (!c.record_next) ++c.curve_number;
  store_legend_record(ctx, c.curve_number, r);
  ++c.curve_number;
  c.record_next = 1;
  c.cycle_counter = 1;
}

// ------------------------------------------------------------------------------------------
// Labels

int format_value(Context& ctx, double v, int ndig, char* buf, int cap) {
  if (ndig == -2) {
    // automatic: the fewest decimals (up to 6) that show the value to 1e-9 of its size
    const double av = std::fabs(v);
    int chosen = 6;
    for (int d = 0; d <= 6 && std::isfinite(av); ++d) {
      const double p = std::pow(10.0, d);
      if (std::fabs(std::round(av * p) / p - av) <= 1e-9 * (av > 1 ? av : 1)) {
        chosen = d;
        break;
      }
    }
    ndig = chosen == 0 ? -1 : chosen;
  }
  return text_format_number(ctx, v, ndig, buf, cap);
}

void draw_label(Context& ctx, const char* s, double bx, double by) {
  NumberTextScope scope(ctx);
  text_draw(ctx, s, bx, by);
}

double label_length(Context& ctx, const char* s) {
  NumberTextScope scope(ctx);
  return text_length(ctx, s);
}

int spline_output_points(const Context& ctx) {
  const ChartState& c = ctx.charts;
  return c.spline_points < c.spline_capacity ? c.spline_points : c.spline_capacity;
}

}  // namespace tavero
