// IPE XML (device 802): a document for the Ipe drawing editor, in points, y upwards. Lines
// are collected into paths of up to 100 points on the layer "alpha"; colours are written as
// "red green blue" fractions, which Ipe takes as absolute colours. Device-font text becomes
// LaTeX labels in the Times family of the preamble.
#include <cmath>
#include <cstring>
#include <string>

#include "core/clock.h"
#include "core/context.h"
#include "drivers/factories.h"
#include "drivers/ipe.h"
#include "drivers/outbuf.h"
#include "drivers/vecout.h"

namespace tavero {

namespace {

using vecout::put_fixed;
using vecout::put_int;

class IpeDriver final : public Driver {
 public:
  explicit IpeDriver(Context& ctx) : Driver(ctx), out_(ctx.core.plot_file) {
    line_.reserve(4096);
  }

  bool open() override {
    CoreState& c = ctx_.core;
    DeviceState& d = ctx_.dev;
    double s = vecout::unit_scale(ctx_) * 72.0 / 254.0;
    d.scale = s;
    d.colour_depth = 24;
    double W = c.page_w, H = c.page_h;
    d.map = c.page_mode == 1 ? DeviceMap{0, s, 0, s, 0, 0, false}
                             : DeviceMap{s, 0, 0, 0, -s, s * H, false};
    double pw = s * W, ph = s * H;
    if (c.page_mode == 1) std::swap(pw, ph);
    pen_ = min_pen();
    set_color_name(0, 0, 0);

    DateTime t = now_local();
    std::string& h = line_;
    h.clear();
    h += "<?xml version=\"1.0\"?>\n";
    h += "<!DOCTYPE ipe SYSTEM \"ipe.dtd\">\n";
    h += "<ipe version=\"70010\" creator=\"Tavero ";
    vecout::put_version(h);
    h += "\">\n";
    std::string stamp = "D:";
    put_padded(stamp, t.year, 4);
    put_padded(stamp, t.month, 2);
    put_padded(stamp, t.day, 2);
    put_padded(stamp, t.hour, 2);
    put_padded(stamp, t.minute, 2);
    put_padded(stamp, t.second, 2);
    h += "<info created=\"" + stamp + "\" modified=\"" + stamp + "\"/>\n";
    h += "<preamble>\\usepackage{times,graphicx}</preamble>\n";
    h += "<ipestyle name=\"basic\">\n";
    std::string size;
    put_int(size, vecout::to_int(pw));
    size += ' ';
    put_int(size, vecout::to_int(ph));
    h += "<layout paper=\"" + size + "\" frame=\"" + size + "\" origin=\"0 0\"/>\n";
    h += "</ipestyle>\n";
    h += "<page>\n";
    h += kLayer;
    out_.put(h);
    // like the other vector formats, every background mode but the white one paints black
    if (c.eff_screen_mode != 2) fill_area(0, 0, pw, ph, "0 0 0");
    return true;
  }

  bool finish() override {
    write_path();
    out_.put("</page>\n</ipe>\n");
    out_.drain();
    return true;
  }

  void abandon() override { out_.memory().clear(); }

  // Each page declares its layer again so that Ipe accepts the paths drawn on it.
  void new_page() override {
    write_path();
    out_.put("</page>\n<page>\n");
    out_.put(kLayer);
  }

  void polyline(const double* x, const double* y, int n) override {
    if (n < 1) return;
    write_path();
    px_[0] = x[0];
    py_[0] = y[0];
    pn_ = 1;
    for (int i = 1; i < n; ++i) {
      if (pn_ == 0) {
        px_[0] = last_x_;
        py_[0] = last_y_;
        pn_ = 1;
      }
      px_[pn_] = x[i];
      py_[pn_] = y[i];
      if (++pn_ == kPathCap) write_path();
    }
  }

  void end_path() override { write_path(); }

  void set_color(const DeviceColor& c) override {
    write_path();
    set_color_name(c.r, c.g, c.b);
  }

