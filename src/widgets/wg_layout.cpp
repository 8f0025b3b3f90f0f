#include "widgets/wg_layout.h"

#include <algorithm>
#include <cmath>

namespace tavero {

namespace {

struct Size {
  int w = 0, h = 0;
};

int lines_width(const std::string& text, const WMetrics& m, int& nlines) {
  int best = 0;
  nlines = 0;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    best = std::max(best, m.text(line));
    ++nlines;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return best;
}

int fixed_width(const Widget& w, const WMetrics& m) {
  if (w.style.width > 0) return w.style.width * m.cw;
  if (w.style.width < 0) return -w.style.width;
  return 0;
}

int margin(const Widget& w, int side) {
  int v = w.style.margin[side];
  if (v >= 0) return v;
  return w.kind == WKind::Main ? 8 : 0;   // nested bases sit flush unless swgmrg says otherwise
}

int gap_x(const Widget& w, const WMetrics& m) {
  return std::max(0, static_cast<int>(std::lround(w.style.xspc * m.cw)));
}
int gap_y(const Widget& w, const WMetrics& m) {
  return std::max(0, static_cast<int>(std::lround(w.style.yspc * m.lh())));
}

class Layout {
 public:
  Layout(WidgetState& s, const MetricsFor& mf) : s_(s), mf_(mf) {}

  Size natural(Widget& w) {
    WMetrics m = mf_(w.style);
    if (is_container(w.kind)) return natural_base(w, m);
    Size z = natural_leaf(w, m);
    int fw = fixed_width(w, m);
    if (fw > 0 && w.kind != WKind::Sep) {
      z.w = fw;
      if (w.kind == WKind::Draw) z.h = draw_height(w, fw);
    }
    return z;
  }

  // Places w at (x, y) with the given width; returns its height.
  int place(Widget& w, int x, int y, int width, int parent_layout) {
    WMetrics m = mf_(w.style);
    w.x = x;
    w.y = y;
    w.w = std::max(1, width);
    if (is_container(w.kind)) {
      w.h = place_children(w, m, w.w);
      return w.h;
    }
    Size z = natural(w);
    if (w.kind == WKind::Draw) z.h = draw_height(w, w.w);
    if (w.kind == WKind::Sep && parent_layout == 1) z.h = 1;
    w.h = std::max(1, z.h);
    return w.h;
  }

  // Lays out the children inside w of the given width; returns w's height.
  int place_children(Widget& w, const WMetrics& m, int width) {
    const int ml = margin(w, 0), mr = margin(w, 1), mt = margin(w, 2), mb = margin(w, 3);
    const int gx = gap_x(w, m), gy = gap_y(w, m);
    std::vector<Widget*> kids = visible_children(w);
    int top = mt;
    if (w.kind == WKind::Main && has_menu_bar(s_, w)) top += menu_bar_height(mf_(w.style));
    if (kids.empty()) return top + mb;
    if (w.layout == 1) {
      std::vector<int> widths;
      int total = 0;
      for (Widget* k : kids) {
        widths.push_back(natural(*k).w);
        total += widths.back();
      }
      total += gx * static_cast<int>(kids.size() - 1);
      int extra = std::max(0, width - ml - mr - total);
      int x = ml, tallest = 0;
      for (size_t i = 0; i < kids.size(); ++i) {
        int share = extra / static_cast<int>(kids.size()) + (static_cast<int>(i) < extra % static_cast<int>(kids.size()) ? 1 : 0);
        tallest = std::max(tallest, place(*kids[i], x, top, widths[i] + share, 1));
        x += widths[i] + share + gx;
      }
      for (Widget* k : kids)   // separators run over the full row
        if (k->kind == WKind::Sep) k->h = tallest;
      return top + tallest + mb;
    }
    if (w.layout == 2) {
      int bottom = top, y = top;
      for (Widget* k : kids) {
        Size z = natural(*k);
        int kw = k->style.size_w > 0 ? k->style.size_w : z.w;
        int kx = k->style.pos_x >= 0 ? ml + k->style.pos_x : ml;
        int ky = k->style.pos_y >= 0 ? top + k->style.pos_y : y;
        int kh = place(*k, kx, ky, kw, 2);
        if (k->style.size_h > 0 && !is_container(k->kind)) kh = k->h = k->style.size_h;
        y = ky + kh + gy;
        bottom = std::max(bottom, ky + kh);
      }
      return bottom + mb;
    }
    int inner = std::max(1, width - ml - mr);
    int y = top;
    for (Widget* k : kids) y += place(*k, ml, y, inner, 0) + gy;
    return y - gy + mb;
  }

