// Parameter routines of the axis systems: layout, scaling types, ticks, labels, names,
// titles, and their getters.
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "axes/axes.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "core/strutil.h"
#include "tavero_api.h"

namespace tavero {

namespace {

const char* const kLabelList =
    "NONE+FLOA+EXP +LOG +CLOG+ELOG+MAP +DMAP+LMAP+TIME+HOUR+SECO+MYLA+FEXP+DATE+MAPN+XEXP";
const char* const kLabelNames[17] = {"NONE", "FLOAT", "EXP",  "LOG",     "CLOG",  "ELOG",
                                     "MAP",  "DMAP",  "LMAP", "TIME",    "HOUR",  "SECONDS",
                                     "MYLAB", "FEXP", "DATE", "MAPN",    "XEXP"};

// The first three characters of a selector, upper-cased, for the non-axis targets.
bool target_is(const char* cax, const char* three) {
  if (!cax) return false;
  for (int i = 0; i < 3; ++i) {
    char c = cax[i];
    if (!c) return false;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != three[i]) return false;
  }
  return true;
}

template <typename F>
void for_axes(Context& ctx, const char* cax, F f) {
  for (int i = 0; i < 3; ++i)
    if (names_axis(cax, static_cast<char>('X' + i))) f(ctx.axes.ax[i]);
}

inline int flip_y(const Context& ctx, int y) {
  return ctx.core.page_origin == 1 ? ctx.core.page_h - y : y;
}

void store_digits(Context& ctx, int ndig, const char* cax) {
  AxisState& a = ctx.axes;
  if (target_is(cax, "BAR")) a.bar_digits = ndig;
  else if (target_is(cax, "CON")) a.con_digits = ndig;
  else if (target_is(cax, "PIE")) a.pie_data_digits = a.pie_percent_digits = ndig;
  else if (target_is(cax, "DAT")) a.pie_data_digits = ndig;
  else if (target_is(cax, "PER")) a.pie_percent_digits = ndig;
  else for_axes(ctx, cax, [ndig](AxisParams& p) { p.digits = ndig; });
}

}  // namespace

// ------------------------------------------------------------------------------------------
// Layout of the axis system

void axslen(int nxl, int nyl) {
  Context* ctx = enter(R::axslen);
  if (!ctx) return;
  if (check_range(*ctx, nxl, 2, 1) + check_range(*ctx, nyl, 2, 1)) return;
  ctx->axes.len[0] = nxl;
  ctx->axes.len[1] = nyl;
}

void axspos(int nxa, int nya) {
  Context* ctx = enter(R::axspos);
  if (!ctx) return;
  if (check_range(*ctx, nxa, 0, ctx->core.page_w) + check_range(*ctx, nya, 0, ctx->core.page_h))
    return;
  ctx->axes.pos_x = nxa;
  ctx->axes.pos_y = flip_y(*ctx, nya);
  ctx->axes.pos_is_origin = 0;
}

void axsorg(int nx, int ny) {
  Context* ctx = enter(R::axsorg);
  if (!ctx) return;
  if (check_range(*ctx, nx, 0, ctx->core.page_w) + check_range(*ctx, ny, 0, ctx->core.page_h))
    return;
  ctx->axes.org_x = nx;
  ctx->axes.org_y = flip_y(*ctx, ny);
  ctx->axes.pos_is_origin = 1;
}

void axsscl(const char* copt, const char* cax) {
  Context* ctx = enter(R::axsscl);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "LIN +LOG ", 2, copt);
  if (k) for_axes(*ctx, cax, [k](AxisParams& p) { p.log = k - 1; });
}

void scale(const char* copt, const char* cax) {
  Context* ctx = enter(R::scale);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "LIN +LOG ", 2, copt);
  if (k) for_axes(*ctx, cax, [k](AxisParams& p) { p.log = k - 1; });
}

void axstyp(const char* copt) {
  Context* ctx = enter(R::axstyp);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "RECT+CROS+IMPE+ADMI", 4, copt);
  if (k) ctx->axes.form = static_cast<uint8_t>((k - 1) % 2);
}

void axsbgd(int nclr) {
  Context* ctx = enter(R::axsbgd);
  if (ctx && !check_range(*ctx, nclr, -1, -2)) ctx->axes.background = nclr;
}

void frame(int nfrm) {
  Context* ctx = enter(R::frame);
  if (ctx) ctx->axes.frame = nfrm;
}

