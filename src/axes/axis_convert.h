// Conversion between user coordinates of the active axis system and plot coordinates
// (relative to the origin shift, y downwards), for every routine that plots user data.
#pragma once
#include "core/context.h"

namespace tavero {

// User point -> plot coordinates, clamped to -1e6..1e6. A value <= 0 on a logarithmic axis
// becomes the neglog replacement, or NaN (the line pipeline breaks the line there).
void user_to_plot(Context& ctx, double xu, double yu, double& xp, double& yp);
// Plot point -> user coordinates (the inverse of user_to_plot).
void plot_to_user(Context& ctx, double xp, double yp, double& xu, double& yu);
// One coordinate of a rectangular system: axis 0 X, 1 Y, 2 Z (a scaling value, not logged).
double scale_to_plot(const Context& ctx, int axis, double v);
// User value -> scaling value (log10 on logarithmic axes, with the neglog rule).
double user_to_scale(const Context& ctx, int axis, double v);
// Reports a point outside the axis scaling with a check message when checks are on.
void check_scaling(Context& ctx, double xu, double yu);
// Whether a user point lies inside the axis area.
bool inside_axis_area(Context& ctx, double xu, double yu);

}  // namespace tavero
