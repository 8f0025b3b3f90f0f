// Surfaces with hidden lines: the floating horizon (a segment filter of the line pipeline)
// and the meshes of surfce, surmat and surfun drawn from the front to the back.
#include <algorithm>
#include <climits>
#include <cmath>
#include <new>
#include <vector>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "graph3d/g3d_internal.h"
#include "tavero_api.h"

namespace tavero {

namespace {

using Walk = HorizonWalk;

inline int round_plot(double v) {
  if (!(v > -1e9)) return -1000000000;
  if (!(v < 1e9)) return 1000000000;
  return static_cast<int>(std::floor(v + 0.5));
}

void out_segment(Context& ctx, double x1, double y1, double x2, double y2, bool move) {
  Horizon& h = ctx.g3d.buf.horizon;
  if (h.chained)
    h.chained(ctx, x1, y1, x2, y2, move);
  else
    emit_segment(ctx, x1, y1, x2, y2, move);
}

void flush_column(Horizon& h, Walk& w) {
  if (w.col == INT_MIN) return;
  if (w.col >= 0 && w.col < static_cast<int>(h.upper.size())) {
    h.upper[w.col] = std::max(h.upper[w.col], w.cmax);
    h.lower[w.col] = std::min(h.lower[w.col], w.cmin);
  }
  w.col = INT_MIN;
}

void emit_run(Context& ctx, Walk& w, int ex, int ey) {
  out_segment(ctx, w.sx, w.sy, ex, ey, w.need_move);
  w.sx = ex, w.sy = ey;
  w.need_move = false;
}

void set_side_colour(Context& ctx, Horizon& h, int side) {
  if (!ctx.g3d.p.sur_color_on) return;
  int c = side > 0 ? h.top_color : h.bottom_color;
  if (c != ctx.color.current) qqsclr(ctx, c);
}

// One pixel of the walk: update of the column extremes, visibility and runs.
inline void pixel(Context& ctx, Horizon& h, Walk& w, int x, int y, int px, int py) {
  if (h.mode != 0) {
    if (x != w.col) {
      flush_column(h, w);
      w.col = x, w.cmin = w.cmax = y;
    } else {
      w.cmin = std::min(w.cmin, y);
      w.cmax = std::max(w.cmax, y);
    }
  }
  int side = 0;
  if (h.mode != 2) {
    const int vis = ctx.g3d.p.visible;
    if (x >= 0 && x < static_cast<int>(h.upper.size())) {
      if (y < h.lower[x] && vis != 2) side = 1;
      else if (y > h.upper[x] && vis != 1) side = -1;
    } else {
      side = 1;
    }
  }
  if (side != 0) {
    if (!w.run) {
      w.run = true;
      w.sx = x, w.sy = y;
      w.need_move = true;
      if (side != w.side) set_side_colour(ctx, h, side);
      w.side = side;
    } else if (side != w.side) {
      if (px != w.sx || py != w.sy || w.need_move) emit_run(ctx, w, px, py);
      set_side_colour(ctx, h, side);
      w.side = side;
      w.sx = px, w.sy = py;
      w.need_move = true;
    }
  } else if (w.run) {
    emit_run(ctx, w, px, py);
    w.run = false;
  }
}

// The segment filter: Bresenham's walk from the pen to the end point against the horizon.
void horizon_filter(Context& ctx, double x1, double y1, double x2, double y2, bool move) {
  Horizon& h = ctx.g3d.buf.horizon;
  Walk& w = h.walk;
  int x0 = round_plot(x1), y0 = round_plot(y1), xe = round_plot(x2), ye = round_plot(y2);
  bool cont = !move && w.valid && x0 == w.lx && y0 == w.ly;
  if (!cont) {
    flush_column(h, w);
    w.run = false;
  }
  int dx = std::abs(xe - x0), dy = std::abs(ye - y0);
  int stx = xe >= x0 ? 1 : -1, sty = ye >= y0 ? 1 : -1;
  long long n = std::max(dx, dy);
  if (n > 200000) n = 0;  // nothing sensible lies that far; only the end point is tested
  int x = x0, y = y0, px = x0, py = y0;
  if (!cont) pixel(ctx, h, w, x, y, px, py);
  bool xmajor = dx >= dy;
  long long err = xmajor ? 2LL * dy - dx : 2LL * dx - dy;
  for (long long i = 0; i < n; ++i) {
    px = x, py = y;
    if (xmajor) {
      x += stx;
      if (err >= 0) y += sty, err -= 2LL * dx;
      err += 2LL * dy;
    } else {
      y += sty;
      if (err >= 0) x += stx, err -= 2LL * dy;
      err += 2LL * dx;
    }
    pixel(ctx, h, w, x, y, px, py);
  }
  if (n == 0 && (xe != x0 || ye != y0)) pixel(ctx, h, w, xe, ye, x0, y0);
  if (w.run && (w.sx != xe || w.sy != ye || w.need_move)) emit_run(ctx, w, xe, ye);
  w.valid = true;
  w.lx = xe, w.ly = ye;
}

}  // namespace

bool horizon_begin(Context& ctx, int top_colour, int bottom_colour) {
  Horizon& h = ctx.g3d.buf.horizon;
  qqflsh(ctx);
  const size_t cols = static_cast<size_t>(std::max(ctx.core.page_w, 0)) + 1;
  try {
    h.upper.assign(cols, -1);
    h.lower.assign(cols, INT_MAX);
  } catch (const std::bad_alloc&) {
    h.upper.clear();
    h.lower.clear();
    warn_code(ctx, kMsgNoMemory);
    return false;
  }
  if (!h.installed) {
    h.chained = ctx.dev.filter;
    ctx.dev.filter = horizon_filter;
    h.installed = 1;
  }
  ctx.dev.hidden_on = 1;
  h.mode = 1;
  h.top_color = top_colour;
  h.bottom_color = bottom_colour;
  h.walk = Walk{};
  return true;
}

void horizon_end(Context& ctx) {
  Horizon& h = ctx.g3d.buf.horizon;
  qqflsh(ctx);
  flush_column(h, h.walk);
  h.walk = Walk{};
  h.mode = 0;
  if (!ctx.g3d.p.keep_hidden) horizon_remove(ctx);
}

void horizon_remove(Context& ctx) {
  Horizon& h = ctx.g3d.buf.horizon;
  if (!h.installed) return;
  qqflsh(ctx);
  if (ctx.dev.filter == horizon_filter) ctx.dev.filter = h.chained;
  h.chained = nullptr;
  h.installed = 0;
  ctx.dev.hidden_on = 0;
  h.walk = Walk{};
}

// ------------------------------------------------------------------------------------------
// Meshes

namespace {

// A grid of nu x nv nodes in box coordinates and the lines of constant u and v to draw.
struct Mesh {
  int nu = 0, nv = 0;
  std::vector<double> b;              // 3 per node, node (u, v) at 3 (u nv + v)
  std::vector<char> uline, vline;     // line of constant u / v is drawn
  const double* node(int u, int v) const { return &b[3 * (static_cast<size_t>(u) * nv + v)]; }
};

void edge(Context& ctx, const Mesh& m, int u1, int v1, int u2, int v2) {
  move3d(ctx, m.node(u1, v1));
  draw3d(ctx, m.node(u2, v2));
}

// Front to back: the two lines through the corner nearest to the view point, then cell by cell
// away from it, each cell adding the edges on its far side.
void draw_mesh(Context& ctx, const Mesh& m) {
  const double* E = eye_box(ctx);
  const Graph3dSystem& s = ctx.g3d.sys;
  int u0 = 0, v0 = 0;
  {
    double a = m.node(0, 0)[0], b = m.node(m.nu - 1, 0)[0];
    u0 = (E[0] >= 0) == (b > a) ? m.nu - 1 : 0;
    double c = m.node(0, 0)[1], d = m.node(0, m.nv - 1)[1];
    v0 = (E[1] >= 0) == (d > c) ? m.nv - 1 : 0;
  }
  const int du = u0 == 0 ? 1 : -1, dv = v0 == 0 ? 1 : -1;
  if (m.vline[v0])
    for (int k = 0; k + 1 < m.nu; ++k) edge(ctx, m, u0 + k * du, v0, u0 + (k + 1) * du, v0);
  if (m.uline[u0])
    for (int k = 0; k + 1 < m.nv; ++k) edge(ctx, m, u0, v0 + k * dv, u0, v0 + (k + 1) * dv);
  // rows follow the axis along which the view point stands farther out
  const bool rows_in_v = std::fabs(E[1]) / s.box[1] >= std::fabs(E[0]) / s.box[0];
  const int outer = rows_in_v ? m.nv - 1 : m.nu - 1, inner = rows_in_v ? m.nu - 1 : m.nv - 1;
  for (int r = 0; r < outer; ++r) {
    for (int c = 0; c < inner; ++c) {
      int ku = rows_in_v ? c : r, kv = rows_in_v ? r : c;
      int ua = u0 + ku * du, ub = ua + du, va = v0 + kv * dv, vb = va + dv;
      if (m.uline[ub]) edge(ctx, m, ub, va, ub, vb);
      if (m.vline[vb]) edge(ctx, m, ua, vb, ub, vb);
    }
  }
  qqflsh(ctx);
}

// Draws a mesh with hidden lines removed (unless nohide) in the surface colours.
void draw_surface(Context& ctx, const Mesh& m) {
  if (m.nu < 2 || m.nv < 2) return;
  const Graph3dParams& p = ctx.g3d.p;
  const int saved = ctx.color.current;
  int top = p.color_top < 0 ? saved : p.color_top;
  int bottom = p.color_bottom < 0 ? saved : p.color_bottom;
  bool hide = !p.no_hide;
  if (hide && !horizon_begin(ctx, top, bottom)) return;
  if (!hide && p.sur_color_on && top != saved) qqsclr(ctx, top);
  draw_mesh(ctx, m);
  if (hide) horizon_end(ctx);
  if (ctx.color.current != saved) qqsclr(ctx, saved);
}

bool make_mesh(Context& ctx, Mesh& m, int nu, int nv) {
  try {
    m.nu = nu, m.nv = nv;
    m.b.assign(3 * static_cast<size_t>(nu) * nv, 0.0);
    m.uline.assign(nu, 1);
    m.vline.assign(nv, 1);
  } catch (const std::bad_alloc&) {
    warn_code(ctx, kMsgNoMemory);
    return false;
  }
  return true;
}

void apply_families(const Context& ctx, Mesh& m) {
  int fam = ctx.g3d.p.families;
  if (fam == 1) std::fill(m.vline.begin(), m.vline.end(), 0);  // XISO: lines of constant x
  if (fam == 2) std::fill(m.uline.begin(), m.uline.end(), 0);  // YISO: lines of constant y
}

// Lines selected by ixpts / iypts along one direction of a grid of n nodes: the number of
// fine nodes and which fine nodes carry a line. n > 0 subdivides each interval n times, n < 0
// keeps every |n|-th grid line (and the last one, so that the surface keeps its border).
int fine_count(int n, int nodes) { return n > 0 ? (nodes - 1) * n + 1 : nodes; }

void select_lines(int n, std::vector<char>& lines) {
  if (n == 0) {
    std::fill(lines.begin(), lines.end(), 0);
  } else if (n < 0) {
    int k = -n;
    for (size_t i = 0; i < lines.size(); ++i) lines[i] = (i % k == 0) || i + 1 == lines.size();
  }
}

// A matrix surface on an equidistant grid (surmat, surfun): fine nodes interpolated
// bilinearly between the grid values.
void matrix_surface(Context& ctx, const double* z, int nx, int ny, int ixpts, int iypts,
                    double xa, double xe, double ya, double ye) {
  if (ixpts == 0 && iypts == 0) return;
  const int fx = ixpts > 0 ? ixpts : 1, fy = iypts > 0 ? iypts : 1;
  const int nu = fine_count(ixpts, nx), nv = fine_count(iypts, ny);
  if (static_cast<double>(nu) * nv > 5e7) {
    warn_code(ctx, kMsgNoMemory);
    return;
  }
  Mesh m;
  if (!make_mesh(ctx, m, nu, nv)) return;
  ScalingCheck check(ctx);
  for (int u = 0; u < nu; ++u) {
    double gu = static_cast<double>(u) / fx;
    int i = std::min(static_cast<int>(gu), nx - 2);
    double tu = gu - i;
    double x = xa + (xe - xa) * gu / (nx - 1);
    for (int v = 0; v < nv; ++v) {
      double gv = static_cast<double>(v) / fy;
      int j = std::min(static_cast<int>(gv), ny - 2);
      double tv = gv - j;
      double y = ya + (ye - ya) * gv / (ny - 1);
      const double* r0 = z + static_cast<size_t>(i) * ny;
      const double* r1 = z + static_cast<size_t>(i + 1) * ny;
      double zz = (1 - tu) * ((1 - tv) * r0[j] + tv * r0[j + 1]) +
                  tu * ((1 - tv) * r1[j] + tv * r1[j + 1]);
      check(x, y, zz);
      user_to_box(ctx, x, y, zz, &m.b[3 * (static_cast<size_t>(u) * nv + v)]);
    }
  }
  select_lines(ixpts, m.uline);
  select_lines(iypts, m.vline);
  apply_families(ctx, m);
  draw_surface(ctx, m);
}

// The x or y limits of a matrix surface: sursze, else the axis limits in user units.
void grid_limits(const Context& ctx, int axis, double& a, double& e) {
  const Graph3dParams& p = ctx.g3d.p;
  if (p.size_on) {
    a = p.size[2 * axis];
    e = p.size[2 * axis + 1];
    return;
  }
  const AxisScale& sc = ctx.g3d.sys.sc[axis];
  a = sc.log ? std::pow(10.0, sc.a) : sc.a;
  e = sc.log ? std::pow(10.0, sc.e) : sc.e;
}

}  // namespace

void surfce(const double* xray, int nx, const double* yray, int ny, const double* zmat) {
  Context* ctx = enter(R::surfce);
  if (!ctx || !require_3d(*ctx)) return;
  if (nx < 2 || ny < 2) {
    warn_number(*ctx, kMsgIncorrectParameter, nx < 2 ? nx : ny);
    return;
  }
  Mesh m;
  if (!make_mesh(*ctx, m, nx, ny)) return;
  ScalingCheck check(*ctx);
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j) {
      double z = zmat[static_cast<size_t>(i) * ny + j];
      check(xray[i], yray[j], z);
      user_to_box(*ctx, xray[i], yray[j], z, &m.b[3 * (static_cast<size_t>(i) * ny + j)]);
    }
  apply_families(*ctx, m);
  draw_surface(*ctx, m);
}

