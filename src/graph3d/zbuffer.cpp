// Hidden-surface removal: the z-buffer over a raster image (the page of raster devices, or a
// raster of its own that is painted onto the page of PostScript, PDF and screen devices), the
// depth-sorted polygon buffer of vector output, and the facet sink through which every shaded
// routine draws.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <numeric>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "drivers/pdf.h"
#include "drivers/raster_driver.h"
#include "graph3d/g3d_internal.h"
#include "tavero_api.h"

namespace tavero {

namespace {

constexpr float kFar = std::numeric_limits<float>::max();
constexpr int kMsgNotInitialised = 115;
constexpr int kMsgInUse = 120;

inline bool is_raster_device(int code) { return code >= 601 && code <= 700; }

inline uint8_t byte01(double c) {
  if (!(c > 0)) return 0;
  if (c >= 1) return 255;
  return static_cast<uint8_t>(c * 255 + 0.5);
}

void report_custom(Context& ctx, int code, const char* text) {
  set_custom_message(ctx, text);
  warn_code(ctx, code);
}

// Raster size of the z-buffer of a device without an image buffer: page x device scale x zbfscl,
// in points for PostScript (whose device unit is finer) and device units elsewhere.
void own_raster_size(const Context& ctx, int& w, int& h) {
  const int dev = ctx.core.device;
  double k = ctx.dev.scale * ctx.g3d.p.zbf_scale;
  if (dev >= 501 && dev <= 600 && dev != 511) k *= 0.14173228346456693;
  w = static_cast<int>(std::lround(ctx.core.page_w * k));
  h = static_cast<int>(std::lround(ctx.core.page_h * k));
  w = std::clamp(w, 1, 20000);
  h = std::clamp(h, 1, 20000);
}

// Nearest palette index of an indexed image, through a small cache.
uint8_t palette_index(ZBuffer& z, uint8_t r, uint8_t g, uint8_t b) {
  uint32_t key = 0x1000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
  int slot = static_cast<int>((key * 2654435761u) >> 26);
  if (z.cache_key[slot] == key) return z.cache_val[slot];
  uint8_t v = z.img->paint_rgb(r, g, b).index;
  z.cache_key[slot] = key;
  z.cache_val[slot] = v;
  return v;
}

inline void put_pixel(ZBuffer& z, int x, int y, const double rgb[3]) {
  raster::Image& img = *z.img;
  uint8_t r = byte01(rgb[0]), g = byte01(rgb[1]), b = byte01(rgb[2]);
  uint8_t* row = img.row(y);
  if (img.truecolour()) {
    uint8_t* q = row + 4 * x;
    if (z.transparent) {
      double a = z.alpha;
      r = static_cast<uint8_t>(a * r + (1 - a) * q[0] + 0.5);
      g = static_cast<uint8_t>(a * g + (1 - a) * q[1] + 0.5);
      b = static_cast<uint8_t>(a * b + (1 - a) * q[2] + 0.5);
    }
    q[0] = r, q[1] = g, q[2] = b, q[3] = 255;
  } else {
    row[x] = palette_index(z, r, g, b);
  }
}

// Depth test and write of one pixel.
inline void shade(ZBuffer& z, int x, int y, float depth, const double rgb[3], bool depth_only,
                  float bias) {
  float& d = z.depth[static_cast<size_t>(y) * z.w + x];
  if (z.transparent ? !(d > depth + 0.001f) : !(d >= depth - bias)) return;
  d = depth;
  z.touched = true;
  if (!depth_only) put_pixel(z, x, y, rgb);
}

struct PixVertex {
  double x, y, z;
  double c[3];
};

inline bool to_pixel(const Context& ctx, const ZBuffer& z, const ZVertex& v, PixVertex& o) {
  Proj p = project_box(ctx, v.b);
  if (!p.ok) return false;
  double ax = p.x + ctx.core.origin_x, ay = p.y + ctx.core.origin_y;
  o.x = z.a * ax + z.b * ay + z.c;
  o.y = z.d * ax + z.e * ay + z.f;
  o.z = p.depth;
  for (int i = 0; i < 3; ++i) o.c[i] = v.rgb[i];
  return std::isfinite(o.x) && std::isfinite(o.y) && std::fabs(o.x) < 1e8 && std::fabs(o.y) < 1e8;
}

// The clip rectangle of the z-buffer in pixels: the clipping window of the page.
void update_clip(const Context& ctx, ZBuffer& z) {
  const int* c = ctx.line.clip;
  double x0 = z.a * c[0] + z.b * c[1] + z.c, y0 = z.d * c[0] + z.e * c[1] + z.f;
  double x1 = z.a * c[2] + z.b * c[3] + z.c, y1 = z.d * c[2] + z.e * c[3] + z.f;
  raster::Rect r;
  r.x0 = std::max(0, static_cast<int>(std::floor(std::fmin(x0, x1))));
  r.y0 = std::max(0, static_cast<int>(std::floor(std::fmin(y0, y1))));
  r.x1 = std::min(z.w - 1, static_cast<int>(std::ceil(std::fmax(x0, x1))));
  r.y1 = std::min(z.h - 1, static_cast<int>(std::ceil(std::fmax(y0, y1))));
  z.clip = r;
}

// Paints the z-buffer's own raster onto the page: an image on PDF, runs of equal pixels as
// rectangles elsewhere. Pixels that nothing was drawn into stay untouched on the page.
void composite(Context& ctx, ZBuffer& z) {
  if (!z.touched) return;
  const int w = z.w, h = z.h;
  const double W = ctx.core.page_w, H = ctx.core.page_h;
  const raster::Image& img = z.own;
  if (ctx.core.device == 511) {
    std::vector<uint8_t> rgb;
    try {
      rgb.resize(static_cast<size_t>(w) * h * 3);
    } catch (const std::bad_alloc&) {
      warn_code(ctx, kMsgNoMemory);
      return;
    }
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = img.row(y);
      const float* dr = &z.depth[static_cast<size_t>(y) * w];
      uint8_t* o = &rgb[static_cast<size_t>(y) * w * 3];
      for (int x = 0; x < w; ++x) {
        const uint8_t* q = row + 4 * x;
        if (dr[x] == kFar) {
          o[3 * x] = o[3 * x + 1] = o[3 * x + 2] = 255;
          continue;
        }
        // pure white is the transparent colour of the image: drawn white is kept a step off
        bool white = q[0] == 255 && q[1] == 255 && q[2] == 255;
        o[3 * x] = white ? 254 : q[0];
        o[3 * x + 1] = white ? 254 : q[1];
        o[3 * x + 2] = white ? 254 : q[2];
      }
    }
    PdfImage pi;
    pi.width = w;
    pi.height = h;
    pi.pixels = rgb.data();
    pi.white_transparent = true;
    int n = pdf_add_image(ctx, pi);
    if (n > 0 && pdf_place_image(ctx, n, 0, 0, W, H)) return;
  }
  const double sx = W / w, sy = H / h;
  const double ox = ctx.core.origin_x, oy = ctx.core.origin_y;
  const int saved = ctx.color.current;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = img.row(y);
    const float* dr = &z.depth[static_cast<size_t>(y) * w];
    int x = 0;
    while (x < w) {
      if (dr[x] == kFar) {
        ++x;
        continue;
      }
      int run = 1;
      const uint8_t* q = row + 4 * x;
      while (x + run < w && dr[x + run] != kFar && std::memcmp(q, q + 4 * run, 3) == 0) ++run;
      qqfrec(ctx, x * sx - ox, y * sy - oy, (x + run) * sx - ox, (y + 1) * sy - oy,
             make_explicit(q[0], q[1], q[2]));
      x += run;
    }
  }
  qqsclr(ctx, saved);
}

