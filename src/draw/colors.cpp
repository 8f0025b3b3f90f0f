// Colour tables, the named colours and the colour of a value.
#include "draw/colors.h"

#include <cmath>
#include <cstdlib>

#include "draw/pipeline.h"

namespace tavero {

namespace {

enum Table { kSmal = 0, kRain, kSpec, kGrey, kRrai, kRspe, kRgre, kVga, kTemp };

inline uint32_t rgb(int r, int g, int b) {
  return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
         static_cast<uint32_t>(b);
}

struct Anchor {
  int i, r, g, b;
};

// Linear runs between anchor entries, rounded.
void fill_anchors(uint32_t* t, const Anchor* a, int n) {
  for (int k = 0; k + 1 < n; ++k) {
    const Anchor& p = a[k];
    const Anchor& q = a[k + 1];
    for (int i = p.i; i <= q.i; ++i) {
      double f = q.i == p.i ? 0 : double(i - p.i) / (q.i - p.i);
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
const Anchor kSpectrum[] = {{1, 255, 0, 255},  {52, 0, 0, 255},  {102, 0, 255, 255},
                            {153, 0, 255, 0},  {204, 255, 255, 0}, {254, 255, 0, 0}};

const int kNamedDefault[9] = {0x01FFFFFF, 0x010000FF, 0x0100FF00, 0x0100FFFF, 0x01FF0000,
                              0x010080FF, 0x01FFFF00, 0x01FF00FF, 0x01000000};
const int kNamedGrey[9] = {0x01FFFFFF, 0x01E6E6E6, 0x01B9B9B9, 0x01969696, 0x015F5F5F,
                           0x01D7D7D7, 0x01AFAFAF, 0x016E6E6E, 0x01000000};
enum { kWhit = 0, kBlac = 8 };

void load_entries(ColorState& c, int t, bool paper) {
  uint32_t* e = c.table;
  switch (t) {
    case kSmal: {
      const uint32_t s[9] = {rgb(0, 0, 0),     rgb(255, 255, 255), rgb(255, 0, 0),
                             rgb(0, 255, 0),   rgb(0, 0, 255),     rgb(255, 255, 0),
                             rgb(255, 128, 0), rgb(0, 255, 255),   rgb(255, 0, 255)};
      for (int i = 0; i < 9; ++i) e[i] = s[i];
      if (paper) std::swap(e[0], e[1]);
      break;
    }
    case kVga: {
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
    case kGrey:
    case kRgre:
      for (int i = 0; i < 256; ++i) e[i] = rgb(i, i, i);
      break;
    case kTemp:
      for (int i = 0; i < 256; ++i) {
        int r = i < 150 ? static_cast<int>(1.7 * i + 0.5) : 255;
        int g = i < 120 ? 0 : static_cast<int>(1.8888888888888888 * (i - 120) + 0.5);
        int b = i < 190 ? 0 : static_cast<int>(3.923076923076923 * (i - 190) + 0.5);
        e[i] = rgb(r, g, b > 255 ? 255 : b);
      }
      break;
    case kRain:
    case kRrai:
      e[0] = rgb(0, 0, 0);
      e[255] = rgb(255, 255, 255);
      fill_anchors(e, kRainbow, sizeof kRainbow / sizeof kRainbow[0]);
      break;
    case kSpec:
    case kRspe:
      e[0] = rgb(0, 0, 0);
      e[255] = rgb(255, 255, 255);
      fill_anchors(e, kSpectrum, sizeof kSpectrum / sizeof kSpectrum[0]);
      break;
  }
  if (t == kRrai || t == kRspe || t == kRgre)
    for (int i = 0; i < 128; ++i) std::swap(e[i], e[255 - i]);
}

}  // namespace

int nearest_index(const Context& ctx, int r, int g, int b) {
  const ColorState& c = ctx.color;
  int best = 0, bestd = 1 << 30;
  for (int i = 0; i < c.usable; ++i) {
    uint32_t e = c.table[i];
    int d = std::abs(int((e >> 16) & 255) - r) + std::abs(int((e >> 8) & 255) - g) +
            std::abs(int(e & 255) - b);
    if (d == 0) return i;
    if (d < bestd) {
      bestd = d;
      best = i;
    }
  }
  return best;
}

DeviceColor resolve_color(const Context& ctx, int colour) {
  DeviceColor d;
  d.value = colour;
  if (is_explicit(colour)) {
    d.r = static_cast<uint8_t>(colour & 255);
    d.g = static_cast<uint8_t>((colour >> 8) & 255);
    d.b = static_cast<uint8_t>((colour >> 16) & 255);
    d.is_index = false;
    d.index = nearest_index(ctx, d.r, d.g, d.b);
    if (ctx.dev.colour_depth == 8) {
      uint32_t e = ctx.color.table[d.index];
      d.r = static_cast<uint8_t>(e >> 16);
      d.g = static_cast<uint8_t>(e >> 8);
      d.b = static_cast<uint8_t>(e);
    }
    return d;
  }
  d.index = colour & 255;
  uint32_t e = ctx.color.table[d.index];
  d.r = static_cast<uint8_t>(e >> 16);
  d.g = static_cast<uint8_t>(e >> 8);
  d.b = static_cast<uint8_t>(e);
  return d;
}

void send_palette(Context& ctx) {
  int dev = ctx.core.device;
  if (ctx.driver && (dev < 101 || (dev >= 501 && dev <= 700))) ctx.driver->set_palette(ctx.color.table);
}

void load_color_table(Context& ctx, int t) {
  ColorState& c = ctx.color;
  int dev = ctx.core.device;
  bool paper = dev == 501 || dev == 211 || dev == 221;
  c.table_name = t;
  c.usable = t == kSmal ? 9 : t == kVga ? 16 : 256;
  const int* named = (t == kGrey || t == kRgre) ? kNamedGrey : kNamedDefault;
  for (int i = 0; i < 9; ++i) c.named[i] = named[i];
  // white and black on paper devices and reversed tables
  if (t == kSmal || t == kGrey || t == kRgre) {
    c.named[kBlac] = c.named[kWhit];
    if (t == kSmal && paper) c.named[kBlac] = c.named[kWhit] = 0x01000000;
  }
  if ((t == kRain || t == kSpec || t == kGrey || t == kTemp) && (dev == 211 || dev == 221))
    c.named[kWhit] = 0x01000000;
  if (t == kRrai || t == kRspe || t == kRgre) {
    if (paper)
      c.named[kWhit] = c.named[kBlac] = 0x01000000;
    else if (ctx.dev.colour_depth == 8)
      std::swap(c.named[kWhit], c.named[kBlac]);
  }
  if (t == kVga && paper) {
    c.named[kBlac] = 0x01FFFFFF;
    c.named[kWhit] = 0x01000000;
  }
  if (c.table_kept)
    c.table_kept = 0;
  else
    load_entries(c, t, paper);
  c.foreground = 255;
  c.background = 0;
  c.below = 0;
  c.above = 255;
  bool plain = t == kRain || t == kSpec || t == kGrey || t == kTemp;
  if ((paper || dev == 701) && plain) {
    c.background = 255;
    c.foreground = 0;
  } else {
    if (t == kSmal) {
      c.above = 9;
      c.foreground = 1;
    } else if (t == kVga) {
      c.above = 15;
      c.foreground = 15;
    } else if ((t == kRrai || t == kRspe || t == kRgre) && ctx.dev.colour_depth == 24 &&
               !paper && dev != 231) {
      c.background = 255;
      c.foreground = 0;
    }
  }
  c.range_first = 1;
  c.range_last = c.above - 1;
  bool white_bg_device = dev < 101 || dev == 502 || dev == 504 || dev == 503 || dev == 511 ||
                         dev == 231 || dev >= 601;
  if (ctx.core.eff_screen_mode == 2 && white_bg_device) {
    int other = t == kSmal ? 1 : t == kVga ? 15 : 255;
    std::swap(c.table[0], c.table[other]);
    std::swap(c.below, c.above);
    if (t == kSmal || t == kGrey || t == kRgre)
      c.named[kWhit] = c.named[kBlac] = 0x01000000;
    else
      std::swap(c.named[kWhit], c.named[kBlac]);
  }
  for (int j = 1; j <= 30; ++j) {
    int k = j % 8;
    if (k == 0) k = 8;
    c.cycle[j - 1] = c.named[k - 1];
  }
  send_palette(ctx);
  qqsclr(ctx, c.foreground);
}

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
  if (v < c.scale_lo) return below;
  if (v > c.scale_hi) return above;
  double t = c.scale_log ? std::log10(v) : v;
  int idx = static_cast<int>((t - c.scale_za) * c.scale_f + c.range_first);
  if (idx == c.range_first - 1) idx = c.range_first;
  if (idx == c.range_last + 1) idx = c.range_last;
  return idx;
}

void reset_colors(Context& ctx) {
  ctx.color.current = 0;
  load_color_table(ctx, ctx.core.device == 501 ? kRgre : kRain);
}

}  // namespace tavero
