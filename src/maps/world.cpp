// Coastlines, borders and rivers (world), shaded land, lakes, seas and continents (shdmap)
// and shaded countries and US states.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "axes/axes.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "maps/maps.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Points of one filled area; beyond this a polygon is reported and skipped.
constexpr size_t kMaxFillPoints = 2'000'000;

// Region codes of shoreline polygons and countries in the shipped data.
enum Region { kAntarctica = 1, kAfrica, kAsia, kOceania, kEurope, kNorthAmerica, kSouthAmerica };

bool map_active(Context& ctx) {
  if (ctx.axes.kind == kKindMap && ctx.maps.sys.active) return true;
  set_custom_message(ctx, "No call to GRAFMP before");
  warn_code(ctx, 166);
  return false;
}

bool wraps(const MapSystem& m) { return !proj_azimuthal(m.code) && m.code != kProjUser; }

// Multiples of 360 degrees by which a line must be shifted to meet the longitude limits.
void copy_shifts(const MapSystem& m, const MapLine& l, int& k1, int& k2) {
  k1 = k2 = 0;
  if (!wraps(m) || l.lon.empty()) return;
  auto [lo, hi] = std::minmax_element(l.lon.begin(), l.lon.end());
  k1 = static_cast<int>(std::ceil((m.xa - *hi) / 360 - 1e-12));
  k2 = static_cast<int>(std::floor((m.xe - *lo) / 360 + 1e-12));
  k1 = std::max(k1, -3);
  k2 = std::min(k2, 3);
}

void draw_lines(Context& ctx, const std::vector<MapLine>& lines, bool (*wanted)(const MapLine&)) {
  const MapSystem& m = ctx.maps.sys;
  std::vector<double> lon, lat;
  for (const MapLine& l : lines) {
    if (wanted && !wanted(l)) continue;
    int k1, k2;
    copy_shifts(m, l, k1, k2);
    for (int k = k1; k <= k2; ++k) {
      lon.assign(l.lon.begin(), l.lon.end());
      lat.assign(l.lat.begin(), l.lat.end());
      if (l.closed && !lon.empty()) {
        lon.push_back(lon.front());
        lat.push_back(lat.front());
      }
      for (double& v : lon) v += 360.0 * k;
      draw_map_polyline(ctx, lon.data(), lat.data(), static_cast<int>(lon.size()));
      qqflsh(ctx);
    }
  }
}

// ------------------------------------------------------------------------------------------
// Polygons in map coordinates -> filled areas on the page

using Ring = std::vector<std::pair<double, double>>;

// One step of Sutherland-Hodgman: keeps the side where f >= 0 (f linear along edges).
template <typename F>
Ring clip_ring(const Ring& in, F f) {
  Ring out;
  const size_t n = in.size();
  if (n == 0) return out;
  for (size_t i = 0; i < n; ++i) {
    const auto& a = in[(i + n - 1) % n];
    const auto& b = in[i];
    double fa = f(a), fb = f(b);
    if (fb >= 0) {
      if (fa < 0) {
        double t = fa / (fa - fb);
        out.push_back({a.first + t * (b.first - a.first), a.second + t * (b.second - a.second)});
      }
      out.push_back(b);
    } else if (fa >= 0) {
      double t = fa / (fa - fb);
      out.push_back({a.first + t * (b.first - a.first), a.second + t * (b.second - a.second)});
    }
  }
  return out;
}

// Points every degree at most, so that projected edges follow the curves of the map.
Ring densify(const Ring& in) {
  Ring out;
  const size_t n = in.size();
  for (size_t i = 0; i < n; ++i) {
    const auto& a = in[i];
    const auto& b = in[(i + 1) % n];
    out.push_back(a);
    double d = std::max(std::fabs(b.first - a.first), std::fabs(b.second - a.second));
    int k = static_cast<int>(std::min(d, 3600.0));
    for (int j = 1; j < k; ++j) {
      double t = static_cast<double>(j) / k;
      out.push_back({a.first + t * (b.first - a.first), a.second + t * (b.second - a.second)});
    }
  }
  return out;
}

