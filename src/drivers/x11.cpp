// Screen windows (devices 72 .. 80) on X11, and cursor input in them.
//
// Each window draws into an image buffer of its own with the raster engine and shows it
// through a pixmap of the X server: the pixmap is the background of an inner window, so the
// server repaints exposed parts by itself, also while the program does not listen for events
// (wait mode "NONE" leaves the windows on the screen after tavfin). A page larger than the
// window (`pagwin`) is an inner window larger than the outer one, scrolled by moving it.
//
// Up to 8 windows per context record; the window set, the display connection and the
// settings outlive the driver, which lives only from tavini to tavfin.
#include "drivers/x11.h"
#include "widgets/widgets.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "draw/colors.h"
#include "draw/pipeline.h"
#include "drivers/factories.h"
#include "drivers/raster/image.h"
#include "drivers/raster/raster.h"
#include "tavero_api.h"

#if TAVERO_HAVE_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <sys/select.h>
#endif

namespace tavero {

namespace {

constexpr int kMaxWindows = 8;
constexpr int kMsgWrongFormat = 56;
constexpr int kMsgBadDevice = 161;

inline bool is_screen(int code) { return code >= 72 && code <= 100; }

// Wait modes of winmod.
enum WaitMode { kFull = 0, kNoErase = 1, kNoWait = 2, kNoHold = 3, kDelay = 4, kNoMouse = 5 };

}  // namespace

// ------------------------------------------------------------------------------------------
// Settings (any device, most before tavini)

void window(int nx, int ny, int nw, int nh) {
  Context* ctx = enter(R::window);
  if (!ctx) return;
  if (nx < 0 || ny < 0) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nx, ny));
    return;
  }
  if (nw <= 0 || nh <= 0) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nw, nh));
    return;
  }
  CoreState& c = ctx->core;
  c.given_win_x = nx;
  c.given_win_y = ny;
  c.given_win_w = nw;
  c.given_win_h = nh;
  c.win_geom_mode = 1;
}

void winsiz(int nw, int nh) {
  Context* ctx = enter(R::winsiz);
  if (!ctx) return;
  if (nw <= 0 || nh <= 0) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nw, nh));
    return;
  }
  CoreState& c = ctx->core;
  c.given_win_w = nw;
  c.given_win_h = nh;
  c.win_geom_mode = 2;
}

// "STAN" a normal window, "NOBO" without the window manager's frame, "TOP" above the others.
void wintyp(const char* copt) {
  Context* ctx = enter(R::wintyp);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "STAN+NOBO+TOP ", 3, copt);
  if (k) ctx->drv.window_type = k - 1;
}

// Where an automatically placed window goes: left to the window manager, the centre of the
// screen or one of its corners.
void winjus(const char* copt) {
  Context* ctx = enter(R::winjus);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "NONE+CENT+UL  +UR  +LL  +LR  ", 6, copt);
  if (k) ctx->drv.win_just = k - 1;
}

void winmod(const char* cmod) {
  Context* ctx = enter(R::winmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "FULL+NOER+NONE+NOHO+DELA+NOMB", 6, cmod);
  if (k) ctx->drv.win_mode = k - 1;
}

void winkey(const char* copt) {
  Context* ctx = enter(R::winkey);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "NONE+RETU+ESCA", 3, copt);
  if (k) ctx->drv.win_key = k - 1;
}

void winopt(int iopt, const char* ckey) {
  Context* ctx = enter(R::winopt);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "DELA+MDEL", 2, ckey);
  if (!k) return;
  if (iopt < 0 || (k == 1 && iopt > 2000000)) {
    warn_number(*ctx, kMsgIncorrectParameter, iopt);
    return;
  }
  ctx->drv.win_delay_ms = k == 1 ? iopt * 1000 : iopt;
}

// "AUTO" and "STOR" keep the window contents in a server pixmap ("STOR" asks the server for
// backing store as well); "NOST" draws straight into the window and repaints it from the
// image whenever events are processed.
void x11mod(const char* cmod) {
  Context* ctx = enter(R::x11mod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "AUTO+STOR+NOST", 3, cmod);
  if (k) ctx->drv.x11_mode = k - 1;
}

// A drawing page of nw x nh pixels behind the window; a larger page is scrolled with the
// arrow keys and the mouse wheel.
void pagwin(int nw, int nh) {
  Context* ctx = enter(R::pagwin);
  if (!ctx) return;
  if (nw <= 0 || nh <= 0) {
    warn_number(*ctx, kMsgIncorrectParameter, std::min(nw, nh));
    return;
  }
  ctx->drv.win_page_w = nw;
  ctx->drv.win_page_h = nh;
}

void csrmod(const char* cmod, const char* ckey) {
  Context* ctx = enter(R::csrmod);
  if (!ctx) return;
  int on = lookup_keyword(*ctx, "OFF +ON  ", 2, cmod);
  int item = lookup_keyword(*ctx, "ECHO+WARP", 2, ckey);
  if (!on || !item) return;
  (item == 1 ? ctx->drv.csr_echo : ctx->drv.csr_warp) = on - 1;
}

void csrtyp(const char* copt) {
  Context* ctx = enter(R::csrtyp);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "ARRO+CROS+HAIR", 3, copt);
  if (k) ctx->drv.csr_type = k - 1;
}

void csruni(const char* copt) {
  Context* ctx = enter(R::csruni);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "PLOT+PIXE", 2, copt);
  if (k) ctx->drv.csr_pixels = k - 1;
}

void setxid(int id, const char* copt) {
  Context* ctx = enter(R::setxid);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "NONE+WIND+PIXM+WIDG", 4, copt);
  if (!k) return;
  if (k == 1) {
    ctx->drv.ext_xid = 0;
    ctx->drv.ext_xid_kind = 0;
    return;
  }
  if (id <= 0) {
    warn_number(*ctx, kMsgIncorrectParameter, id);
    return;
  }
  if (k == 4) {  // a draw widget: its X window
    unsigned long win = widget_window(*ctx, id);
    if (!win) {
      warn_number(*ctx, kMsgIncorrectParameter, id);
      return;
    }
    ctx->drv.ext_xid = static_cast<int>(win);
    ctx->drv.ext_xid_kind = 1;
    return;
  }
  ctx->drv.ext_xid = id;
  ctx->drv.ext_xid_kind = k - 1;  // 1 window, 2 pixmap
}

bool reset_named_screen(Context& ctx, const char* key) {
  if (std::memcmp(key, "WIND", 4) == 0 || std::memcmp(key, "WINS", 4) == 0) {
    ctx.core.win_geom_mode = 0;
    return true;
  }
  if (std::memcmp(key, "WINM", 4) == 0) {
    ctx.drv.win_mode = 0;
    return true;
  }
  return false;
}

// ------------------------------------------------------------------------------------------
// The window layer

#if TAVERO_HAVE_X11

namespace {

struct XWin {
  bool open = false;
  bool own = true;              // created here, not the caller's window (setxid)
  bool pixmap_target = false;   // drawing goes into the caller's pixmap, no window
  Window top = 0, inner = 0;    // outer window and the page inside it
  Pixmap pix = 0;               // server copy of the page (background of the inner window)
  bool own_pix = false;
  GC gc = nullptr;
  raster::Image img;
  int x = 0, y = 0, w = 0, h = 0;   // outer window on the screen
  int sx = 0, sy = 0;               // scroll offset of the page
  double scale = 1;
  DeviceMap map;
  std::string title;
  bool user_title = false;
  raster::Rect dirty{0, 0, -1, -1};
};

}  // namespace

struct ScreenStore {
  Display* dpy = nullptr;
  int scr = 0;
  Visual* vis = nullptr;
  int depth = 24;
  bool direct = false;          // TrueColor visual: pixels are built from the masks
  int shift[3] = {16, 8, 0}, bits[3] = {8, 8, 8};
  Atom wm_protocols = 0, wm_delete = 0;
  XWin win[kMaxWindows + 1];
  int current = 0, main_id = 1;
  int mode = 0;                 // x11mod
  std::atomic<bool> release{false};
  std::vector<std::pair<uint32_t, unsigned long>> allocated;  // colours of other visuals
  std::chrono::steady_clock::time_point last_show{};

  ~ScreenStore();
};

