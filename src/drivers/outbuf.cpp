#include "drivers/outbuf.h"

#include <cstring>

namespace tavero {

void OutFile::put(const char* s) { put(s, std::strlen(s)); }

void OutFile::drain() {
  if (!f_) return;
  if (!buf_.empty()) std::fwrite(buf_.data(), 1, buf_.size(), f_);
  buf_.clear();
}

void LineWriter::write(const char* text) { write(text, static_cast<int>(std::strlen(text))); }

void LineWriter::piece(const char* p, int n) {
  if (n == 1 && p[0] == ' ') return;  // a lone blank between words
  if (static_cast<int>(line_.size()) + n > limit_ && !line_.empty()) {
    line_.push_back('\n');
    out_.put(line_);
    line_.clear();
  }
  line_.append(p, static_cast<size_t>(n));
}

void LineWriter::write(const char* text, int n) {
  if (n < 0) {
    line_.push_back('\n');
    out_.put(line_);
    line_.clear();
    return;
  }
  // split after each blank
  int start = 0;
  for (int i = 0; i < n; ++i) {
    if (text[i] == ' ') {
      piece(text + start, i - start + 1);
      start = i + 1;
    }
  }
  if (start < n) piece(text + start, n - start);
}

bool FieldWriter::write(const char* bytes, int n) {
  if (n > limit_) return false;
  if (static_cast<int>(line_.size()) + n > limit_) {
    if (!records_) line_.push_back('\n');
    out_.put(line_);
    line_.clear();
  }
  line_.append(bytes, static_cast<size_t>(n));
  if (records_ && static_cast<int>(line_.size()) == limit_) {
    out_.put(line_);
    line_.clear();
  }
  return true;
}

void FieldWriter::finish() {
  if (line_.empty()) return;
  if (records_)
    line_.resize(static_cast<size_t>(limit_), ' ');
  else
    line_.push_back('\n');
  out_.put(line_);
  line_.clear();
}

}  // namespace tavero
