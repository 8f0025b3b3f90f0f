// Line integral convolution: a texture smeared along the streamlines of a vector field, so
// that the image shows the flow. Pixel (i, j) of an nx x ny image is element i * ny + j, and
// the field is given at the pixels; streamlines run in pixel units with the step LICS
// (stmval), the integration method of stmmod and a box kernel of LICL steps to each side.
//
// The plain method convolves each pixel on its own streamline. The fast method (licmod FAST)
// traces streamlines of up to LICM steps to each side from pixels that have fewer than HITS
// contributions and gives every point of such a streamline the mean over its kernel window,
// so one streamline serves all pixels it crosses.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <numeric>
#include <vector>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "plots/stream_engine.h"
#include "tavero_api.h"

namespace tavero {

namespace {

class Lic {
 public:
  Lic(const double* xv, const double* yv, int nx, int ny, const int* tex, const StreamOptions& o)
      : nx_(nx), ny_(ny), tex_(tex), o_(o), xp_(ramp(nx)), yp_(ramp(ny)),
        field_(xv, yv, nx, ny, xp_.data(), yp_.data()) {}

  // Texture value at the pixel nearest to (x, y).
  double texture(double x, double y) const { return tex_[pixel(x, y)]; }
  long pixel(double x, double y) const {
    const long i = std::clamp(std::lround(x), 0L, static_cast<long>(nx_) - 1);
    const long j = std::clamp(std::lround(y), 0L, static_cast<long>(ny_) - 1);
    return i * ny_ + j;
  }

  // Up to `steps` points from (x, y) in direction sign; appended to px, py.
  void trace(double x, double y, int steps, double sign, std::vector<double>& px,
             std::vector<double>& py) {
    const double h = sign * o_.lics;
    for (int s = 0; s < steps; ++s) {
      double u, v, nx, ny;
      if (!field_.direction(x, y, u, v)) return;
      if (o_.method == kEuler) {
        nx = x + h * u;
        ny = y + h * v;
      } else if (o_.method == kRk4) {
        double u2, v2, u3, v3, u4, v4;
        if (!field_.direction(x + h * u / 2, y + h * v / 2, u2, v2) ||
            !field_.direction(x + h * u2 / 2, y + h * v2 / 2, u3, v3) ||
            !field_.direction(x + h * u3, y + h * v3, u4, v4))
          return;
        nx = x + h * (u + 2 * u2 + 2 * u3 + u4) / 6;
        ny = y + h * (v + 2 * v2 + 2 * v3 + v4) / 6;
      } else {
        double um, vm;
        if (!field_.direction(x + h * u / 2, y + h * v / 2, um, vm)) return;
        nx = x + h * um;
        ny = y + h * vm;
      }
      if (!field_.in_range(nx, ny)) return;
      px.push_back(nx);
      py.push_back(ny);
      x = nx;
      y = ny;
    }
  }

  void plain(std::vector<double>& out) {
    const int l = o_.licl;
    std::vector<double> px, py;
    px.reserve(static_cast<size_t>(l));
    py.reserve(static_cast<size_t>(l));
    for (int i = 0; i < nx_; ++i)
      for (int j = 0; j < ny_; ++j) {
        double sum = texture(i, j);
        long cnt = 1;
        for (double sign : {1.0, -1.0}) {
          px.clear();
          py.clear();
          trace(i, j, l, sign, px, py);
          for (size_t k = 0; k < px.size(); ++k) sum += texture(px[k], py[k]);
          cnt += static_cast<long>(px.size());
        }
        out[static_cast<size_t>(i) * ny_ + j] = sum / cnt;
      }
  }

