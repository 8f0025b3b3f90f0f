// Services of the charts for their own routines and for the other subsystems that draw
// data (contours, shadings): symbols, line attributes, the legend records and the cycles.
#pragma once
#include "charts/chart_state.h"
#include "core/context.h"

namespace tavero {

// ------------------------------------------------------------------------------------------
// Symbols

// Draws symbol nsym centred at the plot point (x, y) (relative to the origin shift) with the
// size and rotation of hsymbl and symrot, in the current colour; -1 and unknown numbers draw
// nothing.
void draw_symbol(Context& ctx, int nsym, double x, double y);
// Whether nsym names a symbol (a built-in one or the user symbol).
bool symbol_defined(const Context& ctx, int nsym);

// ------------------------------------------------------------------------------------------
// Line attributes

// Sets one of the eight predefined line types (dash lengths converted by the unit factor).
void set_line_style(Context& ctx, int type);
// Sets a dash pattern of n lengths; the dash position starts anew.
void set_dash(Context& ctx, const int* dash, int n);
// Sets the pen width (plot units, >= 1) and tells the device.
void set_pen(Context& ctx, int width);

// Saves the line style, pen width, colour and fill pattern and gives them back at the end of
// a scope, so that a routine may change them freely while it draws.
class AttributeScope {
 public:
  explicit AttributeScope(Context& ctx);
  ~AttributeScope();
  AttributeScope(const AttributeScope&) = delete;
  AttributeScope& operator=(const AttributeScope&) = delete;

 private:
  Context& ctx_;
  LineState line_;
  FillState fill_;
  int color_;
};

// Draws a solid polyline of n plot points (relative), whatever the dash pattern in force.
void solid_polyline(Context& ctx, const double* x, const double* y, int n);
// Fills a polygon of plot points (relative) with shading pattern `pattern` (16 solid) in the
// current colour.
void fill_with(Context& ctx, const double* x, const double* y, int n, int pattern);

// ------------------------------------------------------------------------------------------
// Legend records

// The attributes in force as a legend record (line style, symbol, thickness, width, colours).
LegendRecord attributes_in_force(const Context& ctx, bool with_line, bool with_symbol);
// Stores a record under the running curve number and advances it, for routines that draw
// one legend entry per call (bars, shadings, contours).
void add_legend_entry(Context& ctx, const LegendRecord& r);
// Stores record r as curve number k (1..80; other numbers are ignored).
void store_legend_record(Context& ctx, int k, const LegendRecord& r);

// ------------------------------------------------------------------------------------------
// Helpers shared by the chart routines

// Plot-unit length of a legend or bar spacing value v relative to unit u: v >= 0 gives v * u,
// v < 0 the length -v.
inline double spacing_value(double v, double u) { return v >= 0 ? v * u : -v; }
// Index 1..30 of a cycle for call number k (k mod 30, 0 meaning 30).
inline int cycle_slot(int k) {
  int m = k % kCycleLen;
  if (m < 0) m += kCycleLen;
  return m == 0 ? kCycleLen : m;
}
// The interpolating spline of splmod order through n user points: over x (x strictly
// increasing) or, when parametric, over the chord length with both coordinates interpolated.
// Writes npts points (the first and last data points included) into xo, yo; false after the
// warning (31, 32, 38 or 53).
bool spline_curve(Context& ctx, const double* x, const double* y, int n, bool parametric,
                  int npts, double* xo, double* yo);
// Number of points the spline routine writes (splmod points, within what the caller sized).
int spline_output_points(const Context& ctx);

// Draws a label string with its number-mode characters so that its box (upper left corner
// bx, by) is length x height at the current height.
void draw_label(Context& ctx, const char* s, double bx, double by);
double label_length(Context& ctx, const char* s);
// Formats v with ndig decimals (-2 picks the fewest that show v) into buf.
int format_value(Context& ctx, double v, int ndig, char* buf, int cap);

}  // namespace tavero
