// Device fonts as the engine uses them: standard PostScript fonts on PostScript, PDF, SVG and
// IPE, TrueType outlines, bitmap fonts on raster output. Each draws one character of the text run
// or declines, so that the stroke font takes the character.
#include <cmath>
#include <string>
#include <vector>

#include "core/messages.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "drivers/ipe.h"
#include "drivers/pdf.h"
#include "drivers/ps.h"
#include "drivers/svg.h"
#include "text/bdf.h"
#include "text/codepages.h"
#include "text/fontdata/fontdata.h"
#include "text/run.h"
#include "text/truetype.h"

namespace tavero {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kPointsPerPsUnit = 0.28346458 * 0.5;   // 0.05 mm -> points
constexpr double kFixedCell = 1.4;

bool is_ps(int dev) { return dev >= 501 && dev <= 504; }

void device_point(const Context& ctx, double x, double y, double& dx, double& dy) {
  to_device(ctx, x + ctx.core.origin_x, y + ctx.core.origin_y, dx, dy);
}

// Angle of the text direction on the device, counterclockwise as seen on the page.
double device_angle(const Context& ctx) {
  const DeviceMap& m = ctx.dev.map;
  double cx = ctx.text.cos_a, cy = -ctx.text.sin_a;
  double dx = m.a * cx + m.b * cy, dy = m.d * cx + m.e * cy;
  double det = m.a * m.e - m.b * m.d;
  return std::atan2(det < 0 ? dy : -dy, dx) * 180.0 / kPi;
}

// The italic member of a PostScript family, or the font itself.
std::string italic_member(const std::string& name) {
  std::vector<std::string> cands;
  size_t k = name.find("-Roman");
  if (k != std::string::npos) cands.push_back(name.substr(0, k) + "-Italic");
  for (const char* sfx : {"-Italic", "-Oblique", "Italic", "Oblique"}) cands.push_back(name + sfx);
  for (const std::string& c : cands)
    if (fontdata::ps_font_metrics(c)) return c;
  return name;
}

struct PsChoice {
  const fontdata::PsFontMetrics* metrics;
  std::string name;
  bool symbol;
};

// Which PostScript font serves an alphabet (psmode: 0 none, 1 Greek, 2 italic, 3 both).
bool ps_choice(const TextState& ts, const Context& ctx, int alph, PsChoice& out) {
  int mode = ctx.drv.psmode;
  std::string name = ts.device_font;
  if (alph == kGree) {
    if (mode != 1 && mode != 3) return false;
    name = "Symbol";
    out.symbol = true;
  } else if (alph == kItal) {
    if (mode != 2 && mode != 3) return false;
    name = italic_member(name);
    out.symbol = false;
  } else if (alph == kStan) {
    out.symbol = false;
  } else {
    return false;
  }
  out.metrics = fontdata::ps_font_metrics(name);
  out.name = name;
  return out.metrics != nullptr;
}

// Selects a font on the PostScript device when it differs from the one selected last.
void ensure_ps_font(Context& ctx, PostScriptDriver* ps, const std::string& name, double size, double wsize) {
  TextState& ts = ctx.text;
  int idx = ps_font_index(name.c_str());
  if (idx < 0) return;
  double s10 = std::round(size * 10) / 10, w10 = std::round(wsize * 10) / 10;
  if (ts.ps_sel == idx && ts.ps_sel_size == s10 && ts.ps_sel_w == w10) return;
  ps->select_font(idx, s10, wsize > 0 ? w10 : 0.0);
  ts.ps_sel = idx;
  ts.ps_sel_size = s10;
  ts.ps_sel_w = w10;
}

bool ps_glyph(TextRun& r, int alph, int code, double& width, double& gap) {
  Context& ctx = r.ctx;
  if (ctx.dev.plane_projection != 0) return false;  // device fonts cannot follow a 3-D plane
  const int dev = ctx.core.device;
  const bool pdf = dev == 511, svg = dev == 801, ipe = dev == 802;
  if (!is_ps(dev) && !pdf && !svg && !ipe) return false;
  PsChoice ch{};
  if (!ps_choice(r.ts, ctx, alph, ch)) return false;
  if (ipe && ch.symbol) return false;   // Ipe's preamble has Times only: Greek is stroked
  int pscode = ch.symbol ? (code < 127 ? code : 0) : stan_to_ps(code);
  int out_byte = ch.symbol ? pscode : (is_ps(dev) ? pscode : stan_to_winansi(code));
  if (pscode == 0 || out_byte == 0) pscode = out_byte = 32;
  if (ipe && out_byte >= 127 && out_byte <= 160) return false;   // no Latin-1 character there
  const double asc = ch.metrics->ascender > 0 ? ch.metrics->ascender : 1000;
  double w = ch.metrics->widths[pscode] * r.h * r.wf / asc;
  gap = (0.1 + r.spc) * r.h;
  double x0 = 0;
  width = w;
  if (r.fixed) {
    double cell = r.fixfac * kFixedCell * r.wf * (r.h - 1);
    x0 = (cell - w) / 2;
    width = cell;
    gap = r.spc * r.h;
  }
  if (!r.draw || pscode == 32) return true;
  const double size_dev = 1000.0 / asc * r.h * ctx.dev.scale;
  double x, y, dx, dy;
  if (is_ps(dev)) {
    auto* ps = dynamic_cast<PostScriptDriver*>(ctx.driver.get());
    if (!ps) return false;
    double size = size_dev * kPointsPerPsUnit;
    ensure_ps_font(ctx, ps, ch.name, size, r.wf != 1.0 ? size * r.wf : 0.0);
    r.to_page(r.u + x0 + w / 2, r.s, x, y);   // the c procedure centres the character
    device_point(ctx, x, y, dx, dy);
    qqflsh(ctx);
    emit_flush(ctx);
    ps->hw_char(out_byte, dx, dy, static_cast<double>(r.ts.angle));
    return true;
  }
  r.to_page(r.u + x0, r.s, x, y);
  device_point(ctx, x, y, dx, dy);
  qqflsh(ctx);
  emit_flush(ctx);
  if (ipe)
    return ipe_show_char(ctx, ch.name.c_str(), size_dev, r.wf, dx, dy, device_angle(ctx), out_byte);
  char b = static_cast<char>(out_byte);
  if (pdf) {
    int idx = pdf_font_index(ch.name.c_str());
    if (idx < 0) return false;
    pdf_show_text(ctx, idx, size_dev, 100.0 * r.wf, dx, dy, device_angle(ctx), &b, 1);
    return true;
  }
  auto* sv = dynamic_cast<SvgDriver*>(ctx.driver.get());
  if (!sv) return false;
  int isize = static_cast<int>(std::lround(size_dev));
  sv->set_text_font(ch.name.c_str(), isize < 1 ? 1 : isize);
  sv->text(dx, dy, -static_cast<int>(std::lround(device_angle(ctx))), &b, 1);
  return true;
}

// The Unicode character of a code of an alphabet, for fonts addressed by Unicode.
char32_t unicode_of(int alph, int code) {
  int n = 0;
  const char32_t* lay = alphabet_layout(alph, &n);
  if (code < 32 || code >= 32 + n) return 0;
  return lay[code - 32];
}

bool ttf_glyph(TextRun& r, int alph, int code, double& width, double& gap) {
  const TrueTypeFont* f = r.ts.ttf.get();
  if (!f) return false;
  char32_t cp = unicode_of(alph == kItal || alph == kScri ? kStan : alph, code);
  if (code == 32) cp = ' ';
  if (!cp) return false;
  int gid = f->glyph_index(cp);
  if (gid <= 0 && cp != ' ') return false;
  const double sc = (r.h - 1) / f->cap_height;
  double w = f->advance(gid) * sc * r.wf;
  gap = r.spc * r.h;
  double x0 = 0;
  width = w;
  if (r.fixed) {
    double cell = r.fixfac * kFixedCell * r.wf * (r.h - 1);
    x0 = (cell - w) / 2;
    width = cell;
  }
  if (!r.draw || cp == ' ') return true;
  if (gid >= f->num_glyphs) {
    warn_text(r.ctx, 189, "Bad glyph index");
    return true;
  }
  // fewer curve steps for small glyphs and crowded outlines
  double px = (r.h - 1) * r.ctx.dev.scale;
  int steps = px < 12 ? 1 : px < 40 ? 2 : 4;
  std::vector<std::vector<double>> xs, ys;
  int e = f->outline(gid, steps, xs, ys);
  if (e) {
    warn_text(r.ctx, e, e == 187 ? "Overflow for contour points" : e == 188 ? "Bad number of contours" : "Bad glyph index");
    return true;
  }
  std::vector<double> px_, py_;
  const double slope = r.shear + (alph == kItal ? 1.0 / 3.732 : 0.0);
  for (size_t c = 0; c < xs.size(); ++c) {
    if (xs[c].empty()) continue;
    size_t first = px_.size();
    for (size_t i = 0; i < xs[c].size(); ++i) {
      double v = ys[c][i] * sc;
      double uu = xs[c][i] * sc * r.wf + slope * v;
      double x, y;
      r.to_page(r.u + x0 + uu, v + r.s, x, y);
      px_.push_back(x);
      py_.push_back(y);
    }
    px_.push_back(px_[first]);
    py_.push_back(py_[first]);
    if (first > 0) {  // back to the start: the joins between contours cancel in pairs
      px_.push_back(px_[0]);
      py_.push_back(py_[0]);
    }
  }
  if (px_.size() > 2) fill_glyph_polygon(r.ctx, px_.data(), py_.data(), static_cast<int>(px_.size()));
  return true;
}

double bitmap_pixels(const Context& ctx, int h) {
  double s = ctx.dev.scale;
  return h * s * (s < 0.3 ? 1.2 : 1.0);
}

bool bdf_glyph(TextRun& r, int alph, int code, double& width, double& gap) {
  Context& ctx = r.ctx;
  const int dev = ctx.core.device;
  if (!((dev >= 601 && dev <= 700) || dev < 201)) return false;
  if (alph != kStan && alph != kItal) return false;
  char32_t cp = code == 32 ? U' ' : stan_unicode(code);
  if (cp == 0 || cp > 255) return false;
  TextState& ts = r.ts;
  double pix = bitmap_pixels(ctx, r.h);
  int want = kBitmapSizes[0];
  for (int s : kBitmapSizes)
    if (s <= pix + 0.5) want = s;
  if (!ts.bdf || ts.bdf->size != want) {
    auto f = load_bitmap_font(ctx, ts.bitmap_font, pix);
    if (!f) return false;
    ts.bdf = f;
  }
  const BitmapFont& f = *ts.bdf;
  const BitmapGlyph& g = f.glyphs[cp];
  if (!g.present) return false;
  const double s = ctx.dev.scale > 0 ? ctx.dev.scale : 1.0;
  const double q = pix / f.size / s;   // plot units per font pixel
  width = g.advance * q * r.wf;
  gap = r.spc * r.h;
  double x0 = 0;
  if (r.fixed) {
    double cell = r.fixfac * kFixedCell * r.wf * (r.h - 1);
    x0 = (cell - width) / 2;
    width = cell;
  }
  if (!r.draw) return true;
  const double qx = q * r.wf, one = 1.0 / s;
  for (int row = 0; row < g.h; ++row) {
    double v1 = (g.yoff + g.h - row) * q, v0 = v1 - q;
    for (int c = 0; c < g.w;) {
      if (!g.pixel(c, row)) {
        ++c;
        continue;
      }
      int c1 = c;
      while (c1 < g.w && g.pixel(c1, row)) ++c1;
      double u0 = r.u + x0 + (g.xoff + c) * qx, u1 = r.u + x0 + (g.xoff + c1) * qx;
      if (ts.angle == 0) {
        double x1, y1, x2, y2;
        r.to_page(u0, v1 + r.s, x1, y1);
        r.to_page(u1, v0 + r.s, x2, y2);
        qqfrec(ctx, x1, y1, x2 - one, y2 - one, ctx.color.current);
      } else {
        double px[4], py[4];
        r.to_page(u0, v1 + r.s, px[0], py[0]);
        r.to_page(u1, v1 + r.s, px[1], py[1]);
        r.to_page(u1, v0 + r.s, px[2], py[2]);
        r.to_page(u0, v0 + r.s, px[3], py[3]);
        fill_glyph_polygon(ctx, px, py, 4);
      }
      c = c1;
    }
  }
  return true;
}

}  // namespace

