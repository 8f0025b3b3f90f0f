// 3-D objects (spheres, cones, cylinders, disks, arrows, tubes, tori, pyramids, cuboids and the
// platonic solids) and their transformations. Every object is a set of parametric patches cut
// into facets: shaded through the z-buffer or the depth buffer when one is active, drawn as a
// wire frame otherwise.
#include <algorithm>
#include <cmath>
#include <array>
#include <functional>
#include <vector>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "graph3d/g3d_internal.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxSegments = 2000;

using Vec = std::array<double, 3>;

inline Vec add(const Vec& a, const Vec& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline Vec sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Vec mul(const Vec& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
inline double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline Vec cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double norm(const Vec& a) { return std::sqrt(dot(a, a)); }
inline Vec unit(const Vec& a) {
  double l = norm(a);
  return l > 1e-300 ? mul(a, 1 / l) : Vec{0, 0, 0};
}

// Where the points of one object go: its reference point in user coordinates (or in box
// coordinates for curve tubes), the object transformation, the facet sink and the colour.
class Shape {
 public:
  // closed: the inside never shows, so faces turned away from the viewer are left out
  Shape(Context& ctx, FacetSink& sink, const Vec& ref, bool box_space, bool closed = true)
      : ctx_(ctx), sink_(sink), ref_(ref), box_(box_space), closed_(closed) {
    color_rgb01(ctx, ctx.color.current, rgb_);
    if (ctx.g3d.p.mesh == 1 || ctx.g3d.p.mesh == 2) {
      mesh_rgb(ctx, mesh_);
      with_mesh_ = true;
    }
  }
  void set_rgb(const double rgb[3]) { std::copy(rgb, rgb + 3, rgb_); }

  // Box coordinates of a point given as an offset from the reference point.
  Vec point(const Vec& off) const {
    Vec o = off;
    if (!box_ && ctx_.g3d.obj_on) {
      const double* m = ctx_.g3d.obj;
      for (int i = 0; i < 3; ++i)
        o[i] = m[4 * i] * off[0] + m[4 * i + 1] * off[1] + m[4 * i + 2] * off[2] + m[4 * i + 3];
    }
    Vec b;
    if (box_) {
      b = add(ref_, o);
    } else {
      Vec u = add(ref_, o);
      user_to_box(ctx_, u[0], u[1], u[2], b.data());
    }
    return b;
  }

  // A patch of nu x nv cells over f(s, t), s and t in 0..1; the facets' outside is the side of
  // ds x dt in user space.
  void patch(int nu, int nv, const std::function<Vec(double, double)>& f) {
    nu = std::clamp(nu, 1, kMaxSegments);
    nv = std::clamp(nv, 1, kMaxSegments);
    std::vector<Vec> p(static_cast<size_t>(nu + 1) * (nv + 1));
    auto at = [&](int i, int j) -> Vec& { return p[static_cast<size_t>(i) * (nv + 1) + j]; };
    for (int i = 0; i <= nu; ++i)
      for (int j = 0; j <= nv; ++j) at(i, j) = point(f(static_cast<double>(i) / nu, static_cast<double>(j) / nv));
    // outward normals of the facets, averaged at the nodes for smooth shading
    std::vector<Vec> nn(p.size(), Vec{0, 0, 0});
    std::vector<Vec> fn(static_cast<size_t>(nu) * nv);
    for (int i = 0; i < nu; ++i)
      for (int j = 0; j < nv; ++j) {
        Vec a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
        Vec n = cross(sub(c, a), sub(d, b));
        if (flip()) n = mul(n, -1);
        n = unit(n);
        fn[static_cast<size_t>(i) * nv + j] = n;
        for (auto [ii, jj] : {std::pair{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j + 1}}) {
          Vec& q = nn[static_cast<size_t>(ii) * (nv + 1) + jj];
          q = add(q, n);
        }
      }
    for (Vec& q : nn) q = unit(q);
    for (int i = 0; i < nu; ++i)
      for (int j = 0; j < nv; ++j) {
        const int ci[4] = {i, i + 1, i + 1, i}, cj[4] = {j, j, j + 1, j + 1};
        Vec corners[4], normals[4];
        int n = 0;
        for (int k = 0; k < 4; ++k) {
          Vec v = at(ci[k], cj[k]);
          // collapsed edges (poles, apexes) leave triangles
          if (n > 0 && norm(sub(v, corners[n - 1])) < 1e-12) continue;
          corners[n] = v;
          normals[n] = nn[static_cast<size_t>(ci[k]) * (nv + 1) + cj[k]];
          ++n;
        }
        if (n > 1 && norm(sub(corners[n - 1], corners[0])) < 1e-12) --n;
        if (n < 3) continue;
        Vec fnorm = fn[static_cast<size_t>(i) * nv + j];
        if (flip()) std::reverse(corners, corners + n), std::reverse(normals, normals + n);
        facet(corners, normals, n, fnorm);
      }
  }

  // A flat polygon (caps, faces of solids), vertices counterclockwise seen from outside.
  void polygon(const std::vector<Vec>& offsets) {
    std::vector<Vec> b;
    for (const Vec& o : offsets) b.push_back(point(o));
    if (b.size() < 3) return;
    Vec n{0, 0, 0};
    for (size_t i = 0; i < b.size(); ++i) {
      const Vec& a = b[i];
      const Vec& c = b[(i + 1) % b.size()];
      n = add(n, Vec{(a[1] - c[1]) * (a[2] + c[2]), (a[2] - c[2]) * (a[0] + c[0]),
                     (a[0] - c[0]) * (a[1] + c[1])});
    }
    n = unit(n);
    if (flip()) std::reverse(b.begin(), b.end());
    // a fan of quadrilaterals (and a last triangle) from the first vertex
    for (size_t i = 1; i + 1 < b.size(); i += 2) {
      const int k = i + 2 < b.size() ? 4 : 3;
      Vec corners[4] = {b[0], b[i], b[i + 1], k == 4 ? b[i + 2] : b[0]};
      Vec normals[4] = {n, n, n, n};
      facet(corners, normals, k, n);
    }
  }

 private:
  // A user space whose axes run against the box (descending scalings, mirroring transforms)
  // turns the outside of facets in.
  bool flip() const {
    if (box_) return false;
    const Graph3dSystem& s = ctx_.g3d.sys;
    double d = 1;
    for (int i = 0; i < 3; ++i) d *= (s.sc[i].e - s.sc[i].a);
    if (ctx_.g3d.obj_on) {
      const double* m = ctx_.g3d.obj;
      d *= m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) +
           m[2] * (m[4] * m[9] - m[5] * m[8]);
    }
    return d < 0;
  }

  void facet(const Vec* corners, const Vec* normals, int n, const Vec& fnorm) {
    for (int k = 0; k < n; ++k)
      if (!std::isfinite(corners[k][0] + corners[k][1] + corners[k][2])) return;
    Facet f;
    f.n = n;
    for (int k = 0; k < n; ++k)
      for (int i = 0; i < 3; ++i) f.v[k].b[i] = corners[k][i];
    const Graph3dParams& p = ctx_.g3d.p;
    int face = facing(ctx_, f);
    if (closed_ && face < 0 && sink_.target() != FacetTarget::kWire) return;
    if ((culling(ctx_) == 1 && face < 0) || (culling(ctx_) == 2 && face > 0)) return;
    const bool smooth = smooth_shading(ctx_);
    for (int k = 0; k < n; ++k) {
      if (!p.lighting) {
        std::copy(rgb_, rgb_ + 3, f.v[k].rgb);
        continue;
      }
      Vec nv = smooth ? normals[k] : fnorm;
      int side = 0;
      if (face < 0) {  // the inside of an open object
        nv = mul(nv, -1);
        side = 1;
      }
      light_color(ctx_, f.v[k].b, nv.data(), lit_value_colors(ctx_) ? rgb_ : nullptr, side, f.v[k].rgb);
    }
    sink_.add(f, smooth, with_mesh_ ? mesh_ : nullptr);
  }

  Context& ctx_;
  FacetSink& sink_;
  Vec ref_;
  bool box_;
  bool closed_;
  double rgb_[3];
  double mesh_[3] = {0, 0, 0};
  bool with_mesh_ = false;
};

// A circle of radius r in the plane through the origin perpendicular to axis.
struct Frame {
  Vec u, v, w;  // two directions across the axis and the axis direction
};

Frame frame_of(const Vec& axis) {
  Vec w = unit(axis);
  Vec t = std::fabs(w[2]) < 0.9 ? Vec{0, 0, 1} : Vec{1, 0, 0};
  Vec u = unit(cross(t, w));
  Vec v = cross(w, u);
  return {u, v, w};
}

Vec ring(const Frame& fr, double r, double angle, double along) {
  return add(add(mul(fr.u, r * std::cos(angle)), mul(fr.v, r * std::sin(angle))), mul(fr.w, along));
}

// A round solid along an axis from `along` 0 to `len`: radius r0 at the start, r1 at the end,
// with caps where the radius is not 0.
void round_solid(Shape& s, const Frame& fr, double r0, double r1, double len, int n1, int n2,
                 bool caps) {
  s.patch(n1, n2, [&](double a, double t) {
    return ring(fr, r0 + (r1 - r0) * t, 2 * kPi * a, len * t);
  });
  if (!caps) return;
  auto cap = [&](double r, double along, bool end) {
    if (!(r > 0)) return;
    std::vector<Vec> pts;
    for (int i = 0; i < n1; ++i) {
      double a = 2 * kPi * i / n1 * (end ? 1 : -1);
      pts.push_back(ring(fr, r, a, along));
    }
    s.polygon(pts);
  };
  cap(r0, 0, false);
  cap(r1, len, true);
}

// The common start of the object routines: 3-D system, sink (wire frames without a z-buffer or
// depth buffer), finite arguments.
template <typename F>
void object(Context* ctx, std::initializer_list<double> args, F body) {
  if (!ctx || !require_3d(*ctx)) return;
  for (double a : args)
    if (!std::isfinite(a)) {
      warn_code(*ctx, kMsgIncorrectParameter);
      return;
    }
  FacetSink sink(*ctx, false, true);
  if (!sink.ok()) return;
  body(sink);
  qqflsh(*ctx);
}

bool segments_ok(Context& ctx, int n1, int n2) {
  return check_range(ctx, n1, 3, kMaxSegments) + check_range(ctx, n2, 1, kMaxSegments) == 0;
}

}  // namespace