namespace {

using Clock = std::chrono::steady_clock;

// Live updates while drawing are sent at most this often (bufmod "OFF").
constexpr auto kLiveInterval = std::chrono::milliseconds(40);

void set_visual(ScreenStore& s) {
  s.scr = DefaultScreen(s.dpy);
  s.vis = DefaultVisual(s.dpy, s.scr);
  s.depth = DefaultDepth(s.dpy, s.scr);
  s.direct = s.vis->c_class == TrueColor;
  if (s.direct) {
    const unsigned long masks[3] = {s.vis->red_mask, s.vis->green_mask, s.vis->blue_mask};
    for (int i = 0; i < 3; ++i) {
      unsigned long m = masks[i];
      int sh = 0, n = 0;
      while (m && !(m & 1)) {
        m >>= 1;
        ++sh;
      }
      while (m & 1) {
        m >>= 1;
        ++n;
      }
      s.shift[i] = sh;
      s.bits[i] = std::min(n, 8);
    }
  }
  s.wm_protocols = XInternAtom(s.dpy, "WM_PROTOCOLS", False);
  s.wm_delete = XInternAtom(s.dpy, "WM_DELETE_WINDOW", False);
}

bool connect(ScreenStore& s) {
  if (s.dpy) return true;
  s.dpy = XOpenDisplay(nullptr);
  if (!s.dpy) return false;
  set_visual(s);
  return true;
}

unsigned long pixel_of(ScreenStore& s, uint8_t r, uint8_t g, uint8_t b) {
  if (s.direct) {
    const uint8_t c[3] = {r, g, b};
    unsigned long v = 0;
    for (int i = 0; i < 3; ++i) v |= static_cast<unsigned long>(c[i] >> (8 - s.bits[i])) << s.shift[i];
    return v;
  }
  uint32_t key = (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
  for (auto& e : s.allocated)
    if (e.first == key) return e.second;
  XColor xc;
  xc.red = static_cast<unsigned short>(r * 257);
  xc.green = static_cast<unsigned short>(g * 257);
  xc.blue = static_cast<unsigned short>(b * 257);
  xc.flags = DoRed | DoGreen | DoBlue;
  unsigned long v = XAllocColor(s.dpy, DefaultColormap(s.dpy, s.scr), &xc)
                        ? xc.pixel
                        : ((r + g + b) > 382 ? WhitePixel(s.dpy, s.scr) : BlackPixel(s.dpy, s.scr));
  s.allocated.emplace_back(key, v);
  return v;
}

void add_dirty(XWin& w, int x0, int y0, int x1, int y1) {
  raster::Rect& d = w.dirty;
  if (d.empty()) {
    d = {x0, y0, x1, y1};
  } else {
    d.x0 = std::min(d.x0, x0);
    d.y0 = std::min(d.y0, y0);
    d.x1 = std::max(d.x1, x1);
    d.y1 = std::max(d.y1, y1);
  }
}

void all_dirty(XWin& w) { w.dirty = {0, 0, w.img.width() - 1, w.img.height() - 1}; }

// Copies a part of the image to the server (pixmap or window) and onto the screen.
void show(ScreenStore& s, XWin& w, raster::Rect r) {
  if (!w.open || w.img.empty()) return;
  r.x0 = std::max(r.x0, 0);
  r.y0 = std::max(r.y0, 0);
  r.x1 = std::min(r.x1, w.img.width() - 1);
  r.y1 = std::min(r.y1, w.img.height() - 1);
  if (r.empty()) return;
  const int rw = r.x1 - r.x0 + 1, rh = r.y1 - r.y0 + 1;
  XImage* xi = XCreateImage(s.dpy, s.vis, static_cast<unsigned>(s.depth), ZPixmap, 0, nullptr,
                            static_cast<unsigned>(rw), static_cast<unsigned>(rh), 32, 0);
  if (!xi) return;
  std::vector<char> data(static_cast<size_t>(xi->bytes_per_line) * rh);
  xi->data = data.data();
  unsigned long lut[256];
  const bool tc = w.img.truecolour();
  if (!tc) {
    const uint8_t* pal = w.img.palette();
    for (int i = 0; i < 256; ++i) lut[i] = pixel_of(s, pal[3 * i], pal[3 * i + 1], pal[3 * i + 2]);
  }
  const uint16_t probe = 1;
  const bool little = *reinterpret_cast<const uint8_t*>(&probe) == 1;
  const bool fast = xi->bits_per_pixel == 32 && s.direct;
  if (fast) xi->byte_order = little ? LSBFirst : MSBFirst;
  for (int j = 0; j < rh; ++j) {
    const uint8_t* src = w.img.row(r.y0 + j) + r.x0 * w.img.bytes_per_pixel();
    uint32_t* dst = reinterpret_cast<uint32_t*>(xi->data + static_cast<size_t>(j) * xi->bytes_per_line);
    for (int i = 0; i < rw; ++i) {
      unsigned long v = tc ? pixel_of(s, src[4 * i], src[4 * i + 1], src[4 * i + 2]) : lut[src[i]];
      if (fast)
        dst[i] = static_cast<uint32_t>(v);
      else
        XPutPixel(xi, i, j, v);
    }
  }
  Drawable target = w.pix ? w.pix : w.inner;
  XPutImage(s.dpy, target, w.gc, xi, 0, 0, r.x0, r.y0, static_cast<unsigned>(rw),
            static_cast<unsigned>(rh));
  xi->data = nullptr;
  XDestroyImage(xi);
  if (w.pix && w.inner)
    XClearArea(s.dpy, w.inner, r.x0, r.y0, static_cast<unsigned>(rw), static_cast<unsigned>(rh),
               False);
}

void show_dirty(ScreenStore& s, XWin& w) {
  if (w.dirty.empty()) return;
  show(s, w, w.dirty);
  w.dirty = {0, 0, -1, -1};
}

void show_all(ScreenStore& s) {
  for (int i = 1; i <= kMaxWindows; ++i) show_dirty(s, s.win[i]);
  if (s.dpy) XFlush(s.dpy);
  s.last_show = Clock::now();
}

void set_title(ScreenStore& s, XWin& w, const std::string& title) {
  w.title = title;
  if (w.top && w.own) {
    XStoreName(s.dpy, w.top, title.c_str());
    Atom utf8 = XInternAtom(s.dpy, "UTF8_STRING", False);
    Atom net_name = XInternAtom(s.dpy, "_NET_WM_NAME", False);
    XChangeProperty(s.dpy, w.top, net_name, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
  }
}

int note_x_error(Display*, XErrorEvent* e);

void close_window(ScreenStore& s, XWin& w) {
  if (!w.open) return;
  if (s.dpy) {
    // a window whose parent has gone (a closed dialog) must not end the program
    XSync(s.dpy, False);
    XErrorHandler previous = XSetErrorHandler(note_x_error);
    if (w.gc) XFreeGC(s.dpy, w.gc);
    if (w.pix && w.own_pix) XFreePixmap(s.dpy, w.pix);
    if (w.own && w.top) XDestroyWindow(s.dpy, w.top);
    else if (w.inner) XDestroyWindow(s.dpy, w.inner);
    XSync(s.dpy, False);
    XSetErrorHandler(previous);
  }
  w = XWin{};
}

void close_all(ScreenStore& s) {
  for (int i = 1; i <= kMaxWindows; ++i) close_window(s, s.win[i]);
  if (s.dpy) XSync(s.dpy, False);
}

// Page scale of a window of iw x ih pixels, as on the raster devices.
void window_map(const Context& ctx, int iw, int ih, double& scale, DeviceMap& map) {
  const CoreState& c = ctx.core;
  const double W = c.page_w, H = c.page_h;
  const bool turned = c.page_mode == 1;
  const double Wd = turned ? H : W, Hd = turned ? W : H;
  const double wp = iw - 1, hp = ih - 1;
  double s = std::min(wp / std::max(Wd, 1.0), hp / std::max(Hd, 1.0));
  if (c.scale_mode == 0) {
    double u = c.unit_factor * c.scale_factor;
    double side = c.page_w > c.page_h ? wp : hp;
    s = std::min(s, side * u / 2969.0);
  }
  scale = s;
  map = turned ? DeviceMap{0, s, 0, -s, 0, s * W, true} : DeviceMap{s, 0, 0, 0, s, 0, true};
}

// Waits up to ms milliseconds for the display connection to have data (or a release).
void wait_readable(ScreenStore& s, int ms) {
  if (XPending(s.dpy)) return;
  int fd = ConnectionNumber(s.dpy);
  fd_set set;
  FD_ZERO(&set);
  FD_SET(fd, &set);
  timeval tv{ms / 1000, (ms % 1000) * 1000};
  select(fd + 1, &set, nullptr, nullptr, &tv);
}

struct Input {
  enum Kind { kNone, kKey, kPress, kRelease, kMotion, kClose } kind = kNone;
  int id = 0;          // window number
  int x = 0, y = 0;    // page pixels
  int button = 0;
  KeySym sym = 0;
  int code = 0;        // character code of a key, else the key symbol
};

int window_of(ScreenStore& s, Window xw) {
  for (int i = 1; i <= kMaxWindows; ++i) {
    XWin& w = s.win[i];
    if (w.open && (w.top == xw || w.inner == xw)) return i;
  }
  return 0;
}

void scroll(ScreenStore& s, XWin& w, int dx, int dy) {
  if (!w.inner || !w.own) return;
  int mx = std::max(0, w.img.width() - w.w), my = std::max(0, w.img.height() - w.h);
  int nx = std::clamp(w.sx + dx, 0, mx), ny = std::clamp(w.sy + dy, 0, my);
  if (nx == w.sx && ny == w.sy) return;
  w.sx = nx;
  w.sy = ny;
  XMoveWindow(s.dpy, w.inner, -nx, -ny);
}

// Handles one event; true when it is input for the caller (filled into `in`).
bool handle(ScreenStore& s, XEvent& e, Input& in) {
  int id = window_of(s, e.xany.window);
  if (!id) return false;
  XWin& w = s.win[id];
  in = Input{};
  in.id = id;
  switch (e.type) {
    case Expose:
      if (!w.pix && e.xany.window == w.inner)
        show(s, w, {e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width - 1,
                    e.xexpose.y + e.xexpose.height - 1});
      return false;
    case ConfigureNotify:
      if (e.xany.window == w.top) {
        w.w = e.xconfigure.width;
        w.h = e.xconfigure.height;
      }
      return false;
    case ClientMessage:
      if (static_cast<Atom>(e.xclient.data.l[0]) == s.wm_delete) {
        in.kind = Input::kClose;
        return true;
      }
      return false;
    case KeyPress: {
      char buf[8] = {};
      KeySym sym = 0;
      int n = XLookupString(&e.xkey, buf, sizeof buf, &sym, nullptr);
      const int page = std::max(16, w.h - 16);
      switch (sym) {  // a page larger than the window scrolls
        case XK_Left: scroll(s, w, -32, 0); break;
        case XK_Right: scroll(s, w, 32, 0); break;
        case XK_Up: scroll(s, w, 0, -32); break;
        case XK_Down: scroll(s, w, 0, 32); break;
        case XK_Page_Up: scroll(s, w, 0, -page); break;
        case XK_Page_Down: scroll(s, w, 0, page); break;
        default: break;
      }
      in.kind = Input::kKey;
      in.sym = sym;
      in.code = n > 0 ? static_cast<uint8_t>(buf[0]) : static_cast<int>(sym & 0xFFFF);
      in.x = e.xkey.x + (e.xany.window == w.top ? w.sx : 0);
      in.y = e.xkey.y + (e.xany.window == w.top ? w.sy : 0);
      return true;
    }
    case ButtonPress:
    case ButtonRelease: {
      int b = static_cast<int>(e.xbutton.button);
      if (b >= 4 && b <= 7) {  // the wheel scrolls a large page
        if (e.type == ButtonPress) {
          bool side = b >= 6 || (e.xbutton.state & ShiftMask);
          int step = (b == 4 || b == 6) ? -48 : 48;
          scroll(s, w, side ? step : 0, side ? 0 : step);
        }
        return false;
      }
      in.kind = e.type == ButtonPress ? Input::kPress : Input::kRelease;
      in.button = b;
      in.x = e.xbutton.x + (e.xany.window == w.top ? w.sx : 0);
      in.y = e.xbutton.y + (e.xany.window == w.top ? w.sy : 0);
      return true;
    }
    case MotionNotify:
      in.kind = Input::kMotion;
      in.x = e.xmotion.x + (e.xany.window == w.top ? w.sx : 0);
      in.y = e.xmotion.y + (e.xany.window == w.top ? w.sy : 0);
      return true;
    default:
      return false;
  }
}

// Next input event within ms milliseconds (ms < 0: no limit); false on timeout or release.
bool next_input(ScreenStore& s, Input& in, int ms) {
  auto end = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
  for (;;) {
    while (XPending(s.dpy)) {
      XEvent e;
      XNextEvent(s.dpy, &e);
      if (handle(s, e, in)) return true;
    }
    if (s.release.exchange(false)) {
      in = Input{};
      in.kind = Input::kClose;
      return true;
    }
    int left = 50;
    if (ms >= 0) {
      auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
      if (rest <= 0) return false;
      left = static_cast<int>(std::min<long long>(rest, 50));
    }
    XFlush(s.dpy);
    wait_readable(s, left);
  }
}

void pump(ScreenStore& s) {
  if (!s.dpy) return;
  Input in;
  while (XPending(s.dpy)) {
    XEvent e;
    XNextEvent(s.dpy, &e);
    handle(s, e, in);
  }
  XFlush(s.dpy);
}

ScreenStore& store_of(Context& ctx) {
  if (!ctx.drv.screen) ctx.drv.screen = std::make_shared<ScreenStore>();
  return *ctx.drv.screen;
}

void set_motif_borderless(ScreenStore& s, Window w) {
  struct {
    unsigned long flags, functions, decorations;
    long input_mode;
    unsigned long status;
  } hints = {2, 0, 0, 0, 0};
  Atom a = XInternAtom(s.dpy, "_MOTIF_WM_HINTS", False);
  XChangeProperty(s.dpy, w, a, a, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&hints), 5);
}

void set_above(ScreenStore& s, Window w) {
  Atom state = XInternAtom(s.dpy, "_NET_WM_STATE", False);
  Atom above = XInternAtom(s.dpy, "_NET_WM_STATE_ABOVE", False);
  XChangeProperty(s.dpy, w, state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&above), 1);
}

// Position of an automatically placed window by winjus.
void place(const Context& ctx, const ScreenStore& s, int id, int w, int h, int& x, int& y) {
  const int sw = DisplayWidth(s.dpy, s.scr), sh = DisplayHeight(s.dpy, s.scr);
  const int cascade = 24 * (id - 1);
  switch (ctx.drv.win_just) {
    case 1: x = (sw - w) / 2; y = (sh - h) / 2; break;
    case 2: x = 0; y = 0; break;
    case 3: x = sw - w; y = 0; break;
    case 4: x = 0; y = sh - h; break;
    case 5: x = sw - w; y = sh - h; break;
    default: x = cascade; y = cascade; return;
  }
  x = std::max(0, x) + cascade;
  y = std::max(0, y) + cascade;
}

std::string default_title(int id) { return "TAVERO " + std::to_string(id); }

// Reads a binary PPM ("P6", maxval 255) as the window icon (_NET_WM_ICON).
bool load_icon(ScreenStore& s, Window w, const std::string& file) {
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return false;
  int iw = 0, ih = 0, mx = 0;
  bool ok = std::fscanf(f, "P6 %d %d %d", &iw, &ih, &mx) == 3 && mx == 255 && iw > 0 &&
            ih > 0 && iw <= 1024 && ih <= 1024 && std::fgetc(f) != EOF;
  std::vector<unsigned char> rgb(ok ? size_t(iw) * ih * 3 : 0);
  ok = ok && std::fread(rgb.data(), 1, rgb.size(), f) == rgb.size();
  std::fclose(f);
  if (!ok) return false;
  std::vector<unsigned long> data{static_cast<unsigned long>(iw), static_cast<unsigned long>(ih)};
  for (size_t i = 0; i < rgb.size(); i += 3)
    data.push_back(0xFF000000ul | (rgb[i] << 16) | (rgb[i + 1] << 8) | rgb[i + 2]);
  Atom a = XInternAtom(s.dpy, "_NET_WM_ICON", False);
  XChangeProperty(s.dpy, w, a, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(data.data()), static_cast<int>(data.size()));
  return true;
}

int g_x_error = 0;
int note_x_error(Display*, XErrorEvent* e) {
  g_x_error = e->error_code;
  return 0;
}

// Opens window `id` of w x h pixels (the page may be larger). False after the warning.
bool open_window(Context& ctx, ScreenStore& s, int id, int x, int y, int w, int h, bool placed,
                 bool main) {
  XWin& win = s.win[id];
  close_window(s, win);
  const bool truecolour = ctx.color.clr_mode != 0 || ctx.color.image_format == 1;
  Window parent = RootWindow(s.dpy, s.scr);
  if (main && ctx.drv.ext_xid_kind != 0) {
    // the caller's drawable: its size is the window size
    Window root;
    int gx, gy;
    unsigned gw, gh, border, depth;
    // a wrong id must not end the program through the default error handler
    XSync(s.dpy, False);
    g_x_error = 0;
    XErrorHandler previous = XSetErrorHandler(note_x_error);
    int found = XGetGeometry(s.dpy, static_cast<Drawable>(ctx.drv.ext_xid), &root, &gx, &gy, &gw,
                             &gh, &border, &depth);
    XSync(s.dpy, False);
    XSetErrorHandler(previous);
    if (!found || g_x_error) {
      warn_text(ctx, 40, "Window cannot be created: bad X window id");
      return false;
    }
    w = static_cast<int>(gw);
    h = static_cast<int>(gh);
    win.own = false;
    if (ctx.drv.ext_xid_kind == 2) win.pixmap_target = true;
    else parent = static_cast<Window>(ctx.drv.ext_xid);
  }
  const int pw = std::max(w, ctx.drv.win_page_w), ph = std::max(h, ctx.drv.win_page_h);
  if (win.img.create(pw, ph, truecolour, false) != raster::kOk) {
    warn_text(ctx, kMsgNoMemory, "Not enough memory for windows output");
    return false;
  }
  win.img.set_palette(win.img.palette(), 256);
  win.open = true;
  win.x = x;
  win.y = y;
  win.w = w;
  win.h = h;
  window_map(ctx, pw, ph, win.scale, win.map);
  if (win.pixmap_target) {
    win.pix = 0;
    win.inner = 0;
    win.gc = XCreateGC(s.dpy, static_cast<Drawable>(ctx.drv.ext_xid), 0, nullptr);
    win.top = 0;
    // drawing goes straight into the caller's pixmap
    win.pix = static_cast<Pixmap>(ctx.drv.ext_xid);
    win.own = false;
    return true;
  }
  const long events = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask |
                      PointerMotionMask | StructureNotifyMask;
  if (win.own) {
    XSetWindowAttributes a{};
    a.background_pixel = BlackPixel(s.dpy, s.scr);
    a.event_mask = events;
    win.top = XCreateWindow(s.dpy, parent, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                            0, CopyFromParent, InputOutput, CopyFromParent,
                            CWBackPixel | CWEventMask, &a);
  } else {
    win.top = parent;
  }
  if (!win.top) {
    win.open = false;
    warn_text(ctx, 40, "Window cannot be created: XCreateWindow failed");
    return false;
  }
  XSetWindowAttributes ia{};
  ia.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
  unsigned long mask = CWEventMask;
  if (s.mode != 2) {
    win.pix = XCreatePixmap(s.dpy, win.top, static_cast<unsigned>(pw), static_cast<unsigned>(ph),
                            static_cast<unsigned>(s.depth));
    win.own_pix = win.pix != 0;
    if (!win.pix) {
      warn_text(ctx, 40, "Cannot create Bitmap");
      close_window(s, win);
      return false;
    }
    ia.background_pixmap = win.pix;
    mask |= CWBackPixmap;
    if (s.mode == 1) {
      ia.backing_store = Always;
      mask |= CWBackingStore;
    }
  } else {
    ia.background_pixmap = None;
    mask |= CWBackPixmap;
  }
  win.inner = XCreateWindow(s.dpy, win.top, 0, 0, static_cast<unsigned>(pw), static_cast<unsigned>(ph),
                            0, CopyFromParent, InputOutput, CopyFromParent, mask, &ia);
  win.gc = XCreateGC(s.dpy, win.pix ? win.pix : win.inner, 0, nullptr);
  if (win.own) {
    XSizeHints* hints = XAllocSizeHints();
    if (hints) {
      hints->flags = PSize | PMinSize | PMaxSize | (placed ? (USPosition | PPosition) : 0);
      hints->x = x;
      hints->y = y;
      hints->width = hints->min_width = hints->max_width = w;
      hints->height = hints->min_height = hints->max_height = h;
      XSetWMNormalHints(s.dpy, win.top, hints);
      XFree(hints);
    }
    XClassHint cls;
    char name[] = "tavero", klass[] = "tavmain";
    cls.res_name = name;
    cls.res_class = klass;
    XSetClassHint(s.dpy, win.top, &cls);
    XSetWMProtocols(s.dpy, win.top, &s.wm_delete, 1);
    if (ctx.drv.window_type == 1) set_motif_borderless(s, win.top);
    if (ctx.drv.window_type == 2) set_above(s, win.top);
    if (!ctx.drv.win_icon.empty()) load_icon(s, win.top, ctx.drv.win_icon);
  }
  if (main && !ctx.drv.win_title.empty()) {
    win.user_title = true;
    set_title(s, win, ctx.drv.win_title);
  } else {
    set_title(s, win, default_title(id));
  }
  XMapWindow(s.dpy, win.inner);
  if (win.own) {
    XMapRaised(s.dpy, win.top);
    // wait until the window is on the screen (a window manager may take a moment)
    auto end = Clock::now() + std::chrono::seconds(2);
    XEvent e;
    bool mapped = false;
    while (!mapped && Clock::now() < end) {
      XSync(s.dpy, False);
      while (XCheckTypedWindowEvent(s.dpy, win.top, MapNotify, &e)) mapped = true;
      if (!mapped) wait_readable(s, 20);
    }
  }
  XSync(s.dpy, False);
  return true;
}

// ------------------------------------------------------------------------------------------
// The driver

class ScreenDriver final : public Driver {
 public:
  ScreenDriver(Context& ctx, ScreenStore& s) : Driver(ctx), s_(s) {}

