// Symbols: the built-in table, the user symbol, drawing one symbol, and the symbol routines.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "axes/axis_convert.h"
#include "charts/charts.h"
#include "core/entry.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "drivers/driver.h"
#include "tavero_api.h"

namespace tavero {

namespace {

// Shapes in a 100 x 100 grid centred on the point, y downwards on the page. Each piece is a
// polyline; a filled symbol fills its (single) piece.
struct Pt {
  signed char x, y;
};

constexpr Pt kSquare[] = {{-50, -50}, {50, -50}, {50, 50}, {-50, 50}, {-50, -50}};
constexpr Pt kOctagon[] = {{-20, -50}, {20, -50}, {50, -20}, {50, 20}, {20, 50},
                           {-20, 50},  {-50, 20}, {-50, -20}, {-20, -50}};
constexpr Pt kTriUp[] = {{0, -50}, {50, 37}, {-50, 37}, {0, -50}};
constexpr Pt kTriDown[] = {{0, 50}, {-50, -37}, {50, -37}, {0, 50}};
constexpr Pt kDiamond[] = {{0, -50}, {50, 0}, {0, 50}, {-50, 0}, {0, -50}};
constexpr Pt kHoriz[] = {{-50, 0}, {50, 0}};
constexpr Pt kVert[] = {{0, -50}, {0, 50}};
constexpr Pt kDiag1[] = {{-35, -35}, {35, 35}};      // the cross inside a circle of 50
constexpr Pt kDiag2[] = {{-35, 35}, {35, -35}};
constexpr Pt kCorner1[] = {{-50, -50}, {50, 50}};    // the cross of the square
constexpr Pt kCorner2[] = {{-50, 50}, {50, -50}};
constexpr Pt kStarUp[] = {{0, -50}, {43, 25}, {-43, 25}, {0, -50}};
constexpr Pt kStarDown[] = {{0, 50}, {-43, -25}, {43, -25}, {0, 50}};
constexpr Pt kInTriangle[] = {{-50, 50}, {0, -50}, {50, 50}};
// the 18-gon: (49, 0) .. (9, -49) and their mirror images, closed
constexpr Pt kCircle[] = {{49, 0},   {49, -9},  {42, -27}, {27, -42}, {9, -49},
                          {-9, -49}, {-27, -42}, {-42, -27}, {-49, -9}, {-49, 0},
                          {-49, 9},  {-42, 27}, {-27, 42}, {-9, 49},  {9, 49},
                          {27, 42},  {42, 27},  {49, 9},   {49, 0}};
// the upper half of the circle (its first ten points), closed along the diameter
constexpr Pt kHalf[] = {{49, 0},   {49, -9},   {42, -27}, {27, -42}, {9, -49}, {-9, -49},
                        {-27, -42}, {-42, -27}, {-49, -9}, {-49, 0},  {49, 0}};

struct Piece {
  const Pt* p;
  int n;
};
struct Shape {
  Piece pieces[4];
  int npieces;
  bool filled;
};

#define PIECE(a) Piece{a, static_cast<int>(sizeof(a) / sizeof(a[0]))}

const Shape kShapes[kBuiltinSymbols] = {
    {{PIECE(kSquare)}, 1, false},                                    // 0 square
    {{PIECE(kOctagon)}, 1, false},                                   // 1 octagon
    {{PIECE(kTriUp)}, 1, false},                                     // 2 triangle up
    {{PIECE(kHoriz), PIECE(kVert)}, 2, false},                       // 3 plus
    {{PIECE(kDiag1), PIECE(kDiag2)}, 2, false},                      // 4 cross
    {{PIECE(kDiamond)}, 1, false},                                   // 5 diamond
    {{PIECE(kTriDown)}, 1, false},                                   // 6 triangle down
    {{PIECE(kSquare), PIECE(kCorner1), PIECE(kCorner2)}, 3, false},  // 7 square with cross
    {{PIECE(kHoriz), PIECE(kVert), PIECE(kDiag1), PIECE(kDiag2)}, 4, false},  // 8 star
    {{PIECE(kDiamond), PIECE(kHoriz), PIECE(kVert)}, 3, false},      // 9 diamond with plus
    {{PIECE(kOctagon), PIECE(kHoriz), PIECE(kVert)}, 3, false},      // 10 octagon with plus
    {{PIECE(kStarUp), PIECE(kStarDown)}, 2, false},                  // 11 two triangles
    {{PIECE(kSquare), PIECE(kHoriz), PIECE(kVert)}, 3, false},       // 12 square with plus
    {{PIECE(kOctagon), PIECE(kDiag1), PIECE(kDiag2)}, 3, false},     // 13 octagon with cross
    {{PIECE(kSquare), PIECE(kInTriangle)}, 2, false},                // 14 square with triangle
    {{PIECE(kCircle)}, 1, false},                                    // 15 circle
    {{PIECE(kSquare)}, 1, true},                                     // 16
    {{PIECE(kOctagon)}, 1, true},                                    // 17
    {{PIECE(kTriUp)}, 1, true},                                      // 18
    {{PIECE(kDiamond)}, 1, true},                                    // 19
    {{PIECE(kTriDown)}, 1, true},                                    // 20
    {{PIECE(kCircle)}, 1, true},                                     // 21
    {{PIECE(kHalf)}, 1, false},                                      // 22 half circle
    {{PIECE(kHalf)}, 1, true},                                       // 23 half circle, filled
};

#undef PIECE

// Draws one piece: the scaled, rotated points around (cx, cy); filled pieces are filled with
// the current colour and outlined.
void draw_piece(Context& ctx, const double* px, const double* py, int n, bool filled) {
  if (filled && n >= 3) fill_with(ctx, px, py, n, 16);
  solid_polyline(ctx, px, py, n);
}

struct Placement {
  double cx, cy, scale, c, s;
  void map(double x, double y, double& ox, double& oy) const {
    // counter-clockwise as seen on the page, whose y grows downwards
    ox = cx + scale * (x * c + y * s);
    oy = cy + scale * (-x * s + y * c);
  }
};

// ------------------------------------------------------------------------------------------
// The direct path. A built-in symbol that lies completely inside the clipping window, drawn
// while nothing can cut, filter or transform its points, reaches the device exactly as the
// pipeline would send it: the fill first (as qqfpol's device fill), then each piece as one
// run of device points. Skipping the buffer and the clip tests matters when a curve carries
// a symbol at each of 1e5 points; a device that keeps reusable drawings may also repeat an
// earlier copy by its offset.

constexpr int kMaxShapePoints = 48;

bool pipeline_is_plain(const Context& ctx) {
  const DeviceState& d = ctx.dev;
  const LineState& l = ctx.line;
  return ctx.driver && !d.filter && !d.hidden_on && d.plane_projection == 0 && !d.affine_on &&
         d.map_projection < 30 && !l.circle_clip && l.pen_width < 2 && !d.in_flush;
}

uint64_t bits_of(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

ReuseKey symbol_key(const Context& ctx, int nsym, bool filled) {
  const ChartState& ch = ctx.charts;
  const LineState& l = ctx.line;
  int r, g, b;
  color_rgb(ctx, ctx.color.current, r, g, b);
  ReuseKey k;
  k.w[0] = static_cast<uint32_t>(nsym) | uint64_t{static_cast<uint32_t>(ch.symbol_size)} << 32;
  k.w[1] = bits_of(ch.symbol_angle);
  k.w[2] = static_cast<uint32_t>(ctx.color.current) |
           uint64_t{static_cast<uint32_t>(l.pen_width)} << 32;
  k.w[3] = uint64_t(r & 255) | uint64_t(g & 255) << 8 | uint64_t(b & 255) << 16 |
           uint64_t(l.cap & 255) << 24 | uint64_t(l.join & 255) << 32 |
           uint64_t(l.hw_line) << 40 | uint64_t(filled) << 48 | uint64_t{1} << 56;
  k.w[4] = bits_of(l.miter);
  k.w[5] = bits_of(ctx.core.scale_factor);
  return k;
}

bool draw_direct(Context& ctx, int nsym, const Shape& sh, const Placement& pl) {
  if (!pipeline_is_plain(ctx) || (sh.filled && !ctx.fill.hw_shade)) return false;
  double rx[kMaxShapePoints], ry[kMaxShapePoints];   // relative plot points (as qqfpol gets them)
  double ax[kMaxShapePoints], ay[kMaxShapePoints];   // absolute (as the buffer holds them)
  int start[5];
  const double ox = ctx.core.origin_x, oy = ctx.core.origin_y;
  const double wx0 = ctx.line.clip[0], wy0 = ctx.line.clip[1];
  const double wx1 = ctx.line.clip[2], wy1 = ctx.line.clip[3];
  int m = 0;
  for (int k = 0; k < sh.npieces; ++k) {
    start[k] = m;
    const Piece& pc = sh.pieces[k];
    for (int i = 0; i < pc.n; ++i, ++m) {
      pl.map(pc.p[i].x, pc.p[i].y, rx[m], ry[m]);
      ax[m] = rx[m] + ox;
      ay[m] = ry[m] + oy;
      if (!(ax[m] >= wx0 && ax[m] <= wx1 && ay[m] >= wy0 && ay[m] <= wy1)) return false;
    }
  }
  start[sh.npieces] = m;
  DeviceState& d = ctx.dev;
  Driver* drv = ctx.driver.get();
  qqflsh(ctx);
  emit_flush(ctx);
  double dx[kMaxShapePoints], dy[kMaxShapePoints];
  for (int i = 0; i < m; ++i) to_device(ctx, ax[i], ay[i], dx[i], dy[i]);
  Reuse how = Reuse::kDraw;
  if (drv->keeps_drawings()) {
    ReuseOffer offer;
    offer.key = symbol_key(ctx, nsym, sh.filled);
    to_device(ctx, pl.cx + ox, pl.cy + oy, offer.x, offer.y);
    offer.vx = dx;
    offer.vy = dy;
    offer.n = m;
    drv->end_path();
    how = drv->begin_reuse(offer);
  }
  if (how == Reuse::kPlaced) {
    // the copy counts as drawn: segments for the end protocol, the current point
    for (int k = 0; k < sh.npieces; ++k) {
      const int n = start[k + 1] - start[k];
      ctx.core.vector_count += n - 1;
      d.segments += static_cast<unsigned>(n - 1);
    }
    d.cur_x = ax[m - 1];
    d.cur_y = ay[m - 1];
    d.broken = 0;
    d.last_dx = dx[m - 1];
    d.last_dy = dy[m - 1];
    return true;
  }
  for (int k = 0; k < sh.npieces; ++k) {
    const int s = start[k], n = start[k + 1] - s;
    if (sh.filled && n >= 3) {
      emit_flush(ctx);
      drv->end_path();
      if (!drv->fill_polygon(dx + s, dy + s, n)) draw_outline(ctx, rx + s, ry + s, n);
    }
    // one run of device points, as the emit stage would hand it over
    emit_flush(ctx);
    drv->polyline(dx + s, dy + s, n);
    ctx.core.vector_count += n - 1;
    d.segments += static_cast<unsigned>(n - 1);
    d.last_dx = dx[s + n - 1];
    d.last_dy = dy[s + n - 1];
    d.cur_x = ax[s + n - 1];
    d.cur_y = ay[s + n - 1];
    d.broken = 0;
  }
  if (how == Reuse::kRecord) drv->end_reuse();
  return true;
}

}  // namespace

bool symbol_defined(const Context& ctx, int nsym) {
  return (nsym >= 0 && nsym < kBuiltinSymbols) || nsym == ctx.charts.user_symbol.number;
}

void draw_symbol(Context& ctx, int nsym, double x, double y) {
  const ChartState& ch = ctx.charts;
  if (nsym < 0 || !std::isfinite(x) || !std::isfinite(y)) return;
  const double a = ch.symbol_angle * (M_PI / 180.0);
  Placement pl{std::round(x), std::round(y), 0, std::cos(a), std::sin(a)};
  const UserSymbol& us = ch.user_symbol;
  if (nsym == us.number && !us.x.empty()) {
    pl.scale = ch.symbol_size / 2.0;
    const int n = static_cast<int>(us.x.size());
    std::vector<double> px(n), py(n);
    // the caller's y points upwards
    for (int i = 0; i < n; ++i) pl.map(us.x[i], -us.y[i], px[i], py[i]);
    draw_piece(ctx, px.data(), py.data(), n, us.filled != 0);
    return;
  }
  if (nsym >= kBuiltinSymbols) return;
  pl.scale = ch.symbol_size / 100.0;
  const Shape& sh = kShapes[nsym];
  if (draw_direct(ctx, nsym, sh, pl)) return;
  double px[20], py[20];
  for (int k = 0; k < sh.npieces; ++k) {
    const Piece& pc = sh.pieces[k];
    for (int i = 0; i < pc.n; ++i) pl.map(pc.p[i].x, pc.p[i].y, px[i], py[i]);
    draw_piece(ctx, px, py, pc.n, sh.filled);
  }
}

// ------------------------------------------------------------------------------------------
// Symbol routines

void marker(int nsym) {
  Context* ctx = enter(R::marker);
  if (!ctx) return;
  if (nsym != -1 && !symbol_defined(*ctx, nsym)) {
    warn_number(*ctx, kMsgIncorrectParameter, nsym);
    return;
  }
  ctx->charts.symbol = nsym;
}

void incmrk(int nmrk) {
  if (Context* ctx = enter(R::incmrk)) ctx->charts.symbol_step = nmrk;
}

void hsymbl(int nhsym) {
  Context* ctx = enter(R::hsymbl);
  if (!ctx || check_range(*ctx, nhsym, 1, 10000)) return;
  ctx->charts.symbol_size = nhsym;
}

void symrot(double xrot) {
  Context* ctx = enter(R::symrot);
  if (!ctx) return;
  if (!std::isfinite(xrot)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->charts.symbol_angle = xrot;
}

void mrkclr(int nclr) {
  Context* ctx = enter(R::mrkclr);
  if (!ctx || check_range(*ctx, nclr, -1, -2)) return;
  ctx->charts.symbol_color = nclr;
}

void getsym(int* nsym, int* nhsym) {
  Context* ctx = enter(R::getsym);
  if (!ctx) return;
  *nsym = ctx->charts.symbol;
  *nhsym = ctx->charts.symbol_size;
}

void mysymb(const double* xray, const double* yray, int n, int isym, int iflag) {
  Context* ctx = enter(R::mysymb);
  if (!ctx) return;
  int bad = check_range(*ctx, n, 1, -1);
  bad |= check_range(*ctx, isym, 0, -1);
  bad |= check_range(*ctx, iflag, 0, 1);
  if (bad) return;
  bool outside = false;
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(xray[i]) || !std::isfinite(yray[i])) {
      warn_code(*ctx, kMsgIncorrectParameter);
      return;
    }
    outside = outside || std::fabs(xray[i]) > 1 || std::fabs(yray[i]) > 1;
  }
  if (outside) warn_text(*ctx, 108, "values out of range");
  UserSymbol& us = ctx->charts.user_symbol;
  try {
    us.x.assign(xray, xray + n);
    us.y.assign(yray, yray + n);
  } catch (const std::bad_alloc&) {
    us = UserSymbol{};
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  us.number = isym;
  us.filled = iflag;
}

void symbol(int nsym, int nx, int ny) {
  Context* ctx = enter(R::symbol);
  if (!ctx) return;
  if (nsym != -1 && !symbol_defined(*ctx, nsym)) {
    warn_number(*ctx, kMsgIncorrectParameter, nsym);
    return;
  }
  double y = ctx->core.page_origin == 1 ? ctx->core.page_h - ny : ny;
  draw_symbol(*ctx, nsym, nx, y);
  qqflsh(*ctx);
}

void rlsymb(int nsym, double x, double y) {
  Context* ctx = enter(R::rlsymb);
  if (!ctx) return;
  if (nsym != -1 && !symbol_defined(*ctx, nsym)) {
    warn_number(*ctx, kMsgIncorrectParameter, nsym);
    return;
  }
  check_scaling(*ctx, x, y);
  double px, py;
  user_to_plot(*ctx, x, y, px, py);
  axis_clip_on(*ctx);
  draw_symbol(*ctx, nsym, px, py);
  axis_clip_off(*ctx);
}

}  // namespace tavero