void flush_lines(Context& ctx) {
  qqflsh(ctx);
  emit_flush(ctx);
}

}  // namespace

// ------------------------------------------------------------------------------------------
// Z-buffer

ZBuffer* zbuffer(Context& ctx) { return ctx.g3d.buf.zbuf.get(); }

int zbuffer_open(Context& ctx, bool implicit) {
  if (ctx.g3d.buf.zbuf) {
    report_custom(ctx, kMsgInUse, "z-buffer is already in use");
    return 1;
  }
  const int dev = ctx.core.device;
  if ((dev >= 101 && dev <= 500) || dev >= 701) {
    warn_code(ctx, kMsgIncompatible);
    return 1;
  }
  flush_lines(ctx);
  std::unique_ptr<ZBuffer> z(new (std::nothrow) ZBuffer);
  if (!z) {
    warn_code(ctx, kMsgNoMemory);
    return 1;
  }
  RasterStore* rs = ctx.drv.raster.get();
  if (is_raster_device(dev) && rs && rs->device && !rs->img.empty()) {
    z->img = &rs->img;
    z->device_image = true;
    const DeviceMap& m = ctx.dev.map;
    z->a = m.a, z->b = m.b, z->c = m.c, z->d = m.d, z->e = m.e, z->f = m.f;
    if (rs->tpr && rs->img.truecolour() && ctx.drv.tpr_fills) {
      z->transparent = true;
      z->alpha = std::clamp(ctx.drv.tpr_alpha, 0.0, 1.0);
    }
  } else {
    int w, h;
    own_raster_size(ctx, w, h);
    if (z->own.create(w, h, true, true) != raster::kOk) {
      warn_code(ctx, kMsgNoMemory);
      return 1;
    }
    z->img = &z->own;
    const double W = std::max(1, ctx.core.page_w), H = std::max(1, ctx.core.page_h);
    z->a = w / W, z->c = -0.5;
    z->e = h / H, z->f = -0.5;
  }
  z->w = z->img->width();
  z->h = z->img->height();
  try {
    z->depth.assign(static_cast<size_t>(z->w) * z->h, kFar);
  } catch (const std::bad_alloc&) {
    warn_code(ctx, kMsgNoMemory);
    return 1;
  }
  z->implicit = implicit;
  update_clip(ctx, *z);
  ctx.g3d.buf.zbuf = std::move(z);
  return 0;
}

