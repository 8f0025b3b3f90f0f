// User <-> plot coordinates of the active axis system: rectangular (linear, logarithmic,
// crossed), polar and Smith charts; other kinds install their own conversion.
#include "axes/axis_convert.h"

#include <cmath>
#include <cstdio>

#include "core/messages.h"

namespace tavero {

namespace {

constexpr double kPlotLimit = 1e6;

inline double clamp_plot(double v) {
  if (v > kPlotLimit) return kPlotLimit;
  if (v < -kPlotLimit) return -kPlotLimit;
  return v;  // NaN stays NaN
}

}  // namespace

double user_to_scale(const Context& ctx, int axis, double v) {
  if (!ctx.axes.sc[axis].log) return v;
  if (v > 0) return std::log10(v);
  return ctx.axes.neglog_on ? ctx.axes.neglog : std::nan("");
}

double scale_to_plot(const Context& ctx, int axis, double v) {
  const AxisScale& s = ctx.axes.sc[axis];
  double d = (v - s.a) * s.f;
  return axis == 1 ? s.start - d : s.start + d;
}

void user_to_plot(Context& ctx, double xu, double yu, double& xp, double& yp) {
  AxisState& a = ctx.axes;
  switch (a.kind) {
    case kKindPolar: {
      double r = xu * a.polar_f, t = a.polar_a0 + a.polar_dir * yu;
      xp = a.polar_cx + r * std::cos(t);
      yp = a.polar_cy - r * std::sin(t);
      break;
    }
    case kKindSmith: {
      // reflection coefficient (z - 1) / (z + 1); the admittance chart is its mirror image
      double dr = xu + 1, den = dr * dr + yu * yu;
      double gr, gi;
      if (den < 1e-35) {
        gr = -1e35;
        gi = 0;
      } else {
        gr = ((xu - 1) * dr + yu * yu) / den;
        gi = (yu * dr - (xu - 1) * yu) / den;
      }
      if (a.smith_admittance) {
        gr = -gr;
        gi = -gi;
      }
      xp = a.polar_cx + a.polar_r * gr;
      yp = a.polar_cy - a.polar_r * gi;
      break;
    }
    default:
      if (a.convert) {
        a.convert(ctx, xu, yu, xp, yp);
      } else {
        xp = scale_to_plot(ctx, 0, user_to_scale(ctx, 0, xu));
        yp = scale_to_plot(ctx, 1, user_to_scale(ctx, 1, yu));
      }
      break;
  }
  xp = clamp_plot(xp);
  yp = clamp_plot(yp);
}

void plot_to_user(Context& ctx, double xp, double yp, double& xu, double& yu) {
  AxisState& a = ctx.axes;
  switch (a.kind) {
    case kKindPolar: {
      double dx = xp - a.polar_cx, dy = a.polar_cy - yp;
      xu = a.polar_f != 0 ? std::hypot(dx, dy) / a.polar_f : 0;
      double t = a.polar_dir * (std::atan2(dy, dx) - a.polar_a0);
      const double two_pi = 2 * 3.14159265358979323846;
      t = std::fmod(t, two_pi);
      if (t < 0) t += two_pi;
      yu = t;
      return;
    }
    case kKindSmith: {
      double gr = a.polar_r != 0 ? (xp - a.polar_cx) / a.polar_r : 0;
      double gi = a.polar_r != 0 ? (a.polar_cy - yp) / a.polar_r : 0;
      if (a.smith_admittance) {
        gr = -gr;
        gi = -gi;
      }
      // z = (1 + g) / (1 - g)
      double dr = 1 - gr, den = dr * dr + gi * gi;
      if (den < 1e-35) {
        xu = 1e35;
        yu = 0;
      } else {
        xu = ((1 + gr) * dr - gi * gi) / den;
        yu = (gi * dr + (1 + gr) * gi) / den;
      }
      return;
    }
    default:
      break;
  }
  if (a.invert) {
    a.invert(ctx, xp, yp, xu, yu);
    return;
  }
  const AxisScale& sx = a.sc[0];
  const AxisScale& sy = a.sc[1];
  xu = sx.f != 0 ? (xp - sx.start) / sx.f + sx.a : sx.a;
  yu = sy.f != 0 ? (sy.start - yp) / sy.f + sy.a : sy.a;
  if (sx.log) xu = std::pow(10.0, xu);
  if (sy.log) yu = std::pow(10.0, yu);
}

void check_scaling(Context& ctx, double xu, double yu) {
  if (!ctx.core.check_on || ctx.axes.nochek) return;
  if (ctx.axes.kind != kKindGraf) return;
  auto outside = [](const AxisScale& s, double v) {
    double tol = 1e-9 * std::fabs(s.uhi - s.ulo);
    return v < s.ulo - tol || v > s.uhi + tol;
  };
  if (!outside(ctx.axes.sc[0], xu) && !outside(ctx.axes.sc[1], yu)) return;
  char text[96];
  std::snprintf(text, sizeof text, "(%12.4e /%12.4e) out of axis scaling", xu, yu);
  warn_text(ctx, -1, text);
}

bool inside_axis_area(Context& ctx, double xu, double yu) {
  double xp, yp;
  user_to_plot(ctx, xu, yu, xp, yp);
  const AxisState& a = ctx.axes;
  if (a.kind == kKindPolar || a.kind == kKindSmith)
    return std::hypot(xp - a.polar_cx, yp - a.polar_cy) <= a.polar_r + 0.001;
  const AxisScale& sx = a.sc[0];
  const AxisScale& sy = a.sc[1];
  return xp >= sx.start - 0.001 && xp <= sx.start + sx.len - 1 + 0.001 &&
         yp <= sy.start + 0.001 && yp >= sy.start - sy.len + 1 - 0.001;
}

}  // namespace tavero