  // Pen in points, never thinner than 0.25 mm; Ipe draws the width itself unless hardware
  // line widths are off.
  bool set_line_width(int w, double fraction) override {
    write_path();
    bool hw = ctx_.line.hw_line != 0;
    double v = fraction > 0 && std::isfinite(fraction) ? fraction : w;
    pen_ = std::fmax(hw ? v * ctx_.dev.scale : 0.0, min_pen());
    return hw;
  }

  // A filled path without outline (the pixel formats add one device unit; points need not).
  bool fill_rect(double x1, double y1, double x2, double y2, const DeviceColor& c) override {
    double ax, ay, bx, by;
    to_device(ctx_, x1, y1, ax, ay);
    to_device(ctx_, x2, y2, bx, by);
    std::string name;
    color_name(name, c.r, c.g, c.b);
    fill_area(std::fmin(ax, bx), std::fmin(ay, by), std::fmax(ax, bx), std::fmax(ay, by),
              name.c_str());
    return true;
  }

  bool fill_polygon(const double* x, const double* y, int n) override {
    if (n < 3 || !vecout::polygon_inside_clip(ctx_, x, y, n)) return false;
    write_path();
    line_.clear();
    line_ += "<path layer=\"alpha\" fill=\"";
    line_ += color_;
    line_ += "\" stroke=\"";
    line_ += color_;
    line_ += "\">\n";
    for (int i = 0; i <= n; ++i) {
      int k = i == n ? 0 : i;
      put_fixed(line_, x[k], 1);
      line_ += ' ';
      put_fixed(line_, y[k], 1);
      line_ += i == 0 ? " m\n" : " l\n";
    }
    line_ += "</path>\n";
    out_.put(line_);
    return true;
  }

  bool has_polygon_fill() const override { return true; }

  // A label at the origin, moved into place by its matrix (rotation, width factor and
  // translation), aligned at the left end of its baseline.
  bool text_char(int family, double size, double hscale, double x, double y, double angle,
                 int byte) {
    std::string body;
    if (!latex_char(body, byte)) return false;
    static const char* const kOpen[4] = {"", "\\textbf{", "\\textit{", "\\textbf{\\textit{"};
    static const char* const kClose[4] = {"", "}", "}", "}}"};
    write_path();
    const double a = angle * (3.14159265358979323846 / 180.0);
    const double c = std::cos(a), s = std::sin(a);
    const double m[6] = {hscale * c, hscale * s, -s, c, x, y};
    line_.clear();
    line_ += "<text layer=\"alpha\" pos=\"0 0\" stroke=\"";
    line_ += color_;
    line_ += "\" type=\"label\" size=\"";
    put_fixed(line_, size, 2);
    line_ += "\" valign=\"baseline\" matrix=\"";
    for (int i = 0; i < 6; ++i) {
      if (i) line_ += ' ';
      put_fixed(line_, std::fabs(m[i]) < 5e-5 ? 0.0 : m[i], i < 4 ? 4 : 2);
    }
    line_ += "\">";
    line_ += kOpen[family];
    line_ += body;
    line_ += kClose[family];
    line_ += "</text>\n";
    out_.put(line_);
    return true;
  }

 private:
  // A character as LaTeX text inside XML: the characters TeX treats specially by name,
  // the Latin-1 range as UTF-8; the control range of WinAnsi is left to the stroke fonts.
  static bool latex_char(std::string& out, int byte) {
    switch (byte) {
      case '\\': out += "\\textbackslash{}"; return true;
      case '{': out += "\\{"; return true;
      case '}': out += "\\}"; return true;
      case '$': out += "\\$"; return true;
      case '&': out += "\\&amp;"; return true;
      case '#': out += "\\#"; return true;
      case '%': out += "\\%"; return true;
      case '_': out += "\\_"; return true;
      case '~': out += "\\textasciitilde{}"; return true;
      case '^': out += "\\textasciicircum{}"; return true;
      case '<': out += "\\textless{}"; return true;
      case '>': out += "\\textgreater{}"; return true;
      case '|': out += "\\textbar{}"; return true;
      default: break;
    }
    if (byte > 32 && byte < 127) {
      out += static_cast<char>(byte);
      return true;
    }
    if (byte >= 161 && byte <= 255) {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
      return true;
    }
    return false;
  }