void zbuffer_close(Context& ctx) {
  std::unique_ptr<ZBuffer> z = std::move(ctx.g3d.buf.zbuf);
  if (!z) return;
  if (!z->device_image && ctx.driver) composite(ctx, *z);
}

void zbuffer_triangle(Context& ctx, const ZVertex& v1, const ZVertex& v2, const ZVertex& v3,
                      bool depth_only) {
  ZBuffer* zp = zbuffer(ctx);
  if (!zp) return;
  ZBuffer& z = *zp;
  PixVertex v[3];
  if (!to_pixel(ctx, z, v1, v[0]) || !to_pixel(ctx, z, v2, v[1]) || !to_pixel(ctx, z, v3, v[2]))
    return;
  update_clip(ctx, z);
  if (z.device_image) {
    const raster::Rect& ic = z.img->clip();
    z.clip.x0 = std::max(z.clip.x0, ic.x0), z.clip.y0 = std::max(z.clip.y0, ic.y0);
    z.clip.x1 = std::min(z.clip.x1, ic.x1), z.clip.y1 = std::min(z.clip.y1, ic.y1);
  }
  if (z.clip.empty()) return;
  std::sort(v, v + 3, [](const PixVertex& a, const PixVertex& b) { return a.y < b.y; });
  const PixVertex &A = v[0], &B = v[1], &C = v[2];
  int y0 = std::max(z.clip.y0, static_cast<int>(std::ceil(A.y)));
  int y1 = std::min(z.clip.y1, static_cast<int>(std::ceil(C.y)) - 1);
  // edges as functions of y: position, depth and colour
  auto along = [](const PixVertex& p, const PixVertex& q, double y, double out[5]) {
    double t = (q.y - p.y) > 0 ? (y - p.y) / (q.y - p.y) : 0;
    out[0] = p.x + t * (q.x - p.x);
    out[1] = p.z + t * (q.z - p.z);
    for (int i = 0; i < 3; ++i) out[2 + i] = p.c[i] + t * (q.c[i] - p.c[i]);
  };
  for (int y = y0; y <= y1; ++y) {
    double l[5], r[5];
    along(A, C, y, l);
    if (y < B.y)
      along(A, B, y, r);
    else
      along(B, C, y, r);
    if (l[0] > r[0]) std::swap(l, r);
    int x0 = std::max(z.clip.x0, static_cast<int>(std::ceil(l[0])));
    int x1 = std::min(z.clip.x1, static_cast<int>(std::ceil(r[0])) - 1);
    double span = r[0] - l[0];
    for (int x = x0; x <= x1; ++x) {
      double t = span > 0 ? (x - l[0]) / span : 0;
      double rgb[3];
      for (int i = 0; i < 3; ++i) rgb[i] = l[2 + i] + t * (r[2 + i] - l[2 + i]);
      shade(z, x, y, static_cast<float>(l[1] + t * (r[1] - l[1])), rgb, depth_only, 1e-6f);
    }
  }
}

