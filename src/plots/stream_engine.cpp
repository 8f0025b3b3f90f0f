// The streamline engine: field evaluation, tracing and the evenly spaced seeding.
#include "plots/stream_engine.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>
#include <new>

namespace tavero {

namespace {

constexpr double kTiny = 1e-35;
// Largest seeding grid (cells); a smaller separating distance would only exhaust memory.
constexpr double kMaxCells = 16.0e6;

}  // namespace

bool strictly_monotonic(const double* a, int n) {
  if (n < 2) return true;
  const bool up = a[1] > a[0];
  for (int i = 1; i < n; ++i)
    if (!(up ? a[i] > a[i - 1] : a[i] < a[i - 1])) return false;
  return true;
}

bool grid_interval(const double* a, int n, double x, int& i) {
  if (a[n - 1] > a[0]) {
    if (!(x >= a[0] && x <= a[n - 1])) return false;
    i = static_cast<int>(std::upper_bound(a, a + n, x) - a) - 1;
  } else {
    if (!(x <= a[0] && x >= a[n - 1])) return false;
    i = static_cast<int>(std::upper_bound(a, a + n, x, std::greater<double>()) - a) - 1;
  }
  i = std::clamp(i, 0, n - 2);
  return true;
}

namespace {

inline bool between(double a, double b, double x) {
  return a <= b ? (a <= x && x <= b) : (b <= x && x <= a);
}

inline bool normalise(double& u, double& v) {
  const double len = std::hypot(u, v);
  if (!(len >= kTiny) || !std::isfinite(len)) return false;
  u /= len;
  v /= len;
  return true;
}

}  // namespace

// ------------------------------------------------------------------------------------------
// Grid field

GridField::GridField(const double* xv, const double* yv, int nx, int ny, const double* xp,
                     const double* yp)
    : xv_(xv), yv_(yv), xp_(xp), yp_(yp), nx_(nx), ny_(ny) {
  xmin = std::min(xp[0], xp[nx - 1]);
  xmax = std::max(xp[0], xp[nx - 1]);
  ymin = std::min(yp[0], yp[ny - 1]);
  ymax = std::max(yp[0], yp[ny - 1]);
  xspan = std::fabs(xp[nx - 1] - xp[0]);
}

bool GridField::cell(double x, double y) {
  if (between(xp_[ci_], xp_[ci_ + 1], x) && between(yp_[cj_], yp_[cj_ + 1], y)) return true;
  int i, j;
  if (!grid_interval(xp_, nx_, x, i) || !grid_interval(yp_, ny_, y, j)) return false;
  ci_ = i;
  cj_ = j;
  return true;
}

bool GridField::value(double x, double y, double& u, double& v) {
  if (!cell(x, y)) return false;
  const int i = ci_, j = cj_;
  const double t = (x - xp_[i]) / (xp_[i + 1] - xp_[i]);
  const double s = (y - yp_[j]) / (yp_[j + 1] - yp_[j]);
  auto bilinear = [&](const double* m) {
    const long k00 = static_cast<long>(i) * ny_ + j, k10 = k00 + ny_;
    const double a = (1 - t) * m[k00] + t * m[k10];
    const double b = (1 - t) * m[k00 + 1] + t * m[k10 + 1];
    return a + (b - a) * s;
  };
  u = bilinear(xv_);
  v = bilinear(yv_);
  return true;
}

bool GridField::direction(double x, double y, double& u, double& v) {
  return value(x, y, u, v) && normalise(u, v);
}

bool GridField::covers(double x, double y) { return in_range(x, y); }

// ------------------------------------------------------------------------------------------
// Triangle field

TriangleField::TriangleField(const double* xv, const double* yv, const double* xp,
                             const double* yp, const int* i1, const int* i2, const int* i3,
                             int ntri)
    : xv_(xv), yv_(yv), xp_(xp), yp_(yp), i1_(i1), i2_(i2), i3_(i3), ntri_(ntri) {
  xmin = ymin = HUGE_VAL;
  xmax = ymax = -HUGE_VAL;
  for (int t = 0; t < ntri; ++t)
    for (int k : {i1[t] - 1, i2[t] - 1, i3[t] - 1}) {
      xmin = std::min(xmin, xp[k]);
      xmax = std::max(xmax, xp[k]);
      ymin = std::min(ymin, yp[k]);
      ymax = std::max(ymax, yp[k]);
    }
  xspan = xmax - xmin;
  // buckets of about one triangle each, so that a point is located by a few tests
  const int g = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(ntri))), 1, 512);
  gx_ = gy_ = g;
  cw_ = (xmax - xmin) / g;
  ch_ = (ymax - ymin) / g;
  if (!(cw_ > 0)) cw_ = 1;
  if (!(ch_ > 0)) ch_ = 1;
  auto span = [&](int t, int& a0, int& a1, int& b0, int& b1) {
    const int k[3] = {i1[t] - 1, i2[t] - 1, i3[t] - 1};
    double lx = HUGE_VAL, hx = -HUGE_VAL, ly = HUGE_VAL, hy = -HUGE_VAL;
    for (int q : k) {
      lx = std::min(lx, xp[q]);
      hx = std::max(hx, xp[q]);
      ly = std::min(ly, yp[q]);
      hy = std::max(hy, yp[q]);
    }
    a0 = std::clamp(static_cast<int>((lx - xmin) / cw_), 0, gx_ - 1);
    a1 = std::clamp(static_cast<int>((hx - xmin) / cw_), 0, gx_ - 1);
    b0 = std::clamp(static_cast<int>((ly - ymin) / ch_), 0, gy_ - 1);
    b1 = std::clamp(static_cast<int>((hy - ymin) / ch_), 0, gy_ - 1);
  };
  std::vector<int> count(static_cast<size_t>(gx_) * gy_ + 1, 0);
  for (int t = 0; t < ntri; ++t) {
    int a0, a1, b0, b1;
    span(t, a0, a1, b0, b1);
    for (int a = a0; a <= a1; ++a)
      for (int b = b0; b <= b1; ++b) ++count[static_cast<size_t>(a) * gy_ + b + 1];
  }
  for (size_t c = 1; c < count.size(); ++c) count[c] += count[c - 1];
  start_ = count;
  list_.resize(static_cast<size_t>(count.back()));
  for (int t = 0; t < ntri; ++t) {
    int a0, a1, b0, b1;
    span(t, a0, a1, b0, b1);
    for (int a = a0; a <= a1; ++a)
      for (int b = b0; b <= b1; ++b) list_[static_cast<size_t>(count[static_cast<size_t>(a) * gy_ + b]++)] = t;
  }
}

