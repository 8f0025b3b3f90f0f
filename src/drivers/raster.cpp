// The raster devices (TIFF, raw image, in-memory image, PNG, PPM, BMP, GIF): the page is an
// image buffer in memory, written as a file by tavfin; and the routines around that buffer:
// formats and their options, export, the imgini phase, pixel access and transparency.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/clock.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/pipeline.h"
#include "drivers/factories.h"
#include "drivers/raster/deflate.h"
#include "drivers/raster_driver.h"
#include "tavero_api.h"

namespace tavero {

using raster::Image;
using raster::Paint;

namespace {

constexpr int kMsgNoImgfin = 54;
constexpr int kMsgNoImgini = 55;
// Intersections of one scan line beyond which a polygon is refused (message 26): far above
// any real plot, low enough that a runaway polygon is caught before it costs memory.
constexpr std::size_t kMaxCrossings = std::size_t(1) << 16;

inline bool is_raster_device(int code) { return code >= 601 && code <= 700; }

// Device coordinates can only be as large as the pipeline lets them, but the rasterisers take
// ints: keep every value well inside.
inline int to_pixel(double v) {
  if (!(v == v)) return 0;
  return static_cast<int>(std::clamp(v, -1.0e9, 1.0e9));
}

uint8_t alpha_byte(double a) { return static_cast<uint8_t>(std::lround(std::clamp(a, 0.0, 1.0) * 255)); }

Paint paint_of(const RasterStore& s, const Context& ctx, const DeviceColor& c, bool fill) {
  Paint p;
  p.index = static_cast<uint8_t>(c.index & 255);
  p.r = c.r;
  p.g = c.g;
  p.b = c.b;
  p.a = 255;
  if (s.tpr && s.img.truecolour() && (fill ? ctx.drv.tpr_fills : ctx.drv.tpr_lines))
    p.a = std::max<uint8_t>(1, alpha_byte(ctx.drv.tpr_alpha));
  return p;
}

void sync_palette(RasterStore& s, const uint32_t* table) {
  uint8_t rgb[768];
  for (int i = 0; i < 256; ++i) {
    rgb[3 * i] = static_cast<uint8_t>(table[i] >> 16);
    rgb[3 * i + 1] = static_cast<uint8_t>(table[i] >> 8);
    rgb[3 * i + 2] = static_cast<uint8_t>(table[i]);
  }
  s.img.set_palette(rgb, 256);
}

// Reports a failed encoder or file write by its status.
void report(Context& ctx, int status) {
  switch (status) {
    case raster::kOk: break;
    case raster::kNoMemory: warn_code(ctx, kMsgNoMemory); break;
    case raster::kZlibError: warn_text(ctx, 126, "ZLIB error"); break;
    case raster::kFileError: warn_code(ctx, kMsgFileError); break;
    default: warn_code(ctx, kMsgIncorrectParameter); break;
  }
}

int write_file(FILE* f, const std::vector<uint8_t>& bytes) {
  if (!f) return raster::kFileError;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
    return raster::kFileError;
  return std::fflush(f) == 0 ? raster::kOk : raster::kFileError;
}

int device_format(int code) {
  switch (code) {
    case 601: return 1;
    case 602: return 2;
    case 604: return 4;
    case 605: return 5;
    case 606: return 6;
    case 607: return 7;
    default: return 0;
  }
}

// ------------------------------------------------------------------------------------------
// The driver

class RasterDriver final : public Driver {
 public:
  RasterDriver(Context& ctx, RasterStore& s) : Driver(ctx), s_(s) {}

  bool open() override {
    CoreState& c = ctx_.core;
    DeviceState& d = ctx_.dev;
    const double W = c.page_w, H = c.page_h;
    const double Wp = c.win_w - 1, Hp = c.win_h - 1;
    const bool turned = c.page_mode == 1;
    const double Wd = turned ? H : W, Hd = turned ? W : H;
    double s = std::min(Wp / std::max(Wd, 1.0), Hp / std::max(Hd, 1.0));
    if (c.scale_mode == 0) {
      double u = c.unit_factor * c.scale_factor;
      double side = c.page_w > c.page_h ? Wp : Hp;
      s = std::min(s, side * u / 2969.0);
    }
    d.scale = s;
    d.map = turned ? DeviceMap{0, s, 0, -s, 0, s * W, true} : DeviceMap{s, 0, 0, 0, s, 0, true};
    const bool tc = c.device == 605 || ctx_.color.image_format == 1;
    d.colour_depth = tc ? 24 : 8;
    if (s_.phase) close_phase_quietly();
    int st = s_.img.create(c.win_w, c.win_h, tc, c.eff_screen_mode == 2);
    if (st != raster::kOk) {
      s_.img.release();
      warn_code(ctx_, kMsgNoMemory);
      return false;
    }
    s_.device = true;
    s_.own = false;
    s_.tpr = false;
    s_.style = raster::StrokeStyle{};
    s_.style.width = 1;
    set_line_cap(ctx_.line.cap);
    set_line_join(ctx_.line.join);
    s_.paint = s_.img.paint_index(0);
    return true;
  }

  void polyline(const double* x, const double* y, int n) override {
    if (rec_ && !to_mask(x, y, n)) close_recording();
    if (n <= 1) {
      outline_.n = 0;
      return;  // a lone move draws nothing
    }
    raster::StrokeStyle st = s_.style;
    Paint p = s_.paint;
    if (s_.tpr && s_.img.truecolour() && ctx_.drv.tpr_lines)
      p.a = std::max<uint8_t>(1, alpha_byte(ctx_.drv.tpr_alpha));
    // translucent thin lines blend through the anti-aliased path, which weighs by alpha
    st.smooth = (ctx_.drv.line_smooth != 0 || p.a < 255) && s_.img.truecolour();
    if (outline_.n > 0 && covered_by_fill(x, y, n, st, p)) return;
    px_.clear();
    py_.clear();
    for (int i = 0; i < n; ++i) {
      int xi = to_pixel(x[i]), yi = to_pixel(y[i]);
      if (!px_.empty() && px_.back() == xi && py_.back() == yi) continue;
      px_.push_back(xi);
      py_.push_back(yi);
    }
    raster::stroke_polyline(s_.img, px_.data(), py_.data(), static_cast<int>(px_.size()), st, p);
  }

  void set_color(const DeviceColor& c) override {
    close_recording();
    outline_.n = 0;
    s_.paint = paint_of(s_, ctx_, c, false);
    if (!s_.img.truecolour()) s_.paint = s_.img.paint_index(c.index);
  }

