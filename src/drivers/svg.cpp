// SVG (device 801): the page in pixels like the window, lines collected into paths of up to
// 100 points and written as line or polyline elements inside groups that carry the stroke
// colour and width; rectangles, solid polygons and texts in the viewer's fonts.
#include "drivers/svg.h"

#include <cmath>
#include <cstring>

#include "core/clock.h"
#include "core/context.h"
#include "drivers/factories.h"
#include "drivers/vecout.h"

namespace tavero {

using vecout::put_fixed;
using vecout::put_hex2;
using vecout::put_int;

// --- fonts

namespace {

bool starts_with_ci(const char* s, const char* prefix) {
  for (; *prefix; ++s, ++prefix) {
    char a = *s, b = *prefix;
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 'a' + 'A');
    if (a != b) return false;
  }
  return true;
}

bool contains_ci(const char* s, const char* word) {
  for (; *s; ++s)
    if (starts_with_ci(s, word)) return true;
  return false;
}

}  // namespace

SvgFont svg_font_for(const char* name) {
  if (!name) name = "";
  const char* family = nullptr;
  const char* slant = "italic";
  if (starts_with_ci(name, "Times-")) {
    family = "Times";
  } else if (starts_with_ci(name, "Helvetica")) {
    family = "Helvetica";
    slant = "oblique";
  } else if (starts_with_ci(name, "Courier")) {
    family = "Courier";
    slant = "oblique";
  } else if (std::strlen(name) == 6 && starts_with_ci(name, "Symbol")) {
    return {"Symbol", "normal", "normal"};
  }
  if (!family) return {"Times", "normal", "normal"};
  const char* weight = contains_ci(name, "Bold") ? "bold" : "normal";
  const char* style = contains_ci(name, "Italic") || contains_ci(name, "Oblique") ? slant : "normal";
  return {family, weight, style};
}

// --- life cycle

SvgDriver::SvgDriver(Context& ctx) : Driver(ctx), out_(ctx.core.plot_file) {
  line_.reserve(4096);
}

bool SvgDriver::open() {
  CoreState& c = ctx_.core;
  DeviceState& d = ctx_.dev;
  double s = vecout::window_scale(ctx_);
  d.scale = s;
  d.colour_depth = 24;
  double W = c.page_w, H = c.page_h;
  d.map = c.page_mode == 1 ? DeviceMap{0, s, 0, -s, 0, s * W, false}
                           : DeviceMap{s, 0, 0, 0, s, 0, false};
  double dw = s * W, dh = s * H;
  if (c.page_mode == 1) std::swap(dw, dh);

  DateTime t = now_local();
  char date[16], time[16];
  format_date(t, date);
  format_time(t, time);
  std::string& h = line_;
  h.clear();
  h += "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"no\"?>\n";
  h += "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 20010904//EN\"\n";
  h += "  \"http://www.w3.org/TR/2001/REC-SVG-20010904/DTD/svg10.dtd\">\n";
  h += "<!-- Created by TAVERO (https://tavero.org)\n";
  h += "Version: ";
  vecout::put_version(h);
  h += "\nDate   : ";
  h += date;
  h += ' ';
  h += time;
  h += "\n-->\n";
  h += "<svg width=\"";
  put_int(h, vecout::to_int(dw));
  h += "\" height=\"";
  put_int(h, vecout::to_int(dh));
  h += "\"\n";
  h += "  xmlns=\"http://www.w3.org/2000/svg\"\n";
  h += "  xmlns:xlink=\"http://www.w3.org/1999/xlink\">\n\n";
  out_.put(h);
  width_ = 1.0;
  group_ = 0;
  if (c.eff_screen_mode != 2) rect(0, 0, dw + 1, dh + 1, 0, 0, 0);
  return true;
}

bool SvgDriver::finish() {
  close_recording();
  write_path();
  close_group();
  out_.put("</svg>\n");
  out_.drain();
  return true;
}

void SvgDriver::abandon() { out_.memory().clear(); }

// --- paths: a move starts a new path, 100 points or an attribute change write it out

void SvgDriver::polyline(const double* x, const double* y, int n) {
  if (n < 1) return;
  move_to(x[0], y[0]);
  for (int i = 1; i < n; ++i) line_to(x[i], y[i]);
}

void SvgDriver::end_path() { write_path(); }

void SvgDriver::move_to(double x, double y) {
  write_path();
  px_[0] = x;
  py_[0] = y;
  pn_ = 1;
}

void SvgDriver::line_to(double x, double y) {
  if (pn_ == 0) {
    px_[0] = last_x_;
    py_[0] = last_y_;
    pn_ = 1;
  }
  px_[pn_] = x;
  py_[pn_] = y;
  if (++pn_ == kPathCap) write_path();
}

