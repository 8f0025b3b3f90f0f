// The look of the map axis system: rectangular maps get four labelled sides like graf, the
// other families an outline (the projected limits, or the circle of azimuthal maps) with the
// meridians and parallels labelled round it.
#include "maps/map_axes.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "axes/axes.h"
#include "axes/axis_text.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "maps/maps.h"
#include "text/text.h"

namespace tavero {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMaxMarks = 5000;

bool is_map_label(int t) {
  return t == kLabMap || t == kLabDMap || t == kLabLMap || t == kLabMapN || t == kLabNone;
}

// Numeric label types make no sense on a map: they are shown as degrees while the map is
// drawn, and the caller's choice is given back afterwards.
class MapLabelScope {
 public:
  explicit MapLabelScope(Context& ctx) : ctx_(ctx) {
    for (int i = 0; i < 2; ++i) {
      saved_[i] = ctx.axes.ax[i].label;
      if (!is_map_label(saved_[i])) ctx.axes.ax[i].label = kLabMap;
    }
  }
  ~MapLabelScope() {
    for (int i = 0; i < 2; ++i) ctx_.axes.ax[i].label = saved_[i];
  }
  MapLabelScope(const MapLabelScope&) = delete;
  MapLabelScope& operator=(const MapLabelScope&) = delete;