  bool set_line_width(int w, double) override {
    close_recording();
    if (ctx_.line.hw_line) {
      s_.style.width = std::max(1L, std::lround(w * ctx_.dev.scale));
      return true;
    }
    s_.style.width = 1;
    return false;
  }

  void set_line_cap(int cap) override {
    close_recording();
    s_.style.cap = static_cast<raster::Cap>(std::clamp(cap, 0, 2));
    // a single point looks like a zero-length line with this cap: round caps give a disc
    s_.style.point_shape = cap == 1 ? raster::PointShape::Disc : raster::PointShape::Square;
  }

  void set_line_join(int join) override {
    close_recording();
    s_.style.join = static_cast<raster::Join>(std::clamp(join, 0, 2));
    s_.style.miter_limit = ctx_.line.miter;
  }

  void set_miter_limit(double limit) override {
    close_recording();
    s_.style.miter_limit = limit;
  }

  // The device clip always holds the current window: the core clips centre lines itself, the
  // device trims what grows beyond them (wide lines, polygon fills).
  void set_clip(bool, const int* rect) override {
    close_recording();
    outline_.n = 0;
    double x0, y0, x1, y1;
    to_device(ctx_, rect[0], rect[1], x0, y0);
    to_device(ctx_, rect[2], rect[3], x1, y1);
    s_.img.set_clip(to_pixel(x0), to_pixel(y0), to_pixel(x1), to_pixel(y1));
    s_.img.set_clip_enabled(true);
  }

  void set_palette(const uint32_t* table) override {
    close_recording();
    outline_.n = 0;
    sync_palette(s_, table);
    if (!s_.img.truecolour()) s_.paint = s_.img.paint_index(s_.paint.index);
  }

  bool fill_rect(double x1, double y1, double x2, double y2, const DeviceColor& c) override {
    close_recording();
    outline_.n = 0;
    double a, b, e, f;
    to_device(ctx_, x1, y1, a, b);
    to_device(ctx_, x2, y2, e, f);
    Paint p = paint_of(s_, ctx_, c, true);
    if (!s_.img.truecolour()) p = s_.img.paint_index(c.index);
    raster::fill_rect(s_.img, to_pixel(a), to_pixel(b), to_pixel(e), to_pixel(f), p);
    return true;
  }

  bool fill_polygon(const double* x, const double* y, int n) override {
    if (rec_ && !to_mask(x, y, n)) close_recording();
    outline_.n = 0;
    if (n < 3) return n > 0;
    Paint p = s_.paint;
    if (s_.tpr && s_.img.truecolour()) {
      p.a = ctx_.drv.tpr_fills ? std::max<uint8_t>(1, alpha_byte(ctx_.drv.tpr_alpha)) : 255;
    }
    int st = raster::fill_polygon(s_.img, x, y, n, p, true, kMaxCrossings);
    if (st == raster::kTooManyIntersections)
      warn_number(ctx_, kMsgTooManyIntersections, n);
    else if (st == raster::kNoMemory)
      warn_code(ctx_, kMsgNoMemory);
    else if (st == raster::kOk)
      remember_outline(x, y, n, p);
    return true;
  }

  bool has_polygon_fill() const override { return true; }

  void erase() override {
    close_recording();
    outline_.n = 0;
    s_.img.clear();
  }

  bool finish() override {
    close_recording();
    s_.device = false;
    s_.tpr = false;
    const int code = ctx_.core.device;
    if (code == 603) {
      s_.img.release();  // the in-memory image ends with the plot
      return false;
    }
    std::vector<uint8_t> bytes;
    int st = encode_export(ctx_, device_format(code), bytes);
    if (st == raster::kOk) st = write_file(ctx_.core.plot_file, bytes);
    report(ctx_, st);
    return st == raster::kOk;
  }

  void abandon() override {
    close_recording();
    s_.device = false;
    s_.phase = s_.own = s_.tpr = false;
  }

  bool wrote_file() const override { return ctx_.core.device != 603; }

  // --- reusable drawings. The device points are whole pixels and every rasteriser a plain
  // symbol uses (thin lines, single pixels, the small-polygon filler) sets the same pixels
  // moved when all points move by whole pixels. So a drawing is recorded once as a mask of
  // the pixels it sets, and a later offer whose points, relative to the reference pixel, are
  // the same sets the mask's pixels there, provided they all lie inside the clip rectangle
  // (direct drawing would set exactly those). Translucent, smoothed or wide strokes are
  // always drawn.
  bool keeps_drawings() const override { return true; }

  Reuse begin_reuse(const ReuseOffer& o) override {
    close_recording();
    if (o.n < 1 || o.n > kMaxReusePoints || s_.tpr || s_.style.width >= 2 ||
        s_.paint.a != 255 || (ctx_.drv.line_smooth != 0 && s_.img.truecolour()))
      return Reuse::kDraw;
    const int rx = to_pixel(o.x), ry = to_pixel(o.y);
    long long pattern[2 * kMaxReusePoints];
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (int i = 0; i < o.n; ++i) {
      const int px = to_pixel(o.vx[i]) - rx, py = to_pixel(o.vy[i]) - ry;
      if (std::abs(px) > kMaxReuseExtent || std::abs(py) > kMaxReuseExtent) return Reuse::kDraw;
      pattern[2 * i] = px;
      pattern[2 * i + 1] = py;
      x0 = std::min(x0, px);
      y0 = std::min(y0, py);
      x1 = std::max(x1, px);
      y1 = std::max(y1, py);
    }
    // every pixel lies within the box of the points (thin lines and the filler stay inside)
    const raster::Rect& c = s_.img.clip();
    if (rx + x0 < c.x0 || ry + y0 < c.y0 || rx + x1 > c.x1 || ry + y1 > c.y1)
      return Reuse::kDraw;
    ReuseTable::Entry* e = copies_.find(o.key, pattern, 2 * o.n);
    if (!e || !e->usable) return Reuse::kDraw;
    if (e->number) {
      place_stamp(stamps_[e->number - 1], rx, ry);
      return Reuse::kPlaced;
    }
    if (mask_.create(x1 - x0 + 1, y1 - y0 + 1, false, false) != raster::kOk) {
      mask_.release();
      return Reuse::kDraw;
    }
    rec_ = e;
    rec_x_ = rx;
    rec_y_ = ry;
    mask_x_ = rx + x0;
    mask_y_ = ry + y0;
    page_paint_ = s_.paint;
    std::swap(s_.img, mask_);
    s_.paint = s_.img.paint_index(1);
    outline_.n = 0;
    return Reuse::kRecord;
  }

