// Axis scaling: automatic scaling of numeric, logarithmic, time and date axes, the checks of
// a given scaling, and the stored scaling record of the active axis system.
#include <algorithm>
#include <cmath>

#include "axes/axes.h"
#include "axes/axis_text.h"
#include "core/messages.h"
#include "text/text.h"

namespace tavero {

namespace {

inline bool is_exp_type(int t) { return t == kLabExp || t == kLabFExp || t == kLabXExp; }
inline bool is_time_type(int t) { return t == kLabTime || t == kLabHour || t == kLabSeco; }

inline long long round_away(double v) {
  return static_cast<long long>(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5));
}

// Steps of seconds for time axes.
double time_step(double range) {
  double rr = std::fmin(std::fabs(range), 9e15);
  long long r = static_cast<long long>(rr);
  if (r < 120) return r < 8 ? 1 : r < 15 ? 2 : r < 30 ? 5 : r < 60 ? 10 : 20;
  long long m = r / 60;
  if (m < 240) {
    int mins = m < 8 ? 1 : m < 15 ? 2 : m < 30 ? 5 : m < 60 ? 10 : m < 120 ? 15 : 30;
    return mins * 60.0;
  }
  long long h = m / 60, p = 1;
  while (h / p > 9) p *= 10;
  long long d = h / p;
  double hours = static_cast<double>(p);
  if (d == 1) hours /= 5;
  else if (d == 2 || d == 3) hours /= 2.5;
  else if (d > 7) hours *= 2;
  if (hours * 60 > 300) hours *= 1.2;
  return hours * 3600;
}

void time_scale(double a, double e, AutoScale& out) {
  out.a = a;
  out.e = e;
  out.step = time_step(e - a);
  long long aa = round_away(std::fmax(std::fmin(a, 9e15), -9e15));
  long long ss = std::max(1LL, round_away(out.step));
  out.org = aa % ss != 0 ? static_cast<double>((aa / ss + 1) * ss) : a;
}

// Months in a label step for the labmod step keywords DAYS MONT QUAR HALF YEAR DMON DYEA QYEA
// (D doubles a month or year, Q takes four years); 0 means day steps.
const int kStepMonths[8] = {0, 1, 3, 6, 12, 2, 24, 48};

void date_scale(Context& ctx, int axis, double a, double e, AutoScale& out) {
  out.a = a;
  out.e = e;
  double r = e - a;
  int key = ctx.axes.ax[axis].date.step;
  int months;
  double days = 1;
  if (key >= 1 && key <= 8) {
    months = kStepMonths[key - 1];
  } else if (r < 36) {
    months = 0;
    days = r < 6 ? 1 : r < 11 ? 2 : r < 16 ? 3 : 7;
  } else {
    months = r < 160 ? 1 : r < 500 ? 3 : r < 1000 ? 6 : 12;
  }
  out.months = months;
  if (months == 0) {
    out.step = days;
    out.org = std::ceil(a - 1e-9);
    return;
  }
  int y, m, d;
  long long z = label_day(ctx, a);
  civil_from_days(z, y, m, d);
  if (d != 1 || a - std::floor(a + 1e-9) > 1e-9) {
    if (++m > 12) m = 1, ++y;
  }
  int group = months < 12 ? months : 12;
  while ((m - 1) % group != 0)
    if (++m > 12) m = 1, ++y;
  out.org = static_cast<double>(days_from_civil(y, m, 1) - ctx.axes.base_day);
  out.step = months * 30.436875;
}

}  // namespace

