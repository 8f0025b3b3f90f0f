// Area fill: the shading patterns, the polygon fill qqfpol with its hardware path, and the
// area routines areaf and rlarea.
#include "draw/fill.h"

#include <cmath>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "axes/axis_convert.h"
#include "core/entry.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/pipeline.h"
#include "drivers/driver.h"
#include "tavero_api.h"

namespace tavero {

namespace {

// Codes of the 18 predefined patterns of shdpat.
const int kPatternCodes[18] = {0,     45150, 150450, 135150, 45450, 45151, 135210, 45451, 30140,
                               45211, 151,   45310,  70470,  45311, 451,   45210,  100,   550};

constexpr int kSolid = 16;
// Coordinates beyond this (plot units) are cut to the clipping window before filling, so that
// devices and the hatcher never see values they cannot represent.
constexpr double kFar = 1e7;

// Keeps the part of a polygon on the side a x + b y <= c (one Sutherland-Hodgman edge). A cut
// against a half plane keeps the even-odd interior inside it, so successive cuts against the
// edges of a convex region keep a self-intersecting polygon's fill intact.
void cut_half_plane(std::vector<double>& x, std::vector<double>& y, double a, double b,
                    double c) {
  const size_t n = x.size();
  if (n == 0) return;
  std::vector<double> ox, oy;
  ox.reserve(n + 4);
  oy.reserve(n + 4);
  for (size_t i = 0; i < n; ++i) {
    size_t j = i == 0 ? n - 1 : i - 1;
    double di = a * x[i] + b * y[i] - c, dj = a * x[j] + b * y[j] - c;
    bool in_i = di <= 0, in_j = dj <= 0;
    if (in_i != in_j) {
      double t = dj / (dj - di);
      ox.push_back(x[j] + t * (x[i] - x[j]));
      oy.push_back(y[j] + t * (y[i] - y[j]));
    }
    if (in_i) {
      ox.push_back(x[i]);
      oy.push_back(y[i]);
    }
  }
  x.swap(ox);
  y.swap(oy);
}

// Cuts the polygon (relative plot coordinates) to the clipping window, or to a polygon
// inscribed in the clipping circle.
void cut_to_clip(const Context& ctx, std::vector<double>& x, std::vector<double>& y) {
  const LineState& l = ctx.line;
  const double ox = ctx.core.origin_x, oy = ctx.core.origin_y;
  if (l.circle_clip) {
    constexpr int kSides = 128;
    const double cx = l.circle_cx - ox, cy = l.circle_cy - oy, r = l.circle_r;
    for (int k = 0; k < kSides && !x.empty(); ++k) {
      double t = 2 * M_PI * (k + 0.5) / kSides;
      double nx = std::cos(t), ny = std::sin(t);
      cut_half_plane(x, y, nx, ny, nx * cx + ny * cy + r * std::cos(M_PI / kSides));
    }
    return;
  }
  const double x0 = l.clip[0] - ox - 1, y0 = l.clip[1] - oy - 1;
  const double x1 = l.clip[2] - ox + 1, y1 = l.clip[3] - oy + 1;
  cut_half_plane(x, y, -1, 0, -x0);
  cut_half_plane(x, y, 1, 0, x1);
  cut_half_plane(x, y, 0, -1, -y0);
  cut_half_plane(x, y, 0, 1, y1);
}

// Work buffers of the fill, kept per thread so that filling many small polygons (symbols,
// cells) allocates nothing after the first one. The fill never re-enters itself.
struct Scratch {
  std::vector<double> px, py, cx, cy, hx, hy, dx, dy;
};
Scratch& scratch() {
  static thread_local Scratch s;
  return s;
}

// The device fills the polygon itself; false when the software path has to do it.
bool hardware_fill(Context& ctx, const std::vector<double>& x, const std::vector<double>& y) {
  const DeviceState& d = ctx.dev;
  if (!ctx.driver || !ctx.fill.hw_shade || ctx.fill.pattern != kSolid || d.hidden_on ||
      d.plane_projection == 1 || d.plane_projection == 3 || d.map_projection >= 30 ||
      (d.affine_on && ctx.line.circle_clip))
    return false;
  // points as the line pipeline sees them: origin shift, then the 2-D transformation
  auto place = [&](double x0, double y0, double& ax, double& ay) {
    ax = x0 + ctx.core.origin_x;
    ay = y0 + ctx.core.origin_y;
    if (d.affine_on) {
      const double* m = d.affine;
      double tx = m[0] * ax + m[1] * ay + m[2];
      ay = m[3] * ax + m[4] * ay + m[5];
      ax = tx;
    }
  };
  const int dev = ctx.core.device;
  const size_t n = x.size();
  Scratch& sc = scratch();
  std::vector<double>& px = sc.hx;
  std::vector<double>& py = sc.hy;
  px.assign(x.begin(), x.end());
  py.assign(y.begin(), y.end());
  if (dev == 801 || dev == 802) {
    // SVG and IPE have no device clip: a polygon reaching out of the window is cut to it
    // here, so that it is still filled (not left as an outline)
    const int* w = ctx.line.clip;
    bool outside = false;
    for (size_t i = 0; i < n && !outside; ++i) {
      double ax, ay;
      place(x[i], y[i], ax, ay);
      outside = ax < w[0] || ax > w[2] || ay < w[1] || ay > w[3];
    }
    if (outside) {
      if (d.affine_on) return false;
      cut_to_clip(ctx, px, py);
      if (px.size() < 3) return true;
    }
  }
  // the device clip is a rectangle: a clipping circle is applied here
  if (ctx.line.circle_clip) {
    cut_to_clip(ctx, px, py);
    if (px.size() < 3) return true;
  }
  std::vector<double>& dx = sc.dx;
  std::vector<double>& dy = sc.dy;
  dx.resize(px.size());
  dy.resize(px.size());
  for (size_t i = 0; i < px.size(); ++i) {
    double ax, ay;
    place(px[i], py[i], ax, ay);
    to_device(ctx, ax, ay, dx[i], dy[i]);
  }
  emit_flush(ctx);
  ctx.driver->end_path();
  return ctx.driver->fill_polygon(dx.data(), dy.data(), static_cast<int>(dx.size()));
}

// The plane of a 3-D axis system (grfini): the points are mapped into it first, and the
// rest of the fill runs without the projection so nothing is mapped twice.
struct PlaneOff {
  Context& ctx;
  int saved;
  explicit PlaneOff(Context& c) : ctx(c), saved(c.dev.plane_projection) { c.dev.plane_projection = 0; }
  ~PlaneOff() { ctx.dev.plane_projection = saved; }
};

void fill_polygon(Context& ctx, const double* x, const double* y, int n) {
  Scratch& sc = scratch();
  std::vector<double>& px = sc.px;
  std::vector<double>& py = sc.py;
  px.clear();
  py.clear();
  const bool plane = (ctx.dev.plane_projection == 1 || ctx.dev.plane_projection == 2) &&
                     ctx.dev.plane_fn;
  const double ox = ctx.core.origin_x, oy = ctx.core.origin_y;
  bool far = false;
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;  // lines count them
    double xi = x[i], yi = y[i];
    if (plane) {
      xi += ox;
      yi += oy;
      ctx.dev.plane_fn(ctx, xi, yi);
      xi -= ox;
      yi -= oy;
      if (!std::isfinite(xi) || !std::isfinite(yi)) continue;
    }
    far = far || std::fabs(xi) > kFar || std::fabs(yi) > kFar;
    px.push_back(xi);
    py.push_back(yi);
  }
  PlaneOff plane_off(ctx);
  if (px.size() < 2) return;
  if (ctx.fill.pattern == kSolid && !ctx.fill.hw_shade) {
    draw_outline(ctx, px.data(), py.data(), static_cast<int>(px.size()));
    return;
  }
  std::vector<double>& cx = sc.cx;
  std::vector<double>& cy = sc.cy;
  cx.assign(px.begin(), px.end());
  cy.assign(py.begin(), py.end());
  // (the window applies to transformed points only when no transform follows)
  if (far && ctx.dev.plane_projection != 1 && !ctx.dev.affine_on) cut_to_clip(ctx, cx, cy);
  if (cx.size() < 3 && far) {
    // nothing of the area lies in the window; a solid outline still shows its edges
    if (ctx.fill.pattern == kSolid) draw_outline(ctx, px.data(), py.data(), int(px.size()));
    return;
  }
  if (hardware_fill(ctx, cx, cy)) return;
  if (ctx.fill.pattern == kSolid) {
    draw_outline(ctx, px.data(), py.data(), static_cast<int>(px.size()));
    return;
  }
  if (cx.size() >= 3) hatch_polygon(ctx, cx.data(), cy.data(), static_cast<int>(cx.size()));
}

}  // namespace