void fill_glyph_polygon(Context& ctx, const double* x, const double* y, int n) {
  FillState saved = ctx.fill;
  if (!ctx.text.shdcha) set_fill_pattern(ctx, 16);
  qqfpol(ctx, x, y, n);
  ctx.fill = saved;
}

bool device_glyph(TextRun& r, int alph, int code, double& width, double& gap) {
  switch (r.ts.font_kind) {
    case kPsFont:
      return ps_glyph(r, alph, code, width, gap);
    case kTrueType:
      return ttf_glyph(r, alph, code, width, gap);
    case kBitmapFont:
      return bdf_glyph(r, alph, code, width, gap);
    default:
      return false;
  }
}

void device_font_changed(Context& ctx) {
  TextState& ts = ctx.text;
  if (ts.font_kind != kPsFont || !is_ps(ctx.core.device)) return;
  auto* ps = dynamic_cast<PostScriptDriver*>(ctx.driver.get());
  const fontdata::PsFontMetrics* m = fontdata::ps_font_metrics(ts.device_font);
  if (!ps || !m) return;
  double asc = m->ascender > 0 ? m->ascender : 1000;
  double size = 1000.0 / asc * ts.height * ctx.dev.scale * kPointsPerPsUnit;
  qqflsh(ctx);
  emit_flush(ctx);
  ensure_ps_font(ctx, ps, ts.device_font, size, ts.width_factor != 1.0 ? size * ts.width_factor : 0.0);
}

void select_stroke_font(Context& ctx, int font) {
  TextState& ts = ctx.text;
  ts.font = font;
  ts.font_kind = kStrokeFont;
  ts.device_font[0] = 0;
  ts.ttf.reset();
  ts.bdf.reset();
}

const char32_t* alphabet_layout(int alphabet, int* n) {
  // the largest alphabets: STAN of complx holds every code of the smaller STAN alphabets
  const fontdata::StrokeFont* f = fontdata::stroke_font(3);
  int slot = alphabet >= kStan && alphabet <= kRuss ? alphabet - 1 : 0;
  const fontdata::Alphabet* a = f ? f->alphabets[slot] : nullptr;
  if (!a || !a->unicode) {
    *n = 0;
    static const char32_t kNone[1] = {0};
    return kNone;
  }
  *n = a->n_chars;
  return a->unicode;
}

}  // namespace tavero
