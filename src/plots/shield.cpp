// Shielded regions: the region store, the routines that define, hide and delete regions, the
// outlines of the caller's regions and the segment filter of the line pipeline.
//
// A region is a run of words in the store: head (type * 100 + kind * 10 + hidden), id, then the
// defining values as integers in absolute plot coordinates. Angles are kept in hundredths of a
// degree.
#include "plots/shield.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "plots/plot_common.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180.0;
constexpr double kTol = 0.001;

// ------------------------------------------------------------------------------------------
// The store

int region_words(const int32_t* w) {
  switch (w[0] / 100) {
    case kShRect: return 6;
    case kShRotRect: return 7;
    case kShCircle: return 5;
    case kShEllipse: return 7;
    case kShPie: return 7;
    case kShPolygon: return 3 + 2 * w[2];
    default: return 2;
  }
}

inline int region_kind(const int32_t* w) { return w[0] / 10 % 10; }
inline bool region_hidden(const int32_t* w) { return w[0] % 10 != 0; }

// Values are truncated like every coordinate of the store; far values are held at a size that
// still computes safely.
int32_t to_word(double v) {
  if (!(v > -1e9)) return std::isnan(v) ? 0 : -1000000000;
  if (v > 1e9) return 1000000000;
  return static_cast<int32_t>(v);
}

void update_filter(Context& ctx) {
  DeviceState& d = ctx.dev;
  if (ctx.plots.shield.count > 0) {
    if (!d.filter) d.filter = shield_filter;
  } else if (d.filter == shield_filter) {
    d.filter = nullptr;
  }
}

// Appends a region with values already in absolute plot coordinates.
bool add_region(Context& ctx, int type, const double* vals, int nvals) {
  ShieldStore& s = ctx.plots.shield;
  const int needed = 2 + nvals;
  if (s.used + needed > kShieldWords) {
    warn_code(ctx, 47);
    return false;
  }
  qqflsh(ctx);  // lines given before the region are drawn without it
  if (s.count == 0) s.used = s.last_id = s.user_count = 0;
  ++s.count;
  ++s.last_id;
  s.words[s.used++] = type * 100 + s.adding_kind * 10;
  s.words[s.used++] = s.last_id;
  for (int i = 0; i < nvals; ++i) s.words[s.used++] = to_word(vals[i]);
  if (s.adding_kind == 0) ++s.user_count;
  update_filter(ctx);
  return true;
}

// Removes every region for which drop(words) holds; returns the number removed.
template <typename Pred>
int delete_regions(Context& ctx, Pred drop) {
  ShieldStore& s = ctx.plots.shield;
  qqflsh(ctx);  // lines given while the regions were active are cut by them
  int out = 0, removed = 0, count = 0, user = 0;
  for (int p = 0; p < s.used;) {
    const int len = region_words(s.words + p);
    if (drop(s.words + p)) {
      ++removed;
    } else {
      if (out != p) std::copy(s.words + p, s.words + p + len, s.words + out);
      if (region_kind(s.words + out) == 0) ++user;
      out += len;
      ++count;
    }
    p += len;
  }
  s.used = out;
  s.count = count;
  s.user_count = user;
  update_filter(ctx);
  return removed;
}

// Sets the hidden digit of every region for which pick(words) holds; returns their number.
template <typename Pred>
int set_hidden(Context& ctx, Pred pick, bool hidden) {
  ShieldStore& s = ctx.plots.shield;
  qqflsh(ctx);
  int n = 0;
  for (int p = 0; p < s.used; p += region_words(s.words + p)) {
    int32_t* w = s.words + p;
    if (!pick(w)) continue;
    w[0] = w[0] / 10 * 10 + (hidden ? 1 : 0);
    ++n;
  }
  return n;
}

// Coordinates of the caller: origin shift added, y after the page-origin conversion.
inline double abs_x(const Context& ctx, double x) { return x + ctx.core.origin_x; }
inline double abs_y(const Context& ctx, double y) { return y + ctx.core.origin_y; }

