// Fast exact fixed-point output; see fastfmt.h for the contract.
//
// A finite double is m * 2^e with an integer m < 2^53.  Writing it with d decimals
// means rounding m * 10^d * 2^e = (m * 5^d) * 2^(d+e) to an integer.  For everyday
// magnitudes the double product decides, unless it lies too close to a half; those
// values are rounded exactly in two 64-bit words.  Magnitudes from 1e11 on go
// through a small arbitrary-precision integer.

#include "text/fastfmt.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace tavero::fastfmt {
namespace {

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr uint64_t kPow10[20] = {1ull,
                                 10ull,
                                 100ull,
                                 1000ull,
                                 10000ull,
                                 100000ull,
                                 1000000ull,
                                 10000000ull,
                                 100000000ull,
                                 1000000000ull,
                                 10000000000ull,
                                 100000000000ull,
                                 1000000000000ull,
                                 10000000000000ull,
                                 100000000000000ull,
                                 1000000000000000ull,
                                 10000000000000000ull,
                                 100000000000000000ull,
                                 1000000000000000000ull,
                                 10000000000000000000ull};

constexpr uint32_t kPow5[14] = {1u,      5u,       25u,       125u,       625u,       3125u,      15625u,
                                78125u,  390625u,  1953125u,  9765625u,   48828125u,  244140625u, 1220703125u};

inline int count_digits(uint64_t v) {
  // floor(log10(v)) from the bit length, corrected by one comparison.
  v |= 1;
  const int t = ((64 - std::countl_zero(v)) * 1233) >> 12;  // 0..19
  return t + (v >= kPow10[t] ? 1 : 0);
}

// Writes exactly n digits of v (the low ones, zero-padded) ending just before end.
inline void put_digits_back(char* end, uint64_t v, int n) {
  while (n >= 2) {
    const unsigned r = static_cast<unsigned>(v % 100);
    v /= 100;
    end -= 2;
    std::memcpy(end, kPairs + 2 * r, 2);
    n -= 2;
  }
  if (n == 1) *--end = static_cast<char>('0' + v % 10);
}

inline char* put_uint(char* out, uint64_t v) {
  const int n = count_digits(v);
  put_digits_back(out + n, v, n);
  return out + n;
}

inline char* strip_zeros(char* p, char* point) {
  while (p > point + 1 && p[-1] == '0') --p;
  if (p == point + 1) --p;
  return p;
}

// Integer part and D decimals of q; D is a template argument so that the division
// by 10^D compiles to a multiplication.
template <int D>
char* put_scaled(char* out, uint64_t q, unsigned flags) {
  if constexpr (D == 0) {
    (void)flags;
    return put_uint(out, q);
  } else {
    constexpr uint64_t p = kPow10[D];
    out = put_uint(out, q / p);
    char* point = out;
    *out = '.';
    put_digits_back(out + 1 + D, q % p, D);
    out += 1 + D;
    return (flags & kStripZeros) ? strip_zeros(out, point) : out;
  }
}

// ---- exact arbitrary-size path ---------------------------------------------------

// Non-negative integer in 32-bit limbs, least significant first.  48 limbs hold
// 2^1024 * 10^100 (about 1360 bits), the largest value the digit engine meets.
struct Big {
  static constexpr int kLimbs = 48;
  uint32_t w[kLimbs];
  int n = 0;

