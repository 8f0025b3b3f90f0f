// Lines on maps: the line modes between map points (straight, interpolated in degrees, great
// circles), curves and the graticule, and single map axes.
#include <algorithm>
#include <cmath>
#include <vector>

#include "axes/axes.h"
#include "core/entry.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "maps/map_axes.h"
#include "maps/maps.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;
constexpr int kMaxSteps = 20000;  // interpolation points of one segment (a few turns round the globe)

bool map_active(Context& ctx) {
  if (ctx.axes.kind == kKindMap && ctx.maps.sys.active) return true;
  set_custom_message(ctx, "No call to GRAFMP before");
  warn_code(ctx, 166);
  return false;
}

inline double page_y(const Context& ctx, double y) {
  return ctx.core.page_origin == 1 ? ctx.core.page_h - y : y;
}

}  // namespace

// ------------------------------------------------------------------------------------------
// The map pen

MapPen::MapPen(Context& ctx, int mode) : ctx_(ctx), mode_(mode) {}

void MapPen::put(double lon, double lat, bool down) {
  double x, y;
  if (!map_user_to_plot(ctx_, lon, lat, x, y)) {
    count_nan(ctx_);
    have_ = false;
    return;
  }
  if (down) qqconn(ctx_, x, y);
  else qqstrt(ctx_, x, y);
}

void MapPen::move(double lon, double lat) {
  if (!std::isfinite(lon) || !std::isfinite(lat)) {
    count_nan(ctx_);
    have_ = false;
    return;
  }
  put(lon, lat, false);
  have_ = true;
  lon_ = lon;
  lat_ = lat;
}

void MapPen::draw(double lon, double lat) {
  if (!have_) {
    move(lon, lat);
    return;
  }
  if (!std::isfinite(lon) || !std::isfinite(lat)) {
    count_nan(ctx_);
    have_ = false;
    return;
  }
  const double l0 = lon_, p0 = lat_;
  lon_ = lon;
  lat_ = lat;
  const int code = ctx_.maps.sys.code;
  if ((code == kProjCyli && mode_ != 2) || mode_ == 0) {
    put(lon, lat, true);
    return;
  }
  if (mode_ == 1) {
    double dist = std::hypot(lon - l0, lat - p0);
    int k = static_cast<int>(std::min(dist, static_cast<double>(kMaxSteps)));
    for (int i = 1; i < k; ++i) {
      double f = static_cast<double>(i) / k;
      put(l0 + (lon - l0) * f, p0 + (lat - p0) * f, true);
    }
    put(lon, lat, true);
    return;
  }
  // great circle
  double f0 = p0 * kDeg, f1 = lat * kDeg, dl = (lon - l0) * kDeg;
  double s1 = std::sin((f1 - f0) / 2), s2 = std::sin(dl / 2);
  double d = 2 * std::asin(std::min(1.0, std::sqrt(s1 * s1 + std::cos(f0) * std::cos(f1) * s2 * s2)));
  int n = static_cast<int>(std::min(d / 0.01, static_cast<double>(kMaxSteps)));
  double sd = std::sin(d);
  if (n > 2 && std::fabs(sd) > 1e-12) {
    double ax = std::cos(f0) * std::cos(l0 * kDeg), ay = std::cos(f0) * std::sin(l0 * kDeg),
           az = std::sin(f0);
    double bx = std::cos(f1) * std::cos(lon * kDeg), by = std::cos(f1) * std::sin(lon * kDeg),
           bz = std::sin(f1);
    for (int k = 1; k <= n - 2; ++k) {
      double f = static_cast<double>(k) / (n - 1);
      double wa = std::sin((1 - f) * d) / sd, wb = std::sin(f * d) / sd;
      double x = wa * ax + wb * bx, y = wa * ay + wb * by, z = wa * az + wb * bz;
      double la = std::atan2(z, std::hypot(x, y)) / kDeg, lo = std::atan2(y, x) / kDeg;
      while (lo - l0 > 180) lo -= 360;
      while (lo - l0 < -180) lo += 360;
      put(lo, la, true);
    }
  }
  put(lon, lat, true);
}

// ------------------------------------------------------------------------------------------
// Data lines: straight between their points; on maps whose outline is not a rectangle the
// pieces outside the limits are cut off at the limits.