  void end_reuse() override {
    if (!rec_) return;
    ReuseTable::Entry* e = rec_;
    rec_ = nullptr;
    std::swap(s_.img, mask_);
    s_.paint = page_paint_;
    outline_.n = 0;
    // the mask as runs of set pixels relative to the reference pixel
    Stamp st;
    const int dx = mask_x_ - rec_x_, dy = mask_y_ - rec_y_;
    for (int j = 0; j < mask_.height(); ++j) {
      const uint8_t* row = std::as_const(mask_).row(j);
      for (int i = 0; i < mask_.width();) {
        if (!row[i]) {
          ++i;
          continue;
        }
        const int a = i;
        while (i < mask_.width() && row[i]) ++i;
        st.push_back(Run{dy + j, dx + a, dx + i - 1});
      }
    }
    stamps_.push_back(std::move(st));
    e->number = static_cast<int>(stamps_.size());
    place_stamp(stamps_.back(), rec_x_, rec_y_);
  }

 private:
  void close_phase_quietly() {
    s_.phase = false;
    s_.own = false;
  }

  // --- a filled symbol's outline. The polygon fill draws the thin edges of its outline too;
  // when the polyline that follows runs through the very same points (whole pixels, so
  // both round them alike) in the same opaque paint, thin and unsmoothed, with nothing
  // written in between, every pixel it would set is set already, and it is skipped.
  struct Outline {
    double x[64], y[64];
    int n = 0;   // 0: none
    uint32_t value = 0;
    uint64_t writes = 0;   // the image's write count after the fill
  };

  void remember_outline(const double* x, const double* y, int n, const Paint& p) {
    outline_.n = 0;
    if (n > 64 || p.a != 255) return;
    bool distinct = false;
    for (int i = 0; i < n; ++i) {
      if (!(std::fabs(x[i]) < 1e9 && std::fabs(y[i]) < 1e9)) return;
      if (x[i] != static_cast<double>(static_cast<int>(x[i])) ||
          y[i] != static_cast<double>(static_cast<int>(y[i])))
        return;
      distinct = distinct || x[i] != x[0] || y[i] != y[0];
    }
    if (!distinct) return;   // a lone pixel may be drawn as a dot of the line width
    std::memcpy(outline_.x, x, sizeof(double) * n);
    std::memcpy(outline_.y, y, sizeof(double) * n);
    outline_.value = s_.img.pixel_value(p);
    outline_.writes = s_.img.writes();
    outline_.n = n;
  }

  bool covered_by_fill(const double* x, const double* y, int n, const raster::StrokeStyle& st,
                       const Paint& p) {
    const int m = outline_.n;
    outline_.n = 0;
    return m == n && st.width < 2.0 && !st.smooth && p.a == 255 &&
           s_.img.pixel_value(p) == outline_.value && s_.img.writes() == outline_.writes &&
           std::memcmp(x, outline_.x, sizeof(double) * n) == 0 &&
           std::memcmp(y, outline_.y, sizeof(double) * n) == 0;
  }

  // Anything but lines and fills during a recording ends it; that drawing is not repeated.
  void close_recording() {
    if (!rec_) return;
    rec_->usable = false;
    end_reuse();
  }

  // Moves the points of a recorded drawing into the mask (whole pixels, so exactly).
  bool to_mask(const double*& x, const double*& y, int n) {
    if (n > kMaxReusePoints) return false;
    for (int i = 0; i < n; ++i) {
      mask_px_[i] = x[i] - mask_x_;
      mask_py_[i] = y[i] - mask_y_;
    }
    x = mask_px_;
    y = mask_py_;
    return true;
  }

  struct Run {
    int y, x0, x1;
  };
  using Stamp = std::vector<Run>;

  void place_stamp(const Stamp& st, int rx, int ry) {
    outline_.n = 0;
    uint8_t* base = s_.img.data();
    const std::ptrdiff_t stride = s_.img.stride();
    const uint32_t v = s_.img.pixel_value(s_.paint);
    if (s_.img.truecolour()) {
      for (const Run& r : st) {
        uint32_t* q = reinterpret_cast<uint32_t*>(base + std::ptrdiff_t(ry + r.y) * stride);
        for (int x = rx + r.x0; x <= rx + r.x1; ++x) q[x] = v;
      }
    } else {
      for (const Run& r : st) {
        uint8_t* q = base + std::ptrdiff_t(ry + r.y) * stride;
        for (int x = rx + r.x0; x <= rx + r.x1; ++x) q[x] = static_cast<uint8_t>(v);
      }
    }
  }

  static constexpr int kMaxReusePoints = 64;
  static constexpr int kMaxReuseExtent = 256;   // pixels from the reference point

