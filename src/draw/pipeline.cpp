#include "draw/pipeline.h"

#include <algorithm>
#include <cmath>

#include "core/messages.h"
#include "draw/colors.h"
#include "drivers/driver.h"

namespace tavero {

namespace {

constexpr double kTol = 0.001;
constexpr double kTiny = 1e-35;

inline bool finite2(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

inline void transform(Context& ctx, double& x, double& y) {
  DeviceState& d = ctx.dev;
  if (d.plane_projection == 1 && d.plane_fn) d.plane_fn(ctx, x, y);
  if (d.affine_on) {
    const double* m = d.affine;
    double nx = m[0] * x + m[1] * y + m[2];
    double ny = m[3] * x + m[4] * y + m[5];
    x = nx;
    y = ny;
  }
}

inline void restart_with_last(DeviceState& d) {
  d.bx[0] = d.bx[d.count - 1];
  d.by[0] = d.by[d.count - 1];
  d.count = 1;
}

// Appends an already transformed absolute point; a full buffer is drawn and restarted with
// its last point so consecutive pieces share their end points.
inline void append_point(Context& ctx, double x, double y) {
  DeviceState& d = ctx.dev;
  d.bx[d.count] = x;
  d.by[d.count] = y;
  if (++d.count == kPolyBuf) {
    qqflsh(ctx);
    d.count = 1;  // qqflsh emptied it; the last point is still in slot 99
    d.bx[0] = d.bx[kPolyBuf - 1];
    d.by[0] = d.by[kPolyBuf - 1];
  }
}

// A line continues from the current point when the buffer was emptied by an attribute change.
inline void ensure_start(Context& ctx) {
  DeviceState& d = ctx.dev;
  if (d.count == 0) {
    double x = d.cur_x, y = d.cur_y;
    transform(ctx, x, y);
    d.bx[0] = x;
    d.by[0] = y;
    d.count = 1;
  }
}

// --- emit: plot points -> device runs

inline void run_send(Context& ctx) {
  DeviceState& d = ctx.dev;
  if (d.rn > 0 && ctx.driver) ctx.driver->polyline(d.rx, d.ry, d.rn);
  d.rn = 0;
}

inline void emit_point(Context& ctx, double x, double y, int pen) {
  DeviceState& d = ctx.dev;
  double dx, dy;
  to_device(ctx, x, y, dx, dy);
  if (pen == 3 || d.rn == 0) {
    if (d.rn > 0) run_send(ctx);
    if (pen != 3) {  // a draw without a move continues from the last device point
      d.rx[0] = d.last_dx;
      d.ry[0] = d.last_dy;
      d.rn = 1;
    }
    if (pen == 3) {
      d.rx[0] = dx;
      d.ry[0] = dy;
      d.rn = 1;
      d.last_dx = dx;
      d.last_dy = dy;
      return;
    }
  }
  d.rx[d.rn] = dx;
  d.ry[d.rn] = dy;
  ++d.rn;
  ++ctx.core.vector_count;
  ++d.segments;
  d.last_dx = dx;
  d.last_dy = dy;
  if (d.rn == kRunCap) {
    run_send(ctx);
    d.rx[0] = dx;
    d.ry[0] = dy;
    d.rn = 1;
  }
}

// Interpolation in extended precision so that coordinates near 1e300 do not overflow.
inline double interp(double a1, double b1, double a2, double b2, double a) {
  long double den = static_cast<long double>(a2) - a1;
  if (std::fabs(static_cast<double>(den)) < kTiny) return b1;
  return static_cast<double>(b1 + (static_cast<long double>(b2) - b1) *
                                      (static_cast<long double>(a) - a1) / den);
}

inline int axis_code(double v, int lo, int hi) {
  if (v < lo - kTol) return 1;
  if (v > hi + kTol) return 3;
  return 2;
}

inline void draw_to(Context& ctx, double x1, double y1, double x2, double y2, bool move) {
  if (ctx.dev.filter && !ctx.dev.in_filter) {
    ctx.dev.in_filter = 1;
    ctx.dev.filter(ctx, x1, y1, x2, y2, move);
    ctx.dev.in_filter = 0;
    return;
  }
  if (move) emit_point(ctx, x1, y1, 3);
  emit_point(ctx, x2, y2, 2);
}

void clip_rect(Context& ctx, double x1, double y1, double x2, double y2, bool move) {
  const int* w = ctx.line.clip;
  bool conical = ctx.dev.map_projection >= 20 && ctx.dev.map_projection <= 29;
  for (int guard = 0; guard < 8; ++guard) {
    int cx1 = axis_code(x1, w[0], w[2]), cy1 = axis_code(y1, w[1], w[3]);
    int cx2 = axis_code(x2, w[0], w[2]), cy2 = axis_code(y2, w[1], w[3]);
    int out1 = (cx1 != 2) + (cy1 != 2), out2 = (cx2 != 2) + (cy2 != 2);
    if (out1 == 0 && out2 == 0) {
      draw_to(ctx, x1, y1, x2, y2, move);
      return;
    }
    if ((cx1 == cx2 && cx1 != 2) || (cy1 == cy2 && cy1 != 2)) return;
    if (conical && ((cx1 == 1 && cx2 == 3) || (cx1 == 3 && cx2 == 1))) return;
    if (out1) {
      move = true;
      if (cx1 != 2) {
        double xe = cx1 == 1 ? w[0] : w[2];
        y1 = interp(x1, y1, x2, y2, xe);
        x1 = xe;
      } else {
        double ye = cy1 == 1 ? w[1] : w[3];
        x1 = interp(y1, x1, y2, x2, ye);
        y1 = ye;
      }
    } else {
      if (cx2 != 2) {
        double xe = cx2 == 1 ? w[0] : w[2];
        y2 = interp(x1, y1, x2, y2, xe);
        x2 = xe;
      } else {
        double ye = cy2 == 1 ? w[1] : w[3];
        x2 = interp(y1, x1, y2, x2, ye);
        y2 = ye;
      }
    }
    if (!finite2(x1, y1) || !finite2(x2, y2)) return;
  }
}

inline double dist_c(const LineState& l, double x, double y) {
  return std::hypot(x - l.circle_cx, y - l.circle_cy);
}

void clip_circle(Context& ctx, double x1, double y1, double x2, double y2, bool move) {
  const LineState& l = ctx.line;
  double r = l.circle_r;
  bool in1 = dist_c(l, x1, y1) <= r, in2 = dist_c(l, x2, y2) <= r;
  if (in1 && in2) {
    draw_to(ctx, x1, y1, x2, y2, move);
    return;
  }
  if (in1 != in2) {
    // bisection towards the circle from the inside point
    double ix = in1 ? x1 : x2, iy = in1 ? y1 : y2, ox = in1 ? x2 : x1, oy = in1 ? y2 : y1;
    double mx = ox, my = oy;
    for (int i = 0; i < 20; ++i) {
      mx = 0.5 * (ix + ox);
      my = 0.5 * (iy + oy);
      double dm = dist_c(l, mx, my);
      if (std::fabs(dm - r) < 0.1) break;
      if (dm <= r) {
        ix = mx;
        iy = my;
      } else {
        ox = mx;
        oy = my;
      }
    }
    if (in1)
      draw_to(ctx, x1, y1, mx, my, move);
    else
      draw_to(ctx, mx, my, x2, y2, true);
    return;
  }
  bool azimuthal = ctx.dev.map_projection >= 30 && ctx.dev.map_projection <= 39;
  if (azimuthal && ctx.dev.map_circle && l.clip_mode == 0 && !ctx.dev.hatch_active) return;
  double dx = x2 - x1, dy = y2 - y1;
  if (std::fabs(dx) + std::fabs(dy) < 0.1) return;
  double px[2], py[2];
  double cx = l.circle_cx, cy = l.circle_cy;
  if (std::fabs(dx) < 0.1) {
    double h = r * r - (x1 - cx) * (x1 - cx);
    if (h < 0) return;
    h = std::sqrt(h);
    px[0] = px[1] = x1;
    py[0] = cy - h;
    py[1] = cy + h;
    if (dy < 0) std::swap(py[0], py[1]);
  } else {
    // points x1 + t dx, y1 + t dy on the circle
    double a = dx * dx + dy * dy;
    double b = 2 * (dx * (x1 - cx) + dy * (y1 - cy));
    double c = (x1 - cx) * (x1 - cx) + (y1 - cy) * (y1 - cy) - r * r;
    double disc = b * b - 4 * a * c;
    if (disc <= 0) return;
    double s = std::sqrt(disc);
    double t0 = (-b - s) / (2 * a), t1 = (-b + s) / (2 * a);
    px[0] = x1 + t0 * dx;
    py[0] = y1 + t0 * dy;
    px[1] = x1 + t1 * dx;
    py[1] = y1 + t1 * dy;
  }
  double xlo = std::fmin(x1, x2), xhi = std::fmax(x1, x2);
  double ylo = std::fmin(y1, y2), yhi = std::fmax(y1, y2);
  for (int i = 0; i < 2; ++i) {
    bool inx = px[i] >= xlo && (px[i] < xhi || xlo == xhi);
    bool iny = py[i] >= ylo && (py[i] < yhi || ylo == yhi);
    if (!inx || !iny) return;
  }
  draw_to(ctx, px[0], py[0], px[1], py[1], true);
}

// --- wide lines

void draw_arc_cap(Context& ctx, double ex, double ey, double a, double r) {
  // half circle around (ex, ey), starting at angle a + pi/2 (page angles: y downwards)
  int n = static_cast<int>(M_PI * r / 2.5);
  if (n < 3) return;
  double px = ex + r * std::cos(a + M_PI / 2), py = ey - r * std::sin(a + M_PI / 2);
  for (int i = 1; i <= n; ++i) {
    double ang = a + M_PI / 2 - i * M_PI / (n + 1);
    double qx = ex + r * std::cos(ang), qy = ey - r * std::sin(ang);
    clip_segment(ctx, px, py, qx, qy, i == 1);
    px = qx;
    py = qy;
  }
  double qx = ex + r * std::cos(a - M_PI / 2), qy = ey - r * std::sin(a - M_PI / 2);
  clip_segment(ctx, px, py, qx, qy, false);
}

// Offsets point i of a polyline by r to the left of the direction of travel (page y down).
struct OffsetLine {
  double x1, y1, x2, y2;
};

inline OffsetLine offset_seg(double ax, double ay, double bx, double by, double r) {
  double dx = bx - ax, dy = by - ay;
  double len = std::hypot(dx, dy);
  if (len < kTiny) return {ax, ay, bx, by};
  // normal to the left as seen on the page
  double nx = dy / len * r, ny = -dx / len * r;
  return {ax + nx, ay + ny, bx + nx, by + ny};
}

// Walks one side of the polyline at distance r, joining consecutive offset segments. The
// first point is moved to when `move` is set; returns the last point drawn.
void offset_side(Context& ctx, const double* x, const double* y, int n, double r, bool closed,
                 bool move, double& lx, double& ly) {
  const LineState& l = ctx.line;
  int segs = closed ? n - 1 : n - 1;
  OffsetLine prev = offset_seg(x[0], y[0], x[1], y[1], r);
  double cx = prev.x1, cy = prev.y1;
  if (closed) {
    // start at the join of the last and first segments
    OffsetLine last = offset_seg(x[n - 2], y[n - 2], x[n - 1], y[n - 1], r);
    (void)last;
  }
  bool first_move = move;
  for (int i = 1; i < segs; ++i) {
    OffsetLine cur = offset_seg(x[i], y[i], x[i + 1], y[i + 1], r);
    // join at vertex i
    double d1x = prev.x2 - prev.x1, d1y = prev.y2 - prev.y1;
    double d2x = cur.x2 - cur.x1, d2y = cur.y2 - cur.y1;
    double den = d1x * d2y - d1y * d2x;
    bool miter = false;
    double mx = 0, my = 0;
    if (l.join == 0 && std::fabs(den) > kTiny) {
      double t = ((cur.x1 - prev.x1) * d2y - (cur.y1 - prev.y1) * d2x) / den;
      mx = prev.x1 + t * d1x;
      my = prev.y1 + t * d1y;
      double a1 = std::atan2(d1y, d1x), a2 = std::atan2(d2y, d2x);
      double turn = std::fabs(std::remainder(a2 - a1, 2 * M_PI));
      double h = (M_PI - turn) / 2;  // half the angle between the segments
      double pw = std::fabs(static_cast<double>(l.pen_width));
      miter = !(pw * l.miter < pw / std::max(std::sin(h), kTiny));
    }
    if (miter) {
      clip_segment(ctx, cx, cy, mx, my, first_move);
      cx = mx;
      cy = my;
    } else {
      clip_segment(ctx, cx, cy, prev.x2, prev.y2, first_move);
      clip_segment(ctx, prev.x2, prev.y2, cur.x1, cur.y1, false);
      cx = cur.x1;
      cy = cur.y1;
    }
    first_move = false;
    prev = cur;
  }
  clip_segment(ctx, cx, cy, prev.x2, prev.y2, first_move);
  lx = prev.x2;
  ly = prev.y2;
}

void wide_line(Context& ctx, const double* x, const double* y, int n) {
  const LineState& l = ctx.line;
  double unit = ctx.core.unit_factor;
  int w = static_cast<int>(l.pen_width * unit + 0.5);
  if (w < 2 || n < 2) return;
  int passes = (w + 1) / 3;
  bool closed = n > 2 && std::fabs(x[0] - x[n - 1]) < 0.5 && std::fabs(y[0] - y[n - 1]) < 0.5;
  for (int k = 1; k <= passes; ++k) {
    double r = (k == passes ? w : 3 * k) / 2.0 / unit;
    if (n == 2 || !closed) {
      // along one side, the end cap, back along the other side, the start cap
      double ext = l.cap == 2 ? r : 0;
      double a0 = std::atan2(-(y[1] - y[0]), x[1] - x[0]);
      double a1 = std::atan2(-(y[n - 1] - y[n - 2]), x[n - 1] - x[n - 2]);
      // extended copies of the end points for the LONG cap
      double sx = x[0] - ext * std::cos(a0), sy = y[0] + ext * std::sin(a0);
      double ex = x[n - 1] + ext * std::cos(a1), ey = y[n - 1] - ext * std::sin(a1);
      double px[kPolyBuf], py[kPolyBuf];
      for (int i = 0; i < n; ++i) {
        px[i] = x[i];
        py[i] = y[i];
      }
      px[0] = sx;
      py[0] = sy;
      px[n - 1] = ex;
      py[n - 1] = ey;
      double lx, ly;
      offset_side(ctx, px, py, n, r, false, true, lx, ly);
      double rx[kPolyBuf], ry[kPolyBuf];
      for (int i = 0; i < n; ++i) {
        rx[i] = px[n - 1 - i];
        ry[i] = py[n - 1 - i];
      }
      double rx0 = 0, ry0 = 0;
      {
        OffsetLine o = offset_seg(rx[0], ry[0], rx[1], ry[1], r);
        rx0 = o.x1;
        ry0 = o.y1;
      }
      if (l.cap == 1)
        draw_arc_cap(ctx, x[n - 1], y[n - 1], a1, r);
      else
        clip_segment(ctx, lx, ly, rx0, ry0, false);
      double bx, by;
      offset_side(ctx, rx, ry, n, r, false, l.cap == 1, bx, by);
      OffsetLine o0 = offset_seg(px[0], py[0], px[1], py[1], r);
      if (l.cap == 1)
        draw_arc_cap(ctx, x[0], y[0], a0 + M_PI, r);
      else
        clip_segment(ctx, bx, by, o0.x1, o0.y1, false);
    } else {
      double lx, ly;
      offset_side(ctx, x, y, n, r, true, true, lx, ly);
      double rx[kPolyBuf], ry[kPolyBuf];
      for (int i = 0; i < n; ++i) {
        rx[i] = x[n - 1 - i];
        ry[i] = y[n - 1 - i];
      }
      offset_side(ctx, rx, ry, n, r, true, true, lx, ly);
    }
  }
}

}  // namespace

// ------------------------------------------------------------------------------------------
// stages 1..4

void qqstrt(Context& ctx, double x, double y) {
  DeviceState& d = ctx.dev;
  if (!finite2(x, y)) {
    count_nan(ctx);
    qqflsh(ctx);
    d.broken = 1;
    return;
  }
  x += ctx.core.origin_x;
  y += ctx.core.origin_y;
  d.cur_x = x;
  d.cur_y = y;
  d.broken = 0;
  if (ctx.line.offset != 0.0) {
    ctx.line.restart_pending = 1;
    return;
  }
  qqflsh(ctx);
  transform(ctx, x, y);
  d.bx[0] = x;
  d.by[0] = y;
  d.count = 1;
}

void qqpadd(Context& ctx, double x, double y) {
  DeviceState& d = ctx.dev;
  transform(ctx, x, y);
  if (d.count == 0) {
    d.bx[0] = x;
    d.by[0] = y;
    d.count = 1;
    return;
  }
  if ((d.count == 2 && d.bx[0] == d.bx[1] && d.by[0] == d.by[1]) ||
      (d.count > 2 && d.bx[d.count - 1] == x && d.by[d.count - 1] == y)) {
    d.bx[d.count - 1] = x;
    d.by[d.count - 1] = y;
    return;
  }
  append_point(ctx, x, y);
}

void qqpnew(Context& ctx, double x, double y) {
  DeviceState& d = ctx.dev;
  qqflsh(ctx);
  transform(ctx, x, y);
  d.bx[0] = x;
  d.by[0] = y;
  d.count = 1;
}

namespace {

void set_dash_color(Context& ctx) {
  LineState& l = ctx.line;
  if (l.ndash_colors > 0 && l.ndash > 1) qqsclr(ctx, l.dash_colors[l.dash_color_index - 1]);
}

// Moves the dash position forward by len without drawing (for the parts of very long segments
// that lie far outside the window).
void skip_dash(LineState& l, double len) {
  double period = 0;
  for (int i = 0; i < l.ndash; ++i) period += l.dash[i];
  if (period > 0 && len > 2 * period) len = std::fmod(len, period) + period;
  while (l.dash_remaining < len) {
    len -= l.dash_remaining;
    l.dash_index = l.dash_index % l.ndash + 1;
    l.dash_state = 1 - l.dash_state;
    if (l.dash_state == 1 && l.ndash_colors > 0)
      l.dash_color_index = l.dash_color_index % l.ndash_colors + 1;
    l.dash_remaining = l.dash[l.dash_index - 1];
  }
  l.dash_remaining -= len;
}

// Walks the dashes along a stretch of length L from (cx, cy) in direction (ca, -sa): every
// dash boundary starts or ends a piece; the stretch ends at (ex, ey).
void walk_dashes(Context& ctx, double cx, double cy, double ca, double sa, double L, double ex,
                 double ey) {
  LineState& l = ctx.line;
  while (l.dash_remaining < L) {
    cx += l.dash_remaining * ca;
    cy -= l.dash_remaining * sa;
    if (l.dash_state == 0) {
      qqpadd(ctx, cx, cy);
    } else {
      set_dash_color(ctx);
      qqpnew(ctx, cx, cy);
    }
    l.dash_index = l.dash_index % l.ndash + 1;
    l.dash_state = 1 - l.dash_state;
    if (l.dash_state == 1 && l.ndash_colors > 0)
      l.dash_color_index = l.dash_color_index % l.ndash_colors + 1;
    L -= l.dash_remaining;
    l.dash_remaining = l.dash[l.dash_index - 1];
  }
  if (l.dash_state == 0)
    qqpadd(ctx, ex, ey);
  else
    qqpnew(ctx, ex, ey);
  l.dash_remaining -= L;
}

void dash_segment(Context& ctx, double px, double py) {
  LineState& l = ctx.line;
  DeviceState& d = ctx.dev;
  double cx = d.cur_x, cy = d.cur_y;
  double ux = px, uy = py;  // the end point without the offset
  double a = std::atan2(cy - py, px - cx);
  double L = (py == cy) ? std::fabs(px - cx) : std::fabs((cy - py) / std::sin(a));
  double ca = std::cos(a), sa = std::sin(a);
  if (l.offset != 0.0) {
    cx += l.offset * -sa;
    cy += l.offset * -ca;
    px += l.offset * -sa;
    py += l.offset * -ca;
  }
  if (l.restart_pending) {
    set_dash_color(ctx);
    qqpnew(ctx, cx, cy);
    l.restart_pending = 0;
  } else if (l.dash_state == 0) {
    qqpadd(ctx, cx, cy);
  } else {
    qqpnew(ctx, cx, cy);
  }
  if (l.ndash <= 1) {
    qqpadd(ctx, px, py);
    d.cur_x = ux;
    d.cur_y = uy;
    return;
  }
  // very long segments: skip the parts far outside the window instead of stepping through
  // millions of dashes
  constexpr double kFar = 1e6;
  if (L > kFar) {
    const int* w = l.clip;
    double margin = 1000;
    double t0 = 0, t1 = L;
    // parameter range of the segment inside the widened window
    double dxu = ca, dyu = -sa;
    double lo[2] = {w[0] - margin, w[1] - margin}, hi[2] = {w[2] + margin, w[3] + margin};
    double o[2] = {cx, cy}, dv[2] = {dxu, dyu};
    for (int k = 0; k < 2 && t0 <= t1; ++k) {
      if (std::fabs(dv[k]) < kTiny) {
        if (o[k] < lo[k] || o[k] > hi[k]) t1 = -1;
        continue;
      }
      double ta = (lo[k] - o[k]) / dv[k], tb = (hi[k] - o[k]) / dv[k];
      if (ta > tb) std::swap(ta, tb);
      t0 = std::fmax(t0, ta);
      t1 = std::fmin(t1, tb);
    }
    if (t0 > t1) {
      skip_dash(l, L);
      if (l.dash_state == 0)
        qqpadd(ctx, px, py);
      else
        qqpnew(ctx, px, py);
      d.cur_x = ux;
      d.cur_y = uy;
      return;
    }
    if (t0 > 0) {
      skip_dash(l, t0);
      cx += t0 * ca;
      cy -= t0 * sa;
      L -= t0;
      qqpnew(ctx, cx, cy);
      if (l.dash_state == 0) qqpadd(ctx, cx, cy);
    }
    double rest = L - (t1 - t0);
    L = t1 - t0;
    walk_dashes(ctx, cx, cy, ca, sa, L, cx + L * ca, cy - L * sa);
    if (rest > 0) {
      skip_dash(l, rest);
      qqpnew(ctx, px, py);
    }
    d.cur_x = ux;
    d.cur_y = uy;
    return;
  }
  walk_dashes(ctx, cx, cy, ca, sa, L, px, py);
  d.cur_x = ux;
  d.cur_y = uy;
}

}  // namespace

void qqconn(Context& ctx, double x, double y) {
  DeviceState& d = ctx.dev;
  if (!finite2(x, y)) {
    count_nan(ctx);
    qqflsh(ctx);
    d.broken = 1;
    return;
  }
  if (d.broken) {
    qqstrt(ctx, x, y);
    return;
  }
  x += ctx.core.origin_x;
  y += ctx.core.origin_y;
  const LineState& l = ctx.line;
  if (l.ndash <= 1 && l.offset == 0.0) {
    ensure_start(ctx);
    d.cur_x = x;
    d.cur_y = y;
    transform(ctx, x, y);
    append_point(ctx, x, y);
    return;
  }
  dash_segment(ctx, x, y);
}

void buffer_move(Context& ctx, double x, double y) {
  DeviceState& d = ctx.dev;
  qqflsh(ctx);
  d.bx[0] = x;
  d.by[0] = y;
  d.count = 1;
  d.cur_x = x;
  d.cur_y = y;
}

void buffer_draw(Context& ctx, double x, double y) {
  DeviceState& d = ctx.dev;
  if (!finite2(x, y)) {
    count_nan(ctx);
    qqflsh(ctx);
    return;
  }
  if (d.count == 0) {
    d.bx[0] = d.cur_x;
    d.by[0] = d.cur_y;
    d.count = 1;
  }
  d.cur_x = x;
  d.cur_y = y;
  append_point(ctx, x, y);
}

// ------------------------------------------------------------------------------------------
// stages 5..8

bool outside_clip(const Context& ctx, double x, double y) {
  const LineState& l = ctx.line;
  if (l.circle_clip) return dist_c(l, x, y) > l.circle_r;
  return x < l.clip[0] - kTol || x > l.clip[2] + kTol || y < l.clip[1] - kTol ||
         y > l.clip[3] + kTol;
}

void clip_segment(Context& ctx, double x1, double y1, double x2, double y2, bool move) {
  if (!finite2(x1, y1) || !finite2(x2, y2)) return;
  if (ctx.line.circle_clip)
    clip_circle(ctx, x1, y1, x2, y2, move);
  else
    clip_rect(ctx, x1, y1, x2, y2, move);
}

void emit_segment(Context& ctx, double x1, double y1, double x2, double y2, bool move) {
  if (move) emit_point(ctx, x1, y1, 3);
  emit_point(ctx, x2, y2, 2);
}

void emit_flush(Context& ctx) { run_send(ctx); }

void qqplot(Context& ctx, double x, double y, int pen) {
  emit_point(ctx, x, y, pen == 3 ? 3 : 2);
}

void qqflsh(Context& ctx) {
  DeviceState& d = ctx.dev;
  if (d.count == 0 || d.in_flush) return;
  d.in_flush = 1;
  const int n = d.count;
  const double* x = d.bx;
  const double* y = d.by;
  bool all_in = !outside_clip(ctx, x[0], y[0]);
  if (all_in) emit_point(ctx, x[0], y[0], 3);
  for (int i = 1; i < n; ++i) {
    if (all_in && !outside_clip(ctx, x[i], y[i])) {
      if (d.filter)
        draw_to(ctx, x[i - 1], y[i - 1], x[i], y[i], false);
      else
        emit_point(ctx, x[i], y[i], 2);
    } else {
      all_in = false;
      clip_segment(ctx, x[i - 1], y[i - 1], x[i], y[i], false);
    }
  }
  if (ctx.line.pen_width >= 2) wide_line(ctx, x, y, n);
  run_send(ctx);
  d.count = 0;
  d.in_flush = 0;
}

// ------------------------------------------------------------------------------------------
// attributes

void qqsclr(Context& ctx, int colour) {
  if (!ctx.dev.in_flush)
    qqflsh(ctx);
  else
    run_send(ctx);
  ctx.color.current = colour;
  if (ctx.driver) {
    ctx.driver->end_path();
    ctx.driver->set_color(resolve_color(ctx, colour));
  }
}

void update_device_clip(Context& ctx, bool on) {
  if (ctx.driver) {
    ctx.driver->end_path();
    ctx.driver->set_clip(on, ctx.line.clip);
  }
}

void qqfrec(Context& ctx, double x1, double y1, double x2, double y2, int colour) {
  qqflsh(ctx);
  x1 += ctx.core.origin_x;
  x2 += ctx.core.origin_x;
  y1 += ctx.core.origin_y;
  y2 += ctx.core.origin_y;
  DeviceState& d = ctx.dev;
  if (d.affine_on) {
    // a transformed rectangle is a polygon: fill it as one, solid, in the colour
    double px[4] = {x1, x2, x2, x1}, py[4] = {y1, y1, y2, y2};
    for (int i = 0; i < 4; ++i) {
      px[i] -= ctx.core.origin_x;
      py[i] -= ctx.core.origin_y;
    }
    int saved_pattern = ctx.fill.pattern;
    int saved_colour = ctx.color.current;
    ctx.fill.pattern = 16;
    qqsclr(ctx, colour);
    qqfpol(ctx, px, py, 4);
    ctx.fill.pattern = saved_pattern;
    qqsclr(ctx, saved_colour);
    return;
  }
  if (d.plane_projection == 1 && d.plane_fn) {
    double px[4] = {x1, x2, x2, x1}, py[4] = {y1, y1, y2, y2};
    int saved_pattern = ctx.fill.pattern;
    int saved_colour = ctx.color.current;
    d.plane_projection = 2;
    for (int i = 0; i < 4; ++i) {
      px[i] -= ctx.core.origin_x;
      py[i] -= ctx.core.origin_y;
    }
    ctx.fill.pattern = 16;
    qqsclr(ctx, colour);
    qqfpol(ctx, px, py, 4);
    ctx.fill.pattern = saved_pattern;
    qqsclr(ctx, saved_colour);
    d.plane_projection = 1;
    return;
  }
  const int* w = ctx.line.clip;
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  x1 = std::fmax(x1, w[0]);
  y1 = std::fmax(y1, w[1]);
  x2 = std::fmin(x2, w[2]);
  y2 = std::fmin(y2, w[3]);
  if (x2 < x1 || y2 < y1) return;
  DeviceColor c = resolve_color(ctx, colour);
  if (ctx.driver && ctx.driver->fill_rect(x1, y1, x2, y2, c)) return;
  // no rectangle fill on this device: horizontal hatch lines in the colour
  int saved = ctx.color.current;
  qqsclr(ctx, colour);
  double step = 1.4 / ctx.core.unit_factor;
  for (double yy = y1; yy < y2; yy += step) {
    clip_segment(ctx, x1, yy, x2, yy, true);
  }
  clip_segment(ctx, x1, y2, x2, y2, true);
  run_send(ctx);
  qqsclr(ctx, saved);
}

// ------------------------------------------------------------------------------------------
// solid lines for a while

SolidLineScope::SolidLineScope(Context& ctx) : ctx_(ctx) {
  qqflsh(ctx);
  LineState& l = ctx.line;
  std::copy(l.dash, l.dash + 10, dash_);
  ndash_ = l.ndash;
  dash_index_ = l.dash_index;
  dash_state_ = l.dash_state;
  ndash_colors_ = l.ndash_colors;
  dash_remaining_ = l.dash_remaining;
  offset_ = l.offset;
  l.ndash = 1;
  l.dash[0] = 1;
  l.dash_remaining = 1;
  l.dash_state = 0;
  l.dash_index = 1;
  l.offset = 0;
  l.ndash_colors = 0;
}

SolidLineScope::~SolidLineScope() {
  qqflsh(ctx_);
  LineState& l = ctx_.line;
  std::copy(dash_, dash_ + 10, l.dash);
  l.ndash = ndash_;
  l.dash_index = dash_index_;
  l.dash_state = dash_state_;
  l.ndash_colors = ndash_colors_;
  l.dash_remaining = dash_remaining_;
  l.offset = offset_;
}

// ------------------------------------------------------------------------------------------
// clipping to the axis system

void axis_clip_on(Context& ctx) {
  LineState& l = ctx.line;
  if (l.clip_source == 2 || ctx.dev.plane_projection != 0 || l.axis_clip_on) return;
  qqflsh(ctx);
  for (int i = 0; i < 4; ++i) l.saved_clip[i] = l.clip[i];
  l.axis_clip_on = 1;
  if (l.clip_mode == 1) return;
  bool azimuthal = ctx.dev.map_projection >= 30 && ctx.dev.map_projection <= 39;
  if (l.clip_mode == 2 || l.axis_polar || (l.clip_mode == 0 && azimuthal && ctx.dev.map_circle)) {
    l.circle_clip = 1;
    l.circle_cx = l.axis_cx;
    l.circle_cy = l.axis_cy;
    l.circle_r = l.axis_r;
  } else {
    l.clip[0] = std::max(l.clip[0], l.axis_frame[0]);
    l.clip[1] = std::max(l.clip[1], l.axis_frame[1]);
    l.clip[2] = std::min(l.clip[2], l.axis_frame[2]);
    l.clip[3] = std::min(l.clip[3], l.axis_frame[3]);
  }
  update_device_clip(ctx, true);
}

void axis_clip_off(Context& ctx) {
  LineState& l = ctx.line;
  if (!l.axis_clip_on) return;
  l.axis_clip_on = 0;
  if (l.clip_mode == 1) return;
  qqflsh(ctx);
  for (int i = 0; i < 4; ++i) l.clip[i] = l.saved_clip[i];
  l.circle_clip = 0;
  update_device_clip(ctx, false);
}

}  // namespace tavero
