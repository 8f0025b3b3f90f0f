// Map projections: the forward step of every family from (lon, lat) to unscaled (x, y), the
// scaling to plot coordinates of the active map axis system, and the inverse for the
// plot -> user conversions.
#include <algorithm>
#include <cmath>

#include "axes/axis_state.h"
#include "maps/maps.h"

namespace tavero {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;
constexpr double kWgs84E = 0.0818191908426215;  // first eccentricity of the WGS 84 ellipsoid

inline double clampd(double v, double lo, double hi) { return v < lo ? lo : v > hi ? hi : v; }

// Mercator ordinate of a latitude, the poles moved to 89.99 degrees.
inline double mercator_y(double phi_deg) {
  phi_deg = clampd(phi_deg, -89.99, 89.99);
  return std::log(std::tan((phi_deg / 2 + 45) * kDeg));
}

// Mollweide auxiliary angle: 2t + sin 2t = pi sin(phi), by Newton steps.
double mollweide_theta(double phi) {
  if (std::fabs(std::fabs(phi) - kPi / 2) < 1e-12) return phi;
  double target = kPi * std::sin(phi), t = phi;
  for (int i = 0; i < 50; ++i) {
    double f = 2 * t + std::sin(2 * t) - target, d = 2 + 2 * std::cos(2 * t);
    if (std::fabs(d) < 1e-15) break;
    double dt = f / d;
    t -= dt;
    if (std::fabs(dt) < 1e-13) break;
  }
  return t;
}

void conic_rho(const MapSystem& m, double c, double& rho) {
  switch (m.code) {
    case kProjConf:
      c = std::min(c, 179.99 * kDeg);
      rho = m.k * std::pow(std::tan(c / 2), m.n);
      break;
    case kProjAlbe: {
      double s = std::sin(c / 2);
      rho = std::sqrt(std::max(0.0, 4 * s * s / m.n + m.c));
      break;
    }
    default:  // "CONI": equidistant along the meridians
      rho = m.k + c;
      break;
  }
}

}  // namespace

double azimuthal_radius(int code, double c) {
  switch (code) {
    case kProjGnom:
      return std::tan(std::min(c, 89.9 * kDeg));
    case kProjOrth:
      return c <= kPi / 2 ? std::sin(c) : 2 - std::sin(c);  // the far side as a ring
    case kProjSter:
      return 2 * std::tan(std::min(c, 179.9 * kDeg) / 2);
    case kProjLamb:
      return 2 * std::sin(c / 2);
    default:
      return c;
  }
}

// ------------------------------------------------------------------------------------------
// Constants of one axis system

void prepare_projection(const MapState& s, MapSystem& m) {
  m.lonc = (m.xa + m.xe) / 2;
  m.phi0 = 0;
  if (m.code == kProjObli) m.phi0 = s.pol_lat * kDeg;
  if (m.code == kProjPoly) m.phi0 = (m.ya + m.ye) / 2 * kDeg;
  if (proj_conic(m.code) && m.code != kProjPoly) {
    // Without mapref the standard parallels lie one sixth inside the latitude range.
    double l1 = s.ref_set ? s.ref1 : m.ya + (m.ye - m.ya) / 6;
    double l2 = s.ref_set ? s.ref2 : m.ye - (m.ye - m.ya) / 6;
    l1 = clampd(l1, -89.9, 89.9);
    l2 = clampd(l2, -89.9, 89.9);
    m.south = l1 + l2 < 0;
    double c1 = (m.south ? l1 + 90 : 90 - l1) * kDeg, c2 = (m.south ? l2 + 90 : 90 - l2) * kDeg;
    if (c1 > c2) std::swap(c1, c2);
    m.c1 = c1;
    m.c2 = c2;
    m.two_parallels = std::fabs(c2 - c1) > 1e-9;
    if (!m.two_parallels) {
      switch (m.code) {
        case kProjConf:
          m.n = std::cos(c1);
          break;
        case kProjAlbe:
          m.n = std::cos(c1 / 2) * std::cos(c1 / 2);
          break;
        default:
          m.n = std::cos(c1);
          break;
      }
    } else {
      double cm = (c1 + c2) / 2, d = (c2 - c1) / 2;
      switch (m.code) {
        case kProjConf:
          m.n = (std::log(std::sin(c2)) - std::log(std::sin(c1))) /
                (std::log(std::tan(c2 / 2)) - std::log(std::tan(c1 / 2)));
          break;
        case kProjAlbe:
          m.n = (std::cos(c1) + std::cos(c2)) / 2;
          break;
        default:
          m.n = std::sin(d) * std::cos(cm) / d;
          break;
      }
    }
    // a cone opened flat is a cylinder: keep the constants finite
    if (std::fabs(m.n) < 1e-4) m.n = m.n < 0 ? -1e-4 : 1e-4;
    if (m.code == kProjConf) {
      m.k = m.two_parallels ? std::sin(c2) / (m.n * std::pow(std::tan(c2 / 2), m.n))
                            : std::tan(c1) / std::pow(std::tan(c1 / 2), m.n);
    } else if (m.code == kProjAlbe) {
      double s1 = std::sin(c1 / 2), s2 = std::sin(c2 / 2);
      m.c = m.two_parallels ? 4 * s1 * s1 * s2 * s2 / (m.n * m.n) : 0;
    } else {
      double cm = (c1 + c2) / 2, d = (c2 - c1) / 2;
      m.k = m.two_parallels ? std::tan(cm) * d / std::tan(d) - cm : std::tan(c1) - c1;
    }
    // the centre latitude of the map lies at y = 0 on the central meridian
    double latc = (m.ya + m.ye) / 2;
    double cc = (m.south ? latc + 90 : 90 - latc) * kDeg;
    conic_rho(m, cc, m.rho0);
  }
  if (proj_azimuthal(m.code)) {
    m.lon0 = s.pol_lon;
    m.lat0 = s.pol_lat;
    m.sin0 = std::sin(m.lat0 * kDeg);
    m.cos0 = std::cos(m.lat0 * kDeg);
    m.visible = s.sph;
  }
}

