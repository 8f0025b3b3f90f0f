// Shaded contours as a surface of the 3-D axis system (conshd3d): every grid cell is split into
// two triangles at the height of the function values, each triangle is cut by the levels into
// bands, and the bands go as shaded facets into the z-buffer or the depth-sorted buffer.
#include <algorithm>
#include <cmath>
#include <new>
#include <numeric>
#include <vector>

#include "contour/contour.h"
#include "core/entry.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "graph3d/g3d.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr int kMaxPieces = 100;   // polygons per triangle

// Band colours under the colour scaling of 3-D surfaces (zscale, else the z axis), with the
// rules of the shaded contours. False after a warning: nothing is drawn.
bool surface_bands(Context& ctx, const double* levels, int nlev, Bands& b) {
  for (int k = 0; k < nlev; ++k)
    if (!std::isfinite(levels[k])) {
      warn_code(ctx, kMsgIncorrectParameter);
      return false;
    }
  std::vector<int> pos;
  sort_levels(ctx, levels, nlev, b, pos);
  for (int k = 1; k < nlev; ++k)
    if (b.level[k] == b.level[k - 1]) {
      warn_custom(ctx, 124, "Identical levels");
      return false;
    }
  set_surface_color_scaling(ctx);
  band_colours(ctx, pos, b);
  return true;
}

// A polygon in box coordinates with the function value at each vertex.
struct Poly {
  double b[8][3];
  double v[8];
  int n = 0;
};

// Keeps the part where the linearly interpolated value is above c (above) or at most c.
void clip(const Poly& in, double c, bool above, Poly& out) {
  out.n = 0;
  for (int i = 0; i < in.n; ++i) {
    const int j = i == 0 ? in.n - 1 : i - 1;
    const bool ii = above ? in.v[i] > c : in.v[i] <= c;
    const bool jj = above ? in.v[j] > c : in.v[j] <= c;
    if (ii != jj && out.n < 8) {
      const double t = (c - in.v[j]) / (in.v[i] - in.v[j]);
      for (int k = 0; k < 3; ++k) out.b[out.n][k] = in.b[j][k] + (in.b[i][k] - in.b[j][k]) * t;
      out.v[out.n++] = c;
    }
    if (ii && out.n < 8) {
      for (int k = 0; k < 3; ++k) out.b[out.n][k] = in.b[i][k];
      out.v[out.n++] = in.v[i];
    }
  }
}

class Shader {
 public:
  Shader(Context& ctx, const Bands& b, FacetSink& sink) : ctx_(ctx), b_(b), sink_(sink) {}

  // One triangle: vertices in box coordinates and their values.
  void triangle(const double* p[3], const double v[3]) {
    int lo = b_.band(v[0]), hi = lo;
    for (int k = 1; k < 3; ++k) {
      const int bd = b_.band(v[k]);
      if (bd < 0) return;
      lo = std::min(lo, bd);
      hi = std::max(hi, bd);
    }
    if (lo < 0) return;
    Poly tri;
    tri.n = 3;
    for (int k = 0; k < 3; ++k) {
      for (int i = 0; i < 3; ++i) tri.b[k][i] = p[k][i];
      tri.v[k] = v[k];
    }
    // the top side: the triangle's normal turned towards +z
    Facet probe;
    probe.n = 3;
    for (int k = 0; k < 3; ++k)
      for (int i = 0; i < 3; ++i) probe.v[k].b[i] = p[k][i];
    double top[3];
    facet_normal(probe, top);
    if (top[2] < 0)
      for (double& t : top) t = -t;
    const int face = facing(ctx_, probe);
    if (face == 0) return;
    double n[3];
    facet_normal(probe, n);
    const bool same = n[0] * top[0] + n[1] * top[1] + n[2] * top[2] >= 0;
    const int side = (face > 0) == same ? 0 : 1;
    if (!side_drawn(side)) return;
    int pieces = 0;
    for (int band = lo; band <= hi && pieces < kMaxPieces; ++band) {
      const int colour = b_.colour[band];
      if (colour < 0) continue;
      Poly part = tri, tmp;
      if (band > 0) {
        clip(part, b_.level[band - 1], true, tmp);
        part = tmp;
      }
      if (band < static_cast<int>(b_.level.size()) && part.n >= 3) {
        clip(part, b_.level[band], false, tmp);
        part = tmp;
      }
      if (part.n < 3) continue;
      ++pieces;
      emit(part, colour, top, side);
    }
  }

