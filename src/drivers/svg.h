// The SVG driver (device 801). Its class is public so that the text routines can write
// texts in the viewer's fonts when a PostScript font was chosen with psfont:
//
//   if (auto* svg = dynamic_cast<SvgDriver*>(ctx.driver.get())) {
//     svg->set_text_font("Helvetica-Bold", size_in_device_units);
//     svg->text(x, y, rotate, chars, n);        // or hw_char() for one character
//   }
#pragma once
#include <string>

#include "drivers/driver.h"
#include "drivers/outbuf.h"

namespace tavero {

// Family, weight and style of an SVG text group for a standard PostScript font name (the 35
// names of psfont, case-insensitive): Times, Helvetica (also Helvetica-Narrow) and Courier
// keep their bold and italic/oblique members, Symbol stays Symbol, every other name gives
// Times normal normal.
struct SvgFont {
  const char* family;
  const char* weight;
  const char* style;
};
SvgFont svg_font_for(const char* ps_name);

class SvgDriver final : public Driver {
 public:
  explicit SvgDriver(Context& ctx);

  bool open() override;
  bool finish() override;
  void abandon() override;
  void polyline(const double* x, const double* y, int n) override;
  void end_path() override;
  void set_color(const DeviceColor& c) override;
  bool set_line_width(int w, double fraction) override;
  bool fill_rect(double x1, double y1, double x2, double y2, const DeviceColor& c) override;
  bool fill_polygon(const double* x, const double* y, int n) override;
  bool has_polygon_fill() const override { return true; }
  bool keeps_drawings() const override { return true; }
  Reuse begin_reuse(const ReuseOffer& offer) override;
  void end_reuse() override;

  // --- hardware text
  // Font of the following texts: a standard PostScript font name and the size in device
  // units (font-size is written as an integer, at least 1).
  void set_text_font(const char* ps_name, int size);
  // One text element at the device point (x, y) in the current colour. rotate is in degrees
  // clockwise as seen on the page (SVG's sense); 0 writes no rotate attribute. The n bytes of
  // s (ISO-8859-1, n < 0: up to the terminator) are escaped for XML; control characters are
  // dropped. A text group is opened first when none is open or the font, size or colour
  // changed since it was opened (an open stroke group is closed).
  void text(double x, double y, int rotate, const char* s, int n);
  // One character of the device font (qqhchr): text() with the library's counterclockwise
  // angle turned into SVG's rotation. False while no font was set (the core strokes it).
  bool hw_char(int code, double x, double y, double angle) override;

 private:
  void move_to(double x, double y);
  void line_to(double x, double y);
  void write_path();
  void open_stroke_group();
  void close_group();
  void put_points(const double* x, const double* y, int n);
  void rect(double x, double y, double w, double h, unsigned r, unsigned g, unsigned b);
  void place_copy(const ReuseTable::Entry& e, long long rx, long long ry);
  void close_recording();

  static constexpr int kPathCap = 100;
  OutFile out_;
  std::string line_;               // the element being written
  double px_[kPathCap], py_[kPathCap];
  int pn_ = 0;
  double last_x_ = 0, last_y_ = 0; // last point of the path written out
  int group_ = 0;                  // 0 none, 1 stroke group, 2 text group
  double width_ = 1.0;
  unsigned r_ = 0, g_ = 0, b_ = 0;
  // text group in force and the font asked for
  bool font_set_ = false;
  SvgFont font_{"Times", "normal", "normal"};
  int font_size_ = 1;
  SvgFont group_font_{nullptr, nullptr, nullptr};
  int group_size_ = 0;
  // reusable drawings: <defs> groups "s<n>" placed with <use>
  ReuseTable copies_;
  ReuseTable::Entry* rec_ = nullptr;   // the drawing being recorded
  int ncopies_ = 0;
};

}  // namespace tavero
