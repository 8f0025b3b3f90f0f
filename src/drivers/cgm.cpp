// CGM (device 211): a binary Computer Graphics Metafile (character-independent binary
// encoding). Integer VDC of 16 bits in units of twice the plot unit, y upwards; colours are
// direct RGB with 8 bits per channel. Each page is one picture. Lines are polylines with a
// real line width, rectangles and solid polygons are filled elements, and the clipping window
// is the picture's clip rectangle.
//
// Bytes leave through the record writer (80-byte records written whole). The metafile is
// closed with a no-op element sized so that END METAFILE ends the last record exactly: the
// file then needs no blank padding and stays a valid metafile to its last byte.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include <cstdio>
#include <vector>

#include "core/clock.h"
#include "core/context.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "drivers/factories.h"
#include "drivers/registry.h"
#include "drivers/outbuf.h"
#include "tavero_api.h"

namespace tavero {

// --- options

void cgmver(int nvers) {
  Context* ctx = enter(R::cgmver);
  if (!ctx || check_range(*ctx, nvers, 1, 4)) return;
  ctx->drv.cgm_version = nvers;
}

// Applies to pictures begun afterwards (the background belongs to the picture descriptor).
void cgmbgd(double xr, double xg, double xb) {
  Context* ctx = enter(R::cgmbgd);
  if (!ctx) return;
  const double v[3] = {xr, xg, xb};
  for (double c : v) {
    if (!(c >= -0.001 && c <= 1.001)) {
      warn_code(*ctx, kMsgIncorrectParameter);
      return;
    }
  }
  for (int i = 0; i < 3; ++i)
    ctx->drv.cgm_bg[i] = static_cast<uint8_t>(std::lround(std::fmin(std::fmax(v[i], 0.0), 1.0) * 255));
  ctx->drv.cgm_bg_set = 1;
}

void cgmpic(const char* cstr) {
  Context* ctx = enter(R::cgmpic);
  if (!ctx) return;
  ctx->drv.cgm_picture.assign(cstr ? cstr : "");
  if (ctx->drv.cgm_picture.size() > 80) ctx->drv.cgm_picture.resize(80);
}

namespace {

constexpr int kMsgCgmTooLong = 39;
constexpr int kRecord = 80;          // bytes per output record
constexpr double kVdcMax = 32767.0;  // largest 16-bit VDC

// Element parameters in big-endian words, as the binary encoding wants them.
class Params {
 public:
  void clear() { b_.clear(); }
  void i16(long v) {
    if (v > 32767) v = 32767;
    if (v < -32768) v = -32768;
    uint16_t u = static_cast<uint16_t>(static_cast<int16_t>(v));
    b_.push_back(static_cast<char>(u >> 8));
    b_.push_back(static_cast<char>(u & 0xFF));
  }
  void byte(uint8_t v) { b_.push_back(static_cast<char>(v)); }
  void f32(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    for (int s = 24; s >= 0; s -= 8) b_.push_back(static_cast<char>((u >> s) & 0xFF));
  }
  // A string with its length byte (255 and a 16-bit count for long strings).
  void str(const std::string& s) {
    if (s.size() < 255) {
      byte(static_cast<uint8_t>(s.size()));
    } else {
      size_t n = s.size() > 32767 ? 32767 : s.size();
      byte(255);
      i16(static_cast<long>(n));
      b_.append(s, 0, n);
      return;
    }
    b_ += s;
  }
  void rgb(uint8_t r, uint8_t g, uint8_t b) {
    byte(r);
    byte(g);
    byte(b);
  }
  const std::string& bytes() const { return b_; }

 private:
  std::string b_;
};

// Element classes and ids used here.
enum : int {
  kDelimiter = 0, kDescriptor = 1, kPicture = 2, kControl = 3, kPrimitive = 4, kAttribute = 5
};

class CgmDriver final : public Driver {
 public:
  explicit CgmDriver(Context& ctx)
      : Driver(ctx), out_(ctx.core.plot_file), records_(out_, kRecord, true) {}

