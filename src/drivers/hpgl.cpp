// HPGL (devices 401..405): pen plotter commands in plotter steps, y upwards. Every point is
// one "PU" (move) or "PD" (draw) command; colour indices select pens. Commands are packed
// into lines of 80 characters without being split. Rectangles and areas are hatched by the
// core.
#include <cmath>
#include <string>

#include "core/context.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "drivers/factories.h"
#include "drivers/outbuf.h"
#include "drivers/vecout.h"
#include "tavero_api.h"

namespace tavero {

// --- options

// "STAN" plotters need no initialisation; "ARIS" asks for the full "IN;SP1;LT;PU;" reset at
// the start of the file. The item must be "INIT".
void hpgmod(const char* cmod, const char* ckey) {
  Context* ctx = enter(R::hpgmod);
  if (!ctx) return;
  int mode = lookup_keyword(*ctx, "STAN+ARIS", 2, cmod);
  int item = lookup_keyword(*ctx, "INIT", 1, ckey);
  if (!mode || !item) return;
  ctx->drv.hpgl_mode = mode - 1;
}

namespace {

using vecout::put_int;
using vecout::to_int;

// Plotter steps of the sheets HPA4 .. HPA1: short side, long side.
const double kSheets[4][2] = {
    {7600, 10870}, {10870, 15970}, {13440, 21360}, {21360, 30280}};

class HpglDriver final : public Driver {
 public:
  explicit HpglDriver(Context& ctx)
      : Driver(ctx), out_(ctx.core.plot_file), fields_(out_, 80, false) {
    cmd_.reserve(64);
  }

  bool open() override {
    CoreState& c = ctx_.core;
    DeviceState& d = ctx_.dev;
    double u = vecout::unit_scale(ctx_);
    double W = c.page_w, H = c.page_h;
    double s = 4 * u;
    if (c.device >= 402 && c.device <= 405) {
      const double* sheet = kSheets[c.device - 402];
      double shorter = std::fmax(std::fmin(W, H), 1.0), longer = std::fmax(std::fmax(W, H), 1.0);
      s = std::fmin(sheet[0] / shorter, sheet[1] / longer);
      if (c.scale_mode == 0) s = std::fmin(s, 4 * u);
      // the plotter's x axis runs along the long side of the sheet
      d.map = W > H ? DeviceMap{s, 0, 0, 0, -s, s * H, true}
                    : DeviceMap{0, -s, s * H, -s, 0, s * W, true};
    } else {
      d.map = c.page_mode == 1 ? DeviceMap{0, s, 0, s, 0, 0, true}
                               : DeviceMap{s, 0, 0, 0, -s, s * H, true};
    }
    d.scale = s;
    d.colour_depth = 8;
    if (ctx_.drv.hpgl_mode == 1) out_.put("IN;SP1;LT;PU;\n");
    out_.put(" SP1;\n");
    return true;
  }

  bool finish() override {
    put("PU0,0;");
    fields_.finish();
    out_.drain();
    return true;
  }

  void abandon() override { out_.memory().clear(); }

  void polyline(const double* x, const double* y, int n) override {
    for (int i = 0; i < n; ++i) {
      cmd_.assign(i == 0 ? "PU" : "PD");
      put_int(cmd_, to_int(x[i]));
      cmd_ += ',';
      put_int(cmd_, to_int(y[i]));
      cmd_ += ';';
      put(cmd_);
    }
  }

  void set_color(const DeviceColor& c) override {
    cmd_.assign("SP");
    put_int(cmd_, c.index);
    cmd_ += ';';
    put(cmd_);
  }

 private:
  void put(const std::string& s) {
    if (!fields_.write(s.data(), static_cast<int>(s.size())))
      warn_text(ctx_, 176, "Internal overflow in qqsbuf");
  }

  OutFile out_;
  FieldWriter fields_;
  std::string cmd_;
};

}  // namespace

Driver* make_hpgl_driver(Context& ctx) { return new HpglDriver(ctx); }

}  // namespace tavero
