// Conversion between user coordinates of the current axis system and plot coordinates.
#pragma once
#include "core/context.h"

namespace tavero {

// User point -> plot coordinates (relative to the origin shift, y downwards).
void user_to_plot(Context& ctx, double xu, double yu, double& xp, double& yp);
// Reports a point outside the axis scaling with a check message when checks are on.
void check_scaling(Context& ctx, double xu, double yu);

}  // namespace tavero
