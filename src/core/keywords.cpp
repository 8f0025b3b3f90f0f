#include "core/keywords.h"

#include <cstring>

#include "core/messages.h"

namespace tavero {

namespace {
inline char up(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

int match_keyword(const char* list, int count, const char* option) {
  char key[4] = {' ', ' ', ' ', ' '};
  for (int i = 0; i < 4 && option && option[i]; ++i) key[i] = up(option[i]);
  int len = static_cast<int>(std::strlen(list));
  for (int i = 0; i < count; ++i) {
    int at = 5 * i;
    if (at + 4 > len) break;
    if (up(list[at]) == key[0] && up(list[at + 1]) == key[1] && up(list[at + 2]) == key[2] &&
        up(list[at + 3]) == key[3])
      return i + 1;
  }
  return 0;
}

int lookup_keyword(Context& ctx, const char* list, int count, const char* option) {
  int k = match_keyword(list, count, option);
  if (k == 0) warn_string(ctx, kMsgIncorrectParameter, option ? option : "");
  return k;
}

int keyword_count(const char* list) { return (static_cast<int>(std::strlen(list)) + 1) / 5; }

bool names_axis(const char* option, char axis) {
  for (int i = 0; i < 3 && option && option[i]; ++i)
    if (up(option[i]) == up(axis)) return true;
  return false;
}

}  // namespace tavero