// Angle in hundredths of a degree, reduced to -18000 .. 18000.
double hundredths(double deg) {
  double r = std::remainder(deg, 360.0);
  return std::isfinite(r) ? r * 100.0 : 0.0;
}

// ------------------------------------------------------------------------------------------
// Geometry of the regions

// A point of a frame turned counterclockwise (page y downwards) by an angle about a pivot.
struct Turn {
  double px, py, c, s;
  // page -> local
  void local(double x, double y, double& u, double& v) const {
    const double dx = x - px, dy = y - py;
    u = dx * c - dy * s;
    v = dx * s + dy * c;
  }
  // local -> page
  void page(double u, double v, double& x, double& y) const {
    x = px + u * c + v * s;
    y = py - u * s + v * c;
  }
};

Turn turn_of(double px, double py, int32_t hundredths_deg) {
  const double a = hundredths_deg / 100.0 * kDeg;
  return {px, py, std::cos(a), std::sin(a)};
}

// Parameters t at which the segment a + t d meets the circle |p - c| = r.
void circle_cuts(double ax, double ay, double dx, double dy, double cx, double cy, double r,
                 std::vector<double>& ts) {
  const double ex = ax - cx, ey = ay - cy;
  const double qa = dx * dx + dy * dy, qb = 2 * (dx * ex + dy * ey), qc = ex * ex + ey * ey - r * r;
  const double disc = qb * qb - 4 * qa * qc;
  if (qa <= 0 || disc < 0) return;
  const double root = std::sqrt(disc);
  ts.push_back((-qb - root) / (2 * qa));
  ts.push_back((-qb + root) / (2 * qa));
}

// Parameter at which the segment a + t d meets the line through p with direction u.
void line_cut(double ax, double ay, double dx, double dy, double px, double py, double ux,
              double uy, std::vector<double>& ts) {
  const double den = dx * uy - dy * ux;
  if (std::fabs(den) < 1e-300) return;
  ts.push_back(((px - ax) * uy - (py - ay) * ux) / den);
}

// One region read from the store.
struct Region {
  const int32_t* w;
  int type() const { return w[0] / 100; }

  bool inside(double x, double y) const {
    const int32_t* v = w + 2;
    switch (type()) {
      case kShRect:
        return x >= std::min(v[0], v[2]) && x <= std::max(v[0], v[2]) &&
               y >= std::min(v[1], v[3]) && y <= std::max(v[1], v[3]);
      case kShRotRect: {
        double u, q;
        turn_of(v[0], v[1], v[4]).local(x, y, u, q);
        const double uw = v[2] - v[0], vh = v[3] - v[1];
        return u >= std::min(0.0, uw) && u <= std::max(0.0, uw) && q >= std::min(0.0, vh) &&
               q <= std::max(0.0, vh);
      }
      case kShCircle: {
        const double dx = x - v[0], dy = y - v[1];
        return dx * dx + dy * dy <= static_cast<double>(v[2]) * v[2];
      }
      case kShEllipse: {
        double u, q;
        turn_of(v[0], v[1], v[4]).local(x, y, u, q);
        const double a = v[2], b = v[3];
        return (u / a) * (u / a) + (q / b) * (q / b) <= 1.0;
      }
      case kShPie: {
        const double dx = x - v[0], dy = v[1] - y;
        if (dx * dx + dy * dy > static_cast<double>(v[2]) * v[2]) return false;
        if (dx == 0 && dy == 0) return true;
        double ang = std::atan2(dy, dx) / kDeg * 100.0;  // hundredths, counterclockwise
        double rel = std::fmod(ang - v[3], 36000.0);
        if (rel < 0) rel += 36000.0;
        return rel <= v[4] - v[3];
      }
      case kShPolygon: {
        const int n = v[0];
        const int32_t* p = v + 1;
        bool in = false;
        for (int i = 0, j = n - 1; i < n; j = i++) {
          const double xi = p[2 * i], yi = p[2 * i + 1], xj = p[2 * j], yj = p[2 * j + 1];
          if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
        }
        return in;
      }
      default:
        return false;
    }
  }

