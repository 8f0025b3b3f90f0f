// Triangles with colours interpolated from their vertices (triflc) and triangulated data coloured
// by value (crvtri).
#include <algorithm>
#include <cmath>
#include <vector>

#include "axes/axis_convert.h"
#include "charts/charts.h"
#include "contour/contour.h"
#include "core/entry.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "drivers/raster_driver.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr double kPiece = 8;     // plot units per side of the pieces of a vector gradient
constexpr int kMaxPieces = 64;   // subdivisions per triangle side

// Vertex colours are interpolated as colour-table positions when all three are indices (the
// colours of values then run through the table as the values do), otherwise channel by channel.
struct VertexColours {
  bool indices;
  double c[3][3];  // per vertex: the index, or red, green, blue

  VertexColours(const Context& ctx, const int* colour) {
    indices = true;
    for (int k = 0; k < 3; ++k) indices = indices && !is_explicit(colour[k]);
    for (int k = 0; k < 3; ++k) {
      if (indices) {
        c[k][0] = colour[k] & 255;
        c[k][1] = c[k][2] = 0;
      } else {
        int r, g, b;
        color_rgb(ctx, colour[k], r, g, b);
        c[k][0] = r;
        c[k][1] = g;
        c[k][2] = b;
      }
    }
  }

  // Colour value at barycentric weights w.
  int at(const double* w) const {
    double v[3];
    for (int ch = 0; ch < 3; ++ch) {
      v[ch] = w[0] * c[0][ch] + w[1] * c[1][ch] + w[2] * c[2][ch];
      v[ch] = std::clamp(std::round(v[ch]), 0.0, 255.0);
    }
    if (indices) return static_cast<int>(v[0]);
    return make_explicit(static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]));
  }
};

// The image that takes pixels directly: the raster device's page or an imgini image.
RasterStore* pixel_target(Context& ctx) {
  RasterStore* s = ctx.drv.raster.get();
  if (!s || s->img.empty()) return nullptr;
  const int dev = ctx.core.device;
  if (s->device && ctx.driver && dev >= 601 && dev <= 700) return s;
  return s->phase ? s : nullptr;
}

// Gouraud fill into the image: every pixel whose sample point lies in the triangle.
void raster_triangle(Context& ctx, RasterStore& s, const double* x, const double* y,
                     const VertexColours& vc) {
  double X[3], Y[3];
  for (int k = 0; k < 3; ++k)
    to_device(ctx, x[k] + ctx.core.origin_x, y[k] + ctx.core.origin_y, X[k], Y[k]);
  const double area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
  if (!(std::fabs(area) > 1e-12)) return;
  raster::Image& img = s.img;
  const raster::Rect& clip = img.clip();
  const int x0 = std::max(clip.x0, static_cast<int>(std::ceil(std::min({X[0], X[1], X[2]}))));
  const int x1 = std::min(clip.x1, static_cast<int>(std::floor(std::max({X[0], X[1], X[2]}))));
  const int y0 = std::max(clip.y0, static_cast<int>(std::ceil(std::min({Y[0], Y[1], Y[2]}))));
  const int y1 = std::min(clip.y1, static_cast<int>(std::floor(std::max({Y[0], Y[1], Y[2]}))));
  const double eps = -1e-9;
  for (int py = y0; py <= y1; ++py)
    for (int px = x0; px <= x1; ++px) {
      double w[3];
      w[0] = ((X[1] - px) * (Y[2] - py) - (X[2] - px) * (Y[1] - py)) / area;
      w[1] = ((X[2] - px) * (Y[0] - py) - (X[0] - px) * (Y[2] - py)) / area;
      w[2] = 1 - w[0] - w[1];
      if (w[0] < eps || w[1] < eps || w[2] < eps) continue;
      const int colour = vc.at(w);
      raster::Paint p;
      if (vc.indices && !img.truecolour()) {
        p = img.paint_index(colour);
      } else {
        int r, g, b;
        color_rgb(ctx, colour, r, g, b);
        p = img.paint_rgb(static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                          static_cast<uint8_t>(b), ctx.color.usable);
      }
      img.set_pixel(px, py, p);
    }
}