// ------------------------------------------------------------------------------------------
// The forward step

bool project_raw(const MapSystem& m, double lon, double lat, double& x, double& y) {
  if (!std::isfinite(lon) || !std::isfinite(lat) || std::fabs(lon) > 1e7) return false;
  lat = clampd(lat, -90, 90);
  const int code = m.code;
  if (proj_azimuthal(code)) {
    double c, t;
    if (m.lat0 >= 90) {
      c = (90 - lat) * kDeg;
      t = (lon - 90 - m.lon0) * kDeg;
    } else if (m.lat0 <= -90) {
      c = (lat + 90) * kDeg;
      t = -(lon - 90 - m.lon0) * kDeg;
    } else {
      double phi = lat * kDeg;
      double dl = std::remainder(lon - m.lon0, 360.0);
      double cosc = m.cos0 * std::cos(phi) * std::cos(std::fabs(dl) * kDeg) +
                    std::sin(phi) * m.sin0;
      c = std::acos(clampd(cosc, -1, 1));
      double tp = 0;
      if (c != 0) {
        double sc = std::sin(c);
        double ct = sc * m.cos0 != 0 ? (std::sin(phi) - cosc * m.sin0) / (sc * m.cos0) : 1;
        tp = std::acos(clampd(ct, -1, 1));
        if (dl > 0) tp = -tp;  // east of the centre lies to the right
      }
      t = tp + kPi / 2;
    }
    double r = azimuthal_radius(code, c);
    x = r * std::cos(t);
    y = r * std::sin(t);
    return true;
  }
  double lam = lon - m.lonc;
  if (proj_conic(code)) lam = std::remainder(lam, 360.0);
  const double l = lam * kDeg, phi = lat * kDeg;
  switch (code) {
    case kProjCyli:
      x = l;
      y = phi;
      return true;
    case kProjMerc:
      x = l;
      y = mercator_y(lat);
      return true;
    case kProjExac: {
      double p = clampd(lat, -89.99, 89.99) * kDeg, es = kWgs84E * std::sin(p);
      x = l;
      y = std::log(std::tan(kPi / 4 + p / 2)) - kWgs84E / 2 * std::log((1 + es) / (1 - es));
      return true;
    }
    case kProjCorr:  // Miller's moderated Mercator
      x = l;
      y = 1.25 * std::log(std::tan(kPi / 4 + 0.4 * phi));
      return true;
    case kProjUtm: {  // transverse Mercator along the central meridian
      double b = clampd(std::cos(phi) * std::sin(l), -0.9999999, 0.9999999);
      x = std::atanh(b);
      y = std::atan2(std::tan(phi), std::cos(l));
      return true;
    }
    case kProjObli: {
      // The sphere is turned about the east-west axis of the centre so that the latitude
      // of mappol comes onto the equator of a Mercator map.
      double px = std::cos(phi) * std::cos(l), py = std::cos(phi) * std::sin(l), pz = std::sin(phi);
      double qx = px * std::cos(m.phi0) + pz * std::sin(m.phi0);
      double qz = -px * std::sin(m.phi0) + pz * std::cos(m.phi0);
      x = std::atan2(py, qx);
      y = mercator_y(std::asin(clampd(qz, -1, 1)) / kDeg);
      return true;
    }
    case kProjEqua:
      x = l;
      y = std::sin(phi);
      return true;
    case kProjMoll: {
      double t = mollweide_theta(phi);
      x = 2 * std::sqrt(2.0) / kPi * l * std::cos(t);
      y = std::sqrt(2.0) * std::sin(t);
      return true;
    }
    case kProjAito:
    case kProjHamm:
    case kProjWink: {
      double a = std::acos(clampd(std::cos(phi) * std::cos(l / 2), -1, 1));
      double t = 0;
      if (a != 0) t = std::acos(clampd(std::sin(phi) / std::sin(a), -1, 1));
      if (lam < 0) t = -t;
      if (code == kProjAito) {
        x = 2 * a * std::sin(t);
        y = a * std::cos(t);
      } else if (code == kProjHamm) {
        x = 4 * std::sin(a / 2) * std::sin(t);
        y = 2 * std::sin(a / 2) * std::cos(t);
      } else {
        x = (2 * a * std::sin(t) + l * 0.7660444) / 2;
        y = (a * std::cos(t) + phi) / 2;
      }
      return true;
    }
    case kProjSans:
      x = l * std::cos(phi);
      y = phi;
      return true;
    case kProjElli: {  // meridians are half ellipses, parallels equally spaced
      double q = lat / 90;
      x = l * std::sqrt(std::max(0.0, 1 - q * q));
      y = phi;
      return true;
    }
    case kProjPoly: {  // the American polyconic
      if (std::fabs(phi) < 1e-10) {
        x = l;
        y = -m.phi0;
      } else {
        double e = l * std::sin(phi), cot = 1 / std::tan(phi);
        x = cot * std::sin(e);
        y = phi - m.phi0 + cot * (1 - std::cos(e));
      }
      return true;
    }
    case kProjConf:
    case kProjAlbe:
    case kProjConi: {
      double c = (m.south ? lat + 90 : 90 - lat) * kDeg, rho;
      conic_rho(m, c, rho);
      double a = m.n * l;
      x = rho * std::sin(a);
      y = m.rho0 - rho * std::cos(a);
      if (m.south) y = -y;
      return std::isfinite(x) && std::isfinite(y);
    }
    default:
      x = l;
      y = phi;
      return true;
  }
}

