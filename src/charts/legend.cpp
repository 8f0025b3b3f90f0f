// Legends: the caller's line buffer, the layout (columns, rows, spacing), the placement, and
// the drawing of background, frame, title, patterns and texts.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "axes/axes.h"
#include "charts/charts.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "core/strutil.h"
#include "draw/fill.h"
#include "draw/pipeline.h"
#include "tavero_api.h"
#include "text/text.h"

namespace tavero {

namespace {

// Codes of the legend's own messages (the text travels in the custom message).
constexpr int kMsgUndefinedLine = 185;
constexpr int kMsgUndefinedSelected = 186;

// The legend routines need legini first; those that read the lines also need the buffer
// that legini was given.
bool ready(Context& ctx, const char* cbuf, bool with_buffer) {
  const LegendState& lg = ctx.charts.legend;
  if (!lg.initialised || (with_buffer && (!cbuf || cbuf != lg.buffer))) {
    warn_code(ctx, 15);
    return false;
  }
  return true;
}

LegendState* legend_of(Context* ctx) {
  if (!ctx || !ready(*ctx, nullptr, false)) return nullptr;
  return &ctx->charts.legend;
}

// Text of line k (1-based) without its trailing blanks, split into rows at the LEG character
// when mixleg is on.
std::vector<std::string> line_rows(const Context& ctx, const char* buf, int k) {
  const LegendState& lg = ctx.charts.legend;
  const char* s = buf + static_cast<size_t>(k - 1) * lg.nmaxln;
  int len = lg.nmaxln;
  while (len > 0 && (s[len - 1] == ' ' || s[len - 1] == 0)) --len;
  for (int i = 0; i < len; ++i)
    if (s[i] == 0) {
      len = i;
      break;
    }
  std::vector<std::string> rows;
  std::string cur;
  for (int i = 0; i < len; ++i) {
    if (lg.mixed && s[i] == static_cast<char>(ctx.text.leg_ch)) {
      rows.push_back(cur.substr(0, kLegendLineLen));
      cur.clear();
    } else {
      cur += s[i];
    }
  }
  rows.push_back(cur.substr(0, kLegendLineLen));
  return rows;
}

// The pattern record of legend line k, or null when it has none.
const LegendRecord* record_of(const Context& ctx, int k) {
  const ChartState& c = ctx.charts;
  if (k < 1 || k > kLegendLines) return nullptr;
  if (c.legend.any_own) return c.legend.own_set[k - 1] ? &c.legend.own[k - 1] : nullptr;
  return k <= c.highest_record ? &c.records[k - 1] : nullptr;
}

struct Entry {
  int line = 0;
  std::vector<std::string> rows;
  double width = 0;
  int col = 0, row = 0;
};

struct Layout {
  std::vector<Entry> entries;
  int cols = 0, rows = 0;
  std::vector<double> colw;   // widest text per column
  std::vector<int> rowk;      // most text rows of a line per layout row
  double h = 0, L = 1.5, P = 0, M = 0, D = 0, S = 0, G = 0, symbol = 0;
  double inner = 0, title_w = 0, centre = 0;
  double width = 0, height = 0, title_h = 0;
  int frame = 0;
};

void measure(Context& ctx, const char* buf, Layout& lay) {
  const LegendState& lg = ctx.charts.legend;
  const double h = text_height(ctx), L = ctx.text.line_spacing;
  lay.h = h;
  lay.L = L;
  lay.P = spacing_value(lg.patt, h);
  lay.M = lg.marg >= 0 ? lg.marg * L * h : -lg.marg;
  lay.D = spacing_value(lg.dist, h);
  lay.S = spacing_value(lg.hspa, h);
  lay.G = lg.line >= 0 ? lg.line * L * h : -lg.line;
  lay.symbol = spacing_value(lg.symb, h);
  std::vector<int> lines;
  if (lg.nsel == 0) {
    for (int k = 1; k <= lg.nlin; ++k) lines.push_back(k);
  } else {
    for (int i = 0; i < lg.nsel; ++i)
      if (lg.sel[i] <= lg.nlin) lines.push_back(lg.sel[i]);
  }
  bool any_line = false;
  for (int k : lines) {
    const LegendRecord* r = record_of(ctx, k);
    if (r && (r->line_type >= 0 || r->pattern >= 0)) any_line = true;
  }
  if (!any_line) lay.P /= 2;  // symbols only
  const int n = static_cast<int>(lines.size());
  if (lg.type == 1) {
    lay.cols = n;
    lay.rows = n > 0 ? 1 : 0;
  } else if (lg.type == 2) {
    int nc = std::max(1, std::min(lg.table_cols, n));
    lay.rows = n > 0 ? (n + nc - 1) / nc : 0;
    lay.cols = lg.table_order == 0 && lay.rows > 0 ? (n + lay.rows - 1) / lay.rows : nc;
  } else {
    lay.cols = n > 0 ? 1 : 0;
    lay.rows = n;
  }
  lay.colw.assign(lay.cols, 0.0);
  lay.rowk.assign(lay.rows, 1);
  for (int i = 0; i < n; ++i) {
    Entry e;
    e.line = lines[i];
    e.rows = line_rows(ctx, buf, lines[i]);
    for (const std::string& s : e.rows) e.width = std::max(e.width, text_length(ctx, s.c_str()));
    if (lg.type == 2 && lg.table_order == 0) {
      e.col = i / lay.rows;
      e.row = i % lay.rows;
    } else if (lg.type == 2 || lg.type == 1) {
      e.col = i % lay.cols;
      e.row = i / lay.cols;
    } else {
      e.row = i;
    }
    lay.colw[e.col] = std::max(lay.colw[e.col], e.width);
    lay.rowk[e.row] = std::max(lay.rowk[e.row], static_cast<int>(e.rows.size()));
    lay.entries.push_back(std::move(e));
  }
  double sumw = 0;
  for (double w : lay.colw) sumw += w;
  lay.inner = (lay.cols > 0 ? (lay.cols - 1) * lay.S : 0) + sumw + (lay.P + lay.D) * lay.cols;
  lay.width = lay.inner + 2 * lay.M;
  lay.title_w = lg.title[0] ? text_length(ctx, lg.title) : 0;
  if (lay.title_w > lay.inner + 2 * lay.M) {
    lay.width = lay.title_w + 2 * lay.M;
    lay.centre = (lay.width - 2 * lay.M - lay.inner) / 2;
  }
  lay.title_h = lg.title[0] ? std::trunc(1.5 * L * h) : 0;
  lay.height = lay.title_h;
  for (int r = 0; r < lay.rows; ++r)
    lay.height += (lay.rowk[r] - 1) * lay.G + (r < lay.rows - 1 ? h * L : h);
  lay.height += 2 * lay.M;
  lay.frame = ctx.axes.frame > 0 ? ctx.axes.frame : 0;
  lay.width += 2 * lay.frame;
  lay.height += 2 * lay.frame;
}

inline int whole(double v) { return static_cast<int>(std::floor(v + 0.5)); }

// Upper left corner of the box (relative plot coordinates).
void place(Context& ctx, const Layout& lay, int ncor, double& x, double& y) {
  const LegendState& lg = ctx.charts.legend;
  if (lg.pos_fixed) {
    x = lg.pos_x;
    y = lg.pos_y;
    return;
  }
  const double d = lay.M, w = lay.width, hb = lay.height;
  // page edges in coordinates relative to the origin shift, so the box stays on the page
  const double pl = -ctx.core.origin_x, pt = -ctx.core.origin_y;
  const double pr = ctx.core.page_w - ctx.core.origin_x, pb = ctx.core.page_h - ctx.core.origin_y;
  const AxisScale& sx = ctx.axes.sc[0];
  const AxisScale& sy = ctx.axes.sc[1];
  const double al = sx.start, ar = sx.start + sx.len - 1;
  const double ab = sy.start, at = sy.start - sy.len + 1;
  switch (ncor) {
    case 1: x = pl + d; y = pb - d - hb + 2; break;
    case 2: x = pr - d - w + 2; y = pb - d - hb + 2; break;
    case 3: x = pr - d - w + 2; y = pt + d; break;
    case 4: x = pl + d; y = pt + d; break;
    case 5: x = al + d; y = ab - d - hb + 2; break;
    case 6: x = ar - d - w + 2; y = ab - d - hb + 2; break;
    case 7: x = ar - d - w + 2; y = at + d; break;
    case 8: x = al + d; y = at + d; break;
    case 9: x = pl + d; y = (at + ab) / 2 - hb / 2; break;
    default: x = pr - d - w + 2; y = (at + ab) / 2 - hb / 2; break;
  }
}

// The line pattern of a record: its line style, width and thickness, and its symbol.
void draw_line_pattern(Context& ctx, const LegendRecord& r, double x, double y, double len,
                       double symbol_size) {
  if (r.line_type >= 0 && len > 0) {
    set_dash(ctx, r.dash, r.ndash);
    set_pen(ctx, r.pen_width);
    const double uf = ctx.core.unit_factor;
    const int passes = std::max(1, static_cast<int>(std::lround(r.thickness * uf)));
    for (int k = 1; k <= passes; ++k) {
      ctx.line.offset = (k % 2 ? -(k / 2) : k / 2) / uf;
      qqstrt(ctx, x, y);
      qqconn(ctx, x + len, y);
      qqflsh(ctx);
    }
    ctx.line.offset = 0;
  }
  if (r.symbol >= 0) {
    ChartState& c = ctx.charts;
    const int saved_size = c.symbol_size;
    c.symbol_size = std::max(1, whole(symbol_size));
    const int saved_color = ctx.color.current;
    if (r.symbol_color != -1 && r.symbol_color != saved_color) qqsclr(ctx, r.symbol_color);
    draw_symbol(ctx, r.symbol, x + len / 2, y);
    if (ctx.color.current != saved_color) qqsclr(ctx, saved_color);
    c.symbol_size = saved_size;
  }
}

void draw_swatch(Context& ctx, const LegendRecord& r, double x, double y, double w, double h) {
  double px[5] = {x, x + w, x + w, x, x}, py[5] = {y, y, y + h, y + h, y};
  fill_with(ctx, px, py, 4, r.pattern);
  // a pattern that fills nothing still shows where the entry is
  if (pattern_code(r.pattern) / 100 % 10 == 0) solid_polyline(ctx, px, py, 5);
}

void draw_legend(Context& ctx, const Layout& lay, double x, double y) {
  const LegendState& lg = ctx.charts.legend;
  const int saved_color = ctx.color.current;
  const int w = whole(lay.width), hb = whole(lay.height);
  if (lg.background != -1) qqfrec(ctx, x, y, x + w - 1, y + hb - 1, lg.background);
  const int f = lay.frame;
  if (f > 0)
    draw_frame(ctx, x + f - 1, y + f - 1, w - 2 * f + 2, hb - 2 * f + 2, f);
  else if (ctx.axes.frame < 0)
    draw_frame(ctx, x, y, w, hb, ctx.axes.frame);
  const double ix = x + lay.frame + lay.M, iy = y + lay.frame + lay.M;
  if (lg.title[0]) text_draw(ctx, lg.title, x + (lay.width - lay.title_w) / 2, iy);
  const double top = iy + lay.title_h;
  std::vector<double> colx(lay.cols), rowy(lay.rows);
  double cx = ix + lay.centre;
  for (int c = 0; c < lay.cols; ++c) {
    colx[c] = cx;
    cx += lay.P + lay.D + lay.colw[c] + lay.S;
  }
  double ry = top;
  for (int r = 0; r < lay.rows; ++r) {
    rowy[r] = ry;
    ry += (lay.rowk[r] - 1) * lay.G + lay.h * lay.L;
  }
  {
    AttributeScope scope(ctx);
    for (const Entry& e : lay.entries) {
      const LegendRecord* r = record_of(ctx, e.line);
      if (!r) continue;
      if (r->color != -1 && r->color != ctx.color.current) qqsclr(ctx, r->color);
      if (r->color == -1 && ctx.color.current != saved_color) qqsclr(ctx, saved_color);
      const double px = colx[e.col], py = rowy[e.row];
      if (r->pattern >= 0)
        draw_swatch(ctx, *r, px, py, lay.P, lay.h);
      else
        draw_line_pattern(ctx, *r, px, py + lay.h / 2, lay.P, lay.symbol);
    }
  }
  for (const Entry& e : lay.entries) {
    const LegendRecord* r = record_of(ctx, e.line);
    int want = lg.text_colors && r && r->color != -1 ? r->color : saved_color;
    if (want != ctx.color.current) qqsclr(ctx, want);
    const double tx = colx[e.col] + lay.P + lay.D, ty = rowy[e.row];
    for (size_t j = 0; j < e.rows.size(); ++j)
      if (!e.rows[j].empty()) text_draw(ctx, e.rows[j].c_str(), tx, ty + j * lay.G);
  }
  qqflsh(ctx);
  if (ctx.color.current != saved_color) qqsclr(ctx, saved_color);
}

// Reports a custom legend message with a line number.
void warn_line(Context& ctx, int code, const char* text, int line) {
  set_custom_message(ctx, text);
  warn_number(ctx, code, line);
}

}  // namespace

// ------------------------------------------------------------------------------------------
// Buffer routines

void legini(char* cbuf, int nlin, int nmaxln) {
  Context* ctx = enter(R::legini);
  if (!ctx) return;
  int bad = check_range(*ctx, nlin, 1, kLegendLines);
  bad |= check_range(*ctx, nmaxln, 1, kLegendLineLen);
  if (bad) return;
  if (!cbuf) {
    warn_code(*ctx, 17);
    return;
  }
  LegendState& lg = ctx->charts.legend;
  const uint8_t type = lg.type;  // legtyp comes before legini and is kept
  lg = LegendState{};
  lg.type = type;
  lg.initialised = 1;
  lg.nlin = nlin;
  lg.nmaxln = nmaxln;
  lg.buffer = cbuf;
  std::memset(cbuf, ' ', static_cast<size_t>(nlin) * nmaxln);
}

void leglin(char* cbuf, const char* cstr, int ilin) {
  Context* ctx = enter(R::leglin);
  if (!ctx || !ready(*ctx, cbuf, true)) return;
  LegendState& lg = ctx->charts.legend;
  if (check_range(*ctx, ilin, 1, lg.nlin)) return;
  const size_t len = std::strlen(cstr);
  if (len > static_cast<size_t>(lg.nmaxln)) {
    warn_code(*ctx, 16);
    return;
  }
  char* line = cbuf + static_cast<size_t>(ilin - 1) * lg.nmaxln;
  std::memset(line, ' ', lg.nmaxln);
  std::memcpy(line, cstr, len);
  Layout lay;
  measure(*ctx, cbuf, lay);
  lg.max_width = std::max(lg.max_width, whole(lay.width));
  lg.max_height = std::max(lg.max_height, whole(lay.height));
}

void legend(char* cbuf, int ncor) {
  Context* ctx = enter(R::legend);
  if (!ctx || !ready(*ctx, cbuf, true)) return;
  LegendState& lg = ctx->charts.legend;
  if (!lg.pos_fixed && check_range(*ctx, ncor, 1, 10)) return;
  for (int i = 0; i < lg.nsel; ++i)
    if (lg.sel[i] > lg.nlin) warn_line(*ctx, kMsgUndefinedSelected, "Undefined legend line by legsel", lg.sel[i]);
  Layout lay;
  measure(*ctx, cbuf, lay);
  if (lg.any_own) {
    for (const Entry& e : lay.entries)
      if (!lg.own_set[e.line - 1]) warn_line(*ctx, kMsgUndefinedLine, "Undefined legend line", e.line);
  } else {
    int most = 0;
    for (const Entry& e : lay.entries) most = std::max(most, e.line);
    if (most > ctx->charts.highest_record) warn_number(*ctx, 42, most - ctx->charts.highest_record);
  }
  double x, y;
  place(*ctx, lay, ncor, x, y);
  draw_legend(*ctx, lay, x, y);
}

int nxlegn(char* cbuf) {
  Context* ctx = enter(R::nxlegn);
  if (!ctx || !ready(*ctx, cbuf, true)) return 0;
  Layout lay;
  measure(*ctx, cbuf, lay);
  return whole(lay.width);
}

int nylegn(char* cbuf) {
  Context* ctx = enter(R::nylegn);
  if (!ctx || !ready(*ctx, cbuf, true)) return 0;
  Layout lay;
  measure(*ctx, cbuf, lay);
  return whole(lay.height);
}

// ------------------------------------------------------------------------------------------
// Legend parameters

void legpos(int nx, int ny) {
  Context* ctx = enter(R::legpos);
  LegendState* lg = legend_of(ctx);
  if (!lg) return;
  lg->pos_fixed = 1;
  lg->pos_x = nx;
  lg->pos_y = ctx->core.page_origin == 1 ? ctx->core.page_h - ny : ny;
}

void legtit(const char* cstr) {
  if (LegendState* lg = legend_of(enter(R::legtit))) copy_field(lg->title, cstr);
}

void legopt(double xpatt, double xmarg, double xline) {
  Context* ctx = enter(R::legopt);
  LegendState* lg = legend_of(ctx);
  if (!lg) return;
  bool ok = true;
  if (!(xpatt >= 0)) ok = false, warn_code(*ctx, kMsgIncorrectParameter);
  if (!(xmarg > 0)) ok = false, warn_code(*ctx, kMsgIncorrectParameter);
  if (!(xline > 0)) ok = false, warn_code(*ctx, kMsgIncorrectParameter);
  if (!ok) return;
  lg->patt = xpatt;
  lg->marg = xmarg;
  lg->line = xline;
}

void legval(double xval, const char* copt) {
  Context* ctx = enter(R::legval);
  LegendState* lg = legend_of(ctx);
  if (!lg) return;
  int k = lookup_keyword(*ctx, "PATT+MARG+LINE+SYMB+HSPA+DIST", 6, copt);
  if (!k) return;
  if (!std::isfinite(xval)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  double* slot[6] = {&lg->patt, &lg->marg, &lg->line, &lg->symb, &lg->hspa, &lg->dist};
  *slot[k - 1] = xval;
}

void legtbl(int ncol, const char* copt) {
  Context* ctx = enter(R::legtbl);
  LegendState* lg = legend_of(ctx);
  if (!lg) return;
  int k = lookup_keyword(*ctx, "VERT+HORI", 2, copt);
  if (check_range(*ctx, ncol, 1, -1) || !k) return;
  lg->table_cols = ncol;
  lg->table_order = static_cast<uint8_t>(k - 1);
}

void legtyp(const char* copt) {
  Context* ctx = enter(R::legtyp);
  if (!ctx) return;
  LegendState& lg = ctx->charts.legend;
  if (lg.initialised) {
    warn_text(*ctx, 182, "legtyp must be called before legini");
    return;
  }
  int k = lookup_keyword(*ctx, "VERT+HORI+TABL", 3, copt);
  if (k) lg.type = static_cast<uint8_t>(k - 1);
}

void legpat(int ityp, int ithk, int isym, int iclr, int ipat, int ilin) {
  Context* ctx = enter(R::legpat);
  LegendState* lg = legend_of(ctx);
  if (!lg) return;
  int bad = check_range(*ctx, ityp, -1, 7);
  bad |= check_range(*ctx, ithk, 1, -1);
  bad |= check_range(*ctx, isym, -1, kBuiltinSymbols - 1);
  bad |= check_range(*ctx, iclr, -1, -2);
  bad |= check_range(*ctx, ipat, -1, -2);
  bad |= check_range(*ctx, ilin, 1, kLegendLines);
  if (bad) return;
  LegendRecord r;
  if (ityp >= 0) {
    // the dash lengths of the line type, as lintyp would set them
    LineState saved = ctx->line;
    set_line_style(*ctx, ityp);
    r.ndash = ctx->line.ndash;
    std::memcpy(r.dash, ctx->line.dash, sizeof r.dash);
    ctx->line = saved;
  }
  r.line_type = ityp;
  r.thickness = ithk;
  r.symbol = isym;
  r.color = iclr;
  r.pattern = ipat;
  r.pen_width = std::abs(ctx->line.pen_width);
  lg->own[ilin - 1] = r;
  lg->own_set[ilin - 1] = 1;
  lg->any_own = 1;
}

void legsel(const int* nray, int n) {
  Context* ctx = enter(R::legsel);
  LegendState* lg = legend_of(ctx);
  if (!lg || check_range(*ctx, n, -1, kLegendSelect)) return;
  if (n < 1) {
    lg->nsel = 0;
    return;
  }
  bool ok = true;
  for (int i = 0; i < n; ++i)
    if (nray[i] < 1) ok = false, warn_number(*ctx, kMsgIncorrectParameter, nray[i]);
  if (!ok) return;
  lg->nsel = n;
  std::copy(nray, nray + n, lg->sel);
}

void legbgd(int nclr) {
  Context* ctx = enter(R::legbgd);
  LegendState* lg = legend_of(ctx);
  if (!lg || check_range(*ctx, nclr, -1, -2)) return;
  lg->background = nclr;
}

void legclr() {
  if (LegendState* lg = legend_of(enter(R::legclr))) lg->text_colors = 1;
}

void mixleg() {
  if (LegendState* lg = legend_of(enter(R::mixleg))) lg->mixed = 1;
}

}  // namespace tavero
