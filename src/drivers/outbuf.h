// Output buffers of the file drivers. Bytes collect in memory and reach the file in large
// blocks; the two line disciplines of the text formats sit on top:
//   LineWriter   words joined into lines of at most 80 characters, broken only at blanks
//                (PostScript, Java and the other line-oriented formats);
//   FieldWriter  fixed-width fields packed into lines of 80 characters (library metafile,
//                HPGL), or into records written whole when full (CGM).
#pragma once
#include <cstdio>
#include <string>

namespace tavero {

class OutFile {
 public:
  explicit OutFile(FILE* f = nullptr) : f_(f) { buf_.reserve(kBlock); }
  void attach(FILE* f) { f_ = f; }
  FILE* file() const { return f_; }
  void put(const char* s, size_t n) {
    buf_.append(s, n);
    if (buf_.size() >= kBlock) drain();
  }
  void put(const std::string& s) { put(s.data(), s.size()); }
  void put(const char* s);
  void put(char c) {
    buf_.push_back(c);
    if (buf_.size() >= kBlock) drain();
  }
  // Writes what is buffered to the file (nothing when there is no file: memory only).
  void drain();
  std::string& memory() { return buf_; }

 private:
  static constexpr size_t kBlock = 1 << 20;
  FILE* f_;
  std::string buf_;
};

class LineWriter {
 public:
  explicit LineWriter(OutFile& out, int limit = 80) : out_(out), limit_(limit) {}
  // Appends text; n < 0 ends the current line and writes it.
  void write(const char* text, int n);
  void write(const char* text);
  void end_line() { write("", -1); }
  bool empty() const { return line_.empty(); }
  // Ends a non-empty line (tavfin).
  void finish() {
    if (!line_.empty()) end_line();
  }

 private:
  void piece(const char* p, int n);
  OutFile& out_;
  int limit_;
  std::string line_;
};

class FieldWriter {
 public:
  FieldWriter(OutFile& out, int limit, bool records) : out_(out), limit_(limit), records_(records) {}
  // Returns false when the bytes cannot be taken (warning 176 is the caller's).
  bool write(const char* bytes, int n);
  void finish();  // a non-empty line is written (records are padded with blanks)

 private:
  OutFile& out_;
  int limit_;
  bool records_;
  std::string line_;
};

}  // namespace tavero
