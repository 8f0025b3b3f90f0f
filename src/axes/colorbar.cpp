// The colour bar of colour axis systems: the settings routines, the getters and the drawing
// of the bar (colour stripes, frame and its axis) on any side of the axis system.
#include "axes/colorbar.h"

#include <algorithm>
#include <cmath>

#include "axes/axes.h"
#include "axes/axis_text.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/pipeline.h"
#include "tavero_api.h"
#include "text/text.h"

namespace tavero {

// ------------------------------------------------------------------------------------------
// Settings

void nobar() {
  Context* ctx = enter(R::nobar);
  if (ctx) ctx->axes.bar.shown = 0;
}

void widbar(int nzb) {
  Context* ctx = enter(R::widbar);
  if (ctx && !check_range(*ctx, nzb, 0, 10000)) ctx->axes.bar.width = nzb;
}

void frmbar(int nfrm) {
  Context* ctx = enter(R::frmbar);
  if (ctx && !check_range(*ctx, nfrm, -1000, 1000)) ctx->axes.bar.frame = nfrm;
}

void spcbar(int nspc) {
  Context* ctx = enter(R::spcbar);
  if (ctx && !check_range(*ctx, nspc, -100000, 100000)) ctx->axes.bar.space = nspc;
}

void jusbar(const char* copt) {
  Context* ctx = enter(R::jusbar);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "STAR+CENT+END ", 3, copt);
  if (k) ctx->axes.bar.justify = k - 1;
}

void posbar(const char* copt) {
  Context* ctx = enter(R::posbar);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "FIXE+LEFT+RIGH+BOTT+TOP ", 5, copt);
  if (k) ctx->axes.bar.position = k - 1;
}

void vkxbar(int nvfx) {
  Context* ctx = enter(R::vkxbar);
  if (ctx && !check_range(*ctx, nvfx, -100000, 100000)) ctx->axes.bar.shift_x = nvfx;
}

void vkybar(int nvfy) {
  Context* ctx = enter(R::vkybar);
  if (ctx && !check_range(*ctx, nvfy, -100000, 100000)) ctx->axes.bar.shift_y = nvfy;
}

void vkytit(int nvfy) {
  Context* ctx = enter(R::vkytit);
  if (ctx && !check_range(*ctx, nvfy, -100000, 100000)) ctx->axes.bar.title_shift = nvfy;
}

int getwid() {
  Context* ctx = enter(R::getwid);
  return ctx ? ctx->axes.bar.width : 0;
}

void getvk(int* nytit, int* nxbar, int* nybar) {
  Context* ctx = enter(R::getvk);
  if (!ctx) return;
  const ColorBar& b = ctx->axes.bar;
  *nytit = b.title_shift;
  *nxbar = b.shift_x;
  *nybar = b.shift_y;
}

// No background fill of the axis area (axsbgd) for the following axis systems.
void nofill() {
  Context* ctx = enter(R::nofill);
  if (ctx) ctx->axes.nofill = 1;
}

// ------------------------------------------------------------------------------------------
// Drawing

namespace {

// Widest label (across a horizontal axis: its height) of the scaling sc of axis `axis`.
double widest_label(Context& ctx, int axis, const AxisScale& sc, bool along_x) {
  const AxisParams& p = ctx.axes.ax[axis];
  const int h = text_height(ctx);
  if ((p.labtyp == 0) == along_x) return h;
  double widest = 0;
  const double lo = std::min(sc.a, sc.e), hi = std::max(sc.a, sc.e);
  if (!(std::fabs(sc.step) > 0) || !std::isfinite(sc.org)) return h;
  for (int k = 0; k < 200; ++k) {
    const double v = sc.org + k * sc.step;
    if (v < lo - 1e-9 * (hi - lo) || v > hi + 1e-9 * (hi - lo)) break;
    LabelText t;
    label_text(ctx, axis, sc, v, k, p.digits, t);
    if (t.s[0]) widest = std::max(widest, text_width(ctx, t.s, t.form, t.lang, h));
  }
  return widest;
}

// How far the ticks, labels and name of one axis reach out from its line.
double axis_reach(Context& ctx, int axis, int level, const AxisScale& sc, bool along_x) {
  const AxisState& a = ctx.axes;
  const AxisParams& p = a.ax[axis];
  double r = 0;
  if (level >= 2 && p.ticks > 0 && p.ticpos != 1) r += p.ticpos == 2 ? a.ticlen_major / 2.0 : a.ticlen_major;
  if (level >= 3 && p.label != kLabNone) r += p.labdis + widest_label(ctx, axis, sc, along_x);
  if (level >= 4 && p.name[0]) r += p.namdis + a.hname;
  return r;
}

}  // namespace

