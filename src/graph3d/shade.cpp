// Shaded surfaces (matrices, parametric functions, triangulations, isosurfaces), single
// triangles and vertex arrays: colours from the colour scaling or the lighting model, hidden
// surfaces removed by the z-buffer or the depth-sorted polygon buffer.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/pipeline.h"
#include "graph3d/g3d_internal.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr int kMsgOverflow = 121;

inline bool finite3(const double* b) {
  return std::isfinite(b[0]) && std::isfinite(b[1]) && std::isfinite(b[2]);
}

inline void cross(const double a[3], const double b[3], double o[3]) {
  o[0] = a[1] * b[2] - a[2] * b[1];
  o[1] = a[2] * b[0] - a[0] * b[2];
  o[2] = a[0] * b[1] - a[1] * b[0];
}

inline void normalize(double v[3]) {
  double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  if (l > 1e-35)
    for (int i = 0; i < 3; ++i) v[i] /= l;
}

// A grid surface: nodes in box coordinates with their colour values.
struct Grid {
  int nu = 0, nv = 0;
  std::vector<double> b;              // 3 per node
  std::vector<double> val;            // value that picks the colour
  bool oriented = true;               // flip normals so that the top side faces +z
  const double* node(int u, int v) const { return &b[3 * (static_cast<size_t>(u) * nv + v)]; }
  double value(int u, int v) const { return val[static_cast<size_t>(u) * nv + v]; }
  bool alloc(Context& ctx, int u, int v) {
    try {
      nu = u, nv = v;
      b.assign(3 * static_cast<size_t>(u) * v, 0.0);
      val.assign(static_cast<size_t>(u) * v, 0.0);
    } catch (const std::bad_alloc&) {
      warn_code(ctx, kMsgNoMemory);
      return false;
    }
    return true;
  }
};

void value_rgb(const Context& ctx, double v, double rgb[3]) {
  color_rgb01(ctx, color_of_value(ctx, v), rgb);
}