 private:
  Context& ctx_;
  int saved_[2];
};


void fill_solid(Context& ctx, const double* x, const double* y, int n, int colour) {
  FillState saved = ctx.fill;
  int saved_colour = use_color(ctx, colour);
  set_fill_pattern(ctx, 16);
  qqfpol(ctx, x, y, n);
  ctx.fill = saved;
  restore_color(ctx, saved_colour);
}

// Draws a label centred on (cx, cy) at `angle` degrees, with an optional box behind it.
void label_centred(Context& ctx, const LabelText& t, double cx, double cy, int h, double angle,
                   int bg) {
  double w = text_width(ctx, t.s, t.form, t.lang, h);
  double a = angle * kPi / 180, ux = std::cos(a), uy = -std::sin(a), vx = std::sin(a),
         vy = std::cos(a);
  double x = cx - ux * w / 2 - vx * h / 2.0, y = cy - uy * w / 2 - vy * h / 2.0;
  if (bg >= 0) {
    double m = h * 0.15;
    double px[4], py[4];
    double cw[4] = {-m, w + m, w + m, -m}, ch[4] = {-m, -m, h + m, h + m};
    for (int i = 0; i < 4; ++i) {
      px[i] = x + ux * cw[i] + vx * ch[i];
      py[i] = y + uy * cw[i] + vy * ch[i];
    }
    fill_solid(ctx, px, py, 4, bg);
  }
  if (angle == 0 || angle == 90 || angle == 270) {
    double bx = std::min({x, x + ux * w, x + vx * h, x + ux * w + vx * h});
    double by = std::min({y, y + uy * w, y + vy * h, y + uy * w + vy * h});
    draw_text_box(ctx, t.s, t.form, t.lang, bx, by, h, static_cast<int>(angle));
  } else if (t.form < 0) {
    text_draw_at(ctx, t.s, x, y, h, angle);
  } else {
    NumberTextScope scope(ctx, static_cast<NumForm>(t.form));
    text_draw_at(ctx, t.s, x, y, h, angle);
  }
}

// Half the extent of a w x h label at `angle` in direction (ox, oy).
double half_extent(double w, double h, double angle, double ox, double oy) {
  double a = angle * kPi / 180;
  double ux = std::cos(a), uy = -std::sin(a), vx = std::sin(a), vy = std::cos(a);
  return std::fabs(ox * ux + oy * uy) * w / 2 + std::fabs(ox * vx + oy * vy) * h / 2;
}

bool label_wanted(int axends, int k, int last) {
  switch (axends) {
    case 1: return k >= 1;
    case 2: return k <= last - 1;
    case 3: return k >= 1 && k <= last - 1;
    case 4: return k == 0 || k == last;
    case 5: return k == 0;
    case 6: return k == last;
    default: return true;
  }
}

// Tick values of one axis from its label step and tick count: (value, label index or -1).
void axis_values(const Context& ctx, int axis, double lo, double hi,
                 std::vector<std::pair<double, int>>& out) {
  const AxisScale& sc = ctx.axes.sc[axis];
  int nt = std::max(1, ctx.axes.ax[axis].ticks);
  double sp = sc.step / nt;
  if (!(sp > 0) || !std::isfinite(sp)) return;
  double tol = 1e-7 * (hi - lo);
  double j1 = std::ceil((lo - tol - sc.org) / sp), j2 = std::floor((hi + tol - sc.org) / sp);
  if (!(j2 - j1 < kMaxMarks) || !(std::fabs(j1) < 1e9)) return;
  for (double j = j1; j <= j2; ++j) {
    long long jj = static_cast<long long>(j);
    bool major = jj % nt == 0;
    int k = major && jj >= 0 ? static_cast<int>(jj / nt) : -1;
    if (ctx.axes.ax[axis].ticks == 0 && !major) continue;
    out.push_back({sc.org + j * sp, k});
  }
}

bool plot_of(Context& ctx, double lon, double lat, double& x, double& y) {
  return map_user_to_plot(ctx, lon, lat, x, y);
}

// The outline of the projected limits, counter-clockwise on the map.
void outline_points(Context& ctx, std::vector<double>& xs, std::vector<double>& ys) {
  const MapSystem& m = ctx.maps.sys;
  if (proj_azimuthal(m.code)) {
    int n = std::clamp(static_cast<int>(2 * kPi * m.radius / 4), 36, 2000);
    for (int i = 0; i < n; ++i) {
      double t = 2 * kPi * i / n;
      xs.push_back(m.cx + m.radius * std::cos(t));
      ys.push_back(m.cy - m.radius * std::sin(t));
    }
    return;
  }
  const int n = 360;
  auto add = [&](double lon, double lat) {
    double x, y;
    if (plot_of(ctx, lon, lat, x, y)) {
      xs.push_back(x);
      ys.push_back(y);
    }
  };
  for (int i = 0; i < n; ++i) add(m.xa + (m.xe - m.xa) * i / n, m.ya);
  for (int i = 0; i < n; ++i) add(m.xe, m.ya + (m.ye - m.ya) * i / n);
  for (int i = 0; i < n; ++i) add(m.xe - (m.xe - m.xa) * i / n, m.ye);
  for (int i = 0; i < n; ++i) add(m.xa, m.ye - (m.ye - m.ya) * i / n);
}

void draw_outline(Context& ctx, const std::vector<double>& xs, const std::vector<double>& ys,
                  int thickness) {
  if (xs.size() < 2 || thickness == 0) return;
  const MapSystem& m = ctx.maps.sys;
  double cx = (m.bx1 + m.bx2) / 2, cy = (m.by1 + m.by2) / 2;
  double size = std::max(1.0, std::max(m.bx2 - m.bx1, m.by2 - m.by1) / 2);
  SolidLineScope solid(ctx);
  int count = std::abs(thickness);
  for (int i = 0; i < count; ++i) {
    // thicker outlines are drawn as copies grown by one plot unit each (shrunk when negative)
    double f = 1 + (thickness > 0 ? i : -i) / size;
    qqstrt(ctx, cx + (xs[0] - cx) * f, cy + (ys[0] - cy) * f);
    for (size_t j = 1; j < xs.size(); ++j) qqconn(ctx, cx + (xs[j] - cx) * f, cy + (ys[j] - cy) * f);
    qqconn(ctx, cx + (xs[0] - cx) * f, cy + (ys[0] - cy) * f);
  }
}

// Sides of a rectangular map: longitudes below and above, latitudes left and right.
void rectangular_sides(Context& ctx) {
  const MapSystem& m = ctx.maps.sys;
  AxisState& as = ctx.axes;
  std::vector<std::pair<double, int>> lons, lats;
  axis_values(ctx, 0, m.xa, m.xe, lons);
  axis_values(ctx, 1, m.ya, m.ye, lats);
  double latm = (m.ya + m.ye) / 2, lonm = (m.xa + m.xe) / 2;
  for (int side = 0; side < 4; ++side) {
    int level = as.setgrf[side];
    if (as.ax2grf && side >= 2) level = 0;
    if (level <= 0) continue;
    MapEdge e;
    e.level = level;
    e.line = true;
    std::vector<MapMark> marks;
    if (side == 0 || side == 2) {
      double y = side == 0 ? m.by2 : m.by1;
      e.axis = 0;
      e.ox = 0;
      e.oy = side == 0 ? 1 : -1;
      e.x1 = m.bx1, e.y1 = y, e.x2 = m.bx2, e.y2 = y;
      for (auto& [v, k] : lons) {
        double x, yy;
        if (plot_of(ctx, v, latm, x, yy)) marks.push_back({x, y, v, k, k >= 0});
      }
    } else {
      double x = side == 1 ? m.bx1 : m.bx2;
      e.axis = 1;
      e.ox = side == 1 ? -1 : 1;
      e.oy = 0;
      e.x1 = x, e.y1 = m.by2, e.x2 = x, e.y2 = m.by1;
      e.name_angle = side == 1 || as.rvynam ? 90 : 270;
      for (auto& [v, k] : lats) {
        double xx, y;
        if (plot_of(ctx, lonm, v, xx, y)) marks.push_back({x, y, v, k, k >= 0});
      }
    }
    draw_map_edge(ctx, e, marks.data(), static_cast<int>(marks.size()));
  }
}

// Labels round the outline of pseudo-cylindrical and conic maps.
void outline_labels(Context& ctx) {
  const MapSystem& m = ctx.maps.sys;
  const MapState& ms = ctx.maps;
  AxisState& as = ctx.axes;
  std::vector<std::pair<double, int>> lons, lats;
  axis_values(ctx, 0, m.xa, m.xe, lons);
  axis_values(ctx, 1, m.ya, m.ye, lats);
  // A parallel that the projection shrinks to a point cannot carry the longitudes: they go
  // below (above) the map at the meridians' places on the parallel nearest the equator.
  auto edge_row = [&](bool bottom) {
    double lat = bottom ? m.ya : m.ye, xa, ya, xb, yb;
    bool ok = plot_of(ctx, m.xa, lat, xa, ya) && plot_of(ctx, m.xe, lat, xb, yb);
    bool degenerate = !ok || std::hypot(xb - xa, yb - ya) < 0.1 * (m.bx2 - m.bx1);
    MapEdge e;
    e.axis = 0;
    e.oy = bottom ? 1 : -1;
    e.level = std::min(3, static_cast<int>(as.setgrf[0]));
    e.outline_style = true;
    std::vector<MapMark> marks;
    double ref = std::clamp(0.0, m.ya, m.ye);
    for (auto& [v, k] : lons) {
      if (k < 0) continue;
      double x, y;
      if (degenerate) {
        if (!plot_of(ctx, v, ref, x, y)) continue;
        y = bottom ? m.by2 : m.by1;
      } else if (!plot_of(ctx, v, lat, x, y)) {
        continue;
      }
      marks.push_back({x, y, v, k, true});
    }
    draw_map_edge(ctx, e, marks.data(), static_cast<int>(marks.size()));
  };
  if (ms.lon_labels == 1 || ms.lon_labels == 3) edge_row(true);
  if (ms.lon_labels == 2 || ms.lon_labels == 3) edge_row(false);
  auto side_row = [&](bool left) {
    MapEdge e;
    e.axis = 1;
    e.ox = left ? -1 : 1;
    e.oy = 0;
    e.level = std::min(3, static_cast<int>(as.setgrf[1]));
    e.outline_style = true;
    std::vector<MapMark> marks;
    double lon = left ? m.xa : m.xe;
    for (auto& [v, k] : lats) {
      if (k < 0) continue;
      double x, y, x2, y2;
      if (!plot_of(ctx, lon, v, x, y)) continue;
      // where the side meridian meets the opposite one (a pole) the label would stand twice
      if (plot_of(ctx, left ? m.xe : m.xa, v, x2, y2) && std::hypot(x2 - x, y2 - y) < 1) continue;
      marks.push_back({x, y, v, k, true});
    }
    draw_map_edge(ctx, e, marks.data(), static_cast<int>(marks.size()));
  };
  if (ms.lat_labels == 1 || ms.lat_labels == 3) side_row(true);
  if (ms.lat_labels == 2 || ms.lat_labels == 3) side_row(false);
}

// Longitudes round the circle of a polar azimuthal map, latitudes along its lower radius.
void polar_labels(Context& ctx) {
  const MapSystem& m = ctx.maps.sys;
  const MapState& ms = ctx.maps;
  if (std::fabs(m.lat0) < 90) return;
  std::vector<std::pair<double, int>> lons, lats;
  axis_values(ctx, 0, m.xa, m.xe, lons);
  axis_values(ctx, 1, m.ya, m.ye, lats);
  bool full_turn = m.xe - m.xa >= 360 - 1e-9;
  if (ms.lon_labels != 0 && ctx.axes.setgrf[0] >= 3) {
    std::vector<MapMark> marks;
    for (auto& [v, k] : lons) {
      if (k < 0) continue;
      if (full_turn && v >= m.xa + 360 - 1e-9) continue;  // the same meridian as the first
      double x, y;
      if (!plot_of(ctx, v, 0.0, x, y)) continue;  // the meridian's direction at the equator
      double dx = x - m.cx, dy = y - m.cy, d = std::hypot(dx, dy);
      if (d < 1e-9) continue;
      double ox = dx / d, oy = dy / d;
      MapEdge e;
      e.axis = 0;
      e.ox = ox;
      e.oy = oy;
      e.level = 3;
      e.outline_style = true;
      MapMark mk{m.cx + ox * m.radius, m.cy + oy * m.radius, v, k, true};
      draw_map_edge(ctx, e, &mk, 1);
    }
  }
  if (ms.lat_labels != 0 && ctx.axes.setgrf[1] >= 3) {
    std::vector<MapMark> marks;
    for (auto& [v, k] : lats) {
      if (k < 0 || std::fabs(v) >= 90 - 1e-9) continue;
      double x, y;
      if (!plot_of(ctx, m.lon0, v, x, y)) continue;
      if (std::hypot(x - m.cx, y - m.cy) > m.radius * 0.97) continue;
      marks.push_back({x, y, v, k, true});
    }
    MapEdge e;
    e.axis = 1;
    e.ox = 1;
    e.oy = 0;
    e.level = 3;
    e.outline_style = true;
    draw_map_edge(ctx, e, marks.data(), static_cast<int>(marks.size()));
  }
}

}  // namespace

