// Delaunay triangulation of scattered points (triang), contour lines over triangles (contri,
// tripts) and the fill of one triangle (trifll).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <numeric>
#include <set>
#include <unordered_map>
#include <vector>

#include "axes/axis_convert.h"
#include "charts/charts.h"
#include "contour/contour.h"
#include "core/entry.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "tavero_api.h"

namespace tavero {

namespace {

// ==========================================================================================
// Delaunay triangulation: incremental insertion in order of x, with empty-circumcircle tests.
// Triangles whose circumcircle lies left of the current point can never change again and are
// marked complete, so each insertion only looks at the front of the triangulation.

enum TriStatus { kTriOk = 0, kTriParam = 1, kTriMemory = 2, kTriEdges = 3, kTriCollinear = 4,
                 kTriFull = 5 };

constexpr double kFlat = 1e-10;

// The tolerances of the insertion (1e-8) apply to coordinates scaled to the extent of the data,
// so that data in any unit triangulate alike.
struct Triangulator {
  std::vector<double> x, y;          // the points and the enclosing triangle (0-based)
  int* v1;
  int* v2;
  int* v3;                           // the caller's triangle list, 1-based vertices
  int nmax = 0;
  int ntri = 0;
  std::vector<uint8_t> complete;
  std::vector<int> e1, e2;           // the edge buffer of one insertion
  int emax = 0;

  // Circumcircle of triangle t relative to its first vertex; false when degenerate.
  bool circle(int t, double& xc, double& yc, double& r2) const {
    const int a = v1[t] - 1, b = v2[t] - 1, c = v3[t] - 1;
    const double x1 = x[a], y1 = y[a];
    const double aa = x[b] - x1, bb = y[c] - y1, cc = y[b] - y1, dd = x[c] - x1;
    const double det = aa * bb - cc * dd;
    const double e2 = aa * aa + cc * cc, e3 = dd * dd + bb * bb;
    // flat: the sine of the angle at the first vertex vanishes (a test of the shape alone, so
    // that dense data are not taken for collinear)
    if (!(std::fabs(det) >= kFlat * std::sqrt(e2 * e3))) return false;
    const double f = 0.5 / det;
    const double u = (e2 * bb - e3 * cc) * f, v = (aa * e3 - dd * e2) * f;
    r2 = u * u + v * v;
    xc = x1 + u;
    yc = y1 + v;
    return true;
  }

  // The slots of the triangles not yet complete, in slot order: an insertion visits exactly
  // these, in the order of a scan over the whole list, without walking the complete ones.
  std::set<int> open;

  void remove_triangle(int t) {
    --ntri;
    v1[t] = v1[ntri];
    v2[t] = v2[ntri];
    v3[t] = v3[ntri];
    complete[t] = complete[ntri];
    open.erase(ntri);
    if (t != ntri) {
      if (complete[t])
        open.erase(t);
      else
        open.insert(t);
    }
  }

