// Simple figures in plot and in user coordinates: circles, ellipses, arcs, pies, sectors,
// points and rectangles, the page fill, the circle through three points.
//
// Conventions shared by all of them:
// - Plot coordinates are integers relative to the origin shift, y downwards; y is flipped when
//   pagorg chose the bottom. Angles are degrees, counterclockwise as seen on the page, 0 along
//   +x; an arc runs counterclockwise from alpha to beta (beta < alpha wraps once round).
// - Areas (circle, ellipse, pie, sector, rectangles) are polygons drawn like areaf: filled
//   with the current pattern and outlined unless noarln was called. Arcs are lines only.
// - Curved edges are polygons whose points lie circsp plot units apart (at least 16 per turn).
// - The user-coordinate variants convert the centre or corner like rline and lengths along
//   the axis they belong to (radii along X; the second half axis along Y), and clip to the
//   axis system.
#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "axes/axis_convert.h"
#include "core/entry.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "tavero_api.h"

namespace tavero {

namespace {

using Points = std::vector<double>;

constexpr double kDeg = M_PI / 180.0;
constexpr long kMaxArcPoints = 20000;

inline double flip_y(const Context& ctx, double y) {
  return ctx.core.page_origin == 1 ? ctx.core.page_h - y : y;
}

// Counterclockwise sweep from alpha to beta in degrees: 0 (nothing) up to 360 (a full turn).
double sweep_of(double alpha, double beta) {
  double s = beta - alpha;
  if (!std::isfinite(s)) return 0;
  if (s >= 360 || s <= -360) return 360;
  return s < 0 ? s + 360 : s;
}

// Appends the points of an elliptic arc: centre (cx, cy), half axes a (along the turned x
// axis) and b, from angle t0 over sweep (degrees), the ellipse turned by theta degrees. A full
// turn leaves out the closing point.
void arc_points(const Context& ctx, Points& x, Points& y, double cx, double cy, double a,
                double b, double t0, double sweep, double theta) {
  const bool full = sweep >= 360;
  const double r = std::max(std::fabs(a), std::fabs(b));
  if (!std::isfinite(r) || !std::isfinite(cx) || !std::isfinite(cy)) return;
  const double spc = std::max(1, draw_extras(ctx).circle_spacing);
  double want = std::max(std::ceil(r * sweep * kDeg / spc), std::ceil(sweep / 22.5));
  long n = static_cast<long>(std::min<double>(std::max(want, 1.0), kMaxArcPoints));
  const double ct = std::cos(theta * kDeg), st = std::sin(theta * kDeg);
  const long last = full ? n - 1 : n;
  for (long i = 0; i <= last; ++i) {
    double t = (t0 + sweep * static_cast<double>(i) / n) * kDeg;
    double ex = a * std::cos(t), ey = b * std::sin(t);
    x.push_back(cx + ex * ct - ey * st);
    y.push_back(cy - (ex * st + ey * ct));  // page y grows downwards
  }
}

void area(Context& ctx, const Points& x, const Points& y) {
  draw_area(ctx, x.data(), y.data(), static_cast<int>(x.size()));
}

void ellipse_area(Context& ctx, double cx, double cy, double a, double b) {
  Points x, y;
  if (a == 0 && b == 0) {
    x.push_back(cx);
    y.push_back(cy);
  } else {
    arc_points(ctx, x, y, cx, cy, a, b, 0, 360, 0);
  }
  area(ctx, x, y);
}

void arc_line(Context& ctx, double cx, double cy, double a, double b, double alpha,
              double beta, double theta) {
  double sw = sweep_of(alpha, beta);
  if (sw <= 0) return;
  Points x, y;
  arc_points(ctx, x, y, cx, cy, a, b, alpha, sw, theta);
  if (sw >= 360) {
    x.push_back(x.front());
    y.push_back(y.front());
  }
  int saved = ctx.color.current;
  qqstrt(ctx, x[0], y[0]);
  for (size_t i = 1; i < x.size(); ++i) qqconn(ctx, x[i], y[i]);
  qqflsh(ctx);
  if (ctx.color.current != saved) qqsclr(ctx, saved);
}

void pie_area(Context& ctx, double cx, double cy, double r, double alpha, double beta) {
  double sw = sweep_of(alpha, beta);
  if (sw <= 0) return;
  Points x, y;
  if (sw < 360) {
    x.push_back(cx);
    y.push_back(cy);
  }
  arc_points(ctx, x, y, cx, cy, r, r, alpha, sw, 0);
  area(ctx, x, y);
}

// Ring sector between radii r1 <= r2: filled in colour nclr with the current pattern (solid
// when the pattern is empty, so that the colour always shows), outlined in the current
// colour unless noarln was called.
void sector_area(Context& ctx, double cx, double cy, double r1, double r2, double alpha,
                 double beta, int nclr) {
  double sw = sweep_of(alpha, beta);
  if (sw <= 0) return;
  Points ox, oy, ix, iy;
  arc_points(ctx, ox, oy, cx, cy, r2, r2, alpha, sw, 0);
  if (r1 > 0) {
    arc_points(ctx, ix, iy, cx, cy, r1, r1, alpha, sw, 0);
  } else if (sw < 360) {
    ix.push_back(cx);
    iy.push_back(cy);
  }
  Points px = ox, py = oy;
  if (sw >= 360 && !ix.empty()) {  // the ring: outer turn, seam, inner turn backwards
    px.push_back(ox.front());
    py.push_back(oy.front());
    ix.push_back(ix.front());
    iy.push_back(iy.front());
  }
  px.insert(px.end(), ix.rbegin(), ix.rend());
  py.insert(py.end(), iy.rbegin(), iy.rend());
  const int saved_colour = ctx.color.current;
  const FillState saved_fill = ctx.fill;
  if (ctx.fill.type == 0) set_fill_pattern(ctx, 16);
  qqsclr(ctx, nclr);
  qqfpol(ctx, px.data(), py.data(), static_cast<int>(px.size()));
  qqsclr(ctx, saved_colour);
  ctx.fill = saved_fill;
  if (ctx.fill.outline != 1) return;
  if (sw >= 360) {  // two circles, no seam
    draw_outline(ctx, ox.data(), oy.data(), static_cast<int>(ox.size()));
    if (r1 > 0) draw_outline(ctx, ix.data(), iy.data(), static_cast<int>(ix.size()) - 1);
  } else {
    draw_outline(ctx, px.data(), py.data(), static_cast<int>(px.size()));
  }
}

// Rectangle between the corners (x0, y0) and (x1, y1) with corners rounded by iopt / 20 of
// the shorter side (0: sharp).
void round_rect_area(Context& ctx, double x0, double y0, double x1, double y1, int iopt) {
  if (x1 < x0) std::swap(x0, x1);
  if (y1 < y0) std::swap(y0, y1);
  double r = iopt * std::min(x1 - x0, y1 - y0) / 20.0;
  Points x, y;
  if (r <= 0) {
    x = {x0, x1, x1, x0};
    y = {y0, y0, y1, y1};
  } else {
    arc_points(ctx, x, y, x1 - r, y0 + r, r, r, 0, 90, 0);
    arc_points(ctx, x, y, x0 + r, y0 + r, r, r, 90, 90, 0);
    arc_points(ctx, x, y, x0 + r, y1 - r, r, r, 180, 90, 0);
    arc_points(ctx, x, y, x1 - r, y1 - r, r, r, 270, 90, 0);
  }
  area(ctx, x, y);
}

// A point: a filled nb x nh rectangle centred on (cx, cy).
void point_rect(Context& ctx, double cx, double cy, int nb, int nh, int nclr) {
  if (nb == 0 || nh == 0) return;
  double x1 = cx - nb / 2, y1 = cy - nh / 2;
  qqfrec(ctx, x1, y1, x1 + nb - 1, y1 + nh - 1, nclr);
}

// --- argument checks: a warning and true when the routine must return

bool negative(Context& ctx, int v) {
  if (v >= 0) return false;
  warn_number(ctx, kMsgNegative, v);
  return true;
}

bool bad_length(Context& ctx, double v) {
  if (std::isnan(v) || std::isinf(v)) {
    warn_code(ctx, kMsgIncorrectParameter);
    return true;
  }
  if (v < 0) {
    warn_code(ctx, kMsgNegative);
    return true;
  }
  return false;
}

bool bad_angles(Context& ctx, double a, double b, double c = 0) {
  if (std::isfinite(a) && std::isfinite(b) && std::isfinite(c)) return false;
  warn_code(ctx, kMsgIncorrectParameter);
  return true;
}

bool bad_colour(Context& ctx, int nclr) { return check_range(ctx, nclr, 0, -1) != 0; }

bool bad_radii(Context& ctx, double r1, double r2) {
  if (r1 <= r2) return false;
  warn_code(ctx, 7);  // "First radius greater than second radius"
  return true;
}

// --- user coordinates

void user_point(Context& ctx, double xu, double yu, double& xp, double& yp) {
  check_scaling(ctx, xu, yu);
  user_to_plot(ctx, xu, yu, xp, yp);
}

// Plot length of d user units along X (or Y) from the user point (xu, yu).
double user_len_x(Context& ctx, double xu, double yu, double d) {
  double x0, y0, x1, y1;
  user_to_plot(ctx, xu, yu, x0, y0);
  user_to_plot(ctx, xu + d, yu, x1, y1);
  return std::hypot(x1 - x0, y1 - y0);
}

double user_len_y(Context& ctx, double xu, double yu, double d) {
  double x0, y0, x1, y1;
  user_to_plot(ctx, xu, yu, x0, y0);
  user_to_plot(ctx, xu, yu + d, x1, y1);
  return std::hypot(x1 - x0, y1 - y0);
}

// Runs a drawing step with clipping to the axis system switched on.
template <typename F>
void in_axis_system(Context& ctx, F draw) {
  axis_clip_on(ctx);
  draw();
  axis_clip_off(ctx);
}

template <typename F>
void guarded(Context& ctx, F draw) {
  try {
    draw();
  } catch (const std::bad_alloc&) {
    warn_code(ctx, kMsgNoMemory);
  }
}

}  // namespace

// ==========================================================================================
// figures in plot coordinates

void circsp(int nspc) {
  Context* ctx = enter(R::circsp);
  if (!ctx || check_range(*ctx, nspc, 1, -1)) return;
  draw_extras(*ctx).circle_spacing = nspc;
}

void circle(int nx, int ny, int nr) {
  Context* ctx = enter(R::circle);
  if (!ctx || negative(*ctx, nr)) return;
  guarded(*ctx, [&] { ellipse_area(*ctx, nx, flip_y(*ctx, ny), nr, nr); });
}

void ellips(int nx, int ny, int na, int nb) {
  Context* ctx = enter(R::ellips);
  if (!ctx || negative(*ctx, na) || negative(*ctx, nb)) return;
  guarded(*ctx, [&] { ellipse_area(*ctx, nx, flip_y(*ctx, ny), na, nb); });
}

void arcell(int nx, int ny, int na, int nb, double alpha, double beta, double theta) {
  Context* ctx = enter(R::arcell);
  if (!ctx || negative(*ctx, na) || negative(*ctx, nb) || bad_angles(*ctx, alpha, beta, theta))
    return;
  guarded(*ctx, [&] { arc_line(*ctx, nx, flip_y(*ctx, ny), na, nb, alpha, beta, theta); });
}

void pie(int nx, int ny, int nr, double alpha, double beta) {
  Context* ctx = enter(R::pie);
  if (!ctx || negative(*ctx, nr) || bad_angles(*ctx, alpha, beta)) return;
  guarded(*ctx, [&] { pie_area(*ctx, nx, flip_y(*ctx, ny), nr, alpha, beta); });
}

void sector(int nx, int ny, int nr1, int nr2, double alpha, double beta, int nclr) {
  Context* ctx = enter(R::sector);
  if (!ctx || negative(*ctx, nr1) || negative(*ctx, nr2) || bad_radii(*ctx, nr1, nr2) ||
      bad_angles(*ctx, alpha, beta) || bad_colour(*ctx, nclr))
    return;
  guarded(*ctx, [&] { sector_area(*ctx, nx, flip_y(*ctx, ny), nr1, nr2, alpha, beta, nclr); });
}

void point(int nx, int ny, int nb, int nh, int nclr) {
  Context* ctx = enter(R::point);
  if (!ctx || negative(*ctx, nb) || negative(*ctx, nh) || bad_colour(*ctx, nclr)) return;
  point_rect(*ctx, nx, flip_y(*ctx, ny), nb, nh, nclr);
}

void rectan(int nx, int ny, int nw, int nh) {
  Context* ctx = enter(R::rectan);
  if (!ctx || check_range(*ctx, nw, 1, -1) || check_range(*ctx, nh, 1, -1)) return;
  double y = flip_y(*ctx, ny);
  guarded(*ctx, [&] { round_rect_area(*ctx, nx, y, nx + nw - 1.0, y + nh - 1.0, 0); });
}

void recfll(int nx, int ny, int nw, int nh, int nclr) {
  Context* ctx = enter(R::recfll);
  if (!ctx || check_range(*ctx, nw, 1, -1) || check_range(*ctx, nh, 1, -1) ||
      bad_colour(*ctx, nclr))
    return;
  double y = flip_y(*ctx, ny);
  qqfrec(*ctx, nx, y, nx + nw - 1.0, y + nh - 1.0, nclr);
}

void rndrec(int nx, int ny, int nw, int nh, int iopt) {
  Context* ctx = enter(R::rndrec);
  if (!ctx || check_range(*ctx, nw, 1, 32000) || check_range(*ctx, nh, 1, 32000) ||
      check_range(*ctx, iopt, 0, 9))
    return;
  double y = flip_y(*ctx, ny);
  guarded(*ctx, [&] { round_rect_area(*ctx, nx, y, nx + nw - 1.0, y + nh - 1.0, iopt); });
}

void pagfll(int nclr) {
  Context* ctx = enter(R::pagfll);
  if (!ctx || check_range(*ctx, nclr, 0, -1)) return;
  // the whole page, whatever clipping is in force
  LineState& l = ctx->line;
  const int page[4] = {0, 0, ctx->core.page_w, ctx->core.page_h};
  int saved[4];
  std::copy(l.clip, l.clip + 4, saved);
  const int circle = l.circle_clip;
  const bool restricted = circle || !std::equal(saved, saved + 4, page);
  qqflsh(*ctx);
  if (restricted) {
    std::copy(page, page + 4, l.clip);
    l.circle_clip = 0;
    update_device_clip(*ctx, false);
  }
  qqfrec(*ctx, -ctx->core.origin_x, -ctx->core.origin_y, page[2] - ctx->core.origin_x,
         page[3] - ctx->core.origin_y, nclr);
  if (restricted) {
    qqflsh(*ctx);
    std::copy(saved, saved + 4, l.clip);
    l.circle_clip = circle;
    update_device_clip(*ctx, true);
  }
}

// Solid line, width 1, no dash colours, the foreground colour.
void resatt() {
  Context* ctx = enter(R::resatt);
  if (!ctx) return;
  ctx->line.ndash_colors = 0;
  lintyp(0);
  linwid(1);
  qqsclr(*ctx, ctx->color.foreground);
}

void circ3p(double xa, double ya, double xb, double yb, double xc, double yc, double* xm,
            double* ym, double* r) {
  Context* ctx = enter(R::circ3p);
  if (!ctx) return;
  const double v[6] = {xa, ya, xb, yb, xc, yc};
  for (double t : v)
    if (!std::isfinite(t)) {
      warn_code(*ctx, kMsgIncorrectParameter);
      return;
    }
  // relative to the first point, for accuracy far from the origin
  const double bx = xb - xa, by = yb - ya, cx = xc - xa, cy = yc - ya;
  const double d = 2 * (bx * cy - by * cx);
  const double b2 = bx * bx + by * by, c2 = cx * cx + cy * cy;
  const double ux = (cy * b2 - by * c2) / d, uy = (bx * c2 - cx * b2) / d;
  if (!(std::fabs(d) > 1e-12 * std::sqrt(b2 * c2)) || !std::isfinite(ux) || !std::isfinite(uy)) {
    warn_text(*ctx, 102, "Points are collinear");
    return;
  }
  *xm = xa + ux;
  *ym = ya + uy;
  *r = std::hypot(ux, uy);
}

// ==========================================================================================
// figures in user coordinates

void rlcirc(double xm, double ym, double r) {
  Context* ctx = enter(R::rlcirc);
  if (!ctx || bad_length(*ctx, r)) return;
  double x, y;
  user_point(*ctx, xm, ym, x, y);
  double rp = user_len_x(*ctx, xm, ym, r);
  guarded(*ctx, [&] { in_axis_system(*ctx, [&] { ellipse_area(*ctx, x, y, rp, rp); }); });
}

void rlell(double xm, double ym, double a, double b) {
  Context* ctx = enter(R::rlell);
  if (!ctx || bad_length(*ctx, a) || bad_length(*ctx, b)) return;
  double x, y;
  user_point(*ctx, xm, ym, x, y);
  double ap = user_len_x(*ctx, xm, ym, a), bp = user_len_y(*ctx, xm, ym, b);
  guarded(*ctx, [&] { in_axis_system(*ctx, [&] { ellipse_area(*ctx, x, y, ap, bp); }); });
}

void rlarc(double xm, double ym, double a, double b, double alpha, double beta, double theta) {
  Context* ctx = enter(R::rlarc);
  if (!ctx || bad_length(*ctx, a) || bad_length(*ctx, b) || bad_angles(*ctx, alpha, beta, theta))
    return;
  double x, y;
  user_point(*ctx, xm, ym, x, y);
  double ap = user_len_x(*ctx, xm, ym, a), bp = user_len_y(*ctx, xm, ym, b);
  guarded(*ctx, [&] {
    in_axis_system(*ctx, [&] { arc_line(*ctx, x, y, ap, bp, alpha, beta, theta); });
  });
}

void rlpie(double xm, double ym, double r, double alpha, double beta) {
  Context* ctx = enter(R::rlpie);
  if (!ctx || bad_length(*ctx, r) || bad_angles(*ctx, alpha, beta)) return;
  double x, y;
  user_point(*ctx, xm, ym, x, y);
  double rp = user_len_x(*ctx, xm, ym, r);
  guarded(*ctx, [&] { in_axis_system(*ctx, [&] { pie_area(*ctx, x, y, rp, alpha, beta); }); });
}

void rlsec(double xm, double ym, double r1, double r2, double alpha, double beta, int nclr) {
  Context* ctx = enter(R::rlsec);
  if (!ctx || bad_length(*ctx, r1) || bad_length(*ctx, r2) || bad_radii(*ctx, r1, r2) ||
      bad_angles(*ctx, alpha, beta) || bad_colour(*ctx, nclr))
    return;
  double x, y;
  user_point(*ctx, xm, ym, x, y);
  double p1 = user_len_x(*ctx, xm, ym, r1), p2 = user_len_x(*ctx, xm, ym, r2);
  guarded(*ctx, [&] {
    in_axis_system(*ctx, [&] { sector_area(*ctx, x, y, p1, p2, alpha, beta, nclr); });
  });
}

void rlpoin(double x, double y, int nb, int nh, int nclr) {
  Context* ctx = enter(R::rlpoin);
  if (!ctx || negative(*ctx, nb) || negative(*ctx, nh) || bad_colour(*ctx, nclr)) return;
  double px, py;
  user_point(*ctx, x, y, px, py);
  if (!std::isfinite(px) || !std::isfinite(py)) {
    count_nan(*ctx);
    return;
  }
  in_axis_system(*ctx, [&] { point_rect(*ctx, px, py, nb, nh, nclr); });
}

// (x, y) is the upper left corner on an ascending Y axis; xw, xh extend right and down.
void rlrec(double x, double y, double xw, double xh) {
  Context* ctx = enter(R::rlrec);
  if (!ctx || bad_length(*ctx, xw) || bad_length(*ctx, xh)) return;
  double x0, y0, x1, y1;
  user_point(*ctx, x, y, x0, y0);
  user_point(*ctx, x + xw, y - xh, x1, y1);
  guarded(*ctx, [&] { in_axis_system(*ctx, [&] { round_rect_area(*ctx, x0, y0, x1, y1, 0); }); });
}

void rlrnd(double x, double y, double xw, double xh, int iopt) {
  Context* ctx = enter(R::rlrnd);
  if (!ctx || bad_length(*ctx, xw) || bad_length(*ctx, xh) || check_range(*ctx, iopt, 0, 9))
    return;
  double x0, y0, x1, y1;
  user_point(*ctx, x, y, x0, y0);
  user_point(*ctx, x + xw, y - xh, x1, y1);
  guarded(*ctx, [&] {
    in_axis_system(*ctx, [&] { round_rect_area(*ctx, x0, y0, x1, y1, iopt); });
  });
}

}  // namespace tavero