  bool open() override {
    CoreState& c = ctx_.core;
    DeviceState& d = ctx_.dev;
    const double u = c.unit_factor * c.scale_factor;
    double s = 2 * u;
    const double W = c.page_w, H = c.page_h;
    const double longest = std::fmax(std::fmax(W, H), 1.0);
    metric_ = 0.05;
    if (s * longest > kVdcMax) {
      // the picture keeps its size on paper: coarser VDC units, each worth more millimetres
      warn_code(ctx_, kMsgCgmTooLong);
      double fit = kVdcMax / longest;
      metric_ = 0.05 * s / fit;
      s = fit;
    }
    d.scale = s;
    d.colour_depth = 24;
    d.map = c.page_mode == 1 ? DeviceMap{0, s, 0, s, 0, 0, true}
                             : DeviceMap{s, 0, 0, 0, -s, s * H, true};
    ext_w_ = static_cast<long>(s * (c.page_mode == 1 ? H : W) + 0.5);
    ext_h_ = static_cast<long>(s * (c.page_mode == 1 ? W : H) + 0.5);
    version_ = ctx_.drv.cgm_version >= 1 && ctx_.drv.cgm_version <= 4 ? ctx_.drv.cgm_version : 1;
    write_metafile_header();
    begin_picture();
    return true;
  }

  bool finish() override {
    emit_flush(ctx_);
    element(kDelimiter, 5, nullptr);  // END PICTURE
    // a no-op sized so that END METAFILE (2 bytes) closes the last record exactly
    for (long k = (kRecord - (written_ + 2) % kRecord) % kRecord; k > 0;) {
      long chunk = k < 32 ? k : 32;
      p_.clear();
      for (long i = 0; i < chunk - 2; ++i) p_.byte(0);
      element(kDelimiter, 0, &p_);
      k -= chunk;
    }
    element(kDelimiter, 2, nullptr);  // END METAFILE
    records_.finish();
    out_.drain();
    return true;
  }

  void abandon() override { out_.memory().clear(); }

  void new_page() override {
    element(kDelimiter, 5, nullptr);
    ++page_;
    begin_picture();
  }

  void polyline(const double* x, const double* y, int n) override {
    if (n < 2) return;
    p_.clear();
    for (int i = 0; i < n; ++i) {
      p_.i16(vdc(x[i]));
      p_.i16(vdc(y[i]));
    }
    element(kPrimitive, 1, &p_);
  }

  void set_color(const DeviceColor& c) override {
    line_rgb_[0] = c.r;
    line_rgb_[1] = c.g;
    line_rgb_[2] = c.b;
    write_line_colour();
  }

  bool set_line_width(int w, double fraction) override {
    if (!ctx_.line.hw_line) {
      width_ = 1;
      write_line_width();
      return false;
    }
    (void)w;
    width_ = std::fmax(1.0, fraction * ctx_.dev.scale);
    write_line_width();
    return true;
  }

  void set_line_cap(int cap) override {
    cap_ = cap;
    write_cap_join();
  }

  void set_line_join(int join) override {
    join_ = join;
    write_cap_join();
  }

  void set_clip(bool on, const int* rect) override {
    clip_on_ = on;
    for (int i = 0; i < 4; ++i) clip_[i] = rect[i];
    write_clip();
  }

  bool fill_rect(double x1, double y1, double x2, double y2, const DeviceColor& c) override {
    double a, b, e, f;
    to_device(ctx_, x1, y1, a, b);
    to_device(ctx_, x2, y2, e, f);
    fill_colour(c.r, c.g, c.b);
    p_.clear();
    p_.i16(vdc(a));
    p_.i16(vdc(b));
    p_.i16(vdc(e));
    p_.i16(vdc(f));
    element(kPrimitive, 11, &p_);  // RECTANGLE
    return true;
  }

  bool fill_polygon(const double* x, const double* y, int n) override {
    if (n < 3) return n > 0;
    fill_colour(line_rgb_[0], line_rgb_[1], line_rgb_[2]);
    p_.clear();
    for (int i = 0; i < n; ++i) {
      p_.i16(vdc(x[i]));
      p_.i16(vdc(y[i]));
    }
    element(kPrimitive, 7, &p_);  // POLYGON
    return true;
  }

  bool has_polygon_fill() const override { return true; }

 private:
  static long vdc(double v) {
    if (!(v == v)) return 0;
    if (v > kVdcMax) return 32767;
    if (v < -32768.0) return -32768;
    return static_cast<long>(std::floor(v + 0.5));
  }

  // Raw bytes into the records, never splitting across a record boundary, so every record
  // but the last is written full.
  void raw(const char* b, size_t n) {
    while (n > 0) {
      size_t room = static_cast<size_t>(kRecord - written_ % kRecord);
      size_t k = n < room ? n : room;
      if (!records_.write(b, static_cast<int>(k))) {
        warn_text(ctx_, 176, "Internal overflow in qqsbuf");
        return;
      }
      written_ += static_cast<long>(k);
      b += k;
      n -= k;
    }
  }