  // Whether the region lies wholly outside the box x0..x1, y0..y1 (a quick rejection).
  bool apart(double x0, double y0, double x1, double y1) const {
    const int32_t* v = w + 2;
    double lx, ly, hx, hy;
    switch (type()) {
      case kShRect:
        lx = std::min(v[0], v[2]);
        hx = std::max(v[0], v[2]);
        ly = std::min(v[1], v[3]);
        hy = std::max(v[1], v[3]);
        break;
      case kShPolygon: {
        lx = ly = HUGE_VAL;
        hx = hy = -HUGE_VAL;
        for (int i = 0; i < v[0]; ++i) {
          lx = std::min<double>(lx, v[1 + 2 * i]);
          hx = std::max<double>(hx, v[1 + 2 * i]);
          ly = std::min<double>(ly, v[2 + 2 * i]);
          hy = std::max<double>(hy, v[2 + 2 * i]);
        }
        break;
      }
      default: {
        // a circle about the centre (or pivot) that holds the whole shape
        double r = v[2];
        if (type() == kShRotRect) r = std::hypot(v[2] - v[0], v[3] - v[1]);
        if (type() == kShEllipse) r = std::max(v[2], v[3]);
        lx = v[0] - r;
        hx = v[0] + r;
        ly = v[1] - r;
        hy = v[1] + r;
        break;
      }
    }
    return hx < x0 || lx > x1 || hy < y0 || ly > y1;
  }

  // Parameters of the segment a + t d at which it may cross the boundary.
  void cuts(double ax, double ay, double dx, double dy, std::vector<double>& ts) const {
    const int32_t* v = w + 2;
    auto box = [&](double x0, double y0, double x1, double y1, double bx, double by,
                   double ddx, double ddy) {
      if (ddx != 0) {
        ts.push_back((x0 - bx) / ddx);
        ts.push_back((x1 - bx) / ddx);
      }
      if (ddy != 0) {
        ts.push_back((y0 - by) / ddy);
        ts.push_back((y1 - by) / ddy);
      }
    };
    switch (type()) {
      case kShRect:
        box(v[0], v[1], v[2], v[3], ax, ay, dx, dy);
        break;
      case kShRotRect: {
        const Turn t = turn_of(v[0], v[1], v[4]);
        double ua, qa, ub, qb;
        t.local(ax, ay, ua, qa);
        t.local(ax + dx, ay + dy, ub, qb);
        box(0, 0, v[2] - v[0], v[3] - v[1], ua, qa, ub - ua, qb - qa);
        break;
      }
      case kShCircle:
        circle_cuts(ax, ay, dx, dy, v[0], v[1], v[2], ts);
        break;
      case kShEllipse: {
        const Turn t = turn_of(v[0], v[1], v[4]);
        double ua, qa, ub, qb;
        t.local(ax, ay, ua, qa);
        t.local(ax + dx, ay + dy, ub, qb);
        const double a = v[2], b = v[3];
        circle_cuts(ua / a, qa / b, (ub - ua) / a, (qb - qa) / b, 0, 0, 1, ts);
        break;
      }
      case kShPie: {
        circle_cuts(ax, ay, dx, dy, v[0], v[1], v[2], ts);
        for (int k = 3; k <= 4; ++k) {
          const double ang = v[k] / 100.0 * kDeg;
          line_cut(ax, ay, dx, dy, v[0], v[1], std::cos(ang), -std::sin(ang), ts);
        }
        break;
      }
      case kShPolygon: {
        const int n = v[0];
        const int32_t* p = v + 1;
        for (int i = 0, j = n - 1; i < n; j = i++) {
          const double xj = p[2 * j], yj = p[2 * j + 1];
          const double ex = p[2 * i] - xj, ey = p[2 * i + 1] - yj;
          const double den = dx * ey - dy * ex;
          if (std::fabs(den) < 1e-300) continue;
          const double t = ((xj - ax) * ey - (yj - ay) * ex) / den;
          const double s = ((xj - ax) * dy - (yj - ay) * dx) / den;
          if (s >= -1e-9 && s <= 1 + 1e-9) ts.push_back(t);
        }
        break;
      }
      default:
        break;
    }
  }
};

