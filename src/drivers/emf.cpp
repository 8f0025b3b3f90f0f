// EMF (device 231): an enhanced Windows metafile in window pixels. The header goes first with
// placeholders and is written again by tavfin, when the file size, the record count and the
// number of object handles are known. Pens are geometric pens so that caps and joins count.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/context.h"
#include "core/messages.h"
#include "drivers/factories.h"
#include "drivers/gdi_meta.h"
#include "drivers/outbuf.h"
#include "drivers/vecout.h"

namespace tavero {

namespace {

enum : uint32_t {
  kEmrHeader = 1, kEmrPolygon = 3, kEmrPolyline = 4, kEmrEof = 14, kEmrSetBkMode = 18,
  kEmrSetPolyFillMode = 19, kEmrMoveTo = 27, kEmrIntersectClipRect = 30, kEmrSaveDc = 33,
  kEmrRestoreDc = 34, kEmrSelectObject = 37, kEmrCreateBrush = 39, kEmrDeleteObject = 40,
  kEmrRectangle = 43, kEmrLineTo = 54, kEmrExtCreatePen = 95,
};

constexpr uint32_t kHeaderSize = 108;  // with the OpenGL and micrometre extensions

class EmfDriver final : public gdi::GdiDriver {
 public:
  explicit EmfDriver(Context& ctx) : GdiDriver(ctx, 1) {}

  bool open() override {
    CoreState& c = ctx_.core;
    DeviceState& d = ctx_.dev;
    const double s = vecout::window_scale(ctx_);
    const double W = c.page_w, H = c.page_h;
    d.scale = s;
    d.colour_depth = 24;
    d.map = c.page_mode == 1 ? DeviceMap{0, s, 0, -s, 0, s * W, true}
                             : DeviceMap{s, 0, 0, 0, s, 0, true};
    pw_ = std::lround(s * (c.page_mode == 1 ? H : W));
    ph_ = std::lround(s * (c.page_mode == 1 ? W : H));
    // the page on paper, enlarged by sclfac like every other format
    mm_per_px_ = c.unit_factor * 0.1 * c.scale_factor / std::fmax(s, 1e-12);
    file_ = std::fopen(c.plot_file_name, "wb");
    if (!file_) {
      warn_code(ctx_, kMsgFileError);
      return false;
    }
    out_.attach(file_);
    header(out_);
    record(kEmrSetBkMode, {1});
    record(kEmrSetPolyFillMode, {1});
    start_drawing(pw_, ph_, c.eff_screen_mode != 2);
    return true;
  }

  bool finish() override {
    b_.b.clear();
    b_.u32(0);
    b_.u32(16);
    b_.u32(20);
    raw(kEmrEof);
    out_.drain();
    // the header again, now with the totals
    gdi::Bytes h;
    bool ok = std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_SET) == 0;
    if (ok) {
      std::string saved;
      OutFile head(file_);
      header(head);
      head.drain();
      ok = std::fflush(file_) == 0;
    }
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok) warn_code(ctx_, kMsgFileError);
    return ok;
  }

  void abandon() override {
    out_.memory().clear();
    if (file_) {
      std::fclose(file_);
      file_ = nullptr;
      std::remove(ctx_.core.plot_file_name);
    }
  }