double signed_area(const Ring& r) {
  double s = 0;
  for (size_t i = 0, n = r.size(); i < n; ++i) {
    const auto& a = r[i];
    const auto& b = r[(i + 1) % n];
    s += a.first * b.second - b.first * a.second;
  }
  return s / 2;
}

// The part of a ring on the visible cap of an azimuthal map, cut on the sphere (the far
// side must not come back as a ring round the map); where the ring runs along the edge of
// the cap it follows the edge.
Ring visible_cap(const MapSystem& m, const Ring& ring) {
  using V = std::array<double, 3>;
  auto vec = [](double lon, double lat) {
    double a = lon * kPi / 180, b = lat * kPi / 180;
    return V{std::cos(b) * std::cos(a), std::cos(b) * std::sin(a), std::sin(b)};
  };
  const V c = vec(m.lon0, m.lat0);
  const double lim = std::cos(std::min(m.visible, 179.0 * kPi / 180));
  auto f = [&](const V& p) { return p[0] * c[0] + p[1] * c[1] + p[2] * c[2] - lim; };
  auto unit = [](V p) {
    double l = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    return l > 0 ? V{p[0] / l, p[1] / l, p[2] / l} : p;
  };
  std::vector<V> in;
  in.reserve(ring.size());
  for (const auto& q : ring) in.push_back(vec(q.first, q.second));
  std::vector<V> out;
  std::vector<char> edge;  // the point lies on the edge of the cap
  const size_t n = in.size();
  for (size_t i = 0; i < n; ++i) {
    const V& a = in[(i + n - 1) % n];
    const V& b = in[i];
    double fa = f(a), fb = f(b);
    auto cut = [&] {
      double t = fa / (fa - fb);
      out.push_back(unit({a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1]), a[2] + t * (b[2] - a[2])}));
      edge.push_back(1);
    };
    if (fb >= 0) {
      if (fa < 0) cut();
      out.push_back(b);
      edge.push_back(0);
    } else if (fa >= 0) {
      cut();
    }
  }
  Ring res;
  const size_t k = out.size();
  for (size_t i = 0; i < k; ++i) {
    const V& p = out[i];
    res.push_back({std::atan2(p[1], p[0]) * 180 / kPi, std::asin(std::clamp(p[2], -1.0, 1.0)) * 180 / kPi});
    const V& q = out[(i + 1) % k];
    if (!edge[i] || !edge[(i + 1) % k]) continue;
    // along the edge of the cap by the shorter way, in steps of about a degree
    V u{p[0] - lim * c[0], p[1] - lim * c[1], p[2] - lim * c[2]};
    V w{q[0] - lim * c[0], q[1] - lim * c[1], q[2] - lim * c[2]};
    V x = {c[1] * u[2] - c[2] * u[1], c[2] * u[0] - c[0] * u[2], c[0] * u[1] - c[1] * u[0]};
    double cosang = u[0] * w[0] + u[1] * w[1] + u[2] * w[2];
    double sinang = x[0] * w[0] + x[1] * w[1] + x[2] * w[2];
    double ang = std::atan2(sinang, cosang);
    int steps = static_cast<int>(std::fabs(ang) * 180 / kPi);
    for (int s = 1; s < steps; ++s) {
      double t = ang * s / steps, ct = std::cos(t), st = std::sin(t);
      V r{lim * c[0] + u[0] * ct + x[0] * st, lim * c[1] + u[1] * ct + x[1] * st,
          lim * c[2] + u[2] * ct + x[2] * st};
      res.push_back({std::atan2(r[1], r[0]) * 180 / kPi, std::asin(std::clamp(r[2], -1.0, 1.0)) * 180 / kPi});
    }
  }
  // longitudes continuous again, so that later steps interpolate the short way
  for (size_t i = 1; i < res.size(); ++i) {
    double d = res[i].first - res[i - 1].first;
    if (d > 180 || d < -180) res[i].first -= 360 * std::round(d / 360);
  }
  return res;
}

