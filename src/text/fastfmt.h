// Fast, exact number output for vector file writers (PostScript, PDF, SVG, ...).
//
// Coordinates and colour values are written with a fixed number of decimals.
// The digits are the exact decimal rounding of the binary value, so the output is
// byte-identical to C's "%.*f" except in the two points listed below, and never
// depends on the host's C library or locale:
//
//  * A value that rounds to zero is written without sign ("0.00", never "-0.00").
//  * Non-finite values are written as "0" (a file must stay readable).
//
// Exact binary ties (values such as 0.125 at two decimals, 2.5 at none) are
// rounded to even by default, which is what the reference C library does in the
// default rounding mode; the flag kTiesAway rounds them away from zero instead.
// Ties are the only values where the two rules differ: every other value is
// strictly closer to one of the two neighbours.
#pragma once

#include <cstdint>

namespace tavero::fastfmt {

enum : unsigned {
  kStripZeros = 1u,  // drop trailing zeros of the fraction, and the point if nothing is left
  kTiesAway = 2u,    // round exact binary ties away from zero instead of to even
};

inline constexpr int kMaxDecimals = 7;
// Longest output of append_fixed: sign, 309 integer digits, point, 7 decimals.
inline constexpr int kMaxFixedLen = 320;
// Longest output of append_int / append_uint.
inline constexpr int kMaxIntLen = 20;

// Appends v with `decimals` (clamped to 0..7) digits after the point.  With 0
// decimals no point is written.  Returns the end of the written text; nothing is
// terminated.  The caller provides room for kMaxFixedLen characters.
char* append_fixed(char* out, double v, int decimals, unsigned flags = 0) noexcept;

// Appends the decimal form of an integer; returns the end of the written text.
char* append_int(char* out, long long v) noexcept;
char* append_uint(char* out, unsigned long long v) noexcept;

// Exact digit engine shared with the label formatter.
//
// Writes the decimal digits of round(av * 10^scale), most significant first, for a
// finite av >= 0 and 0 <= scale <= 100; the product is exact, not a rounded double.
// Halves go away from zero when ties_away is set, else to even.  Zero yields "0".
// Returns the number of digits (no terminator); out must hold kMaxScaledDigits.
inline constexpr int kMaxScaledDigits = 420;
int exact_scaled_digits(double av, int scale, bool ties_away, char* out) noexcept;

}  // namespace tavero::fastfmt
