// Number formatting for everything the library writes on a page: axis labels,
// legend, bar, pie and contour values and the routines number / rlnumb / nlnumb.
//
// The digits are generated here (never by the host's printf family) so the text is
// the same on every platform.  All functions write into caller buffers of a given
// length, never past buflen - 1 characters, always terminate, and return the
// length written; nothing allocates except the std::string convenience wrapper.
#pragma once

#include <string>

namespace tavero {

// Number format chosen by numfmt, keyword list "FLOA+EXP +FEXP+LOG +XEXP".
enum class NumForm : int { Float = 0, Exp = 1, FExp = 2, Log = 3, XExp = 4 };

// The four number-mode characters of numode, stored together.
struct NumMode {
  char dec = '.';  // decimal character: '.' or ','
  char grp = '0';  // thousands grouping: '0' none, ' ', '.' or ','
  char pos = '0';  // sign for non-negative numbers: '0' none, ' ' or '+'
  char fix = '0';  // equal-width digits: '0' off, '1' on
};

// Context-record fields of the number formatter.
struct NumFormatState {
  int format = 0;  // a NumForm value
  NumMode mode;

  void reset() { *this = NumFormatState{}; }
  NumForm form() const { return static_cast<NumForm>(format); }
};

// Longest formatted number; buffers for build_number need kNumberBufLen.
inline constexpr int kNumberMaxLen = 50;
inline constexpr int kNumberBufLen = kNumberMaxLen + 1;
// Fixed spacing factor used while equal-width digits are drawn.
inline constexpr double kEqualWidthFactor = 0.7;

// numfmt: idx is the 1-based keyword index; idx <= 0 (no match) leaves the state.
void set_numfmt(NumFormatState& st, int idx);
// numode: 1-based keyword indices for "POIN+COMM", "NONE+SPAC+POIN+COMM",
// "NONE+SPAC+PLUS", "NOEQ+EQUA"; an index <= 0 leaves that character unchanged.
void set_numode(NumFormatState& st, int idec, int igrp, int ipos, int ifix);

// Fixed formatter.  ndig: -1 integer without point ("3"), 0 integer with point
// ("3."), n > 0 exactly n decimals; values below -1 act as -1, above 100 as 100.
// Rounds half away from zero the double product x * 10^ndig (below 2^53; above, the
// exact product), and writes all digits of the result, so only the buffer cuts.
// width > 0 pads on the left with blanks to that width; with width 0 a negative
// number that rounds to zero loses its sign.  NaN and infinities: "NaN", "Inf", "-Inf".
int format_fixed(double x, int ndig, char* buf, int buflen, int width = 0);

// Exponent formatter for Exp, FExp and XExp (any other form is taken as FExp):
//   Exp  : mantissa "*10" exp_ch exponent res_ch
//   FExp : mantissa "E" exponent
//   XExp : mantissa "{D}10" exp_ch exponent res_ch
int format_exponent(double x, int ndig, NumForm form, char exp_ch, char res_ch, char* buf, int buflen);

// Number-mode step on s[0..len): decimal character, digit grouping (the result is
// then at most 39 characters), positive-sign character.  Returns the new length.
int apply_number_mode(char* s, int buflen, int len, const NumMode& mode);

// The whole label string of x in the given form, number mode included:
//   Float : fixed formatter
//   Log   : "10" exp_ch <fixed value> res_ch  (x is drawn as a power of ten)
//   Exp, FExp, XExp : exponent formatter, the mode applied to the mantissa only.
// Result at most kNumberMaxLen characters (and buflen - 1).
int build_number(const NumFormatState& st, NumForm form, double x, int ndig, char exp_ch, char res_ch,
                 char* buf, int buflen);
inline int build_number(const NumFormatState& st, double x, int ndig, char exp_ch, char res_ch, char* buf,
                        int buflen) {
  return build_number(st, st.form(), x, ndig, exp_ch, res_ch, buf, buflen);
}
std::string format_number(const NumFormatState& st, double x, int ndig, char exp_ch = '^', char res_ch = '%');

// How the text engine must draw a string made by build_number.
struct NumberDrawMode {
  bool fixed_spacing;        // switch fixed spacing on with kEqualWidthFactor
  bool shift_chars;          // switch the exponent/reset shift characters on
  bool math_shift_alphabet;  // shift alphabet 1 = MATH entered by '{', left by '}'
};
NumberDrawMode number_draw_mode(const NumFormatState& st, NumForm form);

// Integer formatter (intcha, exponents): '-' for negative values, then the digits.
// width > 0 pads on the left to that width with blanks, or zeros after the sign
// when zero_pad is set.  Returns the length.
int int_to_chars(long long n, char* buf, int buflen, int width = 0, bool zero_pad = false);

}  // namespace tavero
