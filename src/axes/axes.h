// Services of the axis systems for their own routines and for the other axis-system kinds
// (3-D boxes, maps, colour bars): scaling, label texts, dates and the drawing of one axis.
#pragma once
#include "axes/axis_state.h"
#include "core/context.h"

namespace tavero {

// ------------------------------------------------------------------------------------------
// Scaling

// Result of the automatic scaling of one axis.
struct AutoScale {
  double a = 0, e = 1, org = 0, step = 1;
  int ndig = -1;
  int months = 0;   // month pattern of a date axis
};

// Automatic scaling of axis (0 X, 1 Y, 2 Z) over the data range lo..hi for an axis of len plot
// units; reads the label type, orientation and scaling type of that axis.
void auto_scale(Context& ctx, int axis, double lo, double hi, int len, AutoScale& out);
// The checks of one axis made before an axis system is set up. Returns true when the failure
// is fatal (equal limits, zero step, length below 2); the others are only reported.
bool check_axis(Context& ctx, double a, double e, double org, double step, int len);
// Stores the scaling of one axis; user_lo/user_hi are the data extremes of an automatic axis
// (used instead of the limits when from_data is set).
void store_scale(Context& ctx, int axis, double a, double e, double org, double step, int len,
                 double start, bool from_data, double user_lo, double user_hi);
// Decimals for labdig -2: the fewest that show the first label and the step exactly.
int auto_digits(double org, double step);

// ------------------------------------------------------------------------------------------
// Label texts

// A label string and how it must be drawn: the number form decides the shift characters
// (-1 plain text); lang marks German (1) or Spanish (2) date names with '!' shifts.
struct LabelText {
  char s[80] = "";
  int form = -1;
  int lang = 0;
};

// The text of label `index` with value v (an exponent on logarithmic axes) of axis `axis`
// under the scaling sc, with ndig decimals.
void label_text(Context& ctx, int axis, const AxisScale& sc, double v, int index, int ndig,
                LabelText& out);
// The same for the active axis system; returns the length of the text written to buf.
int axis_label_text(Context& ctx, int axis, double value, char* buf, int cap);

// ------------------------------------------------------------------------------------------
// Dates: day numbers count from 1970-01-01 (proleptic Gregorian).

long long days_from_civil(int y, int m, int d);
void civil_from_days(long long z, int& y, int& m, int& d);
bool valid_date(int d, int m, int y);
// Day number of a label value (days after the base date of basdat).
long long label_day(const Context& ctx, double v);

// ------------------------------------------------------------------------------------------
// Drawing

// One axis to draw: where it stands and which of its parts are wanted.
struct AxisGeom {
  int axis = 0;                // parameter set: 0 X, 1 Y, 2 Z
  const AxisScale* sc = nullptr;
  double x0 = 0, y0 = 0;       // plot position of the scaling value a
  double ux = 1, uy = 0;       // unit vector along the axis (from a towards e)
  double ox = 0, oy = 1;       // unit vector from the axis line to its labels
  int level = 4;               // NONE LINE TICK LABE NAME
  int name_angle = 0;          // 0, 90 or 270
  int ndig = 1;
  bool skip_zero = false;      // no label at 0 (crossed systems: it would sit on the other axis)
};

// Draws line, ticks, labels and name of one axis in their colours.
void draw_axis(Context& ctx, const AxisGeom& g);
// Frame of thickness n round the rectangle x, y (upper left), w by h: n > 0 grows outwards,
// n < 0 inwards.
void draw_frame(Context& ctx, double x, double y, double w, double h, int n);
// Axis geometry of the sides of the rectangular system: 0 lower X, 1 left Y, 2 upper X,
// 3 right Y.
AxisGeom side_geometry(Context& ctx, int side);
// Sets the clipping window and circle of the axis area (LineState) from the active system.
void set_axis_clip(Context& ctx, double x1, double y1, double x2, double y2, double cx, double cy,
                   double r, bool polar);
// Switches to colour c unless it is -1; returns the colour to give back to restore_color.
int use_color(Context& ctx, int c);
void restore_color(Context& ctx, int saved);

}  // namespace tavero