void frmclr(int nclr) {
  Context* ctx = enter(R::frmclr);
  if (ctx && !check_range(*ctx, nclr, -1, -2)) ctx->axes.frame_color = nclr;
}

void nograf() {
  if (Context* ctx = enter(R::nograf)) ctx->axes.nograf = 1;
}

void nochek() {
  if (Context* ctx = enter(R::nochek)) ctx->axes.nochek = 1;
}

void ax2grf() {
  if (Context* ctx = enter(R::ax2grf)) ctx->axes.ax2grf = 1;
}

void center() {
  if (Context* ctx = enter(R::center)) ctx->axes.center = 1;
}

void grace(int ngrace) {
  if (Context* ctx = enter(R::grace)) ctx->axes.grace = ngrace;
}

void neglog(double eps) {
  Context* ctx = enter(R::neglog);
  if (!ctx) return;
  if (!(eps > 0) || !(eps < 1e308)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->axes.neglog_on = 1;
  ctx->axes.neglog = std::log10(eps);
}

void polmod(const char* cpos, const char* cdir) {
  Context* ctx = enter(R::polmod);
  if (!ctx) return;
  int p = lookup_keyword(*ctx, "RIGH+TOP +LEFT+BOTT", 4, cpos);
  int d = lookup_keyword(*ctx, "ANTI+CLOC", 2, cdir);
  if (!p || !d) return;
  ctx->axes.polmod_pos = static_cast<uint8_t>(p - 1);
  ctx->axes.polmod_dir = static_cast<uint8_t>(d - 1);
}

void setgrf(const char* c1, const char* c2, const char* c3, const char* c4) {
  Context* ctx = enter(R::setgrf);
  if (!ctx) return;
  const char* list = "NONE+LINE+TICK+LABE+NAME";
  const char* opts[4] = {c1, c2, c3, c4};
  int k[4];
  bool ok = true;
  for (int i = 0; i < 4; ++i) ok = (k[i] = lookup_keyword(*ctx, list, 5, opts[i])) != 0 && ok;
  if (!ok) return;
  for (int i = 0; i < 4; ++i) ctx->axes.setgrf[i] = static_cast<uint8_t>(k[i] - 1);
}

void noline(const char* cax) {
  Context* ctx = enter(R::noline);
  if (ctx) for_axes(*ctx, cax, [](AxisParams& p) { p.noline = 1; });
}

// Only the automatic mode is kept here; the matrix plots read the cell counts.
void autres(int ixdim, int iydim) {
  Context* ctx = enter(R::autres);
  if (!ctx) return;
  AxisState& a = ctx->axes;
  if (ixdim == 0 && iydim == 0) {
    a.autres_on = 2;
    return;
  }
  if (ixdim > 0 && check_range(*ctx, ixdim, 2, 10000)) return;
  if (iydim > 0 && check_range(*ctx, iydim, 2, 10000)) return;
  a.autres_x = ixdim;
  a.autres_y = iydim;
  a.autres_on = 1;
}

// ------------------------------------------------------------------------------------------
// Ticks

void ticks(int ntics, const char* cax) {
  Context* ctx = enter(R::ticks);
  if (ctx && !check_range(*ctx, ntics, 0, 1000))
    for_axes(*ctx, cax, [ntics](AxisParams& p) { p.ticks = ntics; });
}

void ticlen(int nmaj, int nmin) {
  Context* ctx = enter(R::ticlen);
  if (!ctx) return;
  if (check_range(*ctx, nmaj, 1, 10000) + check_range(*ctx, nmin, 1, 10000)) return;
  ctx->axes.ticlen_major = nmaj;
  ctx->axes.ticlen_minor = nmin;
}

void ticpos(const char* copt, const char* cax) {
  Context* ctx = enter(R::ticpos);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "LABE+REVE+CENT", 3, copt);
  if (k) for_axes(*ctx, cax, [k](AxisParams& p) { p.ticpos = static_cast<uint8_t>(k - 1); });
}

void ticmod(const char* copt, const char* cax) {
  Context* ctx = enter(R::ticmod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "NONE+DAYS+MONT+QUAR+HALF+YEAR+DMON+HOUR", 8, copt);
  if (k) for_axes(*ctx, cax, [k](AxisParams& p) { p.ticmod = static_cast<uint8_t>(k - 1); });
}

