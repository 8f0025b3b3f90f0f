// The PDF driver (device code 511): a PDF 1.3 document with one page per newpag, content
// streams deflate compressed unless pdfmod switched compression off, the standard fonts,
// image and form XObjects and bookmarks. The document goes to its own file, or stays in
// memory for pdfbuf.
#include "drivers/pdf.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "core/clock.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/pipeline.h"
#include "drivers/factories.h"
#include "drivers/pdf_writer.h"
#include "tavero_api.h"
#include "text/fastfmt.h"

namespace tavero {

namespace {

using pdf::append_fixed;
using pdf::append_int;

struct FontInfo {
  const char* name;
  int ascender;
};

const FontInfo kFonts[kPdfFontCount] = {
    {"Times-Roman", 683}, {"Times-Bold", 676}, {"Times-Italic", 683},
    {"Times-BoldItalic", 699}, {"Helvetica", 718}, {"Helvetica-Bold", 718},
    {"Helvetica-Oblique", 718}, {"Helvetica-BoldOblique", 718}, {"Helvetica-Narrow", 718},
    {"Helvetica-Narrow-Bold", 718}, {"Helvetica-Narrow-Oblique", 718},
    {"Helvetica-Narrow-BoldOblique", 718}, {"NewCenturySchlbk-Roman", 737},
    {"NewCenturySchlbk-Italic", 737}, {"NewCenturySchlbk-Bold", 737},
    {"NewCenturySchlbk-BoldItalic", 737}, {"ZapfChancery-MediumItalic", 748},
    {"ZapfDingbats", 685}, {"Courier", 629}, {"Courier-Bold", 626}, {"Courier-Oblique", 629},
    {"Courier-BoldOblique", 626}, {"AvantGarde-Book", 740}, {"AvantGarde-Demi", 740},
    {"AvantGarde-BookOblique", 740}, {"AvantGarde-DemiOblique", 740}, {"Bookman-Light", 717},
    {"Bookman-LightItalic", 717}, {"Bookman-Demi", 725}, {"Bookman-DemiItalic", 732},
    {"Palatino-Roman", 726}, {"Palatino-Italic", 733}, {"Palatino-Bold", 720},
    {"Palatino-BoldItalic", 726}, {"Symbol", 685},
};

constexpr double kPointsPerUnit = 72.0 / 254.0;   // points per 0.1 mm
constexpr double kDotShift = 0.354;               // a zero-length line shows as a dot
// Raw content per stream object. Deflate at the default level costs several times what
// writing the content does, so a large page is cut into pieces of 1 MB that are compressed
// while the next ones are written (pdf_writer.h), and what is left at the end of the page is
// cut in two halves compressed side by side when it has 64 kB or more. Smaller pages stay
// one stream, compressed at the end on the calling thread.
constexpr std::size_t kChunk = std::size_t{1} << 20;
constexpr std::size_t kSplitLast = std::size_t{64} << 10;
// A symbol that recurs this often is kept as a form and placed by offset from then on; the
// first ones stay in the page, so a plot with a few symbols reads as before.
constexpr int kDirectCopies = 2;
constexpr std::size_t kMemoryStart = 512000;      // buffer output starts with this much
constexpr std::size_t kContentStart = 300000;

// llround(100 v) without the library call: the dot rule compares every point with the last.
inline long long centi(double v) {
  const double t = v * 100.0;
  if (!(std::fabs(t) < 4e18)) return std::llround(t);
  long long i = static_cast<long long>(t);
  const double f = t - static_cast<double>(i);   // exact: t and i are that close
  if (f >= 0.5)
    ++i;
  else if (f <= -0.5)
    --i;
  return i;
}

struct Rgb {
  int r = -1, g = -1, b = -1;   // -1: unknown (nothing written yet)
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
  bool known() const { return r >= 0; }
};

// The part of the graphics state the driver writes; `written` follows the q/Q nesting.
struct GState {
  std::string width;            // formatted with 3 decimals, "" unknown
  int cap = -1, join = -1, miter = -1;
  Rgb stroke, fill;
  std::string font;             // "/F1 12 Tf" as written, "" unknown
  std::string hscale;           // "100 Tz" as written
};

struct Resources {
  std::array<bool, kPdfFontCount> fonts{};
  std::vector<int> images;      // image numbers
  std::vector<int> forms;       // form numbers
  std::vector<int> copies;      // numbers of reusable drawings placed
  std::vector<bool> has_copy;   // by number - 1
  bool any_font() const {
    return std::any_of(fonts.begin(), fonts.end(), [](bool b) { return b; });
  }
};

struct Bookmark {
  std::string title;
  int level;
  int page_obj;
  int top;
};

struct ImageEntry {
  int obj;
  bool indexed;
};

enum class Path { kNone, kMove, kDrawing };

class PdfDriver final : public Driver {
 public:
  explicit PdfDriver(Context& ctx) : Driver(ctx) {}

  // --- life cycle

  bool open() override {
    CoreState& c = ctx_.core;
    DeviceState& d = ctx_.dev;
    ctx_.drv.pdf_document.clear();
    compress_ = ctx_.drv.pdf_compress != 0;
    buffer_ = ctx_.drv.pdf_buffer != 0;
    int W = c.page_w, H = c.page_h;
    turned_ = W > H && c.page_mode != 2;
    // paper 195 x 280 mm unless hwpage gave one, in points; sides follow the page
    double pw = 3900, ph = 5600;
    if (c.hw_page_set) {
      pw = 2.0 * c.hw_page_w;
      ph = 2.0 * c.hw_page_h;
    }
    if (turned_) std::swap(pw, ph);
    pw *= 0.5 * kPointsPerUnit;
    ph *= 0.5 * kPointsPerUnit;
    double s = std::min(pw / std::max(W, 1), ph / std::max(H, 1));
    if (c.scale_mode == 0) s = std::min(s, c.unit_factor * c.scale_factor * kPointsPerUnit);
    d.scale = s;
    d.colour_depth = 24;
    d.map = turned_ ? DeviceMap{0, s, 0, s, 0, 0, false} : DeviceMap{s, 0, 0, 0, -s, s * H, false};
    media_w_ = static_cast<int>((turned_ ? H : W) * s + 1);
    media_h_ = static_cast<int>((turned_ ? W : H) * s + 1);
    try {
      if (buffer_) {
        out_.open_memory(kMemoryStart);
      } else if (!out_.open_file(c.plot_file_name)) {
        warn_code(ctx_, kMsgFileError);
        return false;
      }
      catalog_ = out_.reserve();
      pages_obj_ = out_.reserve();
      content_.reserve(kContentStart);
      want_.width = width_text(5.0);
      want_.cap = 2;
      want_.join = 2;
      start_page();
    } catch (const std::bad_alloc&) {
      out_.abandon();
      warn_code(ctx_, kMsgNoMemory);
      return false;
    }
    return true;
  }

