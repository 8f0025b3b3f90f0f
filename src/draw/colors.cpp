// Colour tables, the named colours, colour conversions, the colour routines and the colour of
// a value.
//
// Colour table files (vltfil): plain text, one entry per line, "index red green blue" with
// integers (index 0..255, channels 0..255); a line of three numbers "red green blue" takes the
// index after the previous entry (0 for the first). Blank lines and text after '#' are
// ignored. SAVE writes all 256 entries in the four-number form after a comment header.
#include "draw/colors.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "tavero_api.h"

namespace tavero {

namespace {

inline uint32_t rgb(int r, int g, int b) {
  return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
         static_cast<uint32_t>(b);
}
inline int red_of(uint32_t e) { return static_cast<int>((e >> 16) & 255); }
inline int green_of(uint32_t e) { return static_cast<int>((e >> 8) & 255); }
inline int blue_of(uint32_t e) { return static_cast<int>(e & 255); }

// --- predefined tables

struct Anchor {
  int i, r, g, b;
};

// Linear runs between anchor entries, rounded half up.
void fill_anchors(uint32_t* t, const Anchor* a, int n) {
  for (int k = 0; k + 1 < n; ++k) {
    const Anchor& p = a[k];
    const Anchor& q = a[k + 1];
    for (int i = p.i; i <= q.i; ++i) {
      double f = double(i - p.i) / (q.i - p.i);
      auto ch = [f](int u, int v) { return static_cast<int>(std::floor(u + (v - u) * f + 0.5)); };
      t[i] = rgb(ch(p.r, q.r), ch(p.g, q.g), ch(p.b, q.b));
    }
  }
}

const Anchor kRainbow[] = {{1, 34, 0, 68},     {5, 51, 0, 102},   {13, 51, 0, 170},
                           {18, 34, 0, 204},   {22, 34, 0, 238},  {26, 17, 0, 255},
                           {30, 0, 0, 255},    {96, 0, 255, 255}, {106, 0, 255, 217},
                           {117, 0, 255, 170}, {126, 0, 255, 95}, {132, 0, 255, 51},
                           {138, 0, 255, 0},   {146, 68, 255, 0}, {187, 235, 255, 0},
                           {192, 255, 255, 0}, {254, 255, 0, 0}};
const Anchor kSpectrum[] = {{1, 255, 0, 255}, {52, 0, 0, 255},    {102, 0, 255, 255},
                            {153, 0, 255, 0}, {204, 255, 255, 0}, {254, 255, 0, 0}};

const int kNamedDefault[9] = {0x01FFFFFF, 0x010000FF, 0x0100FF00, 0x0100FFFF, 0x01FF0000,
                              0x010080FF, 0x01FFFF00, 0x01FF00FF, 0x01000000};
const int kNamedGrey[9] = {0x01FFFFFF, 0x01E6E6E6, 0x01B9B9B9, 0x01969696, 0x015F5F5F,
                           0x01D7D7D7, 0x01AFAFAF, 0x016E6E6E, 0x01000000};
constexpr int kBlack = 0x01000000;
constexpr int kWhite = 0x01FFFFFF;

inline bool reversed(int t) { return t == kVltRrai || t == kVltRspe || t == kVltRgre; }
inline bool grey_like(int t) { return t == kVltSmal || t == kVltGrey || t == kVltRgre; }
// The entry that trades places with entry 0 when the screen is reversed.
inline int partner_of_zero(int t) { return t == kVltSmal ? 1 : t == kVltVga ? 15 : 255; }

void load_entries(ColorState& c, int t, bool paper) {
  uint32_t* e = c.table;
  switch (t) {
    case kVltSmal: {
      const uint32_t s[9] = {rgb(0, 0, 0),     rgb(255, 255, 255), rgb(255, 0, 0),
                             rgb(0, 255, 0),   rgb(0, 0, 255),     rgb(255, 255, 0),
                             rgb(255, 128, 0), rgb(0, 255, 255),   rgb(255, 0, 255)};
      for (int i = 0; i < 9; ++i) e[i] = s[i];
      if (paper) std::swap(e[0], e[1]);
      break;
    }
    case kVltVga: {
      const int v[16][3] = {{0, 0, 0},     {0, 0, 170},    {0, 170, 0},    {0, 170, 170},
                            {170, 0, 0},   {170, 0, 170},  {170, 85, 0},   {170, 170, 170},
                            {85, 85, 85},  {85, 85, 255},  {85, 255, 85},  {85, 255, 255},
                            {255, 85, 85}, {255, 85, 255}, {255, 255, 85}, {255, 255, 255}};
      for (int i = 0; i < 16; ++i) e[i] = rgb(v[i][0], v[i][1], v[i][2]);
      if (paper) {
        e[0] = rgb(255, 255, 255);
        e[15] = rgb(0, 0, 0);
      }
      break;
    }
    case kVltGrey:
    case kVltRgre:
      for (int i = 0; i < 256; ++i) e[i] = rgb(i, i, i);
      break;
    case kVltTemp:
      for (int i = 0; i < 256; ++i) {
        int r = i < 150 ? static_cast<int>(1.7 * i + 0.5) : 255;
        int g = i < 120 ? 0 : static_cast<int>(1.8888888888888888 * (i - 120) + 0.5);
        int b = i < 190 ? 0 : static_cast<int>(3.923076923076923 * (i - 190) + 0.5);
        e[i] = rgb(r, g, b);
      }
      break;
    case kVltRain:
    case kVltRrai:
      e[0] = rgb(0, 0, 0);
      e[255] = rgb(255, 255, 255);
      fill_anchors(e, kRainbow, sizeof kRainbow / sizeof kRainbow[0]);
      break;
    default:  // SPEC, RSPE
      e[0] = rgb(0, 0, 0);
      e[255] = rgb(255, 255, 255);
      fill_anchors(e, kSpectrum, sizeof kSpectrum / sizeof kSpectrum[0]);
      break;
  }
  if (reversed(t))
    for (int i = 0; i < 128; ++i) std::swap(e[i], e[255 - i]);
}

// Accepts c within lo - tol .. hi + tol (NaN never).
inline bool within(double c, double lo, double hi, double tol) {
  return c >= lo - tol && c <= hi + tol;
}

inline bool is_paper(int dev) { return dev == 501 || dev == 211 || dev == 221; }

// After a table entry changed: palette devices get the table; when the current colour is
// that index, it is selected again so that what follows is drawn in the new colour.
void table_changed(Context& ctx, int first, int last) {
  send_palette(ctx);
  int cur = ctx.color.current;
  if (!is_explicit(cur) && (cur & 255) >= first && (cur & 255) <= last) qqsclr(ctx, cur);
}

}  // namespace

// ------------------------------------------------------------------------------------------
// conversions

int channel_byte(double c) {
  int v = static_cast<int>(255.0 * c + 0.5);
  return v < 0 ? 0 : v > 255 ? 255 : v;
}

int nearest_index(const Context& ctx, int r, int g, int b) {
  const ColorState& c = ctx.color;
  int best = 0, bestd = 1 << 30;
  for (int i = 0; i < c.usable; ++i) {
    uint32_t e = c.table[i];
    int d = std::abs(red_of(e) - r) + std::abs(green_of(e) - g) + std::abs(blue_of(e) - b);
    if (d == 0) return i;
    if (d < bestd) {
      bestd = d;
      best = i;
    }
  }
  return best;
}

void color_rgb(const Context& ctx, int colour, int& r, int& g, int& b) {
  if (is_explicit(colour)) {
    r = colour & 255;
    g = (colour >> 8) & 255;
    b = (colour >> 16) & 255;
    return;
  }
  uint32_t e = ctx.color.table[colour & 255];
  r = red_of(e);
  g = green_of(e);
  b = blue_of(e);
}

DeviceColor resolve_color(const Context& ctx, int colour) {
  DeviceColor d;
  d.value = colour;
  int r, g, b;
  color_rgb(ctx, colour, r, g, b);
  if (is_explicit(colour)) {
    d.is_index = false;
    d.index = nearest_index(ctx, r, g, b);
    if (ctx.dev.colour_depth == 8) color_rgb(ctx, d.index, r, g, b);
  } else {
    d.index = colour & 255;
  }
  d.r = static_cast<uint8_t>(r);
  d.g = static_cast<uint8_t>(g);
  d.b = static_cast<uint8_t>(b);
  return d;
}

void send_palette(Context& ctx) {
  int dev = ctx.core.device;
  if (ctx.driver && (dev < 101 || (dev >= 501 && dev <= 700)))
    ctx.driver->set_palette(ctx.color.table);
}

void reset_color_cycle(Context& ctx) {
  for (int j = 1; j <= 30; ++j) {
    int k = j % 8;
    ctx.color.cycle[j - 1] = ctx.color.named[(k == 0 ? 8 : k) - 1];
  }
}

// ------------------------------------------------------------------------------------------
// loading a predefined table (setvlt and the reset)

void load_color_table(Context& ctx, int t) {
  ColorState& c = ctx.color;
  const int dev = ctx.core.device;
  const bool paper = is_paper(dev);
  const bool depth8 = ctx.dev.colour_depth == 8;
  c.table_name = t;
  c.usable = t == kVltSmal ? 9 : t == kVltVga ? 16 : 256;
  const int* named = (t == kVltGrey || t == kVltRgre) ? kNamedGrey : kNamedDefault;
  for (int i = 0; i < 9; ++i) c.named[i] = named[i];

  // white and black of the named colours by device
  if (grey_like(t)) {
    c.named[kNamedBlac] = c.named[kNamedWhit];
    if (t == kVltSmal && paper) c.named[kNamedBlac] = c.named[kNamedWhit] = kBlack;
  }
  const bool plain = t == kVltRain || t == kVltSpec || t == kVltGrey || t == kVltTemp;
  if (plain && (dev == 211 || dev == 221)) c.named[kNamedWhit] = kBlack;
  if (reversed(t)) {
    if (paper)
      c.named[kNamedWhit] = c.named[kNamedBlac] = kBlack;
    else if (depth8)
      std::swap(c.named[kNamedWhit], c.named[kNamedBlac]);
  }
  if (t == kVltVga && paper) {
    c.named[kNamedBlac] = kWhite;
    c.named[kNamedWhit] = kBlack;
  }

  if (c.table_kept)
    c.table_kept = 0;
  else
    load_entries(c, t, paper);

  c.foreground = 255;
  c.background = 0;
  c.below = 0;
  c.above = 255;
  if ((paper || dev == 701) && plain) {
    c.background = 255;
    c.foreground = 0;
  } else if (t == kVltSmal) {
    c.above = 9;
    c.foreground = 1;
  } else if (t == kVltVga) {
    c.above = 15;
    c.foreground = 15;
  } else if (reversed(t) && !depth8 && !paper && dev != 231) {
    c.background = 255;
    c.foreground = 0;
  }
  c.range_first = 1;
  c.range_last = c.above - 1;

  // white background: the table is reversed at its ends
  const bool white_bg_device =
      dev < 101 || dev == 502 || dev == 503 || dev == 504 || dev == 511 || dev == 231 || dev >= 601;
  if (ctx.core.eff_screen_mode == 2 && white_bg_device) {
    std::swap(c.table[0], c.table[partner_of_zero(t)]);
    std::swap(c.below, c.above);
    if (grey_like(t))
      c.named[kNamedWhit] = c.named[kNamedBlac] = kBlack;
    else
      std::swap(c.named[kNamedWhit], c.named[kNamedBlac]);
  }
  reset_color_cycle(ctx);
  send_palette(ctx);
  qqsclr(ctx, c.foreground);
}

// ------------------------------------------------------------------------------------------
// colour of a value

void set_color_scaling(Context& ctx, double za, double ze, bool log_axis, double user_lo,
                       double user_hi, bool from_data) {
  ColorState& c = ctx.color;
  c.scale_za = za;
  c.scale_ze = ze;
  c.scale_log = log_axis;
  if (log_axis) {
    c.scale_lo = from_data ? user_lo : std::pow(10.0, za);
    c.scale_hi = from_data ? user_hi : std::pow(10.0, ze);
  } else {
    c.scale_lo = za;
    c.scale_hi = ze;
  }
  if (c.scale_hi < c.scale_lo) std::swap(c.scale_lo, c.scale_hi);
  double span = ze - za;
  c.scale_f = std::fabs(span) < 1e-35 ? 0 : (c.range_last - c.range_first + 1) / span;
}

int color_of_value(const Context& ctx, double v) {
  const ColorState& c = ctx.color;
  int below = c.below, above = c.above;
  if (c.scale_ze <= c.scale_za) std::swap(below, above);
  if (std::isnan(v) || v < c.scale_lo) return below;
  if (v > c.scale_hi) return above;
  double t = c.scale_log ? std::log10(v) : v;
  double k = (t - c.scale_za) * c.scale_f + c.range_first;
  if (!std::isfinite(k)) return c.range_first;
  int idx = static_cast<int>(k);
  if (idx == c.range_first - 1) idx = c.range_first;
  if (idx == c.range_last + 1) idx = c.range_last;
  return idx;
}

void reset_colors(Context& ctx) {
  ctx.color.current = 0;
  load_color_table(ctx, ctx.core.device == 501 ? kVltRgre : kVltRain);
}

// ==========================================================================================
// public routines: the current colour

void color(const char* cname) {
  Context* ctx = enter(R::color);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "WHIT+RED +GREE+YELL+BLUE+ORAN+CYAN+MAGE+BLAC+FORE+BACK+GRAY+HALF",
                         13, cname);
  if (!k) return;
  const ColorState& c = ctx->color;
  int value;
  if (k <= 9) {
    value = c.named[k - 1];
  } else if (k == 10) {
    value = c.foreground;
  } else if (k == 11) {
    value = c.background;
  } else if (k == 12) {
    value = make_explicit(128, 128, 128);
  } else {
    int r1, g1, b1, r2, g2, b2;
    color_rgb(*ctx, c.foreground, r1, g1, b1);
    color_rgb(*ctx, c.background, r2, g2, b2);
    value = make_explicit((r1 + r2 + 1) / 2, (g1 + g2 + 1) / 2, (b1 + b2 + 1) / 2);
  }
  qqsclr(*ctx, value);
}

