// Vectors, vector fields and streamlines in 3-D axis systems. Points go through the coordinate
// chain of the 3-D graphics (user -> box -> plot); arrows are drawn by the arrow routine on the
// projected points, streamlines as 3-D lines clipped in box space.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <numeric>
#include <vector>

#include "core/entry.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/pipeline.h"
#include "graph3d/g3d.h"
#include "plots/arrows.h"
#include "plots/plot_common.h"
#include "plots/stream_engine.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr double kTiny = 1e-35;

bool log_ok3(Context& ctx, const double* x, const double* y, const double* z, long n) {
  const double* v[3] = {x, y, z};
  for (int a = 0; a < 3; ++a) {
    if (!v[a] || !ctx.g3d.sys.sc[a].log) continue;
    for (long k = 0; k < n; ++k)
      if (v[a][k] <= 0) {
        warn_code(ctx, 27);
        return false;
      }
  }
  return true;
}

// Reports the first point outside the axis scaling of a call (check messages).
class Check3 {
 public:
  explicit Check3(Context& ctx) : ctx_(ctx), on_(ctx.core.check_on && !ctx.axes.nochek) {}
  void operator()(double x, double y, double z) {
    if (!on_ || done_) return;
    const double u[3] = {x, y, z};
    bool outside = false;
    for (int a = 0; a < 3; ++a) {
      const AxisScale& s = ctx_.g3d.sys.sc[a];
      const double tol = 1e-9 * std::fabs(s.uhi - s.ulo);
      outside = outside || u[a] < s.ulo - tol || u[a] > s.uhi + tol;
    }
    if (!outside) return;
    char text[96];
    std::snprintf(text, sizeof text, "(%12.4e /%12.4e /%12.4e) out of axis scaling", x, y, z);
    warn_text(ctx_, -1, text);
    done_ = true;
  }

 private:
  Context& ctx_;
  bool on_, done_ = false;
};

bool inside3(const Context& ctx, double x, double y, double z) {
  const double u[3] = {x, y, z};
  for (int a = 0; a < 3; ++a) {
    const AxisScale& s = ctx.g3d.sys.sc[a];
    if (!(u[a] >= s.ulo && u[a] <= s.uhi)) return false;
  }
  return true;
}

// An arrow between two user points, drawn when its start is visible in the box.
void arrow3(Context& ctx, const double a[3], const double b[3], int ivec, int mode) {
  double ba[3], bb[3];
  user_to_box(ctx, a[0], a[1], a[2], ba);
  user_to_box(ctx, b[0], b[1], b[2], bb);
  const Proj pa = project_box(ctx, ba), pb = project_box(ctx, bb);
  if (!box_visible(ctx, ba, pa) || !pb.ok) return;
  draw_arrow(ctx, pa.x, pa.y, pb.x, pb.y, ivec, mode);
}

// Colours by length use the colour scaling of the 3-D axis system as it stands.
void length_colour(Context& ctx, double len) {
  if (ctx.plots.vec.color != -2) return;
  const int c = color_of_value(ctx, len);
  if (c != ctx.color.current) qqsclr(ctx, c);
}

bool entry_checks(Context& ctx, long n, int ivec) {
  if (n < 1) {
    warn_number(ctx, kMsgIncorrectParameter, n);
    return false;
  }
  return check_vector_type(ctx, ivec) && require_3d(ctx);
}

// Vectors from the positions, scaled by f, in size mode 1.
void draw_field3(Context& ctx, const double* xv, const double* yv, const double* zv,
                 const double* xp, const double* yp, const double* zp, long n, double f,
                 int ivec) {
  ColorKeeper keep(ctx);
  Check3 check(ctx);
  for (long k = 0; k < n; ++k) {
    const double a[3] = {xp[k], yp[k], zp[k]};
    const double b[3] = {xp[k] + f * xv[k], yp[k] + f * yv[k], zp[k] + f * zv[k]};
    check(a[0], a[1], a[2]);
    length_colour(ctx, std::sqrt(xv[k] * xv[k] + yv[k] * yv[k] + zv[k] * zv[k]));
    arrow3(ctx, a, b, ivec, kArrowProportional);
  }
}

// ------------------------------------------------------------------------------------------
// 3-D streamlines: trilinear interpolation on an nx x ny x nz grid, element (i * ny + j) * nz + k

