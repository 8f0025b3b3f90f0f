// The PostScript family (device codes 501 "POST", 502 "PSCL", 503 "EPS ", 504 "PS  ") and
// the device text it offers to the text engine.
//
// Device units are 0.05 mm at scale 1; the prolog procedure cm turns them into points. Every
// coordinate is written as an integer. Paths are collected in a buffer of 100 points and
// written as "x y u x y d ... p "; all body text goes through the 80-column line writer.
//
// Device text (for the text engine): get the driver with
//     auto* ps = dynamic_cast<PostScriptDriver*>(ctx.driver.get());
// then
//     ps->select_font(index, size, width_size);    after psfont / a height change
//     ps->show_text(text, n, x, y, angle, centred);  a whole string
//     ps->hw_char(code, x, y, angle);                 one character, centred (driver.h)
// Positions are device units (map plot points with to_device()); angles are degrees
// counterclockwise as seen on the page: the driver adds the 90 degrees of a turned page.
// Each call first sends the lines still buffered in the core, so text keeps its place in
// the drawing order. Sizes are points (the text engine computes them).
#pragma once
#include <string>

#include "drivers/driver.h"
#include "drivers/outbuf.h"

namespace tavero {

// The 35 standard PostScript fonts and the ascender (1/1000 of the size) used to size them.
inline constexpr int kPsFontCount = 35;
// Index 0..34 of a font name (case-insensitive), or -1 when it is not a standard font.
int ps_font_index(const char* name);
const char* ps_font_name(int index);
int ps_font_ascender(int index);

class PostScriptDriver final : public Driver {
 public:
  explicit PostScriptDriver(Context& ctx);

  bool open() override;
  bool finish() override;
  void abandon() override;
  void new_page() override;

  void polyline(const double* x, const double* y, int n) override;
  void end_path() override;

  void set_color(const DeviceColor& c) override;
  bool set_line_width(int w, double fraction) override;
  void set_line_cap(int cap) override;
  void set_line_join(int join) override;
  void set_miter_limit(double limit) override;
  void set_clip(bool on, const int* rect) override;

  bool fill_rect(double x1, double y1, double x2, double y2, const DeviceColor& c) override;
  bool fill_polygon(const double* x, const double* y, int n) override;
  bool has_polygon_fill() const override { return true; }
  bool keeps_drawings() const override { return true; }
  Reuse begin_reuse(const ReuseOffer& offer) override;
  void end_reuse() override;

  // One character (code 0..255) centred at (x, y): "code X Y A c ". False for other codes.
  bool hw_char(int code, double x, double y, double angle) override;

  // Selects standard font `index` (ps_font_index), re-encoded with the national characters
  // of GermanVec, at `size` points; a width_size > 0 that differs from size gives a font of
  // height size and width width_size (" font2 "). Sizes are written with one decimal.
  void select_font(int index, double size, double width_size = 0.0);
  // Shows n bytes of text in the selected font, starting at (x, y), or centred on (x, y)
  // when `centred` is set, rotated by `angle`. Bytes 177 and 200..272 (octal) are the
  // accented letters of GermanVec.
  void show_text(const char* text, int n, double x, double y, double angle, bool centred);

  bool turned() const { return turned_; }

 private:
  void write_header();
  void pen_move(int x, int y);
  void pen_draw(int x, int y);
  void write_path();
  void write(const char* s, int n) { lines_.write(s, n); }
  void write(const char* s) { lines_.write(s); }
  void write_color(const DeviceColor& c, const char* op);
  void write_page_fill(const DeviceColor& c);
  void write_clip();
  double page_angle_to_device(double angle) const;
  void sync();
  void place_copy(const ReuseTable::Entry& e, long long rx, long long ry);
  void close_recording();

  OutFile out_;
  LineWriter lines_;
  bool eps_ = false, single_ = false, turned_ = false;
  int code_ = 504;
  // path buffer: device points, count and the point saved when a path was ended
  static constexpr int kPathMax = 100;
  int px_[kPathMax], py_[kPathMax];
  int np_ = 0;
  int last_x_ = 0, last_y_ = 0;
  double line_width_ = 5.0;  // the width last sent, in device units
  bool clip_on_ = false;     // a clipping window is set on the device
  long long clip_[4] = {};   // its corners in device units
  // reusable drawings: procedures "S<n>" run under a translation
  ReuseTable copies_;
  ReuseTable::Entry* rec_ = nullptr;
  int ncopies_ = 0;
};

}  // namespace tavero