struct Interval {
  double a, b;
};

// Work buffers of the filter, kept between segments so that filtering does not allocate.
struct FilterWork {
  std::vector<double> ts;
  std::vector<Interval> inside;
};

FilterWork& filter_work() {
  thread_local FilterWork work;
  return work;
}

// Whether the device run ends at this point, so that a piece from it continues the line.
bool continues_at(const Context& ctx, double x, double y) {
  double dx, dy;
  to_device(ctx, x, y, dx, dy);
  return dx == ctx.dev.last_dx && dy == ctx.dev.last_dy;
}

// ------------------------------------------------------------------------------------------
// Outlines of the caller's regions (relative plot coordinates)

void polyline(Context& ctx, const double* x, const double* y, int n) {
  qqstrt(ctx, x[0], y[0]);
  for (int i = 1; i < n; ++i) qqconn(ctx, x[i], y[i]);
}

// Frame of thickness t round a possibly turned rectangle given in its local frame: t > 0 grows
// outwards, t < 0 inwards.
void frame_outline(Context& ctx, const Turn& turn, double w, double h, int t) {
  const int count = std::abs(t);
  for (int i = 0; i < count; ++i) {
    const double d = t > 0 ? i : -i;
    const double u0 = std::min(0.0, w) - d, u1 = std::max(0.0, w) + d;
    const double v0 = std::min(0.0, h) - d, v1 = std::max(0.0, h) + d;
    if (u1 < u0 || v1 < v0) break;
    const double lu[5] = {u0, u1, u1, u0, u0}, lv[5] = {v0, v0, v1, v1, v0};
    double x[5], y[5];
    for (int k = 0; k < 5; ++k) turn.page(lu[k], lv[k], x[k], y[k]);
    polyline(ctx, x, y, 5);
  }
}

// |t| outlines one plot unit apart (outwards for t > 0) of an ellipse, or of a pie sector
// when sweep < 360 (degrees from start).
void round_outline(Context& ctx, double cx, double cy, double a, double b, double theta,
                   double start, double sweep, int t) {
  const int count = std::abs(t);
  const double ct = std::cos(theta * kDeg), st = std::sin(theta * kDeg);
  const bool sector = sweep < 360.0;
  for (int i = 0; i < count; ++i) {
    const double d = t > 0 ? i : -i;
    const double ra = a + d, rb = b + d;
    if (ra <= 0 || rb <= 0) break;
    const double r = std::max(ra, rb);
    const int n = std::max(16, static_cast<int>(std::ceil(r * sweep * kDeg / 10.0)));
    std::vector<double> x, y;
    x.reserve(n + 3);
    y.reserve(n + 3);
    if (sector) {
      x.push_back(cx);
      y.push_back(cy);
    }
    for (int k = 0; k <= n; ++k) {
      const double ang = (start + sweep * k / n) * kDeg;
      const double ex = ra * std::cos(ang), ey = rb * std::sin(ang);
      x.push_back(cx + ex * ct - ey * st);
      y.push_back(cy - (ex * st + ey * ct));
    }
    if (sector) {
      x.push_back(cx);
      y.push_back(cy);
    }
    polyline(ctx, x.data(), y.data(), static_cast<int>(x.size()));
  }
}

// Runs the outline drawing of a caller's region (frame thickness not 0) unshielded.
template <typename F>
void outline(Context& ctx, F draw) {
  const int t = ctx.axes.frame;
  if (t == 0 || ctx.plots.shield.adding_kind != 0) return;
  ShieldSuspend suspend(ctx);
  SolidScope solid(ctx);
  draw(t);
}

// ------------------------------------------------------------------------------------------
// Adding regions from relative coordinates (caller and automatic)

bool add_rect(Context& ctx, double x1, double y1, double x2, double y2) {
  const double v[4] = {abs_x(ctx, x1), abs_y(ctx, y1), abs_x(ctx, x2), abs_y(ctx, y2)};
  return add_region(ctx, kShRect, v, 4);
}