  int insert(int p) {
    const double xp = x[p], yp = y[p];
    int ne = 0;
    for (auto it = open.begin(); it != open.end();) {
      const int t = *it;
      double xc, yc, r2;
      if (!circle(t, xc, yc, r2)) return kTriCollinear;
      const double dx = xc - xp, dy = yc - yp;
      if (dx * dx >= r2 - 1e-8) {
        complete[t] = 1;
        it = open.erase(it);
        continue;
      }
      if (dx * dx + dy * dy + 1e-8 < r2) {
        if (ne + 3 > emax) return kTriEdges;
        const int a = v1[t], b = v2[t], c = v3[t];
        e1[ne] = a; e2[ne++] = b;
        e1[ne] = b; e2[ne++] = c;
        e1[ne] = c; e2[ne++] = a;
        remove_triangle(t);
        it = open.lower_bound(t);  // the moved triangle sits in this slot now
        continue;
      }
      ++it;
    }
    // edges shared by two removed triangles are interior to the cavity
    for (int i = 0; i < ne; ++i) {
      if (e1[i] == 0) continue;
      for (int j = i + 1; j < ne; ++j)
        if (e1[j] == e2[i] && e2[j] == e1[i]) {
          e1[i] = e2[i] = e1[j] = e2[j] = 0;
          break;
        }
    }
    for (int i = 0; i < ne; ++i) {
      if (e1[i] == 0) continue;
      if (ntri >= nmax) return kTriFull;
      v1[ntri] = e1[i];
      v2[ntri] = e2[i];
      v3[ntri] = p + 1;
      complete[ntri] = 0;
      open.insert(ntri);
      ++ntri;
    }
    return kTriOk;
  }
};

int triangulate(const double* xray, const double* yray, int n, int* i1, int* i2, int* i3,
                int nmax, int& count, int& status) {
  count = 0;
  if (n < 3 || nmax < 2 * n + 1) return status = kTriParam;
  Triangulator t;
  std::vector<int> order;
  try {
    t.x.assign(static_cast<size_t>(n) + 3, 0.0);
    t.y.assign(static_cast<size_t>(n) + 3, 0.0);
    t.complete.assign(static_cast<size_t>(nmax) + 1, 0);
    t.emax = std::max(n, 100);
    t.e1.assign(t.emax, 0);
    t.e2.assign(t.emax, 0);
    order.reserve(n);
  } catch (const std::bad_alloc&) {
    return status = kTriMemory;
  }
  // points with a missing coordinate take no part
  double xmin = HUGE_VAL, xmax = -HUGE_VAL, ymin = HUGE_VAL, ymax = -HUGE_VAL;
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(xray[i]) || !std::isfinite(yray[i])) {
      ++count;
      continue;
    }
    order.push_back(i);
    xmin = std::min(xmin, xray[i]);
    xmax = std::max(xmax, xray[i]);
    ymin = std::min(ymin, yray[i]);
    ymax = std::max(ymax, yray[i]);
  }
  if (order.size() < 3) return status = kTriParam;
  const double extent = std::max(xmax - xmin, ymax - ymin);
  if (!std::isfinite(extent)) return status = kTriParam;
  if (!(extent > 0)) return status = kTriCollinear;  // one point, many times
  const double xm = (xmin + xmax) / 2, ym = (ymin + ymax) / 2;
  for (int i : order) {
    t.x[i] = (xray[i] - xm) / extent;
    t.y[i] = (yray[i] - ym) / extent;
  }
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return t.x[a] < t.x[b]; });
  const double dmax = 3;
  const double s = static_cast<double>(0.866f);
  t.x[n] = -s * dmax;
  t.y[n] = -0.5 * dmax;
  t.x[n + 1] = s * dmax;
  t.y[n + 1] = -0.5 * dmax;
  t.x[n + 2] = 0;
  t.y[n + 2] = dmax;
  t.v1 = i1;
  t.v2 = i2;
  t.v3 = i3;
  t.nmax = nmax;
  i1[0] = n + 1;
  i2[0] = n + 2;
  i3[0] = n + 3;
  t.ntri = 1;
  t.open.insert(0);
  const int m = static_cast<int>(order.size());
  for (int k = 0; k < m; ++k) {
    const int p = order[k];
    bool duplicate = false;
    for (int q = k - 1; q >= 0 && std::fabs(t.x[order[q]] - t.x[p]) < 1e-8 && !duplicate; --q)
      duplicate = std::fabs(t.y[order[q]] - t.y[p]) < 1e-8;
    if (duplicate) continue;
    int st;
    try {
      st = t.insert(p);
    } catch (const std::bad_alloc&) {
      st = kTriMemory;
    }
    if (st != kTriOk) return status = st;
  }
  // the triangles that lean on the enclosing triangle go
  for (int k = 0; k < t.ntri; ++k)
    if (i1[k] > n || i2[k] > n || i3[k] > n) {
      t.remove_triangle(k);
      --k;
    }
  // collinear points that no later point tested leave nothing, or only flat triangles,
  // behind: a failure like the collinear case found during the insertion
  bool flat = true;
  for (int k = 0; k < t.ntri && flat; ++k) {
    double xc, yc, r2;
    flat = !t.circle(k, xc, yc, r2);
  }
  if (flat) return status = kTriCollinear;
  status = kTriOk;
  return t.ntri;
}

// ==========================================================================================
// Contour lines over triangles

// An end of a segment with the triangle edge it lies on (a vertex v has the key (v, v)).
struct SegEnd {
  double x, y;
  int a, b;
};
struct Segment {
  SegEnd e[2];
  bool on_edge;
};

inline uint64_t edge_key(int a, int b) {
  if (a > b) std::swap(a, b);
  return (static_cast<uint64_t>(static_cast<uint32_t>(a)) << 32) | static_cast<uint32_t>(b);
}