void surmat(const double* zmat, int nx, int ny, int ixpts, int iypts) {
  Context* ctx = enter(R::surmat);
  if (!ctx || !require_3d(*ctx)) return;
  if (nx < 2 || ny < 2) {
    warn_number(*ctx, kMsgIncorrectParameter, nx < 2 ? nx : ny);
    return;
  }
  double xa, xe, ya, ye;
  grid_limits(*ctx, 0, xa, xe);
  grid_limits(*ctx, 1, ya, ye);
  matrix_surface(*ctx, zmat, nx, ny, ixpts, iypts, xa, xe, ya, ye);
}

void surfun(SurfaceCallback func, int ixpts, double xdel, int iypts, double ydel) {
  Context* ctx = enter(R::surfun);
  if (!ctx || !require_3d(*ctx) || !func) return;
  double xa, xe, ya, ye;
  grid_limits(*ctx, 0, xa, xe);
  grid_limits(*ctx, 1, ya, ye);
  // the step runs from the lower limit; a last partial step ends exactly at the upper limit
  auto nodes = [](double a, double e, double d) {
    double n = std::fabs(e - a) / std::fabs(d);
    if (!(n >= 1) || n > 1e5) return -1;
    int k = static_cast<int>(std::floor(n + 1e-9));
    return std::fabs(n - k) > 1e-9 ? k + 2 : k + 1;
  };
  if (!(xdel != 0) || !(ydel != 0) || !std::isfinite(xdel) || !std::isfinite(ydel)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  int nx = nodes(xa, xe, xdel), ny = nodes(ya, ye, ydel);
  if (nx < 2 || ny < 2) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  std::vector<double> xs(nx), ys(ny), z;
  try {
    z.resize(static_cast<size_t>(nx) * ny);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  double sx = xe >= xa ? std::fabs(xdel) : -std::fabs(xdel);
  double sy = ye >= ya ? std::fabs(ydel) : -std::fabs(ydel);
  for (int i = 0; i < nx; ++i) xs[i] = i + 1 == nx ? xe : xa + i * sx;
  for (int j = 0; j < ny; ++j) ys[j] = j + 1 == ny ? ye : ya + j * sy;
  for (int i = 0; i < nx; ++i)
    for (int j = 0; j < ny; ++j) z[static_cast<size_t>(i) * ny + j] = func(xs[i], ys[j]);
  if (ixpts == 0 && iypts == 0) return;
  // the nodes are not equidistant when the last step is partial: build the mesh directly
  const int fx = ixpts > 0 ? ixpts : 1, fy = iypts > 0 ? iypts : 1;
  const int nu = fine_count(ixpts, nx), nv = fine_count(iypts, ny);
  Mesh m;
  if (static_cast<double>(nu) * nv > 5e7 || !make_mesh(*ctx, m, nu, nv)) return;
  ScalingCheck check(*ctx);
  for (int u = 0; u < nu; ++u) {
    int i = std::min(u / fx, nx - 2);
    double tu = static_cast<double>(u) / fx - i;
    double x = xs[i] + tu * (xs[i + 1] - xs[i]);
    for (int v = 0; v < nv; ++v) {
      int j = std::min(v / fy, ny - 2);
      double tv = static_cast<double>(v) / fy - j;
      double y = ys[j] + tv * (ys[j + 1] - ys[j]);
      const double* r0 = &z[static_cast<size_t>(i) * ny];
      const double* r1 = &z[static_cast<size_t>(i + 1) * ny];
      double zz = (1 - tu) * ((1 - tv) * r0[j] + tv * r0[j + 1]) +
                  tu * ((1 - tv) * r1[j] + tv * r1[j + 1]);
      check(x, y, zz);
      user_to_box(*ctx, x, y, zz, &m.b[3 * (static_cast<size_t>(u) * nv + v)]);
    }
  }
  select_lines(ixpts, m.uline);
  select_lines(iypts, m.vline);
  apply_families(*ctx, m);
  draw_surface(*ctx, m);
}

// ------------------------------------------------------------------------------------------
// Settings

void suropt(const char* copt) {
  Context* ctx = enter(R::suropt);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "BOTH+XISO+YISO", 3, copt);
  if (k) ctx->g3d.p.families = k - 1;
}

void survis(const char* copt) {
  Context* ctx = enter(R::survis);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "AUTO+TOP +BOTT+BOTH", 4, copt);
  if (k) ctx->g3d.p.visible = k - 1;
}

void surclr(int ictop, int icbot) {
  Context* ctx = enter(R::surclr);
  if (!ctx) return;
  if (check_range(*ctx, ictop, -1, -2) + check_range(*ctx, icbot, -1, -2) != 0) return;
  Graph3dParams& p = ctx->g3d.p;
  p.sur_color_on = 1;
  p.color_top = ictop;
  p.color_bottom = icbot;
}

void sursze(double xa, double xe, double ya, double ye) {
  Context* ctx = enter(R::sursze);
  if (!ctx) return;
  if (!(std::isfinite(xa) && std::isfinite(xe) && std::isfinite(ya) && std::isfinite(ye))) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  if (xa == xe || ya == ye) {
    warn_code(*ctx, 10);
    return;
  }
  Graph3dParams& p = ctx->g3d.p;
  p.size_on = 1;
  p.size[0] = xa, p.size[1] = xe, p.size[2] = ya, p.size[3] = ye;
}

void shlsur() {
  if (Context* ctx = enter(R::shlsur)) ctx->g3d.p.keep_hidden = 1;
}

void nohide() {
  if (Context* ctx = enter(R::nohide)) ctx->g3d.p.no_hide = 1;
}

}  // namespace tavero
