// The console: standard output, flushed after every line so that messages keep their order
// with whatever else the process prints.
#pragma once
#include <cstddef>

namespace tavero {
void console_write(const char* text, size_t n);
void console_line(const char* text);   // writes text as given (callers include the newline)
}  // namespace tavero
