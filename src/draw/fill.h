// Area fill: shading patterns, the hardware polygon fill and the software hatcher.
#pragma once
#include "core/context.h"

namespace tavero {

// Sets the pattern from a shdpat value or a pattern-cycle entry: 0..17 are the predefined
// patterns, larger values are pattern codes (angle * 1000 + type * 100 + density * 10 + cross).
void set_fill_pattern(Context& ctx, int pattern);
// Sets the pattern from a code; the stored pattern number is the code itself (mypat).
void set_fill_code(Context& ctx, int code);
// The pattern code of a shdpat value.
int pattern_code(int pattern);
// Distance between hatch lines of the current pattern in plot units (scale factor and unit
// factor applied).
double hatch_spacing(const Context& ctx);

void reset_fill(Context& ctx);
void reset_fill_pattern(Context& ctx);
void reset_fill_cycle(Context& ctx);

// Settings of the figure routines that the record has no field for yet, kept per record.
struct DrawExtras {
  int circle_spacing = 10;  // circsp: distance of the points of circles and ellipses
  int no_background = 0;    // nobgd: shading skips points in the background colour
};
DrawExtras& draw_extras(const Context& ctx);
inline bool suppress_background(const Context& ctx) { return draw_extras(ctx).no_background != 0; }

// An area in plot coordinates relative to the origin shift, as areaf draws it: the fill with
// the current pattern (when its type is not 0) and the closed outline (when the outline flag
// is set); n equal points draw a dot.
void draw_area(Context& ctx, const double* x, const double* y, int n);
// A closed outline through the line pipeline; the colour is restored when dash colours
// changed it.
void draw_outline(Context& ctx, const double* x, const double* y, int n);

// The software hatcher (hatch.cpp): the current pattern's lines over the polygon, even-odd
// rule. Non-finite points must have been removed.
void hatch_polygon(Context& ctx, const double* x, const double* y, int n);

}  // namespace tavero