void auto_scale(Context& ctx, int axis, double lo, double hi, int len, AutoScale& out) {
  const AxisParams& p = ctx.axes.ax[axis];
  const int type = p.label;
  const bool lg = p.log != 0;
  out = AutoScale{};
  out.ndig = p.digits;
  double a = lo, e = hi;
  if (lg) {
    if (!(lo > 0)) {
      warn_code(ctx, 23);
      a = -1;
    } else {
      a = std::log10(lo);
    }
    if (!(hi > 0)) {
      warn_code(ctx, 24);
      e = 0;
    } else {
      e = std::log10(hi);
    }
  }
  if (!std::isfinite(a)) a = 0;
  if (!std::isfinite(e) || !(e > a)) e = a + 1;
  if (is_time_type(type)) {
    time_scale(a, e, out);
    return;
  }
  if (type == kLabDate) {
    date_scale(ctx, axis, a, e, out);
    return;
  }
  const bool along = (axis == 0) == (p.labtyp == 0);
  int d0 = along ? 200 : 100;
  double r = e - a;
  int n = 0;
  for (int i = 0; i < 50 && r / std::pow(10.0, n) >= 10; ++i) ++n;
  for (int i = 0; i < 50 && r / std::pow(10.0, n) < 1; ++i) --n;
  double s = std::pow(10.0, n);
  double q = r / s;
  int m = std::clamp(static_cast<int>(q), 1, 9);
  int ndig = n < 0 ? -n : -1;
  auto first_label = [&](double step, double& org) {
    double t = a / step;
    if (!(std::fabs(t) < 2147483647.0)) return false;
    double k = std::trunc(t);
    if (std::fabs(t - k) >= 1e-15) {
      if (a > 0) k += 1;
      org = k * step;
    } else {
      org = a;
    }
    return true;
  };
  if (along) {
    AxisScale probe;
    probe.log = lg;
    probe.step = s;
    probe.org = a;
    first_label(s, probe.org);
    LabelText t;
    label_text(ctx, axis, probe, probe.org, 0, ndig, t);
    int w = static_cast<int>(text_width(ctx, t.s, t.form, t.lang, text_height(ctx)));
    d0 = std::max(d0, static_cast<int>(1.25 * w));
  }
  const int L = len;
  auto refined = [&] { ndig = n < 0 ? -n + 1 : n == 0 ? 1 : -1; };
  if (m == 1) {
    if (lg) {
      if (s > 2) s = 1;
    } else if (L / 2 >= d0) {
      if (is_exp_type(type) && q > 1.8) s /= 2;
      else s = L / 5 < d0 ? s / 2 : s / 5;
      refined();
    }
  } else if (m == 2 || m == 3) {
    if (!lg && L / (2 * m) >= d0) {
      s /= 2;
      refined();
    }
  } else if (m >= 5) {
    if (L / m < d0) s *= 2;
    else if (is_exp_type(type) && m > 6) s *= 2;
  }
  double org = a;
  if (!first_label(s, org)) {
    org = a;
    s = e - a;
    ndig = 3;
  }
  if (is_exp_type(type)) {
    double top = std::fabs(org);
    double nlab = std::floor((e - org) / s + 0.0001);
    if (nlab >= 0 && nlab < 1e6) top = std::fmax(top, std::fabs(org + nlab * s));
    if (lg) top = std::pow(10.0, std::fmax(org, org + std::fmax(nlab, 0.0) * s));
    if (std::isfinite(top)) {
      while (top >= 10) {
        top /= 10;
        if (ndig >= 1) ++ndig;
      }
      if (top > 0)
        while (top < 1) {
          top *= 10;
          --ndig;
        }
    }
    if (ndig < 1) ndig = 1;
  }
  out.a = a;
  out.e = e;
  out.org = org;
  out.step = s;
  out.ndig = ndig;
}

bool check_axis(Context& ctx, double a, double e, double org, double step, int len) {
  const double eps = ctx.core.tolerance;
  if (!(std::fabs(e - a) >= eps) || !std::isfinite(e - a)) {
    warn_code(ctx, 10);
    return true;
  }
  if (!(std::fabs(step) >= eps) || !std::isfinite(step)) {
    warn_code(ctx, 9);
    return true;
  }
  if (len < 2) {
    warn_code(ctx, 11);
    return true;
  }
  double lo = std::fmin(a, e), hi = std::fmax(a, e), tol = 1e-9 * (hi - lo);
  if (!(org >= lo - tol && org <= hi + tol)) warn_code(ctx, 12);
  if ((step > 0) != (e - a > 0)) warn_code(ctx, 50);
  return false;
}

void store_scale(Context& ctx, int axis, double a, double e, double org, double step, int len,
                 double start, bool from_data, double user_lo, double user_hi) {
  AxisScale& s = ctx.axes.sc[axis];
  s.a = a;
  s.e = e;
  s.org = std::isfinite(org) ? org : a;
  s.step = step;
  s.len = len;
  s.start = start;
  s.f = (len - 1) / (e - a);
  s.log = ctx.axes.ax[axis].log;
  double u1 = s.log ? std::pow(10.0, a) : a, u2 = s.log ? std::pow(10.0, e) : e;
  if (from_data) {
    u1 = user_lo;
    u2 = user_hi;
  }
  s.ulo = std::fmin(u1, u2);
  s.uhi = std::fmax(u1, u2);
  s.months = 0;
}

}  // namespace tavero