  RasterStore& s_;
  std::vector<int> px_, py_;
  Outline outline_;   // of the last polygon filled opaquely, for the test above
  ReuseTable copies_;
  std::vector<Stamp> stamps_;
  ReuseTable::Entry* rec_ = nullptr;   // the drawing being recorded into mask_
  Image mask_;
  int rec_x_ = 0, rec_y_ = 0, mask_x_ = 0, mask_y_ = 0;
  Paint page_paint_;
  double mask_px_[kMaxReusePoints], mask_py_[kMaxReusePoints];
};

// ------------------------------------------------------------------------------------------
// PostScript and PDF wrappers of one image

// The image as rows of red, green and blue bytes.
std::vector<uint8_t> rgb_rows(const raster::ImageView& v) {
  std::vector<uint8_t> out(std::size_t(v.width) * v.height * 3);
  uint8_t* o = out.data();
  for (int y = 0; y < v.height; ++y) {
    const uint8_t* r = v.row(y);
    for (int x = 0; x < v.width; ++x, o += 3) {
      const uint8_t* c = v.truecolour ? r + 4 * x : v.palette + 3 * r[x];
      o[0] = c[0];
      o[1] = c[1];
      o[2] = c[2];
    }
  }
  return out;
}

void put(std::vector<uint8_t>& o, const std::string& s) { o.insert(o.end(), s.begin(), s.end()); }

std::string creation_date() {
  DateTime now = now_local();
  char date[16], time[16];
  format_date(now, date);
  format_time(now, time);
  return std::string(date) + " , " + time;
}

// An encapsulated one-page PostScript file: one point per pixel, ASCII-hex RGB image.
int encode_eps(const raster::ImageView& v, std::vector<uint8_t>& out) {
  out.clear();
  if (v.width <= 0 || v.height <= 0) return raster::kBadArgument;
  try {
    std::vector<uint8_t> rgb = rgb_rows(v);
    const std::string w = std::to_string(v.width), h = std::to_string(v.height);
    std::string head;
    head += "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 " + w + " " + h + "\n";
    head += "%%Creator: TAVERO 11.5\n%%CreationDate: " + creation_date() + "\n";
    head += "%%Pages: 1\n%%EndComments\n%%Page: 1 1\n";
    head += "gsave\n" + w + " " + h + " scale\n";
    head += "/line " + std::to_string(3 * v.width) + " string def\n";
    head += w + " " + h + " 8 [" + w + " 0 0 -" + h + " 0 " + h + "]\n";
    head += "{currentfile line readhexstring pop} false 3 colorimage\n";
    out.reserve(head.size() + rgb.size() * 2 + rgb.size() / 36 + 64);
    put(out, head);
    static const char kHex[] = "0123456789ABCDEF";
    int col = 0;
    for (uint8_t b : rgb) {
      out.push_back(static_cast<uint8_t>(kHex[b >> 4]));
      out.push_back(static_cast<uint8_t>(kHex[b & 15]));
      if (++col == 36) {
        out.push_back('\n');
        col = 0;
      }
    }
    if (col) out.push_back('\n');
    put(out, "grestore\nshowpage\n%%Trailer\n%%EOF\n");
  } catch (const std::bad_alloc&) {
    out.clear();
    return raster::kNoMemory;
  }
  return raster::kOk;
}

// A one-page PDF whose page is the image, one point per pixel, compressed with deflate.
int encode_pdf(const raster::ImageView& v, std::vector<uint8_t>& out) {
  out.clear();
  if (v.width <= 0 || v.height <= 0) return raster::kBadArgument;
  try {
    std::vector<uint8_t> rgb = rgb_rows(v), z;
    if (!raster::zlib_compress(rgb.data(), rgb.size(), z)) return raster::kZlibError;
    const std::string w = std::to_string(v.width), h = std::to_string(v.height);
    const std::string content = "q " + w + " 0 0 " + h + " 0 0 cm /Im1 Do Q\n";
    std::vector<std::size_t> offs;
    put(out, "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    auto obj = [&](const std::string& body) {
      offs.push_back(out.size());
      put(out, std::to_string(offs.size()) + " 0 obj\n" + body);
    };
    obj("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
    obj("<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n");
    obj("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + w + " " + h +
        "] /Resources << /XObject << /Im1 5 0 R >> >> /Contents 4 0 R >>\nendobj\n");
    obj("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
        "endstream\nendobj\n");
    obj("<< /Type /XObject /Subtype /Image /Width " + w + " /Height " + h +
        " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /FlateDecode /Length " +
        std::to_string(z.size()) + " >>\nstream\n");
    out.insert(out.end(), z.begin(), z.end());
    put(out, "\nendstream\nendobj\n");
    obj("<< /Producer (TAVERO 11.5) /CreationDate (" + creation_date() + ") >>\nendobj\n");
    const std::size_t xref = out.size();
    put(out, "xref\n0 " + std::to_string(offs.size() + 1) + "\n0000000000 65535 f \n");
    for (std::size_t o : offs) {
      char line[24];
      std::snprintf(line, sizeof line, "%010zu 00000 n \n", o);
      put(out, line);
    }
    put(out, "trailer\n<< /Size " + std::to_string(offs.size() + 1) +
                 " /Root 1 0 R /Info " + std::to_string(offs.size()) +
                 " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n");
  } catch (const std::bad_alloc&) {
    out.clear();
    return raster::kNoMemory;
  }
  return raster::kOk;
}

// ------------------------------------------------------------------------------------------
// helpers of the routines

// The image the routines work on: the raster device's page, or the imgini image.
RasterStore* active_image(Context& ctx) {
  RasterStore* s = ctx.drv.raster.get();
  if (!s || s->img.empty()) return nullptr;
  if (s->device && ctx.driver && is_raster_device(ctx.core.device)) return s;
  if (s->phase) return s;
  return nullptr;
}

// Everything drawn so far reaches the image before pixels are read or written.
void flush_drawing(Context& ctx) {
  qqflsh(ctx);
  emit_flush(ctx);
}

// The image for the pixel routines: message 55 when there is none.
RasterStore* pixel_image(Context& ctx) {
  RasterStore* s = active_image(ctx);
  if (!s) {
    warn_code(ctx, kMsgNoImgini);
    return nullptr;
  }
  flush_drawing(ctx);
  if (s->own) sync_palette(*s, ctx.color.table);
  return s;
}

// The image for the export routines: message 169 when there is none.
RasterStore* export_image(Context& ctx) {
  RasterStore* s = active_image(ctx);
  if (!s) {
    set_custom_message(ctx, "Output format must be a raster format");
    warn_code(ctx, 169);
    return nullptr;
  }
  flush_drawing(ctx);
  if (s->own) sync_palette(*s, ctx.color.table);
  return s;
}

void export_to_file(Context& ctx, int format, const char* cfil) {
  if (!export_image(ctx)) return;
  std::vector<uint8_t> bytes;
  int st = encode_export(ctx, format, bytes);
  if (st == raster::kOk) {
    FILE* f = cfil && *cfil ? std::fopen(cfil, "wb") : nullptr;
    if (!f) {
      warn_code(ctx, kMsgFileError);
      return;
    }
    st = write_file(f, bytes);
    if (std::fclose(f) != 0 && st == raster::kOk) st = raster::kFileError;
  }
  report(ctx, st);
}

// Pixel write that honours imgclp (the image's own clip holds the device window).
bool pixel_clip_ok(const RasterStore& s, int x, int y) {
  const raster::Rect& c = s.pixel_clip;
  if (s.phase && !c.empty() && (x < c.x0 || x > c.x1 || y < c.y0 || y > c.y1)) return false;
  return x >= 0 && y >= 0 && x < s.img.width() && y < s.img.height();
}

// Writes n pixels of the buffer format at (x, y), clipped by imgclp and the image.
void put_pixels(RasterStore& s, int x, int y, const uint8_t* src, int n) {
  const int bpp = s.img.bytes_per_pixel();
  for (int i = 0; i < n; ++i) {
    if (!pixel_clip_ok(s, x + i, y)) continue;
    std::memcpy(s.img.row(y) + std::ptrdiff_t(x + i) * bpp, src + std::ptrdiff_t(i) * bpp, bpp);
  }
}

// Converts caller values (0..255 each) into bytes; warning 2 on the first bad one.
bool to_bytes(Context& ctx, const int* v, std::size_t n, std::vector<uint8_t>& out) {
  out.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (v[i] < 0 || v[i] > 255) {
      warn_number(ctx, kMsgIncorrectParameter, v[i]);
      return false;
    }
    out[i] = static_cast<uint8_t>(v[i]);
  }
  return true;
}

// Paints an imgini image onto the page of a device without an image buffer: one rectangle
// per run of equal pixels of a row.
void paint_own_image(Context& ctx, RasterStore& s) {
  const Image& img = s.img;
  const int w = img.width(), h = img.height();
  const double sx = s.box_w / w, sy = s.box_h / h;
  const int saved = ctx.color.current;
  const int skip = ctx.drv.img_transparent;
  int skip_rgb = -1;
  if (skip >= 0) {
    int r, g, b;
    color_rgb(ctx, skip, r, g, b);
    skip_rgb = make_explicit(r, g, b);
  }
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = img.row(y);
    int x = 0;
    while (x < w) {
      int colour, run = 1;
      if (img.truecolour()) {
        const uint8_t* q = row + 4 * x;
        while (x + run < w && std::memcmp(q, q + 4 * run, 3) == 0) ++run;
        colour = make_explicit(q[0], q[1], q[2]);
        if (colour == skip_rgb) colour = -1;
      } else {
        while (x + run < w && row[x + run] == row[x]) ++run;
        colour = row[x] == skip ? -1 : row[x];
      }
      if (colour >= 0) {
        double x0 = s.box_x + x * sx, x1 = s.box_x + (x + run) * sx;
        double y0 = s.box_y + y * sy, y1 = s.box_y + (y + 1) * sy;
        qqfrec(ctx, x0, y0, x1, y1, colour);
      }
      x += run;
    }
  }
  qqsclr(ctx, saved);
}

void end_phase(Context& ctx, RasterStore& s) {
  if (s.own) {
    if (ctx.driver) paint_own_image(ctx, s);
    s.img.release();
    s.own = false;
  }
  s.phase = false;
  s.pixel_clip = raster::Rect{0, 0, -1, -1};
}

}  // namespace