// ------------------------------------------------------------------------------------------
// One labelled edge

void draw_map_edge(Context& ctx, const MapEdge& e, const MapMark* marks, int n) {
  if (e.level <= 0) return;
  AxisState& as = ctx.axes;
  const AxisParams& p = as.ax[e.axis];
  const MapState& ms = ctx.maps;
  MapLabelScope labels(ctx);
  SolidLineScope solid(ctx);
  if (e.line && !p.noline) {
    int saved = use_color(ctx, p.clr_line);
    qqstrt(ctx, e.x1, e.y1);
    qqconn(ctx, e.x2, e.y2);
    restore_color(ctx, saved);
  }
  const int maj = as.ticlen_major, mnr = as.ticlen_minor;
  bool ticks = e.level >= 2 && p.ticks > 0 && n > 0;
  if (ticks) {
    int saved = use_color(ctx, p.clr_tick);
    for (int i = 0; i < n; ++i) {
      double l = marks[i].major ? maj : mnr;
      double t1 = 0, t2 = l;
      if (p.ticpos == 1) t1 = -l, t2 = 0;
      else if (p.ticpos == 2) t1 = -l / 2, t2 = l / 2;
      qqstrt(ctx, marks[i].x + e.ox * t1, marks[i].y + e.oy * t1);
      qqconn(ctx, marks[i].x + e.ox * t2, marks[i].y + e.oy * t2);
    }
    restore_color(ctx, saved);
  }
  const double tick_part = !ticks ? 0 : p.ticpos == 0 ? maj : p.ticpos == 2 ? maj / 2.0 : 0;
  double max_across = 0;
  bool any_label = false;
  if (e.level >= 3 && p.label != kLabNone) {
    int h = e.outline_style && ms.label_size > 0 ? ms.label_size : text_height(ctx);
    double angle = e.outline_style ? ms.label_angle : (p.labtyp == 1 ? 90 : 0);
    int bg = e.outline_style ? ms.label_bg : -1;
    int fg = e.outline_style ? ms.label_fg : p.clr_label;
    int last = -1;
    for (int i = 0; i < n; ++i) last = std::max(last, marks[i].k);
    const AxisScale& sc = as.sc[e.axis];
    AxisScale plain = sc;
    plain.log = 0;
    int saved = use_color(ctx, fg);
    for (int i = 0; i < n; ++i) {
      const MapMark& mk = marks[i];
      if (mk.k < 0 || !label_wanted(p.axends, mk.k, last)) continue;
      LabelText t;
      // degrees read best without needless decimals: the default of one decimal shows as
      // many as the labels need
      label_text(ctx, e.axis, plain, mk.v, mk.k, p.digits == 1 ? -2 : p.digits, t);
      if (!t.s[0]) continue;
      double w = text_width(ctx, t.s, t.form, t.lang, h);
      double he = half_extent(w, h, angle, e.ox, e.oy);
      max_across = std::max(max_across, 2 * he);
      double d = p.labdis + tick_part + he;
      label_centred(ctx, t, mk.x + e.ox * d, mk.y + e.oy * d, h, angle, bg);
      any_label = true;
    }
    restore_color(ctx, saved);
  }
  const char* name = e.name ? e.name : p.name;
  if (e.level >= 4 && e.line && name && name[0]) {
    int hn = as.hname;
    LabelText t;
    int len = 0;
    while (name[len] && len < static_cast<int>(sizeof t.s) - 1) t.s[len] = name[len], ++len;
    t.s[len] = 0;
    double w = text_width(ctx, t.s, -1, 0, hn);
    double he = half_extent(w, hn, e.name_angle, e.ox, e.oy);
    double d = p.namdis + tick_part + (any_label ? p.labdis + max_across : 0) + he;
    double mx = (e.x1 + e.x2) / 2, my = (e.y1 + e.y2) / 2;
    if (p.namjus == 1 || p.namjus == 2) {
      double ux = e.x2 - e.x1, uy = e.y2 - e.y1, l = std::hypot(ux, uy);
      if (l > 0) {
        double along = half_extent(w, hn, e.name_angle, ux / l, uy / l);
        double s = p.namjus == 1 ? along : l - along;
        mx = e.x1 + ux / l * s;
        my = e.y1 + uy / l * s;
      }
    }
    int saved = use_color(ctx, p.clr_name);
    label_centred(ctx, t, mx + e.ox * d, my + e.oy * d, hn, e.name_angle, -1);
    restore_color(ctx, saved);
  }
}

