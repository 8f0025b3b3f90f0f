// Parameter reset of the contours: everything at tavini and reset("ALL"), single routines by
// their reset names.
#include <cstring>

#include "core/context.h"
#include "core/subsystems.h"

namespace tavero {

void reset_contour(Context& ctx) { ctx.contour = {}; }

bool reset_named_contour(Context& ctx, const char* key) {
  ContourState& c = ctx.contour;
  const ContourState def;
  auto is = [key](const char* k) { return std::memcmp(key, k, 4) == 0; };
  if (is("CONC")) {
    c.nlevel_colors = 0;
  } else if (is("CONG")) {
    c.gap_factor = def.gap_factor;
  } else if (is("CONM")) {
    c.window_factor = def.window_factor;
    c.straightness = def.straightness;
  } else if (is("MDFM")) {
    c.grid_window_x = def.grid_window_x;
    c.grid_window_y = def.grid_window_y;
    c.grid_weight = def.grid_weight;
  } else if (is("ZSCA")) {
    c.zscale_set = 0;
    c.zscale_min = def.zscale_min;
    c.zscale_max = def.zscale_max;
  } else {
    return false;
  }
  return true;
}

}  // namespace tavero