void sphe3d(double xm, double ym, double zm, double r, int n, int m) {
  Context* ctx = enter(R::sphe3d);
  if (ctx && (!segments_ok(*ctx, n, m) || check_range(*ctx, m, 2, -1))) return;
  object(ctx, {xm, ym, zm, r}, [&](FacetSink& sink) {
    Shape s(*ctx, sink, {xm, ym, zm}, false);
    s.patch(n, m, [&](double a, double t) {
      double phi = 2 * kPi * a, th = kPi * (1 - t);
      return Vec{r * std::sin(th) * std::cos(phi), r * std::sin(th) * std::sin(phi), r * std::cos(th)};
    });
  });
}

void cone3d(double xm, double ym, double zm, double r, double h1, double h2, int nsk1, int nsk2) {
  Context* ctx = enter(R::cone3d);
  if (ctx && !segments_ok(*ctx, nsk1, nsk2)) return;
  object(ctx, {xm, ym, zm, r, h1, h2}, [&](FacetSink& sink) {
    Shape s(*ctx, sink, {xm, ym, zm}, false);
    // a cone of height h1, cut at h2 when that is lower
    double h = (h2 > 0 && h2 < h1) ? h2 : h1;
    double top = h1 != 0 ? r * (1 - h / h1) : 0;
    round_solid(s, frame_of({0, 0, 1}), r, top, h, nsk1, nsk2, true);
  });
}

