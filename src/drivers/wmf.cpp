// WMF (device 221): a Windows metafile written record by record, in twips of the plot. The
// records go to a temporary file "<name>.tmp" while the plot runs; tavfin writes the final
// file: the placeable header when `wmfmod` asks for it, the metafile header (which needs the
// size, the largest record and the number of objects) and the records.
//
// This file also holds the drawing logic shared with EMF (drivers/gdi_meta.h).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "core/context.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "drivers/factories.h"
#include "drivers/gdi_meta.h"
#include "drivers/outbuf.h"
#include "tavero_api.h"

namespace tavero {

// "STAN" writes a plain metafile, "PLAC" puts the placeable header (bounding box and units
// per inch) in front of it. The item must be "FORM".
void wmfmod(const char* cmod, const char* ckey) {
  Context* ctx = enter(R::wmfmod);
  if (!ctx) return;
  int mode = lookup_keyword(*ctx, "STAN+PLAC", 2, cmod);
  int item = lookup_keyword(*ctx, "FORM", 1, ckey);
  if (!mode || !item) return;
  ctx->drv.wmf_mode = mode - 1;
}

// ------------------------------------------------------------------------------------------
// The GDI drawing state shared by WMF and EMF

namespace gdi {

long GdiDriver::to_long(double v) const {
  const long lim = coord_limit();
  if (!(v == v)) return 0;
  if (v > lim) return lim;
  if (v < -lim) return -lim;
  return std::lround(v);
}

void GdiDriver::start_drawing(long page_w, long page_h, bool black_page) {
  page_w_ = page_w;
  page_h_ = page_h;
  static const uint8_t kBlack[3] = {0, 0, 0};
  neutral_pen_ = handles_.take();
  rec_pen(neutral_pen_, kPsNull, 0, kBlack);
  neutral_brush_ = handles_.take();
  rec_brush(neutral_brush_, kBlack);
  if (black_page) {
    use_fill(kBlack);
    rec_rect(0, 0, page_w + 1, page_h + 1);
  }
  line_pen_dirty_ = true;
}

void GdiDriver::replace_pen(int& handle, uint32_t style, long width, const uint8_t* rgb) {
  int old = handle;
  handle = handles_.take();
  rec_pen(handle, style, width, rgb);
  rec_select(handle);
  selected_pen_ = handle;
  if (old >= 0) {
    rec_delete(old);
    handles_.give(old);
  }
}

void GdiDriver::use_line_pen() {
  if (line_pen_dirty_ || line_pen_ < 0) {
    static const uint32_t kCap[3] = {kCapFlat, kCapRound, kCapSquare};
    static const uint32_t kJoin[3] = {kJoinMiter, kJoinRound, kJoinBevel};
    uint32_t style = kPsSolid | kCap[cap_ < 0 || cap_ > 2 ? 2 : cap_] |
                     kJoin[join_ < 0 || join_ > 2 ? 2 : join_];
    replace_pen(line_pen_, style, width_, rgb_);
    line_pen_dirty_ = false;
  } else if (selected_pen_ != line_pen_) {
    rec_select(line_pen_);
    selected_pen_ = line_pen_;
  }
}

void GdiDriver::use_fill(const uint8_t* rgb) {
  if (fill_pen_ < 0 || std::memcmp(fill_pen_rgb_, rgb, 3) != 0) {
    std::memcpy(fill_pen_rgb_, rgb, 3);
    replace_pen(fill_pen_, kPsSolid, 0, rgb);
  } else if (selected_pen_ != fill_pen_) {
    rec_select(fill_pen_);
    selected_pen_ = fill_pen_;
  }
  if (brush_ < 0 || std::memcmp(brush_rgb_, rgb, 3) != 0) {
    std::memcpy(brush_rgb_, rgb, 3);
    int old = brush_;
    brush_ = handles_.take();
    rec_brush(brush_, rgb);
    rec_select(brush_);
    selected_brush_ = brush_;
    if (old >= 0) {
      rec_delete(old);
      handles_.give(old);
    }
  } else if (selected_brush_ != brush_) {
    rec_select(brush_);
    selected_brush_ = brush_;
  }
}

void GdiDriver::reselect_current() {
  selected_pen_ = selected_brush_ = -1;
  if (brush_ >= 0) {
    rec_select(brush_);
    selected_brush_ = brush_;
  }
  if (line_pen_ >= 0 && !line_pen_dirty_) {
    rec_select(line_pen_);
    selected_pen_ = line_pen_;
  }
}

void GdiDriver::polyline(const double* x, const double* y, int n) {
  if (n < 2) return;
  use_line_pen();
  if (n == 2) {
    rec_move(to_long(x[0]), to_long(y[0]));
    rec_line(to_long(x[1]), to_long(y[1]));
    return;
  }
  pts_.clear();
  for (int i = 0; i < n; ++i) pts_.push_back({to_long(x[i]), to_long(y[i])});
  rec_poly(pts_, false);
}

void GdiDriver::set_color(const DeviceColor& c) {
  if (rgb_[0] == c.r && rgb_[1] == c.g && rgb_[2] == c.b && line_pen_ >= 0) return;
  rgb_[0] = c.r;
  rgb_[1] = c.g;
  rgb_[2] = c.b;
  line_pen_dirty_ = true;
}

// With the hardware line width off the pen stays thin and the core draws the width.
bool GdiDriver::set_line_width(int w, double fraction) {
  (void)w;
  long px = ctx_.line.hw_line ? std::lround(fraction * ctx_.dev.scale) : 1;
  if (px < 1) px = 1;
  if (px != width_) line_pen_dirty_ = true;
  width_ = px;
  return ctx_.line.hw_line != 0;
}

void GdiDriver::set_line_cap(int cap) {
  if (cap != cap_) line_pen_dirty_ = true;
  cap_ = cap;
}

void GdiDriver::set_line_join(int join) {
  if (join != join_) line_pen_dirty_ = true;
  join_ = join;
}

// The device clip always holds the current window (the core clips lines itself; the clip
// trims fills). The whole page needs no clip.
void GdiDriver::set_clip(bool, const int* rect) {
  if (saved_) {
    rec_restore();
    saved_ = 0;
    reselect_current();
  }
  const CoreState& c = ctx_.core;
  if (rect[0] <= 0 && rect[1] <= 0 && rect[2] >= c.page_w && rect[3] >= c.page_h) return;
  // saved states refer to the neutral objects only
  rec_select(neutral_pen_);
  rec_select(neutral_brush_);
  rec_save();
  saved_ = 1;
  reselect_current();
  double x0, y0, x1, y1;
  to_device(ctx_, rect[0], rect[1], x0, y0);
  to_device(ctx_, rect[2], rect[3], x1, y1);
  // the clip rectangle excludes its right and bottom edges
  rec_clip(to_long(std::fmin(x0, x1)), to_long(std::fmin(y0, y1)), to_long(std::fmax(x0, x1)) + 1,
           to_long(std::fmax(y0, y1)) + 1);
}

bool GdiDriver::fill_rect(double x1, double y1, double x2, double y2, const DeviceColor& c) {
  double a, b, e, f;
  to_device(ctx_, x1, y1, a, b);
  to_device(ctx_, x2, y2, e, f);
  const uint8_t rgb[3] = {c.r, c.g, c.b};
  use_fill(rgb);
  rec_rect(to_long(std::fmin(a, e)), to_long(std::fmin(b, f)), to_long(std::fmax(a, e)) + 1,
           to_long(std::fmax(b, f)) + 1);
  return true;
}

bool GdiDriver::fill_polygon(const double* x, const double* y, int n) {
  if (n < 3) return n > 0;
  // cut to a margin around the page: keeps every coordinate in the format's range
  const double m = 4;
  pts_ = clip_polygon(x, y, n, -m, -m, page_w_ + m, page_h_ + m);
  if (pts_.size() < 3) return true;
  if (pts_.size() > 16000) return false;  // beyond a record's point count: the core hatches
  use_fill(rgb_);
  rec_poly(pts_, true);
  return true;
}

}  // namespace gdi

// ------------------------------------------------------------------------------------------
// The WMF writer

namespace {

constexpr double kTwipsPerPlotUnit = 5.6692914962768555;
constexpr double kWmfLimit = 32700;

enum : uint16_t {
  kMetaEof = 0x0000, kMetaSaveDc = 0x001E, kMetaSetBkMode = 0x0102, kMetaSetMapMode = 0x0103,
  kMetaSetPolyFillMode = 0x0106, kMetaRestoreDc = 0x0127, kMetaSelectObject = 0x012D,
  kMetaDeleteObject = 0x01F0, kMetaSetWindowOrg = 0x020B, kMetaSetWindowExt = 0x020C,
  kMetaLineTo = 0x0213, kMetaMoveTo = 0x0214, kMetaCreatePen = 0x02FA,
  kMetaCreateBrush = 0x02FC, kMetaPolygon = 0x0324, kMetaPolyline = 0x0325,
  kMetaIntersectClipRect = 0x0416, kMetaRectangle = 0x041B,
};

class WmfDriver final : public gdi::GdiDriver {
 public:
  explicit WmfDriver(Context& ctx) : GdiDriver(ctx, 0) {}

