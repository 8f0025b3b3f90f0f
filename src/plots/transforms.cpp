// 2-D transformations of the plot (rotation, scaling, shift through the affine stage of the
// line pipeline), conversions of coordinate arrays, and the resampling of matrices.
#include <cmath>
#include <cstring>

#include "axes/axis_convert.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "plots/plot_common.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;

// Applies m after the transform in force: every later point p becomes m(current(p)).
void compose(Context& ctx, const double m[6]) {
  DeviceState& d = ctx.dev;
  const double* a = d.affine;
  double r[6];
  if (!d.affine_on) a = nullptr;
  if (a) {
    r[0] = m[0] * a[0] + m[1] * a[3];
    r[1] = m[0] * a[1] + m[1] * a[4];
    r[2] = m[0] * a[2] + m[1] * a[5] + m[2];
    r[3] = m[3] * a[0] + m[4] * a[3];
    r[4] = m[3] * a[1] + m[4] * a[4];
    r[5] = m[3] * a[2] + m[4] * a[5] + m[5];
  } else {
    std::memcpy(r, m, sizeof r);
  }
  std::memcpy(d.affine, r, sizeof r);
  d.affine_on = 1;
}

// A caller's plot point as an absolute point (origin shift, page origin).
inline void absolute(const Context& ctx, double x, double y, double& ax, double& ay) {
  ax = x + ctx.core.origin_x;
  ay = page_y(ctx, y) + ctx.core.origin_y;
}

bool finite_args(Context& ctx, double a, double b = 0) {
  if (std::isfinite(a) && std::isfinite(b)) return true;
  warn_code(ctx, kMsgIncorrectParameter);
  return false;
}

// Keyword of a conversion; both sides are looked up before they are judged.
bool conversion(Context& ctx, const char* list, int count, const char* from, const char* to,
                int& kf, int& kt) {
  kf = lookup_keyword(ctx, list, count, from);
  kt = lookup_keyword(ctx, list, count, to);
  if (!kf || !kt) return false;
  if (kf == kt) {
    warn_text(ctx, 110, "No conversion necessary");
    return false;
  }
  return true;
}

}  // namespace

// ------------------------------------------------------------------------------------------
// Transformations of the plot

// Counterclockwise on the page by xang degrees about the plot point (nx, ny).
void trfrot(double xang, int nx, int ny) {
  Context* ctx = enter(R::trfrot);
  if (!ctx || !finite_args(*ctx, xang)) return;
  double cx, cy;
  absolute(*ctx, nx, ny, cx, cy);
  const double c = std::cos(xang * kDeg), s = std::sin(xang * kDeg);
  const double m[6] = {c, s, cx - c * cx - s * cy, -s, c, cy + s * cx - c * cy};
  compose(*ctx, m);
}

// Scales about the origin of the caller's plot coordinates; a negative factor mirrors.
void trfscl(double xscl, double yscl) {
  Context* ctx = enter(R::trfscl);
  if (!ctx || !finite_args(*ctx, xscl, yscl)) return;
  if (xscl == 0 || yscl == 0) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  double ox, oy;
  absolute(*ctx, 0, 0, ox, oy);
  const double m[6] = {xscl, 0, ox - xscl * ox, 0, yscl, oy - yscl * oy};
  compose(*ctx, m);
}

void trfshf(int nxshf, int nyshf) {
  Context* ctx = enter(R::trfshf);
  if (!ctx) return;
  const double dy = ctx->core.page_origin == 1 ? -nyshf : nyshf;
  const double m[6] = {1, 0, static_cast<double>(nxshf), 0, 1, dy};
  compose(*ctx, m);
}

void trfres() {
  Context* ctx = enter(R::trfres);
  if (!ctx) return;
  DeviceState& d = ctx->dev;
  const double id[6] = {1, 0, 0, 0, 1, 0};
  std::memcpy(d.affine, id, sizeof id);
  d.affine_on = 0;
}

// ------------------------------------------------------------------------------------------
// Conversions of coordinate arrays

// User coordinates of the axis system -> plot coordinates, in place.
void trfrel(double* xray, double* yray, int n) {
  Context* ctx = enter(R::trfrel);
  if (!ctx) return;
  for (int i = 0; i < n; ++i) {
    double xp, yp;
    user_to_plot(*ctx, xray[i], yray[i], xp, yp);
    xray[i] = xp;
    yray[i] = page_y(*ctx, yp);
  }
}