class Grid3 {
 public:
  Grid3(const double* xv, const double* yv, const double* zv, int nx, int ny, int nz,
        const double* xp, const double* yp, const double* zp)
      : v_{xv, yv, zv}, p_{xp, yp, zp}, n_{nx, ny, nz} {
    for (int a = 0; a < 3; ++a) {
      lo_[a] = std::min(p_[a][0], p_[a][n_[a] - 1]);
      hi_[a] = std::max(p_[a][0], p_[a][n_[a] - 1]);
    }
  }
  bool in_range(const double q[3]) const {
    for (int a = 0; a < 3; ++a)
      if (!(q[a] >= lo_[a] && q[a] <= hi_[a])) return false;
    return true;
  }
  double xspan() const { return std::fabs(p_[0][n_[0] - 1] - p_[0][0]); }
  double xrange() const { return hi_[0] - lo_[0]; }

  // The unit vector of the field; false outside or where it vanishes.
  bool direction(const double q[3], double d[3]) {
    int c[3];
    double t[3];
    for (int a = 0; a < 3; ++a) {
      if (!grid_interval(p_[a], n_[a], q[a], c[a])) return false;
      t[a] = (q[a] - p_[a][c[a]]) / (p_[a][c[a] + 1] - p_[a][c[a]]);
    }
    const long sy = n_[2], sx = static_cast<long>(n_[1]) * n_[2];
    const long base = c[0] * sx + c[1] * sy + c[2];
    for (int m = 0; m < 3; ++m) {
      const double* f = v_[m];
      double acc = 0;
      for (int corner = 0; corner < 8; ++corner) {
        const int di = corner >> 2 & 1, dj = corner >> 1 & 1, dk = corner & 1;
        const double w = (di ? t[0] : 1 - t[0]) * (dj ? t[1] : 1 - t[1]) * (dk ? t[2] : 1 - t[2]);
        if (w != 0) acc += w * f[base + di * sx + dj * sy + dk];
      }
      d[m] = acc;
    }
    const double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (!(len >= kTiny) || !std::isfinite(len)) return false;
    for (int m = 0; m < 3; ++m) d[m] /= len;
    return true;
  }

 private:
  const double* v_[3];
  const double* p_[3];
  int n_[3];
  double lo_[3], hi_[3];
};

struct Run3 {
  std::vector<double> x, y, z;
  size_t size() const { return x.size(); }
  void push(const double q[3]) {
    x.push_back(q[0]);
    y.push_back(q[1]);
    z.push_back(q[2]);
  }
};

bool advance3(Grid3& g, int method, const double p[3], double h, double out[3]) {
  double k1[3], k2[3], k3[3], k4[3], q[3];
  if (!g.direction(p, k1)) return false;
  if (method == kEuler) {
    for (int a = 0; a < 3; ++a) out[a] = p[a] + h * k1[a];
    return true;
  }
  for (int a = 0; a < 3; ++a) q[a] = p[a] + h * k1[a] / 2;
  if (!g.direction(q, k2)) return false;
  if (method != kRk4) {
    for (int a = 0; a < 3; ++a) out[a] = p[a] + h * k2[a];
    return true;
  }
  for (int a = 0; a < 3; ++a) q[a] = p[a] + h * k2[a] / 2;
  if (!g.direction(q, k3)) return false;
  for (int a = 0; a < 3; ++a) q[a] = p[a] + h * k3[a];
  if (!g.direction(q, k4)) return false;
  for (int a = 0; a < 3; ++a) out[a] = p[a] + h * (k1[a] + 2 * k2[a] + 2 * k3[a] + k4[a]) / 6;
  return true;
}

// One pass from p0; true when the closing test ended the streamline.
bool pass3(Grid3& g, const StreamOptions& o, const double p0[3], double h, bool forward,
           Run3& run) {
  const size_t limit = static_cast<size_t>(std::max(o.points, 1));
  const double close = o.close_dist * g.xspan();
  double p[3] = {p0[0], p0[1], p0[2]}, q[3];
  for (;;) {
    if (!advance3(g, o.method, p, h, q) || !g.in_range(q) || run.size() >= limit) return false;
    run.push(q);
    if (forward && o.close && static_cast<long>(run.size()) >= o.close_count &&
        std::sqrt((q[0] - p0[0]) * (q[0] - p0[0]) + (q[1] - p0[1]) * (q[1] - p0[1]) +
                  (q[2] - p0[2]) * (q[2] - p0[2])) < close)
      return true;
    std::copy(q, q + 3, p);
  }
}

void trace3(Grid3& g, const StreamOptions& o, const double p0[3], Run3& fwd, Run3& bwd) {
  const double h = g.xrange() * o.step;
  fwd = Run3{};
  bwd = Run3{};
  fwd.push(p0);
  const bool closed = pass3(g, o, p0, h, true, fwd);
  bwd.push(p0);
  if (!closed) pass3(g, o, p0, -h, false, bwd);
}

