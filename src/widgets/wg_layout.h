// Layout of a dialog: natural sizes from the font metrics, then positions top-down. The
// same code runs without a display (with estimated metrics), so sizes can be asked for
// before or without showing anything.
#pragma once
#include <functional>
#include <string>

#include "widgets/wg_model.h"

namespace tavero {

struct WMetrics {
  int ascent = 10, descent = 3, cw = 6;
  std::function<int(const std::string&)> width;   // pixel width of a text
  int lh() const { return ascent + descent; }
  int text(const std::string& s) const {
    return width ? width(s) : cw * static_cast<int>(s.size());
  }
};
using MetricsFor = std::function<WMetrics(const WStyle&)>;

// Fixed sizes shared by the layout and the view.
inline constexpr int kPad = 4;
inline constexpr int kScrollBar = 14;
inline int row_height(const WMetrics& m) { return m.lh() + 4; }
inline int field_height(const WMetrics& m) { return m.lh() + 10; }
inline int table_row_height(const WMetrics& m) { return m.lh() + 6; }
inline int menu_bar_height(const WMetrics& m) { return m.lh() + 8; }

bool has_menu_bar(const WidgetState& s, const Widget& main);
// Visible rows of a list, a scrolled text or a table.
int visible_rows(const Widget& w);
// Width of the label part of a labelled text or file widget.
int label_part(const Widget& w, const WMetrics& m);
// Width of the row header column of a table, and of one column (stretched: filling the
// width the layout gave the table).
int table_head_width(const Widget& w, const WMetrics& m);
int table_col_width(const Widget& w, const WMetrics& m, bool stretched = true);

// Lays out a main window whose inside is at least avail_w x avail_h pixels (0: natural);
// fills x, y, w, h of every widget below it and of the main widget itself (its window).
void layout_main(WidgetState& s, Widget& main, const MetricsFor& metrics, int avail_w,
                 int avail_h);

}  // namespace tavero