  bool open() override {
    CoreState& c = ctx_.core;
    DeviceState& d = ctx_.dev;
    const double u = c.unit_factor * c.scale_factor;
    const double W = c.page_w, H = c.page_h;
    const double longest = std::fmax(std::fmax(W, H), 1.0);
    double s = kTwipsPerPlotUnit * u;
    if (s * longest > kWmfLimit) s = u;
    if (s * longest > kWmfLimit) s = kWmfLimit / longest;  // still too large: fit the page
    d.scale = s;
    d.colour_depth = 24;
    d.map = c.page_mode == 1 ? DeviceMap{0, s, 0, -s, 0, s * W, true}
                             : DeviceMap{s, 0, 0, 0, s, 0, true};
    units_per_inch_ = 254.0 * s / u;
    long pw = std::lround(s * (c.page_mode == 1 ? H : W));
    long ph = std::lround(s * (c.page_mode == 1 ? W : H));
    tmp_name_ = std::string(c.plot_file_name) + ".tmp";
    tmp_ = std::fopen(tmp_name_.c_str(), "wb");
    if (!tmp_) {
      warn_text(ctx_, kMsgFileError, "Open error for WMF file");
      return false;
    }
    out_.attach(tmp_);
    record(kMetaSetMapMode, {8});  // anisotropic: the window maps onto the player's frame
    record(kMetaSetWindowOrg, {0, 0});
    record(kMetaSetWindowExt, {static_cast<long>(ph), static_cast<long>(pw)});
    record(kMetaSetBkMode, {1});  // transparent
    record(kMetaSetPolyFillMode, {1});  // alternate (even-odd)
    // paper: the colour table gives dark lines on white, so no page is painted
    start_drawing(pw, ph, false);
    return true;
  }