void draw_map_polyline(Context& ctx, const double* lon, const double* lat, int n) {
  const MapSystem& m = ctx.maps.sys;
  const bool cut = proj_pseudo(m.code) || proj_conic(m.code);
  bool pen = false;
  auto point = [&](double lo, double la, bool down) {
    double x, y;
    if (!map_user_to_plot(ctx, lo, la, x, y)) {
      pen = false;
      return;
    }
    if (down && pen) qqconn(ctx, x, y);
    else qqstrt(ctx, x, y);
    pen = true;
  };
  if (!cut) {
    for (int i = 0; i < n; ++i) point(lon[i], lat[i], i > 0);
    return;
  }
  const double x1 = m.xa, x2 = m.xe, y1 = m.ya, y2 = m.ye;
  auto inside = [&](double lo, double la) { return lo >= x1 && lo <= x2 && la >= y1 && la <= y2; };
  for (int i = 0; i < n; ++i) {
    if (i == 0) {
      if (inside(lon[0], lat[0])) point(lon[0], lat[0], false);
      else pen = false;
      continue;
    }
    double ax = lon[i - 1], ay = lat[i - 1], bx = lon[i], by = lat[i];
    if (inside(ax, ay) && inside(bx, by)) {
      if (!pen) point(ax, ay, false);
      point(bx, by, true);
      continue;
    }
    // Liang-Barsky against the limits
    double t0 = 0, t1 = 1, dx = bx - ax, dy = by - ay;
    bool visible = true;
    auto edge = [&](double p, double q) {
      if (p == 0) {
        if (q < 0) visible = false;
        return;
      }
      double r = q / p;
      if (p < 0) {
        if (r > t1) visible = false;
        else if (r > t0) t0 = r;
      } else {
        if (r < t0) visible = false;
        else if (r < t1) t1 = r;
      }
    };
    edge(-dx, ax - x1);
    edge(dx, x2 - ax);
    edge(-dy, ay - y1);
    edge(dy, y2 - ay);
    if (!visible) {
      pen = false;
      continue;
    }
    if (t0 > 0) pen = false;
    point(ax + t0 * dx, ay + t0 * dy, false);
    point(ax + t1 * dx, ay + t1 * dy, true);
    if (t1 < 1) pen = false;
  }
}

// ------------------------------------------------------------------------------------------
// curvmp, gridmp

void curvmp(const double* xray, const double* yray, int n) {
  Context* ctx = enter(R::curvmp);
  if (!ctx || !map_active(*ctx)) return;
  axis_clip_on(*ctx);
  MapPen pen(*ctx, ctx->maps.mode);
  for (int i = 0; i < n; ++i) {
    if (i == 0) pen.move(xray[i], yray[i]);
    else pen.draw(xray[i], yray[i]);
  }
  qqflsh(*ctx);
  axis_clip_off(*ctx);
}

void gridmp(int igrid, int jgrid) {
  Context* ctx = enter(R::gridmp);
  if (!ctx || !map_active(*ctx)) return;
  if (check_range(*ctx, igrid, 0, -1) || check_range(*ctx, jgrid, 0, -1)) return;
  const MapSystem& m = ctx->maps.sys;
  const AxisScale& sx = ctx->axes.sc[0];
  const AxisScale& sy = ctx->axes.sc[1];
  axis_clip_on(*ctx);
  MapPen pen(*ctx, ctx->maps.mode);
  // each line goes in steps of at most one degree, so that every line mode follows it
  auto line = [&](bool meridian, double v, double from, double to) {
    int steps = std::clamp(static_cast<int>(std::ceil(std::fabs(to - from))), 1, kMaxSteps);
    for (int i = 0; i <= steps; ++i) {
      double t = from + (to - from) * i / steps;
      if (i == 0) meridian ? pen.move(v, t) : pen.move(t, v);
      else meridian ? pen.draw(v, t) : pen.draw(t, v);
    }
  };
  if (igrid > 0 && sx.step > 0) {
    double sp = sx.step * igrid;
    for (int k = 0; k < 5000; ++k) {
      double v = sx.org + k * sp;
      if (v > m.xe + 1e-9 * sp) break;
      line(true, v, m.ya, m.ye);
    }
  }
  if (jgrid > 0 && sy.step > 0) {
    double sp = sy.step * jgrid;
    for (int k = 0; k < 5000; ++k) {
      double v = sy.org + k * sp;
      if (v > m.ye + 1e-9 * sp) break;
      if (std::fabs(v) >= 90) continue;  // a pole is a point
      line(false, v, m.xa, m.xe);
    }
  }
  qqflsh(*ctx);
  axis_clip_off(*ctx);
}