  bool open() override {
    CoreState& c = ctx_.core;
    close_all(s_);
    if (!connect(s_)) {
      warn_text(ctx_, 40, "Window cannot be created: no X display");
      return false;
    }
    s_.mode = ctx_.drv.x11_mode;
    s_.release = false;
    s_.main_id = c.device >= 72 && c.device <= 79 ? c.device - 71 : 1;
    int w = c.win_w, h = c.win_h, x = c.win_x, y = c.win_y;
    const bool placed = c.win_geom_mode == 1;
    if (c.device == 80 && c.win_geom_mode == 0) {
      // the full screen, less room for a title bar and a panel
      w = std::max(64, DisplayWidth(s_.dpy, s_.scr) - 16);
      h = std::max(64, DisplayHeight(s_.dpy, s_.scr) - 64);
    }
    if (!placed) place(ctx_, s_, s_.main_id, w, h, x, y);
    if (!open_window(ctx_, s_, s_.main_id, x, y, w, h, placed, true)) return false;
    XWin& win = s_.win[s_.main_id];
    c.win_x = win.x;
    c.win_y = win.y;
    c.win_w = win.w;
    c.win_h = win.h;
    c.bits_per_pixel = s_.depth;
    activate(s_.main_id);
    style_ = raster::StrokeStyle{};
    style_.width = 1;
    set_line_cap(ctx_.line.cap);
    set_line_join(ctx_.line.join);
    paint_ = win.img.paint_index(0);
    fresh_ = true;
    return true;
  }

