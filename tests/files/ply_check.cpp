// Feeds triangles to the PLY export the way the 3-D routines do and writes the file; the
// Python test parses the result.  Usage: ply_check OUT.ply
#include <cmath>
#include <cstdio>

#include "core/context.h"
#include "draw/colors.h"
#include "files/ply.h"
#include "tavero_api.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  using namespace tavero;
  metafl("VIRT");
  tavini();
  errmod("PROT", "OFF");
  Context* ctx = current_context();
  if (!ctx || ply_active(*ctx)) return 3;
  plyini(argv[1]);
  if (!ply_active(*ctx)) return 4;
  // two triangles of a unit square sharing an edge, one colour
  const double x1[3] = {0, 1, 1}, y1[3] = {0, 0, 1}, z1[3] = {0, 0, 0.5};
  const double x2[3] = {0, 1, 0}, y2[3] = {0, 1, 1}, z2[3] = {0, 0.5, 0};
  const int red = make_explicit(255, 0, 0);
  ply_add_triangle(*ctx, x1, y1, z1, red);
  ply_add_triangle(*ctx, x2, y2, z2, red);
  // a triangle with a colour per vertex (indices of the colour table and explicit colours)
  const double x3[3] = {2, 3, 2.5}, y3[3] = {0, 0, 1}, z3[3] = {1e-7, -2.5e6, 3.25};
  const int c3[3] = {0, 255, make_explicit(1, 2, 3)};
  ply_add_triangle(*ctx, x3, y3, z3, c3);
  // left out: a non-finite corner, and a coordinate beyond a float
  const double xn[3] = {0, NAN, 1}, xh[3] = {0, 1e300, 1};
  ply_add_triangle(*ctx, xn, y1, z1, red);
  ply_add_triangle(*ctx, xh, y1, z1, red);
  plyfin();
  if (ply_active(*ctx)) return 5;
  unit(0);
  tavfin();
  return 0;
}
