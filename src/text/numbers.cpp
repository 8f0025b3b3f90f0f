// Number output (number, rlnumb, nlnumb, numfmt, numode) on top of the formatter, and the
// string utilities (intcha, fcha, intlen, flen, trmlen, upstr, intutf, utfint).
#include <cmath>
#include <cstring>

#include "axes/axis_convert.h"
#include "core/entry.h"
#include "core/keywords.h"
#include "core/messages.h"
#include "tavero_api.h"
#include "text/codepages.h"
#include "text/engine.h"
#include "text/text.h"

namespace tavero {

NumberTextScope::NumberTextScope(Context& ctx) : NumberTextScope(ctx, ctx.text.num.form()) {}

NumberTextScope::NumberTextScope(Context& ctx, NumForm form) : ts_(ctx.text) {
  fixed_ = ts_.fixed;
  fixed_factor_ = ts_.fixed_factor;
  mix_ = ts_.mix_on;
  shift_on_ = ts_.shift_on;
  shift0_ = ts_.shift[0];
  tex_on_ = ts_.tex.on;
  ts_.tex.on = 0;  // a number is never TeX, whatever its exponent characters look like
  NumberDrawMode m = number_draw_mode(ts_.num, form);
  if (m.fixed_spacing) {
    ts_.fixed = 1;
    ts_.fixed_factor = kEqualWidthFactor;
  }
  if (m.shift_chars) ts_.mix_on = 1;
  if (m.math_shift_alphabet) {
    ts_.shift[0] = ShiftAlphabet{kMath, '{', '}'};
    ts_.shift_on = 1;
  }
}

NumberTextScope::~NumberTextScope() {
  ts_.fixed = fixed_;
  ts_.fixed_factor = fixed_factor_;
  ts_.mix_on = mix_;
  ts_.shift_on = shift_on_;
  ts_.shift[0] = shift0_;
  ts_.tex.on = tex_on_;
}

int text_format_number(Context& ctx, double v, int ndig, char* buf, int cap) {
  const TextState& ts = ctx.text;
  return build_number(ts.num, v, ndig, static_cast<char>(ts.exp_ch), static_cast<char>(ts.res_ch), buf, cap);
}

void text_draw_number(Context& ctx, double v, int ndig, double x, double y, int h, double ang) {
  char b[kNumberBufLen];
  text_format_number(ctx, v, ndig, b, kNumberBufLen);
  NumberTextScope scope(ctx);
  text_draw_at(ctx, b, x, y, h, ang);
}

double text_length_number(Context& ctx, double v, int ndig, int h) {
  char b[kNumberBufLen];
  text_format_number(ctx, v, ndig, b, kNumberBufLen);
  NumberTextScope scope(ctx);
  return text_length_at(ctx, b, h);
}

namespace {

// messag for a number string: page origin, justification and the number's drawing mode.
void draw_number(Context& ctx, double x, int ndig, double px, double py, bool page_origin) {
  char b[kNumberBufLen];
  text_format_number(ctx, x, ndig, b, kNumberBufLen);
  NumberTextScope scope(ctx);
  const bool cont = px == 999 && py == 999;
  if (!cont && page_origin && ctx.core.page_origin == 1) py = ctx.core.page_h - py;
  if (!cont) {
    const TextState& ts = ctx.text;
    double dx = 0, dy = 0;
    if (ts.hjust) {
      int len = text_length_rounded(ctx, b);
      dx = ts.hjust == 1 ? len / 2.0 : len;
    }
    if (ts.vjust) dy = ts.vjust == 1 ? ts.height / 2.0 : ts.height;
    px = std::trunc(px - dx * ts.cos_a - dy * ts.sin_a + 0.5);
    py = std::trunc(py + dx * ts.sin_a - dy * ts.cos_a + 0.5);
  }
  place_text(ctx, b, px, py);
}

}  // namespace

void number(double x, int ndig, int nx, int ny) {
  Context* ctx = enter(R::number);
  if (!ctx) return;
  if (check_range(*ctx, ndig, -1, 100)) return;
  draw_number(*ctx, x, ndig, nx, ny, true);
}

void rlnumb(double x, int ndig, double xp, double yp) {
  Context* ctx = enter(R::rlnumb);
  if (!ctx) return;
  if (check_range(*ctx, ndig, -1, 100)) return;
  double px = 999, py = 999;
  if (!(std::fabs(xp - 999) < 0.1 && std::fabs(yp - 999) < 0.1)) {
    user_to_plot(*ctx, xp, yp, px, py);
    if (!std::isfinite(px) || !std::isfinite(py) || std::fabs(px) > 2e9 || std::fabs(py) > 2e9) {
      count_nan(*ctx);
      return;
    }
    px = static_cast<int>(px + 0.5);
    py = static_cast<int>(py + 0.5);
  }
  ctx->text.user_position = 1;
  draw_number(*ctx, x, ndig, px, py, false);
  ctx->text.user_position = 0;
}

int nlnumb(double x, int ndig) {
  Context* ctx = enter(R::nlnumb);
  if (!ctx) return 0;
  if (check_range(*ctx, ndig, -1, 100)) return 0;
  char b[kNumberBufLen];
  text_format_number(*ctx, x, ndig, b, kNumberBufLen);
  NumberTextScope scope(*ctx);
  return text_length_rounded(*ctx, b);
}

void numfmt(const char* copt) {
  Context* ctx = enter(R::numfmt);
  if (!ctx) return;
  set_numfmt(ctx->text.num, lookup_keyword(*ctx, "FLOA+EXP +FEXP+LOG +XEXP", 5, copt));
}

void numode(const char* cdec, const char* cgrp, const char* cpos, const char* cfix) {
  Context* ctx = enter(R::numode);
  if (!ctx) return;
  int a = lookup_keyword(*ctx, "POIN+COMM", 2, cdec);
  int b = lookup_keyword(*ctx, "NONE+SPAC+POIN+COMM", 4, cgrp);
  int c = lookup_keyword(*ctx, "NONE+SPAC+PLUS", 3, cpos);
  int d = lookup_keyword(*ctx, "NOEQ+EQUA", 2, cfix);
  set_numode(ctx->text.num, a, b, c, d);
}

// --- string utilities

int intcha(int n, char* cstr) {
  Context* ctx = enter(R::intcha);
  if (!ctx) {
    cstr[0] = 0;
    return 0;
  }
  return int_to_chars(n, cstr, 33);
}

int fcha(double x, int ndig, char* cstr) {
  Context* ctx = enter(R::fcha);
  cstr[0] = 0;
  if (!ctx) return 0;
  if (check_range(*ctx, ndig, -1, 60)) return 0;
  int n = format_fixed(x, ndig, cstr, 65, 0);
  return apply_number_mode(cstr, 65, n, ctx->text.num.mode);
}

int intlen(int n) {
  Context* ctx = enter(R::intlen);
  if (!ctx) return 0;
  char b[24];
  return int_to_chars(n, b, sizeof b);
}

int flen(double x, int ndig) {
  Context* ctx = enter(R::flen);
  if (!ctx) return 0;
  if (check_range(*ctx, ndig, -1, 60)) return 0;
  char b[65];
  int n = format_fixed(x, ndig, b, 65, 0);
  return apply_number_mode(b, 65, n, ctx->text.num.mode);
}

int trmlen(const char* cstr) {
  Context* ctx = enter(R::trmlen);
  if (!ctx || !cstr) return 0;
  int n = static_cast<int>(std::strlen(cstr));
  while (n > 0 && cstr[n - 1] == ' ') --n;
  return n;
}

void upstr(char* cstr) {
  Context* ctx = enter(R::upstr);
  if (!ctx || !cstr) return;
  for (char* p = cstr; *p; ++p)
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
}

// Code points into UTF-8; a value that is no character is written as '?'.
int intutf(const int* iray, int nray, char* cstr) {
  constexpr int kCap = 1024;
  Context* ctx = enter(R::intutf);
  cstr[0] = 0;
  if (!ctx) return 0;
  int n = 0;
  for (int i = 0; i < nray; ++i) {
    unsigned c = static_cast<unsigned>(iray[i]);
    if (iray[i] <= 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = '?';
    char b[4];
    int k;
    if (c < 0x80) {
      b[0] = static_cast<char>(c);
      k = 1;
    } else if (c < 0x800) {
      b[0] = static_cast<char>(0xC0 | (c >> 6));
      b[1] = static_cast<char>(0x80 | (c & 0x3F));
      k = 2;
    } else if (c < 0x10000) {
      b[0] = static_cast<char>(0xE0 | (c >> 12));
      b[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      b[2] = static_cast<char>(0x80 | (c & 0x3F));
      k = 3;
    } else {
      b[0] = static_cast<char>(0xF0 | (c >> 18));
      b[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      b[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      b[3] = static_cast<char>(0x80 | (c & 0x3F));
      k = 4;
    }
    if (n + k > kCap) break;
    std::memcpy(cstr + n, b, static_cast<size_t>(k));
    n += k;
  }
  cstr[n] = 0;
  return n;
}

// UTF-8 into code points; -1 (after message 123) for a string that is not UTF-8.
int utfint(const char* cstr, int* iray, int n) {
  Context* ctx = enter(R::utfint);
  if (!ctx || !cstr) return 0;
  std::vector<int> codes(std::strlen(cstr) + 1);
  int k = 0;
  if (decode_utf8(cstr, codes.data(), static_cast<int>(codes.size()), &k) != kDecodeOk) {
    warn_text(*ctx, 123, "Syntax error in UTF string");
    return -1;
  }
  if (k > n) k = n;
  for (int i = 0; i < k; ++i) iray[i] = codes[static_cast<size_t>(i)];
  return k;
}

}  // namespace tavero