void trfco1(double* xray, int n, const char* cfrom, const char* cto) {
  Context* ctx = enter(R::trfco1);
  if (!ctx) return;
  int kf, kt;
  if (!conversion(*ctx, "DEGR+RADI", 2, cfrom, cto, kf, kt)) return;
  const double f = kf == 1 ? kDeg : 1 / kDeg;
  for (int i = 0; i < n; ++i) xray[i] *= f;
}

// Polar coordinates are (angle in degrees, radius).
void trfco2(double* xray, double* yray, int n, const char* cfrom, const char* cto) {
  Context* ctx = enter(R::trfco2);
  if (!ctx) return;
  int kf, kt;
  if (!conversion(*ctx, "RECT+POLA", 2, cfrom, cto, kf, kt)) return;
  for (int i = 0; i < n; ++i) {
    const double a = xray[i], b = yray[i];
    if (kf == 1) {
      xray[i] = std::atan2(b, a) / kDeg;
      yray[i] = std::hypot(a, b);
    } else {
      xray[i] = b * std::cos(a * kDeg);
      yray[i] = b * std::sin(a * kDeg);
    }
  }
}

// Spherical coordinates are (longitude, latitude in degrees, radius); cylindrical ones
// (angle in degrees, radius, z).
void trfco3(double* xray, double* yray, double* zray, int n, const char* cfrom, const char* cto) {
  Context* ctx = enter(R::trfco3);
  if (!ctx) return;
  int kf, kt;
  if (!conversion(*ctx, "RECT+SPHE+CYLI", 3, cfrom, cto, kf, kt)) return;
  for (int i = 0; i < n; ++i) {
    double x = xray[i], y = yray[i], z = zray[i];
    if (kf == 2) {
      const double r = z, lon = x * kDeg, lat = y * kDeg;
      x = r * std::cos(lat) * std::cos(lon);
      y = r * std::cos(lat) * std::sin(lon);
      z = r * std::sin(lat);
    } else if (kf == 3) {
      const double a = x * kDeg, r = y;
      x = r * std::cos(a);
      y = r * std::sin(a);
    }
    if (kt == 2) {
      const double r = std::sqrt(x * x + y * y + z * z);
      xray[i] = std::atan2(y, x) / kDeg;
      yray[i] = r > 0 ? std::asin(std::fmax(-1.0, std::fmin(1.0, z / r))) / kDeg : 0;
      zray[i] = r;
    } else if (kt == 3) {
      xray[i] = std::atan2(y, x) / kDeg;
      yray[i] = std::hypot(x, y);
      zray[i] = z;
    } else {
      xray[i] = x;
      yray[i] = y;
      zray[i] = z;
    }
  }
}

// ------------------------------------------------------------------------------------------
// Matrices

// Bilinear resampling of an nx x ny matrix to mx x my; the corner elements stay in place.
void trfmat(const double* zmat, int nx, int ny, double* zmat2, int mx, int my) {
  Context* ctx = enter(R::trfmat);
  if (!ctx) return;
  if (nx < 1 || ny < 1 || mx < 1 || my < 1) {
    int v = nx;
    for (int w : {ny, mx, my})
      if (w < v) v = w;
    warn_number(*ctx, kMsgIncorrectParameter, v);
    return;
  }
  auto locate = [](int k, int m, int n, int& i, double& t) {
    const double u = m > 1 ? static_cast<double>(k) * (n - 1) / (m - 1) : 0.0;
    i = n > 1 ? static_cast<int>(u) : 0;
    if (i > n - 2) i = n > 1 ? n - 2 : 0;
    t = n > 1 ? u - i : 0.0;
  };
  for (int a = 0; a < mx; ++a) {
    int i;
    double t;
    locate(a, mx, nx, i, t);
    const int i2 = nx > 1 ? i + 1 : i;
    for (int b = 0; b < my; ++b) {
      int j;
      double s;
      locate(b, my, ny, j, s);
      const int j2 = ny > 1 ? j + 1 : j;
      auto z = [&](int p, int q) { return zmat[static_cast<long>(p) * ny + q]; };
      // the exact weights 0 and 1 keep neighbours out (NaN elsewhere stays elsewhere)
      auto mix = [](double u, double v, double w) { return w == 0 ? u : w == 1 ? v : u + (v - u) * w; };
      const double lo = mix(z(i, j), z(i2, j), t), hi = mix(z(i, j2), z(i2, j2), t);
      zmat2[static_cast<long>(a) * my + b] = mix(lo, hi, s);
    }
  }
}

}  // namespace tavero
