#include "core/clock.h"

#include <cstdlib>
#include <ctime>

#include "core/strutil.h"

namespace tavero {

DateTime now_local() {
  std::time_t t = std::time(nullptr);
  struct tm tmv {};
  const char* sde = std::getenv("SOURCE_DATE_EPOCH");
  if (sde && *sde) {
    char* end = nullptr;
    long long v = std::strtoll(sde, &end, 10);
    if (end && *end == 0) {
      t = static_cast<std::time_t>(v);
      gmtime_r(&t, &tmv);  // reproducible: independent of the machine's time zone
      return {tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour, tmv.tm_min,
              tmv.tm_sec};
    }
  }
  localtime_r(&t, &tmv);
  return {tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_mday, tmv.tm_hour, tmv.tm_min, tmv.tm_sec};
}

void format_date(const DateTime& t, char* d) {
  char b[8];
  d[0] = 0;
  int_to_text(t.day, b, sizeof b, 2, 1);
  append_bounded(d, b, 10);
  append_bounded(d, ".", 10);
  int_to_text(t.month, b, sizeof b, 2, 1);
  append_bounded(d, b, 10);
  append_bounded(d, ".", 10);
  int_to_text(t.year, b, sizeof b, 4, 1);
  append_bounded(d, b, 10);
}

void format_time(const DateTime& t, char* s) {
  char b[8];
  s[0] = 0;
  int_to_text(t.hour, b, sizeof b, 2, 1);
  append_bounded(s, b, 8);
  append_bounded(s, ":", 8);
  int_to_text(t.minute, b, sizeof b, 2, 1);
  append_bounded(s, b, 8);
  append_bounded(s, ":", 8);
  int_to_text(t.second, b, sizeof b, 2, 1);
  append_bounded(s, b, 8);
}

}  // namespace tavero