// ------------------------------------------------------------------------------------------
// store, factory, export encoder, phases

RasterStore* raster_store(Context& ctx) {
  if (!ctx.drv.raster) {
    try {
      ctx.drv.raster = std::make_shared<RasterStore>();
    } catch (const std::bad_alloc&) {
      warn_code(ctx, kMsgNoMemory);
      return nullptr;
    }
  }
  return ctx.drv.raster.get();
}

Driver* make_raster_driver(Context& ctx) {
  RasterStore* s = raster_store(ctx);
  if (!s) return nullptr;
  return new (std::nothrow) RasterDriver(ctx, *s);
}

int encode_export(Context& ctx, int format, std::vector<uint8_t>& out) {
  RasterStore* s = ctx.drv.raster.get();
  if (!s || s->img.empty()) return raster::kBadArgument;
  const Image& img = s->img;
  raster::ImageView v = img.view();
  const DriverSettings& d = ctx.drv;
  if (d.tif_w > 0 || d.tif_x > 0 || d.tif_y > 0) {
    int w = d.tif_w > 0 ? d.tif_w : img.width() - d.tif_x;
    int h = d.tif_h > 0 ? d.tif_h : img.height() - d.tif_y;
    v = v.sub(d.tif_x, d.tif_y, w, h);
  }
  if (v.width <= 0 || v.height <= 0) return raster::kBadArgument;
  if (format == kExportPostScript) return encode_eps(v, out);
  if (format == kExportPdf) return encode_pdf(v, out);
  raster::EncodeOptions o;
  const int bg = ctx.color.background & 255;
  const uint32_t e = ctx.color.table[bg];
  // the colour an untouched pixel has: white for a transparent true-colour background
  raster::Rgb back{uint8_t(e >> 16), uint8_t(e >> 8), uint8_t(e)};
  if (img.truecolour()) back = img.transparent() ? raster::Rgb{255, 255, 255} : raster::Rgb{0, 0, 0};
  o.png.transparent = d.png_transparent != 0;
  o.png.background_index = bg;
  o.png.background = back;
  o.gif.transparent = d.gif_transparent != 0;
  o.gif.background_index = bg;
  o.gif.background = back;
  int fmt = ctx.color.image_format;
  o.tiff.mode = fmt == 1 ? raster::TiffMode::Rgb
                         : fmt == 2 ? raster::TiffMode::Bilevel : raster::TiffMode::Palette;
  o.tiff.resolution = static_cast<uint32_t>(std::max(1, d.tif_resolution));
  o.tiff.unit = static_cast<uint16_t>(d.tif_unit);
  o.tiff.reverse = ctx.core.eff_screen_mode == 2;
  o.bmp.pixels_per_metre = d.bmp_resolution;
  return raster::encode_image(format, v, o, out);
}

void close_image_phase(Context& ctx) {
  RasterStore* s = ctx.drv.raster.get();
  if (!s) return;
  flush_drawing(ctx);
  if (s->phase) end_phase(ctx, *s);
  s->tpr = false;
}

// ------------------------------------------------------------------------------------------
// formats and their options

void imgfmt(const char* copt) {
  Context* ctx = enter(R::imgfmt);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "IND +RGB +BIL ", 3, copt);
  if (k) ctx->color.image_format = static_cast<uint8_t>(k - 1);
}

void bmpmod(int nres, const char* cunit, const char* ckey) {
  Context* ctx = enter(R::bmpmod);
  if (!ctx) return;
  if (!lookup_keyword(*ctx, "RESO", 1, ckey)) return;
  int u = lookup_keyword(*ctx, "METE+INCH+CM  ", 3, cunit);
  if (!u || check_range(*ctx, nres, 1, -1)) return;
  // BMP stores pixels per metre
  static const double kPerMetre[3] = {1.0, 1.0 / 0.0254, 100.0};
  double ppm = std::round(nres * kPerMetre[u - 1]);
  if (ppm > 2147483647.0) {
    warn_number(*ctx, kMsgIncorrectParameter, nres);
    return;
  }
  ctx->drv.bmp_resolution = static_cast<int>(ppm);
  ctx->drv.bmp_unit = u - 1;
}