  bool finish() override {
    if (failed_) {
      out_.abandon();
      return false;
    }
    try {
      close_recording();
      finish_page();
      int outlines = write_outlines();
      out_.begin(pages_obj_);
      out_.put("<< /Type /Pages /Kids [\n");
      for (int p : pages_) {
        out_.put_int(p);
        out_.put(" 0 R\n");
      }
      out_.put("] /Count ");
      out_.put_int(static_cast<long long>(pages_.size()));
      out_.put("\n>>\n");
      out_.end();
      out_.begin(catalog_);
      out_.put("<< /Type /Catalog /Pages 2 0 R\n");
      if (outlines) {
        out_.put("   /Outlines ");
        out_.put_int(outlines);
        out_.put(" 0 R\n   /PageMode /UseOutlines\n");
      }
      out_.put(">>\n");
      out_.end();
      int info = out_.reserve();
      out_.begin(info);
      out_.put("<< /CreationDate (D:");
      out_.put(creation_date());
      out_.put(")\n/Producer (TAVERO 10.5)\n>>\n");
      out_.end();
      out_.finish(catalog_, info);
    } catch (const std::bad_alloc&) {
      warn_code(ctx_, kMsgNoMemory);
      out_.abandon();
      return false;
    }
    if (!out_.ok()) {
      warn_code(ctx_, kMsgFileError);
      out_.abandon();
      return false;
    }
    if (buffer_) {
      // kept with the record: pdfbuf is called after tavfin
      ctx_.drv.pdf_document = out_.take_memory();
      return false;  // kept in memory: no plot file
    }
    return true;
  }

  void abandon() override { out_.abandon(); }

  void new_page() override {
    guard([&] {
      close_recording();
      finish_page();
      start_page();
    });
  }

  // --- lines (device units; x[0], y[0] is a move)

  void polyline(const double* x, const double* y, int n) override {
    guard([&] {
      move_to(x[0], y[0]);
      if (n > 1) line_run(x + 1, y + 1, n - 1);
    });
  }

  void end_path() override {
    guard([&] { end_stroke(); });
  }

  // --- attributes

  void set_color(const DeviceColor& c) override {
    guard([&] {
      close_recording();
      end_stroke();
      end_text();
      want_.stroke = want_.fill = Rgb{c.r, c.g, c.b};
      apply_colors(false);
    });
  }

  // The width is physical as on PostScript: w plot units are w tenths of a millimetre, at
  // least 0.25 mm, times sclfac; thinner penwid widths come through as 5 x.
  bool set_line_width(int w, double fraction) override {
    const bool hw = ctx_.line.hw_line != 0;
    double lw = !hw ? 5.0 : fraction < 0.99 ? 5.0 * fraction : std::max(2.0 * w, 5.0);
    lw *= ctx_.core.scale_factor;
    guard([&] {
      close_recording();
      end_stroke();
      end_text();
      want_.width = width_text(lw);
      apply_attributes();
    });
    return hw;
  }

  void set_line_cap(int cap) override {
    guard([&] {
      close_recording();
      end_stroke();
      end_text();
      want_.cap = cap;
      apply_attributes();
    });
  }

  void set_line_join(int join) override {
    guard([&] {
      close_recording();
      end_stroke();
      end_text();
      want_.join = join;
      apply_attributes();
    });
  }

  void set_miter_limit(double limit) override {
    double pw = std::fabs(static_cast<double>(ctx_.line.pen_width));
    double m = std::round(std::max(2.0 * pw, 5.0) * limit);
    guard([&] {
      close_recording();
      end_stroke();
      end_text();
      want_.miter = static_cast<int>(std::min(m, 1e9));
      apply_attributes();
    });
  }

  void set_clip(bool on, const int* rect) override {
    guard([&] {
      close_recording();
      end_stroke();
      end_text();
      clip_on_ = on;
      if (on) {
        double x1, y1, x2, y2;
        to_device(ctx_, rect[0], rect[1], x1, y1);
        to_device(ctx_, rect[2], rect[3], x2, y2);
        clip_[0] = std::min(x1, x2);
        clip_[1] = std::min(y1, y2);
        clip_[2] = std::fabs(x2 - x1);
        clip_[3] = std::fabs(y2 - y1);
      }
      write_clip();
    });
  }

  // --- fills

  bool fill_rect(double x1, double y1, double x2, double y2, const DeviceColor& c) override {
    guard([&] {
      close_recording();
      end_stroke();
      end_text();
      double ax, ay, bx, by;
      to_device(ctx_, x1, y1, ax, ay);
      to_device(ctx_, x2, y2, bx, by);
      double x = std::min(ax, bx), y = std::min(ay, by);
      double w = std::fabs(bx - ax), h = std::fabs(by - ay);
      if (w < 0.01) {
        w = 2 * kDotShift;
        x -= kDotShift;
      }
      if (h < 0.01) {
        h = 2 * kDotShift;
        y -= kDotShift;
      }
      write_fill(Rgb{c.r, c.g, c.b});
      std::string& s = out();
      append_fixed(s, x, 2);
      s += ' ';
      append_fixed(s, y, 2);
      s += ' ';
      append_fixed(s, w, 2);
      s += ' ';
      append_fixed(s, h, 2);
      s += " re\nf\n";
    });
    return true;
  }

