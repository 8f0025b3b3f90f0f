#include "files/image_place.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_map>
#include <vector>

#include "draw/colors.h"
#include "draw/pipeline.h"
#include "drivers/pdf.h"
#include "drivers/raster_driver.h"

namespace tavero {

namespace {

constexpr int kPdfDevice = 511;
inline bool raster_device(int code) { return code >= 601 && code <= 700; }

// --- raster devices: every device pixel whose centre falls into the rectangle takes the
// nearest source pixel, through the inverse of the device mapping (turned pages included).
bool paint_raster(Context& ctx, const PixelBlock& b, double x1, double y1, double x2, double y2) {
  RasterStore* s = ctx.drv.raster.get();
  if (!s || !s->device || !ctx.driver || !raster_device(ctx.core.device) || s->img.empty())
    return false;
  raster::Image& img = s->img;
  const DeviceMap& m = ctx.dev.map;
  const double det = m.a * m.e - m.b * m.d;
  if (!(std::fabs(det) > 1e-300)) return true;
  double cx[4], cy[4];
  const double px[4] = {x1, x2, x2, x1}, py[4] = {y1, y1, y2, y2};
  for (int i = 0; i < 4; ++i) {
    cx[i] = m.a * px[i] + m.b * py[i] + m.c;
    cy[i] = m.d * px[i] + m.e * py[i] + m.f;
  }
  const raster::Rect& clip = img.clip();
  const double lo_x = std::max<double>(clip.x0, std::ceil(*std::min_element(cx, cx + 4) - 0.5));
  const double hi_x = std::min<double>(clip.x1, std::floor(*std::max_element(cx, cx + 4) + 0.5));
  const double lo_y = std::max<double>(clip.y0, std::ceil(*std::min_element(cy, cy + 4) - 0.5));
  const double hi_y = std::min<double>(clip.y1, std::floor(*std::max_element(cy, cy + 4) + 0.5));
  if (!(lo_x <= hi_x && lo_y <= hi_y)) return true;
  const double sx = b.width / (x2 - x1), sy = b.height / (y2 - y1);
  const bool tc = img.truecolour();
  std::unordered_map<uint32_t, uint8_t> nearest;
  for (int Y = static_cast<int>(lo_y); Y <= static_cast<int>(hi_y); ++Y) {
    uint8_t* row = img.row(Y);
    for (int X = static_cast<int>(lo_x); X <= static_cast<int>(hi_x); ++X) {
      const double dx = X - m.c, dy = Y - m.f;
      const double x = (m.e * dx - m.b * dy) / det, y = (m.a * dy - m.d * dx) / det;
      const double u = (x - x1) * sx, v = (y - y1) * sy;
      if (!(u >= 0 && u < b.width && v >= 0 && v < b.height)) continue;
      const uint8_t* q = b.rgba + static_cast<long long>(v) * b.stride + 4 * static_cast<long long>(u);
      const int a = q[3];
      if (tc) {
        uint8_t* d = row + 4 * X;
        if (a == 255) {
          d[0] = q[0];
          d[1] = q[1];
          d[2] = q[2];
          d[3] = 255;
        } else if (a > 0) {
          for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>((q[c] * a + d[c] * (255 - a) + 127) / 255);
          d[3] = static_cast<uint8_t>(a + (d[3] * (255 - a) + 127) / 255);
        }
      } else if (a >= 128) {
        const uint32_t key = (uint32_t(q[0]) << 16) | (uint32_t(q[1]) << 8) | q[2];
        auto it = nearest.find(key);
        if (it == nearest.end())
          it = nearest.emplace(key, static_cast<uint8_t>(raster::nearest_index(img.palette(), 256, q[0], q[1], q[2]))).first;
        row[X] = it->second;
      }
    }
  }
  return true;
}

// --- PDF: one image object. Transparent pixels become white and are masked out; opaque
// white pixels are written as 254, 254, 254 so that the mask leaves them alone.
bool paint_pdf(Context& ctx, const PixelBlock& b, double x1, double y1, double x2, double y2) {
  if (ctx.core.device != kPdfDevice || !ctx.driver) return false;
  std::vector<uint8_t> rgb;
  try {
    rgb.resize(size_t(b.width) * size_t(b.height) * 3);
  } catch (const std::bad_alloc&) {
    return false;
  }
  bool masked = false;
  for (int y = 0; y < b.height && !masked; ++y) {
    const uint8_t* q = b.rgba + y * b.stride;
    for (int x = 0; x < b.width; ++x, q += 4) masked = masked || q[3] < 128;
  }
  for (int y = 0; y < b.height; ++y) {
    const uint8_t* q = b.rgba + y * b.stride;
    uint8_t* d = rgb.data() + size_t(y) * b.width * 3;
    for (int x = 0; x < b.width; ++x, q += 4, d += 3) {
      if (masked && q[3] < 128) {
        d[0] = d[1] = d[2] = 255;
      } else {
        d[0] = q[0];
        d[1] = q[1];
        d[2] = q[2];
        if (masked && d[0] == 255 && d[1] == 255 && d[2] == 255) d[0] = d[1] = d[2] = 254;
      }
    }
  }
  PdfImage im;
  im.width = b.width;
  im.height = b.height;
  im.pixels = rgb.data();
  im.white_transparent = masked;
  const int number = pdf_add_image(ctx, im);
  if (number <= 0) return false;
  const double ox = ctx.core.origin_x, oy = ctx.core.origin_y;
  pdf_place_image(ctx, number, x1 + ox, y1 + oy, x2 + ox, y2 + oy);
  return true;
}

// --- every other device: one filled rectangle per run of equal pixels in a row. Devices
// without an image primitive get at most this many cells a side (nearest pixel), so a photo
// does not become millions of rectangles.
constexpr int kMaxCells = 1024;
constexpr int kMaxCellsNoFill = 256;

void paint_cells(Context& ctx, const PixelBlock& b, double x1, double y1, double x2, double y2) {
  const int cap = ctx.driver && ctx.driver->has_polygon_fill() ? kMaxCells : kMaxCellsNoFill;
  const int nx = std::min(b.width, cap), ny = std::min(b.height, cap);
  const double cw = (x2 - x1) / nx, ch = (y2 - y1) / ny;
  // inner cells reach a little under their right and lower neighbours, so that renderers
  // that smooth edges show no seams between them
  const double ox = std::copysign(std::min(0.5, std::fabs(cw) / 4), cw);
  const double oy = std::copysign(std::min(0.5, std::fabs(ch) / 4), ch);
  const int saved = ctx.color.current;
  for (int j = 0; j < ny; ++j) {
    const uint8_t* row = b.rgba + static_cast<long long>((j + 0.5) * b.height / ny) * b.stride;
    auto pixel = [&](int i) { return row + 4 * static_cast<long long>((i + 0.5) * b.width / nx); };
    int i = 0;
    while (i < nx) {
      const uint8_t* q = pixel(i);
      int run = 1;
      while (i + run < nx && std::equal(q, q + 4, pixel(i + run))) ++run;
      if (q[3] >= 128)
        qqfrec(ctx, x1 + i * cw, y1 + j * ch, x1 + (i + run) * cw + (i + run < nx ? ox : 0),
               y1 + (j + 1) * ch + (j + 1 < ny ? oy : 0), make_explicit(q[0], q[1], q[2]));
      i += run;
    }
  }
  if (ctx.color.current != saved) qqsclr(ctx, saved);
}

}  // namespace

void paint_image(Context& ctx, const PixelBlock& b, double x1, double y1, double x2, double y2) {
  if (!b.rgba || b.width < 1 || b.height < 1) return;
  const double L = 1e7;  // plot units; a rectangle beyond this cannot meet the page
  if (!(std::fabs(x1) < L && std::fabs(x2) < L && std::fabs(y1) < L && std::fabs(y2) < L)) return;
  if (x1 == x2 || y1 == y2) return;
  qqflsh(ctx);
  emit_flush(ctx);
  const double ox = ctx.core.origin_x, oy = ctx.core.origin_y;
  if (paint_raster(ctx, b, x1 + ox, y1 + oy, x2 + ox, y2 + oy)) return;
  if (paint_pdf(ctx, b, x1, y1, x2, y2)) return;
  paint_cells(ctx, b, x1, y1, x2, y2);
}

}  // namespace tavero