bool add_rotated_rect(Context& ctx, double x, double y, double w, double h, double angle) {
  const double v[5] = {abs_x(ctx, x), abs_y(ctx, y), abs_x(ctx, x + w), abs_y(ctx, y + h),
                       hundredths(angle)};
  return add_region(ctx, kShRotRect, v, 5);
}

bool add_circle(Context& ctx, double x, double y, double r) {
  const double v[3] = {abs_x(ctx, x), abs_y(ctx, y), r};
  return add_region(ctx, kShCircle, v, 3);
}

bool add_pie(Context& ctx, double x, double y, double r, double alpha, double beta) {
  if (std::fabs(alpha - beta) > 360.0 - 1e-35) return add_circle(ctx, x, y, r);
  double start = std::fmod(alpha, 360.0);
  if (start < 0) start += 360.0;
  double sweep = beta - alpha;
  if (sweep < 0) sweep += 360.0;
  const double s = std::floor(start * 100.0);
  const double v[5] = {abs_x(ctx, x), abs_y(ctx, y), r, s, s + std::ceil(sweep * 100.0)};
  return add_region(ctx, kShPie, v, 5);
}

// The values of a polygon region (count, then absolute points) with repeated points and a
// closing point equal to the first dropped; message 30 with the count when fewer than 3 remain.
bool polygon_values(Context& ctx, const double* x, const double* y, int n,
                    std::vector<double>& v) {
  v.clear();
  v.reserve(2 * static_cast<size_t>(n) + 1);
  v.push_back(0);
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(x[i]) || !std::isfinite(y[i])) {
      count_nan(ctx);
      continue;
    }
    const double px = to_word(abs_x(ctx, x[i])), py = to_word(abs_y(ctx, y[i]));
    if (v.size() > 1 && v[v.size() - 2] == px && v.back() == py) continue;
    v.push_back(px);
    v.push_back(py);
  }
  int m = static_cast<int>(v.size() - 1) / 2;
  if (m > 1 && v[1] == v[2 * m - 1] && v[2] == v[2 * m]) {
    v.resize(v.size() - 2);
    --m;
  }
  if (m < 3) {
    warn_number(ctx, 30, m);
    return false;
  }
  v[0] = m;
  return true;
}

bool add_polygon(Context& ctx, const double* x, const double* y, int n) {
  std::vector<double> v;
  if (!polygon_values(ctx, x, y, n, v)) return false;
  return add_region(ctx, kShPolygon, v.data(), static_cast<int>(v.size()));
}

// Runs an addition for an automatic kind, when that kind is switched on.
template <typename F>
bool add_auto(Context& ctx, int kind, F add) {
  if (!shield_auto_on(ctx, kind)) return false;
  ShieldStore& s = ctx.plots.shield;
  const int saved = s.adding_kind;
  s.adding_kind = kind;
  bool ok = add();
  s.adding_kind = saved;
  return ok;
}

bool positive_sizes(Context& ctx, int a, int b) {
  if (a > 0 && b > 0) return true;
  warn_number(ctx, kMsgIncorrectParameter, a < b ? a : b);
  return false;
}

bool radius_ok(Context& ctx, int r) { return check_range(ctx, r, 1, 10000) == 0; }

bool finite_angle(Context& ctx, double a) {
  if (std::isfinite(a)) return true;
  warn_code(ctx, kMsgIncorrectParameter);
  return false;
}

}  // namespace

// ------------------------------------------------------------------------------------------
// Services for the other subsystems

bool shield_auto_on(const Context& ctx, int kind) {
  return kind >= 1 && kind <= kShieldKinds && ctx.plots.shield.auto_on[kind - 1] == 1;
}

bool shield_auto_rect(Context& ctx, int kind, double x1, double y1, double x2, double y2) {
  return add_auto(ctx, kind, [&] { return add_rect(ctx, x1, y1, x2, y2); });
}