  void word(unsigned w) {
    char b[2] = {static_cast<char>((w >> 8) & 0xFF), static_cast<char>(w & 0xFF)};
    raw(b, 2);
  }

  // One element: header word (class, id, length), the long form with partitions of at most
  // 32766 bytes for 31 bytes and more, parameters padded to a whole word.
  void element(int cls, int id, const Params* p) {
    const std::string empty;
    const std::string& b = p ? p->bytes() : empty;
    const unsigned head = (static_cast<unsigned>(cls) << 12) | (static_cast<unsigned>(id) << 5);
    if (b.size() < 31) {
      word(head | static_cast<unsigned>(b.size()));
      raw(b.data(), b.size());
    } else {
      word(head | 31);
      size_t pos = 0;
      while (pos < b.size()) {
        size_t k = b.size() - pos;
        bool more = k > 32766;
        if (more) k = 32766;
        word((more ? 0x8000u : 0u) | static_cast<unsigned>(k));
        raw(b.data() + pos, k);
        pos += k;
      }
    }
    if (b.size() & 1) raw("", 1);
  }

  void enumerated(int cls, int id, int v) {
    p_.clear();
    p_.i16(v);
    element(cls, id, &p_);
  }

  void write_metafile_header() {
    DateTime t = now_local();
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02d%02d", t.year, t.month, t.day);
    p_.clear();
    p_.str("TAVERO");
    element(kDelimiter, 1, &p_);  // BEGIN METAFILE
    enumerated(kDescriptor, 1, version_);  // METAFILE VERSION
    std::string desc = version_ == 4 ? "ProfileId:WebCGM" : "ProfileId:CALS";
    desc += " ProfileEd:1.0 Source:TAVERO Date:";
    desc += date;
    desc += " ColourClass:colour";
    p_.clear();
    p_.str(desc);
    element(kDescriptor, 2, &p_);  // METAFILE DESCRIPTION
    enumerated(kDescriptor, 3, 0);  // VDC TYPE integer
    enumerated(kDescriptor, 4, 16);  // INTEGER PRECISION
    p_.clear();  // REAL PRECISION: 32-bit floating point
    p_.i16(0);
    p_.i16(9);
    p_.i16(23);
    element(kDescriptor, 5, &p_);
    enumerated(kDescriptor, 6, 16);  // INDEX PRECISION
    enumerated(kDescriptor, 7, 8);   // COLOUR PRECISION
    p_.clear();  // COLOUR VALUE EXTENT
    p_.rgb(0, 0, 0);
    p_.rgb(255, 255, 255);
    element(kDescriptor, 10, &p_);
    p_.clear();  // METAFILE ELEMENT LIST: the drawing-plus-control set
    p_.i16(1);
    p_.i16(-1);
    p_.i16(1);
    element(kDescriptor, 11, &p_);
  }

  void begin_picture() {
    std::string name = ctx_.drv.cgm_picture.empty() ? "Picture" : ctx_.drv.cgm_picture;
    if (page_ > 1) {
      name += ' ';
      name += std::to_string(page_);
    }
    p_.clear();
    p_.str(name);
    element(kDelimiter, 3, &p_);  // BEGIN PICTURE
    p_.clear();
    p_.i16(1);  // SCALING MODE metric
    p_.f32(static_cast<float>(metric_));
    element(kPicture, 1, &p_);
    enumerated(kPicture, 2, 1);  // COLOUR SELECTION MODE direct
    enumerated(kPicture, 3, 0);  // LINE WIDTH SPECIFICATION MODE absolute
    enumerated(kPicture, 5, 0);  // EDGE WIDTH SPECIFICATION MODE absolute
    p_.clear();  // VDC EXTENT
    p_.i16(0);
    p_.i16(0);
    p_.i16(ext_w_);
    p_.i16(ext_h_);
    element(kPicture, 6, &p_);
    // white paper unless the caller chose a background
    const uint8_t* bg = ctx_.drv.cgm_bg;
    p_.clear();
    if (ctx_.drv.cgm_bg_set)
      p_.rgb(bg[0], bg[1], bg[2]);
    else
      p_.rgb(255, 255, 255);
    element(kPicture, 7, &p_);  // BACKGROUND COLOUR
    element(kDelimiter, 4, nullptr);  // BEGIN PICTURE BODY
    enumerated(kAttribute, 22, 1);  // INTERIOR STYLE solid
    enumerated(kAttribute, 30, 0);  // EDGE VISIBILITY off
    fill_known_ = false;
    // attributes of the page before (a new picture starts from the defaults)
    if (page_ > 1) {
      write_line_colour();
      write_line_width();
      write_cap_join();
      if (clip_set_) write_clip();
    }
  }

