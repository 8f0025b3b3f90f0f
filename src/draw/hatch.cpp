// The software hatcher: a polygon is covered with parallel lines of the current pattern by a
// scan-line pass in a frame rotated by the hatch angle, where the hatch lines are the lines
// of constant y' = k * spacing.
//
// Intersection rule: an edge meets scan line y when its lower end lies on or below y and its
// upper end strictly above (horizontal edges never). A vertex on the line between a rising
// and a falling edge so gives one intersection, a local maximum none, a local minimum two
// equal ones, which cancel. The sorted intersections, with equal values removed in pairs,
// are joined first with second, third with fourth: the even-odd rule.
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/messages.h"
#include "draw/fill.h"
#include "draw/pipeline.h"

namespace tavero {

namespace {

constexpr int kMaxIntersections = 100;

struct Edge {
  double ylo, yhi, xlo, slope;  // slope: dx' / dy'
};

// Line types of the dashed patterns 5, 6, 7: dotl, dashm, chndot (plot units at unit factor 1).
struct DashStyle {
  int type, n, len[4];
};
const DashStyle kDashed[3] = {{6, 2, {1, 20}}, {5, 2, {20, 15}}, {4, 4, {1, 15, 15, 15}}};

struct SavedStyle {
  int line_type, ndash, dash[10], index, state, color_index;
  double remaining;
};

void save_style(const LineState& l, SavedStyle& s) {
  s.line_type = l.line_type;
  s.ndash = l.ndash;
  std::copy(l.dash, l.dash + 10, s.dash);
  s.index = l.dash_index;
  s.state = l.dash_state;
  s.color_index = l.dash_color_index;
  s.remaining = l.dash_remaining;
}

void restore_style(LineState& l, const SavedStyle& s) {
  l.line_type = s.line_type;
  l.ndash = s.ndash;
  std::copy(s.dash, s.dash + 10, l.dash);
  l.dash_index = s.index;
  l.dash_state = s.state;
  l.dash_color_index = s.color_index;
  l.dash_remaining = s.remaining;
}

// As lintyp does it: lengths converted to plot units, at least 1.
void set_dash_style(Context& ctx, const DashStyle& d) {
  LineState& l = ctx.line;
  for (int i = 0; i < d.n; ++i) {
    int v = static_cast<int>(d.len[i] / ctx.core.unit_factor + 0.5);
    l.dash[i] = v == 0 ? 1 : v;
  }
  l.ndash = d.n;
  l.line_type = d.type;
  l.dash_state = 0;
  l.dash_index = 1;
  l.dash_color_index = 1;
  l.dash_remaining = l.dash[0];
}

// Grouped patterns: scan line i (1-based from the polygon's first line) is drawn or skipped.
// The first group is one line short, because the line that completes a group starts the gap;
// after it the pattern repeats with period group + skip.
inline bool line_drawn(long long i, int group, int skip) {
  if (group <= 0 || i < group) return true;
  return (i - group) % (group + skip) >= skip;
}

inline void cos_sin(int deg, double& c, double& s) {
  switch (((deg % 360) + 360) % 360) {  // exact for the axis directions
    case 0: c = 1; s = 0; return;
    case 90: c = 0; s = 1; return;
    case 180: c = -1; s = 0; return;
    case 270: c = 0; s = -1; return;
    default: {
      double a = deg * M_PI / 180.0;
      c = std::cos(a);
      s = std::sin(a);
    }
  }
}

// Range of y' that the clipping area covers (relative plot coordinates); scan lines outside
// it cannot show anything. While points are still transformed after the hatcher (plane
// projection, affine transform) the window says nothing about them: a wide bound instead.
void visible_range(const Context& ctx, double c, double s, double& lo, double& hi) {
  if (ctx.dev.plane_projection == 1 || ctx.dev.affine_on) {
    lo = -1e9;
    hi = 1e9;
    return;
  }
  const LineState& l = ctx.line;
  const double ox = ctx.core.origin_x, oy = ctx.core.origin_y;
  double x0, y0, x1, y1;
  if (l.circle_clip) {
    x0 = l.circle_cx - l.circle_r - ox;
    x1 = l.circle_cx + l.circle_r - ox;
    y0 = l.circle_cy - l.circle_r - oy;
    y1 = l.circle_cy + l.circle_r - oy;
  } else {
    x0 = l.clip[0] - ox;
    x1 = l.clip[2] - ox;
    y0 = l.clip[1] - oy;
    y1 = l.clip[3] - oy;
  }
  const double cx[4] = {x0, x1, x1, x0}, cy[4] = {y0, y0, y1, y1};
  lo = hi = cy[0] * c + cx[0] * s;
  for (int i = 1; i < 4; ++i) {
    double v = cy[i] * c + cx[i] * s;
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
}

// One family of lines at angle deg. False when the polygon has too many intersections on a
// line: the warning is given and the fill ends.
bool hatch_pass(Context& ctx, const double* x, const double* y, int n, int deg, double sp,
                int group, int skip) {
  double c, s;
  cos_sin(deg, c, s);
  std::vector<double> rx(n), ry(n);
  double ymin = HUGE_VAL, ymax = -HUGE_VAL;
  for (int i = 0; i < n; ++i) {
    rx[i] = x[i] * c - y[i] * s;
    ry[i] = y[i] * c + x[i] * s;
    ymin = std::min(ymin, ry[i]);
    ymax = std::max(ymax, ry[i]);
  }
  std::vector<Edge> edges;
  edges.reserve(n);
  for (int i = 0; i < n; ++i) {
    int j = i + 1 == n ? 0 : i + 1;
    if (ry[i] == ry[j]) continue;
    int lo = ry[i] < ry[j] ? i : j, hi = lo == i ? j : i;
    edges.push_back({ry[lo], ry[hi], rx[lo], (rx[hi] - rx[lo]) / (ry[hi] - ry[lo])});
  }
  if (edges.empty()) return true;
  std::sort(edges.begin(), edges.end(),
            [](const Edge& a, const Edge& b) { return a.ylo < b.ylo; });

  double wlo, whi;
  visible_range(ctx, c, s, wlo, whi);
  auto line_of = [sp](double v) { return std::clamp(v / sp, -1e15, 1e15); };
  // the pattern is anchored at the polygon's first line (truncated, not floored)
  const long long k0 = static_cast<long long>(line_of(ymin));
  const long long kfirst = std::max(k0, static_cast<long long>(std::floor(line_of(wlo))) - 1);
  const long long klast = std::min(static_cast<long long>(std::floor(line_of(ymax))),
                                   static_cast<long long>(std::floor(line_of(whi)))) + 1;

  std::vector<int> active;
  std::vector<double> xs, kept;
  size_t next = 0;
  for (long long k = kfirst; k <= klast; ++k) {
    const double yl = static_cast<double>(k) * sp;
    if (yl > ymax) break;
    while (next < edges.size() && edges[next].ylo <= yl) active.push_back(static_cast<int>(next++));
    xs.clear();
    for (size_t a = 0; a < active.size();) {
      const Edge& e = edges[active[a]];
      if (e.yhi <= yl) {
        active[a] = active.back();
        active.pop_back();
        continue;
      }
      xs.push_back(e.xlo + (yl - e.ylo) * e.slope);
      ++a;
    }
    if (xs.empty()) continue;
    if (static_cast<int>(xs.size()) > kMaxIntersections) {
      warn_number(ctx, kMsgTooManyIntersections, static_cast<long long>(xs.size()));
      return false;
    }
    if (!line_drawn(k - k0 + 1, group, skip)) continue;
    std::sort(xs.begin(), xs.end());
    kept.clear();
    for (size_t i = 0; i < xs.size();) {
      if (i + 1 < xs.size() && xs[i] == xs[i + 1]) {
        i += 2;
        continue;
      }
      kept.push_back(xs[i++]);
    }
    for (size_t i = 0; i + 1 < kept.size(); i += 2) {
      // back to the page: x = c x' + s y', y = c y' - s x'
      qqstrt(ctx, c * kept[i] + s * yl, c * yl - s * kept[i]);
      qqconn(ctx, c * kept[i + 1] + s * yl, c * yl - s * kept[i + 1]);
    }
  }
  return true;
}

}  // namespace

void hatch_polygon(Context& ctx, const double* x, const double* y, int n) {
  const FillState& f = ctx.fill;
  if (n < 3 || f.type == 0) return;
  const double sp = hatch_spacing(ctx);
  // Only the grouped types group: the dashed types 5..7 draw every line.
  const bool grouped = f.type >= 2 && f.type <= 4;
  const int group = grouped ? f.group_size : 0;
  const int skip = std::max(1, f.group_skip);  // a gap of 0 still skips the line that ends a group

  SavedStyle saved{};
  bool restyled = false;
  if (f.type >= 5 && f.type <= 7) {
    const DashStyle& d = kDashed[f.type - 5];
    if (ctx.line.line_type != d.type) {
      qqflsh(ctx);
      save_style(ctx.line, saved);
      set_dash_style(ctx, d);
      restyled = true;
    }
  }
  const int colour = ctx.color.current;
  ctx.dev.hatch_active = 1;
  if (hatch_pass(ctx, x, y, n, f.angle, sp, group, skip) && f.cross)
    hatch_pass(ctx, x, y, n, f.angle < 90 ? f.angle + 90 : 180 - f.angle, sp, group, skip);
  qqflsh(ctx);
  ctx.dev.hatch_active = 0;
  if (restyled) restore_style(ctx.line, saved);
  if (ctx.color.current != colour) qqsclr(ctx, colour);
}

}  // namespace tavero