// The visible part of one ring (in degrees) as a ring of plot points; empty when nothing
// of it shows.
Ring project_ring(Context& ctx, const Ring& ring) {
  const MapSystem& m = ctx.maps.sys;
  Ring r = ring;
  const bool limits = !proj_azimuthal(m.code) && m.code != kProjUtm && m.code != kProjObli &&
                      m.code != kProjUser;
  if (limits) {
    r = clip_ring(r, [&](const auto& p) { return p.first - m.xa; });
    r = clip_ring(r, [&](const auto& p) { return m.xe - p.first; });
    r = clip_ring(r, [&](const auto& p) { return p.second - m.ya; });
    r = clip_ring(r, [&](const auto& p) { return m.ye - p.second; });
  }
  if (r.size() < 3) return {};
  if (m.code != kProjUser) r = densify(r);
  if (proj_azimuthal(m.code)) r = visible_cap(m, r);
  if (r.size() < 3) return {};
  Ring out;
  out.reserve(r.size());
  for (const auto& p : r) {
    double x, y;
    if (map_user_to_plot(ctx, p.first, p.second, x, y)) out.push_back({x, y});
  }
  if (proj_azimuthal(m.code)) {
    // the circle of the map as a convex polygon of 180 edges
    const int kSides = 180;
    double rr = m.radius / std::cos(kPi / kSides);
    for (int s = 0; s < kSides && out.size() >= 3; ++s) {
      double t = 2 * kPi * (s + 0.5) / kSides, nx = std::cos(t), ny = -std::sin(t);
      double lim = nx * m.cx + ny * m.cy + rr * std::cos(kPi / kSides);
      out = clip_ring(out, [&](const auto& p) { return lim - (nx * p.first + ny * p.second); });
    }
  }
  if (out.size() < 3) return {};
  return out;
}

// Fills rings already on the page (absolute plot coordinates relative to the origin).
bool fill_ring(Context& ctx, const Ring& r) {
  if (r.size() < 3) return true;
  if (r.size() > kMaxFillPoints) {
    set_custom_message(ctx, "Internal error: Overflow of map coordinates");
    warn_code(ctx, 114);
    return false;
  }
  std::vector<double> x(r.size()), y(r.size());
  for (size_t i = 0; i < r.size(); ++i) x[i] = r[i].first, y[i] = r[i].second;
  // the rings are already cut to the circle of an azimuthal map: the device may fill them
  const int code = ctx.dev.map_projection;
  ctx.dev.map_projection = 0;
  qqfpol(ctx, x.data(), y.data(), static_cast<int>(r.size()));
  ctx.dev.map_projection = code;
  return true;
}

// Every copy of a map polygon that meets the limits, clipped and projected.
void polygon_rings(Context& ctx, const MapLine& l, std::vector<Ring>& out) {
  const MapSystem& m = ctx.maps.sys;
  int k1, k2;
  copy_shifts(m, l, k1, k2);
  for (int k = k1; k <= k2; ++k) {
    Ring ring(l.lon.size());
    for (size_t i = 0; i < l.lon.size(); ++i) ring[i] = {l.lon[i] + 360.0 * k, l.lat[i]};
    Ring r = project_ring(ctx, ring);
    if (!r.empty()) out.push_back(std::move(r));
  }
}

void fill_polygons(Context& ctx, const std::vector<MapLine>& lines,
                   bool (*wanted)(const MapLine&, int), int arg) {
  std::vector<Ring> rings;
  for (const MapLine& l : lines) {
    if (!l.closed || l.lon.size() < 3 || !wanted(l, arg)) continue;
    rings.clear();
    polygon_rings(ctx, l, rings);
    for (const Ring& r : rings)
      if (!fill_ring(ctx, r)) break;
  }
}