  // Makes window id the one that is drawn into.
  void activate(int id) {
    s_.current = id;
    XWin& w = s_.win[id];
    ctx_.dev.scale = w.scale;
    ctx_.dev.map = w.map;
    ctx_.dev.colour_depth = w.img.truecolour() ? 24 : 8;
    set_clip(true, ctx_.line.clip);
  }

  XWin& cur() { return s_.win[s_.current]; }
  ScreenStore& store() { return s_; }
  const raster::Paint& current_paint() const { return paint_; }

  void polyline(const double* x, const double* y, int n) override {
    if (n <= 1) return;
    XWin& w = cur();
    px_.clear();
    py_.clear();
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -(1 << 30), y1 = -(1 << 30);
    for (int i = 0; i < n; ++i) {
      int xi = to_pixel(x[i]), yi = to_pixel(y[i]);
      if (!px_.empty() && px_.back() == xi && py_.back() == yi) continue;
      px_.push_back(xi);
      py_.push_back(yi);
      x0 = std::min(x0, xi);
      y0 = std::min(y0, yi);
      x1 = std::max(x1, xi);
      y1 = std::max(y1, yi);
    }
    raster::StrokeStyle st = style_;
    st.smooth = ctx_.drv.line_smooth != 0 && w.img.truecolour();
    raster::stroke_polyline(w.img, px_.data(), py_.data(), static_cast<int>(px_.size()), st, paint_);
    int m = static_cast<int>(style_.width) + 2;
    touched(w, x0 - m, y0 - m, x1 + m, y1 + m);
  }

  void set_color(const DeviceColor& c) override {
    XWin& w = cur();
    if (w.img.truecolour()) {
      paint_ = raster::Paint{static_cast<uint8_t>(c.index & 255), c.r, c.g, c.b, 255};
    } else {
      paint_ = w.img.paint_index(c.index);
    }
  }

  bool set_line_width(int w, double) override {
    if (ctx_.line.hw_line) {
      style_.width = std::max(1L, std::lround(w * ctx_.dev.scale));
      return true;
    }
    style_.width = 1;
    return false;
  }

  void set_line_cap(int cap) override {
    style_.cap = static_cast<raster::Cap>(std::clamp(cap, 0, 2));
    style_.point_shape = cap == 1 ? raster::PointShape::Disc : raster::PointShape::Square;
  }

  void set_line_join(int join) override {
    style_.join = static_cast<raster::Join>(std::clamp(join, 0, 2));
    style_.miter_limit = ctx_.line.miter;
  }

  void set_miter_limit(double limit) override { style_.miter_limit = limit; }

  void set_clip(bool, const int* rect) override {
    double x0, y0, x1, y1;
    to_device(ctx_, rect[0], rect[1], x0, y0);
    to_device(ctx_, rect[2], rect[3], x1, y1);
    XWin& w = cur();
    int widen = ctx_.dev.clip_widen ? 1 : 0;
    w.img.set_clip(to_pixel(std::min(x0, x1)) - widen, to_pixel(std::min(y0, y1)) - widen,
                   to_pixel(std::max(x0, x1)) + widen, to_pixel(std::max(y0, y1)) + widen);
    w.img.set_clip_enabled(true);
  }

  // The colour table is the palette of every window: indexed pages change colour at once.
  void set_palette(const uint32_t* table) override {
    uint8_t rgb[768];
    for (int i = 0; i < 256; ++i) {
      rgb[3 * i] = static_cast<uint8_t>(table[i] >> 16);
      rgb[3 * i + 1] = static_cast<uint8_t>(table[i] >> 8);
      rgb[3 * i + 2] = static_cast<uint8_t>(table[i]);
    }
    for (int i = 1; i <= kMaxWindows; ++i) {
      XWin& w = s_.win[i];
      if (!w.open) continue;
      w.img.set_palette(rgb, 256);
      if (w.img.truecolour()) {
        if (fresh_) w.img.fill_all(w.img.paint_index(0));
      }
      if (!w.img.truecolour() || fresh_) all_dirty(w);
    }
    XWin& w = cur();
    if (!w.img.truecolour()) paint_ = w.img.paint_index(paint_.index);
    live_update();
  }