bool TriangleField::weights(int t, double x, double y, double& w1, double& w2,
                            double& w3) const {
  const int a = i1_[t] - 1, b = i2_[t] - 1, c = i3_[t] - 1;
  const double x1 = xp_[a], y1 = yp_[a], x2 = xp_[b], y2 = yp_[b], x3 = xp_[c], y3 = yp_[c];
  const double det = (y2 - y3) * (x1 - x3) + (x3 - x2) * (y1 - y3);
  if (std::fabs(det) < kTiny) return false;
  w1 = ((y2 - y3) * (x - x3) + (x3 - x2) * (y - y3)) / det;
  w2 = ((y3 - y1) * (x - x3) + (x1 - x3) * (y - y3)) / det;
  w3 = 1 - w1 - w2;
  constexpr double kEdge = -1e-10;  // points on an edge belong to both triangles
  return w1 >= kEdge && w2 >= kEdge && w3 >= kEdge;
}

int TriangleField::locate(double x, double y, double& w1, double& w2, double& w3) {
  if (!(x >= xmin && x <= xmax && y >= ymin && y <= ymax)) return -1;
  if (weights(last_, x, y, w1, w2, w3)) return last_;
  const int a = std::clamp(static_cast<int>((x - xmin) / cw_), 0, gx_ - 1);
  const int b = std::clamp(static_cast<int>((y - ymin) / ch_), 0, gy_ - 1);
  const size_t c = static_cast<size_t>(a) * gy_ + b;
  for (int k = start_[c]; k < start_[c + 1]; ++k) {
    const int t = list_[static_cast<size_t>(k)];
    if (weights(t, x, y, w1, w2, w3)) {
      last_ = t;
      return t;
    }
  }
  return -1;
}