// ------------------------------------------------------------------------------------------
// Plot coordinates

bool map_user_to_plot(Context& ctx, double lon, double lat, double& xp, double& yp) {
  const MapSystem& m = ctx.maps.sys;
  if (!m.active) return false;
  if (m.code == kProjUser) {
    if (!std::isfinite(lon) || !std::isfinite(lat)) return false;
    double x = lon, y = lat;
    if (m.user) m.user(&x, &y);
    xp = m.x0 + x;
    yp = m.y0 - y;
    return std::isfinite(xp) && std::isfinite(yp);
  }
  double x, y;
  if (!project_raw(m, lon, lat, x, y)) return false;
  xp = m.x0 + m.sx * x;
  yp = m.y0 - m.sy * y;
  return std::isfinite(xp) && std::isfinite(yp);
}

bool map_plot_to_user(Context& ctx, double xp, double yp, double& lon, double& lat) {
  const MapSystem& m = ctx.maps.sys;
  if (!m.active) return false;
  auto image = [&](double lo, double la, double& x, double& y) {
    return map_user_to_plot(ctx, lo, la, x, y);
  };
  // best start from a coarse search, then Newton steps with a numerical Jacobian
  double best = HUGE_VAL, blon = 0, blat = 0;
  double lon_lo = m.xa, lon_hi = m.xe;
  if (proj_azimuthal(m.code)) lon_lo = -180, lon_hi = 180;
  for (int i = 0; i <= 72; ++i) {
    for (int j = 0; j <= 36; ++j) {
      double lo = lon_lo + (lon_hi - lon_lo) * i / 72, la = -90 + 5.0 * j, x, y;
      if (!image(lo, la, x, y)) continue;
      double d = (x - xp) * (x - xp) + (y - yp) * (y - yp);
      if (d < best) best = d, blon = lo, blat = la;
    }
  }
  if (!(best < HUGE_VAL)) return false;
  lon = blon;
  lat = blat;
  for (int it = 0; it < 60; ++it) {
    double x, y, x1, y1, x2, y2;
    if (!image(lon, lat, x, y)) break;
    double fx = x - xp, fy = y - yp;
    if (fx * fx + fy * fy < 1e-18) break;
    const double h = 1e-6;
    double hl = lat > 0 ? -h : h;
    if (!image(lon + h, lat, x1, y1) || !image(lon, lat + hl, x2, y2)) break;
    double a = (x1 - x) / h, b = (x2 - x) / hl, c = (y1 - y) / h, d = (y2 - y) / hl;
    double det = a * d - b * c;
    if (!(std::fabs(det) > 1e-300)) break;
    double dlon = (d * fx - b * fy) / det, dlat = (a * fy - c * fx) / det;
    double mx = std::max(std::fabs(dlon), std::fabs(dlat));
    if (mx > 10) dlon *= 10 / mx, dlat *= 10 / mx;  // damped far from the answer
    lon -= dlon;
    lat = clampd(lat - dlat, -90, 90);
    if (mx < 1e-12) break;
  }
  return true;
}

namespace {

void convert_hook(Context& ctx, double xu, double yu, double& xp, double& yp) {
  if (!map_user_to_plot(ctx, xu, yu, xp, yp)) xp = yp = std::nan("");
}

void invert_hook(Context& ctx, double xp, double yp, double& xu, double& yu) {
  if (!map_plot_to_user(ctx, xp, yp, xu, yu)) xu = yu = 0;
}

}  // namespace

void install_map_conversion(Context& ctx) {
  ctx.axes.convert = convert_hook;
  ctx.axes.invert = invert_hook;
}

}  // namespace tavero
