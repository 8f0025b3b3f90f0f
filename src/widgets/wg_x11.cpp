// The widget view on plain Xlib: one X window per widget (so a draw widget is a real window
// that the screen driver can draw into), a menu bar and popups for menus and drop-down
// lists. Widgets draw themselves from the model on every Expose; input changes the model
// and queues callbacks, which the loop runs with the state's lock released.
#include "widgets/wg_view.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "tavero_api.h"
#include "widgets/widgets.h"

#if TAVERO_HAVE_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#endif

namespace tavero {

using Lock = std::unique_lock<std::recursive_mutex>;
using Clock = std::chrono::steady_clock;

// Estimated metrics of the default font, used without a display.
static WMetrics estimated_metrics(const WStyle& st) {
  WMetrics m;
  int px = st.font_size > 0 ? st.font_size : 12;
  m.ascent = px * 11 / 12;
  m.descent = std::max(2, px / 4);
  m.cw = std::max(4, px * 7 / 12);
  return m;
}

#if TAVERO_HAVE_X11

struct WidgetWin {
  Window win = 0;
  Window menubar = 0;          // main windows
  int focus = 0;               // main windows: the widget with the keyboard focus
  size_t cursor = 0;           // text cursor (byte offset)
  int scroll_x = 0;            // horizontal scroll of a text field in pixels
  bool pressed = false;        // a button held down
  bool modified = false;       // text changed since the field took the focus
  bool told = false;           // the window hook knows the window ...
  int told_w = 0, told_h = 0;  // ... at this size
  int drag = 0;                // 1 scale thumb, 2 scroll bar thumb
  int drag_from = 0, drag_top = 0;
  double press_value = 0;
  int user_w = 0, user_h = 0;  // main windows: a size the user gave the window
  int cur_row = 0, cur_col = 0;  // tables: the current cell (1-based, 0 none)
  bool editing = false;
  std::string edit;
};

Widget::Widget() = default;
Widget::~Widget() = default;

struct Popup {
  Window win = 0;
  int owner = 0;               // drop-down list or menu widget; for the library's menus the main
  int kind = 0;                // 1 drop-down list, 2 menu, 3 the "File" menu of the library
  std::vector<std::string> labels;
  std::vector<int> ids;        // menu entries (their widgets)
  int hover = -1, row_h = 0, w = 0, h = 0;
  WStyle style;
};

struct WidgetView {
  Display* dpy = nullptr;
  int scr = 0;
  Visual* vis = nullptr;
  int depth = 24;
  Colormap cmap = 0;
  bool direct = false;
  int shift[3] = {16, 8, 0}, bits[3] = {8, 8, 8};
  Atom wm_protocols = 0, wm_delete = 0, net_wm_name = 0, utf8 = 0;
  GC gc = nullptr;
  std::vector<std::pair<uint32_t, unsigned long>> colours;
  struct Font {
    std::string name;
    int size;
    XFontStruct* fs;
  };
  std::vector<Font> fonts;
  std::unordered_map<Window, int> owner;     // widget of each window
  std::unordered_map<Window, int> menubars;  // main of each menu bar
  Popup popup;
  bool grabbed = false;
  std::vector<int> loops;                    // mains of the running blocking loops
  Time last_click = 0;
  int last_click_id = 0, last_click_item = -1;

