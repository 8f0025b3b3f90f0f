// The map axis system (grafmp) and the parameter routines of projections, base maps and map
// labels.
#include <algorithm>
#include <cmath>

#include "axes/axes.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "core/strutil.h"
#include "draw/pipeline.h"
#include "maps/map_axes.h"
#include "maps/maps.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr double kPi = 3.14159265358979323846;

constexpr const char* kProjKeys =
    "CYLI+MERC+EXAC+CORR+UTM +OBLI+EQUA+MOLL+AITO+HAMM+WINK+SANS+ELLI+CONF+ALBE+POLY+CONI+"
    "GNOM+ORTH+STER+AZIM+LAMB+MYPR";
constexpr int kProjCodes[] = {0,  1,  2,  3,  4,  5,  6,  10, 11, 12, 13, 14,
                              15, 20, 21, 22, 23, 30, 31, 32, 33, 34, 100};

inline long long rounded(double v) {
  if (!(std::fabs(v) < 9e18)) return v > 0 ? 9000000000000000000LL : -9000000000000000000LL;
  return std::llround(v);
}

// Reports a double argument with "Incorrect parameter" (its integer part is shown).
void bad_value(Context& ctx, double v) { warn_number(ctx, kMsgIncorrectParameter, rounded(v)); }

// Lower left corner of the next axis system, as graf places it.
void layout_position(Context& ctx, int& x, int& y) {
  AxisState& a = ctx.axes;
  x = a.pos_x;
  y = a.pos_y;
  if (a.center) {
    x = (ctx.core.page_w + 1 - a.len[0]) / 2;
    y = (ctx.core.page_h + 1 - a.len[1]) / 2 + a.len[1] - 1;
  }
}

// Extent of the projected limits: the outline densely, the inside coarsely (the transverse
// and oblique aspects have their extremes inside).
bool projected_extent(const MapSystem& m, double& x1, double& x2, double& y1, double& y2) {
  x1 = y1 = HUGE_VAL;
  x2 = y2 = -HUGE_VAL;
  auto add = [&](double lon, double lat) {
    double x, y;
    if (!project_raw(m, lon, lat, x, y) || !std::isfinite(x) || !std::isfinite(y)) return;
    x1 = std::min(x1, x);
    x2 = std::max(x2, x);
    y1 = std::min(y1, y);
    y2 = std::max(y2, y);
  };
  const int ne = 720, ni = 48;
  for (int i = 0; i <= ne; ++i) {
    double lon = m.xa + (m.xe - m.xa) * i / ne, lat = m.ya + (m.ye - m.ya) * i / ne;
    add(lon, m.ya);
    add(lon, m.ye);
    add(m.xa, lat);
    add(m.xe, lat);
  }
  for (int i = 1; i < ni; ++i)
    for (int j = 1; j < ni; ++j)
      add(m.xa + (m.xe - m.xa) * i / ni, m.ya + (m.ye - m.ya) * j / ni);
  return x2 > x1 && y2 > y1;
}

}  // namespace

// ------------------------------------------------------------------------------------------
// grafmp