void zbuffer_line(Context& ctx, const double b1[3], const double b2[3], const double rgb[3]) {
  ZBuffer* zp = zbuffer(ctx);
  if (!zp) return;
  ZBuffer& z = *zp;
  ZVertex a{{b1[0], b1[1], b1[2]}, {0, 0, 0}}, b{{b2[0], b2[1], b2[2]}, {0, 0, 0}};
  PixVertex p, q;
  if (!to_pixel(ctx, z, a, p) || !to_pixel(ctx, z, b, q)) return;
  update_clip(ctx, z);
  if (z.device_image) {
    const raster::Rect& ic = z.img->clip();
    z.clip.x0 = std::max(z.clip.x0, ic.x0), z.clip.y0 = std::max(z.clip.y0, ic.y0);
    z.clip.x1 = std::min(z.clip.x1, ic.x1), z.clip.y1 = std::min(z.clip.y1, ic.y1);
  }
  double dx = q.x - p.x, dy = q.y - p.y;
  int n = static_cast<int>(std::ceil(std::fmax(std::fabs(dx), std::fabs(dy))));
  if (n > 100000) return;
  // lines lie on the surfaces they outline: they win against them by a small depth margin
  const float bias = static_cast<float>(2e-3 * std::fmax(1e-6, std::fabs(p.z) + std::fabs(q.z)));
  for (int i = 0; i <= n; ++i) {
    double t = n > 0 ? static_cast<double>(i) / n : 0;
    int x = static_cast<int>(std::lround(p.x + t * dx)), y = static_cast<int>(std::lround(p.y + t * dy));
    if (x < z.clip.x0 || x > z.clip.x1 || y < z.clip.y0 || y > z.clip.y1) continue;
    shade(z, x, y, static_cast<float>(p.z + t * (q.z - p.z)), rgb, false, bias);
  }
}

// ------------------------------------------------------------------------------------------
// Depth-sorted polygon buffer

bool polygon_buffer_active(const Context& ctx) { return ctx.g3d.buf.polys != nullptr; }

bool polygon_buffer_open(Context& ctx, bool phase) {
  if (ctx.g3d.buf.polys) return false;
  ctx.g3d.buf.polys.reset(new (std::nothrow) PolygonBuffer);
  if (!ctx.g3d.buf.polys) {
    warn_code(ctx, kMsgNoMemory);
    return false;
  }
  ctx.g3d.buf.polys->phase = phase;
  return true;
}

void polygon_buffer_add(Context& ctx, const Proj* p, int n, int colour, int outline,
                        unsigned edges) {
  PolygonBuffer* b = ctx.g3d.buf.polys.get();
  if (!b || n < 3) return;
  double key = 0;
  for (int i = 0; i < n; ++i) {
    if (!p[i].ok) return;
    key += p[i].depth;
  }
  try {
    PolygonBuffer::Poly q{static_cast<int>(b->x.size()), n, colour, outline, edges, key / n};
    for (int i = 0; i < n; ++i) {
      b->x.push_back(p[i].x);
      b->y.push_back(p[i].y);
    }
    b->polys.push_back(q);
  } catch (const std::bad_alloc&) {
    warn_code(ctx, kMsgNoMemory);
  }
}

