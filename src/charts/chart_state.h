// Fields of the context record owned by the charts: curve attributes and their cycles, the
// symbol settings, the legend records and the legend, bars and pies. Member initialisers are
// the creation defaults; reset_charts restores them (the user symbol and the spline output
// capacity survive, see charts_reset.cpp).
#pragma once
#include <cstdint>
#include <vector>

#include "core/callbacks.h"

namespace tavero {

struct Context;

inline constexpr int kCycleLen = 30;          // entries of the colour, line and pattern cycles
inline constexpr int kLegendRecords = 80;     // curve numbers with a legend record
inline constexpr int kBuiltinSymbols = 24;    // symbols 0..23
inline constexpr int kLegendLines = 80;
inline constexpr int kLegendLineLen = 256;
inline constexpr int kLegendTitleLen = 80;
inline constexpr int kLegendSelect = 30;
inline constexpr int kPieColors = 30;
inline constexpr int kPieTextLen = 20;

// Interpolation methods of polcrv.
enum CurveMethod : int {
  kLine = 0, kStep, kBars, kSpli, kPspl, kStem, kStai, kFbar, kCurv
};

// What a legend line shows: recorded by curve, the shading routines and bars, or by legpat.
struct LegendRecord {
  int line_type = -1;        // -1: no line (symbols only or a shaded entry)
  int dash[10] = {1};
  int ndash = 1;
  int symbol = -1;           // -1: no symbol
  int thickness = 1;         // thkcrv
  int pen_width = 1;         // linwid, positive
  int color = -1;            // -1: the colour current when the legend is drawn
  int symbol_color = -1;     // -1: the line colour
  int pattern = -1;          // shading pattern, -1 none
};

// A symbol defined by mysymb: points in -1..1, y upwards as given by the caller.
struct UserSymbol {
  int number = -1;           // -1: none defined
  int filled = 0;
  std::vector<double> x, y;
};

// The scaling that qplscl fixes for one axis of the following quick plots.
struct QuickScale {
  int set = 0;
  double a = 0, e = 1, org = 0, step = 1;
};

struct LegendState {
  int initialised = 0;
  int nlin = 0, nmaxln = 0;
  const char* buffer = nullptr;        // the buffer handed to legini (identity only)
  uint8_t type = 0;                    // legtyp: VERT HORI TABL; kept by legini
  int table_cols = 3;
  uint8_t table_order = 0;             // VERT (column by column) HORI (row by row)
  char title[kLegendTitleLen + 1] = "Legende";
  // spacing values: >= 0 factors of the character height, < 0 lengths in plot units
  double patt = 4.0, marg = 0.5, line = 1.0, symb = 0.8, hspa = 2.0, dist = 1.0;
  int pos_fixed = 0, pos_x = 0, pos_y = 0;
  int background = -1;
  uint8_t text_colors = 0;             // legclr
  uint8_t mixed = 0;                   // mixleg
  int nsel = 0;                        // 0: all lines
  int sel[kLegendSelect] = {};
  LegendRecord own[kLegendLines];      // legpat definitions
  uint8_t own_set[kLegendLines] = {};
  int any_own = 0;
  int max_width = 0, max_height = 0;   // largest box measured by leglin
};

struct ChartState {
  // --- curves
  int method = kLine;                  // polcrv
  int thickness = 1;                   // thkcrv
  uint8_t change = 0;                  // chncrv: NONE COLO LINE BOTH
  int per_change = 1;                  // inccrv
  int cycle_index = 1;                 // 1..30
  int cycle_counter = 1;               // curves drawn in the current cycle step
  int curve_number = 1;                // running number of the legend records
  int record_next = 1;                 // the next curve records its attributes
  int line_cycle[kCycleLen] = {};      // lincyc (line types 0..7)
  uint8_t gap_on[3] = {};              // gapcrv / gapsiz for X, Y, Z
  double gap[3] = {};
  uint8_t nan_on = 0;                  // nancrv
  int spline_order = 3, spline_points = 200;  // splmod
  // --- symbols
  int symbol = 0;                      // marker
  int symbol_step = 0;                 // incmrk
  int symbol_size = 36;                // hsymbl (plot units)
  double symbol_angle = 0;             // symrot (degrees)
  int symbol_color = -1;               // mrkclr
  UserSymbol user_symbol;
  // --- legend records of curves 1..80, and the legend
  LegendRecord records[kLegendRecords];
  int highest_record = 0;
  LegendState legend;
  // --- bars
  uint8_t bar_form = 0;                // bartyp: VERT HORI 3DVE 3DHO
  uint8_t bar_financial = 1;           // bartyp TICK (0) or CAND (1) for fbars
  double bar_width = 0.75;             // barwth
  uint8_t bar_width_mode = 0;          // barmod: FIXE VARI
  int group_size = 1;                  // bargrp
  double group_gap = 0;
  int group_counter = 0;               // bars calls in the current group
  uint8_t bar_position = 0;            // barpos: NONE TICK AXIS BOTH
  double bar_depth = 0, bar_angle = 45;  // baropt
  int bar_colors[3] = {-1, -1, -1};    // barclr: front, side, top
  int bar_border = -1;                 // barbor
  uint8_t bar_change = 0;              // chnbar: NONE COLO PATT BOTH
  int bar_calls = 0;
  // --- pies
  uint8_t pie_3d = 0;                  // pietyp
  double pie_thick = 0.2, pie_view = 45;  // pieopt: thickness factor, view angle
  double pie_rotation = 0;             // pierot
  int pie_fill[kPieColors] = {}, pie_edge[kPieColors] = {};  // pieclr, first npie_colors valid
  int npie_colors = 0;
  int pie_border = -1;                 // piebor
  uint8_t pie_change = 2;              // chnpie: NONE COLO PATT BOTH (patterns tell sectors apart)
  uint8_t pie_explode = 0;             // pieexp: sectors of negative values pulled out
  double pie_gap = 0, pie_dist = 0;    // pieval GAP and DIST (plot units)
  char pie_left[kPieTextLen + 1] = "", pie_right[kPieTextLen + 1] = "";  // pielab
  int pie_vector = 0;                  // pievec: vector style
  uint8_t pie_connect = 2;             // pievec: BROK STRA NONE
  PieCallback pie_hook = nullptr;      // piecbk
  // --- quick plots (kept across resets: qplscl may come before the plot opens)
  QuickScale quick[3];
  int quick_opened = 0;                // the running qplcrv plot was opened by FIRS
  // --- what the binding sizes spline output arrays by (see charts_reset.cpp)
  int spline_capacity = 200;
};

}  // namespace tavero