bool grid3_ok(Context& ctx, int nx, int ny, int nz, const double* xp, const double* yp,
              const double* zp) {
  if (nx < 2 || ny < 2 || nz < 2) {
    warn_number(ctx, kMsgIncorrectParameter, std::min({nx, ny, nz}));
    return false;
  }
  if (!strictly_monotonic(xp, nx) || !strictly_monotonic(yp, ny) || !strictly_monotonic(zp, nz)) {
    warn_text(ctx, 124, "Arrays must be monoton");
    return false;
  }
  return true;
}

// One run as a 3-D line, with heads on its projection.
void draw_run3(Context& ctx, const Run3& r, bool backward, std::vector<double>& px,
               std::vector<double>& py) {
  const int n = static_cast<int>(r.size());
  if (n < 2) return;
  px.resize(static_cast<size_t>(n));
  py.resize(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    double b[3];
    user_to_box(ctx, r.x[k], r.y[k], r.z[k], b);
    if (k == 0)
      move3d(ctx, b);
    else
      draw3d(ctx, b);
    const Proj p = project_box(ctx, b);
    px[k] = p.ok ? p.x : std::nan("");
    py[k] = p.ok ? p.y : std::nan("");
  }
  qqflsh(ctx);
  stream_heads(ctx, px, py, n, backward, ctx.g3d.sys.area_w);
}

}  // namespace

// ------------------------------------------------------------------------------------------
// Vectors and vector fields

void vectr3(double xa, double ya, double za, double xb, double yb, double zb, int ivec) {
  Context* ctx = enter(R::vectr3);
  if (!ctx || !entry_checks(*ctx, 1, ivec)) return;
  const double x[2] = {xa, xb}, y[2] = {ya, yb}, z[2] = {za, zb};
  if (!log_ok3(*ctx, x, y, z, 2)) return;
  Check3 check(*ctx);
  check(xa, ya, za);
  check(xb, yb, zb);
  const double a[3] = {xa, ya, za}, b[3] = {xb, yb, zb};
  arrow3(*ctx, a, b, ivec, kArrowFixed);
}

void field3d(const double* x1ray, const double* y1ray, const double* z1ray, const double* x2ray,
             const double* y2ray, const double* z2ray, int n, int ivec) {
  Context* ctx = enter(R::field3d);
  if (!ctx || !entry_checks(*ctx, n, ivec)) return;
  if (!log_ok3(*ctx, x1ray, y1ray, z1ray, n) || !log_ok3(*ctx, x2ray, y2ray, z2ray, n)) return;
  ColorKeeper keep(*ctx);
  Check3 check(*ctx);
  for (int k = 0; k < n; ++k) {
    const double a[3] = {x1ray[k], y1ray[k], z1ray[k]}, b[3] = {x2ray[k], y2ray[k], z2ray[k]};
    check(a[0], a[1], a[2]);
    length_colour(*ctx, std::sqrt((b[0] - a[0]) * (b[0] - a[0]) + (b[1] - a[1]) * (b[1] - a[1]) +
                                  (b[2] - a[2]) * (b[2] - a[2])));
    arrow3(*ctx, a, b, ivec, kArrowFixed);
  }
}

