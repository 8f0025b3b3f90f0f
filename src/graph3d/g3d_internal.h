// Helpers shared by the files of the 3-D graphics only.
#pragma once
#include "graph3d/g3d.h"

namespace tavero {

// Lower left corner and lengths of the next axis system's area (relative plot units).
void layout_area(Context& ctx, double& x, double& y, double& w, double& h);
// Automatic scaling, checks and storage of the three axis scalings (as graf does); false
// after a fatal check.
bool setup_scaling(Context& ctx, const double given[3][4], const int lens[3],
                   const double starts[3]);
// The axis scaling, kind and clipping frame of the active system back into the axis state
// (after 2-D systems drawn inside grfini).
void restore_system(Context& ctx);
// The three axes of graf3d, each in its plane of the box.
void draw_3d_axes(Context& ctx);

// Reports a user point outside the axis scaling once per call (check messages).
class ScalingCheck {
 public:
  explicit ScalingCheck(Context& ctx);
  void operator()(double x, double y, double z);

 private:
  Context& ctx_;
  bool on_, done_ = false;
};

// Smallest and largest finite values of an array; false when there are none.
bool finite_range(const double* v, int n, double& lo, double& hi);

// The mesh colour as red, green, blue 0..1 (mshclr, else the current colour).
void mesh_rgb(const Context& ctx, double rgb[3]);

// A tube of radius r (box units) between two box points in the colour rgb (curves in a
// z-buffer).
void tube_between(Context& ctx, FacetSink& sink, const double b1[3], const double b2[3], double r,
                  const double rgb[3]);

// Closes what the buffers hold at tavfin or on a new page.
void close_buffers(Context& ctx);

}  // namespace tavero
