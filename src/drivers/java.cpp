// Java applet source (device 701): a class whose paint method redraws the plot with
// java.awt calls in window pixels. Lines are drawn from the previous device point; colours
// are selected only when something is drawn in them.
#include <cmath>
#include <string>

#include "core/clock.h"
#include "core/context.h"
#include "drivers/factories.h"
#include "drivers/outbuf.h"
#include "drivers/vecout.h"

namespace tavero {

namespace {

using vecout::put_int;
using vecout::to_int;

// The class name is the file name without folder and extension; characters that cannot
// appear in a Java name become "_".
std::string class_name(const char* file) {
  const char* base = file;
  for (const char* p = file; *p; ++p)
    if (*p == '\\' || *p == ':' || *p == '/') base = p + 1;
  std::string name;
  for (const char* p = base; *p && *p != '.'; ++p) {
    char ch = *p;
    bool ok = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
              ch == '_' || ch == '$';
    name += ok ? ch : '_';
  }
  if (name.empty()) name = "tavero";
  if (name[0] >= '0' && name[0] <= '9') name.insert(name.begin(), '_');
  return name;
}

class JavaDriver final : public Driver {
 public:
  explicit JavaDriver(Context& ctx) : Driver(ctx), out_(ctx.core.plot_file) {
    line_.reserve(256);
  }

  bool open() override {
    CoreState& c = ctx_.core;
    DeviceState& d = ctx_.dev;
    double s = vecout::window_scale(ctx_);
    d.scale = s;
    d.colour_depth = 24;
    double W = c.page_w;
    d.map = c.page_mode == 1 ? DeviceMap{0, s, 0, -s, 0, s * W, true}
                             : DeviceMap{s, 0, 0, 0, s, 0, true};
    DateTime t = now_local();
    char date[16], time[16];
    format_date(t, date);
    format_time(t, time);
    std::string& h = line_;
    h.clear();
    h += "// TAVERO Java Metafile\n";
    h += "// Creator: TAVERO ";
    vecout::put_version(h);
    h += "\n// Date   : ";
    h += date;
    h += ", ";
    h += time;
    h += "\n// Size   : ";
    put_int(h, c.win_w);
    h += ' ';
    put_int(h, c.win_h);
    h += "\n\n";
    h += "import java.applet.*;\n";
    h += "import java.awt.*;\n\n";
    h += "public class " + class_name(c.plot_file_name) + " extends Applet {\n";
    h += "public void paint(Graphics g) {\n";
    out_.put(h);
    return true;
  }

  bool finish() override {
    out_.put("}\n}\n");
    out_.drain();
    return true;
  }

  void abandon() override { out_.memory().clear(); }

  void erase() override {
    line_.assign("  g.clearRect (0,0,");
    put_int(line_, ctx_.core.win_w);
    line_ += ',';
    put_int(line_, ctx_.core.win_h);
    line_ += ");\n";
    out_.put(line_);
  }

  void polyline(const double* x, const double* y, int n) override {
    if (n < 1) return;
    last_x_ = to_int(x[0]);
    last_y_ = to_int(y[0]);
    if (n < 2) return;
    select(want_);
    for (int i = 1; i < n; ++i) {
      long long nx = to_int(x[i]), ny = to_int(y[i]);
      line_.assign("  g.drawLine (");
      put_int(line_, last_x_);
      line_ += ',';
      put_int(line_, last_y_);
      line_ += ',';
      put_int(line_, nx);
      line_ += ',';
      put_int(line_, ny);
      line_ += ");\n";
      out_.put(line_);
      last_x_ = nx;
      last_y_ = ny;
    }
  }

  void set_color(const DeviceColor& c) override { want_ = pack(c); }

  bool fill_rect(double x1, double y1, double x2, double y2, const DeviceColor& c) override {
    double ax, ay, bx, by;
    to_device(ctx_, x1, y1, ax, ay);
    to_device(ctx_, x2, y2, bx, by);
    long long X1 = to_int(std::fmin(ax, bx)), Y1 = to_int(std::fmin(ay, by));
    long long X2 = to_int(std::fmax(ax, bx)), Y2 = to_int(std::fmax(ay, by));
    select(pack(c));
    line_.assign("  g.fillRect (");
    put_int(line_, X1);
    line_ += ',';
    put_int(line_, Y1);
    line_ += ',';
    put_int(line_, X2 - X1 + 1);
    line_ += ',';
    put_int(line_, Y2 - Y1 + 1);
    line_ += ");\n";
    out_.put(line_);
    return true;
  }

 private:
  static int pack(const DeviceColor& c) { return (c.r << 16) | (c.g << 8) | c.b; }

  void select(int rgb) {
    if (rgb == written_) return;
    written_ = rgb;
    line_.assign("  g.setColor (new Color (");
    put_int(line_, (rgb >> 16) & 255);
    line_ += ',';
    put_int(line_, (rgb >> 8) & 255);
    line_ += ',';
    put_int(line_, rgb & 255);
    line_ += "));\n";
    out_.put(line_);
  }

  OutFile out_;
  std::string line_;
  long long last_x_ = 0, last_y_ = 0;
  int want_ = 0;        // colour asked for by the library
  int written_ = -1;    // colour the applet has selected (-1: none yet)
};

}  // namespace

Driver* make_java_driver(Context& ctx) { return new JavaDriver(ctx); }

}  // namespace tavero