void cyli3d(double xm, double ym, double zm, double r, double h, int nsk1, int nsk2) {
  Context* ctx = enter(R::cyli3d);
  if (ctx && !segments_ok(*ctx, nsk1, nsk2)) return;
  object(ctx, {xm, ym, zm, r, h}, [&](FacetSink& sink) {
    Shape s(*ctx, sink, {xm, ym, zm}, false);
    round_solid(s, frame_of({0, 0, 1}), r, r, h, nsk1, nsk2, true);
  });
}

void disk3d(double xm, double ym, double zm, double r1, double r2, int nsk1, int nsk2) {
  Context* ctx = enter(R::disk3d);
  if (ctx && !segments_ok(*ctx, nsk1, nsk2)) return;
  object(ctx, {xm, ym, zm, r1, r2}, [&](FacetSink& sink) {
    Shape s(*ctx, sink, {xm, ym, zm}, false, false);
    // an annulus from radius r1 to r2 in the plane z = zm, its upper side outside
    s.patch(nsk1, nsk2, [&](double a, double t) {
      double rr = r1 + (r2 - r1) * t, phi = -2 * kPi * a;
      return Vec{rr * std::cos(phi), rr * std::sin(phi), 0};
    });
  });
}

void tube3d(double xa, double ya, double za, double xb, double yb, double zb, double r, int nsk1,
            int nsk2) {
  Context* ctx = enter(R::tube3d);
  if (ctx && !segments_ok(*ctx, nsk1, nsk2)) return;
  object(ctx, {xa, ya, za, xb, yb, zb, r}, [&](FacetSink& sink) {
    Vec axis{xb - xa, yb - ya, zb - za};
    if (!(norm(axis) > 0)) return;
    Shape s(*ctx, sink, {xa, ya, za}, false);
    round_solid(s, frame_of(axis), r, r, norm(axis), nsk1, nsk2, true);
  });
}

