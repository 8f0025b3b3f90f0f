// Colours of shaded 3-D graphics: the colour scaling of surfaces, conversions between colour
// values and red, green, blue, and the lighting model with up to 8 lights and a material for
// each side of a surface.
#include <algorithm>
#include <cmath>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "graph3d/g3d_internal.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr double kSceneAmbient = 0.2;
constexpr double kPiS = 3.1415927;

inline double dot(const double a[3], const double b[3]) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

inline bool unit(double v[3]) {
  double l = std::sqrt(dot(v, v));
  if (!(l > 1e-35)) return false;
  for (int i = 0; i < 3; ++i) v[i] /= l;
  return true;
}

void angle_point(const double v[3], double o[3]) {
  const double deg = kPiS / 180;
  double a1 = v[0] * deg, a2 = v[1] * deg, r = v[2];
  o[0] = r * std::cos(a2) * std::sin(a1);
  o[1] = r * std::cos(a2) * std::cos(a1);
  o[2] = r * std::sin(a2);
}

// Light number 1..8 -> index, or -1 after the warning.
int light_index(Context& ctx, int id) {
  if (check_range(ctx, id, 1, kLights)) return -1;
  return id - 1;
}

bool three_values(Context& ctx, double r, double g, double b) {
  if (!(std::isfinite(r) && std::isfinite(g) && std::isfinite(b))) {
    warn_code(ctx, kMsgIncorrectParameter);
    return false;
  }
  if (r < 0 || g < 0 || b < 0) {
    warn_code(ctx, kMsgNegative);
    return false;
  }
  return true;
}

void set3(double* dst, double r, double g, double b) { dst[0] = r, dst[1] = g, dst[2] = b; }

}  // namespace

// ------------------------------------------------------------------------------------------
// Colours

void set_surface_color_scaling(Context& ctx) {
  const ContourState& c = ctx.contour;
  const AxisScale& z = ctx.g3d.sys.sc[2];
  if (!c.zscale_set) {
    set_color_scaling(ctx, z.a, z.e, z.log != 0, z.ulo, z.uhi, false);
    return;
  }
  // zscale gives user values, like the shaded contours
  double lo = c.zscale_min, hi = c.zscale_max;
  if (z.log && lo > 0 && hi > 0)
    set_color_scaling(ctx, std::log10(lo), std::log10(hi), true, lo, hi, true);
  else
    set_color_scaling(ctx, lo, hi, false, lo, hi, false);
}

void color_rgb01(const Context& ctx, int colour, double rgb[3]) {
  int r, g, b;
  color_rgb(ctx, colour, r, g, b);
  rgb[0] = r / 255.0, rgb[1] = g / 255.0, rgb[2] = b / 255.0;
}

int color_from_rgb01(const double rgb[3]) {
  return make_explicit(channel_byte(rgb[0]), channel_byte(rgb[1]), channel_byte(rgb[2]));
}

void light_positions_box(const Context& ctx, double pos[kLights][3]) {
  for (int k = 0; k < kLights; ++k) {
    const Light& l = ctx.g3d.p.lights[k];
    if (l.mode == 2)
      user_to_box_linear(ctx, l.pos, pos[k]);
    else if (l.mode == 3)
      angle_point(l.pos, pos[k]);
    else
      for (int i = 0; i < 3; ++i) pos[k][i] = l.pos[i];
  }
}

void light_color(const Context& ctx, const double P[3], const double N[3], const double* diffuse,
                 int side, double out[3]) {
  const Graph3dParams& p = ctx.g3d.p;
  const Material& m = p.mat[side ? 1 : 0];
  const double* md = diffuse ? diffuse : m.dif;
  double V[3] = {ctx.g3d.sys.eye[0] - P[0], ctx.g3d.sys.eye[1] - P[1], ctx.g3d.sys.eye[2] - P[2]};
  unit(V);
  for (int i = 0; i < 3; ++i) out[i] = kSceneAmbient * m.amb[i];
  double pos[kLights][3];
  light_positions_box(ctx, pos);
  for (int k = 0; k < kLights; ++k) {
    const Light& l = p.lights[k];
    if (!l.on) continue;
    double L[3] = {pos[k][0] - P[0], pos[k][1] - P[1], pos[k][2] - P[2]};
    double d = std::sqrt(dot(L, L));
    unit(L);
    double NL = dot(N, L);
    double a = l.att[0] + l.att[1] * d + l.att[2] * d * d;
    double R[3] = {2 * NL * N[0] - L[0], 2 * NL * N[1] - L[1], 2 * NL * N[2] - L[2]};
    double RV = dot(R, V);
    double shine = RV > 0 ? std::pow(RV, m.expo) : 0;
    for (int i = 0; i < 3; ++i) {
      double dif = NL >= 0 ? l.dif[i] * md[i] * NL : 0;
      double s = shine * l.spe[i] * m.spe[i];
      double spe = (s > 1e-35 && NL > 1e-7 && RV > 0) ? s : 0;
      out[i] += (l.amb[i] * m.amb[i] + dif + spe) / a;
    }
  }
  for (int i = 0; i < 3; ++i) out[i] = std::clamp(out[i], 0.0, 1.0);
}

// ------------------------------------------------------------------------------------------
// Lighting routines