  void set(uint64_t v) {
    n = 0;
    while (v) {
      w[n++] = static_cast<uint32_t>(v);
      v >>= 32;
    }
  }
  bool zero() const { return n == 0; }
  void mul(uint32_t f) {
    uint64_t carry = 0;
    for (int i = 0; i < n; ++i) {
      const uint64_t t = static_cast<uint64_t>(w[i]) * f + carry;
      w[i] = static_cast<uint32_t>(t);
      carry = t >> 32;
    }
    if (carry) w[n++] = static_cast<uint32_t>(carry);
  }
  void add_one() {
    for (int i = 0; i < n; ++i)
      if (++w[i] != 0) return;
    w[n++] = 1;
  }
  bool bit(int k) const {
    const int li = k >> 5;
    return li < n && ((w[li] >> (k & 31)) & 1u);
  }
  bool any_below(int k) const {  // any bit at a position < k
    const int li = k >> 5;
    for (int i = 0; i < li && i < n; ++i)
      if (w[i]) return true;
    return li < n && (w[li] & ((1u << (k & 31)) - 1u));
  }
  void shl(int k) {
    if (n == 0 || k == 0) return;
    const int ls = k >> 5, bs = k & 31;
    w[n] = 0;
    for (int i = n; i >= 0; --i) {
      uint32_t v = w[i] << bs;
      if (bs && i > 0) v |= w[i - 1] >> (32 - bs);
      w[i + ls] = v;
    }
    for (int i = 0; i < ls; ++i) w[i] = 0;
    n += ls + 1;
    trim();
  }
  void shr(int k) {
    const int ls = k >> 5, bs = k & 31;
    if (ls >= n) {
      n = 0;
      return;
    }
    const int m = n - ls;
    for (int i = 0; i < m; ++i) {
      uint32_t v = w[i + ls] >> bs;
      if (bs && i + ls + 1 < n) v |= w[i + ls + 1] << (32 - bs);
      w[i] = v;
    }
    n = m;
    trim();
  }
  // Divides by 2^k, rounding to the nearest integer.
  void shr_round(int k, bool ties_away) {
    const bool half = bit(k - 1);
    const bool sticky = half && any_below(k - 1);
    shr(k);
    if (half && (sticky || ties_away || (n > 0 && (w[0] & 1u)))) add_one();
  }
  uint32_t divmod(uint32_t d) {
    uint64_t rem = 0;
    for (int i = n - 1; i >= 0; --i) {
      const uint64_t cur = (rem << 32) | w[i];
      w[i] = static_cast<uint32_t>(cur / d);
      rem = cur % d;
    }
    trim();
    return static_cast<uint32_t>(rem);
  }
  void trim() {
    while (n > 0 && w[n - 1] == 0) --n;
  }
};

// m * 2^e == av for a finite av > 0.
inline void decompose(double av, uint64_t& m, int& e) {
  uint64_t bits;
  std::memcpy(&bits, &av, sizeof bits);
  const int expf = static_cast<int>((bits >> 52) & 0x7ff);
  m = bits & ((1ull << 52) - 1);
  if (expf == 0) {
    e = -1074;
  } else {
    m |= 1ull << 52;
    e = expf - 1075;
  }
}

}  // namespace

int exact_scaled_digits(double av, int scale, bool ties_away, char* out) noexcept {
  if (scale < 0) scale = 0;
  if (scale > 100) scale = 100;
  if (!(av > 0) || !std::isfinite(av)) {
    out[0] = '0';
    return 1;
  }
  uint64_t m;
  int e;
  decompose(av, m, e);
  Big b;
  b.set(m);
  for (int s = scale; s > 0; s -= 13) b.mul(kPow5[s < 13 ? s : 13]);
  const int shift = scale + e;
  if (shift >= 0) {
    b.shl(shift);
  } else {
    // Bits of b: below 53 + 2.33 * 100.  Past that the quotient is 0 and the
    // remainder below one half.
    if (-shift > 400) {
      out[0] = '0';
      return 1;
    }
    b.shr_round(-shift, ties_away);
  }
  if (b.zero()) {
    out[0] = '0';
    return 1;
  }
  // Base 10^9 chunks, least significant first.
  uint32_t chunk[kMaxScaledDigits / 9 + 2];
  int nc = 0;
  while (!b.zero()) chunk[nc++] = b.divmod(1000000000u);
  char* p = put_uint(out, chunk[nc - 1]);
  for (int i = nc - 2; i >= 0; --i) {
    put_digits_back(p + 9, chunk[i], 9);
    p += 9;
  }
  return static_cast<int>(p - out);
}

char* append_uint(char* out, unsigned long long v) noexcept { return put_uint(out, v); }