 private:
  std::vector<Widget*> visible_children(Widget& w) {
    std::vector<Widget*> out;
    for (int id : w.children) {
      Widget* k = s_.get(id);
      if (k && k->visible && k->kind != WKind::Popup && k->kind != WKind::Entry) out.push_back(k);
    }
    return out;
  }

  Size natural_base(Widget& w, const WMetrics& m) {
    const int ml = margin(w, 0), mr = margin(w, 1), mt = margin(w, 2), mb = margin(w, 3);
    const int gx = gap_x(w, m), gy = gap_y(w, m);
    std::vector<Widget*> kids = visible_children(w);
    Size z;
    int top = mt;
    if (w.kind == WKind::Main && has_menu_bar(s_, w)) {
      top += menu_bar_height(m);
      z.w = menu_width(w, m);
    }
    if (w.layout == 1) {
      int x = 0, hh = 0;
      for (Widget* k : kids) {
        Size c = natural(*k);
        x += c.w + gx;
        hh = std::max(hh, c.h);
      }
      if (!kids.empty()) x -= gx;
      z.w = std::max(z.w, x + ml + mr);
      z.h = top + hh + mb;
    } else if (w.layout == 2) {
      int right = 0, bottom = 0, y = 0;
      for (Widget* k : kids) {
        Size c = natural(*k);
        int kw = k->style.size_w > 0 ? k->style.size_w : c.w;
        int kh = k->style.size_h > 0 ? k->style.size_h : c.h;
        int kx = std::max(0, k->style.pos_x), ky = k->style.pos_y >= 0 ? k->style.pos_y : y;
        right = std::max(right, kx + kw);
        bottom = std::max(bottom, ky + kh);
        y = ky + kh + gy;
      }
      z.w = std::max(z.w, right + ml + mr);
      z.h = top + bottom + mb;
    } else {
      int y = 0, ww = 0;
      for (Widget* k : kids) {
        Size c = natural(*k);
        ww = std::max(ww, c.w);
        y += c.h + gy;
      }
      if (!kids.empty()) y -= gy;
      z.w = std::max(z.w, ww + ml + mr);
      z.h = top + y + mb;
    }
    if (w.kind == WKind::Base) {
      int fw = fixed_width(w, m);
      if (fw > 0) z.w = fw;
    }
    z.w = std::max(z.w, 1);
    z.h = std::max(z.h, 1);
    return z;
  }

  int menu_width(const Widget& main, const WMetrics& m) {
    int x = kPad;
    for (int id : main.children) {
      const Widget* k = s_.get(id);
      if (k && k->kind == WKind::Popup) x += (k->img_w > 0 ? k->img_w : m.text(k->label)) + 3 * kPad;
    }
    if (main.pop_ok || main.pop_quit) x += m.text("File") + 3 * kPad;
    if (main.pop_help && !main.help.empty()) x += m.text("Help") + 3 * kPad;
    return x;
  }

  static int draw_height(const Widget& w, int width) {
    double f = w.style.draw_factor > 0 ? w.style.draw_factor : 0.7;
    return std::max(1, static_cast<int>(std::lround(f * width)));
  }