// An arrow from A to B: a shaft of radius r and a head of twice the radius, a quarter of the
// length long (at most ten shaft radii).
void pike3d(double xa, double ya, double za, double xb, double yb, double zb, double r, int nsk1,
            int nsk2) {
  Context* ctx = enter(R::pike3d);
  if (ctx && !segments_ok(*ctx, nsk1, nsk2)) return;
  object(ctx, {xa, ya, za, xb, yb, zb, r}, [&](FacetSink& sink) {
    Vec axis{xb - xa, yb - ya, zb - za};
    double len = norm(axis);
    if (!(len > 0)) return;
    Frame fr = frame_of(axis);
    double head = std::min(len / 4, 10 * std::fabs(r));
    Shape shaft(*ctx, sink, {xa, ya, za}, false);
    round_solid(shaft, fr, r, r, len - head, nsk1, nsk2, true);
    Vec base = add(Vec{xa, ya, za}, mul(fr.w, len - head));
    Shape tip(*ctx, sink, base, false);
    round_solid(tip, fr, 2 * r, 0, head, nsk1, 1, true);
  });
}

// A torus about the vertical axis through (xm, ym, zm) between the radii r1 and r2, swept from
// alpha to beta degrees and rising by h over the sweep (a spring when h is not 0).
void torus3d(double xm, double ym, double zm, double r1, double r2, double h, double alpha,
             double beta, int nsk1, int nsk2) {
  Context* ctx = enter(R::torus3d);
  if (ctx && (!segments_ok(*ctx, nsk1, nsk2) || check_range(*ctx, nsk2, 3, -1))) return;
  object(ctx, {xm, ym, zm, r1, r2, h, alpha, beta}, [&](FacetSink& sink) {
    Shape s(*ctx, sink, {xm, ym, zm}, false);
    double rc = (r1 + r2) / 2, rt = std::fabs(r2 - r1) / 2;
    double a0 = alpha * kPi / 180, a1 = beta * kPi / 180;
    s.patch(nsk1, nsk2, [&](double a, double t) {
      double phi = a0 + (a1 - a0) * a, th = 2 * kPi * t;
      double rr = rc + rt * std::cos(th);
      return Vec{rr * std::cos(phi), rr * std::sin(phi), rt * std::sin(th) + h * a};
    });
    if (std::fabs(a1 - a0) < 2 * kPi - 1e-9 || h != 0) {
      // the open ends of a partial torus
      for (int end = 0; end < 2; ++end) {
        double phi = end ? a1 : a0;
        std::vector<Vec> pts;
        for (int i = 0; i < nsk2; ++i) {
          double th = 2 * kPi * i / nsk2 * (end ? -1 : 1);
          double rr = rc + rt * std::cos(th);
          pts.push_back({rr * std::cos(phi), rr * std::sin(phi), rt * std::sin(th) + h * end});
        }
        s.polygon(pts);
      }
    }
  });
}

// A pyramid on a regular n-gon of edge length xl, height h1, cut at h2 when that is lower.
void pyra3d(double xm, double ym, double zm, double xl, double h1, double h2, int n) {
  Context* ctx = enter(R::pyra3d);
  if (ctx && check_range(*ctx, n, 3, kMaxSegments)) return;
  object(ctx, {xm, ym, zm, xl, h1, h2}, [&](FacetSink& sink) {
    Shape s(*ctx, sink, {xm, ym, zm}, false);
    double rad = xl / (2 * std::sin(kPi / n));
    double h = (h2 > 0 && h2 < h1) ? h2 : h1;
    double k = h1 != 0 ? 1 - h / h1 : 0;
    std::vector<Vec> bottom, top;
    for (int i = 0; i < n; ++i) {
      double a = 2 * kPi * i / n;
      bottom.push_back({rad * std::cos(a), rad * std::sin(a), 0});
      top.push_back({k * rad * std::cos(a), k * rad * std::sin(a), h});
    }
    std::vector<Vec> b(bottom.rbegin(), bottom.rend());
    s.polygon(b);
    for (int i = 0; i < n; ++i) {
      int j = (i + 1) % n;
      if (k > 0)
        s.polygon({bottom[i], bottom[j], top[j], top[i]});
      else
        s.polygon({bottom[i], bottom[j], top[i]});
    }
    if (k > 0) s.polygon(top);
  });
}