bool shield_auto_rotated_rect(Context& ctx, int kind, double x, double y, double w, double h,
                              double angle) {
  if (std::fabs(angle) < 0.001) return shield_auto_rect(ctx, kind, x, y, x + w, y + h);
  return add_auto(ctx, kind, [&] { return add_rotated_rect(ctx, x, y, w, h, angle); });
}

bool shield_auto_circle(Context& ctx, int kind, double x, double y, double r) {
  return add_auto(ctx, kind, [&] { return add_circle(ctx, x, y, r); });
}

bool shield_auto_pie(Context& ctx, int kind, double x, double y, double r, double alpha,
                     double beta) {
  return add_auto(ctx, kind, [&] { return add_pie(ctx, x, y, r, alpha, beta); });
}

bool shield_auto_polygon(Context& ctx, int kind, const double* x, const double* y, int n) {
  return add_auto(ctx, kind, [&] { return add_polygon(ctx, x, y, n); });
}

void shield_clear(Context& ctx) {
  ShieldStore& s = ctx.plots.shield;
  s = ShieldStore{};
  update_filter(ctx);
}

void shield_reset_auto(Context& ctx) {
  ShieldStore& s = ctx.plots.shield;
  for (int& f : s.auto_on) f = 0;
  delete_regions(ctx, [](const int32_t* w) { return region_kind(w) != 0; });
}

ShieldSuspend::ShieldSuspend(Context& ctx)
    : ctx_(ctx),
      suspended_(ctx.plots.shield.suspended),
      hidden_(ctx.dev.hidden_on),
      filter_(ctx.dev.filter) {
  qqflsh(ctx);
  ctx.plots.shield.suspended = 1;
  ctx.dev.hidden_on = 0;
  ctx.dev.filter = nullptr;
}

ShieldSuspend::~ShieldSuspend() {
  qqflsh(ctx_);
  ctx_.plots.shield.suspended = suspended_;
  ctx_.dev.hidden_on = hidden_;
  ctx_.dev.filter = filter_;
}

// ------------------------------------------------------------------------------------------
// The segment filter

void shield_filter(Context& ctx, double x1, double y1, double x2, double y2, bool move) {
  const ShieldStore& s = ctx.plots.shield;
  const double dx = x2 - x1, dy = y2 - y1;
  if (s.suspended || s.count == 0 || (std::fabs(dx) < kTol && std::fabs(dy) < kTol)) {
    emit_segment(ctx, x1, y1, x2, y2, move);
    return;
  }
  FilterWork& work = filter_work();
  work.inside.clear();
  const double len = std::hypot(dx, dy);
  const double eps = 1e-6 / len;  // shortest piece kept, in parameter units
  for (int p = 0; p < s.used; p += region_words(s.words + p)) {
    if (region_hidden(s.words + p)) continue;
    const Region r{s.words + p};
    if (r.apart(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)))
      continue;
    work.ts.clear();
    work.ts.push_back(0.0);
    work.ts.push_back(1.0);
    r.cuts(x1, y1, dx, dy, work.ts);
    for (double& t : work.ts) t = std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 0.0;
    std::sort(work.ts.begin(), work.ts.end());
    for (size_t i = 1; i < work.ts.size(); ++i) {
      const double ta = work.ts[i - 1], tb = work.ts[i];
      if (tb - ta <= eps * 1e-3) continue;
      const double tm = 0.5 * (ta + tb);
      if (r.inside(x1 + tm * dx, y1 + tm * dy)) work.inside.push_back({ta, tb});
    }
  }
  if (work.inside.empty()) {
    emit_segment(ctx, x1, y1, x2, y2, move || !continues_at(ctx, x1, y1));
    return;
  }
  std::sort(work.inside.begin(), work.inside.end(),
            [](const Interval& a, const Interval& b) { return a.a < b.a; });
  auto piece = [&](double ta, double tb) {
    if (tb - ta <= eps) return;
    const double ax = ta == 0 ? x1 : x1 + ta * dx, ay = ta == 0 ? y1 : y1 + ta * dy;
    const double bx = tb == 1 ? x2 : x1 + tb * dx, by = tb == 1 ? y2 : y1 + tb * dy;
    const bool mv = ta == 0 ? move || !continues_at(ctx, x1, y1) : true;
    emit_segment(ctx, ax, ay, bx, by, mv);
  };
  double cursor = 0;
  for (const Interval& iv : work.inside) {
    if (iv.a > cursor) piece(cursor, iv.a);
    cursor = std::max(cursor, iv.b);
  }
  if (cursor < 1) piece(cursor, 1);
}

