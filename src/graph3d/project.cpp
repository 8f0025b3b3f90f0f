// The coordinate chain of 3-D axis systems: user -> box coordinates -> view matrix -> plot
// coordinates, the view matrix itself, clipping of points and lines, and the plane mapping of
// grfini.
#include <algorithm>
#include <cmath>

#include "core/messages.h"
#include "draw/pipeline.h"
#include "graph3d/g3d.h"

namespace tavero {

namespace {

constexpr double kPlotLimit = 1e6;
constexpr double kPiS = 3.1415927;  // the single-precision pi of the angle settings

inline double clamp_plot(double v) {
  if (!(v == v)) return v;
  return std::clamp(v, -kPlotLimit, kPlotLimit);
}

// Row-major 4x4 times (x, y, z, 1).
inline void mul4(const double* M, const double b[3], double h[4]) {
  for (int r = 0; r < 4; ++r)
    h[r] = M[4 * r] * b[0] + M[4 * r + 1] * b[1] + M[4 * r + 2] * b[2] + M[4 * r + 3];
}

inline void rotate(const Graph3dSystem& s, const double b[3], double o[3]) {
  if (!s.rot_on) {
    o[0] = b[0], o[1] = b[1], o[2] = b[2];
    return;
  }
  const double* R = s.rot;
  for (int i = 0; i < 3; ++i) o[i] = R[3 * i] * b[0] + R[3 * i + 1] * b[1] + R[3 * i + 2] * b[2];
}

// One user value of axis i to its box coordinate.
inline double to_box(const Graph3dSystem& s, int i, double v) {
  const AxisScale& sc = s.sc[i];
  double span = sc.e - sc.a;
  return (v - sc.a) * s.box[i] / span - s.box[i] / 2;
}

}  // namespace

bool require_3d(Context& ctx) {
  if (ctx.g3d.sys.active && ctx.core.level == 3 && ctx.axes.kind == kKind3d) return true;
  warn_code(ctx, 35);
  return false;
}

void apply_object_transform(const Context& ctx, double b[3]) {
  const Graph3dSystem& s = ctx.g3d.sys;
  if (!s.extra_on) return;
  const double* m = s.extra;
  double x = b[0], y = b[1], z = b[2];
  for (int i = 0; i < 3; ++i) b[i] = m[4 * i] * x + m[4 * i + 1] * y + m[4 * i + 2] * z + m[4 * i + 3];
}

void user_to_box(const Context& ctx, double x, double y, double z, double b[3]) {
  const Graph3dSystem& s = ctx.g3d.sys;
  double u[3] = {x, y, z};
  for (int i = 0; i < 3; ++i) {
    double v = u[i];
    if (s.sc[i].log) v = v > 0 ? std::log10(v) : std::nan("");
    b[i] = to_box(s, i, v);
  }
  apply_object_transform(ctx, b);
}

void user_to_box_linear(const Context& ctx, const double u[3], double b[3]) {
  const Graph3dSystem& s = ctx.g3d.sys;
  for (int i = 0; i < 3; ++i) b[i] = to_box(s, i, u[i]);
}

void box_to_user(const Context& ctx, const double b[3], double u[3]) {
  const Graph3dSystem& s = ctx.g3d.sys;
  for (int i = 0; i < 3; ++i) {
    const AxisScale& sc = s.sc[i];
    double v = sc.a + (sc.e - sc.a) * (b[i] + s.box[i] / 2) / s.box[i];
    u[i] = sc.log ? std::pow(10.0, v) : v;
  }
}

Proj project_box(const Context& ctx, const double b[3]) {
  const Graph3dSystem& s = ctx.g3d.sys;
  Proj p;
  double r[3], h[4];
  rotate(s, b, r);
  mul4(s.M, r, h);
  p.xh = h[0], p.yh = h[1], p.zh = h[2], p.w = h[3];
  if (!(std::fabs(h[3]) > 1e-300)) {
    p.x = p.y = std::nan("");
    return p;
  }
  p.x = clamp_plot(s.cx + s.s * h[0] / h[3]);
  p.y = clamp_plot(s.cy - s.s * h[1] / h[3]);
  p.depth = h[2] / h[3];
  p.ok = h[3] > 0 && std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.depth);
  return p;
}

