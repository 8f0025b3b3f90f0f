// Date and time for file headers and the end protocol. SOURCE_DATE_EPOCH, when set, replaces
// the clock so that documents can be reproduced byte for byte.
#pragma once

namespace tavero {

struct DateTime {
  int year, month, day, hour, minute, second;
};
DateTime now_local();
// "DD.MM.YYYY" and "HH:MM:SS" (zero padded) into buffers of at least 11 and 9 bytes.
void format_date(const DateTime& t, char* date11);
void format_time(const DateTime& t, char* time9);

}  // namespace tavero