void setclr(int nclr) {
  Context* ctx = enter(R::setclr);
  if (!ctx || check_range(*ctx, nclr, 0, -1)) return;
  qqsclr(*ctx, nclr);
}

void setrgb(double xr, double xg, double xb) {
  Context* ctx = enter(R::setrgb);
  if (!ctx) return;
  if (!within(xr, 0, 1, 0.001) || !within(xg, 0, 1, 0.001) || !within(xb, 0, 1, 0.001)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  qqsclr(*ctx, make_explicit(channel_byte(xr), channel_byte(xg), channel_byte(xb)));
}

int getclr() {
  Context* ctx = enter(R::getclr);
  return ctx ? ctx->color.current : 0;
}

void getrgb(double* xr, double* xg, double* xb) {
  Context* ctx = enter(R::getrgb);
  if (!ctx) return;
  int r, g, b;
  color_rgb(*ctx, ctx->color.current, r, g, b);
  *xr = r / 255.0;
  *xg = g / 255.0;
  *xb = b / 255.0;
}

// ==========================================================================================
// the colour table

void setvlt(const char* ctab) {
  Context* ctx = enter(R::setvlt);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "SMAL+RAIN+SPEC+GREY+RRAI+RSPE+RGRE+VGA +TEMP", 9, ctab);
  if (k) load_color_table(*ctx, k - 1);
}

