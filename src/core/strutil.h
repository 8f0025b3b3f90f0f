// Bounded string helpers used by every subsystem: every copy into a fixed field of the
// context record goes through these, so no caller can overrun a field.
#pragma once
#include <cstddef>

namespace tavero {

// Copies until the terminator or n characters; always terminates (dst holds n + 1 bytes).
int copy_bounded(char* dst, const char* src, int n);
// Appends while the total length stays below n; terminates; returns the new length.
int append_bounded(char* dst, const char* src, int n);
void to_upper(char* s);
// Decimal text of an int32 into dst[size]; width > 0 pads (zeros when zero_pad). Returns length.
int int_to_text(long long value, char* dst, int size, int width, int zero_pad);
// Appends one blank (when dst is not empty) and the decimal text of value, bounded by n.
int append_int(char* dst, long long value, int n);

template <size_t N>
inline int copy_field(char (&dst)[N], const char* src) {
  return copy_bounded(dst, src ? src : "", static_cast<int>(N) - 1);
}

}  // namespace tavero