 private:
  bool side_drawn(int side) const {
    const int vis = ctx_.g3d.p.visible, cull = culling(ctx_);
    if (vis == 1 && side == 1) return false;
    if (vis == 2 && side == 0) return false;
    if (cull == 1 && side == 1) return false;
    if (cull == 2 && side == 0) return false;
    return true;
  }

  // A band piece as facets of at most four vertices, flat in the band's colour.
  void emit(const Poly& part, int colour, const double top[3], int side) {
    double rgb[3];
    color_rgb01(ctx_, colour, rgb);
    double normal[3] = {top[0], top[1], top[2]};
    if (side == 1)
      for (double& t : normal) t = -t;
    for (int first = 1; first + 1 < part.n; first += 2) {
      Facet f;
      f.n = first + 2 < part.n ? 4 : 3;
      const int idx[4] = {0, first, first + 1, first + 2};
      for (int k = 0; k < f.n; ++k) {
        for (int i = 0; i < 3; ++i) f.v[k].b[i] = part.b[idx[k]][i];
        if (ctx_.g3d.p.lighting)
          light_color(ctx_, f.v[k].b, normal, lit_value_colors(ctx_) ? rgb : nullptr, side, f.v[k].rgb);
        else
          for (int i = 0; i < 3; ++i) f.v[k].rgb[i] = rgb[i];
      }
      sink_.add(f, false, nullptr);
    }
  }

  Context& ctx_;
  const Bands& b_;
  FacetSink& sink_;
};

}  // namespace

void conshd3d(const double* xray, int nx, const double* yray, int ny, const double* zmat,
              const double* zlvray, int nlev) {
  Context* ctx = enter(R::conshd3d);
  if (!ctx || !require_3d(*ctx)) return;
  if (nx < 2 || ny < 2) {
    warn_number(*ctx, kMsgIncorrectParameter, nx < ny ? nx : ny);
    return;
  }
  if (check_range(*ctx, nlev, 1, -1)) return;
  try {
    Bands b;
    if (!surface_bands(*ctx, zlvray, nlev, b)) return;
    std::vector<double> box(3 * static_cast<size_t>(nx) * ny);
    for (int i = 0; i < nx; ++i)
      for (int j = 0; j < ny; ++j) {
        const size_t k = static_cast<size_t>(i) * ny + j;
        user_to_box(*ctx, xray[i], yray[j], zmat[k], &box[3 * k]);
      }
    FacetSink sink(*ctx, smooth_shading(*ctx), false);
    if (!sink.ok()) return;
    Shader shader(*ctx, b, sink);
    auto finite = [](const double* p) {
      return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
    };
    for (int i = 0; i + 1 < nx; ++i)
      for (int j = 0; j + 1 < ny; ++j) {
        // corners 0 (i, j), 1 (i+1, j), 2 (i+1, j+1), 3 (i, j+1)
        const size_t id[4] = {static_cast<size_t>(i) * ny + j, static_cast<size_t>(i + 1) * ny + j,
                              static_cast<size_t>(i + 1) * ny + j + 1, static_cast<size_t>(i) * ny + j + 1};
        const double* p[4];
        double v[4];
        bool ok = true;
        for (int k = 0; k < 4; ++k) {
          p[k] = &box[3 * id[k]];
          v[k] = zmat[id[k]];
          ok = ok && finite(p[k]) && std::isfinite(v[k]);
        }
        if (!ok) continue;
        const double* t1[3] = {p[0], p[1], p[2]};
        const double v1[3] = {v[0], v[1], v[2]};
        const double* t2[3] = {p[2], p[3], p[0]};
        const double v2[3] = {v[2], v[3], v[0]};
        shader.triangle(t1, v1);
        shader.triangle(t2, v2);
      }
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

}  // namespace tavero
