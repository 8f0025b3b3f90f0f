// Output of contour lines: plot conversion, the search for straight stretches that take a label,
// the gap cut under each label, and the calling frame shared by every contour-line routine.
#include <cmath>
#include <cstring>
#include <new>

#include "axes/axis_convert.h"
#include "charts/charts.h"
#include "contour/contour.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "text/numfmt.h"
#include "text/text.h"

namespace tavero {

namespace {

constexpr int kLabelBuffer = 500;     // points kept while a label window is searched
constexpr double kFirstLabel = 100;   // line length before the first label
constexpr double kAngleTolerance = 5;  // degrees between segments under a label
constexpr double kMinStep = 0.5;      // shorter steps are dropped while labels are on
constexpr double kRadToDeg = 57.29577951308232;
constexpr double kNoAngle = 1e9;      // the first segment of a line has no predecessor

// Direction angle of a segment in degrees as text angles use it (y grows downwards).
inline double segment_angle(double dx, double dy) {
  return std::fabs(dx) <= 1e-35 ? 90.0 : -std::atan(dy / dx) * kRadToDeg;
}


}  // namespace

// ==========================================================================================
// ContourLine

ContourLine::ContourLine(Context& ctx, double level, int mode) : ctx_(ctx), mode_(mode) {
  if (mode_ == 0) return;
  try {
    bx_.resize(kLabelBuffer);
    by_.resize(kLabelBuffer);
  } catch (const std::bad_alloc&) {
    ok_ = false;
    return;
  }
  const ContourState& c = ctx.contour;
  height_ = text_height(ctx);
  number_ = mode_ == 1 || (mode_ == 3 && ctx.axes.con_label == 1);
  if (number_) {
    char buf[kNumberBufLen];
    format_value(ctx, level, ctx.axes.con_digits, buf, kNumberBufLen);
    text_ = buf;
    NumberTextScope scope(ctx);
    width_ = text_length_at(ctx, buf, height_);
  } else {
    text_ = c.label_text;
    width_ = text_length_at(ctx, c.label_text, height_);
  }
  gap_ = 2 * c.gap_factor * height_;
  extent_ = (c.label_orient == 0 ? width_ : height_) + gap_;
  xfac_ = c.window_factor;
  xquot_ = c.straightness;
  window_ = (2 * xfac_ + 1) * extent_;
  distance_ = ctx.axes.con_labdis;
}

void ContourLine::point(double xu, double yu) {
  double x, y;
  user_to_plot(ctx_, xu, yu, x, y);
  plot_point(x, y);
}

void ContourLine::plot_point(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) {
    // a point the axis cannot show breaks the line; the next one starts anew
    count_nan(ctx_);
    fresh_ = true;
    return;
  }
  if (fresh_) {
    if (mode_) draw_out();
    fresh_ = false;
    qqstrt(ctx_, x, y);
    px_ = x;
    py_ = y;
    acc_ = 0;
    due_ = kFirstLabel;
    collecting_ = false;
    nb_ = 0;
    pang_ = kNoAngle;
    return;
  }
  if (mode_ == 0) {
    qqconn(ctx_, x, y);
    return;
  }
  const double dx = x - px_, dy = y - py_;
  const double d = std::hypot(dx, dy);
  if (d < kMinStep) return;
  const double ang = segment_angle(dx, dy);
  const double turn = std::fabs(ang - pang_);
  pang_ = ang;
  if (!collecting_) {
    acc_ += d;
    if (!(acc_ >= due_ && turn <= kAngleTolerance)) {
      qqconn(ctx_, x, y);
      px_ = x;
      py_ = y;
      return;
    }
    // a label may start here: the segment waits in the buffer
    collecting_ = true;
    sx_ = px_;
    sy_ = py_;
    path_ = 0;
    nb_ = 0;
    due_ = distance_;
  }
  collect(x, y, d);
  px_ = x;
  py_ = y;
}

void ContourLine::collect(double x, double y, double d) {
  const int k = nb_ < kLabelBuffer ? nb_++ : kLabelBuffer - 1;
  bx_[k] = x;
  by_[k] = y;
  const double chord = std::hypot(x - sx_, y - sy_);
  if (chord >= window_) {
    if (nb_ == 1) {
      // one step already spans the window: no room for a label on it
      qqconn(ctx_, x, y);
      nb_ = 0;
      sx_ = x;
      sy_ = y;
      path_ = 0;
      return;
    }
    place_label();
    return;
  }
  path_ += d;
  if (path_ > xquot_ * chord) {
    // too curved for a label: keep what was collected and look further on
    draw_out();
    sx_ = x;
    sy_ = y;
    path_ = 0;
  }
}

void ContourLine::draw_out() {
  for (int k = 0; k < nb_; ++k) qqconn(ctx_, bx_[k], by_[k]);
  nb_ = 0;
}