void tifmod(int nres, const char* cunit, const char* ckey) {
  Context* ctx = enter(R::tifmod);
  if (!ctx) return;
  if (!lookup_keyword(*ctx, "RESO", 1, ckey)) return;
  // TIFF ResolutionUnit: 1 none, 2 inch, 3 centimetre
  int u = lookup_keyword(*ctx, "NONE+INCH+CM  ", 3, cunit);
  if (!u || check_range(*ctx, nres, 1, -1)) return;
  ctx->drv.tif_resolution = nres;
  ctx->drv.tif_unit = u;
}

// The upper left corner of the exported window; its size stays (the rest of the image when
// tifwin gave none).
void tiforg(int nx, int ny) {
  Context* ctx = enter(R::tiforg);
  if (!ctx) return;
  if (nx < 0 || ny < 0) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nx, ny));
    return;
  }
  ctx->drv.tif_x = nx;
  ctx->drv.tif_y = ny;
}

void tifwin(int nx, int ny, int nw, int nh) {
  Context* ctx = enter(R::tifwin);
  if (!ctx) return;
  if (nx < 0 || ny < 0) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nx, ny));
    return;
  }
  if (nw < 1 || nh < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nw, nh));
    return;
  }
  DriverSettings& d = ctx->drv;
  d.tif_x = nx;
  d.tif_y = ny;
  d.tif_w = nw;
  d.tif_h = nh;
}

void gifmod(const char* cmod, const char* ckey) {
  Context* ctx = enter(R::gifmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "OFF +ON  ", 2, cmod);
  if (!k || !lookup_keyword(*ctx, "TRAN", 1, ckey)) return;
  ctx->drv.gif_transparent = k - 1;
}

// Transparency in PNG files is a tRNS chunk: the background index (palette images) or the
// background colour (true colour) becomes fully transparent.
void pngmod(const char* cmod, const char* ckey) {
  Context* ctx = enter(R::pngmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "OFF +ON  ", 2, cmod);
  if (!k || !lookup_keyword(*ctx, "TRAN", 1, ckey)) return;
  ctx->drv.png_transparent = k - 1;
}

// ------------------------------------------------------------------------------------------
// export

void rpng(const char* cfil) {
  if (Context* ctx = enter(R::rpng)) export_to_file(*ctx, 4, cfil);
}
void rgif(const char* cfil) {
  if (Context* ctx = enter(R::rgif)) export_to_file(*ctx, 7, cfil);
}
void rtiff(const char* cfil) {
  if (Context* ctx = enter(R::rtiff)) export_to_file(*ctx, 1, cfil);
}
void wtiff(const char* cfil) {
  if (Context* ctx = enter(R::wtiff)) export_to_file(*ctx, 1, cfil);
}
void rbmp(const char* cfil) {
  if (Context* ctx = enter(R::rbmp)) export_to_file(*ctx, 6, cfil);
}
void rppm(const char* cfil) {
  if (Context* ctx = enter(R::rppm)) export_to_file(*ctx, 5, cfil);
}
void wimage(const char* cfil) {
  if (Context* ctx = enter(R::wimage)) export_to_file(*ctx, 2, cfil);
}

void expimg(const char* cfil, const char* copt) {
  Context* ctx = enter(R::expimg);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "TIFF+IMAG+PNG +PPM +BMP +GIF +PS  +EPS +PDF ", 9, copt);
  if (!k) return;
  static const int kFormat[9] = {1, 2, 4, 5, 6, 7, kExportPostScript, kExportPostScript,
                                 kExportPdf};
  export_to_file(*ctx, kFormat[k - 1], cfil);
}

// The PNG file in the caller's buffer. A null buffer or n = 0 asks for the size; a buffer too
// small gives message 125 with the size needed and the negative size as result.
int rbfpng(char* buf, int n) {
  Context* ctx = enter(R::rbfpng);
  if (!ctx || !export_image(*ctx)) return 0;
  std::vector<uint8_t> bytes;
  int st = encode_export(*ctx, 4, bytes);
  if (st != raster::kOk) {
    report(*ctx, st);
    return 0;
  }
  if (bytes.size() > 2147483647u) {
    warn_code(*ctx, kMsgNoMemory);
    return 0;
  }
  const int need = static_cast<int>(bytes.size());
  if (!buf || n == 0) return need;
  if (n < need) {
    set_custom_message(*ctx, "Buffer too small for PNG file");
    warn_number(*ctx, 125, need);
    return -need;
  }
  std::memcpy(buf, bytes.data(), bytes.size());
  return need;
}

