// Number formatters: label formatter (fixed, exponent forms, number mode, intcha)
// and the fast exact formatter of the vector file writers.
//
//   g++ -std=c++20 -O2 -Wall -Wextra -I src tests/cpp/test_numfmt.cpp
//       src/text/numfmt.cpp src/text/fastfmt.cpp -o /tmp/tn && /tmp/tn

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "text/fastfmt.h"
#include "text/numfmt.h"

using namespace tavero;

static int g_fail = 0;
static void fail_eq(int line, const char* what, const std::string& got, const std::string& want) {
  if (++g_fail <= 40) std::printf("line %d: %s\n  got  [%s]\n  want [%s]\n", line, what, got.c_str(), want.c_str());
}
#define CHECK_EQ(got, want)                             \
  do {                                                  \
    const std::string g_ = (got), w_ = (want);          \
    if (g_ != w_) fail_eq(__LINE__, #got, g_, w_);      \
  } while (0)
#define CHECK(cond) \
  do {              \
    if (!(cond)) fail_eq(__LINE__, #cond, "false", "true"); \
  } while (0)

static std::string fx(double x, int ndig, int width = 0, int buflen = kNumberBufLen) {
  char b[512];
  const int n = format_fixed(x, ndig, b, buflen, width);
  CHECK(n == static_cast<int>(std::strlen(b)));
  return b;
}
static std::string num(NumForm f, double x, int ndig, NumMode m = {}, char ec = '^', char rc = '%') {
  NumFormatState st;
  st.mode = m;
  char b[kNumberBufLen];
  const int n = build_number(st, f, x, ndig, ec, rc, b, kNumberBufLen);
  CHECK(n == static_cast<int>(std::strlen(b)) && n <= kNumberMaxLen);
  return b;
}
static std::string fast(double v, int d, unsigned flags = 0) {
  char b[fastfmt::kMaxFixedLen + 1];
  return std::string(b, fastfmt::append_fixed(b, v, d, flags));
}
static std::string cfmt(double v, int d) {
  char b[512];
  std::snprintf(b, sizeof b, "%.*f", d, v);
  return b;
}
// C's output, with a result that rounds to zero written without sign.
static std::string cfmt_unsigned_zero(double v, int d) {
  std::string s = cfmt(v, d);
  if (s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos) s.erase(0, 1);
  return s;
}

static void test_fixed_cases() {
  struct Case {
    double x;
    int ndig, width, buflen;
    const char* want;
  };
  const std::string zeros48 = std::string(48, '0');
  static const Case cases[] = {
      // The documented forms.
      {0, 2, 0, 51, "0.00"}, {-0.001, 2, 0, 51, "0.00"}, {-0.4, -1, 0, 51, "0"}, {2.5, -1, 0, 51, "3"},
      {2.5, 0, 0, 51, "3."}, {-2.5, -1, 0, 51, "-3"}, {0.05, 2, 0, 51, "0.05"}, {5, 3, 0, 51, "5.000"},
      {12.345, 1, 0, 51, "12.3"}, {3.14159, 2, 8, 51, "    3.14"}, {-3.14159, 2, 8, 51, "   -3.14"},
      // ndig below -1 acts as -1; a field narrower than the number cuts nothing.
      {-7.5, -9, 0, 51, "-8"}, {-1234.5, 1, 3, 51, "-1234.5"},
      // Half away from zero; the largest double below one half stays 0.
      {0.125, 2, 0, 51, "0.13"}, {-0.125, 2, 0, 51, "-0.13"}, {0.49999999999999994, -1, 0, 51, "0"},
      // The scaled value is the double product: 2.675 * 100 is 267.5 exactly.
      {2.675, 2, 0, 51, "2.68"}, {9.996, 2, 0, 51, "10.00"}, {0.999, 2, 0, 51, "1.00"},
      // Negative zero and negatives that round to zero carry no sign, except in a field.
      {-0.0, -1, 0, 51, "0"}, {-0.0, 0, 0, 51, "0."}, {-1e-300, 5, 0, 51, "0.00000"},
      {-0.004, 2, 6, 51, " -0.00"}, {-0.0, 2, 6, 51, "  0.00"},
      // Beyond 2^53 the digits are those of the exact value.
      {1e20, -1, 0, 51, "100000000000000000000"}, {123456789012345678.0, 0, 0, 51, "123456789012345680."},
      {9007199254740994.0, 1, 0, 51, "9007199254740994.0"}, {4503599627370497.5, -1, 0, 51, "4503599627370498"},
      {1e15 + 0.3, 3, 0, 51, "1000000000000000.250"},
      {DBL_MAX, -1, 0, 51, "17976931348623157081452742373170435679807056752584"},
      // Every write is bounded by the buffer; the sign rule sees the cut string.
      {3.14159, 4, 0, 5, "3.14"}, {-0.00001, 5, 0, 5, "0.0"}, {3.14159, 4, 9, 6, "   3."}, {1, 2, 0, 1, ""},
      {NAN, 2, 0, 51, "NaN"}, {-INFINITY, 2, 6, 51, "  -Inf"},
  };
  for (const Case& c : cases) CHECK_EQ(fx(c.x, c.ndig, c.width, c.buflen), c.want);
  CHECK_EQ(fx(1, 100, 0, 200), "1." + std::string(100, '0'));
  CHECK_EQ(fx(1, 101, 0, 200), fx(1, 100, 0, 200));
  CHECK_EQ(fx(1e-100, 100, 0, 200), "0." + std::string(99, '0') + "1");
  CHECK_EQ(fx(5e-324, 100), "0." + zeros48);
  CHECK_EQ(fx(-DBL_MAX, 2, 0, 400), cfmt(-DBL_MAX, 2));
}

// Agreement with C's exact formatting, except where the double product
// x * 10^ndig lies within its rounding error of a half.
static void test_fixed_random_against_c() {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> mant(1.0, 10.0);
  std::uniform_int_distribution<int> expo(-8, 14), dig(-1, 8);
  int near_half = 0;
  for (int i = 0; i < 300000; ++i) {
    const int nd = dig(rng);
    double x = mant(rng) * std::pow(10.0, expo(rng)) * (i & 1 ? -1 : 1);
    if (i % 7 == 0) x = std::round(x * 1000) / 1000;  // decimal-looking values
    const std::string want = cfmt_unsigned_zero(x, nd < 0 ? 0 : nd) + (nd == 0 ? "." : "");
    if (fx(x, nd) != want) {
      const long double y = std::fabs(static_cast<long double>(x)) * std::pow(10.0L, nd < 0 ? 0 : nd);
      CHECK(std::fabs(y - std::floor(y) - 0.5L) <= 1e-15L * y);
      ++near_half;
    }
  }
  CHECK(near_half < 3000);
}

static void test_exponent_forms() {
  const NumForm F = NumForm::FExp;
  CHECK_EQ(num(F, 1234.5, 2), "1.23E3");
  CHECK_EQ(num(F, 0.001, 1), "1.0E-3");
  CHECK_EQ(num(F, 0, 2), "0.00E0");
  CHECK_EQ(num(F, -0.0, 2), "0.00E0");
  CHECK_EQ(num(F, 9.96, 1), "1.0E1");  // the rounded mantissa reached ten
  CHECK_EQ(num(F, -9.96, 1), "-1.0E1");
  CHECK_EQ(num(F, 9.6, -1), "1E1");
  CHECK_EQ(num(F, -9.6, 0), "-1.E1");
  CHECK_EQ(num(F, 5e-324, 2), "4.94E-324");
  CHECK_EQ(num(F, 1e-323, 2), "9.88E-324");  // the literal's nearest subnormal
  CHECK_EQ(num(F, DBL_MAX, 3), "1.798E308");
  CHECK_EQ(num(F, 30, 25), "3.000000000000000000E1");  // the mantissa buffer holds 20
  CHECK_EQ(num(NumForm::Exp, 1234.5, 2), "1.23*10^3%");
  CHECK_EQ(num(NumForm::Exp, -0.05, 1, {}, '#', '$'), "-5.0*10#-2$");
  CHECK_EQ(num(NumForm::XExp, 1234.5, 2), "1.23{D}10^3%");
  CHECK_EQ(num(NumForm::XExp, 1e-7, -1, {}, '!', '~'), "1{D}10!-7~");
  CHECK_EQ(num(F, NAN, 2), "NaN");
  CHECK_EQ(num(F, -INFINITY, 2), "-Inf");
  char b[8];
  CHECK(format_exponent(1234.5, 2, NumForm::Exp, '^', '%', b, sizeof b) == 7);
  CHECK_EQ(std::string(b), "1.23*10");

  // Every normal power of ten, written as a literal, keeps its exponent.
  for (int k = -307; k <= 308; ++k) {
    char lit[16];
    std::snprintf(lit, sizeof lit, "1e%d", k);
    const double p = std::strtod(lit, nullptr);
    CHECK_EQ(num(F, p, 2), "1.00E" + std::to_string(k));
    if (k < 308) CHECK_EQ(num(F, -9.9999 * p, 2), "-1.00E" + std::to_string(k + 1));
  }
  // Any bit pattern: mantissa in [1, 10), value read back within the rounding.
  std::mt19937_64 rng(11);
  std::uniform_int_distribution<uint64_t> bits(1, 0x7fefffffffffffffull);
  for (int i = 0; i < 200000; ++i) {
    const uint64_t u = bits(rng);
    double x;
    std::memcpy(&x, &u, sizeof x);
    const int nd = i % 9;
    const std::string s = num(F, x, nd);
    const size_t ep = s.find('E');
    const double m = std::strtod(s.substr(0, ep).c_str(), nullptr);
    const long double back = static_cast<long double>(m) * std::pow(10.0L, std::strtol(s.c_str() + ep + 1, nullptr, 10));
    CHECK(m >= 1 && m < 10);
    CHECK(std::fabs(back / x - 1) <= 0.5L * std::pow(10.0L, -nd) * 1.0001L);
  }
}

static void test_number_mode() {
  const NumForm L = NumForm::Float;
  CHECK_EQ(num(L, 1.5, 1, {',', '0', '0', '0'}), "1,5");
  CHECK_EQ(num(L, 1234567, -1, {'.', ' ', '0', '0'}), "1 234 567");
  CHECK_EQ(num(L, -123456, -1, {'.', ',', '0', '0'}), "-123,456");
  CHECK_EQ(num(L, 1234567.1234, 4, {'.', ',', '0', '0'}), "1,234,567.123,4");
  CHECK_EQ(num(L, 1234567.1234, 4, {',', '.', '0', '0'}), "1.234.567,123.4");
  CHECK_EQ(num(L, 1234.5, 1, {'.', '.', '0', '0'}), "1.234.5");
  CHECK_EQ(num(L, 1234, 0, {'.', ' ', '0', '0'}), "1 234.");
  CHECK_EQ(num(L, 123, 6, {'.', ',', '0', '0'}), "123.000,000");
  CHECK_EQ(num(L, 1e30, 5, {'.', ',', '0', '0'}), "1,000,000,000,000,000,019,884,624,838,6");  // cut at 39
  // Positive-sign character, never in front of a minus sign.
  CHECK_EQ(num(L, 3.5, 1, {'.', '0', '+', '0'}), "+3.5");
  CHECK_EQ(num(L, 0, -1, {'.', '0', '+', '0'}), "+0");
  CHECK_EQ(num(L, -3.5, 1, {'.', '0', '+', '0'}), "-3.5");
  CHECK_EQ(num(L, -1234, -1, {'.', ' ', ' ', '0'}), "-1 234");
  // Exponent forms: only the mantissa goes through the mode.  Log: value as exponent.
  CHECK_EQ(num(NumForm::FExp, 1234.5, 2, {',', '.', '+', '0'}), "+1,23E3");
  CHECK_EQ(num(NumForm::Exp, 1.5e-4, 1, {',', '0', '0', '0'}), "1,5*10^-4%");
  CHECK_EQ(num(NumForm::Log, 3, -1), "10^3%");
  CHECK_EQ(num(NumForm::Log, -2.5, 1, {',', '0', '0', '0'}, '#', '$'), "10#-2,5$");
  // The step on its own: bounded by the buffer, sign after leading blanks.
  char s[8] = "1234567";
  CHECK(apply_number_mode(s, 8, 7, {'.', '0', '+', '0'}) == 7);
  CHECK_EQ(std::string(s), "+123456");
  char t[16] = "   12.5";
  CHECK(apply_number_mode(t, 16, 7, {',', '0', '+', '0'}) == 8);
  CHECK_EQ(std::string(t), "   +12,5");
}

static void test_state_and_int() {
  NumFormatState st;
  CHECK(st.format == 0 && st.mode.dec == '.' && st.mode.grp == '0' && st.mode.pos == '0' && st.mode.fix == '0');
  set_numfmt(st, 5);
  set_numfmt(st, 0);  // no match: unchanged
  CHECK(st.form() == NumForm::XExp);
  set_numode(st, 2, 2, 3, 2);
  CHECK(st.mode.dec == ',' && st.mode.grp == ' ' && st.mode.pos == '+' && st.mode.fix == '1');
  set_numode(st, 0, 4, 0, 0);
  CHECK(st.mode.dec == ',' && st.mode.grp == ',' && st.mode.pos == '+' && st.mode.fix == '1');
  const NumberDrawMode dm = number_draw_mode(st, st.form());
  CHECK(dm.fixed_spacing && dm.shift_chars && dm.math_shift_alphabet);
  CHECK(number_draw_mode(st, NumForm::Log).shift_chars && !number_draw_mode(st, NumForm::Log).math_shift_alphabet);
  st.reset();
  const NumberDrawMode df = number_draw_mode(st, st.form());
  CHECK(st.form() == NumForm::Float && !df.fixed_spacing && !df.shift_chars && !df.math_shift_alphabet);

  auto ic = [](long long n, int w = 0, bool z = false, int len = 32) {
    char b[32];
    const int k = int_to_chars(n, b, len, w, z);
    CHECK(k == static_cast<int>(std::strlen(b)));
    return std::string(b);
  };
  CHECK_EQ(ic(0), "0");
  CHECK_EQ(ic(-42), "-42");
  CHECK_EQ(ic(INT_MIN), "-2147483648");
  CHECK_EQ(ic(LLONG_MIN), "-9223372036854775808");
  CHECK_EQ(ic(-42, 5), "  -42");
  CHECK_EQ(ic(-42, 5, true), "-0042");
  CHECK_EQ(ic(12345, 3, true), "12345");
  CHECK_EQ(ic(-12345, 0, false, 4), "-12");
}

// ---- fast formatter ---------------------------------------------------------------

// Half-away rounding of C's exact expansion (exact for |v| >= 2^-8 at 70 decimals).
static std::string ref_away(double v, int d) {
  std::string s = cfmt(std::fabs(v), 70);
  const size_t p = s.find('.');
  const bool up = s[p + 1 + d] >= '5';
  s.erase(d ? p + 1 + d : p);
  int i = static_cast<int>(s.size()) - 1;
  for (; up && i >= 0; --i) {
    if (s[i] == '.') continue;
    if (s[i] != '9') {
      ++s[i];
      break;
    }
    s[i] = '0';
  }
  if (up && i < 0) s.insert(0, "1");
  if (v < 0 && s.find_first_not_of("0.") != std::string::npos) s.insert(0, "-");
  return s;
}

static void test_fast_against_c() {
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_int_distribution<int> ex(-12, 40), dd(0, 7);
  std::uniform_int_distribution<long long> kk(-2000000000000ll, 2000000000000ll);
  std::uniform_int_distribution<uint64_t> bits(0, 0x7fefffffffffffffull);
  long ties = 0;
  for (int i = 0; i < 3000000; ++i) {
    const int d = dd(rng);
    double v;
    switch (i % 4) {
      case 0: v = std::ldexp(unit(rng), ex(rng)); break;                      // coordinates and more
      case 1: v = std::ldexp(static_cast<double>(kk(rng)), -(i % 12)); break;  // dyadic: many ties
      case 2: v = static_cast<double>(kk(rng) % 100000000) / 1000; break;      // decimal-looking
      default: {                                                              // any bit pattern
        const uint64_t u = bits(rng) | (static_cast<uint64_t>(i & 8) << 60);
        std::memcpy(&v, &u, sizeof v);
      }
    }
    CHECK_EQ(fast(v, d), cfmt_unsigned_zero(v, d));
    if ((i % 4 == 1 || i % 4 == 2) && std::fabs(v) >= 0.00390625 && std::fabs(v) < 1e15) {
      const std::string a = fast(v, d, fastfmt::kTiesAway);
      CHECK_EQ(a, ref_away(v, d));
      ties += a != fast(v, d);
    }
  }
  CHECK(ties > 1000);  // the dyadic values did exercise the tie rule
}

static void test_fast_cases_and_engine() {
  CHECK_EQ(fast(0.125, 2), "0.12");
  CHECK_EQ(fast(0.125, 2, fastfmt::kTiesAway), "0.13");
  CHECK_EQ(fast(-0.0004, 3), "0.000");
  CHECK_EQ(fast(-5e-324, 7), "0.0000000");
  CHECK_EQ(fast(1.5, 9), "1.5000000");  // decimals clamp to 0..7
  CHECK_EQ(fast(NAN, 2), "0");
  CHECK_EQ(fast(-INFINITY, 2), "0");
  CHECK_EQ(fast(-DBL_MAX, 7), cfmt(-DBL_MAX, 7));
  CHECK_EQ(fast(99999999999.99995, 4), cfmt(99999999999.99995, 4));  // path boundary
  // Stripping touches the fraction only.
  CHECK_EQ(fast(1.5, 3, fastfmt::kStripZeros), "1.5");
  CHECK_EQ(fast(100.0, 2, fastfmt::kStripZeros), "100");
  CHECK_EQ(fast(100.0, 0, fastfmt::kStripZeros), "100");
  CHECK_EQ(fast(-0.0001, 2, fastfmt::kStripZeros), "0");
  CHECK_EQ(fast(1.25e12, 2, fastfmt::kStripZeros), "1250000000000");

  std::mt19937_64 rng(5);
  char b[32], c[32];
  for (int i = 0; i < 200000; ++i) {
    const long long v = static_cast<long long>(rng()) >> (i % 63);
    *fastfmt::append_int(b, v) = 0;
    std::snprintf(c, sizeof c, "%lld", v);
    CHECK_EQ(std::string(b), std::string(c));
  }
  *fastfmt::append_int(b, LLONG_MIN) = 0;
  CHECK_EQ(std::string(b), "-9223372036854775808");
  *fastfmt::append_uint(b, ULLONG_MAX) = 0;
  CHECK_EQ(std::string(b), "18446744073709551615");

  auto dig = [](double a, int s, bool away) {
    char d[fastfmt::kMaxScaledDigits];
    return std::string(d, static_cast<size_t>(fastfmt::exact_scaled_digits(a, s, away, d)));
  };
  CHECK_EQ(dig(0.5, 0, true), "1");
  CHECK_EQ(dig(0.5, 0, false), "0");
  CHECK_EQ(dig(1.5, 0, false), "2");
  CHECK_EQ(dig(1e-100, 100, true), "1");
  CHECK_EQ(dig(5e-324, 100, true), "0");
  CHECK_EQ(dig(0x1p-60, 19, true), "9");  // 8.67
  CHECK_EQ(dig(std::ldexp(1.0, 200), 0, true), cfmt(std::ldexp(1.0, 200), 0));
  const std::string mx = dig(DBL_MAX, 100, true);
  CHECK(mx.size() == 409 && mx.compare(0, 17, "17976931348623157") == 0 &&
        mx.find_first_not_of('0', 309) == std::string::npos);
}

int main() {
  test_fixed_cases();
  test_fixed_random_against_c();
  test_exponent_forms();
  test_number_mode();
  test_state_and_int();
  test_fast_against_c();
  test_fast_cases_and_engine();
  std::printf(g_fail ? "test_numfmt: %d failure(s)\n" : "test_numfmt: all passed\n", g_fail);
  return g_fail ? 1 : 0;
}