// Vector output: the triangle cut into small pieces, each in the colour at its centre.
void vector_triangle(Context& ctx, const double* x, const double* y, const VertexColours& vc) {
  double len = 0;
  for (int k = 0; k < 3; ++k)
    len = std::max(len, std::hypot(x[(k + 1) % 3] - x[k], y[(k + 1) % 3] - y[k]));
  const int m = std::clamp(static_cast<int>(std::ceil(len / kPiece)), 1, kMaxPieces);
  auto P = [&](int i, int j, double& px, double& py) {
    px = x[0] + (x[1] - x[0]) * i / m + (x[2] - x[0]) * j / m;
    py = y[0] + (y[1] - y[0]) * i / m + (y[2] - y[0]) * j / m;
  };
  auto piece = [&](int ai, int aj, int bi, int bj, int ci, int cj) {
    double px[3], py[3];
    P(ai, aj, px[0], py[0]);
    P(bi, bj, px[1], py[1]);
    P(ci, cj, px[2], py[2]);
    const double u = (ai + bi + ci) / (3.0 * m), v = (aj + bj + cj) / (3.0 * m);
    const double w[3] = {1 - u - v, u, v};
    fill_plot_polygon(ctx, px, py, 3, vc.at(w));
  };
  for (int j = 0; j < m; ++j)
    for (int i = 0; i + j < m; ++i) {
      piece(i, j, i + 1, j, i, j + 1);
      if (i + j + 1 < m) piece(i + 1, j, i + 1, j + 1, i, j + 1);
    }
}

// Vector formats other than PostScript and PDF cannot take colour gradients (message 40).
bool gradient_device_ok(Context& ctx) {
  const int dev = ctx.core.device;
  if ((dev >= 101 && dev <= 500) || dev >= 701) {
    warn_code(ctx, kMsgIncompatible);
    return false;
  }
  return true;
}

// Fills triangles (plot coordinates) with colours interpolated from their vertices.
void gradient_triangles(Context& ctx, const double* x, const double* y, const int* colour,
                        int ntri) {
  RasterStore* s = pixel_target(ctx);
  if (s) {
    qqflsh(ctx);
    emit_flush(ctx);
  }
  for (int t = 0; t < ntri; ++t) {
    const double* tx = x + 3 * t;
    const double* ty = y + 3 * t;
    bool finite = true;
    for (int k = 0; k < 3; ++k) finite = finite && std::isfinite(tx[k]) && std::isfinite(ty[k]);
    if (!finite) {
      count_nan(ctx);
      continue;
    }
    VertexColours vc(ctx, colour + 3 * t);
    if (s)
      raster_triangle(ctx, *s, tx, ty, vc);
    else
      vector_triangle(ctx, tx, ty, vc);
  }
}

}  // namespace

void triflc(const double* xray, const double* yray, const int* iclr, int n) {
  Context* ctx = enter(R::triflc);
  if (!ctx || !ctx->driver || check_range(*ctx, n, 3, -1) || !gradient_device_ok(*ctx)) return;
  const int ntri = n / 3;
  std::vector<double> y(yray, yray + 3 * ntri);
  if (ctx->core.page_origin == 1)
    for (double& v : y) v = ctx->core.page_h - v;
  AttributeScope scope(*ctx);
  set_fill_pattern(*ctx, 16);
  gradient_triangles(*ctx, xray, y.data(), iclr, ntri);
}

void crvtri(const double* xray, const double* yray, const double* zray, int n, const int* i1ray,
            const int* i2ray, const int* i3ray, int ntri) {
  Context* ctx = enter(R::crvtri);
  if (!ctx || check_range(*ctx, n, 3, -1) || check_range(*ctx, ntri, 1, -1)) return;
  const int* idx[3] = {i1ray, i2ray, i3ray};
  for (const int* v : idx)
    for (int t = 0; t < ntri; ++t)
      if (v[t] < 1 || v[t] > n) {
        warn_number(*ctx, kMsgIncorrectParameter, v[t]);
        return;
      }
  const bool smooth = ctx->contour.surface_shading == 1;
  if (smooth && !gradient_device_ok(*ctx)) return;
  if (!log_values_ok(*ctx, xray, n, yray, n)) return;
  AttributeScope scope(*ctx);
  set_fill_pattern(*ctx, 16);
  axis_clip_on(*ctx);
  for (int t = 0; t < ntri; ++t) {
    double px[3], py[3], z[3];
    int colour[3];
    bool ok = true;
    for (int k = 0; k < 3; ++k) {
      const int v = idx[k][t] - 1;
      user_to_plot(*ctx, xray[v], yray[v], px[k], py[k]);
      z[k] = zray[v];
      ok = ok && std::isfinite(px[k]) && std::isfinite(py[k]) && !std::isnan(z[k]);
      colour[k] = color_of_value(*ctx, z[k]);
    }
    if (!ok) continue;
    if (smooth)
      gradient_triangles(*ctx, px, py, colour, 1);
    else
      fill_plot_polygon(*ctx, px, py, 3, color_of_value(*ctx, (z[0] + z[1] + z[2]) / 3));
  }
  axis_clip_off(*ctx);
}

}  // namespace tavero