  bool fill_polygon(const double* x, const double* y, int n) override {
    if (n < 3) return false;
    guard([&] {
      end_stroke();
      end_text();
      std::vector<double> cx, cy;
      if (!bounded(x, y, n)) {
        bound_polygon(x, y, n, cx, cy);
        x = cx.data();
        y = cy.data();
        n = static_cast<int>(cx.size());
        if (n < 3) return;
      }
      write_fill(want_.fill);
      move_to(x[0], y[0]);
      line_run(x + 1, y + 1, n - 1);
      out() += "h\nf*\n";
      stroke_pending_ = false;
      path_ = Path::kNone;
    });
    return true;
  }

  bool has_polygon_fill() const override { return true; }
  bool wrote_file() const override { return !buffer_; }

  // --- text

  bool show_text(int font, double size, double hscale, double x, double y, double angle,
                 const char* text, int n) {
    if (font < 0 || font >= kPdfFontCount || !text || n <= 0) return false;
    if (!(size > 0 && size <= 1e5) || !std::isfinite(angle)) return false;
    if (!(std::fabs(x) <= limit() && std::fabs(y) <= limit())) return false;
    if (!(hscale > 0) || !std::isfinite(hscale)) hscale = 100.0;
    bool ok = guard([&] {
      close_recording();
      end_stroke();
      write_fill(want_.fill);
      use_font(font);
      std::string& s = out();
      if (!text_open_) {
        s += "BT\n";
        text_open_ = true;
      }
      std::string tf = "/F";
      append_int(tf, font + 1);
      tf += ' ';
      append_fixed_trim(tf, size, 2);
      tf += " Tf\n";
      if (written_.font != tf) {
        s += tf;
        written_.font = tf;
      }
      std::string tz;
      append_fixed_trim(tz, hscale, 2);
      tz += " Tz\n";
      if (written_.hscale != tz) {
        s += tz;
        written_.hscale = tz;
      }
      double a = angle * M_PI / 180.0, ca = std::cos(a), sa = std::sin(a);
      append_fixed_trim(s, ca, 4);
      s += ' ';
      append_fixed_trim(s, sa, 4);
      s += ' ';
      append_fixed_trim(s, -sa, 4);
      s += ' ';
      append_fixed_trim(s, ca, 4);
      s += ' ';
      append_fixed(s, x, 2);
      s += ' ';
      append_fixed(s, y, 2);
      s += " Tm\n";
      write_strings(s, text, n);
    });
    return ok;
  }

  // --- images and forms

  int add_image(const PdfImage& im) {
    if (im.width <= 0 || im.height <= 0 || !im.pixels) return 0;
    const bool indexed = im.palette != nullptr;
    if (indexed && (im.ncolors < 1 || im.ncolors > 256)) return 0;
    const std::size_t per = indexed ? 1 : 3;
    const std::size_t w = static_cast<std::size_t>(im.width), h = static_cast<std::size_t>(im.height);
    if (w > SIZE_MAX / per / h) return 0;
    int number = 0;
    guard([&] {
      close_recording();
      std::string head = "<< /Type /XObject /Subtype /Image\n";
      int white = -1;
      if (indexed) {
        head += "   /ColorSpace [/Indexed /DeviceRGB ";
        append_int(head, im.ncolors - 1);
        head += " <";
        static const char kHex[] = "0123456789ABCDEF";
        for (int i = 0; i < im.ncolors; ++i) {
          uint32_t e = im.palette[i] & 0xFFFFFFu;
          for (int k = 20; k >= 0; k -= 4) head += kHex[(e >> k) & 15];
          if (e == 0xFFFFFFu && white < 0) white = i;
        }
        head += ">]\n";
      } else {
        head += "   /ColorSpace /DeviceRGB\n";
      }
      if (im.white_transparent) {
        if (!indexed) {
          head += "   /Mask [255 255 255 255 255 255]\n";
        } else if (white >= 0) {  // the first white entry is the transparent one
          head += "   /Mask [";
          append_int(head, white);
          head += ' ';
          append_int(head, white);
          head += "]\n";
        }
      }
      head += "   /Width ";
      append_int(head, im.width);
      head += " /Height ";
      append_int(head, im.height);
      head += " /BitsPerComponent 8\n   ";
      int obj = out_.reserve();
      out_.stream(obj, head, "   ", reinterpret_cast<const char*>(im.pixels), w * h * per,
                  compress_, false);
      images_.push_back({obj, indexed});
      number = static_cast<int>(images_.size());
    });
    return number;
  }

  bool place_image(int number, double x1, double y1, double x2, double y2) {
    if (number < 1 || number > static_cast<int>(images_.size())) return false;
    const double L = 1e7;  // plot units; beyond this an image cannot meet the page
    if (!(std::fabs(x1) <= L && std::fabs(y1) <= L && std::fabs(x2) <= L && std::fabs(y2) <= L))
      return false;
    return guard([&] {
      close_recording();
      end_stroke();
      end_text();
      const DeviceMap& m = ctx_.dev.map;
      double dx = x2 - x1, dy = y2 - y1;
      double ex, ey;
      to_device(ctx_, x1, y2, ex, ey);
      // the unit square of the image: u along the top row, v upwards from the bottom row
      const double cm[6] = {m.a * dx, m.d * dx, -m.b * dy, -m.e * dy, ex, ey};
      std::string& s = out();
      s += "q\n";
      for (int i = 0; i < 6; ++i) {
        append_fixed_trim(s, cm[i], 4);
        s += ' ';
      }
      s += "cm\n/Image";
      append_int(s, number);
      s += " Do\nQ\n";
      add_unique(res().images, number);
    });
  }

  bool begin_form() {
    if (form_) return false;
    return guard([&] {
      close_recording();
      end_stroke();
      end_text();
      form_.reset(new Form);
      form_->written = written_;
      form_->clip_on = clip_on_;
      std::copy(clip_, clip_ + 4, form_->clip);
      form_->depth = saved_.size();
    });
  }