// ------------------------------------------------------------------------------------------
// Public routines

namespace {

// The rectangle of shlrec and of shlrct without a turn.
void plain_rect(Context& ctx, int nx, int ny, int nw, int nh) {
  const double x1 = nx, y1 = page_y(ctx, ny);
  const double x2 = nx + nw - 1.0, y2 = page_y(ctx, ny + nh - 1.0);
  outline(ctx, [&](int t) { frame_outline(ctx, Turn{x1, y1, 1, 0}, x2 - x1, y2 - y1, t); });
  add_rect(ctx, x1, y1, x2, y2);
}

}  // namespace

void shlrec(int nx, int ny, int nw, int nh) {
  Context* ctx = enter(R::shlrec);
  if (!ctx || !positive_sizes(*ctx, nw, nh)) return;
  plain_rect(*ctx, nx, ny, nw, nh);
}

void shlrct(int nx, int ny, int nw, int nh, double theta) {
  Context* ctx = enter(R::shlrct);
  if (!ctx || !positive_sizes(*ctx, nw, nh) || !finite_angle(*ctx, theta)) return;
  if (std::fabs(theta) < 0.001) {
    plain_rect(*ctx, nx, ny, nw, nh);
    return;
  }
  const double x1 = nx, y1 = page_y(*ctx, ny);
  const double w = nw - 1.0, h = page_y(*ctx, ny + nh - 1.0) - y1;
  const Turn turn = turn_of(x1, y1, static_cast<int32_t>(hundredths(theta)));
  outline(*ctx, [&](int t) { frame_outline(*ctx, turn, w, h, t); });
  add_rotated_rect(*ctx, x1, y1, w, h, theta);
}

void shlcir(int nx, int ny, int nr) {
  Context* ctx = enter(R::shlcir);
  if (!ctx || !radius_ok(*ctx, nr)) return;
  const double x = nx, y = page_y(*ctx, ny);
  outline(*ctx, [&](int t) { round_outline(*ctx, x, y, nr, nr, 0, 0, 360, t); });
  add_circle(*ctx, x, y, nr);
}

void shlell(int nx, int ny, int na, int nb, double theta) {
  Context* ctx = enter(R::shlell);
  if (!ctx || !positive_sizes(*ctx, na, nb) || !finite_angle(*ctx, theta)) return;
  const double x = nx, y = page_y(*ctx, ny);
  outline(*ctx, [&](int t) { round_outline(*ctx, x, y, na, nb, theta, 0, 360, t); });
  const double v[5] = {abs_x(*ctx, x), abs_y(*ctx, y), static_cast<double>(na),
                       static_cast<double>(nb), hundredths(theta)};
  add_region(*ctx, kShEllipse, v, 5);
}

void shlpie(int nx, int ny, int nr, double alpha, double beta) {
  Context* ctx = enter(R::shlpie);
  if (!ctx || !radius_ok(*ctx, nr) || !finite_angle(*ctx, alpha) || !finite_angle(*ctx, beta))
    return;
  const double x = nx, y = page_y(*ctx, ny);
  const bool full = std::fabs(alpha - beta) > 360.0 - 1e-35;
  double sweep = full ? 360.0 : beta - alpha;
  if (sweep < 0) sweep += 360.0;
  outline(*ctx, [&](int t) { round_outline(*ctx, x, y, nr, nr, 0, alpha, sweep, t); });
  add_pie(*ctx, x, y, nr, alpha, beta);
}