void grafmp(double xa, double xe, double xorg, double xstp, double ya, double ye, double yorg,
            double ystp) {
  Context* ctx = enter(R::grafmp);
  if (!ctx) return;
  AxisState& a = ctx->axes;
  MapState& ms = ctx->maps;
  const int code = ms.proj;
  if (!std::isfinite(xa) || !std::isfinite(xe) || !std::isfinite(ya) || !std::isfinite(ye)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  if (!(xa < xe) || !(ya < ye)) {
    set_custom_message(*ctx, "Limits of a map axis must increase");
    warn_code(*ctx, 167);
    return;
  }
  const double lat_lim = code == kProjMerc ? 85.1 : code == kProjCyli ? 180.1 : 90.1;
  for (double v : {xa, xe})
    if (v < -540.1 || v > 540.1) return bad_value(*ctx, v);
  for (double v : {ya, ye})
    if (v < -lat_lim || v > lat_lim) return bad_value(*ctx, v);
  int px, py;
  layout_position(*ctx, px, py);
  if (check_axis(*ctx, xa, xe, xorg, xstp, a.len[0]) ||
      check_axis(*ctx, ya, ye, yorg, ystp, a.len[1]))
    return;
  if (px + ctx->core.origin_x < 0) warn_code(*ctx, 4);
  if (py + ctx->core.origin_y < 0) warn_code(*ctx, 5);

  MapSystem m;
  m.code = code;
  m.xa = xa;
  m.xe = xe;
  m.ya = ya;
  m.ye = ye;
  m.user = ms.user;
  prepare_projection(ms, m);
  int xlen = a.len[0], ylen = a.len[1];
  const double w = xlen - 1, h = ylen - 1;
  if (proj_azimuthal(code)) {
    m.cx = px + w / 2;
    m.cy = py - h / 2;
    m.radius = std::min(w, h) / 2;
    double vis = code == kProjGnom ? std::min(m.visible, 85 * kPi / 180) : m.visible;
    double rv = azimuthal_radius(code, vis);
    m.rscale = rv > 0 ? m.radius / rv : m.radius;
    m.x0 = m.cx;
    m.y0 = m.cy;
    m.sx = m.sy = m.rscale;
    m.bx1 = m.cx - m.radius;
    m.bx2 = m.cx + m.radius;
    m.by1 = m.cy - m.radius;
    m.by2 = m.cy + m.radius;
  } else if (code == kProjUser) {
    // the callback returns offsets in plot units from the lower left corner of the axes
    m.x0 = px;
    m.y0 = py;
    m.bx1 = px;
    m.bx2 = px + w;
    m.by1 = py - h;
    m.by2 = py;
  } else {
    double x1, x2, y1, y2;
    if (!projected_extent(m, x1, x2, y1, y2)) {
      warn_code(*ctx, kMsgIncorrectParameter);
      return;
    }
    if (code == kProjCyli) {
      // a plain longitude/latitude graph fills the axis area like graf
      m.sx = w / (x2 - x1);
      m.sy = h / (y2 - y1);
    } else {
      m.sx = m.sy = std::min(w / (x2 - x1), h / (y2 - y1));
      if (ms.xaxis_auto && !proj_pseudo(code)) {
        double s = h / (y2 - y1);
        int nl = static_cast<int>(std::floor(s * (x2 - x1) + 0.5)) + 1;
        int nx = px + (xlen - nl) / 2;
        if (nx + ctx->core.origin_x < 0 || nx + nl - 1 + ctx->core.origin_x > ctx->core.page_w) {
          set_custom_message(*ctx, "X-axis does not fit the page");
          warn_code(*ctx, 168);
        } else {
          px = nx;
          xlen = nl;
          m.sx = m.sy = s;
        }
      }
    }
    double mw = m.sx * (x2 - x1), mh = m.sy * (y2 - y1);
    m.bx1 = px + (xlen - 1 - mw) / 2;
    m.bx2 = m.bx1 + mw;
    m.by2 = py - (ylen - 1 - mh) / 2;
    m.by1 = m.by2 - mh;
    m.x0 = m.bx1 - m.sx * x1;
    m.y0 = m.by2 + m.sy * y1;
  }
  m.active = 1;
  ms.sys = m;

  store_scale(*ctx, 0, xa, xe, xorg, xstp, xlen, px, false, 0, 0);
  store_scale(*ctx, 1, ya, ye, yorg, ystp, ylen, py, false, 0, 0);
  a.kind = kKindMap;
  a.crossed = 0;
  install_map_conversion(*ctx);
  ctx->core.level = 2;
  ctx->dev.map_projection = code;
  ctx->dev.map_circle = proj_azimuthal(code) ? 1 : 0;
  set_axis_clip(*ctx, m.bx1, m.by1, m.bx2, m.by2, m.cx, m.cy, m.radius, false);
  if (a.nograf) return;
  draw_map_axis_system(*ctx);
}

// ------------------------------------------------------------------------------------------
// Projection parameters

void projct(const char* copt) {
  Context* ctx = enter(R::projct);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, kProjKeys, 23, copt);
  if (k) ctx->maps.proj = kProjCodes[k - 1];
}

void mappol(double xpol, double ypol) {
  Context* ctx = enter(R::mappol);
  if (!ctx) return;
  if (!(xpol >= -180.1 && xpol <= 180.1)) return bad_value(*ctx, xpol);
  if (!(ypol >= -90.1 && ypol <= 90.1)) return bad_value(*ctx, ypol);
  ctx->maps.pol_lon = std::clamp(xpol, -180.0, 180.0);
  ctx->maps.pol_lat = std::clamp(ypol, -90.0, 90.0);
}

void mapref(double ylower, double yupper) {
  Context* ctx = enter(R::mapref);
  if (!ctx) return;
  for (double v : {ylower, yupper})
    if (!(v >= -90.1 && v <= 90.1)) return bad_value(*ctx, v);
  MapState& ms = ctx->maps;
  ms.ref1 = std::clamp(ylower, -90.0, 90.0);
  ms.ref2 = std::clamp(yupper, -90.0, 90.0);
  ms.ref_set = 1;  // the cone is derived anew by the next grafmp
}

