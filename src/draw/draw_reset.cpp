// Parameter reset of the drawing core.
#include <cstring>

#include "core/context.h"
#include "core/subsystems.h"
#include "draw/colors.h"
#include "draw/fill.h"
#include "draw/pipeline.h"

namespace tavero {

void reset_lines(Context& ctx);

void reset_draw(Context& ctx) {
  ctx.line.cap = 2;
  ctx.line.join = 2;
  reset_lines(ctx);
  reset_colors(ctx);
  reset_fill(ctx);
}

bool reset_named_draw(Context& ctx, const char* key) {
  auto is = [key](const char* k) { return std::memcmp(key, k, 4) == 0; };
  if (is("CLPW") || is("CLPB")) {
    qqflsh(ctx);
    LineState& l = ctx.line;
    l.clip[0] = l.clip[1] = 0;
    l.clip[2] = ctx.core.page_w;
    l.clip[3] = ctx.core.page_h;
    l.clip_source = 0;
    l.circle_clip = 0;
    update_device_clip(ctx, false);
    return true;
  }
  if (is("CLPM") || is("NOCL")) {
    ctx.line.clip_mode = 0;
    return true;
  }
  if (is("LINC")) {
    ctx.line.ndash_colors = 0;
    return true;
  }
  if (is("COLO") || is("SETC")) {
    qqsclr(ctx, ctx.color.foreground);
    return true;
  }
  if (is("COLR")) {
    ctx.color.range_first = 1;
    ctx.color.range_last = ctx.color.above - 1;
    return true;
  }
  if (is("NOAR")) {
    ctx.fill.outline = 1;
    return true;
  }
  if (is("SHDP")) {
    reset_fill_pattern(ctx);
    return true;
  }
  if (is("PATC")) {
    reset_fill_cycle(ctx);
    return true;
  }
  if (is("CLRC")) {
    for (int j = 1; j <= 30; ++j) {
      int k = j % 8;
      ctx.color.cycle[j - 1] = ctx.color.named[(k == 0 ? 8 : k) - 1];
    }
    return true;
  }
  return false;
}

void close_phases_draw(Context&) {}

}  // namespace tavero
