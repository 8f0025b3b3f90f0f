#include "core/strutil.h"

namespace tavero {

int copy_bounded(char* dst, const char* src, int n) {
  int i = 0;
  if (src)
    for (; i < n && src[i]; ++i) dst[i] = src[i];
  dst[i] = 0;
  return i;
}

int append_bounded(char* dst, const char* src, int n) {
  int len = 0;
  while (dst[len]) ++len;
  if (src)
    for (int i = 0; src[i] && len < n; ++i) dst[len++] = src[i];
  dst[len] = 0;
  return len;
}

void to_upper(char* s) {
  for (; *s; ++s)
    if (*s >= 'a' && *s <= 'z') *s = static_cast<char>(*s - 'a' + 'A');
}

int int_to_text(long long value, char* dst, int size, int width, int zero_pad) {
  if (size < 1) return 0;
  bool neg = value < 0;
  unsigned long long mag = neg ? 0ULL - static_cast<unsigned long long>(value)
                               : static_cast<unsigned long long>(value);
  char digits[24];
  int nd = 0;
  do {
    digits[nd++] = static_cast<char>('0' + mag % 10);
    mag /= 10;
  } while (mag && nd < 12);
  int limit = size - 1;
  int pos = 0;
  if (width > limit) width = limit;
  int pad = width - nd - (neg ? 1 : 0);
  for (int i = 0; i < pad && pos < limit; ++i) dst[pos++] = zero_pad == 1 ? '0' : ' ';
  if (neg && pos < limit) dst[pos++] = '-';
  while (nd > 0 && pos < limit) dst[pos++] = digits[--nd];
  dst[pos] = 0;
  return pos;
}

int append_int(char* dst, long long value, int n) {
  char num[24];
  int_to_text(value, num, sizeof num, 0, 0);
  if (dst[0]) append_bounded(dst, " ", n);
  return append_bounded(dst, num, n);
}

}  // namespace tavero