namespace {

// Whether the polygon's turns all go the same way (a fill of the whole polygon is then the same
// as the fan of triangles from its first vertex).
bool convex(const double* x, const double* y, int n) {
  int sign = 0;
  for (int i = 0; i < n; ++i) {
    int j = (i + 1) % n, k = (i + 2) % n;
    double c = (x[j] - x[i]) * (y[k] - y[j]) - (y[j] - y[i]) * (x[k] - x[j]);
    if (std::fabs(c) < 1e-12) continue;
    int s = c > 0 ? 1 : -1;
    if (sign && s != sign) return false;
    sign = s;
  }
  return true;
}

// The edges whose bits are set (bit i: vertex i to i + 1), runs of them as polylines.
void stroke_edges(Context& ctx, const double* x, const double* y, int n, unsigned edges) {
  bool open = false;
  for (int i = 0; i < n; ++i) {
    if (!(edges >> i & 1u)) {
      open = false;
      continue;
    }
    int j = (i + 1) % n;
    if (!open) qqstrt(ctx, x[i], y[i]);
    qqconn(ctx, x[j], y[j]);
    open = true;
  }
  qqflsh(ctx);
}

void fill_now(Context& ctx, const double* x, const double* y, int n, int colour, int outline,
              unsigned edges) {
  if (colour >= 0) {
    if (ctx.color.current != colour) qqsclr(ctx, colour);
    if (convex(x, y, n)) {
      qqfpol(ctx, x, y, n);
    } else {
      for (int i = 1; i + 1 < n; ++i) {
        const double tx[3] = {x[0], x[i], x[i + 1]}, ty[3] = {y[0], y[i], y[i + 1]};
        qqfpol(ctx, tx, ty, 3);
      }
    }
    // viewers of vector files smooth the edges of fills, which leaves light seams between
    // neighbouring facets: a hairline in the fill colour closes the edges without mesh lines
    const int dev = ctx.core.device;
    if (dev >= 211 && (dev < 601 || dev > 700))
      stroke_edges(ctx, x, y, n, outline >= 0 ? ~edges : ~0u);
  }
  if (outline >= 0 && edges) {
    if (ctx.color.current != outline) qqsclr(ctx, outline);
    stroke_edges(ctx, x, y, n, edges);
  }
}

}  // namespace

void polygon_buffer_close(Context& ctx) {
  std::unique_ptr<PolygonBuffer> b = std::move(ctx.g3d.buf.polys);
  if (!b || b->polys.empty() || !ctx.driver) return;
  std::vector<int> order(b->polys.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int i, int j) { return b->polys[i].key > b->polys[j].key; });
  const int saved_colour = ctx.color.current, saved_pattern = ctx.fill.pattern;
  set_fill_pattern(ctx, 16);
  for (int i : order) {
    const PolygonBuffer::Poly& q = b->polys[i];
    fill_now(ctx, &b->x[q.first], &b->y[q.first], q.n, q.colour, q.outline, q.edges);
  }
  set_fill_pattern(ctx, saved_pattern);
  if (ctx.color.current != saved_colour) qqsclr(ctx, saved_colour);
}

// ------------------------------------------------------------------------------------------
// Facets

void facet_normal(const Facet& f, double n[3]) {
  // Newell's method: robust for quadrilaterals that are not quite planar
  n[0] = n[1] = n[2] = 0;
  for (int i = 0; i < f.n; ++i) {
    const double* a = f.v[i].b;
    const double* b = f.v[(i + 1) % f.n].b;
    n[0] += (a[1] - b[1]) * (a[2] + b[2]);
    n[1] += (a[2] - b[2]) * (a[0] + b[0]);
    n[2] += (a[0] - b[0]) * (a[1] + b[1]);
  }
  double l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (l > 1e-35)
    for (int i = 0; i < 3; ++i) n[i] /= l;
}

int facing(const Context& ctx, const Facet& f) {
  double n[3];
  facet_normal(f, n);
  double c[3] = {0, 0, 0};
  for (int i = 0; i < f.n; ++i)
    for (int k = 0; k < 3; ++k) c[k] += f.v[i].b[k] / f.n;
  // the viewer's side, in the frame of the (possibly rotated) box
  const double* E = ctx.g3d.sys.eye;
  double d;
  if (ctx.g3d.sys.proj == 1) {
    d = n[0] * E[0] + n[1] * E[1] + n[2] * E[2];
  } else {
    d = n[0] * (E[0] - c[0]) + n[1] * (E[1] - c[1]) + n[2] * (E[2] - c[2]);
  }
  if (std::fabs(d) < 1e-12) return 0;
  return d > 0 ? 1 : -1;
}

