// The arrow routine that draws every arrow of the library, for the vector routines and for
// the other subsystems that attach arrows to their lines (streamlines, pie labels, 3-D vectors).
#pragma once
#include <vector>

#include "core/context.h"

namespace tavero {

// Head size of an arrow: fixed, proportional to the vector length, or the current symbol size.
enum ArrowSize : int { kArrowFixed = 0, kArrowProportional = 1, kArrowSymbol = 2 };

// One arrow from (x1, y1) to (x2, y2) in plot coordinates relative to the origin shift (y
// downwards) with the vector type ivec (-1 the open style of vecopt, else the four digits
// width, size, form, position). Heads are drawn in the vector colour when it is an index.
// Reports message 2 for a bad type; non-finite points are counted and skipped.
void draw_arrow(Context& ctx, double x1, double y1, double x2, double y2, int ivec,
                int size_mode = kArrowFixed, bool no_shaft = false);

// Whether ivec is a valid vector type (-1..9999); reports message 2 with ivec when not.
bool check_vector_type(Context& ctx, int ivec);

// Automatic scaling of vector fields: the smallest positive squared distance between two of
// the points (z may be null for 2-D points), the smallest positive squared gap between values,
// and the factor that makes the longest vector as long as that distance (1 when undefined).
double closest_pair(const std::vector<double>& x, const std::vector<double>& y,
                    const std::vector<double>* z = nullptr);
double smallest_gap2(std::vector<double> v);
double auto_factor(double dist2, double len2);

}  // namespace tavero
