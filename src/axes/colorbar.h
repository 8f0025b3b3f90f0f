// The colour bar of colour axis systems: its settings (widbar, frmbar, spcbar, jusbar, posbar,
// nobar, vkxbar, vkybar, vkytit) and its drawing beside the axis system.
#pragma once

namespace tavero {

struct Context;
struct AxisScale;

struct ColorBar {
  int shown = 1;          // nobar clears it
  int width = 85;         // widbar, plot units
  int frame = 1;          // frmbar: frame thickness (0 none, < 0 inwards)
  int space = 85;         // spcbar: distance from the axis system
  int justify = 0;        // jusbar: STAR CENT END (bars shorter than their side)
  int position = 0;       // posbar: FIXE LEFT RIGH BOTT TOP
  int shift_x = 0;        // vkxbar: to the right
  int shift_y = 0;        // vkybar: upwards
  int title_shift = 0;    // vkytit: titles of the axis system upwards
};

enum BarPosition : int { kBarFixed = 0, kBarLeft, kBarRight, kBarBottom, kBarTop };

// Draws the bar of the colour scaling `z` beside the axis area with lower left corner
// (x, y) and size w by h; `zlen` is the length given to the z axis (0: the side's length).
// The colour scaling of the system must be in force.
void draw_color_bar(Context& ctx, double x, double y, double w, double h, const AxisScale& z,
                    int zlen);

// Room that a colour bar above the active colour system takes above the axis area (0 when
// there is none): title lines start beyond it.
double color_bar_room_above(Context& ctx);

}  // namespace tavero