FacetSink::FacetSink(Context& ctx, bool smooth, bool wire_fallback)
    : ctx_(ctx), saved_colour_(ctx.color.current), saved_pattern_(ctx.fill.pattern) {
  qqflsh(ctx);
  if (ctx.g3d.buf.zbuf) {
    target_ = FacetTarget::kZBuffer;
  } else if (smooth) {
    if (zbuffer_open(ctx, true) != 0) {
      ok_ = false;
      return;
    }
    opened_zbuf_ = true;
    target_ = FacetTarget::kZBuffer;
  } else if (ctx.g3d.buf.polys) {
    target_ = FacetTarget::kPolygons;
  } else if (wire_fallback) {
    target_ = FacetTarget::kWire;
  } else {
    const RasterStore* rs = ctx.drv.raster.get();
    bool image_mode = rs && rs->phase;
    if (!image_mode && ctx.g3d.p.mesh < 3) {
      opened_polys_ = polygon_buffer_open(ctx, false);
      target_ = opened_polys_ ? FacetTarget::kPolygons : FacetTarget::kDirect;
    } else {
      target_ = FacetTarget::kDirect;
    }
  }
  if (target_ != FacetTarget::kZBuffer) set_fill_pattern(ctx, 16);
}

FacetSink::~FacetSink() {
  if (opened_zbuf_) zbuffer_close(ctx_);
  if (opened_polys_) polygon_buffer_close(ctx_);
  qqflsh(ctx_);
  if (ctx_.fill.pattern != saved_pattern_) set_fill_pattern(ctx_, saved_pattern_);
  if (ctx_.color.current != saved_colour_) qqsclr(ctx_, saved_colour_);
}

void FacetSink::line(const double b1[3], const double b2[3], const double rgb[3]) {
  if (target_ == FacetTarget::kZBuffer) {
    zbuffer_line(ctx_, b1, b2, rgb);
    return;
  }
  int c = color_from_rgb01(rgb);
  if (ctx_.color.current != c) qqsclr(ctx_, c);
  move3d(ctx_, b1);
  draw3d(ctx_, b2);
}

namespace {

// Cuts a polygon of box points to the box (clip3d "WORL"): colours are interpolated along the
// cut edges, edge flags follow their edges; new edges along the box walls carry no flag.
int clip_to_box(const Context& ctx, const ZVertex* in, const unsigned* flags, int n,
                ZVertex* out, unsigned* out_flags) {
  constexpr int kMax = 16;
  ZVertex a[kMax], b[kMax];
  unsigned fa[kMax], fb[kMax];
  for (int i = 0; i < n; ++i) a[i] = in[i], fa[i] = flags[i];
  const double* L = ctx.g3d.sys.box;
  for (int plane = 0; plane < 6 && n > 0; ++plane) {
    const int axis = plane / 2;
    const double sign = plane % 2 ? -1.0 : 1.0, h = L[axis] / 2 * (1 + 1e-9);
    auto inside = [&](const ZVertex& v) { return h - sign * v.b[axis]; };
    int m = 0;
    for (int i = 0; i < n && m + 2 <= kMax; ++i) {
      const ZVertex& p = a[i];
      const ZVertex& q = a[(i + 1) % n];
      double dp = inside(p), dq = inside(q);
      if (dp >= 0) b[m] = p, fb[m++] = fa[i];
      if ((dp >= 0) != (dq >= 0)) {
        double t = dp / (dp - dq);
        ZVertex c;
        for (int k = 0; k < 3; ++k) {
          c.b[k] = p.b[k] + t * (q.b[k] - p.b[k]);
          c.rgb[k] = p.rgb[k] + t * (q.rgb[k] - p.rgb[k]);
        }
        // entering the box: the rest of edge i keeps its flag; leaving: the wall is new
        b[m] = c, fb[m++] = dp < 0 ? fa[i] : 0u;
      }
    }
    n = m;
    for (int i = 0; i < n; ++i) a[i] = b[i], fa[i] = fb[i];
  }
  for (int i = 0; i < n; ++i) out[i] = a[i], out_flags[i] = fa[i];
  return n;
}

}  // namespace