  bool end_form() {
    if (!form_) return false;
    return guard([&] {
      close_recording();
      end_stroke();
      end_text();
      Form& f = *form_;
      if (f.in_q) pop_state();
      std::string head = "<< /Type /XObject /Subtype /Form\n/FormType 1\n/BBox [0 0 ";
      append_int(head, media_w_);
      head += ' ';
      append_int(head, media_h_);
      head += "]\n/Matrix [1 0 0 1 0 0]\n";
      head += resources_text(f.res, true);
      int obj = out_.reserve();
      out_.stream(obj, head, "", f.content.data(), f.content.size(), compress_, true);
      forms_.push_back(obj);
      int number = static_cast<int>(forms_.size());
      // the form leaves the graphics state of the page as it found it
      written_ = f.written;
      bool clip_changed = f.clip_on != clip_on_ ||
                          (clip_on_ && !std::equal(clip_, clip_ + 4, f.clip));
      form_.reset();
      std::string& s = out();
      s += "/Form";
      append_int(s, number);
      s += " Do\n";
      add_unique(res().forms, number);
      if (clip_changed) write_clip();
      apply_attributes();
      apply_colors(false);
    });
  }

  // --- reusable drawings

  bool keeps_drawings() const override { return true; }

  Reuse begin_reuse(const ReuseOffer& o) override {
    if (failed_ || form_ || rec_ || o.n < 1 || o.n > 64) return Reuse::kDraw;
    const double L = limit();
    if (!(std::fabs(o.x) <= L && std::fabs(o.y) <= L)) return Reuse::kDraw;
    // the vertices as this device writes them: hundredths of a point, relative
    long long pattern[128];
    const long long rx = decimal_units(o.x, 2), ry = decimal_units(o.y, 2);
    for (int i = 0; i < o.n; ++i) {
      if (!(std::fabs(o.vx[i]) <= L && std::fabs(o.vy[i]) <= L)) return Reuse::kDraw;
      pattern[2 * i] = decimal_units(o.vx[i], 2) - rx;
      pattern[2 * i + 1] = decimal_units(o.vy[i], 2) - ry;
    }
    Reuse how = Reuse::kDraw;
    guard([&] {
      ReuseTable::Entry* e = copies_.find(o.key, pattern, 2 * o.n);
      if (!e || !e->usable) return;
      if (e->number) {
        place_copy(*e, rx, ry);
        how = Reuse::kPlaced;
        return;
      }
      if (++e->seen <= kDirectCopies) return;
      end_stroke();
      end_text();
      auto r = std::make_unique<Recording>();
      r->entry = e;
      r->page = written_;
      r->rx = rx;
      r->ry = ry;
      rec_ = std::move(r);
      written_.fill = Rgb{};   // the form sets the fill colour it uses
      how = Reuse::kRecord;
    });
    return how;
  }

  void end_reuse() override {
    if (rec_) guard([&] { finish_recording(true); });
  }

  // --- bookmarks

  int last_level() const { return bookmarks_.empty() ? -1 : bookmarks_.back().level; }

  bool add_bookmark(const char* title, int level) {
    return guard([&] {
      int top = turned_ ? 0 : media_h_;  // top left of the page as shown
      bookmarks_.push_back({title ? title : "", level, page_obj_, top});
    });
  }

 private:
  // A reusable drawing is drawn directly a few times, then kept as a form XObject "/S<n>"
  // whose content stands where the recorded one stood; copies are placed by translation.
  struct Recording {
    ReuseTable::Entry* entry = nullptr;
    std::string content;
    GState page;           // graphics state of the page while the form is recorded
    bool shifted = false;
    long long rx = 0, ry = 0;
  };

  struct Form {
    std::string content;
    Resources res;
    GState written;     // state of the page where the form is painted
    bool in_q = false;
    bool clip_on = false;
    double clip[4] = {0, 0, 0, 0};
    std::size_t depth = 0;
  };

  // The recorded drawing becomes its form and is placed where it was drawn. Anything else
  // than lines and fills reaching the driver meanwhile ends it early (complete = false), and
  // such a form is not repeated.
  void finish_recording(bool complete) {
    end_stroke();
    end_text();
    std::unique_ptr<Recording> r = std::move(rec_);
    written_ = r->page;
    // written with the page, so that pieces of content being compressed are not waited for
    int obj = out_.reserve();
    unwritten_copies_.emplace_back(obj, std::move(r->content));
    copy_objs_.push_back(obj);
    ReuseTable::Entry& e = *r->entry;
    e.number = static_cast<int>(copy_objs_.size());
    e.rx = r->rx;
    e.ry = r->ry;
    e.usable = complete && !r->shifted;
    place_copy(e, r->rx, r->ry);
  }

  void close_recording() {
    if (rec_) finish_recording(false);
  }

  // Hundredths as "-12.34".
  static char* put_hundredths(char* p, long long v) {
    if (v < 0) {
      *p++ = '-';
      v = -v;
    }
    p = fastfmt::append_int(p, v / 100);
    *p++ = '.';
    *p++ = static_cast<char>('0' + v % 100 / 10);
    *p++ = static_cast<char>('0' + v % 10);
    return p;
  }

  void place_copy(const ReuseTable::Entry& e, long long rx, long long ry) {
    end_stroke();
    end_text();
    if (!form_ && !rec_ && content_.size() >= kChunk) flush_chunk();
    const long long dx = rx - e.rx, dy = ry - e.ry;
    char b[96];
    char* p = b;
    const bool moved = dx != 0 || dy != 0;
    if (moved) {
      std::memcpy(p, "q 1 0 0 1 ", 10);
      p = put_hundredths(p + 10, dx);
      *p++ = ' ';
      p = put_hundredths(p, dy);
      std::memcpy(p, " cm ", 4);
      p += 4;
    }
    *p++ = '/';
    *p++ = 'S';
    p = fastfmt::append_int(p, e.number);
    std::memcpy(p, moved ? " Do Q\n" : " Do\n", moved ? 6 : 4);
    p += moved ? 6 : 4;
    out().append(b, static_cast<std::size_t>(p - b));
    Resources& r = res();
    const std::size_t k = static_cast<std::size_t>(e.number - 1);
    if (r.has_copy.size() <= k) r.has_copy.resize(k + 1, false);
    if (!r.has_copy[k]) {
      r.has_copy[k] = true;
      r.copies.push_back(e.number);
    }
  }

  // Runs an output step; running out of memory ends the document (message 53 once).
  template <typename F>
  bool guard(F&& f) {
    if (failed_) return false;
    try {
      f();
      return true;
    } catch (const std::bad_alloc&) {
      failed_ = true;
      content_.clear();
      content_.shrink_to_fit();
      warn_code(ctx_, kMsgNoMemory);
      return false;
    }
  }

