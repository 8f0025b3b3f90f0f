// Area fill (to be completed: hatching of non-solid patterns).
#include "draw/fill.h"

#include "draw/pipeline.h"
#include "drivers/driver.h"

namespace tavero {

void set_fill_pattern(Context& ctx, int pattern) { ctx.fill.pattern = pattern; }

void reset_fill_pattern(Context& ctx) { set_fill_pattern(ctx, 16); }

void reset_fill_cycle(Context& ctx) {
  for (int i = 0; i < 30; ++i) ctx.fill.cycle[i] = i % 18;
}

void reset_fill(Context& ctx) {
  ctx.fill.factor = 1.0;
  ctx.fill.outline = 1;
  ctx.fill.hw_shade = 1;
  reset_fill_pattern(ctx);
  reset_fill_cycle(ctx);
}

void qqfpol(Context& ctx, const double* x, const double* y, int n) {
  if (n < 2) return;
  qqflsh(ctx);
  if (ctx.fill.hw_shade && ctx.fill.pattern == 16 && ctx.driver && ctx.driver->has_polygon_fill()) {
    double dx[256], dy[256];
    if (n <= 256) {
      for (int i = 0; i < n; ++i)
        to_device(ctx, x[i] + ctx.core.origin_x, y[i] + ctx.core.origin_y, dx[i], dy[i]);
      if (ctx.driver->fill_polygon(dx, dy, n)) return;
    }
  }
  qqstrt(ctx, x[0], y[0]);
  for (int i = 1; i < n; ++i) qqconn(ctx, x[i], y[i]);
  qqconn(ctx, x[0], y[0]);
  qqflsh(ctx);
}

}  // namespace tavero