void vecf3d(const double* xvray, const double* yvray, const double* zvray, const double* xpray,
            const double* ypray, const double* zpray, int n, int ivec) {
  Context* ctx = enter(R::vecf3d);
  if (!ctx || !entry_checks(*ctx, n, ivec)) return;
  if (!log_ok3(*ctx, xpray, ypray, zpray, n)) return;
  try {
    double f = ctx->plots.vec.scale;
    if (!(f > 1e-35)) {
      std::vector<double> x, y, z;
      double len2 = 0;
      for (int k = 0; k < n; ++k) {
        if (!inside3(*ctx, xpray[k], ypray[k], zpray[k])) continue;
        x.push_back(xpray[k]);
        y.push_back(ypray[k]);
        z.push_back(zpray[k]);
        len2 = std::max(len2, xvray[k] * xvray[k] + yvray[k] * yvray[k] + zvray[k] * zvray[k]);
      }
      f = auto_factor(closest_pair(x, y, &z), len2);
    }
    draw_field3(*ctx, xvray, yvray, zvray, xpray, ypray, zpray, n, f, ivec);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

void vecmat3d(const double* xvmat, const double* yvmat, const double* zvmat, int nx, int ny,
              int nz, const double* xpray, const double* ypray, const double* zpray, int ivec) {
  Context* ctx = enter(R::vecmat3d);
  if (!ctx) return;
  if (nx < 1 || ny < 1 || nz < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min({nx, ny, nz}));
    return;
  }
  if (!entry_checks(*ctx, 1, ivec)) return;
  try {
    const long n = static_cast<long>(nx) * ny * nz;
    std::vector<double> xp(static_cast<size_t>(n)), yp(xp.size()), zp(xp.size());
    for (long k = 0; k < n; ++k) {
      xp[k] = xpray[k / (static_cast<long>(ny) * nz)];
      yp[k] = ypray[k / nz % ny];
      zp[k] = zpray[k % nz];
    }
    if (!log_ok3(*ctx, xp.data(), yp.data(), zp.data(), n)) return;
    double f = ctx->plots.vec.scale;
    if (!(f > 1e-35)) {
      // on a grid the closest pair of inside points lies along one of the grid lines
      std::vector<char> in[3] = {std::vector<char>(nx, 0), std::vector<char>(ny, 0),
                                 std::vector<char>(nz, 0)};
      double len2 = 0;
      for (long k = 0; k < n; ++k) {
        if (!inside3(*ctx, xp[k], yp[k], zp[k])) continue;
        in[0][k / (static_cast<long>(ny) * nz)] = 1;
        in[1][k / nz % ny] = 1;
        in[2][k % nz] = 1;
        len2 = std::max(len2, xvmat[k] * xvmat[k] + yvmat[k] * yvmat[k] + zvmat[k] * zvmat[k]);
      }
      const double* lines[3] = {xpray, ypray, zpray};
      const int counts[3] = {nx, ny, nz};
      double dist2 = HUGE_VAL;
      for (int a = 0; a < 3; ++a) {
        std::vector<double> g;
        for (int i = 0; i < counts[a]; ++i)
          if (in[a][i]) g.push_back(lines[a][i]);
        dist2 = std::min(dist2, smallest_gap2(g));
      }
      f = auto_factor(dist2, len2);
    }
    draw_field3(*ctx, xvmat, yvmat, zvmat, xp.data(), yp.data(), zp.data(), n, f, ivec);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

// ------------------------------------------------------------------------------------------
// 3-D streamlines

void stream3d(const double* xvmat, const double* yvmat, const double* zvmat, int nx, int ny,
              int nz, const double* xpray, const double* ypray, const double* zpray,
              const double* xsray, const double* ysray, const double* zsray, int n) {
  Context* ctx = enter(R::stream3d);
  if (!ctx || !grid3_ok(*ctx, nx, ny, nz, xpray, ypray, zpray) || !require_3d(*ctx)) return;
  try {
    Grid3 g(xvmat, yvmat, zvmat, nx, ny, nz, xpray, ypray, zpray);
    ColorKeeper keep(*ctx);
    Run3 fwd, bwd;
    std::vector<double> px, py;
    for (int k = 0; k < n; ++k) {
      const double p0[3] = {xsray[k], ysray[k], zsray[k]};
      if (!g.in_range(p0)) {
        warn_text(*ctx, 180, "Starting point is outside");
        continue;
      }
      trace3(g, ctx->plots.stm, p0, fwd, bwd);
      draw_run3(*ctx, fwd, false, px, py);
      draw_run3(*ctx, bwd, true, px, py);
    }
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

void stmpts3d(const double* xvmat, const double* yvmat, const double* zvmat, int nx, int ny,
              int nz, const double* xpray, const double* ypray, const double* zpray, double xs,
              double ys, double zs, double* xray, double* yray, double* zray, int nmax,
              int* nray) {
  *nray = 0;
  Context* ctx = enter(R::stmpts3d);
  if (!ctx) return;
  if (nmax < 4) {
    warn_number(*ctx, kMsgIncorrectParameter, nmax);
    return;
  }
  if (!grid3_ok(*ctx, nx, ny, nz, xpray, ypray, zpray)) return;
  try {
    Grid3 g(xvmat, yvmat, zvmat, nx, ny, nz, xpray, ypray, zpray);
    const double p0[3] = {xs, ys, zs};
    if (!g.in_range(p0)) {
      warn_text(*ctx, 180, "Starting point is outside");
      return;
    }
    StreamOptions o = ctx->plots.stm;
    o.points = nmax / 2;
    Run3 fwd, bwd;
    trace3(g, o, p0, fwd, bwd);
    // in flow direction: the backward run reversed, then the forward run (start point once)
    const int nf = fwd.size() > 1 ? static_cast<int>(fwd.size()) : 0;
    const int nb = bwd.size() > 1 ? static_cast<int>(bwd.size()) : 0;
    int m = 0;
    for (int k = nb - 1; k >= (nf > 0 ? 1 : 0) && m < nmax; --k, ++m) {
      xray[m] = bwd.x[k];
      yray[m] = bwd.y[k];
      zray[m] = bwd.z[k];
    }
    for (int k = 0; k < nf && m < nmax; ++k, ++m) {
      xray[m] = fwd.x[k];
      yray[m] = fwd.y[k];
      zray[m] = fwd.z[k];
    }
    *nray = m;
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

}  // namespace tavero