bool TriangleField::direction(double x, double y, double& u, double& v) {
  double w1, w2, w3;
  const int t = locate(x, y, w1, w2, w3);
  if (t < 0) return false;
  const int a = i1_[t] - 1, b = i2_[t] - 1, c = i3_[t] - 1;
  u = w1 * xv_[a] + w2 * xv_[b] + w3 * xv_[c];
  v = w1 * yv_[a] + w2 * yv_[b] + w3 * yv_[c];
  return normalise(u, v);
}

bool TriangleField::covers(double x, double y) {
  double w1, w2, w3;
  return locate(x, y, w1, w2, w3) >= 0;
}

// ------------------------------------------------------------------------------------------
// Streamlines

void Streamline::ordered(std::vector<double>& x, std::vector<double>& y) const {
  x.clear();
  y.clear();
  const int nf = forward(), nb = backward();
  const int skip = nf > 0 ? 1 : 0;  // the start point once
  for (int k = nb - 1; k >= skip; --k) {
    x.push_back(bx[static_cast<size_t>(k)]);
    y.push_back(by[static_cast<size_t>(k)]);
  }
  for (int k = 0; k < nf; ++k) {
    x.push_back(fx[static_cast<size_t>(k)]);
    y.push_back(fy[static_cast<size_t>(k)]);
  }
}

Tracer::Tracer(DirectionField& f, const StreamOptions& o)
    : f_(f), o_(o), h_((f.xmax - f.xmin) * o.step) {}

bool Tracer::advance(double x, double y, double h, double& nx, double& ny) {
  double u, v;
  if (!f_.direction(x, y, u, v)) return false;
  switch (o_.method) {
    case kEuler:
      nx = x + h * u;
      ny = y + h * v;
      return true;
    case kRk4: {
      const double k1x = h * u, k1y = h * v;
      double u2, v2, u3, v3, u4, v4;
      if (!f_.direction(x + k1x / 2, y + k1y / 2, u2, v2)) return false;
      const double k2x = h * u2, k2y = h * v2;
      if (!f_.direction(x + k2x / 2, y + k2y / 2, u3, v3)) return false;
      const double k3x = h * u3, k3y = h * v3;
      if (!f_.direction(x + k3x, y + k3y, u4, v4)) return false;
      const double k4x = h * u4, k4y = h * v4;
      nx = x + k1x / 6 + k2x / 3 + k3x / 3 + k4x / 6;
      ny = y + k1y / 6 + k2y / 3 + k3y / 3 + k4y / 6;
      return true;
    }
    default: {
      double um, vm;
      if (!f_.direction(x + h * u / 2, y + h * v / 2, um, vm)) return false;
      nx = x + h * um;
      ny = y + h * vm;
      return true;
    }
  }
}

bool Tracer::pass(double x0, double y0, double h, bool forward, std::vector<double>& x,
                  std::vector<double>& y, const SeedGrid* grid) {
  const size_t limit = static_cast<size_t>(std::max(o_.points, 1));
  const double close = o_.close_dist * f_.xspan;
  double px = x0, py = y0;
  for (;;) {
    double nx, ny;
    if (!advance(px, py, h, nx, ny)) return false;
    if (grid ? !grid->free(nx, ny, o_.test) : !f_.in_range(nx, ny)) return false;
    if (x.size() >= limit) return false;
    x.push_back(nx);
    y.push_back(ny);
    if (forward && o_.close && static_cast<long>(x.size()) >= o_.close_count &&
        std::hypot(nx - x0, ny - y0) < close)
      return true;
    px = nx;
    py = ny;
  }
}

void Tracer::trace(double x0, double y0, Streamline& s, const SeedGrid* grid) {
  const size_t room = static_cast<size_t>(std::min(std::max(o_.points, 1), 1 << 20));
  s.fx.clear();
  s.fy.clear();
  s.bx.clear();
  s.by.clear();
  s.fx.reserve(room);
  s.fy.reserve(room);
  s.fx.push_back(x0);
  s.fy.push_back(y0);
  const bool closed = pass(x0, y0, h_, true, s.fx, s.fy, grid);
  s.bx.push_back(x0);
  s.by.push_back(y0);
  if (closed) return;
  s.bx.reserve(room);
  s.by.reserve(room);
  pass(x0, y0, -h_, false, s.bx, s.by, grid);
}

// ------------------------------------------------------------------------------------------
// Seeding grid