  static constexpr int kPathCap = 100;
  static constexpr const char* kLayer =
      "<layer name=\"alpha\"/>\n<view layers=\"alpha\" active=\"alpha\"/>\n";

  double min_pen() const { return 2.5 * ctx_.dev.scale / ctx_.core.unit_factor; }

  static void put_padded(std::string& s, int v, int width) {
    std::string digits;
    put_int(digits, v);
    for (int i = static_cast<int>(digits.size()); i < width; ++i) s += '0';
    s += digits;
  }

  static void color_name(std::string& s, unsigned r, unsigned g, unsigned b) {
    char buf[fastfmt::kMaxFixedLen];
    const unsigned ch[3] = {r, g, b};
    for (int i = 0; i < 3; ++i) {
      if (i) s += ' ';
      char* e = fastfmt::append_fixed(buf, ch[i] / 255.0, 3, fastfmt::kStripZeros);
      s.append(buf, static_cast<size_t>(e - buf));
    }
  }

  void set_color_name(unsigned r, unsigned g, unsigned b) {
    color_.clear();
    color_name(color_, r, g, b);
  }

  void fill_area(double x1, double y1, double x2, double y2, const char* name) {
    write_path();
    line_.clear();
    line_ += "<path layer=\"alpha\" fill=\"";
    line_ += name;
    line_ += "\">\n";
    const double xs[4] = {x1, x2, x2, x1}, ys[4] = {y1, y1, y2, y2};
    for (int i = 0; i < 4; ++i) {
      put_fixed(line_, xs[i], 1);
      line_ += ' ';
      put_fixed(line_, ys[i], 1);
      line_ += i == 0 ? " m\n" : " l\n";
    }
    line_ += "h\n</path>\n";
    out_.put(line_);
  }

  void write_path() {
    if (pn_ == 0) return;
    last_x_ = px_[pn_ - 1];
    last_y_ = py_[pn_ - 1];
    int n = pn_;
    pn_ = 0;
    if (n < 2) return;
    line_.clear();
    line_ += "<path layer=\"alpha\" stroke=\"";
    line_ += color_;
    line_ += "\" pen=\"";
    put_fixed(line_, pen_, 3);
    line_ += "\">\n";
    for (int i = 0; i < n; ++i) {
      put_fixed(line_, px_[i], 1);
      line_ += ' ';
      put_fixed(line_, py_[i], 1);
      line_ += i == 0 ? " m\n" : " l\n";
    }
    line_ += "</path>\n";
    out_.put(line_);
  }

  OutFile out_;
  std::string line_;
  std::string color_;
  double px_[kPathCap], py_[kPathCap];
  int pn_ = 0;
  double last_x_ = 0, last_y_ = 0;
  double pen_ = 1.0;
};

}  // namespace

Driver* make_ipe_driver(Context& ctx) { return new IpeDriver(ctx); }

bool ipe_show_char(Context& ctx, const char* font, double size, double hscale, double x,
                   double y, double angle, int byte) {
  auto* d = dynamic_cast<IpeDriver*>(ctx.driver.get());
  if (!d || !font || !std::isfinite(size) || !std::isfinite(hscale) || !std::isfinite(x) ||
      !std::isfinite(y) || !std::isfinite(angle))
    return false;
  static const char* const kFamily[4] = {"Times-Roman", "Times-Bold", "Times-Italic",
                                         "Times-BoldItalic"};
  for (int f = 0; f < 4; ++f)
    if (std::strcmp(font, kFamily[f]) == 0) return d->text_char(f, size, hscale, x, y, angle, byte);
  return false;
}

}  // namespace tavero
