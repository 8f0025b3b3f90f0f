// What the two Windows metafile formats (WMF 221, EMF 231) share: the drawing state of a GDI
// device context replayed as records. Pens are made from the colour, width, cap and join;
// rectangles and polygons are filled with a solid brush and outlined with a thin pen of the
// same colour (so a fill covers its border, as on the raster devices); the clipping window is
// an intersected clip rectangle between SaveDC and RestoreDC.
//
// Objects live in the player's object table. A pen or brush is created when first needed after
// a change, selected, and the one it replaces is deleted. A neutral pen and brush, created
// first and never deleted, are selected around every SaveDC, so no saved state ever refers to
// an object that is deleted later.
#pragma once
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/context.h"
#include "draw/pipeline.h"
#include "drivers/driver.h"

namespace tavero::gdi {

// Pen style bits of the formats (identical in both).
enum : uint32_t {
  kPsSolid = 0x0000, kPsNull = 0x0005,
  kCapRound = 0x0000, kCapSquare = 0x0100, kCapFlat = 0x0200,
  kJoinRound = 0x0000, kJoinBevel = 0x1000, kJoinMiter = 0x2000,
  kPsGeometric = 0x00010000,
};

// Little-endian record bytes.
struct Bytes {
  std::string b;
  void u16(uint32_t v) {
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>((v >> 8) & 0xFF));
  }
  void u32(uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  void i16(long v) {
    if (v > 32767) v = 32767;
    if (v < -32768) v = -32768;
    u16(static_cast<uint16_t>(static_cast<int16_t>(v)));
  }
  void i32(long long v) {
    if (v > 2147483647LL) v = 2147483647LL;
    if (v < -2147483647LL) v = -2147483647LL;
    u32(static_cast<uint32_t>(static_cast<int32_t>(v)));
  }
  void rgb(const uint8_t* c) {  // COLORREF: red, green, blue, 0
    b.push_back(static_cast<char>(c[0]));
    b.push_back(static_cast<char>(c[1]));
    b.push_back(static_cast<char>(c[2]));
    b.push_back(0);
  }
  void patch_u32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }
};

struct IPoint {
  long x, y;
};

// Sutherland-Hodgman cut of a device polygon to a rectangle; drops non-finite points.
inline std::vector<IPoint> clip_polygon(const double* x, const double* y, int n, double x0,
                                        double y0, double x1, double y1) {
  std::vector<double> px, py;
  for (int i = 0; i < n; ++i) {
    if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
    px.push_back(x[i]);
    py.push_back(y[i]);
  }
  auto cut = [&](int axis, double bound, bool keep_below) {
    std::vector<double> qx, qy;
    size_t m = px.size();
    for (size_t i = 0; i < m; ++i) {
      size_t j = (i + m - 1) % m;
      double ci = axis == 0 ? px[i] : py[i], cj = axis == 0 ? px[j] : py[j];
      bool in_i = keep_below ? ci <= bound : ci >= bound;
      bool in_j = keep_below ? cj <= bound : cj >= bound;
      if (in_i != in_j) {
        double t = (bound - cj) / (ci - cj);
        qx.push_back(axis == 0 ? bound : px[j] + t * (px[i] - px[j]));
        qy.push_back(axis == 1 ? bound : py[j] + t * (py[i] - py[j]));
      }
      if (in_i) {
        qx.push_back(px[i]);
        qy.push_back(py[i]);
      }
    }
    px.swap(qx);
    py.swap(qy);
  };
  cut(0, x0, false);
  if (!px.empty()) cut(0, x1, true);
  if (!px.empty()) cut(1, y0, false);
  if (!px.empty()) cut(1, y1, true);
  std::vector<IPoint> out;
  out.reserve(px.size());
  for (size_t i = 0; i < px.size(); ++i) {
    IPoint p{std::lround(px[i]), std::lround(py[i])};
    if (!out.empty() && out.back().x == p.x && out.back().y == p.y) continue;
    out.push_back(p);
  }
  return out;
}

// Object handles: the lowest free slot, as the players' object tables assign them.
class HandleTable {
 public:
  explicit HandleTable(int first) : first_(first) {}
  int take() {
    for (size_t i = 0; i < used_.size(); ++i)
      if (!used_[i]) {
        used_[i] = true;
        return static_cast<int>(i) + first_;
      }
    used_.push_back(true);
    if (static_cast<int>(used_.size()) > peak_) peak_ = static_cast<int>(used_.size());
    return static_cast<int>(used_.size()) - 1 + first_;
  }
  void give(int h) {
    size_t i = static_cast<size_t>(h - first_);
    if (i < used_.size()) used_[i] = false;
  }
  int peak() const { return peak_; }

 private:
  int first_;
  std::vector<bool> used_;
  int peak_ = 0;
};

class GdiDriver : public Driver {
 public:
  explicit GdiDriver(Context& ctx, int first_handle) : Driver(ctx), handles_(first_handle) {}

  void polyline(const double* x, const double* y, int n) override;
  void set_color(const DeviceColor& c) override;
  bool set_line_width(int w, double fraction) override;
  void set_line_cap(int cap) override;
  void set_line_join(int join) override;
  void set_clip(bool on, const int* rect) override;
  bool fill_rect(double x1, double y1, double x2, double y2, const DeviceColor& c) override;
  bool fill_polygon(const double* x, const double* y, int n) override;
  bool has_polygon_fill() const override { return true; }

 protected:
  // --- records of the format
  virtual void rec_pen(int handle, uint32_t style, long width, const uint8_t* rgb) = 0;
  virtual void rec_brush(int handle, const uint8_t* rgb) = 0;
  virtual void rec_select(int handle) = 0;
  virtual void rec_delete(int handle) = 0;
  virtual void rec_move(long x, long y) = 0;
  virtual void rec_line(long x, long y) = 0;
  virtual void rec_poly(const std::vector<IPoint>& p, bool closed) = 0;
  virtual void rec_rect(long l, long t, long r, long b) = 0;
  virtual void rec_save() = 0;
  virtual void rec_restore() = 0;
  virtual void rec_clip(long l, long t, long r, long b) = 0;
  // Largest coordinate the format can hold.
  virtual long coord_limit() const = 0;

  // Called by open() of the format once the device map is set: the neutral objects, the
  // default pen and, unless the background is white, a black page.
  void start_drawing(long page_w, long page_h, bool black_page);
  long page_w_ = 0, page_h_ = 0;

 private:
  void use_line_pen();
  void use_fill(const uint8_t* rgb);
  void replace_pen(int& handle, uint32_t style, long width, const uint8_t* rgb);
  void reselect_current();
  long to_long(double v) const;

  HandleTable handles_;
  int neutral_pen_ = -1, neutral_brush_ = -1;
  int line_pen_ = -1, fill_pen_ = -1, brush_ = -1;
  int selected_pen_ = -1, selected_brush_ = -1;
  bool line_pen_dirty_ = true;
  uint8_t rgb_[3] = {0, 0, 0};
  uint8_t fill_pen_rgb_[3] = {0, 0, 0}, brush_rgb_[3] = {0, 0, 0};
  long width_ = 1;
  int cap_ = 2, join_ = 2;
  int saved_ = 0;
  std::vector<IPoint> pts_;

 protected:
  int handle_peak() const { return handles_.peak(); }
};

}  // namespace tavero::gdi