// ------------------------------------------------------------------------------------------
// patterns

int pattern_code(int pattern) {
  return pattern >= 0 && pattern < 18 ? kPatternCodes[pattern] : pattern;
}

double hatch_spacing(const Context& ctx) {
  const FillState& f = ctx.fill;
  double s;
  switch (f.type) {
    case 2: s = 20; break;
    case 3: s = 15; break;
    case 4: s = 1; break;
    default:
      s = f.density == 0 ? (ctx.core.device == 221 ? 0.39999 : 0.99999) : 5 * f.density + 1.9999;
      break;
  }
  s = s * f.factor / ctx.core.unit_factor;
  // closer lines than this are below any device's resolution and would only cost time
  return s < 0.01 ? 0.01 : s;
}

void set_fill_code(Context& ctx, int code) {
  FillState& f = ctx.fill;
  if (code < 0) code = 0;
  f.pattern = code;
  f.angle = (code / 1000) % 180;  // codes beyond 179999 (shdpat) wrap like the lines they draw
  f.type = (code / 100) % 10;
  f.density = (code / 10) % 10;
  f.cross = code % 2;
  f.group_size = f.group_skip = 0;
  if (f.type == 2 || f.type == 3) {
    f.group_size = f.type;
    f.group_skip = static_cast<int>(f.density + 0.9999);
  } else if (f.type == 4) {
    f.group_size = 8;
    f.group_skip = static_cast<int>(5 * f.density + 4.9999);
  } else if (f.type > 7) {
    f.type = 1;
  }
  f.spacing = hatch_spacing(ctx);
}