bool box_visible(const Context& ctx, const double b[3], const Proj& p) {
  const Graph3dSystem& s = ctx.g3d.sys;
  if (!p.ok) return false;
  switch (s.clip) {
    case 0:
      for (int i = 0; i < 3; ++i)
        if (!(std::fabs(b[i]) <= s.box[i] / 2 * (1 + 1e-9))) return false;
      return true;
    case 1:
      return p.xh + p.w >= 0 && p.w - p.xh >= 0 && p.yh + p.w >= 0 && p.w - p.yh >= 0 &&
             p.zh >= 0 && p.w - p.zh > 0;
    default:
      return true;
  }
}

double local_scale(const Context& ctx, const double b[3]) {
  // the projected length of a small step along the screen's right direction
  Proj p0 = project_box(ctx, b);
  if (!p0.ok) return ctx.g3d.sys.s;
  double best = 0;
  for (int i = 0; i < 3; ++i) {
    double q[3] = {b[0], b[1], b[2]};
    q[i] += 1e-3;
    Proj p1 = project_box(ctx, q);
    if (p1.ok) best = std::fmax(best, std::hypot(p1.x - p0.x, p1.y - p0.y) / 1e-3);
  }
  return best > 0 ? best : ctx.g3d.sys.s;
}

const double* eye_box(const Context& ctx) { return ctx.g3d.sys.eye; }

// ------------------------------------------------------------------------------------------
// The view

namespace {

void angle_point(const double v[3], double o[3]) {
  const double deg = kPiS / 180;
  double a1 = v[0] * deg, a2 = v[1] * deg, r = v[2];
  o[0] = r * std::cos(a2) * std::sin(a1);
  o[1] = r * std::cos(a2) * std::cos(a1);
  o[2] = r * std::sin(a2);
}

// Rotation of rot3d: about x, then y, then z (degrees).
void rotation_matrix(const double deg[3], double R[9]) {
  const double k = kPiS / 180;
  double cx = std::cos(deg[0] * k), sx = std::sin(deg[0] * k);
  double cy = std::cos(deg[1] * k), sy = std::sin(deg[1] * k);
  double cz = std::cos(deg[2] * k), sz = std::sin(deg[2] * k);
  double Rx[9] = {1, 0, 0, 0, cx, -sx, 0, sx, cx};
  double Ry[9] = {cy, 0, sy, 0, 1, 0, -sy, 0, cy};
  double Rz[9] = {cz, -sz, 0, sz, cz, 0, 0, 0, 1};
  double T[9];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      T[3 * i + j] = 0;
      for (int k2 = 0; k2 < 3; ++k2) T[3 * i + j] += Ry[3 * i + k2] * Rx[3 * k2 + j];
    }
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      R[3 * i + j] = 0;
      for (int k2 = 0; k2 < 3; ++k2) R[3 * i + j] += Rz[3 * i + k2] * T[3 * k2 + j];
    }
}

// The view matrix (rows m0..m3) from eye E, focus F and the projection settings; false when
// it overflows.
bool view_matrix(const Graph3dParams& p, const double E[3], const double F[3], double* M) {
  const double c = std::cos(p.up), sn = std::sin(p.up);
  const double ex = E[0], ey = E[1], ez = E[2];
  const double dx = ex - F[0], dy = ey - F[1], dz = ez - F[2];
  const double r = std::sqrt(dx * dx + dy * dy);
  if (r < 1e-6) {
    double m[12] = {c, -sn, 0, sn * ey - c * ex, sn, c, 0, -ex * sn - ey * c, 0, 0, -1, ez};
    std::copy(m, m + 12, M);
  } else {
    const double R = std::sqrt(r * r + dz * dz);
    const double a = dy / r, b = dx / r, pp = r / R, q = dz / R;
    const double g = -(ex * b) - ey * a, h = -pp * ez - g * q, k = a * ex - b * ey;
    double m[12] = {q * b * sn - a * c, q * a * sn + b * c, -pp * sn, k * c - h * sn,
                    -a * sn - q * b * c, b * sn - q * a * c, pp * c, c * h + sn * k,
                    -b * pp, -a * pp, -q, q * ez - pp * g};
    std::copy(m, m + 12, M);
  }
  if (p.proj == 0) {
    const double t = std::tan(p.half_angle) * p.near_dist;
    double f2, f3, o;
    if (p.far_dist <= 0) {
      f2 = f3 = t / p.near_dist;
      o = -t;
    } else {
      const double v = 1 - p.near_dist / p.far_dist;
      f3 = t / p.near_dist;
      f2 = t / (v * p.near_dist);
      o = -t / v;
    }
    for (int j = 0; j < 4; ++j) {
      M[12 + j] = f3 * M[8 + j];
      M[8 + j] *= f2;
    }
    M[11] += o;
  } else {
    const double w = 1.0;  // the orthographic window width
    M[12] = M[13] = M[14] = 0;
    M[15] = 2 / w;
    double far = p.far_dist > 0 ? p.far_dist : 2 * std::sqrt(ex * ex + ey * ey + ez * ez);
    for (int j = 0; j < 4; ++j) M[8 + j] /= far;
  }
  for (int i = 0; i < 16; ++i)
    if (!std::isfinite(M[i])) return false;
  return true;
}

}  // namespace

