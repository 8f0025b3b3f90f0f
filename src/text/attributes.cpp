// Text attributes, alphabets, shift characters and their getters; the text output routines
// messag, nlmess, rlmess and paghdr; the services of text.h.
#include <cmath>
#include <cstring>

#include "axes/axis_convert.h"
#include "core/clock.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "core/strutil.h"
#include "plots/shield.h"
#include "tavero_api.h"
#include "text/engine.h"
#include "text/text.h"

namespace tavero {

namespace {

const char* const kAlphabets = "STAN+GREE+MATH+ITAL+SCRI+RUSS+INST";
const char* const kLanguages = "GERM+DANI+SPAN+FREN+ACUT+GRAV+CIRC+TURK";
const char* const kMixItems = "EXP +IND +RES +LEG +TEX ";

int first_char(const char* s) { return s ? static_cast<unsigned char>(s[0]) : 0; }

// A one-character string in a per-thread buffer (getters that return a character).
const char* char_string(int c) {
  thread_local char buf[2];
  buf[0] = static_cast<char>(c);
  buf[1] = 0;
  return buf;
}

void set_angle(TextState& ts, double deg) {
  double r = std::remainder(deg, 360.0);
  ts.sin_a = std::sin(r * M_PI / 180.0);
  ts.cos_a = std::cos(r * M_PI / 180.0);
  // exact values on the axes, so that vertical text stays on whole plot units
  if (r == 90 || r == -270) ts.sin_a = 1, ts.cos_a = 0;
  if (r == -90 || r == 270) ts.sin_a = -1, ts.cos_a = 0;
  if (r == 180 || r == -180) ts.sin_a = 0, ts.cos_a = -1;
  if (r == 0) ts.sin_a = 0, ts.cos_a = 1;
}

}  // namespace

// --- attributes

void height(int nhchar) {
  Context* ctx = enter(R::height);
  if (!ctx) return;
  if (check_range(*ctx, nhchar, 1, 10000)) return;
  ctx->text.height = nhchar;
  device_font_changed(*ctx);
}

void angle(int nang) {
  Context* ctx = enter(R::angle);
  if (!ctx) return;
  ctx->text.angle = nang;
  set_angle(ctx->text, nang);
}

void chaang(double xang) {
  Context* ctx = enter(R::chaang);
  if (!ctx) return;
  if (!(xang >= -60 && xang <= 60)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->text.shear_deg = xang;
  ctx->text.shear = std::tan(xang * M_PI / 180.0);
}

void chaspc(double xspc) {
  Context* ctx = enter(R::chaspc);
  if (!ctx) return;
  if (!std::isfinite(xspc)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->text.spacing = xspc;
}

void chawth(double xwth) {
  Context* ctx = enter(R::chawth);
  if (!ctx) return;
  if (!(xwth > 0 && xwth < 2)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->text.width_factor = xwth;
  device_font_changed(*ctx);
}

void fixspc(double xfac) {
  Context* ctx = enter(R::fixspc);
  if (!ctx) return;
  if (!(xfac > 0) || !std::isfinite(xfac)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->text.fixed = 1;
  ctx->text.fixed_factor = xfac;
}

void txtjus(const char* copt) {
  Context* ctx = enter(R::txtjus);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "LEFT+CENT+RIGH+TOP +MIDD+BOTT", 6, copt);
  if (!k) return;
  if (k <= 3) {
    ctx->text.hjust = k - 1;
  } else {
    ctx->text.vjust = k - 4;
  }
}

void frmess(int nfrm) {
  Context* ctx = enter(R::frmess);
  if (!ctx) return;
  if (nfrm < -100 || nfrm > 100) {
    warn_number(*ctx, kMsgIncorrectParameter, nfrm);
    return;
  }
  ctx->text.frame = nfrm;
}

void txtbgd(int nclr) {
  Context* ctx = enter(R::txtbgd);
  if (!ctx) return;
  if (check_range(*ctx, nclr, -1, -2)) return;
  ctx->text.background = nclr;
}

void linesp(double xfac) {
  Context* ctx = enter(R::linesp);
  if (!ctx) return;
  if (!(xfac >= 0) || !std::isfinite(xfac)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->text.line_spacing = xfac;
}

// Outline glyphs (outline and TrueType fonts) take the current shading pattern.
void shdcha() {
  Context* ctx = enter(R::shdcha);
  if (!ctx) return;
  ctx->text.shdcha = 1;
}

int gethgt() {
  Context* ctx = enter(R::gethgt);
  return ctx ? ctx->text.height : 0;
}

int getang() {
  Context* ctx = enter(R::getang);
  return ctx ? ctx->text.angle : 0;
}

// --- alphabets, code tables and shift characters

void basalf(const char* calph) {
  Context* ctx = enter(R::basalf);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, kAlphabets, 6, calph);
  if (!k) return;
  ctx->text.base_alphabet = ctx->text.alphabet = k;
}

void chacod(const char* copt) {
  Context* ctx = enter(R::chacod);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, "STAN+ISO1+ISO2+ISO3+ISO5+KOI8+UTF8+ISO7", 8, copt);
  if (k) ctx->text.code_table = k - 1;
}

void smxalf(const char* calph, const char* cshin, const char* cshout, int n) {
  Context* ctx = enter(R::smxalf);
  if (!ctx) return;
  int bad = check_range(*ctx, n, 1, 6);
  int k = lookup_keyword(*ctx, kAlphabets, 7, calph);
  if (bad || !k) return;
  TextState& ts = ctx->text;
  if (k == ts.base_alphabet) {
    warn_code(*ctx, 19);
    return;
  }
  ShiftAlphabet& s = ts.shift[n - 1];
  s.alphabet = k;
  s.shin = first_char(cshin);
  s.shout = first_char(cshout);
  ts.shift_on = 1;
}

void mixalf() {
  Context* ctx = enter(R::mixalf);
  if (!ctx) return;
  ctx->text.mix_on = 1;
  ctx->text.shift_on = 1;
}

void eushft(const char* copt, const char* cshift) {
  Context* ctx = enter(R::eushft);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, kLanguages, 8, copt);
  if (!k) return;
  int c = first_char(cshift);
  TextState& ts = ctx->text;
  for (int i = 0; i < 8; ++i) {
    if (i != k - 1 && c && ts.national[i] == c) {
      warn_code(*ctx, 57);
      return;
    }
  }
  ts.national[k - 1] = c;
  ts.national_on = 0;
  for (int i = 0; i < 8; ++i)
    if (ts.national[i]) ts.national_on = 1;
}

void setmix(const char* cchar, const char* copt) {
  Context* ctx = enter(R::setmix);
  if (!ctx) return;
  int k = lookup_keyword(*ctx, kMixItems, 5, copt);
  if (!k) return;
  int c = first_char(cchar);
  TextState& ts = ctx->text;
  int* slot[5] = {&ts.exp_ch, &ts.ind_ch, &ts.res_ch, &ts.leg_ch, &ts.tex_ch};
  *slot[k - 1] = c;
}

void newmix() {
  Context* ctx = enter(R::newmix);
  if (!ctx) return;
  ctx->text.exp_ch = '^';
  ctx->text.ind_ch = '_';
  ctx->text.res_ch = '%';
  ctx->text.mix_on = 1;
}

void setexp(double xfac) {
  Context* ctx = enter(R::setexp);
  if (!ctx) return;
  if (!(xfac > 0) || !std::isfinite(xfac)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->text.exp_factor = xfac;
}

void setbas(double xfac) {
  Context* ctx = enter(R::setbas);
  if (!ctx) return;
  if (!std::isfinite(xfac)) {
    warn_code(*ctx, kMsgIncorrectParameter);
    return;
  }
  ctx->text.base_factor = xfac;
}

const char* getalf() {
  Context* ctx = enter(R::getalf);
  if (!ctx) return "";
  static const char* const kNames[6] = {"STANDARD", "GREEK", "MATHEMATIC", "ITALIC", "SCRIPT", "RUSSIAN"};
  int a = ctx->text.base_alphabet;
  return a >= 1 && a <= 6 ? kNames[a - 1] : "STANDARD";
}

const char* getmix(const char* copt) {
  Context* ctx = enter(R::getmix);
  if (!ctx) return "";
  int k = lookup_keyword(*ctx, kMixItems, 5, copt);
  if (!k) return "";
  const TextState& ts = ctx->text;
  const int v[5] = {ts.exp_ch, ts.ind_ch, ts.res_ch, ts.leg_ch, ts.tex_ch};
  return char_string(v[k - 1]);
}

const char* getshf(const char* copt) {
  Context* ctx = enter(R::getshf);
  if (!ctx) return "";
  int k = lookup_keyword(*ctx, kLanguages, 8, copt);
  if (!k || !ctx->text.national_on) return "";
  return char_string(ctx->text.national[k - 1]);
}

int gmxalf(const char* copt, char* cshin, char* cshout) {
  Context* ctx = enter(R::gmxalf);
  cshin[0] = cshout[0] = 0;
  if (!ctx) return 0;
  int k = lookup_keyword(*ctx, kAlphabets, 7, copt);
  if (!k) return 0;
  for (int n = 0; n < 6; ++n) {
    const ShiftAlphabet& s = ctx->text.shift[n];
    if (s.alphabet == k) {
      cshin[0] = static_cast<char>(s.shin);
      cshin[1] = 0;
      cshout[0] = static_cast<char>(s.shout);
      cshout[1] = 0;
      return n + 1;
    }
  }
  return 0;
}

// --- text output

namespace {

// Upper left corner of a justified string: (x, y) are the point named by txtjus.
void justify(Context& ctx, const char* s, double& x, double& y) {
  const TextState& ts = ctx.text;
  if (ts.hjust == 0 && ts.vjust == 0) return;
  double dx = 0, dy = 0;
  if (ts.hjust) {
    int len = text_length_rounded(ctx, s);
    dx = ts.hjust == 1 ? len / 2.0 : len;
  }
  if (ts.vjust) dy = ts.vjust == 1 ? ts.height / 2.0 : ts.height;
  x = x - dx * ts.cos_a - dy * ts.sin_a;
  y = y + dx * ts.sin_a - dy * ts.cos_a;
}

void output(Context& ctx, const char* s, double x, double y) {
  bool placed = !(x == 999 && y == 999);
  if (placed) {
    justify(ctx, s, x, y);
    x = std::trunc(x + 0.5);
    y = std::trunc(y + 0.5);
  }
  place_text(ctx, s, x, y);
  // a shielded region round the text when shield("MESS", "ON") asked for them
  if (placed && shield_auto_on(ctx, kShieldMess))
    shield_auto_rotated_rect(ctx, kShieldMess, x, y, text_length(ctx, s), ctx.text.height,
                             ctx.text.angle);
}

}  // namespace

void messag(const char* cstr, int nx, int ny) {
  Context* ctx = enter(R::messag);
  if (!ctx) return;
  double y = ny;
  if (!(nx == 999 && ny == 999) && ctx->core.page_origin == 1) y = ctx->core.page_h - ny;
  output(*ctx, cstr, nx, y);
}

int nlmess(const char* cstr) {
  Context* ctx = enter(R::nlmess);
  if (!ctx) return 0;
  return text_length_rounded(*ctx, cstr);
}

void rlmess(const char* cstr, double xp, double yp) {
  Context* ctx = enter(R::rlmess);
  if (!ctx) return;
  double x = 999, y = 999;
  if (!(std::fabs(xp - 999) < 0.1 && std::fabs(yp - 999) < 0.1)) {
    user_to_plot(*ctx, xp, yp, x, y);
    if (!std::isfinite(x) || !std::isfinite(y)) {
      count_nan(*ctx);
      return;
    }
    x = std::floor(x + 0.5);
    y = std::floor(y + 0.5);
  }
  ctx->text.user_position = 1;
  output(*ctx, cstr, x, y);
  ctx->text.user_position = 0;
}

// A header line with date and time in a corner of the page: 1 upper left, 2 upper right,
// 3 lower left, 4 lower right; idir 1 writes it upwards along the page edge.
void paghdr(const char* cstr1, const char* cstr2, int iopt, int idir) {
  Context* ctx = enter(R::paghdr);
  if (!ctx) return;
  int bad = check_range(*ctx, iopt, 1, 4) + check_range(*ctx, idir, 0, 1);
  if (bad) return;
  DateTime t = now_local();
  char date[12], tim[10], text[300] = "";
  format_date(t, date);
  format_time(t, tim);
  append_bounded(text, cstr1 ? cstr1 : "", 299);
  append_bounded(text, date, 299);
  append_bounded(text, " ", 299);
  append_bounded(text, tim, 299);
  append_bounded(text, cstr2 ? cstr2 : "", 299);
  TextState& ts = ctx->text;
  const int save_ang = ts.angle, save_h = ts.hjust, save_v = ts.vjust;
  const double save_s = ts.sin_a, save_c = ts.cos_a;
  const int W = ctx->core.page_w, H = ctx->core.page_h, m = ts.height;
  ts.hjust = ts.vjust = 0;
  if (idir == 1) set_angle(ts, 90);
  int len = text_length_rounded(*ctx, text);
  double x, y;
  bool right = iopt == 2 || iopt == 4, bottom = iopt >= 3;
  if (idir == 0) {
    x = right ? W - m - len : m;
    y = bottom ? H - 2 * m : m;
  } else {
    x = right ? W - 2 * m : m;
    y = bottom ? H - m : m + len;
  }
  place_text(*ctx, text, x, y);
  ts.angle = save_ang;
  ts.sin_a = save_s;
  ts.cos_a = save_c;
  ts.hjust = save_h;
  ts.vjust = save_v;
}

// --- services for the other subsystems

void text_draw(Context& ctx, const char* s, double x, double y) { place_text(ctx, s, x, y); }

double text_length(Context& ctx, const char* s) { return text_length_rounded(ctx, s); }

void text_draw_at(Context& ctx, const char* s, double x, double y, int h, double ang) {
  TextState& ts = ctx.text;
  const int sh = ts.height, sa = ts.angle;
  const double ss = ts.sin_a, sc = ts.cos_a;
  ts.height = h < 1 ? 1 : h > 10000 ? 10000 : h;
  ts.angle = static_cast<int>(std::lround(ang));
  set_angle(ts, ang);
  device_font_changed(ctx);
  place_text(ctx, s, x, y);
  ts.height = sh;
  ts.angle = sa;
  ts.sin_a = ss;
  ts.cos_a = sc;
  device_font_changed(ctx);
}

double text_length_at(Context& ctx, const char* s, int h) {
  TextState& ts = ctx.text;
  const int sh = ts.height;
  ts.height = h < 1 ? 1 : h > 10000 ? 10000 : h;
  double l = text_length_rounded(ctx, s);
  ts.height = sh;
  return l;
}

int text_height(const Context& ctx) { return ctx.text.height; }

}  // namespace tavero
