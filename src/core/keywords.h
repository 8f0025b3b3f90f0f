// Keyword options: only the first four characters of an option count, case-insensitively,
// matched against a list of four-character keywords joined by "+".
#pragma once
#include "core/context.h"

namespace tavero {

// 1..count for the matching keyword, or 0 after warning 2 with the option.
int lookup_keyword(Context& ctx, const char* list, int count, const char* option);
// Same without a warning (for routines that try several lists).
int match_keyword(const char* list, int count, const char* option);
// Number of keywords in a list.
int keyword_count(const char* list);
// Axis selector: stores value into each of x, y, z whose letter occurs in the first three
// characters of option.
template <typename T>
void set_for_axes(const char* option, T value, T& x, T& y, T& z) {
  for (int i = 0; i < 3 && option && option[i]; ++i) {
    char ch = option[i];
    if (ch == 'X' || ch == 'x') x = value;
    if (ch == 'Y' || ch == 'y') y = value;
    if (ch == 'Z' || ch == 'z') z = value;
  }
}
// Whether the selector names an axis at all.
bool names_axis(const char* option, char axis);

}  // namespace tavero