void FacetSink::add(const Facet& f, bool smooth, const double* mesh_rgb, unsigned edges) {
  const int n = f.n;
  bool outside = false;
  if (ctx_.g3d.sys.clip == 0 && target_ != FacetTarget::kWire) {
    const double* L = ctx_.g3d.sys.box;
    for (int i = 0; i < n; ++i)
      for (int k = 0; k < 3; ++k)
        if (!(std::fabs(f.v[i].b[k]) <= L[k] / 2 * (1 + 1e-9))) outside = true;
  }
  if (!outside) {
    add_inside(f, smooth, mesh_rgb, edges);
    return;
  }
  Facet flat = f;
  if (!smooth) {
    double mean[3] = {0, 0, 0};
    for (int i = 0; i < n; ++i)
      for (int k = 0; k < 3; ++k) mean[k] += f.v[i].rgb[k] / n;
    for (int i = 0; i < n; ++i)
      for (int k = 0; k < 3; ++k) flat.v[i].rgb[k] = mean[k];
  }
  unsigned flags[4];
  for (int i = 0; i < n; ++i) flags[i] = edges >> i & 1u;
  ZVertex v[16];
  unsigned fl[16];
  const int m = clip_to_box(ctx_, flat.v, flags, n, v, fl);
  // a fan of quadrilaterals and a last triangle from the first vertex
  for (int i = 1; i + 1 < m; i += 2) {
    Facet piece;
    piece.n = i + 2 < m ? 4 : 3;
    int idx[4] = {0, i, i + 1, i + 2};
    for (int k = 0; k < piece.n; ++k) piece.v[k] = v[idx[k]];
    unsigned e = 0;
    if (i == 1 && fl[0]) e |= 1u;
    e |= fl[i] ? 2u : 0u;
    if (piece.n == 4) {
      e |= fl[i + 1] ? 4u : 0u;
      if (i + 2 == m - 1 && fl[m - 1]) e |= 8u;
    } else if (i + 1 == m - 1 && fl[m - 1]) {
      e |= 4u;
    }
    add_inside(piece, true, mesh_rgb, e);
  }
}

void FacetSink::add_inside(const Facet& f, bool smooth, const double* mesh_rgb, unsigned edges) {
  const int n = f.n;
  const bool depth_only = ctx_.g3d.p.mesh == 2;
  double mean[3] = {0, 0, 0};
  for (int i = 0; i < n; ++i)
    for (int k = 0; k < 3; ++k) mean[k] += f.v[i].rgb[k] / n;
  switch (target_) {
    case FacetTarget::kZBuffer: {
      ZVertex v[4];
      for (int i = 0; i < n; ++i) {
        v[i] = f.v[i];
        if (!smooth)
          for (int k = 0; k < 3; ++k) v[i].rgb[k] = mean[k];
      }
      zbuffer_triangle(ctx_, v[0], v[1], v[2], depth_only);
      if (n == 4) zbuffer_triangle(ctx_, v[0], v[2], v[3], depth_only);
      if (mesh_rgb)
        for (int i = 0; i < n; ++i)
          if (edges >> i & 1u) zbuffer_line(ctx_, f.v[i].b, f.v[(i + 1) % n].b, mesh_rgb);
      return;
    }
    case FacetTarget::kWire: {
      move3d(ctx_, f.v[0].b);
      for (int i = 1; i <= n; ++i) draw3d(ctx_, f.v[i % n].b);
      return;
    }
    default:
      break;
  }
  Proj p[4];
  for (int i = 0; i < n; ++i) {
    p[i] = project_box(ctx_, f.v[i].b);
    if (!p[i].ok) return;
  }
  int colour = depth_only ? ctx_.color.background : color_from_rgb01(mean);
  int outline = mesh_rgb ? color_from_rgb01(mesh_rgb) : -1;
  if (target_ == FacetTarget::kPolygons) {
    polygon_buffer_add(ctx_, p, n, colour, outline, edges);
    return;
  }
  double x[4], y[4];
  for (int i = 0; i < n; ++i) x[i] = p[i].x, y[i] = p[i].y;
  fill_now(ctx_, x, y, n, colour, outline, edges);
}

// ------------------------------------------------------------------------------------------
// Public routines

int zbfini() {
  Context* ctx = enter(R::zbfini);
  if (!ctx) return 1;
  return zbuffer_open(*ctx, false);
}

void zbffin() {
  Context* ctx = enter(R::zbffin);
  if (!ctx) return;
  if (!ctx->g3d.buf.zbuf) {
    report_custom(*ctx, kMsgNotInitialised, "No initialization of z-buffer");
    return;
  }
  zbuffer_close(*ctx);
}