  bool finish() override {
    record(kMetaEof, {});
    out_.drain();
    bool ok = std::fflush(tmp_) == 0;
    std::fclose(tmp_);
    tmp_ = nullptr;
    ok = ok && write_final();
    std::remove(tmp_name_.c_str());
    if (!ok) warn_code(ctx_, kMsgFileError);
    return ok;
  }

  void abandon() override {
    out_.memory().clear();
    if (tmp_) {
      std::fclose(tmp_);
      tmp_ = nullptr;
      std::remove(tmp_name_.c_str());
    }
  }

 protected:
  void rec_pen(int, uint32_t style, long width, const uint8_t* rgb) override {
    b_.b.clear();
    b_.u16(style & 0xFFFF);
    b_.i16(width);
    b_.i16(0);
    b_.rgb(rgb);
    raw_record(kMetaCreatePen);
    objects_ = std::max(objects_, handle_peak());
  }
  void rec_brush(int, const uint8_t* rgb) override {
    b_.b.clear();
    b_.u16(0);  // solid
    b_.rgb(rgb);
    b_.u16(0);
    raw_record(kMetaCreateBrush);
    objects_ = std::max(objects_, handle_peak());
  }
  void rec_select(int h) override { record(kMetaSelectObject, {h}); }
  void rec_delete(int h) override { record(kMetaDeleteObject, {h}); }
  void rec_move(long x, long y) override { record(kMetaMoveTo, {y, x}); }
  void rec_line(long x, long y) override { record(kMetaLineTo, {y, x}); }
  void rec_poly(const std::vector<gdi::IPoint>& p, bool closed) override {
    b_.b.clear();
    b_.i16(static_cast<long>(p.size()));
    for (const gdi::IPoint& q : p) {
      b_.i16(q.x);
      b_.i16(q.y);
    }
    raw_record(closed ? kMetaPolygon : kMetaPolyline);
  }
  void rec_rect(long l, long t, long r, long b) override {
    record(kMetaRectangle, {b, r, t, l});
  }
  void rec_save() override { record(kMetaSaveDc, {}); }
  void rec_restore() override { record(kMetaRestoreDc, {-1}); }
  void rec_clip(long l, long t, long r, long b) override {
    record(kMetaIntersectClipRect, {b, r, t, l});
  }
  long coord_limit() const override { return 32767; }

