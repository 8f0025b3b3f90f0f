// Drawing one axis: line, ticks, labels and name, each in its own colour; frames; the clipping
// window of the axis area.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "axes/axes.h"
#include "axes/axis_text.h"
#include "draw/pipeline.h"
#include "text/text.h"

namespace tavero {

// ------------------------------------------------------------------------------------------
// Colours and line style around axis drawing

int use_color(Context& ctx, int c) {
  int saved = ctx.color.current;
  if (c != -1 && c != saved) qqsclr(ctx, c);
  return saved;
}

void restore_color(Context& ctx, int saved) {
  if (ctx.color.current != saved) qqsclr(ctx, saved);
}

namespace {


inline void segment(Context& ctx, double x1, double y1, double x2, double y2) {
  qqstrt(ctx, x1, y1);
  qqconn(ctx, x2, y2);
}

// Limits that keep absurd scalings from flooding the output (nobody reads more).
constexpr int kMaxTicks = 20000;
constexpr int kMaxLabels = 5000;

struct Tick {
  double v;
  bool major;
};

bool whole_decades(double step) {
  double r = std::floor(std::fabs(step) + 0.5);
  return r >= 1 && std::fabs(std::fabs(step) - r) < 1e-9;
}

// Ticks of the regular rule: first label plus and minus multiples of step / n between a and e.
void regular_ticks(const AxisScale& sc, int n, std::vector<Tick>& out) {
  double sp = sc.step / n;
  if (!(std::fabs(sp) > 0) || !std::isfinite(sp)) return;
  double lo = std::fmin(sc.a, sc.e), hi = std::fmax(sc.a, sc.e);
  double tol = 1e-7 * (hi - lo);
  double j1 = (lo - tol - sc.org) / sp, j2 = (hi + tol - sc.org) / sp;
  if (j1 > j2) std::swap(j1, j2);
  double jlo = std::ceil(j1), jhi = std::floor(j2);
  // beyond 2^53 consecutive tick numbers are no longer distinct doubles
  if (!(jhi - jlo < kMaxTicks) || !(std::fabs(jlo) < 1e15)) return;
  const long long first = static_cast<long long>(jlo), count = static_cast<long long>(jhi - jlo);
  for (long long i = 0; i <= count; ++i) {
    long long j = first + i;
    out.push_back({sc.org + static_cast<double>(j) * sp, j % n == 0});
  }
}

// Powers of ten and 2..9 times them: in every decade with FULL; with AUTO where a decade is at
// least 60 plot units long, so that narrow decades do not turn into a solid bar.
void log_ticks(Context& ctx, const AxisScale& sc, std::vector<Tick>& out) {
  double lo = std::fmin(sc.a, sc.e), hi = std::fmax(sc.a, sc.e);
  if (!(hi - lo < kMaxTicks / 9)) return;
  bool minors = ctx.axes.logtic == 1 || std::fabs(sc.f) >= 60;
  if (!(std::fabs(lo) < 1e15)) return;
  for (double p = std::floor(lo) - 1; p <= std::ceil(hi); ++p) {
    if (p >= lo - 1e-9 && p <= hi + 1e-9) out.push_back({p, true});
    if (!minors) continue;
    for (int k = 2; k <= 9; ++k) {
      double v = p + std::log10(static_cast<double>(k));
      if (v >= lo - 1e-9 && v <= hi + 1e-9) out.push_back({v, false});
    }
  }
}

// Month starts every `months` months from the first label on, and the days and hours of
// date tick modes.
void add_months(const Context& ctx, double from, double to, int months, bool major,
                std::vector<Tick>& out) {
  int y, m, d;
  civil_from_days(label_day(ctx, from), y, m, d);
  if (d != 1) {
    if (++m > 12) m = 1, ++y;
  }
  if (months > 1 && months <= 12)
    while ((m - 1) % months != 0)
      if (++m > 12) m = 1, ++y;
  for (int i = 0; i < kMaxTicks; ++i) {
    double v = static_cast<double>(days_from_civil(y, m, 1) - ctx.axes.base_day);
    if (v > to + 1e-9) break;
    if (v >= from - 1e-9) out.push_back({v, major});
    m += months;
    while (m > 12) m -= 12, ++y;
  }
}

void date_ticks(Context& ctx, const AxisScale& sc, int mode, int nticks, std::vector<Tick>& out) {
  double lo = std::fmin(sc.a, sc.e), hi = std::fmax(sc.a, sc.e);
  static const int kModeMonths[8] = {0, 0, 1, 3, 6, 12, 2, 0};
  if (mode == 1 || mode == 7) {
    double sp = mode == 1 ? 1.0 : 1.0 / 24;
    double j1 = std::ceil(lo / sp - 1e-9), j2 = std::floor(hi / sp + 1e-9);
    if (j2 - j1 < kMaxTicks && std::fabs(j1) < 1e15)
      for (long long i = 0; i <= static_cast<long long>(j2 - j1); ++i)
        out.push_back({(j1 + static_cast<double>(i)) * sp, false});
  } else if (mode >= 2 && mode <= 6) {
    add_months(ctx, lo, hi, kModeMonths[mode], false, out);
  } else if (sc.months > 1) {
    add_months(ctx, lo, hi, 1, false, out);
  } else if (sc.months == 0 && nticks > 0) {
    regular_ticks(sc, nticks, out);
  }
}

// Label values and their indices.
void label_values(Context& ctx, const AxisScale& sc, int type, std::vector<double>& out) {
  if (type == kLabDate && sc.months > 0) {
    std::vector<Tick> t;
    add_months(ctx, sc.org, std::fmax(sc.a, sc.e), sc.months, true, t);
    for (const Tick& k : t) out.push_back(k.v);
    return;
  }
  double n = std::floor((sc.e - sc.org) / sc.step + 0.0001);
  if (!(n >= 0) || n > kMaxLabels) return;
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

// A box in axis coordinates (s along the axis from its start, t away from the line towards
// the labels) to the upper left corner of the page box.
void box_corner(const AxisGeom& g, double s1, double s2, double t1, double t2, double& bx,
                double& by) {
  double xa = g.x0 + g.ux * s1 + g.ox * t1, ya = g.y0 + g.uy * s1 + g.oy * t1;
  double xb = g.x0 + g.ux * s2 + g.ox * t2, yb = g.y0 + g.uy * s2 + g.oy * t2;
  bx = std::fmin(xa, xb);
  by = std::fmin(ya, yb);
}

}  // namespace

void draw_frame(Context& ctx, double x, double y, double w, double h, int n) {
  if (n == 0) return;
  SolidLineScope solid(ctx);
  int count = n > 0 ? n : -n;
  for (int i = 0; i < count; ++i) {
    double d = n > 0 ? i : -i;
    double x1 = x - d, y1 = y - d, x2 = x + w - 1 + d, y2 = y + h - 1 + d;
    if (x2 < x1 || y2 < y1) break;
    qqstrt(ctx, x1, y1);
    qqconn(ctx, x2, y1);
    qqconn(ctx, x2, y2);
    qqconn(ctx, x1, y2);
    qqconn(ctx, x1, y1);
  }
}

void draw_axis(Context& ctx, const AxisGeom& g) {
  AxisState& as = ctx.axes;
  const AxisParams& p = as.ax[g.axis];
  const AxisScale& sc = *g.sc;
  if (g.level <= 0) return;
  SolidLineScope solid(ctx);
  const double len = sc.len - 1;
  const int maj = as.ticlen_major, mnr = as.ticlen_minor;
  auto at = [&](double v) { return (v - sc.a) * sc.f; };  // position along the axis

  if (!p.noline) {
    int saved = use_color(ctx, p.clr_line);
    segment(ctx, g.x0, g.y0, g.x0 + g.ux * len, g.y0 + g.uy * len);
    restore_color(ctx, saved);
  }

  // --- ticks
  bool ticks_drawn = false;
  if (g.level >= 2) {
    std::vector<Tick> ticks;
    if (p.label == kLabDate && (p.ticmod != 0 || sc.months > 0)) {
      date_ticks(ctx, sc, p.ticmod, p.ticks, ticks);
      std::vector<double> labs;
      label_values(ctx, sc, p.label, labs);
      // a minor tick under a major one would be drawn twice
      std::sort(labs.begin(), labs.end());
      std::erase_if(ticks, [&](const Tick& t) {
        auto it = std::lower_bound(labs.begin(), labs.end(), t.v - 1e-9);
        return it != labs.end() && *it <= t.v + 1e-9;
      });
      for (double v : labs) ticks.push_back({v, true});
    } else if (p.ticks > 0) {
      if (sc.log && p.ticks >= 2 && whole_decades(sc.step)) log_ticks(ctx, sc, ticks);
      else regular_ticks(sc, p.ticks, ticks);
    }
    if (!ticks.empty()) {
      ticks_drawn = true;
      int saved = use_color(ctx, p.clr_tick);
      for (const Tick& t : ticks) {
        double s = at(t.v);
        if (!(s >= -0.5 && s <= len + 0.5)) continue;
        double l = t.major ? maj : mnr;
        double t1 = 0, t2 = l;
        if (p.ticpos == 1) t1 = -l, t2 = 0;
        else if (p.ticpos == 2) t1 = -l / 2, t2 = l / 2;
        double bx = g.x0 + g.ux * s, by = g.y0 + g.uy * s;
        segment(ctx, bx + g.ox * t1, by + g.oy * t1, bx + g.ox * t2, by + g.oy * t2);
      }
      restore_color(ctx, saved);
    }
  }
  const double tick_part = !ticks_drawn ? 0 : p.ticpos == 0 ? maj : p.ticpos == 2 ? maj / 2.0 : 0;

  // --- labels
  const bool x_like = std::fabs(g.ux) > std::fabs(g.uy);
  const int h = text_height(ctx);
  double max_across = 0;
  bool labels_drawn = false;
  if (g.level >= 3 && p.label != kLabNone) {
    std::vector<double> values;
    label_values(ctx, sc, p.label, values);
    struct Item {
      double s;
      LabelText text;
      double w;
      int k;
    };
    std::vector<Item> items;
    const int last = static_cast<int>(values.size()) - 1;
    for (int k = 0; k <= last; ++k) {
      if (!label_wanted(p.axends, k, last)) continue;
      if (g.skip_zero && std::fabs(values[k]) <= 1e-9 * std::fabs(sc.step)) continue;
      Item it;
      it.s = at(values[k]);
      if (!(it.s >= -0.5 && it.s <= len + 0.5)) continue;
      it.k = k;
      label_text(ctx, g.axis, sc, values[k], k, g.ndig, it.text);
      if (as.expzlb && values[k] == 0.0 && it.text.form > 0 &&
          (k == 0 || (as.expzlb == 2 && k == last))) {
        std::strcpy(it.text.s, "0");
        it.text.form = -1;
      }
      if (!it.text.s[0]) continue;
      it.w = text_width(ctx, it.text.s, it.text.form, it.text.lang, h);
      items.push_back(it);
    }
    const int angle = p.labtyp == 1 ? 90 : 0;
    // extents of a label box along the axis and across it
    auto along_of = [&](const Item& it) { return (angle == 0) == x_like ? it.w : h; };
    auto across_of = [&](const Item& it) { return (angle == 0) == x_like ? h : it.w; };
    for (const Item& it : items) max_across = std::fmax(max_across, across_of(it));
    labels_drawn = !items.empty();
    // which end of the box column the labels keep when their widths differ
    int jus = p.labjus;
    if (jus == 0 && as.rgtlab && !x_like && angle == 0) jus = 2;
    bool outer_left = g.ox < 0 || g.oy > 0;  // the outer side is left / bottom of the text
    bool align_outer = jus == 3 || (jus == 1 && outer_left) || (jus == 2 && !outer_left);
    double dist = p.labdis + tick_part;
    int saved = use_color(ctx, p.clr_label);
    for (size_t i = 0; i < items.size(); ++i) {
      const Item& it = items[i];
      double al = along_of(it), ac = across_of(it);
      double s1 = it.s - al / 2;
      if (p.labpos == 2 && it.k == 0) s1 = it.s;
      else if (p.labpos == 2 && i + 1 == items.size() && it.k == last) s1 = it.s - al;
      else if ((angle == 0) == x_like && jus == 1) s1 = it.s;
      else if ((angle == 0) == x_like && jus == 2) s1 = it.s - al;
      double t1 = dist + (align_outer ? max_across - ac : 0);
      double bx, by;
      box_corner(g, s1, s1 + al, t1, t1 + ac, bx, by);
      draw_text_box(ctx, it.text.s, it.text.form, it.text.lang, bx, by, h, angle);
    }
    restore_color(ctx, saved);
  }

  // --- name
  if (g.level >= 4 && p.name[0]) {
    int hn = as.hname;
    double wn = text_width(ctx, p.name, -1, 0, hn);
    double dn = p.namdis + tick_part + (labels_drawn ? p.labdis + max_across : 0);
    double al = g.name_angle == 0 ? (x_like ? wn : hn) : (x_like ? hn : wn);
    double ac = g.name_angle == 0 ? (x_like ? hn : wn) : (x_like ? wn : hn);
    double s1 = p.namjus == 1 ? 0 : p.namjus == 2 ? len - al : (len - al) / 2;
    double bx, by;
    box_corner(g, s1, s1 + al, dn, dn + ac, bx, by);
    int saved = use_color(ctx, p.clr_name);
    draw_text_box(ctx, p.name, -1, 0, bx, by, hn, g.name_angle);
    restore_color(ctx, saved);
  }
}

AxisGeom side_geometry(Context& ctx, int side) {
  AxisState& as = ctx.axes;
  const AxisScale& sx = as.sc[0];
  const AxisScale& sy = as.sc[1];
  AxisGeom g;
  int level = as.setgrf[side];
  if (as.ax2grf && side >= 2) level = 0;
  g.level = level;
  if (side == 0 || side == 2) {
    g.axis = 0;
    g.sc = &sx;
    g.x0 = sx.start;
    g.y0 = side == 0 ? sy.start : sy.start - (sy.len - 1);
    g.ux = 1, g.uy = 0;
    g.ox = 0, g.oy = side == 0 ? 1 : -1;
    g.name_angle = 0;
  } else {
    g.axis = 1;
    g.sc = &sy;
    g.x0 = side == 1 ? sx.start : sx.start + (sx.len - 1);
    g.y0 = sy.start;
    g.ux = 0, g.uy = -1;
    g.ox = side == 1 ? -1 : 1, g.oy = 0;
    g.name_angle = side == 1 || as.rvynam ? 90 : 270;
  }
  g.ndig = as.ax[g.axis].digits;
  return g;
}

void set_axis_clip(Context& ctx, double x1, double y1, double x2, double y2, double cx, double cy,
                   double r, bool polar) {
  LineState& l = ctx.line;
  int ox = ctx.core.origin_x, oy = ctx.core.origin_y;
  int g = ctx.axes.grace;
  auto clampi = [](double v, int lo, int hi) {
    return static_cast<int>(std::fmax(lo, std::fmin(hi, std::floor(v + 0.5))));
  };
  l.axis_frame[0] = clampi(x1 - g + ox, 0, ctx.core.page_w);
  l.axis_frame[1] = clampi(y1 - g + oy, 0, ctx.core.page_h);
  l.axis_frame[2] = clampi(x2 + g + ox, 0, ctx.core.page_w);
  l.axis_frame[3] = clampi(y2 + g + oy, 0, ctx.core.page_h);
  l.axis_cx = cx + ox;
  l.axis_cy = cy + oy;
  l.axis_r = r + g;
  l.axis_polar = polar ? 1 : 0;
}

}  // namespace tavero