  std::string& out() { return rec_ ? rec_->content : form_ ? form_->content : content_; }
  Resources& res() { return form_ ? form_->res : page_res_; }
  bool& in_q() { return form_ ? form_->in_q : page_in_q_; }

  static std::string width_text(double lw) {
    std::string t;
    append_fixed(t, lw * 0.5 * kPointsPerUnit, 3);
    return t;
  }

  static void append_fixed_trim(std::string& s, double v, int decimals) {
    std::size_t at = s.size();
    append_fixed(s, v, decimals);
    if (s.find('.', at) == std::string::npos) return;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }

  static void add_unique(std::vector<int>& v, int k) {
    if (std::find(v.begin(), v.end(), k) == v.end()) v.push_back(k);
  }

  std::string creation_date() const {
    DateTime t = now_local();
    std::string d;
    const int parts[6] = {t.year, t.month, t.day, t.hour, t.minute, t.second};
    for (int i = 0; i < 6; ++i) {
      int v = parts[i];
      if (i == 0) {
        if (v < 1000) d += '0';
        if (v < 100) d += '0';
        if (v < 10) d += '0';
      } else if (v < 10) {
        d += '0';
      }
      append_int(d, v);
    }
    return d;
  }

  // --- polygons far outside the page

  // Vertices beyond this box are cut back to it: numbers stay readable for every viewer, and
  // the even-odd coverage of the page does not change.
  double limit() const { return 4.0 * std::max(media_w_, media_h_) + 1000.0; }

  bool bounded(const double* x, const double* y, int n) const {
    const double L = limit();
    for (int i = 0; i < n; ++i)
      if (!(std::fabs(x[i]) <= L && std::fabs(y[i]) <= L)) return false;
    return true;
  }

  void bound_polygon(const double* x, const double* y, int n, std::vector<double>& ox,
                     std::vector<double>& oy) const {
    std::vector<double> px, py;
    for (int i = 0; i < n; ++i) {  // non-finite vertices carry no shape
      if (std::isfinite(x[i]) && std::isfinite(y[i])) {
        px.push_back(x[i]);
        py.push_back(y[i]);
      }
    }
    const double L = limit();
    // one half plane per pass: axis 0 is x, 1 is y; sign +1 keeps v <= L, -1 keeps v >= -L
    for (int pass = 0; pass < 4 && px.size() >= 3; ++pass) {
      const int axis = pass / 2;
      const double sign = pass % 2 ? -1.0 : 1.0;
      auto inside = [&](std::size_t i) { return sign * (axis ? py[i] : px[i]) <= L; };
      ox.clear();
      oy.clear();
      const std::size_t m = px.size();
      for (std::size_t i = 0; i < m; ++i) {
        std::size_t j = (i + m - 1) % m;
        bool in_i = inside(i), in_j = inside(j);
        if (in_i != in_j) {
          // extended precision: the far vertex may be near the largest double
          using LD = long double;
          LD vi = axis ? py[i] : px[i], vj = axis ? py[j] : px[j];
          LD t = (sign * L - vj) / (vi - vj);
          ox.push_back(static_cast<double>(px[j] + t * (LD(px[i]) - px[j])));
          oy.push_back(static_cast<double>(py[j] + t * (LD(py[i]) - py[j])));
          if (axis)
            oy.back() = sign * L;
          else
            ox.back() = sign * L;
        }
        if (in_i) {
          ox.push_back(px[i]);
          oy.push_back(py[i]);
        }
      }
      px.swap(ox);
      py.swap(oy);
    }
    ox.swap(px);
    oy.swap(py);
  }

  // --- path writer

  static char* put_point(char* p, double x, double y) {
    p = pdf::put_fixed2(p, x);
    *p++ = ' ';
    return pdf::put_fixed2(p, y);
  }

  void move_to(double x, double y) {
    end_stroke();
    end_text();
    if (!form_ && !rec_ && content_.size() >= kChunk) flush_chunk();
    mx_ = x;
    my_ = y;
    path_ = Path::kMove;
  }

  // Lines to n points: the pending move first, then "x y l" each; a line to the point
  // itself is moved by the dot shift so that it shows.
  void line_run(const double* x, const double* y, int n) {
    std::string& s = out();
    char buf[8192];
    char* p = buf;
    if (path_ != Path::kDrawing) {
      if (path_ == Path::kNone) {  // continue from the last point written
        mx_ = lx_;
        my_ = ly_;
      }
      end_text();
      p = put_point(p, mx_, my_);
      std::memcpy(p, " m\n", 3);
      p += 3;
      lx_ = mx_;
      ly_ = my_;
      path_ = Path::kDrawing;
    }
    constexpr std::ptrdiff_t kRoom = sizeof buf - 2 * fastfmt::kMaxFixedLen - 8;
    long long lcx = centi(lx_), lcy = centi(ly_);
    double xi = lx_, yi = ly_;
    for (int i = 0; i < n; ++i) {
      xi = x[i];
      yi = y[i];
      long long cx = centi(xi);
      const long long cy = centi(yi);
      if (cx == lcx && cy == lcy) {
        xi += kDotShift;
        cx = centi(xi);
        if (rec_) rec_->shifted = true;   // depends on where it stands: no copies of it
      }
      p = put_point(p, xi, yi);
      std::memcpy(p, " l\n", 3);
      p += 3;
      lcx = cx;
      lcy = cy;
      if (p - buf > kRoom) {
        s.append(buf, static_cast<std::size_t>(p - buf));
        p = buf;
      }
    }
    s.append(buf, static_cast<std::size_t>(p - buf));
    lx_ = xi;
    ly_ = yi;
    if (n > 0) stroke_pending_ = true;
  }

  void end_stroke() {
    if (stroke_pending_) {
      out() += "S\n";
      stroke_pending_ = false;
    }
    if (path_ == Path::kDrawing) {
      mx_ = lx_;
      my_ = ly_;
      path_ = Path::kMove;
    }
  }

  void end_text() {
    if (text_open_) {
      out() += "ET\n";
      text_open_ = false;
    }
  }

  // --- graphics state