 private:
  void record(uint16_t fn, std::initializer_list<long> words) {
    b_.b.clear();
    for (long w : words) b_.i16(w);
    raw_record(fn);
  }

  // Header (size in 16-bit words and the function), then the parameters.
  void raw_record(uint16_t fn) {
    uint32_t words = 3 + static_cast<uint32_t>(b_.b.size() / 2);
    gdi::Bytes h;
    h.u32(words);
    h.u16(fn);
    out_.put(h.b);
    out_.put(b_.b);
    size_words_ += words;
    if (words > max_record_) max_record_ = words;
  }

  bool write_final() {
    const CoreState& c = ctx_.core;
    FILE* src = std::fopen(tmp_name_.c_str(), "rb");
    if (!src) return false;
    FILE* dst = std::fopen(c.plot_file_name, "wb");
    if (!dst) {
      std::fclose(src);
      return false;
    }
    gdi::Bytes h;
    if (ctx_.drv.wmf_mode == 1) {
      h.u32(0x9AC6CDD7u);
      h.u16(0);
      h.i16(0);
      h.i16(0);
      h.i16(page_w_);
      h.i16(page_h_);
      h.u16(static_cast<uint32_t>(std::lround(std::fmin(std::fmax(units_per_inch_, 1.0), 65535.0))));
      h.u32(0);
      uint16_t sum = 0;
      for (size_t i = 0; i < h.b.size(); i += 2)
        sum ^= static_cast<uint16_t>(static_cast<uint8_t>(h.b[i]) |
                                     (static_cast<uint8_t>(h.b[i + 1]) << 8));
      h.u16(sum);
    }
    h.u16(1);       // in memory
    h.u16(9);       // header words
    h.u16(0x0300);  // version
    h.u32(size_words_ + 9);
    h.u16(static_cast<uint32_t>(objects_));
    h.u32(max_record_);
    h.u16(0);
    bool ok = std::fwrite(h.b.data(), 1, h.b.size(), dst) == h.b.size();
    char buf[65536];
    size_t n;
    while (ok && (n = std::fread(buf, 1, sizeof buf, src)) > 0)
      ok = std::fwrite(buf, 1, n, dst) == n;
    std::fclose(src);
    ok = std::fclose(dst) == 0 && ok;
    return ok;
  }

  OutFile out_;
  FILE* tmp_ = nullptr;
  std::string tmp_name_;
  gdi::Bytes b_;
  uint32_t size_words_ = 0, max_record_ = 0;
  int objects_ = 0;
  double units_per_inch_ = 1440;
};

}  // namespace

Driver* make_wmf_driver(Context& ctx) { return new WmfDriver(ctx); }

}  // namespace tavero
