// Fields of the context record owned by the drawing core: the device state with its
// polyline buffer, line attributes and clipping, colours and the colour table, fill patterns.
#pragma once
#include <cstdint>

namespace tavero {

struct Context;

inline constexpr int kPolyBuf = 100;  // points per buffered polyline piece
inline constexpr int kRunCap = 256;   // device points handed to the driver in one call

// Plot coordinates -> device units: X = a x + b y + c, Y = d x + e y + f, then rounding for
// integer devices (trunc(v + 0.5), as the devices expect).
struct DeviceMap {
  double a = 1, b = 0, c = 0, d = 0, e = 1, f = 0;
  bool round = false;
};

// A segment filter between clipping and the device (hidden lines, shielded regions). It gets
// each visible segment in absolute plot coordinates and draws what remains through
// emit_segment(); while none is installed the pipeline never calls it.
using SegmentFilter = void (*)(Context& ctx, double x1, double y1, double x2, double y2,
                               bool move);

struct DeviceState {
  double scale = 1.0;             // device units per plot unit
  DeviceMap map;
  int colour_depth = 8;           // 8 indices, 24 true colour
  // polyline buffer (absolute plot coordinates)
  double bx[kPolyBuf], by[kPolyBuf];
  int count = 0;
  double cur_x = 0, cur_y = 0;    // current point (absolute, without curve offset)
  uint8_t in_flush = 0;
  int plane_projection = 0;       // 1 while grfini is active, 2 while qqfrec draws through it
  int affine_on = 0;               // the 2-D transformation of trfrot, trfscl, trfshf
  double affine[6] = {1, 0, 0, 0, 1, 0};
  SegmentFilter filter = nullptr;
  uint8_t in_filter = 0;
  int hidden_on = 0;              // hidden-line stage active
  int hatch_active = 0;           // a fill is hatching (no azimuthal circle rule)
  int map_projection = 0;         // projection code of the map axis system (conical 20..29, azimuthal 30..39)
  int map_circle = 0;             // azimuthal map clips against its circle
  unsigned segments = 0;
  // the run of connected device points not yet handed to the driver
  double rx[kRunCap], ry[kRunCap];
  int rn = 0;
  int broken = 0;                 // a non-finite point broke the line; the next point starts anew
  // plane projection of 3-D axis systems (installed by grfini)
  void (*plane_fn)(Context& ctx, double& x, double& y) = nullptr;
  // last device point reached (for drivers that need the previous point)
  double last_dx = 0, last_dy = 0;
  int buffer_output = 0;          // bufmod
  int clip_widen = 0;             // screen setting: widen the device clip by one pixel
};

struct LineState {
  int line_type = 0;
  int dash[10] = {1};
  int ndash = 1;
  double dash_remaining = 1;
  int dash_index = 1;
  int dash_state = 0;             // 0 inside a dash, 1 inside a gap
  int dash_colors[10] = {};
  int ndash_colors = 0;
  int dash_color_index = 1;
  double offset = 0.0;            // curve offset (plot units)
  int restart_pending = 0;
  int pen_width = 1;              // negative: the device draws width -pen_width itself
  int cap = 2, join = 2;
  double miter = 2.0;
  uint8_t hw_line = 1;
  int clip[4] = {0, 0, 2969, 2099};   // x min, y min, x max, y max
  int saved_clip[4] = {0, 0, 2969, 2099};
  int circle_clip = 0;
  double circle_cx = 0, circle_cy = 0, circle_r = 0;
  uint8_t clip_mode = 0;          // AUTO NONE CIRC RECT
  uint8_t clip_source = 0;        // 0 page, 1 clpwin, 2 axis border
  int axis_clip_on = 0;           // clipping to the axis system is switched on
  // the frame of the current axis system, set by the axis routines
  int axis_frame[4] = {0, 0, 2969, 2099};
  int axis_polar = 0;
  double axis_cx = 0, axis_cy = 0, axis_r = 0;
};

struct ColorState {
  int current = 0;                // current colour value
  uint32_t table[256] = {};       // 0x00RRGGBB
  int table_name = 1;             // SMAL RAIN SPEC GREY RRAI RSPE RGRE VGA TEMP
  int usable = 256;
  int named[9] = {};              // WHIT RED GREE YELL BLUE ORAN CYAN MAGE BLAC
  int foreground = 255, background = 0, below = 0, above = 255;
  int range_first = 1, range_last = 254;
  int cycle[30] = {};
  uint8_t table_kept = 0;
  uint8_t clr_mode = 0;           // clrmod
  uint8_t image_format = 0;       // imgfmt: 0 IND, 1 RGB, 2 BIL
  // colour scaling (colour of a value)
  double scale_za = 0, scale_ze = 1, scale_lo = 0, scale_hi = 1, scale_f = 0;
  int scale_log = 0;
};

struct FillState {
  int pattern = 16;
  int cycle[30] = {};
  int angle = 0, cross = 0, type = 1, density = 0;
  double spacing = 1.0;
  int group_size = 0, group_skip = 0;
  double factor = 1.0;            // shdfac
  int outline = 1;
  uint8_t hw_shade = 1;
};

}  // namespace tavero