void build_view(Context& ctx) {
  Graph3dSystem& s = ctx.g3d.sys;
  const Graph3dParams& p = ctx.g3d.p;
  for (int i = 0; i < 3; ++i) s.box[i] = p.box[i];
  s.proj = p.proj;
  s.clip = p.clip;
  s.rot_on = p.rot[0] != 0 || p.rot[1] != 0 || p.rot[2] != 0;
  rotation_matrix(p.rot, s.rot);
  const double* L = s.box;
  double E[3] = {2 * L[0], -2.5 * L[1], 2 * L[2]};
  if (p.view_mode == 1) {
    for (int i = 0; i < 3; ++i) E[i] = p.view[i];
  } else if (p.view_mode == 2) {
    user_to_box_linear(ctx, p.view, E);
  } else if (p.view_mode == 3) {
    angle_point(p.view, E);
  }
  // the eye in the frame of the (rotated) box decides whether it lies inside
  auto in_box_frame = [&](const double e[3]) {
    for (int i = 0; i < 3; ++i)
      s.eye[i] = s.rot_on ? s.rot[i] * e[0] + s.rot[3 + i] * e[1] + s.rot[6 + i] * e[2] : e[i];
  };
  auto use_default = [&] {
    warn_code(ctx, 33);
    E[0] = 2 * L[0], E[1] = -2.5 * L[1], E[2] = 2 * L[2];
  };
  in_box_frame(E);
  bool inside = true;
  for (int i = 0; i < 3; ++i)
    if (!(std::fabs(s.eye[i]) <= L[i] / 2)) inside = false;
  if (!std::isfinite(E[0] + E[1] + E[2]) || (inside && p.view_mode != 0)) use_default();
  double F[3] = {0, 0, 0};
  if (p.focus_mode == 1) {
    for (int i = 0; i < 3; ++i) F[i] = p.focus[i];
  } else if (p.focus_mode == 2) {
    user_to_box_linear(ctx, p.focus, F);
  }
  if (!std::isfinite(F[0] + F[1] + F[2])) F[0] = F[1] = F[2] = 0;
  // a view point so far away that the matrix overflows is no better than one inside
  if (!view_matrix(p, E, F, s.M)) {
    use_default();
    view_matrix(p, E, F, s.M);
  }
  in_box_frame(E);
  s.cx = s.area_x + s.area_w / 2;
  s.cy = s.area_y - s.area_h / 2;
  s.s = std::min(s.area_w, s.area_h) / 2;
}

// ------------------------------------------------------------------------------------------
// Plane mapping

void plane_project(Context& ctx, double& x, double& y) {
  const Graph3dSystem& s = ctx.g3d.sys;
  double X = x - s.plane_ox, Y = y - s.plane_oy;
  double u = (X - s.area_x) / (s.area_w - 1), v = (s.area_y - Y) / (s.area_h - 1);
  double P[3];
  for (int i = 0; i < 3; ++i) P[i] = s.p1[i] + u * s.d12[i] + v * s.d23[i];
  Proj p = project_box(ctx, P);
  if (!p.ok) {
    // behind the eye: far away, so that the line leaves the window instead of folding over
    p.x = std::isfinite(p.x) ? std::copysign(kPlotLimit, p.x - s.cx) : kPlotLimit;
    p.y = std::isfinite(p.y) ? std::copysign(kPlotLimit, p.y - s.cy) : kPlotLimit;
  }
  x = p.x + s.plane_ox;
  y = p.y + s.plane_oy;
}

