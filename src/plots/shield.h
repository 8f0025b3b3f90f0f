// Shielded regions: areas of the page in which lines are not drawn. The store lives in the
// context record (ShieldStore); while it holds regions, the segment filter of the line
// pipeline removes the parts of every segment that fall inside an active region.
//
// Routines that create automatic regions (messages, symbols, bars, pies, legends) call the
// shield_auto_* functions with their kind; they do nothing while shield(kind, "ON") is not in
// force, so callers need no test of their own. Coordinates are plot coordinates relative to
// the origin shift with y downwards, as given to qqstrt.
#pragma once
#include "core/context.h"

namespace tavero {

enum ShieldKind : int {
  kShieldUser = 0, kShieldMess = 1, kShieldSymb = 2, kShieldBars = 3, kShieldPie = 4,
  kShieldLege = 5
};

bool shield_auto_on(const Context& ctx, int kind);

// Axis-parallel rectangle between two corners.
bool shield_auto_rect(Context& ctx, int kind, double x1, double y1, double x2, double y2);
// Rectangle of w by h with its upper left corner at (x, y), turned counterclockwise by angle
// degrees about that corner (the way a rotated text turns about its reference point).
bool shield_auto_rotated_rect(Context& ctx, int kind, double x, double y, double w, double h,
                              double angle);
bool shield_auto_circle(Context& ctx, int kind, double x, double y, double r);
// Sector from alpha counterclockwise to beta (degrees).
bool shield_auto_pie(Context& ctx, int kind, double x, double y, double r, double alpha,
                     double beta);
bool shield_auto_polygon(Context& ctx, int kind, const double* x, const double* y, int n);

// The segment filter (installed in ctx.dev.filter while regions exist).
void shield_filter(Context& ctx, double x1, double y1, double x2, double y2, bool move);
// Empties the store and removes the filter (parameter reset).
void shield_clear(Context& ctx);
// Deletes the automatic regions and switches every automatic kind off (reset "SHIE").
void shield_reset_auto(Context& ctx);

// Lines drawn inside this scope are not shielded (outlines of regions, for example).
class ShieldSuspend {
 public:
  explicit ShieldSuspend(Context& ctx);
  ~ShieldSuspend();
  ShieldSuspend(const ShieldSuspend&) = delete;
  ShieldSuspend& operator=(const ShieldSuspend&) = delete;

 private:
  Context& ctx_;
  int suspended_;
  int hidden_;
  SegmentFilter filter_;
};

}  // namespace tavero
