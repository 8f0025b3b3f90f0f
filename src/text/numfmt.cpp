// Fixed and exponent number formatters and the number-mode step.

#include "text/numfmt.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "text/fastfmt.h"

namespace tavero {
namespace {

// Correctly rounded powers of ten (the literals are converted by the compiler).
constexpr double kPow10[309] = {
    1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22, 1e23,
    1e24, 1e25, 1e26, 1e27, 1e28, 1e29, 1e30, 1e31, 1e32, 1e33, 1e34, 1e35,
    1e36, 1e37, 1e38, 1e39, 1e40, 1e41, 1e42, 1e43, 1e44, 1e45, 1e46, 1e47,
    1e48, 1e49, 1e50, 1e51, 1e52, 1e53, 1e54, 1e55, 1e56, 1e57, 1e58, 1e59,
    1e60, 1e61, 1e62, 1e63, 1e64, 1e65, 1e66, 1e67, 1e68, 1e69, 1e70, 1e71,
    1e72, 1e73, 1e74, 1e75, 1e76, 1e77, 1e78, 1e79, 1e80, 1e81, 1e82, 1e83,
    1e84, 1e85, 1e86, 1e87, 1e88, 1e89, 1e90, 1e91, 1e92, 1e93, 1e94, 1e95,
    1e96, 1e97, 1e98, 1e99, 1e100, 1e101, 1e102, 1e103, 1e104, 1e105, 1e106, 1e107,
    1e108, 1e109, 1e110, 1e111, 1e112, 1e113, 1e114, 1e115, 1e116, 1e117, 1e118, 1e119,
    1e120, 1e121, 1e122, 1e123, 1e124, 1e125, 1e126, 1e127, 1e128, 1e129, 1e130, 1e131,
    1e132, 1e133, 1e134, 1e135, 1e136, 1e137, 1e138, 1e139, 1e140, 1e141, 1e142, 1e143,
    1e144, 1e145, 1e146, 1e147, 1e148, 1e149, 1e150, 1e151, 1e152, 1e153, 1e154, 1e155,
    1e156, 1e157, 1e158, 1e159, 1e160, 1e161, 1e162, 1e163, 1e164, 1e165, 1e166, 1e167,
    1e168, 1e169, 1e170, 1e171, 1e172, 1e173, 1e174, 1e175, 1e176, 1e177, 1e178, 1e179,
    1e180, 1e181, 1e182, 1e183, 1e184, 1e185, 1e186, 1e187, 1e188, 1e189, 1e190, 1e191,
    1e192, 1e193, 1e194, 1e195, 1e196, 1e197, 1e198, 1e199, 1e200, 1e201, 1e202, 1e203,
    1e204, 1e205, 1e206, 1e207, 1e208, 1e209, 1e210, 1e211, 1e212, 1e213, 1e214, 1e215,
    1e216, 1e217, 1e218, 1e219, 1e220, 1e221, 1e222, 1e223, 1e224, 1e225, 1e226, 1e227,
    1e228, 1e229, 1e230, 1e231, 1e232, 1e233, 1e234, 1e235, 1e236, 1e237, 1e238, 1e239,
    1e240, 1e241, 1e242, 1e243, 1e244, 1e245, 1e246, 1e247, 1e248, 1e249, 1e250, 1e251,
    1e252, 1e253, 1e254, 1e255, 1e256, 1e257, 1e258, 1e259, 1e260, 1e261, 1e262, 1e263,
    1e264, 1e265, 1e266, 1e267, 1e268, 1e269, 1e270, 1e271, 1e272, 1e273, 1e274, 1e275,
    1e276, 1e277, 1e278, 1e279, 1e280, 1e281, 1e282, 1e283, 1e284, 1e285, 1e286, 1e287,
    1e288, 1e289, 1e290, 1e291, 1e292, 1e293, 1e294, 1e295, 1e296, 1e297, 1e298, 1e299,
    1e300, 1e301, 1e302, 1e303, 1e304, 1e305, 1e306, 1e307, 1e308,
};

constexpr double kTwo53 = 9007199254740992.0;

// Appends characters to buf while fewer than cap have been written.
struct Sink {
  char* buf;
  int cap;
  int n = 0;
  void put(char c) {
    if (n < cap) buf[n++] = c;
  }
  void put(const char* s, int len) {
    for (int i = 0; i < len; ++i) put(s[i]);
  }
  void put(const char* s) { put(s, static_cast<int>(std::strlen(s))); }
  void fill(char c, int k) {
    for (; k > 0; --k) put(c);
  }
  int finish() {
    buf[n] = '\0';
    return n;
  }
};

// Digits of |x| * 10^scale rounded half away from zero, most significant first.
// The product is the double product as long as it stays below 2^53, where every
// integer and half is representable; beyond that it is formed exactly.
int rounded_digits(double ax, int scale, char* dg) {
  const double y = scale > 0 ? ax * kPow10[scale] : ax;
  if (y < kTwo53) return static_cast<int>(fastfmt::append_uint(dg, static_cast<uint64_t>(std::round(y))) - dg);
  return fastfmt::exact_scaled_digits(ax, scale, true, dg);
}

// a * 10^k for k in -308..632 without overflowing the intermediate.
double times_pow10(double a, int k) {
  if (k < 0) return a / kPow10[-k];
  while (k > 308) {
    a *= 1e308;
    k -= 308;
  }
  return a * kPow10[k];
}

int clamp_ndig(int ndig) { return ndig < -1 ? -1 : ndig > 100 ? 100 : ndig; }

const char* non_finite_text(double x) { return std::isnan(x) ? "NaN" : x < 0 ? "-Inf" : "Inf"; }

// Mantissa text (fixed formatter, buffer of 21) and decimal exponent of x, so that
// the mantissa lies in [1, 10) after rounding to ndig digits.
void exponent_parts(double x, int ndig, char* mant, int& mlen, int& e) {
  constexpr int kMantBuf = 21;
  double a = std::fabs(x);
  e = 0;
  if (a != 0) {
    // log10 may be off by one next to a power of ten; the checks settle it, and a
    // value exactly one step below a power of ten may end at 10.0, which the
    // mantissa check below turns into 1.0.
    e = static_cast<int>(std::floor(std::log10(a)));
    a = times_pow10(std::fabs(x), -e);
    if (a >= 10) {
      ++e;
      a = times_pow10(std::fabs(x), -e);
    } else if (a < 1) {
      --e;
      a = times_pow10(std::fabs(x), -e);
    }
    if (a < 1) {
      --e;
      a = times_pow10(std::fabs(x), -e);
    }
  }
  mlen = format_fixed(std::copysign(a, x), ndig, mant, kMantBuf, 0);
  const char* m = mant[0] == '-' ? mant + 1 : mant;
  const bool ten = ndig < 0 ? std::strcmp(m, "10") == 0 : std::strncmp(m, "10.", 3) == 0;
  if (ten) {
    ++e;
    mlen = format_fixed(std::copysign(a / 10, x), ndig, mant, kMantBuf, 0);
  }
}

// Exponent part of the forms Exp, FExp and XExp for exponent e.
int exponent_suffix(NumForm form, int e, char exp_ch, char res_ch, char* out) {
  char num[24];
  const int nl = int_to_chars(e, num, sizeof num);
  Sink s{out, 40};
  if (form == NumForm::Exp) {
    s.put("*10");
    s.put(exp_ch);
  } else if (form == NumForm::XExp) {
    s.put("{D}10");
    s.put(exp_ch);
  } else {
    s.put('E');
  }
  s.put(num, nl);
  if (form != NumForm::FExp) s.put(res_ch);
  return s.finish();
}

NumForm exponent_form(NumForm form) {
  return form == NumForm::Exp || form == NumForm::XExp ? form : NumForm::FExp;
}

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void set_numfmt(NumFormatState& st, int idx) {
  if (idx >= 1 && idx <= 5) st.format = idx - 1;
}

void set_numode(NumFormatState& st, int idec, int igrp, int ipos, int ifix) {
  static constexpr char kDec[] = {'.', ','};
  static constexpr char kGrp[] = {'0', ' ', '.', ','};
  static constexpr char kPos[] = {'0', ' ', '+'};
  static constexpr char kFix[] = {'0', '1'};
  if (idec >= 1 && idec <= 2) st.mode.dec = kDec[idec - 1];
  if (igrp >= 1 && igrp <= 4) st.mode.grp = kGrp[igrp - 1];
  if (ipos >= 1 && ipos <= 3) st.mode.pos = kPos[ipos - 1];
  if (ifix >= 1 && ifix <= 2) st.mode.fix = kFix[ifix - 1];
}

int format_fixed(double x, int ndig, char* buf, int buflen, int width) {
  if (buflen <= 0) return 0;
  Sink out{buf, buflen - 1};
  ndig = clamp_ndig(ndig);
  if (!std::isfinite(x)) {
    const char* t = non_finite_text(x);
    out.fill(' ', width - static_cast<int>(std::strlen(t)));
    out.put(t);
    return out.finish();
  }
  const bool neg = x < 0;
  char dg[fastfmt::kMaxScaledDigits];
  const int n = rounded_digits(neg ? -x : x, ndig > 0 ? ndig : 0, dg);

  const int len = (n > ndig ? n + (ndig >= 0 ? 1 : 0) : ndig + 2) + (neg ? 1 : 0);
  out.fill(' ', width - len);
  if (neg) out.put('-');
  if (n <= ndig) {
    out.put("0.");
    out.fill('0', ndig - n);
    out.put(dg, n);
  } else {
    for (int i = 0; i < n; ++i) {
      out.put(dg[i]);
      if (ndig > 0 && n - 1 - i == ndig) out.put('.');
    }
    if (ndig == 0) out.put('.');
  }
  int len_out = out.finish();
  if (width == 0 && neg) {
    bool zero = true;
    for (int i = 1; i < len_out && zero; ++i) zero = buf[i] == '0' || buf[i] == '.';
    if (zero) {
      std::memmove(buf, buf + 1, static_cast<size_t>(len_out));  // moves the terminator too
      --len_out;
    }
  }
  return len_out;
}

int format_exponent(double x, int ndig, NumForm form, char exp_ch, char res_ch, char* buf, int buflen) {
  constexpr int kExpBuf = 50;
  if (buflen <= 0) return 0;
  Sink out{buf, (buflen < kExpBuf ? buflen : kExpBuf) - 1};
  if (!std::isfinite(x)) {
    out.put(non_finite_text(x));
    return out.finish();
  }
  char mant[24], suffix[48];
  int mlen, e;
  exponent_parts(x, clamp_ndig(ndig), mant, mlen, e);
  out.put(mant, mlen);
  out.put(suffix, exponent_suffix(exponent_form(form), e, exp_ch, res_ch, suffix));
  return out.finish();
}

int apply_number_mode(char* s, int buflen, int len, const NumMode& mode) {
  if (buflen <= 0) return 0;
  if (len > buflen - 1) len = buflen - 1;
  if (len < 0) len = 0;
  int point = -1;
  for (int i = 0; i < len; ++i)
    if (s[i] == '.') {
      point = i;
      s[i] = mode.dec;
      break;
    }

  if (mode.grp != '0') {
    constexpr int kWork = 40;
    char w[kWork];
    Sink out{w, kWork - 1};
    int i = 0;
    while (i < len && !is_digit(s[i])) out.put(s[i++]);  // blanks and sign
    int end = i;
    while (end < len && is_digit(s[end])) ++end;
    for (int k = i; k < end; ++k) {  // integer part, groups counted from the right
      out.put(s[k]);
      if (k + 1 < end && (end - 1 - k) % 3 == 0) out.put(mode.grp);
    }
    i = end;
    if (i < len && i == point) {
      out.put(s[i++]);
      end = i;
      while (end < len && is_digit(s[end])) ++end;
      for (int k = i; k < end; ++k) {  // fraction, groups counted from the left
        out.put(s[k]);
        if (k + 1 < end && (k + 1 - i) % 3 == 0) out.put(mode.grp);
      }
      i = end;
    }
    while (i < len) out.put(s[i++]);
    while (out.n > 0 && w[out.n - 1] == ' ') --out.n;
    len = out.n < buflen - 1 ? out.n : buflen - 1;
    std::memcpy(s, w, static_cast<size_t>(len));
  }

  if (mode.pos != '0') {
    int f = 0;
    while (f < len && s[f] == ' ') ++f;
    if (f < len && s[f] != '-') {  // never in front of a minus sign
      const int nl = len + 1 < buflen - 1 ? len + 1 : buflen - 1;
      if (nl > f) {
        std::memmove(s + f + 1, s + f, static_cast<size_t>(nl - f - 1));
        s[f] = mode.pos;
        len = nl;
      }
    }
  }
  s[len] = '\0';
  return len;
}

int build_number(const NumFormatState& st, NumForm form, double x, int ndig, char exp_ch, char res_ch,
                 char* buf, int buflen) {
  if (buflen <= 0) return 0;
  Sink out{buf, (buflen < kNumberBufLen ? buflen : kNumberBufLen) - 1};
  char tmp[kNumberBufLen];
  if (form == NumForm::Float || form == NumForm::Log) {
    int n = format_fixed(x, ndig, tmp, kNumberBufLen, 0);
    n = apply_number_mode(tmp, kNumberBufLen, n, st.mode);
    if (form == NumForm::Log) {
      out.put("10");
      out.put(exp_ch);
      out.put(tmp, n);
      out.put(res_ch);
    } else {
      out.put(tmp, n);
    }
    return out.finish();
  }
  if (!std::isfinite(x)) {
    out.put(non_finite_text(x));
    return out.finish();
  }
  int mlen, e;
  exponent_parts(x, clamp_ndig(ndig), tmp, mlen, e);
  mlen = apply_number_mode(tmp, kNumberBufLen, mlen, st.mode);
  out.put(tmp, mlen);
  char suffix[48];
  out.put(suffix, exponent_suffix(exponent_form(form), e, exp_ch, res_ch, suffix));
  return out.finish();
}

std::string format_number(const NumFormatState& st, double x, int ndig, char exp_ch, char res_ch) {
  char b[kNumberBufLen];
  const int n = build_number(st, x, ndig, exp_ch, res_ch, b, kNumberBufLen);
  return std::string(b, static_cast<size_t>(n));
}

NumberDrawMode number_draw_mode(const NumFormatState& st, NumForm form) {
  return NumberDrawMode{st.mode.fix == '1', form != NumForm::Float, form == NumForm::XExp};
}

int int_to_chars(long long n, char* buf, int buflen, int width, bool zero_pad) {
  if (buflen <= 0) return 0;
  char dg[fastfmt::kMaxIntLen];
  const bool neg = n < 0;
  const unsigned long long u = neg ? 0ull - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
  const int nd = static_cast<int>(fastfmt::append_uint(dg, u) - dg);
  const int pad = width - nd - (neg ? 1 : 0);
  Sink out{buf, buflen - 1};
  if (!zero_pad) out.fill(' ', pad);
  if (neg) out.put('-');
  if (zero_pad) out.fill('0', pad);
  out.put(dg, nd);
  return out.finish();
}

}  // namespace tavero