void logtic(const char* copt) {
  Context* ctx = enter(R::logtic);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "AUTO+FULL", 2, copt);
  if (k) ctx->axes.logtic = static_cast<uint8_t>(k - 1);
}

void gettcl(int* nmaj, int* nmin) {
  Context* ctx = enter(R::gettcl);
  if (!ctx) return;
  *nmaj = ctx->axes.ticlen_major;
  *nmin = ctx->axes.ticlen_minor;
}

void gettic(int* nx, int* ny, int* nz) {
  Context* ctx = enter(R::gettic);
  if (!ctx) return;
  *nx = ctx->axes.ax[0].ticks;
  *ny = ctx->axes.ax[1].ticks;
  *nz = ctx->axes.ax[2].ticks;
}

// ------------------------------------------------------------------------------------------
// Labels

void labels(const char* copt, const char* cax) {
  Context* ctx = enter(R::labels);
  if (!ctx) return;
  AxisState& a = ctx->axes;
  int k;
  if (target_is(cax, "BAR")) {
    if ((k = lookup_keyword(*ctx, "NONE+SECO+FIRS+MAXI+MINI+DELT+POSI", 7, copt))) a.bar_label = k - 1;
  } else if (target_is(cax, "PIE")) {
    if ((k = lookup_keyword(*ctx, "NONE+PERC+DATA+BOTH", 4, copt))) a.pie_label = k - 1;
  } else if (target_is(cax, "CON")) {
    if ((k = lookup_keyword(*ctx, "NONE+FLOA+CONL", 3, copt))) a.con_label = k - 1;
  } else if ((k = lookup_keyword(*ctx, kLabelList, 17, copt))) {
    for_axes(*ctx, cax, [k](AxisParams& p) { p.label = k - 1; });
  }
}

void labdig(int ndig, const char* cax) {
  Context* ctx = enter(R::labdig);
  if (ctx && !check_range(*ctx, ndig, -2, 100)) store_digits(*ctx, ndig, cax);
}

void digits(int ndig, const char* cax) {
  Context* ctx = enter(R::digits);
  if (ctx && !check_range(*ctx, ndig, -2, 100)) store_digits(*ctx, ndig, cax);
}

void labdis(int ndis, const char* cax) {
  Context* ctx = enter(R::labdis);
  if (!ctx || check_range(*ctx, ndis, 1, 10000)) return;
  if (target_is(cax, "CON")) ctx->axes.con_labdis = ndis;
  else for_axes(*ctx, cax, [ndis](AxisParams& p) { p.labdis = ndis; });
}

void labjus(const char* copt, const char* cax) {
  Context* ctx = enter(R::labjus);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "AUTO+LEFT+RIGH+OUTW+INWA", 5, copt);
  if (k) for_axes(*ctx, cax, [k](AxisParams& p) { p.labjus = static_cast<uint8_t>(k - 1); });
}

void labpos(const char* copt, const char* cax) {
  Context* ctx = enter(R::labpos);
  if (!ctx) return;
  if (target_is(cax, "BAR")) {
    int k = lookup_keyword(*ctx, "TICK+CENT+SHIF", 3, copt);
    if (k) ctx->axes.bar_labpos = k - 1;
    return;
  }
  if (int k = match_keyword("INTE+EXTE+ALIG", 3, copt)) {
    for_axes(*ctx, cax, [k](AxisParams& p) { p.labpos = static_cast<uint8_t>(k - 1); });
    return;
  }
  int k = lookup_keyword(*ctx, "AUTO+INSI+OUTS+LEFT+ABOV+RIGH+BELO+CENT", 8, copt);
  if (k) for_axes(*ctx, cax, [k](AxisParams& p) { p.labpos_polar = static_cast<uint8_t>(k - 1); });
}

void labtyp(const char* copt, const char* cax) {
  Context* ctx = enter(R::labtyp);
  if (!ctx) return;
  int k;
  if (target_is(cax, "BAR")) {
    if ((k = lookup_keyword(*ctx, "CENT+LEFT+RIGH+TYPS+OUTW+INWA", 6, copt))) ctx->axes.bar_labtyp = k - 1;
  } else if (target_is(cax, "PIE")) {
    if ((k = lookup_keyword(*ctx, "HORI", 1, copt))) ctx->axes.pie_labtyp = k - 1;
  } else if (target_is(cax, "CON")) {
    if ((k = lookup_keyword(*ctx, "HORI+VERT", 2, copt))) ctx->contour.label_orient = k - 1;
  } else if ((k = lookup_keyword(*ctx, "HORI+VERT", 2, copt))) {
    for_axes(*ctx, cax, [k](AxisParams& p) { p.labtyp = static_cast<uint8_t>(k - 1); });
  }
}