  void write_line_colour() {
    // LINE COLOUR: header 0x50 0x83, red, green, blue and a pad byte
    p_.clear();
    p_.rgb(line_rgb_[0], line_rgb_[1], line_rgb_[2]);
    element(kAttribute, 4, &p_);
  }

  void write_line_width() {
    enumerated(kAttribute, 3, static_cast<int>(std::lround(width_)));
  }

  // LINE CAP and LINE JOIN exist from version 3 on.
  void write_cap_join() {
    if (version_ < 3) return;
    static const int kCap[3] = {2, 3, 4};   // butt, round, projecting square
    static const int kJoin[3] = {2, 3, 4};  // mitre, round, bevel
    p_.clear();
    p_.i16(kCap[cap_ < 0 || cap_ > 2 ? 2 : cap_]);
    p_.i16(3);  // dash cap: match
    element(kAttribute, 37, &p_);
    enumerated(kAttribute, 38, kJoin[join_ < 0 || join_ > 2 ? 2 : join_]);
  }

  void write_clip() {
    clip_set_ = true;
    double x0, y0, x1, y1;
    to_device(ctx_, clip_[0], clip_[1], x0, y0);
    to_device(ctx_, clip_[2], clip_[3], x1, y1);
    p_.clear();
    p_.i16(vdc(std::fmin(x0, x1)));
    p_.i16(vdc(std::fmin(y0, y1)));
    p_.i16(vdc(std::fmax(x0, x1)));
    p_.i16(vdc(std::fmax(y0, y1)));
    element(kControl, 5, &p_);  // CLIP RECTANGLE
    enumerated(kControl, 6, clip_on_ ? 1 : 0);  // CLIP INDICATOR
  }

  void fill_colour(uint8_t r, uint8_t g, uint8_t b) {
    if (fill_known_ && fill_rgb_[0] == r && fill_rgb_[1] == g && fill_rgb_[2] == b) return;
    fill_rgb_[0] = r;
    fill_rgb_[1] = g;
    fill_rgb_[2] = b;
    fill_known_ = true;
    p_.clear();
    p_.rgb(r, g, b);
    element(kAttribute, 23, &p_);  // FILL COLOUR
  }