// The segment of level c in one triangle, if any.
bool triangle_segment(const double* x, const double* y, const double* z, const int v[3],
                      double c, Segment& s) {
  int below[3], equal[3], above[3];
  int nb = 0, ne = 0, na = 0;
  for (int k = 0; k < 3; ++k) {
    const double zv = z[v[k] - 1];
    if (std::isnan(zv)) return false;
    if (zv < c)
      below[nb++] = v[k];
    else if (zv > c)
      above[na++] = v[k];
    else
      equal[ne++] = v[k];
  }
  auto cross = [&](int p, int q) {
    const double zp = z[p - 1], zq = z[q - 1];
    double t = (zp - c) / (zp - zq);
    if (!std::isfinite(t)) t = 0.5;
    return SegEnd{x[p - 1] - (x[p - 1] - x[q - 1]) * t, y[p - 1] - (y[p - 1] - y[q - 1]) * t, p,
                  q};
  };
  auto vertex = [&](int p) { return SegEnd{x[p - 1], y[p - 1], p, p}; };
  s.on_edge = false;
  if (ne == 2) {
    s.e[0] = vertex(equal[0]);
    s.e[1] = vertex(equal[1]);
    s.on_edge = true;
  } else if (nb == 1 && na == 2) {
    s.e[0] = cross(below[0], above[0]);
    s.e[1] = cross(below[0], above[1]);
  } else if (nb == 2 && na == 1) {
    s.e[0] = cross(above[0], below[0]);
    s.e[1] = cross(above[0], below[1]);
  } else if (nb == 1 && ne == 1 && na == 1) {
    s.e[0] = vertex(equal[0]);
    s.e[1] = cross(above[0], below[0]);
  } else {
    return false;
  }
  return true;
}

// Joins segments that share an end key into polylines, in the order of the segment list.
class Joiner {
 public:
  explicit Joiner(std::vector<Segment>& segs) : s_(segs), used_(segs.size(), 0) {
    for (size_t i = 0; i < s_.size(); ++i)
      for (const SegEnd& e : s_[i].e) {
        std::vector<int>& list = by_key_[edge_key(e.a, e.b)];
        if (list.empty() || list.back() != static_cast<int>(i)) list.push_back(static_cast<int>(i));
      }
    // an edge lying on the level is shared by two triangles: draw it once
    for (size_t i = 0; i < s_.size(); ++i) {
      if (!s_[i].on_edge || used_[i]) continue;
      const uint64_t k0 = edge_key(s_[i].e[0].a, s_[i].e[0].b);
      const uint64_t k1 = edge_key(s_[i].e[1].a, s_[i].e[1].b);
      for (int j : by_key_[k0]) {
        if (j == static_cast<int>(i) || used_[j]) continue;
        const uint64_t j0 = edge_key(s_[j].e[0].a, s_[j].e[0].b);
        const uint64_t j1 = edge_key(s_[j].e[1].a, s_[j].e[1].b);
        if ((j0 == k0 && j1 == k1) || (j0 == k1 && j1 == k0)) used_[j] = 1;
      }
    }
  }

  // The next polyline, or false when every segment is used.
  bool next(std::vector<double>& px, std::vector<double>& py) {
    while (first_ < s_.size() && used_[first_]) ++first_;
    if (first_ >= s_.size()) return false;
    const Segment& s0 = s_[first_];
    used_[first_] = 1;
    std::vector<SegEnd> line{s0.e[0], s0.e[1]};
    for (int pass = 0; pass < 2; ++pass) {
      for (;;) {
        const SegEnd& end = line.back();
        int found = -1, other = 0;
        for (int j : by_key_[edge_key(end.a, end.b)]) {
          if (used_[j]) continue;
          const Segment& sj = s_[j];
          if (edge_key(sj.e[0].a, sj.e[0].b) == edge_key(end.a, end.b)) {
            found = j;
            other = 1;
          } else {
            found = j;
            other = 0;
          }
          break;
        }
        if (found < 0) break;
        used_[found] = 1;
        line.push_back(s_[found].e[other]);
      }
      if (pass == 0) std::reverse(line.begin(), line.end());
    }
    px.clear();
    py.clear();
    for (const SegEnd& e : line) {
      px.push_back(e.x);
      py.push_back(e.y);
    }
    return true;
  }

 private:
  std::vector<Segment>& s_;
  std::vector<uint8_t> used_;
  std::unordered_map<uint64_t, std::vector<int>> by_key_;
  size_t first_ = 0;
};

bool triangles_ok(Context& ctx, int n, const int* i1, const int* i2, const int* i3, int ntri) {
  if (check_range(ctx, n, 3, -1) || check_range(ctx, ntri, 1, -1)) return false;
  for (const int* v : {i1, i2, i3})
    for (int t = 0; t < ntri; ++t)
      if (v[t] < 1 || v[t] > n) {
        warn_number(ctx, kMsgIncorrectParameter, v[t]);
        return false;
      }
  return true;
}

void collect_segments(const double* x, const double* y, const double* z, const int* i1,
                      const int* i2, const int* i3, int ntri, double c,
                      std::vector<Segment>& out) {
  for (int t = 0; t < ntri; ++t) {
    const int v[3] = {i1[t], i2[t], i3[t]};
    Segment s;
    if (triangle_segment(x, y, z, v, c, s)) out.push_back(s);
  }
}

}  // namespace

// ==========================================================================================
// public routines

