// Font selection: the stroke and outline fonts of the library, the standard PostScript fonts
// (psfont), TrueType files (ttfont), bitmap fonts (bmpfnt) and the window-system fonts,
// which this platform does not have.
#include <cstring>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "core/strutil.h"
#include "tavero_api.h"
#include "text/bdf.h"
#include "text/engine.h"
#include "text/fontdata/fontdata.h"
#include "text/truetype.h"

namespace tavero {

namespace {

void stroke(R r, int font) {
  Context* ctx = enter(r);
  if (!ctx) return;
  select_stroke_font(*ctx, font);
}

bool ps_like(int dev) { return (dev >= 501 && dev <= 504) || dev == 511 || dev == 801 || dev == 802; }

// The first four standard fonts are the only ones IPE documents may name.
bool ipe_font(const char* name) {
  for (const char* n : {"Times-Roman", "Times-Bold", "Times-Italic", "Times-BoldItalic"})
    if (fontdata::ps_font_metrics(name) == fontdata::ps_font_metrics(n)) return true;
  return false;
}

void select_ps_font(Context& ctx, const char* cfont) {
  const int dev = ctx.core.device;
  if (!ps_like(dev)) {
    warn_code(ctx, 49);
    return;
  }
  const fontdata::PsFontMetrics* m = fontdata::ps_font_metrics(cfont ? cfont : "");
  if (dev == 802 && m && !ipe_font(m->name)) {
    warn_code(ctx, 49);
    return;
  }
  if (!m) {
    warn_text(ctx, kMsgIncorrectParameter, "Not a standard PostScript font");
    warn_string(ctx, kMsgIncorrectParameter, cfont ? cfont : "");
    m = fontdata::ps_font_metrics("Times-Roman");
    if (!m) return;
  }
  TextState& ts = ctx.text;
  select_stroke_font(ctx, ts.font);
  ts.font_kind = kPsFont;
  copy_field(ts.device_font, m->name);
  ts.ps_sel = -1;   // the font forms are written again
  device_font_changed(ctx);
}

}  // namespace

void tavalf() { stroke(R::tavalf, 1); }
void complx() { stroke(R::complx, 3); }
void simplx() { stroke(R::simplx, 4); }
void duplx() { stroke(R::duplx, 5); }
void triplx() { stroke(R::triplx, 6); }
void gothic() { stroke(R::gothic, 7); }
void helve() { stroke(R::helve, 11); }
void helves() { stroke(R::helves, 12); }
void helvet() { stroke(R::helvet, 13); }
void serif() { stroke(R::serif, 14); }

void psfont(const char* cfont) {
  Context* ctx = enter(R::psfont);
  if (!ctx) return;
  select_ps_font(*ctx, cfont);
}

// Window fonts exist only on the Windows screen and in Windows metafiles.
void winfnt(const char* cfont) {
  Context* ctx = enter(R::winfnt);
  if (!ctx) return;
  (void)cfont;
  warn_text(*ctx, 153, "Window fonts cannot be used");
}

void x11fnt(const char* cfont, const char* copt) {
  Context* ctx = enter(R::x11fnt);
  if (!ctx) return;
  (void)cfont;
  (void)copt;
  warn_text(*ctx, 154, "X11 fonts cannot be used");
}

void bmpfnt(const char* copt) {
  Context* ctx = enter(R::bmpfnt);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "COMP+SIMP+HELV", 3, copt);
  if (!k) return;
  const int dev = ctx->core.device;
  if (ctx->core.level == 0 || !((dev >= 601 && dev <= 700) || dev < 201)) {
    warn_text(*ctx, 157, "Bitmat fonts can only be used for raster output");
    return;
  }
  double s = ctx->dev.scale;
  double pixels = ctx->text.height * s * (s < 0.3 ? 1.2 : 1.0);
  auto f = load_bitmap_font(*ctx, k, pixels);
  if (!f) return;
  TextState& ts = ctx->text;
  select_stroke_font(*ctx, ts.font);
  ts.font_kind = kBitmapFont;
  ts.bitmap_font = k;
  ts.bdf = f;
}

void ttfont(const char* cfil) {
  Context* ctx = enter(R::ttfont);
  if (!ctx) return;
  auto f = load_truetype(*ctx, cfil);
  if (!f) return;
  TextState& ts = ctx->text;
  select_stroke_font(*ctx, ts.font);
  ts.font_kind = kTrueType;
  copy_field(ts.device_font, cfil);
  ts.ttf = f;
}

// The natural font of the device: Times-Roman where PostScript fonts apply, else complx
// (this platform has no window fonts for the screen).
void hwfont() {
  Context* ctx = enter(R::hwfont);
  if (!ctx) return;
  if (ps_like(ctx->core.device)) {
    select_ps_font(*ctx, "Times-Roman");
  } else {
    select_stroke_font(*ctx, 3);
  }
}

}  // namespace tavero
