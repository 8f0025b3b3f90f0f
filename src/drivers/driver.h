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
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

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

// --- reusable drawings (plot symbols placed by offset, see Driver::begin_reuse)

// Everything the look of a reusable drawing depends on, packed by the core; equal keys mean
// equal drawings up to their position.
struct ReuseKey {
  uint64_t w[6] = {};
  bool operator==(const ReuseKey& o) const {
    for (int i = 0; i < 6; ++i)
      if (w[i] != o.w[i]) return false;
    return true;
  }
};

// A drawing offered for reuse: its key, its reference point and every vertex it will send,
// in device units. A device repeats a drawing only where the copy writes the very numbers
// that direct drawing would write, so it compares the vertices as it would round them.
struct ReuseOffer {
  ReuseKey key;
  double x = 0, y = 0;
  const double* vx = nullptr;
  const double* vy = nullptr;
  int n = 0;
};

// What the core does with an offered drawing.
enum class Reuse {
  kDraw,     // draw it as usual
  kRecord,   // draw it; the device keeps what arrives until end_reuse()
  kPlaced,   // the device placed a copy of an earlier drawing: draw nothing
};

// The bookkeeping of a device's reusable drawings: one entry per key and pattern, the
// pattern being the vertices as the device writes them (rounded, in its units) relative to
// the rounded reference point. Equal patterns make a translated copy exact.
class ReuseTable {
 public:
  struct Entry {
    int seen = 0;             // drawn directly so far
    int number = 0;           // 1, 2, ... once recorded
    bool usable = true;       // false: it is not repeated
    long long rx = 0, ry = 0; // rounded reference point of the recorded drawing
    std::vector<long long> pattern;
    ReuseKey key;
    uint64_t h = 0;
  };
  static constexpr std::size_t kMaxEntries = 8192;

  // The entry of an offer whose rounded vertices and reference are given; null when the
  // table is full or another pattern holds the slot (same key and hash). Entries stay where
  // they are while the table grows.
  Entry* find(const ReuseKey& key, const long long* pattern, int n) {
    if (!(key == last_key_) || !have_last_) {
      last_key_ = key;
      have_last_ = true;
      uint64_t k = 0x243F6A8885A308D3ull;
      for (uint64_t v : key.w) k = (k ^ v) * 0x9E3779B97F4A7C15ull;
      last_hash_ = k;
    }
    // two lanes, so the multiplications of a long pattern overlap
    uint64_t a = last_hash_, b = 0xCBF29CE484222325ull;
    int i = 0;
    for (; i + 1 < n; i += 2) {
      a = (a ^ static_cast<uint64_t>(pattern[i])) * 0x100000001B3ull;
      b = (b ^ static_cast<uint64_t>(pattern[i + 1])) * 0x9E3779B97F4A7C15ull;
    }
    if (i < n) a = (a ^ static_cast<uint64_t>(pattern[i])) * 0x100000001B3ull;
    uint64_t h = a ^ (b + 0x7F4A7C159E3779B9ull + (a << 6) + (a >> 2));
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ull;
    h ^= h >> 29;
    if (slots_.empty()) slots_.assign(256, -1);
    for (std::size_t m = slots_.size() - 1, s = h & m;; s = (s + 1) & m) {
      const int idx = slots_[s];
      if (idx < 0) {
        if (entries_.size() >= kMaxEntries) return nullptr;
        entries_.emplace_back();
        Entry& e = entries_.back();
        e.pattern.assign(pattern, pattern + n);
        e.key = key;
        e.h = h;
        slots_[s] = static_cast<int>(entries_.size() - 1);
        if (2 * entries_.size() > slots_.size()) grow();
        return &e;
      }
      Entry& e = entries_[static_cast<std::size_t>(idx)];
      if (e.h != h || !(e.key == key)) continue;
      if (e.pattern.size() != static_cast<std::size_t>(n) ||
          (n && std::memcmp(e.pattern.data(), pattern, sizeof(long long) * n) != 0))
        return nullptr;
      return &e;
    }
  }

 private:
  void grow() {
    std::vector<int> bigger(2 * slots_.size(), -1);
    const std::size_t m = bigger.size() - 1;
    for (std::size_t k = 0; k < entries_.size(); ++k) {
      std::size_t s = entries_[k].h & m;
      while (bigger[s] >= 0) s = (s + 1) & m;
      bigger[s] = static_cast<int>(k);
    }
    slots_.swap(bigger);
  }

  std::deque<Entry> entries_;
  std::vector<int> slots_;   // open addressing: index into entries_, -1 free
  ReuseKey last_key_;
  uint64_t last_hash_ = 0;
  bool have_last_ = false;
};

// v * 10^decimals rounded to an integer exactly as the fixed-decimal writers round (the
// exact binary value, ties to even), for |v| below 1e13; non-finite values give 0.
inline long long decimal_units(double v, int decimals) {
  static constexpr double kScale[3] = {1.0, 10.0, 100.0};
  if (!(v == v) || decimals < 0 || decimals > 2) return 0;
  const double av = v < 0 ? -v : v;
  if (!(av < 1e13)) return 0;
  const double y = av * kScale[decimals];
  long long q = static_cast<long long>(y);
  const double frac = y - static_cast<double>(q);
  const double off = frac - 0.5;
  if ((off < 0 ? -off : off) > y * 0x1p-52) {
    q += frac > 0.5 ? 1 : 0;
  } else {
    // near a half: the product in the 64-bit significand of long double is exact
    const long double ey = static_cast<long double>(av) * kScale[decimals];
    q = static_cast<long long>(ey);
    const long double ef = ey - static_cast<long double>(q);
    if (ef > 0.5L || (ef == 0.5L && (q & 1))) ++q;
  }
  return v < 0 ? -q : q;
}

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

  // --- reusable drawings: a small drawing that recurs at many places (plot symbols) may be
  // kept by the device and repeated by an offset. The core offers one only when a copy is
  // exactly what direct drawing gives: it lies inside the clipping window, no transformation,
  // segment filter, dash or emulated wide line is in force (ReuseOffer above).
  virtual bool keeps_drawings() const { return false; }
  virtual Reuse begin_reuse(const ReuseOffer& offer) { (void)offer; return Reuse::kDraw; }
  virtual void end_reuse() {}

  // Whether the device fills polygons itself when asked (solid hardware shading).
  virtual bool has_polygon_fill() const { return false; }
  // A plot file was written in this run (for the end protocol).
  virtual bool wrote_file() const { return true; }

 protected:
  Context& ctx_;
};

using DriverFactory = Driver* (*)(Context& ctx);

}  // namespace tavero
