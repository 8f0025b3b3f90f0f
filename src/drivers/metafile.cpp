// The library's own line metafile ("GKSL"): a header line with the page size in centimetres,
// then 10-character fields with 7 decimals: x and y normalised by the larger page side, a pen
// field whenever the pen changes, colour fields, and an end record.
#include <cstdio>
#include <utility>

#include "core/context.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "drivers/factories.h"
#include "drivers/outbuf.h"
#include "text/fastfmt.h"

namespace tavero {

namespace {

class MetafileDriver final : public Driver {
 public:
  explicit MetafileDriver(Context& ctx)
      : Driver(ctx), out_(ctx.core.plot_file), fields_(out_, 80, false) {}

  bool open() override {
    CoreState& c = ctx_.core;
    DeviceState& d = ctx_.dev;
    int W = c.page_w, H = c.page_h;
    d.scale = 1.0 / (W > H ? W : H);
    d.colour_depth = 8;
    double s = d.scale;
    d.map = c.page_mode == 1 ? DeviceMap{0, s, 0, s, 0, 0, false}
                             : DeviceMap{s, 0, 0, 0, -s, s * H, false};
    double u = c.unit_factor;
    double wcm = W * u / 100.0, hcm = H * u / 100.0;
    if (c.page_mode == 1) std::swap(wcm, hcm);
    char line[64];
    std::snprintf(line, sizeof line, "%10.1f%10.1f\n", wcm, hcm);
    out_.put(line);
    return true;
  }

  void polyline(const double* x, const double* y, int n) override {
    for (int i = 0; i < n; ++i) {
      field(x[i]);
      field(y[i]);
      int pen = i == 0 ? 3 : 2;
      if (pen != last_pen_) {
        put(pen == 3 ? " 3.0000000" : " 2.0000000");
        last_pen_ = pen;
      }
    }
  }

  void set_color(const DeviceColor& c) override {
    int n = c.index == 0 ? 256 : c.index;
    int q = n / 89, r = n % 89;
    if (r == 0) {
      r = 89;
      --q;
    }
    for (int i = 0; i < q; ++i) put("99.0000000");
    field(r + 9);
  }

  bool finish() override {
    qqplot(ctx_, 0, 0, 3);  // pen up at the origin
    emit_flush(ctx_);
    put(" 9.0000000");
    fields_.finish();
    out_.drain();
    return true;
  }

  void abandon() override { out_.memory().clear(); }

 private:
  void put(const char* f) {
    if (!fields_.write(f, 10)) warn_text(ctx_, 176, "Internal overflow in qqsbuf");
  }
  // One "%10.7f" field; values are normalised to the page, so they always fit.
  void field(double v) {
    char num[fastfmt::kMaxFixedLen];
    int n = static_cast<int>(fastfmt::append_fixed(num, v, 7) - num);
    char b[16];
    if (n > 10) n = 10;
    int pad = 10 - n;
    for (int i = 0; i < pad; ++i) b[i] = ' ';
    for (int i = 0; i < n; ++i) b[pad + i] = num[i];
    b[10] = 0;
    put(b);
  }

  OutFile out_;
  FieldWriter fields_;
  int last_pen_ = 0;
};

}  // namespace

Driver* make_metafile_driver(Context& ctx) { return new MetafileDriver(ctx); }

}  // namespace tavero
