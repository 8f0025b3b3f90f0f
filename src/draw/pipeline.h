// The line pipeline of the drawing core.
//
// Every line the library draws passes these stages, in this order:
//
//   1. qqstrt / qqconn        a drawing routine gives points in plot coordinates (origin shift
//                             added here). Non-finite points are counted for the end protocol
//                             and break the line: the next finite point starts a new one.
//   2. dash engine            the line style (dash pattern, dash colours, curve offset) cuts
//                             the path into pen-down and pen-up pieces (qqpadd / qqpnew). A
//                             solid line without offset skips it. The dash position carries
//                             over from segment to segment and line to line.
//   3. transform              the plane projection of 3-D axis systems and the affine
//                             transform of shielded regions, when their flags are on.
//   4. polyline buffer        up to 100 points; when full it is flushed and restarted with its
//                             last point, so any line reaches the device in pieces of at most
//                             100 points that share their end points.
//   5. qqflsh: clip           each segment against the clipping window or circle (attributes
//                             apply at flush time, which is why every attribute change flushes
//                             first). Points inside the window go straight on; once a point
//                             lies outside, the rest of the buffer goes through the segment
//                             clipper.
//   6. filter                 hidden-line removal or shielded regions, when installed.
//   7. emit                   plot -> device units (DeviceMap) and one driver call per run of
//                             connected points (driver->polyline), not one per point.
//   8. wide lines             widths of 2 and more on devices that cannot draw them are drawn
//                             as outline passes through stages 5 to 7.
//
// The stages share the buffers of the context record; nothing here allocates per point.
#pragma once
#include "core/context.h"

namespace tavero {

// --- stages 1..4: building a polyline
void qqstrt(Context& ctx, double x, double y);   // plot point relative to the origin shift
void qqconn(Context& ctx, double x, double y);
void qqpadd(Context& ctx, double x, double y);   // absolute plot point, pen down
void qqpnew(Context& ctx, double x, double y);   // absolute plot point, pen up
// Raw buffer access without origin, style or duplicate check (xmove / xdraw).
void buffer_move(Context& ctx, double x, double y);
void buffer_draw(Context& ctx, double x, double y);

// --- stages 5..8
void qqflsh(Context& ctx);
// The device primitive for one absolute plot point: pen 3 move, 2 draw.
void qqplot(Context& ctx, double x, double y, int pen);
// Draws one segment (absolute plot coordinates) through clipping, filter and emit; the move to
// its first point is issued when `move` is set or the first point had to be clipped.
void clip_segment(Context& ctx, double x1, double y1, double x2, double y2, bool move);
// Stage 7 entry for filters: an already clipped segment.
void emit_segment(Context& ctx, double x1, double y1, double x2, double y2, bool move);
// Sends a pending run of device points to the driver (before anything else reaches it).
void emit_flush(Context& ctx);

// Outside test of a point against the clipping window or circle (tolerance 0.001).
bool outside_clip(const Context& ctx, double x, double y);
// Plot -> device units.
inline void to_device(const Context& ctx, double x, double y, double& dx, double& dy);

// --- attributes through the device
void qqsclr(Context& ctx, int colour);
void qqfrec(Context& ctx, double x1, double y1, double x2, double y2, int colour);
void qqfpol(Context& ctx, const double* x, const double* y, int n);
// Sets the device clip after the clipping window changed.
void update_device_clip(Context& ctx, bool on);

// --- clipping to the axis system (around every routine that plots user coordinates)
void axis_clip_on(Context& ctx);
void axis_clip_off(Context& ctx);

// Draws with a solid line, no curve offset and no dash colours while it lives (axes, frames,
// ticks, glyphs, symbols), then gives the caller's line style back with its dash position.
class SolidLineScope {
 public:
  explicit SolidLineScope(Context& ctx);
  ~SolidLineScope();
  SolidLineScope(const SolidLineScope&) = delete;
  SolidLineScope& operator=(const SolidLineScope&) = delete;

 private:
  Context& ctx_;
  int dash_[10];
  int ndash_, dash_index_, dash_state_, ndash_colors_;
  double dash_remaining_, offset_;
};

// ------------------------------------------------------------------------------------------

inline void to_device(const Context& ctx, double x, double y, double& dx, double& dy) {
  const DeviceMap& m = ctx.dev.map;
  dx = m.a * x + m.b * y + m.c;
  dy = m.d * x + m.e * y + m.f;
  if (m.round) {
    dx = static_cast<double>(static_cast<long long>(dx + 0.5));
    dy = static_cast<double>(static_cast<long long>(dy + 0.5));
  }
}

}  // namespace tavero