  bool fill_rect(double x1, double y1, double x2, double y2, const DeviceColor& c) override {
    double a, b, e, f;
    to_device(ctx_, x1, y1, a, b);
    to_device(ctx_, x2, y2, e, f);
    XWin& w = cur();
    raster::Paint p = w.img.truecolour() ? raster::Paint{0, c.r, c.g, c.b, 255}
                                         : w.img.paint_index(c.index);
    int ia = to_pixel(a), ib = to_pixel(b), ie = to_pixel(e), jf = to_pixel(f);
    raster::fill_rect(w.img, ia, ib, ie, jf, p);
    touched(w, std::min(ia, ie), std::min(ib, jf), std::max(ia, ie), std::max(ib, jf));
    return true;
  }

  bool fill_polygon(const double* x, const double* y, int n) override {
    if (n < 3) return n > 0;
    XWin& w = cur();
    int st = raster::fill_polygon(w.img, x, y, n, paint_, true, std::size_t(1) << 16);
    if (st == raster::kTooManyIntersections)
      warn_number(ctx_, kMsgTooManyIntersections, n);
    else if (st == raster::kNoMemory)
      warn_code(ctx_, kMsgNoMemory);
    const raster::Rect& c = w.img.clip();
    touched(w, c.x0, c.y0, c.x1, c.y1);
    return true;
  }

  bool has_polygon_fill() const override { return true; }

  void erase() override {
    XWin& w = cur();
    w.img.fill_all(w.img.paint_index(0));
    all_dirty(w);
    show_all(s_);
  }

  // A page change: the windows are shown, the user acknowledges (as at the end of the
  // plot), and the page starts afresh. Without waiting ("NONE", "NOHO") the page is only
  // cleared; "NOER" keeps the old page under the new one.
  void new_page() override {
    show_all(s_);
    const int mode = ctx_.drv.win_mode;
    if (mode != kNoWait && mode != kNoHold) {
      titles(true);
      hold(mode);
      titles_reset();
    }
    if (mode != kNoErase) {
      for (int i = 1; i <= kMaxWindows; ++i) {
        XWin& w = s_.win[i];
        if (!w.open) continue;
        w.img.fill_all(w.img.paint_index(0));
        all_dirty(w);
      }
      show_all(s_);
    }
  }

  bool finish() override {
    show_all(s_);
    const int mode = ctx_.drv.win_mode;
    if (mode == kNoWait) {
      titles(false);
      XSync(s_.dpy, False);
      return false;  // the windows stay until the next plot or the end of the program
    }
    if (mode != kNoHold) {
      titles(false);
      hold(mode);
    }
    close_all(s_);
    return false;
  }

  void abandon() override { close_all(s_); }

  bool wrote_file() const override { return false; }

  // Sends what was drawn to the screen now.
  void update() {
    show_all(s_);
    pump(s_);
  }

 private:
  static int to_pixel(double v) {
    if (!(v == v)) return 0;
    return static_cast<int>(std::clamp(v, -1.0e9, 1.0e9));
  }

  void touched(XWin& w, int x0, int y0, int x1, int y1) {
    fresh_ = false;
    add_dirty(w, x0, y0, x1, y1);
    live_update();
  }

  // Unbuffered output (bufmod "OFF") reaches the window while drawing, a few times a second.
  void live_update() {
    if (ctx_.dev.buffer_output) return;
    auto now = Clock::now();
    if (now - s_.last_show < kLiveInterval) return;
    show_all(s_);
    pump(s_);
  }

  // Titles while waiting: "TAVERO n" and what the user is asked to do.
  void titles(bool page_change) {
    const int mode = ctx_.drv.win_mode, key = ctx_.drv.win_key;
    std::string suffix;
    if (mode == kDelay) {
      int ms = ctx_.drv.win_delay_ms;
      std::string secs = ms % 1000 == 0 ? std::to_string(ms / 1000) : std::to_string(ms / 1000.0);
      suffix = " / Delay time " + secs + " seconds";
    } else if (mode == kNoWait || mode == kNoHold) {
      suffix.clear();
    } else if (page_change && mode != kNoMouse) {
      suffix = " / Click MB2 for next page ...";
    } else if (key == 1) {
      suffix = mode == kNoMouse ? " / Press RETURN to continue ..." : " / Click MB2 or RETURN to continue ...";
    } else if (key == 2) {
      suffix = mode == kNoMouse ? " / Press ESC to continue ..." : " / Click MB2 or ESC to continue ...";
    } else if (mode != kNoMouse) {
      suffix = " / Click MB2 to continue ...";
    }
    for (int i = 1; i <= kMaxWindows; ++i) {
      XWin& w = s_.win[i];
      if (!w.open || w.user_title) continue;
      set_title(s_, w, default_title(i) + suffix);
    }
    XFlush(s_.dpy);
  }

  void titles_reset() {
    for (int i = 1; i <= kMaxWindows; ++i) {
      XWin& w = s_.win[i];
      if (w.open && !w.user_title) set_title(s_, w, default_title(i));
    }
  }

  bool acknowledges(const Input& in, int mode, int key) const {
    if (in.kind == Input::kClose) return true;
    if (in.kind == Input::kPress) return in.button == 2 && mode != kNoMouse;
    if (in.kind != Input::kKey) return false;
    if (key == 1) return in.sym == XK_Return || in.sym == XK_KP_Enter;
    if (key == 2) return in.sym == XK_Escape;
    return mode == kNoMouse;  // nothing else could end the wait: any key does
  }

  // Waits for the acknowledgement of the wait mode, or the delay.
  void hold(int mode) {
    bool any_window = false;
    for (int i = 1; i <= kMaxWindows; ++i) any_window |= s_.win[i].open && s_.win[i].top;
    Input in;
    if (mode == kDelay) {
      auto end = Clock::now() + std::chrono::milliseconds(ctx_.drv.win_delay_ms);
      for (;;) {
        auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (rest <= 0) break;
        if (next_input(s_, in, static_cast<int>(rest)) && in.kind == Input::kClose) break;
      }
      return;
    }
    if (!any_window) return;  // a pixmap of the caller: nobody could answer
    const int key = ctx_.drv.win_key;
    while (next_input(s_, in, -1)) {
      if (acknowledges(in, mode, key)) break;
    }
  }

  ScreenStore& s_;
  raster::Paint paint_;
  raster::StrokeStyle style_;
  std::vector<int> px_, py_;
  bool fresh_ = true;
};

ScreenDriver* screen_driver(Context& ctx) {
  if (!ctx.driver || !is_screen(ctx.core.device)) return nullptr;
  return dynamic_cast<ScreenDriver*>(ctx.driver.get());
}

// The screen driver of a routine that needs one; message 56 on any other device.
ScreenDriver* need_screen(Context& ctx) {
  ScreenDriver* d = screen_driver(ctx);
  if (!d) warn_code(ctx, kMsgWrongFormat);
  return d;
}

}  // namespace

ScreenStore::~ScreenStore() {
  if (!dpy) return;
  close_all(*this);
  XCloseDisplay(dpy);
  dpy = nullptr;
}

Driver* make_screen_driver(Context& ctx) { return new ScreenDriver(ctx, store_of(ctx)); }

bool screen_size(int& width, int& height) {
  if (Context* ctx = current_context()) {
    if (ctx->drv.screen && ctx->drv.screen->dpy) {
      ScreenStore& s = *ctx->drv.screen;
      width = DisplayWidth(s.dpy, s.scr);
      height = DisplayHeight(s.dpy, s.scr);
      return true;
    }
  }
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  width = DisplayWidth(d, DefaultScreen(d));
  height = DisplayHeight(d, DefaultScreen(d));
  XCloseDisplay(d);
  return true;
}

bool display_available() {
  int w, h;
  return screen_size(w, h);
}