void SvgDriver::put_points(const double* x, const double* y, int n) {
  for (int i = 0; i < n; ++i) {
    line_ += ' ';
    put_fixed(line_, x[i], 2);
    line_ += ", ";
    put_fixed(line_, y[i], 2);
    if (i % 5 == 4 && i != n - 1) line_ += '\n';
  }
}

void SvgDriver::write_path() {
  if (pn_ == 0) return;
  last_x_ = px_[pn_ - 1];
  last_y_ = py_[pn_ - 1];
  int n = pn_;
  pn_ = 0;
  if (n < 2) return;
  open_stroke_group();
  line_.clear();
  if (n == 2) {
    line_ += "<line x1=\"";
    put_fixed(line_, px_[0], 2);
    line_ += "\" y1=\"";
    put_fixed(line_, py_[0], 2);
    line_ += "\" x2=\"";
    put_fixed(line_, px_[1], 2);
    line_ += "\" y2=\"";
    put_fixed(line_, py_[1], 2);
    line_ += "\"/>\n";
  } else {
    line_ += "<polyline points=\"\n";
    put_points(px_, py_, n);
    line_ += "\"/>\n";
  }
  out_.put(line_);
}

// --- groups

void SvgDriver::open_stroke_group() {
  if (group_ == 1) return;
  if (group_ == 2) out_.put("</g>\n");
  line_.clear();
  line_ += "<g fill=\"none\" stroke=\"#";
  put_hex2(line_, r_);
  put_hex2(line_, g_);
  put_hex2(line_, b_);
  line_ += "\" stroke-width=\"";
  put_fixed(line_, width_, 3);
  line_ += "\">\n";
  out_.put(line_);
  group_ = 1;
}

void SvgDriver::close_group() {
  if (group_ != 0) out_.put("</g>\n");
  group_ = 0;
}

// --- attributes

void SvgDriver::set_color(const DeviceColor& c) {
  close_recording();
  write_path();
  close_group();
  r_ = c.r;
  g_ = c.g;
  b_ = c.b;
}

// The viewer draws the width itself unless hardware line widths are off (then the core
// strokes parallel lines of width 1).
bool SvgDriver::set_line_width(int w, double fraction) {
  close_recording();
  write_path();
  close_group();
  bool hw = ctx_.line.hw_line != 0;
  double v = fraction > 0 && std::isfinite(fraction) ? fraction : w;
  width_ = hw ? v : 1.0;
  return hw;
}

// --- fills

void SvgDriver::rect(double x, double y, double w, double h, unsigned r, unsigned g,
                     unsigned b) {
  close_recording();
  write_path();
  open_stroke_group();
  line_.clear();
  line_ += "<rect x=\"";
  put_fixed(line_, x, 2);
  line_ += "\" y=\"";
  put_fixed(line_, y, 2);
  line_ += "\" width=\"";
  put_fixed(line_, w, 2);
  line_ += "\" height=\"";
  put_fixed(line_, h, 2);
  line_ += "\"\n fill=\"#";
  put_hex2(line_, r);
  put_hex2(line_, g);
  put_hex2(line_, b);
  line_ += "\" stroke=\"none\"/>\n";
  out_.put(line_);
}

bool SvgDriver::fill_rect(double x1, double y1, double x2, double y2, const DeviceColor& c) {
  double ax, ay, bx, by;
  to_device(ctx_, x1, y1, ax, ay);
  to_device(ctx_, x2, y2, bx, by);
  if (!std::isfinite(ax) || !std::isfinite(ay) || !std::isfinite(bx) || !std::isfinite(by))
    return true;  // nothing sensible to fill
  rect(std::fmin(ax, bx), std::fmin(ay, by), std::fabs(bx - ax) + 1, std::fabs(by - ay) + 1,
       c.r, c.g, c.b);
  return true;
}

bool SvgDriver::fill_polygon(const double* x, const double* y, int n) {
  if (n < 3 || !vecout::polygon_inside_clip(ctx_, x, y, n)) return false;
  write_path();
  open_stroke_group();
  line_.clear();
  line_ += "<polygon fill=\"#";
  put_hex2(line_, r_);
  put_hex2(line_, g_);
  put_hex2(line_, b_);
  line_ += "\" points=\"\n";
  put_points(x, y, n);
  line_ += "\"/>\n";
  out_.put(line_);
  return true;
}

// --- hardware text

void SvgDriver::set_text_font(const char* ps_name, int size) {
  font_ = svg_font_for(ps_name);
  font_size_ = size < 1 ? 1 : size;
  font_set_ = true;
}