int triang(const double* xray, const double* yray, int n, int* i1ray, int* i2ray, int* i3ray,
           int nmax) {
  Context* ctx = enter(R::triang);
  if (!ctx) return 0;
  int skipped = 0, status = kTriOk;
  const int ntri = triangulate(xray, yray, n, i1ray, i2ray, i3ray, nmax, skipped, status);
  for (int k = 0; k < skipped; ++k) count_nan(*ctx);
  switch (status) {
    case kTriOk: return ntri;
    case kTriParam: warn_number(*ctx, kMsgIncorrectParameter, nmax < 2 * n + 1 ? nmax : n); break;
    case kTriMemory: warn_code(*ctx, kMsgNoMemory); break;
    case kTriEdges: warn_custom(*ctx, 121, "Overflow - Too many edges"); break;
    case kTriCollinear: warn_custom(*ctx, 102, "Points are collinear"); break;
    default: warn_custom(*ctx, 121, "Overflow - Too many triangles"); break;
  }
  return 0;
}

void contri(const double* xray, const double* yray, const double* zray, int n, const int* i1ray,
            const int* i2ray, const int* i3ray, int ntri, double zlev) {
  Context* ctx = enter(R::contri);
  if (!ctx || !triangles_ok(*ctx, n, i1ray, i2ray, i3ray, ntri)) return;
  std::vector<Segment> segs;
  try {
    collect_segments(xray, yray, zray, i1ray, i2ray, i3ray, ntri, zlev, segs);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  const bool plain = ctx->axes.con_label == 0 && ctx->line.ndash == 1 &&
                     std::lround(ctx->charts.thickness * ctx->core.unit_factor) <= 1;
  draw_contour_level(*ctx, zlev, [&](LineSink& out) {
    if (plain) {
      // single segments, each a move and a draw; an edge lying on the level belongs to two
      // triangles and is drawn once
      std::unordered_map<uint64_t, std::vector<uint64_t>> edges;
      for (const Segment& s : segs) {
        if (s.on_edge) {
          const uint64_t a = edge_key(s.e[0].a, s.e[0].a), b = edge_key(s.e[1].a, s.e[1].a);
          std::vector<uint64_t>& seen = edges[std::min(a, b)];
          if (std::find(seen.begin(), seen.end(), std::max(a, b)) != seen.end()) continue;
          seen.push_back(std::max(a, b));
        }
        out.begin_line();
        out.point(s.e[0].x, s.e[0].y);
        out.point(s.e[1].x, s.e[1].y);
      }
      return true;
    }
    try {
      std::vector<Segment> work = segs;
      Joiner join(work);
      std::vector<double> px, py;
      while (join.next(px, py)) {
        out.begin_line();
        for (size_t k = 0; k < px.size(); ++k) out.point(px[k], py[k]);
      }
    } catch (const std::bad_alloc&) {
      warn_code(*ctx, kMsgNoMemory);
      return false;
    }
    return true;
  });
}

void tripts(const double* xray, const double* yray, const double* zray, int n, const int* i1ray,
            const int* i2ray, const int* i3ray, int ntri, double zlev, double* xpts,
            double* ypts, int maxpts, int* iray, int maxray, int* nlins) {
  *nlins = 0;
  Context* ctx = enter(R::tripts);
  if (!ctx || !triangles_ok(*ctx, n, i1ray, i2ray, i3ray, ntri) ||
      check_range(*ctx, maxpts, 1, -1) || check_range(*ctx, maxray, 1, -1))
    return;
  try {
    std::vector<Segment> segs;
    collect_segments(xray, yray, zray, i1ray, i2ray, i3ray, ntri, zlev, segs);
    Joiner join(segs);
    std::vector<double> px, py;
    int npts = 0, nlines = 0;
    while (join.next(px, py)) {
      for (size_t k = 0; k < px.size(); ++k) {
        if (npts < maxpts) {
          xpts[npts] = px[k];
          ypts[npts] = py[k];
          ++npts;
        } else {
          warn_custom(*ctx, 116, "Overflow - Too many contour points");
        }
      }
      if (nlines < maxray)
        iray[nlines++] = static_cast<int>(px.size());
      else
        warn_custom(*ctx, 117, "Overflow - Too many contour lines");
    }
    *nlins = nlines;
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

void trifll(const double* xray, const double* yray) {
  Context* ctx = enter(R::trifll);
  if (!ctx) return;
  double x[3], y[3];
  for (int k = 0; k < 3; ++k) {
    if (!std::isfinite(xray[k]) || !std::isfinite(yray[k])) {
      count_nan(*ctx);
      return;
    }
    x[k] = xray[k];
    // plot coordinates follow the page origin of pagorg
    y[k] = ctx->core.page_origin == 1 ? ctx->core.page_h - yray[k] : yray[k];
  }
  fill_with(*ctx, x, y, 3, 16);
}

}  // namespace tavero
