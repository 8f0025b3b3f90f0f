// Pie charts: piegrf (2-D and 3-D) with its invisible axis system, sector colours and
// patterns, offsets, labels with connecting lines, the sector hook, and the pie parameters.
//
// Geometry: the first sector starts at the pierot angle (degrees, counter-clockwise from the
// positive x direction as seen on the page) and the sectors follow counter-clockwise. A 3-D
// pie is seen from the view angle above its plane: its top is an ellipse of half axes r and
// r sin(view), its rim (visible on the front half) is thickness factor x r x cos(view) high.
// With pieexp, sectors of negative values are pulled out by a tenth of the radius; the
// pieval GAP opens a gap of that many plot units between neighbouring sectors.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "axes/axes.h"
#include "charts/charts.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "core/strutil.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "tavero_api.h"
#include "text/text.h"

namespace tavero {

namespace {

constexpr double kDeg = M_PI / 180.0;

struct Sector {
  double value = 0, percent = 0;
  double a0 = 0, sweep = 0;     // degrees
  double radius = 0, offset = 0;
  double label_angle = 0;       // degrees
  double shift_x = 0, shift_y = 0;
  bool draw = true, label = true;
  int colour = 0, pattern = 16, edge = -1;
};

struct Pie {
  double cx = 0, cy = 0, ratio = 1, thick = 0;
  // plot point at angle t (degrees) and distance r from the centre, lowered by dz
  void at(double t, double r, double dz, double& x, double& y) const {
    x = cx + r * std::cos(t * kDeg);
    y = cy - r * ratio * std::sin(t * kDeg) + dz;
  }
};

// Points of the arc of sector s at distance r (a full disc leaves out the closing point).
void arc(const Pie& pie, const Sector& s, double dz, std::vector<double>& x,
         std::vector<double>& y, double t0, double sweep) {
  const int n = std::max(2, static_cast<int>(std::ceil(sweep / 2.0)) + 1);
  const double ox = s.offset * std::cos((s.a0 + s.sweep / 2) * kDeg);
  const double oy = -s.offset * pie.ratio * std::sin((s.a0 + s.sweep / 2) * kDeg);
  for (int i = 0; i < n; ++i) {
    double px, py;
    pie.at(t0 + sweep * i / (n - 1), s.radius, dz, px, py);
    x.push_back(px + ox);
    y.push_back(py + oy);
  }
}

void sector_face(Context& ctx, const Sector& s, const std::vector<double>& x,
                 const std::vector<double>& y) {
  const int n = static_cast<int>(x.size());
  const int saved = ctx.color.current;
  if (s.colour != saved) qqsclr(ctx, s.colour);
  fill_with(ctx, x.data(), y.data(), n, s.pattern);
  const int edge = s.edge != -1 ? s.edge : saved;
  if (edge != ctx.color.current) qqsclr(ctx, edge);
  std::vector<double> ox(x), oy(y);
  ox.push_back(x[0]);
  oy.push_back(y[0]);
  solid_polyline(ctx, ox.data(), oy.data(), n + 1);
  if (ctx.color.current != saved) qqsclr(ctx, saved);
}

void draw_top(Context& ctx, const Pie& pie, const Sector& s) {
  std::vector<double> x, y;
  const bool full = s.sweep >= 359.999;
  if (!full) {
    double px, py;
    pie.at(0, 0, 0, px, py);
    x.push_back(px + s.offset * std::cos((s.a0 + s.sweep / 2) * kDeg));
    y.push_back(py - s.offset * pie.ratio * std::sin((s.a0 + s.sweep / 2) * kDeg));
  }
  arc(pie, s, 0, x, y, s.a0, full ? 360 : s.sweep);
  if (full) {
    x.pop_back();
    y.pop_back();
  }
  sector_face(ctx, s, x, y);
}

// The rim of a 3-D sector where it faces the viewer (angles 180..360).
void draw_rim(Context& ctx, const Pie& pie, const Sector& s) {
  double lo = s.a0, hi = s.a0 + std::min(s.sweep, 360.0);
  for (double base = -360; base <= 360; base += 360) {
    const double f0 = std::max(lo, base + 180), f1 = std::min(hi, base + 360);
    if (f1 - f0 < 1e-6) continue;
    std::vector<double> x, y, bx, by;
    arc(pie, s, 0, x, y, f0, f1 - f0);
    arc(pie, s, pie.thick, bx, by, f0, f1 - f0);
    x.insert(x.end(), bx.rbegin(), bx.rend());
    y.insert(y.end(), by.rbegin(), by.rend());
    sector_face(ctx, s, x, y);
  }
}

// The label of sector s: its text line, data and percentage rows, and the connecting line.
void draw_sector_label(Context& ctx, const Pie& pie, const Sector& s,
                       const std::vector<std::string>& rows) {
  if (rows.empty()) return;
  const ChartState& c = ctx.charts;
  const double h = text_height(ctx), L = ctx.text.line_spacing;
  double bw = 0;
  for (const std::string& r : rows) bw = std::max(bw, label_length(ctx, r.c_str()));
  const double bh = h + (rows.size() - 1) * h * L;
  const double m = s.label_angle * kDeg, cm = std::cos(m), sm = std::sin(m);
  double rx, ry;
  pie.at(s.label_angle, s.radius, sm < 0 ? pie.thick : 0, rx, ry);
  const double mid = (s.a0 + s.sweep / 2) * kDeg;
  if (s.sweep < 359.999) {
    rx += s.offset * std::cos(mid);
    ry -= s.offset * pie.ratio * std::sin(mid);
  }
  const double d = c.pie_dist;
  const double bcx = rx + cm * (d + bw / 2) + s.shift_x, bcy = ry - sm * (d + bh / 2) + s.shift_y;
  const int saved = ctx.color.current;
  if (d > 0 && c.pie_connect != 2) {
    // the line ends at the side of the label box that faces the pie
    double ex = bcx - cm * bw / 2, ey = bcy + sm * bh / 2;
    double lx[3] = {rx, 0, ex}, ly[3] = {ry, 0, ey};
    if (c.pie_connect == 0) {
      lx[1] = rx + cm * d / 2;
      ly[1] = ey;
      solid_polyline(ctx, lx, ly, 3);
    } else {
      lx[1] = ex;
      ly[1] = ey;
      solid_polyline(ctx, lx, ly, 2);
    }
  }
  const int lc = ctx.axes.pie_label_color;
  if (lc != -1 && lc != saved) qqsclr(ctx, lc);
  for (size_t j = 0; j < rows.size(); ++j) {
    const double w = label_length(ctx, rows[j].c_str());
    draw_label(ctx, rows[j].c_str(), bcx - w / 2, bcy - bh / 2 + j * h * L);
  }
  if (ctx.color.current != saved) qqsclr(ctx, saved);
}

// Sets up the invisible axis system 0..1 x 0..1 of the pie and moves to level 2.
void pie_axis_system(Context& ctx) {
  AxisState& a = ctx.axes;
  int px = a.pos_x, py = a.pos_y;
  if (a.center) {
    px = (ctx.core.page_w + 1 - a.len[0]) / 2;
    py = (ctx.core.page_h + 1 - a.len[1]) / 2 + a.len[1] - 1;
  }
  store_scale(ctx, 0, 0, 1, 0, 1, a.len[0], px, false, 0, 0);
  store_scale(ctx, 1, 0, 1, 0, 1, a.len[1], py, false, 0, 0);
  a.sc[0].log = a.sc[1].log = 0;
  a.sc[0].ulo = a.sc[1].ulo = 0;
  a.sc[0].uhi = a.sc[1].uhi = 1;
  a.kind = kKindGraf;
  a.convert = nullptr;
  a.invert = nullptr;
  a.crossed = 0;
  const AxisScale& sx = a.sc[0];
  const AxisScale& sy = a.sc[1];
  set_axis_clip(ctx, sx.start, sy.start - sy.len + 1, sx.start + sx.len - 1, sy.start,
                sx.start + (sx.len - 1) / 2.0, sy.start - (sy.len - 1) / 2.0,
                std::min(sx.len, sy.len) / 2.0, false);
  ctx.core.level = 2;
}

inline bool fills_nothing(int pattern) { return pattern_code(pattern) / 100 % 10 == 0; }

void draw_pie(Context& ctx, const char* cbuf, int nlin, const double* xray, int n) {
  ChartState& c = ctx.charts;
  const AxisState& as = ctx.axes;
  double sum = 0;
  bool any_negative = false;
  for (int i = 0; i < n; ++i) {
    if (std::isfinite(xray[i])) sum += std::fabs(xray[i]);
    any_negative = any_negative || xray[i] < 0;
  }
  if (!(sum > ctx.core.tolerance) || !std::isfinite(sum)) {
    warn_code(ctx, 29);
    return;
  }
  pie_axis_system(ctx);
  const AxisScale& sx = as.sc[0];
  const AxisScale& sy = as.sc[1];
  const double h = text_height(ctx);
  const bool labelled = as.pie_label != 0 || nlin > 0;
  double r = std::min(sx.len, sy.len) / 2.0;
  if (labelled) r -= c.pie_dist + 3 * h;
  const bool explode = c.pie_explode && any_negative;
  if (explode) r /= 1.1;
  r = std::max(r, std::min(sx.len, sy.len) / 8.0);
  Pie pie;
  pie.cx = sx.start + (sx.len - 1) / 2.0;
  pie.cy = sy.start - (sy.len - 1) / 2.0;
  if (c.pie_3d) {
    pie.ratio = std::sin(c.pie_view * kDeg);
    pie.thick = c.pie_thick * r * std::cos(c.pie_view * kDeg);
    pie.cy -= pie.thick / 2;
  }
  const int current = ctx.color.current;
  std::vector<Sector> sectors(n);
  double angle = c.pie_rotation;
  for (int i = 0; i < n; ++i) {
    Sector& s = sectors[i];
    const double v = std::isfinite(xray[i]) ? xray[i] : 0;
    s.value = v;
    s.percent = 100 * std::fabs(v) / sum;
    s.a0 = angle;
    s.sweep = 360 * std::fabs(v) / sum;
    angle += s.sweep;
    s.radius = r;
    if (s.sweep < 359.999) {
      const double half = std::sin(std::min(s.sweep / 2, 90.0) * kDeg);
      if (c.pie_gap > 0) s.offset = std::min(c.pie_gap / 2 / std::max(half, 0.05), r / 2);
      if (explode && v < 0) s.offset += 0.1 * r;
    }
    s.label_angle = s.a0 + s.sweep / 2;
    const int slot = cycle_slot(i + 1) - 1;
    const bool own = i < c.npie_colors;
    s.colour = (c.pie_change & 1) ? ctx.color.cycle[slot]
               : own && c.pie_fill[i] != -1 ? c.pie_fill[i] : current;
    s.pattern = (c.pie_change & 2) ? ctx.fill.cycle[slot] : ctx.fill.pattern;
    // an empty pattern would leave the sector blank: sectors are filled solid then
    if (fills_nothing(s.pattern)) s.pattern = 16;
    s.edge = own && c.pie_edge[i] != -1 ? c.pie_edge[i] : c.pie_border;
    if (c.pie_hook) {
      int nrad = static_cast<int>(std::lround(s.radius)), noff = static_cast<int>(std::lround(s.offset));
      double ang = s.label_angle;
      int nvx = 0, nvy = 0, idrw = 1, iann = 1;
      c.pie_hook(i + 1, v, s.percent, &nrad, &noff, &ang, &nvx, &nvy, &idrw, &iann);
      s.radius = std::max(0, nrad);
      s.offset = noff;
      s.label_angle = std::isfinite(ang) ? ang : s.label_angle;
      s.shift_x = nvx;
      s.shift_y = nvy;
      s.draw = idrw != 0;
      s.label = iann != 0;
    }
    LegendRecord rec = attributes_in_force(ctx, false, false);
    rec.color = s.colour;
    rec.pattern = s.pattern;
    store_legend_record(ctx, i + 1, rec);
  }
  // the sectors are the legend entries 1..n of this chart
  c.highest_record = std::min(n, kLegendRecords);
  c.curve_number = n + 1;
  c.record_next = 1;
  c.cycle_counter = 1;
  if (c.pie_3d)
    for (const Sector& s : sectors)
      if (s.draw) draw_rim(ctx, pie, s);
  for (const Sector& s : sectors)
    if (s.draw) draw_top(ctx, pie, s);
  for (int i = 0; i < n; ++i) {
    const Sector& s = sectors[i];
    if (!s.label) continue;
    std::vector<std::string> rows;
    if (i < nlin) {
      const int len = c.legend.nmaxln;
      std::string t(cbuf + static_cast<size_t>(i) * len, len);
      t.erase(t.find_last_not_of(' ') + 1);
      if (!t.empty()) rows.push_back(t);
    }
    char num[64];
    const int lab = as.pie_label;
    if (lab == 2 || lab == 3) {
      // a negative value only marks a pulled-out sector: its size is what the label tells
      const double shown = c.pie_explode ? std::fabs(s.value) : s.value;
      format_value(ctx, shown, as.pie_data_digits, num, sizeof num);
      rows.push_back(std::string(c.pie_left) + num + c.pie_right);
    }
    if (lab == 1 || lab == 3) {
      format_value(ctx, s.percent, as.pie_percent_digits, num, sizeof num);
      rows.push_back(std::string(c.pie_left) + num + "%" + c.pie_right);
    }
    draw_sector_label(ctx, pie, s, rows);
  }
  qqflsh(ctx);
}

}  // namespace

// ------------------------------------------------------------------------------------------
// piegrf

void piegrf(char* cbuf, int nlin, const double* xray, int n) {
  Context* ctx = enter(R::piegrf);
  if (!ctx || check_range(*ctx, n, 1, -1) || check_range(*ctx, nlin, 0, -1)) return;
  const LegendState& lg = ctx->charts.legend;
  if (nlin > 0) {
    if (!lg.initialised || cbuf != lg.buffer) {
      warn_code(*ctx, 15);
      nlin = 0;
    } else if (nlin > lg.nlin) {
      warn_code(*ctx, 17);
      nlin = lg.nlin;
    }
  }
  try {
    draw_pie(*ctx, cbuf, nlin, xray, n);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

// ------------------------------------------------------------------------------------------
// Pie parameters

void pietyp(const char* copt) {
  Context* ctx = enter(R::pietyp);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "2D  +3D  ", 2, copt);
  if (k) ctx->charts.pie_3d = static_cast<uint8_t>(k - 1);
}

void pieopt(double xf, double xang) {
  Context* ctx = enter(R::pieopt);
  if (!ctx) return;
  bool ok = true;
  if (!(xf >= 0) || !std::isfinite(xf)) ok = false, warn_code(*ctx, kMsgIncorrectParameter);
  if (!(xang >= 0 && xang <= 90)) ok = false, warn_code(*ctx, kMsgIncorrectParameter);
  if (!ok) return;
  ctx->charts.pie_thick = xf;
  ctx->charts.pie_view = xang;
}

void pierot(double xrot) {
  Context* ctx = enter(R::pierot);
  if (!ctx) return;
  if (!std::isfinite(xrot)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->charts.pie_rotation = xrot;
}

void pieclr(const int* nc1ray, const int* nc2ray, int n) {
  Context* ctx = enter(R::pieclr);
  if (!ctx || check_range(*ctx, n, 0, kPieColors)) return;
  bool ok = true;
  for (int i = 0; i < n; ++i) {
    if (nc1ray[i] < -1) ok = false, warn_number(*ctx, kMsgIncorrectParameter, nc1ray[i]);
    if (nc2ray[i] < -1) ok = false, warn_number(*ctx, kMsgIncorrectParameter, nc2ray[i]);
  }
  if (!ok) return;
  ChartState& c = ctx->charts;
  std::copy(nc1ray, nc1ray + n, c.pie_fill);
  std::copy(nc2ray, nc2ray + n, c.pie_edge);
  c.npie_colors = n;
}

void piebor(int nclr) {
  Context* ctx = enter(R::piebor);
  if (!ctx || check_range(*ctx, nclr, -1, -2)) return;
  ctx->charts.pie_border = nclr;
}

void chnpie(const char* copt) {
  Context* ctx = enter(R::chnpie);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "NONE+COLO+PATT+BOTH", 4, copt);
  if (k) ctx->charts.pie_change = static_cast<uint8_t>(k - 1);
}

void pieexp() {
  if (Context* ctx = enter(R::pieexp)) ctx->charts.pie_explode = 1;
}

void pieval(double xval, const char* copt) {
  Context* ctx = enter(R::pieval);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "GAP +DIST", 2, copt);
  if (!k) return;
  if (!(xval >= 0) || !std::isfinite(xval)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  (k == 1 ? ctx->charts.pie_gap : ctx->charts.pie_dist) = xval;
}

void pielab(const char* cstr, const char* copt) {
  Context* ctx = enter(R::pielab);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "LEFT+RIGH", 2, copt);
  if (k) copy_field(k == 1 ? ctx->charts.pie_left : ctx->charts.pie_right, cstr);
}

void pievec(int ivec, const char* copt) {
  Context* ctx = enter(R::pievec);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "BROK+STRA+NONE", 3, copt);
  if (check_range(*ctx, ivec, 0, 9999) || !k) return;
  ctx->charts.pie_vector = ivec;
  ctx->charts.pie_connect = static_cast<uint8_t>(k - 1);
}

// The caller's hook, called for every sector before it is drawn.
void piecbk(PieCallback func) {
  Context* ctx = enter(R::piecbk);
  if (ctx) ctx->charts.pie_hook = func;
}

}  // namespace tavero