void plane_on(Context& ctx, const double p1[3], const double p2[3], const double p3[3]) {
  qqflsh(ctx);
  Graph3dSystem& s = ctx.g3d.sys;
  for (int i = 0; i < 3; ++i) {
    s.p1[i] = p1[i];
    s.d12[i] = p2[i] - p1[i];
    s.d23[i] = p3[i] - p2[i];
  }
  s.plane = 1;
  s.plane_ox = ctx.core.origin_x;
  s.plane_oy = ctx.core.origin_y;
  ctx.dev.plane_fn = plane_project;
  ctx.dev.plane_projection = 1;
}

void plane_off(Context& ctx) {
  qqflsh(ctx);
  ctx.g3d.sys.plane = 0;
  ctx.dev.plane_projection = 0;
  ctx.dev.plane_fn = nullptr;
}

// ------------------------------------------------------------------------------------------
// Lines

namespace {

// Parameter range [t0, t1] of b1 + t (b2 - b1) on the side f(b) >= 0 of an affine function
// given at both ends.
inline bool cut(double f1, double f2, double& t0, double& t1) {
  if (f1 >= 0 && f2 >= 0) return true;
  if (f1 < 0 && f2 < 0) return false;
  double t = f1 / (f1 - f2);
  if (f1 < 0)
    t0 = std::max(t0, t);
  else
    t1 = std::min(t1, t);
  return t0 <= t1;
}

// Clips a segment in box space; false when nothing is left.
bool clip_segment3(const Context& ctx, const double b1[3], const double b2[3], double& t0,
                   double& t1) {
  const Graph3dSystem& s = ctx.g3d.sys;
  t0 = 0, t1 = 1;
  if (s.clip == 0) {
    for (int i = 0; i < 3; ++i) {
      double h = s.box[i] / 2 * (1 + 1e-9);
      if (!cut(h - b1[i], h - b2[i], t0, t1) || !cut(b1[i] + h, b2[i] + h, t0, t1)) return false;
    }
  }
  Proj p1 = project_box(ctx, b1), p2 = project_box(ctx, b2);
  if (s.clip == 1) {
    if (!cut(p1.xh + p1.w, p2.xh + p2.w, t0, t1) || !cut(p1.w - p1.xh, p2.w - p2.xh, t0, t1) ||
        !cut(p1.yh + p1.w, p2.yh + p2.w, t0, t1) || !cut(p1.w - p1.yh, p2.w - p2.yh, t0, t1) ||
        !cut(p1.zh, p2.zh, t0, t1) || !cut(p1.w - p1.zh, p2.w - p2.zh, t0, t1))
      return false;
  } else if (s.proj == 0) {
    // nothing behind the near plane can be projected
    if (!cut(p1.zh, p2.zh, t0, t1)) return false;
  }
  return t0 <= t1;
}

}  // namespace

void move3d(Context& ctx, const double b[3]) {
  Graph3dSystem& s = ctx.g3d.sys;
  for (int i = 0; i < 3; ++i) s.pen[i] = b[i];
  s.pen_valid = std::isfinite(b[0]) && std::isfinite(b[1]) && std::isfinite(b[2]);
  s.line_open = 0;
}

void line3d(Context& ctx, const double b1[3], const double b2[3]) {
  Graph3dSystem& s = ctx.g3d.sys;
  double t0, t1;
  if (!clip_segment3(ctx, b1, b2, t0, t1)) {
    s.line_open = 0;
    return;
  }
  double q1[3], q2[3];
  for (int i = 0; i < 3; ++i) {
    q1[i] = b1[i] + t0 * (b2[i] - b1[i]);
    q2[i] = b1[i] + t1 * (b2[i] - b1[i]);
  }
  Proj p1 = project_box(ctx, q1), p2 = project_box(ctx, q2);
  if (!std::isfinite(p1.x + p1.y) || !std::isfinite(p2.x + p2.y)) {
    s.line_open = 0;
    return;
  }
  if (!s.line_open || t0 > 0) qqstrt(ctx, p1.x, p1.y);
  qqconn(ctx, p2.x, p2.y);
  s.line_open = t1 >= 1;
}

void draw3d(Context& ctx, const double b[3]) {
  Graph3dSystem& s = ctx.g3d.sys;
  bool finite = std::isfinite(b[0]) && std::isfinite(b[1]) && std::isfinite(b[2]);
  if (!finite) {
    count_nan(ctx);
    s.pen_valid = 0;
    s.line_open = 0;
    return;
  }
  if (!s.pen_valid) {
    move3d(ctx, b);
    return;
  }
  line3d(ctx, s.pen, b);
  for (int i = 0; i < 3; ++i) s.pen[i] = b[i];
}

}  // namespace tavero