// Mode "ON" drives the depth buffer of a screen window; here that is the z-buffer itself.
void zbfres() {
  Context* ctx = enter(R::zbfres);
  if (!ctx || ctx->g3d.p.zbf_mode == 0) return;
  if (ZBuffer* z = zbuffer(*ctx)) std::fill(z->depth.begin(), z->depth.end(), kFar);
}

void zbfers() {
  Context* ctx = enter(R::zbfers);
  if (!ctx || ctx->g3d.p.zbf_mode == 0) return;
  ZBuffer* z = zbuffer(*ctx);
  if (!z) return;
  std::fill(z->depth.begin(), z->depth.end(), kFar);
  if (z->device_image) {
    flush_lines(*ctx);
    z->img->clear();
  } else {
    z->own.clear();
    z->touched = false;
  }
}

void zbfmod(const char* cmod) {
  Context* ctx = enter(R::zbfmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "OFF +ON  ", 2, cmod);
  if (k) ctx->g3d.p.zbf_mode = k - 1;
}

void zbfscl(double xscl) {
  Context* ctx = enter(R::zbfscl);
  if (!ctx) return;
  if (!(xscl >= 1 && xscl <= 10)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->g3d.p.zbf_scale = xscl;
}

void zbftri(const double* xray, const double* yray, const double* zray, const int* iclr) {
  Context* ctx = enter(R::zbftri);
  if (!ctx || !require_3d(*ctx)) return;
  if (!ctx->g3d.buf.zbuf) {
    report_custom(*ctx, kMsgNotInitialised, "No initialization of z-buffer");
    return;
  }
  ZVertex v[3];
  for (int i = 0; i < 3; ++i) {
    user_to_box(*ctx, xray[i], yray[i], zray[i], v[i].b);
    if (!std::isfinite(v[i].b[0] + v[i].b[1] + v[i].b[2])) {
      count_nan(*ctx);
      return;
    }
    if (iclr[i] < 0) {
      warn_number(*ctx, kMsgIncorrectParameter, iclr[i]);
      return;
    }
    color_rgb01(*ctx, iclr[i], v[i].rgb);
  }
  flush_lines(*ctx);
  zbuffer_triangle(*ctx, v[0], v[1], v[2]);
}

void zbflin(double xa, double ya, double za, double xb, double yb, double zb) {
  Context* ctx = enter(R::zbflin);
  if (!ctx || !require_3d(*ctx)) return;
  if (!ctx->g3d.buf.zbuf) {
    report_custom(*ctx, kMsgNotInitialised, "No initialization of z-buffer");
    return;
  }
  double b1[3], b2[3], rgb[3];
  user_to_box(*ctx, xa, ya, za, b1);
  user_to_box(*ctx, xb, yb, zb, b2);
  if (!std::isfinite(b1[0] + b1[1] + b1[2] + b2[0] + b2[1] + b2[2])) {
    count_nan(*ctx);
    return;
  }
  color_rgb01(*ctx, ctx->color.current, rgb);
  flush_lines(*ctx);
  zbuffer_line(*ctx, b1, b2, rgb);
}

// The depth buffer: a phase in which every flat-shaded facet of all routines is collected and
// drawn sorted by depth at dbffin (the depth-sorted hidden-surface method for vector output).
int dbfini() {
  Context* ctx = enter(R::dbfini);
  if (!ctx) return 1;
  if (ctx->g3d.buf.polys) {
    report_custom(*ctx, kMsgInUse, "Depth buffer is already in use");
    return 1;
  }
  return polygon_buffer_open(*ctx, true) ? 0 : 1;
}

void dbffin() {
  Context* ctx = enter(R::dbffin);
  if (!ctx) return;
  if (!ctx->g3d.buf.polys || !ctx->g3d.buf.polys->phase) {
    report_custom(*ctx, kMsgNotInitialised, "No initialization of depth buffer");
    return;
  }
  polygon_buffer_close(*ctx);
}

// Stored only: there is no screen depth buffer behind it on this platform.
void dbfmod(const char* cmod) {
  Context* ctx = enter(R::dbfmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "OFF +ON  ", 2, cmod);
  if (k) ctx->g3d.p.dbf_mode = k - 1;
}

}  // namespace tavero