// Reads a raw image file (the format wimage writes) back into the image; its size must be
// the image's size exactly.
void rimage(const char* cfil) {
  Context* ctx = enter(R::rimage);
  if (!ctx) return;
  RasterStore* s = export_image(*ctx);
  if (!s) return;
  FILE* f = cfil && *cfil ? std::fopen(cfil, "rb") : nullptr;
  if (!f) {
    warn_code(*ctx, kMsgFileError);
    return;
  }
  const std::size_t size = s->img.size_bytes();
  std::vector<uint8_t> data;
  bool ok = true;
  try {
    data.resize(size + 1);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (!ok) {
    std::fclose(f);
    warn_code(*ctx, kMsgNoMemory);
    return;
  }
  std::size_t got = std::fread(data.data(), 1, size + 1, f);
  std::fclose(f);
  if (got != size) {
    set_custom_message(*ctx, "Syntax error in image file");
    warn_number(*ctx, 123, static_cast<long long>(got));
    return;
  }
  std::memcpy(s->img.data(), data.data(), size);
}

// ------------------------------------------------------------------------------------------
// the image phase

void imgini() {
  Context* ctx = enter(R::imgini);
  if (!ctx) return;
  RasterStore* s = raster_store(*ctx);
  if (!s) return;
  if (s->phase) {
    warn_code(*ctx, kMsgNoImgfin);
    return;
  }
  flush_drawing(*ctx);
  const DriverSettings& d = ctx->drv;
  if (!(s->device && is_raster_device(ctx->core.device))) {
    int w = d.img_w > 0 ? d.img_w : ctx->core.win_w;
    int h = d.img_h > 0 ? d.img_h : ctx->core.win_h;
    int st = s->img.create(w, h, d.img_mode == 1, false);
    if (st != raster::kOk) {
      s->img.release();
      report(*ctx, st);
      return;
    }
    sync_palette(*s, ctx->color.table);
    s->own = true;
    bool box = d.img_box[2] > 0 && d.img_box[3] > 0;
    s->box_x = box ? d.img_box[0] : 0;
    s->box_y = box ? d.img_box[1] : 0;
    s->box_w = box ? d.img_box[2] : ctx->core.page_w;
    s->box_h = box ? d.img_box[3] : ctx->core.page_h;
  }
  s->pixel_clip = raster::Rect{0, 0, -1, -1};
  if (d.img_clip[2] > 0 && d.img_clip[3] > 0)
    s->pixel_clip = raster::Rect{d.img_clip[0], d.img_clip[1], d.img_clip[0] + d.img_clip[2] - 1,
                                 d.img_clip[1] + d.img_clip[3] - 1};
  s->phase = true;
}

void imgfin() {
  Context* ctx = enter(R::imgfin);
  if (!ctx) return;
  RasterStore* s = ctx->drv.raster.get();
  if (!s || !s->phase) {
    warn_code(*ctx, kMsgNoImgini);
    return;
  }
  flush_drawing(*ctx);
  end_phase(*ctx, *s);
}

namespace {

// The routines that shape the next imgini image refuse while one is open (message 172).
bool phase_open(Context& ctx) {
  RasterStore* s = ctx.drv.raster.get();
  if (s && s->phase) {
    set_custom_message(ctx, "Routine cannot be used between IMGINI and IMGFIN");
    warn_code(ctx, 172);
    return true;
  }
  return false;
}

}  // namespace

void imgmod(const char* cmod) {
  Context* ctx = enter(R::imgmod);
  if (!ctx || phase_open(*ctx)) return;
  int k = lookup_keyword(*ctx, "INDE+RGB ", 2, cmod);
  if (k) ctx->drv.img_mode = k - 1;
}

void imgsiz(int nw, int nh) {
  Context* ctx = enter(R::imgsiz);
  if (!ctx || phase_open(*ctx)) return;
  if (nw < 1 || nh < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nw, nh));
    return;
  }
  ctx->drv.img_w = nw;
  ctx->drv.img_h = nh;
}

void imgbox(int nx, int ny, int nw, int nh) {
  Context* ctx = enter(R::imgbox);
  if (!ctx || phase_open(*ctx)) return;
  if (nw < 1 || nh < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nw, nh));
    return;
  }
  int* b = ctx->drv.img_box;
  b[0] = nx;
  b[1] = ny;
  b[2] = nw;
  b[3] = nh;
}

void imgclp(int nx, int ny, int nw, int nh) {
  Context* ctx = enter(R::imgclp);
  if (!ctx) return;
  if (nx < 0 || ny < 0) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nx, ny));
    return;
  }
  if (nw < 1 || nh < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nw, nh));
    return;
  }
  int* c = ctx->drv.img_clip;
  c[0] = nx;
  c[1] = ny;
  c[2] = nw;
  c[3] = nh;
  RasterStore* s = ctx->drv.raster.get();
  if (s && s->phase) s->pixel_clip = raster::Rect{nx, ny, nx + nw - 1, ny + nh - 1};
}

// A colour index that imgfin leaves unpainted; -1 paints every pixel.
void imgtpr(int ntpr) {
  Context* ctx = enter(R::imgtpr);
  if (!ctx || check_range(*ctx, ntpr, -1, 255)) return;
  ctx->drv.img_transparent = ntpr;
}

// ------------------------------------------------------------------------------------------
// pixels, in image coordinates (0, 0 the upper left pixel). Buffers hold the image's own
// format: one byte per pixel (the colour index) in an indexed image, four bytes (red, green,
// blue, alpha) in a true-colour image. Counts of the row and block routines are counts of
// buffer bytes, so a true-colour row of k pixels is 4 k bytes and the width of a block is
// given in bytes (a multiple of 4).

void wpixel(int ix, int iy, int nclr) {
  Context* ctx = enter(R::wpixel);
  if (!ctx) return;
  RasterStore* s = pixel_image(*ctx);
  if (!s) return;
  if (nclr < 0) {
    warn_number(*ctx, kMsgIncorrectParameter, nclr);
    return;
  }
  if (ix < 0 || iy < 0 || ix >= s->img.width() || iy >= s->img.height()) {
    warn_number(*ctx, kMsgIncorrectParameter, ix < 0 || ix >= s->img.width() ? ix : iy);
    return;
  }
  if (!pixel_clip_ok(*s, ix, iy)) return;
  DeviceColor c = resolve_color(*ctx, nclr);
  uint8_t px[4];
  if (s->img.truecolour()) {
    px[0] = c.r;
    px[1] = c.g;
    px[2] = c.b;
    px[3] = 255;
  } else {
    px[0] = static_cast<uint8_t>(is_explicit(nclr) ? nearest_index(*ctx, c.r, c.g, c.b)
                                                   : nclr & 255);
  }
  put_pixels(*s, ix, iy, px, 1);
}

// The colour of a pixel: its index in an indexed image, the explicit colour in true colour.
int rpixel(int ix, int iy) {
  Context* ctx = enter(R::rpixel);
  if (!ctx) return -1;
  RasterStore* s = pixel_image(*ctx);
  if (!s) return -1;
  Paint p;
  if (!s->img.get_pixel(ix, iy, p)) {
    warn_number(*ctx, kMsgIncorrectParameter, ix < 0 || ix >= s->img.width() ? ix : iy);
    return -1;
  }
  return s->img.truecolour() ? make_explicit(p.r, p.g, p.b) : p.index;
}

namespace {

// Checks a byte count against the image's pixel size; the pixel count or -1 after warning 2.
int pixels_of(Context& ctx, const RasterStore& s, int nbytes) {
  const int bpp = s.img.bytes_per_pixel();
  if (nbytes < 1 || nbytes % bpp) {
    warn_number(ctx, kMsgIncorrectParameter, nbytes);
    return -1;
  }
  return nbytes / bpp;
}

bool origin_ok(Context& ctx, const RasterStore& s, int ix, int iy) {
  if (ix < 0 || iy < 0 || ix >= s.img.width() || iy >= s.img.height()) {
    warn_number(ctx, kMsgIncorrectParameter, ix < 0 || ix >= s.img.width() ? ix : iy);
    return false;
  }
  return true;
}

}  // namespace