void quad3d(double xm, double ym, double zm, double xl, double yl, double zl) {
  Context* ctx = enter(R::quad3d);
  object(ctx, {xm, ym, zm, xl, yl, zl}, [&](FacetSink& sink) {
    Shape s(*ctx, sink, {xm, ym, zm}, false);
    double x = xl / 2, y = yl / 2, z = zl / 2;
    Vec c[8] = {{-x, -y, -z}, {x, -y, -z}, {x, y, -z}, {-x, y, -z},
                {-x, -y, z},  {x, -y, z},  {x, y, z},  {-x, y, z}};
    static const int kFaces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                                     {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    for (const auto& f : kFaces) s.polygon({c[f[0]], c[f[1]], c[f[2]], c[f[3]]});
  });
}

void plat3d(double xm, double ym, double zm, double xl, const char* copt) {
  Context* ctx = enter(R::plat3d);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "CUBE+TETR+OCTA+DODE+ICOS", 5, copt);
  if (!k) return;
  object(ctx, {xm, ym, zm, xl}, [&](FacetSink& sink) {
    Shape s(*ctx, sink, {xm, ym, zm}, false);
    const double g = (1 + std::sqrt(5.0)) / 2;
    std::vector<Vec> v;
    std::vector<std::vector<int>> faces;
    double edge = 1;  // edge length of the solid as listed
    switch (k) {
      case 1:
        v = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
             {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
        faces = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
        edge = 2;
        break;
      case 2:
        v = {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
        faces = {{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}};
        edge = 2 * std::sqrt(2.0);
        break;
      case 3:
        v = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
        faces = {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4}, {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};
        edge = std::sqrt(2.0);
        break;
      case 4: {
        // the dodecahedron as the dual of the icosahedron: face centres of the icosahedron
        std::vector<Vec> iv = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                               {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
        std::vector<std::vector<int>> ifs = {
            {0, 11, 5}, {0, 5, 1}, {0, 1, 7}, {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
            {11, 10, 2}, {10, 7, 6}, {7, 1, 8}, {3, 9, 4}, {3, 4, 2}, {3, 2, 6}, {3, 6, 8},
            {3, 8, 9}, {4, 9, 5}, {2, 4, 11}, {6, 2, 10}, {8, 6, 7}, {9, 8, 1}};
        for (const auto& f : ifs) v.push_back(mul(add(add(iv[f[0]], iv[f[1]]), iv[f[2]]), 1.0 / 3));
        // the five faces round each icosahedron vertex, ordered round it
        for (size_t c = 0; c < iv.size(); ++c) {
          std::vector<int> around;
          for (size_t f = 0; f < ifs.size(); ++f)
            if (std::find(ifs[f].begin(), ifs[f].end(), static_cast<int>(c)) != ifs[f].end())
              around.push_back(static_cast<int>(f));
          Frame fr = frame_of(iv[c]);
          std::sort(around.begin(), around.end(), [&](int a, int b) {
            Vec pa = v[a], pb = v[b];
            return std::atan2(dot(pa, fr.v), dot(pa, fr.u)) < std::atan2(dot(pb, fr.v), dot(pb, fr.u));
          });
          faces.push_back(around);
        }
        edge = norm(sub(v[faces[0][0]], v[faces[0][1]]));
        break;
      }
      default:
        v = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
             {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
        faces = {{0, 11, 5}, {0, 5, 1}, {0, 1, 7}, {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                 {11, 10, 2}, {10, 7, 6}, {7, 1, 8}, {3, 9, 4}, {3, 4, 2}, {3, 2, 6}, {3, 6, 8},
                 {3, 8, 9}, {4, 9, 5}, {2, 4, 11}, {6, 2, 10}, {8, 6, 7}, {9, 8, 1}};
        edge = 2;
        break;
    }
    const double k2 = xl / edge;
    for (auto& f : faces) {
      std::vector<Vec> pts;
      for (int i : f) pts.push_back(mul(v[i], k2));
      // every face turned so that its normal points away from the centre
      Vec n = cross(sub(pts[1], pts[0]), sub(pts[2], pts[0]));
      if (dot(n, pts[0]) < 0) std::reverse(pts.begin(), pts.end());
      s.polygon(pts);
    }
  });
}

// ------------------------------------------------------------------------------------------
// Curves as tubes (used by curv3d and crvt3d inside a z-buffer)

void tube_between(Context& ctx, FacetSink& sink, const double b1[3], const double b2[3], double r,
                  const double rgb[3]) {
  Vec a{b1[0], b1[1], b1[2]}, b{b2[0], b2[1], b2[2]};
  Vec axis = sub(b, a);
  if (!(norm(axis) > 0) || !(r > 0)) return;
  Shape s(ctx, sink, a, true);
  s.set_rgb(rgb);
  round_solid(s, frame_of(axis), r, r, norm(axis), 12, 1, true);
}

// ------------------------------------------------------------------------------------------
// Transformations of objects: offsets from an object's reference point are scaled, rotated
// and shifted in the order of the calls.

namespace {

void compose(Context& ctx, const double m[12]) {
  double* t = ctx.g3d.obj;
  double r[12];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 4; ++j) {
      r[4 * i + j] = m[4 * i] * t[j] + m[4 * i + 1] * t[4 + j] + m[4 * i + 2] * t[8 + j];
      if (j == 3) r[4 * i + j] += m[4 * i + 3];
    }
  }
  std::copy(r, r + 12, t);
  ctx.g3d.obj_on = 1;
}

void rotation(int axis, double deg, double m[12]) {
  double a = deg * kPi / 180, c = std::cos(a), s = std::sin(a);
  std::fill(m, m + 12, 0.0);
  m[0] = m[5] = m[10] = 1;
  int i = (axis + 1) % 3, j = (axis + 2) % 3;
  m[4 * i + i] = c;
  m[4 * i + j] = -s;
  m[4 * j + i] = s;
  m[4 * j + j] = c;
}

}  // namespace

void tr3axs(double x, double y, double z, double xang) {
  Context* ctx = enter(R::tr3axs);
  if (!ctx) return;
  Vec k = unit({x, y, z});
  if (!(norm(k) > 0) || !std::isfinite(xang)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  double a = xang * kPi / 180, c = std::cos(a), s = std::sin(a), t = 1 - c;
  double m[12] = {t * k[0] * k[0] + c,        t * k[0] * k[1] - s * k[2], t * k[0] * k[2] + s * k[1], 0,
                  t * k[0] * k[1] + s * k[2], t * k[1] * k[1] + c,        t * k[1] * k[2] - s * k[0], 0,
                  t * k[0] * k[2] - s * k[1], t * k[1] * k[2] + s * k[0], t * k[2] * k[2] + c,        0};
  compose(*ctx, m);
}

void tr3rot(double xa, double xb, double xc) {
  Context* ctx = enter(R::tr3rot);
  if (!ctx) return;
  if (!(std::isfinite(xa) && std::isfinite(xb) && std::isfinite(xc))) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  double m[12];
  const double deg[3] = {xa, xb, xc};
  for (int axis = 0; axis < 3; ++axis) {
    if (deg[axis] == 0) continue;
    rotation(axis, deg[axis], m);
    compose(*ctx, m);
  }
}

void tr3scl(double xscl, double yscl, double zscl) {
  Context* ctx = enter(R::tr3scl);
  if (!ctx) return;
  if (!(std::isfinite(xscl) && std::isfinite(yscl) && std::isfinite(zscl))) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  double m[12] = {xscl, 0, 0, 0, 0, yscl, 0, 0, 0, 0, zscl, 0};
  compose(*ctx, m);
}

void tr3shf(double xshf, double yshf, double zshf) {
  Context* ctx = enter(R::tr3shf);
  if (!ctx) return;
  if (!(std::isfinite(xshf) && std::isfinite(yshf) && std::isfinite(zshf))) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  double m[12] = {1, 0, 0, xshf, 0, 1, 0, yshf, 0, 0, 1, zshf};
  compose(*ctx, m);
}

void tr3res() {
  Context* ctx = enter(R::tr3res);
  if (!ctx) return;
  const double id[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
  std::copy(id, id + 12, ctx->g3d.obj);
  ctx->g3d.obj_on = 0;
}

}  // namespace tavero