void ContourLine::place_label() {
  const double lo = xfac_ * extent_, hi = (1 + xfac_) * extent_;
  double bx = sx_, by = sy_;
  int k = 0;
  for (; k < nb_; ++k) {
    const double dk = std::hypot(bx_[k] - sx_, by_[k] - sy_);
    if (dk >= hi) break;
    if (dk < lo) {
      qqconn(ctx_, bx_[k], by_[k]);
      bx = bx_[k];
      by = by_[k];
    }
  }
  if (k >= nb_) k = nb_ - 1;  // (the last point always lies beyond: the window is wider)
  const double ex = bx_[k], ey = by_[k];
  const double chord = std::hypot(ex - bx, ey - by);
  if (chord > 0) {
    const double ux = (ex - bx) / chord, uy = (ey - by) / chord;
    const double a = (chord - extent_) / 2;
    qqconn(ctx_, bx + ux * a, by + uy * a);
    if (mode_ != 3) write_text(bx, by, ex, ey);
    qqstrt(ctx_, bx + ux * (a + extent_), by + uy * (a + extent_));
  }
  for (int j = k; j < nb_; ++j) qqconn(ctx_, bx_[j], by_[j]);
  nb_ = 0;
  collecting_ = false;
  acc_ = 0;
}

void ContourLine::write_text(double bx, double by, double ex, double ey) {
  const double dx = ex - bx, dy = ey - by;
  double ang = std::lround(segment_angle(dx, dy));
  if (ctx_.contour.label_orient == 1) ang = ang == 0 ? 90 : ang > 0 ? ang - 90 : ang + 90;
  // the text box is centred on the middle of the gap; its upper left corner is the anchor
  const double r = ang / kRadToDeg;
  const double ux = std::cos(r), uy = -std::sin(r);   // along the text
  const double vx = -std::sin(r), vy = -std::cos(r);  // towards the top of the glyphs
  const double mx = (bx + ex) / 2, my = (by + ey) / 2;
  const double ax = std::round(mx - width_ / 2 * ux + height_ / 2.0 * vx);
  const double ay = std::round(my - width_ / 2 * uy + height_ / 2.0 * vy);
  const int saved = ctx_.color.current;
  const int lc = ctx_.axes.con_label_color;
  SolidLineScope solid(ctx_);
  if (lc != -1) qqsclr(ctx_, lc);
  if (number_) {
    NumberTextScope scope(ctx_);
    text_draw_at(ctx_, text_.c_str(), ax, ay, height_, ang);
  } else {
    text_draw_at(ctx_, text_.c_str(), ax, ay, height_, ang);
  }
  if (lc != -1) {
    qqflsh(ctx_);
    qqsclr(ctx_, saved);
  }
}

void ContourLine::end_level() {
  if (mode_) draw_out();
  fresh_ = true;
  qqflsh(ctx_);
}

// ==========================================================================================
// The calling frame

void draw_contour_level(Context& ctx, double level, const std::function<bool(LineSink&)>& trace) {
  add_legend_entry(ctx, attributes_in_force(ctx, true, false));
  const int saved_colour = ctx.color.current;
  const double saved_offset = ctx.line.offset;
  const double unit = ctx.core.unit_factor > 0 ? ctx.core.unit_factor : 1.0;
  long passes = std::lround(ctx.charts.thickness * unit);
  if (passes < 1) passes = 1;
  const int mode = ctx.axes.con_label >= 1 && ctx.axes.con_label <= 2 ? ctx.axes.con_label : 0;
  axis_clip_on(ctx);
  for (long k = 1; k <= passes; ++k) {
    qqflsh(ctx);
    const double off = k % 2 == 0 ? k / 2 : -(k / 2);
    ctx.line.offset = off / unit;
    ContourLine line(ctx, level, k == 1 ? mode : (mode ? 3 : 0));
    if (!line.ok()) {
      warn_code(ctx, kMsgNoMemory);
      break;
    }
    if (!trace(line)) break;
    line.end_level();
  }
  qqflsh(ctx);
  ctx.line.offset = saved_offset;
  axis_clip_off(ctx);
  if (ctx.color.current != saved_colour) qqsclr(ctx, saved_colour);
}

bool log_values_ok(Context& ctx, const double* x, long nx, const double* y, long ny) {
  if (ctx.axes.neglog_on) return true;
  const bool lx = ctx.axes.sc[0].log, ly = ctx.axes.sc[1].log;
  bool bad = false;
  for (long i = 0; lx && i < nx && !bad; ++i) bad = x[i] <= 0;
  for (long j = 0; ly && j < ny && !bad; ++j) bad = y[j] <= 0;
  if (bad) warn_code(ctx, 27);
  return !bad;
}

void warn_custom(Context& ctx, int code, const char* text) {
  set_custom_message(ctx, text);
  warn_code(ctx, code);
}

}  // namespace tavero