 protected:
  void rec_pen(int h, uint32_t style, long width, const uint8_t* rgb) override {
    b_.b.clear();
    b_.u32(static_cast<uint32_t>(h));
    b_.u32(0);  // no brush bitmap
    b_.u32(0);
    b_.u32(0);
    b_.u32(0);
    b_.u32(style == gdi::kPsNull ? style : style | gdi::kPsGeometric);
    b_.u32(static_cast<uint32_t>(std::max(width, 1L)));
    b_.u32(0);  // solid brush
    b_.rgb(rgb);
    b_.u32(0);
    b_.u32(0);  // no style entries
    raw(kEmrExtCreatePen);
  }
  void rec_brush(int h, const uint8_t* rgb) override {
    b_.b.clear();
    b_.u32(static_cast<uint32_t>(h));
    b_.u32(0);
    b_.rgb(rgb);
    b_.u32(0);
    raw(kEmrCreateBrush);
  }
  void rec_select(int h) override { record(kEmrSelectObject, {h}); }
  void rec_delete(int h) override { record(kEmrDeleteObject, {h}); }
  void rec_move(long x, long y) override { record(kEmrMoveTo, {x, y}); }
  void rec_line(long x, long y) override { record(kEmrLineTo, {x, y}); }
  void rec_poly(const std::vector<gdi::IPoint>& p, bool closed) override {
    long x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
    for (const gdi::IPoint& q : p) {
      x0 = std::min(x0, q.x);
      x1 = std::max(x1, q.x);
      y0 = std::min(y0, q.y);
      y1 = std::max(y1, q.y);
    }
    b_.b.clear();
    b_.i32(x0);
    b_.i32(y0);
    b_.i32(x1);
    b_.i32(y1);
    b_.u32(static_cast<uint32_t>(p.size()));
    for (const gdi::IPoint& q : p) {
      b_.i32(q.x);
      b_.i32(q.y);
    }
    raw(closed ? kEmrPolygon : kEmrPolyline);
  }
  void rec_rect(long l, long t, long r, long b) override { record(kEmrRectangle, {l, t, r, b}); }
  void rec_save() override { record(kEmrSaveDc, {}); }
  void rec_restore() override { record(kEmrRestoreDc, {-1}); }
  void rec_clip(long l, long t, long r, long b) override {
    record(kEmrIntersectClipRect, {l, t, r, b});
  }
  long coord_limit() const override { return 1L << 26; }

 private:
  void record(uint32_t type, std::initializer_list<long> values) {
    b_.b.clear();
    for (long v : values) b_.i32(v);
    raw(type);
  }

  void raw(uint32_t type) {
    gdi::Bytes h;
    h.u32(type);
    h.u32(8 + static_cast<uint32_t>(b_.b.size()));
    out_.put(h.b);
    out_.put(b_.b);
    bytes_ += 8 + static_cast<uint32_t>(b_.b.size());
    ++records_;
  }

  // ENHMETAHEADER with the description "TAVERO 11.5", "Plot" in UTF-16.
  void header(OutFile& o) {
    static const char kDesc[] = "TAVERO 11.5\0Plot\0";
    const uint32_t nchars = sizeof kDesc;  // both strings, their zeros and the final zero
    const uint32_t desc_bytes = (nchars * 2 + 3) & ~3u;
    gdi::Bytes h;
    h.u32(kEmrHeader);
    h.u32(kHeaderSize + desc_bytes);
    h.i32(0);  // bounds in device units, inclusive
    h.i32(0);
    h.i32(pw_);
    h.i32(ph_);
    h.i32(0);  // frame in 0.01 mm
    h.i32(0);
    h.i32(std::lround(pw_ * mm_per_px_ * 100));
    h.i32(std::lround(ph_ * mm_per_px_ * 100));
    h.u32(0x464D4520u);  // " EMF"
    h.u32(0x00010000u);
    uint32_t total = bytes_ == 0 ? 0 : bytes_ + kHeaderSize + desc_bytes;
    h.u32(total);
    h.u32(records_ + 1);
    h.u16(static_cast<uint32_t>(handle_peak() + 1));
    h.u16(0);
    h.u32(nchars);
    h.u32(kHeaderSize);
    h.u32(0);  // no palette
    const CoreState& c = ctx_.core;
    h.i32(c.win_w);  // the reference device: the window, in pixels and millimetres
    h.i32(c.win_h);
    h.i32(std::lround(c.win_w * mm_per_px_));
    h.i32(std::lround(c.win_h * mm_per_px_));
    h.u32(0);  // no pixel format
    h.u32(0);
    h.u32(0);  // not OpenGL
    h.i32(std::lround(c.win_w * mm_per_px_ * 1000));
    h.i32(std::lround(c.win_h * mm_per_px_ * 1000));
    for (uint32_t i = 0; i < nchars; ++i) h.u16(static_cast<uint8_t>(kDesc[i]));
    while (h.b.size() < kHeaderSize + desc_bytes) h.b.push_back(0);
    o.put(h.b);
  }

  OutFile out_;
  FILE* file_ = nullptr;
  gdi::Bytes b_;
  long pw_ = 0, ph_ = 0;
  double mm_per_px_ = 0.1;
  uint32_t bytes_ = 0, records_ = 0;
};

}  // namespace

Driver* make_emf_driver(Context& ctx) { return new EmfDriver(ctx); }

}  // namespace tavero
