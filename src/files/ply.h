// PLY export: between plyini and plyfin (or tavfin) the 3-D routines hand their triangles
// here, and plyfin writes them as one ASCII PLY file (vertices with red, green and blue,
// triangular faces). Vertices with the same position and colour are shared by their faces.
//
// For the 3-D routines:
//   if (ply_active(ctx)) ply_add_triangle(ctx, x, y, z, colours);
// Coordinates are written as given (the 3-D routines pass user coordinates); colours are
// colour values (an index into the colour table or an explicit RGB colour).
#pragma once

#include "core/context.h"

namespace tavero {

bool ply_active(const Context& ctx);
// One triangle with a colour per vertex; triangles with a non-finite coordinate are left out.
void ply_add_triangle(Context& ctx, const double x[3], const double y[3], const double z[3],
                      const int colour[3]);
// One triangle in one colour.
void ply_add_triangle(Context& ctx, const double x[3], const double y[3], const double z[3],
                      int colour);
// Writes the file and ends the export; nothing when it is not enabled.
void ply_finish(Context& ctx);

}  // namespace tavero
