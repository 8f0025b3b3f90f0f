// Numbered warnings, free-text messages, the error file and the end protocol.
#pragma once
#include <string>

#include "core/context.h"

namespace tavero {

void warn_number(Context& ctx, int code, long long value);
void warn_string(Context& ctx, int code, const char* text);
void warn_text(Context& ctx, int code, const char* text);
void warn_code(Context& ctx, int code);
void set_custom_message(Context& ctx, const char* text);
void emit_message(Context& ctx, const char* line);
void open_error_file(Context& ctx);
void close_error_file(Context& ctx);
// The block printed by tavfin; variant 1 when a plot file was written, +10 with an error file.
void end_protocol(Context& ctx, int variant);
// The same protocol as the text of the message box of window applications.
std::string end_protocol_box_text(const Context& ctx, int variant);
// Counts a non-finite coordinate for the end protocol.
inline void count_nan(Context& ctx) { ++ctx.core.nan_count; }

const char* message_text(int code);

// Named message codes used across the library.
enum Msg : int {
  kMsgNegative = 1,
  kMsgIncorrectParameter = 2,
  kMsgIncorrectLevel = 3,
  kMsgTooManyIntersections = 26,
  kMsgFileError = 36,
  kMsgIncompatible = 40,
  kMsgNoMemory = 53,
};

}  // namespace tavero