void shlpol(const int* nxray, const int* nyray, int n) {
  Context* ctx = enter(R::shlpol);
  if (!ctx || check_range(*ctx, n, 3, 2000)) return;
  try {
    std::vector<double> x(n), y(n), v;
    for (int i = 0; i < n; ++i) {
      x[i] = nxray[i];
      y[i] = page_y(*ctx, nyray[i]);
    }
    if (!polygon_values(*ctx, x.data(), y.data(), n, v)) return;
    const int m = static_cast<int>(v[0]);
    outline(*ctx, [&](int) {
      std::vector<double> ox(m + 1), oy(m + 1);
      for (int i = 0; i <= m; ++i) {
        ox[i] = v[1 + 2 * (i % m)] - ctx->core.origin_x;
        oy[i] = v[2 + 2 * (i % m)] - ctx->core.origin_y;
      }
      polyline(*ctx, ox.data(), oy.data(), m + 1);
    });
    add_region(*ctx, kShPolygon, v.data(), static_cast<int>(v.size()));
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

void shldel(int id) {
  Context* ctx = enter(R::shldel);
  if (!ctx || check_range(*ctx, id, 0, -1)) return;
  int removed = id == 0 ? delete_regions(*ctx, [](const int32_t* w) { return region_kind(w) == 0; })
                        : delete_regions(*ctx, [id](const int32_t* w) { return w[1] == id; });
  if (id != 0 && removed == 0) warn_number(*ctx, kMsgIncorrectParameter, id);
}

void shlres(int n) {
  Context* ctx = enter(R::shlres);
  if (!ctx || check_range(*ctx, n, 1, -1)) return;
  ShieldStore& s = ctx->plots.shield;
  // the ids of the caller's regions in store order; the last n go
  std::vector<int> ids;
  for (int p = 0; p < s.used; p += region_words(s.words + p))
    if (region_kind(s.words + p) == 0) ids.push_back(s.words[p + 1]);
  const size_t keep = ids.size() > static_cast<size_t>(n) ? ids.size() - n : 0;
  ids.erase(ids.begin(), ids.begin() + static_cast<long>(keep));
  delete_regions(*ctx, [&](const int32_t* w) {
    return region_kind(w) == 0 && std::find(ids.begin(), ids.end(), w[1]) != ids.end();
  });
}

void shlvis(int id, const char* cvis) {
  Context* ctx = enter(R::shlvis);
  if (!ctx) return;
  const int k = lookup_keyword(*ctx, "ON  +OFF ", 2, cvis);
  if (!k) return;
  const bool hidden = k == 2;
  int n = id == 0 ? set_hidden(*ctx, [](const int32_t*) { return true; }, hidden)
                  : set_hidden(*ctx, [id](const int32_t* w) { return w[1] == id; }, hidden);
  if (id != 0 && n == 0) warn_number(*ctx, kMsgIncorrectParameter, id);
}

int shlind() {
  Context* ctx = enter(R::shlind);
  return ctx ? ctx->plots.shield.count : 0;
}

void shield(const char* carea, const char* cmode) {
  Context* ctx = enter(R::shield);
  if (!ctx) return;
  const int kind = lookup_keyword(*ctx, "MESS+SYMB+BARS+PIE +LEGE", 5, carea);
  const int mode = lookup_keyword(*ctx, "ON  +OFF +VIS +NOVI+DELE+RESE", 6, cmode);
  if (!kind || !mode) return;
  ShieldStore& s = ctx->plots.shield;
  auto of_kind = [kind](const int32_t* w) { return region_kind(w) == kind; };
  switch (mode) {
    case 1: s.auto_on[kind - 1] = 1; break;
    case 2: s.auto_on[kind - 1] = 0; break;
    case 3: set_hidden(*ctx, of_kind, false); break;
    case 4: set_hidden(*ctx, of_kind, true); break;
    case 5: delete_regions(*ctx, of_kind); break;
    case 6:
      s.auto_on[kind - 1] = 0;
      delete_regions(*ctx, of_kind);
      break;
    default: break;
  }
}

}  // namespace tavero