// The area of the map less the land: the outline with every land ring as a hole, joined by
// bridges to its first point (even-odd and non-zero filling agree on that).
void fill_sea(Context& ctx, const std::vector<MapLine>& lines) {
  const MapSystem& m = ctx.maps.sys;
  Ring outer;
  if (proj_azimuthal(m.code)) {
    for (int i = 0; i < 360; ++i) {
      double t = 2 * kPi * i / 360;
      outer.push_back({m.cx + m.radius * std::cos(t), m.cy - m.radius * std::sin(t)});
    }
  } else if (proj_cylindrical(m.code) || m.code == kProjUser) {
    outer = {{m.bx1, m.by2}, {m.bx2, m.by2}, {m.bx2, m.by1}, {m.bx1, m.by1}};
  } else {
    Ring lim = {{m.xa, m.ya}, {m.xe, m.ya}, {m.xe, m.ye}, {m.xa, m.ye}};
    outer = project_ring(ctx, lim);
  }
  if (outer.size() < 3) return;
  // page y grows downwards: the outer ring goes one way, the holes the other
  if (signed_area(outer) > 0) std::reverse(outer.begin(), outer.end());
  Ring all = outer;
  all.push_back(outer.front());
  std::vector<Ring> rings;
  for (const MapLine& l : lines) {
    if (!l.closed || l.level != 1 || l.lon.size() < 3) continue;
    rings.clear();
    polygon_rings(ctx, l, rings);
    for (Ring& r : rings) {
      if (signed_area(r) < 0) std::reverse(r.begin(), r.end());
      all.insert(all.end(), r.begin(), r.end());
      all.push_back(r.front());
      all.push_back(outer.front());
    }
  }
  fill_ring(ctx, all);
}

bool shoreline(const MapLine& l) { return l.level != 6 && l.level < 8 && l.level != 0; }
bool land_shore(const MapLine& l) { return l.level == 1 || l.level == 5; }
bool lake_shore(const MapLine& l) { return l.level >= 2 && l.level <= 4; }
bool national(const MapLine& l) { return l.level == 1; }
bool any_line(const MapLine&) { return true; }

bool land_poly(const MapLine& l, int) { return l.level == 1 || l.level == 5; }
bool lake_poly(const MapLine& l, int) { return l.level == 2; }
bool region_poly(const MapLine& l, int region) {
  if (region == kAsia) return l.level == kAsia || l.level == kEurope;  // Eurasia
  return l.level == region;
}

}  // namespace

// ------------------------------------------------------------------------------------------
// world

void world() {
  Context* ctx = enter(R::world);
  if (!ctx || !map_active(*ctx)) return;
  MapState& ms = ctx->maps;
  std::vector<MapLine> lines;
  axis_clip_on(*ctx);
  if (ms.base == 5) {
    if (!ms.file_type) {
      set_custom_message(*ctx, "No call to MAPFIL before");
      warn_code(*ctx, 118);
    } else {
      MapReadResult r = ms.file_type == 1 ? read_gshhs(ms.file, lines) : read_text_map(ms.file, lines);
      if (!r.opened) {
        warn_string(*ctx, kMsgFileError, ms.file);
      } else {
        if (r.truncated) {
          set_custom_message(*ctx, "Read error");
          warn_code(*ctx, 119);
        }
        bool (*sel)(const MapLine&) = any_line;
        if (ms.file_type == 1 && ms.level == 1) sel = land_shore;
        if (ms.file_type == 1 && ms.level == 2) sel = lake_shore;
        draw_lines(*ctx, lines, sel);
      }
    }
  } else if (ms.level == 4) {
    if (load_base_layer(*ctx, ms.base, MapLayer::kRiver, lines)) draw_lines(*ctx, lines, nullptr);
  } else {
    if (ms.world != 1 && load_base_layer(*ctx, ms.base, MapLayer::kCoast, lines)) {
      draw_lines(*ctx, lines, ms.level == 1 ? land_shore : ms.level == 2 ? lake_shore : shoreline);
    }
    lines.clear();
    if (ms.world != 0 && load_base_layer(*ctx, ms.base, MapLayer::kBorder, lines))
      draw_lines(*ctx, lines, national);
  }
  qqflsh(*ctx);
  axis_clip_off(*ctx);
}

// ------------------------------------------------------------------------------------------
// shdmap: ALL and LAND fill the land of the own base map, the continents come from the
// country outlines, GSHL/GSHI/GSHH fill the land of a shoreline resolution and
// LSEA/ISEA/HSEA its sea.

