// Building dialogs: the main window, the widget creators, the settings for the widgets that
// follow, callback registration and the event loop entry points.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "files/image_decode.h"
#include "tavero_api.h"
#include "widgets/wg_view.h"
#include "widgets/widgets.h"

namespace tavero {

using Lock = std::unique_lock<std::recursive_mutex>;

// ------------------------------------------------------------------------------------------
// Shared helpers

WidgetState& widget_state(Context& ctx) {
  if (!ctx.widgets) ctx.widgets = std::make_shared<WidgetState>();
  return *static_cast<WidgetState*>(ctx.widgets.get());
}

void widget_warn(Context& ctx, int code, const std::string& text) {
  set_custom_message(ctx, text.c_str());
  warn_text(ctx, code, text.c_str());
}

Widget* find_widget(Context& ctx, WidgetState& s, int id) {
  Widget* w = s.get(id);
  if (!w) widget_warn(ctx, kMsgNoWidget, "Widget " + std::to_string(id) + " is not defined");
  return w;
}

Widget* find_kind(Context& ctx, WidgetState& s, int id, std::initializer_list<WKind> kinds) {
  Widget* w = find_widget(ctx, s, id);
  if (!w) return nullptr;
  for (WKind k : kinds)
    if (w->kind == k) return w;
  widget_warn(ctx, kMsgWrongWidget,
              "Widget " + std::to_string(id) + " is of the wrong type for this routine");
  return nullptr;
}

bool is_container(WKind k) { return k == WKind::Main || k == WKind::Base; }

bool is_button(WKind k) {
  return k == WKind::Push || k == WKind::PImage || k == WKind::Cmd || k == WKind::Ok ||
         k == WKind::Quit;
}

int int_value(const Widget& w) {
  switch (w.kind) {
    case WKind::Check: case WKind::List: case WKind::DList: case WKind::Box:
      return w.sel;
    case WKind::Scale: case WKind::PBar:
      return static_cast<int>(std::lround(std::clamp(w.xval, -2.0e9, 2.0e9)));
    case WKind::Text: case WKind::LText: {
      double v;
      return parse_number(w.text, v) ? static_cast<int>(std::lround(std::clamp(v, -2.0e9, 2.0e9))) : 0;
    }
    case WKind::Push: case WKind::PImage: case WKind::Cmd: case WKind::Ok: case WKind::Quit:
    case WKind::Entry:
      return 1;
    default:
      return 0;
  }
}

std::string number_text(double v, int ndig) {
  char buf[64];
  if (!std::isfinite(v)) return std::isnan(v) ? "NaN" : (v > 0 ? "Inf" : "-Inf");
  if (ndig >= 0) {
    std::snprintf(buf, sizeof buf, "%.*f", std::min(ndig, 15), std::fabs(v) < 1e30 ? v : 0.0);
    if (std::fabs(v) >= 1e30) std::snprintf(buf, sizeof buf, "%.*e", std::min(ndig, 15), v);
    if (std::strspn(buf, "-0.") == std::strlen(buf) && buf[0] == '-') return buf + 1;
    return buf;
  }
  std::snprintf(buf, sizeof buf, "%.15g", v);
  if (std::strtod(buf, nullptr) != v) std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

bool parse_number(const std::string& s, double& v) {
  const char* p = s.c_str();
  while (*p == ' ' || *p == '\t') ++p;
  if (!*p) return false;
  char* end = nullptr;
  v = std::strtod(p, &end);
  if (end == p) return false;
  while (*end == ' ' || *end == '\t') ++end;
  return *end == 0;
}

void fire(WidgetState& s, Widget& w, int event, int a, int b) {
  if (w.internal) w.internal(event, a, b);
  const WCallback cb = w.cb;
  if (!cb.kind || !cb.fn) return;
  const int id = w.id, iv = int_value(w);
  s.queue.emplace_back([cb, id, iv, a, b] {
    switch (cb.kind) {
      case 1: reinterpret_cast<WidgetCallback>(cb.fn)(id); break;
      case 2: reinterpret_cast<Widget2Callback>(cb.fn)(id, a, b); break;
      case 3: reinterpret_cast<Widget3Callback>(cb.fn)(id, iv); break;
      case 4: reinterpret_cast<WidgetObjCallback>(cb.fn)(id, cb.obj); break;
      default: break;
    }
  });
}

void drain_queue(WidgetState& s, Lock& lk) {
  while (!s.queue.empty()) {
    std::vector<std::function<void()>> run;
    run.swap(s.queue);
    lk.unlock();
    for (auto& f : run) f();
    lk.lock();
  }
}

void truncate_widgets(WidgetState& s, int first) {
  if (first < 1) first = 1;
  while (static_cast<int>(s.widgets.size()) >= first) s.widgets.pop_back();
  for (auto& w : s.widgets) {
    auto& c = w->children;
    c.erase(std::remove_if(c.begin(), c.end(), [first](int id) { return id >= first; }), c.end());
  }
}

unsigned long widget_window(Context& ctx, int id) {
  WidgetState& s = widget_state(ctx);
  Lock lk(s.mu);
  Widget* w = find_widget(ctx, s, id);
  if (!w) return 0;
  Widget* m = s.get(w->main);
  if (!m || m->finished) return 0;
  if (!m->shown && view_connect(s)) view_show(ctx, s, *m);
  return view_window(s, *w);
}

namespace {

// The newest main window that has not been through wgfin.
Widget* open_main(WidgetState& s) {
  for (size_t i = s.widgets.size(); i-- > 0;) {
    Widget* w = s.widgets[i].get();
    if (w->kind == WKind::Main && !w->finished) return w;
  }
  return nullptr;
}

bool finite_all(std::initializer_list<double> v) {
  for (double x : v)
    if (!std::isfinite(x)) return false;
  return true;
}

// Step of a scale: the given one, else one unit of the last decimal when that gives a
// usable number of steps.
double default_step(const Widget& w) {
  double unit = std::pow(10.0, -std::clamp(w.digits, 0, 15));
  double span = std::fabs(w.xmax - w.xmin);
  return span / unit <= 1000.0 ? unit : span / 100.0;
}

// The RGB image of nw x nh pixels from a file, scaled to the size (nearest pixel).
bool load_image(const char* file, int nw, int nh, Widget& w) {
  std::vector<uint8_t> data;
  DecodedImage img;
  if (read_whole_file(file, data) != kDecodeOk || decode_image(data.data(), data.size(), img, true) != kDecodeOk)
    return false;
  if (nw <= 0) nw = img.width;
  if (nh <= 0) nh = img.height;
  // icons are small: a huge file is refused before it is decoded
  if (nw > 4096 || nh > 4096 || static_cast<long long>(img.width) * img.height > (1LL << 24)) return false;
  if (decode_image(data.data(), data.size(), img) != kDecodeOk) return false;
  w.img_w = nw;
  w.img_h = nh;
  w.rgb.resize(static_cast<size_t>(nw) * nh * 3);
  for (int j = 0; j < nh; ++j) {
    int sj = static_cast<int>(static_cast<long long>(j) * img.height / nh);
    for (int i = 0; i < nw; ++i) {
      int si = static_cast<int>(static_cast<long long>(i) * img.width / nw);
      const uint8_t* p = &img.rgba[(static_cast<size_t>(sj) * img.width + si) * 4];
      uint8_t* q = &w.rgb[(static_cast<size_t>(j) * nw + i) * 3];
      // transparent pixels take the face colour of the widget
      const int a = p[3];
      for (int c = 0; c < 3; ++c) q[c] = static_cast<uint8_t>((p[c] * a + 0xD9 * (255 - a)) / 255);
    }
  }
  return true;
}

bool take_rgb(Context& ctx, const char* iray, int nw, int nh, Widget& w) {
  if (nw < 1 || nh < 1 || nw > 4096 || nh > 4096 || !iray) {
    warn_number(ctx, kMsgIncorrectParameter, nw < 1 || nw > 4096 ? nw : nh);
    return false;
  }
  w.img_w = nw;
  w.img_h = nh;
  w.rgb.assign(reinterpret_cast<const uint8_t*>(iray),
               reinterpret_cast<const uint8_t*>(iray) + static_cast<size_t>(nw) * nh * 3);
  return true;
}

// Apply to the main window being built (settings of main windows given after wgini).
template <typename F>
void to_open_main(WidgetState& s, F f) {
  if (Widget* m = open_main(s)) {
    f(*m);
    if (m->shown) view_relayout(s, *m);
  }
}

void after_change(WidgetState& s, Widget& w) {
  Widget* m = s.get(w.main);
  if (m && m->shown && !m->finished) view_relayout(s, *m);
}

}  // namespace

Widget* add_widget(Context& ctx, WidgetState& s, int ip, WKind kind, const char* label) {
  Widget* p = find_widget(ctx, s, ip);
  if (!p) return nullptr;
  bool fits = kind == WKind::Popup ? p->kind == WKind::Main
            : kind == WKind::Entry ? p->kind == WKind::Popup
                                   : is_container(p->kind);
  Widget* m = s.get(p->main);
  if (!fits || !m || m->finished) {
    widget_warn(ctx, kMsgNotParent, "Widget " + std::to_string(ip) + " cannot take this widget");
    return nullptr;
  }
  auto w = std::make_unique<Widget>();
  w->id = static_cast<int>(s.widgets.size()) + 1;
  w->parent = ip;
  w->main = p->main;
  w->kind = kind;
  w->style = s.style;
  w->label = label ? label : "";
  Widget* raw = w.get();
  s.widgets.push_back(std::move(w));
  p->children.push_back(raw->id);
  return raw;
}

// ------------------------------------------------------------------------------------------
// Main window and bases

int wgini(const char* ctype) {
  Context* ctx = enter(R::wgini);
  if (!ctx) return 0;
  int k = lookup_keyword(*ctx, "VERT+HORI+FORM", 3, ctype);
  if (!k) return 0;
  WidgetState& s = widget_state(*ctx);
  Lock lk(s.mu);
  if (s.loop_depth == 0 && !open_main(s)) {
    for (auto& w : s.widgets)
      if (w->kind == WKind::Main && w->shown) view_close(s, *w);
    s.widgets.clear();   // a new dialog: the ids of the finished ones are free again
  }
  auto w = std::make_unique<Widget>();
  w->id = static_cast<int>(s.widgets.size()) + 1;
  w->main = w->id;
  w->kind = WKind::Main;
  w->layout = k - 1;
  w->style = s.style;
  w->label = s.next_title;
  w->help = s.next_help;
  w->close_mode = s.next_close;
  w->pop_ok = s.next_pop_ok;
  w->pop_quit = s.next_pop_quit;
  w->pop_help = s.next_pop_help;
  w->centre = s.next_centre;
  std::copy(s.next_win, s.next_win + 4, &w->win_x);
  int id = w->id;
  s.widgets.push_back(std::move(w));
  // the dialog is built all the same: without a screen its widgets keep their defaults
  if (!view_connect(s)) widget_warn(*ctx, kMsgNoDisplay, "No X display: the widgets cannot be shown");
  return id;
}

int wgbas(int ip, const char* copt) {
  Context* ctx = enter(R::wgbas);
  if (!ctx) return 0;
  int k = lookup_keyword(*ctx, "VERT+HORI+FORM", 3, copt);
  if (!k) return 0;
  WidgetState& s = widget_state(*ctx);
  Lock lk(s.mu);
  Widget* w = add_widget(*ctx, s, ip, WKind::Base, "");
  if (!w) return 0;
  w->layout = k - 1;
  after_change(s, *w);
  return w->id;
}

// ------------------------------------------------------------------------------------------
// Creators

namespace {

int create(R r, int ip, WKind kind, const char* label, const std::function<void(Context&, Widget&)>& init = {}) {
  Context* ctx = enter(r);
  if (!ctx) return 0;
  WidgetState& s = widget_state(*ctx);
  Lock lk(s.mu);
  Widget* w = nullptr;
  try {
    w = add_widget(*ctx, s, ip, kind, label);
    if (!w) return 0;
    if (init) init(*ctx, *w);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);   // a widget that was added stays, with what it got
    if (!w) return 0;
  }
  after_change(s, *w);
  return w->id;
}

// Selection isel of a list of n items; out of range: warning and `fallback`.
int checked_selection(Context& ctx, int isel, int n, int lo, int fallback) {
  if (isel < lo || isel > n) {
    warn_number(ctx, kMsgIncorrectParameter, isel);
    return fallback;
  }
  return isel;
}

void set_items(Context& ctx, WidgetState& s, Widget& w, const char* clis, int isel, int lo) {
  w.items = split_items(clis, s.sep);
  const int n = static_cast<int>(w.items.size());
  w.sel = checked_selection(ctx, isel, n, lo, n > 0 ? lo : 0);
  w.marked.assign(w.items.size(), 0);
  if (w.sel >= 1) w.marked[w.sel - 1] = 1;
}

}  // namespace

int wglab(int ip, const char* cstr) { return create(R::wglab, ip, WKind::Label, cstr); }

int wgtxt(int ip, const char* cstr) {
  return create(R::wgtxt, ip, WKind::Text, "", [&](Context&, Widget& w) { w.text = cstr ? cstr : ""; });
}

int wgltxt(int ip, const char* clab, const char* cstr, int iper) {
  return create(R::wgltxt, ip, WKind::LText, clab, [&](Context& ctx, Widget& w) {
    w.text = cstr ? cstr : "";
    w.percent = check_range(ctx, iper, 0, 100) ? 0 : iper;
  });
}

int wgstxt(int ip, int nsize, int nmax) {
  return create(R::wgstxt, ip, WKind::SText, "", [&](Context& ctx, Widget& w) {
    w.lines = check_range(ctx, nsize, 1, 200) ? 5 : nsize;
    w.max_lines = check_range(ctx, nmax, 0, -1) ? 0 : nmax;   // 0 keeps every line
  });
}

int wgfil(int ip, const char* clab, const char* cstr, const char* cmask) {
  return create(R::wgfil, ip, WKind::File, clab, [&](Context&, Widget& w) {
    w.text = cstr ? cstr : "";
    w.mask = cmask && *cmask ? cmask : "*";
  });
}

int wgbut(int ip, const char* clab, int ival) {
  return create(R::wgbut, ip, WKind::Check, clab, [&](Context& ctx, Widget& w) {
    w.sel = check_range(ctx, ival, 0, 1) ? 0 : ival;
  });
}

int wgpbut(int ip, const char* clab) { return create(R::wgpbut, ip, WKind::Push, clab); }

int wgbox(int ip, const char* clis, int isel) {
  return create(R::wgbox, ip, WKind::Box, "", [&](Context& ctx, Widget& w) {
    set_items(ctx, widget_state(ctx), w, clis, isel, 1);
  });
}

int wglis(int ip, const char* clis, int isel) {
  return create(R::wglis, ip, WKind::List, "", [&](Context& ctx, Widget& w) {
    set_items(ctx, widget_state(ctx), w, clis, isel, 0);   // 0: nothing selected
    w.lines = 0;
  });
}

int wgdlis(int ip, const char* clis, int isel) {
  return create(R::wgdlis, ip, WKind::DList, "", [&](Context& ctx, Widget& w) {
    set_items(ctx, widget_state(ctx), w, clis, isel, 1);
  });
}

int wgscl(int ip, const char* clab, double xmin, double xmax, double xval, int ndez) {
  return create(R::wgscl, ip, WKind::Scale, clab, [&](Context& ctx, Widget& w) {
    if (!finite_all({xmin, xmax, xval}) || xmin == xmax) {
      warn_code(ctx, kMsgIncorrectParameter);
      xmin = 0;
      xmax = 1;
      xval = 0;
    }
    w.xmin = xmin;
    w.xmax = xmax;
    w.digits = check_range(ctx, ndez, 0, 15) ? 0 : ndez;
    w.xval = std::clamp(xval, std::min(xmin, xmax), std::max(xmin, xmax));
    w.step = default_step(w);
  });
}

int wgpbar(int ip, double xmin, double xmax, double xstp) {
  return create(R::wgpbar, ip, WKind::PBar, "", [&](Context& ctx, Widget& w) {
    if (!finite_all({xmin, xmax, xstp}) || xmin == xmax || xstp < 0) {
      warn_code(ctx, kMsgIncorrectParameter);
      xmin = 0;
      xmax = 1;
      xstp = 0;
    }
    w.xmin = xmin;
    w.xmax = xmax;
    w.xval = xmin;
    w.step = xstp;
  });
}

int wgtbl(int ip, int nrows, int ncols) {
  return create(R::wgtbl, ip, WKind::Table, "", [&](Context& ctx, Widget& w) {
    if (check_range(ctx, nrows, 1, 100000) + check_range(ctx, ncols, 1, 1000)) {
      nrows = std::clamp(nrows, 1, 100000);
      ncols = std::clamp(ncols, 1, 1000);
    }
    if (static_cast<long long>(nrows) * ncols > 1000000) {   // a million cells at most
      warn_number(ctx, kMsgIncorrectParameter, static_cast<long long>(nrows) * ncols);
      nrows = 1000000 / ncols;
    }
    w.rows = nrows;
    w.cols = ncols;
    w.lines = 0;
    w.cells.assign(static_cast<size_t>(nrows) * ncols, WCell{});
    for (WCell& c : w.cells) c.edit = w.style.table_edit;
    w.col_head.assign(ncols, "");
    w.row_head.assign(nrows, "");
  });
}

int wgdraw(int ip) { return create(R::wgdraw, ip, WKind::Draw, ""); }

int wgsep(int ip) { return create(R::wgsep, ip, WKind::Sep, ""); }

int wgicon(int ip, const char* clab, int nw, int nh, const char* cfil) {
  return create(R::wgicon, ip, WKind::Image, clab, [&](Context& ctx, Widget& w) {
    if (!load_image(cfil ? cfil : "", nw, nh, w))
      widget_warn(ctx, kMsgImageFile, std::string("Image file cannot be read: ") + (cfil ? cfil : ""));
  });
}

int wgimg(int ip, const char* clab, const char* iray, int nw, int nh) {
  return create(R::wgimg, ip, WKind::Image, clab,
                [&](Context& ctx, Widget& w) { take_rgb(ctx, iray, nw, nh, w); });
}

int wgpicon(int ip, const char* clab, int nw, int nh, const char* cfil) {
  return create(R::wgpicon, ip, WKind::PImage, clab, [&](Context& ctx, Widget& w) {
    if (!load_image(cfil ? cfil : "", nw, nh, w))
      widget_warn(ctx, kMsgImageFile, std::string("Image file cannot be read: ") + (cfil ? cfil : ""));
  });
}

int wgpimg(int ip, const char* clab, const char* iray, int nw, int nh) {
  return create(R::wgpimg, ip, WKind::PImage, clab,
                [&](Context& ctx, Widget& w) { take_rgb(ctx, iray, nw, nh, w); });
}

int wgcmd(int ip, const char* clab, const char* cmd) {
  return create(R::wgcmd, ip, WKind::Cmd, clab, [&](Context&, Widget& w) { w.command = cmd ? cmd : ""; });
}

int wgok(int ip) { return create(R::wgok, ip, WKind::Ok, "OK"); }

int wgquit(int ip) { return create(R::wgquit, ip, WKind::Quit, "Quit"); }

int wgpop(int ip, const char* clab) { return create(R::wgpop, ip, WKind::Popup, clab); }

int wgpopb(int ip, const char* iray, int nw, int nh) {
  return create(R::wgpopb, ip, WKind::Popup, "",
                [&](Context& ctx, Widget& w) { take_rgb(ctx, iray, nw, nh, w); });
}

int wgapp(int ip, const char* clab) { return create(R::wgapp, ip, WKind::Entry, clab); }

int wgappb(int ip, const char* iray, int nw, int nh) {
  return create(R::wgappb, ip, WKind::Entry, "",
                [&](Context& ctx, Widget& w) { take_rgb(ctx, iray, nw, nh, w); });
}

// A push of a button-like widget (also menu entries and the keyboard): the callback, and
// for OK and Quit the end of the loop.
void press_button(WidgetState& s, Widget& w) {
  if (!w.active) return;
  if (w.kind == WKind::Cmd && !w.command.empty()) {
    std::string cmd = w.command;
    std::thread([cmd] { (void)!std::system(cmd.c_str()); }).detach();   // the dialog stays responsive
  }
  fire(s, w, kEvActivate, int_value(w), 0);
  if (w.kind == WKind::Ok || w.kind == WKind::Quit) {
    if (Widget* m = s.get(w.main)) m->end = w.kind == WKind::Ok ? kEndOk : kEndQuit;
  }
}

// ------------------------------------------------------------------------------------------
// Settings for the widgets that follow

namespace {

bool unit_interval(double v) { return std::isfinite(v) && v >= 0.0 && v <= 1.0; }

uint32_t rgb_of(double r, double g, double b) {
  auto c = [](double v) { return static_cast<uint32_t>(std::lround(v * 255.0)); };
  return (c(r) << 16) | (c(g) << 8) | c(b);
}

template <typename F>
void with_state(R r, F f) {
  Context* ctx = enter(r);
  if (!ctx) return;
  WidgetState& s = widget_state(*ctx);
  Lock lk(s.mu);
  try {
    f(*ctx, s);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

}  // namespace

void swgclr(double xr, double xg, double xb, const char* ctype) {
  with_state(R::swgclr, [&](Context& ctx, WidgetState& s) {
    int k = lookup_keyword(ctx, "BACK+FORE+LBAC+LFOR+BAR +DEFA", 6, ctype);
    if (!k) return;
    if (k == 6) {
      s.style.back = s.style.fore = s.style.lback = s.style.lfore = s.style.bar = kNoColour;
      return;
    }
    if (!unit_interval(xr) || !unit_interval(xg) || !unit_interval(xb)) {
      warn_code(ctx, kMsgIncorrectParameter);
      return;
    }
    uint32_t* slot[5] = {&s.style.back, &s.style.fore, &s.style.lback, &s.style.lfore, &s.style.bar};
    *slot[k - 1] = rgb_of(xr, xg, xb);
  });
}

// Family names ("Helvetica", "Times", "Courier", ...), X font names or "STANDARD".
void swgfnt(const char* cfnt, int nsize) {
  with_state(R::swgfnt, [&](Context& ctx, WidgetState& s) {
    if (check_range(ctx, nsize, 1, 200)) return;
    std::string f = cfnt ? cfnt : "";
    if (match_keyword("STAN+DEFA", 2, f.c_str()) || f.empty()) f.clear();
    s.style.font = f;
    s.style.font_size = nsize;
  });
}

void swghlp(const char* cstr) {
  with_state(R::swghlp, [&](Context&, WidgetState& s) {
    s.next_help = cstr ? cstr : "";
    to_open_main(s, [&](Widget& m) { m.help = s.next_help; });
  });
}

void swgjus(const char* cjus, const char* ctype) {
  with_state(R::swgjus, [&](Context& ctx, WidgetState& s) {
    int j = lookup_keyword(ctx, "LEFT+CENT+RIGH", 3, cjus);
    int t = lookup_keyword(ctx, "LABE+TEXT+TABL", 3, ctype);
    if (!j || !t) return;
    (t == 1 ? s.style.just_label : t == 2 ? s.style.just_text : s.style.just_table) = j - 1;
  });
}

void swgmix(const char* cchar, const char* cmix) {
  with_state(R::swgmix, [&](Context& ctx, WidgetState& s) {
    if (!lookup_keyword(ctx, "SEP ", 1, cmix)) return;
    if (!cchar || !cchar[0] || cchar[0] == '\n') {
      warn_string(ctx, kMsgIncorrectParameter, cchar ? cchar : "");
      return;
    }
    s.sep = cchar[0];
  });
}

void swgmrg(int ival, const char* copt) {
  with_state(R::swgmrg, [&](Context& ctx, WidgetState& s) {
    int k = lookup_keyword(ctx, "LEFT+RIGH+TOP +BOTT", 4, copt);
    if (!k || check_range(ctx, ival, 0, 1000)) return;
    s.style.margin[k - 1] = ival;
  });
}

// "POSITION": "CENTER" or "DEFAULT" placement of the next main windows; "CLOSE": what the
// close button of the window frame does ("OK", "QUIT" or "NONE" to ignore it).
void swgopt(const char* cval, const char* copt) {
  with_state(R::swgopt, [&](Context& ctx, WidgetState& s) {
    int k = lookup_keyword(ctx, "POSI+CLOS", 2, copt);
    if (k == 1) {
      int v = lookup_keyword(ctx, "CENT+DEFA", 2, cval);
      if (!v) return;
      s.next_centre = v == 1;
      to_open_main(s, [&](Widget& m) { m.centre = s.next_centre; });
    } else if (k == 2) {
      int v = lookup_keyword(ctx, "OK  +QUIT+NONE", 3, cval);
      if (!v) return;
      s.next_close = v - 1;
      to_open_main(s, [&](Widget& m) { m.close_mode = s.next_close; });
    }
  });
}

// Entries of the menu bar that the library adds: "OK" and "QUIT" in a "File" menu, "HELP"
// (on by default, shown when swghlp gave a text); "NOOK", "NOQUIT", "NOHELP" remove them.
void swgpop(const char* copt) {
  with_state(R::swgpop, [&](Context& ctx, WidgetState& s) {
    int k = lookup_keyword(ctx, "OK  +NOOK+QUIT+NOQU+HELP+NOHE", 6, copt);
    if (!k) return;
    int on = k % 2;
    (k <= 2 ? s.next_pop_ok : k <= 4 ? s.next_pop_quit : s.next_pop_help) = on;
    to_open_main(s, [&](Widget& m) {
      m.pop_ok = s.next_pop_ok;
      m.pop_quit = s.next_pop_quit;
      m.pop_help = s.next_pop_help;
    });
  });
}

void swgpos(int nx, int ny) {
  with_state(R::swgpos, [&](Context& ctx, WidgetState& s) {
    if (check_range(ctx, nx, 0, 100000) + check_range(ctx, ny, 0, 100000)) return;
    s.style.pos_x = nx;
    s.style.pos_y = ny;
  });
}

// 0 gives the widget its natural size again.
void swgsiz(int nw, int nh) {
  with_state(R::swgsiz, [&](Context& ctx, WidgetState& s) {
    if (check_range(ctx, nw, 0, 100000) + check_range(ctx, nh, 0, 100000)) return;
    s.style.size_w = nw;
    s.style.size_h = nh;
  });
}

void swgspc(double xspc, double yspc) {
  with_state(R::swgspc, [&](Context& ctx, WidgetState& s) {
    if (!std::isfinite(xspc) || !std::isfinite(yspc) || xspc < 0 || yspc < 0 || xspc > 100 || yspc > 100) {
      warn_code(ctx, kMsgIncorrectParameter);
      return;
    }
    s.style.xspc = xspc;
    s.style.yspc = yspc;
  });
}

void swgtit(const char* ctit) {
  with_state(R::swgtit, [&](Context&, WidgetState& s) {
    s.next_title = ctit ? ctit : "";
    to_open_main(s, [&](Widget& m) { m.label = s.next_title; });
  });
}

// Kinds of the widgets that follow: lists "SINGLE" or "MULTIPLE" selection, tables and text
// fields "EDIT" or "NOEDIT", progress bars with "VALUE" or "NOVALUE".
void swgtyp(const char* ctyp, const char* cwidg) {
  with_state(R::swgtyp, [&](Context& ctx, WidgetState& s) {
    int k = lookup_keyword(ctx, "LIST+TABL+TEXT+PBAR", 4, cwidg);
    if (!k) return;
    static const char* const kOpts[4] = {"SING+MULT", "EDIT+NOED", "EDIT+NOED", "VALU+NOVA"};
    int v = lookup_keyword(ctx, kOpts[k - 1], 2, ctyp);
    if (!v) return;
    bool first = v == 1;
    switch (k) {
      case 1: s.style.list_multi = !first; break;
      case 2: s.style.table_edit = first; break;
      case 3: s.style.text_edit = first; break;
      default: s.style.pbar_value = first; break;
    }
  });
}

void swgwin(int nx, int ny, int nw, int nh) {
  with_state(R::swgwin, [&](Context& ctx, WidgetState& s) {
    if (check_range(ctx, nx, 0, 100000) + check_range(ctx, ny, 0, 100000) +
        check_range(ctx, nw, 1, 100000) + check_range(ctx, nh, 1, 100000))
      return;
    int v[4] = {nx, ny, nw, nh};
    std::copy(v, v + 4, s.next_win);
    to_open_main(s, [&](Widget& m) { std::copy(v, v + 4, &m.win_x); });
  });
}

// Width of the widgets that follow: > 0 characters, < 0 pixels, 0 their natural width.
void swgwth(int nwth) {
  with_state(R::swgwth, [&](Context& ctx, WidgetState& s) {
    if (check_range(ctx, nwth, -100000, 1000)) return;
    s.style.width = nwth;
  });
}

void swgdrw(double xfac) {
  with_state(R::swgdrw, [&](Context& ctx, WidgetState& s) {
    if (!std::isfinite(xfac) || xfac <= 0 || xfac > 100) {
      warn_code(ctx, kMsgIncorrectParameter);
      return;
    }
    s.style.draw_factor = xfac;
  });
}

// ------------------------------------------------------------------------------------------
// Callbacks

namespace {
void set_callback(R r, int id, int kind, void* fn, void* obj) {
  with_state(r, [&](Context& ctx, WidgetState& s) {
    Widget* w = find_widget(ctx, s, id);
    if (!w || !fn) return;
    w->cb = WCallback{kind, fn, obj};   // the newest registration of a widget wins
  });
}
}  // namespace

void swgcbk(int id, WidgetCallback func) { set_callback(R::swgcbk, id, 1, reinterpret_cast<void*>(func), nullptr); }
void swgcb2(int id, Widget2Callback func) { set_callback(R::swgcb2, id, 2, reinterpret_cast<void*>(func), nullptr); }
void swgcb3(int id, Widget3Callback func) { set_callback(R::swgcb3, id, 3, reinterpret_cast<void*>(func), nullptr); }
void swgcb(int id, WidgetObjCallback func, void* obj) {
  set_callback(R::swgcb, id, 4, reinterpret_cast<void*>(func), obj);
}

// The window hook: (id, x, y, width, height) of a main window or a draw widget when it
// appears on the screen and, with "SIZE", whenever its size changes ("NOSIZE": only then).
void wincbk(WindowCallback func, const char* copt) {
  with_state(R::wincbk, [&](Context& ctx, WidgetState& s) {
    int k = lookup_keyword(ctx, "SIZE+NOSI", 2, copt);
    if (!k) return;
    s.window_cb = func;
    s.window_cb_size = k == 1;
  });
}

// ------------------------------------------------------------------------------------------
// Showing and the event loop

void wgfin() {
  Context* ctx = enter(R::wgfin);
  if (!ctx) return;
  WidgetState& s = widget_state(*ctx);
  std::shared_ptr<void> keep = ctx->widgets;   // a callback may delete the record (delglb)
  Lock lk(s.mu);
  Widget* m = open_main(s);
  if (!m) {
    widget_warn(*ctx, kMsgNoWgini, "No call to wgini before");
    return;
  }
  const int id = m->id;
  if (s.send_ok.exchange(false)) {
    m->end = kEndSend;
  } else if (!view_connect(s)) {
    widget_warn(*ctx, kMsgNoDisplay, "No X display: the widgets cannot be shown");
    m->end = kEndClose;
  } else if (view_show(*ctx, s, *m)) {
    ++s.loop_depth;
    view_loop(s, id, lk, true);
    --s.loop_depth;
  }
  if ((m = s.get(id)) != nullptr) {
    if (m->shown) view_close(s, *m);
    m->finished = true;
  }
}

void reawgt() {
  Context* ctx = enter(R::reawgt);
  if (!ctx) return;
  WidgetState& s = widget_state(*ctx);
  std::shared_ptr<void> keep = ctx->widgets;   // a callback may delete the record (delglb)
  Lock lk(s.mu);
  Widget* m = open_main(s);
  if (!m) {
    widget_warn(*ctx, kMsgNoWgini, "No call to wgini before");
    return;
  }
  if (!view_connect(s)) {
    widget_warn(*ctx, kMsgNoDisplay, "No X display: the widgets cannot be shown");
    return;
  }
  if (!m->shown && !view_show(*ctx, s, *m)) return;
  view_loop(s, m->id, lk, false);
}

// Ends the innermost running event loop as if OK was pressed; before wgfin, the next wgfin
// returns at once. Safe from another thread.
void sendok() {
  Context* ctx = enter(R::sendok);
  if (!ctx) return;
  widget_state(*ctx).send_ok = true;
}

int gwggui() {
  Context* ctx = enter(R::gwggui);
  if (!ctx) return 0;
  WidgetState& s = widget_state(*ctx);
  Lock lk(s.mu);
  return view_connect(s) ? 1 : 0;
}

}  // namespace tavero
