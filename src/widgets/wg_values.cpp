// Values of single widgets: the setters and getters that take a widget id, and the cells of
// tables. Changes made here never fire callbacks; callbacks answer the user only.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "core/strutil.h"
#include "tavero_api.h"
#include "widgets/wg_view.h"
#include "widgets/widgets.h"

namespace tavero {

using Lock = std::unique_lock<std::recursive_mutex>;

namespace {

// Runs f on widget id when it is one of the kinds (all kinds when the list is empty).
template <typename F>
void with_widget(R r, int id, std::initializer_list<WKind> kinds, F f) {
  Context* ctx = enter(r);
  if (!ctx) return;
  WidgetState& s = widget_state(*ctx);
  Lock lk(s.mu);
  Widget* w = kinds.size() ? find_kind(*ctx, s, id, kinds) : find_widget(*ctx, s, id);
  if (!w) return;
  try {
    f(*ctx, s, *w);
  } catch (const std::bad_alloc&) {
    warn_code(*ctx, kMsgNoMemory);
  }
}

template <typename T, typename F>
T get_widget(R r, int id, std::initializer_list<WKind> kinds, T fallback, F f) {
  T out = fallback;
  with_widget(r, id, kinds, [&](Context& ctx, WidgetState& s, Widget& w) { out = f(ctx, s, w); });
  return out;
}

void relayout(WidgetState& s, Widget& w) {
  Widget* m = s.get(w.main);
  if (m && m->shown && !m->finished) view_relayout(s, *m);
}

bool has_label(WKind k) {
  return k != WKind::Text && k != WKind::SText && k != WKind::List && k != WKind::DList &&
         k != WKind::Box && k != WKind::PBar && k != WKind::Table && k != WKind::Draw &&
         k != WKind::Sep && k != WKind::Base;
}

// Keeps the newest lines of a scrolled text and shows its end.
void trim_lines(Widget& w) {
  int n = static_cast<int>(std::count(w.text.begin(), w.text.end(), '\n')) + 1;
  if (w.max_lines > 0) {
    while (n > w.max_lines) {
      size_t p = w.text.find('\n');
      if (p == std::string::npos) break;
      w.text.erase(0, p + 1);
      --n;
    }
  }
  w.top_row = std::max(0, n - visible_rows(w));
}

void set_value(Context& ctx, Widget& w, double v, bool clamp) {
  if (!std::isfinite(v)) {
    warn_code(ctx, kMsgIncorrectParameter);
    return;
  }
  const double lo = std::min(w.xmin, w.xmax), hi = std::max(w.xmin, w.xmax);
  if (!clamp && (v < lo || v > hi)) {
    warn_code(ctx, kMsgIncorrectParameter);
    return;
  }
  w.xval = std::clamp(v, lo, hi);
}

// Selection of a list-like widget: 0 allowed for lists (nothing selected).
bool set_selection(Context& ctx, Widget& w, int ival) {
  const int lo = w.kind == WKind::List ? 0 : 1;
  if (check_range(ctx, ival, lo, static_cast<int>(w.items.size()))) return false;
  w.sel = ival;
  if (w.kind == WKind::List) {
    w.marked.assign(w.items.size(), 0);
    if (ival >= 1) w.marked[ival - 1] = 1;
    int rows = visible_rows(w);
    if (ival >= 1 && (ival - 1 < w.top_row || ival - 1 >= w.top_row + rows)) w.top_row = std::max(0, ival - rows);
  }
  return true;
}

uint32_t widget_colour(double r, double g, double b) {
  auto c = [](double v) { return static_cast<uint32_t>(std::lround(v * 255.0)); };
  return (c(r) << 16) | (c(g) << 8) | c(b);
}

bool unit(double v) { return std::isfinite(v) && v >= 0 && v <= 1; }

bool field_kind(WKind k) {
  return k == WKind::Text || k == WKind::LText || k == WKind::File || k == WKind::SText ||
         k == WKind::List || k == WKind::Table;
}

int copy_out(char* dst, const std::string& src, int n) {
  if (!dst) return 0;
  return copy_bounded(dst, src.c_str(), n);
}

}  // namespace

// ------------------------------------------------------------------------------------------
// Attributes

// "STATUS" ("ACTIVE"/"INACTIVE", also "ON"/"OFF"), "VISIBLE" ("ON"/"OFF"), "LIST" (new
// items of a list, drop-down list or box), "LABEL" (new label), "APPEND" (a line added to a
// scrolled text).
void swgatt(int id, const char* cval, const char* copt) {
  with_widget(R::swgatt, id, {}, [&](Context& ctx, WidgetState& s, Widget& w) {
    int k = lookup_keyword(ctx, "STAT+VISI+LIST+LABE+APPE", 5, copt);
    const std::string v = cval ? cval : "";
    switch (k) {
      case 1: {
        int a = lookup_keyword(ctx, "ACTI+INAC+ON  +OFF ", 4, cval);
        if (!a) return;
        w.active = a == 1 || a == 3;
        view_refresh(s, w);
        return;
      }
      case 2: {
        int a = lookup_keyword(ctx, "ON  +OFF ", 2, cval);
        if (!a) return;
        w.visible = a == 1;
        view_visibility(s, w);
        relayout(s, w);
        return;
      }
      case 3: {
        if (w.kind != WKind::List && w.kind != WKind::DList && w.kind != WKind::Box) break;
        w.items = split_items(v.c_str(), s.sep);
        const int n = static_cast<int>(w.items.size());
        const int lo = w.kind == WKind::List ? 0 : 1;
        if (w.sel > n || w.sel < lo) w.sel = n > 0 ? lo : 0;
        w.marked.assign(w.items.size(), 0);
        if (w.sel >= 1) w.marked[w.sel - 1] = 1;
        w.top_row = 0;
        relayout(s, w);
        view_refresh(s, w);
        return;
      }
      case 4:
        if (!has_label(w.kind)) break;
        w.label = v;
        relayout(s, w);
        view_refresh(s, w);
        return;
      case 5:
        if (w.kind != WKind::SText) break;
        if (!w.text.empty()) w.text += '\n';
        w.text += v;
        trim_lines(w);
        view_refresh(s, w);
        return;
      default:
        return;
    }
    widget_warn(ctx, kMsgWrongWidget, "Widget " + std::to_string(id) + " is of the wrong type for this routine");
  });
}

// "STATUS" and "VISIBLE" (1 or 0), "NLIST" (items of a list), "EXIT" (how the event loop of
// a main window ended: 0 running, 1 OK, 2 quit, 3 window closed, 4 sendok).
int gwgatt(int id, const char* copt) {
  return get_widget<int>(R::gwgatt, id, {}, 0, [&](Context& ctx, WidgetState&, Widget& w) {
    switch (lookup_keyword(ctx, "STAT+VISI+NLIS+EXIT", 4, copt)) {
      case 1: return w.active ? 1 : 0;
      case 2: return w.visible ? 1 : 0;
      case 3: return static_cast<int>(w.items.size());
      case 4: return w.kind == WKind::Main ? w.end : 0;
      default: return 0;
    }
  });
}

void swgbgd(int id, double xr, double xg, double xb) {
  with_widget(R::swgbgd, id, {}, [&](Context& ctx, WidgetState& s, Widget& w) {
    if (!unit(xr) || !unit(xg) || !unit(xb)) {
      warn_code(ctx, kMsgIncorrectParameter);
      return;
    }
    (field_kind(w.kind) ? w.style.lback : w.style.back) = widget_colour(xr, xg, xb);
    view_refresh(s, w);
  });
}

void swgfgd(int id, double xr, double xg, double xb) {
  with_widget(R::swgfgd, id, {}, [&](Context& ctx, WidgetState& s, Widget& w) {
    if (!unit(xr) || !unit(xg) || !unit(xb)) {
      warn_code(ctx, kMsgIncorrectParameter);
      return;
    }
    (field_kind(w.kind) ? w.style.lfore : w.style.fore) = widget_colour(xr, xg, xb);
    view_refresh(s, w);
  });
}

void swgfoc(int id) {
  with_widget(R::swgfoc, id, {}, [&](Context&, WidgetState& s, Widget& w) { view_focus(s, w); });
}

// First visible row (ny, 1-based) of a list, scrolled text or table, and first visible
// column (nx) of a table.
void swgoff(int id, int nx, int ny) {
  with_widget(R::swgoff, id, {WKind::List, WKind::SText, WKind::Table},
              [&](Context& ctx, WidgetState& s, Widget& w) {
                if (check_range(ctx, nx, 0, -1) + check_range(ctx, ny, 1, -1)) return;
                w.top_row = ny - 1;
                if (w.kind == WKind::Table) w.left_col = std::max(0, std::min(nx, w.cols) - 1);
                view_refresh(s, w);
              });
}

// "VISLINES": visible rows of a list, scrolled text or table; "MAXLINES": lines kept by a
// scrolled text (0: all); "DIGITS": decimals of a scale.
void swgiop(int id, int ival, const char* copt) {
  with_widget(R::swgiop, id, {}, [&](Context& ctx, WidgetState& s, Widget& w) {
    int k = lookup_keyword(ctx, "VISL+MAXL+DIGI", 3, copt);
    if (!k) return;
    bool ok = (k == 1 && (w.kind == WKind::List || w.kind == WKind::SText || w.kind == WKind::Table)) ||
              (k == 2 && w.kind == WKind::SText) || (k == 3 && w.kind == WKind::Scale);
    if (!ok) {
      widget_warn(ctx, kMsgWrongWidget, "Widget " + std::to_string(id) + " is of the wrong type for this routine");
      return;
    }
    if (check_range(ctx, ival, k == 1 ? 1 : 0, k == 3 ? 15 : 100000)) return;
    if (k == 1) w.lines = ival;
    if (k == 2) {
      w.max_lines = ival;
      trim_lines(w);
    }
    if (k == 3) w.digits = ival;
    relayout(s, w);
    view_refresh(s, w);
  });
}

// ------------------------------------------------------------------------------------------
// Values

void swgbox(int id, int ival) {
  with_widget(R::swgbox, id, {WKind::Box}, [&](Context& ctx, WidgetState& s, Widget& w) {
    if (set_selection(ctx, w, ival)) view_refresh(s, w);
  });
}

void swgbut(int id, int ival) {
  with_widget(R::swgbut, id, {WKind::Check}, [&](Context& ctx, WidgetState& s, Widget& w) {
    if (check_range(ctx, ival, 0, 1)) return;
    w.sel = ival;
    view_refresh(s, w);
  });
}

void swglis(int id, int ival) {
  with_widget(R::swglis, id, {WKind::List, WKind::DList}, [&](Context& ctx, WidgetState& s, Widget& w) {
    if (set_selection(ctx, w, ival)) view_refresh(s, w);
  });
}

void swgint(int id, int ival) {
  with_widget(R::swgint, id, {WKind::Text, WKind::LText, WKind::Scale, WKind::PBar},
              [&](Context& ctx, WidgetState& s, Widget& w) {
                if (w.kind == WKind::Scale || w.kind == WKind::PBar)
                  set_value(ctx, w, ival, w.kind == WKind::PBar);
                else
                  w.text = std::to_string(ival);
                view_refresh(s, w);
              });
}

void swgflt(int id, double xval, int ndig) {
  with_widget(R::swgflt, id, {WKind::Text, WKind::LText, WKind::Scale, WKind::PBar},
              [&](Context& ctx, WidgetState& s, Widget& w) {
                if (check_range(ctx, ndig, -1, 15)) return;
                if (w.kind == WKind::Scale || w.kind == WKind::PBar)
                  set_value(ctx, w, xval, w.kind == WKind::PBar);
                else
                  w.text = number_text(xval, ndig);
                view_refresh(s, w);
              });
}

void swgscl(int id, double xval) {
  with_widget(R::swgscl, id, {WKind::Scale}, [&](Context& ctx, WidgetState& s, Widget& w) {
    set_value(ctx, w, xval, false);
    view_refresh(s, w);
  });
}

void swgstp(int id, double xstp) {
  with_widget(R::swgstp, id, {WKind::Scale, WKind::PBar}, [&](Context& ctx, WidgetState& s, Widget& w) {
    if (!std::isfinite(xstp) || xstp < 0 || (w.kind == WKind::Scale && xstp == 0)) {
      warn_code(ctx, kMsgIncorrectParameter);
      return;
    }
    w.step = xstp;
    view_refresh(s, w);
  });
}

// Progress bars (and scales) take values beyond their range as the nearest end.
void swgval(int id, double xval) {
  with_widget(R::swgval, id, {WKind::PBar, WKind::Scale}, [&](Context& ctx, WidgetState& s, Widget& w) {
    set_value(ctx, w, xval, true);
    view_refresh(s, w);
  });
}

void swgtxt(int id, const char* cval) {
  with_widget(R::swgtxt, id, {}, [&](Context& ctx, WidgetState& s, Widget& w) {
    std::string v = cval ? cval : "";
    switch (w.kind) {
      case WKind::Text: case WKind::LText: case WKind::File:
        w.text = v;
        break;
      case WKind::SText:
        w.text = v;
        trim_lines(w);
        break;
      default:
        if (!has_label(w.kind)) {
          widget_warn(ctx, kMsgWrongWidget, "Widget " + std::to_string(id) + " is of the wrong type for this routine");
          return;
        }
        w.label = v;
        relayout(s, w);
    }
    view_refresh(s, w);
  });
}

void swgfil(int id, const char* cval) {
  with_widget(R::swgfil, id, {WKind::File}, [&](Context&, WidgetState& s, Widget& w) {
    w.text = cval ? cval : "";
    view_refresh(s, w);
  });
}

// "SCALE": the only values a scale takes (sorted); "LIST": selection flags of a list with
// multiple selection (nonzero selects).
void swgray(int id, const double* xray, int n, const char* copt) {
  with_widget(R::swgray, id, {WKind::Scale, WKind::List}, [&](Context& ctx, WidgetState& s, Widget& w) {
    int k = lookup_keyword(ctx, "SCAL+LIST", 2, copt);
    if (!k) return;
    if (k == 1) {
      if (w.kind != WKind::Scale) {
        widget_warn(ctx, kMsgWrongWidget, "Widget " + std::to_string(id) + " is of the wrong type for this routine");
        return;
      }
      if (check_range(ctx, n, 2, 10000)) return;
      std::vector<double> v(xray, xray + n);
      if (!std::all_of(v.begin(), v.end(), [](double x) { return std::isfinite(x); })) {
        warn_code(ctx, kMsgIncorrectParameter);
        return;
      }
      std::sort(v.begin(), v.end());
      v.erase(std::unique(v.begin(), v.end()), v.end());
      if (v.size() < 2) {
        warn_code(ctx, kMsgIncorrectParameter);
        return;
      }
      w.stops = v;
      w.xmin = v.front();
      w.xmax = v.back();
      double best = v.front();
      for (double x : v)
        if (std::fabs(x - w.xval) < std::fabs(best - w.xval)) best = x;
      w.xval = best;
    } else {
      if (w.kind != WKind::List) {
        widget_warn(ctx, kMsgWrongWidget, "Widget " + std::to_string(id) + " is of the wrong type for this routine");
        return;
      }
      if (check_range(ctx, n, 1, static_cast<int>(w.items.size()))) return;
      w.marked.assign(w.items.size(), 0);
      w.sel = 0;
      for (int i = 0; i < n; ++i) {
        if (xray[i] == 0) continue;
        if (!w.style.list_multi && w.sel) continue;   // one item in a single-selection list
        w.marked[i] = 1;
        if (!w.sel) w.sel = i + 1;
      }
    }
    view_refresh(s, w);
  });
}

// ------------------------------------------------------------------------------------------
// Getters

int gwgbox(int id) {
  return get_widget<int>(R::gwgbox, id, {WKind::Box}, 0, [](Context&, WidgetState&, Widget& w) { return w.sel; });
}

int gwgbut(int id) {
  return get_widget<int>(R::gwgbut, id, {WKind::Check}, 0, [](Context&, WidgetState&, Widget& w) { return w.sel; });
}

int gwglis(int id) {
  return get_widget<int>(R::gwglis, id, {WKind::List, WKind::DList}, 0,
                         [](Context&, WidgetState&, Widget& w) { return w.sel; });
}

namespace {
// The number in a text field; 0 after warning 208 when the text is none.
double text_number(Context& ctx, const Widget& w) {
  double v = 0;
  if (!parse_number(w.text, v)) {
    widget_warn(ctx, kMsgNotNumber, "Text of widget " + std::to_string(w.id) + " is not a number");
    return 0;
  }
  return v;
}
}  // namespace

int gwgint(int id) {
  return get_widget<int>(R::gwgint, id,
                         {WKind::Text, WKind::LText, WKind::Scale, WKind::PBar, WKind::List,
                          WKind::DList, WKind::Box, WKind::Check},
                         0, [](Context& ctx, WidgetState&, Widget& w) {
                           if (w.kind != WKind::Text && w.kind != WKind::LText) return int_value(w);
                           double v = text_number(ctx, w);
                           return static_cast<int>(std::lround(std::clamp(v, -2147483648.0, 2147483647.0)));
                         });
}

double gwgflt(int id) {
  return get_widget<double>(R::gwgflt, id, {WKind::Text, WKind::LText, WKind::Scale, WKind::PBar}, 0.0,
                            [](Context& ctx, WidgetState&, Widget& w) {
                              return w.kind == WKind::Scale || w.kind == WKind::PBar ? w.xval : text_number(ctx, w);
                            });
}

double gwgscl(int id) {
  return get_widget<double>(R::gwgscl, id, {WKind::Scale, WKind::PBar}, 0.0,
                            [](Context&, WidgetState&, Widget& w) { return w.xval; });
}

// The text a widget shows: the text of fields, the selected items of lists and boxes
// (joined with the separator), the label of the others.
void gwgtxt(int id, char* cval) {
  if (cval) cval[0] = 0;
  with_widget(R::gwgtxt, id, {}, [&](Context&, WidgetState& s, Widget& w) {
    std::string out;
    switch (w.kind) {
      case WKind::Text: case WKind::LText: case WKind::File: case WKind::SText:
        out = w.text;
        break;
      case WKind::List: {
        std::vector<std::string> sel;
        for (size_t i = 0; i < w.items.size(); ++i)
          if (i < w.marked.size() && w.marked[i]) sel.push_back(w.items[i]);
        out = join_items(sel, s.sep);
        break;
      }
      case WKind::DList: case WKind::Box:
        if (w.sel >= 1 && w.sel <= static_cast<int>(w.items.size())) out = w.items[w.sel - 1];
        break;
      case WKind::Scale: case WKind::PBar:
        out = number_text(w.xval, w.kind == WKind::Scale ? w.digits : -1);
        break;
      default:
        out = w.label;
    }
    copy_out(cval, out, 1024);
  });
}

void gwgfil(int id, char* cfil) {
  if (cfil) cfil[0] = 0;
  with_widget(R::gwgfil, id, {WKind::File}, [&](Context&, WidgetState&, Widget& w) { copy_out(cfil, w.text, 256); });
}

void gwgsiz(int id, int* nw, int* nh) {
  *nw = *nh = 0;
  with_widget(R::gwgsiz, id, {}, [&](Context&, WidgetState& s, Widget& w) {
    Widget* m = s.get(w.main);
    if (m && !m->shown) {
      view_connect(s);   // the sizes of the fonts the dialog will show, when there is a display
      layout_main(s, *m, [&s](const WStyle& st) { return view_metrics(s, st); }, std::max(0, m->win_w),
                  std::max(0, m->win_h));
    }
    *nw = w.w;
    *nh = w.h;
  });
}

int gwgxid(int id) {
  Context* ctx = enter(R::gwgxid);
  if (!ctx) return 0;
  unsigned long xid = widget_window(*ctx, id);
  if (!xid && widget_state(*ctx).get(id) && !view_connect(widget_state(*ctx)))
    widget_warn(*ctx, kMsgNoDisplay, "No X display: the widgets cannot be shown");
  return static_cast<int>(xid);
}

// ------------------------------------------------------------------------------------------
// Tables: rows 1..nrows, columns 1..ncols; row 0 holds the column headers, column 0 the row
// headers.

namespace {

bool cell_ok(Context& ctx, const Widget& w, int irow, int icol, bool headers) {
  const int lo = headers ? 0 : 1;
  if (irow < lo || irow > w.rows || icol < lo || icol > w.cols || (irow == 0 && icol == 0)) {
    widget_warn(ctx, kMsgCell, "Table cell " + std::to_string(irow) + ", " + std::to_string(icol) + " is outside the table");
    return false;
  }
  return true;
}

WCell& cell(Widget& w, int irow, int icol) {
  return w.cells[static_cast<size_t>(irow - 1) * w.cols + (icol - 1)];
}

void set_cell_text(Widget& w, int irow, int icol, const std::string& text) {
  if (irow == 0)
    w.col_head[icol - 1] = text;
  else if (icol == 0)
    w.row_head[irow - 1] = text;
  else
    cell(w, irow, icol).text = text;
}

// "#RRGGBB" or "RRGGBB".
bool parse_colour(const char* s, uint32_t& out) {
  if (!s) return false;
  if (*s == '#') ++s;
  if (std::strlen(s) != 6) return false;
  char* end = nullptr;
  unsigned long v = std::strtoul(s, &end, 16);
  if (*end) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

// Applies an attribute to one cell, or to a whole row or column when the other index is 0.
template <typename F>
void for_cells(Context& ctx, Widget& w, int irow, int icol, F f) {
  if (irow < 0 || irow > w.rows || icol < 0 || icol > w.cols) {
    cell_ok(ctx, w, irow, icol, true);
    return;
  }
  for (int r = irow ? irow : 1; r <= (irow ? irow : w.rows); ++r)
    for (int c = icol ? icol : 1; c <= (icol ? icol : w.cols); ++c) f(cell(w, r, c));
}

// copt "VALUE", "BACK", "FORE" or "EDIT"; text and number are the two forms of the value.
void table_set(R r, int id, int irow, int icol, const char* copt, const std::function<bool(Context&, int, std::string&, int&)>& value) {
  with_widget(r, id, {WKind::Table}, [&](Context& ctx, WidgetState& s, Widget& w) {
    int k = lookup_keyword(ctx, "VALU+BACK+FORE+EDIT", 4, copt);
    if (!k) return;
    std::string text;
    int num = 0;
    if (!value(ctx, k, text, num)) return;
    if (k == 1) {
      if (!cell_ok(ctx, w, irow, icol, true)) return;
      set_cell_text(w, irow, icol, text);
      if (irow == 0 || icol == 0) relayout(s, w);
    } else {
      for_cells(ctx, w, irow, icol, [&](WCell& c) {
        if (k == 2) c.back = static_cast<uint32_t>(num);
        if (k == 3) c.fore = static_cast<uint32_t>(num);
        if (k == 4) c.edit = num != 0;
      });
    }
    view_refresh(s, w);
  });
}

}  // namespace

void swgtbf(int id, double xval, int ndig, int irow, int icol, const char* copt) {
  table_set(R::swgtbf, id, irow, icol, copt, [&](Context& ctx, int k, std::string& text, int&) {
    if (k != 1 || check_range(ctx, ndig, -1, 15)) {
      if (k != 1) warn_string(ctx, kMsgIncorrectParameter, copt);
      return false;
    }
    text = number_text(xval, ndig);
    return true;
  });
}

// "BACK" and "FORE" take colours as 0xRRGGBB, "EDIT" 1 or 0.
void swgtbi(int id, int ival, int irow, int icol, const char* copt) {
  table_set(R::swgtbi, id, irow, icol, copt, [&](Context& ctx, int k, std::string& text, int& num) {
    if ((k == 2 || k == 3) && check_range(ctx, ival, 0, 0xFFFFFF)) return false;
    if (k == 4 && check_range(ctx, ival, 0, 1)) return false;
    text = std::to_string(ival);
    num = ival;
    return true;
  });
}

// "BACK" and "FORE" take colours as "#RRGGBB", "EDIT" "ON" or "OFF".
void swgtbs(int id, const char* cval, int irow, int icol, const char* copt) {
  table_set(R::swgtbs, id, irow, icol, copt, [&](Context& ctx, int k, std::string& text, int& num) {
    text = cval ? cval : "";
    if (k == 2 || k == 3) {
      uint32_t c;
      if (!parse_colour(cval, c)) {
        warn_string(ctx, kMsgIncorrectParameter, text.c_str());
        return false;
      }
      num = static_cast<int>(c);
    } else if (k == 4) {
      int v = lookup_keyword(ctx, "ON  +OFF ", 2, cval);
      if (!v) return false;
      num = v == 1;
    }
    return true;
  });
}

// n values into row idx ("ROW") or column idx ("COLUMN").
void swgtbl(int id, const double* xray, int n, int ndig, int idx, const char* copt) {
  with_widget(R::swgtbl, id, {WKind::Table}, [&](Context& ctx, WidgetState& s, Widget& w) {
    int k = lookup_keyword(ctx, "ROW +COLU", 2, copt);
    if (!k || check_range(ctx, ndig, -1, 15)) return;
    const int len = k == 1 ? w.cols : w.rows, lim = k == 1 ? w.rows : w.cols;
    if (check_range(ctx, idx, 1, lim) + check_range(ctx, n, 1, len)) return;
    for (int i = 0; i < n; ++i) {
      WCell& c = k == 1 ? cell(w, idx, i + 1) : cell(w, i + 1, idx);
      c.text = number_text(xray[i], ndig);
    }
    view_refresh(s, w);
  });
}

void gwgtbl(int id, double* xray, int n, int idx, const char* copt) {
  with_widget(R::gwgtbl, id, {WKind::Table}, [&](Context& ctx, WidgetState&, Widget& w) {
    int k = lookup_keyword(ctx, "ROW +COLU", 2, copt);
    if (!k) return;
    const int len = k == 1 ? w.cols : w.rows, lim = k == 1 ? w.rows : w.cols;
    if (check_range(ctx, idx, 1, lim) + check_range(ctx, n, 1, len)) return;
    int bad = 0;
    for (int i = 0; i < n; ++i) {
      const WCell& c = k == 1 ? cell(w, idx, i + 1) : cell(w, i + 1, idx);
      double v = 0;
      if (!c.text.empty() && !parse_number(c.text, v)) {
        v = 0;
        ++bad;
      }
      xray[i] = v;
    }
    if (bad)
      widget_warn(ctx, kMsgNotNumber, std::to_string(bad) + " cells of widget " + std::to_string(id) + " are not numbers");
  });
}

namespace {
double table_number(R r, int id, int irow, int icol) {
  return get_widget<double>(r, id, {WKind::Table}, 0.0, [&](Context& ctx, WidgetState&, Widget& w) {
    if (!cell_ok(ctx, w, irow, icol, false)) return 0.0;
    const std::string& t = cell(w, irow, icol).text;
    double v = 0;
    if (!t.empty() && !parse_number(t, v)) {
      widget_warn(ctx, kMsgNotNumber, "Table cell " + std::to_string(irow) + ", " + std::to_string(icol) + " is not a number");
      return 0.0;
    }
    return v;
  });
}
}  // namespace

double gwgtbf(int id, int irow, int icol) { return table_number(R::gwgtbf, id, irow, icol); }

int gwgtbi(int id, int irow, int icol) {
  double v = table_number(R::gwgtbi, id, irow, icol);
  return static_cast<int>(std::lround(std::clamp(v, -2147483648.0, 2147483647.0)));
}

void gwgtbs(int id, int irow, int icol, char* cval) {
  if (cval) cval[0] = 0;
  with_widget(R::gwgtbs, id, {WKind::Table}, [&](Context& ctx, WidgetState&, Widget& w) {
    if (!cell_ok(ctx, w, irow, icol, true)) return;
    const std::string& t = irow == 0 ? w.col_head[icol - 1] : icol == 0 ? w.row_head[irow - 1] : cell(w, irow, icol).text;
    copy_out(cval, t, 256);
  });
}

}  // namespace tavero