void shdmap(const char* copt) {
  Context* ctx = enter(R::shdmap);
  if (!ctx) return;
  int k = lookup_keyword(*ctx,
                         "ALL +ANTA+AFRI+EURA+AUST+EURO+NORT+SOUT+LAKE+LAND+SEA +"
                         "GSHL+GSHI+GSHH+LSEA+ISEA+HSEA",
                         17, copt);
  if (!k || !map_active(*ctx)) return;
  std::vector<MapLine> lines;
  axis_clip_on(*ctx);
  static const int kRegion[] = {0, kAntarctica, kAfrica, kAsia, kOceania, kEurope, kNorthAmerica,
                                kSouthAmerica};
  if (k >= 2 && k <= 8) {
    if (load_base_layer(*ctx, 0, MapLayer::kCountry, lines))
      fill_polygons(*ctx, lines, region_poly, kRegion[k - 1]);
  } else {
    int base = 0;
    if (k >= 12) base = (k - 12) % 3 + 1;
    bool sea = k == 11 || k >= 15;
    if (load_base_layer(*ctx, base, MapLayer::kCoast, lines)) {
      if (sea) fill_sea(*ctx, lines);
      else fill_polygons(*ctx, lines, k == 9 ? lake_poly : land_poly, 0);
    }
  }
  qqflsh(*ctx);
  axis_clip_off(*ctx);
}

// ------------------------------------------------------------------------------------------
// Shaded countries: inray holds ISO 3166-1 numeric country codes (FIPS state numbers for
// shdusa, 0 for every country of the region), ipray the shading patterns, icray the colours
// (-1 the current colour).

namespace {

void shade_countries(Context& ctx, int region, const int* inray, const int* ipray,
                     const int* icray, int n) {
  if (!map_active(ctx)) return;
  std::vector<MapLine> lines;
  const bool states = region == 0;
  if (!load_base_layer(ctx, 0, states ? MapLayer::kState : MapLayer::kCountry, lines)) return;
  FillState saved_fill = ctx.fill;
  const int saved_colour = ctx.color.current;
  axis_clip_on(ctx);
  std::vector<Ring> rings;
  for (int i = 0; i < n; ++i) {
    if (ipray[i] < 0) {
      warn_number(ctx, kMsgIncorrectParameter, ipray[i]);
      continue;
    }
    bool found = false;
    set_fill_pattern(ctx, ipray[i]);
    if (icray[i] != -1) qqsclr(ctx, icray[i]);
    else qqsclr(ctx, saved_colour);
    for (const MapLine& l : lines) {
      bool in_region = states ? l.level == 1 : l.level == region;
      if (!in_region || !l.closed || (inray[i] != 0 && l.code != inray[i])) continue;
      found = true;
      rings.clear();
      polygon_rings(ctx, l, rings);
      for (const Ring& r : rings) fill_ring(ctx, r);
    }
    if (!found) warn_number(ctx, kMsgIncorrectParameter, inray[i]);
  }
  qqflsh(ctx);
  axis_clip_off(ctx);
  ctx.fill = saved_fill;
  if (ctx.color.current != saved_colour) qqsclr(ctx, saved_colour);
}

}  // namespace

void shdafr(const int* inray, const int* ipray, const int* icray, int n) {
  Context* ctx = enter(R::shdafr);
  if (ctx) shade_countries(*ctx, kAfrica, inray, ipray, icray, n);
}

void shdasi(const int* inray, const int* ipray, const int* icray, int n) {
  Context* ctx = enter(R::shdasi);
  if (ctx) shade_countries(*ctx, kAsia, inray, ipray, icray, n);
}

void shdaus(const int* inray, const int* ipray, const int* icray, int n) {
  Context* ctx = enter(R::shdaus);
  if (ctx) shade_countries(*ctx, kOceania, inray, ipray, icray, n);
}

void shdeur(const int* inray, const int* ipray, const int* icray, int n) {
  Context* ctx = enter(R::shdeur);
  if (ctx) shade_countries(*ctx, kEurope, inray, ipray, icray, n);
}

void shdnor(const int* inray, const int* ipray, const int* icray, int n) {
  Context* ctx = enter(R::shdnor);
  if (ctx) shade_countries(*ctx, kNorthAmerica, inray, ipray, icray, n);
}

void shdsou(const int* inray, const int* ipray, const int* icray, int n) {
  Context* ctx = enter(R::shdsou);
  if (ctx) shade_countries(*ctx, kSouthAmerica, inray, ipray, icray, n);
}

void shdusa(const int* inray, const int* ipray, const int* icray, int n) {
  Context* ctx = enter(R::shdusa);
  if (ctx) shade_countries(*ctx, 0, inray, ipray, icray, n);
}

}  // namespace tavero