  static void color_text(std::string& s, const Rgb& c, const char* op) {
    const int v[3] = {c.r, c.g, c.b};
    for (int k : v) {
      if (k == 0) {
        s += "0 ";
      } else if (k == 255) {
        s += "1 ";
      } else {
        append_fixed(s, k / 255.0, 3);
        s += ' ';
      }
    }
    s += op;
  }

  void write_fill(const Rgb& c) {
    if (!c.known() || written_.fill == c) return;
    color_text(out(), c, "rg\n");
    written_.fill = c;
  }

  void apply_colors(bool force) {
    if (want_.stroke.known() && (force || !(written_.stroke == want_.stroke))) {
      color_text(out(), want_.stroke, "RG\n");
      written_.stroke = want_.stroke;
    }
    if (want_.fill.known() && (force || !(written_.fill == want_.fill))) {
      color_text(out(), want_.fill, "rg\n");
      written_.fill = want_.fill;
    }
  }

  void apply_attributes() {
    std::string& s = out();
    if (written_.width != want_.width) {
      s += want_.width;
      s += " w\n";
      written_.width = want_.width;
    }
    if (written_.cap != want_.cap) {
      append_int(s, want_.cap);
      s += " J\n";
      written_.cap = want_.cap;
    }
    if (written_.join != want_.join) {
      append_int(s, want_.join);
      s += " j\n";
      written_.join = want_.join;
    }
    if (want_.miter >= 0 && written_.miter != want_.miter) {
      append_int(s, want_.miter);
      s += " M\n";
      written_.miter = want_.miter;
    }
  }

  void push_state() {
    out() += "q\n";
    saved_.push_back(written_);
    in_q() = true;
  }

  void pop_state() {
    out() += "Q\n";
    written_ = saved_.back();
    saved_.pop_back();
    in_q() = false;
  }

  // Clipping lives in its own saved state: Q drops the old rectangle, q opens a new level.
  void write_clip() {
    if (in_q()) pop_state();
    push_state();
    apply_attributes();
    apply_colors(true);
    if (clip_on_) {
      std::string& s = out();
      for (double v : clip_) {
        append_fixed(s, v, 2);
        s += ' ';
      }
      s += "re\nh W n\n";
    }
  }

  // --- pages

  void start_page() {
    page_obj_ = out_.reserve();
    pages_.push_back(page_obj_);
    page_res_ = Resources{};
    content_objs_.clear();
    content_.clear();
    written_ = GState{};
    saved_.clear();
    page_in_q_ = false;
    path_ = Path::kNone;
    lx_ = ly_ = 0;
    apply_attributes();
    if (ctx_.core.eff_screen_mode != 2) {
      write_fill(Rgb{0, 0, 0});
      std::string& s = out();
      s += "0 0 ";
      append_int(s, media_w_);
      s += ' ';
      append_int(s, media_h_);
      s += " re\nf\n";
    }
    if (clip_on_)
      write_clip();
    else
      apply_colors(false);
  }

  void flush_chunk(bool last = false) {
    if (compress_ && last && content_.size() >= kSplitLast) {
      // two halves, cut after a line end (a token boundary, as content streams require)
      const std::size_t cut = content_.find('\n', content_.size() / 2);
      if (cut != std::string::npos && cut + 1 < content_.size()) {
        int first = out_.reserve();
        out_.content_stream_later(first, content_.substr(0, cut + 1));
        content_objs_.push_back(first);
        content_.erase(0, cut + 1);
      }
    }
    int obj = out_.reserve();
    if (compress_ && (content_.size() >= kChunk || !out_.settled())) {
      out_.content_stream_later(obj, std::move(content_));
      content_ = std::string();
      content_.reserve(kChunk + (kChunk >> 3));
    } else {
      out_.stream(obj, "<< ", "", content_.data(), content_.size(), compress_, true);
      content_.clear();
    }
    content_objs_.push_back(obj);
  }

  static void font_refs(std::string& s, const Resources& r, const std::array<int, kPdfFontCount>& objs) {
    s += "/Font <<\n";
    for (int i = 0; i < kPdfFontCount; ++i) {
      if (!r.fonts[i]) continue;
      s += "/F";
      append_int(s, i + 1);
      s += ' ';
      append_int(s, objs[i]);
      s += " 0 R\n";
    }
    s += ">>\n";
  }

  std::string resources_text(const Resources& r, bool form) {
    std::string s = "/Resources << /ProcSet [/PDF";
    bool fonts = r.any_font();
    bool color = false, index = false;
    for (int n : r.images) (images_[n - 1].indexed ? index : color) = true;
    if (fonts) s += " /Text";
    if (color) s += " /ImageC";
    if (index) s += " /ImageI";
    s += ']';
    if (form && !fonts && r.images.empty() && r.forms.empty() && r.copies.empty())
      return s + " >>\n";
    s += '\n';
    if (!r.images.empty() || !r.forms.empty() || !r.copies.empty()) {
      s += "/XObject <<\n";
      for (int n : r.images) {
        s += "/Image";
        append_int(s, n);
        s += ' ';
        append_int(s, images_[n - 1].obj);
        s += " 0 R\n";
      }
      for (int n : r.forms) {
        s += "/Form";
        append_int(s, n);
        s += ' ';
        append_int(s, forms_[n - 1]);
        s += " 0 R\n";
      }
      for (int n : r.copies) {
        s += "/S";
        append_int(s, n);
        s += ' ';
        append_int(s, copy_objs_[n - 1]);
        s += " 0 R\n";
      }
      s += ">>\n";
    }
    if (fonts) font_refs(s, r, font_obj_);
    return s + ">>\n";
  }

  void use_font(int font) {
    res().fonts[font] = true;
    if (!font_obj_[font]) font_obj_[font] = out_.reserve();
  }

  void write_copies() {
    if (unwritten_copies_.empty()) return;
    std::string head = "<< /Type /XObject /Subtype /Form\n/FormType 1\n/BBox [0 0 ";
    append_int(head, media_w_);
    head += ' ';
    append_int(head, media_h_);
    head += "]\n/Matrix [1 0 0 1 0 0]\n";
    head += resources_text(Resources{}, true);
    for (auto& [obj, content] : unwritten_copies_)
      out_.stream(obj, head, "", content.data(), content.size(), compress_, true);
    unwritten_copies_.clear();
  }