void draw_color_bar(Context& ctx, double x, double y, double w, double h, const AxisScale& z,
                    int zlen) {
  const AxisState& as = ctx.axes;
  const ColorBar& b = as.bar;
  if (!b.shown) return;
  const bool vertical = b.position <= kBarRight;
  const double side = vertical ? h : w;
  const double len = zlen >= 2 ? zlen : side;
  if (!(len >= 2) || !(std::fabs(z.e - z.a) > 0)) return;
  const double along = b.justify == 0 ? 0 : b.justify == 1 ? (side - len) / 2 : side - len;
  const double width = b.width;
  // corners of the bar: left, top, right, bottom (plot y downwards)
  double left = 0, top = 0, right = 0, bottom = 0;
  AxisGeom g;
  g.axis = 2;
  g.level = 4;
  g.ndig = as.ax[2].digits;
  switch (b.position) {
    case kBarLeft: {
      const double reach = axis_reach(ctx, 1, as.setgrf[1], as.sc[1], false);
      right = x - b.space - reach;
      left = right - width;
      bottom = y - along;
      g.x0 = left;
      g.ox = -1;
      g.name_angle = 90;
      break;
    }
    case kBarBottom: {
      const double reach = axis_reach(ctx, 0, as.setgrf[0], as.sc[0], true);
      left = x + along;
      top = y + b.space + reach;
      bottom = top + width;
      g.y0 = bottom;
      g.oy = 1;
      g.name_angle = 0;
      break;
    }
    case kBarTop:
      left = x + along;
      bottom = y - h + 1 - b.space;
      top = bottom - width;
      g.y0 = top;
      g.oy = -1;
      g.name_angle = 0;
      break;
    default:  // FIXE and RIGH: the standard place right of the system
      left = x + w - 1 + b.space;
      right = left + width;
      bottom = y - along;
      g.x0 = right;
      g.ox = 1;
      g.name_angle = as.rvynam ? 90 : 270;
      break;
  }
  const double dx = b.shift_x, dy = -b.shift_y;
  AxisScale bar = z;
  bar.len = static_cast<int>(std::lround(len));
  bar.f = (bar.len - 1) / (z.e - z.a);
  const int n = bar.len;
  if (vertical) {
    left += dx, right += dx, bottom += dy;
    top = bottom - n + 1;
    g.x0 += dx;
    g.y0 = bottom;
    g.ux = 0, g.uy = -1;
    g.oy = 0;
    bar.start = bottom;
  } else {
    left += dx, top += dy, bottom += dy;
    right = left + n - 1;
    g.x0 = left;
    g.y0 += dy;
    g.ux = 1, g.uy = 0;
    g.ox = 0;
    bar.start = left;
  }
  // stripes of one plot unit, runs of one colour merged; each run reaches half a unit into
  // the next so that viewers show no seams
  if (width > 0) {
    int prev = -2;
    int from = 0;
    for (int k = 0; k <= n; ++k) {
      int c = -2;
      if (k < n) {
        const double v = z.a + (z.e - z.a) * (k + 0.5) / n;
        c = color_of_value(ctx, z.log ? std::pow(10.0, v) : v);
      }
      if (c == prev) continue;
      if (prev >= 0) {
        const double over = k < n ? 0.5 : 0;
        if (vertical)
          qqfrec(ctx, left, bottom - k - over, right, bottom - from, prev);
        else
          qqfrec(ctx, left + from, top, left + k + over, bottom, prev);
      }
      prev = c;
      from = k;
    }
  }
  if (b.frame != 0) {
    const int saved = use_color(ctx, as.frame_color);
    draw_frame(ctx, left, top, right - left + 1, bottom - top + 1, b.frame);
    restore_color(ctx, saved);
  }
  g.sc = &bar;
  draw_axis(ctx, g);
}

double color_bar_room_above(Context& ctx) {
  const AxisState& as = ctx.axes;
  const ColorBar& b = as.bar;
  if (!b.shown || b.position != kBarTop || !ctx.g3d.sys.colour_system || ctx.core.level != 3 ||
      as.kind != kKindGraf)
    return 0;
  const double room = b.space + b.shift_y + b.width + axis_reach(ctx, 2, 4, ctx.g3d.sys.sc[2], true);
  return std::max(0.0, room);
}

}  // namespace tavero