  ~WidgetView() {
    if (!dpy) return;
    for (Font& f : fonts)
      if (f.fs) XFreeFont(dpy, f.fs);
    if (gc) XFreeGC(dpy, gc);
    XCloseDisplay(dpy);
  }
};

WidgetState::WidgetState() = default;
WidgetState::~WidgetState() {
  for (auto& w : widgets)
    if (w->kind == WKind::Main && w->shown && view) view_close(*this, *w);
}

namespace {

// ------------------------------------------------------------------------------------------
// Colours, fonts, text

constexpr uint32_t kFace = 0xD9D9D9, kInk = 0x000000, kField = 0xFFFFFF, kBar = 0x3C78D8;
constexpr uint32_t kLight = 0xFFFFFF, kShadow = 0x8A8A8A, kDark = 0x505050, kGrey = 0x8C8C8C;
constexpr uint32_t kSelect = 0x3C78D8, kSelectInk = 0xFFFFFF, kHead = 0xC8C8C8;

uint32_t or_default(uint32_t c, uint32_t d) { return c == kNoColour ? d : c; }
uint32_t face(const Widget& w) { return or_default(w.style.back, kFace); }
uint32_t ink(const Widget& w) { return w.active ? or_default(w.style.fore, kInk) : kGrey; }
uint32_t field(const Widget& w) { return or_default(w.style.lback, kField); }

unsigned long pixel(WidgetView& v, uint32_t rgb) {
  const uint8_t c[3] = {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb)};
  if (v.direct) {
    unsigned long p = 0;
    for (int i = 0; i < 3; ++i) p |= static_cast<unsigned long>(c[i] >> (8 - v.bits[i])) << v.shift[i];
    return p;
  }
  for (auto& e : v.colours)
    if (e.first == rgb) return e.second;
  XColor xc;
  xc.red = static_cast<unsigned short>(c[0] * 257);
  xc.green = static_cast<unsigned short>(c[1] * 257);
  xc.blue = static_cast<unsigned short>(c[2] * 257);
  xc.flags = DoRed | DoGreen | DoBlue;
  unsigned long p = XAllocColor(v.dpy, v.cmap, &xc) ? xc.pixel
                    : (c[0] + c[1] + c[2] > 382 ? WhitePixel(v.dpy, v.scr) : BlackPixel(v.dpy, v.scr));
  v.colours.emplace_back(rgb, p);
  return p;
}

XFontStruct* font_of(WidgetView& v, const WStyle& st) {
  const int size = st.font_size > 0 ? st.font_size : 12;
  for (auto& f : v.fonts)
    if (f.name == st.font && f.size == size) return f.fs;
  XFontStruct* fs = nullptr;
  if (!st.font.empty() && (st.font[0] == '-' || st.font.find('*') != std::string::npos))
    fs = XLoadQueryFont(v.dpy, st.font.c_str());
  std::string family = st.font.empty() || st.font[0] == '-' ? "helvetica" : st.font;
  for (char& ch : family) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  const char* const patterns[] = {"-*-%s-medium-r-normal--%d-*-*-*-*-*-iso8859-1",
                                  "-*-%s-regular-r-normal--%d-*-*-*-*-*-iso8859-1",
                                  "-*-%s-*-r-*--%d-*-*-*-*-*-iso8859-1",
                                  "-*-%s-*-*-*--%d-*-*-*-*-*-*-*"};
  char name[256];
  for (const char* p : patterns) {
    if (fs) break;
    std::snprintf(name, sizeof name, p, family.c_str(), size);
    fs = XLoadQueryFont(v.dpy, name);
  }
  if (!fs) {
    std::snprintf(name, sizeof name, "-misc-fixed-medium-r-*--%d-*-*-*-*-*-iso8859-1", size);
    fs = XLoadQueryFont(v.dpy, name);
  }
  if (!fs) fs = XLoadQueryFont(v.dpy, "fixed");
  v.fonts.push_back({st.font, size, fs});
  return fs;
}

// UTF-8 text as the Latin-1 bytes of the core fonts; other characters become '?'.
std::string latin1(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    int n = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    bool ok = n > 0 && i + n <= s.size();
    for (int k = 1; ok && k < n; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    if (!ok) {  // not UTF-8: taken as Latin-1 already
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    unsigned cp = c & (0x7F >> n);
    for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out += cp < 256 ? static_cast<char>(cp) : '?';
    i += n;
  }
  return out;
}

std::string utf8_of(unsigned cp) {
  std::string out;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x110000) {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

// The text a key types, as UTF-8. Taken from the key symbol: the bytes XLookupString
// gives depend on the locale of the program.
std::string typed_text(KeySym sym, const char* buf, int n) {
  unsigned cp = 0;
  if ((sym >= 0x20 && sym <= 0x7E) || (sym >= 0xA0 && sym <= 0xFF))
    cp = static_cast<unsigned>(sym);
  else if ((sym & 0xFF000000) == 0x01000000)
    cp = static_cast<unsigned>(sym & 0x00FFFFFF);
  else if (sym == XK_EuroSign)
    cp = 0x20AC;
  else if (n == 1 && static_cast<unsigned char>(buf[0]) >= 0x20 && buf[0] != 0x7F)
    cp = static_cast<unsigned char>(buf[0]);   // keypad digits and the like
  return cp >= 0x20 ? utf8_of(cp) : "";
}

size_t next_char(const std::string& s, size_t i) {
  if (i >= s.size()) return s.size();
  ++i;
  while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
  return i;
}

size_t prev_char(const std::string& s, size_t i) {
  if (i == 0) return 0;
  --i;
  while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
  return i;
}

WMetrics metrics_of(WidgetView& v, const WStyle& st) {
  XFontStruct* fs = font_of(v, st);
  if (!fs) return estimated_metrics(st);
  WMetrics m;
  m.ascent = fs->ascent;
  m.descent = fs->descent;
  static const char kSample[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  m.cw = std::max(1, XTextWidth(fs, kSample, 52) / 52);
  m.width = [fs](const std::string& s) {
    std::string l = latin1(s);
    return XTextWidth(fs, l.data(), static_cast<int>(l.size()));
  };
  return m;
}

// Waits until the display connection has data, at most ms milliseconds (no Xlib call: the
// loop waits here without the lock, while other threads may use the connection).
void wait_fd(int fd, int ms) {
  pollfd p{fd, POLLIN, 0};
  poll(&p, 1, ms);
}

int g_x_error = 0;
int note_x_error(Display*, XErrorEvent* e) {
  g_x_error = e->error_code;
  return 0;
}

// ------------------------------------------------------------------------------------------
// Painting

class Painter {
 public:
  Painter(WidgetView& v, Window win, const WStyle& st) : v_(v), win_(win), fs_(font_of(v, st)), m_(metrics_of(v, st)) {
    if (fs_) XSetFont(v_.dpy, v_.gc, fs_->fid);
    XSetClipMask(v_.dpy, v_.gc, None);
    XSetLineAttributes(v_.dpy, v_.gc, 1, LineSolid, CapButt, JoinMiter);
  }
  ~Painter() { XSetClipMask(v_.dpy, v_.gc, None); }
  const WMetrics& m() const { return m_; }

  void fill(int x, int y, int w, int h, uint32_t c) {
    if (w <= 0 || h <= 0) return;
    XSetForeground(v_.dpy, v_.gc, pixel(v_, c));
    XFillRectangle(v_.dpy, win_, v_.gc, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h));
  }
  void line(int x0, int y0, int x1, int y1, uint32_t c) {
    XSetForeground(v_.dpy, v_.gc, pixel(v_, c));
    XDrawLine(v_.dpy, win_, v_.gc, x0, y0, x1, y1);
  }
  void frame(int x, int y, int w, int h, uint32_t c) {
    if (w <= 1 || h <= 1) return;
    XSetForeground(v_.dpy, v_.gc, pixel(v_, c));
    XDrawRectangle(v_.dpy, win_, v_.gc, x, y, static_cast<unsigned>(w - 1), static_cast<unsigned>(h - 1));
  }
  // A raised (or sunken) edge of two pixels.
  void bevel(int x, int y, int w, int h, bool raised) {
    uint32_t a = raised ? kLight : kShadow, b = raised ? kDark : kLight;
    line(x, y, x + w - 1, y, a);
    line(x, y, x, y + h - 1, a);
    line(x, y + h - 1, x + w - 1, y + h - 1, b);
    line(x + w - 1, y, x + w - 1, y + h - 1, b);
    uint32_t c = raised ? 0xEEEEEE : kDark, d = raised ? kShadow : 0xE4E4E4;
    line(x + 1, y + 1, x + w - 2, y + 1, c);
    line(x + 1, y + 1, x + 1, y + h - 2, c);
    line(x + 1, y + h - 2, x + w - 2, y + h - 2, d);
    line(x + w - 2, y + 1, x + w - 2, y + h - 2, d);
  }
  int text_width(const std::string& s) const { return m_.text(s); }
  void text(int x, int baseline, const std::string& s, uint32_t c) {
    std::string l = latin1(s);
    XSetForeground(v_.dpy, v_.gc, pixel(v_, c));
    XDrawString(v_.dpy, win_, v_.gc, x, baseline, l.data(), static_cast<int>(l.size()));
  }
  // Text in a box with justification 0 left, 1 centre, 2 right, vertically centred.
  void text_in(int x, int y, int w, int h, const std::string& s, uint32_t c, int just) {
    int tw = text_width(s);
    int tx = just == 1 ? x + (w - tw) / 2 : just == 2 ? x + w - tw - kPad : x + kPad;
    text(tx, y + (h - m_.lh()) / 2 + m_.ascent, s, c);
  }
  void clip(int x, int y, int w, int h) {
    XRectangle r{static_cast<short>(x), static_cast<short>(y), static_cast<unsigned short>(std::max(0, w)),
                 static_cast<unsigned short>(std::max(0, h))};
    XSetClipRectangles(v_.dpy, v_.gc, 0, 0, &r, 1, Unsorted);
  }
  void unclip() { XSetClipMask(v_.dpy, v_.gc, None); }
  void arc(int x, int y, int d, uint32_t c, bool filled) {
    XSetForeground(v_.dpy, v_.gc, pixel(v_, c));
    if (filled)
      XFillArc(v_.dpy, win_, v_.gc, x, y, static_cast<unsigned>(d), static_cast<unsigned>(d), 0, 360 * 64);
    else
      XDrawArc(v_.dpy, win_, v_.gc, x, y, static_cast<unsigned>(d), static_cast<unsigned>(d), 0, 360 * 64);
  }
  void triangle_down(int cx, int cy, int r, uint32_t c) {
    XPoint p[3] = {{static_cast<short>(cx - r), static_cast<short>(cy - r / 2)},
                   {static_cast<short>(cx + r), static_cast<short>(cy - r / 2)},
                   {static_cast<short>(cx), static_cast<short>(cy + r / 2 + 1)}};
    XSetForeground(v_.dpy, v_.gc, pixel(v_, c));
    XFillPolygon(v_.dpy, win_, v_.gc, p, 3, Convex, CoordModeOrigin);
  }
  void image(int x, int y, const Widget& w) {
    if (w.rgb.empty() || w.img_w <= 0 || w.img_h <= 0) return;
    XImage* xi = XCreateImage(v_.dpy, v_.vis, static_cast<unsigned>(v_.depth), ZPixmap, 0, nullptr,
                              static_cast<unsigned>(w.img_w), static_cast<unsigned>(w.img_h), 32, 0);
    if (!xi) return;
    std::vector<char> data(static_cast<size_t>(xi->bytes_per_line) * w.img_h);
    xi->data = data.data();
    for (int j = 0; j < w.img_h; ++j)
      for (int i = 0; i < w.img_w; ++i) {
        const uint8_t* p = &w.rgb[(static_cast<size_t>(j) * w.img_w + i) * 3];
        XPutPixel(xi, i, j, pixel(v_, (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2]));
      }
    XPutImage(v_.dpy, win_, v_.gc, xi, 0, 0, x, y, static_cast<unsigned>(w.img_w), static_cast<unsigned>(w.img_h));
    xi->data = nullptr;
    XDestroyImage(xi);
  }
  // A vertical scroll bar in the column x..x+kScrollBar over y..y+h.
  void scroll_bar(int x, int y, int h, int first, int shown, int total) {
    fill(x, y, kScrollBar, h, 0xC4C4C4);
    if (total <= 0) return;
    int th = std::max(10, h * std::min(shown, total) / total);
    int ty = y + (total > shown ? (h - th) * first / (total - shown) : 0);
    fill(x + 1, ty, kScrollBar - 2, th, kFace);
    bevel(x + 1, ty, kScrollBar - 2, th, true);
  }

 private:
  WidgetView& v_;
  Window win_;
  XFontStruct* fs_;
  WMetrics m_;
};

// ------------------------------------------------------------------------------------------
// Geometry of the parts of a widget (shared by painting and hit testing)

struct Field {
  int x, y, w, h;
};

// The text box of text, labelled text and file widgets.
Field text_box(const Widget& w, const WMetrics& m) {
  int lx = 0;
  if (w.kind == WKind::LText) {
    lx = w.percent > 0 && w.percent < 100 ? w.w * (100 - w.percent) / 100 : label_part(w, m);
    if (w.percent == 100) lx = 0;
  } else if (w.kind == WKind::File) {
    lx = label_part(w, m);
  }
  int bw = w.kind == WKind::File ? m.text("...") + 3 * kPad : 0;
  return {lx, 0, std::max(8, w.w - lx - bw), w.h};
}

Field file_button(const Widget& w, const WMetrics& m) {
  Field t = text_box(w, m);
  return {t.x + t.w, 0, w.w - t.x - t.w, w.h};
}

Field scale_track(const Widget& w, const WMetrics& m) { return {2, m.lh() + 4, w.w - 4, 16}; }
constexpr int kThumb = 12;

int scale_x(const Widget& w, const WMetrics& m, double v) {
  Field t = scale_track(w, m);
  double f = w.xmax != w.xmin ? (v - w.xmin) / (w.xmax - w.xmin) : 0;
  return t.x + static_cast<int>(std::lround(std::clamp(f, 0.0, 1.0) * (t.w - kThumb)));
}

double scale_value_at(const Widget& w, const WMetrics& m, int x) {
  Field t = scale_track(w, m);
  double f = std::clamp(static_cast<double>(x - t.x - kThumb / 2) / std::max(1, t.w - kThumb), 0.0, 1.0);
  return w.xmin + f * (w.xmax - w.xmin);
}

// A scale value moved onto its grid: the discrete values, or the step from the minimum.
double snap(const Widget& w, double v) {
  const double lo = std::min(w.xmin, w.xmax), hi = std::max(w.xmin, w.xmax);
  v = std::clamp(v, lo, hi);
  if (!w.stops.empty()) {
    double best = w.stops.front();
    for (double x : w.stops)
      if (std::fabs(x - v) < std::fabs(best - v)) best = x;
    return best;
  }
  if (w.step > 0) {
    double k = std::round((v - w.xmin) / w.step);
    v = std::clamp(w.xmin + k * w.step, lo, hi);
  }
  double unit = std::pow(10.0, w.digits);
  return std::clamp(std::round(v * unit) / unit, lo, hi);
}

// Moves a scale by n steps (of its grid).
double step_scale(const Widget& w, int n) {
  if (!w.stops.empty()) {
    auto it = std::lower_bound(w.stops.begin(), w.stops.end(), w.xval - 1e-12 * std::fabs(w.xval));
    int i = static_cast<int>(it - w.stops.begin());
    i = std::clamp(i + n, 0, static_cast<int>(w.stops.size()) - 1);
    return w.stops[i];
  }
  double st = w.step > 0 ? w.step : std::fabs(w.xmax - w.xmin) / 100;
  double dir = w.xmax >= w.xmin ? 1 : -1;
  return snap(w, w.xval + dir * n * st);
}

int text_lines(const Widget& w) { return static_cast<int>(std::count(w.text.begin(), w.text.end(), '\n')) + 1; }

std::string nth_line(const std::string& text, int n) {
  size_t start = 0;
  for (int i = 0; i < n; ++i) {
    start = text.find('\n', start);
    if (start == std::string::npos) return "";
    ++start;
  }
  size_t end = text.find('\n', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int scroll_total(const Widget& w) {
  switch (w.kind) {
    case WKind::List: return static_cast<int>(w.items.size());
    case WKind::SText: return text_lines(w);
    case WKind::Table: return w.rows;
    default: return 0;
  }
}

void clamp_top(Widget& w) {
  w.top_row = std::clamp(w.top_row, 0, std::max(0, scroll_total(w) - visible_rows(w)));
}

// ------------------------------------------------------------------------------------------
// The view object

class View {
 public:
  View(WidgetState& s) : s_(s), v_(*s.view) {}

  WMetrics metrics(const WStyle& st) { return metrics_of(v_, st); }

  bool ancestors_active(const Widget& w) {
    for (const Widget* p = &w; p; p = s_.get(p->parent)) {
      if (!p->active) return false;
      if (p->kind == WKind::Main) break;
    }
    return true;
  }

  // ----------------------------------------------------------------------------------------
  // Windows

  void ensure_windows(Widget& w, Window parent) {
    if (w.kind == WKind::Popup || w.kind == WKind::Entry) return;
    if (!w.win) {
      w.win = std::make_unique<WidgetWin>();
      w.win->cursor = w.text.size();   // typing continues the text
    }
    WidgetWin& ww = *w.win;
    if (!ww.win) {
      XSetWindowAttributes a{};
      a.background_pixel = pixel(v_, w.kind == WKind::Draw ? or_default(w.style.back, kField) : face(w));
      a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask;
      ww.win = XCreateWindow(v_.dpy, parent, w.x, w.y, static_cast<unsigned>(std::max(1, w.w)),
                             static_cast<unsigned>(std::max(1, w.h)), 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWBackPixel | CWEventMask, &a);
      v_.owner[ww.win] = w.id;
      if (w.visible) XMapWindow(v_.dpy, ww.win);
    } else {
      XMoveResizeWindow(v_.dpy, ww.win, w.x, w.y, static_cast<unsigned>(std::max(1, w.w)),
                        static_cast<unsigned>(std::max(1, w.h)));
    }
    for (int id : w.children)
      if (Widget* k = s_.get(id)) ensure_windows(*k, ww.win);
  }

  void layout(Widget& main, int avail_w, int avail_h) {
    MetricsFor mf = [this](const WStyle& st) { return metrics(st); };
    layout_main(s_, main, mf, avail_w, avail_h);
    for (int id : main.children)
      if (Widget* k = s_.get(id)) clamp_all(*k);
  }

  void clamp_all(Widget& w) {
    clamp_top(w);
    for (int id : w.children)
      if (Widget* k = s_.get(id)) clamp_all(*k);
  }

  bool show(Context& ctx, Widget& main) {
    if (!main.win) main.win = std::make_unique<WidgetWin>();
    WidgetWin& mw = *main.win;
    const bool first = !mw.win;
    layout(main, std::max(0, main.win_w), std::max(0, main.win_h));
    if (first) {
      int x = std::max(0, main.win_x), y = std::max(0, main.win_y);
      if (main.centre) {
        x = std::max(0, (DisplayWidth(v_.dpy, v_.scr) - main.w) / 2);
        y = std::max(0, (DisplayHeight(v_.dpy, v_.scr) - main.h) / 2);
      }
      XSetWindowAttributes a{};
      a.background_pixel = pixel(v_, face(main));
      a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask | KeyPressMask |
                     StructureNotifyMask | FocusChangeMask;
      mw.win = XCreateWindow(v_.dpy, RootWindow(v_.dpy, v_.scr), x, y, static_cast<unsigned>(main.w),
                             static_cast<unsigned>(main.h), 0, CopyFromParent, InputOutput, CopyFromParent,
                             CWBackPixel | CWEventMask, &a);
      if (!mw.win) {
        widget_warn(ctx, kMsgNoDisplay, "Window cannot be created: XCreateWindow failed");
        return false;
      }
      v_.owner[mw.win] = main.id;
      XSizeHints* hints = XAllocSizeHints();
      if (hints) {
        hints->flags = PMinSize | ((main.win_x >= 0 || main.centre) ? (USPosition | PPosition) : 0);
        hints->x = x;
        hints->y = y;
        hints->min_width = main.w;
        hints->min_height = main.h;
        XSetWMNormalHints(v_.dpy, mw.win, hints);
        XFree(hints);
      }
      XClassHint cls;
      char name[] = "tavero", klass[] = "tavwidget";
      cls.res_name = name;
      cls.res_class = klass;
      XSetClassHint(v_.dpy, mw.win, &cls);
      XSetWMProtocols(v_.dpy, mw.win, &v_.wm_delete, 1);
    }
    apply(main);
    if (first) {
      XMapRaised(v_.dpy, mw.win);
      auto end = Clock::now() + std::chrono::seconds(2);   // a window manager may take a moment
      XEvent e;
      bool mapped = false;
      while (!mapped && Clock::now() < end) {
        XSync(v_.dpy, False);
        while (XCheckTypedWindowEvent(v_.dpy, mw.win, MapNotify, &e)) mapped = true;
        if (!mapped) wait_readable(20);
      }
      main.shown = true;
      grab_keyboard_focus(main);
      if (!mw.focus) focus_first(main);
      paint_tree(main);   // at once: the caller may not run the loop soon (gwgxid, reawgt)
      if (mw.menubar) paint_menubar(main);
      tell_windows(main);
    }
    XFlush(v_.dpy);
    return true;
  }

  // Windows, geometry, title and menu bar of a laid-out main window.
  void apply(Widget& main) {
    WidgetWin& mw = *main.win;
    set_title(main);
    const bool bar = has_menu_bar(s_, main);
    WMetrics m = metrics(main.style);
    if (bar && !mw.menubar) {
      XSetWindowAttributes a{};
      a.background_pixel = pixel(v_, face(main));
      a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask;
      mw.menubar = XCreateWindow(v_.dpy, mw.win, 0, 0, static_cast<unsigned>(main.w),
                                 static_cast<unsigned>(menu_bar_height(m)), 0, CopyFromParent, InputOutput,
                                 CopyFromParent, CWBackPixel | CWEventMask, &a);
      v_.menubars[mw.menubar] = main.id;
      XMapWindow(v_.dpy, mw.menubar);
    } else if (!bar && mw.menubar) {
      v_.menubars.erase(mw.menubar);
      XDestroyWindow(v_.dpy, mw.menubar);
      mw.menubar = 0;
    }
    if (mw.menubar)
      XMoveResizeWindow(v_.dpy, mw.menubar, 0, 0, static_cast<unsigned>(main.w),
                        static_cast<unsigned>(menu_bar_height(m)));
    for (int id : main.children)
      if (Widget* k = s_.get(id)) ensure_windows(*k, mw.win);
    place_top(main);
    if (mw.menubar) XClearArea(v_.dpy, mw.menubar, 0, 0, 0, 0, True);
  }

  // The top window follows the size of the layout (which includes a size the user gave it).
  void place_top(Widget& main) {
    WidgetWin& mw = *main.win;
    Window root;
    int gx, gy;
    unsigned gw = 0, gh = 0, border, depth;
    XGetGeometry(v_.dpy, mw.win, &root, &gx, &gy, &gw, &gh, &border, &depth);
    if (static_cast<int>(gw) == main.w && static_cast<int>(gh) == main.h) return;
    XResizeWindow(v_.dpy, mw.win, static_cast<unsigned>(main.w), static_cast<unsigned>(main.h));
  }

  void set_title(Widget& main) {
    Window w = main.win->win;
    XStoreName(v_.dpy, w, latin1(main.label).c_str());
    XChangeProperty(v_.dpy, w, v_.net_wm_name, v_.utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(main.label.data()), static_cast<int>(main.label.size()));
  }

  void relayout(Widget& main) {
    if (!main.win || !main.win->win) return;
    // a window the user enlarged keeps its size
    layout(main, std::max(main.win_w, main.win->user_w), std::max(main.win_h, main.win->user_h));
    apply(main);
    repaint_all(main);
    tell_windows(main);
  }

  void paint_tree(Widget& w) {
    if (w.visible) paint(w);
    for (int id : w.children)
      if (Widget* k = s_.get(id)) paint_tree(*k);
  }

  void repaint_all(Widget& w) {
    if (w.win && w.win->win) XClearArea(v_.dpy, w.win->win, 0, 0, 0, 0, True);
    for (int id : w.children)
      if (Widget* k = s_.get(id)) repaint_all(*k);
  }

  // The window hook: new windows, and (with "SIZE") changed sizes.
  void tell_windows(Widget& main) {
    if (!s_.window_cb) return;
    std::vector<Widget*> list{&main};
    collect_draws(main, list);
    for (Widget* w : list) {
      if (!w->win || !w->win->win) continue;
      WidgetWin& ww = *w->win;
      const bool resized = ww.told && (w->w != ww.told_w || w->h != ww.told_h);
      if (!ww.told || (resized && s_.window_cb_size)) {
        ww.told = true;
        ww.told_w = w->w;
        ww.told_h = w->h;
        int rx = 0, ry = 0;
        Window child;
        XTranslateCoordinates(v_.dpy, ww.win, RootWindow(v_.dpy, v_.scr), 0, 0, &rx, &ry, &child);
        WindowCallback cb = s_.window_cb;
        int id = w->id, ww_ = w->w, hh = w->h;
        s_.queue.emplace_back([cb, id, rx, ry, ww_, hh] { cb(id, rx, ry, ww_, hh); });
      }
    }
  }

  void collect_draws(Widget& w, std::vector<Widget*>& out) {
    for (int id : w.children)
      if (Widget* k = s_.get(id)) {
        if (k->kind == WKind::Draw) out.push_back(k);
        collect_draws(*k, out);
      }
  }

  void forget(Widget& w) {
    if (w.win) {
      if (w.win->win) v_.owner.erase(w.win->win);
      if (w.win->menubar) v_.menubars.erase(w.win->menubar);
      w.win.reset();
    }
    for (int id : w.children)
      if (Widget* k = s_.get(id)) forget(*k);
  }

  // Windows of other clients inside draw widgets (the screen driver's pages) are moved to
  // the root first, so their owners can still destroy them.
  void release_foreign(Widget& w) {
    if (w.kind == WKind::Draw && w.win && w.win->win) {
      Window root, parent, *kids = nullptr;
      unsigned n = 0;
      if (XQueryTree(v_.dpy, w.win->win, &root, &parent, &kids, &n)) {
        for (unsigned i = 0; i < n; ++i) {
          XUnmapWindow(v_.dpy, kids[i]);
          XReparentWindow(v_.dpy, kids[i], root, 0, 0);
        }
        if (kids) XFree(kids);
      }
    }
    for (int id : w.children)
      if (Widget* k = s_.get(id)) release_foreign(*k);
  }

  void close(Widget& main) {
    if (v_.popup.win) {
      Widget* o = s_.get(v_.popup.owner);
      if (!o || o->main == main.id) close_popup();
    }
    release_foreign(main);
    if (main.win && main.win->win) XDestroyWindow(v_.dpy, main.win->win);
    forget(main);
    main.shown = false;
    XSync(v_.dpy, False);
    // events of the destroyed windows are dropped
    XEvent e;
    int n = XPending(v_.dpy);
    std::vector<XEvent> keep;
    while (n-- > 0) {
      XNextEvent(v_.dpy, &e);
      if (v_.owner.count(e.xany.window) || v_.menubars.count(e.xany.window) || e.xany.window == v_.popup.win)
        keep.push_back(e);
    }
    for (auto it = keep.rbegin(); it != keep.rend(); ++it) XPutBackEvent(v_.dpy, &*it);
  }

  // ----------------------------------------------------------------------------------------
  // Focus

  static bool focusable(WKind k) {
    switch (k) {
      case WKind::Text: case WKind::LText: case WKind::File: case WKind::Check: case WKind::Push:
      case WKind::Ok: case WKind::Quit: case WKind::Cmd: case WKind::PImage: case WKind::Box:
      case WKind::List: case WKind::DList: case WKind::Scale: case WKind::Table:
        return true;
      default:
        return false;
    }
  }

  bool shown_and_usable(Widget& w) {
    for (Widget* p = &w; p; p = s_.get(p->parent)) {
      if (!p->visible || !p->active) return false;
      if (p->kind == WKind::Main) break;
    }
    return true;
  }

  void order(Widget& w, std::vector<int>& out) {
    for (int id : w.children)
      if (Widget* k = s_.get(id)) {
        if (focusable(k->kind) && shown_and_usable(*k)) out.push_back(k->id);
        order(*k, out);
      }
  }

  void focus_first(Widget& main) {
    std::vector<int> ids;
    order(main, ids);
    for (int id : ids) {   // a text field first, as the user will most likely type
      Widget* k = s_.get(id);
      if (k->kind == WKind::Text || k->kind == WKind::LText || k->kind == WKind::File) {
        set_focus(*k);
        return;
      }
    }
    if (!ids.empty()) set_focus(*s_.get(ids.front()));
  }

  void set_focus(Widget& w) {
    Widget* main = s_.get(w.main);
    if (!main || !main->win) return;
    int old = main->win->focus;
    if (old == w.id) return;
    if (Widget* o = s_.get(old)) leave(*o);
    main->win->focus = w.id;
    if (w.win) {
      w.win->cursor = std::min(w.win->cursor, w.text.size());
      if (w.kind == WKind::Text || w.kind == WKind::LText || w.kind == WKind::File) w.win->cursor = w.text.size();
      w.win->modified = false;
    }
    if (Widget* o = s_.get(old)) paint(*o);
    paint(w);
  }

  // A field that loses the focus reports a changed text; a table commits its edit.
  void leave(Widget& w) {
    if (!w.win) return;
    if (w.kind == WKind::Table) commit_cell(w);
    if (w.win->modified) {
      w.win->modified = false;
      fire(s_, w, kEvChange, int_value(w), 0);
    }
  }

  void focus_step(Widget& main, int dir) {
    std::vector<int> ids;
    order(main, ids);
    if (ids.empty()) return;
    auto it = std::find(ids.begin(), ids.end(), main.win->focus);
    int i = it == ids.end() ? (dir > 0 ? -1 : 0) : static_cast<int>(it - ids.begin());
    i = (i + dir + static_cast<int>(ids.size())) % static_cast<int>(ids.size());
    set_focus(*s_.get(ids[i]));
  }

  void grab_keyboard_focus(Widget& main) {
    if (!main.win || !main.win->win || !main.shown) return;
    XSync(v_.dpy, False);
    g_x_error = 0;
    XErrorHandler previous = XSetErrorHandler(note_x_error);
    XSetInputFocus(v_.dpy, main.win->win, RevertToParent, CurrentTime);
    XSync(v_.dpy, False);
    XSetErrorHandler(previous);
  }

  // ----------------------------------------------------------------------------------------
  // Painting

  void paint(Widget& w) {
    if (!w.win || !w.win->win || w.w <= 0 || w.h <= 0) return;
    Painter p(v_, w.win->win, w.style);
    const WMetrics& m = p.m();
    Widget* main = s_.get(w.main);
    const bool focused = main && main->win && main->win->focus == w.id;
    const bool active = ancestors_active(w);
    const uint32_t fg = active ? or_default(w.style.fore, kInk) : kGrey;
    const uint32_t lfg = active ? or_default(w.style.lfore, kInk) : kGrey;
    switch (w.kind) {
      case WKind::Main: case WKind::Base:
        XSetWindowBackground(v_.dpy, w.win->win, pixel(v_, face(w)));
        p.fill(0, 0, w.w, w.h, face(w));
        break;
      case WKind::Label: {
        p.fill(0, 0, w.w, w.h, face(w));
        int y = 2;
        size_t start = 0;
        for (;;) {
          size_t end = w.label.find('\n', start);
          std::string line = w.label.substr(start, end == std::string::npos ? std::string::npos : end - start);
          p.text_in(0, y, w.w, m.lh(), line, fg, w.style.just_label);
          y += m.lh();
          if (end == std::string::npos) break;
          start = end + 1;
        }
        break;
      }
      case WKind::Text: case WKind::LText: case WKind::File:
        paint_text(p, w, focused, fg, lfg);
        break;
      case WKind::SText: {
        p.fill(0, 0, w.w, w.h, field(w));
        p.bevel(0, 0, w.w, w.h, false);
        int rows = visible_rows(w), total = text_lines(w);
        p.clip(2, 2, w.w - kScrollBar - 4, w.h - 4);
        for (int r = 0; r < rows && w.top_row + r < total; ++r)
          p.text(kPad, kPad + r * m.lh() + m.ascent, nth_line(w.text, w.top_row + r), lfg);
        p.unclip();
        p.scroll_bar(w.w - kScrollBar - 2, 2, w.h - 4, w.top_row, rows, total);
        break;
      }
      case WKind::Check: {
        p.fill(0, 0, w.w, w.h, face(w));
        int d = m.ascent + 4, y = (w.h - d) / 2;
        p.fill(kPad, y, d, d, field(w));
        p.bevel(kPad, y, d, d, false);
        if (w.sel) {
          for (int t = 0; t < 2; ++t) {
            p.line(kPad + 3, y + d / 2 + t - 1, kPad + d / 2 - 1, y + d - 4 + t - 1, lfg);
            p.line(kPad + d / 2 - 1, y + d - 4 + t - 1, kPad + d - 3, y + 3 + t - 1, lfg);
          }
        }
        p.text_in(kPad + d, 0, w.w - kPad - d, w.h, w.label, fg, 0);
        if (focused) p.frame(kPad + d + 1, 1, std::min(w.w - kPad - d - 1, p.text_width(w.label) + 2 * kPad), w.h - 2, kSelect);
        break;
      }
      case WKind::Push: case WKind::Ok: case WKind::Quit: case WKind::Cmd: case WKind::PImage: {
        const bool down = w.win->pressed;
        p.fill(0, 0, w.w, w.h, face(w));
        p.bevel(0, 0, w.w, w.h, !down);
        int off = down ? 1 : 0;
        if (w.kind == WKind::PImage && !w.rgb.empty()) {
          int tw = w.label.empty() ? 0 : p.text_width(w.label) + kPad;
          int x = (w.w - w.img_w - tw) / 2 + off;
          p.image(x, (w.h - w.img_h) / 2 + off, w);
          if (tw) p.text(x + w.img_w + kPad, (w.h - m.lh()) / 2 + m.ascent + off, w.label, fg);
        } else {
          p.text_in(off, off, w.w, w.h, w.label, fg, 1);
        }
        if (focused) p.frame(3, 3, w.w - 6, w.h - 6, kSelect);
        break;
      }
      case WKind::Box: {
        p.fill(0, 0, w.w, w.h, face(w));
        const int rh = row_height(m), d = m.ascent + 2;
        for (size_t i = 0; i < w.items.size(); ++i) {
          int y = 2 + static_cast<int>(i) * rh;
          p.arc(kPad, y + (rh - d) / 2, d, field(w), true);
          p.arc(kPad, y + (rh - d) / 2, d, kShadow, false);
          if (w.sel == static_cast<int>(i) + 1) p.arc(kPad + d / 4, y + (rh - d) / 2 + d / 4, d / 2 + 1, lfg, true);
          p.text_in(kPad + d + kPad, y, w.w - d - 2 * kPad, rh, w.items[i], fg, 0);
        }
        if (focused) p.frame(0, 0, w.w, w.h, kSelect);
        break;
      }
      case WKind::List:
        paint_list(p, w, focused, lfg);
        break;
      case WKind::DList: {
        p.fill(0, 0, w.w, w.h, face(w));
        p.bevel(0, 0, w.w, w.h, true);
        std::string t = w.sel >= 1 && w.sel <= static_cast<int>(w.items.size()) ? w.items[w.sel - 1] : "";
        int aw = m.lh() + 8;
        p.clip(2, 2, w.w - aw - 2, w.h - 4);
        p.text_in(0, 0, w.w - aw, w.h, t, fg, 0);
        p.unclip();
        p.line(w.w - aw, 4, w.w - aw, w.h - 5, kShadow);
        p.triangle_down(w.w - aw / 2, w.h / 2, m.ascent / 3 + 2, fg);
        if (focused) p.frame(3, 3, w.w - aw - 4, w.h - 6, kSelect);
        break;
      }
      case WKind::Scale: {
        p.fill(0, 0, w.w, w.h, face(w));
        p.text_in(0, 0, w.w, m.lh() + 4, w.label, fg, 0);
        p.text_in(0, 0, w.w, m.lh() + 4, number_text(w.xval, w.digits), fg, 2);
        Field t = scale_track(w, m);
        p.fill(t.x, t.y + t.h / 2 - 3, t.w, 6, 0xB8B8B8);
        p.bevel(t.x, t.y + t.h / 2 - 3, t.w, 6, false);
        int x = scale_x(w, m, w.xval);
        p.fill(t.x + 2, t.y + t.h / 2 - 1, x - t.x, 2, or_default(w.style.bar, kBar));
        p.fill(x, t.y, kThumb, t.h, face(w));
        p.bevel(x, t.y, kThumb, t.h, true);
        if (focused) p.frame(0, t.y - 2, w.w, t.h + 4, kSelect);
        break;
      }
      case WKind::PBar: {
        p.fill(0, 0, w.w, w.h, field(w));
        p.bevel(0, 0, w.w, w.h, false);
        double v = w.xval;
        if (w.step > 0) v = w.xmin + std::floor((v - w.xmin) / w.step + 1e-9) * w.step;
        double f = std::clamp((v - w.xmin) / (w.xmax - w.xmin), 0.0, 1.0);
        int fw = static_cast<int>(std::lround(f * (w.w - 4)));
        p.fill(2, 2, fw, w.h - 4, or_default(w.style.bar, kBar));
        if (w.style.pbar_value) {
          std::string t = std::to_string(static_cast<int>(std::lround(f * 100))) + " %";
          p.text_in(0, 0, w.w, w.h, t, f > 0.5 ? kSelectInk : lfg, 1);
        }
        break;
      }
      case WKind::Table:
        paint_table(p, w, focused, fg, lfg);
        break;
      case WKind::Draw:   // the library draws into a window of its own inside this one
        XSetWindowBackground(v_.dpy, w.win->win, pixel(v_, or_default(w.style.back, kField)));
        XClearWindow(v_.dpy, w.win->win);
        break;
      case WKind::Sep:
        p.fill(0, 0, w.w, w.h, face(w));
        if (w.w >= w.h) {
          p.line(0, w.h / 2 - 1, w.w, w.h / 2 - 1, kShadow);
          p.line(0, w.h / 2, w.w, w.h / 2, kLight);
        } else {
          p.line(w.w / 2 - 1, 0, w.w / 2 - 1, w.h, kShadow);
          p.line(w.w / 2, 0, w.w / 2, w.h, kLight);
        }
        break;
      case WKind::Image: {
        p.fill(0, 0, w.w, w.h, face(w));
        p.image(0, (w.h - w.img_h) / 2, w);
        if (!w.label.empty()) p.text(w.img_w + kPad, (w.h - m.lh()) / 2 + m.ascent, w.label, fg);
        break;
      }
      default:
        break;
    }
  }

  void paint_text(Painter& p, Widget& w, bool focused, uint32_t fg, uint32_t lfg) {
    const WMetrics& m = p.m();
    p.fill(0, 0, w.w, w.h, face(w));
    Field b = text_box(w, m);
    if (b.x > 0) p.text_in(0, 0, b.x, w.h, w.label, fg, w.style.just_label);
    p.fill(b.x, b.y, b.w, b.h, w.style.text_edit ? field(w) : face(w));
    p.bevel(b.x, b.y, b.w, b.h, false);
    const int inner = b.w - 2 * kPad;
    size_t cur = std::min(w.win->cursor, w.text.size());
    int cx = p.text_width(w.text.substr(0, cur));
    int tw = p.text_width(w.text);
    int just = w.style.just_text;
    int base = 0;
    if (tw <= inner) {
      w.win->scroll_x = 0;
      base = just == 1 ? (inner - tw) / 2 : just == 2 ? inner - tw : 0;
    } else {
      if (cx - w.win->scroll_x > inner) w.win->scroll_x = cx - inner;
      if (cx < w.win->scroll_x) w.win->scroll_x = cx;
      w.win->scroll_x = std::clamp(w.win->scroll_x, 0, std::max(0, tw - inner));
    }
    p.clip(b.x + 2, 2, b.w - 4, b.h - 4);
    int x0 = b.x + kPad + base - w.win->scroll_x;
    int baseline = (w.h - m.lh()) / 2 + m.ascent;
    p.text(x0, baseline, w.text, lfg);
    if (focused && w.style.text_edit) p.line(x0 + cx, baseline - m.ascent, x0 + cx, baseline + m.descent - 1, lfg);
    p.unclip();
    if (w.kind == WKind::File) {
      Field fb = file_button(w, m);
      p.fill(fb.x, 0, fb.w, w.h, face(w));
      p.bevel(fb.x, 0, fb.w, w.h, !w.win->pressed);
      p.text_in(fb.x, 0, fb.w, w.h, "...", fg, 1);
    }
  }

  void paint_list(Painter& p, Widget& w, bool focused, uint32_t lfg) {
    const WMetrics& m = p.m();
    p.fill(0, 0, w.w, w.h, field(w));
    p.bevel(0, 0, w.w, w.h, false);
    const int rows = visible_rows(w), total = static_cast<int>(w.items.size());
    const bool bar = total > rows;
    const int iw = w.w - 4 - (bar ? kScrollBar : 0), rh = row_height(m);
    p.clip(2, 2, iw, w.h - 4);
    for (int r = 0; r < rows && w.top_row + r < total; ++r) {
      int i = w.top_row + r, y = 2 + r * rh;
      bool on = i < static_cast<int>(w.marked.size()) && w.marked[i];
      if (on) p.fill(2, y, iw, rh, kSelect);
      p.text_in(2, y, iw, rh, w.items[i], on ? kSelectInk : lfg, 0);
      if (focused && i + 1 == std::max(1, w.sel) && !on) p.frame(2, y, iw, rh, kSelect);
    }
    p.unclip();
    if (bar) p.scroll_bar(w.w - kScrollBar - 2, 2, w.h - 4, w.top_row, rows, total);
    if (focused) p.frame(0, 0, w.w, w.h, kSelect);
  }

  void paint_table(Painter& p, Widget& w, bool focused, uint32_t fg, uint32_t lfg) {
    const WMetrics& m = p.m();
    p.fill(0, 0, w.w, w.h, field(w));
    const int hw = table_head_width(w, m), cw = table_col_width(w, m), rh = table_row_height(m);
    const int rows = visible_rows(w);
    const bool bar = w.rows > rows;
    const int right = w.w - (bar ? kScrollBar + 1 : 0);
    p.clip(0, 0, right, w.h);
    // column headers
    p.fill(0, 0, right, rh, kHead);
    for (int c = w.left_col, x = hw; c < w.cols && x < right; ++c, x += cw) {
      std::string h = w.col_head[c].empty() ? std::to_string(c + 1) : w.col_head[c];
      p.bevel(x, 0, cw, rh, true);
      p.text_in(x, 0, cw, rh, h, fg, 1);
    }
    p.bevel(0, 0, hw, rh, true);
    for (int r = 0; r < rows && w.top_row + r < w.rows; ++r) {
      const int row = w.top_row + r, y = (r + 1) * rh;
      std::string h = w.row_head[row].empty() ? std::to_string(row + 1) : w.row_head[row];
      p.fill(0, y, hw, rh, kHead);
      p.bevel(0, y, hw, rh, true);
      p.text_in(0, y, hw, rh, h, fg, 1);
      for (int c = w.left_col, x = hw; c < w.cols && x < right; ++c, x += cw) {
        const WCell& cell = w.cells[static_cast<size_t>(row) * w.cols + c];
        const bool cur = w.win->cur_row == row + 1 && w.win->cur_col == c + 1;
        p.fill(x, y, cw, rh, or_default(cell.back, cell.edit ? field(w) : 0xEEEEEE));
        p.frame(x - 1, y - 1, cw + 1, rh + 1, 0xB0B0B0);
        p.clip(x + 1, y + 1, std::min(cw - 2, right - x - 1), rh - 2);
        if (cur && w.win->editing) {
          p.text(x + kPad, y + (rh - m.lh()) / 2 + m.ascent, w.win->edit, lfg);
          int cx = x + kPad + p.text_width(w.win->edit.substr(0, std::min(w.win->cursor, w.win->edit.size())));
          p.line(cx, y + 3, cx, y + rh - 4, lfg);
        } else {
          p.text_in(x, y, cw, rh, cell.text, ancestors_active(w) ? or_default(cell.fore, lfg) : kGrey,
                    w.style.just_table);
        }
        p.clip(0, 0, right, w.h);
        if (cur) p.frame(x, y, cw - 1, rh - 1, focused ? kSelect : kShadow);
      }
    }
    p.unclip();
    if (bar) p.scroll_bar(w.w - kScrollBar, rh, w.h - rh, w.top_row, rows, w.rows);
  }

  void paint_menubar(Widget& main) {
    Window win = main.win->menubar;
    Painter p(v_, win, main.style);
    const WMetrics& m = p.m();
    const int h = menu_bar_height(m);
    p.fill(0, 0, main.w, h, face(main));
    p.line(0, h - 1, main.w, h - 1, kShadow);
    for (auto& e : menu_entries(main, m)) {
      if (e.img) {
        p.image(e.x + kPad, (h - e.img->img_h) / 2, *e.img);
      } else {
        p.text(e.x + kPad, (h - m.lh()) / 2 + m.ascent, e.label, ink(main));
      }
    }
  }

  struct BarEntry {
    int x, w;
    std::string label;
    const Widget* img;
    int popup;   // popup widget id; -1 the library's File menu; -2 Help
  };

  std::vector<BarEntry> menu_entries(const Widget& main, const WMetrics& m) {
    std::vector<BarEntry> out;
    int x = kPad;
    for (int id : main.children) {
      const Widget* k = s_.get(id);
      if (!k || k->kind != WKind::Popup || !k->visible) continue;
      const bool img = k->img_w > 0 && !k->rgb.empty();
      int w = (img ? k->img_w : m.text(k->label)) + 2 * kPad;
      out.push_back({x, w, k->label, img ? k : nullptr, k->id});
      x += w + kPad;
    }
    if (main.pop_ok || main.pop_quit) {
      int w = m.text("File") + 2 * kPad;
      out.push_back({x, w, "File", nullptr, -1});
      x += w + kPad;
    }
    if (main.pop_help && !main.help.empty()) {
      int w = m.text("Help") + 2 * kPad;
      out.push_back({x, w, "Help", nullptr, -2});
    }
    return out;
  }

  // ----------------------------------------------------------------------------------------
  // Popups: drop-down lists and menus

  void open_popup(int owner, int kind, Window below, int x, int y, int minw, const WStyle& st,
                  std::vector<std::string> labels, std::vector<int> ids) {
    close_popup();
    Popup& pp = v_.popup;
    pp = Popup{};
    pp.owner = owner;
    pp.kind = kind;
    pp.labels = std::move(labels);
    pp.ids = std::move(ids);
    pp.style = st;
    WMetrics m = metrics(st);
    pp.row_h = row_height(m) + 2;
    int wmax = minw;
    for (size_t i = 0; i < pp.labels.size(); ++i) {
      const Widget* e = i < pp.ids.size() ? s_.get(pp.ids[i]) : nullptr;
      int tw = e && !e->rgb.empty() ? e->img_w : m.text(pp.labels[i]);
      if (e && !e->rgb.empty()) pp.row_h = std::max(pp.row_h, e->img_h + 4);
      wmax = std::max(wmax, tw + 4 * kPad);
    }
    pp.w = wmax;
    pp.h = std::max(1, static_cast<int>(pp.labels.size())) * pp.row_h + 4;
    int rx = 0, ry = 0;
    Window child;
    XTranslateCoordinates(v_.dpy, below, RootWindow(v_.dpy, v_.scr), x, y, &rx, &ry, &child);
    const int sh = DisplayHeight(v_.dpy, v_.scr);
    if (ry + pp.h > sh) ry = std::max(0, sh - pp.h);
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.save_under = True;
    a.background_pixel = pixel(v_, or_default(st.lback, kField));
    a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;
    pp.win = XCreateWindow(v_.dpy, RootWindow(v_.dpy, v_.scr), rx, ry, static_cast<unsigned>(pp.w),
                           static_cast<unsigned>(pp.h), 0, CopyFromParent, InputOutput, CopyFromParent,
                           CWOverrideRedirect | CWSaveUnder | CWBackPixel | CWEventMask, &a);
    XStoreName(v_.dpy, pp.win, "tavero popup");
    XMapRaised(v_.dpy, pp.win);
    XSync(v_.dpy, False);
    v_.grabbed = XGrabPointer(v_.dpy, pp.win, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                              GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
    if (Widget* o = s_.get(owner)) {
      if (o->kind == WKind::DList) pp.hover = o->sel - 1;
    }
  }

  void close_popup() {
    Popup& pp = v_.popup;
    if (!pp.win) return;
    if (v_.grabbed) XUngrabPointer(v_.dpy, CurrentTime);
    v_.grabbed = false;
    XDestroyWindow(v_.dpy, pp.win);
    pp = Popup{};
    XFlush(v_.dpy);
  }

  void paint_popup() {
    Popup& pp = v_.popup;
    if (!pp.win) return;
    Painter p(v_, pp.win, pp.style);
    p.fill(0, 0, pp.w, pp.h, or_default(pp.style.lback, kField));
    p.frame(0, 0, pp.w, pp.h, kDark);
    for (size_t i = 0; i < pp.labels.size(); ++i) {
      int y = 2 + static_cast<int>(i) * pp.row_h;
      bool on = static_cast<int>(i) == pp.hover;
      if (on) p.fill(2, y, pp.w - 4, pp.row_h, kSelect);
      const Widget* e = i < pp.ids.size() ? s_.get(pp.ids[i]) : nullptr;
      const uint32_t c = e && !e->active ? kGrey : on ? kSelectInk : or_default(pp.style.lfore, kInk);
      if (e && !e->rgb.empty())
        p.image(2 * kPad, y + (pp.row_h - e->img_h) / 2, *e);
      else
        p.text_in(kPad, y, pp.w - 2 * kPad, pp.row_h, pp.labels[i], c, 0);
    }
  }

  int popup_row(int y) {
    const Popup& pp = v_.popup;
    if (y < 2 || pp.row_h <= 0) return -1;
    int r = (y - 2) / pp.row_h;
    return r < static_cast<int>(pp.labels.size()) ? r : -1;
  }

  void choose_popup(int row) {
    Popup pp = v_.popup;
    close_popup();
    if (row < 0) return;
    if (pp.kind == 1) {
      Widget* w = s_.get(pp.owner);
      if (!w) return;
      w->sel = row + 1;
      paint(*w);
      fire(s_, *w, kEvChange, w->sel, 0);
    } else if (pp.kind == 2) {
      if (row < static_cast<int>(pp.ids.size()))
        if (Widget* e = s_.get(pp.ids[row])) press_button(s_, *e);
    } else if (pp.kind == 3) {
      Widget* main = s_.get(pp.owner);
      if (main) main->end = pp.labels[row] == "OK" ? kEndOk : kEndQuit;
    }
  }

  void open_menu(Widget& main, int x) {
    WMetrics m = metrics(main.style);
    for (auto& e : menu_entries(main, m)) {
      if (x < e.x || x >= e.x + e.w) continue;
      const int h = menu_bar_height(m);
      if (e.popup == -2) {
        std::string text = main.help;
        s_.queue.emplace_back([text] { dwgmsg(text.c_str()); });
      } else if (e.popup == -1) {
        std::vector<std::string> labels;
        if (main.pop_ok) labels.push_back("OK");
        if (main.pop_quit) labels.push_back("Quit");
        open_popup(main.id, 3, main.win->menubar, e.x, h, e.w, main.style, labels, {});
      } else {
        Widget* pop = s_.get(e.popup);
        if (!pop || !pop->active) return;
        std::vector<std::string> labels;
        std::vector<int> ids;
        for (int id : pop->children) {
          Widget* k = s_.get(id);
          if (!k || !k->visible) continue;
          labels.push_back(k->label);
          ids.push_back(id);
        }
        open_popup(pop->id, 2, main.win->menubar, e.x, h, e.w, main.style, labels, ids);
      }
      return;
    }
  }

  // ----------------------------------------------------------------------------------------
  // Input

  bool input_allowed(const Widget& w) {
    if (v_.loops.empty()) return true;
    return w.main == v_.loops.back();   // a dialog of a running loop takes the input alone
  }

  void handle(XEvent& e) {
    if (v_.popup.win && (e.xany.window == v_.popup.win || e.type == KeyPress)) {
      popup_event(e);
      return;
    }
    auto mb = v_.menubars.find(e.xany.window);
    if (mb != v_.menubars.end()) {
      Widget* main = s_.get(mb->second);
      if (!main || !main->win) return;
      if (e.type == Expose && e.xexpose.count == 0) paint_menubar(*main);
      if (e.type == ButtonPress && input_allowed(*main)) {
        if (v_.popup.win) {
          close_popup();
          return;
        }
        open_menu(*main, e.xbutton.x);
      }
      return;
    }
    auto it = v_.owner.find(e.xany.window);
    if (it == v_.owner.end()) return;
    Widget* w = s_.get(it->second);
    if (!w || !w->win) return;
    switch (e.type) {
      case Expose:
        if (e.xexpose.count == 0) paint(*w);
        return;
      case ConfigureNotify:
        if (w->kind == WKind::Main && e.xany.window == w->win->win) configured(*w, e.xconfigure.width, e.xconfigure.height);
        return;
      case ClientMessage:
        if (w->kind == WKind::Main && static_cast<Atom>(e.xclient.data.l[0]) == v_.wm_delete) {
          if (!input_allowed(*w)) return;
          if (w->close_mode == 0) w->end = kEndClose;
          if (w->close_mode == 1) w->end = kEndQuit;
        }
        return;
      case ButtonPress:
        if (v_.popup.win) {   // a click outside the popup closes it
          bool owner_click = w->id == v_.popup.owner;
          close_popup();
          if (owner_click) return;
        }
        if (!input_allowed(*w)) return;
        press(*w, e.xbutton);
        return;
      case ButtonRelease:
        if (!input_allowed(*w)) return;
        release(*w, e.xbutton);
        return;
      case MotionNotify:
        if (!input_allowed(*w)) return;
        motion(*w, e.xmotion);
        return;
      case KeyPress:
        if (!input_allowed(*w)) return;
        key(*w, e.xkey);
        return;
      default:
        return;
    }
  }

  void configured(Widget& main, int width, int height) {
    if (width == main.w && height == main.h) return;
    main.win->user_w = width;
    main.win->user_h = height;
    MetricsFor mf = [this](const WStyle& st) { return metrics(st); };
    layout_main(s_, main, mf, width, height);
    clamp_all(main);
    for (int id : main.children)
      if (Widget* k = s_.get(id)) ensure_windows(*k, main.win->win);
    if (main.win->menubar) {
      WMetrics m = metrics(main.style);
      XResizeWindow(v_.dpy, main.win->menubar, static_cast<unsigned>(main.w), static_cast<unsigned>(menu_bar_height(m)));
    }
    repaint_all(main);
    tell_windows(main);
  }

  void popup_event(XEvent& e) {
    Popup& pp = v_.popup;
    switch (e.type) {
      case Expose:
        if (e.xexpose.count == 0) paint_popup();
        break;
      case MotionNotify: {
        int inside = e.xmotion.x >= 0 && e.xmotion.x < pp.w ? popup_row(e.xmotion.y) : -1;
        if (inside != pp.hover && inside >= 0) {
          pp.hover = inside;
          paint_popup();
        }
        break;
      }
      case ButtonPress:
        if (e.xbutton.x < 0 || e.xbutton.y < 0 || e.xbutton.x >= pp.w || e.xbutton.y >= pp.h) close_popup();
        break;
      case ButtonRelease:
        if (e.xbutton.x >= 0 && e.xbutton.y >= 0 && e.xbutton.x < pp.w && e.xbutton.y < pp.h)
          choose_popup(popup_row(e.xbutton.y));
        break;
      case KeyPress:
        popup_key(e.xkey);
        break;
      default:
        break;
    }
  }

  void popup_key(XKeyEvent& ke) {
    Popup& pp = v_.popup;
    KeySym sym = 0;
    char buf[8];
    XLookupString(&ke, buf, sizeof buf, &sym, nullptr);
    const int n = static_cast<int>(pp.labels.size());
    if (sym == XK_Escape) {
      close_popup();
    } else if (sym == XK_Up || sym == XK_Down) {
      pp.hover = std::clamp(pp.hover + (sym == XK_Up ? -1 : 1), 0, std::max(0, n - 1));
      paint_popup();
    } else if (sym == XK_Return || sym == XK_KP_Enter || sym == XK_space) {
      choose_popup(pp.hover);
    }
  }

  void press(Widget& w, XButtonEvent& be) {
    if (!ancestors_active(w)) return;
    Widget* main = s_.get(w.main);
    if (!main) return;
    const int b = static_cast<int>(be.button);
    if (b == 4 || b == 5) {
      wheel(w, b == 4 ? -1 : 1);
      return;
    }
    if (focusable(w.kind)) {
      set_focus(w);
      grab_keyboard_focus(*main);
    }
    WMetrics m = metrics(w.style);
    WidgetWin& ww = *w.win;
    switch (w.kind) {
      case WKind::Push: case WKind::Ok: case WKind::Quit: case WKind::Cmd: case WKind::PImage:
        ww.pressed = true;
        paint(w);
        break;
      case WKind::Check:
        w.sel = !w.sel;
        paint(w);
        fire(s_, w, kEvChange, w.sel, 0);
        break;
      case WKind::Box: {
        int i = (be.y - 2) / row_height(m);
        if (i >= 0 && i < static_cast<int>(w.items.size())) {
          w.sel = i + 1;
          paint(w);
          fire(s_, w, kEvChange, w.sel, 0);
        }
        break;
      }
      case WKind::List:
        press_list(w, be, m);
        break;
      case WKind::DList: {
        std::vector<int> none;
        open_popup(w.id, 1, ww.win, 0, w.h, w.w, w.style, w.items, none);
        break;
      }
      case WKind::Scale: {
        Field t = scale_track(w, m);
        if (be.y < t.y - 2) break;
        ww.press_value = w.xval;
        ww.drag = 1;
        int tx = scale_x(w, m, w.xval);
        if (be.x < tx || be.x >= tx + kThumb) w.xval = snap(w, scale_value_at(w, m, be.x));
        ww.drag_from = be.x - scale_x(w, m, w.xval);
        paint(w);
        break;
      }
      case WKind::Text: case WKind::LText: case WKind::File: {
        if (w.kind == WKind::File) {
          Field fb = file_button(w, m);
          if (be.x >= fb.x) {
            ww.pressed = true;
            paint(w);
            break;
          }
        }
        place_cursor(w, be.x, m);
        paint(w);
        break;
      }
      case WKind::SText:
        if (be.x >= w.w - kScrollBar - 2) scroll_bar_press(w, be.y, 2, w.h - 4);
        break;
      case WKind::Table:
        press_table(w, be, m);
        break;
      case WKind::Draw:
        w.sel = b;   // the button number, reported by swgcb3
        fire(s_, w, kEvClick, be.x, be.y);
        break;
      default:
        break;
    }
  }

  void release(Widget& w, XButtonEvent& be) {
    WidgetWin& ww = *w.win;
    if (ww.drag == 1 && w.kind == WKind::Scale) {
      ww.drag = 0;
      if (w.xval != ww.press_value) fire(s_, w, kEvChange, int_value(w), 0);
      return;
    }
    ww.drag = 0;
    if (!ww.pressed) return;
    ww.pressed = false;
    paint(w);
    const bool inside = be.x >= 0 && be.y >= 0 && be.x < w.w && be.y < w.h;
    if (!inside || !ancestors_active(w)) return;
    if (w.kind == WKind::File) {
      open_file_dialog(w);
      return;
    }
    press_button(s_, w);
  }

  void motion(Widget& w, XMotionEvent& me) {
    WidgetWin& ww = *w.win;
    WMetrics m = metrics(w.style);
    if (ww.drag == 1 && w.kind == WKind::Scale) {
      double v = snap(w, scale_value_at(w, m, me.x - ww.drag_from + kThumb / 2));
      if (v != w.xval) {
        w.xval = v;
        paint(w);
      }
    } else if (ww.drag == 2) {
      int total = scroll_total(w), rows = visible_rows(w);
      int track = w.kind == WKind::Table ? w.h - table_row_height(m) : w.h - 4;
      int th = std::max(10, track * std::min(rows, total) / std::max(1, total));
      if (track > th) {
        w.top_row = ww.drag_top + (me.y - ww.drag_from) * (total - rows) / (track - th);
        clamp_top(w);
        paint(w);
      }
    }
  }

  void wheel(Widget& w, int dir) {
    if (w.kind == WKind::List || w.kind == WKind::SText || w.kind == WKind::Table) {
      w.top_row += dir * 3;
      clamp_top(w);
      paint(w);
    } else if (w.kind == WKind::Scale && ancestors_active(w)) {
      double v = step_scale(w, -dir);
      if (v != w.xval) {
        w.xval = v;
        paint(w);
        fire(s_, w, kEvChange, int_value(w), 0);
      }
    }
  }

  // A click at window row y on a scroll bar whose track starts at row top: a page up or
  // down, or the start of a thumb drag.
  void scroll_bar_press(Widget& w, int y, int top, int track) {
    int total = scroll_total(w), rows = visible_rows(w);
    if (total <= rows) return;
    int th = std::max(10, track * rows / total);
    int ty = top + (track - th) * w.top_row / (total - rows);
    if (y < ty) {
      w.top_row -= rows;
    } else if (y >= ty + th) {
      w.top_row += rows;
    } else {
      w.win->drag = 2;
      w.win->drag_from = y;
      w.win->drag_top = w.top_row;
    }
    clamp_top(w);
    paint(w);
  }

  void press_list(Widget& w, XButtonEvent& be, const WMetrics& m) {
    const int rows = visible_rows(w), total = static_cast<int>(w.items.size());
    if (total > rows && be.x >= w.w - kScrollBar - 2) {
      scroll_bar_press(w, be.y, 2, w.h - 4);
      return;
    }
    int i = w.top_row + (be.y - 2) / row_height(m);
    if (be.y < 2 || i < 0 || i >= total) return;
    w.marked.resize(w.items.size(), 0);
    const bool dbl = v_.last_click_id == w.id && v_.last_click_item == i && be.time - v_.last_click < 400;
    v_.last_click = be.time;
    v_.last_click_id = w.id;
    v_.last_click_item = i;
    if (w.style.list_multi) {
      w.marked[i] = !w.marked[i];
      w.sel = 0;
      for (int k = 0; k < total; ++k)
        if (w.marked[k]) {
          w.sel = k + 1;
          break;
        }
      paint(w);
      fire(s_, w, kEvChange, i + 1, w.marked[i]);
    } else {
      std::fill(w.marked.begin(), w.marked.end(), 0);
      w.marked[i] = 1;
      w.sel = i + 1;
      paint(w);
      if (dbl) {
        if (w.internal) w.internal(kEvActivate, w.sel, 0);
      } else {
        fire(s_, w, kEvChange, w.sel, 1);
      }
    }
  }

  void press_table(Widget& w, XButtonEvent& be, const WMetrics& m) {
    const int hw = table_head_width(w, m), cw = table_col_width(w, m), rh = table_row_height(m);
    const int rows = visible_rows(w);
    if (w.rows > rows && be.x >= w.w - kScrollBar) {
      if (be.y >= rh) scroll_bar_press(w, be.y, rh, w.h - rh);
      return;
    }
    if (be.x < hw || be.y < rh) return;
    int c = w.left_col + (be.x - hw) / cw, r = w.top_row + (be.y - rh) / rh;
    if (c < 0 || c >= w.cols || r < 0 || r >= w.rows || r >= w.top_row + rows) return;
    select_cell(w, r + 1, c + 1, true);
  }

  void select_cell(Widget& w, int row, int col, bool notify) {
    commit_cell(w);
    WidgetWin& ww = *w.win;
    row = std::clamp(row, 1, w.rows);
    col = std::clamp(col, 1, w.cols);
    if (row == ww.cur_row && col == ww.cur_col) notify = false;   // already there
    ww.cur_row = row;
    ww.cur_col = col;
    const int rows = visible_rows(w);
    if (ww.cur_row - 1 < w.top_row) w.top_row = ww.cur_row - 1;
    if (ww.cur_row - 1 >= w.top_row + rows) w.top_row = ww.cur_row - rows;
    clamp_top(w);
    paint(w);
    if (notify) fire(s_, w, kEvCell, ww.cur_row, ww.cur_col);
  }

  WCell* current_cell(Widget& w) {
    WidgetWin& ww = *w.win;
    if (ww.cur_row < 1 || ww.cur_col < 1 || ww.cur_row > w.rows || ww.cur_col > w.cols) return nullptr;
    return &w.cells[static_cast<size_t>(ww.cur_row - 1) * w.cols + (ww.cur_col - 1)];
  }

  void commit_cell(Widget& w) {
    if (!w.win || !w.win->editing) return;
    WidgetWin& ww = *w.win;
    ww.editing = false;
    WCell* c = current_cell(w);
    if (c && c->text != ww.edit) {
      c->text = ww.edit;
      fire(s_, w, kEvCell, ww.cur_row, ww.cur_col);
    }
    paint(w);
  }

  void place_cursor(Widget& w, int x, const WMetrics& m) {
    Field b = text_box(w, m);
    int target = x - b.x - kPad + w.win->scroll_x;
    size_t best = 0;
    int bestd = 1 << 30;
    for (size_t i = 0;; i = next_char(w.text, i)) {
      int d = std::abs(m.text(w.text.substr(0, i)) - target);
      if (d < bestd) {
        bestd = d;
        best = i;
      }
      if (i >= w.text.size()) break;
    }
    w.win->cursor = best;
  }

  // Editing keys shared by text fields and table cells; true when the text changed.
  static bool edit_key(std::string& text, size_t& cur, KeySym sym, unsigned state, const char* buf, int n) {
    cur = std::min(cur, text.size());
    const bool ctrl = state & ControlMask;
    if (ctrl && (sym == XK_a || sym == XK_A)) sym = XK_Home;
    if (ctrl && (sym == XK_e || sym == XK_E)) sym = XK_End;
    switch (sym) {
      case XK_Left: case XK_KP_Left: cur = prev_char(text, cur); return false;
      case XK_Right: case XK_KP_Right: cur = next_char(text, cur); return false;
      case XK_Home: case XK_KP_Home: cur = 0; return false;
      case XK_End: case XK_KP_End: cur = text.size(); return false;
      case XK_BackSpace:
        if (cur == 0) return false;
        {
          size_t p = prev_char(text, cur);
          text.erase(p, cur - p);
          cur = p;
        }
        return true;
      case XK_Delete: case XK_KP_Delete:
        if (cur >= text.size()) return false;
        text.erase(cur, next_char(text, cur) - cur);
        return true;
      default:
        break;
    }
    if (ctrl && (sym == XK_u || sym == XK_U)) {
      text.clear();
      cur = 0;
      return true;
    }
    if (ctrl && (sym == XK_k || sym == XK_K)) {
      text.erase(cur);
      return true;
    }
    if (ctrl) return false;
    std::string ins = typed_text(sym, buf, n);
    if (ins.empty()) return false;
    text.insert(cur, ins);
    cur += ins.size();
    return true;
  }

  void key(Widget& top, XKeyEvent& ke) {
    Widget* main = s_.get(top.main);
    if (!main || !main->win) return;
    char buf[16] = {};
    KeySym sym = 0;
    int n = XLookupString(&ke, buf, sizeof buf, &sym, nullptr);
    if (sym == XK_ISO_Left_Tab || (sym == XK_Tab && (ke.state & ShiftMask))) {
      Widget* f = s_.get(main->win->focus);
      if (f && f->kind == WKind::Table && f->win && f->win->cur_col > 1) {
        select_cell(*f, f->win->cur_row, f->win->cur_col - 1, true);
        return;
      }
      focus_step(*main, -1);
      return;
    }
    if (sym == XK_Tab) {
      Widget* f = s_.get(main->win->focus);
      if (f && f->kind == WKind::Table && f->win && f->win->cur_row >= 1 &&
          (f->win->cur_col < f->cols || f->win->cur_row < f->rows)) {
        if (f->win->cur_col < f->cols)
          select_cell(*f, f->win->cur_row, f->win->cur_col + 1, true);
        else
          select_cell(*f, f->win->cur_row + 1, 1, true);
        return;
      }
      focus_step(*main, 1);
      return;
    }
    Widget* w = s_.get(main->win->focus);
    if (!w || !w->win || !ancestors_active(*w)) return;
    WidgetWin& ww = *w->win;
    const bool enter = sym == XK_Return || sym == XK_KP_Enter;
    switch (w->kind) {
      case WKind::Text: case WKind::LText: case WKind::File:
        if (enter) {
          ww.modified = false;
          fire(s_, *w, kEvActivate, int_value(*w), 0);
          return;
        }
        if (!w->style.text_edit) return;
        if (edit_key(w->text, ww.cursor, sym, ke.state, buf, n)) ww.modified = true;
        paint(*w);
        return;
      case WKind::Check:
        if (sym == XK_space || enter) {
          w->sel = !w->sel;
          paint(*w);
          fire(s_, *w, kEvChange, w->sel, 0);
        }
        return;
      case WKind::Push: case WKind::Ok: case WKind::Quit: case WKind::Cmd: case WKind::PImage:
        if (sym == XK_space || enter) press_button(s_, *w);
        return;
      case WKind::Box: case WKind::DList: case WKind::List: {
        const int count = static_cast<int>(w->items.size());
        if (w->kind == WKind::DList && (sym == XK_space || enter)) {
          std::vector<int> none;
          open_popup(w->id, 1, ww.win, 0, w->h, w->w, w->style, w->items, none);
          return;
        }
        if (w->kind == WKind::List && enter) {
          if (w->internal) w->internal(kEvActivate, w->sel, 0);
          return;
        }
        if (w->kind == WKind::List && w->style.list_multi && sym == XK_space && w->sel >= 1) {
          w->marked[w->sel - 1] = !w->marked[w->sel - 1];
          paint(*w);
          fire(s_, *w, kEvChange, w->sel, w->marked[w->sel - 1]);
          return;
        }
        int d = (sym == XK_Up || sym == XK_KP_Up) ? -1 : (sym == XK_Down || sym == XK_KP_Down) ? 1 : 0;
        if (!d || count == 0) return;
        int sel = std::clamp(std::max(w->sel, d > 0 ? 0 : 2) + d, 1, count);
        if (sel == w->sel) return;
        w->sel = sel;
        if (w->kind == WKind::List) {
          w->marked.assign(w->items.size(), 0);
          w->marked[sel - 1] = 1;
          const int rows = visible_rows(*w);
          if (sel - 1 < w->top_row) w->top_row = sel - 1;
          if (sel - 1 >= w->top_row + rows) w->top_row = sel - rows;
        }
        paint(*w);
        fire(s_, *w, kEvChange, w->sel, 1);
        return;
      }
      case WKind::Scale: {
        int steps = 0;
        if (sym == XK_Left || sym == XK_Down || sym == XK_KP_Left || sym == XK_KP_Down) steps = -1;
        if (sym == XK_Right || sym == XK_Up || sym == XK_KP_Right || sym == XK_KP_Up) steps = 1;
        if (sym == XK_Page_Down) steps = -10;
        if (sym == XK_Page_Up) steps = 10;
        double v = w->xval;
        if (steps) v = step_scale(*w, steps);
        if (sym == XK_Home) v = w->stops.empty() ? w->xmin : w->stops.front();
        if (sym == XK_End) v = w->stops.empty() ? w->xmax : w->stops.back();
        if (v != w->xval) {
          w->xval = v;
          paint(*w);
          fire(s_, *w, kEvChange, int_value(*w), 0);
        }
        return;
      }
      case WKind::Table:
        table_key(*w, sym, ke.state, buf, n);
        return;
      default:
        return;
    }
  }

  void table_key(Widget& w, KeySym sym, unsigned state, const char* buf, int n) {
    WidgetWin& ww = *w.win;
    if (ww.cur_row < 1) {
      select_cell(w, 1, 1, true);
      if (sym == XK_Up || sym == XK_Down || sym == XK_Left || sym == XK_Right) return;
    }
    if (ww.editing) {
      if (sym == XK_Escape) {
        ww.editing = false;
        paint(w);
        return;
      }
      if (sym == XK_Return || sym == XK_KP_Enter) {
        commit_cell(w);
        if (ww.cur_row < w.rows) select_cell(w, ww.cur_row + 1, ww.cur_col, true);
        return;
      }
      if (sym == XK_Up || sym == XK_Down) {
        commit_cell(w);
      } else {
        edit_key(ww.edit, ww.cursor, sym, state, buf, n);
        paint(w);
        return;
      }
    }
    switch (sym) {
      case XK_Up: select_cell(w, ww.cur_row - 1, ww.cur_col, true); return;
      case XK_Down: select_cell(w, ww.cur_row + 1, ww.cur_col, true); return;
      case XK_Left: select_cell(w, ww.cur_row, ww.cur_col - 1, true); return;
      case XK_Right: select_cell(w, ww.cur_row, ww.cur_col + 1, true); return;
      default: break;
    }
    WCell* c = current_cell(w);
    if (!c || !c->edit) return;
    const bool start_keys = sym == XK_Return || sym == XK_KP_Enter || sym == XK_F2;
    if (start_keys || (!(state & ControlMask) && !typed_text(sym, buf, n).empty())) {
      ww.editing = true;
      ww.edit = start_keys ? c->text : "";   // typing replaces the cell, Return edits it
      ww.cursor = ww.edit.size();
      if (!start_keys) edit_key(ww.edit, ww.cursor, sym, state, buf, n);
      paint(w);
    }
  }

  // The "..." button of a file widget: a file dialog after the event (it has its own loop).
  void open_file_dialog(Widget& w) {
    const int id = w.id;
    std::string label = w.label.empty() ? "Select a file" : w.label, mask = w.mask, file = w.text;
    WidgetState* sp = &s_;
    s_.queue.emplace_back([sp, id, label, mask, file] {
      std::string chosen = dwgfil(label.c_str(), file.c_str(), mask.c_str());
      Lock lk(sp->mu);
      Widget* f = sp->get(id);
      if (!f || chosen == f->text) return;
      f->text = chosen;
      if (f->win) f->win->cursor = chosen.size();
      view_refresh(*sp, *f);
      fire(*sp, *f, kEvChange, 0, 0);
    });
  }

  void wait_readable(int ms) {
    if (!XPending(v_.dpy)) wait_fd(ConnectionNumber(v_.dpy), ms);
  }

 private:
  WidgetState& s_;
  WidgetView& v_;
};

}  // namespace

// ------------------------------------------------------------------------------------------
// The view interface

bool view_connect(WidgetState& s) {
  if (s.view && s.view->dpy) return true;
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  s.view = std::make_unique<WidgetView>();
  WidgetView& v = *s.view;
  v.dpy = d;
  v.scr = DefaultScreen(d);
  v.vis = DefaultVisual(d, v.scr);
  v.depth = DefaultDepth(d, v.scr);
  v.cmap = DefaultColormap(d, v.scr);
  v.direct = v.vis->c_class == TrueColor;
  if (v.direct) {
    const unsigned long masks[3] = {v.vis->red_mask, v.vis->green_mask, v.vis->blue_mask};
    for (int i = 0; i < 3; ++i) {
      unsigned long m = masks[i];
      int sh = 0, nb = 0;
      while (m && !(m & 1)) {
        m >>= 1;
        ++sh;
      }
      while (m & 1) {
        m >>= 1;
        ++nb;
      }
      v.shift[i] = sh;
      v.bits[i] = std::min(nb, 8);
    }
  }
  v.wm_protocols = XInternAtom(d, "WM_PROTOCOLS", False);
  v.wm_delete = XInternAtom(d, "WM_DELETE_WINDOW", False);
  v.net_wm_name = XInternAtom(d, "_NET_WM_NAME", False);
  v.utf8 = XInternAtom(d, "UTF8_STRING", False);
  v.gc = XCreateGC(d, RootWindow(d, v.scr), 0, nullptr);
  return true;
}

WMetrics view_metrics(WidgetState& s, const WStyle& st) {
  if (!s.view || !s.view->dpy) return estimated_metrics(st);
  return metrics_of(*s.view, st);
}

bool view_show(Context& ctx, WidgetState& s, Widget& main) {
  if (!view_connect(s)) return false;
  return View(s).show(ctx, main);
}

void view_relayout(WidgetState& s, Widget& main) {
  if (!s.view || !main.shown) return;
  View(s).relayout(main);
  XFlush(s.view->dpy);
}

void view_refresh(WidgetState& s, Widget& w) {
  if (!s.view || !w.win || !w.win->win) return;
  View(s).paint(w);
  XFlush(s.view->dpy);
}

void view_visibility(WidgetState& s, Widget& w) {
  if (!s.view || !w.win || !w.win->win) return;
  if (w.visible)
    XMapWindow(s.view->dpy, w.win->win);
  else
    XUnmapWindow(s.view->dpy, w.win->win);
}

void view_close(WidgetState& s, Widget& main) {
  if (!s.view || !s.view->dpy) return;
  View(s).close(main);
}

void view_loop(WidgetState& s, int main_id, Lock& lk, bool block) {
  if (!s.view || !s.view->dpy) return;
  if (block) s.view->loops.push_back(main_id);
  for (;;) {
    WidgetView& v = *s.view;
    while (XPending(v.dpy)) {
      XEvent e;
      XNextEvent(v.dpy, &e);
      View(s).handle(e);
      drain_queue(s, lk);
    }
    drain_queue(s, lk);
    Widget* m = s.get(main_id);
    if (!m || m->end != kRunning || !m->shown) break;
    if (!block) break;
    if (s.send_ok.exchange(false)) {
      m->end = kEndSend;
      break;
    }
    XFlush(v.dpy);
    if (XPending(v.dpy)) continue;
    const int fd = ConnectionNumber(v.dpy);
    lk.unlock();
    wait_fd(fd, 50);
    lk.lock();
  }
  if (block) s.view->loops.pop_back();
  // a field that had the focus when the loop ended keeps its text: nothing to report
}

void view_focus(WidgetState& s, Widget& w) {
  Widget* main = s.get(w.main);
  if (!main) return;
  if (!main->win) main->win = std::make_unique<WidgetWin>();
  if (!s.view || !w.win) {
    main->win->focus = w.id;   // taken when the dialog is shown
    return;
  }
  View(s).set_focus(w);
  XFlush(s.view->dpy);
}

unsigned long view_window(WidgetState&, const Widget& w) {
  return w.win ? static_cast<unsigned long>(w.win->win) : 0;
}


#else  // no X11 in this build: the model works, nothing is shown

struct WidgetWin {};
struct WidgetView {};
Widget::Widget() = default;
Widget::~Widget() = default;
WidgetState::WidgetState() = default;
WidgetState::~WidgetState() = default;

bool view_connect(WidgetState&) { return false; }
WMetrics view_metrics(WidgetState&, const WStyle& st) { return estimated_metrics(st); }
bool view_show(Context&, WidgetState&, Widget&) { return false; }
void view_relayout(WidgetState&, Widget&) {}
void view_refresh(WidgetState&, Widget&) {}
void view_visibility(WidgetState&, Widget&) {}
void view_close(WidgetState&, Widget&) {}
void view_loop(WidgetState&, int, Lock&, bool) {}
void view_focus(WidgetState&, Widget&) {}
unsigned long view_window(WidgetState&, const Widget&) { return 0; }

#endif

}  // namespace tavero