  void finish_page() {
    if (form_) end_form();
    end_stroke();
    end_text();
    if (page_in_q_) pop_state();
    if (!content_.empty() || content_objs_.empty()) flush_chunk(true);
    write_copies();
    out_.begin(page_obj_);
    out_.put("<<\n/Type /Page\n/MediaBox [0 0 ");
    out_.put_int(media_w_);
    out_.put(" ");
    out_.put_int(media_h_);
    out_.put("]\n/Parent 2 0 R\n");
    if (turned_) out_.put("/Rotate 90\n");
    out_.put(resources_text(page_res_, false));
    if (content_objs_.size() == 1) {
      out_.put("/Contents ");
      out_.put_int(content_objs_[0]);
      out_.put(" 0 R\n");
    } else {
      out_.put("/Contents [\n");
      for (int c : content_objs_) {
        out_.put_int(c);
        out_.put(" 0 R\n");
      }
      out_.put("]\n");
    }
    out_.put(">>\n");
    out_.end();
    for (int i = 0; i < kPdfFontCount; ++i) {
      if (!font_obj_[i] || font_written_[i]) continue;
      out_.begin(font_obj_[i]);
      out_.put("<< /Type /Font\n/Subtype /Type1\n/BaseFont /");
      out_.put(kFonts[i].name);
      out_.put("\n");
      if (i != 17 && i != 34) out_.put("/Encoding /WinAnsiEncoding\n");  // not the symbol fonts
      out_.put(">>\n");
      out_.end();
      font_written_[i] = true;
    }
  }

  // Printable runs go into one string; every other byte is an octal escape of its own.
  static void write_strings(std::string& s, const char* text, int n) {
    int i = 0;
    while (i < n) {
      unsigned char ch = static_cast<unsigned char>(text[i]);
      if (ch < 32 || ch > 126) {
        s += "(\\";
        char oct[4];
        int k = 0;
        unsigned v = ch;
        do {
          oct[k++] = static_cast<char>('0' + (v & 7));
          v >>= 3;
        } while (v);
        while (k) s += oct[--k];
        s += ") Tj\n";
        ++i;
        continue;
      }
      s += '(';
      while (i < n) {
        ch = static_cast<unsigned char>(text[i]);
        if (ch < 32 || ch > 126) break;
        if (ch == '(' || ch == ')' || ch == '\\') s += '\\';
        s += static_cast<char>(ch);
        ++i;
      }
      s += ") Tj\n";
    }
  }

  // --- bookmarks