void setind(int index, double xr, double xg, double xb) {
  Context* ctx = enter(R::setind);
  if (!ctx || check_range(*ctx, index, 0, 255)) return;
  if (!within(xr, 0, 1, 1e-35) || !within(xg, 0, 1, 1e-35) || !within(xb, 0, 1, 1e-35)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->color.table[index] = rgb(channel_byte(xr), channel_byte(xg), channel_byte(xb));
  table_changed(*ctx, index, index);
}

void myvlt(const double* xr, const double* xg, const double* xb, int n) {
  Context* ctx = enter(R::myvlt);
  if (!ctx || check_range(*ctx, n, 1, 256)) return;
  for (int i = 0; i < n; ++i) {
    if (!within(xr[i], 0, 1, 1e-35) || !within(xg[i], 0, 1, 1e-35) ||
        !within(xb[i], 0, 1, 1e-35)) {
      warn_code(*ctx, kMsgIncorrectParameter);
      return;
    }
  }
  // round half away from zero; the values are not negative beyond the tolerance
  auto byte = [](double c) {
    int v = static_cast<int>(std::floor(255.0 * c + 0.5));
    return v < 0 ? 0 : v > 255 ? 255 : v;
  };
  ColorState& c = ctx->color;
  for (int i = 0; i < n; ++i) c.table[i] = rgb(byte(xr[i]), byte(xg[i]), byte(xb[i]));
  if (ctx->core.level == 0)
    c.table_kept = 1;
  else
    table_changed(*ctx, 0, n - 1);
}

void getind(int index, double* xr, double* xg, double* xb) {
  Context* ctx = enter(R::getind);
  if (!ctx || check_range(*ctx, index, 0, 255)) return;
  uint32_t e = ctx->color.table[index];
  *xr = red_of(e) / 255.0;
  *xg = green_of(e) / 255.0;
  *xb = blue_of(e) / 255.0;
}

void getvlt(double* xr, double* xg, double* xb, int n) {
  Context* ctx = enter(R::getvlt);
  if (!ctx || check_range(*ctx, n, 1, 256)) return;
  for (int i = 0; i < n; ++i) {
    uint32_t e = ctx->color.table[i];
    xr[i] = red_of(e) / 255.0;
    xg[i] = green_of(e) / 255.0;
    xb[i] = blue_of(e) / 255.0;
  }
}

void revscr() {
  Context* ctx = enter(R::revscr);
  if (!ctx) return;
  ColorState& c = ctx->color;
  std::swap(c.table[0], c.table[partner_of_zero(c.table_name)]);
  int dev = ctx->core.device;
  if (dev >= 501 && dev <= 511)
    qqsclr(*ctx, c.current);
  else
    send_palette(*ctx);
}

void colran(int nca, int nce) {
  Context* ctx = enter(R::colran);
  if (!ctx || check_range(*ctx, nca, 0, 255) || check_range(*ctx, nce, 0, 255)) return;
  ctx->color.range_first = nca;
  ctx->color.range_last = nce;
}

void getran(int* nca, int* nce) {
  Context* ctx = enter(R::getran);
  if (!ctx) return;
  *nca = ctx->color.range_first;
  *nce = ctx->color.range_last;
}

void clrcyc(int index, int nclr) {
  Context* ctx = enter(R::clrcyc);
  if (!ctx || check_range(*ctx, index, 1, 30) || check_range(*ctx, nclr, 0, -1)) return;
  ctx->color.cycle[index - 1] = nclr;
}

void clrmod(const char* cmod) {
  Context* ctx = enter(R::clrmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "NONE+FULL+CONT", 3, cmod);
  if (k) ctx->color.clr_mode = static_cast<uint8_t>(k - 1);
}

// ==========================================================================================
// conversions between the colour forms

int intrgb(double xr, double xg, double xb) {
  Context* ctx = enter(R::intrgb);
  if (!ctx) return -1;
  if (!within(xr, 0, 1, 0.001) || !within(xg, 0, 1, 0.001) || !within(xb, 0, 1, 0.001))
    return -1;
  return make_explicit(channel_byte(xr), channel_byte(xg), channel_byte(xb));
}

int indrgb(double xr, double xg, double xb) {
  Context* ctx = enter(R::indrgb);
  if (!ctx) return -1;
  if (!within(xr, 0, 1, 0.001) || !within(xg, 0, 1, 0.001) || !within(xb, 0, 1, 0.001)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return -1;
  }
  return nearest_index(*ctx, channel_byte(xr), channel_byte(xg), channel_byte(xb));
}

void hsvrgb(double xh, double xs, double xv, double* xr, double* xg, double* xb) {
  Context* ctx = enter(R::hsvrgb);
  if (!ctx) return;
  if (!within(xh, 0, 360, 0.0001) || !within(xs, 0, 1, 0.0001) || !within(xv, 0, 1, 0.0001)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  double s = std::fmin(std::fmax(xs, 0.0), 1.0), v = std::fmin(std::fmax(xv, 0.0), 1.0);
  double h = std::fmax(xh, 0.0) / 60.0;
  if (h >= 6.0) h = 0.0;  // 360 degrees is red again
  int sector = static_cast<int>(h);
  double f = h - sector;
  double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
  double r, g, b;
  switch (sector) {
    case 0: r = v; g = t; b = p; break;
    case 1: r = q; g = v; b = p; break;
    case 2: r = p; g = v; b = t; break;
    case 3: r = p; g = q; b = v; break;
    case 4: r = t; g = p; b = v; break;
    default: r = v; g = p; b = q; break;
  }
  *xr = r;
  *xg = g;
  *xb = b;
}

void rgbhsv(double xr, double xg, double xb, double* xh, double* xs, double* xv) {
  Context* ctx = enter(R::rgbhsv);
  if (!ctx) return;
  if (!within(xr, 0, 1, 0.0001) || !within(xg, 0, 1, 0.0001) || !within(xb, 0, 1, 0.0001)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  double mx = std::fmax(xr, std::fmax(xg, xb)), mn = std::fmin(xr, std::fmin(xg, xb));
  double s = mx > 0 ? (mx - mn) / mx : 0.0;
  double h = 0.0;
  if (s > 0) {
    double d = mx - mn;
    double r1 = (mx - xr) / d, g1 = (mx - xg) / d, b1 = (mx - xb) / d;
    if (xr == mx)
      h = xg == mn ? 5 + b1 : 1 - g1;
    else if (xg == mx)
      h = xb == mn ? 1 + r1 : 3 - b1;
    else
      h = xr == mn ? 3 + g1 : 5 - r1;
    h *= 60.0;
  }
  *xh = h;
  *xs = s;
  *xv = mx;
}

// ==========================================================================================
// colour table files

namespace {

bool save_table(const ColorState& c, const char* name) {
  FILE* f = std::fopen(name, "w");
  if (!f) return false;
  std::fprintf(f, "# tavero colour table: index red green blue (0..255)\n");
  for (int i = 0; i < 256; ++i)
    std::fprintf(f, "%d %d %d %d\n", i, red_of(c.table[i]), green_of(c.table[i]),
                 blue_of(c.table[i]));
  return std::fclose(f) == 0;
}

// Reads integers of one line; false on anything that is not an integer.
bool read_numbers(const char* s, long* v, int& count) {
  count = 0;
  while (*s) {
    if (*s == '#' || *s == '\n' || *s == '\r') break;
    if (std::isspace(static_cast<unsigned char>(*s)) || *s == ',') {
      ++s;
      continue;
    }
    char* end = nullptr;
    long x = std::strtol(s, &end, 10);
    if (end == s || count == 4) return false;
    if (*end && !std::isspace(static_cast<unsigned char>(*end)) && *end != ',' && *end != '#')
      return false;
    v[count++] = x;
    s = end;
  }
  return true;
}

// 0 loaded, 1 file error, 2 read error. The table changes only when the whole file is good.
int load_table(ColorState& c, const char* name) {
  FILE* f = std::fopen(name, "r");
  if (!f) return 1;
  uint32_t table[256];
  for (int i = 0; i < 256; ++i) table[i] = c.table[i];
  char line[512];
  int next = 0, entries = 0, status = 0;
  while (std::fgets(line, sizeof line, f)) {
    long v[4];
    int n;
    if (!read_numbers(line, v, n)) {
      status = 2;
      break;
    }
    if (n == 0) continue;
    if (n != 3 && n != 4) {
      status = 2;
      break;
    }
    long idx = n == 4 ? v[0] : next;
    const long* ch = n == 4 ? v + 1 : v;
    if (idx < 0 || idx > 255 || ch[0] < 0 || ch[0] > 255 || ch[1] < 0 || ch[1] > 255 ||
        ch[2] < 0 || ch[2] > 255) {
      status = 2;
      break;
    }
    table[idx] = rgb(int(ch[0]), int(ch[1]), int(ch[2]));
    next = int(idx) + 1;
    ++entries;
  }
  std::fclose(f);
  if (status == 0 && entries == 0) status = 2;
  if (status == 0)
    for (int i = 0; i < 256; ++i) c.table[i] = table[i];
  return status;
}

}  // namespace

void vltfil(const char* cfil, const char* cmod) {
  Context* ctx = enter(R::vltfil);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "SAVE+LOAD", 2, cmod);
  if (!k) return;
  const char* name = cfil ? cfil : "";
  if (k == 1) {
    if (!save_table(ctx->color, name)) warn_string(*ctx, kMsgFileError, name);
    return;
  }
  int status = load_table(ctx->color, name);
  if (status == 1)
    warn_string(*ctx, kMsgFileError, name);
  else if (status == 2)
    warn_text(*ctx, 119, "Read error");
  else
    table_changed(*ctx, 0, 255);
}

}  // namespace tavero