char* append_int(char* out, long long v) noexcept {
  unsigned long long u = static_cast<unsigned long long>(v);
  if (v < 0) {
    *out++ = '-';
    u = 0ull - u;
  }
  return put_uint(out, u);
}

char* append_fixed(char* out, double v, int decimals, unsigned flags) noexcept {
  const int d = decimals < 0 ? 0 : decimals > kMaxDecimals ? kMaxDecimals : decimals;
  if (!std::isfinite(v)) {
    *out++ = '0';
    return out;
  }
  const bool away = (flags & kTiesAway) != 0;
  const double av = std::fabs(v);

  if (!(av < 1e11)) {
    // Rare: large magnitudes, through the exact engine.
    char dg[kMaxScaledDigits];
    const int n = exact_scaled_digits(av, d, away, dg);  // n > d since av >= 1e11
    if (v < 0) *out++ = '-';
    std::memcpy(out, dg, n - d);
    out += n - d;
    if (d == 0) return out;
    char* point = out;
    *out++ = '.';
    std::memcpy(out, dg + n - d, d);
    out += d;
    return (flags & kStripZeros) ? strip_zeros(out, point) : out;
  }

  // The double product y differs from the exact product by at most half an ulp of
  // y (10^d is exact), so unless y lies within that distance of a half, rounding y
  // gives the exact result.  The near-half values take the integer path below.
  static constexpr double kScale[8] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
  const double y = av * kScale[d];
  const double fl = std::floor(y);
  const double frac = y - fl;  // exact: y < 2^60 and fl is y without its fraction
  uint64_t q = static_cast<uint64_t>(fl);
  if (std::fabs(frac - 0.5) > y * 0x1p-52) {
    q += frac > 0.5 ? 1 : 0;
  } else if (av != 0) {
    q = 0;
    uint64_t m;
    int e;
    decompose(av, m, e);
    // av < 2^37 puts e at -16 or below, so k >= 9.  P = m * 5^d < 2^70.
    const int k = -(e + d);
    if (k < 71) {
      const uint64_t f = kPow5[d];
      const uint64_t lo_part = (m & 0xffffffffull) * f;  // < 2^49
      const uint64_t hi_part = (m >> 32) * f;            // < 2^38
      const uint64_t lo = lo_part + (hi_part << 32);
      const uint64_t hi = (hi_part >> 32) + (lo < lo_part ? 1 : 0);
      int cmp;  // remainder against one half: -1 below, 0 equal, 1 above
      if (k < 64) {
        q = (lo >> k) | (hi << (64 - k));
        const uint64_t rem = lo & ((1ull << k) - 1);
        const uint64_t half = 1ull << (k - 1);
        cmp = rem < half ? -1 : rem > half ? 1 : 0;
      } else {
        const int kh = k - 64;  // 0..6
        q = hi >> kh;
        const uint64_t rem_hi = hi & ((1ull << kh) - 1);
        const uint64_t half_hi = kh ? 1ull << (kh - 1) : 0;
        const uint64_t half_lo = kh ? 0 : 1ull << 63;
        if (rem_hi != half_hi)
          cmp = rem_hi < half_hi ? -1 : 1;
        else
          cmp = lo < half_lo ? -1 : lo > half_lo ? 1 : 0;
      }
      if (cmp > 0 || (cmp == 0 && (away || (q & 1)))) ++q;
    }
  }
  if (q != 0 && v < 0) *out++ = '-';
  switch (d) {
    case 0: return put_scaled<0>(out, q, flags);
    case 1: return put_scaled<1>(out, q, flags);
    case 2: return put_scaled<2>(out, q, flags);
    case 3: return put_scaled<3>(out, q, flags);
    case 4: return put_scaled<4>(out, q, flags);
    case 5: return put_scaled<5>(out, q, flags);
    case 6: return put_scaled<6>(out, q, flags);
    default: return put_scaled<7>(out, q, flags);
  }
}

}  // namespace tavero::fastfmt