SeedGrid::SeedGrid(const DirectionField& f, double d) : f_(f), d_(d) {
  const double nx = std::trunc((f.xmax - f.xmin) / d + 1.5);
  const double ny = std::trunc((f.ymax - f.ymin) / d + 1.5);
  if (!(nx >= 1 && ny >= 1 && nx * ny <= kMaxCells)) throw std::bad_alloc();
  nx_ = static_cast<long>(nx);
  ny_ = static_cast<long>(ny);
  cells_.resize(static_cast<size_t>(nx_ * ny_));
}

bool SeedGrid::cell_of(double x, double y, long& i, long& j) const {
  if (!f_.in_range(x, y)) return false;
  const double a = std::trunc((x - f_.xmin) / d_), b = std::trunc((y - f_.ymin) / d_);
  if (!(a >= 0 && a < nx_ && b >= 0 && b < ny_)) return false;
  i = static_cast<long>(a);
  j = static_cast<long>(b);
  return true;
}

bool SeedGrid::free(double x, double y, double factor) const {
  long i, j;
  if (!cell_of(x, y, i, j)) return false;
  const double r2 = factor * d_ * factor * d_;
  for (long a = std::max(0L, i - 1); a <= std::min(nx_ - 1, i + 1); ++a)
    for (long b = std::max(0L, j - 1); b <= std::min(ny_ - 1, j + 1); ++b) {
      const std::vector<double>& c = cells_[static_cast<size_t>(a * ny_ + b)];
      for (size_t k = 0; k + 1 < c.size(); k += 2) {
        const double dx = c[k] - x, dy = c[k + 1] - y;
        if (dx * dx + dy * dy < r2) return false;
      }
    }
  return true;
}

void SeedGrid::enter(const std::vector<double>& x, const std::vector<double>& y) {
  for (size_t k = 0; k < x.size(); ++k) {
    long i, j;
    if (!cell_of(x[k], y[k], i, j)) continue;
    std::vector<double>& c = cells_[static_cast<size_t>(i * ny_ + j)];
    c.push_back(x[k]);
    c.push_back(y[k]);
  }
}

// ------------------------------------------------------------------------------------------
// Evenly spaced streamlines

bool evenly_spaced(DirectionField& f, const StreamOptions& o, const double* sx,
                   const double* sy, long nseeds,
                   const std::function<void(const Streamline&)>& draw) {
  try {
    const double d = (f.xmax - f.xmin) * o.dist;
    SeedGrid grid(f, d);
    Tracer tracer(f, o);
    std::deque<std::vector<double>> qx, qy;  // the queue of finished streamlines (ordered)
    Streamline s;
    std::vector<double> ox, oy;
    for (long k = 0; k < nseeds; ++k) {
      tracer.trace(sx[k], sy[k], s);
      if (s.fx.size() > 2 || s.bx.size() > 2) break;
      s.fx.clear();
      s.bx.clear();
    }
    if (s.fx.size() <= 2 && s.bx.size() <= 2) return true;
    auto accept = [&]() {
      s.ordered(ox, oy);
      if (ox.empty()) {  // a seed that could not move still occupies its place
        ox.push_back(s.fx[0]);
        oy.push_back(s.fy[0]);
      }
      draw(s);
      grid.enter(ox, oy);
      qx.push_back(ox);
      qy.push_back(oy);
    };
    accept();
    while (!qx.empty()) {
      const std::vector<double> cx = std::move(qx.front()), cy = std::move(qy.front());
      qx.pop_front();
      qy.pop_front();
      const size_t n = cx.size();
      for (int side = 1; side >= -1; side -= 2) {
        const double sd = side * d;
        for (size_t k = 0; k < n; ++k) {
          double px, py;
          if (n == 1) {
            px = cx[0];
            py = cy[0] + sd;
          } else {
            const size_t a = k == 0 ? 0 : k - 1, b = k == 0 ? 1 : k;
            const double ddx = cx[b] - cx[a], ddy = cy[b] - cy[a];
            if (ddx == 0 && ddy == 0) continue;
            const double th = std::atan2(ddy, ddx);
            px = cx[k] - sd * std::sin(th);
            py = cy[k] + sd * std::cos(th);
          }
          if (!grid.free(px, py, 0.999)) continue;
          tracer.trace(px, py, s, &grid);
          accept();
        }
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace tavero