bool show_message_box(const char* title, const char* text) {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return false;
  const int scr = DefaultScreen(d);
  std::vector<std::string> lines(1);
  for (const char* p = text ? text : ""; *p; ++p) {
    if (*p == '\n')
      lines.emplace_back();
    else
      lines.back().push_back(*p);
  }
  XFontStruct* font = XLoadQueryFont(d, "fixed");
  const int ascent = font ? font->ascent : 11, lh = font ? font->ascent + font->descent + 2 : 15;
  int tw = 200;
  for (const std::string& l : lines) {
    int w = font ? XTextWidth(font, l.c_str(), static_cast<int>(l.size())) : 7 * static_cast<int>(l.size());
    tw = std::max(tw, w);
  }
  const int w = tw + 40, h = lh * static_cast<int>(lines.size()) + 40;
  const int x = std::max(0, (DisplayWidth(d, scr) - w) / 2), y = std::max(0, (DisplayHeight(d, scr) - h) / 2);
  Window win = XCreateSimpleWindow(d, RootWindow(d, scr), x, y, static_cast<unsigned>(w),
                                   static_cast<unsigned>(h), 1, BlackPixel(d, scr), WhitePixel(d, scr));
  XStoreName(d, win, title ? title : "");
  Atom del = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, win, &del, 1);
  XSizeHints* hints = XAllocSizeHints();
  if (hints) {
    hints->flags = PPosition | PMinSize | PMaxSize;
    hints->x = x;
    hints->y = y;
    hints->min_width = hints->max_width = w;
    hints->min_height = hints->max_height = h;
    XSetWMNormalHints(d, win, hints);
    XFree(hints);
  }
  XSelectInput(d, win, ExposureMask | KeyPressMask | ButtonPressMask | StructureNotifyMask);
  GC gc = XCreateGC(d, win, 0, nullptr);
  XSetForeground(d, gc, BlackPixel(d, scr));
  if (font) XSetFont(d, gc, font->fid);
  XMapRaised(d, win);
  for (bool done = false; !done;) {
    XEvent e;
    XNextEvent(d, &e);
    switch (e.type) {
      case Expose:
        if (e.xexpose.count == 0)
          for (size_t i = 0; i < lines.size(); ++i)
            XDrawString(d, win, gc, 20, 20 + ascent + lh * static_cast<int>(i), lines[i].c_str(),
                        static_cast<int>(lines[i].size()));
        break;
      case KeyPress:
      case ButtonPress:
        done = true;
        break;
      case ClientMessage:
        done = static_cast<Atom>(e.xclient.data.l[0]) == del;
        break;
      case DestroyNotify:
        done = true;
        break;
      default:
        break;
    }
  }
  if (font) XFreeFont(d, font);
  XFreeGC(d, gc);
  XDestroyWindow(d, win);
  XCloseDisplay(d);
  return true;
}

#else  // no X11 in this build: screen devices are reported as unavailable

struct ScreenStore {};

namespace {
struct ScreenDriver {
  void update() {}
};
ScreenDriver* screen_driver(Context&) { return nullptr; }
ScreenDriver* need_screen(Context& ctx) {
  warn_code(ctx, kMsgWrongFormat);
  return nullptr;
}
}  // namespace

Driver* make_screen_driver(Context&) { return nullptr; }
bool screen_size(int&, int&) { return false; }
bool display_available() { return false; }
bool show_message_box(const char*, const char*) { return false; }

#endif

// ------------------------------------------------------------------------------------------
// Window routines

namespace {

#if TAVERO_HAVE_X11
inline void flush_lines(Context& ctx) {
  qqflsh(ctx);
  emit_flush(ctx);
}

// Window id in 1..8 and open; warnings 2 and 135 otherwise.
bool open_id(Context& ctx, ScreenStore& s, int id) {
  if (check_range(ctx, id, 1, kMaxWindows)) return false;
  if (!s.win[id].open) {
    warn_text(ctx, 135, ("Window " + std::to_string(id) + " is not open").c_str());
    return false;
  }
  return true;
}
#endif

}  // namespace

void opnwin(int id) {
  Context* ctx = enter(R::opnwin);
  if (!ctx) return;
  ScreenDriver* d = need_screen(*ctx);
  if (!d || check_range(*ctx, id, 1, kMaxWindows)) return;
#if TAVERO_HAVE_X11
  ScreenStore& s = d->store();
  if (s.win[id].open) {
    warn_text(*ctx, 133, ("Window " + std::to_string(id) + " is already open").c_str());
    return;
  }
  flush_lines(*ctx);
  const CoreState& c = ctx->core;
  int x = 0, y = 0, w, h;
  if (c.win_geom_mode != 0) {
    w = c.given_win_w;
    h = c.given_win_h;
  } else {
    w = c.page_w > c.page_h ? 853 : 603;
    h = c.page_w > c.page_h ? 603 : 853;
  }
  const bool placed = c.win_geom_mode == 1;
  if (placed) {
    x = c.given_win_x;
    y = c.given_win_y;
  } else {
    place(*ctx, s, id, w, h, x, y);
  }
  if (!open_window(*ctx, s, id, x, y, w, h, placed, false)) {
    d->activate(s.main_id);
    return;
  }
  s.win[id].img.set_palette(s.win[s.main_id].img.palette(), 256);
  if (s.win[id].img.truecolour()) s.win[id].img.fill_all(s.win[id].img.paint_index(0));
  all_dirty(s.win[id]);
  d->activate(id);
  d->update();
#endif
}

void selwin(int id) {
  Context* ctx = enter(R::selwin);
  if (!ctx) return;
  ScreenDriver* d = need_screen(*ctx);
  if (!d) return;
#if TAVERO_HAVE_X11
  if (!open_id(*ctx, d->store(), id)) return;
  flush_lines(*ctx);
  d->activate(id);
#else
  (void)id;
#endif
}

void clswin(int id) {
  Context* ctx = enter(R::clswin);
  if (!ctx) return;
  ScreenDriver* d = need_screen(*ctx);
  if (!d) return;
#if TAVERO_HAVE_X11
  ScreenStore& s = d->store();
  if (id == s.main_id) {
    warn_text(*ctx, 134, ("The Main Window " + std::to_string(id) + " cannot be closed").c_str());
    return;
  }
  if (!open_id(*ctx, s, id)) return;
  flush_lines(*ctx);
  close_window(s, s.win[id]);
  XFlush(s.dpy);
  d->activate(s.main_id);
#else
  (void)id;
#endif
}

void hidwin(int id, const char* copt) {
  Context* ctx = enter(R::hidwin);
  if (!ctx) return;
  ScreenDriver* d = need_screen(*ctx);
  if (!d) return;
  int k = lookup_keyword(*ctx, "HIDE+SHOW", 2, copt);
  if (!k) return;
#if TAVERO_HAVE_X11
  ScreenStore& s = d->store();
  if (!open_id(*ctx, s, id)) return;
  XWin& w = s.win[id];
  if (w.own && w.top) {
    if (k == 1)
      XUnmapWindow(s.dpy, w.top);
    else
      XMapRaised(s.dpy, w.top);
    XFlush(s.dpy);
  }
#else
  (void)id;
#endif
}

int winid() {
  Context* ctx = enter(R::winid);
  if (!ctx) return 0;
  ScreenDriver* d = need_screen(*ctx);
  if (!d) return 0;
#if TAVERO_HAVE_X11
  return d->store().current;
#else
  return 0;
#endif
}

void getwin(int* nx, int* ny, int* nw, int* nh) {
  *nx = *ny = *nw = *nh = 0;
  Context* ctx = enter(R::getwin);
  if (!ctx) return;
  ScreenDriver* d = need_screen(*ctx);
  if (!d) return;
#if TAVERO_HAVE_X11
  ScreenStore& s = d->store();
  XWin& w = d->cur();
  *nx = w.x;
  *ny = w.y;
  *nw = w.w;
  *nh = w.h;
  if (w.top) {
    Window child;
    int rx, ry;
    if (XTranslateCoordinates(s.dpy, w.top, RootWindow(s.dpy, s.scr), 0, 0, &rx, &ry, &child)) {
      *nx = rx;
      *ny = ry;
    }
  }
#endif
}

int getxid(const char* copt) {
  Context* ctx = enter(R::getxid);
  if (!ctx) return 0;
  int k = lookup_keyword(*ctx, "WIND+PIXM", 2, copt);
  if (!k) return 0;
  ScreenDriver* d = need_screen(*ctx);
  if (!d) return 0;
#if TAVERO_HAVE_X11
  XWin& w = d->cur();
  return static_cast<int>(k == 1 ? w.top : w.pix);
#else
  return 0;
#endif
}

void wintit(const char* cstr) {
  Context* ctx = enter(R::wintit);
  if (!ctx) return;
  ScreenDriver* d = need_screen(*ctx);
  if (!d) return;
#if TAVERO_HAVE_X11
  XWin& w = d->cur();
  w.user_title = true;
  std::string t = cstr ? cstr : "";
  if (t.size() > 256) t.resize(256);
  set_title(d->store(), w, t);
  XFlush(d->store().dpy);
#else
  (void)cstr;
#endif
}

// The icon is a binary PPM file; it is shown by window managers that read _NET_WM_ICON.
void winico(const char* cfil) {
  Context* ctx = enter(R::winico);
  if (!ctx) return;
  ScreenDriver* d = need_screen(*ctx);
  if (!d) return;
#if TAVERO_HAVE_X11
  std::string name = cfil ? cfil : "";
  ScreenStore& s = d->store();
  bool ok = !name.empty();
  for (int i = 1; ok && i <= kMaxWindows; ++i)
    if (s.win[i].open && s.win[i].own && s.win[i].top) ok = load_icon(s, s.win[i].top, name);
  if (!ok) {
    warn_text(*ctx, 56, "Icon file could not be loaded");
    return;
  }
  ctx->drv.win_icon = name;
#else
  (void)cfil;
#endif
}