// Date label layout; keys count by their first three characters.
void labmod(const char* ckey, const char* cval, const char* cax) {
  Context* ctx = enter(R::labmod);
  if (!ctx) return;
  struct Key {
    const char* key;
    const char* list;
    uint8_t DateLabelFormat::*field;
  };
  static const Key kKeys[] = {
      {"YEA", "FULL+SHOR+NONE", &DateLabelFormat::year},
      {"DAY", "NAME+SHOR+NONE+FULL+LONG", &DateLabelFormat::day},
      {"MON", "NAME+SHOR+NONE+FULL+LONG+TINY", &DateLabelFormat::month},
      {"LAN", "ENGL+GERM+SPAN", &DateLabelFormat::lang},
      {"FOR", "DMY +DYM +MDY +MYD +YDM +YMD ", &DateLabelFormat::order},
      {"CAS", "NONE+UPPE", &DateLabelFormat::upper},
      {"STE", "DAYS+MONT+QUAR+HALF+YEAR+DMON+DYEA+QYEA", &DateLabelFormat::step},
  };
  if (target_is(ckey, "SEP")) {
    char sep = cval ? cval[0] : 0;
    for_axes(*ctx, cax, [sep](AxisParams& p) {
      p.date.sep = sep;
      p.date.sep_given = 1;
    });
    return;
  }
  for (const Key& k : kKeys) {
    if (!target_is(ckey, k.key)) continue;
    int n = lookup_keyword(*ctx, k.list, keyword_count(k.list), cval);
    if (!n) return;
    // the step keywords are 1-based, 0 keeping the automatic steps
    uint8_t v = static_cast<uint8_t>(k.field == &DateLabelFormat::step ? n : n - 1);
    auto field = k.field;
    for_axes(*ctx, cax, [field, v](AxisParams& p) { p.date.*field = v; });
    return;
  }
  warn_string(*ctx, kMsgIncorrectParameter, ckey ? ckey : "");
}

void labclr(int nclr, const char* copt) {
  Context* ctx = enter(R::labclr);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "BAR +PIE +CON ", 3, copt);
  if (!k || check_range(*ctx, nclr, -1, -2)) return;
  int* dst[3] = {&ctx->axes.bar_label_color, &ctx->axes.pie_label_color,
                 &ctx->axes.con_label_color};
  *dst[k - 1] = nclr;
}

void intax() {
  Context* ctx = enter(R::intax);
  if (!ctx) return;
  for (AxisParams& p : ctx->axes.ax) p.digits = -1;
}

void mylab(const char* cstr, int itick, const char* cax) {
  Context* ctx = enter(R::mylab);
  if (!ctx || check_range(*ctx, itick, 1, kMyLabCount)) return;
  for_axes(*ctx, cax, [cstr, itick](AxisParams& p) {
    copy_field(p.mylab[itick - 1], cstr);
    if (itick > p.nmylab) p.nmylab = itick;
  });
}

void rgtlab() {
  if (Context* ctx = enter(R::rgtlab)) ctx->axes.rgtlab = 1;
}

void timopt() {
  if (Context* ctx = enter(R::timopt)) ctx->axes.timopt = 1;
}

// A zero label of the exponent forms written as a plain "0": never, at the first label, or at
// the first and the last label.
void expzlb(const char* copt) {
  Context* ctx = enter(R::expzlb);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "NONE+FIRS+BOTH", 3, copt);
  if (k) ctx->axes.expzlb = static_cast<uint8_t>(k - 1);
}

void axends(const char* copt, const char* cax) {
  Context* ctx = enter(R::axends);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "NONE+NOFI+NOLA+NOEN+ENDS+FIRS+LAST", 7, copt);
  if (k) for_axes(*ctx, cax, [k](AxisParams& p) { p.axends = static_cast<uint8_t>(k - 1); });
}