  Size natural_leaf(Widget& w, const WMetrics& m) {
    const int lh = m.lh();
    int n = 0;
    switch (w.kind) {
      case WKind::Label: {
        int tw = lines_width(w.label, m, n);
        return {tw + 2 * kPad, n * lh + 4};
      }
      case WKind::Text:
        return {20 * m.cw + 2 * kPad + 4, field_height(m)};
      case WKind::LText:
        return {label_part(w, m) + 20 * m.cw + 2 * kPad + 4, field_height(m)};
      case WKind::File:
        return {label_part(w, m) + 24 * m.cw + m.text("...") + 4 * kPad + 4, field_height(m)};
      case WKind::SText:
        return {40 * m.cw + 2 * kPad + kScrollBar, visible_rows(w) * lh + 2 * kPad};
      case WKind::Check:
        return {m.ascent + 4 + m.text(w.label) + 3 * kPad, lh + 8};
      case WKind::Push: case WKind::Ok: case WKind::Quit: case WKind::Cmd:
        return {std::max(m.text(w.label) + 6 * kPad, 8 * m.cw), lh + 12};
      case WKind::PImage:
      case WKind::Image: {
        int tw = w.label.empty() ? 0 : m.text(w.label) + kPad;
        int extra = w.kind == WKind::PImage ? 4 * kPad : 0;
        return {w.img_w + tw + extra, std::max(w.img_h, lh) + extra};
      }
      case WKind::Box: {
        int tw = 0;
        for (const std::string& it : w.items) tw = std::max(tw, m.text(it));
        return {tw + m.ascent + 4 + 3 * kPad, static_cast<int>(w.items.size()) * row_height(m) + 4};
      }
      case WKind::List: {
        int tw = 0;
        for (const std::string& it : w.items) tw = std::max(tw, m.text(it));
        int rows = visible_rows(w);
        int sb = static_cast<int>(w.items.size()) > rows ? kScrollBar : 0;
        return {std::max(tw + 2 * kPad + 4, 12 * m.cw) + sb, rows * row_height(m) + 4};
      }
      case WKind::DList: {
        int tw = 0;
        for (const std::string& it : w.items) tw = std::max(tw, m.text(it));
        return {std::max(tw, 6 * m.cw) + 2 * kPad + lh + 8, field_height(m)};
      }
      case WKind::Scale:
        return {20 * m.cw, lh + 4 + 20};
      case WKind::PBar:
        return {20 * m.cw, lh + 8};
      case WKind::Table: {
        int rows = visible_rows(w);
        int sb = w.rows > rows ? kScrollBar : 0;
        return {table_head_width(w, m) + w.cols * table_col_width(w, m, false) + sb + 2,
                (rows + 1) * table_row_height(m) + 2};
      }
      case WKind::Draw:
        return {400, draw_height(w, 400)};
      case WKind::Sep:
        return {6, 6};
      default:
        return {1, 1};
    }
  }

  WidgetState& s_;
  const MetricsFor& mf_;
};

}  // namespace

bool has_menu_bar(const WidgetState& s, const Widget& main) {
  if (main.pop_ok || main.pop_quit || (main.pop_help && !main.help.empty())) return true;
  for (int id : main.children) {
    const Widget* k = id >= 1 && id <= static_cast<int>(s.widgets.size()) ? s.widgets[id - 1].get() : nullptr;
    if (k && k->kind == WKind::Popup) return true;
  }
  return false;
}

int visible_rows(const Widget& w) {
  switch (w.kind) {
    case WKind::List:
      return w.lines > 0 ? w.lines : std::clamp(static_cast<int>(w.items.size()), 1, 8);
    case WKind::Table:
      return std::clamp(w.lines > 0 ? std::min(w.lines, w.rows) : std::min(w.rows, 10), 1, 1 << 20);
    default:
      return std::max(1, w.lines);
  }
}

int label_part(const Widget& w, const WMetrics& m) {
  return w.label.empty() ? 0 : m.text(w.label) + 2 * kPad;
}

int table_head_width(const Widget& w, const WMetrics& m) {
  int best = m.text(std::to_string(w.rows));
  for (const std::string& h : w.row_head)
    if (!h.empty()) best = std::max(best, m.text(h));
  return std::max(best, 2 * m.cw) + 2 * kPad;
}

int table_col_width(const Widget& w, const WMetrics& m, bool stretched) {
  int fw = fixed_width(w, m);
  if (stretched && w.w > 0) fw = w.w;
  const int sb = w.rows > visible_rows(w) ? kScrollBar : 0;
  int best = 10 * m.cw;
  for (const std::string& h : w.col_head) best = std::max(best, m.text(h) + 2 * kPad);
  if (fw > 0 && w.cols > 0) {
    int fit = (fw - table_head_width(w, m) - sb - 2) / w.cols;
    return stretched ? std::max(best, fit) : std::max(2 * m.cw, fit);
  }
  return best;
}

void layout_main(WidgetState& s, Widget& main, const MetricsFor& metrics, int avail_w, int avail_h) {
  Layout lay(s, metrics);
  Size nat = lay.natural(main);
  int width = std::max(nat.w, avail_w);
  main.x = 0;
  main.y = 0;
  main.w = width;
  main.h = std::max(lay.place_children(main, metrics(main.style), width), avail_h);
}

}  // namespace tavero