  OutFile out_;
  FieldWriter records_;
  Params p_;
  long written_ = 0;
  long ext_w_ = 0, ext_h_ = 0;
  double metric_ = 0.05;  // millimetres per VDC unit
  int version_ = 1;
  int page_ = 1;
  uint8_t line_rgb_[3] = {0, 0, 0};
  uint8_t fill_rgb_[3] = {0, 0, 0};
  bool fill_known_ = false;
  double width_ = 1;
  int cap_ = 2, join_ = 2;
  bool clip_on_ = false, clip_set_ = false;
  int clip_[4] = {0, 0, 0, 0};
};

}  // namespace

Driver* make_cgm_driver(Context& ctx) { return new CgmDriver(ctx); }

// ------------------------------------------------------------------------------------------
// Playing the library metafile of the last plot back on another device (symfil)

namespace {

constexpr int kMsgNoMetafile = 20, kMsgAfterTavfin = 21, kMsgMetafileDeleted = 22;

// The fields of a metafile body: 10 characters each, packed into lines.
std::vector<double> metafile_fields(FILE* f, double& wcm, double& hcm) {
  std::vector<double> out;
  char line[256];
  if (!std::fgets(line, sizeof line, f) || std::sscanf(line, "%lf %lf", &wcm, &hcm) != 2) return out;
  std::string body;
  while (std::fgets(line, sizeof line, f)) {
    for (char* p = line; *p; ++p)
      if (*p != '\n' && *p != '\r') body.push_back(*p);
  }
  for (size_t i = 0; i + 10 <= body.size(); i += 10) {
    char field[11];
    std::memcpy(field, body.data() + i, 10);
    field[10] = 0;
    char* end = nullptr;
    double v = std::strtod(field, &end);
    if (end == field) break;
    out.push_back(v);
  }
  return out;
}

void play_fields(Context& ctx, const std::vector<double>& v) {
  const double W = ctx.core.page_w, H = ctx.core.page_h;
  const double side = std::fmax(std::fmax(W, H), 1.0);
  int pen = 3;
  for (size_t i = 0; i < v.size();) {
    double f = v[i];
    if (f == 9.0) break;
    if (f >= 9.5) {  // a colour: 89 per "99" field, then the rest plus 9
      int n = 0;
      while (i < v.size() && v[i] == 99.0) {
        n += 89;
        ++i;
      }
      if (i >= v.size()) break;
      n += static_cast<int>(std::lround(v[i])) - 9;
      ++i;
      qqsclr(ctx, n == 256 ? 0 : n);
      continue;
    }
    if (i + 1 >= v.size()) break;
    double x = v[i] * side, y = H - v[i + 1] * side;
    i += 2;
    if (i < v.size() && (v[i] == 2.0 || v[i] == 3.0)) pen = static_cast<int>(v[i++]);
    if (pen == 3)
      buffer_move(ctx, x, y);
    else
      buffer_draw(ctx, x, y);
  }
  qqflsh(ctx);
}

}  // namespace

// cdev: a metafl keyword; cstat "DELE" removes the metafile afterwards, "KEEP" keeps it.
void symfil(const char* cdev, const char* cstat) {
  Context* ctx = enter(R::symfil);
  if (!ctx) return;
  int stat = lookup_keyword(*ctx, "DELE+KEEP", 2, cstat);
  if (!stat) return;
  CoreState& c = ctx->core;
  if (!c.finished) {
    warn_code(*ctx, kMsgAfterTavfin);
    return;
  }
  if (c.device != 201) {
    warn_code(*ctx, kMsgNoMetafile);
    return;
  }
  char key[5] = "    ";
  for (int i = 0; i < 4 && cdev && cdev[i]; ++i)
    key[i] = static_cast<char>(cdev[i] >= 'a' && cdev[i] <= 'z' ? cdev[i] - 32 : cdev[i]);
  const DeviceEntry* dev = find_device_keyword(key);
  int code = dev ? (dev->code == 101 ? 80 : dev->code) : 0;
  if (std::strncmp(key, "MET", 3) == 0 && key[3] >= '1' && key[3] <= '9') code = 80;
  if (!code || code == 81 || code == 201) {
    warn_string(*ctx, kMsgIncorrectParameter, cdev ? cdev : "");
    return;
  }
  const std::string meta = c.plot_file_name;
  FILE* f = std::fopen(meta.c_str(), "r");
  if (!f) {
    warn_code(*ctx, kMsgMetafileDeleted);
    return;
  }
  double wcm = 0, hcm = 0;
  std::vector<double> fields = metafile_fields(f, wcm, hcm);
  std::fclose(f);
  if (!(wcm > 0 && hcm > 0)) {
    warn_code(*ctx, kMsgNoMetafile);
    return;
  }
  // the plot runs on the other device with the metafile's page, in base units, under the
  // default file name; everything of the caller's setup comes back afterwards
  const CoreState saved = c;
  c.device = code;
  std::memcpy(c.format_name, key, 5);
  c.format_chosen = 1;
  c.unit_factor = 1.0;
  c.page_size_w = wcm * 100.0;
  c.page_size_h = hcm * 100.0;
  // the header keeps millimetres only: the page of the plot that wrote it is exact
  const double exact_w = saved.page_w * saved.unit_factor, exact_h = saved.page_h * saved.unit_factor;
  if (std::fabs(exact_w - c.page_size_w) <= 5.0 && std::fabs(exact_h - c.page_size_h) <= 5.0) {
    c.page_size_w = exact_w;
    c.page_size_h = exact_h;
  }
  c.file_name_state = 0;
  tavini();
  if (c.level == 1) {
    play_fields(*ctx, fields);
    tavfin();
  }
  c.device = saved.device;
  std::memcpy(c.format_name, saved.format_name, 5);
  c.format_chosen = saved.format_chosen;
  c.unit_factor = saved.unit_factor;
  c.page_size_w = saved.page_size_w;
  c.page_size_h = saved.page_size_h;
  c.file_name_state = saved.file_name_state;
  c.page_w = saved.page_w;
  c.page_h = saved.page_h;
  std::memcpy(c.plot_file_name, saved.plot_file_name, sizeof c.plot_file_name);
  std::memcpy(c.routine, "symfil", 7);
  if (stat == 1) std::remove(meta.c_str());
}

}  // namespace tavero