void SvgDriver::text(double x, double y, int rotate, const char* s, int n) {
  if (!s) return;
  if (n < 0) n = static_cast<int>(std::strlen(s));
  close_recording();
  write_path();
  bool same = group_ == 2 && group_font_.family == font_.family &&
              group_font_.weight == font_.weight && group_font_.style == font_.style &&
              group_size_ == font_size_;
  if (!same) {
    close_group();
    line_.clear();
    line_ += "<g font-family=\"";
    line_ += font_.family;
    line_ += "\" font-weight=\"";
    line_ += font_.weight;
    line_ += "\" font-style=\"";
    line_ += font_.style;
    line_ += "\"\nfont-size=\"";
    put_int(line_, font_size_);
    line_ += "\" stroke=\"none\" fill=\"#";
    put_hex2(line_, r_);
    put_hex2(line_, g_);
    put_hex2(line_, b_);
    line_ += "\">\n";
    out_.put(line_);
    group_ = 2;
    group_font_ = font_;
    group_size_ = font_size_;
  }
  line_.clear();
  line_ += "<text x=\"";
  put_fixed(line_, x, 2);
  line_ += "\" y=\"";
  put_fixed(line_, y, 2);
  line_ += '"';
  if (rotate != 0) {
    line_ += " rotate=\"";
    put_int(line_, rotate);
    line_ += '"';
  }
  line_ += '>';
  for (int i = 0; i < n; ++i) {
    unsigned char ch = static_cast<unsigned char>(s[i]);
    if (ch == '&')
      line_ += "&amp;";
    else if (ch == '<')
      line_ += "&lt;";
    else if (ch == '>')
      line_ += "&gt;";
    else if (ch >= 0x20 && ch != 0x7f)
      line_ += static_cast<char>(ch);
  }
  line_ += "</text>\n";
  out_.put(line_);
}

bool SvgDriver::hw_char(int code, double x, double y, double angle) {
  if (!font_set_ || code < 0 || code > 255) return false;
  char ch = static_cast<char>(code);
  double a = std::isfinite(angle) ? std::remainder(angle, 360.0) : 0.0;
  text(x, y, -static_cast<int>(std::lround(a)), &ch, 1);
  return true;
}

// --- reusable drawings: the first copies are drawn, then one is kept in <defs> (with its own
// stroke group, so it does not depend on where it is used) and the others are <use>
// elements translated by the offset of their rounded reference points.

namespace {
constexpr int kDirectCopies = 2;

// Hundredths as "-12.34".
void put_hundredths(std::string& s, long long v) {
  if (v < 0) {
    s += '-';
    v = -v;
  }
  put_int(s, v / 100);
  s += '.';
  s += static_cast<char>('0' + v % 100 / 10);
  s += static_cast<char>('0' + v % 10);
}
}  // namespace

Reuse SvgDriver::begin_reuse(const ReuseOffer& o) {
  if (rec_ || o.n < 1 || o.n > 64) return Reuse::kDraw;
  long long pattern[128];
  const long long rx = decimal_units(o.x, 2), ry = decimal_units(o.y, 2);
  for (int i = 0; i < o.n; ++i) {
    pattern[2 * i] = decimal_units(o.vx[i], 2) - rx;
    pattern[2 * i + 1] = decimal_units(o.vy[i], 2) - ry;
  }
  ReuseTable::Entry* e = copies_.find(o.key, pattern, 2 * o.n);
  if (!e || !e->usable) return Reuse::kDraw;
  if (e->number) {
    place_copy(*e, rx, ry);
    return Reuse::kPlaced;
  }
  if (++e->seen <= kDirectCopies) return Reuse::kDraw;
  write_path();
  close_group();
  e->number = ++ncopies_;
  e->rx = rx;
  e->ry = ry;
  line_.clear();
  line_ += "<defs><g id=\"s";
  put_int(line_, e->number);
  line_ += "\">\n";
  out_.put(line_);
  rec_ = e;
  return Reuse::kRecord;
}

void SvgDriver::end_reuse() {
  if (!rec_) return;
  ReuseTable::Entry* e = rec_;
  write_path();
  close_group();
  out_.put("</g></defs>\n");
  rec_ = nullptr;
  place_copy(*e, e->rx, e->ry);
}

// Anything but lines and fills during a recording ends it; such a drawing is not repeated.
void SvgDriver::close_recording() {
  if (!rec_) return;
  rec_->usable = false;
  end_reuse();
}

void SvgDriver::place_copy(const ReuseTable::Entry& e, long long rx, long long ry) {
  write_path();
  close_group();
  line_.clear();
  line_ += "<use xlink:href=\"#s";
  put_int(line_, e.number);
  line_ += '"';
  if (rx != e.rx || ry != e.ry) {
    line_ += " x=\"";
    put_hundredths(line_, rx - e.rx);
    line_ += "\" y=\"";
    put_hundredths(line_, ry - e.ry);
    line_ += '"';
  }
  line_ += "/>\n";
  out_.put(line_);
}

Driver* make_svg_driver(Context& ctx) { return new SvgDriver(ctx); }

}  // namespace tavero