// ------------------------------------------------------------------------------------------
// Single map axes: a longitude axis along a row of the page (xaxmap) and a latitude axis
// along a column (yaxmap); `it` 0 puts ticks and labels below (left), 1 above (right).

namespace {

void single_map_axis(Context& ctx, int axis, double a, double b, double aorg, double astp,
                     const char* cstr, int it, int pos) {
  if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(aorg) || !std::isfinite(astp) ||
      !(a < b) || !(astp > 0)) {
    warn_code(ctx, kMsgIncorrectParameter);
    return;
  }
  if (check_range(ctx, it, 0, 1)) return;
  const MapSystem& m = ctx.maps.sys;
  AxisState& as = ctx.axes;
  // the parallel (meridian) through the given row (column) of the page
  double fixed_lon = (m.xa + m.xe) / 2, fixed_lat = (m.ya + m.ye) / 2;
  double row = axis == 0 ? page_y(ctx, pos) : pos;
  if (axis == 0) map_plot_to_user(ctx, (m.bx1 + m.bx2) / 2, row, fixed_lon, fixed_lat);
  else map_plot_to_user(ctx, row, (m.by1 + m.by2) / 2, fixed_lon, fixed_lat);
  auto where = [&](double v, double& x, double& y) {
    bool ok = axis == 0 ? map_user_to_plot(ctx, v, fixed_lat, x, y)
                        : map_user_to_plot(ctx, fixed_lon, v, x, y);
    if (axis == 0) y = row;
    else x = row;
    return ok;
  };
  AxisScale saved = as.sc[axis];
  as.sc[axis].a = a;
  as.sc[axis].e = b;
  as.sc[axis].org = aorg;
  as.sc[axis].step = astp;
  int nt = std::max(1, as.ax[axis].ticks);
  std::vector<MapMark> marks;
  double sp = astp / nt;
  double j1 = std::ceil((a - aorg) / sp - 1e-9), j2 = std::floor((b - aorg) / sp + 1e-9);
  if (j2 - j1 < 5000) {
    for (double j = j1; j <= j2; ++j) {
      long long jj = static_cast<long long>(j);
      bool major = jj % nt == 0;
      if (as.ax[axis].ticks == 0 && !major) continue;
      double v = aorg + j * sp, x, y;
      if (!where(v, x, y)) continue;
      marks.push_back({x, y, v, major && jj >= 0 ? static_cast<int>(jj / nt) : -1, major});
    }
  }
  MapEdge e;
  e.axis = axis;
  e.level = 4;
  e.line = true;
  e.name = cstr ? cstr : "";
  if (axis == 0) {
    e.ox = 0;
    e.oy = it == 0 ? 1 : -1;
  } else {
    e.ox = it == 0 ? -1 : 1;
    e.oy = 0;
    e.name_angle = it == 0 ? 90 : 270;
  }
  if (where(a, e.x1, e.y1) && where(b, e.x2, e.y2)) draw_map_edge(ctx, e, marks.data(), static_cast<int>(marks.size()));
  qqflsh(ctx);
  as.sc[axis] = saved;
}

}  // namespace

void xaxmap(double a, double b, double aorg, double astp, const char* cstr, int it, int ny) {
  Context* ctx = enter(R::xaxmap);
  if (!ctx || !map_active(*ctx)) return;
  single_map_axis(*ctx, 0, a, b, aorg, astp, cstr, it, ny);
}

void yaxmap(double a, double b, double aorg, double astp, const char* cstr, int it, int nx) {
  Context* ctx = enter(R::yaxmap);
  if (!ctx || !map_active(*ctx)) return;
  single_map_axis(*ctx, 1, a, b, aorg, astp, cstr, it, nx);
}

}  // namespace tavero