void mapsph(double xrad) {
  Context* ctx = enter(R::mapsph);
  if (!ctx) return;
  if (!(xrad > 0 && xrad <= 90)) return bad_value(*ctx, xrad);
  ctx->maps.sph = xrad * kPi / 180;
}

void mapopt(const char* copt, const char* ckey) {
  Context* ctx = enter(R::mapopt);
  if (!ctx) return;
  int key = lookup_keyword(*ctx, "XAXI+WORL", 2, ckey);
  if (key == 1) {
    int v = lookup_keyword(*ctx, "STAN+AUTO", 2, copt);
    if (v) ctx->maps.xaxis_auto = v - 1;
  } else if (key == 2) {
    int v = lookup_keyword(*ctx, "COAS+BORD+BOTH", 3, copt);
    if (v) ctx->maps.world = v - 1;
  }
}

void maplab(const char* copt, const char* ckey) {
  Context* ctx = enter(R::maplab);
  if (!ctx) return;
  if (!lookup_keyword(*ctx, "LATI", 1, ckey)) return;
  int v = lookup_keyword(*ctx, "NONE+LEFT+RIGH+BOTH", 4, copt);
  if (v) ctx->maps.lat_labels = v - 1;
}

// Whether the outlines of non-rectangular maps carry longitude and latitude labels.
void mpaepl(int iopt) {
  Context* ctx = enter(R::mpaepl);
  if (!ctx || check_range(*ctx, iopt, 0, 1)) return;
  ctx->maps.outline_labels = iopt;
}

// ------------------------------------------------------------------------------------------
// Base maps and line modes

void mapbas(const char* copt) {
  Context* ctx = enter(R::mapbas);
  if (!ctx) return;
  int v = lookup_keyword(*ctx, "TAVE+GSHL+GSHI+GSHH+GSHF+MAPF", 6, copt);
  if (v) ctx->maps.base = v - 1;
}

void mapfil(const char* cfil, const char* copt) {
  Context* ctx = enter(R::mapfil);
  if (!ctx) return;
  int v = lookup_keyword(*ctx, "GSHH+MAPG", 2, copt);
  if (!v) return;
  if (!cfil || !*cfil) {
    warn_string(*ctx, kMsgIncorrectParameter, "");
    return;
  }
  copy_field(ctx->maps.file, cfil);
  ctx->maps.file_type = v;
}

void maplev(const char* copt) {
  Context* ctx = enter(R::maplev);
  if (!ctx) return;
  static const int kLevels[] = {0, 1, 2, 0, 4};
  int v = lookup_keyword(*ctx, "ALL +LAND+LAKE+BOTH+RIVE", 5, copt);
  if (v) ctx->maps.level = kLevels[v - 1];
}

void mapmod(const char* cmod) {
  Context* ctx = enter(R::mapmod);
  if (!ctx) return;
  int v = lookup_keyword(*ctx, "STRA+INTE+GREA", 3, cmod);
  if (v) ctx->maps.mode = v - 1;
}

// ------------------------------------------------------------------------------------------
// Map labels: the longitudes and latitudes written round the outline of maps that are not
// rectangles on the page.

void mplang(double xang) {
  Context* ctx = enter(R::mplang);
  if (!ctx) return;
  if (!std::isfinite(xang)) return bad_value(*ctx, 0);
  ctx->maps.label_angle = std::fmod(xang, 360.0);
}

void mplclr(int nbg, int nfg) {
  Context* ctx = enter(R::mplclr);
  if (!ctx || check_range(*ctx, nbg, 0, 255) || check_range(*ctx, nfg, 0, 255)) return;
  ctx->maps.label_bg = nbg;
  ctx->maps.label_fg = nfg;
}

void mplpos(const char* copt, const char* ckey) {
  Context* ctx = enter(R::mplpos);
  if (!ctx) return;
  int key = lookup_keyword(*ctx, "LONG+LATI", 2, ckey);
  if (key == 1) {
    int v = lookup_keyword(*ctx, "NONE+BOTT+TOP +BOTH", 4, copt);
    if (v) ctx->maps.lon_labels = v - 1;
  } else if (key == 2) {
    int v = lookup_keyword(*ctx, "NONE+LEFT+RIGH+BOTH", 4, copt);
    if (v) ctx->maps.lat_labels = v - 1;
  }
}

void mplsiz(int nsize) {
  Context* ctx = enter(R::mplsiz);
  if (!ctx || check_range(*ctx, nsize, 1, 10000)) return;
  ctx->maps.label_size = nsize;
}

}  // namespace tavero