  void fast(std::vector<double>& out) {
    const size_t n = static_cast<size_t>(nx_) * ny_;
    std::vector<double> acc(n, 0.0);
    std::vector<int> hits(n, 0);
    std::vector<double> fx, fy, bx, by, x, y, prefix;
    const int m = o_.licm, l = o_.licl;
    for (int i = 0; i < nx_; ++i)
      for (int j = 0; j < ny_; ++j) {
        if (hits[static_cast<size_t>(i) * ny_ + j] >= o_.hits) continue;
        fx.clear();
        fy.clear();
        bx.clear();
        by.clear();
        trace(i, j, m, 1.0, fx, fy);
        trace(i, j, m, -1.0, bx, by);
        // the streamline in flow order
        x.assign(bx.rbegin(), bx.rend());
        y.assign(by.rbegin(), by.rend());
        x.push_back(i);
        y.push_back(j);
        x.insert(x.end(), fx.begin(), fx.end());
        y.insert(y.end(), fy.begin(), fy.end());
        const long len = static_cast<long>(x.size());
        prefix.assign(static_cast<size_t>(len) + 1, 0.0);
        for (long k = 0; k < len; ++k) prefix[k + 1] = prefix[k] + texture(x[k], y[k]);
        for (long k = 0; k < len; ++k) {
          const long lo = std::max(0L, k - l), hi = std::min(len - 1, k + l);
          const long p = pixel(x[k], y[k]);
          acc[static_cast<size_t>(p)] += (prefix[hi + 1] - prefix[lo]) / (hi - lo + 1);
          ++hits[static_cast<size_t>(p)];
        }
      }
    for (size_t k = 0; k < n; ++k) out[k] = hits[k] > 0 ? acc[k] / hits[k] : tex_[k];
  }

 private:
  int nx_, ny_;
  const int* tex_;
  const StreamOptions& o_;
  std::vector<double> xp_, yp_;  // the pixel positions 0, 1, 2, ...
  GridField field_;

  static std::vector<double> ramp(int n) {
    std::vector<double> v(static_cast<size_t>(n));
    std::iota(v.begin(), v.end(), 0.0);
    return v;
  }
};

}  // namespace

void licpts(const double* xvmat, const double* yvmat, int nx, int ny, const int* itmat,
            int* iwmat, double* wmat) {
  Context* ctx = enter(R::licpts);
  if (!ctx) return;
  if (nx < 2 || ny < 2) {
    warn_number(*ctx, kMsgIncorrectParameter, nx < ny ? nx : ny);
    return;
  }
  try {
    const size_t n = static_cast<size_t>(nx) * ny;
    std::vector<double> out(n);
    Lic lic(xvmat, yvmat, nx, ny, itmat, ctx->plots.stm);
    if (ctx->plots.stm.lic_fast)
      lic.fast(out);
    else
      lic.plain(out);
    if (ctx->plots.stm.lic_scale) {
      // the smoothed values spread again over the range of the texture
      const auto [tlo, thi] = std::minmax_element(itmat, itmat + n);
      const auto [olo, ohi] = std::minmax_element(out.begin(), out.end());
      const double a = *olo, b = *ohi;
      if (b - a > 1e-12)
        for (double& v : out) v = *tlo + (v - a) * (static_cast<double>(*thi) - *tlo) / (b - a);
    }
    for (size_t k = 0; k < n; ++k) {
      wmat[k] = out[k];
      iwmat[k] = static_cast<int>(std::lround(std::clamp(out[k], -2.0e9, 2.0e9)));
    }
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

void licmod(const char* cmod, const char* ckey) {
  Context* ctx = enter(R::licmod);
  if (!ctx) return;
  const int key = lookup_keyword(*ctx, "FAST+SCAL", 2, ckey);
  if (!key) return;
  const int mode = lookup_keyword(*ctx, "OFF +ON  ", 2, cmod);
  if (!mode) return;
  (key == 1 ? ctx->plots.stm.lic_fast : ctx->plots.stm.lic_scale) = mode - 1;
}

// White noise 0..255 from a fixed seed, so that the same call gives the same texture.
void txture(int* itmat, int nx, int ny) {
  Context* ctx = enter(R::txture);
  if (!ctx) return;
  if (nx < 1 || ny < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, nx < ny ? nx : ny);
    return;
  }
  uint64_t s = 0x9E3779B97F4A7C15ull;
  const size_t n = static_cast<size_t>(nx) * ny;
  for (size_t k = 0; k < n; ++k) {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    itmat[k] = static_cast<int>((s >> 24) & 0xFF);
  }
}

}  // namespace tavero
