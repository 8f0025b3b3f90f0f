// Parameter reset of the charts (tavini, reset("ALL")) and reset(name) for their routines.
#include <algorithm>
#include <cstring>

#include "charts/charts.h"
#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

namespace {

void reset_symbol_size(Context& ctx) {
  int s = static_cast<int>(36 / ctx.core.unit_factor + 0.5);
  ctx.charts.symbol_size = s < 1 ? 1 : s;
}

// The line cycle walks through the eight line types.
void reset_line_cycle(ChartState& c) {
  for (int i = 0; i < kCycleLen; ++i) c.line_cycle[i] = i % 8;
}

// The settings that legini sets, without the buffer, its lines and the legpat records.
void reset_legend_settings(LegendState& lg) {
  const LegendState def;
  std::memcpy(lg.title, def.title, sizeof lg.title);
  lg.patt = def.patt;
  lg.marg = def.marg;
  lg.line = def.line;
  lg.symb = def.symb;
  lg.hspa = def.hspa;
  lg.dist = def.dist;
  lg.pos_fixed = 0;
  lg.background = def.background;
  lg.table_cols = def.table_cols;
  lg.table_order = def.table_order;
  lg.nsel = 0;
}

}  // namespace

void reset_charts(Context& ctx) {
  ChartState& c = ctx.charts;
  // the user symbol is a definition, not a parameter: it stays until the next mysymb
  UserSymbol symbol = std::move(c.user_symbol);
  QuickScale quick[3] = {c.quick[0], c.quick[1], c.quick[2]};
  const int quick_opened = c.quick_opened;
  // spline outputs are sized by the binding, which goes back to 200 points only in tavini
  const int capacity = std::strcmp(ctx.core.routine, "tavini") == 0 ? 200 : c.spline_capacity;
  c = ChartState{};
  c.user_symbol = std::move(symbol);
  std::copy(quick, quick + 3, c.quick);
  c.quick_opened = quick_opened;
  c.spline_capacity = capacity;
  reset_symbol_size(ctx);
  reset_line_cycle(c);
}

bool reset_named_charts(Context& ctx, const char* key) {
  ChartState& c = ctx.charts;
  const ChartState def;
  auto is = [key](const char* k) { return std::memcmp(key, k, 4) == 0; };
  if (is("BARD")) {  // the depth and angle of 3-D bars
    c.bar_depth = def.bar_depth;
    c.bar_angle = def.bar_angle;
  } else if (is("BARG")) {
    c.group_size = def.group_size;
    c.group_gap = def.group_gap;
    c.group_counter = 0;
  } else if (is("BARP")) {
    c.bar_position = def.bar_position;
  } else if (is("BART")) {
    c.bar_form = def.bar_form;
    c.bar_financial = def.bar_financial;
  } else if (is("BARW")) {
    c.bar_width = def.bar_width;
    c.bar_width_mode = def.bar_width_mode;
  } else if (is("CHNC")) {
    c.change = def.change;
    c.per_change = def.per_change;
    c.cycle_index = def.cycle_index;
    c.cycle_counter = def.cycle_counter;
  } else if (is("CHNP")) {
    c.pie_change = def.pie_change;
  } else if (is("GAPC")) {
    std::memset(c.gap_on, 0, sizeof c.gap_on);
    std::memset(c.gap, 0, sizeof c.gap);
  } else if (is("LEGC")) {
    c.legend.text_colors = 0;
  } else if (is("LEGE")) {
    reset_legend_settings(c.legend);
  } else if (is("MIXL")) {
    c.legend.mixed = 0;
  } else if (is("PIEC")) {
    c.npie_colors = 0;
  } else if (is("PIEE")) {
    c.pie_explode = 0;
  } else if (is("PIEL")) {
    c.pie_left[0] = c.pie_right[0] = 0;
  } else if (is("PIEV")) {  // pieval and pievec
    c.pie_gap = def.pie_gap;
    c.pie_dist = def.pie_dist;
    c.pie_vector = def.pie_vector;
    c.pie_connect = def.pie_connect;
  } else if (is("POLC")) {
    c.method = def.method;
  } else if (is("SPLM")) {
    c.spline_order = def.spline_order;
    c.spline_points = def.spline_points;
  } else if (is("SYMR")) {
    c.symbol_angle = def.symbol_angle;
  } else if (is("THKC")) {
    c.thickness = def.thickness;
  } else {
    return false;
  }
  return true;
}

}  // namespace tavero