// ------------------------------------------------------------------------------------------
// The whole system

void draw_map_axis_system(Context& ctx) {
  const MapSystem& m = ctx.maps.sys;
  AxisState& as = ctx.axes;
  const bool rect = proj_cylindrical(m.code) || m.code == kProjUser;
  std::vector<double> xs, ys;
  if (rect) {
    if (as.background != -1 && !as.nofill) qqfrec(ctx, m.bx1, m.by1, m.bx2, m.by2, as.background);
  } else {
    outline_points(ctx, xs, ys);
    if (as.background != -1 && !as.nofill && xs.size() >= 3)
      fill_solid(ctx, xs.data(), ys.data(), static_cast<int>(xs.size()), as.background);
  }
  // the transverse and oblique aspects have no meridian or parallel along their frame
  if (rect && m.code != kProjUtm && m.code != kProjObli && m.code != kProjUser)
    rectangular_sides(ctx);
  int saved = use_color(ctx, as.frame_color);
  if (rect) {
    if (as.frame != 0) {
      SolidLineScope solid(ctx);
      draw_frame(ctx, m.bx1, m.by1, m.bx2 - m.bx1 + 1, m.by2 - m.by1 + 1, as.frame);
    }
  } else {
    draw_outline(ctx, xs, ys, as.frame);
  }
  restore_color(ctx, saved);
  if (!ctx.maps.outline_labels || rect) return;
  if (proj_azimuthal(m.code)) polar_labels(ctx);
  else outline_labels(ctx);
  qqflsh(ctx);
}

}  // namespace tavero
