// The axes of 3-D axis systems: each axis is a 2-D axis drawn into a plane of the box, on the
// box edges that the view point leaves visible; the box and the grid on its back planes.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "axes/axes.h"
#include "axes/axis_text.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "graph3d/g3d_internal.h"
#include "tavero_api.h"
#include "text/text.h"

namespace tavero {

namespace {

// Per view class (x, y, z each below, within or above the box) and axis: the box corners P1,
// P2, P3 of the plane the axis is drawn in, r = drawn from the end value to the start value,
// f = no first label.
const char* const kAxisTable[27][3] = {
    {"432f", "321r", "437f"},  {"126f", "415r", "437f"},  {"123f", "412r", "437f"},
    {"432f", "321r", "415f"},  {"123f", "415r", "415f"},  {"123f", "412r", "415f"},
    {"214r", "321rf", "326f"}, {"348r", "415rf", "326f"}, {"341r", "412rf", "326f"},
    {"432", "143f", "126f"},   {"126", "234f", "126f"},   {"123", "234f", "126f"},
    {"432", "143f", "126f"},   {"123", "234f", "126f"},   {"123", "234f", "126f"},
    {"214r", "321rf", "348f"}, {"348r", "412rf", "348f"}, {"341r", "412rf", "348f"},
    {"432", "143f", "148f"},   {"126", "237f", "148f"},   {"123", "234f", "148f"},
    {"214rf", "143", "237f"},  {"341rf", "237", "237f"},  {"341rf", "234", "237f"},
    {"214rf", "143", "215f"},  {"348rf", "237", "215f"},  {"341rf", "234", "215f"},
};

// Corner k (1..8) of the box: 1 (-,-,-), 2 (+,-,-), 3 (+,+,-), 4 (-,+,-), 5..8 the same at +z.
void corner(const Graph3dSystem& s, int k, double p[3]) {
  static const int kSign[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                  {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
  for (int i = 0; i < 3; ++i) p[i] = kSign[k - 1][i] * s.box[i] / 2;
}

int view_class(const Graph3dSystem& s, int i) {
  double h = s.box[i] / 2;
  if (s.eye[i] < -h) return 1;
  if (s.eye[i] > h) return 3;
  return 2;
}

inline double scale_to_box(const Graph3dSystem& s, int i, double v) {
  const AxisScale& sc = s.sc[i];
  return (v - sc.a) * s.box[i] / (sc.e - sc.a) - s.box[i] / 2;
}

// Label values org + k step from the first label to the end of the scaling.
void label_values(const AxisScale& sc, std::vector<double>& out) {
  double n = std::floor((sc.e - sc.org) / sc.step + 0.0001);
  if (!(n >= 0) || n > 10000) return;
  for (int k = 0; k <= static_cast<int>(n); ++k) out.push_back(sc.org + k * sc.step);
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

// A text box of w x h placed beyond the projected point A in the direction d, at distance dist.
void text_beyond(Context& ctx, const char* s, int form, int lang, double ax, double ay,
                 double dx, double dy, double dist, double w, int h) {
  double half = std::fabs(dx) * w / 2 + std::fabs(dy) * h / 2.0;
  double cx = ax + dx * (dist + half), cy = ay + dy * (dist + half);
  draw_text_box(ctx, s, form, lang, cx - w / 2, cy - h / 2.0, h, 0);
}

// Labels and name of an axis written horizontally on the page (labl3d "HORI"): positions are
// projected from the plane, the texts are not.
void horizontal_labels(Context& ctx, const AxisGeom& g, int level) {
  const AxisState& as = ctx.axes;
  const AxisParams& p = as.ax[g.axis];
  const AxisScale& sc = *g.sc;
  const double ox = ctx.core.origin_x, oy = ctx.core.origin_y;
  auto project = [&](double s, double t, double& x, double& y) {
    x = g.x0 + g.ux * s + g.ox * t + ox;
    y = g.y0 + g.uy * s + g.oy * t + oy;
    plane_project(ctx, x, y);
    x -= ox;
    y -= oy;
  };
  const int h = text_height(ctx);
  const double tick = p.ticks > 0 && p.ticpos == 0 ? as.ticlen_major : 0;
  double extent = 0;
  if (level >= 3 && p.label != kLabNone) {
    std::vector<double> values;
    label_values(sc, values);
    const int last = static_cast<int>(values.size()) - 1;
    int saved = use_color(ctx, p.clr_label);
    for (int k = 0; k <= last; ++k) {
      if (!label_wanted(p.axends, k, last)) continue;
      double s = (values[k] - sc.a) * sc.f;
      LabelText t;
      label_text(ctx, g.axis, sc, values[k], k, g.ndig, t);
      if (!t.s[0]) continue;
      double w = text_width(ctx, t.s, t.form, t.lang, h);
      double ax, ay, bx, by;
      project(s, 0, ax, ay);
      project(s, 50, bx, by);
      double len = std::hypot(bx - ax, by - ay);
      if (!(len > 1e-9)) continue;
      double dx = (bx - ax) / len, dy = (by - ay) / len;
      text_beyond(ctx, t.s, t.form, t.lang, ax, ay, dx, dy, p.labdis + tick, w, h);
      extent = std::fmax(extent, std::fabs(dx) * w + std::fabs(dy) * h);
    }
    restore_color(ctx, saved);
  }
  if (level >= 4 && p.name[0]) {
    int hn = as.hname;
    double w = text_width(ctx, p.name, -1, 0, hn);
    double mid = (sc.len - 1) / 2.0;
    double ax, ay, bx, by;
    project(mid, 0, ax, ay);
    project(mid, 50, bx, by);
    double len = std::hypot(bx - ax, by - ay);
    if (len > 1e-9) {
      int saved = use_color(ctx, p.clr_name);
      double dist = tick + (extent > 0 ? p.labdis + extent : 0) + p.namdis;
      double dx = (bx - ax) / len, dy = (by - ay) / len;
      if (g.axis == 2) dx = dx < 0 ? -1 : 1, dy = 0;  // beside the vertical axis, level with its middle
      text_beyond(ctx, p.name, -1, 0, ax, ay, dx, dy, dist, w, hn);
      restore_color(ctx, saved);
    }
  }
}

void draw_one_axis(Context& ctx, int i, const char* code, int height, int name_height) {
  Graph3dSystem& s = ctx.g3d.sys;
  AxisState& as = ctx.axes;
  double P[3][3];
  for (int k = 0; k < 3; ++k) corner(s, code[k] - '0', P[k]);
  const bool rev = std::strchr(code + 3, 'r') != nullptr;
  const bool first = std::strchr(code + 3, 'f') != nullptr;
  AxisScale sc = s.sc[i];
  if (rev) {
    double n = std::floor((sc.e - sc.org) / sc.step + 0.0001);
    if (n >= 0 && n < 1e6) sc.org += n * sc.step;
    std::swap(sc.a, sc.e);
    sc.step = -sc.step;
  }
  const double len = i < 2 ? s.area_w : s.area_h;
  sc.len = static_cast<int>(len);
  sc.f = (len - 1) / (sc.e - sc.a);
  sc.start = i < 2 ? s.area_x : s.area_y;
  AxisGeom g;
  g.axis = i;
  g.sc = &sc;
  g.x0 = s.area_x;
  g.y0 = s.area_y;
  if (i < 2) {
    g.ux = 1, g.uy = 0, g.ox = 0, g.oy = 1;
    g.name_angle = 0;
  } else {
    g.ux = 0, g.uy = -1, g.ox = -1, g.oy = 0;
    g.name_angle = 90;
  }
  g.ndig = as.ax[i].digits;
  AxisParams& p = as.ax[i];
  const uint8_t saved_ends = p.axends, saved_typ = p.labtyp;
  if (!ctx.g3d.p.flab) p.axends = first ? 1 : 0;
  const int mode = ctx.g3d.p.label_mode;
  if (mode == 3 || (mode == 2 && i == 2)) p.labtyp = 1;
  plane_on(ctx, P[0], P[1], P[2]);
  if (mode == 1) {
    g.level = 2;
    draw_axis(ctx, g);
    plane_off(ctx);
    // texts flat on the page keep their own heights
    int& th = ctx.text.height;
    int& hn = ctx.axes.hname;
    const int plane_h = th, plane_hn = hn;
    th = height, hn = name_height;
    horizontal_labels(ctx, g, 4);  // the plane's corners are still known after plane_off
    th = plane_h, hn = plane_hn;
  } else {
    g.level = 4;
    draw_axis(ctx, g);
    plane_off(ctx);
  }
  p.axends = saved_ends;
  p.labtyp = saved_typ;
}

}  // namespace

void draw_3d_axes(Context& ctx) {
  Graph3dSystem& s = ctx.g3d.sys;
  int row = 9 * (view_class(s, 0) - 1) + 3 * (view_class(s, 1) - 1) + view_class(s, 2);
  // names and labels grow with the foreshortening of the planes
  int& th = ctx.text.height;
  int& hn = ctx.axes.hname;
  const int saved_h = th, saved_hn = hn;
  th = static_cast<int>(th * 1.5);
  hn = static_cast<int>(hn * 1.5);
  for (int i = 0; i < 3; ++i) draw_one_axis(ctx, i, kAxisTable[row - 1][i], saved_h, saved_hn);
  th = saved_h;
  hn = saved_hn;
  qqflsh(ctx);
}

void box3d() {
  Context* ctx = enter(R::box3d);
  if (!ctx || !require_3d(*ctx)) return;
  const Graph3dSystem& s = ctx->g3d.sys;
  static const int kEdges[12][2] = {{1, 2}, {2, 3}, {3, 4}, {4, 1}, {5, 6}, {6, 7},
                                    {7, 8}, {8, 5}, {1, 5}, {2, 6}, {3, 7}, {4, 8}};
  for (const auto& e : kEdges) {
    double a[3], b[3];
    corner(s, e[0], a);
    corner(s, e[1], b);
    Proj pa = project_box(*ctx, a), pb = project_box(*ctx, b);
    if (!pa.ok || !pb.ok) continue;
    qqstrt(*ctx, pa.x, pa.y);
    qqconn(*ctx, pb.x, pb.y);
  }
  qqflsh(*ctx);
}

void grid3d(int igrid, int jgrid, const char* copt) {
  Context* ctx = enter(R::grid3d);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "ALL +BACK+BOTT", 3, copt);
  if (!k || !require_3d(*ctx)) return;
  if (check_range(*ctx, igrid, 0, -1) + check_range(*ctx, jgrid, 0, -1) != 0) return;
  const Graph3dSystem& s = ctx->g3d.sys;
  // the walls away from the view point
  double wall[3];
  for (int i = 0; i < 3; ++i) wall[i] = (s.eye[i] >= 0 ? -1 : 1) * s.box[i] / 2;
  if (s.eye[2] > -s.box[2] / 2) wall[2] = -s.box[2] / 2;
  // grid positions of axis i (box coordinates) with n lines per label step
  auto positions = [&](int i, int n) {
    std::vector<double> out;
    if (n <= 0) return out;
    const AxisScale& sc = s.sc[i];
    double sp = sc.step / n;
    double lo = std::fmin(sc.a, sc.e), hi = std::fmax(sc.a, sc.e), tol = 1e-7 * (hi - lo);
    double j1 = std::ceil((lo - tol - sc.org) / sp), j2 = std::floor((hi + tol - sc.org) / sp);
    if (j1 > j2) std::swap(j1, j2);
    if (!(j2 - j1 < 10000)) return out;
    for (double j = j1; j <= j2; ++j) out.push_back(scale_to_box(s, i, sc.org + j * sp));
    return out;
  };
  // lines across the plane where coordinate `fixed` is `at`, for each position of axis `a`
  // (the lines run along axis `b`)
  auto lines = [&](int fixed, double at, int a, int b, int n) {
    for (double v : positions(a, n)) {
      double p1[3], p2[3];
      p1[fixed] = p2[fixed] = at;
      p1[a] = p2[a] = v;
      p1[b] = -s.box[b] / 2;
      p2[b] = s.box[b] / 2;
      Proj q1 = project_box(*ctx, p1), q2 = project_box(*ctx, p2);
      if (!q1.ok || !q2.ok) continue;
      qqstrt(*ctx, q1.x, q1.y);
      qqconn(*ctx, q2.x, q2.y);
    }
  };
  if (k == 1 || k == 2) {
    lines(0, wall[0], 1, 2, igrid);   // wall of constant x: y positions, z positions
    lines(0, wall[0], 2, 1, jgrid);
    lines(1, wall[1], 0, 2, igrid);   // wall of constant y
    lines(1, wall[1], 2, 0, jgrid);
  }
  if (k == 1 || k == 3) {
    lines(2, wall[2], 0, 1, igrid);
    lines(2, wall[2], 1, 0, jgrid);
  }
  qqflsh(*ctx);
}

}  // namespace tavero
