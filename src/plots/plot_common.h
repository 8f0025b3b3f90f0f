// Small helpers shared by the routines of this folder: attribute scopes, the checks of
// routines that plot user coordinates, and page-origin conversion.
#pragma once
#include <cmath>
#include <cstring>

#include "axes/axis_state.h"
#include "core/context.h"
#include "core/messages.h"
#include "draw/pipeline.h"

namespace tavero {

inline double page_y(const Context& ctx, double y) {
  return ctx.core.page_origin == 1 ? ctx.core.page_h - y : y;
}

// Solid lines without offset or dash colours for the duration of a scope; the caller's style
// and dash position come back unchanged.
class SolidScope {
 public:
  explicit SolidScope(Context& ctx) : ctx_(ctx) {
    LineState& l = ctx.line;
    qqflsh(ctx);
    ndash_ = l.ndash;
    std::memcpy(dash_, l.dash, sizeof dash_);
    remaining_ = l.dash_remaining;
    index_ = l.dash_index;
    state_ = l.dash_state;
    offset_ = l.offset;
    colours_ = l.ndash_colors;
    l.ndash = 1;
    l.dash[0] = 1;
    l.dash_remaining = 1;
    l.dash_index = 1;
    l.dash_state = 0;
    l.offset = 0;
    l.ndash_colors = 0;
  }
  ~SolidScope() {
    LineState& l = ctx_.line;
    qqflsh(ctx_);
    l.ndash = ndash_;
    std::memcpy(l.dash, dash_, sizeof dash_);
    l.dash_remaining = remaining_;
    l.dash_index = index_;
    l.dash_state = state_;
    l.offset = offset_;
    l.ndash_colors = colours_;
    l.restart_pending = 0;
  }
  SolidScope(const SolidScope&) = delete;
  SolidScope& operator=(const SolidScope&) = delete;

 private:
  Context& ctx_;
  int ndash_, dash_[10], index_, state_, colours_;
  double remaining_, offset_;
};

// Gives back the colour that was current when the scope began.
class ColorKeeper {
 public:
  explicit ColorKeeper(Context& ctx) : ctx_(ctx), saved_(ctx.color.current) {}
  ~ColorKeeper() {
    if (ctx_.color.current != saved_) qqsclr(ctx_, saved_);
  }
  ColorKeeper(const ColorKeeper&) = delete;
  ColorKeeper& operator=(const ColorKeeper&) = delete;

 private:
  Context& ctx_;
  int saved_;
};

// Clipping to the axis system for the duration of a scope (nested scopes leave it on).
class AxisClipScope {
 public:
  explicit AxisClipScope(Context& ctx) : ctx_(ctx), owner_(!ctx.line.axis_clip_on) {
    if (owner_) axis_clip_on(ctx);
  }
  ~AxisClipScope() {
    if (owner_)
      axis_clip_off(ctx_);
    else
      qqflsh(ctx_);
  }
  AxisClipScope(const AxisClipScope&) = delete;
  AxisClipScope& operator=(const AxisClipScope&) = delete;

 private:
  Context& ctx_;
  bool owner_;
};

// Message 27 when a logarithmic axis meets a value that is not positive (NaN is left to the
// line pipeline, which counts it). Either array may be null.
inline bool log_values_ok(Context& ctx, const double* x, const double* y, long n) {
  const AxisState& a = ctx.axes;
  if (a.kind != kKindGraf && a.kind != kKindNone) return true;
  for (int axis = 0; axis < 2; ++axis) {
    const double* v = axis == 0 ? x : y;
    if (!v || !a.sc[axis].log) continue;
    for (long i = 0; i < n; ++i)
      if (v[i] <= 0) {
        warn_code(ctx, 27);
        return false;
      }
  }
  return true;
}

// The 2-D field routines refuse a 3-D axis system with message 35.
inline bool refuse_3d(Context& ctx) {
  if (ctx.core.level == 3 && ctx.axes.kind == kKind3d) {
    warn_code(ctx, 35);
    return true;
  }
  return false;
}

}  // namespace tavero