void sendbf() {
  Context* ctx = enter(R::sendbf);
  if (!ctx) return;
  if (ctx->core.level == 0) return;
  qqflsh(*ctx);
  emit_flush(*ctx);
  if (ScreenDriver* d = screen_driver(*ctx)) d->update();
}

void winupd() {
  Context* ctx = enter(R::winupd);
  if (!ctx || ctx->core.level == 0) return;
  ScreenDriver* d = screen_driver(*ctx);
  if (!d) return;
  qqflsh(*ctx);
  emit_flush(*ctx);
#if TAVERO_HAVE_X11
  for (int i = 1; i <= kMaxWindows; ++i)
    if (d->store().win[i].open) all_dirty(d->store().win[i]);
#endif
  d->update();
}

void doevnt() {
  Context* ctx = enter(R::doevnt);
  if (!ctx) return;
#if TAVERO_HAVE_X11
  if (ctx->drv.screen) pump(*ctx->drv.screen);
#endif
}

// Ends a wait of tavfin, newpag or the cursor routines as a click of the middle button
// would; meant to be called from another thread.
void sendmb() {
  Context* ctx = enter(R::sendmb);
  if (!ctx) return;
#if TAVERO_HAVE_X11
  if (ctx->drv.screen) ctx->drv.screen->release = true;
#endif
}

// ------------------------------------------------------------------------------------------
// Cursor input

namespace {

#if TAVERO_HAVE_X11

constexpr unsigned kCursorShapes[5] = {XC_left_ptr, XC_crosshair, XC_tcross, XC_watch, XC_hand2};

// Page pixel -> what the cursor routines return: plot coordinates as `line` takes them, or
// window pixels with csruni "PIXE".
void to_user(const Context& ctx, const XWin& w, int px, int py, int& nx, int& ny) {
  if (ctx.drv.csr_pixels) {
    nx = px;
    ny = py;
    return;
  }
  const DeviceMap& m = w.map;
  double det = m.a * m.e - m.b * m.d;
  if (std::fabs(det) < 1e-300) {
    nx = ny = 0;
    return;
  }
  double u = px - m.c, v = py - m.f;
  double x = (m.e * u - m.b * v) / det - ctx.core.origin_x;
  double y = (m.a * v - m.d * u) / det - ctx.core.origin_y;
  if (ctx.core.page_origin == 1) y = ctx.core.page_h - y;
  nx = static_cast<int>(std::lround(x));
  ny = static_cast<int>(std::lround(y));
}

void from_user(const Context& ctx, const XWin& w, int nx, int ny, int& px, int& py) {
  if (ctx.drv.csr_pixels) {
    px = nx;
    py = ny;
    return;
  }
  double x = nx, y = ny;
  if (ctx.core.page_origin == 1) y = ctx.core.page_h - y;
  x += ctx.core.origin_x;
  y += ctx.core.origin_y;
  const DeviceMap& m = w.map;
  px = static_cast<int>(std::lround(m.a * x + m.b * y + m.c));
  py = static_cast<int>(std::lround(m.d * x + m.e * y + m.f));
}

// One cursor input: the window shows everything drawn, the cursor takes its input shape, old
// events are dropped; figures are drawn inverted on the window while the user moves.
class CursorInput {
 public:
  CursorInput(Context& ctx, ScreenDriver& d) : ctx_(ctx), d_(d), s_(d.store()), w_(d.cur()) {
    d.update();
    id_ = s_.current;
    if (w_.inner) {
      cursor_ = XCreateFontCursor(s_.dpy, kCursorShapes[std::clamp(ctx.drv.csr_type, 0, 2)]);
      XDefineCursor(s_.dpy, w_.inner, cursor_);
      XGCValues v;
      v.function = GXxor;
      v.foreground = pixel_of(s_, 255, 255, 255) ^ pixel_of(s_, 0, 0, 0);
      v.line_width = 0;
      xor_ = XCreateGC(s_.dpy, w_.inner, GCFunction | GCForeground | GCLineWidth, &v);
    }
    XSync(s_.dpy, False);
    Input in;
    while (XPending(s_.dpy)) {
      XEvent e;
      XNextEvent(s_.dpy, &e);
      handle(s_, e, in);
    }
    s_.release = false;
  }

  ~CursorInput() {
    if (xor_) XFreeGC(s_.dpy, xor_);
    if (cursor_) {
      XUndefineCursor(s_.dpy, w_.inner);
      XFreeCursor(s_.dpy, cursor_);
    }
    XFlush(s_.dpy);
  }

  bool usable() const { return w_.inner != 0; }

  // Next input of this window; false when the window closed or a release came.
  bool next(Input& in) {
    for (;;) {
      if (!next_input(s_, in, -1)) return false;
      if (in.kind == Input::kClose) return false;
      if (in.id == id_) return true;
    }
  }

  void pointer(int& px, int& py) {
    Window r, c;
    int rx, ry, wx = 0, wy = 0;
    unsigned m;
    if (w_.inner) XQueryPointer(s_.dpy, w_.inner, &r, &c, &rx, &ry, &wx, &wy, &m);
    px = wx;
    py = wy;
  }

  void warp(int px, int py) {
    if (w_.inner) XWarpPointer(s_.dpy, 0, w_.inner, 0, 0, 0, 0, px, py);
    XFlush(s_.dpy);
  }

  // Inverted figures: drawing one twice removes it.
  void line(int x0, int y0, int x1, int y1) {
    if (xor_) XDrawLine(s_.dpy, w_.inner, xor_, x0, y0, x1, y1);
  }
  void rect(int x0, int y0, int x1, int y1) {
    if (xor_)
      XDrawRectangle(s_.dpy, w_.inner, xor_, std::min(x0, x1), std::min(y0, y1),
                     static_cast<unsigned>(std::abs(x1 - x0)), static_cast<unsigned>(std::abs(y1 - y0)));
  }
  void mark(int x, int y) {
    line(x - 4, y, x + 5, y);
    line(x, y - 4, x, y + 5);
  }
  void flush() { XFlush(s_.dpy); }

  void user(int px, int py, int& nx, int& ny) const { to_user(ctx_, w_, px, py, nx, ny); }

  // csrmod ECHO "ON": the figure stays in the page, in the current colour.
  void echo(const std::vector<int>& x, const std::vector<int>& y, bool closed, bool marks) {
    if (!ctx_.drv.csr_echo || x.empty()) return;
    raster::Paint p = d_.current_paint();
    auto seg = [&](int a, int b, int c, int e) { raster::draw_line(w_.img, a, b, c, e, p); };
    if (marks) {
      for (size_t i = 0; i < x.size(); ++i) {
        seg(x[i] - 4, y[i], x[i] + 4, y[i]);
        seg(x[i], y[i] - 4, x[i], y[i] + 4);
      }
    } else {
      for (size_t i = 1; i < x.size(); ++i) seg(x[i - 1], y[i - 1], x[i], y[i]);
      if (closed && x.size() > 2) seg(x.back(), y.back(), x[0], y[0]);
    }
    all_dirty(w_);
    d_.update();
  }

 private:
  Context& ctx_;
  ScreenDriver& d_;
  ScreenStore& s_;
  XWin& w_;
  int id_ = 0;
  Cursor cursor_ = 0;
  GC xor_ = nullptr;
};

// Points given by clicks (csrpts) or by the rubber-band polygon (csrpol): button 1 adds a
// point; button 3 or RETURN ends (iret 0); a full array ends with iret 1; ESC or a closed
// window ends with iret 2.
void click_points(Context& ctx, ScreenDriver& d, int* xr, int* yr, int nmax, int* n, int* iret,
                  bool polygon) {
  CursorInput ci(ctx, d);
  std::vector<int> px, py;
  *iret = 2;
  Input in;
  int lx = 0, ly = 0;
  bool band = false;
  auto unband = [&] {
    if (band) ci.line(px.back(), py.back(), lx, ly);
    band = false;
  };
  while (ci.next(in)) {
    if (in.kind == Input::kKey) {
      if (in.sym == XK_Return || in.sym == XK_KP_Enter) { *iret = 0; break; }
      if (in.sym == XK_Escape) break;
      continue;
    }
    if (in.kind == Input::kPress && in.button == 3) { *iret = 0; break; }
    if (in.kind == Input::kPress && in.button == 1) {
      if (static_cast<int>(px.size()) >= nmax) { *iret = 1; break; }
      unband();
      if (polygon && !px.empty()) ci.line(px.back(), py.back(), in.x, in.y);
      if (!polygon) ci.mark(in.x, in.y);
      px.push_back(in.x);
      py.push_back(in.y);
      ci.flush();
      if (static_cast<int>(px.size()) >= nmax) { *iret = 1; break; }
      continue;
    }
    if (in.kind == Input::kMotion && polygon && !px.empty()) {
      unband();
      lx = in.x;
      ly = in.y;
      ci.line(px.back(), py.back(), lx, ly);
      band = true;
      ci.flush();
    }
  }
  // the inverted figure goes, the echo (if asked for) stays
  unband();
  for (size_t i = 0; i < px.size(); ++i) {
    if (polygon && i > 0) ci.line(px[i - 1], py[i - 1], px[i], py[i]);
    if (!polygon) ci.mark(px[i], py[i]);
  }
  ci.echo(px, py, polygon, !polygon);
  *n = static_cast<int>(px.size());
  for (int i = 0; i < *n; ++i) ci.user(px[i], py[i], xr[i], yr[i]);
}

// A drag with button 1: press at the start, release at the end.
template <typename Draw>
bool drag(CursorInput& ci, int& x0, int& y0, int& x1, int& y1, Draw draw) {
  Input in;
  bool down = false, shown = false;
  while (ci.next(in)) {
    if (!down) {
      if (in.kind == Input::kPress && in.button == 1) {
        x0 = x1 = in.x;
        y0 = y1 = in.y;
        down = true;
      } else if (in.kind == Input::kKey && in.sym == XK_Escape) {
        return false;
      }
      continue;
    }
    if (in.kind == Input::kMotion || in.kind == Input::kRelease) {
      if (shown) draw(x0, y0, x1, y1);
      x1 = in.x;
      y1 = in.y;
      shown = false;
      if (in.kind == Input::kRelease && in.button == 1) break;
      draw(x0, y0, x1, y1);
      shown = true;
      ci.flush();
    }
  }
  if (shown) draw(x0, y0, x1, y1);
  ci.flush();
  return down;
}

ScreenDriver* cursor_driver(Context& ctx) {
  ScreenDriver* d = screen_driver(ctx);
  if (!d) warn_text(ctx, kMsgBadDevice, "Bad output device");
  return d;
}

#endif

}  // namespace

