// Parameter reset of the drawing core: everything at tavini and reset("ALL"), and the reset
// names of the line, colour, fill and figure routines.
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
  LineState& l = ctx.line;
  ColorState& c = ctx.color;
  // --- lines and clipping
  if (is("CLPW") || is("CLPB")) {
    qqflsh(ctx);
    l.clip[0] = l.clip[1] = 0;
    l.clip[2] = ctx.core.page_w;
    l.clip[3] = ctx.core.page_h;
    l.clip_source = 0;
    l.circle_clip = 0;
    l.axis_clip_on = 0;
    update_device_clip(ctx, false);
    return true;
  }
  if (is("CLPM") || is("NOCL")) {
    l.clip_mode = 0;
    return true;
  }
  if (is("LINC")) {
    l.ndash_colors = 0;
    l.dash_color_index = 1;
    return true;
  }
  // --- colours
  if (is("COLO") || is("SETC")) {
    qqsclr(ctx, c.foreground);
    return true;
  }
  if (is("COLR")) {
    c.range_first = 1;
    c.range_last = c.above - 1;
    return true;
  }
  if (is("CLRC")) {
    reset_color_cycle(ctx);
    return true;
  }
  // --- fill and figures
  if (is("SHDP")) {
    reset_fill_pattern(ctx);
    return true;
  }
  if (is("PATC")) {
    reset_fill_cycle(ctx);
    return true;
  }
  if (is("NOAR")) {
    ctx.fill.outline = 1;
    return true;
  }
  if (is("NOBG")) {
    draw_extras(ctx).no_background = 0;
    return true;
  }
  if (is("CIRC")) {
    draw_extras(ctx).circle_spacing = DrawExtras{}.circle_spacing;
    return true;
  }
  return false;
}

void close_phases_draw(Context&) {}

}  // namespace tavero