// Node normal from the neighbouring nodes (one-sided at the border).
void node_normal(const Grid& g, int u, int v, double n[3]) {
  int u1 = std::max(u - 1, 0), u2 = std::min(u + 1, g.nu - 1);
  int v1 = std::max(v - 1, 0), v2 = std::min(v + 1, g.nv - 1);
  const double *a = g.node(u1, v), *b = g.node(u2, v), *c = g.node(u, v1), *d = g.node(u, v2);
  double du[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
  double dv[3] = {d[0] - c[0], d[1] - c[1], d[2] - c[2]};
  cross(du, dv, n);
  if (!finite3(n)) n[0] = n[1] = 0, n[2] = 1;
  normalize(n);
}

// Which of its two sides a facet shows, as 0 top or 1 bottom, from the facet's own normal and
// the top normal; -1 when it is seen edge-on.
int seen_side(const Context& ctx, const Facet& f, const double top[3]) {
  int face = facing(ctx, f);
  if (face == 0) return -1;
  double n[3];
  facet_normal(f, n);
  double d = n[0] * top[0] + n[1] * top[1] + n[2] * top[2];
  bool same = d >= 0;
  return (face > 0) == same ? 0 : 1;
}

// Whether survis and the culling of shdmod let a side be drawn.
bool side_drawn(const Context& ctx, int side) {
  const Graph3dParams& p = ctx.g3d.p;
  if (side < 0) return false;
  if (p.visible == 1 && side == 1) return false;
  if (p.visible == 2 && side == 0) return false;
  if (culling(ctx) == 1 && side == 1) return false;
  if (culling(ctx) == 2 && side == 0) return false;
  return true;
}

void mesh_lines_only(Context& ctx, const Grid& g) {
  double rgb[3];
  mesh_rgb(ctx, rgb);
  const int saved = ctx.color.current, c = color_from_rgb01(rgb);
  if (c != saved) qqsclr(ctx, c);
  const int step = std::max(1, ctx.g3d.p.mesh_step);
  if (ctx.g3d.p.mesh == 4) {
    for (int u = 0; u < g.nu; ++u)
      for (int v = 0; v < g.nv; ++v) {
        const double* b = g.node(u, v);
        Proj p = project_box(ctx, b);
        if (!box_visible(ctx, b, p)) continue;
        qqstrt(ctx, p.x, p.y);
        qqconn(ctx, p.x, p.y);
      }
  } else {
    // every step-th line and the last one, so that the border is closed
    auto lines = [step](int n) {
      std::vector<int> out;
      for (int i = 0; i < n; i += step) out.push_back(i);
      if (out.back() != n - 1) out.push_back(n - 1);
      return out;
    };
    for (int u : lines(g.nu)) {
      move3d(ctx, g.node(u, 0));
      for (int v = 1; v < g.nv; ++v) draw3d(ctx, g.node(u, v));
    }
    for (int v : lines(g.nv)) {
      move3d(ctx, g.node(0, v));
      for (int u = 1; u < g.nu; ++u) draw3d(ctx, g.node(u, v));
    }
  }
  qqflsh(ctx);
  if (ctx.color.current != saved) qqsclr(ctx, saved);
}

// Draws a grid surface with the surface options in force.
void shade_grid(Context& ctx, const Grid& g) {
  const Graph3dParams& p = ctx.g3d.p;
  set_surface_color_scaling(ctx);
  if (p.mesh >= 3) {
    mesh_lines_only(ctx, g);
    return;
  }
  const bool smooth = smooth_shading(ctx);
  FacetSink sink(ctx, smooth, false);
  if (!sink.ok()) return;
  double mesh[3];
  const bool with_mesh = p.mesh == 1 || p.mesh == 2;
  if (with_mesh) mesh_rgb(ctx, mesh);
  const int step = std::max(1, p.mesh_step);
  std::vector<double> normals;
  if (p.lighting) {
    normals.resize(3 * static_cast<size_t>(g.nu) * g.nv);
    for (int u = 0; u < g.nu; ++u)
      for (int v = 0; v < g.nv; ++v) node_normal(g, u, v, &normals[3 * (static_cast<size_t>(u) * g.nv + v)]);
  }
  for (int u = 0; u + 1 < g.nu; ++u) {
    for (int v = 0; v + 1 < g.nv; ++v) {
      const int cu[4] = {u, u + 1, u + 1, u}, cv[4] = {v, v, v + 1, v + 1};
      Facet f;
      f.n = 4;
      bool bad = false;
      for (int k = 0; k < 4; ++k) {
        const double* b = g.node(cu[k], cv[k]);
        for (int i = 0; i < 3; ++i) f.v[k].b[i] = b[i];
        if (!finite3(b) || !std::isfinite(g.value(cu[k], cv[k]))) bad = true;
      }
      if (bad) continue;
      // the top side: the cell's normal turned towards +z for matrix surfaces
      double top[3];
      facet_normal(f, top);
      if (g.oriented && top[2] < 0)
        for (double& t : top) t = -t;
      int side = seen_side(ctx, f, top);
      if (!side_drawn(ctx, side)) continue;
      if (!p.lighting) {
        if (smooth) {
          for (int k = 0; k < 4; ++k) value_rgb(ctx, g.value(cu[k], cv[k]), f.v[k].rgb);
        } else {
          double mean = 0;
          for (int k = 0; k < 4; ++k) mean += g.value(cu[k], cv[k]) / 4;
          double rgb[3];
          value_rgb(ctx, mean, rgb);
          for (int k = 0; k < 4; ++k)
            for (int i = 0; i < 3; ++i) f.v[k].rgb[i] = rgb[i];
        }
      } else {
        for (int k = 0; k < 4; ++k) {
          double n[3];
          const double* src = smooth ? &normals[3 * (static_cast<size_t>(cu[k]) * g.nv + cv[k])] : top;
          for (int i = 0; i < 3; ++i) n[i] = src[i];
          if (smooth && g.oriented && n[0] * top[0] + n[1] * top[1] + n[2] * top[2] < 0)
            for (double& t : n) t = -t;
          if (side == 1)
            for (double& t : n) t = -t;
          double dif[3];
          value_rgb(ctx, g.value(cu[k], cv[k]), dif);
          light_color(ctx, f.v[k].b, n, lit_value_colors(ctx) ? dif : nullptr, side, f.v[k].rgb);
        }
      }
      // the edges on mesh lines: cell corners run (u, v) (u+1, v) (u+1, v+1) (u, v+1)
      auto on_line = [step](int k, int n) { return k % step == 0 || k == n - 1; };
      unsigned edges = (on_line(v, g.nv) ? 1u : 0u) | (on_line(u + 1, g.nu) ? 2u : 0u) |
                       (on_line(v + 1, g.nv) ? 4u : 0u) | (on_line(u, g.nu) ? 8u : 0u);
      sink.add(f, smooth, with_mesh && edges ? mesh : nullptr, edges);
    }
  }
}

// Triangles with vertex normals and values (surtri, suriso): colours and sides as for grids.
void shade_triangles(Context& ctx, const std::vector<double>& b, const std::vector<double>& val,
                     const std::vector<int>& tri, bool use_values, bool oriented) {
  const Graph3dParams& p = ctx.g3d.p;
  set_surface_color_scaling(ctx);
  const bool smooth = smooth_shading(ctx);
  const size_t nv = b.size() / 3;
  std::vector<double> normals;
  if (p.lighting && smooth) {
    normals.assign(3 * nv, 0.0);
    for (size_t t = 0; t + 2 < tri.size(); t += 3) {
      const double *a = &b[3 * tri[t]], *c = &b[3 * tri[t + 1]], *d = &b[3 * tri[t + 2]];
      double e1[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
      double e2[3] = {d[0] - a[0], d[1] - a[1], d[2] - a[2]};
      double n[3];
      cross(e1, e2, n);
      if (!finite3(n)) continue;
      if (oriented && n[2] < 0)
        for (double& x : n) x = -x;
      for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 3; ++i) normals[3 * tri[t + k] + i] += n[i];
    }
    for (size_t i = 0; i < nv; ++i) normalize(&normals[3 * i]);
  }
  FacetSink sink(ctx, smooth, false);
  if (!sink.ok()) return;
  double mesh[3];
  const bool with_mesh = p.mesh == 1 || p.mesh == 2;
  if (with_mesh) mesh_rgb(ctx, mesh);
  double current[3];
  color_rgb01(ctx, ctx.color.current, current);
  for (size_t t = 0; t + 2 < tri.size(); t += 3) {
    Facet f;
    f.n = 3;
    bool bad = false;
    for (int k = 0; k < 3; ++k) {
      const double* src = &b[3 * tri[t + k]];
      for (int i = 0; i < 3; ++i) f.v[k].b[i] = src[i];
      if (!finite3(src) || (use_values && !std::isfinite(val[tri[t + k]]))) bad = true;
    }
    if (bad) continue;
    double top[3];
    facet_normal(f, top);
    if (oriented && top[2] < 0)
      for (double& x : top) x = -x;
    int side = seen_side(ctx, f, top);
    if (!oriented && side == 1) side = 0;  // closed surfaces show one material, lit from the viewer
    if (oriented ? !side_drawn(ctx, side) : side < 0) continue;
    if (!oriented && facing(ctx, f) < 0)
      for (double& x : top) x = -x;
    double mean = 0;
    if (use_values)
      for (int k = 0; k < 3; ++k) mean += val[tri[t + k]] / 3;
    for (int k = 0; k < 3; ++k) {
      double base[3];
      if (!use_values)
        for (int i = 0; i < 3; ++i) base[i] = current[i];
      else
        value_rgb(ctx, smooth ? val[tri[t + k]] : mean, base);
      if (!p.lighting) {
        for (int i = 0; i < 3; ++i) f.v[k].rgb[i] = base[i];
        continue;
      }
      double n[3];
      const double* src = smooth && !normals.empty() ? &normals[3 * tri[t + k]] : top;
      for (int i = 0; i < 3; ++i) n[i] = src[i];
      if (n[0] * top[0] + n[1] * top[1] + n[2] * top[2] < 0)
        for (double& x : n) x = -x;
      if (oriented && side == 1)
        for (double& x : n) x = -x;
      light_color(ctx, f.v[k].b, n, lit_value_colors(ctx) ? base : nullptr, side, f.v[k].rgb);
    }
    sink.add(f, smooth, with_mesh ? mesh : nullptr);
  }
}

// ------------------------------------------------------------------------------------------
// Isosurfaces: marching tetrahedra over the cells of a 3-D grid.

struct IsoResult {
  std::vector<double> pts;            // 9 per triangle, user coordinates
};

void iso_triangles(const double* xr, int nx, const double* yr, int ny, const double* zr, int nz,
                   const double* w, double lev, IsoResult& out, size_t limit, bool& overflow) {
  static const int kCube[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                  {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
  static const int kTet[6][4] = {{0, 5, 1, 6}, {0, 1, 2, 6}, {0, 2, 3, 6},
                                 {0, 3, 7, 6}, {0, 7, 4, 6}, {0, 4, 5, 6}};
  overflow = false;
  for (int i = 0; i + 1 < nx; ++i)
    for (int j = 0; j + 1 < ny; ++j)
      for (int k = 0; k + 1 < nz; ++k) {
        double P[8][3], V[8];
        bool bad = false;
        for (int c = 0; c < 8; ++c) {
          int a = i + kCube[c][0], b = j + kCube[c][1], d = k + kCube[c][2];
          P[c][0] = xr[a], P[c][1] = yr[b], P[c][2] = zr[d];
          V[c] = w[(static_cast<size_t>(a) * ny + b) * nz + d];
          if (!std::isfinite(V[c])) bad = true;
        }
        if (bad) continue;
        for (const auto& t : kTet) {
          int in[4], out4[4], ni = 0, no = 0;
          for (int q = 0; q < 4; ++q) (V[t[q]] < lev ? in[ni++] : out4[no++]) = t[q];
          if (ni == 0 || ni == 4) continue;
          auto cut = [&](int a, int b, double* o) {
            double s = (lev - V[a]) / (V[b] - V[a]);
            for (int m = 0; m < 3; ++m) o[m] = P[a][m] + s * (P[b][m] - P[a][m]);
          };
          double q[4][3];
          int nq;
          if (ni == 1 || ni == 3) {
            const int* lone = ni == 1 ? in : out4;
            const int* rest = ni == 1 ? out4 : in;
            for (int m = 0; m < 3; ++m) cut(lone[0], rest[m], q[m]);
            nq = 3;
          } else {
            cut(in[0], out4[0], q[0]);
            cut(in[0], out4[1], q[1]);
            cut(in[1], out4[1], q[2]);
            cut(in[1], out4[0], q[3]);
            nq = 4;
          }
          for (int tr = 0; tr + 2 < nq; ++tr) {
            if (out.pts.size() / 9 >= limit) {
              overflow = true;
              return;
            }
            const int idx[3] = {0, tr + 1, tr + 2};
            for (int m : idx)
              for (int c = 0; c < 3; ++c) out.pts.push_back(q[m][c]);
          }
        }
      }
}

bool check_grid(Context& ctx, int nx, int ny) {
  if (nx < 2 || ny < 2) {
    warn_number(ctx, kMsgIncorrectParameter, nx < 2 ? nx : ny);
    return false;
  }
  return true;
}

}  // namespace

void mesh_rgb(const Context& ctx, double rgb[3]) {
  int c = ctx.g3d.p.mesh_color;
  color_rgb01(ctx, c < 0 ? ctx.color.current : c, rgb);
}

// ------------------------------------------------------------------------------------------
// Public routines

namespace {

void shaded_matrix(Context& ctx, const double* x, int nx, const double* y, int ny,
                   const double* z, const double* colours) {
  Grid g;
  if (!g.alloc(ctx, nx, ny)) return;
  ScalingCheck check(ctx);
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j) {
      size_t k = static_cast<size_t>(i) * ny + j;
      check(x[i], y[j], z[k]);
      user_to_box(ctx, x[i], y[j], z[k], &g.b[3 * k]);
      g.val[k] = colours[k];
    }
  shade_grid(ctx, g);
}

}  // namespace

void surshd(const double* xray, int nx, const double* yray, int ny, const double* zmat) {
  Context* ctx = enter(R::surshd);
  if (!ctx || !require_3d(*ctx) || !check_grid(*ctx, nx, ny)) return;
  shaded_matrix(*ctx, xray, nx, yray, ny, zmat, zmat);
}

void surshc(const double* xray, int nx, const double* yray, int ny, const double* zmat,
            const double* wmat) {
  Context* ctx = enter(R::surshc);
  if (!ctx || !require_3d(*ctx) || !check_grid(*ctx, nx, ny)) return;
  shaded_matrix(*ctx, xray, nx, yray, ny, zmat, wmat);
}

void surfcp(SurfaceCpCallback func, double a1, double a2, double astp, double b1, double b2,
            double bstp) {
  Context* ctx = enter(R::surfcp);
  if (!ctx || !require_3d(*ctx) || !func) return;
  auto count = [](double from, double to, double step) {
    if (!std::isfinite(from) || !std::isfinite(to) || !(step != 0) || !std::isfinite(step))
      return -1;
    double n = (to - from) / step;
    if (!(n >= 1) || n > 1e5) return -1;
    int k = static_cast<int>(std::floor(n + 1e-9));
    return std::fabs(n - k) > 1e-9 ? k + 2 : k + 1;
  };
  int nu = count(a1, a2, astp), nv = count(b1, b2, bstp);
  if (nu < 2 || nv < 2) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  Grid g;
  if (!g.alloc(*ctx, nu, nv)) return;
  g.oriented = false;
  ScalingCheck check(*ctx);
  for (int i = 0; i < nu; ++i) {
    double a = i + 1 == nu ? a2 : a1 + i * astp;
    for (int j = 0; j < nv; ++j) {
      double b = j + 1 == nv ? b2 : b1 + j * bstp;
      double x = func(a, b, 1), y = func(a, b, 2), z = func(a, b, 3);
      size_t k = static_cast<size_t>(i) * nv + j;
      check(x, y, z);
      user_to_box(*ctx, x, y, z, &g.b[3 * k]);
      g.val[k] = z;
    }
  }
  shade_grid(*ctx, g);
}

void surtri(const double* xray, const double* yray, const double* zray, int n, const int* i1ray,
            const int* i2ray, const int* i3ray, int ntri) {
  Context* ctx = enter(R::surtri);
  if (!ctx || !require_3d(*ctx)) return;
  std::vector<double> b, val;
  std::vector<int> tri;
  try {
    b.resize(3 * static_cast<size_t>(n));
    val.assign(zray, zray + n);
    tri.reserve(3 * static_cast<size_t>(ntri));
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  ScalingCheck check(*ctx);
  for (int i = 0; i < n; ++i) {
    check(xray[i], yray[i], zray[i]);
    user_to_box(*ctx, xray[i], yray[i], zray[i], &b[3 * static_cast<size_t>(i)]);
  }
  bool warned = false;
  for (int t = 0; t < ntri; ++t) {
    int k[3] = {i1ray[t], i2ray[t], i3ray[t]};
    bool ok = true;
    for (int& v : k) {
      if (v < 1 || v > n) ok = false;
      --v;
    }
    if (!ok) {
      if (!warned) warn_number(*ctx, kMsgIncorrectParameter, t + 1);
      warned = true;
      continue;
    }
    tri.insert(tri.end(), k, k + 3);
  }
  shade_triangles(*ctx, b, val, tri, true, true);
}

namespace {

bool iso_args(Context& ctx, int nx, int ny, int nz) {
  if (nx < 2 || ny < 2 || nz < 2) {
    warn_number(ctx, kMsgIncorrectParameter, std::min(nx, std::min(ny, nz)));
    return false;
  }
  return true;
}

}  // namespace

void suriso(const double* xray, int nx, const double* yray, int ny, const double* zray, int nz,
            const double* wmat, double wlev) {
  Context* ctx = enter(R::suriso);
  if (!ctx || !require_3d(*ctx) || !iso_args(*ctx, nx, ny, nz)) return;
  IsoResult r;
  bool overflow = false;
  try {
    iso_triangles(xray, nx, yray, ny, zray, nz, wmat, wlev, r, SIZE_MAX, overflow);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  const size_t nt = r.pts.size() / 9;
  std::vector<double> b(9 * nt), val;
  std::vector<int> tri(3 * nt);
  for (size_t i = 0; i < 3 * nt; ++i) {
    user_to_box(*ctx, r.pts[3 * i], r.pts[3 * i + 1], r.pts[3 * i + 2], &b[3 * i]);
    tri[i] = static_cast<int>(i);
  }
  shade_triangles(*ctx, b, val, tri, false, false);
}

void isopts(const double* xray, int nx, const double* yray, int ny, const double* zray, int nz,
            const double* wmat, double wlev, double* xtri, double* ytri, double* ztri, int maxtri,
            int* ntri) {
  Context* ctx = enter(R::isopts);
  *ntri = 0;
  if (!ctx || !require_3d(*ctx) || !iso_args(*ctx, nx, ny, nz)) return;
  IsoResult r;
  bool overflow = false;
  try {
    iso_triangles(xray, nx, yray, ny, zray, nz, wmat, wlev, r,
                  static_cast<size_t>(std::max(maxtri, 0)) / 3, overflow);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  if (overflow) {
    set_custom_message(*ctx, "Overflow - Too many triangles");
    warn_code(*ctx, kMsgOverflow);
  }
  const size_t np = r.pts.size() / 3;
  for (size_t i = 0; i < np; ++i) {
    xtri[i] = r.pts[3 * i];
    ytri[i] = r.pts[3 * i + 1];
    ztri[i] = r.pts[3 * i + 2];
  }
  *ntri = static_cast<int>(np / 3);
}

// ------------------------------------------------------------------------------------------
// Triangles and vertex arrays

namespace {

// Facets of a vertex array in the current colour, the vertex colours or with given normals.
void vertex_array(Context& ctx, const double* x, const double* y, const double* z, int n,
                  const char* copt, const int* colours, const double* nx, const double* ny,
                  const double* nz) {
  int mode = lookup_keyword(ctx, "TRIA+TSTR+POLY+QUAD+QSTR+POIN+LINE+CURV+PLIN", 9, copt);
  if (!mode) return;
  std::vector<ZVertex> v(static_cast<size_t>(std::max(n, 0)));
  std::vector<double> normal;
  double current[3];
  color_rgb01(ctx, ctx.color.current, current);
  for (int i = 0; i < n; ++i) {
    user_to_box(ctx, x[i], y[i], z[i], v[i].b);
    if (colours) {
      if (colours[i] < 0) {
        warn_number(ctx, kMsgIncorrectParameter, colours[i]);
        return;
      }
      color_rgb01(ctx, colours[i], v[i].rgb);
    } else {
      for (int k = 0; k < 3; ++k) v[i].rgb[k] = current[k];
    }
  }
  if (nx) {
    normal.resize(3 * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      double q[3] = {nx[i], ny[i], nz[i]};
      normalize(q);
      for (int k = 0; k < 3; ++k) normal[3 * i + k] = q[k];
    }
  }
  if (mode >= 6) {
    // points and lines in the colours of their vertices
    const int saved = ctx.color.current;
    ZBuffer* zb = zbuffer(ctx);
    auto seg = [&](int a, int b) {
      if (zb) {
        double rgb[3];
        for (int k = 0; k < 3; ++k) rgb[k] = (v[a].rgb[k] + v[b].rgb[k]) / 2;
        zbuffer_line(ctx, v[a].b, v[b].b, rgb);
        return;
      }
      int c = color_from_rgb01(v[a].rgb);
      if (colours && ctx.color.current != c) qqsclr(ctx, c);
      move3d(ctx, v[a].b);
      draw3d(ctx, v[b].b);
    };
    if (mode == 6) {
      for (int i = 0; i < n; ++i) seg(i, i);
    } else if (mode == 7) {
      for (int i = 0; i + 1 < n; i += 2) seg(i, i + 1);
    } else {
      for (int i = 0; i + 1 < n; ++i) seg(i, i + 1);
      if (mode == 9 && n > 2) seg(n - 1, 0);
    }
    qqflsh(ctx);
    if (ctx.color.current != saved) qqsclr(ctx, saved);
    return;
  }
  // facets as index triples (quads are split along their first diagonal)
  std::vector<int> tri;
  auto add = [&](int a, int b, int c) { tri.push_back(a), tri.push_back(b), tri.push_back(c); };
  switch (mode) {
    case 1: for (int i = 0; i + 2 < n; i += 3) add(i, i + 1, i + 2); break;
    case 2: for (int i = 0; i + 2 < n; ++i) i % 2 ? add(i + 1, i, i + 2) : add(i, i + 1, i + 2); break;
    case 3: for (int i = 1; i + 1 < n; ++i) add(0, i, i + 1); break;
    case 4:
      for (int i = 0; i + 3 < n; i += 4) add(i, i + 1, i + 2), add(i, i + 2, i + 3);
      break;
    default:
      for (int i = 0; i + 3 < n; i += 2) add(i, i + 1, i + 3), add(i, i + 3, i + 2);
      break;
  }
  const Graph3dParams& p = ctx.g3d.p;
  FacetSink sink(ctx, smooth_shading(ctx), false);
  if (!sink.ok()) return;
  for (size_t t = 0; t + 2 < tri.size(); t += 3) {
    Facet f;
    f.n = 3;
    bool bad = false;
    for (int k = 0; k < 3; ++k) {
      f.v[k] = v[tri[t + k]];
      if (!finite3(f.v[k].b)) bad = true;
    }
    if (bad) continue;
    int face = facing(ctx, f);
    if (face == 0 || (culling(ctx) == 1 && face < 0) || (culling(ctx) == 2 && face > 0)) continue;
    if (p.lighting) {
      double fn[3];
      facet_normal(f, fn);
      if (face < 0)
        for (double& q : fn) q = -q;
      for (int k = 0; k < 3; ++k) {
        double n3[3] = {fn[0], fn[1], fn[2]};
        if (!normal.empty()) {
          for (int i = 0; i < 3; ++i) n3[i] = normal[3 * tri[t + k] + i];
          if (n3[0] * fn[0] + n3[1] * fn[1] + n3[2] * fn[2] < 0)
            for (double& q : n3) q = -q;
        }
        double base[3] = {f.v[k].rgb[0], f.v[k].rgb[1], f.v[k].rgb[2]};
        light_color(ctx, f.v[k].b, n3, lit_value_colors(ctx) ? base : nullptr, face < 0 ? 1 : 0,
                    f.v[k].rgb);
      }
    }
    sink.add(f, smooth_shading(ctx) || colours != nullptr, nullptr);
  }
}

}  // namespace

void tria3d(const double* xray, const double* yray, const double* zray) {
  Context* ctx = enter(R::tria3d);
  if (!ctx || !require_3d(*ctx)) return;
  vertex_array(*ctx, xray, yray, zray, 3, "TRIA", nullptr, nullptr, nullptr, nullptr);
}

void vtx3d(const double* xray, const double* yray, const double* zray, int n, const char* copt) {
  Context* ctx = enter(R::vtx3d);
  if (!ctx || !require_3d(*ctx)) return;
  vertex_array(*ctx, xray, yray, zray, n, copt, nullptr, nullptr, nullptr, nullptr);
}

void vtxc3d(const double* xray, const double* yray, const double* zray, const int* ic, int n,
            const char* copt) {
  Context* ctx = enter(R::vtxc3d);
  if (!ctx || !require_3d(*ctx)) return;
  vertex_array(*ctx, xray, yray, zray, n, copt, ic, nullptr, nullptr, nullptr);
}

void vtxn3d(const double* xray, const double* yray, const double* zray, const double* xnray,
            const double* ynray, const double* znray, int n, const char* copt) {
  Context* ctx = enter(R::vtxn3d);
  if (!ctx || !require_3d(*ctx)) return;
  vertex_array(*ctx, xray, yray, zray, n, copt, nullptr, xnray, ynray, znray);
}

// ------------------------------------------------------------------------------------------
// Settings

void surmsh(const char* copt) {
  Context* ctx = enter(R::surmsh);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "OFF +ON  +ONLY+LINE+POIN", 5, copt);
  if (k) ctx->g3d.p.mesh = k - 1;
}

void mshclr(int nclr) {
  Context* ctx = enter(R::mshclr);
  if (!ctx || check_range(*ctx, nclr, -1, -2)) return;
  ctx->g3d.p.mesh_color = nclr;
}

// Mesh lines of shaded surfaces on every n-th grid line only.
void mshcrv(int n) {
  Context* ctx = enter(R::mshcrv);
  if (!ctx || check_range(*ctx, n, 1, -1)) return;
  ctx->g3d.p.mesh_step = n;
}

}  // namespace tavero