void axclrs(int nclr, const char* copt, const char* cax) {
  Context* ctx = enter(R::axclrs);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "LINE+TICK+LABE+NAME+ALL ", 5, copt);
  if (!k || check_range(*ctx, nclr, -1, -2)) return;
  for_axes(*ctx, cax, [k, nclr](AxisParams& p) {
    if (k == 1 || k == 5) p.clr_line = nclr;
    if (k == 2 || k == 5) p.clr_tick = nclr;
    if (k == 3 || k == 5) p.clr_label = nclr;
    if (k == 4 || k == 5) p.clr_name = nclr;
  });
}

void getdig(int* nxdig, int* nydig, int* nzdig) {
  Context* ctx = enter(R::getdig);
  if (!ctx) return;
  *nxdig = ctx->axes.ax[0].digits;
  *nydig = ctx->axes.ax[1].digits;
  *nzdig = ctx->axes.ax[2].digits;
}

void getlab(char* cxlab, char* cylab, char* czlab) {
  Context* ctx = enter(R::getlab);
  if (!ctx) return;
  char* out[3] = {cxlab, cylab, czlab};
  for (int i = 0; i < 3; ++i) {
    int t = ctx->axes.ax[i].label;
    copy_bounded(out[i], kLabelNames[t >= 0 && t < 17 ? t : 1], 8);
  }
}

void getsp1(int* nxdis, int* nydis, int* nzdis) {
  Context* ctx = enter(R::getsp1);
  if (!ctx) return;
  *nxdis = ctx->axes.ax[0].labdis;
  *nydis = ctx->axes.ax[1].labdis;
  *nzdis = ctx->axes.ax[2].labdis;
}

// ------------------------------------------------------------------------------------------
// Axis names

void name(const char* cstr, const char* cax) {
  Context* ctx = enter(R::name);
  if (ctx) for_axes(*ctx, cax, [cstr](AxisParams& p) { copy_field(p.name, cstr); });
}

void namdis(int ndis, const char* cax) {
  Context* ctx = enter(R::namdis);
  if (ctx && !check_range(*ctx, ndis, 1, 10000))
    for_axes(*ctx, cax, [ndis](AxisParams& p) { p.namdis = ndis; });
}

void namjus(const char* copt, const char* cax) {
  Context* ctx = enter(R::namjus);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "CENT+LEFT+RIGH", 3, copt);
  if (k) for_axes(*ctx, cax, [k](AxisParams& p) { p.namjus = static_cast<uint8_t>(k - 1); });
}

void hname(int nhname) {
  Context* ctx = enter(R::hname);
  if (ctx && !check_range(*ctx, nhname, 1, 10000)) ctx->axes.hname = nhname;
}

void rvynam() {
  if (Context* ctx = enter(R::rvynam)) ctx->axes.rvynam = 1;
}

int gethnm() {
  Context* ctx = enter(R::gethnm);
  return ctx ? ctx->axes.hname : 0;
}

void getsp2(int* nxdis, int* nydis, int* nzdis) {
  Context* ctx = enter(R::getsp2);
  if (!ctx) return;
  *nxdis = ctx->axes.ax[0].namdis;
  *nydis = ctx->axes.ax[1].namdis;
  *nzdis = ctx->axes.ax[2].namdis;
}

// ------------------------------------------------------------------------------------------
// Titles

void titlin(const char* cstr, int nlin) {
  Context* ctx = enter(R::titlin);
  if (!ctx) return;
  if (nlin == INT_MIN) {
    warn_number(*ctx, kMsgIncorrectParameter, nlin);
    return;
  }
  int n = nlin < 0 ? -nlin : nlin;
  if (check_range(*ctx, n, 1, 4)) return;
  copy_field(ctx->axes.title[n - 1], cstr);
  ctx->axes.title_underline[n - 1] = nlin < 0 ? 1 : 0;
}

void titjus(const char* copt) {
  Context* ctx = enter(R::titjus);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "CENT+LEFT+RIGH", 3, copt);
  if (k) ctx->axes.titjus = static_cast<uint8_t>(k - 1);
}

void titpos(const char* copt) {
  Context* ctx = enter(R::titpos);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "ABOV+BELO", 2, copt);
  if (k) ctx->axes.titpos = static_cast<uint8_t>(k - 1);
}

void htitle(int nhtit) {
  Context* ctx = enter(R::htitle);
  if (ctx && !check_range(*ctx, nhtit, 1, 10000)) ctx->axes.htitle = nhtit;
}

void lfttit() {
  if (Context* ctx = enter(R::lfttit)) ctx->axes.titjus = 1;
}

}  // namespace tavero