void light(const char* copt) {
  Context* ctx = enter(R::light);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "OFF +ON  ", 2, copt);
  if (k) ctx->g3d.p.lighting = k - 1;
}

void litmod(int id, const char* copt) {
  Context* ctx = enter(R::litmod);
  if (!ctx) return;
  int i = light_index(*ctx, id);
  int k = lookup_keyword(*ctx, "OFF +ON  ", 2, copt);
  if (i < 0 || !k) return;
  ctx->g3d.p.lights[i].on = k - 1;
}

void litpos(int id, double x, double y, double z, const char* copt) {
  Context* ctx = enter(R::litpos);
  if (!ctx) return;
  int i = light_index(*ctx, id);
  int k = lookup_keyword(*ctx, "ABS +USER+ANGL", 3, copt);
  if (i < 0 || !k) return;
  if (!(std::isfinite(x) && std::isfinite(y) && std::isfinite(z))) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  Light& l = ctx->g3d.p.lights[i];
  double v[3] = {x, y, z};
  if (k == 1 && ctx->core.level == 3 && ctx->g3d.sys.active && ctx->axes.kind == kKind3d) {
    // box coordinates of the active system become user coordinates (unlogged scaling values)
    const Graph3dSystem& s = ctx->g3d.sys;
    for (int a = 0; a < 3; ++a) {
      const AxisScale& sc = s.sc[a];
      v[a] = sc.a + (sc.e - sc.a) * (v[a] + s.box[a] / 2) / s.box[a];
    }
    k = 2;
  }
  l.mode = k;
  set3(l.pos, v[0], v[1], v[2]);
}

void litopt(int id, double xval, const char* copt) {
  Context* ctx = enter(R::litopt);
  if (!ctx) return;
  int i = light_index(*ctx, id);
  int k = lookup_keyword(*ctx, "AMBI+DIFF+SPEC+CONS+LINE+QUAD", 6, copt);
  if (i < 0 || !k || !three_values(*ctx, xval, xval, xval)) return;
  Light& l = ctx->g3d.p.lights[i];
  switch (k) {
    case 1: set3(l.amb, xval, xval, xval); break;
    case 2: set3(l.dif, xval, xval, xval); break;
    case 3: set3(l.spe, xval, xval, xval); break;
    case 4: l.att[0] = xval == 0 ? 1e-10 : xval; break;
    case 5: l.att[1] = xval; break;
    default: l.att[2] = xval; break;
  }
}

void litop3(int id, double xr, double xg, double xb, const char* copt) {
  Context* ctx = enter(R::litop3);
  if (!ctx) return;
  int i = light_index(*ctx, id);
  int k = lookup_keyword(*ctx, "AMBI+DIFF+SPEC", 3, copt);
  if (i < 0 || !k || !three_values(*ctx, xr, xg, xb)) return;
  Light& l = ctx->g3d.p.lights[i];
  set3(k == 1 ? l.amb : k == 2 ? l.dif : l.spe, xr, xg, xb);
}

namespace {

// The materials that setfce selects: front (top), back (bottom) or both.
template <typename F>
void each_face(Context& ctx, F f) {
  int face = ctx.g3d.p.face;
  if (face != 1) f(ctx.g3d.p.mat[0]);
  if (face != 0) f(ctx.g3d.p.mat[1]);
}

}  // namespace

void matopt(double xval, const char* copt) {
  Context* ctx = enter(R::matopt);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "AMBI+DIFF+SPEC+EXPO", 4, copt);
  if (!k || !three_values(*ctx, xval, xval, xval)) return;
  each_face(*ctx, [&](Material& m) {
    if (k == 1) set3(m.amb, xval, xval, xval);
    else if (k == 2) set3(m.dif, xval, xval, xval);
    else if (k == 3) set3(m.spe, xval, xval, xval);
    else m.expo = xval;
  });
}

void matop3(double xr, double xg, double xb, const char* copt) {
  Context* ctx = enter(R::matop3);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "AMBI+DIFF+SPEC", 3, copt);
  if (!k || !three_values(*ctx, xr, xg, xb)) return;
  each_face(*ctx, [&](Material& m) { set3(k == 1 ? m.amb : k == 2 ? m.dif : m.spe, xr, xg, xb); });
}

// The face whose material matopt and matop3 set (the lighting of surfaces uses the top
// material for their upper side and the bottom material for the lower side).
void setfce(const char* copt) {
  Context* ctx = enter(R::setfce);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "TOP +BOTT+BOTH", 3, copt);
  if (k) ctx->g3d.p.face = k - 1;
}

int getlit(double xp, double yp, double zp, double xnorm, double ynorm, double znorm) {
  Context* ctx = enter(R::getlit);
  if (!ctx) return 0;
  if (!ctx->g3d.p.lighting) return ctx->color.current;
  double P[3];
  if (ctx->g3d.sys.active && ctx->axes.kind == kKind3d)
    user_to_box(*ctx, xp, yp, zp, P);
  else
    P[0] = xp, P[1] = yp, P[2] = zp;
  double N[3] = {xnorm, ynorm, znorm};
  if (!std::isfinite(P[0] + P[1] + P[2] + N[0] + N[1] + N[2])) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return ctx->color.current;
  }
  unit(N);
  double rgb[3];
  light_color(*ctx, P, N, nullptr, 0, rgb);
  return color_from_rgb01(rgb);
}

}  // namespace tavero