void set_fill_pattern(Context& ctx, int pattern) {
  set_fill_code(ctx, pattern_code(pattern));
  ctx.fill.pattern = pattern;
}

// An empty pattern: areas and figures draw their outline only until shdpat is called.
void reset_fill_pattern(Context& ctx) { set_fill_pattern(ctx, 0); }

// Every entry a visible pattern: 1 .. 17 in turn.
void reset_fill_cycle(Context& ctx) {
  for (int i = 0; i < 30; ++i) ctx.fill.cycle[i] = i % 17 + 1;
}

DrawExtras& draw_extras(const Context& ctx) {
  static std::mutex lock;
  static std::unordered_map<const Context*, DrawExtras> extras;
  std::lock_guard<std::mutex> guard(lock);
  return extras[&ctx];
}

void reset_fill(Context& ctx) {
  ctx.fill.factor = 1.0;  // the patterns' own spacing: a factor the user scales from
  ctx.fill.outline = 1;
  ctx.fill.hw_shade = 1;
  reset_fill_pattern(ctx);
  reset_fill_cycle(ctx);
  draw_extras(ctx) = DrawExtras{};
}

// ------------------------------------------------------------------------------------------
// qqfpol and the areas

void qqfpol(Context& ctx, const double* x, const double* y, int n) {
  qqflsh(ctx);
  if (n < 2 || ctx.fill.type == 0) return;
  try {
    fill_polygon(ctx, x, y, n);
  } catch (const std::bad_alloc&) {
    ctx.dev.hatch_active = 0;
    warn_code(ctx, kMsgNoMemory);
  }
}