void wpxrow(const int* iray, int ix, int iy, int n) {
  Context* ctx = enter(R::wpxrow);
  if (!ctx) return;
  RasterStore* s = pixel_image(*ctx);
  if (!s || !origin_ok(*ctx, *s, ix, iy)) return;
  int np = pixels_of(*ctx, *s, n);
  std::vector<uint8_t> bytes;
  if (np < 0 || !iray || !to_bytes(*ctx, iray, std::size_t(n), bytes)) return;
  put_pixels(*s, ix, iy, bytes.data(), std::min(np, s->img.width() - ix));
}

// Pixels beyond the right edge of the image read as zero bytes.
void rpxrow(char* iray, int ix, int iy, int n) {
  Context* ctx = enter(R::rpxrow);
  if (!ctx || !iray) return;
  RasterStore* s = pixel_image(*ctx);
  if (!s || !origin_ok(*ctx, *s, ix, iy)) return;
  int np = pixels_of(*ctx, *s, n);
  if (np < 0) return;
  std::memset(iray, 0, std::size_t(n));
  s->img.read_row(ix, iy, reinterpret_cast<uint8_t*>(iray), np);
}

void wpixls(const int* iray, int ix, int iy, int nw, int nh) {
  Context* ctx = enter(R::wpixls);
  if (!ctx) return;
  RasterStore* s = pixel_image(*ctx);
  if (!s || !origin_ok(*ctx, *s, ix, iy)) return;
  int np = pixels_of(*ctx, *s, nw);
  if (np < 0) return;
  if (nh < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, nh);
    return;
  }
  std::vector<uint8_t> bytes;
  if (!iray || !to_bytes(*ctx, iray, std::size_t(nw) * std::size_t(nh), bytes)) return;
  const int rows = std::min(nh, s->img.height() - iy), cols = std::min(np, s->img.width() - ix);
  for (int r = 0; r < rows; ++r)
    put_pixels(*s, ix, iy + r, bytes.data() + std::size_t(r) * std::size_t(nw), cols);
}

void rpixls(char* iray, int ix, int iy, int nw, int nh) {
  Context* ctx = enter(R::rpixls);
  if (!ctx || !iray) return;
  RasterStore* s = pixel_image(*ctx);
  if (!s || !origin_ok(*ctx, *s, ix, iy)) return;
  int np = pixels_of(*ctx, *s, nw);
  if (np < 0) return;
  if (nh < 1) {
    warn_number(*ctx, kMsgIncorrectParameter, nh);
    return;
  }
  std::memset(iray, 0, std::size_t(nw) * std::size_t(nh));
  const int rows = std::min(nh, s->img.height() - iy);
  for (int r = 0; r < rows; ++r)
    s->img.read_row(ix, iy + r, reinterpret_cast<uint8_t*>(iray) + std::size_t(r) * nw, np);
}

namespace {

// Plot point (origin shift added) -> image pixel: through the device mapping on a raster
// device, through the imgbox placement for an imgini image.
void plot_to_pixel(Context& ctx, const RasterStore* s, int ix, int iy, int& px, int& py) {
  double x = double(ix) + ctx.core.origin_x, y = double(iy) + ctx.core.origin_y;
  if (s && s->own) {
    px = static_cast<int>(std::floor((x - s->box_x - ctx.core.origin_x) * s->img.width() / s->box_w));
    py = static_cast<int>(std::floor((y - s->box_y - ctx.core.origin_y) * s->img.height() / s->box_h));
    return;
  }
  double dx, dy;
  to_device(ctx, x, y, dx, dy);
  px = to_pixel(dx);
  py = to_pixel(dy);
}

}  // namespace

int nxpixl(int ix, int iy) {
  Context* ctx = enter(R::nxpixl);
  if (!ctx) return 0;
  int px, py;
  plot_to_pixel(*ctx, active_image(*ctx), ix, iy, px, py);
  return px;
}

int nypixl(int ix, int iy) {
  Context* ctx = enter(R::nypixl);
  if (!ctx) return 0;
  int px, py;
  plot_to_pixel(*ctx, active_image(*ctx), ix, iy, px, py);
  return py;
}

// ------------------------------------------------------------------------------------------
// transparency: between tprini and tprfin, lines and fills of a true-colour image are laid
// over the image with the opacity of tprval

void tprini() {
  Context* ctx = enter(R::tprini);
  if (!ctx) return;
  RasterStore* s = active_image(*ctx);
  if (!s) {
    set_custom_message(*ctx, "Output format must be a raster format");
    warn_code(*ctx, 169);
    return;
  }
  if (!s->img.truecolour()) {
    set_custom_message(*ctx, "Output format must be in RGB mode");
    warn_code(*ctx, 170);
    return;
  }
  if (s->tpr) {
    set_custom_message(*ctx, "Transparency is already in use");
    warn_code(*ctx, 171);
    return;
  }
  flush_drawing(*ctx);
  s->tpr = true;
  qqsclr(*ctx, ctx->color.current);  // the pen takes the opacity
}

void tprfin() {
  Context* ctx = enter(R::tprfin);
  if (!ctx) return;
  RasterStore* s = ctx->drv.raster.get();
  if (!s || !s->tpr) {
    set_custom_message(*ctx, "Transparency is not in use");
    warn_code(*ctx, 174);
    return;
  }
  flush_drawing(*ctx);
  s->tpr = false;
  if (ctx->driver) qqsclr(*ctx, ctx->color.current);
}

// What the opacity applies to: "LINE", "FILL" or "ALL", switched "ON" or "OFF".
void tprmod(const char* cmod, const char* ckey) {
  Context* ctx = enter(R::tprmod);
  if (!ctx) return;
  int on = lookup_keyword(*ctx, "OFF +ON  ", 2, cmod);
  int item = lookup_keyword(*ctx, "LINE+FILL+ALL ", 3, ckey);
  if (!on || !item) return;
  flush_drawing(*ctx);
  if (item != 2) ctx->drv.tpr_lines = on - 1;
  if (item != 1) ctx->drv.tpr_fills = on - 1;
}

void tprval(double xval) {
  Context* ctx = enter(R::tprval);
  if (!ctx) return;
  if (!(xval >= 0.0 && xval <= 1.0)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  flush_drawing(*ctx);
  ctx->drv.tpr_alpha = xval;
  RasterStore* s = ctx->drv.raster.get();
  if (s && s->tpr && ctx->driver) qqsclr(*ctx, ctx->color.current);
}

}  // namespace tavero
