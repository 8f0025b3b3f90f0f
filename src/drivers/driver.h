// The output driver interface: one class per format behind one small interface.
//
// Life of a driver, in order:
//   1. tavini opens the plot file (core/init.cpp; formats that write their own output such as
//      PDF, WMF, EMF and the in-memory image get no file) and creates the driver from the
//      device table (drivers/registry.h).
//   2. open() computes the device scale factor and the plot -> device mapping (dev.scale,
//      dev.map), sets the colour depth and writes the header. On failure it reports the
//      message (36 "File error", 53 "Not enough memory") and returns false; tavini then goes
//      back to level 0.
//   3. Drawing arrives in device units, already clipped, as polylines whose first point is a
//      move (draw/pipeline.h). Attribute calls (colour, width, cap, join, clip) always come
//      after the pending polyline was flushed, so a driver never has to reorder.
//   4. new_page() for newpag, erase() for erase.
//   5. finish() writes the trailer or the image file and returns whether a plot file was
//      written (the end protocol names it). tavfin then closes the plot file, prints the end
//      protocol and calls after_protocol().
//
// Required: open, finish, polyline, set_color. Everything else has a default that reduces to
// what the core already does in software: no hardware line width (the core draws parallel
// strokes), no rectangle or polygon fill (the core hatches or draws the outline), no device
// clip (the core clips every segment anyway), no hardware text (the core strokes glyphs).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

namespace tavero {

struct Context;

// A colour as a device sees it: the colour value (index or explicit), the index it maps to on
// palette devices, and red, green, blue.
struct DeviceColor {
  int value = 0;
  int index = 0;
  uint8_t r = 0, g = 0, b = 0;
  bool is_index = true;   // the value was a colour index (not an explicit RGB colour)
};

class Driver {
 public:
  explicit Driver(Context& ctx) : ctx_(ctx) {}
  virtual ~Driver() = default;
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // --- lifecycle
  virtual bool open() = 0;
  virtual bool finish() = 0;
  // Runs after the end protocol was printed, just before the driver is released (a screen
  // window waits for the user here, so the protocol is already visible).
  virtual void after_protocol() {}
  // The record is going away without tavfin (delglb, thrfin): drop output, close nothing twice.
  virtual void abandon() {}
  virtual void new_page() {}
  virtual void erase() {}

  // --- lines, in device units. x[0], y[0] is a move, the others are draws (n >= 1).
  virtual void polyline(const double* x, const double* y, int n) = 0;
  // Ends the open path so that following attributes apply to what comes next.
  virtual void end_path() {}

  // --- attributes
  virtual void set_color(const DeviceColor& c) = 0;
  // Line width w in plot units. Returns true when the device draws the width itself (the core
  // then stores -w and does not emulate).
  virtual bool set_line_width(int w, double fraction) { (void)w; (void)fraction; return false; }
  virtual void set_line_cap(int cap) { (void)cap; }
  virtual void set_line_join(int join) { (void)join; }
  virtual void set_miter_limit(double limit) { (void)limit; }
  // Clip rectangle in absolute plot units (x min, y min, x max, y max); on = false removes it.
  virtual void set_clip(bool on, const int* rect) { (void)on; (void)rect; }
  // The colour table changed (palette devices).
  virtual void set_palette(const uint32_t* table) { (void)table; }

  // --- fills. Return false when the device cannot fill this way.
  // Rectangle in absolute plot units, already clamped to the clip window.
  virtual bool fill_rect(double x1, double y1, double x2, double y2, const DeviceColor& c) {
    (void)x1; (void)y1; (void)x2; (void)y2; (void)c; return false;
  }
  // Polygon in device units, even-odd rule, current colour.
  virtual bool fill_polygon(const double* x, const double* y, int n) {
    (void)x; (void)y; (void)n; return false;
  }

  // --- device fonts: one character at the centre of its cell (device units), angle in
  // degrees. False when the device has no fonts (the core strokes the glyph instead).
  virtual bool hw_char(int code, double x, double y, double angle) {
    (void)code; (void)x; (void)y; (void)angle; return false;
  }

  // Whether the device fills polygons itself when asked (solid hardware shading).
  virtual bool has_polygon_fill() const { return false; }
  // A plot file was written in this run (for the end protocol).
  virtual bool wrote_file() const { return true; }

 protected:
  Context& ctx_;
};

using DriverFactory = Driver* (*)(Context& ctx);

}  // namespace tavero