void draw_outline(Context& ctx, const double* x, const double* y, int n) {
  if (n < 1) return;
  int saved = ctx.color.current;
  qqstrt(ctx, x[0], y[0]);
  for (int i = 1; i < n; ++i) qqconn(ctx, x[i], y[i]);
  qqconn(ctx, x[0], y[0]);
  qqflsh(ctx);
  if (ctx.color.current != saved) qqsclr(ctx, saved);
}

void draw_area(Context& ctx, const double* x, const double* y, int n) {
  if (n < 1) return;
  const FillState& f = ctx.fill;
  bool same = true;
  for (int i = 1; i < n && same; ++i) same = x[i] == x[0] && y[i] == y[0];
  if (same) {
    if (f.outline == 1 || f.type != 0) {
      int saved = ctx.color.current;
      qqstrt(ctx, x[0], y[0]);
      qqconn(ctx, x[n > 1 ? 1 : 0], y[n > 1 ? 1 : 0]);
      qqflsh(ctx);
      if (ctx.color.current != saved) qqsclr(ctx, saved);
    }
    return;
  }
  // the fill first, so that the outline stays on top of it
  if (f.type != 0) qqfpol(ctx, x, y, n);
  if (f.outline == 1) {
    draw_outline(ctx, x, y, n);
  } else {
    for (int i = 0; i < n; ++i)
      if (!std::isfinite(x[i]) || !std::isfinite(y[i])) count_nan(ctx);
  }
}

void areaf(const int* nxray, const int* nyray, int n) {
  Context* ctx = enter(R::areaf);
  if (!ctx || n < 1) return;
  try {
    std::vector<double> x(nxray, nxray + n), y(n);
    for (int i = 0; i < n; ++i)
      y[i] = ctx->core.page_origin == 1 ? ctx->core.page_h - nyray[i] : nyray[i];
    draw_area(*ctx, x.data(), y.data(), n);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

void rlarea(const double* xray, const double* yray, int n) {
  Context* ctx = enter(R::rlarea);
  if (!ctx || n < 1) return;
  try {
    std::vector<double> x, y;
    x.reserve(n);
    y.reserve(n);
    for (int i = 0; i < n; ++i) {
      check_scaling(*ctx, xray[i], yray[i]);
      double px, py;
      user_to_plot(*ctx, xray[i], yray[i], px, py);
      if (!x.empty() && px == x.back() && py == y.back()) continue;
      x.push_back(px);
      y.push_back(py);
    }
    axis_clip_on(*ctx);
    draw_area(*ctx, x.data(), y.data(), static_cast<int>(x.size()));
    axis_clip_off(*ctx);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

// ------------------------------------------------------------------------------------------
// pattern routines

void shdpat(int ipat) {
  Context* ctx = enter(R::shdpat);
  if (!ctx || check_range(*ctx, ipat, 0, -1)) return;
  set_fill_pattern(*ctx, ipat);
}

void mypat(int iang, int itype, int idens, int icross) {
  Context* ctx = enter(R::mypat);
  if (!ctx || check_range(*ctx, iang, 0, 179) || check_range(*ctx, itype, 0, 7) ||
      check_range(*ctx, idens, 0, 9) || check_range(*ctx, icross, 0, 1))
    return;
  set_fill_code(*ctx, iang * 1000 + itype * 100 + idens * 10 + icross);
}

void patcyc(int index, int ipat) {
  Context* ctx = enter(R::patcyc);
  if (!ctx || check_range(*ctx, index, 1, 30) || check_range(*ctx, ipat, 0, 180000)) return;
  ctx->fill.cycle[index - 1] = ipat;
}

void shdfac(double xfac) {
  Context* ctx = enter(R::shdfac);
  if (!ctx) return;
  if (!(xfac > 0) || !std::isfinite(xfac)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->fill.factor = xfac;
  ctx->fill.spacing = hatch_spacing(*ctx);
}

void noarln() {
  Context* ctx = enter(R::noarln);
  if (ctx) ctx->fill.outline = 0;
}

void nobgd() {
  Context* ctx = enter(R::nobgd);
  if (ctx) draw_extras(*ctx).no_background = 1;
}

int getpat() {
  Context* ctx = enter(R::getpat);
  return ctx ? ctx->fill.pattern : 0;
}

}  // namespace tavero