#if TAVERO_HAVE_X11
#define TAVERO_CURSOR_DRIVER(ctx) cursor_driver(ctx)
#else
#define TAVERO_CURSOR_DRIVER(ctx) (warn_text(ctx, kMsgBadDevice, "Bad output device"), nullptr)
#endif

int csrpos(int* nx, int* ny) {
  Context* ctx = enter(R::csrpos);
  if (!ctx) return 0;
  auto* d = TAVERO_CURSOR_DRIVER(*ctx);
  if (!d) return 0;
#if TAVERO_HAVE_X11
  CursorInput ci(*ctx, *d);
  if (ctx->drv.csr_warp) {
    int px, py;
    from_user(*ctx, d->cur(), *nx, *ny, px, py);
    ci.warp(px, py);
  }
  Input in;
  int code = 0;
  int px, py;
  ci.pointer(px, py);
  while (ci.next(in)) {
    if (in.kind == Input::kMotion) {
      px = in.x;
      py = in.y;
    } else if (in.kind == Input::kKey || in.kind == Input::kPress) {
      px = in.x;
      py = in.y;
      code = in.kind == Input::kKey ? in.code : in.button;
      break;
    }
  }
  ci.user(px, py, *nx, *ny);
  return code;
#else
  return 0;
#endif
}

void csrpt1(int* nx, int* ny) {
  *nx = *ny = 0;
  Context* ctx = enter(R::csrpt1);
  if (!ctx) return;
  auto* d = TAVERO_CURSOR_DRIVER(*ctx);
  if (!d) return;
#if TAVERO_HAVE_X11
  CursorInput ci(*ctx, *d);
  Input in;
  int px, py;
  ci.pointer(px, py);
  while (ci.next(in)) {
    if (in.kind == Input::kPress) {
      px = in.x;
      py = in.y;
      break;
    }
  }
  ci.user(px, py, *nx, *ny);
#endif
}

void csrpts(int* nxray, int* nyray, int nmax, int* n, int* iret) {
  *n = 0;
  *iret = 0;
  Context* ctx = enter(R::csrpts);
  if (!ctx) return;
  auto* d = TAVERO_CURSOR_DRIVER(*ctx);
  if (!d) return;
#if TAVERO_HAVE_X11
  click_points(*ctx, *d, nxray, nyray, nmax, n, iret, false);
#else
  (void)nxray, (void)nyray, (void)nmax;
#endif
}

void csrpol(int* nxray, int* nyray, int nmax, int* n, int* iret) {
  *n = 0;
  *iret = 0;
  Context* ctx = enter(R::csrpol);
  if (!ctx) return;
  auto* d = TAVERO_CURSOR_DRIVER(*ctx);
  if (!d) return;
#if TAVERO_HAVE_X11
  click_points(*ctx, *d, nxray, nyray, nmax, n, iret, true);
#else
  (void)nxray, (void)nyray, (void)nmax;
#endif
}

// The path of the cursor while button 1 is held; iret 1 when the array filled up first.
void csrmov(int* nxray, int* nyray, int nmax, int* n, int* iret) {
  *n = 0;
  *iret = 0;
  Context* ctx = enter(R::csrmov);
  if (!ctx) return;
  auto* d = TAVERO_CURSOR_DRIVER(*ctx);
  if (!d) return;
#if TAVERO_HAVE_X11
  CursorInput ci(*ctx, *d);
  std::vector<int> px, py;
  Input in;
  bool down = false;
  *iret = 2;
  while (ci.next(in)) {
    if (in.kind == Input::kKey && in.sym == XK_Escape) break;
    if (!down) {
      if (in.kind == Input::kPress && in.button == 1) down = true;
      else continue;
    } else if (in.kind != Input::kMotion && in.kind != Input::kRelease) {
      continue;
    }
    if (!px.empty() && px.back() == in.x && py.back() == in.y) {
      if (in.kind == Input::kRelease) { *iret = 0; break; }
      continue;
    }
    if (!px.empty()) ci.line(px.back(), py.back(), in.x, in.y);
    px.push_back(in.x);
    py.push_back(in.y);
    ci.flush();
    if (in.kind == Input::kRelease) { *iret = 0; break; }
    if (static_cast<int>(px.size()) >= nmax) { *iret = 1; break; }
  }
  for (size_t i = 1; i < px.size(); ++i) ci.line(px[i - 1], py[i - 1], px[i], py[i]);
  ci.echo(px, py, false, false);
  *n = static_cast<int>(px.size());
  for (int i = 0; i < *n; ++i) ci.user(px[i], py[i], nxray[i], nyray[i]);
#else
  (void)nxray, (void)nyray, (void)nmax;
#endif
}

void csrlin(int* nx1, int* ny1, int* nx2, int* ny2) {
  *nx1 = *ny1 = *nx2 = *ny2 = 0;
  Context* ctx = enter(R::csrlin);
  if (!ctx) return;
  auto* d = TAVERO_CURSOR_DRIVER(*ctx);
  if (!d) return;
#if TAVERO_HAVE_X11
  CursorInput ci(*ctx, *d);
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  drag(ci, x0, y0, x1, y1, [&](int a, int b, int c, int e) { ci.line(a, b, c, e); });
  ci.echo({x0, x1}, {y0, y1}, false, false);
  ci.user(x0, y0, *nx1, *ny1);
  ci.user(x1, y1, *nx2, *ny2);
#endif
}

void csrrec(int* nx1, int* ny1, int* nx2, int* ny2) {
  *nx1 = *ny1 = *nx2 = *ny2 = 0;
  Context* ctx = enter(R::csrrec);
  if (!ctx) return;
  auto* d = TAVERO_CURSOR_DRIVER(*ctx);
  if (!d) return;
#if TAVERO_HAVE_X11
  CursorInput ci(*ctx, *d);
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  drag(ci, x0, y0, x1, y1, [&](int a, int b, int c, int e) { ci.rect(a, b, c, e); });
  ci.echo({x0, x1, x1, x0}, {y0, y0, y1, y1}, true, false);
  ci.user(x0, y0, *nx1, *ny1);
  ci.user(x1, y1, *nx2, *ny2);
#endif
}

// A key (its character code, or its key symbol when it has no character) or a mouse button
// (its number).
int csrkey() {
  Context* ctx = enter(R::csrkey);
  if (!ctx) return 0;
  auto* d = TAVERO_CURSOR_DRIVER(*ctx);
  if (!d) return 0;
#if TAVERO_HAVE_X11
  CursorInput ci(*ctx, *d);
  Input in;
  while (ci.next(in)) {
    if (in.kind == Input::kKey) return in.code;
    if (in.kind == Input::kPress) return in.button;
  }
#endif
  return 0;
}

// The cursor of the current window outside cursor input.
void setcsr(const char* copt) {
  Context* ctx = enter(R::setcsr);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "ARRO+CROS+HAIR+WAIT+HAND", 5, copt);
  if (!k) return;
  auto* d = TAVERO_CURSOR_DRIVER(*ctx);
  if (!d) return;
#if TAVERO_HAVE_X11
  ScreenStore& s = d->store();
  XWin& w = d->cur();
  if (w.inner) {
    Cursor c = XCreateFontCursor(s.dpy, kCursorShapes[k - 1]);
    XDefineCursor(s.dpy, w.inner, c);
    XFreeCursor(s.dpy, c);
    XFlush(s.dpy);
  }
#endif
}

}  // namespace tavero