  // A title as a PDF text string: ASCII literally, anything else as UTF-16 (from UTF-8, or
  // from Latin-1 bytes when the text is not valid UTF-8).
  static std::string title_text(const std::string& t) {
    bool ascii = std::all_of(t.begin(), t.end(), [](char c) {
      return static_cast<unsigned char>(c) >= 32 && static_cast<unsigned char>(c) < 127;
    });
    if (ascii) {
      std::string s = "(";
      for (char c : t) {
        if (c == '(' || c == ')' || c == '\\') s += '\\';
        s += c;
      }
      return s + ")";
    }
    std::vector<uint32_t> cps;
    bool utf8 = true;
    for (std::size_t i = 0; i < t.size() && utf8;) {
      unsigned char c = static_cast<unsigned char>(t[i]);
      int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
      if (!len || i + len > t.size()) {
        utf8 = false;
        break;
      }
      uint32_t cp = len == 1 ? c : c & (0x7F >> len);
      for (int k = 1; k < len; ++k) {
        unsigned char cc = static_cast<unsigned char>(t[i + k]);
        if ((cc >> 6) != 2) utf8 = false;
        cp = (cp << 6) | (cc & 0x3F);
      }
      if (cp > 0x10FFFF) utf8 = false;
      cps.push_back(cp);
      i += len;
    }
    if (!utf8) {
      cps.clear();
      for (char c : t) cps.push_back(static_cast<unsigned char>(c));
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string s = "<FEFF";
    auto unit = [&](uint32_t u) {
      for (int k = 12; k >= 0; k -= 4) s += kHex[(u >> k) & 15];
    };
    for (uint32_t cp : cps) {
      if (cp < 32) cp = 32;
      if (cp >= 0x10000) {
        cp -= 0x10000;
        unit(0xD800 + (cp >> 10));
        unit(0xDC00 + (cp & 0x3FF));
      } else {
        unit(cp);
      }
    }
    return s + ">";
  }

  int write_outlines() {
    const int n = static_cast<int>(bookmarks_.size());
    if (n == 0) return 0;
    int root = out_.reserve();
    std::vector<int> obj(n), parent(n, -1), prev(n, -1), next(n, -1), first(n, -1), last(n, -1);
    std::vector<int> count(n, 0);
    int root_first = -1, root_last = -1;
    std::vector<int> open;  // the chain of ancestors of the entry being placed
    for (int i = 0; i < n; ++i) {
      obj[i] = out_.reserve();
      while (!open.empty() && bookmarks_[open.back()].level >= bookmarks_[i].level) open.pop_back();
      int p = open.empty() ? -1 : open.back();
      parent[i] = p;
      int& f = p < 0 ? root_first : first[p];
      int& l = p < 0 ? root_last : last[p];
      if (f < 0) f = i;
      if (l >= 0) {
        next[l] = i;
        prev[i] = l;
      }
      l = i;
      for (int a : open) ++count[a];
      open.push_back(i);
    }
    out_.begin(root);
    out_.put("<< /Type /Outlines\n/First ");
    out_.put_int(obj[root_first]);
    out_.put(" 0 R\n/Last ");
    out_.put_int(obj[root_last]);
    out_.put(" 0 R\n/Count ");
    out_.put_int(n);
    out_.put("\n>>\n");
    out_.end();
    auto ref = [&](const char* key, int target) {
      out_.put(key);
      out_.put_int(target);
      out_.put(" 0 R\n");
    };
    for (int i = 0; i < n; ++i) {
      const Bookmark& b = bookmarks_[i];
      out_.begin(obj[i]);
      out_.put("<< /Title ");
      out_.put(title_text(b.title));
      out_.put("\n");
      ref("/Parent ", parent[i] < 0 ? root : obj[parent[i]]);
      if (prev[i] >= 0) ref("/Prev ", obj[prev[i]]);
      if (next[i] >= 0) ref("/Next ", obj[next[i]]);
      if (first[i] >= 0) {
        ref("/First ", obj[first[i]]);
        ref("/Last ", obj[last[i]]);
        out_.put("/Count ");
        out_.put_int(count[i]);
        out_.put("\n");
      }
      out_.put("/Dest [");
      out_.put_int(b.page_obj);
      out_.put(" 0 R /XYZ 0 ");
      out_.put_int(b.top);
      out_.put(" 0]\n>>\n");
      out_.end();
    }
    return root;
  }

  pdf::ObjectWriter out_;
  bool compress_ = true, buffer_ = false, turned_ = false, failed_ = false;
  int media_w_ = 0, media_h_ = 0;
  int catalog_ = 0, pages_obj_ = 0, page_obj_ = 0;
  std::vector<int> pages_;
  std::string content_;
  std::vector<int> content_objs_;
  Resources page_res_;
  bool page_in_q_ = false;
  // path writer
  Path path_ = Path::kNone;
  double mx_ = 0, my_ = 0;     // pending move
  double lx_ = 0, ly_ = 0;     // last point written
  bool stroke_pending_ = false, text_open_ = false;
  // graphics state
  GState want_, written_;
  std::vector<GState> saved_;
  bool clip_on_ = false;
  double clip_[4] = {0, 0, 0, 0};
  // fonts, XObjects, bookmarks
  std::array<int, kPdfFontCount> font_obj_{};
  std::array<bool, kPdfFontCount> font_written_{};
  std::vector<ImageEntry> images_;
  std::vector<int> forms_;
  std::unique_ptr<Form> form_;
  std::vector<Bookmark> bookmarks_;
  // reusable drawings
  ReuseTable copies_;
  std::vector<int> copy_objs_;   // object numbers by copy number - 1
  std::vector<std::pair<int, std::string>> unwritten_copies_;   // (object, content)
  std::unique_ptr<Recording> rec_;
};

PdfDriver* pdf_of(Context& ctx) {
  if (ctx.core.device != 511 || !ctx.driver) return nullptr;
  return dynamic_cast<PdfDriver*>(ctx.driver.get());
}

}  // namespace

Driver* make_pdf_driver(Context& ctx) { return new (std::nothrow) PdfDriver(ctx); }

// --- entries for the other subsystems

int pdf_font_index(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < kPdfFontCount; ++i) {
    const char* a = kFonts[i].name;
    const char* b = name;
    while (*a && *b && std::tolower(static_cast<unsigned char>(*a)) ==
                           std::tolower(static_cast<unsigned char>(*b))) {
      ++a;
      ++b;
    }
    if (!*a && !*b) return i;
  }
  return -1;
}

const char* pdf_font_name(int index) {
  return index >= 0 && index < kPdfFontCount ? kFonts[index].name : "";
}

int pdf_font_ascender(int index) {
  return index >= 0 && index < kPdfFontCount ? kFonts[index].ascender : 0;
}

bool pdf_show_text(Context& ctx, int font, double size, double hscale, double x, double y,
                   double angle, const char* text, int n) {
  PdfDriver* p = pdf_of(ctx);
  return p && p->show_text(font, size, hscale, x, y, angle, text, n);
}

int pdf_add_image(Context& ctx, const PdfImage& image) {
  PdfDriver* p = pdf_of(ctx);
  return p ? p->add_image(image) : 0;
}

bool pdf_place_image(Context& ctx, int number, double x1, double y1, double x2, double y2) {
  PdfDriver* p = pdf_of(ctx);
  return p && p->place_image(number, x1, y1, x2, y2);
}

bool pdf_begin_form(Context& ctx) {
  PdfDriver* p = pdf_of(ctx);
  return p && p->begin_form();
}

bool pdf_end_form(Context& ctx) {
  PdfDriver* p = pdf_of(ctx);
  return p && p->end_form();
}

const std::string& pdf_document(const Context& ctx) { return ctx.drv.pdf_document; }

// --- public routines

void pdfmod(const char* cmod, const char* ckey) {
  Context* ctx = enter(R::pdfmod);
  if (!ctx) return;
  int on = lookup_keyword(*ctx, "OFF +ON  ", 2, cmod);
  int key = lookup_keyword(*ctx, "COMP+BUFF", 2, ckey);
  if (!on || !key) return;
  (key == 1 ? ctx->drv.pdf_compress : ctx->drv.pdf_buffer) = on - 1;
}

int pdfbuf(char* buf, int n) {
  Context* ctx = enter(R::pdfbuf);
  if (!ctx) return 0;
  if (ctx->core.device != 511) {
    warn_text(*ctx, 127, "Output format is not PDF");
    return 0;
  }
  if (!ctx->drv.pdf_buffer) {
    warn_text(*ctx, 128, "Buffer output is not enabled for PDF");
    return 0;
  }
  const std::string& doc = ctx->drv.pdf_document;
  if (doc.empty() || !ctx->core.finished) {
    warn_text(*ctx, 129, "Internal PDF buffer is empty");
    return 0;
  }
  if (doc.size() > static_cast<std::size_t>(INT_MAX)) {
    warn_text(*ctx, 130, "Buffer too small for PDF file");
    return 0;
  }
  int size = static_cast<int>(doc.size());
  if (!buf || n <= 0) return size;
  if (n < size) {
    warn_text(*ctx, 130, "Buffer too small for PDF file");
    return 0;
  }
  std::memcpy(buf, doc.data(), doc.size());
  return size;
}

void pdfmrk(const char* cstr, const char* copt) {
  Context* ctx = enter(R::pdfmrk);
  if (!ctx) return;
  int level = lookup_keyword(*ctx, "CHAP+SECT+SUBS+PARA+SUBP", 5, copt);
  if (!level) return;
  PdfDriver* p = pdf_of(*ctx);
  if (!p) {
    warn_text(*ctx, 127, "Output format is not PDF");
    return;
  }
  if (level - 1 > p->last_level() + 1) {
    warn_text(*ctx, 131, "Bad structure for bookmarks");
    return;
  }
  p->add_bookmark(cstr, level - 1);
}

}  // namespace tavero
